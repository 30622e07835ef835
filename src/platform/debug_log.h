#pragma once
// The debug log ("DebugLog.txt") and the raw trace file ("TraceFile.txt"), both in
// the data folder. Each call opens the file for appending and closes it again, under
// one process-wide lock; a file that cannot be opened drops what was to be written.

#include <cstddef>
#include <cstdint>

// Longest message written; a longer one is cut at a UTF-8 character boundary.
constexpr std::size_t kDebugLogMaxMessage = 4096;

// Appends "N: message\r\n", N counting the written lines of this process from 1.
// Returns N, or 0 when the log could not be opened (the line is dropped and the
// count does not move).
int AppendDebugLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Largest trace file: an append that would pass it first renames the file to
// "TraceFile.old.txt" (one older file is kept), so the trace never fills the disk.
constexpr std::uint64_t kTraceFileMaxBytes = 64ull * 1024 * 1024;

// Appends len bytes as they are.
void AppendTraceFile(const void* bytes, std::size_t len);

// Tests only: the next line written is line 1 again.
void ResetDebugLogCounterForTests();
