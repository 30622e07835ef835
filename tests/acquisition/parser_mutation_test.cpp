// Both page parsers against mangled pages: generated pages (GBK) are mutated from a
// fixed seed, decoded as a fetch decodes them, and parsed. Whatever comes out must be
// well-formed and must come from the right place of the page.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "../support/page_generator.h"
#include "../support/page_mutator.h"
#include "acquisition/day_list_parser.h"
#include "acquisition/seat_page_parser.h"
#include "storage/charset.h"

namespace {

constexpr int kMutantsPerParser = 20000;
constexpr std::size_t kHugePage = 16u << 20;
// 16 MiB take well under 1 s in an optimised build; sanitizers and Debug get slack.
constexpr double kHugePageLimitSeconds = 10.0;

void ExpectText(const std::string& text, std::size_t cap, const char* what) {
  EXPECT_TRUE(IsValidUtf8(text)) << what;
  EXPECT_LE(GbkByteLength(text), cap) << what << ": " << text;
}

// ---------------------------------------------------------------------------------
// Day list

// The records of a decoded list page, found the plain way: from "[{" on, each "{" to
// the next "}", until "]" follows a record, at most 200.
std::vector<std::string> ListRecords(const std::string& page) {
  std::vector<std::string> records;
  std::size_t pos = page.find("[{");
  if (pos == std::string::npos) return records;
  while (records.size() < 200) {
    const std::size_t open = page.find('{', pos);
    const std::size_t close = open == std::string::npos ? open : page.find('}', open);
    if (close == std::string::npos) break;
    records.push_back(page.substr(open + 1, close - open - 1));
    pos = close + 1;
    const std::size_t next = page.find_first_not_of(" \t\r\n", pos);
    if (next != std::string::npos && page[next] == ']') break;
  }
  return records;
}

// The first of the six keys that the record lacks in order, or "" when all are there.
std::string FirstMissingKey(const std::string& record) {
  std::size_t pos = 0;
  for (const char* key : {"SCode", "SName", "ClosePrice", "Chgradio", "Turnover", "Ctypedes"}) {
    const std::size_t at = record.find("\"" + std::string(key) + "\":", pos);
    if (at == std::string::npos) return key;
    pos = record.find(',', at);
    if (pos == std::string::npos) pos = record.size();
  }
  return "";
}

std::string WithoutBlanks(std::string text) {
  std::erase(text, ' ');
  return text;
}

void CheckDayList(const std::string& gbk) {
  const std::string page = FromGbk(gbk);
  const DayListPage parsed = ParseDayList(page, "2017-02-06");
  const std::vector<std::string> records = ListRecords(page);
  EXPECT_EQ(parsed.hasRecordArray, page.find("[{") != std::string::npos);
  ASSERT_EQ(parsed.entries.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    const DayListEntry& e = parsed.entries[i];
    const std::string missing = FirstMissingKey(records[i]);
    EXPECT_EQ(e.index, static_cast<int>(i) + 1);
    EXPECT_EQ(e.complete, missing.empty()) << records[i];
    if (!e.complete) {
      EXPECT_EQ(e.missingKey, missing);
      continue;
    }
    const StockRecord& r = e.record;
    ExpectText(r.StockName, 29, "name");
    ExpectText(r.StockCode, 19, "code");
    ExpectText(r.SB_Reason, 99, "reason");
    ExpectText(r.SB_Date, 19, "date");
    EXPECT_NE(records[i].find(r.SB_Reason), std::string::npos);
    EXPECT_NE(records[i].find(r.StockCode), std::string::npos);
    EXPECT_NE(WithoutBlanks(records[i]).find(WithoutBlanks(r.StockName)), std::string::npos);
    for (double v : {r.JinShou, r.ZhangFu, r.Amount}) EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(r.ZuoShou + r.JinKai + r.HuanShou + r.ZhenFu + r.DRCJL, 0);
  }
}

// ---------------------------------------------------------------------------------
// Seat pages

void CheckSeats(const SeatList& seats, const std::vector<std::string>& rows, const char* table) {
  for (std::size_t i = 0; i < seats.size(); ++i) {
    const SeatEntry& seat = seats[i];
    ExpectText(seat.name, 199, table);
    EXPECT_TRUE(std::isfinite(seat.buy) && std::isfinite(seat.sell));
    if (i >= rows.size()) {
      EXPECT_EQ(seat, SeatEntry{}) << table << " seat " << i + 1 << " has no row";
      continue;
    }
    if (!seat.name.empty()) {
      EXPECT_TRUE(SeatNameOccursIn(seat.name, rows[i])) << table << " " << seat.name;
    }
    if (seat.buy != 0) {
      EXPECT_TRUE(AmountOccursIn(seat.buy, rows[i])) << table << " " << seat.buy;
    }
    if (seat.sell != 0) {
      EXPECT_TRUE(AmountOccursIn(seat.sell, rows[i])) << table << " " << seat.sell;
    }
  }
}

void CheckSeatPage(const std::string& gbk) {
  const std::string page = FromGbk(gbk);
  StockRecord record;
  const int result = ParseSeatPage(page, record);
  static const std::set<int> kCodes = {kSeatPageOk,        kSeatPageNoTableEnd, kSeatPageNoBuyBody,
                                       kSeatPageNoBuyEnd,  kSeatPageNoSellBody, kSeatPageNoSellEnd};
  ASSERT_TRUE(kCodes.count(result)) << result;
  if (result != kSeatPageOk) {
    EXPECT_EQ(record.BuySeats, SeatList{});
    EXPECT_EQ(record.SellSeats, SeatList{});
    return;
  }
  CheckSeats(record.BuySeats, SeatTableRows(page, 1), "buy");
  CheckSeats(record.SellSeats, SeatTableRows(page, 2), "sell");
}

// ---------------------------------------------------------------------------------

std::vector<std::string> ListSeeds() {
  MarketOptions small;
  small.minStocks = 3;
  small.maxStocks = 8;
  std::vector<std::string> seeds;
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    small.specialNames = seed % 2 == 1;
    seeds.push_back(JoinPageLines(RenderListPage(MakeMarketDay("2017-02-06", seed, small))));
  }
  return seeds;
}

