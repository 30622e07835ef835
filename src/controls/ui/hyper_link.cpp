#include "controls/ui/hyper_link.h"

#include <QDesktopServices>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>

#include "platform/hyper_link_rules.h"
#include "platform/message_box.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/ui_seams.h"

namespace {

CHyperLink::Opener& DefaultOpener() {
  static CHyperLink::Opener opener;
  return opener;
}

}  // namespace

CHyperLink::CHyperLink(QWidget* parent, const QString& text, const std::string& url)
    : QLabel(text, parent), url_(url) {
  PreSubclassWindow();
}

CHyperLink::~CHyperLink() = default;

void CHyperLink::SetDefaultOpener(Opener opener) { DefaultOpener() = std::move(opener); }

void CHyperLink::PreSubclassWindow() {
  setTextFormat(Qt::PlainText);
  if (url_.empty()) url_ = FromQString(text());
  if (text().isEmpty()) setText(ToQString(url_));
  plainFont_ = font();
  plainFont_.setUnderline(false);
  underlineFont_ = plainFont_;
  underlineFont_.setUnderline(true);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ToQColor(GetSysColor(COLOR_BTNFACE)));
  setPalette(pal);
  PositionWindow();
  setCursor(Qt::PointingHandCursor);
  ApplyFont();
  ApplyColour();
  setToolTip(ToQString(url_));
}

void CHyperLink::SetURL(const std::string& url) {
  url_ = url;
  PositionWindow();
  setToolTip(ToQString(url_));
}

void CHyperLink::SetColours(COLORREF link, COLORREF visited, COLORREF hover) {
  linkColour_ = link;
  visitedColour_ = visited;
  hoverColour_ = hover == static_cast<COLORREF>(-1) ? GetSysColor(COLOR_HIGHLIGHT) : hover;
  ApplyColour();
  update();
}

void CHyperLink::SetVisited(bool visited) {
  visited_ = visited;
  ApplyColour();
  update();
}

void CHyperLink::SetLinkCursor(const QCursor& cursor) {
  if (cursor.shape() == Qt::ArrowCursor && cursor.pixmap().isNull()) {
    setCursor(Qt::PointingHandCursor);
  } else {
    setCursor(cursor);
  }
}

void CHyperLink::SetUnderline(int mode) {
  if (mode == underline_) return;
  underline_ = mode;
  ApplyFont();
  update();
}

void CHyperLink::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  PositionWindow();
}

COLORREF CHyperLink::CurrentTextColour() const {
  if (hovering_) return hoverColour_;
  return visited_ ? visitedColour_ : linkColour_;
}

void CHyperLink::ApplyFont() {
  const bool underlined = underline_ == kUnderlineAlways || (underline_ == kUnderlineHover && hovering_);
  const QFont& wanted = underlined ? underlineFont_ : plainFont_;
  if (font() != wanted) setFont(wanted);
}

void CHyperLink::ApplyColour() {
  const QColor colour = ToQColor(CurrentTextColour());
  QPalette pal = palette();
  if (pal.color(QPalette::WindowText) == colour) return;
  pal.setColor(QPalette::WindowText, colour);
  setPalette(pal);
}

// The window takes the size of its text in the underlined font plus its border, the
// edge the alignment holds staying where it was.
void CHyperLink::PositionWindow() {
  if (!autoSize_) return;
  const QSize text = QFontMetrics(underlineFont_).size(Qt::TextSingleLine, this->text());
  const QRect inner = contentsRect();
  const int width = text.width() + (this->width() - inner.width());
  const int height = text.height() + (this->height() - inner.height());
  CRect r = FromQRect(geometry());
  const Qt::Alignment align = alignment();
  if (align & Qt::AlignVCenter) {
    const int dy = (r.Height() - height) / 2;
    r.top += dy;
    r.bottom = r.top + height;
  } else {
    r.bottom = r.top + height;
  }
  if (align & Qt::AlignHCenter) {
    const int dx = (r.Width() - width) / 2;
    r.left += dx;
    r.right = r.left + width;
  } else if (align & Qt::AlignRight) {
    r.left = r.right - width;
  } else {
    r.right = r.left + width;
  }
  setGeometry(ToQRect(r));
}

void CHyperLink::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  if (hovering_) return;
  hovering_ = true;
  ApplyFont();
  ApplyColour();
  update();
}

void CHyperLink::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  if (!hovering_) return;
  hovering_ = false;
  ApplyFont();
  ApplyColour();
  update();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
  OnClicked();
  emit clicked();
}

void CHyperLink::OnClicked() {
  hovering_ = false;
  ApplyFont();
  ApplyColour();
  const int result = GotoURL(url_);
  if (result > 32) {
    SetVisited(true);
  } else {
    MessageBeep(MB_ICONWARNING);
    ReportError(result);
  }
}

int CHyperLink::GotoURL(const std::string& url) {
  if (!IsWebAddress(url)) return kLinkAccessDenied;
  const QUrl address(ToQString(url), QUrl::StrictMode);
  if (!address.isValid()) return kLinkAccessDenied;
  const Opener& opener = opener_ ? opener_ : DefaultOpener();
  const bool opened = opener ? opener(address) : QDesktopServices::openUrl(address);
  return opened ? kLinkOpened : kLinkNoAssociation;
}

void CHyperLink::ReportError(int code) {
  MessageBox(std::string(kHyperLinkErrorPrefix) + HyperLinkErrorText(code), "", MB_OK | MB_ICONWARNING);
}
