#pragma once
// The branch marks of the user database ("Custom.mdb", table YYBMark): the list in the
// settings page's order, the mark of a name, and the checked add, update and delete of
// the marks editor. Every value is bound; texts are compared without regard to ASCII
// case where uniqueness is concerned, as the table's own columns compare them.

#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "storage/ado_database.h"

struct BranchMark {            // one YYBMark row
  std::string YYBName, Abbreviation, TeamName, YYBMark;
  int Number1 = 0;             // NULL reads 0
  COLORREF Color = 0;
  int IsLike = 0;
  int TeamNumber = 0;
};
// The editor's fields as typed.
struct BranchMarkInput {
  std::string name, abbreviation, number1Text, teamName, teamNumberText, remark;
  COLORREF color = 0;
  int isLike = 0;              // the combo index
};
struct MarkOutcome {
  bool ok = false;
  std::string message;         // the message box text when !ok
};
inline constexpr const char* kMarksReadFailedText = "读取营业部标记失败!";
inline constexpr const char* kMarkDeleteFailedText = "删除营业部标记失败!";
inline constexpr const char* kMarkAddFailedText = "添加营业部标记失败!";
inline constexpr const char* kMarkUpdateFailedText = "更新营业部标记失败!";
inline constexpr const char* kMarkNameEmptyText = "营业部名称不能为空!";
inline constexpr const char* kMarkNameTakenText = "列表中已有该营业部!";
inline constexpr const char* kMarkNameMissingText = "列表中没有该营业部，请先添加!";
inline constexpr const char* kMarkNumberNotIntegerText = "营业部编号必须是整数!";
inline constexpr const char* kTeamNumberNotIntegerText = "团队编号必须是整数!";
inline constexpr const char* kMarkNumberRangeText = "营业部编号只能是1到199!";
inline constexpr const char* kMarkNumberTakenText = "营业部编号已被使用!";
inline constexpr const char* kTeamNumberRangeText = "团队编号只能是200到459!";
inline constexpr const char* kAbbreviationTakenText = "营业部缩写已被使用!";
inline constexpr const char* kSeriesNameRuleText = "名称不能超过47字节，且不能含 / \\ ' 等字符!";

// Number1 of a branch with a data series: 1..199 (the branch series 301..499).
inline constexpr int kMinMarkNumber = 1;
inline constexpr int kMaxMarkNumber = 199;
// TeamNumber of a team with a data series: 200..459 (the team series 500..759).
inline constexpr int kMinTeamNumber = 200;
inline constexpr int kMaxTeamNumber = 459;
// Abbreviations and team names become data-list names, marker file names and quoted
// formula text: at most this many GBK bytes.
inline constexpr std::size_t kMaxSeriesNameBytes = 47;

class BranchMarkStore {
 public:
  explicit BranchMarkStore(CADODataBase& db);   // the user database "Custom.mdb"
  // Numbered marks (Number1 >= 1, by Number1, rowid), then the others (IFNULL(Number1,0) < 1, by Color,
  // rowid): nullopt when a query failed (the page then leaves its list as it is).
  std::optional<std::vector<BranchMark>> LoadMarks();
  // The mark of that name (bound, WHERE YYBName = ?); nullopt inside when none; outer nullopt on failure.
  std::optional<std::optional<BranchMark>> FindByName(const std::string& name);
  // Validation of the editor's rules with their messages, then INSERT / UPDATE (bound). A database
  // failure (of a check's query or of the write) gives "添加营业部标记失败!" / "更新营业部标记失败!".
  // Name trimmed.
  //
  // The check and the write run in one transaction, so no other writer can slip a clashing
  // row in between. The name, abbreviation and team name are stored trimmed, the remark as
  // typed; a number of 0 or less is stored as 0 (none). Update finds its row by name
  // without regard to ASCII case and leaves the stored name's spelling as it is.
  MarkOutcome Add(const BranchMarkInput& input);
  MarkOutcome Update(const BranchMarkInput& input);
  // DELETE FROM YYBMark WHERE YYBName = ? ; false when the database refused (or is not open).
  // A name that is not there deletes nothing and succeeds.
  bool Delete(const std::string& name);
  // The validation alone (used by Add/Update): "" when valid. `updating` changes which existence check applies.
  // A query that fails gives "读取营业部标记失败!".
  std::string Validate(const BranchMarkInput& input, bool updating);

 private:
  MarkOutcome Write(const BranchMarkInput& input, bool updating);

  CADODataBase& db_;
};

// The number typed into a number field: empty (or blanks) is 0, otherwise an optional sign
// and decimal digits with blanks around them. nullopt for anything else; a value beyond
// the int range is clamped (it is out of every allowed range either way).
std::optional<int> ParseMarkNumber(const std::string& text);
// Whether an abbreviation or team name may become a series name: at most 47 GBK bytes,
// every character in GBK, and no '/', '\', '\'' or control character. "" passes.
bool IsValidSeriesName(const std::string& text);
// The text without ASCII blanks and ideographic spaces (U+3000) at both ends.
std::string TrimMarkText(const std::string& text);
