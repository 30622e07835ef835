#include "analysis/ui/top_branch_dlg.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/page_fixture.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "analysis/branch_fold.h"
#include "analysis/branch_ranking.h"
#include "analysis/province_table.h"
#include "analysis/repeat_buy_stats.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/edit_ex.h"
#include "controls/ui/page_widgets.h"
#include "controls/ui/tip_wnd.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "records/branch_marks.h"
#include "storage/charset.h"

namespace {

const std::string kToday = "2024-05-15";  // Wednesday
const std::string kSuzhou = "上海证券有限责任公司苏州营业部";
const std::string kShanghai = "上海证券上海浦东营业部";
const std::string kNanjing = "华泰证券股份有限公司南京中山路证券营业部";
const std::string kBeijing = "中信证券北京总部证券营业部";
const std::string kChengdu = "国金证券四川成都营业部";

SeatFixture None() { return {"", 0, 0}; }

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options o;
  o.withExportFolder = true;
  return o;
}

class TopBranchDlgTest : public PageFixture<CTopBranchDlg> {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    MessageBoxHook::Instance().StartRecording();
    g_BranchTotals.Clear();
  }
  void TearDown() override {
    page_.reset();
    // The page's search worker ends with it; nothing of it outlives the test.
    EXPECT_TRUE(WorkerRegistry::Instance().JoinAll(std::chrono::seconds(10)));
    g_BranchTotals.Clear();
    PageRegistry::Instance().ResetForTests();
    MessageBoxHook::Instance().TakeRecorded();
  }

  void Listing(const std::string& day, const std::string& code, const FiveSeats& buy, const FiveSeats& sell = {}) {
    builder_.AddListing(day, code, "股" + code, "r", 1.0, 10.0, 1000, buy, sell);
  }

  // Five trading days up to today, the branches of several regions on each.
  void BuildMarket() {
    int n = 0;
    for (const std::string day : {"2024-05-15", "2024-05-14", "2024-05-13", "2024-05-10", "2024-05-09"}) {
      ++n;
      Listing(day, "600001", {{{kSuzhou, 300.0 * n, 0}, {kNanjing, 1000, 0}, {kShanghai, 50.0 + n, 0}, None(), None()}},
              {{{kBeijing, 0, 400}, {kChengdu, 10, 90.0 + n}, None(), None(), None()}});
      Listing(day, "600002", {{{kBeijing, 2000.0 + n, 5}, None(), None(), None(), None()}});
    }
  }

  CTopBranchDlg& MakePage(bool show = true) {
    TopBranchServices services;
    services.clock = &clock_;
    services.market = &builder_.Market();
    services.custom = &builder_.User();
    return OpenPage(services, 1280, 760, show);
  }

  CColorListCtrl* List() { return Get<CColorListCtrl>(CTopBranchDlg::kListId); }
  std::string EditText(int id) { return FromQString(Get<QLineEdit>(id)->text()); }

  std::vector<std::vector<std::string>> Cells() {
    std::vector<std::vector<std::string>> rows;
    CColorListCtrl* list = List();
    for (int r = 0; r < list->GetItemCount(); ++r) {
      std::vector<std::string>& row = rows.emplace_back();
      for (int c = 0; c < list->GetColumnCount(); ++c) row.push_back(list->GetItemText(r, c));
    }
    return rows;
  }
  static std::vector<std::vector<std::string>> Cells(const std::vector<BranchRankingRow>& view) {
    std::vector<std::vector<std::string>> rows;
    for (const BranchRankingRow& row : view) rows.emplace_back(row.cells.begin(), row.cells.end());
    return rows;
  }
  std::vector<std::string> ShownNames() {
    std::vector<std::string> names;
    for (int r = 0; r < List()->GetItemCount(); ++r) names.push_back(List()->GetItemText(r, 1));
    return names;
  }
  // What the ranking logic gives on its own fold, as the page should show it.
  BranchRankingView Expected(const BranchFold& fold) {
    BranchMarks marks;
    EXPECT_TRUE(marks.Load(builder_.User()));
    return BuildRankingView(fold.Rows(), marks);
  }
  std::string RankingFile() { return folder_.ReadFile(kRankingFileName); }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 5, 15};
  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder builder_{folder_.Path()};
  BranchFold fold_;  // the logic's own ranking, to compare with
};

}  // namespace

// ---- the page as it starts ----

