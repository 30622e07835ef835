// The window link against a real X server: Xvfb, started by the test on a display it
// picks itself, and the stand-in window of the charting program. Without Xvfb the
// tests are skipped, unless VELKOR_REQUIRE_XVFB=1 makes that a failure.

#include "platform/x11/x11_window_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "charting/chart_window_link.h"
#include "charting/soft_list.h"
#include "platform/message_box.h"
#include "platform/proc_process_finder.h"
#include "../support/chart_folder_builder.h"
#include "../support/temp_program_folder.h"
#include "../support/zero_sleeper.h"
#include "settings/settings.h"

// Last: Xlib defines plain macros (None, Bool, Status) that other headers use as names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace {

using namespace std::chrono_literals;

bool XvfbInstalled() {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (!folder.empty() && ::access((folder + "/Xvfb").c_str(), X_OK) == 0) return true;
  }
  return false;
}

bool XvfbRequired() {
  const char* value = std::getenv("VELKOR_REQUIRE_XVFB");
  return value != nullptr && std::string(value) == "1";
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(20ms);
  }
  return done();
}

void EndChild(pid_t& pid, int signal = SIGTERM) {
  if (pid <= 0) return;
  ::kill(pid, signal);
  int status = 0;
  ::waitpid(pid, &status, 0);
  pid = -1;
}

// One Xvfb; the display number comes back through -displayfd.
class Xvfb {
 public:
  explicit Xvfb(const std::string& logFolder) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      const int log = ::open((logFolder + "/xvfb.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (log >= 0) {
        ::dup2(log, 1);
        ::dup2(log, 2);
      }
      const std::string fd = std::to_string(fds[1]);
      ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
      _exit(127);
    }
    ::close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (pid_ > 0 && ::poll(&p, 1, 15000) > 0) {
      char c = 0;
      if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    ::close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~Xvfb() { Stop(); }

  const std::string& Display() const { return display_; }
  void Stop(int signal = SIGTERM) { EndChild(pid_, signal); }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// The stand-in window, started with argv[0] set as Wine sets it.
class StubWindow {
 public:
  StubWindow(const std::string& display, const std::string& log, const std::string& geometry) : log_(log) {
    pid_ = ::fork();
    if (pid_ == 0) {
      const char* argv[] = {"C:\\new_tdx\\TdxW.exe", display.c_str(), log.c_str(), geometry.c_str(), nullptr};
      ::execv(VELKOR_X11_STUB, const_cast<char* const*>(argv));
      _exit(127);
    }
  }
  ~StubWindow() { EndChild(pid_); }

  pid_t Pid() const { return pid_; }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::stringstream text(ReadWholeFile(log_));
    std::string line;
    while (std::getline(text, line)) lines.push_back(line);
    return lines;
  }
  bool Logged(const std::string& line) const {
    for (const std::string& l : Lines()) {
      if (l == line) return true;
    }
    return false;
  }

 private:
  std::string log_;
  pid_t pid_ = -1;
};

// Moves the pointer with a connection of the test's own.
void MovePointer(const std::string& display, int x, int y) {
  Display* d = XOpenDisplay(display.c_str());
  ASSERT_NE(d, nullptr);
  XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, x, y);
  XSync(d, False);
  XCloseDisplay(d);
}

const std::vector<std::string> kTypedCode = {
    "key-press 6", "key-release 6", "key-press 0", "key-release 0", "key-press 0",      "key-release 0",
    "key-press 5", "key-release 5", "key-press 1", "key-release 1", "key-press 9",      "key-release 9",
    "key-press Return", "key-release Return"};

