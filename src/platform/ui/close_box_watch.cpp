#include "platform/ui/close_box_watch.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

std::uint32_t InternAtom(xcb_connection_t* connection, const char* name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  if (reply == nullptr) return 0;
  const std::uint32_t atom = reply->atom;
  std::free(reply);
  return atom;
}

}  // namespace

CloseBoxWatch::CloseBoxWatch(QWidget* window, std::function<void()> onBlockedClose)
    : window_(window), onBlockedClose_(std::move(onBlockedClose)) {
  auto* x11 = qGuiApp == nullptr ? nullptr : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return;
  protocolsAtom_ = InternAtom(x11->connection(), "WM_PROTOCOLS");
  deleteWindowAtom_ = InternAtom(x11->connection(), "WM_DELETE_WINDOW");
  if (protocolsAtom_ == 0 || deleteWindowAtom_ == 0) return;
  QCoreApplication::instance()->installNativeEventFilter(this);
  installed_ = true;
}

CloseBoxWatch::~CloseBoxWatch() {
  if (installed_ && QCoreApplication::instance() != nullptr) {
    QCoreApplication::instance()->removeNativeEventFilter(this);
    QCoreApplication::instance()->removeEventFilter(this);
  }
}

bool CloseBoxWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t" || window_.isNull()) return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
  const auto* client = static_cast<const xcb_client_message_event_t*>(message);
  if (client->format != 32 || client->type != protocolsAtom_ || client->data.data32[0] != deleteWindowAtom_ ||
      client->window != window_->internalWinId()) {
    return false;
  }
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || modal == window_) {  // Qt delivers this one itself, unless a box opens first
    if (!closePending_) QCoreApplication::instance()->installEventFilter(this);
    closePending_ = true;
    return false;
  }
  QTimer::singleShot(0, window_, onBlockedClose_);
  return false;
}

bool CloseBoxWatch::eventFilter(QObject* watched, QEvent* event) {
  if (!closePending_ || (event->type() != QEvent::Close && event->type() != QEvent::Show)) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  const bool windowClosed = event->type() == QEvent::Close && watched == window_;
  const bool boxShown = event->type() == QEvent::Show && widget != nullptr && widget != window_ &&
                        widget->isWindow() && widget->isModal();
  if (!windowClosed && !boxShown) return false;
  closePending_ = false;
  QCoreApplication::instance()->removeEventFilter(this);
  if (boxShown && !window_.isNull()) QTimer::singleShot(0, window_, onBlockedClose_);
  return false;
}
