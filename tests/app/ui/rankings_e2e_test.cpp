// The rankings inside the real main window, offscreen, on a generated market: "5日" on
// the branch ranking fills the list and writes its file, a double click there opens the
// tracker on that branch, " 20日" ranks the stocks, and "20 日" on the continuous-buying
// page counts through the stock activity page and lists the qualified stocks. Every
// list is compared with the plain day-by-day computation.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/market_generator.h"
#include "../../support/recording_pages.h"
#include "../../support/reference_walk_branch.h"
#include "../../support/reference_walk_stock_activity.h"
#include "../../support/reference_walk_sustained_buy.h"
#include "../../support/temp_program_folder.h"
#include "../../support/zero_sleeper.h"
#include "app/ui/main_dlg.h"
#include "controls/ui/color_list_ctrl.h"
#include "fake_tray.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "records/branch_marks.h"
#include "storage/day_range.h"

namespace {

constexpr int kFiveDaysButton = 10121;
constexpr int kActivityTwentyDays = 5;   // " 20日"
constexpr int kSustainedTwentyDays = 6;  // "20 日"

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options o;
  o.withExportFolder = true;
  return o;
}

class RankingsEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    MarketShape shape;
    shape.tradingDays = 30;
    shape.listingsPerDay = 25;
    shape.stockCount = 45;
    shape.branchCount = 150;
    shape.tradesPerDay = 0;
    shape.markedBranches = 20;
    shape.teams = 0;
    shape.seed = 515;
    shape.institutionListingShare = 0.2;
    shape.bothHalvesShare = 0.1;
    shape.maxAmount = 3000;
    shape.dayTotals = true;
    market_ = GenerateMarket(builder_, shape);
    today_ = market_.days.back();
    const LocalTime civil = CivilFromDays(*DayNumberOf(today_));
    clock_.Set(civil.year, civil.month, civil.day, 18, 30);
    builder_.OpenGlobals();
  }

  void TearDown() override {
    window_.reset();
    // The pages' search workers end with them; nothing of them outlives the test.
    EXPECT_TRUE(WorkerRegistry::Instance().JoinAll(std::chrono::seconds(10)));
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
    PageRegistry::Instance().ResetForTests();
  }

  void OpenWindow() {
    window_ = std::make_unique<CMainDlg>(std::make_unique<FakeTray>(true));
    window_->resize(1280, 800);
    PageServices services;
    services.clock = &clock_;
    ASSERT_TRUE(window_->m_dlgTrackTabs.m_dlgDataDisplay.SetServices(
        DataDisplayServices{&clock_, &sleeper_, nullptr, nullptr}));
    ASSERT_TRUE(window_->m_dlgTracker.SetServices(TrackerServices{.clock = &clock_}));
    ASSERT_TRUE(TopBranch().SetServices(services));
    ASSERT_TRUE(Sustained().SetServices(services));
    ASSERT_TRUE(window_->m_dlgHotMoneyTabs.m_dlgInstitution.SetServices(services));
    ASSERT_TRUE(StockActive().SetServices(services));
    window_->InitDialog();
    window_->m_dlgDownloadData.KillTimer(1);  // no start-up download here
    window_->show();
    ASSERT_TRUE(GuiDriver::WaitForExposed(window_.get()));
    QApplication::processEvents();
  }

  CTopBranchDlg& TopBranch() { return window_->m_dlgHotMoneyTabs.m_dlgTopBranch; }
  CSustainedBuyDlg& Sustained() { return window_->m_dlgHotMoneyTabs.m_dlgSustainedBuy; }
  CStockActiveDlg& StockActive() { return window_->m_dlgTrackTabs.m_dlgStockActive; }

  static std::vector<std::vector<std::string>> Cells(CColorListCtrl* list) {
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < list->GetItemCount(); ++r) {
      rows.emplace_back();
      for (int c = 0; c < list->GetColumnCount(); ++c) rows.back().push_back(list->GetItemText(r, c));
    }
    return rows;
  }
  template <typename Row>
  static std::vector<std::vector<std::string>> Cells(const std::vector<Row>& rows) {
    std::vector<std::vector<std::string>> out;
    for (const Row& row : rows) out.emplace_back(row.cells.begin(), row.cells.end());
    return out;
  }
  static void Choose(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }
  void Shoot(const char* name) {
    QApplication::processEvents();
    const QImage shot = GuiDriver::Grab(window_.get());
    EXPECT_EQ(shot.size(), QSize(1280, 800));
    EXPECT_TRUE(shot.save(QDir::current().absoluteFilePath(name)));
  }

  QtUiDispatcher dispatcher_;
  FakeClock clock_;
  ZeroSleeper sleeper_;
  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder builder_{folder_.Path()};
  GeneratedMarket market_;
  std::string today_;
  std::unique_ptr<CMainDlg> window_;
};

}  // namespace

