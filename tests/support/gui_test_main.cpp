// Shared main of the GUI tests: a QApplication on the offscreen platform, the font the
// program uses, and the message-box hook in "record, answer OK, fail on an unexpected
// box" mode, so no real modal ever appears.
#include <QApplication>
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
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  MessageBoxHook::Instance().StartRecording();
  testing::UnitTest::GetInstance()->listeners().Append(new UnexpectedBoxListener);
  return RUN_ALL_TESTS();
}
