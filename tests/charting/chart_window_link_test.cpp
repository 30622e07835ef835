#include "charting/chart_window_link.h"

#include <gtest/gtest.h>

#include "charting/soft_list.h"
#include "../support/chart_folder_builder.h"
#include "../support/fake_proc_tree.h"
#include "platform/message_box.h"
#include "../support/recording_window_system.h"
#include "settings/settings.h"

namespace {

constexpr std::uint32_t kTdxPid = 4242;
constexpr std::uint32_t kOurPid = 77;

TopWindow Window(WindowId id, std::uint32_t pid, WindowState state = WindowState::Normal) {
  TopWindow w;
  w.id = id;
  w.pid = pid;
  w.state = state;
  w.viewable = state == WindowState::Normal;
  return w;
}

std::vector<std::string> TakeTexts() {
  std::vector<std::string> texts;
  for (const auto& box : MessageBoxHook::Instance().TakeRecorded()) texts.push_back(box.text);
  return texts;
}

class ChartWindowLinkTest : public testing::Test {
 protected:
  void SetUp() override {
    savedTdxDir_ = TDX_DIR;
    TDX_DIR = wine_.LinuxTdxDir();
    savedSoftList_ = g_vecSoftList;
    savedSystemType_ = g_Settings.SystemType;
    savedMaxWindow_ = g_Settings.MaxWindow;
    g_vecSoftList = {{"通达信", "TdxW.exe"}};
    g_Settings.SystemType = 1;
    g_Settings.MaxWindow = 1;
    proc_.AddProcess(12, FakeProcTree::Argv({"/usr/bin/bash"}), "bash");
    proc_.AddProcess(kTdxPid, FakeProcTree::Argv({"C:\\new_tdx\\TdxW.exe"}), "TdxW.exe");
    windows_.windowManager = true;
    windows_.windows = {Window(3, kOurPid), Window(7, kTdxPid)};
    windows_.pointer = Window(7, kTdxPid);
    windows_.focus = Window(3, kOurPid);
  }
  void TearDown() override {
    TDX_DIR = savedTdxDir_;
    g_vecSoftList = savedSoftList_;
    g_Settings.SystemType = savedSystemType_;
    g_Settings.MaxWindow = savedMaxWindow_;
  }

  void Find(const std::string& code) {
    CChartWindowLink link(windows_, finder_, windows_.Sleeper());
    link.FindChartWindow(code);
  }
  std::vector<std::string> Input() const {
    std::vector<std::string> input;
    for (const std::string& line : windows_.record) {
      if (line.rfind("button-", 0) == 0 || line.rfind("key-", 0) == 0) input.push_back(line);
    }
    return input;
  }

  ChartFolderBuilder wine_;
  std::string savedTdxDir_;
  FakeProcTree proc_;
  ProcProcessFinder finder_{proc_.Root()};
  RecordingWindowSystem windows_;
  std::vector<SoftListEntry> savedSoftList_;
  std::uint8_t savedSystemType_ = 0;
  std::uint8_t savedMaxWindow_ = 1;
};

}  // namespace

// ---- the sequence ----

TEST_F(ChartWindowLinkTest, FullSequenceWithItsWaits) {
  Find("600519");
  EXPECT_TRUE(TakeTexts().empty());
  const std::vector<std::string> expected = {
      "open",           "list",
      "restore 7",      "maximise 7",
      "activate 7",     "pointer",
      "button-press 1", "button-release 1",
      "sleep 150",      "focus",
      "key-press 6",    "key-release 6",
      "sleep 60",       "key-press 0",
      "key-release 0",  "sleep 60",
      "key-press 0",    "key-release 0",
      "sleep 60",       "key-press 5",
      "key-release 5",  "sleep 60",
      "key-press 1",    "key-release 1",
      "sleep 60",       "key-press 9",
      "key-release 9",  "sleep 60",
      "sleep 50",       "key-press Return",
      "key-release Return", "close"};
  EXPECT_EQ(windows_.record, expected);
}

TEST_F(ChartWindowLinkTest, SystemTypeZeroClicksTwiceOthersOnce) {
  for (int type = 0; type <= 3; ++type) {
    windows_.record.clear();
    g_Settings.SystemType = static_cast<std::uint8_t>(type);
    Find("600519");
    EXPECT_EQ(windows_.Lines("button-press").size(), type == 0 ? 2u : 1u) << type;
    EXPECT_EQ(windows_.Lines("button-release").size(), type == 0 ? 2u : 1u) << type;
  }
  EXPECT_TRUE(TakeTexts().empty());
}

