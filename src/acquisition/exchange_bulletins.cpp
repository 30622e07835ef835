#include "acquisition/exchange_bulletins.h"

#include <cstdio>

#include "acquisition/download_road.h"
#include "acquisition/page_text.h"
#include "storage/charset.h"
#include "storage/gbk_format.h"
#include "storage/ole_types.h"

namespace {

constexpr auto npos = std::string_view::npos;

constexpr std::string_view kSzseMarker = "交易公开信息";
constexpr std::string_view kSzseFirstTitle = "日涨幅偏离值达到7%的前五只证券";
constexpr std::string_view kSzseSeparator = "-----------------------";
constexpr std::string_view kSzseCodeMarker = "(代码";
constexpr std::string_view kSzseSellTable = "卖出金额最大的前5名";
constexpr std::string_view kSzseTableHeader = "卖出金额(元)";

constexpr std::string_view kSseTitle = "上海证券交易所每日交易信息";
constexpr std::string_view kSseDate = "交易日期:";
constexpr std::string_view kSseClosing = "上海证券交易所";
constexpr std::string_view kSseCode = "证券代码:";
constexpr std::string_view kSseName = "证券简称:";
constexpr std::string_view kSseSellPart = "卖出金额(元):";
constexpr std::string_view kSseShortSale = "融券卖出金额(元):";
constexpr std::string_view kShortSaleBuyer = "空即是空";

constexpr int kSzseMaxBlocks = 199;
constexpr int kSseMaxBlocks = 599;
constexpr int kSseMaxShortSaleBlocks = 199;

// Longer forms of the two ST titles, tried first.
const std::string kSzseLongTitle8 = "连续三个交易日内，涨幅偏离值累计达到12%的ST证券、*ST证券和未完成股改证券：";
const std::string kSzseLongTitle9 = "连续三个交易日内，跌幅偏离值累计达到12%的ST证券、*ST证券和未完成股改证券：";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view Trim(std::string_view text) {
  text = TrimLeft(text);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
  return text;
}

// The text between `open` and the next `close` after it; npos-safe.
std::string_view Between(std::string_view text, std::string_view open, std::string_view close) {
  const std::size_t at = text.find(open);
  if (at == npos) return {};
  const std::size_t from = at + open.size();
  const std::size_t to = text.find(close, from);
  if (to == npos) return {};
  return text.substr(from, to - from);
}

double Figure(std::string_view text) { return ParseFiniteNumberC(TrimLeft(text)); }

// The integer part of an amount such as "1234.00".
double IntegerPart(std::string_view text) {
  const std::size_t dot = text.find('.');
  return Figure(dot == npos ? text : text.substr(0, dot));
}

// Moves past a separating comma and the one blank after it, where there is one.
std::string_view AfterComma(std::string_view text, std::size_t comma) {
  text.remove_prefix(comma + 1);
  if (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text;
}

// The next blank-separated word; empty when the text holds none before its end.
std::string_view NextWord(std::string_view& text) {
  text = TrimLeft(text);
  std::size_t end = 0;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  const std::string_view word = text.substr(0, end);
  text.remove_prefix(end);
  return word;
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string NormaliseLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace

bool GbkLengthAtLeast(std::string_view text, std::size_t bytes) {
  std::size_t counted = 0;
  std::size_t pos = 0;
  while (counted < bytes && pos < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
      if (c != '\r' && c != '\n') ++counted;
      ++pos;
      continue;
    }
    std::size_t used = 1;
    const char32_t cp = Utf8CharToUnicode(text.data() + pos, text.size() - pos, &used);
    counted += (cp == 0x80 || cp == 0x20AC) ? 1 : 2;  // every other character takes two GBK bytes ("?" one)
    pos += used;
  }
  return counted >= bytes;
}

const std::vector<std::string>& SzseSectionTitles() {
  static const std::vector<std::string> titles = {
      "日涨幅偏离值达到7%的前五只证券：",
      "日跌幅偏离值达到7%的前五只证券：",
      "日振幅值达到15%的前五只证券：",
      "日换手率达到20%的前五只证券：",
      "无价格涨跌幅限制的证券：",
      "连续三个交易日内，涨幅偏离值累计达到20%的证券：",
      "连续三个交易日内，跌幅偏离值累计达到20%的证券：",
      "连续三个交易日内，涨幅偏离值累计达到12%的ST证券、*ST证券",
      "连续三个交易日内，跌幅偏离值累计达到12%的ST证券、*ST证券",
      "日均换手率与前五个交易日的日均换手率的比值达到30倍，且换手率累计达20%的证券：",
      "其它异常波动的证券：",
  };
  return titles;
}

const std::vector<std::string>& SseSectionTitles() {
  static const std::vector<std::string> titles = {
      "一、有价格涨跌幅限制的日收盘价格涨幅偏离值达到7%的前三只证券:",
      "二、有价格涨跌幅限制的日收盘价格跌幅偏离值达到7%的前三只证券:",
      "三、有价格涨跌幅限制的日价格振幅达到15%的前三只证券:",
      "四、有价格涨跌幅限制的日换手率达到20%的前三只证券:",
      "五、无价格涨跌幅限制的证券:",
      "六、非ST、*ST和S证券连续三个交易日内收盘价格涨幅偏离值累计达到20%的证券:",
      "七、非ST、*ST和S证券连续三个交易日内收盘价格跌幅偏离值累计达到20%的证券:",
      "八、ST、*ST和S证券连续三个交易日内收盘价格涨幅偏离值累计达到15%的证券:",
      "九、ST、*ST和S证券连续三个交易日内收盘价格跌幅偏离值累计达到15%的证券:",
      "十、连续三个交易日内的日均换手率与前五个交易日日均换手率的比值到达30倍,并且该股票封闭式",
      "十一、当日无价格涨跌幅限制的A股，出现异常波动停牌的:",
      "十二、当日无价格涨跌幅限制的B股，出现异常波动停牌的:",
      "十三、单只标的证券的当日融资买入数量达到当日该证券总交易量的50％以上:",
      "十四、单只标的证券的当日融券卖出数量达到当日该证券总交易量的50％以上:",
      "十五、风险警示股票盘中换手率达到或超过30%：",
      "十六、退市整理的证券：",
      "十七、实施特别停牌的证券:",
  };
  return titles;
}

std::string SzseBulletinFileName(int year, int month, int day) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d%02d%02d.txt", year % 100, month, day);
  return text;
}

std::string SseAnswerText(std::string_view body, std::string_view contentType) {
  return joinLines(decodePage(body, contentType, "utf-8"));
}

ExchangeBulletinParser::ExchangeBulletinParser(std::string downloadDate, BulletinEvents& events)
    : m_strDownloadDate(std::move(downloadDate)), events_(events) {}

int ExchangeBulletinParser::IsNameDownloaded(const std::string& name) const {
  for (const std::string& done : m_lstDownloadedNames) {
    if (done == name) return 1;
  }
  return 0;
}

void ExchangeBulletinParser::NotFound(const std::string& what) { events_.Line(what + " ：没有查找到", kLinePlain); }

bool ExchangeBulletinParser::BeginStock(StockRecord& record, std::string_view name, std::string_view code) {
  record = StockRecord{};
  record.IsDownloadOK = m_byDownloadOK;
  record.SB_Reason = CutGbk(m_strCurReason, kStockReasonCap);
  record.SB_Date = CutGbk(m_strDownloadDate, kStockDayCap);
  record.StockName = CutGbk(Trim(name), kStockNameCap);
  record.StockCode = CutGbk(Trim(code), kStockCodeCap);
  if (IsNameDownloaded(record.StockName)) return false;
  m_lstDownloadedNames.push_back(record.StockName);
  events_.Progress(FormatGbk("%02d, %-10s %-10s (%s)", m_nDownload_StockCounter, record.StockName, record.StockCode,
                             m_strDownloadDate));
  ++m_nDownload_StockCounter;
  return true;
}

// ---- Shenzhen -------------------------------------------------------------------

int ExchangeBulletinParser::ParseSzseBulletin(std::string_view text, const std::string& marketFile) {
  m_strMarketFile = marketFile;
  m_byDownloadOK = 1;
  buffer_ = NormaliseLineEnds(text);
  if (buffer_.find(kSzseMarker) == npos) return kBulletinMissing;
  const std::size_t first = buffer_.find(kSzseFirstTitle);
  if (first == npos) {
    NotFound(std::string(kSzseFirstTitle));
    return kBulletinMissing;
  }
  buffer_.erase(0, first);
  m_nSectionKind = 0;
  const std::vector<std::string>& titles = SzseSectionTitles();
  for (std::size_t i = 0; i < titles.size(); ++i) {
    m_nSectionKind = i == 7 ? 8 : i == 8 ? 9 : 0;
    ParseSzseSection(titles[i]);
  }
  m_nSectionKind = 0;
  buffer_.clear();
  return kBulletinParsed;
}

int ExchangeBulletinParser::ParseSzseSection(const std::string& title) {
  m_strCurReason = title;
  std::size_t at = npos;
  std::size_t length = title.size();
  if (m_nSectionKind == 8 || m_nSectionKind == 9) {
    const std::string& longer = m_nSectionKind == 8 ? kSzseLongTitle8 : kSzseLongTitle9;
    at = buffer_.find(longer);
    if (at != npos) length = longer.size();
  }
  if (at == npos) at = buffer_.find(title);
  if (at == npos) {
    events_.Line(m_strMarketFile + " : " + title + " ：没有查找到", kLinePlain);
    return -1;
  }
  buffer_.erase(0, at);
  const std::size_t separator = buffer_.find(kSzseSeparator, length);
  if (separator == npos) {
    events_.Line("----------------：华丽分割线，没有查找到", kLinePlain);
    return -2;
  }
  const std::string body = buffer_.substr(length, separator - length);
  buffer_.erase(0, separator + kSzseSeparator.size());
  if (GbkLengthAtLeast(body, 100)) ParseSzseStocks(body);
  return 0;
}

void ExchangeBulletinParser::ParseSzseStocks(std::string_view body) {
  // A block opens at a line holding "(代码" and runs to the next such line.
  const std::vector<std::string_view> lines = Lines(body);
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find(kSzseCodeMarker) != npos) starts.push_back(i);
  }
  int blocks = 0;
  for (std::size_t s = 0; s < starts.size() && blocks < kSzseMaxBlocks; ++s, ++blocks) {
    const std::size_t first = starts[s];
    const std::size_t last = s + 1 < starts.size() ? starts[s + 1] : lines.size();
    const char* begin = lines[first].data();
    const char* end = lines[last - 1].data() + lines[last - 1].size();
    const std::string_view block(begin, static_cast<std::size_t>(end - begin));
    const std::string_view rest(begin, static_cast<std::size_t>(body.data() + body.size() - begin));
    if (!GbkLengthAtLeast(rest, 20)) break;

    const std::string_view head = lines[first];
    const std::size_t marker = head.find(kSzseCodeMarker);
    std::string_view code = head.substr(marker + kSzseCodeMarker.size());
    code = code.substr(0, code.find(')'));
    StockRecord record;
    if (!BeginStock(record, head.substr(0, marker), code)) continue;

    const std::size_t deviation = block.find("偏离值:");
    if (deviation != npos && deviation > 1) {
      const std::string_view after = block.substr(deviation + std::string_view("偏离值:").size());
      record.ZhangFu = Figure(after.substr(0, after.find('%')));
    }
    // Otherwise the block gives a turnover ("换手率:"), which is not stored: ZhangFu stays 0.
    record.DRCJL = Figure(Between(block, "成交量:", "万股"));
    record.Amount = Figure(Between(block, "成交金额:", "万元"));

    const std::size_t split = block.find(kSzseSellTable);
    if (split != npos) {
      ParseSzseSeatTable(block.substr(0, split), record.BuySeats);
      ParseSzseSeatTable(block.substr(split + kSzseSellTable.size()), record.SellSeats);
    }
    events_.Stock(record);
  }
}

