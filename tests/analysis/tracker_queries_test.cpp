#include "analysis/tracker_queries.h"

#include <gtest/gtest.h>

#include "../support/db_builder.h"
#include "../support/fake_clock.h"
#include "../support/temp_program_folder.h"
#include "platform/clipboard.h"
#include "storage/charset.h"

namespace {

TrackerLine Line(const std::string& code, COLORREF colour = kTrackerLineColour) {
  TrackerLine line = MakeBuySellLine(1, "平安 银行", code, "2017-02-06", 1, 2, 3, "");
  line.colour = colour;
  return line;
}

TEST(TrackerQueriesTest, StockQueryRoutesByTheFirstCharacter) {
  TempProgramFolder::Options options;
  options.withExportFolder = true;
  TempProgramFolder folder(options);
  DbBuilder db(folder.Path());
  FakeClock clock(2017, 2, 8);
  db.AddListing("2017-02-07", "200002", "万科B", "r", 1, 10, 1000, {}, {});
  db.AddListing("2017-02-07", "000002", "万科A", "r", 1, 10, 1000, {}, {});

  EXPECT_TRUE(LooksLikeStockCode("600000"));
  EXPECT_TRUE(LooksLikeStockCode("3"));
  EXPECT_FALSE(LooksLikeStockCode(""));
  EXPECT_FALSE(LooksLikeStockCode("900901"));

  // "2…" is a name: no stock is called "200002".
  EXPECT_TRUE(RunStockQuery(db.Market(), clock, "200002").lines->empty());
  EXPECT_EQ(FromGbk(folder.ReadFile("临时文件/追踪游资.txt")), " 追踪个股：200002    ,  \n");
  EXPECT_EQ(RunStockQuery(db.Market(), clock, "000002").lines->size(), 1u);
  EXPECT_EQ(RunStockQuery(db.Market(), clock, "万科B").lines->size(), 1u);
}

TEST(TrackerQueriesTest, ClipboardTakesTheCodesOfTheFirstHundredLines) {
  EXPECT_EQ(ClipboardCodesText({}), "");
  // The code role, not the text: a blank in the stock name does not shift it.
  EXPECT_EQ(ClipboardCodesText({Line("600001"), Line("000002")}), ", 600001, 000002");

  std::vector<TrackerLine> many;
  for (int i = 0; i < 101; ++i) many.push_back(Line(i == 100 ? "999999" : "600001"));
  const std::string text = ClipboardCodesText(many);
  EXPECT_EQ(text.size(), 100u * 8u);
  EXPECT_EQ(text.find("999999"), std::string::npos);

  EXPECT_TRUE(CopyResultCodesToClipboard({Line("300001")}));
  EXPECT_EQ(ClipboardHook::Instance().Last(), ", 300001");
  EXPECT_TRUE(CopyResultCodesToClipboard({}));
  EXPECT_EQ(ClipboardHook::Instance().Last(), "");
  ClipboardHook::Instance().FailNext();
  EXPECT_FALSE(CopyResultCodesToClipboard({Line("300001")}));
}

TEST(TrackerQueriesTest, SelectionMarksTheLinesOfTheSameStock) {
  const std::vector<TrackerLine> lines = {Line("600001", kTrackerTodayColour), Line("000002"), Line("600001")};
  EXPECT_EQ(SameStockColours(lines, 2),
            (std::vector<COLORREF>{kTrackerSameStockColour, kTrackerLineColour, kTrackerSameStockColour}));
  EXPECT_EQ(SameStockColours(lines, 1),
            (std::vector<COLORREF>{kTrackerLineColour, kTrackerSameStockColour, kTrackerLineColour}));
  EXPECT_EQ(SameStockColours(lines, -1), std::vector<COLORREF>(3, kTrackerLineColour));
  EXPECT_EQ(SameStockColours(lines, 3), std::vector<COLORREF>(3, kTrackerLineColour));
}

}  // namespace
