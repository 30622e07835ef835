#pragma once
// Two seams of the Qt layer that tests must control: modal dialogs and the beep.
//
// RunModal() shows a dialog modally and returns its result. While a test handler is
// installed the handler gets the live, fully built dialog instead (it may read it,
// click in it, close it) and its return value is the result: no real modal loop
// ever runs in a test.
//
// MessageBeep() sounds the system beep; while recording it is only counted.

#include <functional>

#include "platform/win_types.h"

class QDialog;

class UiSeams {
 public:
  using ModalHandler = std::function<int(QDialog&)>;

  static UiSeams& Instance();

  // nullptr goes back to real modal loops.
  void SetModalHandler(ModalHandler handler);
  bool HasModalHandler() const { return static_cast<bool>(modalHandler_); }
  int ModalCount() const { return modalCount_; }

  void StartRecordingBeeps();
  void StopRecordingBeeps();
  int BeepCount() const { return beepCount_; }
  UINT LastBeep() const { return lastBeep_; }

  // Used by the functions below.
  int RunModal(QDialog& dialog);
  void Beep(UINT kind);

  // Forgets the handler, the counts and the recording.
  void Reset();

 private:
  ModalHandler modalHandler_;
  int modalCount_ = 0;
  bool recordBeeps_ = false;
  int beepCount_ = 0;
  UINT lastBeep_ = 0;
};

// UI thread only. The beep's kind is an icon value of message_box.h
// (MB_ICONWARNING for the exclamation sound).
int RunModal(QDialog& dialog);
void MessageBeep(UINT kind);
