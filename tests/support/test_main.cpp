// Shared main of the tests without a display: the message-box hook records every box,
// answers it, and a box that a test did not take fails that test.
#include <gtest/gtest.h>

#include "platform/message_box.h"

namespace {

class UnexpectedBoxListener : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override { MessageBoxHook::Instance().Clear(); }
  void OnTestEnd(const testing::TestInfo&) override {
    for (const auto& box : MessageBoxHook::Instance().TakeRecorded()) {
      ADD_FAILURE() << "unexpected message box: \"" << box.text << "\" (caption \"" << box.caption << "\")";
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  MessageBoxHook::Instance().StartRecording();
  testing::UnitTest::GetInstance()->listeners().Append(new UnexpectedBoxListener);
  return RUN_ALL_TESTS();
}
