#pragma once
// What the charting-window link needs of the desktop's window system: the top-level
// windows with their owners and states, activating, restoring and maximising a
// window, the windows under the pointer and with the focus, and synthesised button
// and key events. One session is one connection, opened for one use of the link and
// closed with it; everything a session does fails softly (a window may vanish between
// listing and reading it), so the caller decides what to tell the user.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using WindowId = std::uint64_t;

// The ICCCM window state a window manager keeps on a client window.
enum class WindowState {
  None,       // no state recorded (no window manager has seen it)
  Withdrawn,
  Normal,
  Iconic,
};

struct TopWindow {
  WindowId id = 0;
  std::uint32_t pid = 0;        // its owner process by _NET_WM_PID; 0 = not given
  std::string className;        // WM_CLASS class part ("" = none)
  std::string instanceName;     // WM_CLASS instance part ("" = none)
  bool transient = false;       // has WM_TRANSIENT_FOR (an owned window)
  bool overrideRedirect = false;  // a menu or tip that no window manager handles
  bool viewable = false;        // mapped and all its ancestors mapped
  WindowState state = WindowState::None;
};

// Keysyms the link uses (the X11 values).
inline constexpr unsigned long kKeysym0 = 0x30;       // '0'; '1'..'9' follow
inline constexpr unsigned long kKeysymReturn = 0xff0d;
inline constexpr int kLeftButton = 1;

class WindowSession {
 public:
  virtual ~WindowSession() = default;
  // Whether a window manager runs (it then handles activation and window states).
  virtual bool HasWindowManager() const = 0;
  // Every top-level client window, top-most first. False when the list could not be
  // read at all.
  virtual bool ListTopWindows(std::vector<TopWindow>& windows) = 0;
  // Each is false when the request failed (the window is gone, the server refused).
  virtual bool Activate(WindowId window) = 0;
  virtual bool Restore(WindowId window) = 0;   // normal state, not maximised
  virtual bool Maximise(WindowId window) = 0;
  // The top-level client window under the pointer / with the input focus; nullopt
  // when there is none (the pointer is over the desktop, nothing has the focus).
  virtual std::optional<TopWindow> WindowUnderPointer() = 0;
  virtual std::optional<TopWindow> FocusedWindow() = 0;
  // Synthesised input, sent at once.
  virtual bool Button(int button, bool press) = 0;
  virtual bool Key(unsigned long keysym, bool press) = 0;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // A new session, or nullptr when the window system cannot be used (no display, or
  // no way to synthesise input).
  virtual std::unique_ptr<WindowSession> Open() = 0;
};

// The window system when there is none: every Open fails.
class NullWindowSystem final : public WindowSystem {
 public:
  std::unique_ptr<WindowSession> Open() override { return nullptr; }
};
