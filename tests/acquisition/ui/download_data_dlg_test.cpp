#include "acquisition/ui/download_data_dlg.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/temp_program_folder.h"
#include "../../support/zero_sleeper.h"
#include "controls/ui/color_list_box.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"
#include "storage/day_range.h"

namespace {

class NoNetwork : public HttpFetcher {
 public:
  HttpResult Get(const std::string& url) override {
    ++calls;
    (void)url;
    return {};
  }
  int calls = 0;
};

class DownloadPageTest : public testing::Test {
 protected:
  void SetUp() override {
    PageRegistry::Instance().Restart(&dispatcher_);
    WorkerRegistry::Instance().Restart();
    g_nDataSource = 1;
  }
  void TearDown() override { PageRegistry::Instance().ResetForTests(); }

  std::unique_ptr<CDownloadDataDlg> MakePage() {
    DownloadPageServices services;
    services.clock = &clock_;
    services.sleeper = &sleeper_;
    services.fetcher = &network_;
    services.db = &builder_.Market();
    auto page = std::make_unique<CDownloadDataDlg>(services);
    page->resize(1000, 640);
    page->InitDialog();
    page->KillTimer(1);  // no start-up run in these tests
    return page;
  }

  void Settle(CDownloadDataDlg& page) {
    page.Engine()->WaitForJobs(10000);
    QApplication::processEvents();
    QApplication::processEvents();
  }

  // n stored days of 20 rows each, newest 2017-03-31 back over weekdays.
  std::vector<std::string> StoreDays(int n) {
    std::vector<std::string> days;
    FiveSeats seats{};
    std::int64_t d = DaysFromCivil(2017, 3, 31);
    while (static_cast<int>(days.size()) < n) {
      const LocalTime day = CivilFromDays(d--);
      if (day.dayOfWeek == 0 || day.dayOfWeek == 6) continue;
      const std::string text = DayText(day.year, day.month, day.day);
      CADOTransaction tx(builder_.Market());
      for (int s = 0; s < 20; ++s) {
        builder_.AddListing(text, std::to_string(600000 + s), "股票", "原因", 1, 10, 100, seats, seats);
      }
      tx.Commit();
      days.push_back(text);
    }
    return days;
  }

  int CountRows(const char* sql, const std::vector<DbValue>& params) {
    CADORecordset rs(&builder_.Market());
    int n = -1;
    if (rs.Open(sql, params) && !rs.IsEof()) rs.GetFieldValue(0, n);
    return n;
  }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2017, 3, 31, 10, 0};
  ZeroSleeper sleeper_;
  NoNetwork network_;
  TempProgramFolder folder_;
  DbBuilder builder_{folder_.Path()};
};

}  // namespace

