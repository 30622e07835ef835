#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

namespace {

std::atomic<IDialogBackend*> g_backend{nullptr};

// The answer a user who simply confirms would give.
int DefaultAnswer(unsigned style) {
  const unsigned buttons = style & MB_TYPEMASK;
  return (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) ? IDYES : IDOK;
}

}  // namespace

MessageBoxHook& MessageBoxHook::Instance() {
  static MessageBoxHook hook;
  return hook;
}

void MessageBoxHook::StartRecording() {
  std::lock_guard lock(mutex_);
  recording_ = true;
}

void MessageBoxHook::StopRecording() {
  std::lock_guard lock(mutex_);
  recording_ = false;
}

bool MessageBoxHook::IsRecording() const {
  std::lock_guard lock(mutex_);
  return recording_;
}

void MessageBoxHook::SetNextAnswer(int answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(answer);
}

void MessageBoxHook::SetNextFileName(std::optional<std::string> path) {
  std::lock_guard lock(mutex_);
  files_.push_back(std::move(path));
}

void MessageBoxHook::SetNextFolder(std::optional<std::string> path) {
  std::lock_guard lock(mutex_);
  folders_.push_back(std::move(path));
}

std::vector<RecordedMessageBox> MessageBoxHook::Recorded() const {
  std::lock_guard lock(mutex_);
  return recorded_;
}

std::vector<RecordedMessageBox> MessageBoxHook::TakeRecorded() {
  std::lock_guard lock(mutex_);
  std::vector<RecordedMessageBox> taken;
  taken.swap(recorded_);
  return taken;
}

int MessageBoxHook::PickerCalls() const {
  std::lock_guard lock(mutex_);
  return pickerCalls_;
}

void MessageBoxHook::Clear() {
  std::lock_guard lock(mutex_);
  answers_.clear();
  files_.clear();
  folders_.clear();
  recorded_.clear();
  pickerCalls_ = 0;
}

std::optional<int> MessageBoxHook::Intercept(const std::string& text, const std::string& caption, unsigned style) {
  std::lock_guard lock(mutex_);
  if (!recording_) return std::nullopt;
  recorded_.push_back({text, caption, style & MB_ICONMASK, style & MB_TYPEMASK});
  if (answers_.empty()) return DefaultAnswer(style);
  const int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::optional<std::optional<std::string>> MessageBoxHook::InterceptOpenFile() {
  std::lock_guard lock(mutex_);
  if (!recording_) return std::nullopt;
  ++pickerCalls_;
  if (files_.empty()) return std::optional<std::string>{};  // cancelled
  std::optional<std::string> next = std::move(files_.front());
  files_.pop_front();
  return next;
}

std::optional<std::optional<std::string>> MessageBoxHook::InterceptFolder() {
  std::lock_guard lock(mutex_);
  if (!recording_) return std::nullopt;
  ++pickerCalls_;
  if (folders_.empty()) return std::optional<std::string>{};  // cancelled
  std::optional<std::string> next = std::move(folders_.front());
  folders_.pop_front();
  return next;
}

void SetDialogBackend(IDialogBackend* backend) { g_backend.store(backend); }

int MessageBox(const std::string& text, const std::string& caption, unsigned style) {
  if (auto answer = MessageBoxHook::Instance().Intercept(text, caption, style)) return *answer;
  if (IDialogBackend* backend = g_backend.load()) return backend->ShowMessageBox(text, caption, style);
  // No way to ask anybody: say it on stderr; a question nobody saw is not confirmed.
  std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
  return EscapeAnswer(style);
}

int EscapeAnswer(unsigned style) {
  switch (style & MB_TYPEMASK) {
    case MB_YESNO:
      return IDNO;
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
      return IDCANCEL;
    default:
      return IDOK;
  }
}

std::optional<std::string> PickOpenFile(const std::string& title, const std::string& startDir,
                                        const std::string& filter) {
  if (auto answer = MessageBoxHook::Instance().InterceptOpenFile()) return *answer;
  if (IDialogBackend* backend = g_backend.load()) return backend->PickOpenFile(title, startDir, filter);
  return std::nullopt;
}

std::optional<std::string> PickFolder(const std::string& title, const std::string& startDir) {
  if (auto answer = MessageBoxHook::Instance().InterceptFolder()) return *answer;
  if (IDialogBackend* backend = g_backend.load()) return backend->PickFolder(title, startDir);
  return std::nullopt;
}
