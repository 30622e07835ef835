#include "views/daily_list_model.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <set>

#include "platform/message_box.h"
#include "records/stock_detail.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"
#include "storage/day_range.h"
#include "storage/gbk_format.h"
#include "views/daily_exports.h"

std::vector<CStockDayRow> g_DayRows;

namespace {

// A watched slot that holds this is empty.
constexpr const char* kEmptyWatchedSlot = "XXX";
// Seat names this short (in GBK bytes) are no branch names and never match.
constexpr std::size_t kShortestWatchedName = 4;
constexpr const char* kMarginReasonWord = "融资";
constexpr const char* kMarginBuyingReason = "当日融资买入数量";

constexpr const char* kCaption = "系统提示";

bool Contains(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

int WholeNumber(float value) {
  if (!(value > static_cast<float>(INT_MIN)) || !(value < static_cast<float>(INT_MAX))) {
    return value > 0 ? INT_MAX : INT_MIN;
  }
  return static_cast<int>(value);
}

double SortKey(const CStockDayRow& row, int mode) {
  switch (mode) {
    case kSortByChange:
    case kShowRisesAbove7:
      return row.ZhangFu;
    case kSortByTotalBuy:
      return row.TotalBuy;
    default:
      return row.NetBuy;
  }
}

std::string StockType(const CStockDayRow& row, const std::set<std::string>& blockTradeCodes) {
  if (blockTradeCodes.count(row.StockCode) != 0) return "大";
  if (Contains(row.SB_Reason, kMarginBuyingReason)) return "融";
  if (row.InstitutionSeats >= 1) return "机";
  return " ";
}

bool IsSuggestion(const CStockDayRow& row) {
  return row.NetBuy - row.TotalSell > 0 && row.NetBuy >= 1000 && row.ZhangFu >= 0 && row.TotalBuy > 2000;
}

}  // namespace

DailyListSettings DailyListSettingsFromGlobals(const IClock& clock) {
  DailyListSettings settings;
  for (std::size_t i = 0; i < settings.watchedNames.size(); ++i) settings.watchedNames[i] = g_Settings.YYB_Name[i];
  settings.buyTeams = g_Settings.BuyTeams;
  settings.sellTeams = g_Settings.SellTeams;
  settings.blockTradeCutoff = CutoffDay(clock, 30);
  return settings;
}

void SortDayRows(std::vector<CStockDayRow>& rows, int mode) {
  std::stable_sort(rows.begin(), rows.end(), [mode](const CStockDayRow& a, const CStockDayRow& b) {
    return SortKey(a, mode) > SortKey(b, mode);
  });
}

std::string FormatDayLine(int number, const CStockDayRow& row, int listCount, const std::string& type) {
  const std::string change = FormatGbk("%3.2f", static_cast<double>(row.ZhangFu)) + "%";
  // The figures are ASCII; "亿" is put on afterwards so they need no conversion.
  const std::string netBuy = FormatGbk("%0.2f", row.NetBuy / 10000) + "亿";
  const std::string total = FormatGbk("%0.2f", row.TotalBuySell / 10000) + "亿";
  return FormatGbk("%02d %-8s  %-7s %-7s %-7s %-8s %-7d %-3s", number, row.StockName, row.StockCode, change, netBuy,
                   total, listCount, type);
}

CDailyListModel::CDailyListModel(CADODataBase& market, CADODataBase& custom) : m_market(market), m_custom(custom) {}

bool CDailyListModel::LoadDayList(const std::string& day) {
  m_teamLines.clear();
  m_nTeamHits = 0;
  LoadTeams();
  g_DayRows.clear();
  m_loadedRows.clear();
  m_watchedLines.clear();
  m_marginLines.clear();
  m_suggestLines.clear();
  m_marks.Load(m_custom);

  CADORecordset rs(&m_market);
  if (!rs.Open("SELECT " + StockDetailColumns() + " FROM StockInfo WHERE SB_Date = ? ORDER BY rowid", {day})) {
    return false;
  }
  m_strLoadedDate = day;
  StockDetailReader reader(rs);
  for (; !rs.IsEof(); rs.MoveNext()) {
    m_record.Clear();
    reader.Read(m_record);
    const std::string name = m_record.StockName;
    const std::string code = m_record.StockCode;

    if (Contains(m_record.SB_Reason, kMarginReasonWord)) {
      m_marginLines.push_back({FormatGbk("%02d %-8s %-8s", static_cast<int>(m_marginLines.size() + 1), name, code),
                               kMarginLineColour, code});
    }
    int institutions = 0;
    for (std::size_t i = 0; i < 5; ++i) {
      if (m_record.BuyNames[i] == kInstitutionSeatName) ++institutions;
      AddWatchedBranchTrade(m_record.BuyNames[i], name, code, m_record.Buy[i].BuyAmount, m_record.Buy[i].SellAmount);
    }
    for (std::size_t i = 0; i < 5; ++i) {
      AddWatchedBranchTrade(m_record.SellNames[i], name, code, m_record.Sell[i].BuyAmount,
                            m_record.Sell[i].SellAmount);
    }
    // The day row sums all ten seats as stored; the repeated figures go only for the
    // team counts.
    AddDayRow(name, code, m_record.ZhangFu, institutions, m_record.SB_Reason);
    RemoveRepeatedSeatFigures();
    AddTeamHits();
  }
  rs.Close();
  m_loadedRows = g_DayRows;
  m_suggestLines = m_marginLines;
  return true;
}

int CDailyListModel::LoadTeams() {
  m_teamMembers.clear();
  if (!ReadBranchTeams(m_custom, m_vecTeams)) {
    // The text is the one users know from earlier versions, placeholder and all; a
    // file the start could not open was told then.
    if (!m_custom.OpenFailureTold()) MessageBox(kTeamsQueryFailedText, kCaption, MB_OK);
    return 0;
  }
  for (const CBranchTeamRow& t : m_vecTeams) m_teamMembers.insert(t.Members.begin(), t.Members.end());
  // Every row read makes or joins a team.
  return m_vecTeams.empty() ? 0 : 1;
}

void CDailyListModel::AddWatchedBranchTrade(const std::string& seatName, const std::string& stockName,
                                            const std::string& stockCode, double buyAmount, double sellAmount) {
  // The name test first: it rules out nearly every seat without a conversion to GBK.
  const bool watched =
      std::any_of(m_settings.watchedNames.begin(), m_settings.watchedNames.end(),
                  [&](const std::string& name) { return name == seatName && name != kEmptyWatchedSlot; });
  if (!watched || GbkByteLength(seatName) <= kShortestWatchedName) return;
  const bool listed = std::any_of(m_watchedLines.begin(), m_watchedLines.end(),
                                  [&](const ListLine& line) { return line.code == stockCode; });
  if (listed) return;
  const std::string text = FormatGbk("%02d %-8s %-8s %-7.0f %-20s", static_cast<int>(m_watchedLines.size() + 1),
                                     stockName, stockCode, buyAmount - sellAmount, seatName);
  m_watchedLines.push_back({text, m_marks.Colour(seatName).value_or(kUnmarkedBranchColour), stockCode});
}

void CDailyListModel::AddDayRow(const std::string& stockName, const std::string& stockCode, float zhangFu,
                                int institutionSeats, const std::string& reason) {
  SeatAmounts buyAmounts{};
  SeatAmounts sellAmounts{};
  for (std::size_t i = 0; i < 5; ++i) {
    buyAmounts[i] = m_record.Buy[i].BuyAmount;
    sellAmounts[i] = m_record.Buy[i].SellAmount;
    buyAmounts[5 + i] = m_record.Sell[i].BuyAmount;
    sellAmounts[5 + i] = m_record.Sell[i].SellAmount;
  }
  CStockDayRow row = MakeStockDayRow(stockName, stockCode, zhangFu, reason, buyAmounts, sellAmounts, m_record.BuyNames);
  row.InstitutionSeats = institutionSeats;
  g_DayRows.push_back(std::move(row));
}

void CDailyListModel::RemoveRepeatedSeatFigures() { ::RemoveRepeatedSeatFigures(m_record); }

void CDailyListModel::AddTeamHits() {
  // Held as bytes, a threshold of 0 made every team hit every stock without a single
  // member seat: at least one seat is needed.
  const int buyNeeded = std::max(1, m_settings.buyTeams);
  const int sellNeeded = std::max(1, m_settings.sellTeams);
  // Most stocks have no team member among their seats: one look-up per seat finds that.
  const auto isMember = [this](const std::string& seat) { return m_teamMembers.count(seat) != 0; };
  if (std::none_of(m_record.BuyNames.begin(), m_record.BuyNames.end(), isMember) &&
      std::none_of(m_record.SellNames.begin(), m_record.SellNames.end(), isMember))
    return;
  for (const CBranchTeamRow& team : m_vecTeams) {
    int buySeats = 0;
    int sellSeats = 0;
    double b = 0;
    double s = 0;
    int position = 0;
    auto count = [&](const std::string& seatName, const SeatFigures& figures, int seatPosition, int& seats) {
      if (seatName.empty()) return;
      for (const std::string& member : team.Members) {
        if (member != seatName) continue;
        ++seats;
        b += figures.BuyAmount;
        s += figures.SellAmount;
        if (position == 0) position = seatPosition;
      }
    };
    // The position of the first matching seat: 10, 20, .. 50 for the buyers, 1 .. 5 for the sellers.
    for (std::size_t i = 0; i < 5; ++i) {
      count(m_record.BuyNames[i], m_record.Buy[i], 10 * static_cast<int>(i + 1), buySeats);
    }
    for (std::size_t i = 0; i < 5; ++i) {
      count(m_record.SellNames[i], m_record.Sell[i], static_cast<int>(i + 1), sellSeats);
    }
    if (buySeats < buyNeeded && sellSeats < sellNeeded) continue;

    float v = std::trunc(static_cast<float>(b - s));
    if (v > 0) {
      v = static_cast<float>(v + position * 0.01);
    } else {
      v = static_cast<float>(-(std::fabs(v) + position * 0.01));
    }
    ++m_nTeamHits;
    m_teamLines.push_back({FormatGbk("%-8s %-8s %-7s %-6d", team.TeamName, m_record.StockName, m_record.StockCode,
                                     WholeNumber(v)),
                           v > 0 ? kRiseColour : kTeamLossColour, m_record.StockCode});
  }
}

void CDailyListModel::SortDayRows(int mode) {
  // From the load order each time, so equal keys keep the load order whatever mode was
  // sorted by before.
  g_DayRows = m_loadedRows;
  ::SortDayRows(g_DayRows, mode);
}

std::string CDailyListModel::ListingStartDay() const {
  if (m_strLoadedDate.empty()) return {};
  return DayMinus(m_strLoadedDate, kListingCountDays);
}

std::string CDailyListModel::FirstStockCode() const {
  return g_DayRows.empty() ? std::string() : g_DayRows.front().StockCode;
}

void CDailyListModel::RefreshDayList(int mode) {
  BuildDayList(mode);
  WriteDayListExports();
}

void CDailyListModel::BuildDayList(int mode) {
  m_dayLines.clear();
  m_suggestLines = m_marginLines;

  std::set<std::string> blockTradeCodes;
  std::map<std::string, int> listCounts;
  if (!g_DayRows.empty()) {
    blockTradeCodes = RecentBlockTradeCodesForDay(m_market, m_strLoadedDate, m_settings.blockTradeCutoff);
    if (m_settings.showListCounts) listCounts = CountRecentListingsForDay(m_market, m_strLoadedDate, ListingStartDay());
  }

  std::vector<std::string>& fileLines = m_netBuyFileLines;
  std::vector<std::string>& suggestions = m_newSuggestions;
  fileLines.clear();
  suggestions.clear();
  fileLines.reserve(g_DayRows.size());
  int n = 0;
  for (const CStockDayRow& row : g_DayRows) {
    ++n;
    int count = 0;
    if (m_settings.showListCounts) {
      const auto found = listCounts.find(row.StockCode);
      if (found != listCounts.end()) count = found->second;
    }
    std::string line = FormatDayLine(n, row, count, StockType(row, blockTradeCodes));
    fileLines.push_back(line);

    switch (mode) {
      case kSortByNetBuy:
        m_dayLines.push_back({line, row.NetBuy > 0 ? kRiseColour : kFallColour, row.StockCode});
        break;
      case kSortByChange:
        m_dayLines.push_back({line, row.ZhangFu > 0 ? kRiseColour : kFallColour, row.StockCode});
        break;
      case kShowRisesAbove7:
        // ZhangFu is stored in percent: "大于7%" means above 7, not above 0.07.
        if (row.ZhangFu > kShownChangeAbove) {
          m_dayLines.push_back({line, row.ZhangFu > 0 ? kRiseColour : kFallColour, row.StockCode});
        }
        break;
      case kSortByTotalBuy:
        m_dayLines.push_back({line, row.TotalBuy > 8000 ? kRiseColour : kSmallBuyColour, row.StockCode});
        break;
      default:
        break;
    }

    if (IsSuggestion(row)) {
      const int number = static_cast<int>(m_suggestLines.size() + 1);
      std::string text = FormatGbk("%02d %-8s %-8s", number, row.StockName, row.StockCode);
      suggestions.push_back(text);
      m_suggestLines.push_back({std::move(text),
                                row.InstitutionSeats >= 2 ? kInstitutionSuggestionColour : kSuggestionColour,
                                row.StockCode});
    }
  }
}

void CDailyListModel::WriteDayListExports() {
  AppendSuggestionBlock(m_newSuggestions);
  WriteNetBuyFile(m_netBuyFileLines);
}
