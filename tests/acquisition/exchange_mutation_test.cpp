// The exchanges' bulletins and the quote answers against mangled input: the fixture
// day's files and answers mutated from a fixed seed, decoded as the fetch decodes them
// and parsed. Whatever comes out must be well-formed and come from its own block of a
// section that has its end.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "../support/exchange_pages.h"
#include "../support/page_generator.h"
#include "../support/page_mutator.h"
#include "acquisition/exchange_bulletins.h"
#include "acquisition/page_text.h"
#include "acquisition/quote_history.h"
#include "storage/charset.h"
#include "storage/ole_types.h"

namespace {

constexpr int kMutants = 20000;
constexpr std::size_t kHugePage = 16u << 20;
constexpr double kHugePageLimitSeconds = 10.0;  // well under 1 s optimised; sanitizers get slack

class CollectingEvents : public BulletinEvents {
 public:
  void Line(const std::string& text, COLORREF) override { EXPECT_TRUE(IsValidUtf8(text)); }
  void Progress(const std::string& text) override { EXPECT_TRUE(IsValidUtf8(text)); }
  void Stock(StockRecord& record) override { stocks.push_back(record); }
  std::vector<StockRecord> stocks;
};

void ExpectText(const std::string& text, std::size_t cap, const char* what) {
  EXPECT_TRUE(IsValidUtf8(text)) << what;
  EXPECT_LE(GbkByteLength(text), cap) << what << ": " << text;
}

// Some word of `block` reads as `value` × `scale` (or as its integer part), or the
// figure's digits stand in the block (a marker may cut a word short).
bool FigureOccursIn(double value, double scale, const std::string& block) {
  const double want = value * scale;
  char digits[64];
  std::snprintf(digits, sizeof digits, "%.10g", want);
  if (block.find(digits) != std::string::npos) return true;
  std::size_t pos = 0;
  while (pos < block.size()) {
    const std::size_t end = block.find_first_of(" \t\n,", pos);
    const std::string word = block.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (!word.empty()) {
      const double read = ParseFiniteNumberC(word);
      const std::size_t dot = word.find('.');
      const double whole = ParseFiniteNumberC(word.substr(0, dot));
      if (std::fabs(read - want) <= 1e-6 * std::max(1.0, std::fabs(want)) ||
          std::fabs(whole - want) <= 1e-6 * std::max(1.0, std::fabs(want))) {
        return true;
      }
    }
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  return false;
}

// The texts between one marker occurrence and the next (each block starts at its marker).
std::vector<std::string> Blocks(const std::string& text, const std::string& marker) {
  std::vector<std::string> blocks;
  std::size_t at = text.find(marker);
  while (at != std::string::npos) {
    const std::size_t next = text.find(marker, at + marker.size());
    blocks.push_back(text.substr(at, next == std::string::npos ? std::string::npos : next - at));
    at = next;
  }
  return blocks;
}

// What every stock handed on must satisfy: well-formed text, finite numbers, a block
// of its own that holds its code, name and every seat with its amounts, and a reason
// that is a section title of the text. One stock per name.
void CheckStocks(const std::vector<StockRecord>& stocks, const std::string& text, const std::string& marker,
                 const std::vector<std::string>& titles, bool szse) {
  std::set<std::string> names;
  // Shenzhen blocks open on the name's line: take each block from the line's start.
  std::vector<std::string> blocks;
  if (szse) {
    std::size_t at = text.find(marker);
    while (at != std::string::npos) {
      const std::size_t lineStart = text.rfind('\n', at);
      const std::size_t begin = lineStart == std::string::npos ? 0 : lineStart + 1;
      std::size_t next = text.find(marker, at + marker.size());
      std::size_t end = std::string::npos;
      if (next != std::string::npos) {
        const std::size_t nextLine = text.rfind('\n', next);
        end = nextLine == std::string::npos || nextLine < begin ? next : nextLine;
      }
      blocks.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
      at = next;
    }
  } else {
    blocks = Blocks(text, marker);
  }
  for (const StockRecord& r : stocks) {
    ExpectText(r.StockName, 29, "name");
    ExpectText(r.StockCode, 19, "code");
    ExpectText(r.SB_Reason, 99, "reason");
    EXPECT_TRUE(names.insert(r.StockName).second) << "two rows for " << r.StockName;
    EXPECT_TRUE(std::find(titles.begin(), titles.end(), r.SB_Reason) != titles.end()) << r.SB_Reason;
    EXPECT_NE(text.find(r.SB_Reason.substr(0, r.SB_Reason.size() > 6 ? r.SB_Reason.size() - 3 : r.SB_Reason.size())),
              std::string::npos);
    for (double v : {r.JinShou, r.ZhangFu, r.DRCJL, r.Amount}) EXPECT_TRUE(std::isfinite(v));
    bool found = false;
    for (const std::string& block : blocks) {
      if (block.find(r.StockCode) == std::string::npos || block.find(r.StockName) == std::string::npos) continue;
      bool seatsHere = true;
      for (const SeatList* seats : {&r.BuySeats, &r.SellSeats}) {
        for (const SeatEntry& seat : *seats) {
          ExpectText(seat.name, 199, "seat");
          EXPECT_TRUE(std::isfinite(seat.buy) && std::isfinite(seat.sell));
          if (seat.name.empty() || seat.name == "空即是空") continue;
          if (block.find(seat.name) == std::string::npos) seatsHere = false;
          if (seat.buy != 0 && !FigureOccursIn(seat.buy, 10000.0, block)) seatsHere = false;
          if (seat.sell != 0 && !FigureOccursIn(seat.sell, 10000.0, block)) seatsHere = false;
        }
      }
      if (seatsHere) {
        found = true;
        break;
      }
    }
    EXPECT_TRUE(found) << "no block of its own for " << testing::PrintToString(r.StockCode) << " "
                       << testing::PrintToString(r.StockName) << " " << testing::PrintToString(r.BuySeats[0].name) << " "
                       << r.BuySeats[0].buy << " " << testing::PrintToString(r.SellSeats[0].name) << " " << r.SellSeats[0].sell;
  }
}

std::vector<std::string> GbkMarkers(const std::vector<std::string>& utf8) {
  std::vector<std::string> out;
  for (const std::string& m : utf8) out.push_back(EncodeGbk(m));
  return out;
}

void CheckSzse(const std::string& gbk) {
  const std::string text = decodePage(gbk, "text/plain", "gbk");
  CollectingEvents events;
  ExchangeBulletinParser parser("2017-01-05", events);
  const int result = parser.ParseSzseBulletin(text, "f");
  ASSERT_TRUE(result == kBulletinParsed || result == kBulletinMissing);
  if (result == kBulletinMissing) {
    EXPECT_TRUE(events.stocks.empty());
    return;
  }
  std::string normalised;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      normalised.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      normalised.push_back(text[i]);
    }
  }
  CheckStocks(events.stocks, normalised, "(代码", SzseTitlesForTests(), true);
  // No stock from a section that lacks its end: a separator follows every stock's block.
  for (const StockRecord& r : events.stocks) {
    const std::size_t at = normalised.find(r.StockName + "(代码");
    if (at == std::string::npos) continue;  // the name was trimmed: found by the check above
    EXPECT_NE(normalised.find("-----------------------", at), std::string::npos) << r.StockName;
  }
}

