#pragma once
// The teams of the branch marks (table YYBMark of "Custom.mdb") and how a stock's seats
// count for them: shared by the daily list, the tracker and the team search.

#include <string>
#include <vector>

#include "records/stock_detail_record.h"
#include "storage/ado_database.h"
#include "storage/row_records.h"

// The first member a team named so is given its extra branch after.
inline constexpr const char* kTeamExtraBranch = "中信证券股份有限公司杭州四季路证券营业部";
// Teams are the branch marks with a TeamNumber of at least this.
inline constexpr int kFirstTeamNumber = 200;
// Shown when the teams cannot be read: the text users know from earlier versions,
// placeholder and stray quote included.
inline constexpr const char* kTeamsQueryFailedText = "SELECT * FROM YYBMark where TeamNumber>=%d', Error";

// The teams of the branch marks, for every page that looks for them: the YYBMark rows
// with TeamNumber >= kFirstTeamNumber, highest number first, each run of rows with one
// number (in stored order) one team whose members are the rows' YYBName in that order
// and whose name is the rows' TeamName (the last row's when they differ). A team named
// "温州系" or "山东系" gets kTeamExtraBranch right after its first member, once. No
// row gives no team. False when the query fails; `teams` is empty then.
bool ReadBranchTeams(CADODataBase& custom, std::vector<CBranchTeamRow>& teams);

// Sets sell seat figures that repeat a buy seat's figure to 0, each field on its own:
// a sell seat's BuyAmount equal to any buy seat's BuyAmount becomes 0, and likewise
// (independently) its SellAmount.
void RemoveRepeatedSeatFigures(StockDetailRecord& record);
