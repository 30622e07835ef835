// A deliberate fault that runs from Qt's event loop, so the sanitizer runs can prove
// that their suppression lists still let a fault in our own code through.
//   sanitizer_probe race           a plain-lambda timer callback races a worker thread
//   sanitizer_probe inline_send    the write runs inline in a waiting RunOnUi on the UI thread
//   sanitizer_probe timer_function the write is a std::function handed to a QTimer
//   sanitizer_probe posted         the write is a call the dispatcher queued to the UI thread
//   sanitizer_probe leak           a slot allocates a buffer and drops the only pointer
// Each must end in the sanitizer's report; a clean exit means the fault was hidden.
#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

#include "platform/ui/qt_ui_dispatcher.h"

namespace {

int g_shared = 0;
// Relaxed on purpose: it orders nothing, so the two writes stay unsynchronised.
std::atomic<bool> g_uiWrote{false};
std::atomic<bool> g_workerWrote{false};
void* volatile g_sink = nullptr;

class LeakySlot : public QObject {
 public:
  void allocateAndDrop() {
    g_sink = std::malloc(64);
    g_sink = nullptr;
    QCoreApplication::quit();
  }
};

void WriteOnUi() {
  g_shared = 1;
  g_uiWrote.store(true, std::memory_order_relaxed);
}

// A std::thread, as the program's own workers are, writes after the UI thread did,
// with nothing ordering the two. `road` hands WriteOnUi to the UI thread its own way.
int RaceWithWorker(QCoreApplication& app, const std::function<void()>& road) {
  std::thread worker([] {
    while (!g_uiWrote.load(std::memory_order_relaxed)) std::this_thread::yield();
    g_shared = 2;
    g_workerWrote.store(true, std::memory_order_relaxed);
  });
  // A plain lambda, as most of the program's timers and slots are.
  QTimer::singleShot(0, &app, [&road] { road(); });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &app, [&] {
    if (!g_workerWrote.load(std::memory_order_relaxed)) return;
    worker.join();
    QCoreApplication::quit();
  });
  poll.start(1);
  return app.exec();
}

int runLeak(QCoreApplication& app) {
  LeakySlot slot;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &slot, &LeakySlot::allocateAndDrop);
  timer.start(0);
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QtUiDispatcher dispatcher;
  const char* mode = argc == 2 ? argv[1] : "";
  if (std::strcmp(mode, "race") == 0) return RaceWithWorker(app, [] { WriteOnUi(); });
  if (std::strcmp(mode, "inline_send") == 0)
    return RaceWithWorker(app, [&] { dispatcher.RunOnUi(WriteOnUi, true); });
  if (std::strcmp(mode, "timer_function") == 0) {
    return RaceWithWorker(app, [&] {
      const std::function<void()> write = WriteOnUi;
      QTimer::singleShot(0, &app, write);
    });
  }
  if (std::strcmp(mode, "posted") == 0)
    return RaceWithWorker(app, [&] { dispatcher.RunOnUi(WriteOnUi, false); });
  if (std::strcmp(mode, "leak") == 0) return runLeak(app);
  return 2;
}