void CheckSse(const std::string& body) {
  const std::string text = SseAnswerText(body, "");
  ASSERT_TRUE(IsValidUtf8(text));
  CollectingEvents events;
  ExchangeBulletinParser parser("2017-01-05", events);
  const int result = parser.ParseSseBulletin(text);
  ASSERT_TRUE(result == kBulletinParsed || result == kBulletinMissing);
  if (result == kBulletinMissing) {
    EXPECT_TRUE(events.stocks.empty());
    return;
  }
  std::vector<std::string> titles = SseTitlesForTests();
  CheckStocks(events.stocks, text, "证券代码:", titles, false);
  // Each stock's reason comes before it, and some later title (or the closing text) after it.
  for (const StockRecord& r : events.stocks) {
    const std::size_t reasonAt = text.find(r.SB_Reason);
    ASSERT_NE(reasonAt, std::string::npos);
    const std::size_t stockAt = text.find(r.StockCode, reasonAt);
    EXPECT_NE(stockAt, std::string::npos) << r.StockCode;
    if (stockAt == std::string::npos) continue;
    bool ended = text.find("上海证券交易所", stockAt) != std::string::npos;
    for (const std::string& title : titles) ended = ended || text.find(title, stockAt) != std::string::npos;
    EXPECT_TRUE(ended) << r.StockCode << " comes from a section without an end";
  }
}

void CheckQuotes(const std::string& gbk) {
  const std::string text = joinLines(decodePage(gbk, "", "gbk"));
  for (int page = 0; page < 2; ++page) {
    StockRecord record;
    record.JinShou = -1;
    const int result = page == 0 ? ParseQuoteHistory(text, "2017-01-05", record)
                                 : ParseQuotePage(text, "2017-01-05", record);
    EXPECT_TRUE(result == kQuoteFound || result == kQuoteNoData || result == kQuotePageNoDay);
    for (double v : {record.JinShou, record.ZhangFu, record.DRCJL, record.Amount}) EXPECT_TRUE(std::isfinite(v));
    if (result != kQuoteFound) {
      EXPECT_EQ(record.JinShou, -1);
    }
  }
}

