// The block-trade window inside the real main window, offscreen, on a builder
// database: from a ranking line and from the daily list page to the list page, and
// what the user sees of the three pages.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "../../support/zero_sleeper.h"
#include "app/ui/main_dlg.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "fake_tray.h"
#include "platform/page_registry.h"
#include "platform/pages/dzjy_tabs_iface.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "storage/ado_database.h"

namespace {

const std::string kToday = "2024-05-15";
const std::string kBuyer = "中信证券股份有限公司上海溧阳路证券营业部";
const std::string kOther = "国泰君安证券股份有限公司上海江苏路证券营业部";
const std::string kSeller = "光大证券股份有限公司宁波解放南路证券营业部";

SeatFixture None() { return {"", 0, 0}; }

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options o;
  o.withExportFolder = true;
  return o;
}

class DzjyEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    builder_.AddListing(kToday, "600000", "浦发银行", "日涨幅偏离值达7%的证券", 9.98, 10.5, 50000,
                        {{{kBuyer, 3000, 0}, None(), None(), None(), None()}},
                        {{{kSeller, 0, 1200}, None(), None(), None(), None()}});
    builder_.AddTrade(kToday, "600000", "浦发银行", 1, 10.5, 9.8, 300, 3150, kBuyer, kSeller);
    builder_.AddTrade(kToday, "600000", "浦发银行", 2, 10.5, 9.8, 200, 2100, kBuyer, kSeller);
    builder_.AddTrade(kToday, "000001", "平安银行", 1, 10, 10.2, 100, 1020, kOther, kSeller);
    builder_.AddTrade("2024-05-08", "300750", "宁德时代", 1, 180, 170, 50, 8500, kBuyer, kOther);
    builder_.AddTrade("2024-03-01", "600000", "浦发银行", 1, 9, 8.5, 100, 850, kBuyer, kSeller);  // 75 days back
    builder_.AddMark(kBuyer, 1, RGB(0, 128, 255), 1, 0, "中信溧阳路", "一线游资", "");
    builder_.OpenGlobals();
  }
  void TearDown() override {
    window_.reset();
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
    PageRegistry::Instance().ResetForTests();
  }

  void OpenWindow() {
    window_ = std::make_unique<CMainDlg>(std::make_unique<FakeTray>(true));
    window_->resize(1400, 800);
    ASSERT_TRUE(window_->m_dlgTrackTabs.m_dlgDataDisplay.SetServices(DataDisplayServices{&clock_, &sleeper_}));
    ASSERT_TRUE(List().SetServices(DzjyListServices{&clock_}));
    ASSERT_TRUE(Rank().SetServices(DzjyRankServices{&clock_}));
    window_->InitDialog();
    window_->m_dlgDownloadData.KillTimer(1);  // no start-up download here
    window_->show();
    ASSERT_TRUE(GuiDriver::WaitForExposed(window_.get()));
    QApplication::processEvents();
  }

  CDzjyListDlg& List() { return window_->m_dlgDzjy.m_dlgList; }
  CDzjyRankDlg& Rank() { return window_->m_dlgDzjy.m_dlgRank; }
  CColorListCtrl* Table(QWidget* page) { return GuiDriver::FindAs<CColorListCtrl>(page, 1136); }
  // Column `column` of every line.
  static std::vector<std::string> ColumnTexts(CColorListCtrl* table, int column) {
    std::vector<std::string> texts;
    for (int r = 0; r < table->GetItemCount(); ++r) texts.push_back(table->GetItemText(r, column));
    return texts;
  }
  void Shoot(QWidget* widget, const char* name) {
    QApplication::processEvents();
    const QImage shot = GuiDriver::Grab(widget);
    EXPECT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(QDir::current().absoluteFilePath(QString::fromUtf8(name)))) << name;
  }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 5, 15, 18, 30};
  ZeroSleeper sleeper_;
  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder builder_{folder_.Path()};
  std::unique_ptr<CMainDlg> window_;
};

}  // namespace

