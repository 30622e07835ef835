#include "page_generator.h"

#include "acquisition/source_hosts.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>

namespace {

// ---------------------------------------------------------------------------------
// Encoding, through iconv and nothing of the program's

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  return IconvHandle(cd);
}

// Converts the whole input or reports failure (no partial results).
bool Convert(void* cd, std::string_view in, std::string& out) {
  iconv(static_cast<iconv_t>(cd), nullptr, nullptr, nullptr, nullptr);
  out.assign(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char* dst = out.data();
  std::size_t dstLeft = out.size();
  if (iconv(static_cast<iconv_t>(cd), &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1))
    return false;
  if (iconv(static_cast<iconv_t>(cd), nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1))
    return false;
  out.resize(out.size() - dstLeft);
  return srcLeft == 0;
}

std::vector<std::string> ScanTrail(unsigned char trail) {
  IconvHandle cd = OpenIconv("UTF-8", "GBK");
  std::vector<std::string> found;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    std::string utf8;
    if (!Convert(cd.get(), std::string_view(pair, 2), utf8) || utf8.size() != 3) continue;
    const auto b = reinterpret_cast<const unsigned char*>(utf8.data());
    const unsigned cp = ((b[0] & 0x0Fu) << 12) | ((b[1] & 0x3Fu) << 6) | (b[2] & 0x3Fu);
    if (cp >= 0x4E00 && cp <= 0x9FFF) found.push_back(utf8);
  }
  return found;
}

// ---------------------------------------------------------------------------------
// Deterministic randomness (splitmix64), the same on every platform

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number in [lo, hi].
  std::int64_t Range(std::int64_t lo, std::int64_t hi) {
    return lo + static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(Range(0, static_cast<std::int64_t>(items.size()) - 1))];
  }
  bool Chance(int percent) { return Range(0, 99) < percent; }

 private:
  std::uint64_t state_;
};

std::uint64_t SeedOf(std::string_view date, std::uint32_t seed) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : date) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h ^ (static_cast<std::uint64_t>(seed) << 32 | seed);
}

// `units` / 10^decimals as decimal text, trailing zeros dropped ("25.1", "-3", "0.05").
std::string Fixed(std::int64_t units, int decimals) {
  const bool negative = units < 0;
  std::uint64_t value = negative ? static_cast<std::uint64_t>(-units) : static_cast<std::uint64_t>(units);
  std::uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  std::string text = std::to_string(value / scale);
  if (decimals == 0) return (negative && value != 0 ? "-" : "") + text;
  std::string fraction = std::to_string(value % scale);
  fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += "." + fraction;
  return (negative && value != 0 ? "-" : "") + text;
}

double Value(std::int64_t units, int decimals) {
  double scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  return static_cast<double>(units) / scale;
}

std::string AmountText(double amount, std::int64_t cents) {
  return amount == 0 ? std::string("-") : Fixed(cents, 2);
}

const std::vector<std::string> kNameHeads = {"华", "中", "国", "金", "东", "海", "新", "天", "长", "宏",
                                             "科", "信", "南", "北", "通", "达", "联", "盛", "泰", "恒"};
const std::vector<std::string> kNameTails = {"科技", "股份", "电子", "药业", "控股", "实业", "能源",
                                             "传媒", "环境", "智能", "材料", "银行", "证券", "集团"};
const std::vector<std::string> kCodePrefixes = {"000", "002", "300", "600", "601", "603"};
const std::vector<std::string> kReasons = {
    "日涨幅偏离值达7%的证券",
    "日跌幅偏离值达7%的证券",
    "日换手率达20%的证券",
    "日价格振幅达到15%的证券",
    "连续三个交易日内，涨幅偏离值累计达20%的证券",
    "连续三个交易日内，跌幅偏离值累计达20%的证券",
    "有价格涨跌幅限制的日收盘价格涨幅偏离值达到7%的前三只证券"};
constexpr int kCommaReason = 4;
const std::vector<std::string> kBrokers = {"中信证券股份有限公司", "国泰君安证券股份有限公司",
                                           "华泰证券股份有限公司", "招商证券股份有限公司",
                                           "中国银河证券股份有限公司", "海通证券股份有限公司",
                                           "广发证券股份有限公司", "东方财富证券股份有限公司"};
const std::vector<std::string> kCities = {"上海", "深圳", "北京", "杭州", "南京", "成都", "宁波", "厦门"};
const std::vector<std::string> kStreets = {"南京西路", "金田路", "解放北路", "人民路", "中山东一路",
                                           "建设大道", "滨江大道", "天府大道"};