class X11WindowSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbInstalled()) {
      if (XvfbRequired()) FAIL() << "Xvfb is not installed, and VELKOR_REQUIRE_XVFB=1";
      GTEST_SKIP() << "Xvfb is not installed";
    }
    // The link looks for "TdxW.exe" in the real /proc, so two copies of this test (two
    // build folders on one machine) must not run their stand-ins at the same time.
    lock_ = ::open((std::filesystem::temp_directory_path() / "velkor-x11-link.lock").c_str(),
                   O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_GE(lock_, 0);
    ASSERT_EQ(::flock(lock_, LOCK_EX), 0);
    folder_ = MakeTempFolder("velkor-x11");
    server_ = std::make_unique<Xvfb>(folder_);
    ASSERT_FALSE(server_->Display().empty()) << "Xvfb did not start: " << ReadWholeFile(folder_ + "/xvfb.log");
    chartFolder_ = std::make_unique<ChartFolderBuilder>();
    savedTdxDir_ = TDX_DIR;
    TDX_DIR = chartFolder_->LinuxTdxDir();
    savedSoftList_ = g_vecSoftList;
    savedSystemType_ = g_Settings.SystemType;
    savedMaxWindow_ = g_Settings.MaxWindow;
    g_vecSoftList = {{"通达信", "TdxW.exe"}};
    g_Settings.SystemType = 1;
    g_Settings.MaxWindow = 1;
  }
  void TearDown() override {
    if (server_) {
      TDX_DIR = savedTdxDir_;
      g_vecSoftList = savedSoftList_;
      g_Settings.SystemType = savedSystemType_;
      g_Settings.MaxWindow = savedMaxWindow_;
      server_.reset();
      std::filesystem::remove_all(folder_);
    }
    if (lock_ >= 0) ::close(lock_);
  }

  std::unique_ptr<StubWindow> StartStub(const std::string& geometry) {
    auto stub = std::make_unique<StubWindow>(server_->Display(), folder_ + "/stub-" + geometry + ".log", geometry);
    EXPECT_TRUE(WaitFor([&] { return stub->Logged("ready"); })) << "the stub window did not come up";
    return stub;
  }

  void Find(const std::string& code) {
    X11WindowSystem windows(server_->Display());
    ProcProcessFinder processes("/proc");
    ZeroSleeper sleeper;
    CChartWindowLink link(windows, processes, sleeper);
    link.FindChartWindow(code);
    EXPECT_EQ(sleeper.Waits(), (std::vector<int>{150, 60, 60, 60, 60, 60, 60, 50}));
  }

  // The stub's input lines, without "ready" and the focus lines.
  static std::vector<std::string> Input(const StubWindow& stub) {
    std::vector<std::string> input;
    for (const std::string& line : stub.Lines()) {
      if (line != "ready" && line.rfind("focus-", 0) != 0) input.push_back(line);
    }
    return input;
  }

  int lock_ = -1;
  std::unique_ptr<ChartFolderBuilder> chartFolder_;
  std::string savedTdxDir_;
  std::string folder_;
  std::unique_ptr<Xvfb> server_;
  std::vector<SoftListEntry> savedSoftList_;
  std::uint8_t savedSystemType_ = 0;
  std::uint8_t savedMaxWindow_ = 1;
};

}  // namespace

// ---- the link on a bare server ----

TEST_F(X11WindowSystemTest, FullScreenWindowGetsFocusOneClickAndTheCode) {
  auto stub = StartStub("full");
  MovePointer(server_->Display(), 512, 384);
  Find("600519");
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
  ASSERT_TRUE(WaitFor([&] { return stub->Logged("key-release Return"); })) << ReadWholeFile(folder_ + "/stub-full.log");
  std::vector<std::string> expected = {"button-press 1", "button-release 1"};
  expected.insert(expected.end(), kTypedCode.begin(), kTypedCode.end());
  EXPECT_EQ(Input(*stub), expected);
  // The focus came before the click.
  const std::vector<std::string> lines = stub->Lines();
  const auto focus = std::find(lines.begin(), lines.end(), "focus-in");
  const auto click = std::find(lines.begin(), lines.end(), "button-press 1");
  EXPECT_TRUE(focus < click);
}

TEST_F(X11WindowSystemTest, CornerWindowGetsNoClickButTheKeys) {
  auto stub = StartStub("80x60+0+0");
  MovePointer(server_->Display(), 600, 400);
  Find("600519");
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
  ASSERT_TRUE(WaitFor([&] { return stub->Logged("key-release Return"); }));
  EXPECT_EQ(Input(*stub), kTypedCode);
  EXPECT_TRUE(stub->Logged("focus-in"));
}

