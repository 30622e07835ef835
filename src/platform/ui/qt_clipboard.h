#pragma once
// The system clipboard (QClipboard) behind CopyTextToClipboard(). A call from a
// worker thread is carried to the UI thread through the page registry's dispatcher.

#include "platform/clipboard.h"

class QtClipboardBackend final : public IClipboardBackend {
 public:
  bool SetText(const std::string& utf8) override;
};

// Makes the Qt backend the one CopyTextToClipboard() uses (process-wide).
void InstallQtClipboardBackend();
