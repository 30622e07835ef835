#include "exchange_pages.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "page_generator.h"  // EncodeGbk

namespace {

// Written here again, as the exchanges write them, so the program's own lists are
// checked against them.
const std::vector<std::string> kSzseTitles = {
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
const char* const kStLongTail = "和未完成股改证券：";

const std::vector<std::string> kSseTitles = {
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
constexpr int kSseMargin = 12;
constexpr int kSseShortSale = 13;

std::vector<ExchangeSeatModel> Seats(const std::vector<std::string>& names, int base, bool withSell) {
  std::vector<ExchangeSeatModel> seats;
  for (std::size_t i = 0; i < names.size(); ++i) {
    char buy[32], sell[32];
    std::snprintf(buy, sizeof buy, "%d.%02d", base - static_cast<int>(i) * 100000, static_cast<int>(i * 7 % 100));
    std::snprintf(sell, sizeof sell, "%d.00", static_cast<int>(i) * 3000);
    seats.push_back({names[i], buy, withSell ? sell : ""});
  }
  return seats;
}

const std::vector<std::string> kBranches = {
    "国泰君安证券股份有限公司上海江苏路证券营业部",
    "中信证券股份有限公司北京总部证券营业部",
    "机构专用",
    "华泰证券股份有限公司南京中山东路证券营业部",
    "招商证券股份有限公司深圳蛇口工业七路证券营业部",
    "光大证券股份有限公司宁波解放南路证券营业部",
    "中国银河证券股份有限公司绍兴证券营业部",
};

std::vector<std::string> Branches(std::size_t from, std::size_t count) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < count; ++i) names.push_back(kBranches[(from + i) % kBranches.size()]);
  return names;
}

std::string Thousands(long long value) {
  std::string digits = std::to_string(value);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string BoardLabel(int market) {
  switch (market) {
    case 2: return "主板";
    case 3: return "中小企业板";
    default: return "创业板";
  }
}

bool QueryHasDay(QuoteKind kind) { return kind == QuoteKind::History; }
bool PageHasDay(QuoteKind kind) { return kind == QuoteKind::PageOnly || kind == QuoteKind::EightFields; }

double Num(const std::string& text) { return text.empty() ? 0 : std::strtod(text.c_str(), nullptr); }

std::uint32_t Crc32(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutLe(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

const std::vector<std::string>& SzseTitlesForTests() { return kSzseTitles; }
const std::vector<std::string>& SseTitlesForTests() { return kSseTitles; }

ExchangeDayModel MakeExchangeDay(std::string_view date) {
  ExchangeDayModel day;
  day.date = std::string(date);
  auto add = [&](ExchangeStockModel stock) {
    day.stocks.push_back(std::move(stock));
    return static_cast<int>(day.stocks.size() - 1);
  };
  ExchangeStockModel s;

  // Shenzhen.
  s = {};
  s.code = "000001", s.name = "平安银行";
  s.buys = Seats(Branches(0, 5), 9000000, true), s.sells = Seats(Branches(2, 5), 8000000, true);
  const int twoBoards = add(s);
  s = {};
  s.code = "000002", s.name = "万科A", s.quote = QuoteKind::PageOnly, s.volume = 1234567, s.amount = 23456.78;
  s.buys = Seats(Branches(1, 6), 7000000, true);  // six rows: five are kept
  s.buys[0].buyText = "1234567.89", s.buys[0].sellText = "1234.00";
  s.sells = Seats(Branches(3, 2), 6000000, true);
  const int sixRows = add(s);
  s = {};
  s.code = "000003", s.name = "深圳市长城开发科技股份有限公司集团", s.quote = QuoteKind::EightFields;
  s.buys = Seats(Branches(4, 3), 5000000, true), s.sells = Seats(Branches(5, 3), 4000000, true);
  const int longName = add(s);
  s = {};
  s.code = "000004", s.name = "国农科技", s.seatless = true, s.quote = QuoteKind::Neither;
  s.deviationText = "-9.87", s.volumeText = "321.5", s.amountText = "4321.25";
  const int seatless = add(s);
  s = {};
  s.code = "000005", s.name = "*ST星源", s.quote = QuoteKind::NoTable;
  s.buys = Seats(Branches(6, 2), 3000000, true), s.sells = Seats(Branches(0, 1), 2000000, true);
  const int stLong = add(s);
  s = {};
  s.code = "000006", s.name = "深振'业_A%";
  s.buys = Seats(Branches(2, 4), 2500000, true), s.sells = Seats(Branches(1, 4), 2400000, true);
  const int oddName = add(s);
  s = {};
  s.code = "002001", s.name = "*ST新和", s.quote = QuoteKind::OtherDay;
  s.buys = Seats(Branches(3, 5), 1900000, true), s.sells = Seats(Branches(4, 5), 1800000, true);
  const int stShort = add(s);
  s = {};
  s.code = "300001", s.name = "特锐德", s.deviationText = "";  // a turnover block
  s.buys = Seats(Branches(5, 5), 1700000, true), s.sells = Seats(Branches(6, 5), 1600000, true);
  const int turnover = add(s);

  // Shanghai.
  s = {};
  s.code = "600001", s.name = "浦发银行";
  s.buys = Seats(Branches(0, 7), 9500000, false), s.sells = Seats(Branches(3, 5), 9400000, false);
  const int sevenRows = add(s);
  s = {};
  s.code = "900901", s.name = "云赛B股", s.quote = QuoteKind::NoTable;
  s.buys = Seats(Branches(1, 2), 900000, false), s.sells = Seats(Branches(2, 2), 800000, false);
  const int bShare = add(s);
  s = {};
  s.code = "510050", s.name = "50ETF";
  s.buys = Seats(Branches(1, 2), 700000, false);
  const int fund = add(s);
  s = {};
  s.code = "600002", s.name = "东方·明珠", s.quote = QuoteKind::PageOnly;
  s.buys = Seats(Branches(2, 3), 650000, false), s.sells = Seats(Branches(5, 3), 640000, false);
  const int dotName = add(s);
  s = {};
  s.code = "600003", s.name = "融资股份";
  s.buys = Seats(Branches(4, 5), 600000, false), s.sells = Seats(Branches(0, 2), 590000, false);
  const int margin = add(s);
  s = {};
  s.code = "600004", s.name = "融券股份", s.quote = QuoteKind::Neither;
  s.sells = Seats(Branches(6, 3), 580000, false);
  const int shortSale = add(s);

  SzseBoardModel main;
  main.market = 2;
  main.listings = {{twoBoards, 0}, {sixRows, 0}, {oddName, 1}, {twoBoards, 5}, {stLong, 7}, {longName, 9},
                   {seatless, 9}};
  SzseBoardModel sme;
  sme.market = 3;
  sme.longStTitles = false;
  sme.listings = {{twoBoards, 0}, {stShort, 7}};
  SzseBoardModel growth;
  growth.market = 4;
  growth.listings = {{turnover, 3}};
  day.boards = {main, sme, growth};

  day.sse = {{sevenRows, 0},       {bShare, 0, true}, {fund, 4}, {dotName, 5},
             {sevenRows, 5},       {margin, kSseMargin}, {shortSale, kSseShortSale}};
  return day;
}

std::string SzseBulletinTarget(int market, std::string_view date) {
  const std::string file = std::string(date.substr(2, 2)) + std::string(date.substr(5, 2)) +
                           std::string(date.substr(8, 2)) + ".txt";
  switch (market) {
    case 2: return "/szseWeb/common/szse/files/text/jy/jy" + file;
    case 3: return "/szseWeb/common/szse/files/text/smeTxt/gk/sme_jy" + file;
    default: return "//szseWeb/common/szse/files/text/nmTxt/gk/nm_jy" + file;
  }
}

std::string SseQueryTargetFor(std::string_view date) {
  return "/infodisplay/showTradePublicFile.do?jsonCallBack=jQuery17204362401361030405_1403685277939&dateTx=" +
         std::string(date) + "&random=0.8541906605033429&_=1403686272421";
}

std::string QuoteHistoryTargetFor(std::string_view code, std::string_view date) {
  std::string compact;
  for (char c : date) {
    if (c != '-') compact.push_back(c);
  }
  return "/hisHq?code=cn_" + std::string(code) + "&start=" + compact + "&end=" + compact +
         "&stat=1&order=D&period=d&callback=historySearchHandler&rt=jsonp&r=0.06965441047213972&0.2802838562056422";
}

std::string QuotePageTargetFor(std::string_view code) { return "/trade/lsjysj_" + std::string(code) + ".html"; }

std::string RenderSzseBulletin(const ExchangeDayModel& day, const SzseBoardModel& board) {
  std::string text = "深圳证券交易所" + BoardLabel(board.market) + "交易公开信息\r\n";
  text += "交易日期: " + day.date + "\r\n\r\n";
  const std::string header = "营业部或交易单元名称                          买入金额(元)          卖出金额(元)\r\n";
  for (std::size_t section = 0; section < kSzseTitles.size(); ++section) {
    std::string title = kSzseTitles[section];
    if (section == 7 || section == 8) title += board.longStTitles ? kStLongTail : "：";
    text += title + "\r\n";
    bool any = false;
    for (const ExchangeListing& listing : board.listings) {
      if (listing.section != static_cast<int>(section)) continue;
      any = true;
      const ExchangeStockModel& stock = day.stocks[static_cast<std::size_t>(listing.stock)];
      text += "  " + stock.name + "(代码" + stock.code + ")   ";
      text += stock.deviationText.empty() ? "换手率:25.12%" : "偏离值:" + stock.deviationText + "%";
      text += "     成交量:" + stock.volumeText + "万股  \t成交金额:" + stock.amountText + "万元\r\n";
      if (stock.seatless) continue;
      auto table = [&](const std::vector<ExchangeSeatModel>& seats) {
        text += header;
        for (std::size_t i = 0; i < seats.size(); ++i) {
          // Runs of blanks, and a tab now and then, between the columns.
          text += seats[i].name + std::string(4 + i % 3, ' ') + seats[i].buyText + (i % 2 ? "\t  " : "          ") +
                  seats[i].sellText + "\r\n";
        }
      };
      text += "买入金额最大的前5名:\r\n";
      table(stock.buys);
      text += "卖出金额最大的前5名:\r\n";
      table(stock.sells);
      text += "\r\n";
    }
    if (!any) text += "无\r\n";
    text += "-------------------------------------------------------------------\r\n";
  }
  return EncodeGbk(text);
}

std::string RenderSseAnswer(const ExchangeDayModel& day, std::size_t padTo) {
  std::string text = "上海证券交易所每日交易信息 交易日期:" + day.date + " ";
  auto block = [&](const ExchangeStockModel& stock, bool shortSale) {
    std::string out = "证券代码: " + stock.code + " 证券简称: " + stock.name + ", ";
    auto rows = [&](const std::vector<ExchangeSeatModel>& seats) {
      for (std::size_t i = 0; i < seats.size(); ++i) {
        out += std::to_string(i + 1) + " " + seats[i].name + " " + seats[i].buyText + ", ";
      }
    };
    if (shortSale) {
      out += "融券卖出营业部名称 融券卖出金额(元):, ";
      rows(stock.sells);
      return out;
    }
    out += "买入营业部名称 买入金额(元):, ";
    rows(stock.buys);
    if (!stock.sells.empty()) {
      out += "卖出营业部名称 卖出金额(元):, ";
      rows(stock.sells);
    }
    return out;
  };
  for (std::size_t section = 0; section < kSseTitles.size(); ++section) {
    if (static_cast<int>(section) == day.missingSseTitle) {
      text += "（此处无标题） ";
    } else {
      text += kSseTitles[section] + " ";
    }
    auto listed = [&](bool bShare) {
      std::string out;
      for (const ExchangeListing& l : day.sse) {
        if (l.section == static_cast<int>(section) && l.bShare == bShare) {
          out += block(day.stocks[static_cast<std::size_t>(l.stock)], static_cast<int>(section) >= kSseShortSale);
        }
      }
      return out;
    };
    if (static_cast<int>(section) >= kSseMargin) {
      const std::string blocks = listed(false);
      text += blocks.empty() ? "无 " : blocks;
    } else {
      const std::string a = listed(false), b = listed(true);
      text += "1、A股 " + (a.empty() ? std::string("无 ") : a) + "2、B股 " + (b.empty() ? std::string("无 ") : b) +
              "3、封闭式基金 无 ";
    }
  }
  text += "上海证券交易所 " + day.date + " ";
  const std::string head = "jQuery17204362401361030405_1403685277939({\"fileContents\":\"";
  const std::string tail = "\"})";
  if (head.size() + text.size() + tail.size() < padTo) text.append(padTo - head.size() - text.size() - tail.size(), ' ');
  // Line ends inside the answer, which the reader joins.
  const std::size_t blank = text.find(' ', text.size() / 2);
  return head + text.substr(0, blank) + "\r\n" + text.substr(blank) + tail;
}

std::string RenderQuoteHistory(const ExchangeDayModel& day, const ExchangeStockModel& stock) {
  if (stock.quote != QuoteKind::History && stock.quote != QuoteKind::EightFields &&
      stock.quote != QuoteKind::OtherDay) {
    return "historySearchHandler([{\"status\":2,\"msg\":\"sorry, no data\"}])";
  }
  const std::string date = stock.quote == QuoteKind::OtherDay ? "2000-01-04" : day.date;
  std::string record = "[\"" + date + "\",\"10.00\",\"" + Fixed(stock.close, 2) + "\",\"0.50\",\"" +
                       Fixed(stock.change, 2) + "%\",\"9.90\",\"10.60\",\"" + Fixed(stock.volume, 0) + "\"";
  if (stock.quote != QuoteKind::EightFields) record += ",\"" + Fixed(stock.amount, 2) + "\",\"1.23%\"";
  record += "]";
  return "historySearchHandler([{\"status\":0,\"hq\":[" + record + "],\"code\":\"cn_" + stock.code + "\"}])";
}

std::string RenderQuotePage(const ExchangeDayModel& day, const ExchangeStockModel& stock) {
  std::string page = "<html><head><title>历史交易</title></head><body>\r\n";
  if (stock.quote == QuoteKind::NoTable) return EncodeGbk(page + "<p>暂无数据</p></body></html>\r\n");
  page += "<table class=\"table_bg001\"><thead><tr><th>日期</th><th>开盘</th><th>最高</th><th>最低</th>"
          "<th>收盘</th><th>涨跌额</th><th>涨跌幅(%)</th><th>成交量(手)</th><th>成交金额(万元)</th></tr>\r\n</thead>\r\n";
  page += "<tr class=\"dbrow\"><td>2000-01-06</td><td>1</td><td>1</td><td>1</td><td>1</td><td>0</td><td>0</td>"
          "<td>1</td><td>1</td></tr>\r\n";
  if (PageHasDay(stock.quote)) {
    page += "<tr><td>" + day.date + "</td><td>10.00</td><td>10.60</td><td>9.90</td><td class=\"cGreen\">" +
            Fixed(stock.close, 2) + "</td><td>0.50</td><td>" + Fixed(stock.change, 2) + "</td><td>" +
            Thousands(static_cast<long long>(stock.volume)) + "</td><td>" +
            Thousands(static_cast<long long>(stock.amount)) + Fixed(stock.amount - static_cast<long long>(stock.amount), 2).substr(1) +
            "</td></tr>\r\n";
  }
  page += "</table></body></html>\r\n";
  return EncodeGbk(page);
}

std::vector<ExpectedExchangeRow> Expected(const ExchangeDayModel& day) {
  std::vector<ExpectedExchangeRow> rows;
  std::set<std::string> names;
  auto cut = [](const std::string& utf8, std::size_t gbkBytes) {
    // Whole characters whose GBK form fits.
    std::string out;
    std::size_t used = 0;
    for (std::size_t i = 0; i < utf8.size();) {
      const unsigned char c = static_cast<unsigned char>(utf8[i]);
      const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      const std::size_t width = c < 0x80 ? 1 : 2;
      if (used + width > gbkBytes) break;
      out += utf8.substr(i, len);
      used += width;
      i += len;
    }
    return out;
  };
  auto take = [&](const ExchangeListing& listing, const std::string& reason, bool szse, bool shortSale) {
    const ExchangeStockModel& stock = day.stocks[static_cast<std::size_t>(listing.stock)];
    if (!szse && !shortSale && stock.code.starts_with("51")) return;
    const std::string name = cut(stock.name, 29);
    if (!names.insert(name).second) return;
    ExpectedExchangeRow row;
    row.code = stock.code, row.name = name, row.reason = reason;
    if (szse) {
      row.change = Num(stock.deviationText), row.volume = Num(stock.volumeText), row.amount = Num(stock.amountText);
      if (!stock.seatless) {
        for (std::size_t i = 0; i < 5 && i < stock.buys.size(); ++i) {
          row.buy[i] = {stock.buys[i].name, Num(stock.buys[i].buyText) / 10000.0,
                        std::floor(Num(stock.buys[i].sellText)) / 10000.0};
        }
        for (std::size_t i = 0; i < 5 && i < stock.sells.size(); ++i) {
          row.sell[i] = {stock.sells[i].name, Num(stock.sells[i].buyText) / 10000.0,
                         std::floor(Num(stock.sells[i].sellText)) / 10000.0};
        }
      }
    } else if (shortSale) {
      for (std::size_t i = 0; i < 5 && i < stock.sells.size(); ++i) {
        row.sell[i] = {stock.sells[i].name, 0, Num(stock.sells[i].buyText) / 10000.0};
        row.buy[i] = {"空即是空", 0, 0};
      }
    } else {
      for (std::size_t i = 0; i < 5 && i < stock.buys.size(); ++i) {
        row.buy[i] = {stock.buys[i].name, Num(stock.buys[i].buyText) / 10000.0, 0};
      }
      for (std::size_t i = 0; i < 5 && i < stock.sells.size(); ++i) {
        row.sell[i] = {stock.sells[i].name, 0, Num(stock.sells[i].buyText) / 10000.0};
      }
    }
    if (QueryHasDay(stock.quote) || PageHasDay(stock.quote)) {
      row.close = stock.close, row.change = stock.change, row.volume = stock.volume, row.amount = stock.amount;
    }
    rows.push_back(std::move(row));
  };
  for (const SzseBoardModel& board : day.boards) {
    if (board.missing) continue;
    for (std::size_t section = 0; section < kSzseTitles.size(); ++section) {
      for (const ExchangeListing& l : board.listings) {
        if (l.section == static_cast<int>(section)) take(l, kSzseTitles[section], true, false);
      }
    }
  }
  for (std::size_t section = 0; section < kSseTitles.size(); ++section) {
    if (static_cast<int>(section) == day.missingSseTitle) continue;
    for (bool bShare : {false, true}) {
      for (const ExchangeListing& l : day.sse) {
        if (l.section == static_cast<int>(section) && l.bShare == bShare) {
          take(l, kSseTitles[section], false, static_cast<int>(section) >= kSseShortSale);
        }
      }
    }
  }
  return rows;
}

std::string GzipStored(std::string_view bytes) {
  std::string out = {'\x1f', '\x8b', '\x08', '\0', '\0', '\0', '\0', '\0', '\0', '\xff'};
  std::size_t pos = 0;
  do {
    const std::size_t n = std::min<std::size_t>(bytes.size() - pos, 65535);
    const bool last = pos + n == bytes.size();
    out.push_back(last ? '\x01' : '\0');
    PutLe(out, static_cast<std::uint32_t>(n), 2);
    PutLe(out, static_cast<std::uint32_t>(~n & 0xFFFF), 2);
    out.append(bytes.substr(pos, n));
    pos += n;
  } while (pos < bytes.size());
  PutLe(out, Crc32(bytes), 4);
  PutLe(out, static_cast<std::uint32_t>(bytes.size()), 4);
  return out;
}
