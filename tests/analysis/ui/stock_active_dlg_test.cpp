#include "analysis/ui/stock_active_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/page_fixture.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "analysis/stock_activity.h"
#include "analysis/sustained_buy_page_iface.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/edit_ex.h"
#include "controls/ui/page_widgets.h"
#include "storage/charset.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "storage/ini_file.h"

namespace {

// The continuous-buying page as this page sees it: it remembers each answer and what
// was counted then.
class RecordingSustainedBuy final : public ISustainedBuyPage {
 public:
  void OnStocksReady() override { counts.push_back(g_StockActivity.size()); }
  std::vector<std::size_t> counts;
};

SeatFixture Seat(const std::string& name, double buy, double sell) { return {name, buy, sell}; }

class StockActiveDlgTest : public PageFixture<CStockActiveDlg> {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    g_StockActivity.clear();
    g_bNotifySustainedPage = false;
  }
  void TearDown() override {
    page_.reset();
    MessageBoxHook::Instance().TakeRecorded();
    PageRegistry::Instance().ResetForTests();
  }

  void List(const std::string& day, const std::string& code, const std::string& name, double buy, double sell) {
    builder_.AddListing(day, code, name, "", 1, 10, 1000,
                        {Seat("华泰证券股份有限公司深圳益田路证券营业部", buy, 0), Seat("机构专用", 5, 0)},
                        {Seat("中信证券上海溧阳路", 0, sell)});
  }
  void Totals(const std::string& day, int count, double net) {
    TotalsFixture t;
    t.day = day;
    t.todayCount = count;
    t.todayBuy = 50000, t.todaySell = 50000 - net, t.todayNet = net, t.todayTotal = 100000 - net;
    t.youziCount = count - 1, t.youziNet = -net;
    t.jigouCount = 2, t.jigouNet = net / 2;
    builder_.AddTotals(t);
  }
  // Friday 2024-06-07 back to Wednesday, with day totals; the clock is on Sunday.
  void BuildMarket() {
    List("2024-06-07", "600001", "浦发银行", 100, 20);
    List("2024-06-07", "600002", "白云机场", 900, 10);
    List("2024-06-07", "000003", "万科Ａ", 10, 300);
    List("2024-06-06", "600001", "浦发银行", 30, 0);
    List("2024-06-05", "000003", "万科Ａ", 30, 0);
    List("2024-06-05", "600004", "中国国贸", 1, 0);
    Totals("2024-06-05", 50, -15000);
    Totals("2024-06-06", 55, 25000);
    Totals("2024-06-07", 60, 12340);
  }

  CStockActiveDlg& MakePage(bool show = true) {
    StockActiveServices services;
    services.clock = &clock_;
    services.market = &builder_.Market();
    return OpenPage(services, 1200, 650, show);
  }
  CColorListCtrl* Stocks() { return Get<CColorListCtrl>(CStockActiveDlg::kStockListId); }
  CColorListCtrl* Days() { return Get<CColorListCtrl>(CStockActiveDlg::kDayListId); }
  QComboBox* Combo() { return Get<QComboBox>(CStockActiveDlg::kDaysComboId); }
  std::string Edit(int id) { return FromQString(Get<QLineEdit>(id)->text()); }
  std::vector<std::string> Codes() {
    std::vector<std::string> codes;
    for (int i = 0; i < Stocks()->GetItemCount(); ++i) codes.push_back(Stocks()->GetItemText(i, 1));
    return codes;
  }
  // As the user picks combo item `index`.
  void Choose(int index) {
    Combo()->setCurrentIndex(index);
    emit Combo()->activated(index);
    Settle();
  }
  // The ranking runs on a worker: until its result is shown.
  void Settle() { ASSERT_TRUE(GuiDriver::WaitForSearch(*page_)); }
  std::string SavedTimeSel() {
    return GetPrivateProfileString("system", "TimeSel", "none", folder_.File("sysinfo.ini"));
  }
  COLORREF CellColour(CColorListCtrl* list, int row, int column) {
    return list->Colours().Lookup(row, column, list->GetBkColor()).background;
  }
  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 6, 9};  // a Sunday
  TempProgramFolder folder_;
  DbBuilder builder_{folder_.Path()};
  RecordingTracker tracker_;
  RecordingChartLink link_;
  RecordingSustainedBuy sustained_;
};

}  // namespace

