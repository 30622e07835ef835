#include "charting/branch_mark_store.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "charting/soft_list.h"
#include "storage/charset.h"
#include "storage/row_cursor.h"

namespace {

constexpr const char* kMarkColumns =
    "SELECT YYBName, Abbreviation, TeamName, YYBMark, Number1, Color, IsLike, TeamNumber FROM YYBMark ";

int ClampToInt(std::int64_t value) {
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

BranchMark MarkOfRow(const RowCursor& row) {
  BranchMark mark;
  mark.YYBName = std::string(row.Text(0));
  mark.Abbreviation = std::string(row.Text(1));
  mark.TeamName = std::string(row.Text(2));
  mark.YYBMark = std::string(row.Text(3));
  mark.Number1 = ClampToInt(row.Int(4));  // NULL reads 0
  mark.Color = static_cast<COLORREF>(static_cast<std::uint64_t>(row.Int(5)) & 0xFFFFFFFFu);
  mark.IsLike = ClampToInt(row.Int(6));
  mark.TeamNumber = ClampToInt(row.Int(7));
  return mark;
}

// Appends the rows of one query; false when it could not be run to its end.
bool AppendMarks(CADODataBase& db, const std::string& sql, const std::vector<DbValue>& params,
                 std::vector<BranchMark>& marks) {
  RowCursor rows(db);
  if (!rows.Open(sql, params)) return false;
  while (rows.Next()) marks.push_back(MarkOfRow(rows));
  return !rows.Failed();
}

// count(*) of a query; nullopt when it failed.
std::optional<std::int64_t> Count(CADODataBase& db, const std::string& sql, const std::vector<DbValue>& params) {
  RowCursor rows(db);
  if (!rows.Open(sql, params) || !rows.Next()) return std::nullopt;
  return rows.Int(0);
}

}  // namespace

std::string TrimMarkText(const std::string& text) { return TrimSoftText(text); }

std::optional<int> ParseMarkNumber(const std::string& text) {
  const std::string trimmed = TrimMarkText(text);
  if (trimmed.empty()) return 0;
  std::size_t i = 0;
  bool negative = false;
  if (trimmed[i] == '+' || trimmed[i] == '-') negative = trimmed[i++] == '-';
  if (i == trimmed.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < trimmed.size(); ++i) {
    const char c = trimmed[i];
    if (c < '0' || c > '9') return std::nullopt;
    if (value <= INT_MAX) value = value * 10 + (c - '0');  // stops growing once out of range
  }
  return ClampToInt(negative ? -value : value);
}

bool IsValidSeriesName(const std::string& text) {
  if (text.empty()) return true;
  if (!IsValidUtf8(text)) return false;
  const std::string gbk = ToGbk(text);
  // A character GBK does not hold comes back as '?': the round trip tells.
  if (gbk.size() > kMaxSeriesNameBytes || FromGbk(gbk) != text) return false;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\' || c == '\'') return false;
  }
  return true;
}

BranchMarkStore::BranchMarkStore(CADODataBase& db) : db_(db) {}

std::optional<std::vector<BranchMark>> BranchMarkStore::LoadMarks() {
  std::vector<BranchMark> marks;
  // The second query also takes NULL numbers, so that no row is left out of the list.
  if (!AppendMarks(db_, std::string(kMarkColumns) + "WHERE Number1 >= 1 ORDER BY Number1, rowid", {}, marks) ||
      !AppendMarks(db_, std::string(kMarkColumns) + "WHERE IFNULL(Number1, 0) < 1 ORDER BY Color, rowid", {},
                   marks)) {
    return std::nullopt;
  }
  return marks;
}

std::optional<std::optional<BranchMark>> BranchMarkStore::FindByName(const std::string& name) {
  std::vector<BranchMark> marks;
  if (!AppendMarks(db_, std::string(kMarkColumns) + "WHERE YYBName = ? ORDER BY rowid LIMIT 1", {name}, marks)) {
    return std::nullopt;
  }
  if (marks.empty()) return std::optional<BranchMark>();
  return std::optional<BranchMark>(std::move(marks.front()));
}

