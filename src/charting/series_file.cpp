#include "charting/series_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_map>

#include "storage/file_io.h"

namespace {

std::uint32_t ReadLe32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

void AppendLe32(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFFu));
  out.push_back(static_cast<char>((v >> 8) & 0xFFu));
  out.push_back(static_cast<char>((v >> 16) & 0xFFu));
  out.push_back(static_cast<char>((v >> 24) & 0xFFu));
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// A file that already holds exactly the new bytes is left alone: a rerun over the
// same days rewrites nothing. (An empty old file is a new one: it is written.)
bool ReplaceIfChanged(const std::string& path, const std::string& old, const std::string& bytes,
                      bool* written = nullptr) {
  if (written != nullptr) *written = false;
  if (!old.empty() && old == bytes) return true;
  // One run writes tens of thousands of these: the run syncs once at its end.
  const bool ok = ReplaceFileContents(path, bytes, FileSync::Deferred);
  if (written != nullptr) *written = ok;
  return ok;
}

}  // namespace

bool SeriesRecordLess(const SeriesRecord& a, const SeriesRecord& b) { return a.date < b.date; }

std::vector<SeriesRecord> ParseSeriesRecords(std::string_view bytes) {
  std::vector<SeriesRecord> records;
  records.reserve(bytes.size() / kSeriesRecordBytes);
  for (std::size_t at = 0; at + kSeriesRecordBytes <= bytes.size(); at += kSeriesRecordBytes) {
    SeriesRecord r;
    r.date = static_cast<std::int32_t>(ReadLe32(bytes.data() + at));
    r.value = std::bit_cast<float>(ReadLe32(bytes.data() + at + 4));
    records.push_back(r);
  }
  return records;
}

std::string SeriesRecordBytes(const std::vector<SeriesRecord>& records) {
  std::string out;
  out.reserve(records.size() * kSeriesRecordBytes);
  for (const SeriesRecord& r : records) {
    AppendLe32(out, static_cast<std::uint32_t>(r.date));
    AppendLe32(out, std::bit_cast<std::uint32_t>(r.value));
  }
  return out;
}

void MergeSeriesRecords(std::vector<SeriesRecord>& records, const std::vector<SeriesRecord>& added) {
  if (added.empty()) return;
  // One value at a time would drop every record of its date, append it and sort
  // stably; the records already there keep their order among equal dates. So the
  // last value of each new date replaces all records of that date.
  std::unordered_map<std::int32_t, float> latest;
  std::vector<std::int32_t> order;
  latest.reserve(added.size());
  for (const SeriesRecord& r : added) {
    auto [it, inserted] = latest.try_emplace(r.date, r.value);
    if (inserted) {
      order.push_back(r.date);
    } else {
      it->second = r.value;
    }
  }
  std::erase_if(records, [&](const SeriesRecord& r) { return latest.count(r.date) != 0; });
  for (std::int32_t date : order) records.push_back({date, latest[date]});
  std::stable_sort(records.begin(), records.end(), SeriesRecordLess);
}

std::string SafeNamePart(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) c = '_';
  }
  return out;
}

std::string SeriesDataFileName(char marketDigit, const std::string& code) {
  return std::string(1, marketDigit) + "_" + SafeNamePart(code) + ".dat";
}

std::string SeriesMarkerFileName(const std::string& label) { return "0000000" + SafeNamePart(label) + ".txt"; }

bool WriteSeriesRecord(const std::string& folder, const std::string& code, std::int32_t date, float value,
                       char marketDigit) {
  const std::string path = Join(folder, SeriesDataFileName(marketDigit, code));
  std::string bytes;
  if (ReadFileBytes(path, bytes) == FileReadResult::Failed) return false;
  std::vector<SeriesRecord> records = ParseSeriesRecords(bytes);
  MergeSeriesRecords(records, {{date, value}});
  return ReplaceIfChanged(path, bytes, SeriesRecordBytes(records));
}

bool EnsureSeriesMarker(const std::string& folder, const std::string& label) {
  const std::string path = Join(folder, SeriesMarkerFileName(label));
  if (PathExists(path)) return true;
  return ReplaceFileContents(path, "", FileSync::Deferred);
}

CSeriesWriter::CSeriesWriter(bool batched, FailureHandler onFailure)
    : batched_(batched), onFailure_(std::move(onFailure)) {}

void CSeriesWriter::Fail(const std::string& path) {
  if (failed_.insert(path).second && onFailure_) onFailure_(path);
}

bool CSeriesWriter::Marker(const std::string& folder, const std::string& label) {
  if (marked_.count(folder) != 0) return true;
  marked_.insert(folder);
  if (EnsureSeriesMarker(folder, label)) return true;
  Fail(Join(folder, SeriesMarkerFileName(label)));
  return false;
}

void CSeriesWriter::Add(const std::string& folder, const std::string& label, const std::string& code,
                        std::int32_t date, float value, char marketDigit) {
  ++valuesAdded_;
  if (!batched_) {
    Marker(folder, label);
    const std::string path = Join(folder, SeriesDataFileName(marketDigit, code));
    if (failed_.count(path) != 0) return;  // reported once; its later values fail too
    if (WriteSeriesRecord(folder, code, date, value, marketDigit)) {
      ++fileWrites_;
    } else {
      Fail(path);
    }
    return;
  }
  PendingFolder& pending = pending_[folder];
  if (pending.files.empty()) pending.label = label;
  pending.files[SeriesDataFileName(marketDigit, code)].records.push_back({date, value});
}

bool CSeriesWriter::Flush(const std::function<bool()>& stop) {
  for (auto& [folder, pending] : pending_) {
    if (stop && stop()) {
      Discard();
      return false;
    }
    Marker(folder, pending.label);
    for (auto& [name, file] : pending.files) {
      if (stop && stop()) {
        Discard();
        return false;
      }
      const std::string path = Join(folder, name);
      std::string bytes;
      if (ReadFileBytes(path, bytes) == FileReadResult::Failed) {
        Fail(path);
        continue;
      }
      std::vector<SeriesRecord> records = ParseSeriesRecords(bytes);
      MergeSeriesRecords(records, file.records);
      bool written = false;
      if (ReplaceIfChanged(path, bytes, SeriesRecordBytes(records), &written)) {
        fileWrites_ += written ? 1 : 0;
      } else {
        Fail(path);
      }
    }
  }
  pending_.clear();
  return true;
}

void CSeriesWriter::Discard() { pending_.clear(); }
