#include "platform/ui/qt_ui_dispatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELKOR_TSAN_ANNOTATE 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define VELKOR_TSAN_ANNOTATE 1
#endif

#ifdef VELKOR_TSAN_ANNOTATE
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// The wake-up event travels through Qt's queue, whose lock the sanitizer cannot see:
// the post releases and the delivery acquires, so the event object built on the
// posting thread is known to be ready when the UI thread reads it.
void ReleaseForDelivery([[maybe_unused]] void* tag) {
#ifdef VELKOR_TSAN_ANNOTATE
  __tsan_release(tag);
#endif
}

void AcquireOnDelivery([[maybe_unused]] void* tag) {
#ifdef VELKOR_TSAN_ANNOTATE
  __tsan_acquire(tag);
#endif
}

}  // namespace

class QtUiDispatcher::Waker final : public QObject {
 public:
  explicit Waker(QtUiDispatcher& owner) : owner_(owner) {}

  bool event(QEvent* e) override {
    AcquireOnDelivery(this);
    if (e->type() != kWakeEvent) return QObject::event(e);
    owner_.Drain();
    return true;
  }

 private:
  QtUiDispatcher& owner_;
};

QtUiDispatcher::QtUiDispatcher() {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    uiThread_ = app->thread();
    waker_ = std::make_unique<Waker>(*this);
  }
}

QtUiDispatcher::~QtUiDispatcher() {
  gate_.Shutdown();
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    queue_.clear();
  }
  // Deleting the waker on the UI thread takes its pending wake-up out of Qt's queue.
  waker_.reset();
}

bool QtUiDispatcher::IsUiThread() const {
  return !uiThread_.isNull() && QThread::currentThread() == uiThread_.data();
}

bool QtUiDispatcher::RunOnUi(std::function<void()> fn, bool wait) {
  if (wait && IsUiThread()) {
    // Waiting for our own queue would never end: run it here.
    if (gate_.IsShutDown()) return false;
    fn();
    return true;
  }
  if (!waker_ || uiThread_.isNull()) return false;
  std::shared_ptr<UiCallGate::Call> call = gate_.Prepare(std::move(fn));
  if (!call) return false;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    queue_.push_back(call);
    if (!wakePending_) {
      wakePending_ = true;
      // Posted under the lock, so the destructor never deletes the waker between
      // the test of closed_ and the post.
      auto* wake = new QEvent(kWakeEvent);
      ReleaseForDelivery(waker_.get());
      QCoreApplication::postEvent(waker_.get(), wake);
    }
  }
  return wait ? gate_.Wait(call) : true;
}

void QtUiDispatcher::Drain() {
  size_t count = 0;
  {
    std::lock_guard lock(mutex_);
    // A call queued from here on posts a wake-up of its own, so a call that opens
    // a nested event loop does not hold back the ones behind it, and a call that
    // queues another never keeps the event loop from its other events.
    wakePending_ = false;
    count = queue_.size();
  }
  for (size_t i = 0; i < count; ++i) {
    std::shared_ptr<UiCallGate::Call> call;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;  // a nested loop ran them
      call = std::move(queue_.front());
      queue_.pop_front();
    }
    UiCallGate::Run(call);
  }
}

void QtUiDispatcher::BeginShutdown() { gate_.Shutdown(); }
