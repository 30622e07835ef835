#include "platform/debug_log.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "platform/app_paths.h"

namespace {

std::mutex g_logMutex;
int g_lineCounter = 0;  // guarded by g_logMutex

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string FormatMessage(const char* fmt, va_list args) {
  va_list probe;
  va_copy(probe, args);
  const int needed = std::vsnprintf(nullptr, 0, fmt, probe);
  va_end(probe);
  if (needed <= 0) return {};
  std::string text(static_cast<size_t>(needed), '\0');
  std::vsnprintf(text.data(), text.size() + 1, fmt, args);
  return text;
}

// Cuts to at most maxBytes without splitting a UTF-8 sequence.
void CutAtCharacter(std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return;
  size_t end = maxBytes;
  // Step back over continuation bytes so the character that straddles the cut goes.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0u) == 0x80u) --end;
  text.resize(end);
}

// A trace file that an append would take past its cap becomes the one older file
// (replacing the previous one), and the append starts a new file.
void RotateIfFull(const std::string& path, std::size_t len) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || st.st_size <= 0) return;
  if (static_cast<std::uint64_t>(st.st_size) + len <= kTraceFileMaxBytes) return;
  std::rename(path.c_str(), AppPath("TraceFile.old.txt").c_str());
}

}  // namespace

int AppendDebugLog(const char* fmt, ...) {
  if (fmt == nullptr) return 0;
  va_list args;
  va_start(args, fmt);
  std::string message = FormatMessage(fmt, args);
  va_end(args);
  CutAtCharacter(message, kDebugLogMaxMessage);

  std::lock_guard lock(g_logMutex);
  FilePtr file(std::fopen(AppPath("DebugLog.txt").c_str(), "a+"));
  if (!file) return 0;
  const int number = ++g_lineCounter;
  // One write per line, so that a line is never torn by another writer.
  const std::string line = std::to_string(number) + ": " + message + "\r\n";
  std::fwrite(line.data(), 1, line.size(), file.get());
  return number;
}

void AppendTraceFile(const void* bytes, std::size_t len) {
  std::lock_guard lock(g_logMutex);
  const std::string path = AppPath("TraceFile.txt");
  if (bytes != nullptr && len > 0) RotateIfFull(path, len);
  FilePtr file(std::fopen(path.c_str(), "a+"));
  if (!file || bytes == nullptr || len == 0) return;
  std::fwrite(bytes, 1, len, file.get());
}

void ResetDebugLogCounterForTests() {
  std::lock_guard lock(g_logMutex);
  g_lineCounter = 0;
}
