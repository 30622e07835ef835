#pragma once
// The clipboard goes through one seam, like the message boxes: the Qt layer installs
// a backend that sets the system clipboard; tests put the hook into recording mode.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

class IClipboardBackend {
 public:
  virtual ~IClipboardBackend() = default;
  // False when the clipboard could not be opened.
  virtual bool SetText(const std::string& utf8) = 0;
};

class ClipboardHook {
 public:
  static ClipboardHook& Instance();

  void StartRecording();
  void StopRecording();
  bool IsRecording() const;
  // While recording: the next SetText fails as an unopenable clipboard would.
  void FailNext();

  // Every text put on the clipboard while recording, oldest first.
  std::vector<std::string> Texts() const;
  std::optional<std::string> Last() const;
  void Clear();

  // Used by CopyTextToClipboard: nullopt when not recording, else the result.
  std::optional<bool> Intercept(const std::string& text);

 private:
  mutable std::mutex mutex_;
  bool recording_ = false;
  bool failNext_ = false;
  std::vector<std::string> texts_;
};

void SetClipboardBackend(IClipboardBackend* backend);

// Puts exactly `text` (no line end added) on the clipboard, replacing what was
// there. Nothing happens when the clipboard cannot be opened (false).
bool CopyTextToClipboard(const std::string& text);
