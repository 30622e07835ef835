#include "views/stock_scoring.h"

#include <cstdio>

#include "platform/message_box.h"
#include "records/stock_detail.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/day_range.h"
#include "storage/file_io.h"
#include "views/daily_exports.h"

namespace {

enum Column { kRowNumber = 0, kName, kCode, kScore, kInflow, kDominant, kInstitution, kStar, kHighIncome, kBlockTrade };

constexpr float kInflowRatio = 0.05f;
constexpr float kDominantShare = 0.15f;
constexpr double kInflowNet = 660;
constexpr double kDominantAmount = 1000;
constexpr double kBothSidesAmount = 4000;

// A cell keeps the first colour it is given; its text is the last one written.
void Put(StockScoreRow& row, int column, const std::string& text, COLORREF colour) {
  row.texts[column] = text;
  if (!row.colours[column]) row.colours[column] = colour;
}

std::string Pair(const char* sign, int buyers, int sellers) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s(%d/%d)", sign, buyers, sellers);
  return buffer;
}

// The share test of the dominant-seat rules: a day amount of zero or less passes
// whenever the amount test passes (the share would be unbounded).
bool ShareAbove(double seatAmount, double dayAmount) {
  if (dayAmount <= 0) return true;
  return static_cast<float>(seatAmount) / static_cast<float>(dayAmount) > kDominantShare;
}

// The three rules shared by the star and the high-income criteria; the third gives a
// second point.
void ScoreSeatGroup(StockScoreRow& row, int column, int buyers, int sellers, double net) {
  if (buyers >= 1 && net > 0) {
    Put(row, column, Pair("1", buyers, sellers), kScoreUpColour);
    ++row.score;
  }
  if (sellers >= 1 && net < 0) {
    Put(row, column, Pair("-1", buyers, sellers), kScoreDownColour);
    --row.score;
  }
  if (buyers >= 1 && sellers >= 1 && net > 0) {
    Put(row, column, Pair("1", buyers, sellers), kScoreUpColour);
    ++row.score;
  }
}

}  // namespace

SeatTotals ComputeSeatTotals(const StockDetailRecord& record) {
  SeatTotals totals;
  for (int i = 0; i < 5; ++i) {
    totals.totalBuy += record.Buy[i].BuyAmount + record.Sell[i].BuyAmount;
    totals.totalSell += record.Buy[i].SellAmount + record.Sell[i].SellAmount;
  }
  // A branch in both halves is matched by its two amounts, not by its name.
  for (const SeatFigures& buyer : record.Buy) {
    for (const SeatFigures& seller : record.Sell) {
      if (buyer.BuyAmount == seller.BuyAmount && buyer.SellAmount == seller.SellAmount) {
        totals.totalBuy -= seller.BuyAmount;
        totals.totalSell -= seller.SellAmount;
      }
    }
  }
  totals.net = totals.totalBuy - totals.totalSell;
  return totals;
}

CStockScoring::CStockScoring(CADODataBase& db, const IClock& clock) : db_(db), clock_(clock) {}

bool CStockScoring::LoadCaches() {
  branches_.clear();
  recentBlockTrades_.clear();
  CADORecordset flags(&db_);
  if (!flags.Open("SELECT YYBName, IncomeLevel, IsSuperStarYYB FROM QLXWMA ORDER BY rowid")) return false;
  for (; !flags.IsEof(); flags.MoveNext()) {
    CString name;
    float income = 0;
    double star = 0;
    if (!flags.IsFieldNull(0)) flags.GetFieldValue(0, name);
    if (!flags.IsFieldNull(1)) flags.GetFieldValue(1, income);
    if (!flags.IsFieldNull(2)) flags.GetFieldValue(2, star);
    // The last row of a branch stands.
    branches_[name] = BranchFlags{income > 0.5f ? 1 : 0, star >= 1 ? 1 : 0};
  }
  CADORecordset trades(&db_);
  // No DISTINCT: the set drops repeats, and DISTINCT would have the engine walk the
  // whole table through the (StockCode, DZJY_Date) index instead of the window.
  if (!trades.Open("SELECT StockCode FROM DZJY WHERE DZJY_Date >= ?",
                   {CutoffDay(clock_, kRecentBlockTradeDays)})) {
    branches_.clear();
    return false;
  }
  for (; !trades.IsEof(); trades.MoveNext()) {
    if (trades.IsFieldNull(0)) continue;
    CString code;
    trades.GetFieldValue(0, code);
    recentBlockTrades_.insert(code);
  }
  return true;
}

std::optional<std::vector<StockScoreRow>> CStockScoring::ScoreDay(const std::string& day) {
  CADORecordset rs(&db_);
  if (!rs.Open("SELECT " + StockDetailColumns() + " FROM StockInfo WHERE SB_Date = ? ORDER BY rowid", {day})) {
    return std::nullopt;
  }
  if (!ReplaceFileContents(SuggestionFilePath(), "", FileSync::Deferred)) {
    MessageBox(kFileOpenErrorText, kExportMessageCaption, MB_OK | MB_ICONWARNING);
  }
  // A failed flag read scores criteria 4 to 6 as for branches and stocks without rows.
  LoadCaches();
  std::vector<StockScoreRow> rows;
  StockDetailReader reader(rs);
  StockDetailRecord record;
  for (; !rs.IsEof(); rs.MoveNext()) {
    reader.Read(record);
    rows.push_back(ScoreRecord(record, static_cast<int>(rows.size())));
  }
  return rows;
}

