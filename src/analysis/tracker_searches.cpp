#include "analysis/tracker_searches.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <utility>

#include "analysis/stock_day_detail.h"
#include "platform/message_box.h"
#include "platform/side_by_side.h"
#include "platform/worker_registry.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"
#include "storage/file_io.h"
#include "storage/gbk_format.h"
#include "storage/row_cursor.h"
#include "storage/rowid_stretches.h"

namespace {

constexpr std::array<const char*, 10> kSeats = {"Buy1",  "Buy2",  "Buy3",  "Buy4",  "Buy5",
                                                "Sell1", "Sell2", "Sell3", "Sell4", "Sell5"};
// Positions in TrackerSearchColumns(): four stock columns, then three per seat.
constexpr int kNameColumn = 0;
constexpr int kCodeColumn = 1;
constexpr int kDateColumn = 2;
constexpr int kCloseColumn = 3;
constexpr int kFirstSeatColumn = 4;

constexpr const char* kNewestFirst = " ORDER BY SB_Date DESC, rowid";
// The error of a search given up at closing, as an interrupted read has it (never shown).
constexpr const char* kClosingText = "interrupted";

// One StockInfo row as the searches read it.
struct SearchRow {
  std::string stockName;
  std::string stockCode;
  std::string date;
  double close = 0;
  std::array<std::string, 10> seatNames;  // Buy1..Buy5, Sell1..Sell5
  std::array<double, 10> buy{};
  std::array<double, 10> sell{};

};

// "Buy1_YYB_Name <test> OR ... OR Sell5_YYB_Name <test>".
std::string TenSeatCondition(const std::string& test) {
  std::string condition;
  for (const char* seat : kSeats) {
    if (!condition.empty()) condition += " OR ";
    condition += std::string(seat) + "_YYB_Name " + test;
  }
  return condition;
}

// "(<condition>) AND <dayTest>", or the condition alone without a test.
std::string WithDayTest(const std::string& condition, const std::string& dayTest) {
  return dayTest.empty() ? condition : "(" + condition + ") AND " + dayTest;
}

std::string SelectFrom() { return "SELECT " + TrackerSearchColumns() + " FROM StockInfo"; }

// The common table `table`(name) of the distinct names of one seat, ascending: the
// seat's index is walked from name to name (one seek per distinct name) instead of row
// by row.
std::string SeatNamesTable(const std::string& seat, const std::string& table) {
  const std::string column = seat + "_YYB_Name";
  return table + "(name) AS (SELECT MIN(" + column + ") FROM StockInfo UNION ALL SELECT (SELECT MIN(" + column +
         ") FROM StockInfo WHERE " + column + " > " + table + ".name) FROM " + table + " WHERE " + table +
         ".name IS NOT NULL)";
}

// The distinct names of every seat that are LIKE ?1, as the common table "matched":
// LIKE tests each name once.
std::string MatchedNamesTable() {
  std::string with = "WITH RECURSIVE ";
  std::string matched;
  for (std::size_t i = 0; i < kSeats.size(); ++i) {
    const std::string name = "names" + std::to_string(i);
    with += SeatNamesTable(kSeats[i], name) + ", ";
    if (!matched.empty()) matched += " UNION ";
    matched += "SELECT name FROM " + name + " WHERE name LIKE ?1 ESCAPE '\\'";
  }
  return with + "matched(name) AS MATERIALIZED (" + matched + ") ";
}

// "?1, ?2, ..., ?<count>".
std::string ValueList(std::size_t count) {
  std::string list;
  for (std::size_t i = 1; i <= count; ++i) {
    if (i > 1) list += ", ";
    list += '?';
    list += std::to_string(i);
  }
  return list;
}

// The distinct seat names LIKE `pattern` (KeywordPattern), each once, in byte order:
// the ten seats' names are walked side by side on the readers.
bool ReadMatchedNames(CADODataBase& db, const std::string& pattern, std::vector<DbValue>& names, std::string& error) {
  std::array<std::vector<std::string>, kSeats.size()> matched;
  std::array<std::optional<std::string>, kSeats.size()> errors;
  RunSideBySide(static_cast<unsigned>(kSeats.size()), [&](unsigned seat) {
    if (OnSideBySideReader()) db.InterruptWhenClosing();
    RowCursor cursor(db, "WITH RECURSIVE " + SeatNamesTable(kSeats[seat], "names") +
                             " SELECT name FROM names WHERE name LIKE ?1 ESCAPE '\\'",
                     {pattern});
    while (cursor.Next()) matched[seat].emplace_back(cursor.Text(0));
    if (cursor.Failed()) errors[seat] = cursor.RecordsetErrorText();
  });
  for (std::optional<std::string>& failed : errors) {
    if (!failed) continue;
    error = std::move(*failed);
    return false;
  }
  std::vector<std::string> all;
  for (std::vector<std::string>& seat : matched) all.insert(all.end(), seat.begin(), seat.end());
  std::sort(all.begin(), all.end());
  all.erase(std::unique(all.begin(), all.end()), all.end());
  for (std::string& name : all) names.emplace_back(std::move(name));
  return true;
}

// The most names a keyword's statements take as values.
constexpr std::size_t kMaxListedNames = 4000;

// Listings whose ten names meet `test`, counted through the seat-name indexes up to
// kManyListings per seat: a cheap look at whether a search lists much.
constexpr int kManyListings = 2000;
std::string SeatCountProbe(const std::string& test) {
  std::string sum;
  for (const char* seat : kSeats) {
    if (!sum.empty()) sum += " + ";
    sum += "(SELECT COUNT(*) FROM (SELECT 1 FROM StockInfo WHERE " + std::string(seat) + "_YYB_Name " + test +
           " LIMIT " + std::to_string(kManyListings) + "))";
  }
  return "SELECT " + sum;
}

// Whether the probe counts kManyListings or more: then the newest rows are best read day
// by day through the date index, which finds them at once and streams them without a
// sort; few rows come faster through the seat-name indexes. A failed probe says no
// (the search's own statement then reports the failure).
bool ManyListings(CADODataBase& db, const std::string& probe, const std::vector<DbValue>& params) {
  RowCursor cursor(db, probe, params);
  return cursor.Next() && cursor.Int(0) >= kManyListings;
}

bool QueryRows(CADODataBase& db, const std::string& sql, const std::vector<DbValue>& params,
               std::vector<SearchRow>& rows, std::string& error) {
  rows.clear();
  CADORecordset rs(&db);
  if (!rs.Open(sql, params)) {
    error = rs.GetLastErrorText();
    return false;
  }
  for (; !rs.IsEof(); rs.MoveNext()) {
    SearchRow row;
    rs.GetFieldValue(kNameColumn, row.stockName);
    rs.GetFieldValue(kCodeColumn, row.stockCode);
    rs.GetFieldValue(kDateColumn, row.date);
    rs.GetFieldValue(kCloseColumn, row.close);
    for (int seat = 0; seat < 10; ++seat) {
      const int column = kFirstSeatColumn + 3 * seat;
      rs.GetFieldValue(column, row.seatNames[seat]);
      rs.GetFieldValue(column + 1, row.buy[seat]);
      rs.GetFieldValue(column + 2, row.sell[seat]);
    }
    rows.push_back(std::move(row));
  }
  rs.Close();
  return true;
}

// Steps `sql` row by row straight from SQLite, handing each row to `onRow`: the large
// searches never copy their rows into a recordset. False, with `error` filled, when
// the statement cannot run or a step breaks off.
template <class OnRow>
bool StepRows(CADODataBase& db, const std::string& sql, const std::vector<DbValue>& params, std::string& error,
              OnRow&& onRow) {
  RowCursor cursor(db, sql, params);
  while (cursor.Next()) onRow(cursor);
  if (!cursor.Failed()) return true;
  error = cursor.RecordsetErrorText();
  return false;
}

// The columns of the buy/sell layout: the stock, then the ten buy amounts and the ten
// sell amounts (Buy1..Buy5, Sell1..Sell5 each). The seat names are not read.
constexpr int kFirstBuyColumn = 4;
constexpr int kFirstSellColumn = 14;
const std::string& BuySellColumns() {
  static const std::string columns = [] {
    std::string list = "StockName, StockCode, SB_Date, JinShou";
    for (const char* amount : {"_YYB_BuyAmount", "_YYB_SellAmount"}) {
      for (const char* seat : kSeats) list += ", " + std::string(seat) + amount;
    }
    return list;
  }();
  return columns;
}

// What a search decided, before anything is shown or written.
struct Outcome {
  TrackerSearchResult result;
  // A streaming search's file, its lines written as they came (the header is in
  // result.fileBytes too, for a query that fails).
  std::unique_ptr<FileReplacement> file;
  std::string refusalText;     // Refused: the message
  std::string refusalCaption;
  std::string queryError;      // QueryFailed: the recordset's error text
};

Outcome Refuse(std::string text, std::string caption) {
  Outcome outcome;
  outcome.result.status = TrackerSearchResult::Status::Refused;
  outcome.refusalText = std::move(text);
  outcome.refusalCaption = std::move(caption);
  return outcome;
}

// The messages of the search, then the file. One message per search: when the query
// failed, a file that cannot be written is not reported on top of it.
TrackerSearchResult Commit(Outcome outcome) {
  TrackerSearchResult& result = outcome.result;
  switch (result.status) {
    case TrackerSearchResult::Status::Refused:
      MessageBox(outcome.refusalText, outcome.refusalCaption, MB_OK | MB_ICONWARNING);
      return result;
    case TrackerSearchResult::Status::QueryFailed:
      ShowQueryFailed(outcome.queryError);
      break;
    case TrackerSearchResult::Status::Done:
      break;
  }
  if (result.writesFile) {
    const bool streamed = outcome.file && result.status == TrackerSearchResult::Status::Done;
    result.fileWritten = streamed ? outcome.file->Commit() : ReplaceFileContents(TrackerFilePath(), result.fileBytes);
    outcome.file.reset();
    if (!result.fileWritten && result.status == TrackerSearchResult::Status::Done) {
      MessageBox(kFileOpenErrorText, kTrackerCaption, MB_OK | MB_ICONWARNING);
    }
  }
  return result;
}

// A search given up at closing fails as an interrupted read, whichever statement it was in.
void FailQuery(Outcome& outcome, std::string error) {
  outcome.result.status = TrackerSearchResult::Status::QueryFailed;
  outcome.queryError = g_bClosing.load() ? std::string(kClosingText) : std::move(error);
}

std::string CountText(std::size_t count) { return std::to_string(count); }

// A search that lists nothing empties the large-line figures, which it never writes
// itself: no figure of an earlier search stays beside its "0".
void ClearFiguresWhenEmpty(TrackerSearchResult& result) {
  if (result.status != TrackerSearchResult::Status::Done || !result.lines || !result.lines->empty() ||
      result.streamedLines > 0) {
    return;
  }
  result.largeCountText = "";
  result.averageText = "";
}

// A search's lines as they are made. Without a sink they are all kept for the result
// (and its file bytes); with one, the first screenful and then each chunk go to the
// sink at once and their bytes into the file, and only the lines after the last
// hand-over are kept.
class LineStream {
 public:
  // Lines made into their file bytes and the sink's hand-over, off the searching thread.
  struct ReadyChunk {
    std::size_t count = 0;
    std::string fileBytes;  // with a streamed file only
    std::function<void()> handOver;
  };