// Rows are the lines after the table's header: seat name, buy amount and sell amount
// (its integer part), in yuan, separated by runs of blanks.
void ExchangeBulletinParser::ParseSzseSeatTable(std::string_view table, SeatList& seats) {
  const std::size_t header = table.find(kSzseTableHeader);
  if (header == npos) return;
  std::string_view rows = table.substr(header + kSzseTableHeader.size());
  const std::size_t lineEnd = rows.find('\n');
  if (lineEnd == npos) return;
  rows.remove_prefix(lineEnd + 1);
  std::size_t filled = 0;
  for (std::string_view line : Lines(rows)) {
    if (filled == seats.size()) break;
    line = Trim(line);
    if (line.empty()) continue;
    const std::string_view name = NextWord(line);
    if (TrimLeft(line).empty()) break;  // a line without columns ends the table
    const std::string_view buy = NextWord(line);
    const std::string_view sell = NextWord(line);
    seats[filled].name = CutGbk(name, kSeatNameCap);
    seats[filled].buy = Figure(buy) / 10000.0;
    seats[filled].sell = IntegerPart(sell) / 10000.0;
    ++filled;
  }
}

// ---- Shanghai -------------------------------------------------------------------

int ExchangeBulletinParser::ParseSseBulletin(std::string_view text) {
  m_byDownloadOK = 1;
  buffer_.assign(text);
  if (buffer_.find(kSseTitle) == npos) {
    events_.Line(std::string(kSseTitle) + "：没有Velkor数据或网页数据有变", kLinePlain);
    return kBulletinMissing;
  }
  if (buffer_.find(kSseDate) == npos) {
    events_.Line(std::string(kSseDate), kLinePlain);
    return kBulletinMissing;
  }
  const std::vector<std::string>& titles = SseSectionTitles();
  const std::size_t first = buffer_.find(titles[0]);
  if (first == npos) {
    NotFound(titles[0]);
    return kBulletinMissing;
  }
  const std::size_t bodyStart = first + titles[0].size();
  const std::size_t second = buffer_.find(titles[1], bodyStart);
  if (second == npos) {
    NotFound(titles[1]);
    return kBulletinMissing;
  }
  m_nSectionKind = 0;
  m_strCurReason = titles[0];
  ParseSseShareClasses(std::string_view(buffer_).substr(bodyStart, second - bodyStart));
  buffer_.erase(0, second + titles[1].size());

  // Each section runs to the nearest later title that is there, under its own reason.
  std::size_t n = 1;  // index of the section being read
  while (n < titles.size()) {
    m_strCurReason = titles[n];
    m_nSectionKind = n == 12 ? 13 : n >= 13 ? 14 : 0;
    std::size_t next = n + 1;
    for (;; ++next) {
      const std::string_view title = next < titles.size() ? std::string_view(titles[next]) : kSseClosing;
      if (buffer_.find(title) != npos) break;
      NotFound(std::string(title));
      if (next == titles.size()) break;
    }
    if (next == titles.size() && buffer_.find(kSseClosing) == npos) break;  // no end: the section stays unread
    ParseSseSection(next);
    n = next;
  }
  m_nSectionKind = 0;
  buffer_.clear();
  return kBulletinParsed;
}

