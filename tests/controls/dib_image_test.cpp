#include "controls/dib_image.h"

#include <sys/stat.h>

#include <filesystem>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "../support/temp_program_folder.h"

namespace {

std::uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::uint32_t Le16(const std::string& b, size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8;
}

class DibImageTest : public testing::Test {
 protected:
  TempProgramFolder folder_;
};

}  // namespace

TEST_F(DibImageTest, CreateRefusesBadSizesAndDepths) {
  CDibImage image;
  EXPECT_FALSE(image.Create(0, 10, 8));
  EXPECT_FALSE(image.Create(10, -1, 8));
  EXPECT_FALSE(image.Create(10, 10, 7));
  EXPECT_TRUE(image.IsEmpty());
  EXPECT_TRUE(image.Create(10, 10, 8));
  EXPECT_EQ(image.RowStride(), 12);
  EXPECT_EQ(image.PaletteEntries(), 256);
  EXPECT_EQ(image.Block().size(), 40u + 1024u + 120u);
  EXPECT_TRUE(image.Create(3, 2, 24));
  EXPECT_EQ(image.RowStride(), 12) << "9 bytes padded to 12";
  EXPECT_EQ(image.PaletteEntries(), 0);
}

TEST_F(DibImageTest, SaveEightBitTenByTenByteByByte) {
  CDibImage image;
  ASSERT_TRUE(image.Create(10, 10, 8));
  image.SetPaletteEntry(1, 0x11, 0x22, 0x33);
  image.SetPaletteEntry(255, 0xAA, 0xBB, 0xCC);
  image.SetPixelIndex(0, 0, 1);    // top-left
  image.SetPixelIndex(9, 9, 255);  // bottom-right
  const std::string path = folder_.File("face.bmp");
  ASSERT_EQ(image.SaveBMP(path), 1);
  const std::string b = ReadWholeFile(path);
  ASSERT_EQ(b.size(), 1198u);
  // File header.
  EXPECT_EQ(b.substr(0, 2), "BM");
  EXPECT_EQ(Le32(b, 2), 1198u);
  EXPECT_EQ(Le32(b, 6), 0u) << "two reserved zeros";
  EXPECT_EQ(Le32(b, 10), 1078u);
  // Information header.
  EXPECT_EQ(Le32(b, 14), 40u);
  EXPECT_EQ(Le32(b, 18), 10u);
  EXPECT_EQ(Le32(b, 22), 10u);
  EXPECT_EQ(Le16(b, 26), 1u) << "planes";
  EXPECT_EQ(Le16(b, 28), 8u) << "bits per pixel";
  EXPECT_EQ(Le32(b, 30), 0u) << "no compression";
  EXPECT_EQ(Le32(b, 34), 120u) << "image size = height x stride";
  for (size_t i = 38; i < 54; ++i) EXPECT_EQ(b[i], '\0') << "the rest of the header is 0 at " << i;
  // Palette: blue, green, red, 0.
  EXPECT_EQ(b.substr(54, 4), std::string("\0\0\0\0", 4));
  EXPECT_EQ(b.substr(58, 4), std::string("\x33\x22\x11\0", 4));
  EXPECT_EQ(b.substr(54 + 255 * 4, 4), std::string("\xCC\xBB\xAA\0", 4));
  // Pixels: bottom row first; the top row is the last stored row.
  const size_t pixels = 1078;
  EXPECT_EQ(static_cast<unsigned char>(b[pixels + 9]), 255u) << "bottom-right in the first stored row";
  EXPECT_EQ(static_cast<unsigned char>(b[pixels + 9 * 12 + 0]), 1u) << "top-left in the last stored row";
  int nonZero = 0;
  for (size_t i = pixels; i < b.size(); ++i) nonZero += b[i] != '\0';
  EXPECT_EQ(nonZero, 2) << "padding and all other pixels stay 0";
}

TEST_F(DibImageTest, FileSizesPerDepth) {
  for (auto [bpp, size] : {std::pair{4, 198u}, {1, 102u}, {24, 374u}, {8, 1198u}}) {
    CDibImage image;
    ASSERT_TRUE(image.Create(10, 10, bpp));
    const std::string path = folder_.File("d" + std::to_string(bpp) + ".bmp");
    ASSERT_EQ(image.SaveBMP(path), 1);
    const std::string b = ReadWholeFile(path);
    EXPECT_EQ(b.size(), size) << bpp;
    EXPECT_EQ(Le32(b, 2), size);
    const std::uint32_t palette = bpp == 1 ? 8 : (bpp == 4 ? 64 : (bpp == 8 ? 1024 : 0));
    EXPECT_EQ(Le32(b, 10), 54u + palette) << bpp;
  }
}

