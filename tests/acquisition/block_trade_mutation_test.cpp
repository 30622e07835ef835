// The month page of block trades against mangled pages: generated pages (GBK) are
// mutated from a fixed seed, decoded as a fetch decodes them, and parsed. Whatever
// comes out must be a whole trade of a real day, well-formed, and from the page.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "../support/block_trade_pages.h"
#include "../support/page_generator.h"
#include "../support/page_mutator.h"
#include "acquisition/block_trade_parser.h"
#include "acquisition/page_text.h"
#include "storage/charset.h"

namespace {

constexpr int kMutants = 20000;
constexpr std::size_t kHugePage = 16u << 20;
// As the other parsers' bound: well under 1 s optimised; sanitizers and Debug get slack.
constexpr double kHugePageLimitSeconds = 10.0;

const std::vector<std::string>& Markers() {
  static const std::vector<std::string> markers = [] {
    std::vector<std::string> m = PageMarkers();
    for (const char* extra : {"list_eve", "list_odd", "rowspan=", "</strong>", "卖方营业部", "<!--content end-->"})
      m.push_back(EncodeGbk(extra));
    return m;
  }();
  return markers;
}

// The page's text with every tag taken out: a cell's value, tags taken out and blanks
// trimmed, is a piece of it.
std::string WithoutTags(const std::string& page) {
  std::string out;
  bool inTag = false;
  for (char c : page) {
    if (c == '<') {
      inTag = true;
    } else if (inTag) {
      inTag = c != '>';
    } else {
      out += c;
    }
  }
  return out;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

void ExpectText(const std::string& text, std::size_t cap, const char* what) {
  EXPECT_TRUE(IsValidUtf8(text)) << what;
  EXPECT_LE(GbkByteLength(text), cap) << what << ": " << text;
}

bool MainBoardCode(const std::string& code) {
  if (code.size() != 6) return false;
  for (char c : code)
    if (c < '0' || c > '9') return false;
  return code.starts_with("00") || code.starts_with("30") || code.starts_with("60");
}

void CheckPage(const std::string& gbk) {
  const std::string page = joinLines(decodePage(gbk, "text/html", kDefaultPageCharset));
  const BlockTradePageResult result = ParseBlockTradePage(page);
  const BlockTradeTable table = CutBlockTradeTable(page);
  EXPECT_EQ(result.hasTable, page.find("卖方营业部") != std::string::npos);
  if (!result.hasTable) {
    EXPECT_TRUE(result.trades.empty());
    return;
  }
  const std::string plain = WithoutTags(table.body);
  // Each trade is a row of its own, handed on once, and counted by its day.
  EXPECT_LE(result.trades.size(), Count(table.body, "list_eve"));
  int parsed = 0;
  for (const BlockTradeDaySummary& day : result.days) {
    EXPECT_TRUE(BlockTradeParser::IsDayText(day.day)) << day.day;
    EXPECT_GE(day.total, 1);
    EXPECT_EQ(day.stored, day.parsed);
    parsed += day.parsed;
  }
  EXPECT_EQ(static_cast<std::size_t>(parsed), result.trades.size());
  for (const CBlockTradeRow& t : result.trades) {
    EXPECT_TRUE(BlockTradeParser::IsDayText(t.Day)) << t.Day;
    EXPECT_TRUE(MainBoardCode(t.StockCode)) << t.StockCode;
    ExpectText(t.StockName, kBlockTradeNameCap, "name");
    ExpectText(t.BuyName, kBlockTradeBranchCap, "buyer");
    ExpectText(t.SellName, kBlockTradeBranchCap, "seller");
    EXPECT_TRUE(t.Note.empty());
    EXPECT_GE(t.nCount, 1);
    EXPECT_TRUE(std::isfinite(t.SPJ) && std::isfinite(t.CJJ) && std::isfinite(t.CJJE));
    EXPECT_EQ(t.CJJE, std::trunc(t.CJJE));
    // Every text comes from the table body.
    for (const std::string* text : {&t.Day, &t.StockCode, &t.StockName, &t.BuyName, &t.SellName}) {
      EXPECT_NE(plain.find(*text), std::string::npos) << *text;
    }
  }
}

std::vector<std::string> Seeds() {
  std::vector<std::string> seeds;
  BlockTradeMonthOptions small;
  small.minStocks = 1;
  small.maxStocks = 3;
  const BlockTradeMonthModel month = MakeBlockTradeMonth("201702", {"2017-02-06", "2017-02-03"}, 5, small);
  seeds.push_back(JoinPageLines(RenderBlockTradeMonthPage(month)));
  seeds.push_back(JoinPageLines(RenderBlockTradeMonthPage(month, BlockTradePageKind::BareCells)));
  seeds.push_back(JoinPageLines(RenderBlockTradeMonthPage(month, BlockTradePageKind::NoContentEnd)));
  BlockTradeMonthModel odd = MakeBlockTradeMonth("201612", {"2016-12-30", "2016-12-29", "2016-12-28"}, 6, small);
  MakeDayUnreadable(odd, 1, "2016-12-32");
  BreakTradeCell(odd, 0, 0, 0);
  seeds.push_back(JoinPageLines(RenderBlockTradeMonthPage(odd)));
  return seeds;
}

TEST(BlockTradeMutation, SeedsParseSoundlyAndHoldTrades) {
  for (const std::string& seed : Seeds()) {
    CheckPage(seed);
    EXPECT_FALSE(ParseBlockTradePage(joinLines(decodePage(seed, "text/html", kDefaultPageCharset))).trades.empty());
  }
}

TEST(BlockTradeMutation, MonthPageMutantsParseSoundly) {
  const std::vector<std::string> seeds = Seeds();
  MutationRandom rng(20170206);
  int withTrades = 0;
  for (int i = 0; i < kMutants && !HasFatalFailure() && !HasNonfatalFailure(); ++i) {
    const std::string mutant = MutantOf(seeds, rng, Markers());
    SCOPED_TRACE("mutant " + std::to_string(i));
    CheckPage(mutant);
    if (i % 100 == 0) {
      const std::string page = joinLines(decodePage(mutant, "text/html", kDefaultPageCharset));
      withTrades += ParseBlockTradePage(page).trades.empty() ? 0 : 1;
    }
  }
  // Most mutants keep most of their page: the checks above ran over real trades.
  EXPECT_GT(withTrades, kMutants / 100 / 2);
}

std::string Repeat(const std::string& unit, std::size_t bytes) {
  std::string out;
  out.reserve(bytes + unit.size());
  while (out.size() < bytes) out += unit;
  return out;
}

TEST(BlockTradeMutation, SixteenMebibytePagesTakeLinearTime) {
  const std::string head = "<tr><th>卖方营业部</th></tr>";
  const std::string dateRow = "<tr class=\"list_eve\"><td rowspan=\"5\" valign=\"middle\"><strong>2017-02-06</strong></td>";
  const std::string stockRow =
      "<td rowspan=\"9\"><a>600036</a></td><td rowspan=\"9\"><a>招商银行</a></td><td rowspan=\"9\"><a>明细</a></td>"
      "<td rowspan=\"9\">19.25</td><td>19.10</td><td>120</td><td>2292</td><td>买方</td><td>卖方</td></tr>";
  struct Case {
    const char* what;
    std::string page;
  };
  const std::vector<Case> cases = {
      {"row markers without rows", head + Repeat("list_eve", kHugePage)},
      {"row ends without markers", head + dateRow + stockRow + Repeat("</tr>", kHugePage)},
      {"row ends, one marker at the end", head + dateRow + stockRow + Repeat("</tr>", kHugePage) + "list_eve"},
      {"spacers", head + Repeat("list_odd", kHugePage)},
      {"spacers with row ends", head + Repeat("list_odd</tr>", kHugePage)},
      {"one row of closed cells", head + dateRow + Repeat("<td>1</td>", kHugePage) + "</tr>"},
      {"one row of unclosed cells", head + dateRow + Repeat("<td class=\"x\">", kHugePage)},
      {"a cell of unclosed tags", head + dateRow + "<td>" + Repeat("<b", kHugePage) + "</td></tr>"},
      {"further rows", head + dateRow + stockRow + Repeat("<tr class=\"list_eve\"><td>1</td><td>2</td></tr>", kHugePage)},
      {"whole days", head + Repeat(dateRow + stockRow + "<tr class=\"list_odd\"><td colspan=11></td></tr>", kHugePage)},
      {"titles", Repeat("卖方营业部", kHugePage)},
  };
  for (const Case& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const BlockTradePageResult result = ParseBlockTradePage(c.page);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %.3f s, %zu trades\n", c.what, seconds, result.trades.size());
    EXPECT_LT(seconds, kHugePageLimitSeconds) << c.what;
  }
}

}  // namespace
