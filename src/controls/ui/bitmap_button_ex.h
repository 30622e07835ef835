#pragma once
// The pages' owner-drawn push button: an icon or a masked bitmap beside, above or
// over its caption, a face coloured by state (mouse over or pressed, focused,
// neither), flat or raised, with a tooltip, and optionally a check box, a popup
// menu or a web address on click.
//
// paintEvent builds the state of this paint and runs DrawItem, whose steps a derived
// class may replace: OnDrawBackground, OnDrawBorder, DrawTheIcon or DrawTheBitmap,
// DrawTheText, then the focus rectangle.

#include <QCursor>
#include <QEvent>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "controls/button_rules.h"
#include "controls/ui/bc_menu.h"
#include "platform/ui/track_popup_menu.h"
#include "platform/gdi_types.h"
#include "platform/menu.h"
#include "platform/ui/dc.h"

// ---- resources the buttons load by id ----
// Our resource file (res/velkor.qrc, prefix /velkor) holds the images; the pages
// register the ids they use. Everything here is used on the UI thread only.

// An image (icon, bitmap or cursor) by id: a path in the resource file
// (":/velkor/icons/...") or on disk. A later registration of the same id wins.
void RegisterButtonImage(UINT id, const QString& path);
// The image of that id; null when the id is unknown or the file cannot be read.
QImage LoadButtonImage(UINT id);
// A string resource by id; "" when unknown.
void RegisterButtonString(UINT id, const std::string& text);
std::string LoadButtonString(UINT id);
// A popup menu by id: its items in order; command id 0 is a separator.
struct ButtonMenuItem {
  int commandId = 0;
  std::string text;
};
void RegisterButtonMenu(UINT id, std::vector<ButtonMenuItem> items);
// Menu templates (nested, with flags) by id or by name, for the owner-drawn menus'
// LoadMenu; nullptr when unknown.
void RegisterMenuResource(UINT id, std::vector<MenuTemplateItem> items);
void RegisterMenuResource(const std::string& name, std::vector<MenuTemplateItem> items);
const std::vector<MenuTemplateItem>* FindMenuResource(UINT id);
const std::vector<MenuTemplateItem>* FindMenuResource(const std::string& name);
// A toolbar: the image id of its strip, the size of one button image, and the
// command id of each button in order (0 = a separator, which has no image).
struct ToolBarResource {
  UINT bitmapId = 0;
  int width = 16;
  int height = 15;
  std::vector<UINT> commands;
};
void RegisterToolBarResource(UINT id, ToolBarResource toolBar);
const ToolBarResource* FindToolBarResource(UINT id);
// Forgets every registration (tests).
void ClearButtonResources();

// ---- web addresses ----

// Opens a web address; false when it could not be opened.
class IUrlOpener {
 public:
  virtual ~IUrlOpener() = default;
  virtual bool OpenUrl(const std::string& url) = 0;
};

// The desktop's browser.
class DesktopUrlOpener final : public IUrlOpener {
 public:
  bool OpenUrl(const std::string& url) override;
};

// ---- what the button sends ----

// A command chosen from the button's menu, posted to the menu's owner.
class CommandEvent : public QEvent {
 public:
  explicit CommandEvent(int id) : QEvent(EventType()), id_(id) {}
  static QEvent::Type EventType();
  int Id() const { return id_; }

 private:
  int id_;
};

// Sent (synchronously) to the menu-callback object just before the menu opens.
class MenuCallbackEvent : public QEvent {
 public:
  MenuCallbackEvent(UINT message, QMenu* menu, qintptr value)
      : QEvent(EventType()), message_(message), menu_(menu), value_(value) {}
  static QEvent::Type EventType();
  UINT Message() const { return message_; }
  QMenu* Menu() const { return menu_; }
  qintptr Value() const { return value_; }

 private:
  UINT message_;
  QMenu* menu_;
  qintptr value_;
};

// A stored sound (never played: there is no audio output here).
struct ButtonSound {
  std::string fileName;  // empty for a resource
  UINT resourceId = 0;
  unsigned flags = 0;    // kSound... flags
};

// The button's type as its page declares it.
enum class ButtonType {
  Push,
  DefaultPush,  // sets the default-button flag, otherwise a push button
  CheckBox,     // check-box mode: a click toggles the checked state
};

class CBitmapButtonEx : public QPushButton, public IMenuOwner {
  Q_OBJECT

 public:
  explicit CBitmapButtonEx(QWidget* parent = nullptr, ButtonType type = ButtonType::Push);
  CBitmapButtonEx(const QString& caption, QWidget* parent, ButtonType type = ButtonType::Push);
  ~CBitmapButtonEx() override;

