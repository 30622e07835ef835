// A stock's seat page on arbitrary bytes, decoded and joined as a fetch does: no read
// past the input; a known result code; seats filled only when both tables were cut
// out, and then valid UTF-8 within the cap and finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "acquisition/page_text.h"
#include "acquisition/seat_page_parser.h"
#include "storage/charset.h"

namespace {

bool KnownResult(int result) {
  switch (result) {
    case kSeatPageOk:
    case kSeatPageNoTableEnd:
    case kSeatPageNoBuyBody:
    case kSeatPageNoBuyEnd:
    case kSeatPageNoSellBody:
    case kSeatPageNoSellEnd:
      return true;
    default:
      return false;
  }
}

void CheckSeats(const SeatList& seats) {
  for (const SeatEntry& seat : seats) {
    if (!IsValidUtf8(seat.name) || GbkByteLength(seat.name) > 199) std::abort();
    if (!std::isfinite(seat.buy) || !std::isfinite(seat.sell)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const std::string page = joinLines(decodePage(body, "text/html", kDefaultPageCharset));
  if (!IsValidUtf8(page)) std::abort();
  StockRecord record;
  const int result = ParseSeatPage(page, record);
  if (!KnownResult(result)) std::abort();
  if (result != kSeatPageOk) {
    if (record.BuySeats != SeatList{} || record.SellSeats != SeatList{}) std::abort();
    return 0;
  }
  CheckSeats(record.BuySeats);
  CheckSeats(record.SellSeats);
  return 0;
}
