#include "block_trade_pages.h"

#include <cstdio>
#include <set>
#include <stdexcept>

#include "page_generator.h"  // EncodeGbk

namespace {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::int64_t Range(std::int64_t lo, std::int64_t hi) {
    return lo + static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  const std::string& Pick(const std::vector<std::string>& items) {
    return items[static_cast<std::size_t>(Range(0, static_cast<std::int64_t>(items.size()) - 1))];
  }
  bool Chance(int percent) { return Range(0, 99) < percent; }

 private:
  std::uint64_t state_;
};

std::uint64_t SeedOf(std::string_view month, std::uint32_t seed) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : month) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h ^ (static_cast<std::uint64_t>(seed) << 32 | 0x5A5Au);
}

const std::vector<std::string> kNameHeads = {"华", "中", "国", "金", "东", "海", "新", "天", "长", "宏"};
const std::vector<std::string> kNameTails = {"科技", "股份", "电子", "药业", "控股", "实业", "能源", "传媒"};
const std::vector<std::string> kCodePrefixes = {"000", "002", "300", "600", "601", "603"};
const std::vector<std::string> kBrokers = {"中信证券股份有限公司", "国泰君安证券股份有限公司", "华泰证券股份有限公司",
                                           "招商证券股份有限公司", "海通证券股份有限公司", "广发证券股份有限公司"};
const std::vector<std::string> kCities = {"上海", "深圳", "北京", "杭州", "南京", "成都"};
const std::vector<std::string> kStreets = {"南京西路", "金田路", "解放北路", "人民路", "滨江大道", "天府大道"};

std::string TwoDecimals(std::int64_t cents) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(cents / 100),
                static_cast<long long>(cents % 100));
  return text;
}

std::string Branch(Random& rng) {
  if (rng.Chance(20)) return "机构专用";
  return rng.Pick(kBrokers) + rng.Pick(kCities) + rng.Pick(kStreets) + "证券营业部";
}

// One trade; `decimalVolume` / `decimalAmount` show those figures with decimals.
BlockTradeModel MakeTrade(Random& rng, float close, int rowNumber, bool decimalVolume, bool decimalAmount) {
  BlockTradeModel trade;
  trade.rowNumber = rowNumber;
  const std::int64_t priceCents = static_cast<std::int64_t>(close * 100.0f + 0.5f) * rng.Range(85, 100) / 100;
  trade.priceText = TwoDecimals(priceCents);
  trade.price = static_cast<float>(static_cast<double>(priceCents) / 100.0);
  const std::int64_t volume = rng.Range(10, 3000);
  if (decimalVolume) {
    trade.volumeText = std::to_string(volume) + "." + std::to_string(rng.Range(10, 99));
  } else {
    trade.volumeText = std::to_string(volume);
  }
  trade.volume = static_cast<std::int32_t>(volume);
  const std::int64_t amount = volume * priceCents / 100 + 1;
  trade.amountText = decimalAmount ? std::to_string(amount) + "." + std::to_string(rng.Range(10, 99))
                                   : std::to_string(amount);
  trade.amount = static_cast<float>(amount);
  trade.buyer = Branch(rng);
  trade.seller = Branch(rng);
  return trade;
}

BlockTradeStockModel MakeStock(Random& rng, std::string code, int trades, bool decimalVolume = false,
                               bool decimalAmount = false) {
  BlockTradeStockModel stock;
  stock.code = std::move(code);
  stock.name = rng.Pick(kNameHeads) + rng.Pick(kNameHeads) + rng.Pick(kNameTails);
  const std::int64_t closeCents = rng.Range(300, 9000);
  stock.closeText = TwoDecimals(closeCents);
  stock.close = static_cast<float>(static_cast<double>(closeCents) / 100.0);
  for (int i = 0; i < trades; ++i) {
    stock.trades.push_back(MakeTrade(rng, stock.close, i + 1, decimalVolume && i == trades - 1,
                                     decimalAmount || rng.Chance(30)));
  }
  return stock;
}

std::string RandomCode(Random& rng, std::set<std::string>& used) {
  for (;;) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03d", static_cast<int>(rng.Range(1, 999)));
    std::string code = rng.Pick(kCodePrefixes) + digits;
    if (used.insert(code).second) return code;
  }
}

std::string Line(std::string_view text) { return std::string(text) + "\r\n"; }

