#pragma once
// The charting program's custom series data files and the label files beside them.
//
// A series folder ("signals_user_<n>") holds one file per stock, "<digit>_<code>.dat",
// a sequence of 8-byte little-endian records without a header: the day as the number
// YYYYMMDD (signed 32-bit) and the value (IEEE 32-bit float). After every rewrite the
// records are in ascending date order and a date that was written replaces the one
// that was there. The file is read whole (the charting program reads up to 30,000
// points); a tail shorter than a record is dropped. Each file is replaced through a
// temporary file and a rename, so a failure keeps the old file; a file that already
// holds the result is not rewritten.
//
// A folder that received a value also holds an empty label file
// "0000000<label>.txt" whose name Wine shows as the series' name.

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct SeriesRecord {
  std::int32_t date = 0;  // YYYYMMDD
  float value = 0;
  bool operator==(const SeriesRecord&) const = default;
};
inline constexpr std::size_t kSeriesRecordBytes = 8;

// True when a's date is less than b's (signed); the sort order of a data file.
bool SeriesRecordLess(const SeriesRecord& a, const SeriesRecord& b);

// The records of a file's bytes; a tail under 8 bytes is dropped.
std::vector<SeriesRecord> ParseSeriesRecords(std::string_view bytes);
// The bytes of a file holding `records` in the given order.
std::string SeriesRecordBytes(const std::vector<SeriesRecord>& records);

// Adds each of `added` to `records` in order exactly as writing them one by one
// would: records with the same date go, the new one is appended, and the whole is
// sorted stably by date. (Done as one merge: the last value of each date wins.)
void MergeSeriesRecords(std::vector<SeriesRecord>& records, const std::vector<SeriesRecord>& added);

// User or database text as one file name part: '/', '\' and control characters
// become '_'.
std::string SafeNamePart(std::string_view text);
// "<digit>_<code>.dat" with the code made safe.
std::string SeriesDataFileName(char marketDigit, const std::string& code);
// "0000000<label>.txt" with the label made safe.
std::string SeriesMarkerFileName(const std::string& label);

// Adds one value to the stock's file in `folder` (read whole, merged, replaced).
// False, with the old file untouched, when it cannot be read or replaced.
bool WriteSeriesRecord(const std::string& folder, const std::string& code, std::int32_t date, float value,
                       char marketDigit);
// Creates the empty label file when it is missing. False when it cannot be made.
bool EnsureSeriesMarker(const std::string& folder, const std::string& label);

// Where the values of a generation go. Immediate mode writes each value at once
// (WriteSeriesRecord); batched mode gathers the values per data file and writes each
// file once in Flush, which gives the same bytes. A folder gets its label file before
// its first data file. Failures go to `onFailure` with the path, once per file and
// run; FailedFiles() counts them.
class CSeriesWriter {
 public:
  using FailureHandler = std::function<void(const std::string& path)>;

  explicit CSeriesWriter(bool batched, FailureHandler onFailure = {});
  CSeriesWriter(const CSeriesWriter&) = delete;
  CSeriesWriter& operator=(const CSeriesWriter&) = delete;

  bool Batched() const { return batched_; }
  void Add(const std::string& folder, const std::string& label, const std::string& code, std::int32_t date,
           float value, char marketDigit);
  // Writes the gathered files (nothing in immediate mode). `stop` is asked between
  // files; when it says so the rest is dropped and false comes back.
  bool Flush(const std::function<bool()>& stop = {});
  // Drops what is gathered without writing it.
  void Discard();

  int FailedFiles() const { return static_cast<int>(failed_.size()); }
  std::size_t ValuesAdded() const { return valuesAdded_; }
  // Files replaced (immediate mode: successful value writes). A file that already held
  // the new bytes is left alone and not counted in batched mode.
  std::size_t FileWrites() const { return fileWrites_; }

 private:
  struct PendingFile {
    std::vector<SeriesRecord> records;
  };
  struct PendingFolder {
    std::string label;
    std::map<std::string, PendingFile> files;  // by file name
  };

  void Fail(const std::string& path);
  bool Marker(const std::string& folder, const std::string& label);

  bool batched_;
  FailureHandler onFailure_;
  std::map<std::string, PendingFolder> pending_;  // by folder
  std::set<std::string> marked_;                  // folders whose label is made
  std::set<std::string> failed_;
  std::size_t valuesAdded_ = 0;
  std::size_t fileWrites_ = 0;
};
