#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

// The window manager's close box on a window that a modal box blocks: Qt drops that
// request before any widget sees it, and the window would stay. On X this filter sees
// the request first and hands it on, after the native event, as `onBlockedClose`. A
// close that comes with a click opening a box (the box opens before Qt gets to the
// close) is dropped as well: from the request until the window sees its close, a modal
// box that shows hands it on too. Elsewhere (offscreen) it is not installed and does
// nothing.
class CloseBoxWatch : public QObject, public QAbstractNativeEventFilter {
 public:
  CloseBoxWatch(QWidget* window, std::function<void()> onBlockedClose);
  ~CloseBoxWatch() override;
  CloseBoxWatch(const CloseBoxWatch&) = delete;
  CloseBoxWatch& operator=(const CloseBoxWatch&) = delete;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> window_;
  std::function<void()> onBlockedClose_;
  std::uint32_t protocolsAtom_ = 0;
  std::uint32_t deleteWindowAtom_ = 0;
  bool installed_ = false;
  bool closePending_ = false;  // asked, and neither seen by the window nor handed on
};
