#pragma once
// Painting one block off screen: a COffscreenDC over a rectangle of a real context
// collects all drawing in an image of the rectangle's size, at the real context's
// coordinates, and lays it onto the real context at the same place when it goes
// away. Pixels that nothing drew leave the real context as it was. A printing
// context is drawn on directly and nothing is copied. Also here: the image-list and
// pixel-image glue of the drawing code.

#include <QImage>
#include <QPainter>

#include "platform/image_list.h"
#include "platform/ui/dc.h"

namespace offscreen_detail {
// Built before the CDC part, so the painter exists when the CDC takes it.
struct Surface {
  Surface(CDC& target, const CRect& rect);
  QImage image;
  QPainter painter;
  bool memory;
};
}  // namespace offscreen_detail

class COffscreenDC : private offscreen_detail::Surface, public CDC {
 public:
  COffscreenDC(CDC* dc, const CRect& rect);
  COffscreenDC(CDC& dc, const CRect& rect) : COffscreenDC(&dc, rect) {}
  ~COffscreenDC() override;

  BOOL IsPrinting() const override { return m_pDC->IsPrinting(); }
  int GetDeviceCaps(int index) const override { return m_pDC->GetDeviceCaps(index); }

  // FALSE when drawing goes straight to a printing context.
  BOOL IsMemDC() const { return m_bMemDC; }
  const CRect& GetRect() const { return m_rect; }

 private:
  CDC* m_pDC;
  CRect m_rect;
  BOOL m_bMemDC;
};

// Pixel images and Qt images, both ways (the Qt image as ARGB32).
QImage ToQImage(const PixelImage& image);
PixelImage FromQImage(const QImage& image);
// Lays the image at (x, y): see-through pixels leave what is there.
void DrawPixelImage(CDC& dc, const PixelImage& image, CPoint at);
// Image `index` of the list at `at`. FALSE without a list or that image.
BOOL DrawImageListImage(CDC& dc, const CImageList* list, int index, CPoint at, UINT style = ILD_TRANSPARENT);
