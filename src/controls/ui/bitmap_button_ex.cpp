#include "controls/ui/bitmap_button_ex.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QUrl>
#include <map>
#include <utility>

#include "controls/ui/draw_disabled_image.h"
#include "platform/debug_log.h"
#include "platform/ui/qt_convert.h"

// Our resource file lives in this library; a static library's resources register
// only when asked to, and Q_INIT_RESOURCE must be called outside any namespace.
static void RegisterOwnResources() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(velkor);
    return true;
  }();
  (void)registered;
}

namespace {

// ---- resource tables ----

std::map<UINT, QString>& ImageTable() {
  static std::map<UINT, QString> table;
  return table;
}

std::map<UINT, std::string>& StringTable() {
  static std::map<UINT, std::string> table;
  return table;
}

std::map<UINT, std::vector<ButtonMenuItem>>& MenuTable() {
  static std::map<UINT, std::vector<ButtonMenuItem>> table;
  return table;
}

std::map<UINT, std::vector<MenuTemplateItem>>& MenuTemplateTable() {
  static std::map<UINT, std::vector<MenuTemplateItem>> table;
  return table;
}

std::map<std::string, std::vector<MenuTemplateItem>>& NamedMenuTemplateTable() {
  static std::map<std::string, std::vector<MenuTemplateItem>> table;
  return table;
}

std::map<UINT, ToolBarResource>& ToolBarTable() {
  static std::map<UINT, ToolBarResource> table;
  return table;
}

// ---- image copies ----

enum class Derived { Grey, Darker };

std::optional<Derived> DerivedKind(int outKind) {
  if (outKind == kButtonOutImageGrey) return Derived::Grey;
  if (outKind == kButtonOutImageDarker) return Derived::Darker;
  return std::nullopt;
}

QRgb DerivePixel(QRgb pixel, Derived kind) {
  const COLORREF colour = RGB(qRed(pixel), qGreen(pixel), qBlue(pixel));
  const COLORREF made = kind == Derived::Grey ? GreyColour(colour) : DarkerColour(colour);
  return qRgba(GetRValue(made), GetGValue(made), GetBValue(made), qAlpha(pixel));
}

// An icon's grey or darker copy: every pixel that shows and is not black changes.
QImage DeriveIcon(const QImage& icon, Derived kind) {
  QImage copy = icon.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < copy.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(copy.scanLine(y));
    for (int x = 0; x < copy.width(); ++x) {
      const QRgb p = line[x];
      if (qAlpha(p) == 0 || (p & 0x00FFFFFFu) == 0) continue;
      line[x] = DerivePixel(p, kind);
    }
  }
  return copy;
}

// A bitmap's grey or darker copy: every pixel that is not the transparent colour changes.
QImage DeriveBitmap(const QImage& bitmap, COLORREF transparent, Derived kind) {
  QImage copy = bitmap.convertToFormat(QImage::Format_RGB32);
  const QRgb key = ToQColor(transparent).rgb();
  for (int y = 0; y < copy.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(copy.scanLine(y));
    for (int x = 0; x < copy.width(); ++x) {
      if (line[x] != key) line[x] = DerivePixel(line[x], kind);
    }
  }
  return copy;
}

// The bitmap with its transparent pixels black (the OR pass leaves them out) and
// the same with them see-through (for the disabled look).
std::pair<QImage, QImage> SplitBitmap(const QImage& bitmap, COLORREF transparent) {
  QImage black = bitmap.convertToFormat(QImage::Format_RGB32);
  QImage shape = bitmap.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = ToQColor(transparent).rgb();
  for (int y = 0; y < black.height(); ++y) {
    auto* blackLine = reinterpret_cast<QRgb*>(black.scanLine(y));
    auto* shapeLine = reinterpret_cast<QRgb*>(shape.scanLine(y));
    for (int x = 0; x < black.width(); ++x) {
      if (blackLine[x] == key) {
        blackLine[x] = qRgb(0, 0, 0);
        shapeLine[x] = 0u;
      } else {
        shapeLine[x] |= 0xFF000000u;
      }
    }
  }
  return {black, shape};
}

