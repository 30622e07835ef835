#include "analysis/ui/sustained_buy_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QHeaderView>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/page_fixture.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "analysis/stock_activity.h"
#include "analysis/ui/stock_active_dlg.h"
#include "controls/ui/color_list_ctrl.h"
#include "platform/clipboard.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "storage/ini_file.h"

namespace {

constexpr const char* kA = "华泰证券股份有限公司深圳益田路证券营业部";
constexpr const char* kB = "机构专用";
constexpr const char* kC = "中信证券上海溧阳路营业部";

SeatFixture Seat(const std::string& name, double buy, double sell) { return {name, buy, sell}; }

void RightClick(QWidget* viewport, QPoint pos) {
  QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
  QApplication::sendEvent(viewport, &event);
}

class SustainedBuyDlgTest : public PageFixture<CSustainedBuyDlg> {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    g_StockActivity.clear();
    g_nActiveDayOffset = 0;
    g_bNotifySustainedPage = false;
  }
  void TearDown() override {
    page_.reset();
    counter_.reset();
    MessageBoxHook::Instance().TakeRecorded();
    PageRegistry::Instance().ResetForTests();
  }

  void List(const std::string& day, const std::string& code, const std::string& name, const FiveSeats& buy,
            const FiveSeats& sell = {}, const std::string& reason = "") {
    builder_.AddListing(day, code, name, reason, 1, 10, 1000, buy, sell);
  }
  // Friday 2024-06-07 (today) back to Wednesday.
  void BuildMarket() {
    builder_.AddMark(kA, 1, RGB(255, 255, 0), 0, 0, "", "", "");
    for (const char* day : {"2024-06-07", "2024-06-06", "2024-06-05"}) {
      List(day, "600001", "浦发银行", {Seat(kA, 20, 1), Seat(kB, 3, 0)}, {Seat(kC, 0, 8)});
    }
    for (const char* day : {"2024-06-07", "2024-06-06"}) {
      List(day, "600002", "白云机场", {Seat(kC, 15, 40)}, {Seat(kA, 0, 30)});
      List(day, "600004", "中国国贸", {Seat(kB, 10, 0)});  // exactly 10: no buying seat
    }
    List("2024-06-07", "600003", "万科Ａ", {Seat(kA, 90, 0), Seat(kA, 90, 0)});  // listed once
    List("2024-06-05", "600005", "融资股", {Seat(kB, 66.6, 0)}, {}, "融资买入数量达到规定比例");
  }

  CSustainedBuyDlg& MakePages(bool withCounter = true) {
    PageServices services;
    services.clock = &clock_;
    services.market = &builder_.Market();
    services.custom = &builder_.User();
    if (withCounter) {
      counter_ = std::make_unique<CStockActiveDlg>(services);
      counter_->InitDialog();
    }
    return OpenPage(services, 1100, 500);
  }
  CColorListCtrl* Stocks() { return Get<CColorListCtrl>(CSustainedBuyDlg::kStockListId); }
  CColorListCtrl* Branches() { return Get<CColorListCtrl>(CSustainedBuyDlg::kBranchListId); }
  QComboBox* Combo() { return Get<QComboBox>(CSustainedBuyDlg::kDaysComboId); }
  std::vector<std::string> Column(CColorListCtrl* list, int column) {
    std::vector<std::string> cells;
    for (int i = 0; i < list->GetItemCount(); ++i) cells.push_back(list->GetItemText(i, column));
    return cells;
  }
  void Choose(int index) {
    Combo()->setCurrentIndex(index);
    emit Combo()->activated(index);
    if (counter_) {
      ASSERT_TRUE(GuiDriver::WaitForSearch(*counter_));  // the count, on its worker
    }
  }
  std::string Saved(const std::string& key) {
    return GetPrivateProfileString("system", key, "none", folder_.File("sysinfo.ini"));
  }
  COLORREF CellColour(CColorListCtrl* list, int row, int column) {
    return list->Colours().Lookup(row, column, list->GetBkColor()).background;
  }
  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 6, 7};  // a Friday
  TempProgramFolder folder_;
  DbBuilder builder_{folder_.Path()};
  RecordingChartLink link_;
  std::unique_ptr<CStockActiveDlg> counter_;
};

}  // namespace

