#include "platform/x11/x11_window_system.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// Xlib's error handlers are process-wide, so one session at a time installs its own.
std::mutex g_sessionMutex;

struct ErrorLog {
  int errors = 0;
  bool lost = false;
};
// The log of the session now open (only one is, under g_sessionMutex).
ErrorLog* g_errorLog = nullptr;

int RecordError(Display*, XErrorEvent*) {
  if (g_errorLog != nullptr) ++g_errorLog->errors;
  return 0;
}

int RecordIoError(Display*) {
  if (g_errorLog != nullptr) g_errorLog->lost = true;
  return 0;
}

// Called after the IO error handler instead of exit(): the connection is dead, every
// later request on it does nothing, and the session reports failure.
void KeepRunningAfterIoError(Display*, void* log) { static_cast<ErrorLog*>(log)->lost = true; }

// Installs the recording handlers for its lifetime and restores the previous ones.
class HandlerScope {
 public:
  explicit HandlerScope(ErrorLog* log) : lock_(g_sessionMutex) {
    g_errorLog = log;
    previousError_ = XSetErrorHandler(RecordError);
    previousIo_ = XSetIOErrorHandler(RecordIoError);
  }
  ~HandlerScope() {
    XSetIOErrorHandler(previousIo_);
    XSetErrorHandler(previousError_);
    g_errorLog = nullptr;
  }
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;

 private:
  std::unique_lock<std::mutex> lock_;
  XErrorHandler previousError_ = nullptr;
  XIOErrorHandler previousIo_ = nullptr;
};

// Opens the display inside a handler scope; nullptr when it cannot be opened.
Display* OpenDisplay(const std::string& name, ErrorLog& log) {
  Display* display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
  if (display != nullptr) XSetIOErrorExitHandler(display, KeepRunningAfterIoError, &log);
  return display;
}

bool HasXTest(Display* display) {
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  return XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor) != 0;
}

constexpr long kSourcePager = 2;  // _NET_* requests from a pager-like tool are obeyed
constexpr long kStateRemove = 0;
constexpr long kStateAdd = 1;
constexpr int kClientSearchDepth = 3;

class X11Session final : public WindowSession {
 public:
  X11Session(std::unique_ptr<ErrorLog> log, std::unique_ptr<HandlerScope> scope, Display* display)
      : log_(std::move(log)), scope_(std::move(scope)), display_(display), root_(DefaultRootWindow(display)) {
    netClientListStacking_ = XInternAtom(display_, "_NET_CLIENT_LIST_STACKING", False);
    netSupportingWmCheck_ = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
    netWmPid_ = XInternAtom(display_, "_NET_WM_PID", False);
    netActiveWindow_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    netWmState_ = XInternAtom(display_, "_NET_WM_STATE", False);
    netMaxVert_ = XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_VERT", False);
    netMaxHorz_ = XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
    wmState_ = XInternAtom(display_, "WM_STATE", False);
    windowManager_ = DetectWindowManager();
  }

  ~X11Session() override {
    if (!log_->lost) XSync(display_, False);
    XCloseDisplay(display_);
    // scope_ restores the handlers after the display is gone.
  }

  bool HasWindowManager() const override { return windowManager_; }

  bool ListTopWindows(std::vector<TopWindow>& windows) override {
    windows.clear();
    std::vector<Window> order;
    if (windowManager_) {
      order = WindowListProperty(root_, netClientListStacking_);
      std::reverse(order.begin(), order.end());  // the property lists bottom-most first
    }
    if (order.empty()) {
      for (Window child : Children(root_)) order.push_back(FindClient(child, kClientSearchDepth));
      std::reverse(order.begin(), order.end());  // the tree lists bottom-most first
    }
    if (log_->lost) return false;
    for (Window window : order) {
      if (std::optional<TopWindow> info = Describe(window)) windows.push_back(std::move(*info));
    }
    return !log_->lost;
  }

  bool Activate(WindowId window) override {
    const Window w = static_cast<Window>(window);
    return Checked([&] {
      if (windowManager_) {
        SendRootMessage(w, netActiveWindow_, {kSourcePager, static_cast<long>(CurrentTime), 0, 0, 0});
      } else {
        XMapRaised(display_, w);
        XSetInputFocus(display_, w, RevertToParent, CurrentTime);
      }
    });
  }

  bool Restore(WindowId window) override {
    const Window w = static_cast<Window>(window);
    return Checked([&] {
      // Mapping an iconic window asks for its normal state.
      XMapWindow(display_, w);
      if (windowManager_) {
        SendRootMessage(w, netWmState_,
                        {kStateRemove, static_cast<long>(netMaxVert_), static_cast<long>(netMaxHorz_), kSourcePager, 0});
      }
    });
  }