DesktopUrlOpener& DesktopOpener() {
  static DesktopUrlOpener opener;
  return opener;
}

}  // namespace

// ---- resources ----

void RegisterButtonImage(UINT id, const QString& path) { ImageTable()[id] = path; }

QImage LoadButtonImage(UINT id) {
  RegisterOwnResources();
  const auto it = ImageTable().find(id);
  if (it == ImageTable().end()) return {};
  return QImage(it->second);
}

void RegisterButtonString(UINT id, const std::string& text) { StringTable()[id] = text; }

std::string LoadButtonString(UINT id) {
  const auto it = StringTable().find(id);
  return it == StringTable().end() ? std::string() : it->second;
}

void RegisterButtonMenu(UINT id, std::vector<ButtonMenuItem> items) { MenuTable()[id] = std::move(items); }

void RegisterMenuResource(UINT id, std::vector<MenuTemplateItem> items) { MenuTemplateTable()[id] = std::move(items); }

void RegisterMenuResource(const std::string& name, std::vector<MenuTemplateItem> items) {
  NamedMenuTemplateTable()[name] = std::move(items);
}

const std::vector<MenuTemplateItem>* FindMenuResource(UINT id) {
  const auto it = MenuTemplateTable().find(id);
  return it == MenuTemplateTable().end() ? nullptr : &it->second;
}

const std::vector<MenuTemplateItem>* FindMenuResource(const std::string& name) {
  const auto it = NamedMenuTemplateTable().find(name);
  return it == NamedMenuTemplateTable().end() ? nullptr : &it->second;
}

void RegisterToolBarResource(UINT id, ToolBarResource toolBar) { ToolBarTable()[id] = std::move(toolBar); }

const ToolBarResource* FindToolBarResource(UINT id) {
  const auto it = ToolBarTable().find(id);
  return it == ToolBarTable().end() ? nullptr : &it->second;
}

void ClearButtonResources() {
  ImageTable().clear();
  StringTable().clear();
  MenuTable().clear();
  MenuTemplateTable().clear();
  NamedMenuTemplateTable().clear();
  ToolBarTable().clear();
}

bool DesktopUrlOpener::OpenUrl(const std::string& url) {
  if (!IsOpenableUrl(url)) return false;
  return QDesktopServices::openUrl(QUrl(ToQString(url), QUrl::StrictMode));
}

QEvent::Type CommandEvent::EventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

QEvent::Type MenuCallbackEvent::EventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// ---- construction ----

CBitmapButtonEx::CBitmapButtonEx(QWidget* parent, ButtonType type) : QPushButton(parent) { Init(type); }

CBitmapButtonEx::CBitmapButtonEx(const QString& caption, QWidget* parent, ButtonType type)
    : QPushButton(caption, parent) {
  Init(type);
}

CBitmapButtonEx::~CBitmapButtonEx() = default;

void CBitmapButtonEx::Init(ButtonType type) {
  // The page's template type decides the mode; the drawing is always our own.
  checkBoxMode_ = type == ButtonType::CheckBox;
  isDefault_ = type == ButtonType::DefaultPush;
  setAutoFillBackground(false);
  connect(this, &QAbstractButton::clicked, this, &CBitmapButtonEx::OnClicked);
}

void CBitmapButtonEx::SetButtonStyle(ButtonType type, bool repaint) {
  isDefault_ = type == ButtonType::DefaultPush;
  Repaint(repaint);
}

void CBitmapButtonEx::Repaint(bool repaint) {
  if (repaint) update();
}

// ---- images ----

void CBitmapButtonEx::ReleaseImages() {
  iconIn_ = QImage();
  iconOut_ = QImage();
  bitmapIn_ = QImage();
  bitmapOut_ = QImage();
  maskIn_ = QImage();
  maskOut_ = QImage();
  shapeIn_ = QImage();
  shapeOut_ = QImage();
}