constexpr const char* kInstitution = "机构专用";

// A seat row: the branch as shown (full, or cut to "...营业" / "...营") and as stored.
SeatRowModel MakeSeatRow(Random& rng, bool buyer, SeatFixture& expected) {
  SeatRowModel row;
  if (rng.Chance(15)) {
    row.shownName = kInstitution;
    expected.name = kInstitution;
  } else {
    const std::string stem = rng.Pick(kBrokers) + rng.Pick(kCities) + rng.Pick(kStreets) + "证券营";
    expected.name = stem + "业部";
    const int cut = static_cast<int>(rng.Range(0, 9));
    row.shownName = cut == 0 ? stem : cut == 1 ? stem + "业" : expected.name;
  }
  const std::int64_t big = rng.Range(1000, 50000000);   // cents of 10,000 yuan
  const std::int64_t small = rng.Chance(60) ? 0 : rng.Range(1, 500000);
  const std::int64_t buyCents = buyer ? big : small;
  const std::int64_t sellCents = buyer ? small : big;
  row.buy = Value(buyCents, 2);
  row.sell = Value(sellCents, 2);
  expected.buy = row.buy;
  expected.sell = row.sell;
  return row;
}

void MakeSeats(Random& rng, MarketStock& stock) {
  const int rows = stock.seatPage == SeatPageKind::ThreeRows ? 3 : 5;
  for (int i = 0; i < rows; ++i) stock.buyRows.push_back(MakeSeatRow(rng, true, stock.expectedBuy[i]));
  for (int i = 0; i < rows; ++i) stock.sellRows.push_back(MakeSeatRow(rng, false, stock.expectedSell[i]));
  if (stock.seatPage == SeatPageKind::MissingCell) {
    stock.buyRows[1].sellCellMissing = true;
    stock.expectedBuy[1].sell = 0;
    stock.sellRows[0].nameLinkBroken = true;
    stock.expectedSell[0] = SeatFixture{};
  }
  if (stock.seatPage == SeatPageKind::TwoBodies) {
    stock.expectedBuy = FiveSeats{};
    stock.expectedSell = FiveSeats{};
    stock.expectedIsDownloadOK = 2;
  }
}

std::string Line(std::string_view text) { return std::string(text) + "\r\n"; }

std::string SeatRowHtml(const SeatRowModel& row, int rank, std::uint64_t branchId) {
  std::string html = Line("<tr>");
  html += Line("<td class=\"tc\">" + std::to_string(rank) + "</td>");
  html += Line("<td class=\"tl\"><div class=\"sc-name\"><a href=\"/yyb/" + std::to_string(branchId) +
               ".html\" target=\"_blank\"><a class=\"nm\">" + row.shownName +
               (row.nameLinkBroken ? "</a></div></td>" : "</a></a></div></td>"));
  const std::int64_t buyCents = static_cast<std::int64_t>(row.buy * 100 + 0.5);
  const std::int64_t sellCents = static_cast<std::int64_t>(row.sell * 100 + 0.5);
  html += Line("<td class=\"tr\">" + AmountText(row.buy, buyCents) + "</td>");
  html += Line("<td class=\"tr\">" + Fixed(static_cast<std::int64_t>(rank) * 37 % 900 + 10, 2) + "%</td>");
  if (!row.sellCellMissing) {
    html += Line("<td class=\"tr\">" + AmountText(row.sell, sellCents) + "</td>");
    html += Line("<td class=\"tr\">" + Fixed(buyCents - sellCents, 2) + "</td>");
  }
  html += Line("</tr>");
  return html;
}

std::string SeatTableHtml(const std::vector<SeatRowModel>& rows, std::string_view caption,
                          std::uint64_t& branchId) {
  std::string html = Line("<table class=\"tab-seat\">");
  html += Line("<thead><tr><th>序号</th><th>" + std::string(caption) +
               "</th><th>买入金额(万)</th><th>占总成交比例</th><th>卖出金额(万)</th><th>净额(万)</th></tr></thead>");
  html += Line("<tbody>");
  int rank = 1;
  for (const SeatRowModel& row : rows) html += SeatRowHtml(row, rank++, branchId++);
  html += Line("</tbody>");
  html += Line("</table>");
  return html;
}

}  // namespace

const MarketStock* MarketDay::Find(std::string_view code) const {
  for (const MarketStock& stock : stocks)
    if (stock.code == code) return &stock;
  return nullptr;
}

