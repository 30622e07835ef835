#include "storage/rowid_stretches.h"

#include "platform/side_by_side.h"
#include "storage/ado_database.h"
#include "storage/row_cursor.h"

int ReadRowidStretches(CADODataBase& db, const std::string& table, unsigned stretches,
                       const std::function<void(unsigned k, std::int64_t first, std::int64_t last)>& read,
                       std::string& error) {
  std::int64_t first = 0, last = 0;
  {
    RowCursor span(db);
    const bool listed = span.Open("SELECT MIN(rowid), MAX(rowid) FROM " + table) && span.Next() && !span.IsNull(0);
    if (span.Failed()) {
      error = span.ErrorText();
      return -1;
    }
    if (!listed) return 0;
    first = span.Int(0);
    last = span.Int(1);
  }
  if (stretches == 0) stretches = SideBySideParts();
  // In unsigned arithmetic: the rowids may span more than the signed range.
  const std::uint64_t span = static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first);  // rowids - 1
  if (span / stretches == 0) stretches = 1;
  const std::uint64_t step = span / stretches;
  RunSideBySide(stretches, [&](unsigned k) {
    if (k > 0) db.InterruptWhenClosing();  // the calling thread's handle is the caller's to set
    const std::uint64_t from = static_cast<std::uint64_t>(first) + step * k;
    read(k, static_cast<std::int64_t>(from), k + 1 == stretches ? last : static_cast<std::int64_t>(from + step - 1));
  });
  return static_cast<int>(stretches);
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