int CBitmapButtonEx::SetIcon(int inResourceId, int outResourceId) {
  if (inResourceId == 0) return SetIcon(QImage());
  const QImage in = LoadButtonImage(static_cast<UINT>(inResourceId));
  if (in.isNull()) {
    ReleaseImages();
    return kButtonImageNotLoaded;
  }
  if (DerivedKind(outResourceId)) return SetIcon(in, outResourceId);
  QImage out;
  if (outResourceId != 0) {
    out = LoadButtonImage(static_cast<UINT>(outResourceId));
    if (out.isNull()) {
      ReleaseImages();
      return kButtonImageNotLoaded;
    }
  }
  return SetIcon(in, out);
}

int CBitmapButtonEx::SetIcon(const QImage& in, const QImage& out) {
  ReleaseImages();
  if (!in.isNull()) {
    iconIn_ = in.convertToFormat(QImage::Format_ARGB32);
    if (!out.isNull()) iconOut_ = out.convertToFormat(QImage::Format_ARGB32);
  }
  update();
  return kButtonOk;
}

int CBitmapButtonEx::SetIcon(const QImage& in, int outKind) {
  const auto kind = DerivedKind(outKind);
  if (in.isNull() || !kind) return SetIcon(in, QImage());
  return SetIcon(in, DeriveIcon(in, *kind));
}

QImage CBitmapButtonEx::CreateMask(const QImage& bitmap, COLORREF transparent) const {
  QImage source = bitmap.convertToFormat(QImage::Format_RGB32);
  QImage mask(source.size(), QImage::Format_RGB32);
  if (mask.isNull()) return mask;
  const QRgb key = ToQColor(transparent).rgb();
  for (int y = 0; y < source.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    auto* out = reinterpret_cast<QRgb*>(mask.scanLine(y));
    for (int x = 0; x < source.width(); ++x) out[x] = in[x] == key ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
  }
  return mask;
}

int CBitmapButtonEx::SetBitmaps(int inResourceId, COLORREF inTransparent, int outResourceId,
                                COLORREF outTransparent) {
  if (inResourceId == 0) return SetBitmaps(QImage(), inTransparent);
  const QImage in = LoadButtonImage(static_cast<UINT>(inResourceId));
  if (in.isNull()) {
    ReleaseImages();
    return kButtonImageNotLoaded;
  }
  if (DerivedKind(outResourceId)) return SetBitmaps(in, inTransparent, outResourceId);
  QImage out;
  if (outResourceId != 0) {
    out = LoadButtonImage(static_cast<UINT>(outResourceId));
    if (out.isNull()) {
      ReleaseImages();
      return kButtonImageNotLoaded;
    }
  }
  return SetBitmaps(in, inTransparent, out, outTransparent);
}

int CBitmapButtonEx::SetBitmaps(const QImage& in, COLORREF inTransparent, const QImage& out,
                                COLORREF outTransparent) {
  ReleaseImages();
  if (!in.isNull()) {
    maskIn_ = CreateMask(in, inTransparent);
    if (maskIn_.isNull()) {
      ReleaseImages();
      return kButtonMaskNotMade;
    }
    std::tie(bitmapIn_, shapeIn_) = SplitBitmap(in, inTransparent);
    if (!out.isNull()) {
      maskOut_ = CreateMask(out, outTransparent);
      if (maskOut_.isNull()) {
        ReleaseImages();
        return kButtonMaskNotMade;
      }
      std::tie(bitmapOut_, shapeOut_) = SplitBitmap(out, outTransparent);
    }
  }
  update();
  return kButtonOk;
}

int CBitmapButtonEx::SetBitmaps(const QImage& in, COLORREF inTransparent, int outKind) {
  const auto kind = DerivedKind(outKind);
  if (in.isNull() || !kind) return SetBitmaps(in, inTransparent, QImage(), 0);
  return SetBitmaps(in, inTransparent, DeriveBitmap(in, inTransparent, *kind), inTransparent);
}

void CBitmapButtonEx::SizeToContent() {
  margin_ = CSize(0, 0);
  if (HasIcon()) {
    resize(iconIn_.size());
  } else if (HasBitmap()) {
    resize(bitmapIn_.size());
  }
}

// ---- colours and look ----

int CBitmapButtonEx::SetDefaultColors(bool repaint) {
  colours_.SetDefaults();
  Repaint(repaint);
  return kButtonOk;
}

