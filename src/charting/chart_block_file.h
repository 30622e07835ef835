#pragma once
// The program's custom block in the charting program: the block file "ZUVZXG.blk"
// (one "\r\n" + market digit + code entry per stock) and its record in the block list
// "blocknew.cfg" (120-byte records: 50-byte GBK display name, 70-byte file name, both
// NUL-padded), both in the charting folder's "T0002/blocknew".

#include <string>
#include <vector>

#include "platform/pages/chart_link_iface.h"

inline constexpr std::size_t kBlockEntryBytes = 9;
inline constexpr std::size_t kBlockRecordBytes = 120;
inline constexpr std::size_t kBlockNameBytes = 50;
inline constexpr std::size_t kBlockFileNameBytes = 70;
inline constexpr const char* kBlockDisplayName = "Velkor自选股";  // stored as GBK
inline constexpr const char* kBlockFileStem = "ZUVZXG";
inline constexpr const char* kBlockFileName = "ZUVZXG.blk";
inline constexpr const char* kBlockListFileName = "blocknew.cfg";

inline constexpr const char* kBlockListOpenErrorText = "open file blocknew.cfg error !";
inline constexpr const char* kBlockListLayoutText = "blocknew.cfg 格式无法识别，未作修改!";
inline constexpr const char* kBlockFileOpenErrorText = "打开 zuvzxg.blk 错误 !";
inline constexpr const char* kBlockFileGuidanceText =
    "1. 在 通达信菜单项中的“系统”或“功能”菜单中，找到“自定义板块设置\n"
    "2. 新建板块一个板块，名称为“Velkor自选股“， 然后，点击”确定“\n"
    "3. 关闭通达信，然后重新运行启动。在试一下“加入Velkor自选股或剪贴板”功能";
inline constexpr const char* kBlockAppendErrorText = "open zuvzxg.blk error !!";
inline constexpr const char* kBlockBadCodeText = "股票代码不正确，未加入自选股: ";

// "\r\n" + MarketDigit(code) + code.
std::string MakeBlockEntry(const std::string& code);
// ", c1, c2, ...": every code preceded by ", " ("" for no codes).
std::string BlockClipboardText(const std::vector<std::string>& codes);

// The one 120-byte record of the program's block.
std::string BlockListRecord();

// Makes sure the block list at `cfgPath` holds the program's record: a missing file
// is created holding it, a file without it gets it appended (old bytes + record,
// replaced as a whole), a file with it stays byte-identical. Names are compared as GBK
// bytes up to the first NUL, trailing blanks removed. A length that is not a multiple
// of 120 is never touched ("blocknew.cfg 格式无法识别，未作修改!"). Every failure has
// shown its message and returns false.
bool RegisterChartBlock(const std::string& cfgPath);

// Appends MakeBlockEntry(code) to the block file at `path` without looking for the
// code first (created when missing). False after "open zuvzxg.blk error !!".
bool AppendBlockEntry(const std::string& path, const std::string& code);

// The block file's entries in memory.
class CChartBlockFile {
 public:
  // Replaces m_stringStockList by the file's lines: a line of a digit and six digits
  // is an entry (held as "\r\n" + its seven characters), any other non-blank line is
  // kept verbatim (also with "\r\n" in front), blank lines go; CRLF and LF both end a
  // line. A missing file is created empty. False, with the list empty, after the two
  // messages when the file cannot be read or created.
  bool Read(const std::string& path);
  // Removes every entry with the entry's market digit and code (its last seven
  // characters), then appends the entry at the end.
  void AddStock(const std::string& entryText);
  // Replaces the file with the entries in order, nothing between them. False, with
  // the old file intact, after the two messages.
  bool Write(const std::string& path) const;

  // True for an entry text of the block file's own form ("\r\n" + digit + 6 digits).
  static bool IsEntryText(const std::string& text);

  std::vector<std::string> m_stringStockList;
};

// The block roads the pages use (registry slot ChartBlock). Each call resolves the
// charting folder anew from the current setting.
class CChartBlockRoads final : public ChartBlock {
 public:
  bool RegisterChartBlock() override;
  bool AddStockList(const std::vector<std::string>& codes) override;
  bool AppendOneStock(const std::string& code) override;

  // The block list and block file below a charting folder, each name found
  // case-insensitively.
  static std::string BlockListPath(const std::string& chartFolder);
  static std::string BlockFilePath(const std::string& chartFolder);
};
