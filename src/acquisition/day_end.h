#pragma once
// The end of one downloaded day, the same whichever source fetched it: the summary
// lines, the day's totals, and, for today, the pages told. The summary comes first,
// then the totals, then the pages: nothing reloads today before its totals exist.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CADODataBase;
class MessageSink;
class PageRegistry;

// What the day's job counted.
struct DayEndCounts {
  std::string day;
  std::vector<std::string> downloadedNames;  // the names handed to the writer, in order
  int downloadCounter = 0;                   // stocks requested (stored or not)
  int insertedComplete = 0;                  // rows stored complete with their seats
  std::int64_t elapsedMs = 0;
};

// Whether a day is complete is stored in DayStatus: a day is complete only once its
// job reached its end, every row stored for it is complete and its totals are
// written. A day with rows but no status is not.

// Marks `day` as being stored (not complete), with the number of stocks its list has.
bool MarkDayStarted(CADODataBase& db, const std::string& day, int listed);
// Records the end of `day`'s job: Listed becomes the number of rows stored, and the
// day is complete when every one of them is complete, else not. A day without a
// stored row is left as it was.
bool MarkDayEnded(CADODataBase& db, const std::string& day);
// True when `day` is marked complete; false when it is not, or cannot be read.
bool IsDayComplete(CADODataBase& db, const std::string& day);

// The names stored for `day`, in storing order.
std::vector<std::string> LoadStoredNames(CADODataBase& db, const std::string& day);

// StockCode → 1 (stored complete) or 2 (stored incomplete) for the rows stored for `day`.
std::map<std::string, int> LoadStoredRowStates(CADODataBase& db, const std::string& day);
// The line of a day that already holds `kept` of its `listed` stocks complete.
std::string KeptRowsLine(const std::string& day, int kept, int listed);

// The line of a day whose source listed no stock.
std::string NothingListedLine(const std::string& day);

// The summary line (and the missing names when rows are missing), the totals
// recomputed and the day's end marked (MarkDayEnded), and for today the daily list and
// the stock activity pages told. A day whose totals or mark cannot be written stays
// incomplete. A day that holds no stored row is no downloaded day: it gets its
// error lines (or NothingListedLine when nothing was listed), no totals and no mark,
// the pages are not told, and the result is false; true otherwise.
// `onDbWrite`, when set, is told the seconds the totals took.
bool FinishDownloadedDay(CADODataBase& db, MessageSink& sink, PageRegistry& pages, bool isToday,
                         const DayEndCounts& counts, const std::function<void(double)>& onDbWrite = {});

// Tells the daily list and the stock activity pages that today's data is stored.
void TellPagesTodayDownloaded(PageRegistry& pages);