int CBitmapButtonEx::SetColor(int index, COLORREF colour, bool repaint) {
  const int result = colours_.Set(index, colour);
  if (result == kButtonOk) Repaint(repaint);
  return result;
}

int CBitmapButtonEx::GetColor(int index, COLORREF& colour) const { return colours_.Get(index, colour); }

int CBitmapButtonEx::OffsetColor(int index, int offset, bool repaint) {
  const int result = colours_.Offset(index, offset);
  if (result == kButtonOk) Repaint(repaint);
  return result;
}

int CBitmapButtonEx::SetFlat(bool flat, bool repaint) {
  flat_ = flat;
  Repaint(repaint);
  return kButtonOk;
}

int CBitmapButtonEx::SetAlign(int align, bool repaint) {
  if (align < kButtonAlignImageLeft || align > kButtonAlignOverlap) return kButtonBadAlign;
  align_ = align;
  Repaint(repaint);
  return kButtonOk;
}

int CBitmapButtonEx::SetPressedStyle(int style, bool repaint) {
  const auto offset = PressedOffsetOf(style);
  if (!offset) return kButtonBadPressedStyle;
  pressedOffset_ = *offset;
  Repaint(repaint);
  return kButtonOk;
}

int CBitmapButtonEx::DrawBorder(bool enable, bool repaint) {
  drawBorder_ = enable;
  Repaint(repaint);
  return kButtonOk;
}

int CBitmapButtonEx::DrawFlatFocus(bool enable, bool repaint) {
  drawFlatFocus_ = enable;
  Repaint(repaint);
  return kButtonOk;
}

void CBitmapButtonEx::SetAlwaysTrack(bool alwaysTrack) { alwaysTrack_ = alwaysTrack; }

int CBitmapButtonEx::DrawTransparent(bool repaint) {
  drawTransparent_ = true;
  cachedBackground_ = QPixmap();
  Repaint(repaint);
  return kButtonOk;
}

int CBitmapButtonEx::SetBk(CDC* dc) {
  if (!drawTransparent_ || dc == nullptr) return kButtonNotTransparent;
  QPainter& painter = dc->Painter();
  QPaintDevice* device = painter.device();
  if (device == nullptr) return kButtonNotTransparent;
  // The button's place in the parent's client area, as the context draws it.
  const QRect source = painter.transform().mapRect(geometry());
  if (device->devType() == QInternal::Image) {
    cachedBackground_ = QPixmap::fromImage(static_cast<QImage*>(device)->copy(source));
  } else if (device->devType() == QInternal::Pixmap) {
    cachedBackground_ = static_cast<QPixmap*>(device)->copy(source);
  } else {
    return kButtonNotTransparent;  // a window's own surface cannot be read back
  }
  return kButtonOk;
}

int CBitmapButtonEx::SetBtnCursor(int cursorResourceId, bool repaint) {
  if (cursorResourceId == 0) {
    btnCursor_.reset();
    unsetCursor();
    Repaint(repaint);
    return kButtonOk;
  }
  const QImage image = LoadButtonImage(static_cast<UINT>(cursorResourceId));
  if (image.isNull()) return kButtonImageNotLoaded;
  btnCursor_ = QCursor(QPixmap::fromImage(image));
  setCursor(*btnCursor_);
  Repaint(repaint);
  return kButtonOk;
}

// ---- check box ----

int CBitmapButtonEx::SetCheck(int check, bool repaint) {
  if (checkBoxMode_) {
    checked_ = check != 0;
    Repaint(repaint);
  }
  return kButtonOk;
}

// ---- tooltip ----

void CBitmapButtonEx::CreateTooltipIfNeeded() {
  if (tooltip_.created) return;
  tooltip_.created = true;
  tooltip_.balloon = balloonStyle_;
  tooltip_.active = false;  // created deactivated
}

void CBitmapButtonEx::SetTooltipText(const char* text, bool activate) {
  if (text == nullptr) return;
  CreateTooltipIfNeeded();
  tooltip_.hasTool = true;  // the one tool, covering the whole button
  tooltip_.text = ToQString(text);
  tooltip_.active = activate;
}