TEST_F(SustainedBuyDlgTest, StartsOnTheSavedChoiceAndCountsNothing) {
  BuildMarket();
  g_Settings.YouZiChiXuBuy = 4;
  CSustainedBuyDlg& page = MakePages();
  EXPECT_EQ(PageRegistry::Instance().Get<ISustainedBuyPage>(PageSlot::ContinuousBuy), &page);
  ASSERT_EQ(Combo()->count(), 7);
  EXPECT_EQ(Combo()->itemText(0), QStringLiteral("2 日"));
  EXPECT_EQ(Combo()->itemText(6), QStringLiteral("20 日"));
  EXPECT_EQ(Combo()->currentIndex(), 4);
  EXPECT_EQ(counter_->WalkCount(), 0);
  EXPECT_EQ(Stocks()->GetItemCount(), 0);
  ASSERT_EQ(Stocks()->GetColumnCount(), 5);
  ASSERT_EQ(Branches()->GetColumnCount(), 9);
  EXPECT_EQ(Stocks()->horizontalHeaderItem(4)->text(), QStringLiteral("上榜次数"));
  EXPECT_EQ(Branches()->horizontalHeaderItem(4)->text(), QStringLiteral("敢死队营业部"));
  EXPECT_EQ(Branches()->columnWidth(4), 280);
  EXPECT_EQ(Branches()->horizontalHeaderItem(8)->text(), QStringLiteral("买入/卖出次数"));
  EXPECT_EQ(Saved("YouZiChiXuBuy"), "none");
  // A saved index out of range shows the first item.
  page_.reset();
  g_Settings.YouZiChiXuBuy = 9;
  MakePages(false);
  EXPECT_EQ(Combo()->currentIndex(), 0);
}

