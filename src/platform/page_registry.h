#pragma once
// The page registry: instead of window handles kept in globals and messages sent
// to them, a page publishes a pointer to its own interface in a named slot
// and other code calls it through the registry. Every call runs on the UI thread:
// Send waits for it (a worker that needs the answer), Post only queues it. The UI
// thread never waits on a worker, and at shutdown every waiting worker is released.

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <typeindex>
#include <typeinfo>
#include <vector>

// Runs functions on the UI thread.
class IUiDispatcher {
 public:
  virtual ~IUiDispatcher() = default;
  virtual bool IsUiThread() const = 0;
  // Runs fn on the UI thread. wait = true returns after fn ran to its end; false
  // only queues it. Returns false when fn did not run (wait) or will not run
  // (no wait), i.e. once shutdown began.
  virtual bool RunOnUi(std::function<void()> fn, bool wait) = 0;
  // From now on nothing runs: every pending call is dropped, every waiting caller
  // is released at once with false, later calls fail at once.
  virtual void BeginShutdown() = 0;
};

// The waiting and shutdown rules shared by the dispatchers: a call is prepared on
// any thread, run on the UI thread and waited for by its caller. Shutdown drops
// every call that has not started and releases its waiter; a call already running
// is waited for to its end (it runs on the UI thread, which never blocks).
class UiCallGate {
 public:
  class Call;  // opaque; shared between the caller and the queued task

  UiCallGate();
  ~UiCallGate();
  UiCallGate(const UiCallGate&) = delete;
  UiCallGate& operator=(const UiCallGate&) = delete;

  // nullptr once shut down.
  std::shared_ptr<Call> Prepare(std::function<void()> fn);
  // On the UI thread: runs the call unless the gate shut down first. Safe after the
  // gate itself is gone.
  static void Run(const std::shared_ptr<Call>& call);
  // Blocks until the call ran (true) or was dropped (false).
  bool Wait(const std::shared_ptr<Call>& call);
  void Shutdown();
  bool IsShutDown() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// For logic tests: runs every call at once on the calling thread and records which
// thread called. IsUiThread() is true on the thread that built it.
class InlineUiDispatcher final : public IUiDispatcher {
 public:
  InlineUiDispatcher();
  bool IsUiThread() const override;
  bool RunOnUi(std::function<void()> fn, bool wait) override;
  void BeginShutdown() override;

  std::vector<std::thread::id> CallingThreads() const;
  int RunCount() const;

 private:
  const std::thread::id uiThread_;
  mutable std::mutex mutex_;
  bool shutdown_ = false;
  std::vector<std::thread::id> callers_;
};

enum class PageSlot {
  DataDisplay,      // g_hDataDisplayWnd: the daily list page
  StockActivePage,  // g_hStockActivePage: the stock activity ranking
  Setting,          // g_hSettingWnd: the settings page
  Tracker,          // g_hTrackerWnd: the tracker page
  DzjyList,         // g_hDzjyListWnd: the block-trade list page
  ContinuousBuy,    // the continuous-buying page
  StatusBar,        // g_pStatusBar
  MainTabCtrl,      // g_pMainTabCtrl
  DzjyTabCtrl,      // g_pDzjyTabCtrl
  ChartBlock,       // the charting program's custom block
  ChartLink,        // the charting program's window link
};
constexpr int kPageSlotCount = 11;

// Queued calls refer back to the registry, so a registry outlives the calls made
// through it (Instance() lives as long as the process).
class PageRegistry {
 public:
  static PageRegistry& Instance();

  PageRegistry() = default;
  PageRegistry(const PageRegistry&) = delete;
  PageRegistry& operator=(const PageRegistry&) = delete;

  // Not owned; must outlive every call made through the registry.
  void SetDispatcher(IUiDispatcher* dispatcher);
  IUiDispatcher* Dispatcher() const;

  // On the UI thread. A page publishes the interface others may call; publishing
  // nullptr empties the slot.
  template <class T>
  void Publish(PageSlot slot, T* page) {
    Store(slot, page, typeid(T));
  }
  void Unpublish(PageSlot slot);
  bool IsPublished(PageSlot slot) const;

  // The published pointer when it was published as a T, else nullptr. Use it on the
  // UI thread only: a worker must go through Send or Post.
  template <class T>
  T* Get(PageSlot slot) const {
    return static_cast<T*>(Lookup(slot, typeid(T)));
  }

  // Runs fn with the page on the UI thread and returns after it ran. False, with
  // nothing run, for an empty slot, a page of another type, while closing, or when
  // the page left its slot before the call came to run.
  template <class T>
  bool Send(PageSlot slot, std::function<void(T&)> fn) {
    return Dispatch(slot, typeid(T), Erase<T>(std::move(fn)), true);
  }
  // Queues fn for the page on the UI thread. False, with nothing queued, for an
  // empty slot, a page of another type or while closing; the slot is looked up again
  // when the call runs.
  template <class T>
  bool Post(PageSlot slot, std::function<void(T&)> fn) {
    return Dispatch(slot, typeid(T), Erase<T>(std::move(fn)), false);
  }

  // Closing: every later call fails, and the dispatcher releases every waiter.
  void BeginShutdown();
  bool IsClosing() const;

  // A new run of the application object: empty slots, this dispatcher, not closing.
  void Restart(IUiDispatcher* dispatcher);
  // Tests only: Restart without a dispatcher.
  void ResetForTests() { Restart(nullptr); }

 private:
  struct Entry {
    void* page = nullptr;
    std::type_index type = typeid(void);
  };
  using ErasedCall = std::function<void(void*)>;

  template <class T>
  static ErasedCall Erase(std::function<void(T&)> fn) {
    return [fn = std::move(fn)](void* page) { fn(*static_cast<T*>(page)); };
  }

  void Store(PageSlot slot, void* page, std::type_index type);
  void* Lookup(PageSlot slot, std::type_index type) const;
  bool Dispatch(PageSlot slot, std::type_index type, ErasedCall fn, bool wait);

  mutable std::mutex mutex_;
  std::array<Entry, kPageSlotCount> slots_{};
  IUiDispatcher* dispatcher_ = nullptr;
  bool closing_ = false;
};