  LineStream(Outcome& outcome, TrackerLineSink* sink) : outcome_(outcome), sink_(sink) {
    if (sink_ != nullptr && outcome_.result.writesFile) {
      outcome_.file = std::make_unique<FileReplacement>(TrackerFilePath());
      outcome_.file->Write(outcome_.result.fileBytes);
    }
  }

  void Add(TrackerLine line) {
    lines_.push_back(std::move(line));
    if (sink_ != nullptr && lines_.size() >= (handed_ == 0 ? kTrackerFirstChunkLines : kTrackerChunkLines)) Hand();
  }
  std::size_t Count() const { return handed_ + lines_.size(); }
  bool Handed() const { return handed_ > 0; }

  // Numbered lines cut into chunks and made ready for AddReady; may run on any thread,
  // side by side with other calls. With a sink only.
  std::vector<ReadyChunk> Ready(std::vector<TrackerLine> lines) const {
    std::vector<ReadyChunk> chunks;
    for (std::size_t from = 0; from < lines.size(); from += kTrackerChunkLines) {
      const auto begin = lines.begin() + static_cast<std::ptrdiff_t>(from);
      std::vector<TrackerLine> chunk(std::make_move_iterator(begin),
                                     std::make_move_iterator(begin + static_cast<std::ptrdiff_t>(std::min(
                                                                         kTrackerChunkLines, lines.size() - from))));
      ReadyChunk ready;
      ready.count = chunk.size();
      if (outcome_.file) ready.fileBytes = TrackerFileBytes("", chunk);
      ready.handOver = sink_->Ready(std::move(chunk));
      chunks.push_back(std::move(ready));
    }
    return chunks;
  }

