#include "controls/hover_face.h"

#include <algorithm>

COLORREF HoverFaceShade(int shade, bool hovered, bool pressedOrDefault) {
  const int i = std::clamp(shade, 0, kHoverFaceShades - 1);
  const int a = 255 - i / 4;
  const int b = 255 - i / 3;
  const int c = 255 - i / 5;
  if (hovered && pressedOrDefault) return RGB(a, a, b);
  if (hovered) return RGB(a, a, c);
  if (pressedOrDefault) return RGB(b, b, a);
  return RGB(b, b, c);
}

int HoverFaceShadeIndex(int y, int height) {
  if (height <= 0) return kHoverFaceShades - 1;
  const long long shade = static_cast<long long>(std::max(y, 0)) * (kHoverFaceShades - 1) / height;
  return static_cast<int>(std::min<long long>(kHoverFaceShades - 1, shade));
}

HoverFramePens HoverFrame() {
  return {{{{3, RGB(250, 196, 88)}, {3, RGB(251, 202, 106)}, {2, RGB(252, 210, 121)}, {2, RGB(229, 151, 0)}}}};
}

HoverFramePens FocusFrame() {
  return {{{{3, RGB(153, 198, 252)}, {3, RGB(162, 189, 252)}, {2, RGB(162, 201, 255)}, {2, RGB(162, 201, 255)}}}};
}

HoverFrameKind HoverFrameOf(bool hovered, bool focused) {
  if (!hovered && !focused) return HoverFrameKind::None;
  return (!focused || hovered) ? HoverFrameKind::Hover : HoverFrameKind::Focus;
}
