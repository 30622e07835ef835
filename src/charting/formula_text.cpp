#include "charting/formula_text.h"

#include <cstdio>
#include <vector>

#include "charting/data_cfg.h"
#include "storage/ado_database.h"
#include "storage/charset.h"
#include "storage/file_io.h"
#include "storage/row_records.h"

namespace {

const char* const kHeaderLines[] = {
    "是否上榜 : SIGNALS_USER(300, 0), NODRAW; {上榜金额>1，则表示上榜了，这个是上榜总金额} \r\n",
    "净买入: SIGNALS_USER(299, 0), NODRAW; \r\n",
    "HIGH1 := IF(MOD(DAY,2) = 1,  100, 95); \r\n",
    "STICKLINE(是否上榜>=1 AND 净买入>=0 , 1, HIGH1, 0.2, 0), COLORRED; \r\n",
    "STICKLINE(是否上榜>=1 AND 净买入<0 , 1, HIGH1, 0.2, 0), COLORGREEN; \r\n",
};

// Every "%d" of a block line is the series number; "%s" is the name in the first line
// and the colour text in the last.
const char* const kBlockLines[] = {
    "Name_%d := '%s: ';\r\n",
    "BUY_%d    := SIGNALS_USER(%d, 0);   \r\n",
    "XSW_%d := ROUND( (ABS(FRACPART(BUY_%d))) * 100.0 ); \r\n",
    "B1_%d:= IF((XSW_%d>=8)  && (XSW_%d<18),  '买1,', ''); \r\n",
    "B2_%d:= IF((XSW_%d>=18) && (XSW_%d<28),  '买2,', '');\r\n",
    "B3_%d:= IF((XSW_%d>=28)  && (XSW_%d<38), '买3,', ''); \r\n",
    "B4_%d:= IF((XSW_%d>=38) && (XSW_%d<48),  '买4,', '');\r\n",
    "B5_%d:= IF((XSW_%d>=48)  && (XSW_%d<58), '买5,', ''); \r\n",
    "XSW2_%d := IF(XSW_%d>10.0,  ROUND(FRACPART(XSW_%d/10) * 10), XSW_%d);\r\n",
    "S1_%d:= IF((XSW2_%d>=0.8 ) && (XSW2_%d<1.7 ) || (XSW2_%d=1.0), '卖1,', '');\r\n",
    "S2_%d:= IF((XSW2_%d>=2.1 ) && (XSW2_%d<2.7 ) || (XSW2_%d=2.0), '卖2,', '');\r\n",
    "S3_%d:= IF((XSW2_%d>=3.1 ) && (XSW2_%d<3.7 ) || (XSW2_%d=3.0), '卖3,', '');\r\n",
    "S4_%d:= IF((XSW2_%d>=4.1 ) && (XSW2_%d<4.7 ) || (XSW2_%d=4.0), '卖4,', '');\r\n",
    "S5_%d:= IF((XSW2_%d>5.1 )  && (XSW2_%d<5.7 ) || (XSW2_%d=5.0), '卖5,', '');\r\n",
    "TEXT2_%d:= VARCAT(VARCAT(VARCAT(VARCAT(VARCAT(Name_%d, B1_%d), B2_%d), B3_%d), B4_%d), B5_%d);\r\n",
    "TEXT3_%d:= VARCAT(VARCAT(VARCAT(VARCAT(VARCAT(TEXT2_%d, S1_%d), S2_%d), S3_%d), S4_%d), S5_%d);\r\n",
    "OutText_%d:= VARCAT(VARCAT(TEXT3_%d, ' '), VAR2STR(BUY_%d , 0)), NODRAW;\r\n",
    "WZ1_%d    := IF((XSW_%d>=8)  && (XSW_%d<56), 104-XSW_%d, 1);\r\n",
    "WZ6_%d    := IF( (XSW2_%d>=1.0) && (XSW2_%d <= 6), 50-XSW2_%d*8, 0);  \r\n",
    "TWZ_%d := IF(XSW_%d>=8.0,  1*WZ1_%d, 1*WZ6_%d );\r\n",
    "DRAWTEXT(  (ABS(BUY_%d) >= 10) AND   (TWZ_%d>=1), TWZ_%d/100*HIGH1, OutText_%d),  %s;\r\n\r\n",
};

std::string Fill(const char* pattern, const std::string& number, const std::string& text) {
  std::string out;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 'd') {
      out += number;
      ++p;
    } else if (p[0] == '%' && p[1] == 's') {
      out += text;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace

std::string FormulaColourText(COLORREF colour) {
  char text[16];
  std::snprintf(text, sizeof text, "COLOR%02X%02X%02X", static_cast<unsigned>((colour >> 16) & 0xFFu),
                static_cast<unsigned>((colour >> 8) & 0xFFu), static_cast<unsigned>(colour & 0xFFu));
  return text;
}

std::string FormulaHeaderText() {
  std::string out;
  for (const char* line : kHeaderLines) out += line;
  return out;
}

std::string FormulaBlockText(int series, const std::string& name, COLORREF colour) {
  const std::string number = std::to_string(series);
  const std::string colourText = FormulaColourText(colour);
  std::string out;
  const std::size_t count = sizeof kBlockLines / sizeof kBlockLines[0];
  for (std::size_t i = 0; i < count; ++i) {
    out += Fill(kBlockLines[i], number, i == 0 ? name : colourText);
  }
  return out;
}

CFormulaText::CFormulaText() : text_(FormulaHeaderText()) {}

void CFormulaText::WriteBranchFormula(int series, const std::string& abbreviation, COLORREF colour) {
  text_ += FormulaBlockText(series, abbreviation, colour);
  ++blocks_;
}

void CFormulaText::WriteTeamFormula(int series, const std::string& teamName, COLORREF colour) {
  text_ += FormulaBlockText(series, teamName, colour);
  ++blocks_;
}

bool CFormulaText::WriteTeamFormulas(CADODataBase& user, bool* queryFailed) {
  std::vector<CBranchTeamRow> teams;
  const bool ok = QueryTeams(user,
                             "SELECT TeamNumber, TeamName, IsLike, Color, YYBName FROM YYBMark "
                             "WHERE TeamNumber >= ? ORDER BY TeamNumber DESC, rowid",
                             {kFirstFormulaTeam}, teams);
  if (queryFailed != nullptr) *queryFailed = !ok;
  for (const CBranchTeamRow& team : teams) {
    if (team.IsLike == 1) WriteTeamFormula(300 + team.TeamNumber, TeamSeriesName(team), team.Color);
  }
  return !teams.empty();
}

std::string CFormulaText::Bytes() const { return ToGbk(text_); }

bool CFormulaText::Save(const std::string& path) const { return ReplaceFileContents(path, Bytes()); }