TEST_F(StockActiveDlgTest, StartsWithTheLatestWeekdaysTotalsAndRanksNothing) {
  BuildMarket();
  g_Settings.TimeSel = 5;
  CStockActiveDlg& page = MakePage();
  EXPECT_EQ(PageRegistry::Instance().Get<IStockActivePage>(PageSlot::StockActivePage), &page);
  ASSERT_EQ(Combo()->count(), 11);
  EXPECT_EQ(Combo()->itemText(0), QStringLiteral(" 今日"));
  EXPECT_EQ(Combo()->itemText(10), QStringLiteral(" 360日"));
  // The saved choice is shown without ranking.
  EXPECT_EQ(Combo()->currentIndex(), 5);
  EXPECT_EQ(page.WalkCount(), 0);
  EXPECT_EQ(Stocks()->GetItemCount(), 0);
  ASSERT_EQ(Stocks()->GetColumnCount(), 8);
  EXPECT_EQ(Stocks()->horizontalHeaderItem(3)->text(), QStringLiteral("上榜次数"));
  EXPECT_EQ(Stocks()->columnWidth(3), 70);
  EXPECT_EQ(Days()->horizontalHeaderItem(2)->text(), QStringLiteral("总上榜金额"));
  EXPECT_EQ(Days()->columnWidth(2), 85);

  // Sunday: Friday's totals, in 100 millions.
  EXPECT_EQ(FromQString(Get<QDateEdit>(CStockActiveDlg::kDayPickerId)->date().toString("yyyy-MM-dd")), "2024-06-07");
  EXPECT_EQ(page.TotalsDay(), "2024-06-07");
  EXPECT_EQ(Edit(1000), "60");
  EXPECT_EQ(Edit(1002), "5.000");
  EXPECT_EQ(Edit(1001), "3.766");
  EXPECT_EQ(Edit(1003), "1.234");
  EXPECT_EQ(Edit(1012), "8.766");
  EXPECT_EQ(Edit(1013), "59");
  EXPECT_EQ(Edit(1017), "-1.234");
  EXPECT_EQ(Edit(1022), "0.617");
  EXPECT_EQ(Get<CEditEx>(1003)->GetTextColor(), RGB(255, 0, 0));
  EXPECT_EQ(Get<CEditEx>(1017)->GetTextColor(), RGB(0, 255, 0));
  EXPECT_EQ(Get<CEditEx>(1022)->GetTextColor(), RGB(255, 0, 0));

  // The recent days, newest first, net cells coloured.
  ASSERT_EQ(Days()->GetItemCount(), 3);
  EXPECT_EQ(Days()->GetItemText(0, 0), "2024-06-07");
  EXPECT_EQ(Days()->GetItemText(0, 1), "60");
  EXPECT_EQ(Days()->GetItemText(0, 2), "8.8");
  EXPECT_EQ(Days()->GetItemText(2, 5), "-1.5");
  EXPECT_EQ(CellColour(Days(), 0, 5), RGB(200, 0, 0));
  EXPECT_EQ(CellColour(Days(), 2, 5), RGB(0, 200, 0));
  EXPECT_EQ(SavedTimeSel(), "none");
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}