TEST_F(DibImageTest, SaveFailures) {
  CDibImage empty;
  EXPECT_EQ(empty.SaveBMP(folder_.File("empty.bmp")), 0);
  EXPECT_FALSE(folder_.Exists("empty.bmp"));
  CDibImage image;
  ASSERT_TRUE(image.Create(4, 4, 8));
  EXPECT_EQ(image.SaveBMP(""), 0);
  EXPECT_EQ(image.SaveBMP(folder_.File("missing/x.bmp")), 0);
  // An unwritable folder: nothing written, no temporary file left behind.
  const std::string locked = folder_.File("locked");
  ASSERT_EQ(::mkdir(locked.c_str(), 0555), 0);
  EXPECT_EQ(image.SaveBMP(locked + "/x.bmp"), 0);
  EXPECT_TRUE(std::filesystem::is_empty(locked));
  ::chmod(locked.c_str(), 0755);
  // Replacing an existing file.
  WriteWholeFile(folder_.File("old.bmp"), "old bytes");
  EXPECT_EQ(image.SaveBMP(folder_.File("old.bmp")), 1);
  EXPECT_EQ(folder_.ReadFile("old.bmp").substr(0, 2), "BM");
}

TEST_F(DibImageTest, PixelIndexesPerDepthAndOutOfRangeIgnored) {
  CDibImage image;
  ASSERT_TRUE(image.Create(10, 3, 8));
  image.SetPixelIndex(2, 0, 7);
  EXPECT_EQ(image.Row(0)[2], 7);
  EXPECT_EQ(image.Block()[40 + 1024 + 2 * 12 + 2], 7) << "the top row is the last stored one";
  const std::vector<std::uint8_t> before = image.Block();
  image.SetPixelIndex(-1, 0, 9);
  image.SetPixelIndex(10, 0, 9);
  image.SetPixelIndex(0, 3, 9);
  image.SetPixelIndex(0, -1, 9);
  EXPECT_EQ(image.Block(), before);

  ASSERT_TRUE(image.Create(3, 1, 4));
  image.SetPixelIndex(0, 0, 0xA);
  image.SetPixelIndex(1, 0, 0x5);
  image.SetPixelIndex(2, 0, 0xF);
  EXPECT_EQ(image.Row(0)[0], 0xA5);
  EXPECT_EQ(image.Row(0)[1], 0xF0);
  EXPECT_EQ(image.PixelIndex(1, 0), 5);

  ASSERT_TRUE(image.Create(10, 1, 1));
  image.SetPixelIndex(0, 0, 1);
  image.SetPixelIndex(9, 0, 1);
  EXPECT_EQ(image.Row(0)[0], 0x80);
  EXPECT_EQ(image.Row(0)[1], 0x40);
  image.SetPixelIndex(0, 0, 0);
  EXPECT_EQ(image.Row(0)[0], 0x00);
}

TEST_F(DibImageTest, PaletteEntriesBlendAndGrey) {
  CDibImage image;
  ASSERT_TRUE(image.Create(2, 2, 8));
  image.SetPaletteEntry(0, 100, 0, 200);
  image.SetPaletteEntry(256, 1, 2, 3);  // ignored
  image.SetPaletteEntry(-1, 1, 2, 3);   // ignored
  EXPECT_EQ(image.Block().size(), 40u + 1024u + 8u);
  EXPECT_EQ(image.PaletteEntry(0), RGB(100, 0, 200));
  EXPECT_EQ(image.PaletteEntry(256), RGB(0, 0, 0));

  CDibImage half;
  half.Clone(image);
  half.BlendPalette(RGB(200, 100, 0), 50);
  EXPECT_EQ(half.PaletteEntry(0), RGB(150, 50, 100));
  CDibImage over;
  over.Clone(image);
  over.BlendPalette(RGB(200, 100, 0), 150);
  CDibImage full;
  full.Clone(image);
  full.BlendPalette(RGB(200, 100, 0), 100);
  EXPECT_EQ(over.Block(), full.Block()) << "150 % acts as 100 %";
  EXPECT_EQ(full.PaletteEntry(0), RGB(200, 100, 0));
  CDibImage none;
  none.Clone(image);
  none.BlendPalette(RGB(200, 100, 0), -20);
  EXPECT_EQ(none.Block(), image.Block());

  image.SetGrayPalette();
  EXPECT_EQ(image.PaletteEntry(0), RGB(0, 0, 0));
  EXPECT_EQ(image.PaletteEntry(77), RGB(77, 77, 77));
  EXPECT_EQ(image.PaletteEntry(255), RGB(255, 255, 255));
}

TEST_F(DibImageTest, ClearAndClone) {
  CDibImage image;
  ASSERT_TRUE(image.Create(5, 2, 8));
  image.Clear(0x42);
  EXPECT_EQ(image.PixelIndex(0, 0), 0x42);
  EXPECT_EQ(image.PixelIndex(4, 1), 0x42);
  EXPECT_EQ(image.PaletteEntry(0), RGB(0, 0, 0)) << "the palette is not pixels";
  CDibImage copy;
  copy.Clone(image);
  EXPECT_EQ(copy.Block(), image.Block());
  EXPECT_EQ(copy.Width(), 5);
  copy.SetPixelIndex(0, 0, 1);
  EXPECT_EQ(image.PixelIndex(0, 0), 0x42) << "a copy, not a share";
}