std::string BranchMarkStore::Validate(const BranchMarkInput& input, bool updating) {
  const std::string name = TrimMarkText(input.name);
  if (name.empty()) return kMarkNameEmptyText;
  const auto named = Count(db_, "SELECT count(*) FROM YYBMark WHERE YYBName = ? COLLATE NOCASE", {name});
  if (!named) return kMarksReadFailedText;
  if (!updating && *named > 0) return kMarkNameTakenText;
  if (updating && *named == 0) return kMarkNameMissingText;

  const std::optional<int> number1 = ParseMarkNumber(input.number1Text);
  if (!number1) return kMarkNumberNotIntegerText;
  const std::optional<int> teamNumber = ParseMarkNumber(input.teamNumberText);
  if (!teamNumber) return kTeamNumberNotIntegerText;
  if (*number1 > 0 && (*number1 < kMinMarkNumber || *number1 > kMaxMarkNumber)) return kMarkNumberRangeText;
  if (*teamNumber > 0 && (*teamNumber < kMinTeamNumber || *teamNumber > kMaxTeamNumber)) {
    return kTeamNumberRangeText;
  }
  const std::string abbreviation = TrimMarkText(input.abbreviation);
  if (!IsValidSeriesName(abbreviation) || !IsValidSeriesName(TrimMarkText(input.teamName))) {
    return kSeriesNameRuleText;
  }

  // Uniqueness among the other rows: on an update the row itself keeps its number and
  // abbreviation.
  if (*number1 > 0) {
    const auto taken =
        Count(db_, "SELECT count(*) FROM YYBMark WHERE Number1 = ? AND YYBName <> ? COLLATE NOCASE", {*number1, name});
    if (!taken) return kMarksReadFailedText;
    if (*taken > 0) return kMarkNumberTakenText;
  }
  if (!abbreviation.empty()) {
    const auto taken = Count(
        db_, "SELECT count(*) FROM YYBMark WHERE Abbreviation = ? COLLATE NOCASE AND YYBName <> ? COLLATE NOCASE",
        {abbreviation, name});
    if (!taken) return kMarksReadFailedText;
    if (*taken > 0) return kAbbreviationTakenText;
  }
  return {};
}

MarkOutcome BranchMarkStore::Add(const BranchMarkInput& input) { return Write(input, false); }

MarkOutcome BranchMarkStore::Update(const BranchMarkInput& input) { return Write(input, true); }

MarkOutcome BranchMarkStore::Write(const BranchMarkInput& input, bool updating) {
  const MarkOutcome failed{false, updating ? kMarkUpdateFailedText : kMarkAddFailedText};
  // The rules first, so that a typing mistake gets its own message even when the file
  // cannot be written; then again under the write lock, where the answer holds until
  // the row is written.
  // A read that fails is this write failing.
  const auto check = [&]() -> std::optional<MarkOutcome> {
    std::string message = Validate(input, updating);
    if (message.empty()) return std::nullopt;
    if (message == kMarksReadFailedText) return failed;
    return MarkOutcome{false, std::move(message)};
  };
  if (auto refused = check()) return *refused;
  CADOTransaction transaction(db_);
  if (!transaction.IsActive()) return failed;
  if (auto refused = check()) return *refused;

  const std::string name = TrimMarkText(input.name);
  const int number1 = std::max(*ParseMarkNumber(input.number1Text), 0);
  const int teamNumber = std::max(*ParseMarkNumber(input.teamNumberText), 0);
  const std::vector<DbValue> values{number1,
                                    static_cast<std::int64_t>(input.color),
                                    input.isLike,
                                    teamNumber,
                                    TrimMarkText(input.teamName),
                                    TrimMarkText(input.abbreviation),
                                    input.remark,
                                    name};
  if (updating) {
    if (!db_.Execute("UPDATE YYBMark SET Number1 = ?, Color = ?, IsLike = ?, TeamNumber = ?, TeamName = ?, "
                     "Abbreviation = ?, YYBMark = ? WHERE YYBName = ? COLLATE NOCASE",
                     values) ||
        db_.GetRecordsAffected() == 0) {
      return failed;
    }
  } else if (!db_.Execute("INSERT INTO YYBMark (Number1, Color, IsLike, TeamNumber, TeamName, Abbreviation, "
                          "YYBMark, YYBName) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                          values)) {
    return failed;
  }
  if (!transaction.Commit()) return failed;
  return {true, {}};
}

bool BranchMarkStore::Delete(const std::string& name) {
  if (!db_.IsOpen()) return false;
  return db_.Execute("DELETE FROM YYBMark WHERE YYBName = ?", {name});
}