TEST_F(StockActiveDlgTest, TodayOnASundayRanksFridayByNetAndWritesTheFileAndTheChoice) {
  BuildMarket();
  CStockActiveDlg& page = MakePage();
  Choose(0);
  EXPECT_EQ(page.RankedDays(), 1);
  EXPECT_EQ(Codes(), (std::vector<std::string>{"600002", "600001", "000003"}));
  EXPECT_EQ(Stocks()->GetItemText(0, 2), "白云机场");
  EXPECT_EQ(Stocks()->GetItemText(0, 3), "1");
  EXPECT_EQ(Stocks()->GetItemText(0, 4), "905");
  EXPECT_EQ(Stocks()->GetItemText(0, 6), "895");
  EXPECT_EQ(CellColour(Stocks(), 0, 6), RGB(200, 0, 0));
  EXPECT_EQ(CellColour(Stocks(), 2, 6), RGB(0, 200, 0));
  EXPECT_EQ(g_nActiveDaysFound, 1);
  EXPECT_EQ(g_nActiveDayOffset, 3);

  // The file in the program folder, GBK, widths in bytes.
  const std::string expected =
      " 序号  股票代码    股票名称    上榜次数    总买入      总卖出      总净买      总买卖    \n"
      " 1    " " 600002     " " 白云机场   " " 1          " " 905        " " 10         " " 895        " " 915        \n"
      " 2    " " 600001     " " 浦发银行   " " 1          " " 105        " " 20         " " 85         " " 125        \n"
      " 3    " " 000003     " " 万科Ａ     " " 1          " " 15         " " 300        " " -285       " " 315        \n";
  EXPECT_EQ(folder_.ReadFile("个股排行榜.txt"), ToGbk(expected));
  EXPECT_EQ(SavedTimeSel(), "0");
  EXPECT_EQ(g_Settings.TimeSel, 0);

  // Three days: by times listed; choosing the same again ranks again.
  Choose(2);
  // 600001 (Friday, Thursday) was updated before 000003 (Friday, Wednesday).
  EXPECT_EQ(Codes(), (std::vector<std::string>{"600001", "000003", "600002", "600004"}));
  EXPECT_EQ(Stocks()->GetItemText(0, 3), "2");
  EXPECT_EQ(SavedTimeSel(), "2");
  EXPECT_EQ(g_Settings.TimeSel, 2);
  const int walks = page.WalkCount();
  Choose(2);
  EXPECT_EQ(page.WalkCount(), walks + 1);
  EXPECT_EQ(g_StockActivity.size(), 4u);
  EXPECT_TRUE(sustained_.counts.empty());
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}

TEST_F(StockActiveDlgTest, FewerDaysThanChosenAreToldInTheStatusBar) {
  BuildMarket();
  RecordingStatusBar bar;
  PageRegistry::Instance().Publish<IStatusBar>(PageSlot::StatusBar, &bar);
  CStockActiveDlg& page = MakePage();
  PageRegistry::Instance().Publish<ISustainedBuyPage>(PageSlot::ContinuousBuy, &sustained_);
  Choose(2);
  ASSERT_EQ(Stocks()->GetItemCount(), 4);
  Choose(3);  // five days of three
  EXPECT_EQ(page.RankedDays(), 5);
  EXPECT_EQ(Stocks()->GetItemCount(), 0);
  EXPECT_TRUE(g_StockActivity.empty());
  EXPECT_EQ(g_nActiveDaysFound, 3);
  EXPECT_EQ(bar.texts, (std::vector<std::pair<int, std::string>>{{1, "数据不足：只找到3个交易日"}}));
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
  page.OnRankRequest(5);
  Settle();
  EXPECT_TRUE(sustained_.counts.empty());
  EXPECT_FALSE(g_bNotifySustainedPage);
  // A later choice that ranks does not answer the request that failed, and ends the shortage.
  Choose(0);
  EXPECT_EQ(Stocks()->GetItemCount(), 3);
  EXPECT_EQ(bar.texts.back(), (std::pair<int, std::string>{1, kWorkingPaneText}));
  EXPECT_TRUE(sustained_.counts.empty());
}

