#pragma once
// The face of the hover flat button: a vertical gradient of 64 shades whose colours
// depend on whether the mouse is over the button and whether it is pressed (or
// focused, or the default button), and the frame colours it lights up with.

#include <array>

#include "platform/gdi_types.h"

inline constexpr int kHoverFaceShades = 64;

// The colour of shade i (0..63): with a = 255 - i/4, b = 255 - i/3, c = 255 - i/5,
// hovered and pressed (a, a, b), hovered (a, a, c), pressed (b, b, a), neither (b, b, c).
COLORREF HoverFaceShade(int shade, bool hovered, bool pressedOrDefault);

// The shade of row y of a face `height` rows high: min(63, y * 63 / height). A face
// without rows (height <= 0, a button of 4 pixels or less) uses the last shade.
int HoverFaceShadeIndex(int y, int height);

// The colour of row y.
inline COLORREF HoverFaceRowColour(int y, int height, bool hovered, bool pressedOrDefault) {
  return HoverFaceShade(HoverFaceShadeIndex(y, height), hovered, pressedOrDefault);
}

// One edge of the frame: its pen width and colour.
struct HoverFrameEdge {
  int width = 1;
  COLORREF colour = 0;
};
// Left, right, top and bottom edge.
struct HoverFramePens {
  std::array<HoverFrameEdge, 4> edges;
};
// The orange frame of a hovered button and the blue one of a focused button.
HoverFramePens HoverFrame();
HoverFramePens FocusFrame();
// Which frame a state draws: nothing when neither hovered nor focused; the orange one
// when hovered or not focused, else the blue one.
enum class HoverFrameKind { None, Hover, Focus };
HoverFrameKind HoverFrameOf(bool hovered, bool focused);
// A focused button the mouse is not over also shows a focus rectangle.
inline bool HoverShowsFocusRect(bool hovered, bool focused) { return focused && !hovered; }

// The face brushes: one while hovered, one otherwise.
inline constexpr COLORREF kHoverFaceBrushHovered = RGB(223, 222, 236);
inline constexpr COLORREF kHoverFaceBrushNormal = RGB(222, 223, 236);
