#include "views/ui/dzjy_list_dlg.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "controls/ui/color_list_ctrl.h"
#include "platform/page_registry.h"
#include "platform/pages/dzjy_tabs_iface.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"

namespace {

const std::string kBuyerA = "中信证券股份有限公司上海溧阳路证券营业部";
const std::string kBuyerB = "国泰君安证券股份有限公司上海江苏路证券营业部";
const std::string kSeller = "光大证券股份有限公司宁波解放南路证券营业部";

class RecordingTabs final : public IMainTabs, public IDzjyTabs {
 public:
  int SetCurSel(int index) override {
    selected.push_back(index);
    return 0;
  }
  int GetCurSel() const override { return selected.empty() ? 0 : selected.back(); }
  std::vector<int> selected;
};

class DzjyListTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    PageBeep::ResetCount();
    // Today (Wednesday) one trade in two rows and a second stock; Monday, the Friday
    // before it and, 11 days earlier, the oldest stored day.
    builder_.AddTrade("2024-05-15", "600000", "浦发银行", 1, 10, 9.5, 100, 1500, kBuyerA, kSeller);
    builder_.AddTrade("2024-05-15", "600000", "浦发银行", 2, 10, 9.5, 50, 1000, kBuyerA, kSeller);
    builder_.AddTrade("2024-05-15", "000001", "平安银行", 1, 10, 10.5, 20, 300, kBuyerB, kSeller);
    builder_.AddTrade("2024-05-13", "300750", "宁德时代", 1, 180, 170, 10, 900, kBuyerB, kSeller);
    builder_.AddTrade("2024-05-10", "600000", "浦发银行", 1, 10, 9, 30, 700, kBuyerA, kSeller);
    builder_.AddTrade("2024-04-29", "600036", "招商银行", 1, 30, 29, 40, 1200, kBuyerA, kSeller);
  }
  void TearDown() override {
    builder_.Market().SetStatementTrace(nullptr);
    PageRegistry::Instance().ResetForTests();
  }

  std::unique_ptr<CDzjyListDlg> MakePage() {
    auto page = std::make_unique<CDzjyListDlg>(DzjyListServices{.clock = &clock_, .market = &builder_.Market(), .custom = &builder_.User()});
    page->resize(1400, 600);
    page->InitDialog();
    page->show();
    EXPECT_TRUE(GuiDriver::WaitForExposed(page.get()));
    return page;
  }
  template <class W>
  W* Get(CDzjyListDlg& page, int id) {
    W* w = GuiDriver::FindAs<W>(&page, id);
    EXPECT_NE(w, nullptr) << id;
    return w;
  }
  CColorListCtrl* List(CDzjyListDlg& page) { return Get<CColorListCtrl>(page, 1136); }
  QString Edit(CDzjyListDlg& page, int id) { return Get<QLineEdit>(page, id)->text(); }
  // The day (column 1) of every trade line, totals lines left out.
  std::vector<std::string> Days(CDzjyListDlg& page) {
    std::vector<std::string> days;
    CColorListCtrl* list = List(page);
    for (int r = 0; r < list->GetItemCount(); ++r) {
      const std::string number = list->GetItemText(r, 0);
      if (!number.empty() && number != "------") days.push_back(list->GetItemText(r, 1));
    }
    return days;
  }
  void Pick(CDzjyListDlg& page, int y, int m, int d) { Get<QDateEdit>(page, 1111)->setDate(QDate(y, m, d)); }
  void CountStatements() {
    builder_.Market().SetStatementTrace([this](const std::string&) { ++statements_; });
  }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 5, 15};
  TempProgramFolder folder_;
  DbBuilder builder_{folder_.Path()};
  RecordingTabs tabs_;
  RecordingStatusBar status_;
  RecordingChartLink link_;
  int statements_ = 0;
};

}  // namespace

// ---- start-up and the day listing ----

