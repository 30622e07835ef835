// Both quote portals' answers on arbitrary bytes, decoded and joined as a fetch does:
// a known result, finite figures, and the record untouched unless the day was found.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "acquisition/page_text.h"
#include "acquisition/quote_history.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const std::string text = joinLines(decodePage(body, "", "gbk"));
  for (int reader = 0; reader < 2; ++reader) {
    StockRecord record;
    record.JinShou = -1;
    const int result = reader == 0 ? ParseQuoteHistory(text, "2017-01-05", record)
                                   : ParseQuotePage(text, "2017-01-05", record);
    if (result != kQuoteFound && result != kQuoteNoData && result != kQuotePageNoDay) std::abort();
    for (double v : {record.JinShou, record.ZhangFu, record.DRCJL, record.Amount}) {
      if (!std::isfinite(v)) std::abort();
    }
    if (result != kQuoteFound && record.JinShou != -1) std::abort();
  }
  return 0;
}