TEST_F(TopBranchDlgTest, StartsWithItsControlsColumnsTipsAndTheFirstShowingPending) {
  CTopBranchDlg& page = MakePage();
  for (int id : {1115, 1004, 1021, 1007, 10121, 1317, 10132, 1009, 1010, 1000, 10141, 1006, 1048, 1015, 1092}) {
    EXPECT_NE(GuiDriver::Find(&page, id), nullptr) << id;
  }
  for (const RegionButton& region : kRegionButtons) {
    auto* button = Get<QPushButton>(region.id);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(FromQString(button->text()), region.caption);
  }
  EXPECT_EQ(Get<QPushButton>(1092)->text(), QStringLiteral("游资买入一只股票2次以上的比率"));
  EXPECT_EQ(Get<QRadioButton>(10121)->text(), QStringLiteral("5日"));
  EXPECT_TRUE(Get<QRadioButton>(1004)->isChecked());
  EXPECT_NE(qobject_cast<CEditEx*>(Get<QLineEdit>(1000)), nullptr);
  EXPECT_NE(qobject_cast<CEditEx*>(Get<QLineEdit>(1006)), nullptr);
  EXPECT_EQ(EditText(1006), "5000");
  EXPECT_EQ(PickerDayText(Get<QDateEdit>(1015)), kToday);
  QStringList groups;
  for (auto* box : page.findChildren<QGroupBox*>()) groups << box->title();
  EXPECT_TRUE(groups.contains(QStringLiteral("按地域显示")));
  EXPECT_TRUE(groups.contains(QStringLiteral("大资金买入敢死队(TOP200)")));

  CColorListCtrl* list = List();
  ASSERT_EQ(list->GetColumnCount(), 9);
  const std::vector<std::pair<const char*, int>> columns{{"序号", 41},   {"营业部", 310},   {"总买入", 85},
                                                         {"总卖出", 85}, {"总净买", 85},    {"总买卖", 85},
                                                         {"上榜次数", 70}, {"平均动用资金", 95}, {"买卖股票", 80}};
  for (int c = 0; c < 9; ++c) {
    EXPECT_EQ(FromQString(list->horizontalHeaderItem(c)->text()), columns[static_cast<std::size_t>(c)].first);
    EXPECT_EQ(list->columnWidth(c), columns[static_cast<std::size_t>(c)].second);
  }
  EXPECT_FALSE(list->isSortingEnabled());

  auto* tips = page.findChild<CTipWnd*>();
  ASSERT_NE(tips, nullptr);
  std::vector<int> keys;
  for (const auto& tool : tips->Tools()) {
    keys.push_back(tool.key);
    EXPECT_EQ(tool.textColor, RGB(255, 255, 225));
    EXPECT_EQ(tool.backColor, RGB(255, 0, 192));
  }
  EXPECT_EQ(keys, (std::vector<int>{1004, 1007, 10121, 1317, 10132, 1009}));

  EXPECT_EQ(page.SortMode(), 2);
  EXPECT_FALSE(page.IsBusy());
  EXPECT_TRUE(page.ShownDay().empty());
  ASSERT_TRUE(page.IsFirstShowingPending());
  EXPECT_TRUE(page.FirstShowingTimer()->isSingleShot());
  EXPECT_EQ(page.FirstShowingTimer()->interval(), 5000);
  EXPECT_EQ(list->GetItemCount(), 0);
}

TEST_F(TopBranchDlgTest, TheFirstShowingRanksTodayByTotalBuyOnce) {
  BuildMarket();
  CTopBranchDlg& page = MakePage();
  page.OnFirstShowing();
  EXPECT_FALSE(page.IsFirstShowingPending());
  RankToday(builder_.Market(), kToday, fold_);
  fold_.SortBranches(kBranchSortByTotalBuy);
  const BranchRankingView expected = Expected(fold_);
  EXPECT_EQ(Cells(), Cells(expected.rows));
  EXPECT_EQ(ShownNames().front(), kBeijing);
  EXPECT_EQ(RankingFile(), expected.fileBytes);
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());
}

// ---- merges ----

TEST_F(TopBranchDlgTest, FiveDaysFillTheListWritesTheFileAndEndsTheProgressLine) {
  BuildMarket();
  builder_.AddMark(kNanjing, 1, RGB(1, 2, 3), 1, 0, "", "", "");
  CTopBranchDlg& page = MakePage();
  GuiDriver::Click(&page, 10121);
  MergeDays(builder_.Market(), kToday, 5, kBranchSortByTotalBuy, fold_);
  const BranchRankingView expected = Expected(fold_);
  EXPECT_EQ(Cells(), Cells(expected.rows));
  EXPECT_EQ(RankingFile(), expected.fileBytes);
  EXPECT_EQ(EditText(1006), "5000");  // the threshold, not the progress
  EXPECT_EQ(g_nDaysFound, 5);
  EXPECT_EQ(g_nDayOffset, 7);
  EXPECT_FALSE(page.IsBusy());
  // The colours of the list are the view's.
  const CellColourTable& colours = List()->Colours();
  for (int r = 0; r < List()->GetItemCount(); ++r) {
    const BranchRankingRow& row = expected.rows[static_cast<std::size_t>(r)];
    EXPECT_EQ(colours.Lookup(r, 4, List()->GetBkColor()).background, row.netColour);
    EXPECT_EQ(colours.Lookup(r, 7, List()->GetBkColor()).background, row.averageColour);
    EXPECT_EQ(colours.Lookup(r, 1, List()->GetBkColor()).background, *row.nameColour);
  }
  EXPECT_TRUE(List()->updatesEnabled());
}

