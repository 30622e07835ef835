#include "reference_walk_branch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/day_range.h"
#include "reference_walk_fold.h"

namespace {

constexpr const char* kDayQuery = "SELECT * FROM StockInfo WHERE SB_Date=? ORDER BY rowid";
constexpr int kBound = 1000;

const char* const kSeats[10] = {"Buy1", "Buy2", "Buy3", "Buy4", "Buy5", "Sell1", "Sell2", "Sell3", "Sell4", "Sell5"};


double Key(const CBranchTotalsRow& row, int mode) {
  switch (mode) {
    case 2: return row.TotalBuy;
    case 3: return row.TotalSell;
    case 4: return row.NetBuy;
    case 5: return row.TotalBuySell;
    case 6: return row.nCount;
    case 7: return row.AverageFunds;
    default: return 0;
  }
}


// Folds the rows of the open recordset: every seat, or for the big buyers only the buy
// seats whose own buy is above the threshold.
void FoldRows(CADORecordset& rs, std::vector<CBranchTotalsRow>& totals, bool bigBuyers, float threshold) {
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string name, code;
    rs.GetFieldValue("StockName", name);
    rs.GetFieldValue("StockCode", code);
    for (int seat = 0; seat < (bigBuyers ? 5 : 10); ++seat) {
      const std::string prefix = kSeats[seat];
      std::string branch;
      double buy = 0, sell = 0;
      rs.GetFieldValue(prefix + "_YYB_BuyAmount", buy);
      rs.GetFieldValue(prefix + "_YYB_SellAmount", sell);
      if (bigBuyers && !(buy > threshold)) continue;
      rs.GetFieldValue(prefix + "_YYB_Name", branch);
      ReferenceAddSeat(totals, branch, name, buy, sell);
    }
  }
}

bool LoadDay(CADODataBase& db, const std::string& day, std::vector<CBranchTotalsRow>& totals, std::string& error) {
  CADORecordset rs(&db);
  if (!rs.Open(kDayQuery, {day})) {
    error = db.GetLastErrorText();
    return false;
  }
  FoldRows(rs, totals, false, 0);
  return true;
}

bool HasDayData(CADODataBase& db, const std::string& day) {
  CADORecordset rs(&db);
  if (!rs.Open(kDayQuery, {day}) || rs.IsEof()) return false;
  double first = 0;
  rs.GetFieldValue("Buy1_YYB_BuyAmount", first);
  return first >= 1.0;
}

bool Weekend(std::int64_t day) {
  const int weekday = CivilFromDays(day).dayOfWeek;
  return weekday == 0 || weekday == 6;
}

std::string DayOf(std::int64_t day) {
  const LocalTime civil = CivilFromDays(day);
  return DayText(civil.year, civil.month, civil.day);
}

ReferenceBranchRanking OneDay(CADODataBase& db, const std::string& day, int mode) {
  ReferenceBranchRanking out;
  out.days.push_back(day);
  if (!LoadDay(db, day, out.totals, out.error)) {
    out.totals.clear();
    out.status = RankingStatus::QueryFailed;
    return out;
  }
  ReferenceSortRows(out.totals, mode);
  return out;
}

}  // namespace

void ReferenceSortRows(std::vector<CBranchTotalsRow>& totals, int mode) {
  if (mode < 2 || mode > 7) return;
  std::stable_sort(totals.begin(), totals.end(),
                   [mode](const CBranchTotalsRow& a, const CBranchTotalsRow& b) { return Key(a, mode) > Key(b, mode); });
}

ReferenceBranchRanking ReferenceMergeDays(CADODataBase& db, const std::string& today, int days, int sortMode) {
  ReferenceBranchRanking out;
  const std::optional<std::int64_t> start = DayNumberOf(today);
  if (days > 0 && !start) {
    out.status = RankingStatus::NotEnoughDays;
    return out;
  }
  int offset = 0;
  while (out.daysFound < days) {
    const std::int64_t number = *start - offset;
    const std::string day = DayOf(number);
    if (Weekend(number)) {
      ++offset;
      continue;
    }
    if (!HasDayData(db, day)) {
      ++offset;
      if (offset >= kBound) {
        out.status = RankingStatus::NotEnoughDays;
        out.dayOffset = offset;
        out.totals.clear();
        return out;
      }
      continue;
    }
    ++offset;
    ++out.daysFound;
    out.days.push_back(day);
    if (!LoadDay(db, day, out.totals, out.error)) {
      out.totals.clear();
      out.status = RankingStatus::QueryFailed;
      return out;
    }
  }
  out.dayOffset = offset;
  ReferenceSortRows(out.totals, sortMode);
  return out;
}

ReferenceBranchRanking ReferenceRankToday(CADODataBase& db, const std::string& today) {
  const std::optional<std::int64_t> number = DayNumberOf(today);
  if (!number || Weekend(*number)) {
    ReferenceBranchRanking out;
    out.status = RankingStatus::NothingToRank;
    return out;
  }
  return OneDay(db, today, 6);
}

ReferenceBranchRanking ReferenceRankYesterday(CADODataBase& db, const std::string& today) {
  std::int64_t day = *DayNumberOf(today) - 1;
  while (Weekend(day)) --day;
  return OneDay(db, DayOf(day), 2);
}

ReferenceBranchRanking ReferenceRankDay(CADODataBase& db, const std::string& day) { return OneDay(db, day, 2); }

ReferenceBranchRanking ReferenceBigBuyers(CADODataBase& db, const std::string& thresholdText) {
  ReferenceBranchRanking out;
  const float t = static_cast<float>(std::atof(thresholdText.c_str()));
  char text[64];
  std::snprintf(text, sizeof text, "%0.3f", static_cast<double>(t));
  const double bound = std::strtod(text, nullptr);
  CADORecordset rs(&db);
  if (!rs.Open("SELECT * FROM StockInfo where Buy1_YYB_BuyAmount>? or Buy2_YYB_BuyAmount>? or "
               "Buy3_YYB_BuyAmount>? or Buy4_YYB_BuyAmount>? or Buy5_YYB_BuyAmount>? order by  SB_Date desc, rowid",
               {bound, bound, bound, bound, bound})) {
    out.error = db.GetLastErrorText();
    out.status = RankingStatus::QueryFailed;
    return out;
  }
  FoldRows(rs, out.totals, true, t);
  ReferenceSortRows(out.totals, 6);
  return out;
}
