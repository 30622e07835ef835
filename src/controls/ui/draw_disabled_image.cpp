#include "controls/ui/draw_disabled_image.h"

#include <QPainter>

#include "platform/ui/qt_convert.h"

QImage ImageShapeIn(const QImage& image, COLORREF colour) {
  if (image.isNull()) return {};
  QImage source = image.convertToFormat(QImage::Format_ARGB32);
  QImage shape(source.size(), QImage::Format_ARGB32);
  const QRgb ink = ToQColor(colour).rgb();  // opaque
  for (int y = 0; y < source.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    auto* out = reinterpret_cast<QRgb*>(shape.scanLine(y));
    for (int x = 0; x < source.width(); ++x) out[x] = qAlpha(in[x]) >= kDisabledImageInkAlpha ? ink : 0u;
  }
  return shape;
}

void DrawDisabledImage(CDC& dc, const QImage& image, CPoint topLeft) {
  if (image.isNull()) return;
  QPainter& painter = dc.Painter();
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  // Highlight first, one pixel down and right; the shadow in place covers all of it
  // but the lower-right rim.
  painter.drawImage(QPoint(topLeft.x + 1, topLeft.y + 1), ImageShapeIn(image, GetSysColor(COLOR_BTNHIGHLIGHT)));
  painter.drawImage(ToQPoint(topLeft), ImageShapeIn(image, GetSysColor(COLOR_BTNSHADOW)));
  painter.restore();
}
