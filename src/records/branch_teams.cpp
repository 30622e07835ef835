#include "records/branch_teams.h"

#include "storage/ado_recordset.h"
#include "storage/ole_types.h"

namespace {

bool TakesExtraBranch(const std::string& teamName) { return teamName == "温州系" || teamName == "山东系"; }

}  // namespace

void RemoveRepeatedSeatFigures(StockDetailRecord& record) {
  // Field by field: a branch that stands among the buyers and the sellers counts once;
  // an unrelated seat whose one figure happens to match loses that figure too.
  for (const SeatFigures& buy : record.Buy) {
    for (SeatFigures& sell : record.Sell) {
      if (sell.BuyAmount == buy.BuyAmount) sell.BuyAmount = 0;
      if (sell.SellAmount == buy.SellAmount) sell.SellAmount = 0;
    }
  }
}

bool ReadBranchTeams(CADODataBase& custom, std::vector<CBranchTeamRow>& teams) {
  teams.clear();
  CADORecordset rs(&custom);
  const std::string sql =
      "SELECT TeamName, YYBName, TeamNumber FROM YYBMark WHERE TeamNumber >= ? ORDER BY TeamNumber DESC, rowid";
  if (!rs.Open(sql, {DbValue(kFirstTeamNumber)})) return false;
  CBranchTeamRow team;
  bool started = false;
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string teamName;
    std::string member;
    int number = 0;
    rs.GetFieldValue("TeamName", teamName);
    rs.GetFieldValue("YYBName", member);
    rs.GetFieldValue("TeamNumber", number);
    if (started && number != team.TeamNumber) {
      teams.push_back(std::move(team));
      started = false;
    }
    if (!started) {
      team = CBranchTeamRow{};
      team.TeamNumber = number;
      team.TeamName = teamName;
      team.Members.push_back(member);
      // These two teams always include the branch below, right after their first
      // member, even when it is a member already.
      if (TakesExtraBranch(teamName)) team.Members.push_back(kTeamExtraBranch);
      started = true;
    } else {
      // Every row of a team names it; when they disagree, the last one does.
      team.TeamName = teamName;
      team.Members.push_back(member);
    }
  }
  if (started) teams.push_back(std::move(team));
  rs.Close();
  return true;
}
