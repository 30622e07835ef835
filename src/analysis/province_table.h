#pragma once
// The regions of the branch ranking: two cities (上海, 北京) and twelve provinces,
// each province a fixed list of its city names. A branch belongs to a region when its
// name holds the key (for a province: any name of its list) somewhere after its first
// character; a name that only begins with the key does not. The search steps over the
// name character by character, so a key never matches across two characters.

#include <string>
#include <vector>

#include "analysis/branch_ranking.h"

class BranchMarks;

// The twelve provinces' city lists, in the order kProvinceRegions gives them.
extern std::vector<std::vector<std::string>> g_ProvinceCities;
inline constexpr int kProvinceCount = 12;

// Fills g_ProvinceCities with the twelve lists (155 names). Filling again gives the
// same table, never a doubled one.
void BuildCityProvinceTable();

// One region button of the ranking page: its id and caption; a city button matches its
// caption, a province button (province >= 0) the names of g_ProvinceCities[province].
struct RegionButton {
  int id;
  const char* caption;
  int province;  // -1: a city
};
// The fourteen buttons in id order (1017 … 1031, 1021 being the page's "昨日").
extern const std::vector<RegionButton> kRegionButtons;

// Whether `key` occurs in `name` at a character position after the first.
bool NameMatchesRegionKey(const std::string& name, const std::string& key);
bool NameMatchesRegion(const std::string& name, const std::vector<std::string>& keys);

// The rows of `rows` (in their order) whose names match, each once, numbered from 1
// over the shown rows; no row limit.
std::vector<BranchRankingRow> RegionView(const std::vector<CBranchTotalsRow>& rows,
                                         const std::vector<std::string>& keys, const BranchMarks& marks);
// The keys of a region button: its caption for a city, the province's list otherwise
// (empty for an id that is no region button).
std::vector<std::string> RegionKeys(int buttonId);