StockScoreRow CStockScoring::ScoreRecord(const StockDetailRecord& record, int rowIndex) const {
  StockScoreRow row;
  row.code = record.StockCode;
  row.texts[kRowNumber] = std::to_string(rowIndex + 1);
  row.texts[kName] = record.StockName;
  row.texts[kCode] = record.StockCode;

  int instBuyers = 0, instSellers = 0;
  double instBuy = 0, instSell = 0;
  int starBuyers = 0, starSellers = 0, incomeBuyers = 0, incomeSellers = 0;
  for (int i = 0; i < 5; ++i) {
    if (record.BuyNames[i] == kInstitutionSeatName) {
      ++instBuyers;
      instBuy += record.Buy[i].BuyAmount;
      instSell += record.Buy[i].SellAmount;
    }
    if (record.SellNames[i] == kInstitutionSeatName) {
      ++instSellers;
      instBuy += record.Sell[i].BuyAmount;
      instSell += record.Sell[i].SellAmount;
    }
    starBuyers += IsStarSeat(record.BuyNames[i]);
    incomeBuyers += IsHighIncomeSeat(record.BuyNames[i]);
    starSellers += IsStarSeat(record.SellNames[i]);
    incomeSellers += IsHighIncomeSeat(record.SellNames[i]);
  }
  const SeatTotals totals = ComputeSeatTotals(record);
  const double net = totals.net;

  // Heavy inflow: either test scores up, both are needed to score down. Without any
  // seat amount the ratio tests are false.
  const double both = totals.totalBuy + totals.totalSell;
  const bool hasRatio = both != 0;
  const float ratio = hasRatio ? static_cast<float>(net) / static_cast<float>(both) : 0.0f;
  if (net >= kInflowNet || (hasRatio && ratio > kInflowRatio)) {
    Put(row, kInflow, "1", kScoreUpColour);
    ++row.score;
  }
  if (net <= -kInflowNet && hasRatio && ratio < -kInflowRatio) {
    Put(row, kInflow, "-1", kScoreDownColour);
    --row.score;
  }

  // One dominant seat: up to two points either way; the text is the last rule's.
  const double buy1 = record.Buy[0].BuyAmount;
  const double sell1 = record.Sell[0].SellAmount;
  if (buy1 > kDominantAmount && ShareAbove(buy1, record.Amount)) {
    Put(row, kDominant, "1", kScoreUpColour);
    ++row.score;
  }
  if (sell1 > kDominantAmount && ShareAbove(sell1, record.Amount)) {
    Put(row, kDominant, "-1", kScoreDownColour);
    --row.score;
  }
  if (buy1 > kBothSidesAmount && sell1 > kBothSidesAmount && net > 0) {
    Put(row, kDominant, "1", kScoreUpColour);
    ++row.score;
  }
  if (buy1 > kBothSidesAmount && sell1 > kBothSidesAmount && net < 0) {
    Put(row, kDominant, "-1", kScoreDownColour);
    --row.score;
  }

  // Institutions: the third rule only rewrites the text.
  const double instNet = instBuy - instSell;
  if (instBuyers >= 1 && instNet > 0) {
    Put(row, kInstitution, Pair("1", instBuyers, instSellers), kScoreUpColour);
    ++row.score;
  }
  if (instSellers >= 1 && instNet < 0) {
    Put(row, kInstitution, Pair("-1", instBuyers, instSellers), kScoreDownColour);
    --row.score;
  }
  if (instBuyers >= 1 && instSellers >= 1 && instNet > 0) {
    Put(row, kInstitution, Pair("1", instBuyers, instSellers), kScoreUpColour);
  }

  ScoreSeatGroup(row, kStar, starBuyers, starSellers, net);
  ScoreSeatGroup(row, kHighIncome, incomeBuyers, incomeSellers, net);

  if (HasRecentBlockTrade(record.StockCode)) {
    Put(row, kBlockTrade, "有", kScoreDownColour);
    --row.score;
  } else {
    row.texts[kBlockTrade] = "无";
  }

  row.texts[kScore] = std::to_string(row.score);
  if (row.score >= 2) row.colours[kScore] = kScoreStrongColour;
  if (row.score <= -2) row.colours[kScore] = kScoreDownColour;
  return row;
}

int CStockScoring::IsHighIncomeSeat(const std::string& branch) const {
  const auto found = branches_.find(branch);
  return found == branches_.end() ? 0 : found->second.highIncome;
}

int CStockScoring::IsStarSeat(const std::string& branch) const {
  const auto found = branches_.find(branch);
  return found == branches_.end() ? 0 : found->second.star;
}

bool CStockScoring::HasRecentBlockTrade(const std::string& code) const { return recentBlockTrades_.count(code) != 0; }