TEST_F(RankingsEndToEnd, BranchStockAndContinuousBuyingRankingsFromTheWindow) {
  OpenWindow();
  ASSERT_FALSE(HasFailure());

  // 1. "5日" on "买卖排行榜": the five-day merge, sorted by total buy, and its file.
  window_->SetCurSel(1);
  window_->m_dlgHotMoneyTabs.m_ctrlTab.SetCurSel(0);
  ASSERT_TRUE(GuiDriver::Click(&TopBranch(), kFiveDaysButton));
  auto* branches = GuiDriver::FindAs<CColorListCtrl>(&TopBranch(), CTopBranchDlg::kListId);
  const ReferenceBranchRanking merged = ReferenceMergeDays(builder_.Market(), today_, 5, kBranchSortByTotalBuy);
  ASSERT_EQ(merged.status, RankingStatus::Ranked);
  BranchMarks marks;
  ASSERT_TRUE(marks.Load(builder_.User()));
  const BranchRankingView expected = BuildRankingView(merged.totals, marks);
  ASSERT_EQ(branches->GetItemCount(), 89);
  EXPECT_EQ(Cells(branches), Cells(expected.rows));
  EXPECT_EQ(folder_.ReadFile("临时文件/营业部排行榜.txt"), expected.fileBytes);
  Shoot("rankings_e2e_branches.png");

  // 2. A double click on the third branch opens the tracker on it.
  const std::string branch = branches->GetItemText(2, 1);
  GuiDriver::UserDoubleClick(branches->viewport(), branches->visualRect(branches->model()->index(2, 1)).center());
  EXPECT_EQ(window_->GetCurSel(), 2);
  EXPECT_EQ(FromQString(GuiDriver::FindAs<QLineEdit>(&window_->m_dlgTracker, 1017)->text()), branch);

  // 3. " 20日" on "个股活跃榜".
  window_->SetCurSel(0);
  window_->m_dlgTrackTabs.m_ctrlTab.SetCurSel(3);
  Choose(GuiDriver::FindAs<QComboBox>(&StockActive(), CStockActiveDlg::kDaysComboId), kActivityTwentyDays);
  ASSERT_TRUE(GuiDriver::WaitForSearch(StockActive()));  // the activity count runs on a worker
  auto* stocks = GuiDriver::FindAs<CColorListCtrl>(&StockActive(), CStockActiveDlg::kStockListId);
  const ReferenceStockRanking ranked = ReferenceRankStockActivity(builder_.Market(), today_, 20);
  ASSERT_EQ(ranked.status, StockRankingStatus::Ranked);
  const StockRankingView activity = BuildStockRankingView(ranked.rows);
  ASSERT_FALSE(activity.rows.empty());
  EXPECT_EQ(Cells(stocks), Cells(activity.rows));
  EXPECT_EQ(folder_.ReadFile("个股排行榜.txt"), activity.fileBytes);
  Shoot("rankings_e2e_activity.png");

  // 4. "20 日" on "游资持续买入": the count over 20 days comes back from the activity
  // page, and the list holds the qualified stocks; 1007 lists their branches.
  window_->SetCurSel(1);
  window_->m_dlgHotMoneyTabs.m_ctrlTab.SetCurSel(1);
  Choose(GuiDriver::FindAs<QComboBox>(&Sustained(), CSustainedBuyDlg::kDaysComboId), kSustainedTwentyDays);
  ASSERT_TRUE(GuiDriver::WaitForSearch(StockActive()));  // the activity count runs on a worker
  std::vector<CStockDayRow> counted = ranked.rows;
  const SustainedStockList qualified = ReferenceScanSustainedStocks(builder_.Market(), counted);
  ASSERT_GE(qualified.rows.size(), 3u);
  auto* sustained = GuiDriver::FindAs<CColorListCtrl>(&Sustained(), CSustainedBuyDlg::kStockListId);
  EXPECT_EQ(Cells(sustained), Cells(qualified.rows));
  ASSERT_TRUE(GuiDriver::Click(&Sustained(), CSustainedBuyDlg::kShowAllId));
  const SustainedBranchList listings = ReferenceFillSustainedBranchList(
      builder_.Market(), builder_.User(), counted, std::nullopt, today_);
  auto* listed = GuiDriver::FindAs<CColorListCtrl>(&Sustained(), CSustainedBuyDlg::kBranchListId);
  EXPECT_EQ(Cells(listed), Cells(listings.rows));
  EXPECT_FALSE(listings.rows.empty());
  Shoot("rankings_e2e_sustained.png");
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}