void ExchangeBulletinParser::ParseSseSection(std::size_t nextTitle) {
  const std::vector<std::string>& titles = SseSectionTitles();
  const std::string_view title = nextTitle < titles.size() ? std::string_view(titles[nextTitle]) : kSseClosing;
  const std::size_t at = buffer_.find(title);
  if (at == npos) return;
  const std::string body = buffer_.substr(0, at);
  if (m_nSectionKind == 13) {
    ParseSseMarginSection(body);
  } else if (m_nSectionKind == 14) {
    ParseSseShortSaleStocks(body);
  } else {
    ParseSseShareClasses(body);
  }
  buffer_.erase(0, at + title.size());
}

void ExchangeBulletinParser::ParseSseShareClasses(std::string_view body) {
  const std::size_t a = body.find("1、A股");
  if (a == npos) return;
  const std::size_t b = body.find("2、B股", a);
  const std::size_t fund = body.find("3、封闭式基金", a);
  const std::size_t aEnd = std::min(b, fund);
  ParseSseStocks(body.substr(a, aEnd == npos ? npos : aEnd - a));
  if (b != npos) {
    const std::size_t bEnd = fund != npos && fund > b ? fund : npos;
    ParseSseStocks(body.substr(b, bEnd == npos ? npos : bEnd - b));
  }
}