TEST_F(DownloadPageTest, ControlsCaptionsColumnsAndTheFirstLines) {
  auto page = MakePage();
  const std::pair<int, const char*> captions[] = {{105, "今日"},   {107, "3日"},      {1010, "365日"},
                                                  {1014, "指定日期"}, {111, "财经数据中心"}, {112, "交易所公告"}};
  for (const auto& [id, caption] : captions) {
    auto* radio = GuiDriver::FindAs<QRadioButton>(page.get(), id);
    ASSERT_NE(radio, nullptr) << id;
    EXPECT_EQ(radio->text(), QString::fromUtf8(caption));
  }
  EXPECT_TRUE(GuiDriver::FindAs<QRadioButton>(page.get(), 105)->isChecked());
  EXPECT_TRUE(GuiDriver::FindAs<QRadioButton>(page.get(), 111)->isChecked());
  EXPECT_FALSE(GuiDriver::Find(page.get(), 1015)->isEnabled());
  EXPECT_EQ(GuiDriver::FindAs<QDateTimeEdit>(page.get(), 1015)->calendarWidget()->locale().name(), "zh_CN");
  EXPECT_TRUE(GuiDriver::Find(page.get(), 1048)->isEnabled());  // the month's block trades
  EXPECT_TRUE(GuiDriver::Find(page.get(), 112)->isEnabled());  // the exchanges' bulletins
  for (int id : {1011, 1001, 1012, 1006, 1008, 1000, 1151, 1119, 1002, 1007, 1050, 1013}) {
    EXPECT_NE(GuiDriver::Find(page.get(), id), nullptr) << id;
  }
  auto* days = GuiDriver::FindAs<QTableWidget>(page.get(), 1119);
  const char* titles[] = {"序号", "日期", "上榜数量", "完成", "沪市上榜", "深市上榜", "创业板上榜", "大宗交易", "是节假日"};
  const int widths[] = {50, 100, 90, 60, 80, 80, 90, 80, 80};
  ASSERT_EQ(days->columnCount(), 9);
  for (int c = 0; c < 9; ++c) {
    EXPECT_EQ(days->horizontalHeaderItem(c)->text(), QString::fromUtf8(titles[c]));
    EXPECT_EQ(days->columnWidth(c), widths[c]);
  }
  auto* list = GuiDriver::FindAs<CColorListBox>(page.get(), 1000);
  ASSERT_EQ(list->GetCount(), 6);
  const std::pair<const char*, COLORREF> lines[] = {{"每天17:20以后，可下载当日数据!!!", 0},
                                                    {"  ", 0},
                                                    {"程序启动后，自动下载最近30日数据！", 0x780000},
                                                    {"自动生成30日Velkor数据", 0x780000},
                                                    {"如果出现红字字体提示，请重新下载数据！！！！！！！", 0xFF0000},
                                                    {"  ", 0}};
  for (int i = 0; i < 6; ++i) {
    CString text;
    list->GetText(i, text);
    EXPECT_EQ(text, lines[i].first);
    EXPECT_EQ(static_cast<COLORREF>(list->GetItemData(i)), lines[i].second) << i;
  }
}

TEST_F(DownloadPageTest, TheHintFramesControlsTakeTheMouse) {
  auto page = MakePage();
  page->show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(page.get()));
  auto* list = GuiDriver::FindAs<CColorListBox>(page.get(), 1000);
  for (int i = 0; i < 80; ++i) list->AddString("line");
  list->scrollToBottom();
  GuiDriver::ScreenWheel(list->viewport(), 2);
  EXPECT_LT(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
  GuiDriver::ScreenClick(list->viewport(), QPoint(20, 5));
  EXPECT_EQ(list->GetCurSel(), list->indexAt(QPoint(20, 5)).row());
  GuiDriver::ScreenClick(GuiDriver::Find(page.get(), 1013));
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return list->GetText(list->GetCount() - 1).starts_with("正在补全"); }, 30000));
  Settle(*page);
}

TEST_F(DownloadPageTest, EnterAndEscapeDoNothing) {
  QDialog dialog;
  auto page = MakePage();
  page->setParent(&dialog);
  (new QVBoxLayout(&dialog))->addWidget(page.get());
  dialog.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&dialog));
  GuiDriver::PressKey(GuiDriver::Find(page.get(), 1006), Qt::Key_Return);
  GuiDriver::PressKey(GuiDriver::Find(page.get(), 1000), Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(network_.calls, 0);
  page->setParent(nullptr);
}

TEST_F(DownloadPageTest, DeleteWithoutASelectionShowsOnlyTheBox) {
  StoreDays(3);
  auto page = MakePage();
  page->Engine()->StartDayScan();
  Settle(*page);
  page->OnDeleteDay();
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "请选中列表中要删除的某日数据!");
  EXPECT_EQ(CountRows("SELECT COUNT(*) FROM StockInfo", {}), 60);
}

TEST_F(DownloadPageTest, ClearDataAsksAndOnlyYesEmptiesStockInfo) {
  StoreDays(2);
  builder_.AddTotals(TotalsFixture{.day = "2017-03-31", .todayCount = 20});
  auto page = MakePage();
  MessageBoxHook::Instance().SetNextAnswer(IDNO);
  page->OnClearData();
  auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "您确定要 删除 数据库 中所有数据 吗？");
  EXPECT_EQ(boxes[0].caption, "系统提示");
  EXPECT_EQ(CountRows("SELECT COUNT(*) FROM StockInfo", {}), 40);

  MessageBoxHook::Instance().SetNextAnswer(IDYES);
  page->OnClearData();
  GuiDriver::TakeBoxes();
  EXPECT_EQ(CountRows("SELECT COUNT(*) FROM StockInfo", {}), 0);
  EXPECT_EQ(CountRows("SELECT COUNT(*) FROM TotalBuySell", {}), 1);  // the totals are spared
  EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(page.get(), 1001)->text(), QStringLiteral("0"));
  EXPECT_EQ(GuiDriver::FindAs<QTableWidget>(page.get(), 1119)->rowCount(), 0);
}

