#include "platform/ui/ui_seams.h"

#include <QApplication>
#include <QDialog>

UiSeams& UiSeams::Instance() {
  static UiSeams seams;
  return seams;
}

void UiSeams::SetModalHandler(ModalHandler handler) { modalHandler_ = std::move(handler); }

void UiSeams::StartRecordingBeeps() { recordBeeps_ = true; }

void UiSeams::StopRecordingBeeps() { recordBeeps_ = false; }

int UiSeams::RunModal(QDialog& dialog) {
  ++modalCount_;
  if (modalHandler_) {
    // A copy: the handler may install another one while it runs.
    const ModalHandler handler = modalHandler_;
    return handler(dialog);
  }
  return dialog.exec();
}

void UiSeams::Beep(UINT kind) {
  ++beepCount_;
  lastBeep_ = kind;
  if (!recordBeeps_) QApplication::beep();
}

void UiSeams::Reset() {
  modalHandler_ = nullptr;
  modalCount_ = 0;
  recordBeeps_ = false;
  beepCount_ = 0;
  lastBeep_ = 0;
}

int RunModal(QDialog& dialog) { return UiSeams::Instance().RunModal(dialog); }

void MessageBeep(UINT kind) { UiSeams::Instance().Beep(kind); }