void ExchangeBulletinParser::ParseSseMarginSection(std::string_view body) { ParseSseStocks(body); }

namespace {

// Walks the stock blocks of a Shanghai body, each from its "证券代码:" to the next one,
// while 20 bytes remain, at most `maxBlocks`. `fn(block, code, name, comma)` gets the
// block, its code and name (untrimmed) and the position of the comma after the name;
// a block without its name is passed over.
template <class Fn>
void ForEachSseBlock(std::string_view body, int maxBlocks, Fn&& fn) {
  std::size_t at = body.find(kSseCode);
  for (int blocks = 0; at != npos && blocks < maxBlocks; ++blocks) {
    if (!GbkLengthAtLeast(body.substr(at), 20)) break;
    const std::size_t next = body.find(kSseCode, at + kSseCode.size());
    const std::string_view block = body.substr(at, next == npos ? npos : next - at);
    at = next;
    const std::size_t nameAt = block.find(kSseName);
    if (nameAt == npos) continue;
    const std::size_t comma = block.find(',', nameAt);
    if (comma == npos) continue;
    fn(block, block.substr(kSseCode.size(), nameAt - kSseCode.size()),
       block.substr(nameAt + kSseName.size(), comma - nameAt - kSseName.size()), comma);
  }
}

}  // namespace

