#pragma once
// A bottom-up device-independent bitmap in one block of memory, laid out as a BMP
// file holds it after its 14-byte file header: the 40-byte information header, the
// palette (2, 16 or 256 entries of blue, green, red, 0 for 1, 4 and 8 bits per
// pixel; none otherwise), then the rows, each padded to a multiple of 4 bytes, the
// bottom row first. Drawing it is the UI layer's business (controls/ui/shaded_button.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi_types.h"

inline constexpr int kDibInfoHeaderSize = 40;
inline constexpr int kBmpFileHeaderSize = 14;

class CDibImage {
 public:
  CDibImage() = default;

  // Releases the old image and makes a new one, every pixel 0 and every palette
  // entry black. False (and no image) for a width or height below 1 or a depth
  // other than 1, 4, 8, 24 or 32 bits per pixel.
  bool Create(int width, int height, int bitsPerPixel);
  void Release();
  bool IsEmpty() const { return block_.empty(); }

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bpp_; }
  int PaletteEntries() const;  // 2, 16, 256 or 0
  int RowStride() const;       // ((width * bpp + 31) / 32) * 4
  // Header + palette + pixels, as written after the file header.
  const std::vector<std::uint8_t>& Block() const { return block_; }

  // Ignored for an index outside the palette.
  void SetPaletteEntry(int index, BYTE red, BYTE green, BYTE blue);
  // The entry as a colour; black outside the palette.
  COLORREF PaletteEntry(int index) const;
  // Every entry moves toward colour by percent (0..100; more counts as 100, less
  // than 0 as 0): channel' = (channel * (100 - p) + colour channel * p) / 100.
  void BlendPalette(COLORREF colour, int percent);
  // Entry i becomes the grey (i, i, i).
  void SetGrayPalette();

  // Every pixel byte becomes value.
  void Clear(BYTE value);
  // Writes the palette index at column x of row y counted from the top. Ignored
  // outside the image and for images without a palette.
  void SetPixelIndex(int x, int y, int index);
  // The index there (row from the top); 0 outside the image or without a palette.
  int PixelIndex(int x, int y) const;
  // The row's bytes, row y counted from the top (its stride long); nullptr outside.
  std::uint8_t* Row(int y);
  const std::uint8_t* Row(int y) const;

  // Copies another image whole.
  void Clone(const CDibImage& other);

  // The BMP file's bytes: the file header (type "BM", the file size, two reserved
  // zeros, the pixel offset), then the block. Empty for an empty image.
  std::string BmpFileBytes() const;
  // Writes the BMP file through a temporary file and a rename, so a failure leaves
  // no partial file. 1 when written; 0 for an empty name or image or when the file
  // cannot be written.
  int SaveBMP(const std::string& fileName) const;

 private:
  size_t PaletteOffset() const { return kDibInfoHeaderSize; }
  size_t PixelOffset() const { return PaletteOffset() + static_cast<size_t>(PaletteEntries()) * 4; }

  std::vector<std::uint8_t> block_;
  int width_ = 0;
  int height_ = 0;
  int bpp_ = 0;
};