TEST_F(DzjyListTest, StartsOnTodayWithMergedTradeTotalsAndHint) {
  auto page = MakePage();
  EXPECT_EQ(PageRegistry::Instance().Get<IDzjyListPage>(PageSlot::DzjyList), page.get());
  for (int id : {1000, 1001, 1003, 1004, 1007, 1017, 1048, 1111, 1136, 1152, 1153}) {
    EXPECT_NE(GuiDriver::Find(page.get(), id), nullptr) << id;
  }
  EXPECT_EQ(Edit(*page, 1001), QStringLiteral("60"));
  EXPECT_EQ(FromQString(Edit(*page, 1017)), kBlockTradeSearchHint);
  EXPECT_EQ(page->Days(), 60);
  EXPECT_EQ(page->ListedDay(), "2024-05-15");
  CColorListCtrl* list = List(*page);
  ASSERT_EQ(list->GetItemCount(), 5);  // two trades and the totals block
  EXPECT_EQ(list->GetItemText(0, 3), "000001");
  EXPECT_EQ(list->GetItemText(1, 3), "600000");
  EXPECT_EQ(list->GetItemText(1, 7), "150");
  EXPECT_EQ(list->GetItemText(1, 8), "2500");  // 1500 + 1000 merged
  EXPECT_EQ(list->GetItemText(4, 8), "2800");
  EXPECT_EQ(Edit(*page, 1000), QStringLiteral("2"));
  // The merged amount shows the band of its sum.
  EXPECT_EQ(list->Colours().Lookup(1, 8, list->GetBkColor()).background, RGB(250, 220, 0));
}

TEST_F(DzjyListTest, TotalsButtonTotalsTheFirstRowsOfEdit1000) {
  auto page = MakePage();
  Get<QLineEdit>(*page, 1000)->setText(QStringLiteral("1"));
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1048));
  CColorListCtrl* list = List(*page);
  ASSERT_EQ(list->GetItemCount(), 8);
  EXPECT_EQ(list->GetItemText(7, 8), "300");  // only 000001's line
  EXPECT_EQ(Edit(*page, 1000), QStringLiteral("1"));  // the user's count stays for a second press
}

// ---- stepping and picking ----

TEST_F(DzjyListTest, StepsOverWeekendsAndGapsUpToTheStoredDays) {
  auto page = MakePage();
  auto* picker = Get<QDateEdit>(*page, 1111);
  Pick(*page, 2024, 5, 13);
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1003));
  EXPECT_EQ(picker->date(), QDate(2024, 5, 10));  // Monday -> Friday
  EXPECT_EQ(Days(*page), std::vector<std::string>{"2024-05-10"});
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1003));
  EXPECT_EQ(picker->date(), QDate(2024, 4, 29));  // an 11-day gap crossed
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1003));
  EXPECT_EQ(picker->date(), QDate(2024, 4, 29));  // the oldest: nothing changes
  EXPECT_TRUE(Get<QPushButton>(*page, 1003)->isEnabled());
  Pick(*page, 2024, 5, 15);
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1004));
  EXPECT_EQ(picker->date(), QDate(2024, 5, 15));  // the newest: nothing changes
  EXPECT_TRUE(Get<QPushButton>(*page, 1004)->isEnabled());
}

TEST_F(DzjyListTest, WeekendPickTellsPaneZeroAndKeepsTheList) {
  PageRegistry::Instance().Publish<IStatusBar>(PageSlot::StatusBar, &status_);
  auto page = MakePage();
  Pick(*page, 2024, 5, 11);
  ASSERT_EQ(status_.texts.size(), 1u);
  EXPECT_EQ(status_.texts[0], std::make_pair(0, std::string("2024-05-11不营业!")));
  EXPECT_EQ(page->ListedDay(), "2024-05-15");
  EXPECT_EQ(List(*page)->GetItemCount(), 5);
}

TEST_F(DzjyListTest, PickingTheDayAgainAfterStepAndSearchListsIt) {
  auto page = MakePage();
  Pick(*page, 2024, 5, 13);
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1003));
  Get<QLineEdit>(*page, 1017)->setText(QStringLiteral("600036"));
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1152));
  EXPECT_EQ(page->ListedDay(), "");
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1007));  // "详细显示" lists the picker's day again
  EXPECT_EQ(page->ListedDay(), "2024-05-10");
  Get<QLineEdit>(*page, 1017)->setText(QStringLiteral("600036"));
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1152));
  Pick(*page, 2024, 5, 13);
  EXPECT_EQ(page->ListedDay(), "2024-05-13");
  EXPECT_EQ(Days(*page), std::vector<std::string>{"2024-05-13"});
}

// ---- searches ----

TEST_F(DzjyListTest, StockSearchByCodeCoversEveryDayNewestFirst) {
  auto page = MakePage();
  Get<QLineEdit>(*page, 1017)->setText(QStringLiteral("600000"));
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1152));
  EXPECT_EQ(Days(*page), (std::vector<std::string>{"2024-05-15", "2024-05-10"}));
}