TEST_F(ChartWindowLinkTest, MaxWindowZeroOnlyRestores) {
  g_Settings.MaxWindow = 0;
  Find("600519");
  EXPECT_EQ(windows_.Lines("restore").size(), 1u);
  EXPECT_TRUE(windows_.Lines("maximise").empty());
  EXPECT_EQ(windows_.Lines("key-press").size(), 7u);
}

TEST_F(ChartWindowLinkTest, PointerOverAnotherWindowSendsNoClick) {
  windows_.pointer = Window(3, kOurPid);
  Find("600519");
  EXPECT_TRUE(windows_.Lines("button").empty());
  EXPECT_EQ(windows_.Lines("key-release").size(), 7u);
  windows_.record.clear();
  windows_.pointer.reset();  // over the desktop
  Find("600519");
  EXPECT_TRUE(windows_.Lines("button").empty());
  EXPECT_TRUE(TakeTexts().empty());
}

TEST_F(ChartWindowLinkTest, FocusElsewhereSendsNoKeys) {
  windows_.activationFocuses = false;
  Find("600519");
  EXPECT_TRUE(windows_.Lines("key").empty());
  EXPECT_EQ(TakeTexts(), std::vector<std::string>{"股票分析软件窗口无法激活，未输入股票代码!"});
}

TEST_F(ChartWindowLinkTest, WindowGoneMidCallIsReported) {
  windows_.gone = {7};
  Find("600519");
  EXPECT_TRUE(Input().empty());
  EXPECT_EQ(TakeTexts(), std::vector<std::string>{"股票分析软件窗口无法激活，未输入股票代码!"});
}

TEST_F(ChartWindowLinkTest, FailedInputStopsWithTheActivationMessage) {
  windows_.inputFails = true;
  Find("600519");
  // The click pair was tried, both halves; nothing after it.
  EXPECT_EQ(Input(), (std::vector<std::string>{"button-press 1", "button-release 1"}));
  EXPECT_EQ(TakeTexts(), std::vector<std::string>{"股票分析软件窗口无法激活，未输入股票代码!"});
}

// A box that writes itself into the window record, to see when it came.
class RecordIntoWindows final : public IDialogBackend {
 public:
  explicit RecordIntoWindows(RecordingWindowSystem& windows) : windows_(windows) {}
  int ShowMessageBox(const std::string& text, const std::string&, unsigned) override {
    windows_.record.push_back("box " + text);
    return IDOK;
  }
  std::optional<std::string> PickOpenFile(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> PickFolder(const std::string&, const std::string&) override { return std::nullopt; }

 private:
  RecordingWindowSystem& windows_;
};

TEST_F(ChartWindowLinkTest, TheBoxComesAfterTheSessionClosed) {
  windows_.activationFocuses = false;
  RecordIntoWindows backend(windows_);
  MessageBoxHook::Instance().StopRecording();
  SetDialogBackend(&backend);
  Find("600519");
  SetDialogBackend(nullptr);
  MessageBoxHook::Instance().StartRecording();
  ASSERT_GE(windows_.record.size(), 2u);
  EXPECT_EQ(windows_.record[windows_.record.size() - 2], "close");
  EXPECT_EQ(windows_.record.back(), "box 股票分析软件窗口无法激活，未输入股票代码!");
}

// ---- refusals ----

TEST_F(ChartWindowLinkTest, CodesThatAreNotSixDigitsSendNothing) {
  for (const char* code : {"60051", "", "6005190", "60051a"}) Find(code);
  EXPECT_TRUE(windows_.record.empty());
  EXPECT_EQ(TakeTexts(), std::vector<std::string>(4, "股票代码不正确，未发送到股票分析软件!"));
}

TEST_F(ChartWindowLinkTest, FolderNotSetOrWrongStopsTheLink) {
  TDX_DIR = "0";
  Find("600519");
  TDX_DIR = "D:\\nowhere\\TdxW.exe";
  Find("600519");
  EXPECT_TRUE(windows_.record.empty());
  EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"请设置 通达信 目录。",
                                                   "您设置的 通达信 目录不正确！！请按文档教程来操作！！！"}));
  // The value is read again at the next call.
  TDX_DIR = wine_.LinuxTdxDir();
  Find("600519");
  EXPECT_EQ(windows_.Lines("key-press").size(), 7u);
}

TEST_F(ChartWindowLinkTest, NoDisplayGivesItsMessageOnly) {
  windows_.available = false;
  Find("600519");
  EXPECT_EQ(windows_.record, std::vector<std::string>{"open"});
  EXPECT_EQ(TakeTexts(), std::vector<std::string>{"无法连接 X11 显示，不能联动股票分析软件!"});

  NullWindowSystem none;
  CChartWindowLink link(none, finder_, windows_.Sleeper());
  link.FindChartWindow("600519");
  EXPECT_EQ(TakeTexts(), std::vector<std::string>{"无法连接 X11 显示，不能联动股票分析软件!"});
}

