#include "analysis/province_table.h"

#include <algorithm>

#include "records/branch_marks.h"

std::vector<std::vector<std::string>> g_ProvinceCities;

namespace {

// The provinces in the table's order, with their button ids.
const char* const kProvinceCaptions[kProvinceCount] = {"江苏", "山东", "山西", "陕西", "河北", "河南",
                                                        "浙江", "四川", "广东", "福建", "湖北", "湖南"};

const std::vector<std::vector<std::string>>& CityLists() {
  static const std::vector<std::vector<std::string>> lists = {
      {"南京", "无锡", "苏州", "徐州", "常州", "南通", "连云港", "淮安", "盐城", "扬州", "镇江", "泰州", "宿迁"},
      {"济南", "青岛", "枣庄", "东营", "烟台", "潍坊", "济宁", "泰安", "威海", "日照", "莱芜", "临沂", "德州",
       "聊城", "滨州", "菏泽"},
      {"太原", "大同", "阳泉", "长治", "晋城", "朔州", "晋中", "运城", "忻州", "临汾", "吕梁"},
      {"西安", "铜川", "宝鸡", "咸阳", "渭南", "延安", "榆林", "安康", "商洛"},
      {"石家庄", "唐山", "秦皇岛", "邯郸", "邢台", "保定", "张家口", "承德", "沧州", "廊坊", "衡水"},
      {"郑州", "开封", "洛阳", "平顶山", "安阳", "鹤壁", "新乡", "焦作", "济源", "濮阳", "许昌", "漯河", "三门峡",
       "南阳", "商丘", "信阳", "周口", "驻马店"},
      {"杭州", "宁波", "温州", "嘉兴", "湖州", "绍兴", "金华", "衢州", "舟山", "台州", "丽水", "奉化", "温岭"},
      {"四川", "成都"},
      {"广州", "韶关", "深圳", "珠海", "汕头", "佛山", "江门", "湛江", "茂名", "肇庆", "惠州", "梅州", "汕尾",
       "河源", "阳江", "清远", "东莞", "中山", "潮州", "揭阳", "云浮", "顺德"},
      {"福州", "厦门", "莆田", "三明", "泉州", "漳州", "南平", "龙岩", "宁德"},
      {"武汉", "黄石", "十堰", "宜昌", "襄樊", "鄂州", "荆门", "孝感", "荆州", "黄冈", "咸宁", "潜江", "随州",
       "恩施", "仙桃", "天门", "神农"},
      {"长沙", "株洲", "湘潭", "衡阳", "邵阳", "岳阳", "常德", "张家界", "益阳", "郴州", "永州", "怀化", "娄底",
       "湘西"},
  };
  return lists;
}

int ProvinceOf(const char* caption) {
  for (int i = 0; i < kProvinceCount; ++i) {
    if (std::string(kProvinceCaptions[i]) == caption) return i;
  }
  return -1;
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

const std::vector<RegionButton> kRegionButtons = {
    {1017, "上海", -1},
    {1018, "山西", ProvinceOf("山西")},
    {1019, "广东", ProvinceOf("广东")},
    {1020, "浙江", ProvinceOf("浙江")},
    {1022, "湖北", ProvinceOf("湖北")},
    {1023, "北京", -1},
    {1024, "江苏", ProvinceOf("江苏")},
    {1025, "湖南", ProvinceOf("湖南")},
    {1026, "河北", ProvinceOf("河北")},
    {1027, "河南", ProvinceOf("河南")},
    {1028, "山东", ProvinceOf("山东")},
    {1029, "陕西", ProvinceOf("陕西")},
    {1030, "四川", ProvinceOf("四川")},
    {1031, "福建", ProvinceOf("福建")},
};

void BuildCityProvinceTable() { g_ProvinceCities = CityLists(); }

bool NameMatchesRegionKey(const std::string& name, const std::string& key) {
  if (key.empty() || name.empty()) return false;
  // From the start of the second character on, at character starts only.
  std::size_t pos = 1;
  while (pos < name.size() && IsContinuationByte(name[pos])) ++pos;
  for (; pos + key.size() <= name.size(); ++pos) {
    if (IsContinuationByte(name[pos])) continue;
    if (name.compare(pos, key.size(), key) == 0) return true;
  }
  return false;
}

bool NameMatchesRegion(const std::string& name, const std::vector<std::string>& keys) {
  return std::any_of(keys.begin(), keys.end(), [&](const std::string& key) { return NameMatchesRegionKey(name, key); });
}

std::vector<BranchRankingRow> RegionView(const std::vector<CBranchTotalsRow>& rows,
                                         const std::vector<std::string>& keys, const BranchMarks& marks) {
  std::vector<BranchRankingRow> view;
  for (const CBranchTotalsRow& row : rows) {
    if (!NameMatchesRegion(row.YYBName, keys)) continue;
    view.push_back(MakeRankingRow(static_cast<int>(view.size()), row, marks));
  }
  return view;
}

std::vector<std::string> RegionKeys(int buttonId) {
  for (const RegionButton& button : kRegionButtons) {
    if (button.id != buttonId) continue;
    if (button.province < 0) return {button.caption};
    if (g_ProvinceCities.size() != static_cast<std::size_t>(kProvinceCount)) BuildCityProvinceTable();
    return g_ProvinceCities[static_cast<std::size_t>(button.province)];
  }
  return {};
}
