#include "platform/image_list.h"

PixelImage::PixelImage(int w, int h, std::uint32_t fill)
    : width(w > 0 ? w : 0), height(h > 0 ? h : 0),
      pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

PixelImage PixelImage::Copy(int x, int y, int w, int h) const {
  PixelImage part(w, h);
  for (int row = 0; row < part.height; ++row) {
    for (int col = 0; col < part.width; ++col) {
      const int sx = x + col;
      const int sy = y + row;
      if (sx >= 0 && sy >= 0 && sx < width && sy < height) part.At(col, row) = At(sx, sy);
    }
  }
  return part;
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int /*initial*/, int /*grow*/) {
  if (created_ || cx < 1 || cy < 1) return FALSE;
  created_ = true;
  cx_ = cx;
  cy_ = cy;
  flags_ = flags;
  return TRUE;
}

BOOL CImageList::DeleteImageList() {
  if (!created_) return FALSE;
  created_ = false;
  images_.clear();
  cx_ = cy_ = 0;
  return TRUE;
}

PixelImage CImageList::Fit(const PixelImage& image) const { return image.Copy(0, 0, cx_, cy_); }

int CImageList::Add(const PixelImage& strip, COLORREF mask) {
  if (!created_ || strip.IsNull()) return -1;
  mask_ = mask;
  const int first = GetImageCount();
  const std::uint32_t key = OpaquePixel(mask) & 0x00FFFFFFu;
  for (int x = 0; x + cx_ <= strip.width; x += cx_) {
    PixelImage image = strip.Copy(x, 0, cx_, cy_);
    if ((flags_ & ILC_MASK) != 0) {
      for (std::uint32_t& p : image.pixels) {
        if ((p & 0x00FFFFFFu) == key) p = 0;
      }
    }
    images_.push_back(std::move(image));
  }
  return GetImageCount() > first ? first : -1;
}

int CImageList::Add(const PixelImage& strip) {
  if (!created_ || strip.IsNull()) return -1;
  const int first = GetImageCount();
  for (int x = 0; x + cx_ <= strip.width; x += cx_) images_.push_back(strip.Copy(x, 0, cx_, cy_));
  return GetImageCount() > first ? first : -1;
}

BOOL CImageList::Replace(int index, const PixelImage& image) {
  if (index < 0 || index >= GetImageCount() || image.IsNull()) return FALSE;
  images_[static_cast<std::size_t>(index)] = Fit(image);
  return TRUE;
}

BOOL CImageList::Remove(int index) {
  if (index == -1) {
    images_.clear();
    return created_ ? TRUE : FALSE;
  }
  if (index < 0 || index >= GetImageCount()) return FALSE;
  images_.erase(images_.begin() + index);
  return TRUE;
}

PixelImage CImageList::ExtractIcon(int index) const {
  const PixelImage* image = Image(index);
  return image == nullptr ? PixelImage() : *image;
}

const PixelImage* CImageList::Image(int index) const {
  if (index < 0 || index >= GetImageCount()) return nullptr;
  return &images_[static_cast<std::size_t>(index)];
}
