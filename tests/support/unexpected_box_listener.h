#pragma once
// Every test starts with an empty message-box and clipboard record; a box the test did not take
// with MessageBoxHook::Instance().TakeRecorded() fails it.

#include <gtest/gtest.h>

#include "platform/clipboard.h"
#include "platform/message_box.h"

class UnexpectedBoxListener : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    MessageBoxHook::Instance().Clear();
    ClipboardHook::Instance().Clear();
  }
  void OnTestEnd(const testing::TestInfo&) override {
    for (const auto& box : MessageBoxHook::Instance().TakeRecorded()) {
      ADD_FAILURE() << "unexpected message box: \"" << box.text << "\" (caption \"" << box.caption << "\")";
    }
  }
};

// Records every box and answers it, so no real modal appears; fails on an unexpected one.
// The clipboard is recorded too, so tests never replace the user's clipboard.
inline void InstallMessageBoxRecording() {
  MessageBoxHook::Instance().StartRecording();
  ClipboardHook::Instance().StartRecording();
  testing::UnitTest::GetInstance()->listeners().Append(new UnexpectedBoxListener);
}