TEST_F(StockActiveDlgTest, ARankRequestLeavesTheChoiceAloneAndAnswersOnce) {
  BuildMarket();
  g_Settings.TimeSel = 4;
  CStockActiveDlg& page = MakePage();
  PageRegistry::Instance().Publish<ISustainedBuyPage>(PageSlot::ContinuousBuy, &sustained_);
  page.OnRankRequest(2);
  Settle();
  EXPECT_EQ(sustained_.counts, (std::vector<std::size_t>{3}));
  EXPECT_EQ(page.RankedDays(), 2);
  EXPECT_EQ(Stocks()->GetItemCount(), 3);
  EXPECT_EQ(Combo()->currentText(), QStringLiteral(" 2日"));  // the period shown; the choice is kept
  EXPECT_EQ(g_Settings.TimeSel, 4);
  EXPECT_EQ(SavedTimeSel(), "none");
  EXPECT_FALSE(g_bNotifySustainedPage);
  page.OnRankRequest(4);  // a count the combo does not offer
  Settle();
  EXPECT_EQ(Combo()->currentIndex(), -1);
  EXPECT_EQ(Combo()->placeholderText(), QStringLiteral(" 4日"));
  page.OnTodayDataDownloaded();  // ranks the user's choice again
  Settle();
  EXPECT_EQ(Combo()->currentIndex(), 4);
  // Without the page published the request still counts.
  PageRegistry::Instance().Unpublish(PageSlot::ContinuousBuy);
  page.OnRankRequest(3);
  Settle();
  EXPECT_EQ(g_StockActivity.size(), 4u);
  EXPECT_EQ(sustained_.counts.size(), 1u);
}

TEST_F(StockActiveDlgTest, TodaysDownloadRanksAgainWithTheChoiceAndReloadsTheTotals) {
  BuildMarket();
  g_Settings.TimeSel = 1;
  CStockActiveDlg& page = MakePage();
  EXPECT_EQ(page.WalkCount(), 0);
  // Monday's list arrives.
  clock_.Set(2024, 6, 10, 16);
  List("2024-06-10", "600009", "新股", 50, 0);
  Totals("2024-06-10", 70, -100);
  page.OnTodayDataDownloaded();
  Settle();
  EXPECT_EQ(page.WalkCount(), 1);
  EXPECT_EQ(page.RankedDays(), 2);
  EXPECT_EQ(Codes(), (std::vector<std::string>{"600009", "600001", "600002", "000003"}));
  EXPECT_EQ(SavedTimeSel(), "1");
  EXPECT_EQ(page.TotalsDay(), "2024-06-10");
  EXPECT_EQ(Edit(1000), "70");
  EXPECT_EQ(Get<CEditEx>(1003)->GetTextColor(), RGB(0, 255, 0));
  ASSERT_EQ(Days()->GetItemCount(), 4);
  EXPECT_EQ(Days()->GetItemText(0, 0), "2024-06-10");
  EXPECT_EQ(FromQString(Get<QDateEdit>(CStockActiveDlg::kDayPickerId)->date().toString("yyyy-MM-dd")), "2024-06-10");
}

TEST_F(StockActiveDlgTest, PicksOfWeekdaysShowTheirTotalsAndWeekendsOrCodeDoNothing) {
  BuildMarket();
  CStockActiveDlg& page = MakePage();
  auto* picker = Get<QDateEdit>(CStockActiveDlg::kDayPickerId);
  picker->setDate(QDate(2024, 6, 8));  // Saturday
  EXPECT_EQ(page.TotalsDay(), "2024-06-07");
  picker->setDate(QDate(2024, 6, 6));
  EXPECT_EQ(page.TotalsDay(), "2024-06-06");
  EXPECT_EQ(Edit(1000), "55");
  // A day without totals keeps what the edits show.
  picker->setDate(QDate(2024, 6, 4));
  EXPECT_EQ(page.TotalsDay(), "2024-06-06");
  EXPECT_EQ(Edit(1000), "55");
  // A date or choice set by code starts nothing.
  SetPickerDayQuietly(picker, "2024-06-05");
  EXPECT_EQ(page.TotalsDay(), "2024-06-06");
  Combo()->setCurrentIndex(3);
  EXPECT_EQ(page.WalkCount(), 0);
  // A double click on a recent day shows that day.
  GuiDriver::UserDoubleClick(Days()->viewport(), GuiDriver::CellCentre(Days(), 2, 1));
  EXPECT_EQ(page.TotalsDay(), "2024-06-05");
  EXPECT_EQ(Edit(1000), "50");
  EXPECT_EQ(Get<CEditEx>(1003)->GetTextColor(), RGB(0, 255, 0));
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}

