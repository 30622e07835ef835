#pragma once
// One line of the tracker's result list (1112) and the three layouts its searches
// write: the exact branch line ("净买入:"), the buy/sell line ("买:"/"卖:") of the
// two-branch, keyword, stock and multi-stock searches, and the team line of the team
// search ("净买:...亿").
//
// Every line carries what it stands for (stock name, code, day and, for a team line,
// the team), so a handler never takes them back out of the text: a stock name with a
// blank in it is no problem.
//
// Widths ("%-8s" and the like) count GBK bytes: a 4-character name fills "%-8s", a
// 3-character one gets two blanks. Texts are UTF-8.

#include <string>
#include <vector>

#include "platform/gdi_types.h"
#include "platform/win_types.h"
#include "records/list_line.h"

class IClock;

struct TrackerLine : ListLine {
  // ListLine::text is the line, ListLine::colour its colour, ListLine::code the stock code.
  std::string stockName;
  std::string date;      // SB_Date, "YYYY-MM-DD"
  std::string teamName;  // team lines only; "" otherwise

  friend bool operator==(const TrackerLine&, const TrackerLine&) = default;
};

// Colours of the lines.
inline constexpr COLORREF kTrackerTodayColour = RGB(255, 0, 0);       // a listing of today
inline constexpr COLORREF kTrackerLineColour = RGB(0, 0, 255);        // any other listing
inline constexpr COLORREF kTrackerSameStockColour = RGB(255, 0, 255); // lines of the selected stock
inline constexpr COLORREF kTrackerTeamGainColour = RGB(255, 0, 0);    // team line, net above 0
inline constexpr COLORREF kTrackerTeamLossColour = RGB(0, 200, 0);    // team line, net 0 or below

// Today's day text from the clock, "%d-%0.2d-%0.2d".
std::string TrackerToday(const IClock& clock);
// Red when `date` is `today`, else blue.
COLORREF TrackerDateColour(const std::string& date, const std::string& today);

// An amount truncated toward zero to an int, as the lines print it (-12.7 -> -12).
// NaN gives 0; values beyond the int range stop at its ends.
int TruncateAmount(double amount);

// "%02d %-8s %-6s  %-8s 净买入:%-5d, 收:%0.2f"
std::string FormatBranchLineText(int number, const std::string& stockName, const std::string& stockCode,
                                 const std::string& date, int net, double close);
// "%02d %-8s %-7s %-8s 买:%-5d, 卖:%-5d, 收:%0.2f"
std::string FormatBuySellLineText(int number, const std::string& stockName, const std::string& stockCode,
                                  const std::string& date, int buy, int sell, double close);
// "%02d %-8s %-7s  %-8s %-8s 净买:%-5.2f亿 收:%0.2f"; `netYi` is printed as given (a
// negative zero prints "-0.00").
std::string FormatTeamLineText(int number, const std::string& stockName, const std::string& stockCode,
                               const std::string& date, const std::string& teamName, double netYi, double close);

// The lines with their roles; the first two take their colour from the day (today red,
// else blue), the team line from its net (above 0 red, else green).
TrackerLine MakeBranchLine(int number, const std::string& stockName, const std::string& stockCode,
                           const std::string& date, int net, double close, const std::string& today);
TrackerLine MakeBuySellLine(int number, const std::string& stockName, const std::string& stockCode,
                            const std::string& date, int buy, int sell, double close, const std::string& today);
TrackerLine MakeTeamLine(int number, const std::string& stockName, const std::string& stockCode,
                         const std::string& date, const std::string& teamName, double netYi, double close);

// The tracker's text file, "临时文件\追踪游资.txt" in the program folder. GBK, "\n"
// line ends. A search rewrites it (header and lines); the merge appends its blocks.
std::string TrackerFilePath();

// A search's file as GBK bytes: `headerLine` (one of the headers below, or "") and
// then " %s \n" for each line, in list order.
std::string TrackerFileBytes(const std::string& headerLine, const std::vector<TrackerLine>& lines);

// Header lines of the file, each ending in " \n".
std::string BranchFileHeader(const std::string& branch);                               // " 追踪敢死队：%s \n"
std::string TwoBranchFileHeader(const std::string& team1, const std::string& team2);   // " 追踪敢死队：%s    , %s \n"
std::string KeywordFileHeader(const std::string& keyword);                             // " 追踪关键字：%s    ,  \n"
std::string StockFileHeader(const std::string& first, const std::string& second);      // " 追踪个股：%s    , %s \n"
