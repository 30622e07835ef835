#pragma once
// The rules of the owner-drawn bitmap button that need no display: its six state
// colours and how they are shifted, the grey and darker copies of an image's pixels,
// where the image and the caption go for each alignment, which colours, border and
// image a state uses, and which web addresses the button may open.

#include <array>
#include <optional>
#include <string>

#include "platform/gdi_types.h"

// Indexes of the six state colours. "In" is the mouse over the button or the button
// pressed, "out" is neither; the focus pair is used when the button has the focus.
constexpr int kButtonBackgroundIn = 0;
constexpr int kButtonTextIn = 1;
constexpr int kButtonBackgroundOut = 2;
constexpr int kButtonTextOut = 3;
constexpr int kButtonBackgroundFocus = 4;
constexpr int kButtonTextFocus = 5;
constexpr int kButtonColourCount = 6;

// Results of the button's setters.
constexpr int kButtonOk = 0;
constexpr int kButtonImageNotLoaded = 1;  // also: menu or cursor not loaded
constexpr int kButtonMaskNotMade = 2;
constexpr int kButtonBadColourIndex = 3;
constexpr int kButtonBadAlign = 4;
constexpr int kButtonBadOffset = 5;
constexpr int kButtonNotTransparent = 5;  // SetBk without transparent drawing or context
constexpr int kButtonBadPressedStyle = 6;

// Image and caption alignments.
constexpr int kButtonAlignImageLeft = 0;
constexpr int kButtonAlignImageAbove = 1;
constexpr int kButtonAlignImageRight = 2;
constexpr int kButtonAlignOverlap = 3;

// Pressed styles: how far image and caption move while the button is down.
constexpr int kButtonPressedStyleDiagonal = 0;  // (1, 1)
constexpr int kButtonPressedStyleDown = 1;      // (0, 2)

// The out-image made from the in-image instead of a separate image.
constexpr int kButtonOutImageGrey = -2;
constexpr int kButtonOutImageDarker = -3;

// Shifts all three channels by the same amount, cut so that no channel leaves
// 0..255: a positive offset is limited to the smallest headroom (255 - channel), a
// negative one to the smallest channel. The offset itself is expected in -255..255.
COLORREF OffsetColour(COLORREF colour, int offset);
bool IsValidColourOffset(int offset);

// The grey level 0.299 R + 0.587 G + 0.114 B, truncated.
int GreyOf(COLORREF colour);
// A channel less a quarter of itself, truncated.
int DarkerOf(int channel);
COLORREF GreyColour(COLORREF colour);    // the grey level in all three channels
COLORREF DarkerColour(COLORREF colour);  // each channel darker

// The six state colours; the defaults are the system button face for the three
// backgrounds and the system button text for the three texts.
class ButtonColours {
 public:
  ButtonColours() { SetDefaults(); }

  void SetDefaults();
  // kButtonBadColourIndex for an index outside 0..5, else kButtonOk.
  int Set(int index, COLORREF colour);
  int Get(int index, COLORREF& colour) const;
  // kButtonBadColourIndex for an index above 5 (or below 0), kButtonBadOffset for an
  // offset outside -255..255; nothing changes on either. Else OffsetColour.
  int Offset(int index, int offset);
  // The colour at a valid index.
  COLORREF At(int index) const { return colours_.at(static_cast<size_t>(index)); }

 private:
  std::array<COLORREF, kButtonColourCount> colours_{};
};

// What one paint of the button knows about it.
struct ButtonDrawState {
  bool pressed = false;   // down, checked in check-box mode, or its menu open
  bool focused = false;
  bool disabled = false;
  bool hovered = false;
  bool isDefault = false;
  bool checkBoxMode = false;
};

// The button is drawn pressed while it is down, while it is checked in check-box
// mode and while its menu is open.
bool IsDrawnPressed(bool down, bool checkBoxMode, bool checked, bool menuOpen);

// The background index of the state's colour pair (the text is the next index): the
// in pair when hovered or pressed, else the focus pair when focused, else the out pair.
int StateBackgroundIndex(const ButtonDrawState& state);
inline int StateTextIndex(const ButtonDrawState& state) { return StateBackgroundIndex(state) + 1; }

// A button that is not flat gets a black frame when it is focused or the default.
bool HasBlackFrame(const ButtonDrawState& state, bool flat);

enum class ButtonBorder {
  None,          // flat, neither hovered nor pressed (or borders switched off)
  PressedFrame,  // pressed, not flat: one pixel in the button shadow
  Sunken,        // pressed, flat: shadow top-left, highlight bottom-right
  RaisedDouble,  // not pressed, not flat: the two-pixel raised border
  Raised,        // not pressed, flat, hovered: highlight top-left, shadow bottom-right
};
ButtonBorder BorderOf(const ButtonDrawState& state, bool flat, bool drawBorder);

// In check-box mode the in-image shows while pressed; otherwise while pressed or hovered.
bool UsesInImage(const ButtonDrawState& state);

// A focus rectangle is drawn on a focused button that is not flat, or flat with
// flat focus drawing on.
bool ShowsFocusRect(const ButtonDrawState& state, bool flat, bool drawFlatFocus);

// The pressed offset of a pressed style; nothing for another style.
std::optional<CPoint> PressedOffsetOf(int pressedStyle);

// Where the image and the caption go within the item rectangle.
struct ButtonContentLayout {
  CRect image;    // the image's pixels
  CRect caption;  // the area the caption is centred in
};

// image is the image's size, margin the horizontal and vertical margin. A button that
// moves its content (pressed, not in check-box mode) shifts the image by
// pressedOffset; the caption's area is returned unmoved (the caption step moves it).
ButtonContentLayout PlaceButtonContent(const CRect& item, CSize image, bool hasCaption, int align, CSize margin,
                                       bool moveContent, CPoint pressedOffset);

// A rectangle of the given size centred in area (an odd leftover goes right and down).
CRect CentreRectIn(CSize size, const CRect& area);

// Only http and https addresses (scheme case-insensitive, with a host) may be opened.
bool IsOpenableUrl(const std::string& url);

// Whether the mouse over the button may start the hovered state: flat buttons only,
// not while the left button is held (a drag that comes in from outside), and, with
// always-track off, only while the program has an active window.
bool MayStartHover(bool flat, bool leftButtonDown, bool alwaysTrack, bool programActive);

// Play flags stored with a sound.
constexpr unsigned kSoundFromResource = 0x0001;
constexpr unsigned kSoundFromFile = 0x0002;
constexpr unsigned kSoundNoDefault = 0x0004;
constexpr unsigned kSoundNoWait = 0x0008;
constexpr unsigned kSoundAsync = 0x0010;

// The flags of a sound: its source, no default sound, no waiting, and asynchronous
// when asked.
unsigned SoundFlags(bool fromResource, bool async);
