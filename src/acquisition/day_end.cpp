#include "acquisition/day_end.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "acquisition/day_totals.h"
#include "acquisition/download_road.h"
#include "acquisition/format_line.h"
#include "acquisition/trading_calendar.h"
#include "platform/debug_log.h"
#include "platform/page_registry.h"
#include "platform/pages/daily_list_page_iface.h"
#include "platform/pages/stock_active_page_iface.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"

bool MarkDayStarted(CADODataBase& db, const std::string& day, int listed) {
  return db.IsOpen() && db.Execute("INSERT INTO DayStatus (SB_Date, Listed, Complete) VALUES (?, ?, 0) "
                                   "ON CONFLICT (SB_Date) DO UPDATE SET Listed=excluded.Listed, Complete=0",
                                   {day, listed});
}

bool MarkDayEnded(CADODataBase& db, const std::string& day) {
  // A day without a stored stock is left unmarked: its list may come later.
  return db.IsOpen() && db.Execute("INSERT INTO DayStatus (SB_Date, Listed, Complete) "
                                   "SELECT ?, COUNT(*), MIN(IsDownloadOK IS 1) FROM StockInfo WHERE SB_Date=? "
                                   "HAVING COUNT(*) > 0 "
                                   "ON CONFLICT (SB_Date) DO UPDATE SET Listed=excluded.Listed, "
                                   "Complete=excluded.Complete",
                                   {day, day});
}

bool IsDayComplete(CADODataBase& db, const std::string& day) {
  CADORecordset rs(&db);
  if (!rs.Open("SELECT Complete FROM DayStatus WHERE SB_Date=?", {day}) || rs.IsEof()) return false;
  int complete = 0;
  rs.GetFieldValue("Complete", complete);
  return complete == 1;
}

std::vector<std::string> LoadStoredNames(CADODataBase& db, const std::string& day) {
  std::vector<std::string> names;
  CADORecordset rs(&db);
  if (!rs.Open("SELECT StockName FROM StockInfo WHERE SB_Date=? ORDER BY rowid", {day})) return names;
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string name;
    rs.GetFieldValue("StockName", name);
    names.push_back(std::move(name));
  }
  return names;
}

std::map<std::string, int> LoadStoredRowStates(CADODataBase& db, const std::string& day) {
  std::map<std::string, int> rows;
  CADORecordset rs(&db);
  if (!rs.Open("SELECT StockCode, IsDownloadOK FROM StockInfo WHERE SB_Date=? ORDER BY rowid", {day})) return rows;
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string code;
    int ok = 0;
    rs.GetFieldValue("StockCode", code);
    rs.GetFieldValue("IsDownloadOK", ok);
    rows[code] = ok == 1 ? 1 : 2;
  }
  return rows;
}

std::string KeptRowsLine(const std::string& day, int kept, int listed) {
  return FormatC("%s：已有%d只，补下载%d只", day.c_str(), kept, listed - kept);
}

std::string NothingListedLine(const std::string& day) { return day + "：没有上榜股票，当日没有数据。"; }

namespace {

// The number of rows stored for `day`; nullopt when they cannot be counted.
std::optional<int> StoredRowCount(CADODataBase& db, const std::string& day) {
  CADORecordset rs(&db);
  if (!rs.Open("SELECT COUNT(*) AS n FROM StockInfo WHERE SB_Date=?", {day}) || rs.IsEof()) return std::nullopt;
  int n = 0;
  rs.GetFieldValue("n", n);
  return n;
}

}  // namespace

void TellPagesTodayDownloaded(PageRegistry& pages) {
  if (!pages.Send<IDailyListPage>(PageSlot::DataDisplay, [](IDailyListPage& p) { p.OnTodayDataDownloaded(); })) {
    AppendDebugLog("download: the daily list page is not there to reload today");
  }
  if (!pages.Send<IStockActivePage>(PageSlot::StockActivePage,
                                    [](IStockActivePage& p) { p.OnTodayDataDownloaded(); })) {
    AppendDebugLog("download: the stock activity page is not there to reload today");
  }
}

bool FinishDownloadedDay(CADODataBase& db, MessageSink& sink, PageRegistry& pages, bool isToday,
                         const DayEndCounts& counts, const std::function<void(double)>& onDbWrite) {
  const std::string elapsed = FormatDayElapsed(counts.elapsedMs);
  // Rows that cannot be counted are left to the totals, which report them unreadable.
  const bool nothingStored = StoredRowCount(db, counts.day) == 0;
  if (nothingStored && counts.downloadCounter == 0) {
    sink.addLine(NothingListedLine(counts.day), kLinePlain);
    return false;
  }
  if (counts.downloadCounter == counts.insertedComplete && !nothingStored) {
    sink.addLine(FormatC("下载 %d 只,入数据库 %d 只,下载正确。耗时：", counts.downloadCounter, counts.insertedComplete) +
                     elapsed,
                 kLineBlue);
  } else {
    const std::vector<std::string> stored = LoadStoredNames(db, counts.day);
    if (stored.size() < counts.downloadedNames.size()) {
      for (std::size_t i = 0; i < counts.downloadedNames.size(); ++i) {
        const std::string& name = counts.downloadedNames[i];
        if (name.empty() || std::find(stored.begin(), stored.end(), name) != stored.end()) continue;
        sink.addLine(FormatC("i=%d, 无此股票: %s", static_cast<int>(i + 1), name.c_str()), kLineRed);
      }
    }
    sink.addLine(FormatC("下载 %d 只,入数据库 %d 只,下载错误。耗时：", counts.downloadCounter, counts.insertedComplete) +
                     elapsed,
                 kLineRed);
    sink.addLine(counts.day + "数据需要重新下载!!!!!!!", kLineRed);
  }
  // A day without a stored row gets no totals: there is nothing they could sum.
  if (nothingStored) return false;
  const auto start = std::chrono::steady_clock::now();
  const DayTotalsOutcome totals = RecomputeDayTotals(db, counts.day);
  if (onDbWrite) onDbWrite(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  if (!totals.errorLine.empty()) {
    sink.addLine(totals.errorLine, totals.errorLineColour);
  } else if (totals.status != DayTotalsOutcome::Status::Written || !MarkDayEnded(db, counts.day)) {
    sink.addLine(DayTotalsWriteErrorLine(counts.day), kDayTotalsErrorColour);
  }
  if (isToday) TellPagesTodayDownloaded(pages);
  return true;
}
