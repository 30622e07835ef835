#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A backend that remembers what it was asked.
class FakeBackend : public IDialogBackend {
 public:
  int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) override {
    shown.push_back({text, caption, style & MB_ICONMASK, style & MB_TYPEMASK});
    return IDNO;
  }
  std::optional<std::string> PickOpenFile(const std::string& title, const std::string& startDir,
                                          const std::string& filter) override {
    lastRequest = title + "|" + startDir + "|" + filter;
    return "/picked/file.txt";
  }
  std::optional<std::string> PickFolder(const std::string& title, const std::string& startDir) override {
    lastRequest = title + "|" + startDir;
    return std::nullopt;
  }

  std::vector<RecordedMessageBox> shown;
  std::string lastRequest;
};

// The shared test main keeps the hook recording; these tests switch it off at times
// and always leave it recording again.
class MessageBoxTest : public testing::Test {
 protected:
  void TearDown() override {
    SetDialogBackend(nullptr);
    MessageBoxHook::Instance().StartRecording();
  }
  MessageBoxHook& hook = MessageBoxHook::Instance();
};

}  // namespace

TEST_F(MessageBoxTest, HookRecordsTextCaptionIconAndButtons) {
  EXPECT_EQ(MessageBox("打开数据库CJHB.mdb错误"), IDOK);
  EXPECT_EQ(MessageBox("删除吗?", "系统提示", MB_YESNO | MB_ICONQUESTION), IDYES);
  const auto boxes = hook.TakeRecorded();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "打开数据库CJHB.mdb错误");
  EXPECT_EQ(boxes[0].caption, "");
  EXPECT_EQ(boxes[0].icon, 0u);
  EXPECT_EQ(boxes[0].buttons, MB_OK);
  EXPECT_EQ(boxes[1].caption, "系统提示");
  EXPECT_EQ(boxes[1].icon, MB_ICONQUESTION);
  EXPECT_EQ(boxes[1].buttons, MB_YESNO);
  EXPECT_TRUE(hook.TakeRecorded().empty()) << "taking forgets the boxes";
}

TEST_F(MessageBoxTest, HookAnswersFromItsQueueThenDefaults) {
  hook.SetNextAnswer(IDNO);
  hook.SetNextAnswer(IDCANCEL);
  EXPECT_EQ(MessageBox("a", "", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBox("b", "", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBox("c", "", MB_YESNOCANCEL), IDYES);
  EXPECT_EQ(MessageBox("d", "", MB_OKCANCEL | MB_ICONWARNING), IDOK);
  EXPECT_EQ(hook.Recorded().size(), 4u);
  hook.TakeRecorded();
}

TEST_F(MessageBoxTest, ClearForgetsAnswersAndBoxes) {
  hook.SetNextAnswer(IDNO);
  MessageBox("x");
  hook.Clear();
  EXPECT_TRUE(hook.Recorded().empty());
  EXPECT_EQ(MessageBox("y", "", MB_YESNO), IDYES);
  hook.TakeRecorded();
}

TEST_F(MessageBoxTest, WithoutRecordingTheBackendShowsTheBox) {
  FakeBackend backend;
  SetDialogBackend(&backend);
  hook.StopRecording();
  EXPECT_FALSE(hook.IsRecording());
  EXPECT_EQ(MessageBox("text", "caption", MB_YESNO | MB_ICONERROR), IDNO);
  ASSERT_EQ(backend.shown.size(), 1u);
  EXPECT_EQ(backend.shown[0].text, "text");
  EXPECT_EQ(backend.shown[0].icon, MB_ICONERROR);
  EXPECT_EQ(PickOpenFile("t", "/start", "*.txt"), "/picked/file.txt");
  EXPECT_EQ(backend.lastRequest, "t|/start|*.txt");
  EXPECT_EQ(PickFolder("f", "/s"), std::nullopt);
  EXPECT_EQ(backend.lastRequest, "f|/s");
  EXPECT_TRUE(hook.Recorded().empty());
}

TEST_F(MessageBoxTest, NoBackendWritesToStderrAndNeverConfirms) {
  hook.StopRecording();
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox("no display", "cap", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBox("plain"), IDOK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "cap: no display\nplain\n");
  EXPECT_EQ(PickOpenFile("t"), std::nullopt);
}

TEST_F(MessageBoxTest, PickersAnswerFromTheirQueuesAndCount) {
  hook.SetNextFileName("/a/b.txt");
  hook.SetNextFileName(std::nullopt);
  hook.SetNextFolder("/dir");
  EXPECT_EQ(PickOpenFile("open"), "/a/b.txt");
  EXPECT_EQ(PickOpenFile("open"), std::nullopt);
  EXPECT_EQ(PickOpenFile("open"), std::nullopt) << "an empty queue cancels";
  EXPECT_EQ(PickFolder("folder"), "/dir");
  EXPECT_EQ(PickFolder("folder"), std::nullopt);
  EXPECT_EQ(hook.PickerCalls(), 5);
  EXPECT_TRUE(hook.Recorded().empty()) << "pickers are not message boxes";
}

TEST_F(MessageBoxTest, BoxesFromManyThreadsAreAllRecorded) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 100; ++i) MessageBox("worker");
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(hook.TakeRecorded().size(), 400u);
}
