#include "views/daily_exports.h"

#include "platform/app_paths.h"
#include "platform/message_box.h"
#include "storage/charset.h"
#include "storage/file_io.h"
#include "storage/gbk_format.h"

namespace {

// The files were written in text mode: every "\n" becomes "\r\n". A GBK trail byte is
// never 0x0A, so the bytes can be mapped one by one.
std::string WithCrLf(const std::string& gbk) {
  std::string out;
  out.reserve(gbk.size() + gbk.size() / 16 + 8);
  for (const char c : gbk) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string Amount0(double value) { return FormatGbk("%0.0f", value); }

void AppendSeats(std::string& out, const char* label, const std::array<std::string, 5>& names,
                 const std::array<SeatFigures, 5>& seats) {
  for (std::size_t i = 0; i < 5; ++i) {
    const SeatFigures& seat = seats[i];
    out += FormatGbkBytes("\n %-3s ", FormatGbk(label, static_cast<int>(i + 1)));
    out += FormatGbkBytes("%-50s ", names[i]);
    out += FormatGbkBytes("%-10s ", Amount0(seat.BuyAmount));
    out += FormatGbkBytes("%-10s ", Amount0(seat.SellAmount));
    out += FormatGbkBytes("%-10s ", Amount0(seat.BuyAmount - seat.SellAmount));
  }
}

void Warn(const char* text) { MessageBox(text, kExportMessageCaption, MB_OK | MB_ICONWARNING); }

}  // namespace

std::string NetBuyFilePath() { return AppPath("\\临时文件\\每日净买入排序.txt"); }
std::string SuggestionFilePath() { return AppPath("\\临时文件\\建议关注个股及追踪游资.txt"); }
std::string StockDetailFilePath() { return AppPath("\\临时文件\\个股成交明细.txt"); }

std::string NetBuyFileBytes(const std::vector<std::string>& dayLines) {
  std::string out;
  for (const std::string& line : dayLines) out += FormatGbkBytes("%s \n", line);
  out += "\n\n";
  return WithCrLf(out);
}

std::string SuggestionBlockBytes(const std::vector<std::string>& suggestionLines) {
  std::string out = FormatGbkBytes("%s \n", kSuggestionFileHeader);
  for (const std::string& line : suggestionLines) out += FormatGbkBytes("%s \n", line);
  out += "\n\n";
  return WithCrLf(out);
}

std::string StockDetailFileBytes(const StockDetailRecord& record, double totalBuy, double totalSell) {
  std::string out = FormatGbkBytes("-----------------个股Velkor买卖明细: %s ------------ \n", record.StockName);
  out += FormatGbkBytes(" 股票名称：%s, 股票代码：%s, 今收：%s, 涨跌幅：%s, 上榜理由:%s \n", record.StockName,
                        record.StockCode, FormatGbk("%0.2f", static_cast<double>(record.JinShou)),
                        FormatGbk("%0.2f", static_cast<double>(record.ZhangFu)), record.SB_Reason);
  AppendSeats(out, "买%d", record.BuyNames, record.Buy);
  out += "\n\n";
  AppendSeats(out, "卖%d", record.SellNames, record.Sell);
  out += "\n\n";
  out += FormatGbkBytes(" 总买入：%s,  ", Amount0(totalBuy));
  // "总卖入" is the file's own wording, kept for whoever reads these files.
  out += FormatGbkBytes("   总卖入：%s,  ", Amount0(totalSell));
  out += FormatGbkBytes("   净买入：%s  \n", Amount0(totalBuy - totalSell));
  return WithCrLf(out);
}

bool WriteNetBuyFile(const std::vector<std::string>& dayLines) {
  if (ReplaceFileContents(NetBuyFilePath(), NetBuyFileBytes(dayLines), FileSync::Deferred)) return true;
  Warn(kNetBuyFileErrorText);
  return false;
}

bool AppendSuggestionBlock(const std::vector<std::string>& suggestionLines) {
  if (AppendToFile(SuggestionFilePath(), SuggestionBlockBytes(suggestionLines))) return true;
  Warn(kFileOpenErrorText);
  return false;
}

bool WriteStockDetailFile(const StockDetailRecord& record, double totalBuy, double totalSell) {
  if (ReplaceFileContents(StockDetailFilePath(), StockDetailFileBytes(record, totalBuy, totalSell),
                          FileSync::Deferred)) return true;
  Warn(kFileOpenErrorText);
  return false;
}