void CBitmapButtonEx::SetTooltipText(int stringResourceId, bool activate) {
  const std::string text = LoadButtonString(static_cast<UINT>(stringResourceId));
  if (text.empty()) return;
  SetTooltipText(text.c_str(), activate);
}

void CBitmapButtonEx::EnableBalloonTooltip() { balloonStyle_ = true; }

void CBitmapButtonEx::ActivateTooltip(bool activate) {
  if (tooltip_.created) tooltip_.active = activate;
}

std::string CBitmapButtonEx::TooltipText() const { return FromQString(tooltip_.text); }

// ---- click actions ----

bool CBitmapButtonEx::SetURL(const char* url) {
  if (url == nullptr || *url == '\0') {
    url_.clear();
    return true;
  }
  if (!IsOpenableUrl(url)) {
    AppendDebugLog("CBitmapButtonEx::SetURL refused \"%s\": only http and https addresses are opened", url);
    return false;
  }
  url_ = url;
  return true;
}

void CBitmapButtonEx::SetUrlOpener(IUrlOpener* opener) { urlOpener_ = opener; }

int CBitmapButtonEx::SetMenu(UINT menuResourceId, QObject* owner, bool repaint) {
  if (menuResourceId == 0) {
    delete menu_;
    menuOwner_ = nullptr;
    Repaint(repaint);
    return kButtonOk;
  }
  const auto it = MenuTable().find(menuResourceId);
  if (it == MenuTable().end() || it->second.empty()) return kButtonImageNotLoaded;
  auto* menu = new QMenu(this);
  for (const ButtonMenuItem& item : it->second) {
    if (item.commandId == 0) {
      menu->addSeparator();
    } else {
      menu->addAction(ToQString(item.text))->setData(item.commandId);
    }
  }
  delete menu_;
  menu_ = menu;
  menuOwner_ = owner;
  Repaint(repaint);
  return kButtonOk;
}

LRESULT CBitmapButtonEx::OnMenuChar(UINT ch, UINT flags, CMenu* menu) {
  if (BCMenu::IsBCMenu(menu)) return BCMenu::FindMenuCharItem(ch, flags, menu);
  return IMenuOwner::OnMenuChar(ch, flags, menu);
}

void CBitmapButtonEx::OnMeasureItem(int ctlId, LPMEASUREITEMSTRUCT mis) {
  if (mis != nullptr && mis->CtlType == ODT_MENU && IsMenu(MenuFromValue(mis->itemID)) &&
      BCMenu::IsBCMenu(MenuFromValue(mis->itemID))) {
    m_menuBC.MeasureItem(mis);
    return;
  }
  IMenuOwner::OnMeasureItem(ctlId, mis);
}

void CBitmapButtonEx::SetMenuCallback(QObject* target, UINT message, qintptr value) {
  callbackTarget_ = target;
  callbackMessage_ = message;
  callbackValue_ = value;
}

void CBitmapButtonEx::SetSound(const char* fileName, bool hover, bool async) {
  std::optional<ButtonSound>& slot = hover ? hoverSound_ : clickSound_;
  if (fileName == nullptr) {
    slot.reset();
    return;
  }
  slot = ButtonSound{fileName, 0, SoundFlags(false, async)};
}

void CBitmapButtonEx::SetSoundResource(UINT resourceId, bool hover, bool async) {
  std::optional<ButtonSound>& slot = hover ? hoverSound_ : clickSound_;
  if (resourceId == 0) {
    slot.reset();
    return;
  }
  slot = ButtonSound{std::string(), resourceId, SoundFlags(true, async)};
}

void CBitmapButtonEx::OnClicked() {
  setFocus(Qt::MouseFocusReason);
  // The click sound is stored only: there is no audio output.
  if (checkBoxMode_) {
    checked_ = !checked_;
    update();
  } else if (menu_ != nullptr) {
    RunMenu();
  } else if (!url_.empty()) {
    IUrlOpener& opener = urlOpener_ != nullptr ? *urlOpener_ : DesktopOpener();
    if (!opener.OpenUrl(url_)) AppendDebugLog("CBitmapButtonEx: could not open \"%s\"", url_.c_str());
  }
}