TEST_F(X11WindowSystemTest, SessionListsTheStubWithItsPid) {
  auto stub = StartStub("full");
  X11WindowSystem windows(server_->Display());
  const auto session = windows.Open();
  ASSERT_NE(session, nullptr);
  EXPECT_FALSE(session->HasWindowManager());
  std::vector<TopWindow> top;
  ASSERT_TRUE(session->ListTopWindows(top));
  ASSERT_FALSE(top.empty());
  EXPECT_EQ(top.front().pid, static_cast<std::uint32_t>(stub->Pid()));
  EXPECT_EQ(top.front().className, "TdxW.exe");
  EXPECT_TRUE(top.front().viewable);
  EXPECT_FALSE(top.front().transient);
}

TEST_F(X11WindowSystemTest, DigitOnTheShiftedLevelIsTypedWithShift) {
  auto stub = StartStub("full");
  MovePointer(server_->Display(), 512, 384);
  {
    // The "6" key of an AZERTY keyboard: "-" plain, "6" with Shift.
    Display* d = XOpenDisplay(server_->Display().c_str());
    ASSERT_NE(d, nullptr);
    KeySym syms[2] = {XK_minus, XK_6};
    XChangeKeyboardMapping(d, XKeysymToKeycode(d, XK_6), 2, syms, 1);
    XSync(d, False);
    XCloseDisplay(d);
  }
  X11WindowSystem windows(server_->Display());
  const auto session = windows.Open();
  ASSERT_NE(session, nullptr);
  std::vector<TopWindow> top;
  ASSERT_TRUE(session->ListTopWindows(top));
  ASSERT_FALSE(top.empty());
  ASSERT_TRUE(session->Activate(top.front().id));
  ASSERT_TRUE(WaitFor([&] { return stub->Logged("focus-in"); }));
  EXPECT_TRUE(session->Key(kKeysym0 + 6, true));
  EXPECT_TRUE(session->Key(kKeysym0 + 6, false));
  ASSERT_TRUE(WaitFor([&] { return stub->Logged("key-release Shift_L"); })) << ReadWholeFile(folder_ + "/stub-full.log");
  EXPECT_EQ(Input(*stub), (std::vector<std::string>{"key-press Shift_L", "key-press minus", "key-release minus",
                                                    "key-release Shift_L"}));
}

// ---- with a window manager ----

namespace {

// Plays the part of an EWMH window manager on its own connection: it names its check
// window, keeps the stacking list and WM_STATE, and takes the requests sent to the
// root window.
class FakeWindowManager {
 public:
  FakeWindowManager(const std::string& display, const std::vector<Window>& clients) {
    d_ = XOpenDisplay(display.c_str());
    if (d_ == nullptr) return;
    const Window root = DefaultRootWindow(d_);
    XSelectInput(d_, root, SubstructureRedirectMask | SubstructureNotifyMask);
    const Window check = XCreateSimpleWindow(d_, root, 0, 0, 1, 1, 0, 0, 0);
    const ::Atom checkAtom = Intern("_NET_SUPPORTING_WM_CHECK");
    for (const Window w : {root, check}) {
      XChangeProperty(d_, w, checkAtom, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&check), 1);
    }
    std::vector<long> list(clients.begin(), clients.end());
    XChangeProperty(d_, root, Intern("_NET_CLIENT_LIST_STACKING"), XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(list.data()), static_cast<int>(list.size()));
    const long state[2] = {NormalState, None};
    for (const Window w : clients) {
      XChangeProperty(d_, w, Intern("WM_STATE"), Intern("WM_STATE"), 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(state), 2);
    }
    XSync(d_, False);
  }
  ~FakeWindowManager() {
    if (d_ != nullptr) XCloseDisplay(d_);
  }

  bool Ok() const { return d_ != nullptr; }
  ::Atom Intern(const char* name) { return XInternAtom(d_, name, False); }

  // The next client message sent to the root, within a few seconds.
  std::optional<XClientMessageEvent> TakeRequest() {
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < end) {
      while (XPending(d_) > 0) {
        XEvent event;
        XNextEvent(d_, &event);
        if (event.type == ClientMessage) return event.xclient;
      }
      std::this_thread::sleep_for(10ms);
    }
    return std::nullopt;
  }

 private:
  Display* d_ = nullptr;
};

}  // namespace