TEST_F(DownloadPageTest, SixtyDaysShowFiftyOneRowsUnlessAllAreAsked) {
  StoreDays(60);
  auto page = MakePage();
  auto* days = GuiDriver::FindAs<QTableWidget>(page.get(), 1119);
  page->Engine()->StartDayScan();
  Settle(*page);
  EXPECT_EQ(days->rowCount(), 51);
  EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(page.get(), 1001)->text(), QStringLiteral(" 60"));
  EXPECT_EQ(days->item(0, 1)->text(), QStringLiteral("2017-03-31"));
  EXPECT_EQ(days->item(0, 2)->text(), QStringLiteral("20"));
  EXPECT_EQ(days->item(50, 0)->text(), QStringLiteral("51"));
  GuiDriver::FindAs<QCheckBox>(page.get(), 1002)->click();
  Settle(*page);
  EXPECT_EQ(days->rowCount(), 60);
}

TEST_F(DownloadPageTest, DeletingADayRemovesOnlyItsRowsAndRenumbers) {
  const auto stored = StoreDays(3);
  builder_.AddTrade(stored[1], "600000", "股票", 1, 10, 9, 1000, 900, "买方", "卖方");
  builder_.AddTrade(stored[2], "600000", "股票", 1, 10, 9, 1000, 900, "买方", "卖方");
  auto page = MakePage();
  page->Engine()->StartDayScan();
  Settle(*page);
  auto* days = GuiDriver::FindAs<QTableWidget>(page.get(), 1119);
  ASSERT_EQ(days->rowCount(), 3);
  days->selectRow(1);
  page->OnDeleteDay();
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());
  EXPECT_EQ(CountRows("SELECT COUNT(*) FROM StockInfo WHERE SB_Date=?", {stored[1]}), 0);
  EXPECT_EQ(CountRows("SELECT COUNT(*) FROM StockInfo", {}), 40);
  EXPECT_EQ(CountRows("SELECT COUNT(*) FROM DZJY", {}), 1);
  ASSERT_EQ(days->rowCount(), 2);
  EXPECT_EQ(days->item(1, 0)->text(), QStringLiteral("2"));
  EXPECT_EQ(days->item(1, 1)->text(), QString::fromStdString(stored[2]));
  EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(page.get(), 1001)->text(), QStringLiteral(" 2"));
  GuiDriver::Click(page.get(), 1007);  // no row stays selected: a second click deletes nothing
  ASSERT_EQ(GuiDriver::TakeBoxes().size(), 1u);
  EXPECT_EQ(CountRows("SELECT COUNT(*) FROM StockInfo", {}), 40);
}

TEST_F(DownloadPageTest, TheSourceRadiosChangeOnlyTheirLine) {
  folder_.WriteFile("sysinfo.ini", "[system]\r\nTitalName=龙虎\r\nDataSource=1\r\nIsExit=0\r\n");
  auto page = MakePage();
  page->OnDataSource(2);
  EXPECT_EQ(folder_.ReadFile("sysinfo.ini"), "[system]\r\nTitalName=龙虎\r\nDataSource=2\r\nIsExit=0\r\n");
  EXPECT_EQ(g_nDataSource, 2);
  GuiDriver::FindAs<QRadioButton>(page.get(), 111)->click();
  EXPECT_EQ(folder_.ReadFile("sysinfo.ini"), "[system]\r\nTitalName=龙虎\r\nDataSource=1\r\nIsExit=0\r\n");
  EXPECT_EQ(g_nDataSource, 1);
}
