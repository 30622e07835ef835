// The exchanges' bulletins on arbitrary bytes: the first byte chooses the Shenzhen file
// (decoded from GBK, line ends kept) or the Shanghai answer (decoded from UTF-8, lines
// joined); the rest is the input. No read past it; every stock handed on has valid
// UTF-8 text within its caps, finite figures and a name not handed on before.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "acquisition/exchange_bulletins.h"
#include "acquisition/page_text.h"
#include "storage/charset.h"

namespace {

void CheckText(const std::string& text, std::size_t cap) {
  if (!IsValidUtf8(text) || GbkByteLength(text) > cap) std::abort();
}

class Checking : public BulletinEvents {
 public:
  void Line(const std::string& text, COLORREF) override {
    if (!IsValidUtf8(text)) std::abort();
  }
  void Progress(const std::string& text) override {
    if (!IsValidUtf8(text)) std::abort();
  }
  void Stock(StockRecord& r) override {
    CheckText(r.StockName, kStockNameCap);
    CheckText(r.StockCode, kStockCodeCap);
    CheckText(r.SB_Reason, kStockReasonCap);
    if (!names_.insert(r.StockName).second) std::abort();
    for (double v : {r.JinShou, r.ZhangFu, r.DRCJL, r.Amount}) {
      if (!std::isfinite(v)) std::abort();
    }
    for (const SeatList* seats : {&r.BuySeats, &r.SellSeats}) {
      for (const SeatEntry& seat : *seats) {
        CheckText(seat.name, kSeatNameCap);
        if (!std::isfinite(seat.buy) || !std::isfinite(seat.sell)) std::abort();
      }
    }
  }

 private:
  std::set<std::string> names_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
  Checking events;
  ExchangeBulletinParser parser("2017-01-05", events);
  int result = 0;
  if (data[0] & 1) {
    result = parser.ParseSseBulletin(SseAnswerText(body, ""));
  } else {
    result = parser.ParseSzseBulletin(decodePage(body, "text/plain", "gbk"), "f");
  }
  if (result != kBulletinParsed && result != kBulletinMissing) std::abort();
  return 0;
}
