#include "analysis/tracker_line.h"

#include <cmath>
#include <limits>

#include "platform/app_paths.h"
#include "platform/clock.h"
#include "storage/charset.h"
#include "storage/day_range.h"
#include "storage/gbk_format.h"

std::string TrackerToday(const IClock& clock) {
  const LocalTime now = clock.Now();
  return DayText(now.year, now.month, now.day);
}

COLORREF TrackerDateColour(const std::string& date, const std::string& today) {
  return date == today ? kTrackerTodayColour : kTrackerLineColour;
}

int TruncateAmount(double amount) {
  if (std::isnan(amount)) return 0;
  constexpr double kMax = static_cast<double>(std::numeric_limits<int>::max());
  constexpr double kMin = static_cast<double>(std::numeric_limits<int>::min());
  if (amount >= kMax) return std::numeric_limits<int>::max();
  if (amount <= kMin) return std::numeric_limits<int>::min();
  return static_cast<int>(amount);  // toward zero
}

std::string FormatBranchLineText(int number, const std::string& stockName, const std::string& stockCode,
                                 const std::string& date, int net, double close) {
  return FormatGbk("%02d %-8s %-6s  %-8s 净买入:%-5d, 收:%0.2f", number, stockName, stockCode, date, net, close);
}

std::string FormatBuySellLineText(int number, const std::string& stockName, const std::string& stockCode,
                                  const std::string& date, int buy, int sell, double close) {
  return FormatGbk("%02d %-8s %-7s %-8s 买:%-5d, 卖:%-5d, 收:%0.2f", number, stockName, stockCode, date, buy, sell,
                   close);
}

std::string FormatTeamLineText(int number, const std::string& stockName, const std::string& stockCode,
                               const std::string& date, const std::string& teamName, double netYi, double close) {
  return FormatGbk("%02d %-8s %-7s  %-8s %-8s 净买:%-5.2f亿 收:%0.2f", number, stockName, stockCode, date, teamName,
                   netYi, close);
}

namespace {

TrackerLine WithRoles(std::string text, COLORREF colour, const std::string& stockName, const std::string& stockCode,
                      const std::string& date, const std::string& teamName = "") {
  TrackerLine line;
  line.text = std::move(text);
  line.colour = colour;
  line.code = stockCode;
  line.stockName = stockName;
  line.date = date;
  line.teamName = teamName;
  return line;
}

}  // namespace

TrackerLine MakeBranchLine(int number, const std::string& stockName, const std::string& stockCode,
                           const std::string& date, int net, double close, const std::string& today) {
  return WithRoles(FormatBranchLineText(number, stockName, stockCode, date, net, close),
                   TrackerDateColour(date, today), stockName, stockCode, date);
}

TrackerLine MakeBuySellLine(int number, const std::string& stockName, const std::string& stockCode,
                            const std::string& date, int buy, int sell, double close, const std::string& today) {
  return WithRoles(FormatBuySellLineText(number, stockName, stockCode, date, buy, sell, close),
                   TrackerDateColour(date, today), stockName, stockCode, date);
}

TrackerLine MakeTeamLine(int number, const std::string& stockName, const std::string& stockCode,
                         const std::string& date, const std::string& teamName, double netYi, double close) {
  return WithRoles(FormatTeamLineText(number, stockName, stockCode, date, teamName, netYi, close),
                   netYi > 0 ? kTrackerTeamGainColour : kTrackerTeamLossColour, stockName, stockCode, date, teamName);
}

std::string TrackerFilePath() { return AppPath("\\临时文件\\追踪游资.txt"); }

std::string TrackerFileBytes(const std::string& headerLine, const std::vector<TrackerLine>& lines) {
  std::string bytes = ToGbk(headerLine);
  for (const TrackerLine& line : lines) {
    bytes += ' ';
    bytes += ToGbk(line.text);
    bytes += " \n";
  }
  return bytes;
}

std::string BranchFileHeader(const std::string& branch) { return " 追踪敢死队：" + branch + " \n"; }

std::string TwoBranchFileHeader(const std::string& team1, const std::string& team2) {
  return " 追踪敢死队：" + team1 + "    , " + team2 + " \n";
}

std::string KeywordFileHeader(const std::string& keyword) { return " 追踪关键字：" + keyword + "    ,  \n"; }

std::string StockFileHeader(const std::string& first, const std::string& second) {
  return " 追踪个股：" + first + "    , " + second + " \n";
}
