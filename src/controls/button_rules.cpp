#include "controls/button_rules.h"

#include <algorithm>

#include "platform/ascii.h"

COLORREF OffsetColour(COLORREF colour, int offset) {
  const int r = GetRValue(colour);
  const int g = GetGValue(colour);
  const int b = GetBValue(colour);
  int shift = offset;
  if (shift > 0) {
    shift = std::min({shift, 255 - r, 255 - g, 255 - b});
  } else if (shift < 0) {
    shift = std::max({shift, -r, -g, -b});
  }
  return RGB(r + shift, g + shift, b + shift);
}

bool IsValidColourOffset(int offset) { return offset >= -255 && offset <= 255; }

int GreyOf(COLORREF colour) {
  // In thousandths, so that white stays 255 and no rounding of a float can cut a level.
  return (299 * GetRValue(colour) + 587 * GetGValue(colour) + 114 * GetBValue(colour)) / 1000;
}

int DarkerOf(int channel) { return (3 * channel) / 4; }

COLORREF GreyColour(COLORREF colour) {
  const int grey = GreyOf(colour);
  return RGB(grey, grey, grey);
}

COLORREF DarkerColour(COLORREF colour) {
  return RGB(DarkerOf(GetRValue(colour)), DarkerOf(GetGValue(colour)), DarkerOf(GetBValue(colour)));
}

// ---- the six state colours ----

namespace {

bool IsColourIndex(int index) { return index >= 0 && index < kButtonColourCount; }

}  // namespace

void ButtonColours::SetDefaults() {
  for (int i = 0; i < kButtonColourCount; ++i) {
    const bool background = i % 2 == 0;
    colours_[static_cast<size_t>(i)] = GetSysColor(background ? COLOR_BTNFACE : COLOR_BTNTEXT);
  }
}

int ButtonColours::Set(int index, COLORREF colour) {
  if (!IsColourIndex(index)) return kButtonBadColourIndex;
  colours_[static_cast<size_t>(index)] = colour;
  return kButtonOk;
}

int ButtonColours::Get(int index, COLORREF& colour) const {
  if (!IsColourIndex(index)) return kButtonBadColourIndex;
  colour = colours_[static_cast<size_t>(index)];
  return kButtonOk;
}

int ButtonColours::Offset(int index, int offset) {
  if (!IsColourIndex(index)) return kButtonBadColourIndex;
  if (!IsValidColourOffset(offset)) return kButtonBadOffset;
  auto& colour = colours_[static_cast<size_t>(index)];
  colour = OffsetColour(colour, offset);
  return kButtonOk;
}

// ---- state rules ----

bool IsDrawnPressed(bool down, bool checkBoxMode, bool checked, bool menuOpen) {
  return down || (checkBoxMode && checked) || menuOpen;
}

int StateBackgroundIndex(const ButtonDrawState& state) {
  if (state.hovered || state.pressed) return kButtonBackgroundIn;
  if (state.focused) return kButtonBackgroundFocus;
  return kButtonBackgroundOut;
}

bool HasBlackFrame(const ButtonDrawState& state, bool flat) { return !flat && (state.focused || state.isDefault); }

ButtonBorder BorderOf(const ButtonDrawState& state, bool flat, bool drawBorder) {
  if (state.pressed) {
    if (!flat) return ButtonBorder::PressedFrame;
    return drawBorder ? ButtonBorder::Sunken : ButtonBorder::None;
  }
  if (!flat) return ButtonBorder::RaisedDouble;
  return state.hovered && drawBorder ? ButtonBorder::Raised : ButtonBorder::None;
}

bool UsesInImage(const ButtonDrawState& state) {
  if (state.checkBoxMode) return state.pressed;
  return state.pressed || state.hovered;
}

bool ShowsFocusRect(const ButtonDrawState& state, bool flat, bool drawFlatFocus) {
  return state.focused && (!flat || drawFlatFocus);
}

std::optional<CPoint> PressedOffsetOf(int pressedStyle) {
  switch (pressedStyle) {
    case kButtonPressedStyleDiagonal:
      return CPoint(1, 1);
    case kButtonPressedStyleDown:
      return CPoint(0, 2);
    default:
      return std::nullopt;
  }
}

// ---- layout ----

CRect CentreRectIn(CSize size, const CRect& area) {
  const int left = area.left + (area.Width() - size.cx) / 2;
  const int top = area.top + (area.Height() - size.cy) / 2;
  return CRect(CPoint(left, top), size);
}

ButtonContentLayout PlaceButtonContent(const CRect& item, CSize image, bool hasCaption, int align, CSize margin,
                                       bool moveContent, CPoint pressedOffset) {
  ButtonContentLayout layout;
  layout.caption = item;
  const CRect centred = CentreRectIn(image, item);
  int left = centred.left;
  int top = centred.top;

  switch (align) {
    case kButtonAlignImageLeft:
      if (hasCaption) {
        left = item.left + margin.cx;
        layout.caption.left = left + image.cx;  // the caption starts after width + margin
      }
      break;
    case kButtonAlignImageAbove:
      if (hasCaption) {
        top = item.top + margin.cy;
        layout.caption.top = top + image.cy;  // the caption starts below the image
      }
      break;
    case kButtonAlignImageRight:
      if (hasCaption) {
        left = item.right - margin.cx - image.cx;
        layout.caption.right = left;  // the caption ends before the image
      }
      break;
    case kButtonAlignOverlap:
    default:
      left = item.left;
      top = item.top;
      break;
  }

  layout.image = CRect(CPoint(left, top), image);
  if (moveContent) layout.image.OffsetRect(pressedOffset);
  return layout;
}

// ---- web addresses ----

bool IsOpenableUrl(const std::string& url) {
  const auto colon = url.find(':');
  if (colon == std::string::npos) return false;
  const std::string scheme = AsciiLower(std::string_view(url).substr(0, colon));
  if (scheme != "http" && scheme != "https") return false;
  // "//" and at least one character of host.
  const std::string rest = url.substr(colon + 1);
  if (rest.size() < 3 || rest.compare(0, 2, "//") != 0) return false;
  const char hostStart = rest[2];
  if (hostStart == '/' || hostStart == '?' || hostStart == '#') return false;
  // No control characters or spaces anywhere: such a text is not an address.
  return std::none_of(url.begin(), url.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7F; });
}

// ---- hover and sounds ----

bool MayStartHover(bool flat, bool leftButtonDown, bool alwaysTrack, bool programActive) {
  if (!flat || leftButtonDown) return false;
  return alwaysTrack || programActive;
}

unsigned SoundFlags(bool fromResource, bool async) {
  unsigned flags = (fromResource ? kSoundFromResource : kSoundFromFile) | kSoundNoDefault | kSoundNoWait;
  if (async) flags |= kSoundAsync;
  return flags;
}