  // Ready chunks after the lines added so far, in list order.
  void AddReady(std::vector<ReadyChunk> chunks) {
    for (ReadyChunk& chunk : chunks) {
      if (!lines_.empty()) Hand();
      if (outcome_.file) outcome_.file->Write(chunk.fileBytes);
      handed_ += chunk.count;
      chunk.handOver();
    }
  }

  // The read went through: the remaining lines become the result's.
  void Finish() {
    TrackerSearchResult& result = outcome_.result;
    result.streamedLines = handed_;
    if (outcome_.file) {
      outcome_.file->Write(TrackerFileBytes("", lines_));
    } else {
      result.fileBytes += TrackerFileBytes("", lines_);
    }
    result.lines = std::move(lines_);
  }

 private:
  void Hand() {
    if (outcome_.file) outcome_.file->Write(TrackerFileBytes("", lines_));
    handed_ += lines_.size();
    sink_->AddLines(std::move(lines_));
    lines_.clear();
  }

  Outcome& outcome_;
  TrackerLineSink* sink_;
  std::vector<TrackerLine> lines_;
  std::size_t handed_ = 0;
};

// A line made with the number 0 ("00", the "%02d" every layout starts with) gets its
// number when its place in the list is known.
void NumberLine(TrackerLine& line, std::size_t number) {
  char digits[24];
  const int length = std::snprintf(digits, sizeof digits, "%02zu", number);
  line.text.replace(0, 2, digits, static_cast<std::size_t>(length));
}

// What one stretch of days made: its lines (numbered 0) and the totals of its large
// lines, in list order.
struct StretchLines {
  std::vector<TrackerLine> lines;
  std::vector<double> large;
  std::string error;
  bool read = true;
};

// A streaming search read day by day, newest first, in stretches of days side by side
// (ReadDayStretches): the newest stretch hands its first screenful to `lines` as soon
// as it is read; the rest of every stretch follows once all are read, numbered and made
// ready for the sink side by side, and handed over in order (`lines` has a sink).
// `statement(dayTest)` is the search's statement over the days of one test, whose
// bounds follow `params`;
// `makeLine(row, number, large)` makes a row's line and may add its total to `large`.
// False, with `error` set, when a read failed.
template <class MakeLine>
bool ReadInDayStretches(CADODataBase& db, const std::function<std::string(const std::string&)>& statement,
                        const std::vector<DbValue>& params, LineStream& lines, std::vector<double>& large,
                        MakeLine&& makeLine, std::string& error) {
  const unsigned parts = SideBySideParts();
  std::vector<StretchLines> made(parts);
  const int stretches = ReadDayStretches(
      db, parts, static_cast<int>(params.size()) + 1,
      [&](unsigned k, const DayStretch& stretch) {
        StretchLines& mine = made[k];
        for (std::size_t t = 0; t < stretch.tests.size() && mine.read; ++t) {
          std::vector<DbValue> bound = params;
          bound.insert(bound.end(), stretch.bounds[t].begin(), stretch.bounds[t].end());
          mine.read = StepRows(db, statement(stretch.tests[t]), bound, mine.error, [&](const RowCursor& row) {
            if (k == 0 && !lines.Handed()) {
              lines.Add(makeLine(row, lines.Count() + 1, large));
            } else {
              mine.lines.push_back(makeLine(row, 0, mine.large));
            }
          });
        }
      },
      error);
  if (stretches < 0) return false;
  for (int k = 0; k < stretches; ++k) {
    if (made[k].read) continue;
    error = std::move(made[k].error);
    return false;
  }
  std::vector<std::size_t> firstNumber(static_cast<std::size_t>(stretches));
  std::size_t before = lines.Count();
  for (int k = 0; k < stretches; ++k) {
    firstNumber[k] = before + 1;
    before += made[k].lines.size();
  }
  std::vector<std::vector<LineStream::ReadyChunk>> ready(static_cast<std::size_t>(stretches));
  std::atomic<bool> closing{false};
  RunSideBySide(static_cast<unsigned>(stretches), [&](unsigned k) {
    std::vector<TrackerLine>& mine = made[k].lines;
    for (std::size_t i = 0; i < mine.size(); ++i) {
      // Closing: the search gives up as a read that broke off.
      if (i % 4096 == 0 && g_bClosing.load()) {
        closing = true;
        return;
      }
      NumberLine(mine[i], firstNumber[k] + i);
    }
    ready[k] = lines.Ready(std::move(mine));
  });
  if (closing.load()) {
    error = kClosingText;
    return false;
  }
  for (int k = 0; k < stretches; ++k) {
    lines.AddReady(std::move(ready[k]));
    ready[k] = {};
    large.insert(large.end(), made[k].large.begin(), made[k].large.end());
  }
  return true;
}

// A search of the buy/sell layout (the sums of all ten seats, so a branch among both
// the buyers and the sellers counts on both sides) that ends by showing its first
// line: on success the lines and their count; on failure nothing changes.
void FillBuySellOutcome(Outcome& outcome, CADODataBase& db, const IClock& clock, const std::string& sql,
                        const std::vector<DbValue>& params, TrackerLineSink* sink = nullptr,
                        const std::function<std::string(const std::string&)>& byDays = {}) {
  const std::string today = TrackerToday(clock);
  LineStream lines(outcome, sink);
  auto makeLine = [&today](const RowCursor& row, std::size_t number, std::vector<double>&) {
    double buy = 0;
    double sell = 0;
    for (int seat = 0; seat < 10; ++seat) buy += row.Number(kFirstBuyColumn + seat);
    for (int seat = 0; seat < 10; ++seat) sell += row.Number(kFirstSellColumn + seat);
    return MakeBuySellLine(static_cast<int>(number), std::string(row.Text(0)), std::string(row.Text(1)),
                           std::string(row.Text(2)), TruncateAmount(buy), TruncateAmount(sell), row.Number(3), today);
  };
  std::string error;
  std::vector<double> large;
  const bool read = byDays ? ReadInDayStretches(db, byDays, params, lines, large, makeLine, error)
                           : StepRows(db, sql, params, error, [&](const RowCursor& row) {
                               lines.Add(makeLine(row, lines.Count() + 1, large));
                             });
  if (!read) {
    FailQuery(outcome, std::move(error));
    return;
  }
  outcome.result.countText = CountText(lines.Count());
  outcome.result.showFirstResult = true;
  lines.Finish();
}

// "SELECT <buy/sell columns> FROM StockInfo".
std::string SelectBuySellFrom() { return "SELECT " + BuySellColumns() + " FROM StockInfo"; }

Outcome BranchOutcome(CADODataBase& db, const IClock& clock, const std::string& branch,
                      TrackerLineSink* sink = nullptr) {
  Outcome outcome;
  TrackerSearchResult& result = outcome.result;
  result.writesFile = true;
  result.fileBytes = ToGbk(BranchFileHeader(branch));
  const std::string today = TrackerToday(clock);

  LineStream lines(outcome, sink);
  // One row: the branch's figures among the buyers and among the sellers; a later
  // seat of the same side replaces an earlier one.
  auto makeLine = [&branch, &today](const RowCursor& row, std::size_t number, std::vector<double>& large) {
    double b1 = 0, s1 = 0, b2 = 0, s2 = 0;
    for (int seat = 0; seat < 10; ++seat) {
      const int column = kFirstSeatColumn + 3 * seat;
      if (row.Text(column) != branch) continue;
      (seat < 5 ? b1 : b2) = row.Number(column + 1);
      (seat < 5 ? s1 : s2) = row.Number(column + 2);
    }
    // The same figures on both sides are one trade, listed twice.
    double total = 0, net = 0;
    if (b1 == b2 && s1 == s2) {
      total = b1 + s1;
      net = b1 - s1;
    } else {
      total = b1 + b2 + s1 + s2;
      net = (b1 - s1) + (b2 - s2);
    }
    if (total >= kLargeLineAmount) large.push_back(total);
    return MakeBranchLine(static_cast<int>(number), std::string(row.Text(kNameColumn)),
                          std::string(row.Text(kCodeColumn)), std::string(row.Text(kDateColumn)),
                          TruncateAmount(net), row.Number(kCloseColumn), today);
  };
  std::vector<double> large;
  if (!branch.empty()) {
    std::string error;
    const std::vector<DbValue> params = {branch};
    const bool byDay = sink != nullptr && ManyListings(db, SeatCountProbe("= ?1"), params);
    auto byDays = [](const std::string& dayTest) {
      return BranchSearchStatementOf(TrackerSearchColumns(), true, dayTest);
    };
    const bool read = byDay ? ReadInDayStretches(db, byDays, params, lines, large, makeLine, error)
                            : StepRows(db, BranchSearchStatement(), params, error, [&](const RowCursor& row) {
                                lines.Add(makeLine(row, lines.Count() + 1, large));
                              });
    if (!read) {
      FailQuery(outcome, std::move(error));
      return outcome;
    }
  }
  // Summed in list order, as the lines were made.
  double largeSum = 0;
  for (const double total : large) largeSum += total;
  result.countText = CountText(lines.Count());
  result.largeCountText = std::to_string(large.size());
  // No line of 200 or more has no average: the edit stays empty.
  result.averageText = large.empty() ? std::string() : FormatGbk("%0.1f", largeSum / static_cast<double>(large.size()));
  lines.Finish();
  return outcome;
}

// The stock searches and team 1 on a stock: edits 1001/1002 are emptied first, so also
// when the query fails.
Outcome StockOutcome(CADODataBase& db, const IClock& clock, const std::string& header, bool writeFile,
                     bool searchable, const std::string& sql, const std::vector<DbValue>& params) {
  Outcome outcome;
  TrackerSearchResult& result = outcome.result;
  result.largeCountText = "";
  result.averageText = "";
  result.writesFile = writeFile;
  if (writeFile) result.fileBytes = ToGbk(header);
  if (!searchable) {
    result.lines = std::vector<TrackerLine>{};
    result.countText = CountText(0);
    result.showFirstResult = true;
    return outcome;
  }
  FillBuySellOutcome(outcome, db, clock, sql, params);
  if (!writeFile) result.fileBytes.clear();
  return outcome;
}

}  // namespace

