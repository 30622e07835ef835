// The data centre's day list on arbitrary bytes, decoded and joined as a fetch does:
// no read past the input, and every complete record is well-formed and within caps.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "acquisition/day_list_parser.h"
#include "acquisition/page_text.h"
#include "storage/charset.h"

namespace {

void CheckText(const std::string& text, std::size_t cap) {
  if (!IsValidUtf8(text) || GbkByteLength(text) > cap) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const std::string page = joinLines(decodePage(body, "text/html", kDefaultPageCharset));
  if (!IsValidUtf8(page)) std::abort();
  const DayListPage parsed = ParseDayList(page, "2017-02-06");
  if (parsed.hasRecordArray != (page.find("[{") != std::string::npos)) std::abort();
  if (parsed.entries.size() > static_cast<std::size_t>(kDayListMaxRecords)) std::abort();
  int index = 0;
  for (const DayListEntry& entry : parsed.entries) {
    if (entry.index != ++index) std::abort();
    if (!entry.complete) {
      if (entry.missingKey.empty()) std::abort();
      continue;
    }
    const StockRecord& r = entry.record;
    CheckText(r.StockName, 29);
    CheckText(r.StockCode, 19);
    CheckText(r.SB_Date, 19);
    CheckText(r.SB_Reason, 99);
    if (r.SB_Date != "2017-02-06") std::abort();
    for (double v : {r.JinShou, r.ZhangFu, r.Amount}) {
      if (!std::isfinite(v)) std::abort();
    }
    if (r.ZuoShou != 0 || r.JinKai != 0 || r.HuanShou != 0 || r.ZhenFu != 0 || r.DRCJL != 0) std::abort();
  }
  return 0;
}
