#include "storage/rowid_stretches.h"

#include <algorithm>
#include <functional>

#include "platform/side_by_side.h"
#include "storage/ado_database.h"
#include "storage/row_cursor.h"

namespace {

// Whether `table` has rows, with its first and last rowid. Each is asked on its own:
// SQLite finds a lone MIN or MAX of the rowid at the end of the table, but walks every
// row for the two in one select.
bool ReadRowidSpan(RowCursor& cursor, const std::string& table, std::int64_t& first, std::int64_t& last) {
  const bool listed = cursor.Open("SELECT (SELECT MIN(rowid) FROM " + table + "), (SELECT MAX(rowid) FROM " + table +
                                  ")") &&
                      cursor.Next() && !cursor.IsNull(0);
  if (listed) {
    first = cursor.Int(0);
    last = cursor.Int(1);
  }
  return listed;
}

}  // namespace

int ReadRowidStretches(CADODataBase& db, const std::string& table, unsigned stretches,
                       const std::function<void(unsigned k, std::int64_t first, std::int64_t last)>& read,
                       std::string& error) {
  std::int64_t first = 0, last = 0;
  {
    RowCursor span(db);
    const bool listed = ReadRowidSpan(span, table, first, last);
    if (span.Failed()) {
      error = span.ErrorText();
      return -1;
    }
    if (!listed) return 0;
  }
  if (stretches == 0) stretches = SideBySideParts();
  // In unsigned arithmetic: the rowids may span more than the signed range.
  const std::uint64_t span = static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first);  // rowids - 1
  if (span / stretches == 0) stretches = 1;
  const std::uint64_t step = span / stretches;
  RunSideBySide(stretches, [&](unsigned k) {
    if (OnSideBySideReader()) db.InterruptWhenClosing();  // the calling thread's handle is the caller's to set
    const std::uint64_t from = static_cast<std::uint64_t>(first) + step * k;
    read(k, static_cast<std::int64_t>(from), k + 1 == stretches ? last : static_cast<std::int64_t>(from + step - 1));
  });
  return static_cast<int>(stretches);
}

namespace {

// The stretches between the days `bounds` (newest first, each once): [b1, ...), then
// [b2, b1), ... and (..., bm), then the listings without a date, which come last.
std::vector<DayStretch> DayStretchesBetween(const std::vector<std::string>& bounds, int firstParam) {
  std::string first = "?", second = "?";
  first += std::to_string(firstParam);
  second += std::to_string(firstParam + 1);
  std::vector<DayStretch> stretches(bounds.size() + 1);
  for (std::size_t k = 0; k < stretches.size(); ++k) {
    DayStretch& stretch = stretches[k];
    if (bounds.empty()) {
      stretch.tests = {"SB_Date IS NOT NULL", "SB_Date IS NULL"};
      stretch.bounds.resize(2);
    } else if (k == 0) {
      stretch.tests = {"SB_Date >= " + first};
      stretch.bounds = {{bounds[0]}};
    } else if (k < bounds.size()) {
      stretch.tests = {"SB_Date < " + first + " AND SB_Date >= " + second};
      stretch.bounds = {{bounds[k - 1], bounds[k]}};
    } else {
      // Two statements: one test with OR would walk the whole date index.
      stretch.tests = {"SB_Date < " + first, "SB_Date IS NULL"};
      stretch.bounds = {{bounds[k - 1]}, {}};
    }
  }
  return stretches;
}

}  // namespace

int ReadDayStretches(CADODataBase& db, unsigned stretches, int firstParam,
                     const std::function<void(unsigned k, const DayStretch& stretch)>& read, std::string& error) {
  if (stretches == 0) stretches = SideBySideParts();
  std::vector<std::string> bounds;
  {
    RowCursor cursor(db);
    std::int64_t first = 0, last = 0;
    const bool listed = ReadRowidSpan(cursor, "StockInfo", first, last);
    // The day of the first dated listing at or after each cut (a blob sorts above every
    // text: it is no bound).
    const std::uint64_t step = (static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first)) / stretches;
    for (unsigned k = 1; listed && step > 0 && k < stretches && !cursor.Failed(); ++k) {
      const auto at = static_cast<std::int64_t>(static_cast<std::uint64_t>(first) + step * k);
      if (cursor.Open("SELECT SB_Date FROM StockInfo WHERE rowid >= ?1 AND typeof(SB_Date) = 'text' "
                      "ORDER BY rowid LIMIT 1",
                      {at}) &&
          cursor.Next()) {
        bounds.emplace_back(cursor.Text(0));
      }
    }
    if (cursor.Failed()) {
      error = cursor.ErrorText();
      return -1;
    }
  }
  std::sort(bounds.begin(), bounds.end(), std::greater<>());
  bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
  const std::vector<DayStretch> cut = DayStretchesBetween(bounds, firstParam);
  RunSideBySide(static_cast<unsigned>(cut.size()), [&](unsigned k) {
    if (OnSideBySideReader()) db.InterruptWhenClosing();
    read(k, cut[k]);
  });
  return static_cast<int>(cut.size());
}

void WarmStretchReaders(CADODataBase& db) {
  WarmSideBySideReaders([&db] {
    // The reader's own handle, and the pages of the listings and of their indexes in
    // its mapping of the file: counting the rows of each walks every page of it.
    if (!db.InterruptWhenClosing()) return;
    std::vector<std::string> indexes;
    RowCursor cursor(db);
    if (cursor.Open("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'StockInfo'")) {
      while (cursor.Next()) indexes.emplace_back(cursor.Text(0));
    }
    if (cursor.Open("SELECT count(*) FROM StockInfo NOT INDEXED")) cursor.Next();
    for (const std::string& index : indexes) {
      if (!IsBareTableName(index)) continue;
      if (cursor.Open("SELECT count(*) FROM StockInfo INDEXED BY \"" + index + "\"")) cursor.Next();
    }
  });
}

int DayNumbers::Of(const RowCursor& cursor, int column) {
  if (cursor.IsNull(column)) return kNoDay;
  const std::string_view day = cursor.Text(column);
  if (last_ == kNoDay || day != days_[static_cast<std::size_t>(last_)]) {
    const auto [id, added] = ids_.Emplace(day, static_cast<std::uint32_t>(days_.size()));
    if (added) days_.emplace_back(day);
    last_ = static_cast<int>(*id);
  }
  return last_;
}
