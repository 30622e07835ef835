#pragma once
// The loaded day of the daily list page, without any widget: the day's stocks as
// CStockDayRow records in g_DayRows, their order, the lines of the day list (1112),
// and the side lists built while the day is read: margin listings and suggestions
// (1115), team hits (1116) and watched-branch trades (1117). Every line carries its
// colour and its stock code.
//
// A day load is a handful of statements whatever the number of stocks: the teams,
// the branch marks, the day's rows; a rewrite of the day list adds the day's
// block-trade flags and (when shown) listing counts, one statement each.

#include <array>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/gdi_types.h"
#include "platform/win_types.h"
#include "records/branch_marks.h"
#include "records/branch_teams.h"
#include "records/list_line.h"
#include "records/stock_detail_record.h"
#include "storage/ado_database.h"
#include "storage/row_records.h"

class IClock;

// The loaded day's stocks, in the order of the last sort.
extern std::vector<CStockDayRow> g_DayRows;

// What a load and a rewrite read of the settings and the clock. The caller fills it
// (DailyListSettingsFromGlobals does it from g_Settings), so nothing here reads
// globals behind the caller's back.
struct DailyListSettings {
  std::array<std::string, 12> watchedNames;  // YYB1_Name .. YYB12_Name; "XXX" = empty slot
  int buyTeams = 2;                          // a team hits with this many buying seats (below 1 acts as 1)
  int sellTeams = 1;                         // ... or with this many selling seats
  bool showListCounts = true;                // the "月榜次数" column counts listings
  std::string blockTradeCutoff;              // today - 30: trades on or after it make a stock "大"
};

// The watched names, team thresholds and block-trade cutoff (CutoffDay(clock, 30)) of
// the settings; showListCounts is left on.
DailyListSettings DailyListSettingsFromGlobals(const IClock& clock);

// The listing counts of the day list run from the loaded day minus this many days.
inline constexpr int kListingCountDays = 30;

// Colours of the lines.
inline constexpr COLORREF kMarginLineColour = RGB(255, 0, 255);
inline constexpr COLORREF kRiseColour = RGB(255, 0, 0);
inline constexpr COLORREF kFallColour = RGB(0, 180, 0);
inline constexpr COLORREF kSmallBuyColour = RGB(255, 255, 255);  // mode 3, TotalBuy <= 8000
inline constexpr COLORREF kTeamLossColour = RGB(0, 200, 0);
inline constexpr COLORREF kSuggestionColour = RGB(230, 10, 0);
inline constexpr COLORREF kInstitutionSuggestionColour = RGB(33, 0, 234);  // two or more institutions

// The sort modes of combo 1005, in the order of its items.
enum DaySortMode {
  kSortByNetBuy = 0,
  kSortByChange = 1,
  kShowRisesAbove7 = 2,  // sorted as kSortByChange; the day list shows only ZhangFu > 7
  kSortByTotalBuy = 3,
};
// Mode 2 shows the stocks whose stored change (in percent) exceeds this.
inline constexpr float kShownChangeAbove = 7.0f;

// Sorts descending by NetBuy (mode 0 and any mode outside 0-3), ZhangFu (1, 2) or
// TotalBuy (3); rows with equal keys keep their order.
void SortDayRows(std::vector<CStockDayRow>& rows, int mode);

// The line of list 1112 (and of the net-buy file) for one stock: number, name, code,
// change, net buy and total in 亿, listing count and type ("大", "融", "机" or " ").
std::string FormatDayLine(int number, const CStockDayRow& row, int listCount, const std::string& type);

class CDailyListModel {
 public:
  explicit CDailyListModel(CADODataBase& market = g_ADODatabase, CADODataBase& custom = g_ADODatabase_Custom);

  void SetSettings(const DailyListSettings& settings) { m_settings = settings; }
  const DailyListSettings& Settings() const { return m_settings; }
  // Check box 1146: takes effect at the next RefreshDayList.
  void SetShowListCounts(bool show) { m_settings.showListCounts = show; }