void ExchangeBulletinParser::ParseSseStocks(std::string_view body) {
  ForEachSseBlock(body, kSseMaxBlocks,
                  [this](std::string_view block, std::string_view code, std::string_view name, std::size_t comma) {
                    if (Trim(code).starts_with("51")) return;  // a fund
                    StockRecord record;
                    if (!BeginStock(record, name, code)) return;
                    const std::string_view seats = AfterComma(block, comma);
                    const std::size_t split = seats.find(kSseSellPart);
                    if (split == npos) {
                      ParseSseRows(seats, record.BuySeats, true);
                    } else {
                      ParseSseRows(seats.substr(0, split), record.BuySeats, true);
                      ParseSseRows(seats.substr(split + kSseSellPart.size()), record.SellSeats, false);
                    }
                    events_.Stock(record);
                  });
}

// One table, of short sellers: each row fills the selling seat of its place, and the
// buying seat of that place is "空即是空" with no amounts.
void ExchangeBulletinParser::ParseSseShortSaleStocks(std::string_view body) {
  ForEachSseBlock(body, kSseMaxShortSaleBlocks,
                  [this](std::string_view block, std::string_view code, std::string_view name, std::size_t comma) {
                    StockRecord record;
                    if (!BeginStock(record, name, code)) return;
                    const std::size_t table = block.find(kSseShortSale, comma);
                    if (table != npos) {
                      ParseSseRows(block.substr(table + kSseShortSale.size()), record.SellSeats, false);
                      for (std::size_t i = 0; i < record.SellSeats.size(); ++i) {
                        if (!record.SellSeats[i].name.empty()) {
                          record.BuySeats[i] = SeatEntry{std::string(kShortSaleBuyer), 0, 0};
                        }
                      }
                    }
                    events_.Stock(record);
                  });
}

// Rows begin behind the part's first comma: "<number> <seat> <amount>, " at most five,
// while 20 bytes remain.
void ExchangeBulletinParser::ParseSseRows(std::string_view part, SeatList& seats, bool buying) {
  const std::size_t comma = part.find(',');
  if (comma == npos) return;
  std::string_view rows = AfterComma(part, comma);
  for (std::size_t filled = 0; filled < seats.size() && GbkLengthAtLeast(rows, 20); ++filled) {
    rows = TrimLeft(rows);
    std::size_t blank = 0;
    while (blank < rows.size() && !IsBlank(rows[blank])) ++blank;
    if (blank == rows.size()) return;  // the row's number and nothing after it
    rows.remove_prefix(blank);
    rows = TrimLeft(rows);
    std::size_t nameEnd = 0;
    while (nameEnd < rows.size() && !IsBlank(rows[nameEnd])) ++nameEnd;
    if (nameEnd == rows.size()) return;  // no blank after the name: the part ends
    const std::string_view name = rows.substr(0, nameEnd);
    rows = TrimLeft(rows.substr(nameEnd));
    const std::size_t end = rows.find(',');
    const double amount = Figure(rows.substr(0, end)) / 10000.0;
    seats[filled].name = CutGbk(name, kSeatNameCap);
    seats[filled].buy = buying ? amount : 0;
    seats[filled].sell = buying ? 0 : amount;
    if (end == npos) return;
    rows = AfterComma(rows, end);
  }
}