TEST_F(DzjyListTest, EmptyStockSearchBeepsAndRunsNothing) {
  auto page = MakePage();
  Get<QLineEdit>(*page, 1017)->clear();
  CountStatements();
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1152));
  EXPECT_EQ(PageBeep::Count(), 1);
  EXPECT_EQ(statements_, 0);
  EXPECT_EQ(List(*page)->GetItemCount(), 5);
}

TEST_F(DzjyListTest, ShortBuyerKeywordIsRefusedWithItsMessage) {
  auto page = MakePage();
  GuiDriver::TakeBoxes();
  Get<QLineEdit>(*page, 1017)->setText(QStringLiteral("中A"));
  CountStatements();
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1153));
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kKeywordTooShortText);
  EXPECT_EQ(statements_, 0);

  Get<QLineEdit>(*page, 1017)->setText(QStringLiteral("国泰"));
  ASSERT_TRUE(GuiDriver::Click(page.get(), 1153));
  EXPECT_EQ(Days(*page), (std::vector<std::string>{"2024-05-15", "2024-05-13"}));
}

TEST_F(DzjyListTest, DoubleClickSearchesTheLastNDaysOfTheClickedCell) {
  auto page = MakePage();
  Get<QLineEdit>(*page, 1001)->setText(QStringLiteral("5"));
  // 600000's line today: column 3 searches its code within 5 days (05-10 is in).
  page->OnListDblClk(1, 3);
  EXPECT_EQ(page->Days(), 5);
  EXPECT_EQ(Edit(*page, 1017), QStringLiteral("600000"));
  EXPECT_EQ(Days(*page), (std::vector<std::string>{"2024-05-15", "2024-05-10"}));
  Get<QLineEdit>(*page, 1001)->setText(QStringLiteral("4"));
  page->OnListDblClk(0, 3);  // 4 days: 05-10 is out
  EXPECT_EQ(Days(*page), std::vector<std::string>{"2024-05-15"});
  // Another column changes nothing but N.
  Get<QLineEdit>(*page, 1001)->setText(QStringLiteral("30"));
  page->OnListDblClk(0, 4);
  EXPECT_EQ(page->Days(), 30);
  EXPECT_EQ(Edit(*page, 1017), QStringLiteral("600000"));
  EXPECT_EQ(Days(*page), std::vector<std::string>{"2024-05-15"});
}

TEST_F(DzjyListTest, RightPressOnALineShowsItsStockInTheChartingProgram) {
  auto page = MakePage();
  CColorListCtrl* list = List(*page);
  const QPoint pos = list->visualRect(list->model()->index(1, 9)).center();
  GuiDriver::TakeBoxes();
  GuiDriver::Click(list->viewport(), Qt::RightButton, pos);  // the link is absent
  ASSERT_EQ(GuiDriver::TakeBoxes().size(), 1u);
  PageRegistry::Instance().Publish<ChartLink>(PageSlot::ChartLink, &link_);
  GuiDriver::Click(list->viewport(), Qt::RightButton, pos);
  EXPECT_EQ(link_.codes, std::vector<std::string>{"600000"});
}

// ---- entries from other pages ----

TEST_F(DzjyListTest, EntriesBringThePageForwardAndKeepTheSearchText) {
  auto page = MakePage();
  PageRegistry::Instance().Publish<IMainTabs>(PageSlot::MainTabCtrl, &tabs_);
  PageRegistry::Instance().Publish<IDzjyTabs>(PageSlot::DzjyTabCtrl, &tabs_);
  Get<QLineEdit>(*page, 1001)->setText(QStringLiteral("3"));
  page->OnListDblClk(0, 7);  // N = 3
  const QString text = Edit(*page, 1017);

  page->ShowBuyerTrades(kBuyerB);
  EXPECT_EQ(tabs_.selected, (std::vector<int>{3, 0}));
  EXPECT_EQ(Days(*page), (std::vector<std::string>{"2024-05-15", "2024-05-13"}));  // 2 days back: in
  page->ShowSellerTrades(kSeller);
  EXPECT_EQ(Days(*page).size(), 3u);  // 05-15 twice, 05-13
  page->ShowStockTrades("600036");
  EXPECT_EQ(Days(*page), std::vector<std::string>{"2024-04-29"});
  EXPECT_EQ(tabs_.selected, (std::vector<int>{3, 0, 3, 0, 3, 0}));
  EXPECT_EQ(Edit(*page, 1017), text);
}
