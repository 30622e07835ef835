#include "platform/clipboard.h"

#include <gtest/gtest.h>

namespace {

class FakeBackend final : public IClipboardBackend {
 public:
  bool SetText(const std::string& utf8) override {
    texts.push_back(utf8);
    return open;
  }
  bool open = true;
  std::vector<std::string> texts;
};

TEST(ClipboardTest, RecordingKeepsExactTextsAndCanFail) {
  auto& hook = ClipboardHook::Instance();
  ASSERT_TRUE(hook.IsRecording());  // the test main records
  EXPECT_TRUE(CopyTextToClipboard(", 600000, 000001"));
  EXPECT_TRUE(CopyTextToClipboard("中信证券"));
  EXPECT_EQ(hook.Texts(), (std::vector<std::string>{", 600000, 000001", "中信证券"}));
  hook.FailNext();
  EXPECT_FALSE(CopyTextToClipboard("lost"));
  EXPECT_EQ(hook.Last(), "中信证券");
  EXPECT_TRUE(CopyTextToClipboard("after"));
  EXPECT_EQ(hook.Last(), "after");
}

TEST(ClipboardTest, WithoutRecordingTheBackendDecides) {
  auto& hook = ClipboardHook::Instance();
  hook.StopRecording();
  EXPECT_FALSE(CopyTextToClipboard("no backend"));
  FakeBackend backend;
  SetClipboardBackend(&backend);
  EXPECT_TRUE(CopyTextToClipboard("a"));
  backend.open = false;
  EXPECT_FALSE(CopyTextToClipboard("b"));
  SetClipboardBackend(nullptr);
  hook.StartRecording();
  EXPECT_EQ(backend.texts, (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(hook.Texts().empty());
}

}  // namespace
