#pragma once
// The colours and remarks every page that shows seats uses: the five colour bands of
// buy and sell amounts, the user's branch marks (table YYBMark of "Custom.mdb") and the
// repeat-buy text of a branch (table Buy2Times of "CJHB.mdb").
//
// Marks are read once per user action into a BranchMarks, so a page that colours a
// hundred cells runs one statement and shows a failure once; the free functions are
// for a single lookup.

#include <optional>
#include <string>
#include <unordered_map>

#include "platform/gdi_types.h"
#include "platform/win_types.h"
#include "storage/ado_database.h"

// The band 0..4 of an amount in 10,000 yuan: below 800, below 2000, below 5000,
// below 8000, 8000 and more.
int AmountBand(double amount);
// The band's colour of a buying amount (g_Settings.BuyMoney_Color) and of a selling
// amount (g_Settings.SellMoney_Color).
COLORREF AmountColourClass(double buy);
COLORREF SellAmountColourClass(double sell);

// The colour of a branch without a mark, or whose mark has colour 0.
inline constexpr COLORREF kUnmarkedBranchColour = RGB(255, 255, 255);
// Shown (caption "系统提示") when the marks cannot be read.
inline constexpr const char* kBranchMarksFailedText = "无法得到营业部备注信息";

class BranchMarks {
 public:
  // Empty: every branch unmarked, nothing failed.
  BranchMarks() = default;

  // Reads every mark of `db` with one statement; the last row of a name wins. On
  // failure the marks are empty, Failed() holds and the message box is shown, once for
  // this call (none when the start already told that `db` could not be opened).
  // Returns !Failed().
  bool Load(CADODataBase& db = g_ADODatabase_Custom);
  // The same for the rows of one name only (one bound query).
  bool LoadName(const std::string& name, CADODataBase& db = g_ADODatabase_Custom);

  bool Failed() const { return failed_; }

  // Names match as the table's `YYBName = ?` does: exactly, except for ASCII case.
  // White for a branch without a mark or with colour 0; nullopt ("no colour", never
  // black) when the marks could not be read.
  std::optional<COLORREF> Colour(const std::string& name) const;
  // The remark, "" when there is none (or the marks could not be read).
  std::string Mark(const std::string& name) const;

 private:
  struct Entry {
    COLORREF colour = kUnmarkedBranchColour;
    std::string mark;
  };
  bool Read(CADODataBase& db, const std::string& sql, const std::vector<DbValue>& params);

  std::unordered_map<std::string, Entry> marks_;  // key: the name with ASCII lower-cased
  bool failed_ = false;
};

// One lookup each on g_ADODatabase_Custom. When the marks cannot be read the message
// box is shown and the colour is white: no colour, never black.
COLORREF GetBranchMarkColour(const std::string& name);
std::string GetBranchMark(const std::string& name);

// "(45%)12/5": the branch's Buy2Times row on g_ADODatabase (the last row of the name
// wins) as "(percentage)timesListed/above2", the percentage being "%0.0f" of
// Percentage × 100 followed by "%". The out-arguments (each may be null) receive
// ShangBangCiShu_Buy, Above2_Buy and the percentage text; with no row (or a failed
// query) the result is "" and they receive 0, 0 and "".
std::string FormatBranchRepeatBuyRate(const std::string& name, int* timesListed, int* above2,
                                      std::string* percentage);
