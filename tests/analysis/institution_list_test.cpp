#include "analysis/institution_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "platform/message_box.h"

namespace {

const std::string kSeat = "机构专用";
const std::string kToday = "2024-06-07";

SeatFixture None() { return {"", 0, 0}; }
SeatFixture Inst(double buy, double sell) { return {kSeat, buy, sell}; }
SeatFixture Other(double buy, double sell) { return {"华泰证券股份有限公司上海武定路证券营业部", buy, sell}; }

class InstitutionListTest : public ::testing::Test {
 protected:
  void TearDown() override { MessageBoxHook::Instance().TakeRecorded(); }
  void Listing(const std::string& day, const std::string& code, const FiveSeats& buy, const FiveSeats& sell) {
    db_.AddListing(day, code, "股票" + code, "日涨幅偏离值达7%的证券", 5, 10, 1000, buy, sell);
  }
  InstitutionList Load(int mode, bool filtered = false, InstitutionEdits edits = {}) {
    return LoadInstitutionList(db_.Market(), kSeat, mode, filtered, edits, kToday);
  }
  static std::vector<std::string> Codes(const InstitutionList& list) {
    std::vector<std::string> codes;
    for (const InstitutionRow& row : list.rows) codes.push_back(row.cells[3]);
    return codes;
  }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
};

TEST_F(InstitutionListTest, EqualSumsInBothHalvesCountOnceUnequalSumsTwice) {
  // The same institution seats, same amounts, among buyers and sellers.
  Listing(kToday, "600001", {Inst(500, 100), None(), None(), None(), None()},
          {Other(0, 50), Inst(500, 100), None(), None(), None()});
  // One more yuan on the sell side: both halves count.
  Listing("2024-06-06", "600002", {Inst(500, 100), None(), None(), None(), None()},
          {Inst(500, 101), None(), None(), None(), None()});
  const InstitutionList list = Load(kShowAll);
  ASSERT_EQ(list.rows.size(), 2u);
  EXPECT_EQ(list.rows[0].cells[7], "400");
  EXPECT_EQ(list.rows[0].cells[5], "1000");
  EXPECT_EQ(list.rows[0].cells[6], "200");
  EXPECT_EQ(list.rows[0].cells[8], "2 （1 / 1）");
  EXPECT_EQ(list.rows[0].dateColour, kInstitutionTodayColour);
  EXPECT_EQ(list.rows[0].netColour, kInstitutionNetUpColour);
  EXPECT_EQ(list.rows[1].cells[7], "799");
  EXPECT_EQ(list.rows[1].dateColour, std::nullopt);
  EXPECT_EQ(list.rows[1].cells[0], "2");
  EXPECT_EQ(list.rows[1].cells[4], kSeat);
  EXPECT_EQ(list.rows[1].cells[9], "");
}

TEST_F(InstitutionListTest, NetBuyViewIsStrictlyAboveItsThreshold) {
  Listing(kToday, "600100", {Inst(100, 0), None(), None(), None(), None()}, {});
  Listing(kToday, "600101", {Inst(101, 0), None(), None(), None(), None()}, {});
  Listing(kToday, "600102", {Inst(1000, 0), None(), None(), None(), None()}, {});
  Listing(kToday, "600103", {Inst(1001, 0), Inst(10, 0), None(), None(), None()}, {});
  EXPECT_EQ(Codes(Load(kShowNetBuy)), (std::vector<std::string>{"600101", "600102", "600103"}));
  const InstitutionList filtered = Load(kShowNetBuy, true);
  EXPECT_EQ(Codes(filtered), (std::vector<std::string>{"600103"}));
  EXPECT_EQ(filtered.rows[0].countColour, kInstitutionManyBuyersColour);
  // Two institution buyers asked for: the single-seat listings drop out.
  InstitutionEdits two;
  two.buySeats = "2";
  EXPECT_EQ(Codes(Load(kShowNetBuy, false, two)), (std::vector<std::string>{"600103"}));
  // Text that is no number counts as 0: every net above 0 passes the filter.
  InstitutionEdits junk;
  junk.buySeats = "abc";
  junk.minNet = "x100";
  EXPECT_EQ(Codes(Load(kShowNetBuy, true, junk)).size(), 4u);
  EXPECT_EQ(Load(kShowAll).rows[0].countColour, std::nullopt);  // the colour belongs to the net-buy view
}

TEST_F(InstitutionListTest, NetSellViewCountsTheSellingInstitutions) {
  Listing(kToday, "600200", {}, {Inst(0, 300), None(), None(), None(), None()});        // sellers only
  Listing(kToday, "600201", {Inst(0, 300), None(), None(), None(), None()}, {});        // a buyer that sold
  Listing(kToday, "600202", {}, {Inst(0, 300), Inst(0, 10), None(), None(), None()});  // two sellers
  Listing(kToday, "600203", {}, {Inst(400, 0), None(), None(), None(), None()});        // net up
  EXPECT_EQ(Codes(Load(kShowNetSell)), (std::vector<std::string>{"600200", "600202"}));
  InstitutionEdits two;
  two.sellSeats = "2";
  EXPECT_EQ(Codes(Load(kShowNetSell, false, two)), (std::vector<std::string>{"600202"}));
  two.sellSeats = "0";
  EXPECT_EQ(Codes(Load(kShowNetSell, false, two)).size(), 3u);
  EXPECT_TRUE(Load(kShowNetSell, true).rows.empty());  // the filter has no net-sell view
  EXPECT_EQ(Load(kShowNetSell).rows[0].netColour, kInstitutionNetDownColour);
}

TEST_F(InstitutionListTest, NewestFirstCutAfter166AndOnlyExactSeatNames) {
  for (int i = 0; i < 170; ++i) {
    Listing(i % 2 == 0 ? "2024-06-06" : kToday, std::to_string(600300 + i),
            {Inst(200, 0), None(), None(), None(), None()}, {});
  }
  const SeatFixture trailingBlank{"机构专用 ", 900, 0};
  const SeatFixture shorter{"机构", 900, 0};
  Listing(kToday, "600999", {trailingBlank, shorter, None(), None(), None()}, {});
  const InstitutionList list = Load(kShowAll);
  ASSERT_EQ(list.rows.size(), static_cast<std::size_t>(kMaxInstitutionRows));
  EXPECT_EQ(list.rows.front().cells[1], kToday);
  EXPECT_EQ(list.rows.front().cells[3], "600301");  // today's in the order stored
  EXPECT_EQ(list.rows.back().cells[0], "166");
  for (const InstitutionRow& row : list.rows) EXPECT_NE(row.cells[3], "600999");
}

TEST_F(InstitutionListTest, ClipboardTextTakesSixtyCodes) {
  std::vector<std::string> codes;
  for (int i = 0; i < 61; ++i) codes.push_back(std::to_string(600000 + i));
  const std::string text = InstitutionCodesText(codes);
  EXPECT_EQ(text.rfind(", 600000, 600001", 0), 0u);
  EXPECT_NE(text.find("600059"), std::string::npos);
  EXPECT_EQ(text.find("600060"), std::string::npos);
  EXPECT_EQ(text.size(), 60u * 8u);
  EXPECT_EQ(InstitutionCodesText({}), "");
}

TEST_F(InstitutionListTest, AnEmptyDatabaseIsQuietAFailedQuerySaysSo) {
  EXPECT_TRUE(Load(kShowNetBuy).rows.empty());
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
  Listing(kToday, "600400", {Inst(500, 0), None(), None(), None(), None()}, {});
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE StockInfo"));
  const InstitutionList failed = Load(kShowAll);
  EXPECT_TRUE(failed.queryFailed);
  EXPECT_TRUE(failed.rows.empty());
  const auto boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("数据库查询失败!", 0), 0u);
}

}  // namespace