  // ---- images ----
  // Icons from the resources; an out id of 0 means none, kButtonOutImageGrey and
  // kButtonOutImageDarker make it from the in-icon. An in id of 0 drops all images.
  // kButtonImageNotLoaded when an image cannot be loaded (everything is dropped then).
  int SetIcon(int inResourceId, int outResourceId = 0);
  // The same with images; a null in-image drops all images.
  int SetIcon(const QImage& in, const QImage& out = QImage());
  int SetIcon(const QImage& in, int outKind);
  // Bitmaps with their transparent colours: each gets a mask (transparent colour
  // white, everything else black) and its transparent pixels turned black, so it is
  // laid over the face with the mask (AND) and then itself (OR).
  // kButtonImageNotLoaded when a bitmap cannot be read, kButtonMaskNotMade when a mask
  // cannot be made.
  int SetBitmaps(int inResourceId, COLORREF inTransparent, int outResourceId = 0, COLORREF outTransparent = 0);
  int SetBitmaps(const QImage& in, COLORREF inTransparent, const QImage& out = QImage(),
                 COLORREF outTransparent = 0);
  int SetBitmaps(const QImage& in, COLORREF inTransparent, int outKind);
  // Margins 0 and the button resized (not moved) to the icon, or else the bitmap.
  void SizeToContent();

  bool HasIcon() const { return !iconIn_.isNull(); }
  bool HasBitmap() const { return !bitmapIn_.isNull(); }
  const QImage& InImage() const { return HasIcon() ? iconIn_ : bitmapIn_; }
  const QImage& OutImage() const { return HasIcon() ? iconOut_ : bitmapOut_; }
  // The bitmaps' masks as made (white where transparent).
  const QImage& InMask() const { return maskIn_; }
  const QImage& OutMask() const { return maskOut_; }

  // ---- colours ----
  int SetDefaultColors(bool repaint = true);
  int SetColor(int index, COLORREF colour, bool repaint = true);
  int GetColor(int index, COLORREF& colour) const;
  int OffsetColor(int index, int offset, bool repaint = true);

  // ---- look ----
  int SetFlat(bool flat = true, bool repaint = true);
  bool IsFlat() const { return flat_; }
  int SetAlign(int align, bool repaint = true);
  int GetAlign() const { return align_; }
  int SetPressedStyle(int style, bool repaint = true);
  CPoint PressedOffset() const { return pressedOffset_; }
  CSize Margins() const { return margin_; }
  int DrawBorder(bool enable = true, bool repaint = true);
  int DrawFlatFocus(bool enable, bool repaint = true);
  void SetAlwaysTrack(bool alwaysTrack = true);
  // Transparent drawing: the face is the parent's background under the button,
  // copied the first time it is needed (or given with SetBk) and kept.
  int DrawTransparent(bool repaint = true);
  // Copies the background under the button from a context painting the parent;
  // kButtonNotTransparent without transparent drawing, without a context, or when
  // its device cannot be read.
  int SetBk(CDC* dc);
  bool HasCachedBackground() const { return !cachedBackground_.isNull(); }
  // The cursor shown over the button, by resource id; 0 clears it.
  int SetBtnCursor(int cursorResourceId, bool repaint = true);
  bool HasBtnCursor() const { return btnCursor_.has_value(); }

  // ---- check box and default ----
  // In check-box mode only; any non-zero value checks.
  int SetCheck(int check, bool repaint = true);
  int GetCheck() const { return checked_ ? 1 : 0; }
  bool IsCheckBoxMode() const { return checkBoxMode_; }
  bool GetDefault() const { return isDefault_; }
  // A new type after construction: keeps the owner drawing, updates the default flag.
  void SetButtonStyle(ButtonType type, bool repaint = true);

  // ---- tooltip ----
  // A null text does nothing. Creates the tooltip if there is none, gives it its one
  // tool covering the button, sets the text and activates or deactivates it.
  void SetTooltipText(const char* text, bool activate = true);
  void SetTooltipText(const std::string& text, bool activate = true) { SetTooltipText(text.c_str(), activate); }
  // A string resource; an empty string does nothing.
  void SetTooltipText(int stringResourceId, bool activate = true);
  // The balloon style for the tooltip still to be created; one that exists keeps its
  // style. Qt shows a plain tooltip either way; the style is recorded.
  void EnableBalloonTooltip();
  void ActivateTooltip(bool activate = true);
  bool HasTooltip() const { return tooltip_.created; }
  bool IsBalloonTooltip() const { return tooltip_.created && tooltip_.balloon; }
  bool IsTooltipActive() const { return tooltip_.created && tooltip_.active; }
  std::string TooltipText() const;

