#pragma once
// The faces of the shaded button, computed without a display: an 8-bit image in a
// palette running from the button shadow through the button face to the button
// highlight, filled with noise, shades, bumps or brushed metal, and its pressed and
// hovered variants.

#include <cstdint>
#include <functional>

#include "controls/dib_image.h"
#include "platform/gdi_types.h"

// Shade types.
inline constexpr int kShadeNoise = 0;
inline constexpr int kShadeDiagonal = 1;
inline constexpr int kShadeVertical = 2;
inline constexpr int kShadeHorizontal = 3;
inline constexpr int kShadeVerticalBump = 4;
inline constexpr int kShadeHorizontalBump = 5;
inline constexpr int kShadeSoftBump = 6;
inline constexpr int kShadeHardBump = 7;
inline constexpr int kShadeMetal = 8;

// A source of pseudo-random numbers 0..32767.
using ShadeRandom = std::function<int()>;

// Our own generator: a linear congruential sequence that gives the same numbers for
// the same seed on every machine.
class ShadeGenerator {
 public:
  explicit ShadeGenerator(std::uint32_t seed = 1) : state_(seed) {}
  int operator()();

 private:
  std::uint32_t state_;
};

// The three system colours the palette runs through.
struct ShadeColours {
  COLORREF shadow = 0;
  COLORREF face = 0;
  COLORREF highlight = 0;
};
ShadeColours SystemShadeColours();

// Entries 0..128 run from shadow to face, then entries 128..255 from face to
// highlight (entry 128 is written twice; the second value stays).
void SetShadePalette(CDibImage& image, const ShadeColours& colours);

// The face's pixel values for a type (see the .cpp for the formulas). `face` must
// be an 8-bit image; granularity is clamped to 0..255. Values wrap as bytes.
void FillShadeFace(CDibImage& face, int type, int granularity, const ShadeRandom& random);

struct ShadeSettings {
  int type = kShadeNoise;
  int granularity = 0;        // 0..255
  int highlightPercent = 0;   // the hovered face's blend toward the highlight
  int colouringPercent = 0;   // the face's blend toward colour
  COLORREF colour = 0;
};

// The six images of a shaded button of width x height pixels (each at least 1).
struct ShadeImages {
  CDibImage face;
  CDibImage horizontalStrip;  // width x 1, a dotted line
  CDibImage verticalStrip;    // 1 x height, a dotted line
  CDibImage pressed;
  CDibImage hovered;
  CDibImage hoveredCopy;
};
ShadeImages MakeShadeImages(int width, int height, const ShadeSettings& settings, const ShadeColours& colours,
                            const ShadeRandom& random);