TEST_F(TopBranchDlgTest, TooFewDaysAndTypedNumbers) {
  BuildMarket();
  RecordingStatusBar bar;
  PageRegistry::Instance().Publish<IStatusBar>(PageSlot::StatusBar, &bar);
  CTopBranchDlg& page = MakePage();
  // 30 days: the long-wait text first, then too few days, both in pane 1.
  GuiDriver::Click(&page, 1009);
  ASSERT_EQ(bar.texts.size(), 2u);
  EXPECT_EQ(bar.texts[0], (std::pair<int, std::string>{1, "  如果选择时间段大于30日，系统计算时间较长，请耐心等待!!"}));
  EXPECT_EQ(bar.texts[1], (std::pair<int, std::string>{1, "数据不足：只找到5个交易日"}));
  EXPECT_EQ(List()->GetItemCount(), 0);
  EXPECT_FALSE(page.IsBusy());
  EXPECT_FALSE(folder_.Exists(kRankingFileName));
  // 20 days: no long-wait text.
  GuiDriver::Click(&page, 10132);
  EXPECT_EQ(bar.texts.size(), 3u);
  GuiDriver::Click(&page, 1004);  // today's ranking replaces the shortage
  EXPECT_EQ(bar.texts.back(), (std::pair<int, std::string>{1, kWorkingPaneText}));
  // Exactly the stored days rank.
  Get<QLineEdit>(1000)->setText(QStringLiteral("5"));
  GuiDriver::Click(&page, 10141);
  EXPECT_EQ(List()->GetItemCount(), 5);
  EXPECT_EQ(bar.texts.back().second, "排序完成......");
  // Not a number: an empty ranking at once.
  for (const char* text : {"abc", "0", "-4"}) {
    Get<QLineEdit>(1000)->setText(QString::fromUtf8(text));
    page.OnMergeTyped();
    EXPECT_EQ(List()->GetItemCount(), 0) << text;
    EXPECT_EQ(RankingFile(), RankingFileHeader()) << text;
    EXPECT_EQ(bar.texts.back().second, "排序完成......");
  }
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());
}

TEST_F(TopBranchDlgTest, AnEmptyDatabaseGivesAnEmptyTodayAndTooFewDays) {
  CTopBranchDlg& page = MakePage();
  page.OnFirstShowing();
  EXPECT_EQ(List()->GetItemCount(), 0);
  EXPECT_EQ(RankingFile(), RankingFileHeader());
  page.StartMerge(3);
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());
}

// ---- single days and the big buyers ----

TEST_F(TopBranchDlgTest, APickedDayRanksOnceAndSundaysAreIgnored) {
  BuildMarket();
  CTopBranchDlg& page = MakePage();
  auto* picker = Get<QDateEdit>(1015);
  picker->setDate(QDate(2024, 5, 13));
  EXPECT_EQ(page.ShownDay(), "2024-05-13");
  RankDay(builder_.Market(), "2024-05-13", fold_);
  const BranchRankingView expected = Expected(fold_);
  EXPECT_EQ(Cells(), Cells(expected.rows));
  // The same day again, or a Sunday: nothing happens.
  List()->DeleteAllItems();
  picker->setDate(QDate(2024, 5, 12));
  picker->setDate(QDate(2024, 5, 13));
  EXPECT_EQ(List()->GetItemCount(), 0);
  EXPECT_EQ(page.ShownDay(), "2024-05-13");
  // Yesterday of a Monday is Friday.
  clock_.Set(2024, 5, 13);
  GuiDriver::Click(&page, 1021);
  RankYesterday(builder_.Market(), "2024-05-13", fold_);
  EXPECT_EQ(Cells(), Cells(Expected(fold_).rows));
  EXPECT_EQ(List()->GetItemText(0, 1), kBeijing);
}