const std::string& TrackerSearchColumns() {
  static const std::string columns = [] {
    std::string list = "StockName, StockCode, SB_Date, JinShou";
    for (const char* seat : kSeats) {
      const std::string prefix = seat;
      list += ", " + prefix + "_YYB_Name, " + prefix + "_YYB_BuyAmount, " + prefix + "_YYB_SellAmount";
    }
    return list;
  }();
  return columns;
}

std::string BranchSearchStatementOf(const std::string& columns, bool byDay, const std::string& dayTest) {
  return "SELECT " + columns + " FROM StockInfo" + (byDay ? " INDEXED BY IX_StockInfo_SB_Date" : "") + " WHERE " +
         WithDayTest(TenSeatCondition("= ?1"), dayTest) + kNewestFirst;
}

std::string BranchSearchStatement(bool indexed) {
  return SelectFrom() + (indexed ? "" : " NOT INDEXED") + " WHERE " + TenSeatCondition("= ?1") + kNewestFirst;
}

std::string KeywordPattern(const std::string& keyword) {
  std::string pattern = "%";
  for (const char c : keyword) {
    if (c == '\\' || c == '%' || c == '_') pattern += '\\';
    pattern += c;
  }
  pattern += '%';
  return pattern;
}

std::string KeywordSearchStatement(const std::string& columns, bool byNames, bool byDay, const std::string& dayTest) {
  const std::string from = std::string(" FROM StockInfo") + (byDay ? " INDEXED BY IX_StockInfo_SB_Date" : "");
  if (!byNames) {
    return "SELECT " + columns + from + " WHERE " + WithDayTest(TenSeatCondition("LIKE ?1 ESCAPE '\\'"), dayTest) +
           kNewestFirst;
  }
  return MatchedNamesTable() + "SELECT " + columns + from + " WHERE " +
         WithDayTest(TenSeatCondition("IN (SELECT name FROM matched)"), dayTest) + kNewestFirst;
}

