#include "records/branch_marks.h"

#include "platform/ascii.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"
#include "storage/gbk_format.h"
#include "storage/ole_types.h"

namespace {

constexpr const char* kMarkColumns = "SELECT YYBName, Color, YYBMark FROM YYBMark";


}  // namespace

int AmountBand(double amount) {
  if (amount < 800) return 0;
  if (amount < 2000) return 1;
  if (amount < 5000) return 2;
  if (amount < 8000) return 3;
  return 4;
}

COLORREF AmountColourClass(double buy) { return g_Settings.BuyMoney_Color[AmountBand(buy)]; }

COLORREF SellAmountColourClass(double sell) { return g_Settings.SellMoney_Color[AmountBand(sell)]; }

bool BranchMarks::Load(CADODataBase& db) { return Read(db, std::string(kMarkColumns) + " ORDER BY rowid", {}); }

bool BranchMarks::LoadName(const std::string& name, CADODataBase& db) {
  return Read(db, std::string(kMarkColumns) + " WHERE YYBName = ? ORDER BY rowid", {name});
}

bool BranchMarks::Read(CADODataBase& db, const std::string& sql, const std::vector<DbValue>& params) {
  marks_.clear();
  failed_ = false;
  CADORecordset rs(&db);
  if (!rs.Open(sql, params)) {
    failed_ = true;
    if (!db.OpenFailureTold()) MessageBox(kBranchMarksFailedText, "系统提示", MB_OK);
    return false;
  }
  for (; !rs.IsEof(); rs.MoveNext()) {
    if (rs.IsFieldNull("YYBName")) continue;
    std::string name;
    rs.GetFieldValue("YYBName", name);
    long long colour = 0;
    rs.GetFieldValue("Color", colour);
    Entry entry;
    entry.colour = colour == 0 ? kUnmarkedBranchColour : static_cast<COLORREF>(colour);
    rs.GetFieldValue("YYBMark", entry.mark);
    marks_[AsciiLower(name)] = std::move(entry);
  }
  return true;
}

std::optional<COLORREF> BranchMarks::Colour(const std::string& name) const {
  if (failed_) return std::nullopt;
  const auto found = marks_.find(AsciiLower(name));
  return found == marks_.end() ? kUnmarkedBranchColour : found->second.colour;
}

std::string BranchMarks::Mark(const std::string& name) const {
  const auto found = marks_.find(AsciiLower(name));
  return found == marks_.end() ? std::string() : found->second.mark;
}

COLORREF GetBranchMarkColour(const std::string& name) {
  BranchMarks marks;
  marks.LoadName(name);
  return marks.Colour(name).value_or(kUnmarkedBranchColour);
}

std::string GetBranchMark(const std::string& name) {
  BranchMarks marks;
  marks.LoadName(name);
  return marks.Mark(name);
}

std::string FormatBranchRepeatBuyRate(const std::string& name, int* timesListed, int* above2,
                                      std::string* percentage) {
  int times = 0;
  int overTwo = 0;
  std::string percent;
  std::string text;
  CADORecordset rs(&g_ADODatabase);
  if (rs.Open("SELECT ShangBangCiShu_Buy, Above2_Buy, Percentage FROM Buy2Times WHERE YYBName = ? ORDER BY rowid",
              {name})) {
    for (; !rs.IsEof(); rs.MoveNext()) {
      times = 0;
      overTwo = 0;
      std::string fraction;
      rs.GetFieldValue("ShangBangCiShu_Buy", times);
      rs.GetFieldValue("Above2_Buy", overTwo);
      rs.GetFieldValue("Percentage", fraction);
      percent = FormatGbk("%0.0f", ParseNumberC(fraction) * 100) + "%";
      text = FormatGbk("(%s)%d/%d", percent, times, overTwo);
    }
  }
  if (text.empty()) {
    times = 0;
    overTwo = 0;
    percent.clear();
  }
  if (timesListed != nullptr) *timesListed = times;
  if (above2 != nullptr) *above2 = overTwo;
  if (percentage != nullptr) *percentage = percent;
  return text;
}
