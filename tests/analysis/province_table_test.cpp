// The province table and the regional views of the branch ranking.
#include "analysis/province_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "records/branch_marks.h"

namespace {

std::vector<CBranchTotalsRow> Ranking(const std::vector<std::string>& names) {
  std::vector<CBranchTotalsRow> rows;
  for (std::size_t i = 0; i < names.size(); ++i) {
    CBranchTotalsRow& row = rows.emplace_back();
    row.YYBName = names[i];
    row.TotalBuy = 100.0 * static_cast<double>(names.size() - i);
    row.nCount = 1;
  }
  return rows;
}

std::vector<std::string> Shown(const std::vector<BranchRankingRow>& rows) {
  std::vector<std::string> names;
  for (const BranchRankingRow& row : rows) names.push_back(row.cells[0] + " " + row.cells[1]);
  return names;
}

TEST(ProvinceTableTest, HoldsTwelveListsOf155NamesInOrder) {
  BuildCityProvinceTable();
  BuildCityProvinceTable();  // filled again: the same table
  ASSERT_EQ(g_ProvinceCities.size(), 12u);
  std::size_t names = 0;
  for (const auto& list : g_ProvinceCities) names += list.size();
  EXPECT_EQ(names, 155u);
  EXPECT_EQ(g_ProvinceCities[0].front(), "南京");
  EXPECT_EQ(g_ProvinceCities[0].back(), "宿迁");
  EXPECT_EQ(g_ProvinceCities[7], (std::vector<std::string>{"四川", "成都"}));
  EXPECT_EQ(g_ProvinceCities[8].size(), 22u);
  EXPECT_EQ(g_ProvinceCities[11].back(), "湘西");

  ASSERT_EQ(kRegionButtons.size(), 14u);
  std::set<int> ids;
  for (const RegionButton& button : kRegionButtons) ids.insert(button.id);
  EXPECT_EQ(ids.size(), 14u);
  EXPECT_FALSE(ids.contains(1021));
  EXPECT_EQ(RegionKeys(1017), (std::vector<std::string>{"上海"}));
  EXPECT_EQ(RegionKeys(1023), (std::vector<std::string>{"北京"}));
  EXPECT_EQ(RegionKeys(1024), g_ProvinceCities[0]);  // 江苏
  EXPECT_EQ(RegionKeys(1031), g_ProvinceCities[9]);  // 福建
  EXPECT_EQ(RegionKeys(1018).front(), "太原");       // 山西
  EXPECT_EQ(RegionKeys(1029).front(), "西安");       // 陕西
  EXPECT_TRUE(RegionKeys(1021).empty());
}

TEST(ProvinceTableTest, AKeyMatchesAfterTheFirstCharacterOnly) {
  EXPECT_FALSE(NameMatchesRegionKey("上海证券营业部", "上海"));
  EXPECT_TRUE(NameMatchesRegionKey("上海证券有限责任公司苏州营业部", "苏州"));
  // Begins with the key and holds it again later.
  EXPECT_TRUE(NameMatchesRegionKey("上海证券上海浦东营业部", "上海"));
  EXPECT_TRUE(NameMatchesRegionKey("x上海", "上海"));
  EXPECT_FALSE(NameMatchesRegionKey("上海", "上海"));
  EXPECT_FALSE(NameMatchesRegionKey("", "上海"));
  EXPECT_FALSE(NameMatchesRegionKey("上海证券", ""));
  // Only at character starts: a stray byte inside a name never lines up a match.
  const std::string torn = std::string("\xE4") + "上海";  // a lead byte without its character
  EXPECT_TRUE(NameMatchesRegionKey(torn, "上海"));
  EXPECT_FALSE(NameMatchesRegionKey("\xE4\xB8", "\xB8"));
}

TEST(ProvinceTableTest, ViewsFilterTheRankingInItsOrderEachBranchOnce) {
  BuildCityProvinceTable();
  EXPECT_TRUE(RegionView({}, RegionKeys(1024), BranchMarks{}).empty());
  const std::vector<CBranchTotalsRow> ranking =
      Ranking({"上海证券有限责任公司苏州营业部", "国信证券四川成都营业部", "上海证券上海浦东营业部",
               "华泰证券南京营业部", "中信证券北京营业部", "上海证券营业部"});
  EXPECT_EQ(Shown(RegionView(ranking, RegionKeys(1024), BranchMarks{})),
            (std::vector<std::string>{"1 上海证券有限责任公司苏州营业部", "2 华泰证券南京营业部"}));
  EXPECT_EQ(Shown(RegionView(ranking, RegionKeys(1017), BranchMarks{})),
            (std::vector<std::string>{"1 上海证券上海浦东营业部"}));
  EXPECT_EQ(Shown(RegionView(ranking, RegionKeys(1030), BranchMarks{})),
            (std::vector<std::string>{"1 国信证券四川成都营业部"}));
  // The rows carry the ranking's cells and colours; no row limit applies.
  const std::vector<BranchRankingRow> beijing = RegionView(ranking, RegionKeys(1023), BranchMarks{});
  ASSERT_EQ(beijing.size(), 1u);
  BranchRankingRow expected = MakeRankingRow(0, ranking[4], BranchMarks{});
  EXPECT_EQ(beijing[0], expected);
  std::vector<std::string> many;
  for (int i = 0; i < 120; ++i) many.push_back("证券南京营业部" + std::to_string(i));
  EXPECT_EQ(RegionView(Ranking(many), RegionKeys(1024), BranchMarks{}).size(), 120u);
}

}  // namespace