std::string MatchedNamesStatement(const std::string& columns, std::size_t names, bool byDay,
                                  const std::string& dayTest) {
  return "SELECT " + columns + " FROM StockInfo" + (byDay ? " INDEXED BY IX_StockInfo_SB_Date" : "") + " WHERE " +
         WithDayTest(TenSeatCondition("IN (" + ValueList(names) + ")"), dayTest) + kNewestFirst;
}

std::string BranchSearchByDayStatement() {
  return BranchSearchStatementOf(TrackerSearchColumns(), true);
}

TrackerSearchResult BuildBranchSearch(CADODataBase& db, const IClock& clock, const std::string& branch) {
  return BranchOutcome(db, clock, branch).result;
}

TrackerSearchResult SearchBranch(CADODataBase& db, const IClock& clock, const std::string& branch,
                                 TrackerLineSink* sink) {
  return Commit(BranchOutcome(db, clock, branch, sink));
}

// Every line is blue, today's too: the clock is not read.
TrackerSearchResult SearchTwoBranches(CADODataBase& db, const IClock& /*clock*/, const std::string& team1,
                                      const std::string& team2) {
  if (team1.empty()) return Commit(Refuse(kTeam1EmptyText, kTrackerCaption));
  if (team2.empty()) return Commit(Refuse(kTeam2EmptyText, kTrackerCaption));
  if (GbkByteLength(team1) < kMinTeamNameBytes || GbkByteLength(team2) < kMinTeamNameBytes) {
    return Commit(Refuse(kTeamNameShortText, kTrackerCaption));
  }

  Outcome outcome;
  TrackerSearchResult& result = outcome.result;
  // The list is emptied before the queries: a failure leaves it empty.
  result.lines = std::vector<TrackerLine>{};
  result.writesFile = true;
  result.fileBytes = ToGbk(TwoBranchFileHeader(team1, team2));

  std::vector<SearchRow> rowsA;
  std::vector<SearchRow> rowsB;
  std::string error;
  if (!QueryRows(db, BranchSearchStatement(), {team1}, rowsA, error) ||
      !QueryRows(db, BranchSearchStatement(), {team2}, rowsB, error)) {
    FailQuery(outcome, std::move(error));
    return Commit(std::move(outcome));
  }

  // Each listing of the first branch once for every listing of the second with the
  // same stock name and day.
  std::map<std::pair<std::string, std::string>, int> inB;
  for (const SearchRow& b : rowsB) ++inB[{b.stockName, b.date}];
  std::vector<TrackerLine> lines;
  int number = 0;
  for (const SearchRow& a : rowsA) {
    const auto found = inB.find({a.stockName, a.date});
    if (found == inB.end()) continue;
    for (int k = 0; k < found->second; ++k) {
      TrackerLine line = MakeBuySellLine(++number, a.stockName, a.stockCode, a.date, 0, 0, a.close, "");
      line.colour = kTrackerLineColour;  // every line blue, today's too
      lines.push_back(std::move(line));
    }
  }
  result.countText = CountText(lines.size());
  result.showFirstResult = true;
  result.fileBytes += TrackerFileBytes("", lines);
  result.lines = std::move(lines);
  ClearFiguresWhenEmpty(result);
  return Commit(std::move(outcome));
}

