#pragma once
// The one place where the program's own types meet Qt's: rectangles (ours exclude
// their right and bottom edges, QRect's right() and bottom() are inside), colours
// (COLORREF is 0x00BBGGRR) and text (UTF-8 in std::string).

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>

#include "platform/gdi_types.h"

QRect ToQRect(const CRect& r);
CRect FromQRect(const QRect& r);
QPoint ToQPoint(CPoint p);
CPoint FromQPoint(QPoint p);
QSize ToQSize(CSize s);
CSize FromQSize(QSize s);

QColor ToQColor(COLORREF c);
COLORREF FromQColor(const QColor& c);  // alpha is dropped

QString ToQString(const std::string& utf8);
std::string FromQString(const QString& text);