TEST_F(TopBranchDlgTest, BigBuyersReadEdit1006AsAtofDoes) {
  BuildMarket();
  CTopBranchDlg& page = MakePage();
  Get<QLineEdit>(1006)->setText(QStringLiteral("900"));
  GuiDriver::Click(&page, 1048);
  ASSERT_TRUE(GuiDriver::WaitForSearch(page));
  QueryBigBuyers(builder_.Market(), "900", fold_);
  EXPECT_EQ(Cells(), Cells(Expected(fold_).rows));
  // 南京's (1000, 0) comes again every day: one seat.
  EXPECT_EQ(ShownNames(), (std::vector<std::string>{kBeijing, kSuzhou, kNanjing}));
  // A merge leaves the user's threshold in the edit: the next query runs with it.
  page.StartMerge(2);
  page.OnQueryBigBuyers();
  ASSERT_TRUE(GuiDriver::WaitForSearch(page));
  QueryBigBuyers(builder_.Market(), "900", fold_);
  EXPECT_EQ(Cells(), Cells(Expected(fold_).rows));
  EXPECT_EQ(List()->GetItemCount(), 3);
}

// ---- the list ----

TEST_F(TopBranchDlgTest, HeaderDoubleClicksResortAndRowDoubleClicksGoToTheTracker) {
  BuildMarket();
  CTopBranchDlg& page = MakePage();
  page.StartMerge(5);
  auto* header = List()->horizontalHeader();
  const QPoint times(header->sectionViewportPosition(6) + 10, header->height() / 2);
  QTest::mouseDClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, times);
  EXPECT_EQ(page.SortMode(), 6);
  MergeDays(builder_.Market(), kToday, 5, kBranchSortByTotalBuy, fold_);
  fold_.SortBranches(kBranchSortByTimes);
  EXPECT_EQ(Cells(), Cells(Expected(fold_).rows));
  const auto before = Cells();
  page.OnHeaderDblClk(1);  // not a sort column
  EXPECT_EQ(page.SortMode(), 6);
  EXPECT_EQ(Cells(), before);

  // Without the tracker, the seam's message; with it, the row's branch.
  page.OnListDblClk(0);
  auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("搜索&查询"), std::string::npos);
  RecordingTracker tracker;
  PageRegistry::Instance().Publish<ITrackerPage>(PageSlot::Tracker, &tracker);
  const QRect cell = List()->visualRect(List()->model()->index(1, 3));
  // As a user double-clicks: press and release, then the double click and its release.
  GuiDriver::Click(List()->viewport(), Qt::LeftButton, cell.center());
  GuiDriver::DoubleClick(List()->viewport(), cell.center());
  QTest::mouseRelease(List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
  EXPECT_EQ(tracker.branches, (std::vector<std::string>{List()->GetItemText(1, 1)}));
  page.OnListDblClk(99);
  EXPECT_EQ(tracker.branches.size(), 1u);
}

TEST_F(TopBranchDlgTest, RegionButtonsFilterTheSameFullRanking) {
  CTopBranchDlg& page = MakePage();
  GuiDriver::Click(&page, 1024);
  EXPECT_EQ(List()->GetItemCount(), 0);  // no ranking yet
  BuildMarket();
  page.StartMerge(5);
  const std::vector<std::string> full = ShownNames();
  GuiDriver::Click(&page, 1024);  // 江苏: 苏州 after the start, 南京
  std::vector<std::string> jiangsu;
  for (const std::string& name : full) {
    if (name == kSuzhou || name == kNanjing) jiangsu.push_back(name);
  }
  EXPECT_EQ(ShownNames(), jiangsu);
  EXPECT_EQ(List()->GetItemText(0, 0), "1");
  GuiDriver::Click(&page, 1017);  // 上海: only the one holding it after its start
  EXPECT_EQ(ShownNames(), (std::vector<std::string>{kShanghai}));
  GuiDriver::Click(&page, 1030);
  EXPECT_EQ(ShownNames(), (std::vector<std::string>{kChengdu}));
  GuiDriver::Click(&page, 1023);
  EXPECT_EQ(ShownNames(), (std::vector<std::string>{kBeijing}));
  EXPECT_EQ(g_BranchTotals.size(), full.size());
}

// ---- repeat buys ----

