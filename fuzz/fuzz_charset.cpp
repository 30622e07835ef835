// The character-set conversions on arbitrary bytes: no read past the input, valid
// UTF-8 out of every decoder, and the byte-width helpers agree with the encoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "storage/charset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so any read past the end is caught.
  std::vector<char> exact(data, data + size);
  const char* p = exact.empty() ? "" : exact.data();

  std::string utf8;
  Gb2312ToUtf8(utf8, p, size);
  if (!IsValidUtf8(utf8)) std::abort();
  const std::string decoded = FromGbk(std::string_view(p, size));
  if (!IsValidUtf8(decoded)) std::abort();

  std::string gbk;
  Utf8ToGb2312(gbk, p, size);
  const std::string_view input(p, size);
  if (IsValidUtf8(input)) {
    const std::string encoded = ToGbk(input);
    if (GbkByteLength(input) != encoded.size()) std::abort();
    const std::size_t cap = size / 2;
    if (ToGbk(CutGbk(input, cap)).size() > cap) std::abort();
    if (GbkByteLength(PadGbkRight(input, 40)) < 40) std::abort();
  }
  return 0;
}
