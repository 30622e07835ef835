#include "platform/ui/offscreen_dc.h"

namespace offscreen_detail {

Surface::Surface(CDC& target, const CRect& rect) : memory(target.IsPrinting() == FALSE) {
  if (!memory) return;
  const int w = rect.Width() > 0 ? rect.Width() : 1;
  const int h = rect.Height() > 0 ? rect.Height() : 1;
  image = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  painter.begin(&image);
  // Drawing at the rectangle's coordinates lands in the image.
  painter.translate(-rect.left, -rect.top);
  // The target's font, so text measures the same in both.
  painter.setFont(target.Painter().font());
}

}  // namespace offscreen_detail

COffscreenDC::COffscreenDC(CDC* dc, const CRect& rect)
    : offscreen_detail::Surface(*dc, rect),
      CDC(memory ? painter : dc->Painter()),
      m_pDC(dc),
      m_rect(rect),
      m_bMemDC(memory ? TRUE : FALSE) {
  if (m_bMemDC) {
    SelectObject(dc->GetCurrentFont());
    SetTextColor(dc->GetTextColor());
    SetBkColor(dc->GetBkColor());
    SetBkMode(dc->GetBkMode());
  }
}

COffscreenDC::~COffscreenDC() {
  if (!m_bMemDC) return;  // the printing context was drawn on directly
  // Restore the surface's painter before it is ended; the CDC part restores it too,
  // after this body, so end it last through a flushed copy.
  QPainter& target = m_pDC->Painter();
  const QImage copy = image.copy();
  target.save();
  target.setCompositionMode(QPainter::CompositionMode_SourceOver);
  target.drawImage(QPoint(m_rect.left, m_rect.top), copy);
  target.restore();
}

QImage ToQImage(const PixelImage& image) {
  if (image.IsNull()) return {};
  QImage out(image.width, image.height, QImage::Format_ARGB32);
  for (int y = 0; y < image.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < image.width; ++x) line[x] = image.At(x, y);
  }
  return out;
}

PixelImage FromQImage(const QImage& image) {
  if (image.isNull()) return {};
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  PixelImage out(argb.width(), argb.height());
  for (int y = 0; y < argb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x) out.At(x, y) = line[x];
  }
  return out;
}

void DrawPixelImage(CDC& dc, const PixelImage& image, CPoint at) {
  if (image.IsNull()) return;
  QPainter& p = dc.Painter();
  p.save();
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.drawImage(QPoint(at.x, at.y), ToQImage(image));
  p.restore();
}

BOOL DrawImageListImage(CDC& dc, const CImageList* list, int index, CPoint at, UINT style) {
  if (list == nullptr) return FALSE;
  const PixelImage* image = list->Image(index);
  if (image == nullptr) return FALSE;
  if ((style & ILD_TRANSPARENT) != 0) {
    DrawPixelImage(dc, *image, at);
  } else {
    // Normal: see-through pixels take the background colour.
    PixelImage solid = *image;
    const std::uint32_t back = OpaquePixel(dc.GetBkColor());
    for (std::uint32_t& pixel : solid.pixels) {
      if ((pixel >> 24) == 0) pixel = back;
    }
    DrawPixelImage(dc, solid, at);
  }
  return TRUE;
}