TEST_F(ChartWindowLinkTest, NoProcessOrEmptySoftList) {
  g_vecSoftList = {{"Other", "other.exe"}};
  Find("600519");
  g_vecSoftList.clear();
  Find("600519");
  EXPECT_EQ(TakeTexts(), std::vector<std::string>(2, "股票分析软件未启动!!!"));
  EXPECT_TRUE(windows_.Lines("list").empty());
}

TEST_F(ChartWindowLinkTest, FirstRunningProgramOfTheListWins) {
  proc_.AddProcess(9000, FakeProcTree::Argv({"C:\\other\\Second.exe"}));
  windows_.windows = {Window(5, kTdxPid), Window(8, 9000)};
  windows_.pointer = Window(8, 9000);
  g_vecSoftList = {{"missing", "none.exe"}, {"second", "Second.exe"}, {"tdx", "TdxW.exe"}};
  Find("600519");
  EXPECT_EQ(windows_.Lines("activate"), std::vector<std::string>{"activate 8"});
  EXPECT_TRUE(TakeTexts().empty());
}

TEST_F(ChartWindowLinkTest, OnlyTransientOrWithdrawnWindows) {
  TopWindow owned = Window(5, kTdxPid);
  owned.transient = true;
  windows_.windows = {owned, Window(6, kTdxPid, WindowState::Withdrawn), Window(3, kOurPid)};
  Find("600519");
  EXPECT_TRUE(windows_.Lines("activate").empty());
  EXPECT_EQ(TakeTexts(),
            std::vector<std::string>{"股票分析软件主窗口未显示，或者股票分析软件使用老板键进行了隐藏!!!"});
}

// ---- the window filter ----

TEST(CProcessWindowList, KeepsShownMainWindowsTopMostFirst) {
  RecordingWindowSystem system;
  system.windowManager = true;
  TopWindow owned = Window(1, kTdxPid);
  owned.transient = true;
  TopWindow popup = Window(2, kTdxPid);
  popup.overrideRedirect = true;
  system.windows = {owned, popup, Window(3, kOurPid), Window(4, kTdxPid, WindowState::Withdrawn),
                    Window(5, kTdxPid, WindowState::Iconic), Window(6, kTdxPid), Window(9, kTdxPid, WindowState::None)};
  const auto session = system.Open();
  const CProcessWindowList list(*session, kTdxPid, "TdxW.exe");
  EXPECT_EQ(list.GetProcessId(), kTdxPid);
  EXPECT_EQ(list.GetWindows(), (std::vector<WindowId>{5, 6}));
  EXPECT_EQ(std::vector<WindowId>(list.begin(), list.end()), (std::vector<WindowId>{5, 6}));
}

TEST(CProcessWindowList, WithoutWindowManagerViewableCounts) {
  RecordingWindowSystem system;
  TopWindow shown = Window(5, kTdxPid, WindowState::None);
  shown.viewable = true;
  TopWindow hidden = Window(6, kTdxPid, WindowState::None);
  system.windows = {hidden, shown};
  const auto session = system.Open();
  EXPECT_EQ(CProcessWindowList(*session, kTdxPid, "TdxW.exe").GetWindows(), std::vector<WindowId>{5});
}

TEST(CProcessWindowList, WindowClassStandsInForAMissingPid) {
  RecordingWindowSystem system;
  TopWindow named = Window(5, 0);
  named.className = "TDXW.EXE";
  TopWindow otherPid = Window(6, kOurPid);
  otherPid.className = "TdxW.exe";  // a pid that is not ours wins over the class
  TopWindow nameless = Window(7, 0);
  system.windows = {nameless, otherPid, named};
  const auto session = system.Open();
  const CProcessWindowList list(*session, kTdxPid, "TdxW.exe");
  EXPECT_EQ(list.GetWindows(), std::vector<WindowId>{5});
  EXPECT_TRUE(CProcessWindowList(*session, kTdxPid, "").IsEmpty());
}

TEST(SendDigitKey, PressesAndReleasesMainRowDigitsOnly) {
  RecordingWindowSystem system;
  const auto session = system.Open();
  EXPECT_TRUE(SendDigitKey(*session, '7'));
  EXPECT_FALSE(SendDigitKey(*session, 'a'));
  EXPECT_FALSE(SendDigitKey(*session, '\0'));
  EXPECT_EQ(system.record, (std::vector<std::string>{"open", "key-press 7", "key-release 7"}));
}