void CBitmapButtonEx::RunMenu() {
  const QPointer<CBitmapButtonEx> self(this);
  const QPointer<QMenu> menu(menu_);
  menuOpen_ = true;
  update();
  if (callbackTarget_ != nullptr) {
    MenuCallbackEvent notice(callbackMessage_, menu, callbackValue_);
    QCoreApplication::sendEvent(callbackTarget_, &notice);
  }
  if (self == nullptr) return;
  if (menu == nullptr) {  // the callback took the menu away
    menuOpen_ = false;
    update();
    return;
  }
  QAction* chosen = menu->exec(mapToGlobal(QPoint(0, height())));
  if (self == nullptr) return;  // the page went away while the menu was open
  menuOpen_ = false;
  update();
  if (chosen == nullptr) return;
  const int id = chosen->data().toInt();
  if (menuOwner_ != nullptr) QCoreApplication::postEvent(menuOwner_, new CommandEvent(id));
  emit command(id);
}

// ---- hover ----

void CBitmapButtonEx::EnterHover() {
  if (hovered_) return;
  hovered_ = true;
  update();
  // A hover sound is stored only: there is no audio output.
}

void CBitmapButtonEx::LeaveHover() {
  if (!flat_ || !hovered_) return;
  hovered_ = false;
  update();
}

void CBitmapButtonEx::enterEvent(QEnterEvent* event) {
  QPushButton::enterEvent(event);
  const bool leftDown = (QApplication::mouseButtons() & Qt::LeftButton) != 0;
  if (MayStartHover(flat_, leftDown, alwaysTrack_, QApplication::activeWindow() != nullptr)) EnterHover();
}

void CBitmapButtonEx::leaveEvent(QEvent* event) {
  QPushButton::leaveEvent(event);
  LeaveHover();
}

void CBitmapButtonEx::mouseMoveEvent(QMouseEvent* event) {
  QPushButton::mouseMoveEvent(event);
  const bool leftDown = (event->buttons() & Qt::LeftButton) != 0;
  if (!flat_ || (leftDown && !hovered_)) return;
  const bool over = rect().contains(event->position().toPoint());
  if (over && MayStartHover(flat_, false, alwaysTrack_, QApplication::activeWindow() != nullptr)) {
    EnterHover();
  } else {
    LeaveHover();
  }
}

void CBitmapButtonEx::mouseDoubleClickEvent(QMouseEvent* event) {
  // A quick second click is a click: the double click becomes a press.
  if (event->button() == Qt::LeftButton) {
    mousePressEvent(event);
    return;
  }
  QPushButton::mouseDoubleClickEvent(event);
}

void CBitmapButtonEx::focusOutEvent(QFocusEvent* event) {
  QPushButton::focusOutEvent(event);
  LeaveHover();
}

void CBitmapButtonEx::changeEvent(QEvent* event) {
  QPushButton::changeEvent(event);
  switch (event->type()) {
    case QEvent::ActivationChange:
      if (!isActiveWindow()) LeaveHover();
      break;
    case QEvent::EnabledChange:
      if (!isEnabled()) {
        LeaveHover();
        // The focus goes on to the next control of the page, or the page itself.
        if (hasFocus() && parentWidget() != nullptr) {
          focusNextChild();
          if (hasFocus()) parentWidget()->setFocus();
        }
      }
      break;
    case QEvent::ApplicationPaletteChange:
      // The system colours changed: back to the default colours.
      cachedBackground_ = QPixmap();
      colours_.SetDefaults();
      update();
      break;
    case QEvent::PaletteChange:
      cachedBackground_ = QPixmap();
      break;
    default:
      break;
  }
}

bool CBitmapButtonEx::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Enter:
      CreateTooltipIfNeeded();  // the tooltip sees every input message
      break;
    case QEvent::ToolTip:
      if (tooltip_.created && tooltip_.hasTool) {
        if (tooltip_.active && !tooltip_.text.isEmpty()) {
          QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tooltip_.text, this, rect());
        } else {
          QToolTip::hideText();
        }
        return true;
      }
      break;
    default:
      break;
  }
  return QPushButton::event(event);
}

