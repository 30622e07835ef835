#include "views/ui/stock_score_dlg.h"

#include <QApplication>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/paint_probe.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "controls/ui/color_list_ctrl.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"

namespace {

const std::string kStar = "中信证券股份有限公司上海溧阳路证券营业部";

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options o;
  o.withExportFolder = true;
  return o;
}

// As a user double-clicks: press and release, then the double-click and its release.
class StockScoreDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    builder_.AddQlxwma(kStar, 0.9, 1);
    FiveSeats starBuy;
    starBuy[0] = {kStar, 800, 0};
    FiveSeats plainSell;
    plainSell[0] = {"卖方营业部", 0, 100};
    FiveSeats plainBuy;
    plainBuy[0] = {"买方营业部", 50, 0};
    // 05-14 (Tue): two stocks; 05-13 (Mon), 05-10 (Fri) and 04-29 (Mon) one each.
    builder_.AddListing("2024-05-14", "600000", "浦发银行", "r", 5, 10, 1e6, starBuy, plainSell);
    builder_.AddListing("2024-05-14", "000001", "平安银行", "r", 5, 10, 1e6, plainBuy, plainSell);
    for (const char* day : {"2024-05-13", "2024-05-10", "2024-04-29"}) {
      builder_.AddListing(day, "600036", std::string("招商") + day, "r", 5, 10, 1e6, plainBuy, plainSell);
    }
  }
  void TearDown() override { PageRegistry::Instance().ResetForTests(); }

  std::unique_ptr<CStockScoreDlg> MakePage() {
    StockScoreServices services;
    services.clock = &clock_;
    services.market = &builder_.Market();
    auto page = std::make_unique<CStockScoreDlg>(services);
    page->resize(900, 500);
    page->InitDialog();
    page->show();
    EXPECT_TRUE(GuiDriver::WaitForExposed(page.get()));
    return page;
  }
  static CColorListCtrl* List(CStockScoreDlg& page) { return GuiDriver::FindAs<CColorListCtrl>(&page, 1119); }
  static QDateEdit* Picker(CStockScoreDlg& page) { return GuiDriver::FindAs<QDateEdit>(&page, 1111); }
  static void Pick(CStockScoreDlg& page, int y, int m, int d) { Picker(page)->setDate(QDate(y, m, d)); }
  static std::string Cell(CStockScoreDlg& page, int row, int column) { return List(page)->GetItemText(row, column); }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 5, 15};
  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder builder_{folder_.Path()};
  RecordingTracker tracker_;
  RecordingChartLink link_;
};

}  // namespace

TEST_F(StockScoreDlgTest, StartsEmptyOnTodayWithTheTenColumns) {
  auto page = MakePage();
  CColorListCtrl* list = List(*page);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->GetItemCount(), 0);
  ASSERT_EQ(list->GetColumnCount(), 10);
  EXPECT_EQ(list->horizontalHeaderItem(7)->text(), QStringLiteral("明星席位买入/卖出"));
  EXPECT_EQ(list->horizontalHeader()->sectionSize(8), 140);
  EXPECT_EQ(Picker(*page)->date(), QDate(2024, 5, 15));
  EXPECT_EQ(page->ShownDay(), "");
}

TEST_F(StockScoreDlgTest, PickedDayFillsTextsAndColours) {
  auto page = MakePage();
  Pick(*page, 2024, 5, 14);
  CColorListCtrl* list = List(*page);
  ASSERT_EQ(list->GetItemCount(), 2);
  EXPECT_EQ(page->ShownDay(), "2024-05-14");
  EXPECT_EQ(Cell(*page, 0, 0), "1");
  EXPECT_EQ(Cell(*page, 0, 1), "浦发银行");
  EXPECT_EQ(Cell(*page, 0, 2), "600000");
  EXPECT_EQ(Cell(*page, 0, 7), "1(1/0)");
  EXPECT_EQ(Cell(*page, 0, 9), "无");
  // Inflow +1, star seat +1, high income +1.
  EXPECT_EQ(Cell(*page, 0, 3), "3");
  const COLORREF base = list->GetBkColor();
  EXPECT_EQ(list->Colours().Lookup(0, 3, base).background, kScoreStrongColour);
  EXPECT_EQ(list->Colours().Lookup(0, 7, base).background, kScoreUpColour);
  EXPECT_EQ(list->Colours().Lookup(0, 4, base).background, kScoreUpColour);
  EXPECT_EQ(Cell(*page, 1, 3), "0");  // net -50: no vote anywhere
  EXPECT_EQ(Cell(*page, 1, 4), "");
  EXPECT_EQ(list->Colours().Lookup(1, 4, base).background, base);

  // What the user sees: the scored rows with their Chinese names and headers.
  QApplication::processEvents();
  const QImage shot = GuiDriver::Grab(page.get());
  EXPECT_TRUE(shot.save(QDir::current().absoluteFilePath("stock_score_page.png")));
  EXPECT_TRUE(paint_probe::HasEveryGlyph(QStringLiteral("浦发银行明星席位买入/卖出"), list->font()));
}

TEST_F(StockScoreDlgTest, WeekendAndSameDayPicksChangeNothing) {
  auto page = MakePage();
  Pick(*page, 2024, 5, 14);
  ASSERT_EQ(List(*page)->GetItemCount(), 2);
  builder_.AddListing("2024-05-14", "300750", "宁德时代", "r", 5, 10, 1e6, FiveSeats{}, FiveSeats{});
  Pick(*page, 2024, 5, 11);  // Saturday
  EXPECT_EQ(List(*page)->GetItemCount(), 2);
  EXPECT_EQ(page->ShownDay(), "2024-05-14");
  Pick(*page, 2024, 5, 14);  // the day on the list: not scored again
  EXPECT_EQ(List(*page)->GetItemCount(), 2);
  Pick(*page, 2024, 5, 15);  // a weekday without rows: an empty list
  EXPECT_EQ(List(*page)->GetItemCount(), 0);
}

