// The charting program's files on arbitrary bytes: series data files, the data list
// "datacfg.dat" and the block file. Parsing never reads past the input, and whatever
// is recognised writes back to the same bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "charting/chart_block_file.h"
#include "charting/data_cfg.h"
#include "charting/series_file.h"
#include "platform/message_box.h"

namespace {

std::string BlockPath() {
  static const std::string path = "/tmp/velkor-fuzz-" + std::to_string(::getpid()) + ".blk";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  MessageBoxHook::Instance().StartRecording();  // a failed read must not print a box per input
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Series file: whole records only, and they write back to the same bytes.
  const std::vector<SeriesRecord> records = ParseSeriesRecords(bytes);
  if (records.size() != size / kSeriesRecordBytes) std::abort();
  if (SeriesRecordBytes(records) != bytes.substr(0, records.size() * kSeriesRecordBytes)) std::abort();

  // Data list: a recognised file serialises to itself; an unrecognised one gives nothing.
  std::vector<DataCfgEntry> entries;
  if (ParseDataCfg(bytes, entries)) {
    if (DataCfgBytes(entries) != bytes) std::abort();
  } else if (!entries.empty()) {
    std::abort();
  }

  // Block file: every entry read is a line of the file, held with its own line end, and
  // together they are never longer than the file.
  {
    std::ofstream(BlockPath(), std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(size));
  }
  CChartBlockFile block;
  if (block.Read(BlockPath())) {
    std::size_t total = 0;
    for (const std::string& entry : block.m_stringStockList) {
      if (entry.size() < 3 || entry.compare(0, 2, "\r\n") != 0) std::abort();
      total += entry.size() - 2;
    }
    if (total > size) std::abort();
  }
  MessageBoxHook::Instance().Clear();
  return 0;
}
