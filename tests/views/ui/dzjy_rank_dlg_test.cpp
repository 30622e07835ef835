#include "views/ui/dzjy_rank_dlg.h"

#include <QRadioButton>
#include <gtest/gtest.h>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "controls/ui/color_list_ctrl.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_ui_dispatcher.h"

namespace {

const std::string kBuyerA = "中信证券股份有限公司上海溧阳路证券营业部";
const std::string kBuyerB = "国泰君安证券股份有限公司上海江苏路证券营业部";
const std::string kSellerA = "光大证券股份有限公司宁波解放南路证券营业部";
const std::string kSellerB = "华泰证券股份有限公司深圳益田路荣超商务中心证券营业部";

class DzjyRankTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    // Today is 2024-05-15. Buyer A: three trades within 10 days (oldest 05-06); buyer
    // B: one of 05-10 and a large one 40 days back.
    builder_.AddTrade("2024-05-06", "600000", "浦发银行", 1, 10, 9.5, 100, 1500, kBuyerA, kSellerA);
    builder_.AddTrade("2024-05-10", "000001", "平安银行", 1, 10, 9.5, 50, 1000, kBuyerA, kSellerB);
    builder_.AddTrade("2024-05-15", "600000", "浦发银行", 1, 10, 9.5, 20, 300, kBuyerA, kSellerB);
    builder_.AddTrade("2024-05-10", "300750", "宁德时代", 1, 180, 170, 10, 900, kBuyerB, kSellerA);
    builder_.AddTrade("2024-04-05", "300750", "宁德时代", 1, 180, 170, 10, 9000, kBuyerB, kSellerA);
    builder_.AddMark(kBuyerA, 1, RGB(0, 128, 255), 1, 0, "中信溧阳路", "一线游资", "");
  }
  void TearDown() override { PageRegistry::Instance().ResetForTests(); }

  std::unique_ptr<CDzjyRankDlg> MakePage() {
    auto page = std::make_unique<CDzjyRankDlg>(DzjyRankServices{.clock = &clock_, .market = &builder_.Market(), .custom = &builder_.User()});
    page->resize(1400, 500);
    page->InitDialog();
    page->show();
    EXPECT_TRUE(GuiDriver::WaitForExposed(page.get()));
    return page;
  }
  QRadioButton* Radio(CDzjyRankDlg& page, int id) {
    auto* radio = GuiDriver::FindAs<QRadioButton>(&page, id);
    EXPECT_NE(radio, nullptr) << id;
    return radio;
  }
  CColorListCtrl* List(CDzjyRankDlg& page) { return GuiDriver::FindAs<CColorListCtrl>(&page, 1136); }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 5, 15};
  TempProgramFolder folder_;
  DbBuilder builder_{folder_.Path()};
  RecordingDzjyList dzjy_;
};

}  // namespace

TEST_F(DzjyRankTest, StartsCheckedWithDisabledRadiosAndNoRanking) {
  auto page = MakePage();
  EXPECT_TRUE(Radio(*page, 1012)->isChecked());
  EXPECT_TRUE(Radio(*page, 1008)->isChecked());
  EXPECT_FALSE(Radio(*page, 1015)->isEnabled());
  EXPECT_FALSE(Radio(*page, 1017)->isEnabled());
  EXPECT_EQ(Radio(*page, 1015)->text(), QStringLiteral("6个月"));
  EXPECT_EQ(Radio(*page, 1017)->text(), QStringLiteral("买卖次数"));
  EXPECT_EQ(page->RankCount(), 0);
  EXPECT_EQ(List(*page)->GetItemCount(), 0);
}

TEST_F(DzjyRankTest, RanksBuyersOfTheCheckedPeriodWithCountSumAndOldestDay) {
  auto page = MakePage();
  ASSERT_TRUE(GuiDriver::Click(Radio(*page, 1012)));  // the checked radio ranks again
  EXPECT_EQ(page->RankCount(), 1);
  CColorListCtrl* list = List(*page);
  ASSERT_EQ(list->GetItemCount(), 2);
  EXPECT_EQ(list->GetItemText(0, 9), kBuyerA);
  EXPECT_EQ(list->GetItemText(0, 6), "3");
  EXPECT_EQ(list->GetItemText(0, 8), "2800");
  EXPECT_EQ(list->GetItemText(0, 1), "2024-05-06");
  EXPECT_EQ(list->GetItemText(0, 2), "");
  EXPECT_EQ(list->GetItemText(0, 3), "");
  EXPECT_EQ(list->Colours().Lookup(0, 9, list->GetBkColor()).background, RGB(0, 128, 255));  // marked
  EXPECT_EQ(list->Colours().Lookup(0, 8, list->GetBkColor()).background, RGB(250, 220, 0));

  // "60日", then a grouping radio: the period stays 60 and the old trade counts.
  ASSERT_TRUE(GuiDriver::Click(Radio(*page, 1014)));
  ASSERT_TRUE(GuiDriver::Click(Radio(*page, 1016)));
  EXPECT_EQ(page->RankedDays(), 60);
  EXPECT_EQ(page->RankCount(), 3);
  ASSERT_EQ(list->GetItemCount(), 3);
  EXPECT_EQ(list->GetItemText(0, 3), "300750");
  EXPECT_EQ(list->GetItemText(0, 8), "9900");
}

TEST_F(DzjyRankTest, DoubleClickSendsTheLineToTheListPage) {
  auto page = MakePage();
  page->Rank(10);
  GuiDriver::TakeBoxes();
  page->OnListDblClk(0, 9);  // the list page is absent: its missing-feature message
  ASSERT_EQ(GuiDriver::TakeBoxes().size(), 1u);
  PageRegistry::Instance().Publish<IDzjyListPage>(PageSlot::DzjyList, &dzjy_);
  page->OnListDblClk(0, 9);
  page->OnListDblClk(0, 10);
  page->OnListDblClk(0, 3);  // by branch the code is empty and is sent as it is
  page->OnListDblClk(0, 8);  // no search
  page->OnListDblClk(5, 9);  // no line
  EXPECT_EQ(dzjy_.buyers, std::vector<std::string>{kBuyerA});
  EXPECT_EQ(dzjy_.sellers, std::vector<std::string>{kSellerA});
  EXPECT_EQ(dzjy_.codes, std::vector<std::string>{""});
}
