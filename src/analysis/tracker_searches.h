#pragma once
// The tracker's searches over StockInfo: a branch exactly, two branches together, a
// branch keyword, a stock by name or code, several codes at once, and team 1 on one
// stock. Each returns the new lines of the result list (1112) and the new texts of
// edits 1000-1002 as data; the page only puts them into its widgets.
//
// Every value is bound. Lines come newest first (SB_Date descending, rowid breaking
// ties); a listing of today (from the clock, read at each search) is red.
//
// Messages are shown here, through the message-box seam, one per search at most:
//  - a refused text ("敢死队1名称不能为空", "关键字长度小于 4 ！！！", ...): nothing
//    else happens;
//  - a query that fails: "数据库查询失败!" and, in Chinese, what the recordset's error
//    says (its text goes to the debug log; caption "系统提示"); the list keeps what the
//    search would have left in it, so a failure is never shown as "no listing";
//  - the file cannot be written: "文件打开错误!" (caption "系统提示", warning icon);
//    the list is filled all the same.
// Texts are counted in GBK bytes (a Chinese character is 2).

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/tracker_line.h"

class CADODataBase;
class IClock;

// Where a streaming search hands its lines while it still reads: the first screenful
// as soon as it is made, then the rest in chunks, in list order. Called on the
// searching thread. The first call replaces the list's lines; the later ones append.
class TrackerLineSink {
 public:
  virtual ~TrackerLineSink() = default;
  virtual void AddLines(std::vector<TrackerLine> lines) = 0;
  // The hand-over of `lines`, made ready on any thread, side by side with other
  // chunks; the search runs it later in list order, as it would call AddLines.
  virtual std::function<void()> Ready(std::vector<TrackerLine> lines) {
    return [this, lines = std::move(lines)]() mutable { AddLines(std::move(lines)); };
  }
};
// The lines of the first hand-over (a screenful and more) and of each later one.
inline constexpr std::size_t kTrackerFirstChunkLines = 64;
inline constexpr std::size_t kTrackerChunkLines = 16384;

struct TrackerSearchResult {
  enum class Status {
    Done,         // the query ran (possibly finding nothing)
    Refused,      // the text was refused with its message; nothing changed
    QueryFailed,  // a query failed; its message was shown
  };
  Status status = Status::Done;

  // The new contents of list 1112; nullopt: the list keeps its lines.
  std::optional<std::vector<TrackerLine>> lines;
  // New texts of edits 1000 ("总上榜次数："), 1001 ("200万以上：") and 1002 ("平均耗资：");
  // nullopt: the edit keeps its text.
  std::optional<std::string> countText;
  std::optional<std::string> largeCountText;
  std::optional<std::string> averageText;
  // The search ends by showing the stock-day of its first line (when it has one).
  bool showFirstResult = false;

  // Lines a streaming search already handed to its sink; `lines` then holds only the
  // lines after them (and, when the query broke off, the sink's lines stay listed).
  std::size_t streamedLines = 0;

  // The bytes for "追踪游资.txt" (GBK) and whether the search writes the file at all;
  // fileWritten says the write went through. A streaming search writes its lines into
  // the file as they come: fileBytes then holds only the header.
  bool writesFile = false;
  std::string fileBytes;
  bool fileWritten = false;
};

// Shown when a query fails, followed by "\n" and what the error means (QueryFailedBoxText).
inline constexpr const char* kTrackerQueryFailedText = "数据库查询失败!";
inline constexpr const char* kTrackerCaption = "系统提示";
inline constexpr const char* kTeam1EmptyText = "敢死队1名称不能为空";
inline constexpr const char* kTeam2EmptyText = "敢死队2名称不能为空";
inline constexpr const char* kTeamNameShortText = "敢死队名称太短，要输入全部名称 !!!";
inline constexpr const char* kKeywordShortText = "关键字长度小于 4 ！！！";
inline constexpr const char* kCodesTextShortText = "股票代码长度 错误！！！";

// Text limits, in GBK bytes.
inline constexpr std::size_t kMinTeamNameBytes = 8;     // two-branch search, each name
inline constexpr std::size_t kMinKeywordBytes = 4;      // keyword search
inline constexpr std::size_t kMaxKeywordBytes = 16;     // a longer keyword is searched exactly
inline constexpr std::size_t kMinCodesTextBytes = 5;    // multi-stock search
// A line's buy + sell from which it counts in "200万以上：".
inline constexpr double kLargeLineAmount = 200.0;