  bool Maximise(WindowId window) override {
    // Without a window manager nothing keeps a maximised state.
    if (!windowManager_) return !log_->lost;
    const Window w = static_cast<Window>(window);
    return Checked([&] {
      SendRootMessage(w, netWmState_,
                      {kStateAdd, static_cast<long>(netMaxVert_), static_cast<long>(netMaxHorz_), kSourcePager, 0});
    });
  }

  std::optional<TopWindow> WindowUnderPointer() override {
    Window rootReturn = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    if (!XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &x, &y, &mask) || child == None) {
      return std::nullopt;
    }
    return Describe(FindClient(child, kClientSearchDepth));
  }

  std::optional<TopWindow> FocusedWindow() override {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    if (log_->lost || focus == None) return std::nullopt;
    if (focus == PointerRoot) return WindowUnderPointer();
    // Up to the client window (it carries WM_STATE under a window manager) or, on a
    // bare server, to the top-level window.
    Window w = focus;
    for (int guard = 0; guard < 64 && w != root_; ++guard) {
      if (HasWmState(w)) return Describe(w);
      Window parent = 0;
      if (!Parent(w, parent)) return std::nullopt;
      if (parent == root_) return Describe(FindClient(w, kClientSearchDepth));
      w = parent;
    }
    return std::nullopt;
  }

  bool Button(int button, bool press) override {
    if (log_->lost) return false;
    const bool sent = XTestFakeButtonEvent(display_, static_cast<unsigned>(button), press ? True : False, CurrentTime) != 0;
    XFlush(display_);
    return sent && !log_->lost;
  }

  bool Key(unsigned long keysym, bool press) override {
    if (log_->lost) return false;
    const KeyCode code = XKeysymToKeycode(display_, static_cast<KeySym>(keysym));
    if (code == 0) return false;
    const bool shifted = NeedsShift(code, static_cast<KeySym>(keysym));
    const KeyCode shift = XKeysymToKeycode(display_, XK_Shift_L);
    if (shifted && shift == 0) return false;
    bool sent = true;
    if (shifted && press) sent = Fake(shift, true) && sent;
    sent = Fake(code, press) && sent;
    if (shifted && !press) sent = Fake(shift, false) && sent;
    return sent && !log_->lost;
  }

 private:
  // Runs the requests and waits for the server's answer: false when any of them
  // raised an error (the window is gone) or the connection broke.
  template <class F>
  bool Checked(F requests) {
    if (log_->lost) return false;
    const int before = log_->errors;
    requests();
    XSync(display_, False);
    return !log_->lost && log_->errors == before;
  }

  bool Fake(KeyCode code, bool press) {
    const bool sent = XTestFakeKeyEvent(display_, code, press ? True : False, CurrentTime) != 0;
    XFlush(display_);
    return sent;
  }

  // True when the keysym sits on the key's shifted level only (digits on AZERTY).
  bool NeedsShift(KeyCode code, KeySym keysym) {
    int perCode = 0;
    KeySym* syms = XGetKeyboardMapping(display_, code, 1, &perCode);
    if (syms == nullptr) return false;
    const bool shifted = perCode > 1 && syms[0] != keysym && syms[1] == keysym;
    XFree(syms);
    return shifted;
  }

  void SendRootMessage(Window window, Atom type, std::initializer_list<long> data) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.serial = 0;
    event.xclient.send_event = True;
    event.xclient.display = display_;
    event.xclient.window = window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    int i = 0;
    for (long value : data) event.xclient.data.l[i++] = value;
    XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  }

  // An EWMH window manager names its check window on the root and on itself.
  bool DetectWindowManager() {
    const std::vector<Window> check = WindowListProperty(root_, netSupportingWmCheck_);
    if (check.empty()) return false;
    const std::vector<Window> self = WindowListProperty(check.front(), netSupportingWmCheck_);
    return !self.empty() && self.front() == check.front();
  }

  // A property of 32-bit items (windows, cardinals); empty when missing or unreadable.
  std::vector<unsigned long> LongsProperty(Window window, Atom property, Atom type) {
    std::vector<unsigned long> values;
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int before = log_->errors;
    const int status = XGetWindowProperty(display_, window, property, 0, 1L << 16, False, type, &actualType,
                                          &actualFormat, &count, &after, &data);
    if (status == Success && log_->errors == before && data != nullptr && actualFormat == 32 &&
        actualType == type) {
      // Format 32 data arrives as an array of long, whatever the width of long.
      const auto* items = reinterpret_cast<const unsigned long*>(data);
      values.assign(items, items + count);
    }
    if (data != nullptr) XFree(data);
    return values;
  }

  std::vector<Window> WindowListProperty(Window window, Atom property) {
    std::vector<Window> windows;
    for (unsigned long value : LongsProperty(window, property, XA_WINDOW)) windows.push_back(static_cast<Window>(value));
    return windows;
  }

  std::vector<Window> Children(Window window) {
    std::vector<Window> children;
    Window rootReturn = 0, parent = 0;
    Window* list = nullptr;
    unsigned count = 0;
    const int before = log_->errors;
    if (XQueryTree(display_, window, &rootReturn, &parent, &list, &count) && log_->errors == before && list) {
      children.assign(list, list + count);
    }
    if (list != nullptr) XFree(list);
    return children;
  }

  bool Parent(Window window, Window& parent) {
    Window rootReturn = 0;
    Window* list = nullptr;
    unsigned count = 0;
    const int before = log_->errors;
    const bool ok = XQueryTree(display_, window, &rootReturn, &parent, &list, &count) && log_->errors == before;
    if (list != nullptr) XFree(list);
    return ok;
  }

  bool HasWmState(Window window) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int before = log_->errors;
    const int status = XGetWindowProperty(display_, window, wmState_, 0, 0, False, AnyPropertyType, &actualType,
                                          &actualFormat, &count, &after, &data);
    if (data != nullptr) XFree(data);
    return status == Success && log_->errors == before && actualType != None;
  }

  // The client window inside a top-level window: itself when it carries WM_STATE,
  // else the nearest descendant that does (a window manager's frame holds it), else
  // itself (a bare server has no frames).
  Window FindClient(Window top, int depth) {
    if (HasWmState(top)) return top;
    std::deque<std::pair<Window, int>> queue;
    for (Window child : Children(top)) queue.emplace_back(child, 1);
    while (!queue.empty()) {
      const auto [window, level] = queue.front();
      queue.pop_front();
      if (HasWmState(window)) return window;
      if (level < depth) {
        for (Window child : Children(window)) queue.emplace_back(child, level + 1);
      }
    }
    return top;
  }

  std::optional<TopWindow> Describe(Window window) {
    XWindowAttributes attributes{};
    const int before = log_->errors;
    if (!XGetWindowAttributes(display_, window, &attributes) || log_->errors != before) return std::nullopt;
    TopWindow info;
    info.id = static_cast<WindowId>(window);
    info.viewable = attributes.map_state == IsViewable;
    info.overrideRedirect = attributes.override_redirect != 0;
    const std::vector<unsigned long> pid = LongsProperty(window, netWmPid_, XA_CARDINAL);
    if (!pid.empty()) info.pid = static_cast<std::uint32_t>(pid.front());
    XClassHint hint{};
    if (XGetClassHint(display_, window, &hint)) {
      if (hint.res_name != nullptr) info.instanceName = hint.res_name;
      if (hint.res_class != nullptr) info.className = hint.res_class;
      if (hint.res_name != nullptr) XFree(hint.res_name);
      if (hint.res_class != nullptr) XFree(hint.res_class);
    }
    Window owner = 0;
    info.transient = XGetTransientForHint(display_, window, &owner) != 0;
    const std::vector<unsigned long> state = LongsProperty(window, wmState_, wmState_);
    if (!state.empty()) {
      switch (state.front()) {
        case NormalState:
          info.state = WindowState::Normal;
          break;
        case IconicState:
          info.state = WindowState::Iconic;
          break;
        default:
          info.state = WindowState::Withdrawn;
          break;
      }
    }
    if (log_->errors != before) return std::nullopt;  // it vanished while being read
    return info;
  }

  std::unique_ptr<ErrorLog> log_;
  std::unique_ptr<HandlerScope> scope_;
  Display* display_;
  Window root_;
  bool windowManager_ = false;
  Atom netClientListStacking_ = None;
  Atom netSupportingWmCheck_ = None;
  Atom netWmPid_ = None;
  Atom netActiveWindow_ = None;
  Atom netWmState_ = None;
  Atom netMaxVert_ = None;
  Atom netMaxHorz_ = None;
  Atom wmState_ = None;
};

}  // namespace

X11WindowSystem::X11WindowSystem(std::string displayName) : displayName_(std::move(displayName)) {}

std::unique_ptr<WindowSession> X11WindowSystem::Open() {
  auto log = std::make_unique<ErrorLog>();
  auto scope = std::make_unique<HandlerScope>(log.get());
  Display* display = OpenDisplay(displayName_, *log);
  if (display == nullptr) return nullptr;
  if (!HasXTest(display) || log->lost) {
    XCloseDisplay(display);
    return nullptr;
  }
  return std::make_unique<X11Session>(std::move(log), std::move(scope), display);
}

bool X11WindowSystem::Usable(const std::string& displayName) {
  X11WindowSystem system(displayName);
  return system.Open() != nullptr;
}