std::string EncodeGbk(std::string_view utf8) {
  thread_local IconvHandle cd = OpenIconv("GBK", "UTF-8");
  std::string out;
  if (!Convert(cd.get(), utf8, out)) throw std::runtime_error("text not expressible in GBK");
  return out;
}

const std::vector<std::string>& GbkCharactersWithTrail(unsigned char trail) {
  static std::mutex mutex;
  static std::array<std::unique_ptr<std::vector<std::string>>, 256> cache;
  std::lock_guard lock(mutex);
  if (!cache[trail]) cache[trail] = std::make_unique<std::vector<std::string>>(ScanTrail(trail));
  return *cache[trail];
}

std::string JoinPageLines(std::string_view page) {
  std::string out;
  out.reserve(page.size());
  for (char c : page)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

std::string DayListTarget(std::string_view date) {
  return "/DataCenter_V3/stock2016/TradeDetail/pagesize=200,page=1,sortRule=-1,sortType=,startDate=" +
         std::string(date) + ",endDate=" + std::string(date) + ",gpfw=0,js=var%20data_tab_1.html";
}

std::string SeatPageTarget(std::string_view date, std::string_view code) {
  return std::string(SourceHosts::kSeatPagePath) + std::string(date) + "," + std::string(code) + ".html";
}

MarketDay MakeMarketDay(std::string_view date, std::uint32_t seed, const MarketOptions& options) {
  Random rng(SeedOf(date, seed));
  MarketDay day;
  day.date = std::string(date);
  day.seed = seed;
  const int count = static_cast<int>(rng.Range(options.minStocks, std::max(options.minStocks, options.maxStocks)));

  // Which stocks carry the awkward names and seat pages.
  std::vector<int> slots;
  for (int i = 0; i < count; ++i) slots.push_back(i);
  for (int i = count - 1; i > 0; --i) std::swap(slots[i], slots[static_cast<std::size_t>(rng.Range(0, i))]);
  auto slot = [&](std::size_t k) { return k < slots.size() ? slots[k] : -1; };
  const std::vector<std::string>& brace7B = GbkCharactersWithTrail(0x7B);
  const std::vector<std::string>& brace7D = GbkCharactersWithTrail(0x7D);

  std::set<std::string> codes, names;
  for (int i = 0; i < count; ++i) {
    MarketStock stock;
    do {
      stock.code = rng.Pick(kCodePrefixes) + Fixed(rng.Range(0, 999), 0);
      stock.code.insert(3, 6 - stock.code.size(), '0');
    } while (!codes.insert(stock.code).second);

    std::string head = rng.Pick(kNameHeads), tail = rng.Pick(kNameTails);
    if (options.specialNames && i == slot(0)) {
      stock.pageName = " " + head + " " + tail + "  ";  // leading, inner and trailing blanks
    } else if (options.specialNames && i == slot(1)) {
      stock.pageName = head + "'" + tail;
    } else if (options.specialNames && i == slot(2)) {
      stock.pageName = head + rng.Pick(brace7B) + tail;
    } else if (options.specialNames && i == slot(3)) {
      stock.pageName = head + rng.Pick(brace7D) + tail;
    } else {
      stock.pageName = (rng.Chance(8) ? "*ST" : "") + head + rng.Pick(kNameHeads) + tail;
    }
    stock.storedName = stock.pageName;
    std::erase(stock.storedName, ' ');
    if (!names.insert(stock.storedName).second) {  // names are unique within a day
      codes.erase(stock.code);
      --i;
      continue;
    }

    const std::int64_t closeCents = rng.Range(100, 30000);
    const std::int64_t change = rng.Range(-100100, 100100);
    const std::int64_t turnover = rng.Range(5000000, 5000000000);
    stock.closeText = Fixed(closeCents, 2);
    stock.changeText = Fixed(change, 4);
    stock.turnoverText = std::to_string(turnover);
    stock.close = Value(closeCents, 2);
    stock.change = Value(change, 4);
    stock.amount = static_cast<double>(turnover) / 10000.0;
    stock.reason = i == 0 ? kReasons[kCommaReason] : rng.Pick(kReasons);

    if (options.specialSeatPages && i == slot(4)) stock.seatPage = SeatPageKind::ThreeRows;
    if (options.specialSeatPages && i == slot(5)) stock.seatPage = SeatPageKind::MissingCell;
    if (options.specialSeatPages && i == slot(6)) stock.seatPage = SeatPageKind::TwoBodies;
    MakeSeats(rng, stock);
    day.stocks.push_back(std::move(stock));
  }

  for (int i = 0; i < count; ++i) {
    ListRecordModel record;
    record.stock = i;
    record.reason = day.stocks[i].reason;
    record.reasonLast = i % 3 == 1;
    day.records.push_back(record);
  }
  // Stocks listed a second time, for another reason, later in the list.
  for (int d = 0; d < options.doubledRecords && d < count; ++d) {
    ListRecordModel record;
    record.stock = slots[slots.size() - 1 - static_cast<std::size_t>(d)];
    const std::string& first = day.stocks[record.stock].reason;
    record.reason = first == kReasons[0] ? kReasons[1] : kReasons[0];
    record.reasonLast = d % 2 == 0;
    record.repeat = true;
    std::int64_t firstAt = 0;
    while (day.records[static_cast<std::size_t>(firstAt)].stock != record.stock) ++firstAt;
    const auto at = static_cast<std::ptrdiff_t>(rng.Range(firstAt + 1, static_cast<std::int64_t>(day.records.size())));
    day.records.insert(day.records.begin() + at, record);
  }
  return day;
}

std::string RenderListPage(const MarketDay& day) {
  std::string page = Line("var data_tab_1={\"success\":true,\"pages\":1,\"update\":\"" + day.date + "\",\"data\":[");
  std::uint64_t oldId = 4000000 + day.seed % 1000;
  for (std::size_t r = 0; r < day.records.size(); ++r) {
    const ListRecordModel& record = day.records[r];
    const MarketStock& s = day.stocks[static_cast<std::size_t>(record.stock)];
    const std::string reason = "\"Ctypedes\":\"" + record.reason + "\"";
    std::string text = "{\"Tdate\":\"" + day.date + "\",\"SCode\":\"" + s.code + "\",\"SNameAbbr\":\"GP" +
                       s.code.substr(3) + "\",\"SName\":\"" + s.pageName + "\",\"ClosePrice\":\"" + s.closeText +
                       "\",\"Chgradio\":\"" + s.changeText + "\",\"Dchratio\":\"" + Fixed(static_cast<std::int64_t>(r) * 131 % 2000, 2) +
                       "\",\"JmMoney\":\"" + Fixed(static_cast<std::int64_t>(oldId) * 7, 1) + "\",\"Turnover\":\"" +
                       s.turnoverText + "\",\"Ntransac\":\"" + std::to_string(1000 + r) + "\",";
    if (!record.reasonLast) text += reason + ",";
    text += "\"Oldid\":\"" + std::to_string(oldId++) + "\",\"Smoney\":\"1234567.8\",\"Bmoney\":\"7654321\",\"ZeRate\":\"12.5\"";
    if (record.reasonLast) text += "," + reason;
    text += "}";
    if (r + 1 < day.records.size()) text += ",";
    page += Line(text);
  }
  page += Line("],\"url\":\"http://data.example/stock/tradedetail.html\"}");
  return EncodeGbk(page);
}

std::string RenderEmptyListPage() {
  return EncodeGbk(Line("var data_tab_1={\"success\":false,\"pages\":0,\"data\":[],\"url\":\"\"}"));
}

std::string RenderSeatPage(const MarketDay& day, const MarketStock& stock) {
  std::string page = Line("<!DOCTYPE html>");
  page += Line("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">");
  page += Line("<title>" + stock.storedName + "(" + stock.code + ") 交易公开信息 " + day.date + "</title></head>");
  page += Line("<body><div class=\"content\">");
  page += Line("<table class=\"tab-summary\"><tbody>");
  page += Line("<tr><td class=\"l\">" + stock.storedName + "</td><td class=\"l\">" + stock.code + "</td><td class=\"r\">" +
               stock.closeText + "</td><td class=\"r\">" + stock.changeText + "%</td></tr>");
  page += Line("<tr><td class=\"l\">上榜原因</td><td class=\"l\" colspan=\"3\">" + stock.reason + "</td></tr>");
  page += Line("</tbody></table>");
  std::uint64_t branchId = 80000 + static_cast<std::uint64_t>(std::atoi(stock.code.c_str())) % 1000 * 10;
  page += SeatTableHtml(stock.buyRows, "买入金额最大的前5名营业部", branchId);
  if (stock.seatPage != SeatPageKind::TwoBodies)
    page += SeatTableHtml(stock.sellRows, "卖出金额最大的前5名营业部", branchId);
  page += Line("</div></body></html>");
  return EncodeGbk(page);
}