TEST_F(TopBranchDlgTest, TheRepeatBuyButtonListsItsRowsAndSortsByTimes) {
  BuildMarket();
  // 苏州 on 600001 eight times in all.
  for (const std::string day : {"2024-04-01", "2024-04-02", "2024-04-03"}) {
    Listing(day, "600001", {{{kSuzhou, 10, 0}, None(), None(), None(), None()}});
  }
  RecordingStatusBar bar;
  PageRegistry::Instance().Publish<IStatusBar>(PageSlot::StatusBar, &bar);
  CTopBranchDlg& page = MakePage();
  GuiDriver::Click(&page, 1092);
  ASSERT_TRUE(GuiDriver::WaitForSearch(page));
  EXPECT_EQ(page.SortMode(), 6);
  EXPECT_FALSE(page.IsBusy());
  // 60 days are not stored: too few days.
  EXPECT_EQ(bar.texts.back().second, "数据不足：只找到8个交易日");
  EXPECT_EQ(List()->GetItemCount(), 0);
  EXPECT_EQ(List()->GetColumnCount(), 9);
  page.StartRepeatBuyStats(5);
  ASSERT_TRUE(GuiDriver::WaitForSearch(page));
  BranchFold fold;
  const RepeatBuyStatsResult expected = RunRepeatBuyStats(builder_.Market(), kToday, 5, fold);
  ASSERT_FALSE(expected.rows.empty());
  ASSERT_EQ(List()->GetItemCount(), static_cast<int>(expected.rows.size()));
  for (int r = 0; r < List()->GetItemCount(); ++r) {
    const RepeatBuyListRow& row = expected.rows[static_cast<std::size_t>(r)];
    EXPECT_EQ(List()->GetItemText(r, 0), std::to_string(row.number));
    EXPECT_EQ(List()->GetItemText(r, 1), row.branch);
    EXPECT_EQ(List()->GetItemText(r, 3), row.stockCode);
    EXPECT_EQ(List()->GetItemText(r, 4), std::to_string(row.count));
  }
  EXPECT_EQ(FromQString(List()->horizontalHeaderItem(1)->text()), "营业部");
}

// ---- failures and keys ----

TEST_F(TopBranchDlgTest, AnUnwritableFileIsToldAndTheListStillFilled) {
  BuildMarket();
  CTopBranchDlg& page = MakePage();
  std::filesystem::remove_all(std::filesystem::path(folder_.File("临时文件")));
  page.StartMerge(2);
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "文件打开错误!");
  EXPECT_EQ(boxes[0].caption, "系统提示");
  EXPECT_EQ(boxes[0].icon, MB_ICONWARNING);
  EXPECT_GT(List()->GetItemCount(), 0);
}

TEST_F(TopBranchDlgTest, AFailedReadIsToldAndShowsNoRanking) {
  BuildMarket();
  CTopBranchDlg& page = MakePage();
  page.StartMerge(2);
  ASSERT_GT(List()->GetItemCount(), 0);
  ASSERT_TRUE(builder_.Market().Execute("DROP TABLE StockInfo"));
  page.StartMerge(2);
  auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("数据库查询失败!", 0), 0u);
  EXPECT_EQ(List()->GetItemCount(), 0);
  EXPECT_FALSE(page.IsBusy());
  page.OnToday();
  EXPECT_EQ(GuiDriver::TakeBoxes().size(), 1u);
}

TEST_F(TopBranchDlgTest, EnterAndEscapeAreSwallowed) {
  BuildMarket();
  CTopBranchDlg& page = MakePage();
  auto* days = Get<QLineEdit>(1000);
  days->setText(QStringLiteral("3"));
  days->setFocus();
  GuiDriver::PressKey(days, Qt::Key_Return);
  GuiDriver::PressKey(days, Qt::Key_Escape);
  GuiDriver::PressKey(Get<QLineEdit>(1006), Qt::Key_Enter);
  EXPECT_TRUE(page.isVisible());
  EXPECT_EQ(List()->GetItemCount(), 0);
  EXPECT_EQ(days->text(), QStringLiteral("3"));
  auto* picker = Get<QDateEdit>(1015);  // its calendar is no control of the page: Escape closes it
  QTest::mouseClick(picker, Qt::LeftButton, {}, QPoint(picker->width() - 6, picker->height() / 2));  // the arrow
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return picker->calendarWidget()->isVisible(); }));
  GuiDriver::PressKey(picker->calendarWidget()->focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return !picker->calendarWidget()->isVisible(); }));
}

// ---- the look ----

TEST_F(TopBranchDlgTest, ScreenshotShowsTheRanking) {
  BuildMarket();
  builder_.AddMark(kNanjing, 1, RGB(255, 200, 0), 1, 0, "", "", "");
  CTopBranchDlg& page = MakePage();
  GuiDriver::Click(&page, 10121);
  QApplication::processEvents();
  const QImage shot = GuiDriver::Grab(&page);
  EXPECT_TRUE(shot.save(QDir::current().absoluteFilePath("top_branch_page.png")));
  EXPECT_EQ(List()->GetItemCount(), 5);
}