// The statement of the branch searches: the columns the searches read, from
// StockInfo where any of the ten seat names equals ?1, newest first. `indexed` false
// gives the same statement over "StockInfo NOT INDEXED" (a full scan, for comparison).
std::string BranchSearchStatement(bool indexed = true);
// The same rows in the same order, read day by day through the date index, newest day
// first: a reader that needs only the newest rows stops early and never sorts all of
// history (the seat-name indexes would fetch every match and then sort them).
std::string BranchSearchByDayStatement();
// The branch search's rows with other columns: `columns` from StockInfo where any of
// the ten seat names equals ?1, newest first (the seat-name indexes, as
// BranchSearchStatement), or day by day through the date index when `byDay`.
// A `dayTest` (a test of SB_Date) keeps to the listings of some days.
std::string BranchSearchStatementOf(const std::string& columns, bool byDay = false, const std::string& dayTest = "");
// The columns every search reads, in the order the readers expect, comma-separated.
const std::string& TrackerSearchColumns();

// The exact branch search ("追踪敢死队"). Lines: "净买入" layout; a branch among both
// the buyers and the sellers of a listing with the same figures on both sides counts
// once. Edits 1000-1002: the line count, the lines of 200 and more, their average
// ("%0.1f"; "" when there is none). An empty name lists nothing. Writes the file. The
// caller decides whether the first line is shown (showFirstResult is false).
// With a sink, the lines stream (see TrackerLineSink): read day by day through the date
// index, newest first, when the branch has many listings.
TrackerSearchResult SearchBranch(CADODataBase& db, const IClock& clock, const std::string& branch,
                                 TrackerLineSink* sink = nullptr);
// The same without writing the file or showing any message (fileBytes is filled):
// the work the page waits for, as the benchmark measures it.
TrackerSearchResult BuildBranchSearch(CADODataBase& db, const IClock& clock, const std::string& branch);

// Button 1003: the listings (same stock name and day) of both branches, all blue, with
// 0 bought and 0 sold. Refuses an empty name and a name under 8 bytes. Clears the list
// before its queries; edit 1000 gets the line count, and edits 1001 and 1002 are
// emptied when nothing is listed. Writes the file.
TrackerSearchResult SearchTwoBranches(CADODataBase& db, const IClock& clock, const std::string& team1,
                                      const std::string& team2);

// The LIKE pattern of a keyword taken literally: "%<keyword>%" with '%', '_' and '\'
// escaped by '\'.
std::string KeywordPattern(const std::string& keyword);
// The keyword search's rows: `columns` from StockInfo where any of the ten seat names
// is LIKE ?1 (ESCAPE '\'), newest first. `byNames` matches ?1 once against the
// distinct seat names (one index seek per name and seat) and fetches the listings of
// the names that match through the seat-name indexes, or day by day through the date
// index when `byDay`; false tests every row's ten names (the plain form, for comparison).
// A `dayTest` (a test of SB_Date) keeps to the listings of some days.
std::string KeywordSearchStatement(const std::string& columns, bool byNames = true, bool byDay = false,
                                   const std::string& dayTest = "");

// The keyword search's rows once its names are matched: `columns` from StockInfo where
// any of the ten seat names is one of ?1..?<names>, newest first, through the seat-name
// indexes or, when `byDay`, day by day through the date index.
std::string MatchedNamesStatement(const std::string& columns, std::size_t names, bool byDay = false,
                                  const std::string& dayTest = "");

// Button 1150: branches whose name holds the keyword (taken literally: '%', '_' and
// '\' are no wildcards). Under 4 bytes refused; over 16 bytes the exact search runs
// instead (and its result is returned). Lines: buy/sell layout with the sums of all
// ten seats. Edits 1001 and 1002 are emptied when nothing is listed. Writes the file;
// shows the first line.
// With a sink, the lines stream as in SearchBranch.
TrackerSearchResult SearchBranchKeyword(CADODataBase& db, const IClock& clock, const std::string& keyword,
                                        TrackerLineSink* sink = nullptr);

// A stock's listings by whole name or by code. `writeFile` false for the entries
// other pages call (they leave the file alone). Edits 1001 and 1002 are emptied
// (even when the query fails); the first line is shown. An empty text lists nothing.
TrackerSearchResult SearchStockName(CADODataBase& db, const IClock& clock, const std::string& name, bool writeFile);
TrackerSearchResult SearchStockCode(CADODataBase& db, const IClock& clock, const std::string& code, bool writeFile);

// Button 1004: every listing of the codes in `codesText`, split at each ',' (pieces
// not trimmed; an empty piece matches nothing). Under 5 bytes refused. No file; the
// first line is shown.
TrackerSearchResult SearchMultiStock(CADODataBase& db, const IClock& clock, const std::string& codesText);

// Button 1138: the listings of `stockCode` on which `branch` stands in any seat
// (exact name). Edits 1001 and 1002 are emptied; the file's header names the code
// and the branch; the first line is shown. An empty name or code lists nothing.
TrackerSearchResult SearchTeam1OnStock(CADODataBase& db, const IClock& clock, const std::string& branch,
                                       const std::string& stockCode);