TEST_F(StockActiveDlgTest, HeaderDoubleClicksSortAndRewriteTheFile) {
  BuildMarket();
  MakePage();
  Choose(2);
  auto* header = Stocks()->horizontalHeader();
  const auto headerDoubleClick = [&](int section) {
    const QPoint pos(header->sectionViewportPosition(section) + header->sectionSize(section) / 2, header->height() / 2);
    GuiDriver::UserDoubleClick(header->viewport(), pos);
  };
  headerDoubleClick(4);
  EXPECT_EQ(Codes(), (std::vector<std::string>{"600002", "600001", "000003", "600004"}));
  headerDoubleClick(5);
  EXPECT_EQ(Codes(), (std::vector<std::string>{"000003", "600001", "600002", "600004"}));
  EXPECT_EQ(folder_.ReadFile("个股排行榜.txt"), BuildStockRankingView(g_StockActivity).fileBytes);
  EXPECT_EQ(g_StockActivity.front().StockCode, "000003");
  headerDoubleClick(2);  // not a sort column
  EXPECT_EQ(Codes(), (std::vector<std::string>{"000003", "600001", "600002", "600004"}));
}

TEST_F(StockActiveDlgTest, ClicksHandTheCodeToTheTrackerAndTheChartLink) {
  BuildMarket();
  MakePage();
  Choose(0);
  PageRegistry::Instance().Publish<ITrackerPage>(PageSlot::Tracker, &tracker_);
  GuiDriver::UserDoubleClick(Stocks()->viewport(), GuiDriver::CellCentre(Stocks(), 1, 2));
  EXPECT_EQ(tracker_.codes, (std::vector<std::string>{"600001"}));

  // The right button: the chart link, once published; before that the seam's message.
  const QPoint cell = GuiDriver::CellCentre(Stocks(), 2, 0);
  QContextMenuEvent press(QContextMenuEvent::Mouse, cell, Stocks()->viewport()->mapToGlobal(cell));
  QApplication::sendEvent(Stocks()->viewport(), &press);
  std::vector<RecordedMessageBox> boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "“通达信联动”功能尚未完成，本次操作未执行。");
  PageRegistry::Instance().Publish<ChartLink>(PageSlot::ChartLink, &link_);
  QContextMenuEvent again(QContextMenuEvent::Mouse, cell, Stocks()->viewport()->mapToGlobal(cell));
  QApplication::sendEvent(Stocks()->viewport(), &again);
  EXPECT_EQ(link_.codes, (std::vector<std::string>{"000003"}));
  // Below the last row: nothing.
  const QPoint under(10, Stocks()->viewport()->height() - 3);
  QContextMenuEvent below(QContextMenuEvent::Mouse, under, Stocks()->viewport()->mapToGlobal(under));
  QApplication::sendEvent(Stocks()->viewport(), &below);
  EXPECT_EQ(link_.codes.size(), 1u);
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}

TEST_F(StockActiveDlgTest, AFileThatCannotBeWrittenIsToldAndTheListStillFills) {
  BuildMarket();
  MakePage();
  std::filesystem::create_directories(folder_.File("个股排行榜.txt") + "/x");
  Choose(0);
  EXPECT_EQ(Stocks()->GetItemCount(), 3);
  const std::vector<RecordedMessageBox> boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "文件打开错误!");
  EXPECT_EQ(boxes[0].caption, "系统提示");
  // Escape on the page's controls is swallowed: the page stays as it is.
  EXPECT_TRUE(GuiDriver::PressKey(Stocks(), Qt::Key_Escape));
  EXPECT_TRUE(page_->isVisible());
}

TEST_F(StockActiveDlgTest, ScreenshotShowsBothHalvesWithRealGlyphs) {
  BuildMarket();
  MakePage();
  Choose(2);
  QApplication::processEvents();
  const QImage shot = GuiDriver::Grab(page_.get());
  EXPECT_FALSE(shot.isNull());
  EXPECT_TRUE(shot.save(QDir::current().absoluteFilePath("stock_active_page.png")));
  const QPoint net = GuiDriver::CellCentre(Stocks(), 0, 6);
  EXPECT_EQ(GuiDriver::PixelAt(Stocks()->viewport(), net.x() + 25, net.y()), RGB(200, 0, 0));
}
