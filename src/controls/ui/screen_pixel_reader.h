#pragma once
// Screen pixels for the colour picker's eyedropper. Reading the screen works on X11
// only; elsewhere (offscreen, Wayland) the reader says the pixel is unavailable.

#include <memory>

#include "controls/palette.h"

// One 1 x 1 grab of the screen under the point.
class X11ScreenPixelReader final : public IScreenPixelReader {
 public:
  std::optional<COLORREF> ReadPixel(CPoint screenPoint) override;
};

class UnavailableScreenPixelReader final : public IScreenPixelReader {
 public:
  std::optional<COLORREF> ReadPixel(CPoint /*screenPoint*/) override { return std::nullopt; }
};

// The X11 reader on the "xcb" platform, the unavailable one everywhere else.
std::unique_ptr<IScreenPixelReader> MakeScreenPixelReader();