TEST_F(DzjyEndToEnd, RankingLineBringsTheBuyersLastSixtyDaysForward) {
  OpenWindow();
  ASSERT_FALSE(HasFailure());
  // The host: its two pages and its tabs in the registry.
  CPageTabCtrl& tabs = window_->m_dlgDzjy.m_ctrlTab;
  ASSERT_EQ(tabs.PageCount(), 2);
  EXPECT_STREQ(tabs.Title(0), "上榜明细");
  EXPECT_STREQ(tabs.Title(1), "买卖排行榜");
  EXPECT_EQ(tabs.Page(0)->objectName(), QStringLiteral("page245"));
  EXPECT_EQ(tabs.Page(1)->objectName(), QStringLiteral("page247"));
  EXPECT_EQ(PageRegistry::Instance().Get<IDzjyTabs>(PageSlot::DzjyTabCtrl), &window_->m_dlgDzjy);
  window_->m_ctrlTab.SetCurSel(3);
  Shoot(window_.get(), "dzjy_list_e2e.png");  // the list page on today
  window_->m_dlgDzjy.m_ctrlTab.SetCurSel(1);
  ASSERT_TRUE(GuiDriver::Click(GuiDriver::FindAs<QRadioButton>(&Rank(), 1012)));
  CColorListCtrl* ranking = Table(&Rank());
  ASSERT_EQ(ranking->GetItemCount(), 2);
  ASSERT_EQ(ranking->GetItemText(0, 9), kBuyer);
  EXPECT_EQ(ranking->GetItemText(0, 8), "13750");
  Shoot(window_.get(), "dzjy_rank_e2e.png");
  window_->m_ctrlTab.SetCurSel(0);  // the user is elsewhere when the call arrives

  GuiDriver::UserDoubleClick(ranking->viewport(), GuiDriver::CellCentre(ranking, 0, 9));
  EXPECT_EQ(window_->m_ctrlTab.GetCurSel(), 3);
  EXPECT_EQ(window_->m_dlgDzjy.m_ctrlTab.GetCurSel(), 0);
  EXPECT_TRUE(List().isVisible());
  CColorListCtrl* list = Table(&List());
  // Today's merged trade, 05-08, then the totals block; the trade 75 days back is out.
  EXPECT_EQ(ColumnTexts(list, 1), (std::vector<std::string>{kToday, "2024-05-08", "------", "", ""}));
  EXPECT_EQ(list->GetItemText(0, 8), "5250");
  EXPECT_EQ(list->GetItemText(4, 8), "13750");
  EXPECT_EQ(FromQString(GuiDriver::FindAs<QLineEdit>(&List(), 1017)->text()), kBlockTradeSearchHint);
  Shoot(window_.get(), "dzjy_buyer_e2e.png");
}

TEST_F(DzjyEndToEnd, DailyListBlockTradeCountReachesTheListPage) {
  OpenWindow();
  ASSERT_FALSE(HasFailure());
  window_->m_ctrlTab.SetCurSel(0);
  window_->m_dlgTrackTabs.m_ctrlTab.SetCurSel(1);  // "上榜明细"
  CDataDisplayDlg& daily = window_->m_dlgTrackTabs.m_dlgDataDisplay;
  auto* day = GuiDriver::FindAs<CColorListBox>(&daily, 1112);
  ASSERT_NE(day, nullptr);
  ASSERT_EQ(day->GetCount(), 1);
  GuiDriver::UserDoubleClick(day->viewport(), day->visualItemRect(day->item(0)).center());
  ASSERT_EQ(daily.Record().StockCode, "600000");

  auto* count = GuiDriver::FindAs<QLineEdit>(&daily, 1015);
  ASSERT_NE(count, nullptr);
  GuiDriver::DoubleClick(count);
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());  // no feature-missing message any more
  EXPECT_EQ(window_->m_ctrlTab.GetCurSel(), 3);
  EXPECT_EQ(window_->m_dlgDzjy.m_ctrlTab.GetCurSel(), 0);
  CColorListCtrl* list = Table(&List());
  // Every stored day of the stock, the old one included.
  EXPECT_EQ(ColumnTexts(list, 1), (std::vector<std::string>{kToday, "2024-03-01", "------", "", ""}));
  EXPECT_EQ(ColumnTexts(list, 3)[0], "600000");
}