  // Loads `day` ("YYYY-MM-DD"): empties the side lists and g_DayRows, reloads the
  // teams and the branch marks, then reads the day's rows in stored order, building
  // the margin lines, the watched-branch lines, the day rows and the team hits.
  // False when the day's query failed: the side lists and g_DayRows are empty then
  // and the loaded day stays what it was (the page keeps its day list). A day without
  // rows is a success with empty lists. Sort and rewrite follow separately
  // (SortDayRows, RefreshDayList).
  bool LoadDayList(const std::string& day);

  // Reloads the teams from YYBMark (TeamNumber >= 200, highest number first). 1 when at
  // least one row was read, else 0; when the query fails a message shows (unless the
  // start told that the file could not be opened) and the teams stay empty.
  int LoadTeams();

  // Puts g_DayRows in the order of `mode` (see SortDayRows); stocks with equal keys
  // keep the order they were loaded in, whatever the previous sort.
  void SortDayRows(int mode);

  // Rewrites the day list from g_DayRows in its current order for `mode`, list 1115
  // (the load's margin lines, then this rewrite's suggestions numbered on after them),
  // the net-buy file (every stock) and one block of the suggestion file. A mode
  // outside 0-3 adds no line to the day list.
  void RefreshDayList(int mode);
  // The two halves of RefreshDayList: the lines, then the two files of those lines.
  void BuildDayList(int mode);
  void WriteDayListExports();

  // The steps of a load, on the row being read (CurrentRecord()).
  // Adds a line to 1117 when `seatName` is a watched branch and the stock has no
  // line yet.
  void AddWatchedBranchTrade(const std::string& seatName, const std::string& stockName,
                             const std::string& stockCode, double buyAmount, double sellAmount);
  // Appends the current record's CStockDayRow (sums over all ten seats) to g_DayRows.
  void AddDayRow(const std::string& stockName, const std::string& stockCode, float zhangFu,
                 int institutionSeats, const std::string& reason);
  // RemoveRepeatedSeatFigures on the current record.
  void RemoveRepeatedSeatFigures();
  // Adds a line to 1116 for every team that acted on the current record.
  void AddTeamHits();

  const std::string& LoadedDate() const { return m_strLoadedDate; }
  // The day the listing counts start from: the loaded day - 30; "" before a load.
  std::string ListingStartDay() const;
  const std::vector<CBranchTeamRow>& Teams() const { return m_vecTeams; }
  int TeamHits() const { return m_nTeamHits; }
  // The branch marks read by the last load, for the rest of the same user action
  // (the first stock's seats), so a failure is reported once.
  const BranchMarks& Marks() const { return m_marks; }
  StockDetailRecord& CurrentRecord() { return m_record; }

  const std::vector<ListLine>& DayLines() const { return m_dayLines; }          // 1112
  const std::vector<ListLine>& SuggestionLines() const { return m_suggestLines; }  // 1115
  const std::vector<ListLine>& TeamLines() const { return m_teamLines; }        // 1116
  const std::vector<ListLine>& WatchedLines() const { return m_watchedLines; }  // 1117
  // The stock the page shows after a rewrite: the first of g_DayRows ("" when empty),
  // whether the day list's filter shows it or not.
  std::string FirstStockCode() const;

 private:
  CADODataBase& m_market;
  CADODataBase& m_custom;
  DailyListSettings m_settings;

  std::string m_strLoadedDate;
  std::vector<CBranchTeamRow> m_vecTeams;
  std::unordered_set<std::string> m_teamMembers;  // every member of m_vecTeams
  int m_nTeamHits = 0;
  BranchMarks m_marks;
  StockDetailRecord m_record;
  std::vector<CStockDayRow> m_loadedRows;  // g_DayRows in load order

  std::vector<ListLine> m_marginLines;  // 1115's first part, from the load
  std::vector<ListLine> m_dayLines;
  std::vector<ListLine> m_suggestLines;
  std::vector<ListLine> m_teamLines;
  std::vector<ListLine> m_watchedLines;
  std::vector<std::string> m_netBuyFileLines;  // the last build's lines for the net-buy file
  std::vector<std::string> m_newSuggestions;   // and its block of the suggestion file
};
