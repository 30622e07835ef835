#pragma once
// The embossed look of a disabled image: the image's shape once in the button
// highlight colour one pixel down and right, then once in the button shadow colour
// in place. None of the image's own colours shows.

#include <QImage>

#include "platform/gdi_types.h"
#include "platform/ui/dc.h"

// The pixels that count as the image's shape: those at least half opaque.
constexpr int kDisabledImageInkAlpha = 128;

// Draws image embossed with its top-left corner at topLeft. A null image draws nothing.
void DrawDisabledImage(CDC& dc, const QImage& image, CPoint topLeft);

// The image's shape in one colour: every ink pixel opaque in colour, every other
// pixel fully transparent.
QImage ImageShapeIn(const QImage& image, COLORREF colour);
