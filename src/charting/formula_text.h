#pragma once
// The source text of the chart formula that shows the custom series in the charting
// program: five fixed lines, then one block of 21 lines per branch series and one per
// team series. The user copies it into the charting program's formula editor. The
// text is GBK with CR LF line ends, every line exactly as the formula language
// expects (trailing blanks included); each block ends with an empty line.

#include <string>

#include "platform/win_types.h"

class CADODataBase;

inline constexpr const char* kFormulaFileName = "通达信 Velkor公式 源码.txt";
inline constexpr const char* kFormulaOpenFailedText = "打开文件错误";
// Teams from this number on (series 500 and up) get a block.
inline constexpr int kFirstFormulaTeam = 200;

// "COLOR" + the blue, green and red bytes as two hex digits each: RGB(255,0,0) gives
// "COLOR0000FF".
std::string FormulaColourText(COLORREF colour);
// The fixed lines and one block, as UTF-8.
std::string FormulaHeaderText();
std::string FormulaBlockText(int series, const std::string& name, COLORREF colour);

class CFormulaText {
 public:
  CFormulaText();  // starts with the fixed lines
  void WriteBranchFormula(int series, const std::string& abbreviation, COLORREF colour);
  void WriteTeamFormula(int series, const std::string& teamName, COLORREF colour);
  // One block per shown team numbered 200 or more, highest number first (the teams of
  // YYBMark grouped as the team series group them, without the shown filter in the
  // query). True when at least one row was read; `queryFailed` says whether the query
  // failed (then no block is written).
  bool WriteTeamFormulas(CADODataBase& user, bool* queryFailed = nullptr);
  int Blocks() const { return blocks_; }

  const std::string& Text() const { return text_; }  // UTF-8
  std::string Bytes() const;                          // GBK
  // Replaces the file with the GBK text; false when it cannot be written.
  bool Save(const std::string& path) const;

 private:
  std::string text_;
  int blocks_ = 0;
};
