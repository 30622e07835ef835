#include "storage/gbk_format.h"

#include <array>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <locale.h>

namespace gbk_format_detail {

namespace {

// vsnprintf follows LC_NUMERIC; the lines must not, so the thread formats in "C".
class CLocaleScope {
 public:
  CLocaleScope() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    previous_ = uselocale(c);
  }
  ~CLocaleScope() { uselocale(previous_); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t previous_;
};

}  // namespace

std::string FormatBytes(const char* gbkFormat, ...) {
  CLocaleScope cLocale;
  va_list args;
  va_start(args, gbkFormat);
  va_list again;
  va_copy(again, args);
  // A line fits the buffer; a longer text is formatted a second time at its length.
  char buffer[256];
  const int needed = std::vsnprintf(buffer, sizeof buffer, gbkFormat, args);
  std::string out;
  if (needed > 0 && static_cast<std::size_t>(needed) < sizeof buffer) {
    out.assign(buffer, static_cast<std::size_t>(needed));
  } else if (needed > 0) {
    out.resize(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(out.data(), out.size(), gbkFormat, again);
    out.resize(static_cast<std::size_t>(needed));
  }
  va_end(again);
  va_end(args);
  return out;
}

const std::string& EncodedFormat(std::string_view utf8Format) {
  // The formats are the program's own few texts: the last ones converted are kept.
  struct Kept {
    std::string utf8;
    std::string gbk;
  };
  thread_local std::array<Kept, 8> kept;
  thread_local std::size_t next = 0;
  for (const Kept& format : kept) {
    if (format.utf8 == utf8Format && !format.gbk.empty()) return format.gbk;
  }
  Kept& format = kept[next];
  next = (next + 1) % kept.size();
  format.utf8.assign(utf8Format);
  format.gbk = ToGbk(utf8Format);
  return format.gbk;
}

}  // namespace gbk_format_detail