// ---- drawing ----

ButtonDrawState CBitmapButtonEx::CurrentState() const {
  ButtonDrawState state;
  state.pressed = IsDrawnPressed(isDown(), checkBoxMode_, checked_, menuOpen_);
  state.focused = hasFocus();
  state.disabled = !isEnabled();
  state.hovered = hovered_;
  state.isDefault = isDefault_;
  state.checkBoxMode = checkBoxMode_;
  return state;
}

void CBitmapButtonEx::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  CDC dc(painter);
  DrawItem(dc, FromQRect(rect()), CurrentState());
}

void CBitmapButtonEx::DrawItem(CDC& dc, const CRect& item, const ButtonDrawState& state) {
  dc.SelectObject(CFont(font()));
  dc.SetBkMode(TRANSPARENT);

  // Background.
  CRect face = item;
  if (drawTransparent_) {
    PaintCachedBackground(dc);
  } else {
    OnDrawBackground(dc, face, state);
  }

  // Border.
  OnDrawBorder(dc, face, state);

  // Image; it decides where the caption goes.
  const CString caption = FromQString(text());
  CRect captionRect = item;
  if (HasIcon()) {
    DrawTheIcon(dc, !caption.empty(), item, captionRect, state);
  } else if (HasBitmap()) {
    dc.SetBkColor(RGB(255, 255, 255));
    DrawTheBitmap(dc, !caption.empty(), item, captionRect, state);
  }

  // Caption.
  if (!caption.empty()) DrawTheText(dc, caption, captionRect, state);

  // Focus.
  if (ShowsFocusRect(state, flat_, drawFlatFocus_)) {
    CRect focus = item;
    focus.DeflateRect(3, 3);
    dc.DrawFocusRect(focus);
  }
}

void CBitmapButtonEx::PaintCachedBackground(CDC& dc) {
  if (cachedBackground_.isNull() && parentWidget() != nullptr && !fillingCache_) {
    // What lies under the button: the parent's own painting, without its children.
    fillingCache_ = true;
    QPixmap under(size());
    under.fill(Qt::transparent);
    parentWidget()->render(&under, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
    cachedBackground_ = under;
    fillingCache_ = false;
  }
  if (!cachedBackground_.isNull()) dc.Painter().drawPixmap(0, 0, cachedBackground_);
}

void CBitmapButtonEx::OnDrawBackground(CDC& dc, CRect& rect, const ButtonDrawState& state) {
  if (HasBlackFrame(state, flat_)) {
    dc.FrameRect(rect, CBrush(RGB(0, 0, 0)));
    rect.DeflateRect(1, 1);
  }
  dc.FillSolidRect(rect, colours_.At(StateBackgroundIndex(state)));
}

void CBitmapButtonEx::OnDrawBorder(CDC& dc, const CRect& rect, const ButtonDrawState& state) {
  switch (BorderOf(state, flat_, drawBorder_)) {
    case ButtonBorder::None:
      break;
    case ButtonBorder::PressedFrame:
      dc.FrameRect(rect, CBrush(GetSysColor(COLOR_BTNSHADOW)));
      break;
    case ButtonBorder::Sunken:
      dc.Draw3dRect(rect, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
      break;
    case ButtonBorder::RaisedDouble: {
      const CPen oldPen = dc.SelectObject(CPen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT)));
      // Outer top and left lines.
      dc.MoveTo(rect.left, rect.bottom - 1);
      dc.LineTo(rect.left, rect.top);
      dc.LineTo(rect.right, rect.top);
      // Inner top and left lines.
      dc.SelectObject(CPen(PS_SOLID, 1, GetSysColor(COLOR_3DLIGHT)));
      dc.MoveTo(rect.left + 1, rect.bottom - 2);
      dc.LineTo(rect.left + 1, rect.top + 1);
      dc.LineTo(rect.right - 1, rect.top + 1);
      // Outer bottom and right lines.
      dc.SelectObject(CPen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW)));
      dc.MoveTo(rect.left, rect.bottom - 1);
      dc.LineTo(rect.right - 1, rect.bottom - 1);
      dc.LineTo(rect.right - 1, rect.top - 1);
      // Inner bottom and right lines.
      dc.SelectObject(CPen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
      dc.MoveTo(rect.left + 1, rect.bottom - 2);
      dc.LineTo(rect.right - 2, rect.bottom - 2);
      dc.LineTo(rect.right - 2, rect.top);
      dc.SelectObject(oldPen);
      break;
    }
    case ButtonBorder::Raised:
      dc.Draw3dRect(rect, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
      break;
  }
}

