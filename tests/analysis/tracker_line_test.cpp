#include "analysis/tracker_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "../support/hex_bytes.h"
#include "storage/charset.h"

namespace {

// The widths count GBK bytes: a 4-character name fills "%-8s", a 3-character one
// (6 bytes, 9 in UTF-8) gets two blanks.
TEST(TrackerLineLayoutTest, BranchLineIsByteExact) {
  EXPECT_EQ(ToGbk(FormatBranchLineText(1, "平安银行", "000001", "2017-02-06", -12, 9.5)),
            ToGbk("01 平安银行 000001  2017-02-06 净买入:-12  , 收:9.50"));
  EXPECT_EQ(ToGbk(FormatBranchLineText(12, "云天化", "600096", "2017-02-06", 290, 12.5)),
            ToGbk("12 云天化   600096  2017-02-06 净买入:290  , 收:12.50"));
  // The blanks after the name are real 0x20 bytes after the three GBK characters.
  EXPECT_EQ(Hex(ToGbk(FormatBranchLineText(1, "云天化", "600096", "d", 0, 0)).substr(0, 18)),
            "303120d4c6ccecbbaf202020363030303936");
  // Numbers past two digits and five characters are not cut.
  EXPECT_EQ(FormatBranchLineText(100, "云天化", "600096", "2017-02-06", -123456, 0),
            "100 云天化   600096  2017-02-06 净买入:-123456, 收:0.00");
}

TEST(TrackerLineLayoutTest, BuySellLineIsByteExact) {
  EXPECT_EQ(ToGbk(FormatBuySellLineText(1, "平安银行", "000001", "2017-02-06", 1234, 56, 12.5)),
            ToGbk("01 平安银行 000001  2017-02-06 买:1234 , 卖:56   , 收:12.50"));
  EXPECT_EQ(ToGbk(FormatBuySellLineText(2, "云天化", "600096", "2017-02-06", 0, 0, 7)),
            ToGbk("02 云天化   600096  2017-02-06 买:0    , 卖:0    , 收:7.00"));
}

TEST(TrackerLineLayoutTest, TeamLineIsByteExact) {
  EXPECT_EQ(ToGbk(FormatTeamLineText(3, "平安银行", "000001", "2017-02-06", "温州系", 0.1234, 10)),
            ToGbk("03 平安银行 000001   2017-02-06 温州系   净买:0.12 亿 收:10.00"));
  EXPECT_EQ(ToGbk(FormatTeamLineText(4, "云天化", "600096", "2017-02-06", "山东帮派", -0.0, 8.25)),
            ToGbk("04 云天化   600096   2017-02-06 山东帮派 净买:-0.00亿 收:8.25"));
}

TEST(TrackerLineRolesTest, LinesCarryTheirRolesAndColours) {
  const TrackerLine today = MakeBranchLine(1, "平安 银行", "000001", "2017-02-08", 5, 1, "2017-02-08");
  EXPECT_EQ(today.colour, kTrackerTodayColour);
  EXPECT_EQ(today.stockName, "平安 银行");  // a blank in the name does not matter
  EXPECT_EQ(today.code, "000001");
  EXPECT_EQ(today.date, "2017-02-08");
  EXPECT_EQ(today.teamName, "");

  const TrackerLine older = MakeBuySellLine(2, "云天化", "600096", "2017-02-07", 1, 2, 3, "2017-02-08");
  EXPECT_EQ(older.colour, kTrackerLineColour);
  EXPECT_EQ(older.text, FormatBuySellLineText(2, "云天化", "600096", "2017-02-07", 1, 2, 3));

  const TrackerLine gain = MakeTeamLine(1, "云天化", "600096", "2017-02-07", "温州系", 0.0001, 3);
  EXPECT_EQ(gain.colour, kTrackerTeamGainColour);
  EXPECT_EQ(gain.teamName, "温州系");
  EXPECT_EQ(MakeTeamLine(1, "a", "600096", "d", "t", -0.0, 3).colour, kTrackerTeamLossColour);
  EXPECT_EQ(MakeTeamLine(1, "a", "600096", "d", "t", 0.0, 3).colour, kTrackerTeamLossColour);
}

TEST(TrackerLineRolesTest, AmountsTruncateTowardZero) {
  EXPECT_EQ(TruncateAmount(-12.7), -12);
  EXPECT_EQ(TruncateAmount(12.99), 12);
  EXPECT_EQ(TruncateAmount(-0.5), 0);
  EXPECT_EQ(TruncateAmount(std::nan("")), 0);
  EXPECT_EQ(TruncateAmount(1e20), std::numeric_limits<int>::max());
  EXPECT_EQ(TruncateAmount(-1e20), std::numeric_limits<int>::min());
}

TEST(TrackerFileTest, BytesAreGbkWithBareLineFeeds) {
  std::vector<TrackerLine> lines = {MakeBuySellLine(1, "云天化", "600096", "2017-02-06", 1, 2, 3, "")};
  const std::string bytes = TrackerFileBytes(StockFileHeader("600096", ""), lines);
  EXPECT_EQ(bytes, ToGbk(" 追踪个股：600096    ,  \n 01 云天化   600096  2017-02-06 买:1    , 卖:2    , 收:3.00 \n"));
  EXPECT_EQ(bytes.find('\r'), std::string::npos);
  EXPECT_EQ(Hex(bytes.substr(bytes.size() - 2)), "200a");
  EXPECT_EQ(TrackerFileBytes(BranchFileHeader("机构专用"), {}), ToGbk(" 追踪敢死队：机构专用 \n"));
  EXPECT_EQ(TwoBranchFileHeader("甲", "乙"), " 追踪敢死队：甲    , 乙 \n");
  EXPECT_EQ(KeywordFileHeader("四季路"), " 追踪关键字：四季路    ,  \n");
}

}  // namespace
