#include "controls/list_box_colours.h"

namespace {
constexpr COLORREF kRgbMask = 0x00FFFFFFu;
}

COLORREF InverseColour(COLORREF colour) {
  return RGB(255 - GetRValue(colour), 255 - GetGValue(colour), 255 - GetBValue(colour));
}

ListBoxLineLook ListBoxLineColours(COLORREF colour, bool selected, bool disabled, COLORREF background) {
  ListBoxLineLook look;
  look.fill = selected ? colour : background;
  if (colour != 0) {
    if (selected) {
      look.text = InverseColour(colour);
    } else if (disabled) {
      look.text = GetSysColor(COLOR_GRAYTEXT);
    } else if ((colour & kRgbMask) == (background & kRgbMask)) {
      look.text = GetSysColor(COLOR_WINDOWTEXT);
    } else {
      look.text = colour;
    }
  } else {
    if (selected) {
      look.text = GetSysColor(COLOR_HIGHLIGHTTEXT);
    } else if (disabled) {
      look.text = GetSysColor(COLOR_GRAYTEXT);
    } else {
      look.text = GetSysColor(COLOR_WINDOWTEXT);
    }
  }
  return look;
}