std::string Cell(bool bare, std::string_view cls, std::string_view value, bool closed = true) {
  std::string open = bare ? "<td>" : "<td class=\"" + std::string(cls) + "\">";
  return open + std::string(value) + (closed ? "</td>" : "");
}

std::string TradeCells(const BlockTradeModel& trade, bool bare) {
  return Cell(bare, "tr", trade.priceText) + Cell(bare, "tr", trade.volumeText) + Cell(bare, "tr", trade.amountText) +
         Cell(bare, "tl", trade.buyer, !trade.brokenCell) + Cell(bare, "tl", trade.seller);
}

std::string StockFirstCells(const BlockTradeStockModel& stock, bool bare) {
  const std::size_t n = stock.trades.size();
  const std::string span = n > 1 ? " rowspan=\"" + std::to_string(n) + "\"" : "";
  const std::string link = "<a href=\"/stock/" + stock.code + ".html\" target=\"_blank\">";
  std::string html = "<td" + span + (bare ? "" : " class=\"tc\"") + ">" + link + stock.code + "</a></td>";
  html += "<td" + span + ">" + link + stock.name + "</a></td>";
  html += "<td" + span + "><a href=\"/dzjy/" + stock.code + ".html\">明细</a></td>";
  if (n > 1) {
    html += "<td" + span + (bare ? "" : " class=\"tr\"") + ">" + stock.closeText + "</td>";
  } else {
    html += std::string(bare ? "<td>" : "<td class=\"tr\">") + "<span class=\"red\">" + stock.closeText + "</span></td>";
  }
  return html;
}

std::string DayRows(const BlockTradeDayModel& day, bool bare) {
  std::string html;
  bool first = true;
  for (const BlockTradeStockModel& stock : day.stocks) {
    for (std::size_t t = 0; t < stock.trades.size(); ++t) {
      std::string row = "<tr class=\"list_eve\">";
      if (first) {
        row += "<td rowspan=\"" + std::to_string(day.Rows()) + "\" valign=\"middle\"><strong>" + day.shownDate +
               "</strong></td>";
        first = false;
      }
      if (t == 0) row += StockFirstCells(stock, bare);
      row += TradeCells(stock.trades[t], bare) + "</tr>";
      html += Line(row);
    }
  }
  return html;
}

}  // namespace

bool BlockTradeStockModel::MainBoard() const {
  const std::string board = code.substr(0, 2);
  return board == "00" || board == "30" || board == "60";
}

int BlockTradeDayModel::Rows() const {
  int rows = 0;
  for (const BlockTradeStockModel& stock : stocks) rows += static_cast<int>(stock.trades.size());
  return rows;
}

int BlockTradeDayModel::ExpectedParsed() const {
  int parsed = 0;
  for (const BlockTradeStockModel& stock : stocks) {
    if (!stock.MainBoard()) continue;
    for (const BlockTradeModel& trade : stock.trades) parsed += trade.brokenCell ? 0 : 1;
  }
  return parsed;
}

std::vector<CBlockTradeRow> BlockTradeMonthModel::ExpectedRows() const {
  std::vector<CBlockTradeRow> rows;
  for (const BlockTradeDayModel& day : days) {
    if (!day.Readable()) continue;
    for (const BlockTradeStockModel& stock : day.stocks) {
      if (!stock.MainBoard()) continue;
      for (const BlockTradeModel& trade : stock.trades) {
        if (trade.brokenCell) continue;
        CBlockTradeRow row;
        row.Day = day.day;
        row.StockCode = stock.code;
        row.StockName = stock.name;
        row.nCount = trade.rowNumber;
        row.SPJ = stock.close;
        row.CJJ = trade.price;
        row.CJSL = trade.volume;
        row.CJJE = trade.amount;
        row.SellName = trade.seller;
        row.BuyName = trade.buyer;
        rows.push_back(std::move(row));
      }
    }
  }
  return rows;
}

std::vector<std::string> BlockTradeMonthModel::ExpectedDayLines(bool alreadyStored) const {
  std::vector<std::string> lines;
  for (const BlockTradeDayModel& day : days) {
    if (!day.Readable()) {
      lines.push_back("大宗交易数据：日期无法识别，跳过该日!!!");
      continue;
    }
    const int parsed = day.ExpectedParsed();
    lines.push_back(day.day + ", 总行数=" + std::to_string(day.Rows()) + ", 解析行数=" + std::to_string(parsed) +
                    ",有效行=" + std::to_string(alreadyStored ? 0 : parsed) + "\n");
  }
  return lines;
}

