#pragma once
// Helpers of the painting tests: paint through a device context into an image, read
// pixels as COLORREF, find ink, and check that a text has a real glyph for every
// character in a font.

#include <QFont>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <functional>

#include "platform/gdi_types.h"
#include "platform/ui/dc.h"
#include "platform/ui/qt_convert.h"

namespace paint_probe {

// Paints into a fresh image filled with background and returns it.
inline QImage Paint(int w, int h, COLORREF background, const std::function<void(CDC&)>& draw) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(ToQColor(background));
  QPainter painter(&image);
  {
    CDC dc(painter);
    draw(dc);
  }
  painter.end();
  return image;
}

inline COLORREF At(const QImage& image, int x, int y) { return FromQColor(image.pixelColor(x, y)); }

inline int CountPixels(const QImage& image, COLORREF color) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += At(image, x, y) == color ? 1 : 0;
  }
  return n;
}

// The bounding box of every pixel that is not background; empty when there is none.
inline CRect InkBox(const QImage& image, COLORREF background) {
  CRect box(image.width(), image.height(), 0, 0);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (At(image, x, y) == background) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x + 1);
      box.bottom = std::max(box.bottom, y + 1);
    }
  }
  return box.IsRectEmpty() ? CRect() : box;
}

// True when the font has a glyph for every character of text (no glyph index 0).
inline bool HasEveryGlyph(const QString& text, const QFont& font) {
  QTextLayout layout(text, font);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  const QList<QGlyphRun> runs = layout.glyphRuns();
  for (const QGlyphRun& run : runs) {
    for (quint32 index : run.glyphIndexes()) {
      if (index == 0) return false;
    }
  }
  return !runs.isEmpty();
}

}  // namespace paint_probe