TrackerSearchResult SearchBranchKeyword(CADODataBase& db, const IClock& clock, const std::string& keyword,
                                        TrackerLineSink* sink) {
  const std::size_t bytes = GbkByteLength(keyword);
  if (bytes < kMinKeywordBytes) return Commit(Refuse(kKeywordShortText, kTrackerCaption));
  if (bytes > kMaxKeywordBytes) return SearchBranch(db, clock, keyword, sink);

  Outcome outcome;
  outcome.result.writesFile = true;
  outcome.result.fileBytes = ToGbk(KeywordFileHeader(keyword));
  // The names are matched once; every statement after takes them as values. So many
  // names that they would overrun a statement's values are matched by each statement.
  std::vector<DbValue> names;
  std::string error;
  if (!ReadMatchedNames(db, KeywordPattern(keyword), names, error)) {
    FailQuery(outcome, std::move(error));
    return Commit(std::move(outcome));
  }
  const std::size_t count = names.size();
  const bool listed = count <= kMaxListedNames;
  const std::vector<DbValue> params = listed ? std::move(names) : std::vector<DbValue>{KeywordPattern(keyword)};
  auto statement = [count, listed](bool byDay, const std::string& dayTest) {
    return listed ? MatchedNamesStatement(BuySellColumns(), count, byDay, dayTest)
                  : KeywordSearchStatement(BuySellColumns(), true, byDay, dayTest);
  };
  const std::string probe = listed ? SeatCountProbe("IN (" + ValueList(count) + ")")
                                   : MatchedNamesTable() + SeatCountProbe("IN (SELECT name FROM matched)");
  const bool byDay = sink != nullptr && ManyListings(db, probe, params);
  FillBuySellOutcome(outcome, db, clock, statement(false, ""), params, sink,
                     byDay ? [statement](const std::string& dayTest) { return statement(true, dayTest); }
                           : std::function<std::string(const std::string&)>());
  ClearFiguresWhenEmpty(outcome.result);
  return Commit(std::move(outcome));
}

