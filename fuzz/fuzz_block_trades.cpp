// The month page of block trades on arbitrary bytes, decoded and joined as a fetch
// does: no read past the input; every trade handed on is of a real day and a main
// board code, its texts valid UTF-8 within their caps, its numbers finite, its amount
// whole; and the days' counts add up to the trades.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "acquisition/block_trade_parser.h"
#include "acquisition/page_text.h"
#include "storage/charset.h"

namespace {

void CheckText(const std::string& text, std::size_t cap) {
  if (!IsValidUtf8(text) || GbkByteLength(text) > cap) std::abort();
}

bool MainBoardCode(const std::string& code) {
  if (code.size() != 6) return false;
  for (char c : code)
    if (c < '0' || c > '9') return false;
  return code.starts_with("00") || code.starts_with("30") || code.starts_with("60");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const std::string page = joinLines(decodePage(body, "text/html", kDefaultPageCharset));
  if (!IsValidUtf8(page)) std::abort();
  int offered = 0;
  const BlockTradePageResult result = ParseBlockTradePage(page, [&](const CBlockTradeRow&) {
    return ++offered % 3 != 0;  // some trades "already stored"
  });
  if (!result.hasTable && (!result.trades.empty() || !result.days.empty())) std::abort();
  std::size_t parsed = 0;
  std::size_t stored = 0;
  for (const BlockTradeDaySummary& day : result.days) {
    if (!BlockTradeParser::IsDayText(day.day) || day.total < 1 || day.stored > day.parsed) std::abort();
    parsed += static_cast<std::size_t>(day.parsed);
    stored += static_cast<std::size_t>(day.stored);
  }
  if (parsed != result.trades.size() || parsed != static_cast<std::size_t>(offered)) std::abort();
  if (stored != parsed - parsed / 3) std::abort();
  for (const CBlockTradeRow& t : result.trades) {
    if (!BlockTradeParser::IsDayText(t.Day) || !MainBoardCode(t.StockCode) || t.nCount < 1) std::abort();
    CheckText(t.StockName, kBlockTradeNameCap);
    CheckText(t.BuyName, kBlockTradeBranchCap);
    CheckText(t.SellName, kBlockTradeBranchCap);
    if (!std::isfinite(t.SPJ) || !std::isfinite(t.CJJ) || !std::isfinite(t.CJJE)) std::abort();
    if (t.CJJE != std::trunc(t.CJJE)) std::abort();
  }
  return 0;
}
