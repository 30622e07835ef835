#pragma once
// Image lists: a row of images of one size, each kept with its own transparency.
// Pixels are 0xAARRGGBB (alpha 0 = see-through). A list that is made with a mask
// colour turns the pixels of that colour see-through as images are added. Nobody
// owns a list but its creator: menus and records only point at lists.

#include <cstdint>
#include <vector>

#include "platform/gdi_types.h"

// Creation flags.
constexpr UINT ILC_MASK = 0x0001;
constexpr UINT ILC_COLOR24 = 0x0018;
constexpr UINT ILC_COLOR32 = 0x0020;
// Drawing styles.
constexpr UINT ILD_NORMAL = 0x0000;
constexpr UINT ILD_TRANSPARENT = 0x0001;

struct PixelImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // row by row, 0xAARRGGBB

  PixelImage() = default;
  PixelImage(int w, int h, std::uint32_t fill = 0);
  bool IsNull() const { return width <= 0 || height <= 0; }
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  std::uint32_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // The part at (x, y) of that size; what lies outside is see-through.
  PixelImage Copy(int x, int y, int w, int h) const;
};

constexpr std::uint32_t OpaquePixel(COLORREF c) {
  return 0xFF000000u | (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
         (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}
constexpr COLORREF PixelColour(std::uint32_t p) { return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }

class CImageList {
 public:
  CImageList() = default;
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;

  // FALSE for a size under 1 x 1 or a list that exists already.
  BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
  BOOL DeleteImageList();
  bool GetSafeHandle() const { return created_; }
  int GetImageCount() const { return static_cast<int>(images_.size()); }
  CSize GetImageSize() const { return {cx_, cy_}; }
  // Cuts a strip into images of the list's width, left to right (a last piece that
  // is too narrow is left out); with ILC_MASK the mask colour becomes see-through.
  // The index of the first image added, -1 when nothing could be added.
  int Add(const PixelImage& strip, COLORREF mask);
  int Add(const PixelImage& strip);  // with the list's own mask rule and no colour key
  BOOL Replace(int index, const PixelImage& image);
  BOOL Remove(int index);  // -1 removes all
  // A copy of image i, or a null image for an index outside.
  PixelImage ExtractIcon(int index) const;
  const PixelImage* Image(int index) const;
  // The colour key given with the last Add, RGB(192,192,192) before any.
  COLORREF MaskColour() const { return mask_; }

 private:
  PixelImage Fit(const PixelImage& image) const;

  bool created_ = false;
  int cx_ = 0;
  int cy_ = 0;
  UINT flags_ = 0;
  COLORREF mask_ = RGB(192, 192, 192);
  std::vector<PixelImage> images_;
};
