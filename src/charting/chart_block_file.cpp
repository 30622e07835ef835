#include "charting/chart_block_file.h"

#include <algorithm>

#include "charting/chart_folder.h"
#include "platform/message_box.h"
#include "storage/charset.h"
#include "storage/file_io.h"

namespace {

void Tell(const std::string& text) { MessageBox(text, kChartMessageCaption, MB_OK | MB_ICONWARNING); }

void TellBlockFileError() {
  Tell(kBlockFileOpenErrorText);
  Tell(kBlockFileGuidanceText);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A field of the block list as the charting program means it: up to the first NUL,
// without trailing blanks.
std::string FieldText(const std::string& bytes, std::size_t offset, std::size_t width) {
  std::string field = bytes.substr(offset, width);
  field.resize(std::min(field.size(), field.find('\0')));
  while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.pop_back();
  return field;
}

std::string PaddedField(const std::string& bytes, std::size_t width) {
  std::string field = bytes.substr(0, width);
  field.resize(width, '\0');
  return field;
}

}  // namespace

std::string MakeBlockEntry(const std::string& code) { return std::string("\r\n") + MarketDigit(code) + code; }

std::string BlockClipboardText(const std::vector<std::string>& codes) {
  std::string text;
  for (const std::string& code : codes) text += ", " + code;
  return text;
}

std::string BlockListRecord() {
  return PaddedField(ToGbk(kBlockDisplayName), kBlockNameBytes) + PaddedField(kBlockFileStem, kBlockFileNameBytes);
}

bool RegisterChartBlock(const std::string& cfgPath) {
  std::string bytes;
  const FileReadResult read = ReadFileBytes(cfgPath, bytes);
  if (read == FileReadResult::Failed) {
    Tell(kBlockListOpenErrorText);
    return false;
  }
  if (bytes.size() % kBlockRecordBytes != 0) {
    // Appending would put the record off the 120-byte grid.
    Tell(kBlockListLayoutText);
    return false;
  }
  const std::string ownName = ToGbk(kBlockDisplayName);
  for (std::size_t offset = 0; offset < bytes.size(); offset += kBlockRecordBytes) {
    if (FieldText(bytes, offset, kBlockNameBytes) == ownName &&
        FieldText(bytes, offset + kBlockNameBytes, kBlockFileNameBytes) == kBlockFileStem) {
      return true;
    }
  }
  if (!ReplaceFileContents(cfgPath, bytes + BlockListRecord())) {
    Tell(kBlockListOpenErrorText);
    return false;
  }
  return true;
}

bool AppendBlockEntry(const std::string& path, const std::string& code) {
  if (!AppendFileContents(path, MakeBlockEntry(code))) {
    Tell(kBlockAppendErrorText);
    return false;
  }
  return true;
}

bool CChartBlockFile::IsEntryText(const std::string& text) {
  return text.size() == kBlockEntryBytes && text[0] == '\r' && text[1] == '\n' &&
         std::all_of(text.begin() + 2, text.end(), IsDigit);
}

bool CChartBlockFile::Read(const std::string& path) {
  m_stringStockList.clear();
  std::string bytes;
  const FileReadResult read = ReadFileBytes(path, bytes);
  if (read == FileReadResult::Failed || (read == FileReadResult::Missing && !ReplaceFileContents(path, ""))) {
    TellBlockFileError();
    return false;
  }
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const bool blank = std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
    if (blank) continue;
    m_stringStockList.push_back("\r\n" + line);
  }
  return true;
}

void CChartBlockFile::AddStock(const std::string& entryText) {
  // The market digit belongs to the key: "1000001" (an index) is not "0000001" (a
  // stock), though their six digits are the same.
  const std::string key = entryText.size() >= 7 ? entryText.substr(entryText.size() - 7) : entryText;
  std::erase_if(m_stringStockList, [&key](const std::string& entry) {
    return IsEntryText(entry) && entry.compare(entry.size() - 7, 7, key) == 0;
  });
  m_stringStockList.push_back(entryText);
}

bool CChartBlockFile::Write(const std::string& path) const {
  std::string bytes;
  for (const std::string& entry : m_stringStockList) bytes += entry;
  if (!ReplaceFileContents(path, bytes)) {
    TellBlockFileError();
    return false;
  }
  return true;
}

std::string CChartBlockRoads::BlockListPath(const std::string& chartFolder) {
  return ChildPathChain(chartFolder, {"T0002", "blocknew", kBlockListFileName});
}

std::string CChartBlockRoads::BlockFilePath(const std::string& chartFolder) {
  return ChildPathChain(chartFolder, {"T0002", "blocknew", kBlockFileName});
}

bool CChartBlockRoads::RegisterChartBlock() {
  const ChartFolder folder = CurrentChartFolder();
  if (ReportChartFolderProblem(folder)) return false;
  return ::RegisterChartBlock(BlockListPath(folder.folder));
}

bool CChartBlockRoads::AddStockList(const std::vector<std::string>& codes) {
  const ChartFolder folder = CurrentChartFolder();
  if (ReportChartFolderProblem(folder)) return false;
  const std::string path = BlockFilePath(folder.folder);
  CChartBlockFile file;
  // A file that cannot be read is not rewritten from an empty list: that would drop
  // every stock the user had in the block.
  if (!file.Read(path)) return false;
  for (const std::string& code : codes) {
    if (!IsSixDigitCode(code)) {
      Tell(kBlockBadCodeText + code);
      continue;
    }
    file.AddStock(MakeBlockEntry(code));
  }
  return file.Write(path);
}

bool CChartBlockRoads::AppendOneStock(const std::string& code) {
  if (!IsSixDigitCode(code)) {
    Tell(kBlockBadCodeText + code);
    return false;
  }
  const ChartFolder folder = CurrentChartFolder();
  if (ReportChartFolderProblem(folder)) return false;
  return AppendBlockEntry(BlockFilePath(folder.folder), code);
}
