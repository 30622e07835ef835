// A deliberate fault that runs from Qt's event loop, so the sanitizer runs can prove
// that their suppression lists still let a fault in our own code through.
//   sanitizer_probe race   a QTimer callback and a worker thread write one int unguarded
//   sanitizer_probe leak   a slot allocates a buffer and drops the only pointer
// Each must end in the sanitizer's report; a clean exit means the fault was hidden.
#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

int g_shared = 0;
// Relaxed on purpose: it orders nothing, so the two writes stay unsynchronised.
std::atomic<bool> g_timerWrote{false};
void* volatile g_sink = nullptr;

class LeakySlot : public QObject {
 public:
  void allocateAndDrop() {
    g_sink = std::malloc(64);
    g_sink = nullptr;
    QCoreApplication::quit();
  }
};

int runRace(QCoreApplication& app) {
  // A std::thread, as the program's own workers are.
  std::thread worker([] {
    while (!g_timerWrote.load(std::memory_order_relaxed)) std::this_thread::yield();
    g_shared = 2;
  });
  QTimer::singleShot(0, &app, [&] {
    g_shared = 1;
    g_timerWrote.store(true, std::memory_order_relaxed);
    worker.join();
    QCoreApplication::quit();
  });
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
  if (argc == 2 && std::strcmp(argv[1], "race") == 0) return runRace(app);
  if (argc == 2 && std::strcmp(argv[1], "leak") == 0) return runLeak(app);
  return 2;
}