std::vector<std::string> SeatSeeds() {
  const MarketDay day = MakeMarketDay("2017-02-03", 11);
  std::vector<std::string> seeds;
  std::set<SeatPageKind> kinds;
  for (const MarketStock& stock : day.stocks)
    if (kinds.insert(stock.seatPage).second || seeds.size() < 8)
      seeds.push_back(JoinPageLines(RenderSeatPage(day, stock)));
  return seeds;
}

TEST(ParserMutation, DayListMutantsParseSoundly) {
  const std::vector<std::string> seeds = ListSeeds();
  for (const std::string& seed : seeds) CheckDayList(seed);
  MutationRandom rng(20170206);
  const int count = kMutantsPerParser;
  for (int i = 0; i < count && !HasFatalFailure() && !HasNonfatalFailure(); ++i) {
    const std::string mutant = MutantOf(seeds, rng);
    SCOPED_TRACE("mutant " + std::to_string(i));
    CheckDayList(mutant);
  }
}

TEST(ParserMutation, SeatPageMutantsParseSoundly) {
  const std::vector<std::string> seeds = SeatSeeds();
  ASSERT_GE(seeds.size(), 4u);
  for (const std::string& seed : seeds) CheckSeatPage(seed);
  MutationRandom rng(20170203);
  const int count = kMutantsPerParser;
  for (int i = 0; i < count && !HasFatalFailure() && !HasNonfatalFailure(); ++i) {
    const std::string mutant = MutantOf(seeds, rng);
    SCOPED_TRACE("mutant " + std::to_string(i));
    CheckSeatPage(mutant);
  }
}

TEST(ParserMutation, EmptyPagesGiveNothing) {
  EXPECT_FALSE(ParseDayList("", "2017-02-06").hasRecordArray);
  StockRecord record;
  EXPECT_EQ(ParseSeatPage("", record), kSeatPageNoTableEnd);
}

double SecondsToDecodeAndParse(const std::string& gbk, bool list) {
  const auto start = std::chrono::steady_clock::now();
  const std::string page = FromGbk(gbk);
  if (list) {
    ParseDayList(page, "2017-02-06");
  } else {
    StockRecord record;
    ParseSeatPage(page, record);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Repeat(const std::string& unit, std::size_t bytes) {
  std::string out;
  out.reserve(bytes + unit.size());
  while (out.size() < bytes) out += unit;
  return out;
}

TEST(ParserMutation, SixteenMebibytePagesTakeLinearTime) {
  struct Case {
    const char* what;
    std::string page;
    bool list;
  };
  const std::vector<Case> cases = {
      {"braces", std::string(kHugePage, '{'), true},
      {"array of braces", "[" + std::string(kHugePage, '{'), true},
      {"one unclosed record of keys", "[{" + Repeat("\"SCode\":\"1\",\"SName\":", kHugePage) + "}", true},
      {"empty records", "[" + Repeat("{},", kHugePage), true},
      {"braces for seats", std::string(kHugePage, '{'), false},
      {"unclosed cells", "</tbody><tbody><tr>" + Repeat("<td class=\"x\">", kHugePage), false},
      {"closed cells", "</tbody><tbody><tr>" + Repeat("<td>1</td>", kHugePage) + "</tr>", false},
      {"bodies", Repeat("</tbody><tbody>", kHugePage), false},
      {"rows without cells", "</tbody><tbody></tbody><tbody>" + Repeat("<tr>", kHugePage), false},
  };
  for (const Case& c : cases) {
    const double seconds = SecondsToDecodeAndParse(c.page, c.list);
    std::printf("%s: %.3f s\n", c.what, seconds);
    EXPECT_LT(seconds, kHugePageLimitSeconds) << c.what;
  }
}

}  // namespace
