#include "controls/shade.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const ShadeColours kColours{RGB(172, 168, 153), RGB(236, 233, 216), RGB(255, 255, 255)};

ShadeRandom Zero() {
  return [] { return 0; };
}

// A generator that gives the numbers in order, then 0.
ShadeRandom Sequence(std::vector<int> values) {
  auto at = std::make_shared<size_t>(0);
  return [values = std::move(values), at] { return *at < values.size() ? values[(*at)++] : 0; };
}

CDibImage Face(int w, int h, int type, int g, const ShadeRandom& random) {
  CDibImage face;
  EXPECT_TRUE(face.Create(w, h, 8));
  FillShadeFace(face, type, g, random);
  return face;
}

}  // namespace

TEST(Shade, PaletteRunsFromShadowThroughFaceToHighlight) {
  CDibImage image;
  ASSERT_TRUE(image.Create(1, 1, 8));
  SetShadePalette(image, kColours);
  EXPECT_EQ(image.PaletteEntry(0), kColours.shadow);
  EXPECT_EQ(image.PaletteEntry(255), kColours.highlight);
  // Entry 128 is written twice; the second loop's (127 face + highlight) / 128 stays.
  EXPECT_EQ(image.PaletteEntry(128), RGB((127 * 236 + 255) / 128, (127 * 233 + 255) / 128, (127 * 216 + 255) / 128));
  EXPECT_EQ(image.PaletteEntry(64), RGB((64 * 172 + 64 * 236) / 128, (64 * 168 + 64 * 233) / 128,
                                        (64 * 153 + 64 * 216) / 128));
  EXPECT_EQ(image.PaletteEntry(127), RGB((1 * 172 + 127 * 236) / 128, (1 * 168 + 127 * 233) / 128,
                                         (1 * 153 + 127 * 216) / 128));
}

TEST(Shade, VerticalShadeWithoutNoiseIsExact) {
  const int W = 7, H = 23;
  const CDibImage face = Face(W, H, kShadeVertical, 0, Zero());
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) ASSERT_EQ(face.PixelIndex(x, y), 255 * y / H) << x << "," << y;
}

TEST(Shade, NoiseIsScaledByGranularity) {
  // g = 10: N = 20, r / (32767 / 20) - 10 added; the largest r adds 32767/1638 - 10 = 10.
  CDibImage face = Face(1, 1, kShadeVertical, 10, Sequence({32767}));
  EXPECT_EQ(face.PixelIndex(0, 0), 0 + 10 + 10);
  face = Face(1, 1, kShadeVertical, 10, Sequence({0}));
  EXPECT_EQ(face.PixelIndex(0, 0), 10 - 10);
  face = Face(1, 1, kShadeNoise, 0, Sequence({32767}));
  EXPECT_EQ(face.PixelIndex(0, 0), 129) << "noise only: r/32767 - 0 + 128";
}

TEST(Shade, OtherTypesByFormula) {
  const int W = 10, H = 8, g = 4;
  const CDibImage diagonal = Face(W, H, kShadeDiagonal, g, Zero());
  const int kd = (255 - 2 * g) / 2;
  EXPECT_EQ(diagonal.PixelIndex(3, 5), (kd * 5 / H + g + (W - 3) * kd / W - g) & 0xFF);
  const CDibImage horizontal = Face(W, H, kShadeHorizontal, g, Zero());
  EXPECT_EQ(horizontal.PixelIndex(3, 5), ((W - 3) * (255 - 2 * g) / W + g - g) & 0xFF);
  const CDibImage vbump = Face(W, H, kShadeVerticalBump, 0, Zero());
  const int t = 2 * 255 / H - 127;
  EXPECT_EQ(vbump.PixelIndex(0, 2), (t * t * t / 16384 * 128 / 128 + 128) & 0xFF);
}

TEST(Shade, HorizontalBumpWrapsAtColumnZero) {
  // t = W*255/W - 127 = 128, 128^3 / 16384 = 128, 128 * 128/128 + 128 = 256 -> 0.
  const CDibImage face = Face(10, 4, kShadeHorizontalBump, 0, Zero());
  EXPECT_EQ(face.PixelIndex(0, 0), 0);
  EXPECT_EQ(face.PixelIndex(0, 3), 0);
  EXPECT_GT(face.PixelIndex(1, 0), 128);
}