TEST_F(StockScoreDlgTest, AnUnreadableDayLeavesTheListAsItWas) {
  auto page = MakePage();
  Pick(*page, 2024, 5, 14);
  ASSERT_EQ(List(*page)->GetItemCount(), 2);
  ASSERT_TRUE(builder_.Market().Execute("DROP TABLE StockInfo"));
  Pick(*page, 2024, 5, 13);
  EXPECT_EQ(List(*page)->GetItemCount(), 2);
  EXPECT_EQ(Cell(*page, 0, 2), "600000");
  EXPECT_EQ(page->ShownDay(), "2024-05-14");
  GuiDriver::FindAs<QPushButton>(page.get(), 1003)->click();
  EXPECT_EQ(List(*page)->GetItemCount(), 2);
  EXPECT_TRUE(GuiDriver::FindAs<QPushButton>(page.get(), 1003)->isEnabled());
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());
}

TEST_F(StockScoreDlgTest, SteppingSkipsWeekendsAndStopsAtTheStoredDays) {
  auto page = MakePage();
  auto* prev = GuiDriver::FindAs<QPushButton>(page.get(), 1003);
  auto* next = GuiDriver::FindAs<QPushButton>(page.get(), 1004);
  Pick(*page, 2024, 5, 13);
  prev->click();  // Monday → Friday
  EXPECT_EQ(Picker(*page)->date(), QDate(2024, 5, 10));
  EXPECT_EQ(Cell(*page, 0, 1), "招商2024-05-10");
  prev->click();  // an 11-day gap is crossed
  EXPECT_EQ(page->ShownDay(), "2024-04-29");
  prev->click();  // the oldest day: nothing changes
  EXPECT_EQ(page->ShownDay(), "2024-04-29");
  EXPECT_TRUE(prev->isEnabled());
  Pick(*page, 2024, 5, 14);
  next->click();  // the newest day: nothing changes
  EXPECT_EQ(page->ShownDay(), "2024-05-14");
  EXPECT_EQ(Picker(*page)->date(), QDate(2024, 5, 14));
  EXPECT_TRUE(next->isEnabled());
}

TEST_F(StockScoreDlgTest, AnotherDayShowsFromItsFirstRow) {
  for (int i = 0; i < 80; ++i) {
    builder_.AddListing(i % 2 ? "2024-05-13" : "2024-05-14", std::to_string(600100 + i / 2), "股", "r", 5, 10, 1e6, {},
                        {});
  }
  auto page = MakePage();
  Pick(*page, 2024, 5, 14);
  QApplication::processEvents();
  QScrollBar* bar = List(*page)->verticalScrollBar();
  bar->setValue(bar->maximum());
  ASSERT_GT(bar->value(), 0);
  GuiDriver::Click(page.get(), 1003);
  EXPECT_EQ(bar->value(), 0);
}

TEST_F(StockScoreDlgTest, PickingBackTheDayBeforeAStepScoresIt) {
  auto page = MakePage();
  Pick(*page, 2024, 5, 14);
  GuiDriver::FindAs<QPushButton>(page.get(), 1003)->click();
  ASSERT_EQ(page->ShownDay(), "2024-05-13");
  Pick(*page, 2024, 5, 14);
  EXPECT_EQ(page->ShownDay(), "2024-05-14");
  EXPECT_EQ(List(*page)->GetItemCount(), 2);
}

TEST_F(StockScoreDlgTest, DoubleAndRightClicksSendTheRowsCode) {
  auto page = MakePage();
  Pick(*page, 2024, 5, 14);
  CColorListCtrl* list = List(*page);
  const QPoint cell = GuiDriver::CellCentre(list, 1, 4);
  GuiDriver::UserDoubleClick(list->viewport(), cell);  // no tracker yet: its message
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "“搜索&查询”功能尚未完成，本次操作未执行。");
  PageRegistry::Instance().Publish<ITrackerPage>(PageSlot::Tracker, &tracker_);
  PageRegistry::Instance().Publish<ChartLink>(PageSlot::ChartLink, &link_);
  GuiDriver::UserDoubleClick(list->viewport(), cell);
  EXPECT_EQ(tracker_.codes, std::vector<std::string>{"000001"});
  GuiDriver::Click(list->viewport(), Qt::RightButton, GuiDriver::CellCentre(list, 0, 2));
  EXPECT_EQ(link_.codes, std::vector<std::string>{"600000"});
  // Below the last row: nothing is sent.
  GuiDriver::Click(list->viewport(), Qt::RightButton, QPoint(cell.x(), list->viewport()->height() - 2));
  EXPECT_EQ(link_.codes.size(), 1u);
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());
}

TEST_F(StockScoreDlgTest, EnterAndEscapeNeverReachTheDialogAround) {
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  StockScoreServices services{.clock = &clock_, .market = &builder_.Market()};
  auto* page = new CStockScoreDlg(services, &dialog);
  layout->addWidget(page);
  page->InitDialog();
  dialog.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&dialog));
  for (int id : {1119, 1111, 1003}) {
    GuiDriver::PressKey(GuiDriver::Find(page, id), Qt::Key_Escape);
    GuiDriver::PressKey(GuiDriver::Find(page, id), Qt::Key_Return);
  }
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(page->ShownDay(), "");  // Enter on the picker scores nothing either
}
