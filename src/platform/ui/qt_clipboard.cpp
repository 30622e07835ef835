#include "platform/ui/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QThread>

#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"

namespace {

bool SetOnUiThread(const std::string& utf8) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) return false;
  clipboard->setText(ToQString(utf8));
  return true;
}

}  // namespace

bool QtClipboardBackend::SetText(const std::string& utf8) {
  if (QCoreApplication::instance() == nullptr) return false;
  if (QThread::currentThread() == QCoreApplication::instance()->thread()) return SetOnUiThread(utf8);
  IUiDispatcher* dispatcher = PageRegistry::Instance().Dispatcher();
  if (dispatcher == nullptr) return false;
  bool ok = false;
  if (!dispatcher->RunOnUi([&] { ok = SetOnUiThread(utf8); }, true)) return false;
  return ok;
}

void InstallQtClipboardBackend() {
  static QtClipboardBackend backend;
  SetClipboardBackend(&backend);
}
