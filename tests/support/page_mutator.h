#pragma once
// Mangled web pages for the parser tests: a seeded random source, the mutations (cuts,
// markers deleted, doubled, swapped or inserted, flipped and stray bytes, huge numbers),
// and the plain-way readers of a seat page that tell where a parsed seat may come from.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// splitmix64: the same sequence for the same seed on every platform.
class MutationRandom {
 public:
  explicit MutationRandom(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  // A number in [0, n); 0 when n is 0.
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(Next() % n); }

 private:
  std::uint64_t state_;
};

// The markers the parsers look for; mutations delete, double, swap and insert them.
const std::vector<std::string>& PageMarkers();

// One mutation of `page` in place.
void MutatePage(std::string& page, MutationRandom& rng);
// The same with a parser's own marker list.
void MutatePage(std::string& page, MutationRandom& rng, const std::vector<std::string>& markers);

// One of `seeds`, mutated one to four times.
std::string MutantOf(const std::vector<std::string>& seeds, MutationRandom& rng);
std::string MutantOf(const std::vector<std::string>& seeds, MutationRandom& rng,
                     const std::vector<std::string>& markers);

// Up to five rows "<tr>...</tr>" (their inner text) of one seat table of a decoded
// page (1 = buying, 2 = selling), found the plain way: the first "</tbody>" ends the
// skipped table, then each "<tbody>" to its "</tbody>". Empty when the page lacks
// that table.
std::vector<std::string> SeatTableRows(const std::string& page, int table);

// The stored branch name comes from `row`: the row holds it, less the "部"/"业部"
// completion the parser may have added (a name cut at its cap still occurs whole).
bool SeatNameOccursIn(const std::string& name, const std::string& row);

// Some ">" of the row is followed by a number text that reads as `amount`.
bool AmountOccursIn(double amount, const std::string& row);
