#pragma once
// A pass over a whole table read in stretches of rowids side by side: for the folds
// whose time is the reading of every row of the file.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "storage/db_value.h"
#include "storage/text_hash.h"

class CADODataBase;
class RowCursor;

// Cuts the rowids of `table` into up to `stretches` stretches (0: SideBySideParts()) and
// calls `read(k, first, last)` for each, numbered in rowid order, side by side on the
// readers (RunSideBySide), whose database handles give up a statement once the program
// is closing. Returns the number of stretches read (0 for
// an empty table), or -1 when the rowids could not be read (`error` set).
int ReadRowidStretches(CADODataBase& db, const std::string& table, unsigned stretches,
                       const std::function<void(unsigned k, std::int64_t first, std::int64_t last)>& read,
                       std::string& error);

// The listings of StockInfo newest day first (SB_Date descending, the days without a
// date last), cut into stretches of whole days that are read side by side: stretch 0
// holds the newest days. Each stretch is one or more tests of SB_Date, run in turn
// (`tests[i]` binds `bounds[i]` from parameter `firstParam` on); together they list
// every day once, in the order of the stretch numbers and then of the tests. The days
// are cut where the rowids cut the table into `stretches` (0: SideBySideParts()), so
// a table written day after day gives stretches of about one size. `read(k, ...)` runs
// for each side by side on the readers (RunSideBySide), whose database handles give up
// a statement once the program is closing. Returns the number
// of stretches read, or -1 when the bounds could not be read (`error` set).
struct DayStretch {
  std::vector<std::string> tests;
  std::vector<std::vector<DbValue>> bounds;
};
int ReadDayStretches(CADODataBase& db, unsigned stretches, int firstParam,
                     const std::function<void(unsigned k, const DayStretch& stretch)>& read, std::string& error);

// Has each of the readers that read the stretches open its own handle on `db` and map
// the listings' pages, in the background: the first search after start-up then reads
// as fast as the later ones.
void WarmStretchReaders(CADODataBase& db);

// The days a pass meets, each numbered once in the order met; the listings of one day
// follow each other, so a run of them costs one comparison each.
class DayNumbers {
 public:
  static constexpr int kNoDay = -1;  // a missing day (NULL); an empty text is a day

  // The number of the day in `column` of the cursor's row.
  int Of(const RowCursor& cursor, int column);
  const std::vector<std::string>& Days() const { return days_; }

 private:
  TextIndex ids_;
  std::vector<std::string> days_;
  int last_ = kNoDay;
};
