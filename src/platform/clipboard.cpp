#include "platform/clipboard.h"

#include <atomic>

namespace {
std::atomic<IClipboardBackend*> g_backend{nullptr};
}

ClipboardHook& ClipboardHook::Instance() {
  static ClipboardHook hook;
  return hook;
}

void ClipboardHook::StartRecording() {
  std::lock_guard lock(mutex_);
  recording_ = true;
}

void ClipboardHook::StopRecording() {
  std::lock_guard lock(mutex_);
  recording_ = false;
  failNext_ = false;
}

bool ClipboardHook::IsRecording() const {
  std::lock_guard lock(mutex_);
  return recording_;
}

void ClipboardHook::FailNext() {
  std::lock_guard lock(mutex_);
  failNext_ = true;
}

std::vector<std::string> ClipboardHook::Texts() const {
  std::lock_guard lock(mutex_);
  return texts_;
}

std::optional<std::string> ClipboardHook::Last() const {
  std::lock_guard lock(mutex_);
  if (texts_.empty()) return std::nullopt;
  return texts_.back();
}

void ClipboardHook::Clear() {
  std::lock_guard lock(mutex_);
  texts_.clear();
  failNext_ = false;
}

std::optional<bool> ClipboardHook::Intercept(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (!recording_) return std::nullopt;
  if (failNext_) {
    failNext_ = false;
    return false;
  }
  texts_.push_back(text);
  return true;
}

void SetClipboardBackend(IClipboardBackend* backend) { g_backend.store(backend); }

bool CopyTextToClipboard(const std::string& text) {
  if (const auto recorded = ClipboardHook::Instance().Intercept(text)) return *recorded;
  IClipboardBackend* backend = g_backend.load();
  return backend != nullptr && backend->SetText(text);
}