TEST_F(SustainedBuyDlgTest, ChoosingNCountsThroughTheActivityPageAndListsTheQualifiedStocks) {
  BuildMarket();
  g_Settings.TimeSel = 7;
  MakePages();
  Choose(0);  // 2 days
  // The round trip: the activity page counted 2 days and handed the count back.
  EXPECT_EQ(counter_->RankedDays(), 2);
  EXPECT_EQ(counter_->WalkCount(), 1);
  EXPECT_EQ(Column(Stocks(), 3), (std::vector<std::string>{"600001", "600002"}));
  EXPECT_EQ(Column(Stocks(), 0), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(Stocks()->GetItemText(0, 1), "2024-06-07");
  EXPECT_EQ(Stocks()->GetItemText(0, 2), "浦发银行");
  EXPECT_EQ(Stocks()->GetItemText(0, 4), "2");
  EXPECT_EQ(Stocks()->GetItemText(1, 4), "2");
  // The activity page's choice stays; this page's is written.
  EXPECT_EQ(g_Settings.TimeSel, 7);
  EXPECT_EQ(Saved("TimeSel"), "none");
  EXPECT_EQ(Saved("YouZiChiXuBuy"), "0");
  EXPECT_EQ(g_Settings.YouZiChiXuBuy, 0);
  EXPECT_EQ(Branches()->GetItemCount(), 0);

  // Three days: 600001's third listing counts too. The same N again counts again.
  Choose(1);
  EXPECT_EQ(Stocks()->GetItemText(0, 4), "3");
  EXPECT_EQ(Saved("YouZiChiXuBuy"), "1");
  Choose(1);
  EXPECT_EQ(counter_->WalkCount(), 3);
  EXPECT_EQ(Column(Stocks(), 3), (std::vector<std::string>{"600001", "600002"}));
  // 20 days is more than the database holds: the count stays silent, the list empty.
  Choose(6);
  EXPECT_EQ(Stocks()->GetItemCount(), 0);
  EXPECT_EQ(Saved("YouZiChiXuBuy"), "6");
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}

TEST_F(SustainedBuyDlgTest, ADoubleClickListsOneStockAndShowAllListsThemAll) {
  BuildMarket();
  CSustainedBuyDlg& page = MakePages();
  Choose(1);
  ASSERT_EQ(Stocks()->GetItemCount(), 2);
  GuiDriver::UserDoubleClick(Stocks()->viewport(), GuiDriver::CellCentre(Stocks(), 1, 2));
  EXPECT_EQ(page.SelectedCode(), "600002");
  EXPECT_FALSE(page.ShowsAllStocks());
  EXPECT_EQ(Column(Branches(), 3), (std::vector<std::string>{"600002", "600002"}));
  EXPECT_EQ(Column(Branches(), 4), (std::vector<std::string>{kC, kC}));
  EXPECT_EQ(Branches()->GetItemText(0, 5), "15");
  EXPECT_EQ(Branches()->GetItemText(0, 6), "40");
  EXPECT_EQ(Branches()->GetItemText(0, 7), "-25");
  EXPECT_EQ(Branches()->GetItemText(0, 8), "");
  // The net's colour is on the net column; today's date is red.
  EXPECT_EQ(CellColour(Branches(), 0, 7), RGB(0, 200, 0));
  EXPECT_EQ(CellColour(Branches(), 0, 1), RGB(200, 0, 0));
  EXPECT_NE(CellColour(Branches(), 1, 1), RGB(200, 0, 0));

  GuiDriver::Click(page_.get(), CSustainedBuyDlg::kShowAllId);
  EXPECT_TRUE(page.ShowsAllStocks());
  EXPECT_EQ(Column(Branches(), 3), (std::vector<std::string>{"600001", "600001", "600001", "600002", "600002"}));
  EXPECT_EQ(Column(Branches(), 0), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(Branches()->GetItemText(0, 7), "19");
  EXPECT_EQ(CellColour(Branches(), 0, 7), RGB(200, 0, 0));
  EXPECT_EQ(CellColour(Branches(), 0, 4), RGB(255, 255, 0));  // A's mark
  // A double click below the rows changes nothing.
  GuiDriver::UserDoubleClick(Stocks()->viewport(), QPoint(10, Stocks()->viewport()->height() - 3));
  EXPECT_TRUE(page.ShowsAllStocks());
  EXPECT_EQ(Branches()->GetItemCount(), 5);
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}

TEST_F(SustainedBuyDlgTest, MarginBuyingAndTheClipboard) {
  BuildMarket();
  MakePages();
  // An empty list puts an empty text on the clipboard.
  GuiDriver::Click(page_.get(), CSustainedBuyDlg::kCopyCodesId);
  EXPECT_EQ(ClipboardHook::Instance().Last(), std::optional<std::string>(""));
  Choose(0);
  GuiDriver::Click(page_.get(), CSustainedBuyDlg::kCopyCodesId);
  EXPECT_EQ(ClipboardHook::Instance().Last(), std::optional<std::string>(", 600001, 600002"));

  GuiDriver::Click(page_.get(), CSustainedBuyDlg::kMarginBuyId);
  ASSERT_EQ(Branches()->GetItemCount(), 1);
  EXPECT_EQ(Branches()->GetItemText(0, 1), "2024-06-05");
  EXPECT_EQ(Branches()->GetItemText(0, 3), "600005");
  EXPECT_EQ(Branches()->GetItemText(0, 4), kB);
  EXPECT_EQ(Branches()->GetItemText(0, 5), "67");
  EXPECT_EQ(Branches()->GetItemText(0, 7), "");
}

TEST_F(SustainedBuyDlgTest, RightClicksHandTheCodeToTheChartLink) {
  BuildMarket();
  MakePages();
  Choose(0);
  GuiDriver::Click(page_.get(), CSustainedBuyDlg::kShowAllId);
  RightClick(Stocks()->viewport(), GuiDriver::CellCentre(Stocks(), 1, 0));
  std::vector<RecordedMessageBox> boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "“通达信联动”功能尚未完成，本次操作未执行。");
  PageRegistry::Instance().Publish<ChartLink>(PageSlot::ChartLink, &link_);
  RightClick(Stocks()->viewport(), GuiDriver::CellCentre(Stocks(), 1, 0));
  RightClick(Branches()->viewport(), GuiDriver::CellCentre(Branches(), 0, 5));
  RightClick(Branches()->viewport(), QPoint(10, Branches()->viewport()->height() - 3));
  EXPECT_EQ(link_.codes, (std::vector<std::string>{"600002", "600001"}));
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}

TEST_F(SustainedBuyDlgTest, EmptyDatabaseMissingCounterAndAFailedRead) {
  MakePages();
  Choose(0);
  EXPECT_EQ(Stocks()->GetItemCount(), 0);
  GuiDriver::Click(page_.get(), CSustainedBuyDlg::kShowAllId);
  GuiDriver::Click(page_.get(), CSustainedBuyDlg::kMarginBuyId);
  EXPECT_EQ(Branches()->GetItemCount(), 0);
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());

  // Without the activity page the choice is still saved and nothing is listed.
  BuildMarket();
  counter_.reset();
  Choose(2);
  EXPECT_EQ(Stocks()->GetItemCount(), 0);
  EXPECT_EQ(Saved("YouZiChiXuBuy"), "2");

  // A count handed over while the database cannot be read: told once, nothing listed.
  CStockDayRow row;
  row.StockName = "浦发银行";
  row.StockCode = "600001";
  row.nCount = 2;
  g_StockActivity = {row};
  ASSERT_TRUE(builder_.Market().Execute("DROP TABLE StockInfo"));
  page_->OnStocksReady();
  EXPECT_EQ(Stocks()->GetItemCount(), 0);
  const std::vector<RecordedMessageBox> boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("数据库查询失败!", 0), 0u);
}

TEST_F(SustainedBuyDlgTest, SwallowsEnterAndEscapeAndShowsRealGlyphs) {
  BuildMarket();
  MakePages();
  Choose(1);
  GuiDriver::Click(page_.get(), CSustainedBuyDlg::kShowAllId);
  EXPECT_TRUE(GuiDriver::PressKey(Combo(), Qt::Key_Escape));
  EXPECT_TRUE(GuiDriver::PressKey(Stocks(), Qt::Key_Return));
  EXPECT_TRUE(page_->isVisible());
  QApplication::processEvents();
  const QImage shot = GuiDriver::Grab(page_.get());
  ASSERT_FALSE(shot.isNull());
  EXPECT_TRUE(shot.save(QDir::current().absoluteFilePath("sustained_buy_page.png")));
  const QPoint net = GuiDriver::CellCentre(Branches(), 0, 7);
  EXPECT_EQ(GuiDriver::PixelAt(Branches()->viewport(), net.x() + 25, net.y()), RGB(200, 0, 0));
}
