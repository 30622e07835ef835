#include "platform/page_registry.h"

#include <atomic>
#include <condition_variable>

// ---- UiCallGate ----

struct UiCallGate::State {
  std::mutex mutex;
  std::condition_variable changed;
  bool shutdown = false;
};

class UiCallGate::Call {
 public:
  enum class Phase { Pending, Running, Done, Dropped };

  Call(std::shared_ptr<State> state, std::function<void()> fn) : state(std::move(state)), fn(std::move(fn)) {}

  std::shared_ptr<State> state;
  std::function<void()> fn;
  Phase phase = Phase::Pending;  // guarded by state->mutex
};

UiCallGate::UiCallGate() : state_(std::make_shared<State>()) {}

UiCallGate::~UiCallGate() { Shutdown(); }

std::shared_ptr<UiCallGate::Call> UiCallGate::Prepare(std::function<void()> fn) {
  std::lock_guard lock(state_->mutex);
  if (state_->shutdown) return nullptr;
  return std::make_shared<Call>(state_, std::move(fn));
}

void UiCallGate::Run(const std::shared_ptr<Call>& call) {
  if (!call) return;
  State& state = *call->state;
  // Marks the call finished even when fn throws, so no waiter is left behind.
  struct Finish {
    Call& call;
    State& state;
    bool armed = false;
    ~Finish() {
      if (!armed) return;
      std::lock_guard lock(state.mutex);
      call.phase = Call::Phase::Done;
      state.changed.notify_all();
    }
  } finish{*call, state};
  std::function<void()> fn;  // destroyed before the call is marked done
  {
    std::lock_guard lock(state.mutex);
    if (call->phase != Call::Phase::Pending) return;
    if (state.shutdown) {
      call->phase = Call::Phase::Dropped;
      state.changed.notify_all();
      return;
    }
    call->phase = Call::Phase::Running;
    fn = std::move(call->fn);
    finish.armed = true;
  }
  if (fn) fn();
}

bool UiCallGate::Wait(const std::shared_ptr<Call>& call) {
  if (!call) return false;
  State& state = *call->state;
  std::unique_lock lock(state.mutex);
  state.changed.wait(lock, [&] {
    return call->phase == Call::Phase::Done || call->phase == Call::Phase::Dropped ||
           (call->phase == Call::Phase::Pending && state.shutdown);
  });
  return call->phase == Call::Phase::Done;
}

void UiCallGate::Shutdown() {
  {
    std::lock_guard lock(state_->mutex);
    state_->shutdown = true;
  }
  state_->changed.notify_all();
}

bool UiCallGate::IsShutDown() const {
  std::lock_guard lock(state_->mutex);
  return state_->shutdown;
}

// ---- InlineUiDispatcher ----

InlineUiDispatcher::InlineUiDispatcher() : uiThread_(std::this_thread::get_id()) {}

bool InlineUiDispatcher::IsUiThread() const { return std::this_thread::get_id() == uiThread_; }

bool InlineUiDispatcher::RunOnUi(std::function<void()> fn, bool /*wait*/) {
  {
    std::lock_guard lock(mutex_);
    if (shutdown_) return false;
    callers_.push_back(std::this_thread::get_id());
  }
  if (fn) fn();
  return true;
}

void InlineUiDispatcher::BeginShutdown() {
  std::lock_guard lock(mutex_);
  shutdown_ = true;
}

std::vector<std::thread::id> InlineUiDispatcher::CallingThreads() const {
  std::lock_guard lock(mutex_);
  return callers_;
}

int InlineUiDispatcher::RunCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(callers_.size());
}

// ---- PageRegistry ----

PageRegistry& PageRegistry::Instance() {
  static PageRegistry registry;
  return registry;
}

void PageRegistry::SetDispatcher(IUiDispatcher* dispatcher) {
  std::lock_guard lock(mutex_);
  dispatcher_ = dispatcher;
}

IUiDispatcher* PageRegistry::Dispatcher() const {
  std::lock_guard lock(mutex_);
  return dispatcher_;
}

void PageRegistry::Store(PageSlot slot, void* page, std::type_index type) {
  std::lock_guard lock(mutex_);
  Entry& entry = slots_.at(static_cast<size_t>(slot));
  entry.page = page;
  entry.type = page != nullptr ? type : std::type_index(typeid(void));
}

void PageRegistry::Unpublish(PageSlot slot) { Store(slot, nullptr, typeid(void)); }

bool PageRegistry::IsPublished(PageSlot slot) const {
  std::lock_guard lock(mutex_);
  return slots_.at(static_cast<size_t>(slot)).page != nullptr;
}

void* PageRegistry::Lookup(PageSlot slot, std::type_index type) const {
  std::lock_guard lock(mutex_);
  const Entry& entry = slots_.at(static_cast<size_t>(slot));
  return entry.page != nullptr && entry.type == type ? entry.page : nullptr;
}

bool PageRegistry::Dispatch(PageSlot slot, std::type_index type, ErasedCall fn, bool wait) {
  IUiDispatcher* dispatcher = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (closing_ || dispatcher_ == nullptr) return false;
    const Entry& entry = slots_.at(static_cast<size_t>(slot));
    if (entry.page == nullptr || entry.type != type) return false;
    dispatcher = dispatcher_;
  }
  // Looked up again on the UI thread: the page may have left its slot meanwhile.
  auto ran = std::make_shared<std::atomic<bool>>(false);
  auto task = [this, slot, type, fn = std::move(fn), ran] {
    if (IsClosing()) return;
    if (void* page = Lookup(slot, type)) {
      fn(page);
      ran->store(true);
    }
  };
  const bool dispatched = dispatcher->RunOnUi(std::move(task), wait);
  return wait ? dispatched && ran->load() : dispatched;
}

void PageRegistry::BeginShutdown() {
  IUiDispatcher* dispatcher = nullptr;
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    dispatcher = dispatcher_;
  }
  if (dispatcher != nullptr) dispatcher->BeginShutdown();
}

bool PageRegistry::IsClosing() const {
  std::lock_guard lock(mutex_);
  return closing_;
}

void PageRegistry::Restart(IUiDispatcher* dispatcher) {
  std::lock_guard lock(mutex_);
  slots_.fill(Entry{});
  dispatcher_ = dispatcher;
  closing_ = false;
}
