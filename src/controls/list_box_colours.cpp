#include "controls/list_box_colours.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr COLORREF kRgbMask = 0x00FFFFFFu;

double LinearChannel(int byte) {
  const double c = byte / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double RelativeLuminance(COLORREF colour) {
  return 0.2126 * LinearChannel(GetRValue(colour)) + 0.7152 * LinearChannel(GetGValue(colour)) +
         0.0722 * LinearChannel(GetBValue(colour));
}

int ScaledByte(int byte, int step) { return static_cast<int>(std::lround(byte * step / 255.0)); }
}  // namespace

COLORREF InverseColour(COLORREF colour) {
  return RGB(255 - GetRValue(colour), 255 - GetGValue(colour), 255 - GetBValue(colour));
}

ListBoxLineLook ListBoxLineColours(COLORREF colour, bool selected, bool disabled, COLORREF background) {
  ListBoxLineLook look;
  look.fill = selected ? colour : background;
  if (colour != 0) {
    if (selected) {
      look.text = ReadableTextColour(InverseColour(colour), colour);
    } else if (disabled) {
      look.text = GetSysColor(COLOR_GRAYTEXT);
    } else if ((colour & kRgbMask) == (background & kRgbMask)) {
      look.text = GetSysColor(COLOR_WINDOWTEXT);
    } else {
      look.text = colour;
    }
  } else {
    if (selected) {
      look.text = ReadableTextColour(GetSysColor(COLOR_HIGHLIGHTTEXT), look.fill);
    } else if (disabled) {
      look.text = GetSysColor(COLOR_GRAYTEXT);
    } else {
      look.text = GetSysColor(COLOR_WINDOWTEXT);
    }
  }
  return look;
}

double ContrastRatio(COLORREF a, COLORREF b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

COLORREF ReadableTextColour(COLORREF preferred, COLORREF field, double minRatio) {
  if (ContrastRatio(preferred, field) >= minRatio) return preferred;
  constexpr COLORREF kBlack = RGB(0, 0, 0);
  constexpr COLORREF kWhite = RGB(255, 255, 255);
  return ContrastRatio(kBlack, field) >= ContrastRatio(kWhite, field) ? kBlack : kWhite;
}

COLORREF DarkenForContrast(COLORREF colour, COLORREF background, double minRatio) {
  colour &= kRgbMask;
  if (colour == 0 || colour == (background & kRgbMask) || ContrastRatio(colour, background) >= minRatio) {
    return colour;
  }
  // The lightest shade that reads; 0 would mean "no colour of its own".
  for (int step = 254; step > 0; --step) {
    const COLORREF shade = RGB(ScaledByte(GetRValue(colour), step), ScaledByte(GetGValue(colour), step),
                               ScaledByte(GetBValue(colour), step));
    if (shade == 0) break;
    if (ContrastRatio(shade, background) >= minRatio) return shade;
  }
  return colour;
}