BlockTradeMonthModel MakeBlockTradeMonth(std::string_view yyyymm, const std::vector<std::string>& days,
                                         std::uint32_t seed, const BlockTradeMonthOptions& options) {
  Random rng(SeedOf(yyyymm, seed));
  BlockTradeMonthModel month;
  month.month = std::string(yyyymm);
  for (std::size_t d = 0; d < days.size(); ++d) {
    BlockTradeDayModel day;
    day.day = days[d];
    day.shownDate = days[d];
    std::set<std::string> used;
    if (d == 0 && options.specialStocks) {
      for (const char* code : {"000651", "200625", "600519", "688111", "300059", "002415", "601318", "000002"})
        used.insert(code);
      day.stocks.push_back(MakeStock(rng, "000651", 3));
      day.stocks.push_back(MakeStock(rng, "200625", 2));  // a B share
      day.stocks.push_back(MakeStock(rng, "600519", 1, false, true));  // an amount with decimals
      day.stocks.push_back(MakeStock(rng, "688111", 1));
      day.stocks.push_back(MakeStock(rng, "300059", 2, true));         // a volume with decimals
      day.stocks.push_back(MakeStock(rng, "002415", 1));
      day.stocks.push_back(MakeStock(rng, "601318", 1));
      day.stocks.push_back(MakeStock(rng, "000002", 1));
    } else {
      const int count = static_cast<int>(rng.Range(options.minStocks, options.maxStocks));
      for (int s = 0; s < count; ++s) {
        day.stocks.push_back(MakeStock(rng, RandomCode(rng, used), static_cast<int>(rng.Range(1, 3))));
      }
    }
    month.days.push_back(std::move(day));
  }
  return month;
}

void MakeDayUnreadable(BlockTradeMonthModel& month, std::size_t day, std::string shown) {
  month.days.at(day).shownDate = std::move(shown);
}

void BreakTradeCell(BlockTradeMonthModel& month, std::size_t day, std::size_t stock, std::size_t trade) {
  month.days.at(day).stocks.at(stock).trades.at(trade).brokenCell = true;
}

std::string RenderBlockTradeMonthPage(const BlockTradeMonthModel& month, BlockTradePageKind kind) {
  const bool bare = kind == BlockTradePageKind::BareCells;
  std::string html;
  html += Line("<!DOCTYPE html>");
  html += Line("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">");
  html += Line("<title>大宗交易 " + month.month + "</title></head><body>");
  html += Line("<div class=\"content\">");
  html += Line("<table class=\"dzjy\" id=\"dt_1\">");
  if (kind != BlockTradePageKind::NoHeader) {
    html += Line("<thead><tr><th>交易日期</th><th>证券代码</th><th>证券简称</th><th>相关</th><th>收盘价</th>"
                 "<th>成交价</th><th>成交量(万股)</th><th>成交额(万元)</th><th>买方营业部</th><th>卖方营业部</th></tr>");
    html += Line("</thead>");
  }
  html += Line("<tbody>");
  for (std::size_t d = 0; d < month.days.size(); ++d) {
    html += DayRows(month.days[d], bare);
    if (d + 1 < month.days.size()) html += Line("<tr class=\"list_odd\"><td colspan=11></td></tr>");
  }
  html += Line("</tbody>");
  html += Line("</table>");
  html += Line("</div>");
  if (kind != BlockTradePageKind::NoContentEnd) {
    html += Line("<!--content end-->");
    // A side list laid out like the table: none of it is a trade of the month.
    html += Line("<div class=\"side\"><table><tr class=\"list_eve\"><td rowspan=\"1\" valign=\"middle\"><strong>"
                 "2016-01-04</strong></td><td><a href=\"/stock/600000.html\">600000</a></td><td><a>浦发银行</a></td>"
                 "<td><a>明细</a></td><td><span>1.00</span></td><td>1.00</td><td>1</td><td>1</td>"
                 "<td>侧栏营业部</td><td>侧栏营业部</td></tr><tr class=\"list_odd\"><td colspan=11></td></tr>"
                 "</table></div>");
  }
  html += Line("</body></html>");
  return EncodeGbk(html);
}

std::string MonthTradesTarget(std::string_view yyyymm) { return "/dzjy/" + std::string(yyyymm) + ".html"; }