  // ---- click actions ----
  // An http or https address opened on click; null or "" clears it. Another scheme
  // is refused (a debug-log line, nothing changes); false then.
  bool SetURL(const char* url);
  const std::string& GetURL() const { return url_; }
  // Where addresses are opened; nullptr restores the desktop's browser. Not owned.
  void SetUrlOpener(IUrlOpener* opener);
  // Attaches the popup menu of a menu resource; the choice is posted to owner as a
  // CommandEvent and emitted as command(id). 0 detaches the menu.
  // kButtonImageNotLoaded when the menu cannot be loaded (nothing changes).
  int SetMenu(UINT menuResourceId, QObject* owner, bool repaint = true);
  QMenu* Menu() const { return menu_; }
  bool IsMenuOpen() const { return menuOpen_; }
  // Sent a MenuCallbackEvent(message, menu, value) before the menu opens.
  void SetMenuCallback(QObject* target, UINT message, qintptr value = 0);
  // Sounds are stored with their play flags; null clears.
  void SetSound(const char* fileName, bool hover = true, bool async = true);
  void SetSoundResource(UINT resourceId, bool hover = true, bool async = true);
  const std::optional<ButtonSound>& Sound(bool hover) const { return hover ? hoverSound_ : clickSound_; }

  bool IsHovered() const { return hovered_; }

  // The owner-drawn menu member: the menu-character and measuring messages of its
  // items go to it while it is one of the registered menus, else to the default.
  BCMenu m_menuBC;
  LRESULT OnMenuChar(UINT ch, UINT flags, CMenu* menu) override;
  void OnMeasureItem(int ctlId, LPMEASUREITEMSTRUCT mis) override;
  // The state the next paint draws.
  ButtonDrawState CurrentState() const;

 signals:
  // A command chosen from the attached menu.
  void command(int id);

 protected:
  // One paint: the steps below in order, into the whole client rectangle.
  virtual void DrawItem(CDC& dc, const CRect& item, const ButtonDrawState& state);
  // Fills the face; a button that is not flat and focused or the default first gets
  // a black frame, and rect shrinks by it.
  virtual void OnDrawBackground(CDC& dc, CRect& rect, const ButtonDrawState& state);
  virtual void OnDrawBorder(CDC& dc, const CRect& rect, const ButtonDrawState& state);
  // Draw the image and set the caption's area.
  virtual void DrawTheIcon(CDC& dc, bool hasCaption, const CRect& item, CRect& captionRect,
                           const ButtonDrawState& state);
  virtual void DrawTheBitmap(CDC& dc, bool hasCaption, const CRect& item, CRect& captionRect,
                             const ButtonDrawState& state);
  virtual void DrawTheText(CDC& dc, const CString& caption, const CRect& captionRect, const ButtonDrawState& state);
  // The monochrome mask of a bitmap (Format_Mono-like: white where transparent,
  // black elsewhere, as RGB32); a null image when it cannot be made.
  virtual QImage CreateMask(const QImage& bitmap, COLORREF transparent) const;

  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct Tooltip {
    bool created = false;
    bool balloon = false;
    bool hasTool = false;
    bool active = false;
    QString text;
  };

  void Init(ButtonType type);
  void Repaint(bool repaint);
  void ReleaseImages();
  void EnterHover();
  void LeaveHover();
  void CreateTooltipIfNeeded();
  void OnClicked();
  void RunMenu();
  void PaintCachedBackground(CDC& dc);
  // The image that this state shows (in or out).
  const QImage& ImageFor(const ButtonDrawState& state, bool bitmap) const;
  void DrawImage(CDC& dc, bool bitmap, bool hasCaption, const CRect& item, CRect& captionRect,
                 const ButtonDrawState& state);

  ButtonColours colours_;
  bool flat_ = true;
  bool alwaysTrack_ = true;
  bool drawBorder_ = true;
  bool drawFlatFocus_ = false;
  int align_ = kButtonAlignImageLeft;
  CPoint pressedOffset_{1, 1};
  CSize margin_{3, 3};
  bool checkBoxMode_ = false;
  bool checked_ = false;
  bool isDefault_ = false;
  bool hovered_ = false;

  QImage iconIn_;
  QImage iconOut_;
  QImage bitmapIn_;    // transparent pixels black
  QImage bitmapOut_;
  QImage maskIn_;      // white where transparent
  QImage maskOut_;
  QImage shapeIn_;     // the bitmaps with their transparent pixels see-through,
  QImage shapeOut_;    // for the disabled look

  bool drawTransparent_ = false;
  QPixmap cachedBackground_;
  bool fillingCache_ = false;
  std::optional<QCursor> btnCursor_;

  Tooltip tooltip_;
  bool balloonStyle_ = false;

  std::string url_;
  IUrlOpener* urlOpener_ = nullptr;

  QPointer<QMenu> menu_;
  QPointer<QObject> menuOwner_;
  bool menuOpen_ = false;
  QPointer<QObject> callbackTarget_;
  UINT callbackMessage_ = 0;
  qintptr callbackValue_ = 0;

  std::optional<ButtonSound> hoverSound_;
  std::optional<ButtonSound> clickSound_;
};
