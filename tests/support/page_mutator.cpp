#include "page_mutator.h"

#include <string_view>

#include "storage/ole_types.h"

std::uint64_t MutationRandom::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

const std::vector<std::string>& PageMarkers() {
  static const std::vector<std::string> markers = {"[{", "{", "}", "\"", ",", "<tbody>", "</tbody>", "<tr>",
                                                   "<td", "</td>", "</a></a>", ">", "</tr>", ":"};
  return markers;
}

namespace {

// The position of some occurrence of `marker` (searched from a random start, wrapping).
std::size_t SomeOccurrence(const std::string& page, const std::string& marker, MutationRandom& rng) {
  std::size_t at = page.find(marker, rng.Below(page.size() + 1));
  if (at == std::string::npos) at = page.find(marker);
  return at;
}

}  // namespace

void MutatePage(std::string& page, MutationRandom& rng) { MutatePage(page, rng, PageMarkers()); }

void MutatePage(std::string& page, MutationRandom& rng, const std::vector<std::string>& markers) {
  const std::string& marker = markers[rng.Below(markers.size())];
  switch (rng.Below(10)) {
    case 0:  // truncation
      page.resize(rng.Below(page.size() + 1));
      break;
    case 1: {  // a marker deleted
      const std::size_t at = SomeOccurrence(page, marker, rng);
      if (at != std::string::npos) page.erase(at, marker.size());
      break;
    }
    case 2: {  // a marker duplicated
      const std::size_t at = SomeOccurrence(page, marker, rng);
      if (at != std::string::npos) page.insert(at, marker);
      break;
    }
    case 3: {  // two markers swapped
      const std::string& other = markers[rng.Below(markers.size())];
      const std::size_t a = SomeOccurrence(page, marker, rng);
      if (a == std::string::npos) break;
      const std::size_t b = page.find(other, a + marker.size());
      if (b == std::string::npos) break;
      page.replace(b, other.size(), marker);
      page.replace(a, marker.size(), other);
      break;
    }
    case 4:  // a flipped byte
      if (!page.empty()) page[rng.Below(page.size())] ^= static_cast<char>(1u << rng.Below(8));
      break;
    case 5:  // a lone GBK lead byte
      page.insert(rng.Below(page.size() + 1), 1, static_cast<char>(0x81 + rng.Below(0x7E)));
      break;
    case 6:  // 0x80 or 0xFF
      page.insert(rng.Below(page.size() + 1), 1, rng.Below(2) ? '\x80' : '\xFF');
      break;
    case 7: {  // a number turned into a 400-digit one or "1e999"
      std::size_t at = page.find_first_of("0123456789", rng.Below(page.size() + 1));
      if (at == std::string::npos) break;
      const std::size_t end = page.find_first_not_of("0123456789.", at);
      page.replace(at, (end == std::string::npos ? page.size() : end) - at,
                   rng.Below(2) ? std::string(400, static_cast<char>('1' + rng.Below(9))) : std::string("1e999"));
      break;
    }
    case 8:  // a marker inserted anywhere
      page.insert(rng.Below(page.size() + 1), marker);
      break;
    default: {  // a slice removed
      const std::size_t at = rng.Below(page.size() + 1);
      page.erase(at, rng.Below(64));
      break;
    }
  }
}

std::string MutantOf(const std::vector<std::string>& seeds, MutationRandom& rng) {
  return MutantOf(seeds, rng, PageMarkers());
}

std::string MutantOf(const std::vector<std::string>& seeds, MutationRandom& rng,
                     const std::vector<std::string>& markers) {
  std::string page = seeds[rng.Below(seeds.size())];
  const std::size_t steps = 1 + rng.Below(4);
  for (std::size_t i = 0; i < steps; ++i) MutatePage(page, rng, markers);
  return page;
}

std::vector<std::string> SeatTableRows(const std::string& page, int table) {
  std::size_t pos = page.find("</tbody>");
  if (pos == std::string::npos) return {};
  std::string body;
  for (int t = 1; t <= table; ++t) {
    const std::size_t open = page.find("<tbody>", pos);
    if (open == std::string::npos) return {};
    const std::size_t close = page.find("</tbody>", open + 7);
    if (close == std::string::npos) return {};
    body = page.substr(open + 7, close - open - 7);
    pos = close + 8;
  }
  std::vector<std::string> rows;
  std::size_t at = 0;
  while (rows.size() < 5) {
    const std::size_t open = body.find("<tr>", at);
    const std::size_t close = open == std::string::npos ? open : body.find("</tr>", open + 4);
    if (close == std::string::npos) break;
    rows.push_back(body.substr(open + 4, close - open - 4));
    at = close + 5;
  }
  return rows;
}

bool SeatNameOccursIn(const std::string& name, const std::string& row) {
  // The completion may have added "部" or "业部", and the cap may have cut the end.
  for (const char* tail : {"", "部", "业部", "业"}) {
    const std::string t(tail);
    if (name.size() >= t.size() && name.compare(name.size() - t.size(), t.size(), t) == 0 &&
        row.find(name.substr(0, name.size() - t.size())) != std::string::npos)
      return true;
  }
  return false;
}

bool AmountOccursIn(double amount, const std::string& row) {
  for (std::size_t gt = row.find('>'); gt != std::string::npos; gt = row.find('>', gt + 1))
    if (ParseNumberC(std::string_view(row).substr(gt + 1)) == amount) return true;
  return false;
}
