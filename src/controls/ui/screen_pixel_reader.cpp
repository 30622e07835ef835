#include "controls/ui/screen_pixel_reader.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include "platform/ui/qt_convert.h"

std::optional<COLORREF> X11ScreenPixelReader::ReadPixel(CPoint screenPoint) {
  const QPoint point(screenPoint.x, screenPoint.y);
  QScreen* screen = QGuiApplication::screenAt(point);
  if (screen == nullptr) return std::nullopt;
  // The grab's position is relative to the screen; window 0 is the whole screen.
  const QPoint offset = point - screen->geometry().topLeft();
  const QImage image = screen->grabWindow(0, offset.x(), offset.y(), 1, 1).toImage();
  if (image.isNull() || image.width() < 1 || image.height() < 1) return std::nullopt;
  return FromQColor(image.pixelColor(0, 0));
}

std::unique_ptr<IScreenPixelReader> MakeScreenPixelReader() {
  if (QGuiApplication::platformName() == QLatin1String("xcb")) return std::make_unique<X11ScreenPixelReader>();
  return std::make_unique<UnavailableScreenPixelReader>();
}
