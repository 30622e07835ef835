#include "platform/ui/qt_convert.h"

QRect ToQRect(const CRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

CRect FromQRect(const QRect& r) { return CRect(r.x(), r.y(), r.x() + r.width(), r.y() + r.height()); }

QPoint ToQPoint(CPoint p) { return QPoint(p.x, p.y); }

CPoint FromQPoint(QPoint p) { return CPoint(p.x(), p.y()); }

QSize ToQSize(CSize s) { return QSize(s.cx, s.cy); }

CSize FromQSize(QSize s) { return CSize(s.width(), s.height()); }

QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

COLORREF FromQColor(const QColor& c) {
  const QColor rgb = c.toRgb();
  return RGB(rgb.red(), rgb.green(), rgb.blue());
}

QString ToQString(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQString(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}