TrackerSearchResult SearchStockName(CADODataBase& db, const IClock& clock, const std::string& name,
                                    bool writeFile) {
  return Commit(StockOutcome(db, clock, StockFileHeader(name, ""), writeFile, !name.empty(),
                             SelectBuySellFrom() + " WHERE StockName = ?" + kNewestFirst, {name}));
}

TrackerSearchResult SearchStockCode(CADODataBase& db, const IClock& clock, const std::string& code,
                                    bool writeFile) {
  return Commit(StockOutcome(db, clock, StockFileHeader(code, ""), writeFile, !code.empty(),
                             SelectBuySellFrom() + " WHERE StockCode = ?" + kNewestFirst, {code}));
}

TrackerSearchResult SearchMultiStock(CADODataBase& db, const IClock& clock, const std::string& codesText) {
  if (GbkByteLength(codesText) < kMinCodesTextBytes) return Commit(Refuse(kCodesTextShortText, kTrackerCaption));

  // One value per piece, as typed: "600000,000002," binds "600000", "000002" and "".
  std::vector<DbValue> codes;
  std::string placeholders;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = codesText.find(',', start);
    codes.emplace_back(codesText.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    placeholders += placeholders.empty() ? "?" : ", ?";
    if (comma == std::string::npos) break;
    start = comma + 1;
  }

  Outcome outcome;
  FillBuySellOutcome(outcome, db, clock, SelectBuySellFrom() + " WHERE StockCode IN (" + placeholders + ")" + kNewestFirst,
                     codes);
  outcome.result.fileBytes.clear();
  return Commit(std::move(outcome));
}

TrackerSearchResult SearchTeam1OnStock(CADODataBase& db, const IClock& clock, const std::string& branch,
                                       const std::string& stockCode) {
  const std::string sql =
      SelectBuySellFrom() + " WHERE StockCode = ?1 AND (" + TenSeatCondition("= ?2") + ")" + kNewestFirst;
  return Commit(StockOutcome(db, clock, StockFileHeader(stockCode, branch), true,
                             !branch.empty() && !stockCode.empty(), sql, {stockCode, branch}));
}
