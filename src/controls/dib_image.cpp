#include "controls/dib_image.h"

#include <algorithm>

#include "storage/file_io.h"

namespace {

void PutLe(std::uint8_t* at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFu);
}

void AppendLe(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

}  // namespace

bool CDibImage::Create(int width, int height, int bitsPerPixel) {
  Release();
  if (width < 1 || height < 1) return false;
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) {
    return false;
  }
  width_ = width;
  height_ = height;
  bpp_ = bitsPerPixel;
  const size_t imageSize = static_cast<size_t>(RowStride()) * static_cast<size_t>(height);
  block_.assign(PixelOffset() + imageSize, 0);
  std::uint8_t* h = block_.data();
  PutLe(h + 0, kDibInfoHeaderSize, 4);
  PutLe(h + 4, static_cast<std::uint32_t>(width), 4);
  PutLe(h + 8, static_cast<std::uint32_t>(height), 4);
  PutLe(h + 12, 1, 2);  // planes
  PutLe(h + 14, static_cast<std::uint32_t>(bitsPerPixel), 2);
  PutLe(h + 16, 0, 4);  // no compression
  PutLe(h + 20, static_cast<std::uint32_t>(imageSize), 4);
  return true;
}

void CDibImage::Release() {
  block_.clear();
  block_.shrink_to_fit();
  width_ = height_ = bpp_ = 0;
}

int CDibImage::PaletteEntries() const {
  switch (bpp_) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

int CDibImage::RowStride() const {
  return static_cast<int>(((static_cast<long long>(width_) * bpp_ + 31) / 32) * 4);
}

void CDibImage::SetPaletteEntry(int index, BYTE red, BYTE green, BYTE blue) {
  if (index < 0 || index >= PaletteEntries()) return;
  std::uint8_t* e = block_.data() + PaletteOffset() + static_cast<size_t>(index) * 4;
  e[0] = blue;
  e[1] = green;
  e[2] = red;
  e[3] = 0;
}

COLORREF CDibImage::PaletteEntry(int index) const {
  if (index < 0 || index >= PaletteEntries()) return RGB(0, 0, 0);
  const std::uint8_t* e = block_.data() + PaletteOffset() + static_cast<size_t>(index) * 4;
  return RGB(e[2], e[1], e[0]);
}

void CDibImage::BlendPalette(COLORREF colour, int percent) {
  const int p = std::clamp(percent, 0, 100);
  const int target[3] = {GetBValue(colour), GetGValue(colour), GetRValue(colour)};  // stored order
  for (int i = 0; i < PaletteEntries(); ++i) {
    std::uint8_t* e = block_.data() + PaletteOffset() + static_cast<size_t>(i) * 4;
    for (int c = 0; c < 3; ++c) e[c] = static_cast<std::uint8_t>((e[c] * (100 - p) + target[c] * p) / 100);
  }
}

void CDibImage::SetGrayPalette() {
  for (int i = 0; i < PaletteEntries(); ++i) {
    const BYTE v = static_cast<BYTE>(i * 255 / std::max(PaletteEntries() - 1, 1));
    // 8 bits: entry i is (i, i, i) exactly; smaller palettes spread over 0..255.
    SetPaletteEntry(i, v, v, v);
  }
}

void CDibImage::Clear(BYTE value) {
  if (IsEmpty()) return;
  std::fill(block_.begin() + static_cast<std::ptrdiff_t>(PixelOffset()), block_.end(), value);
}

std::uint8_t* CDibImage::Row(int y) {
  if (IsEmpty() || y < 0 || y >= height_) return nullptr;
  // Bottom-up: the top row is stored last.
  return block_.data() + PixelOffset() + static_cast<size_t>(height_ - 1 - y) * static_cast<size_t>(RowStride());
}

const std::uint8_t* CDibImage::Row(int y) const { return const_cast<CDibImage*>(this)->Row(y); }

void CDibImage::SetPixelIndex(int x, int y, int index) {
  if (x < 0 || x >= width_ || PaletteEntries() == 0) return;
  std::uint8_t* row = Row(y);
  if (row == nullptr) return;
  switch (bpp_) {
    case 8:
      row[x] = static_cast<std::uint8_t>(index);
      break;
    case 4: {
      std::uint8_t& b = row[x / 2];
      const auto v = static_cast<std::uint8_t>(index & 0x0F);
      b = (x % 2 == 0) ? static_cast<std::uint8_t>((b & 0x0F) | (v << 4)) : static_cast<std::uint8_t>((b & 0xF0) | v);
      break;
    }
    case 1: {
      std::uint8_t& b = row[x / 8];
      const auto bit = static_cast<std::uint8_t>(0x80u >> (x % 8));
      b = (index & 1) ? static_cast<std::uint8_t>(b | bit) : static_cast<std::uint8_t>(b & ~bit);
      break;
    }
    default:
      break;
  }
}

int CDibImage::PixelIndex(int x, int y) const {
  if (x < 0 || x >= width_ || PaletteEntries() == 0) return 0;
  const std::uint8_t* row = Row(y);
  if (row == nullptr) return 0;
  switch (bpp_) {
    case 8:
      return row[x];
    case 4:
      return (x % 2 == 0) ? (row[x / 2] >> 4) : (row[x / 2] & 0x0F);
    case 1:
      return (row[x / 8] >> (7 - x % 8)) & 1;
    default:
      return 0;
  }
}

void CDibImage::Clone(const CDibImage& other) {
  if (this == &other) return;
  block_ = other.block_;
  width_ = other.width_;
  height_ = other.height_;
  bpp_ = other.bpp_;
}

std::string CDibImage::BmpFileBytes() const {
  if (IsEmpty()) return {};
  std::string out;
  out.reserve(kBmpFileHeaderSize + block_.size());
  out.push_back('B');
  out.push_back('M');
  AppendLe(out, static_cast<std::uint32_t>(kBmpFileHeaderSize + block_.size()), 4);
  AppendLe(out, 0, 2);
  AppendLe(out, 0, 2);
  AppendLe(out, static_cast<std::uint32_t>(kBmpFileHeaderSize + PixelOffset()), 4);
  out.append(reinterpret_cast<const char*>(block_.data()), block_.size());
  return out;
}

int CDibImage::SaveBMP(const std::string& fileName) const {
  if (fileName.empty() || IsEmpty()) return 0;
  return ReplaceFileContents(fileName, BmpFileBytes()) ? 1 : 0;
}