TEST(Shade, SoftBumpStaysWithinTheGranularityBand) {
  const int g = 30;
  const CDibImage face = Face(20, 20, kShadeSoftBump, g, Sequence(std::vector<int>(400, 32767 / 2)));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      // Within g..255-g before the noise, which is at most g either way.
      EXPECT_GE(face.PixelIndex(x, y), 0);
      EXPECT_LE(face.PixelIndex(x, y), 255);
    }
  const CDibImage plain = Face(20, 20, kShadeSoftBump, g, [] { return 32767 / 60 * 30; });
  // Noise exactly 0: r / (32767/60) - 30 = 30 - 30.
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      EXPECT_GE(plain.PixelIndex(x, y), g);
      EXPECT_LE(plain.PixelIndex(x, y), 255 - g);
    }
}

TEST(Shade, ExtremeGranularityAndNarrowFacesDoNotFault) {
  for (int type = 0; type <= 9; ++type) {
    for (auto [w, h] : {std::pair{4, 30}, {1, 1}, {2, 1}, {1, 200}, {300, 2}}) {
      CDibImage face = Face(w, h, type, 20000, ShadeGenerator(7));
      EXPECT_EQ(face.Width(), w);
      face = Face(w, h, type, -50, ShadeGenerator(7));
      EXPECT_EQ(face.Height(), h);
    }
  }
  // A 4-px-wide hard bump: b = max(1, 4/6) = 1.
  const CDibImage hard = Face(4, 30, kShadeHardBump, 0, Zero());
  EXPECT_FALSE(hard.IsEmpty());
}

TEST(Shade, MetalStartsFromClearedStrokes) {
  const int W = 12, H = 9, g = 0;
  // Every random number 0: 200 strokes of length 0 leave the face cleared, and the
  // noise adds 0, so each pixel is k*y/H + (W - x)*k/W.
  const CDibImage face = Face(W, H, kShadeMetal, g, Zero());
  const int k = (255 - 40) / 2;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) ASSERT_EQ(face.PixelIndex(x, y), (k * y / H + (W - x) * k / W) & 0xFF);
}

TEST(Shade, SameSeedSameFaceBytes) {
  ShadeSettings s;
  s.type = kShadeMetal;
  s.granularity = 8;
  s.highlightPercent = 10;
  const ShadeImages a = MakeShadeImages(40, 20, s, kColours, ShadeGenerator(42));
  const ShadeImages b = MakeShadeImages(40, 20, s, kColours, ShadeGenerator(42));
  const ShadeImages c = MakeShadeImages(40, 20, s, kColours, ShadeGenerator(43));
  EXPECT_EQ(a.face.Block(), b.face.Block());
  EXPECT_NE(a.face.Block(), c.face.Block());
  EXPECT_EQ(ShadeGenerator(5)(), ShadeGenerator(5)());
  ShadeGenerator gen(1);
  for (int i = 0; i < 1000; ++i) {
    const int v = gen();
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 32767);
  }
}

TEST(Shade, ImagesOfAShadedButton) {
  ShadeSettings s;
  s.type = kShadeVertical;
  s.granularity = 0;
  s.highlightPercent = 50;
  s.colouringPercent = 150;
  s.colour = RGB(255, 0, 0);
  const ShadeImages images = MakeShadeImages(0, -3, s, kColours, Zero());
  EXPECT_EQ(images.face.Width(), 1) << "faces are at least 1 x 1";
  EXPECT_EQ(images.face.Height(), 1);

  const ShadeImages im = MakeShadeImages(6, 4, s, kColours, Zero());
  EXPECT_EQ(im.horizontalStrip.Width(), 6);
  EXPECT_EQ(im.horizontalStrip.Height(), 1);
  EXPECT_EQ(im.verticalStrip.Height(), 4);
  EXPECT_EQ(im.horizontalStrip.PixelIndex(0, 0), 0);
  EXPECT_EQ(im.horizontalStrip.PixelIndex(1, 0), 255);
  EXPECT_EQ(im.verticalStrip.PixelIndex(0, 3), 255);
  // Colouring 150 % blends as 100 %: every face entry is the colour.
  EXPECT_EQ(im.face.PaletteEntry(0), RGB(255, 0, 0));
  EXPECT_EQ(im.face.PaletteEntry(200), RGB(255, 0, 0));
  // The strips keep the plain palette.
  EXPECT_EQ(im.horizontalStrip.PaletteEntry(0), kColours.shadow);
  EXPECT_EQ(im.pressed.Block(), im.face.Block());
  // Hovered: halfway to white.
  EXPECT_EQ(im.hovered.PaletteEntry(0), RGB(255, 127, 127));
  EXPECT_EQ(im.hoveredCopy.Block(), im.hovered.Block());
  // The pixels are the face's.
  EXPECT_EQ(im.hovered.PixelIndex(0, 3), im.face.PixelIndex(0, 3));
}
