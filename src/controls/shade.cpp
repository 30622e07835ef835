#include "controls/shade.h"

#include <algorithm>

int ShadeGenerator::operator()() {
  state_ = state_ * 1103515245u + 12345u;
  return static_cast<int>((state_ >> 16) & 0x7FFFu);
}

ShadeColours SystemShadeColours() {
  return {GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNHIGHLIGHT)};
}

namespace {

BYTE Mix(int from, int to, int i) { return static_cast<BYTE>(((128 - i) * from + i * to) / 128); }

void SetMix(CDibImage& image, int entry, COLORREF from, COLORREF to, int i) {
  image.SetPaletteEntry(entry, Mix(GetRValue(from), GetRValue(to), i), Mix(GetGValue(from), GetGValue(to), i),
                        Mix(GetBValue(from), GetBValue(to), i));
}

void FillDotted(CDibImage& strip) {
  const int n = std::max(strip.Width(), strip.Height());
  for (int i = 0; i < n; ++i) {
    const int v = (i % 2 == 0) ? 0 : 255;
    if (strip.Width() >= strip.Height()) {
      strip.SetPixelIndex(i, 0, v);
    } else {
      strip.SetPixelIndex(0, i, v);
    }
  }
}

int Cube(int t) { return t * t * t; }

}  // namespace

void SetShadePalette(CDibImage& image, const ShadeColours& colours) {
  for (int i = 0; i <= 128; ++i) SetMix(image, i, colours.shadow, colours.face, i);
  for (int i = 1; i <= 128; ++i) SetMix(image, 127 + i, colours.face, colours.highlight, i);
}

// x is the column, y the row from the top, W x H the size, g the granularity and
// noise() = r / (32767 / N) - g with N = 2g (1 for g = 0):
//   1 diagonal:  k = (255 - 2g) / 2; k*y/H + g + (W - x)*k/W + noise
//   2 vertical:  k = 255 - 2g;       k*y/H + g + noise
//   3 horizontal: k = 255 - 2g;      (W - x)*k/W + g + noise
//   4 vertical bump: t = y*255/H - 127, t = t^3/16384; t*(128 - g)/128 + 128 + noise
//   5 horizontal bump: the same with t = (W - x)*255/W - 127
//   6 soft bump: t = (tv^3 + th^3)/16384; t*(128 - g)/128 + 128 within g..255-g, + noise
//   7 hard bump: the vertical bump with 128 - 2g, then the two rounded sides, + noise
//   8 metal: 200 random diagonal strokes, then value + k*y/H + (W - x)*k/W + r/(32767/N)
//     with k = (255 - 2g - 40)/2
//   other: noise + 128
void FillShadeFace(CDibImage& face, int type, int granularity, const ShadeRandom& random) {
  const int W = face.Width();
  const int H = face.Height();
  if (face.IsEmpty() || face.BitsPerPixel() != 8) return;
  const int g = std::clamp(granularity, 0, 255);
  const int n = g == 0 ? 1 : 2 * g;
  const int divisor = 32767 / n;  // at least 64 with g <= 255
  auto r = [&] { return std::clamp(random ? random() : 0, 0, 32767); };
  auto noise = [&] { return r() / divisor - g; };
  auto put = [&](int x, int y, int value) { face.SetPixelIndex(x, y, static_cast<BYTE>(value)); };
  auto verticalT = [&](int y) { return Cube(y * 255 / H - 127) / 16384; };
  auto horizontalT = [&](int x) { return Cube((W - x) * 255 / W - 127) / 16384; };

  switch (type) {
    case kShadeDiagonal: {
      const int k = (255 - 2 * g) / 2;
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) put(x, y, k * y / H + g + (W - x) * k / W + noise());
      break;
    }
    case kShadeVertical: {
      const int k = 255 - 2 * g;
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) put(x, y, k * y / H + g + noise());
      break;
    }
    case kShadeHorizontal: {
      const int k = 255 - 2 * g;
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) put(x, y, (W - x) * k / W + g + noise());
      break;
    }
    case kShadeVerticalBump:
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) put(x, y, verticalT(y) * (128 - g) / 128 + 128 + noise());
      break;
    case kShadeHorizontalBump:
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) put(x, y, horizontalT(x) * (128 - g) / 128 + 128 + noise());
      break;
    case kShadeSoftBump:
      for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
          const int tv = y * 255 / H - 127;
          const int th = (W - x) * 255 / W - 127;
          const int t = (Cube(tv) + Cube(th)) / 16384;
          const int value = std::clamp(t * (128 - g) / 128 + 128, g, std::max(g, 255 - g));
          put(x, y, value + noise());
        }
      }
      break;
    case kShadeHardBump: {
      // A narrow or flat button still gets a curve: b and H^2/4 are at least 1.
      const int b = std::max(1, std::min(W / 6, 16));
      const long long quarterH2 = std::max<long long>(1, static_cast<long long>(H) * H / 4);
      for (int y = 0; y < H; ++y) {
        const long long dy = y - H / 2;
        const int u = static_cast<int>(W / 2 + dy * dy * b / quarterH2 - b);
        for (int x = 0; x < W; ++x) {
          int value = verticalT(y) * (128 - 2 * g) / 128 + 128;
          if (x - W / 2 > u) value = ((W - x) * 128) / b + g;
          if (x - W / 2 + u < 0) value = (255 - g) - x * 128 / b;
          put(x, y, value + noise());
        }
      }
      break;
    }
    case kShadeMetal: {
      face.Clear(0);
      const int half = std::max(1, std::min(W, H) / 2);
      for (int stroke = 0; stroke < 200; ++stroke) {
        const int x0 = r() % W;
        const int y0 = r() % H;
        const int length = r() % half;
        const int value = r() % 40;
        for (int i = 0; i < length; ++i) {
          put(x0 + i, y0 + i, value);  // outside the image: ignored
          put(x0 - i, y0 - i, value);
        }
      }
      const int k = (255 - g - 40 - g) / 2;
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) put(x, y, face.PixelIndex(x, y) + k * y / H + (W - x) * k / W + r() / divisor);
      break;
    }
    default:
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) put(x, y, noise() + 128);
      break;
  }
}

ShadeImages MakeShadeImages(int width, int height, const ShadeSettings& settings, const ShadeColours& colours,
                            const ShadeRandom& random) {
  const int W = std::max(width, 1);
  const int H = std::max(height, 1);
  ShadeImages images;
  images.face.Create(W, H, 8);
  images.horizontalStrip.Create(W, 1, 8);
  images.verticalStrip.Create(1, H, 8);
  for (CDibImage* image : {&images.face, &images.horizontalStrip, &images.verticalStrip}) {
    SetShadePalette(*image, colours);
  }
  images.face.BlendPalette(settings.colour, settings.colouringPercent);
  FillDotted(images.horizontalStrip);
  FillDotted(images.verticalStrip);
  FillShadeFace(images.face, settings.type, settings.granularity, random);
  images.pressed.Clone(images.face);
  images.hovered.Clone(images.face);
  images.hovered.BlendPalette(colours.highlight, settings.highlightPercent);
  images.hoveredCopy.Clone(images.hovered);
  return images;
}