TEST_F(X11WindowSystemTest, WindowManagerGetsActivationAndStateRequests) {
  auto stub = StartStub("full");
  X11WindowSystem windows(server_->Display());
  std::vector<TopWindow> top;
  {
    const auto bare = windows.Open();
    ASSERT_NE(bare, nullptr);
    ASSERT_TRUE(bare->ListTopWindows(top));
    ASSERT_FALSE(top.empty());
  }
  const Window client = static_cast<Window>(top.front().id);
  FakeWindowManager manager(server_->Display(), {client});
  ASSERT_TRUE(manager.Ok());

  const auto session = windows.Open();
  ASSERT_NE(session, nullptr);
  EXPECT_TRUE(session->HasWindowManager());
  ASSERT_TRUE(session->ListTopWindows(top));
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top.front().id, client);
  EXPECT_EQ(top.front().state, WindowState::Normal);

  ASSERT_TRUE(session->Restore(client));
  ASSERT_TRUE(session->Maximise(client));
  ASSERT_TRUE(session->Activate(client));
  const ::Atom maxVert = manager.Intern("_NET_WM_STATE_MAXIMIZED_VERT");
  const ::Atom maxHorz = manager.Intern("_NET_WM_STATE_MAXIMIZED_HORZ");
  for (const long action : {0L, 1L}) {
    const auto request = manager.TakeRequest();
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->message_type, manager.Intern("_NET_WM_STATE"));
    EXPECT_EQ(request->window, client);
    EXPECT_EQ(request->data.l[0], action);
    EXPECT_EQ(static_cast<::Atom>(request->data.l[1]), maxVert);
    EXPECT_EQ(static_cast<::Atom>(request->data.l[2]), maxHorz);
    EXPECT_EQ(request->data.l[3], 2);
  }
  const auto activate = manager.TakeRequest();
  ASSERT_TRUE(activate.has_value());
  EXPECT_EQ(activate->message_type, manager.Intern("_NET_ACTIVE_WINDOW"));
  EXPECT_EQ(activate->window, client);
  EXPECT_EQ(activate->data.l[0], 2);
}

// ---- failures never end the program ----

TEST_F(X11WindowSystemTest, RequestsOnAVanishedWindowFailSoftly) {
  X11WindowSystem windows(server_->Display());
  const auto session = windows.Open();
  ASSERT_NE(session, nullptr);
  EXPECT_FALSE(session->Activate(0x3ffff1));
  EXPECT_FALSE(session->Restore(0x3ffff1));
  std::vector<TopWindow> top;
  EXPECT_TRUE(session->ListTopWindows(top));
}

TEST_F(X11WindowSystemTest, ThePreviousErrorHandlerComesBack) {
  XErrorHandler mine = [](Display*, XErrorEvent*) { return 0; };
  XIOErrorHandler mineIo = [](Display*) { return 0; };
  const XErrorHandler before = XSetErrorHandler(mine);
  const XIOErrorHandler beforeIo = XSetIOErrorHandler(mineIo);
  {
    X11WindowSystem windows(server_->Display());
    const auto session = windows.Open();
    ASSERT_NE(session, nullptr);
    EXPECT_FALSE(session->Activate(0x3ffff1));
  }
  EXPECT_EQ(XSetErrorHandler(before), mine);
  EXPECT_EQ(XSetIOErrorHandler(beforeIo), mineIo);
}

TEST_F(X11WindowSystemTest, LostConnectionFailsInsteadOfExiting) {
  X11WindowSystem windows(server_->Display());
  auto session = windows.Open();
  ASSERT_NE(session, nullptr);
  server_->Stop(SIGKILL);
  std::vector<TopWindow> top;
  EXPECT_FALSE(session->ListTopWindows(top));
  EXPECT_FALSE(session->Key(kKeysym0, true));
  EXPECT_FALSE(session->Activate(1));
  session.reset();
  EXPECT_EQ(windows.Open(), nullptr);
}

TEST(X11WindowSystem, UnreachableDisplayOpensNothing) {
  EXPECT_EQ(X11WindowSystem(":987654").Open(), nullptr);
  EXPECT_FALSE(X11WindowSystem::Usable(":987654"));
}
