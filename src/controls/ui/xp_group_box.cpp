#include "controls/ui/xp_group_box.h"

#include <QEvent>
#include <QPainter>

#include "platform/ui/dc.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"

CXPGroupBox::CXPGroupBox(QWidget* parent)
    : QWidget(parent),
      m_clrBorder(GetSysColor(COLOR_BTNSHADOW)),
      m_clrCaptionBackground(GetSysColor(COLOR_BTNFACE)),
      m_clrClientBackground(GetSysColor(COLOR_BTNFACE)),
      m_clrCaptionText(GetSysColor(COLOR_WINDOWTEXT)),
      m_font(font()) {
  // The box lies below its siblings and ignores the mouse itself (a press on its
  // empty area goes on to the page), but the controls placed inside it take the
  // mouse as anywhere else: Qt's mouse transparency would cover them too.
  setFocusPolicy(Qt::NoFocus);
  lower();
}

CXPGroupBox::~CXPGroupBox() = default;

BOOL CXPGroupBox::Create(const CString& windowText, const CRect& rect, QWidget* parent, int id) {
  if (parent == nullptr) return FALSE;
  setParent(parent);
  m_font = font();  // the font of the page it now belongs to
  SetWindowText(windowText);
  setGeometry(ToQRect(rect));
  CPage::SetDlgCtrlID(this, id);
  lower();
  show();
  return TRUE;
}

void CXPGroupBox::SetWindowText(const CString& text) { setWindowTitle(ToQString(text)); }

CString CXPGroupBox::GetWindowText() const { return FromQString(windowTitle()); }

bool CXPGroupBox::HasWindow() const { return testAttribute(Qt::WA_WState_Created); }

void CXPGroupBox::Redraw() {
  update();
  if (QWidget* parent = parentWidget()) parent->update(geometry());
}

CXPGroupBox& CXPGroupBox::SetText(const CString& text) {
  if (HasWindow()) {
    m_strCaption = " " + text + " ";
    Redraw();
  }
  return *this;
}

CXPGroupBox& CXPGroupBox::SetStyle(int style) {
  m_nStyle = style;
  Redraw();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetAlignment(int alignment) {
  m_nAlignment = (alignment == kGroupBoxAlignCenter || alignment == kGroupBoxAlignRight) ? alignment
                                                                                         : kGroupBoxAlignLeft;
  Redraw();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetBorderColor(COLORREF color) {
  m_clrBorder = color;
  Redraw();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetCaptionTextColor(COLORREF color) {
  m_clrCaptionText = color;
  Redraw();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetBackgroundColor(COLORREF color) { return SetBackgroundColors(color, color); }

CXPGroupBox& CXPGroupBox::SetBackgroundColors(COLORREF caption, COLORREF client) {
  m_clrCaptionBackground = caption;
  m_clrClientBackground = client;
  Redraw();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetFont(const QFont& font) {
  m_font = font;
  Redraw();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetFontBold(bool bold) {
  m_font.setWeight(bold ? QFont::Bold : QFont::Normal);
  Redraw();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetFontName(const CString& face, BYTE /*charSet*/) {
  m_font.setFamily(ToQString(ResolveFontFace(face)));
  Redraw();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetFontUnderline(bool underline) {
  m_font.setUnderline(underline);
  Redraw();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetFontItalic(bool italic) {
  m_font.setItalic(italic);
  Redraw();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetFontSize(int points) {
  CFont sized;
  if (sized.CreatePointFont(points * 10, FromQString(m_font.family()))) {
    m_font.setPointSizeF(sized.Font().pointSizeF());  // replaces a pixel size as well
    Redraw();
  }
  return *this;
}

bool CXPGroupBox::event(QEvent* event) {
  // A box shown after its siblings were created still lies below them.
  if (event->type() == QEvent::Show) lower();
  return QWidget::event(event);
}

void CXPGroupBox::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  CDC dc(painter);
  const CRect client(0, 0, width(), height());

  CFont font(m_font);
  dc.SelectObject(font);
  if (m_strCaption.empty()) {
    const CString text = GetWindowText();
    if (!text.empty()) m_strCaption = " " + text + " ";
  }
  const CSize extent = m_strCaption.empty() ? CSize() : dc.GetTextExtent(m_strCaption);
  m_layout = GroupBoxLayout::Calc(client, m_nStyle, m_nAlignment, extent);
  const CPoint corner(kGroupBoxCornerEllipse, kGroupBoxCornerEllipse);

  const CPen border(PS_SOLID, 1, m_clrBorder);
  dc.SelectObject(border);
  if (m_nStyle != kGroupBoxFrameStyle) {
    dc.SelectObject(CBrush(m_clrCaptionBackground));
    dc.RoundRect(m_layout.box, corner);
    dc.SelectObject(CBrush(m_clrClientBackground));
    dc.Rectangle(m_layout.body);
  } else {
    dc.SelectStockObject(HOLLOW_BRUSH);
    dc.RoundRect(m_layout.frame, corner);
    // Removes the frame line behind the caption.
    const int saved = dc.SaveDC();
    dc.IntersectClipRect(m_layout.caption);
    dc.FillSolidRect(m_layout.caption, m_clrCaptionBackground);
    dc.RestoreDC(saved);
  }

  const COLORREF oldText = dc.SetTextColor(m_clrCaptionText);
  const int oldMode = dc.SetBkMode(TRANSPARENT);
  dc.DrawText(m_strCaption, m_layout.caption, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
  dc.SetTextColor(oldText);
  dc.SetBkMode(oldMode);
}