template <class Check>
void RunMutants(const std::vector<std::string>& seeds, const std::vector<std::string>& markers, std::uint64_t seed,
                Check check) {
  for (const std::string& s : seeds) check(s);
  MutationRandom rng(seed);
  for (int i = 0; i < kMutants && !testing::Test::HasFailure(); ++i) {
    const std::string mutant = MutantOf(seeds, rng, markers);
    SCOPED_TRACE("mutant " + std::to_string(i));
    check(mutant);
  }
}

std::vector<std::string> SzseMarkers() {
  std::vector<std::string> markers = {"(代码", ")", "卖出金额(元)", "卖出金额最大的前5名", "-----------------------",
                                      "偏离值:", "%", "成交量:", "万股", "成交金额:", "万元", "\r\n", " ", ".",
                                      "交易公开信息", "和未完成股改证券："};
  for (const std::string& title : SzseTitlesForTests()) markers.push_back(title);
  return GbkMarkers(markers);
}

std::vector<std::string> SseMarkers() {
  std::vector<std::string> markers = {"证券代码:", "证券简称:", ",", ", ", " ", "卖出金额(元):", "融券卖出金额(元):",
                                      "1、A股", "2、B股", "3、封闭式基金", "上海证券交易所每日交易信息", "交易日期:",
                                      "上海证券交易所", "\r\n"};
  for (const std::string& title : SseTitlesForTests()) markers.push_back(title);
  return markers;
}

}  // namespace

TEST(ExchangeMutation, ShenzhenFileMutantsParseSoundly) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  std::vector<std::string> seeds;
  for (const SzseBoardModel& board : day.boards) seeds.push_back(RenderSzseBulletin(day, board));
  RunMutants(seeds, SzseMarkers(), 20170105, CheckSzse);
}

TEST(ExchangeMutation, ShanghaiAnswerMutantsParseSoundly) {
  ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  std::vector<std::string> seeds = {RenderSseAnswer(day)};
  day.missingSseTitle = 5;
  seeds.push_back(RenderSseAnswer(day));
  RunMutants(seeds, SseMarkers(), 20170106, CheckSse);
}

TEST(ExchangeMutation, QuoteAnswerMutantsParseSoundly) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  std::vector<std::string> seeds;
  for (const ExchangeStockModel& stock : day.stocks) {
    seeds.push_back(RenderQuoteHistory(day, stock));
    seeds.push_back(RenderQuotePage(day, stock));
  }
  const std::vector<std::string> markers = {"[[", "\"", ",", "]", "</thead>", "<td>", "</td>", "</tr>", ">",
                                            "2017-01-05", "%"};
  RunMutants(seeds, markers, 20170107, CheckQuotes);
}

TEST(ExchangeMutation, SixteenMebibyteInputsTakeLinearTime) {
  auto repeat = [](const std::string& unit) {
    std::string out;
    out.reserve(kHugePage + unit.size());
    while (out.size() < kHugePage) out += unit;
    return out;
  };
  const std::string& szTitle = SzseTitlesForTests()[0];
  const std::string& shTitle = SseTitlesForTests()[0];
  const std::string head = "上海证券交易所每日交易信息 交易日期:2017-01-05 " + shTitle + " ";
  struct Case {
    const char* what;
    std::string text;
    int parser;  // 0 Shenzhen, 1 Shanghai, 2 quotes
  };
  const std::vector<Case> cases = {
      {"code markers", "交易公开信息\n" + szTitle + "\n" + repeat("甲(代码1\n") + "-----------------------", 0},
      {"titles", "交易公开信息\n" + repeat(szTitle), 0},
      {"seat rows", "交易公开信息\n" + szTitle + "\n乙(代码2)\n卖出金额最大的前5名\n卖出金额(元)\n" +
                        repeat("丙 1 2.00\n") + "-----------------------",
       0},
      {"blocks", head + "1、A股 " + repeat("证券代码: 600000 证券简称: 丁, ") + SseTitlesForTests()[1] + " 上海证券交易所", 1},
      {"commas", head + "1、A股 证券代码: 600000 证券简称: 戊, " + repeat(",") + SseTitlesForTests()[1], 1},
      {"titles again", head + repeat(SseTitlesForTests()[1]), 1},
      {"fields", "[[" + repeat("\"1\","), 2},
      {"cells", "</thead>2017-01-05" + repeat("<td>1</td>") + "</tr>", 2},
  };
  for (const Case& c : cases) {
    CollectingEvents events;
    ExchangeBulletinParser parser("2017-01-05", events);
    StockRecord record;
    const auto start = std::chrono::steady_clock::now();
    if (c.parser == 0) {
      parser.ParseSzseBulletin(c.text, "f");
    } else if (c.parser == 1) {
      parser.ParseSseBulletin(c.text);
    } else {
      ParseQuoteHistory(c.text, "2017-01-05", record);
      ParseQuotePage(c.text, "2017-01-05", record);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %.3f s\n", c.what, seconds);
    EXPECT_LT(seconds, kHugePageLimitSeconds) << c.what;
  }
}