const QImage& CBitmapButtonEx::ImageFor(const ButtonDrawState& state, bool bitmap) const {
  const QImage& in = bitmap ? bitmapIn_ : iconIn_;
  const QImage& out = bitmap ? bitmapOut_ : iconOut_;
  if (UsesInImage(state) || out.isNull()) return in;
  return out;
}

void CBitmapButtonEx::DrawImage(CDC& dc, bool bitmap, bool hasCaption, const CRect& item, CRect& captionRect,
                                const ButtonDrawState& state) {
  const QImage& image = ImageFor(state, bitmap);
  const bool moveContent = state.pressed && !state.checkBoxMode;
  const ButtonContentLayout layout =
      PlaceButtonContent(item, FromQSize(image.size()), hasCaption, align_, margin_, moveContent, pressedOffset_);
  captionRect = layout.caption;
  const CPoint at = layout.image.TopLeft();

  if (state.disabled) {
    // Embossed: a bitmap by its shape without the transparent colour.
    const bool usingIn = &image == &bitmapIn_;
    DrawDisabledImage(dc, bitmap ? (usingIn ? shapeIn_ : shapeOut_) : image, at);
    return;
  }
  QPainter& painter = dc.Painter();
  if (!bitmap) {
    painter.drawImage(ToQPoint(at), image);
    return;
  }
  // The mask clears the bitmap's pixels to black, then the bitmap is laid in; its
  // transparent pixels are black and leave the face as it was.
  const QImage& mask = &image == &bitmapIn_ ? maskIn_ : maskOut_;
  painter.save();
  painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
  painter.drawImage(ToQPoint(at), mask);
  painter.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
  painter.drawImage(ToQPoint(at), image);
  painter.restore();
}

void CBitmapButtonEx::DrawTheIcon(CDC& dc, bool hasCaption, const CRect& item, CRect& captionRect,
                                  const ButtonDrawState& state) {
  DrawImage(dc, false, hasCaption, item, captionRect, state);
}

void CBitmapButtonEx::DrawTheBitmap(CDC& dc, bool hasCaption, const CRect& item, CRect& captionRect,
                                    const ButtonDrawState& state) {
  DrawImage(dc, true, hasCaption, item, captionRect, state);
}

void CBitmapButtonEx::DrawTheText(CDC& dc, const CString& caption, const CRect& captionRect,
                                  const ButtonDrawState& state) {
  CRect area = captionRect;
  if (state.pressed && !state.checkBoxMode) area.OffsetRect(pressedOffset_);

  // Measured with word wrap and centring, then centred in the caption's area.
  CRect measured = area;
  dc.DrawText(caption, measured, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
  CRect centred = CentreRectIn(measured.Size(), area);

  if (state.disabled) {
    CRect raised = centred;
    raised.OffsetRect(1, 1);
    dc.SetTextColor(GetSysColor(COLOR_BTNHIGHLIGHT));
    dc.DrawText(caption, raised, DT_WORDBREAK | DT_CENTER);
    dc.SetTextColor(GetSysColor(COLOR_BTNSHADOW));
    dc.DrawText(caption, centred, DT_WORDBREAK | DT_CENTER);
    return;
  }
  dc.SetTextColor(colours_.At(StateTextIndex(state)));
  dc.SetBkColor(colours_.At(StateBackgroundIndex(state)));
  dc.DrawText(caption, centred, DT_WORDBREAK | DT_CENTER);
}
