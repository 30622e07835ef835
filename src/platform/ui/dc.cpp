#include "platform/ui/dc.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "platform/ascii.h"
#include "platform/ui/qt_convert.h"

namespace {

QPen ToQPen(const CPen& pen) {
  if (pen.Style() == PS_NULL) return QPen(Qt::NoPen);
  QPen qpen(ToQColor(pen.Color()));
  if (pen.Width() <= 1) {
    qpen.setWidth(1);
    qpen.setCosmetic(true);
    qpen.setCapStyle(Qt::SquareCap);  // both end pixels; LineTo takes the last one out
  } else {
    qpen.setWidth(pen.Width());
    qpen.setCapStyle(Qt::RoundCap);
    qpen.setJoinStyle(Qt::RoundJoin);
  }
  if (pen.Style() == PS_DASH) qpen.setStyle(Qt::DashLine);
  if (pen.Style() == PS_DOT) qpen.setStyle(Qt::DotLine);
  return qpen;
}

QBrush ToQBrush(const CBrush& brush) {
  if (brush.IsHollow()) return QBrush(Qt::NoBrush);
  return QBrush(ToQColor(brush.Color()));
}

// QRect of the pixels an outline through [l,r) x [t,b) passes: QPainter draws the
// outline of QRect(x, y, w, h) over x..x+w inclusive.
QRect OutlineRect(const CRect& r) { return QRect(r.left, r.top, r.Width() - 1, r.Height() - 1); }

// Qt's text flags for a DrawText format.
int TextFlags(UINT format) {
  int flags = 0;
  if (format & DT_CENTER) {
    flags |= Qt::AlignHCenter;
  } else if (format & DT_RIGHT) {
    flags |= Qt::AlignRight;
  } else {
    flags |= Qt::AlignLeft;
  }
  if (format & DT_SINGLELINE) {
    flags |= Qt::TextSingleLine;
    if (format & DT_VCENTER) {
      flags |= Qt::AlignVCenter;
    } else if (format & DT_BOTTOM) {
      flags |= Qt::AlignBottom;
    } else {
      flags |= Qt::AlignTop;
    }
  } else {
    flags |= Qt::AlignTop;  // vertical alignment applies to single lines only
    if (format & DT_WORDBREAK) flags |= Qt::TextWordWrap;
  }
  if (format & DT_EXPANDTABS) flags |= Qt::TextExpandTabs;
  if (!(format & DT_NOPREFIX)) flags |= Qt::TextShowMnemonic;
  if (format & DT_NOCLIP) flags |= Qt::TextDontClip;
  return flags;
}

// The height of one line as Qt's text layout stacks lines: ascent plus descent,
// rounded up. Extents and opaque backgrounds use it so they agree with DrawText.
int LineHeight(const QFont& font, QPaintDevice* device) {
  return static_cast<int>(std::ceil(QFontMetricsF(font, device).height()));
}

QString DrawTextString(const CString& text) {
  QString s = ToQString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

}  // namespace

// ---- fonts ----

std::string ResolveFontFace(const std::string& face) {
  const std::string lower = AsciiLower(face);
  if (face.empty() || face == "宋体" || face == "新宋体" || lower == "simsun" || lower == "nsimsun") {
    return kMonoCjkFace;
  }
  return face;
}

QFont MakeFont(int heightPx, int weight, const std::string& face) {
  QFont font(ToQString(ResolveFontFace(face)));
  const int pixels = heightPx == 0 ? 12 : std::abs(heightPx);  // 0 = the usual 12-pixel text
  font.setPixelSize(pixels);
  font.setWeight(weight <= 0 ? QFont::Normal : static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
  return font;
}

QFont ApplicationFont() {
  QFont font(QString::fromUtf8(kMonoCjkFace));
  font.setPointSize(9);
  return font;
}

// ---- pens, brushes, fonts ----

BOOL CPen::CreatePen(int style, int width, COLORREF color) {
  style_ = style;
  width_ = std::max(width, 1);
  color_ = color;
  return TRUE;
}

BOOL CBrush::CreateSolidBrush(COLORREF color) {
  hollow_ = false;
  color_ = color;
  return TRUE;
}

CBrush CBrush::Hollow() {
  CBrush brush;
  brush.hollow_ = true;
  return brush;
}

CFont::CFont() : font_(ApplicationFont()) {}

BOOL CFont::CreateFont(int height, int /*width*/, int /*escapement*/, int /*orientation*/, int weight, BYTE italic,
                       BYTE underline, BYTE strikeOut, BYTE /*charSet*/, BYTE /*outPrecision*/,
                       BYTE /*clipPrecision*/, BYTE /*quality*/, BYTE /*pitchAndFamily*/, const std::string& face) {
  font_ = MakeFont(height, weight, face);
  font_.setItalic(italic != 0);
  font_.setUnderline(underline != 0);
  font_.setStrikeOut(strikeOut != 0);
  return TRUE;
}

BOOL CFont::CreateFont(int height, int weight, const std::string& face) {
  font_ = MakeFont(height, weight, face);
  return TRUE;
}

BOOL CFont::CreatePointFont(int pointSizeTenths, const std::string& face) {
  if (pointSizeTenths <= 0) return FALSE;
  font_ = QFont(ToQString(ResolveFontFace(face)));
  font_.setPointSizeF(pointSizeTenths / 10.0);
  return TRUE;
}

// ---- CDC ----

CDC::CDC(QPainter& painter) : painter_(painter) {
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

CDC::~CDC() {
  for (size_t i = 0; i < saved_.size(); ++i) painter_.restore();
  painter_.restore();
}

COLORREF CDC::SetTextColor(COLORREF color) { return std::exchange(state_.textColor, color); }

COLORREF CDC::SetBkColor(COLORREF color) { return std::exchange(state_.bkColor, color); }

int CDC::SetBkMode(int mode) { return std::exchange(state_.bkMode, mode); }

CPen CDC::SelectObject(const CPen& pen) { return std::exchange(state_.pen, pen); }

CBrush CDC::SelectObject(const CBrush& brush) { return std::exchange(state_.brush, brush); }

CFont CDC::SelectObject(const CFont& font) { return std::exchange(state_.font, font); }

void CDC::SelectStockObject(int object) {
  switch (object) {
    case WHITE_BRUSH:
      state_.brush = CBrush(RGB(255, 255, 255));
      break;
    case BLACK_BRUSH:
      state_.brush = CBrush(RGB(0, 0, 0));
      break;
    case NULL_BRUSH:
      state_.brush = CBrush::Hollow();
      break;
    case WHITE_PEN:
      state_.pen = CPen(PS_SOLID, 1, RGB(255, 255, 255));
      break;
    case BLACK_PEN:
      state_.pen = CPen(PS_SOLID, 1, RGB(0, 0, 0));
      break;
    case NULL_PEN:
      state_.pen = CPen(PS_NULL, 1, RGB(0, 0, 0));
      break;
    case DEFAULT_GUI_FONT:
      state_.font = CFont();
      break;
    default:
      break;
  }
}

int CDC::SaveDC() {
  saved_.push_back(state_);
  painter_.save();
  return static_cast<int>(saved_.size());
}

BOOL CDC::RestoreDC(int savedDepth) {
  const int depth = static_cast<int>(saved_.size());
  if (savedDepth < 0) savedDepth = depth + 1 + savedDepth;
  if (savedDepth < 1 || savedDepth > depth) return FALSE;
  while (static_cast<int>(saved_.size()) >= savedDepth) {
    state_ = saved_.back();
    saved_.pop_back();
    painter_.restore();
  }
  return TRUE;
}

int CDC::IntersectClipRect(const CRect& rect) {
  CRect r = rect;
  r.NormalizeRect();
  painter_.setClipRect(ToQRect(r), Qt::IntersectClip);
  return painter_.clipBoundingRect().isEmpty() ? NULLREGION : SIMPLEREGION;
}

void CDC::FillArea(const CRect& rect, COLORREF color) {
  CRect r = rect;
  r.NormalizeRect();
  if (r.IsRectEmpty()) return;
  painter_.fillRect(ToQRect(r), ToQColor(color));
}

void CDC::FillSolidRect(const CRect& rect, COLORREF color) {
  state_.bkColor = color;
  FillArea(rect, color);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
  FillSolidRect(CRect(x, y, x + cx, y + cy), color);
}

void CDC::FillRect(const CRect& rect, const CBrush& brush) {
  if (!brush.IsHollow()) FillArea(rect, brush.Color());
}

void CDC::FrameRect(const CRect& rect, const CBrush& brush) {
  CRect r = rect;
  r.NormalizeRect();
  if (r.IsRectEmpty() || brush.IsHollow()) return;
  const COLORREF c = brush.Color();
  FillArea(CRect(r.left, r.top, r.right, r.top + 1), c);
  FillArea(CRect(r.left, r.bottom - 1, r.right, r.bottom), c);
  FillArea(CRect(r.left, r.top + 1, r.left + 1, r.bottom - 1), c);
  FillArea(CRect(r.right - 1, r.top + 1, r.right, r.bottom - 1), c);
}

void CDC::SetPixel(int x, int y, COLORREF color) { FillArea(CRect(x, y, x + 1, y + 1), color); }

BOOL CDC::Rectangle(int l, int t, int r, int b) {
  CRect rc(l, t, r, b);
  rc.NormalizeRect();
  const CPen& pen = state_.pen;
  const CBrush& brush = state_.brush;
  if (pen.Style() == PS_NULL) {
    if (!brush.IsHollow()) FillArea(CRect(rc.left, rc.top, rc.right - 1, rc.bottom - 1), brush.Color());
    return TRUE;
  }
  const int w = std::max(pen.Width(), 1);
  if (!brush.IsHollow()) FillArea(CRect(rc.left + w, rc.top + w, rc.right - w, rc.bottom - w), brush.Color());
  if (pen.Style() == PS_SOLID) {
    const COLORREF c = pen.Color();
    FillArea(CRect(rc.left, rc.top, rc.right, std::min(rc.top + w, rc.bottom)), c);
    FillArea(CRect(rc.left, std::max(rc.bottom - w, rc.top), rc.right, rc.bottom), c);
    FillArea(CRect(rc.left, rc.top + w, std::min(rc.left + w, rc.right), rc.bottom - w), c);
    FillArea(CRect(std::max(rc.right - w, rc.left), rc.top + w, rc.right, rc.bottom - w), c);
  } else if (!rc.IsRectEmpty()) {
    painter_.setPen(ToQPen(pen));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawRect(OutlineRect(rc));
  }
  return TRUE;
}

BOOL CDC::RoundRect(int l, int t, int r, int b, int ellipseWidth, int ellipseHeight) {
  CRect rc(l, t, r, b);
  rc.NormalizeRect();
  if (rc.IsRectEmpty()) return TRUE;
  painter_.setPen(ToQPen(state_.pen));
  painter_.setBrush(ToQBrush(state_.brush));
  painter_.drawRoundedRect(QRectF(OutlineRect(rc)), ellipseWidth / 2.0, ellipseHeight / 2.0);
  return TRUE;
}

BOOL CDC::Ellipse(int l, int t, int r, int b) {
  CRect rc(l, t, r, b);
  rc.NormalizeRect();
  if (rc.IsRectEmpty()) return TRUE;
  painter_.setPen(ToQPen(state_.pen));
  painter_.setBrush(ToQBrush(state_.brush));
  painter_.drawEllipse(OutlineRect(rc));
  return TRUE;
}

CPoint CDC::MoveTo(int x, int y) { return std::exchange(state_.position, CPoint(x, y)); }

BOOL CDC::LineTo(int x, int y) {
  const CPoint from = std::exchange(state_.position, CPoint(x, y));
  if (state_.pen.Style() != PS_NULL && !(from == CPoint(x, y))) DrawLine(from, CPoint(x, y));
  return TRUE;
}

void CDC::DrawLine(CPoint from, CPoint to) {
  const CPen& pen = state_.pen;
  const bool thin = pen.Width() <= 1;
  // The common case, a thin solid horizontal or vertical line, is a fill of the
  // pixels it covers.
  if (thin && pen.Style() == PS_SOLID && (from.x == to.x || from.y == to.y)) {
    if (from.y == to.y) {
      FillArea(to.x > from.x ? CRect(from.x, from.y, to.x, from.y + 1) : CRect(to.x + 1, from.y, from.x + 1, from.y + 1),
               pen.Color());
    } else {
      FillArea(to.y > from.y ? CRect(from.x, from.y, from.x + 1, to.y) : CRect(from.x, to.y + 1, from.x + 1, from.y + 1),
               pen.Color());
    }
    return;
  }
  painter_.save();
  if (thin) {
    // QPainter draws the end point too: clip it away.
    const QRect span = QRect(QPoint(std::min(from.x, to.x), std::min(from.y, to.y)),
                             QPoint(std::max(from.x, to.x), std::max(from.y, to.y)))
                           .adjusted(-2, -2, 2, 2);
    painter_.setClipRegion(QRegion(span).subtracted(QRegion(to.x, to.y, 1, 1)), Qt::IntersectClip);
  }
  painter_.setPen(ToQPen(pen));
  painter_.drawLine(from.x, from.y, to.x, to.y);
  painter_.restore();
}

void CDC::Draw3dRect(const CRect& rect, COLORREF topLeft, COLORREF bottomRight) {
  Draw3dRect(rect.left, rect.top, rect.Width(), rect.Height(), topLeft, bottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
  FillSolidRect(x, y, cx - 1, 1, topLeft);
  FillSolidRect(x, y, 1, cy - 1, topLeft);
  FillSolidRect(x + cx - 1, y, 1, cy, bottomRight);
  FillSolidRect(x, y + cy - 1, cx, 1, bottomRight);
}

BOOL CDC::DrawEdge(CRect& rect, UINT edge, UINT flags) {
  CRect rc = rect;
  rc.NormalizeRect();
  // One ring: the top and left sides first, so the bottom-right colour owns the
  // top-right and bottom-left corners.
  auto ring = [&](COLORREF topLeft, COLORREF bottomRight) {
    if (flags & BF_TOP) FillArea(CRect(rc.left, rc.top, rc.right, rc.top + 1), topLeft);
    if (flags & BF_LEFT) FillArea(CRect(rc.left, rc.top, rc.left + 1, rc.bottom), topLeft);
    if (flags & BF_RIGHT) FillArea(CRect(rc.right - 1, rc.top, rc.right, rc.bottom), bottomRight);
    if (flags & BF_BOTTOM) FillArea(CRect(rc.left, rc.bottom - 1, rc.right, rc.bottom), bottomRight);
    rc.DeflateRect((flags & BF_LEFT) ? 1 : 0, (flags & BF_TOP) ? 1 : 0, (flags & BF_RIGHT) ? 1 : 0,
                   (flags & BF_BOTTOM) ? 1 : 0);
  };
  if (edge & BDR_RAISEDOUTER) {
    ring(GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW));
  } else if (edge & BDR_SUNKENOUTER) {
    ring(GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
  }
  if (edge & BDR_RAISEDINNER) {
    ring(GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
  } else if (edge & BDR_SUNKENINNER) {
    ring(GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
  }
  if (flags & BF_MIDDLE) FillArea(rc, GetSysColor(COLOR_BTNFACE));
  if (flags & BF_ADJUST) rect = rc;
  return TRUE;
}

void CDC::DrawFocusRect(const CRect& rect) {
  CRect r = rect;
  r.NormalizeRect();
  if (r.IsRectEmpty()) return;
  // Walk the border once, clockwise, and take every other pixel.
  std::vector<QPoint> border;
  for (int x = r.left; x < r.right; ++x) border.emplace_back(x, r.top);
  for (int y = r.top + 1; y < r.bottom; ++y) border.emplace_back(r.right - 1, y);
  if (r.bottom - 1 > r.top) {
    for (int x = r.right - 2; x >= r.left; --x) border.emplace_back(x, r.bottom - 1);
  }
  if (r.right - 1 > r.left) {
    for (int y = r.bottom - 2; y > r.top; --y) border.emplace_back(r.left, y);
  }
  std::vector<QPoint> dots;
  for (size_t i = 0; i < border.size(); i += 2) dots.push_back(border[i]);
  painter_.save();
  painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  for (const QPoint& p : dots) painter_.fillRect(QRect(p, QSize(1, 1)), Qt::white);
  painter_.restore();
}

BOOL CDC::TextOut(int x, int y, const CString& text) {
  painter_.setFont(state_.font.Font());
  const QString s = ToQString(text);
  if (state_.bkMode == OPAQUE) {
    const CSize extent = GetTextExtent(text);
    FillArea(CRect(x, y, x + extent.cx, y + extent.cy), state_.bkColor);
  }
  painter_.setPen(ToQColor(state_.textColor));
  painter_.drawText(QPointF(x, y + QFontMetricsF(state_.font.Font(), painter_.device()).ascent()), s);
  return TRUE;
}

int CDC::DrawText(const CString& text, CRect& rect, UINT format) {
  if (text.empty()) {
    if (format & DT_CALCRECT) {
      rect.right = rect.left;
      rect.bottom = rect.top;
    }
    return 0;
  }
  painter_.setFont(state_.font.Font());
  const QFontMetrics fm = painter_.fontMetrics();
  const QString s = DrawTextString(text);
  const int flags = TextFlags(format);
  const QRect area = ToQRect(rect);

  if (format & DT_CALCRECT) {
    // A line is measured at its own width unless it wraps at the rectangle's.
    const bool wraps = (format & DT_WORDBREAK) && !(format & DT_SINGLELINE);
    const QRect probe(area.left(), area.top(), wraps ? std::max(area.width(), 1) : 1 << 20, 1 << 20);
    const QRect bound = fm.boundingRect(probe, flags & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter |
                                                         Qt::AlignBottom),
                                        s);
    rect.right = rect.left + bound.width();
    rect.bottom = rect.top + bound.height();
    return bound.height();
  }

  const QRect bound = fm.boundingRect(area, flags, s);
  if (state_.bkMode == OPAQUE) {
    const QRect fill = (format & DT_NOCLIP) ? bound : bound.intersected(area);
    FillArea(FromQRect(fill), state_.bkColor);
  }
  painter_.setPen(ToQColor(state_.textColor));
  painter_.drawText(area, flags, s);
  if (format & (DT_VCENTER | DT_BOTTOM) && (format & DT_SINGLELINE)) return bound.top() + bound.height() - area.top();
  return bound.height();
}

int CDC::DrawText(const CString& text, const CRect& rect, UINT format) {
  CRect copy = rect;
  return DrawText(text, copy, format);
}

CSize CDC::GetTextExtent(const CString& text) const {
  const QFontMetrics fm(state_.font.Font(), painter_.device());
  return CSize(fm.horizontalAdvance(ToQString(text)), LineHeight(state_.font.Font(), painter_.device()));
}
