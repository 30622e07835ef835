#include "views/ui/data_display_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/paint_probe.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "../../support/zero_sleeper.h"
#include "views/ui/watch_branch_dlg.h"
#include "controls/list_box_colours.h"
#include "controls/ui/bitmap_button_ex.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/edit_ex.h"
#include "controls/ui/tip_wnd.h"
#include "platform/clipboard.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/charset.h"
#include "views/day_search.h"

namespace {

const std::string kToday = "2024-05-15";  // Wednesday
const std::string kGuotai = "国泰君安证券股份有限公司上海江苏路证券营业部";
const std::string kHuatai = "华泰证券股份有限公司深圳益田路荣超商务中心证券营业部";
const std::string kDongcai = "东方财富证券股份有限公司拉萨团结路第二证券营业部";
const std::string kZhongxin = "中信证券股份有限公司上海溧阳路证券营业部";
const std::string kGuangda = "光大证券股份有限公司宁波解放南路证券营业部";
const std::string kZhaoshang = "招商证券股份有限公司深圳蛇口工业七路证券营业部";

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options o;
  o.withExportFolder = true;
  return o;
}

QStringList Lines(CColorListBox* list) {
  QStringList lines;
  for (int i = 0; i < list->GetCount(); ++i) lines << ToQString(list->GetText(i));
  return lines;
}

QString CodeOf(CColorListBox* list, int line) {
  return list->item(line)->data(CDataDisplayDlg::kLineCodeRole).toString();
}

// As a user double-clicks: press and release, then the double-click and its release
// (an item view takes a double-click only on the item it saw pressed).
QPoint LineCentre(CColorListBox* list, int line) { return list->visualItemRect(list->item(line)).center(); }

class DataDisplayTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    BuildDays();
  }
  void TearDown() override {
    ClipboardHook::Instance().StopRecording();
    PageRegistry::Instance().ResetForTests();
  }

  // Today 600000 (big net buy, a recent block trade, a team's two buyers, a watched
  // and marked buyer), 000001 (net sale) and 300750 (margin listing, an unmarked
  // watched seller); 2024-05-14 the same three with other figures; one stock on
  // 2024-05-13, 2024-05-10 and, the oldest day, 2024-04-29.
  void BuildDays() {
    const FiveSeats buyA{{{kZhongxin, 3000, 100}, {kHuatai, 2500, 0}, {"机构专用", 2000, 0}, {kGuotai, 1500, 10},
                          {kDongcai, 1000, 20}}};
    const FiveSeats sellA{{{kGuangda, 0, 1200}, {"机构专用", 0, 900}, {"", 0, 0}, {"", 0, 0}, {"", 0, 0}}};
    const FiveSeats buyB{{{kGuangda, 300, 0}, {"", 0, 0}, {"", 0, 0}, {"", 0, 0}, {"", 0, 0}}};
    const FiveSeats sellB{{{kZhongxin, 0, 5000}, {"", 0, 0}, {"", 0, 0}, {"", 0, 0}, {"", 0, 0}}};
    const FiveSeats buyC{{{kZhaoshang, 800, 0}, {"", 0, 0}, {"", 0, 0}, {"", 0, 0}, {"", 0, 0}}};
    const FiveSeats sellC{{{"机构专用", 0, 500}, {"", 0, 0}, {"", 0, 0}, {"", 0, 0}, {"", 0, 0}}};
    for (const auto& [day, factor] : {std::pair{kToday, 1.0}, std::pair{std::string("2024-05-14"), 2.0}}) {
      builder_.AddListing(day, "600000", "浦发银行", "日涨幅偏离值达7%的证券", 9.98 / factor, 10.5, 50000, buyA,
                          sellA);
      builder_.AddListing(day, "000001", "平安银行", "日跌幅偏离值达7%的证券", -7.5 / factor, 9.1, 30000, buyB,
                          sellB);
      builder_.AddListing(day, "300750", "宁德时代", "当日融资买入数量占当日总成交量比例达50%的证券",
                          3.2 / factor, 180, 90000, buyC, sellC);
    }
    for (const std::string day : {"2024-05-13", "2024-05-10", "2024-04-29"}) {
      builder_.AddListing(day, "600036", "招商银行", "日涨幅偏离值达7%的证券", 5, 30, 20000, buyB, sellB);
    }
    builder_.AddTrade("2024-05-10", "600000", "浦发银行", 1, 10, 9.5, 1000000, 950, kHuatai, kGuangda);
    builder_.AddMark(kGuotai, 1, RGB(0, 128, 255), 1, 0, "国泰江苏路", "一线游资", "");
    builder_.AddMark(kHuatai, 0, 0, 0, 205, "", "", "测试团队");
    builder_.AddMark(kDongcai, 0, 0, 0, 205, "", "", "测试团队");
  }

  // handedLate: the page is built on the program's own services and given these after.
  std::unique_ptr<CDataDisplayDlg> MakePage(bool show = true, bool handedLate = false) {
    DataDisplayServices services;
    services.clock = &clock_;
    services.sleeper = &sleeper_;
    services.market = &builder_.Market();
    services.custom = &builder_.User();
    auto page = std::make_unique<CDataDisplayDlg>(handedLate ? DataDisplayServices{} : services);
    if (handedLate) EXPECT_TRUE(page->SetServices(services));
    page->resize(1260, 720);
    page->InitDialog();
    if (show) {
      page->show();
      EXPECT_TRUE(GuiDriver::WaitForExposed(page.get()));
    }
    return page;
  }

  template <class W>
  W* Get(CDataDisplayDlg& page, int id) {
    W* w = GuiDriver::FindAs<W>(&page, id);
    EXPECT_NE(w, nullptr) << id;
    return w;
  }
  CColorListBox* List(CDataDisplayDlg& page, int id) { return Get<CColorListBox>(page, id); }
  QString Text(CDataDisplayDlg& page, int id) { return Get<QLineEdit>(page, id)->text(); }

  void Pick(CDataDisplayDlg& page, int y, int m, int d) {
    Get<QDateEdit>(page, 1111)->setDate(QDate(y, m, d));  // notifies, as the user's pick
  }

  void Publish() {
    PageRegistry& registry = PageRegistry::Instance();
    registry.Publish<ITrackerPage>(PageSlot::Tracker, &tracker_);
    registry.Publish<IDzjyListPage>(PageSlot::DzjyList, &dzjy_);
    registry.Publish<ChartBlock>(PageSlot::ChartBlock, &block_);
    registry.Publish<ChartLink>(PageSlot::ChartLink, &link_);
    registry.Publish<IStatusBar>(PageSlot::StatusBar, &status_);
  }

  std::string Ini() { return folder_.ReadFile("sysinfo.ini"); }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 5, 15};
  ZeroSleeper sleeper_;
  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder builder_{folder_.Path()};
  RecordingTracker tracker_;
  RecordingDzjyList dzjy_;
  RecordingChartBlock block_;
  RecordingChartLink link_;
  RecordingStatusBar status_;
};

}  // namespace

// ---- controls and the first load ----

TEST_F(DataDisplayTest, ControlsCarryTheirIdsTextsAndTheMonospacedFont) {
  auto page = MakePage();
  for (int id : {1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1048, 1111,
                 1112, 1113, 1115, 1116, 1117, 1121, 1146, 1147}) {
    EXPECT_NE(GuiDriver::Find(page.get(), id), nullptr) << id;
  }
  auto* combo = Get<QComboBox>(*page, 1005);
  ASSERT_EQ(combo->count(), 4);
  EXPECT_EQ(combo->itemText(2), QStringLiteral("只显示涨幅大于7%"));
  EXPECT_EQ(Get<QPushButton>(*page, 1007)->text(), QStringLiteral("加入Velkor自选股及剪贴板"));
  EXPECT_EQ(Get<QPushButton>(*page, 1048)->text(), QStringLiteral("将上面股票加入Velkor自选股及剪贴板"));
  EXPECT_EQ(Get<QPushButton>(*page, 1147)->text(), QStringLiteral("设置关注游资"));
  EXPECT_TRUE(Get<QCheckBox>(*page, 1146)->isChecked());
  EXPECT_FALSE(Get<QLabel>(*page, 1121)->isEnabled());
  auto* prev = Get<CBitmapButtonEx>(*page, 1003);
  EXPECT_EQ(prev->TooltipText(), "显示前一天Velkor数据!");
  EXPECT_EQ(Get<CBitmapButtonEx>(*page, 1004)->TooltipText(), "显示后一天Velkor数据!");
  EXPECT_TRUE(prev->HasIcon());
  EXPECT_TRUE(Get<QDateEdit>(*page, 1111)->calendarPopup());
  EXPECT_EQ(Get<QDateEdit>(*page, 1111)->date(), QDate(2024, 5, 15));

  QLabel* header = nullptr;
  for (QLabel* label : page->findChildren<QLabel*>()) {
    if (label->text().startsWith(QStringLiteral("序号 股票名称"))) header = label;
  }
  ASSERT_NE(header, nullptr);
  for (QWidget* w : {static_cast<QWidget*>(header), GuiDriver::Find(page.get(), 1112), GuiDriver::Find(page.get(), 1115),
                     GuiDriver::Find(page.get(), 1116), GuiDriver::Find(page.get(), 1117)}) {
    EXPECT_EQ(QFontInfo(w->font()).family(), QStringLiteral("Noto Sans Mono CJK SC")) << w->objectName().toStdString();
  }
  auto* seats = Get<CColorListCtrl>(*page, 1113);
  ASSERT_EQ(seats->GetColumnCount(), 8);
  EXPECT_EQ(seats->horizontalHeaderItem(1)->text(), QStringLiteral("营业部名称"));
  EXPECT_EQ(seats->columnWidth(1), 280);
}

TEST_F(DataDisplayTest, StartUpShowsTodayWithItsFirstStockSideListsAndTips) {
  Publish();
  auto page = MakePage();
  EXPECT_EQ(page->Today(), kToday);
  EXPECT_EQ(page->LoadedDate(), kToday);
  EXPECT_EQ(page->LoadCount(), 1);
  EXPECT_EQ(PageRegistry::Instance().Get<IDailyListPage>(PageSlot::DataDisplay), page.get());
  auto* day = List(*page, 1112);
  ASSERT_EQ(day->GetCount(), 3);
  EXPECT_EQ(CodeOf(day, 0), "600000");  // sorted by net buy
  auto late = MakePage(false, true);  // the list reads the databases handed in last
  EXPECT_EQ(List(*late, 1112)->GetCount(), 3);
  EXPECT_EQ(CodeOf(day, 2), "000001");
  EXPECT_TRUE(Lines(day)[0].endsWith(QStringLiteral(" 大 "))) << Lines(day)[0].toStdString();
  // The first stock is shown.
  EXPECT_EQ(Text(*page, 1006), QStringLiteral("浦发银行"));
  EXPECT_EQ(Text(*page, 1009), QStringLiteral("600000"));
  EXPECT_EQ(Text(*page, 1013), QStringLiteral("9.98"));
  EXPECT_EQ(Get<CEditEx>(*page, 1013)->GetTextColor(), RGB(255, 0, 0));
  EXPECT_EQ(Text(*page, 1015), QStringLiteral("1"));
  EXPECT_EQ(Text(*page, 1008), QStringLiteral("1000000"));
  EXPECT_EQ(Text(*page, 1017), QString::fromStdString(kHuatai + ": 950"));
  EXPECT_EQ(Get<CColorListCtrl>(*page, 1113)->GetItemText(1, 1), kHuatai);
  // Margin listing in 1115, the watched buyer in 1117, the team's hit in 1116.
  EXPECT_EQ(CodeOf(List(*page, 1115), 0), "300750");
  EXPECT_EQ(List(*page, 1116)->GetCount(), 1);
  EXPECT_EQ(CodeOf(List(*page, 1116), 0), "600000");
  EXPECT_TRUE(folder_.Exists("临时文件/每日净买入排序.txt"));
  EXPECT_TRUE(folder_.Exists("临时文件/个股成交明细.txt"));
  // Tips over 1006, 1009 and 1015, light text on magenta.
  auto* tips = page->findChild<CTipWnd*>();
  ASSERT_NE(tips, nullptr);
  ASSERT_EQ(tips->Tools().size(), 3u);
  EXPECT_EQ(tips->Tools()[0].key, 1015);
  EXPECT_EQ(tips->Tools()[0].textColor, RGB(255, 255, 225));
  EXPECT_EQ(tips->Tools()[0].backColor, RGB(255, 0, 192));
}

TEST_F(DataDisplayTest, AnEmptyStartUpDayKeepsTheHints) {
  clock_.Set(2024, 5, 16);  // nothing stored yet
  auto page = MakePage(false);
  EXPECT_EQ(List(*page, 1112)->GetCount(), 0);
  EXPECT_EQ(Text(*page, 1006), QStringLiteral("双击一下"));
  EXPECT_EQ(Text(*page, 1009), QStringLiteral("双击一下"));
  EXPECT_EQ(Text(*page, 1017), QStringLiteral("双击前面 上榜次数，可以跳转到大宗交易界面"));
}

// ---- sort modes ----

TEST_F(DataDisplayTest, TheSavedModeIsPreselectedWithoutASortAndWrittenAfterTheLoad) {
  g_Settings.SortMode = 3;
  auto page = MakePage();
  EXPECT_EQ(Get<QComboBox>(*page, 1005)->currentIndex(), 3);
  // One rewrite only (the load's): a sort before the load would have added a block.
  const std::string suggestions = FromGbk(folder_.ReadFile("临时文件/建议关注个股及追踪游资.txt"));
  std::size_t blocks = 0;
  for (std::size_t at = suggestions.find("建议关注个股"); at != std::string::npos;
       at = suggestions.find("建议关注个股", at + 1)) {
    ++blocks;
  }
  EXPECT_EQ(blocks, 1u);
  EXPECT_NE(Ini().find("SortMode=3"), std::string::npos) << Ini();
  // Mode 3: TotalBuy above 8000 red, the rest white, shown in the default text colour.
  auto* day = List(*page, 1112);
  EXPECT_EQ(CodeOf(day, 0), "600000");
  EXPECT_EQ(day->GetItemData(0), RGB(255, 0, 0));
  EXPECT_EQ(day->GetItemData(1), 0u);
  EXPECT_EQ(day->GetItemData(2), 0u);
}

TEST_F(DataDisplayTest, AStoredModeOutsideTheItemsSelectsTheFirst) {
  g_Settings.SortMode = 9;
  auto page = MakePage();
  EXPECT_EQ(Get<QComboBox>(*page, 1005)->currentIndex(), 0);
  EXPECT_EQ(List(*page, 1112)->GetCount(), 3);
  EXPECT_NE(Ini().find("SortMode=0"), std::string::npos) << Ini();
}

TEST_F(DataDisplayTest, ALoadOfTheStoredModeLeavesTheFileAlone) {
  const std::string stored = "[system]\r\nSortMode = 2\r\n";
  folder_.WriteFile("sysinfo.ini", stored);
  g_Settings.SortMode = 2;
  auto page = MakePage();
  EXPECT_EQ(page->LoadCount(), 1);
  EXPECT_EQ(Ini(), stored);
}

TEST_F(DataDisplayTest, ChoosingAModeSortsRewritesAndSavesIt) {
  auto page = MakePage();
  auto* combo = Get<QComboBox>(*page, 1005);
  combo->setCurrentIndex(1);
  emit combo->activated(1);
  auto* day = List(*page, 1112);
  EXPECT_EQ(CodeOf(day, 0), "600000");
  EXPECT_EQ(CodeOf(day, 1), "300750");
  EXPECT_EQ(CodeOf(day, 2), "000001");
  EXPECT_EQ(g_Settings.SortMode, 1);
  EXPECT_NE(Ini().find("SortMode=1"), std::string::npos) << Ini();
  combo->setCurrentIndex(2);
  emit combo->activated(2);
  ASSERT_EQ(day->GetCount(), 1);  // only 9.98 is above 7
  EXPECT_EQ(CodeOf(day, 0), "600000");
  EXPECT_EQ(page->LoadCount(), 1);  // a sort is no load
}

TEST_F(DataDisplayTest, TheCountCheckBoxTakesEffectAtTheNextRewrite) {
  auto page = MakePage();
  auto* day = List(*page, 1112);
  EXPECT_TRUE(Lines(day)[0].contains(QStringLiteral("1.22亿   2 "))) << Lines(day)[0].toStdString();
  GuiDriver::Click(page.get(), 1146);
  EXPECT_FALSE(Get<QCheckBox>(*page, 1146)->isChecked());
  EXPECT_TRUE(Lines(day)[0].contains(QStringLiteral("1.22亿   2 ")));  // not rewritten yet
  emit Get<QComboBox>(*page, 1005)->activated(0);
  EXPECT_TRUE(Lines(day)[0].contains(QStringLiteral("1.22亿   0 "))) << Lines(day)[0].toStdString();
}

// ---- picking and stepping ----

TEST_F(DataDisplayTest, AWeekendPickAddsOneRedLineWithoutCodeOrReload) {
  auto page = MakePage();
  Pick(*page, 2024, 5, 11);
  auto* day = List(*page, 1112);
  ASSERT_EQ(day->GetCount(), 4);
  EXPECT_EQ(Lines(day)[3], QStringLiteral("2024-05-11不营业!"));
  EXPECT_EQ(day->GetItemData(3), RGB(255, 0, 0));
  EXPECT_EQ(day->GetCurSel(), 3);
  EXPECT_TRUE(CodeOf(day, 3).isEmpty());
  EXPECT_EQ(page->LoadCount(), 1);
  EXPECT_EQ(page->LoadedDate(), kToday);
}

TEST_F(DataDisplayTest, APickIsComparedWithTheDayOnShow) {
  auto page = MakePage();
  Pick(*page, 2024, 5, 14);
  EXPECT_EQ(page->LoadedDate(), "2024-05-14");
  page->OnPrevDay();
  EXPECT_EQ(page->LoadedDate(), "2024-05-13");
  EXPECT_EQ(page->PickedDate(), "2024-05-14");
  Pick(*page, 2024, 5, 14);  // the same pick as before, but not the day on show
  EXPECT_EQ(page->LoadedDate(), "2024-05-14");
  EXPECT_EQ(page->LoadCount(), 4);
}

TEST_F(DataDisplayTest, SteppingBackFromMondayAsksOnceForTheFriday) {
  auto page = MakePage();
  std::string hasDaySql;
  builder_.Market().SetStatementTrace([&](const std::string& sql) { hasDaySql = sql; });
  HasDayData(builder_.Market(), "2000-01-03");
  ASSERT_FALSE(hasDaySql.empty());
  Pick(*page, 2024, 5, 13);
  const int loads = page->LoadCount();
  int asked = 0;
  builder_.Market().SetStatementTrace([&](const std::string& sql) { asked += sql == hasDaySql; });
  page->OnPrevDay();
  builder_.Market().SetStatementTrace(nullptr);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(page->LoadedDate(), "2024-05-10");
  EXPECT_EQ(page->LoadCount(), loads + 1);
  EXPECT_EQ(Get<QDateEdit>(*page, 1111)->date(), QDate(2024, 5, 10));
  EXPECT_TRUE(Get<QPushButton>(*page, 1003)->isEnabled());
}

TEST_F(DataDisplayTest, SteppingCrossesGapsAndStopsAtTheStoredBounds) {
  auto page = MakePage();
  Pick(*page, 2024, 5, 10);
  page->OnPrevDay();  // over eight weekdays without rows
  EXPECT_EQ(page->LoadedDate(), "2024-04-29");
  int loads = page->LoadCount();
  page->OnPrevDay();  // the oldest day: nothing changes
  EXPECT_EQ(page->LoadedDate(), "2024-04-29");
  EXPECT_EQ(page->LoadCount(), loads);
  EXPECT_TRUE(Get<QPushButton>(*page, 1003)->isEnabled());
  page->OnNextDay();
  EXPECT_EQ(page->LoadedDate(), "2024-05-10");
  Pick(*page, 2024, 5, 15);
  loads = page->LoadCount();
  GuiDriver::Click(page.get(), 1004);  // the newest day: nothing changes
  EXPECT_EQ(page->LoadedDate(), kToday);
  EXPECT_EQ(page->LoadCount(), loads);
  EXPECT_EQ(Get<QDateEdit>(*page, 1111)->date(), QDate(2024, 5, 15));
  EXPECT_TRUE(Get<QPushButton>(*page, 1004)->isEnabled());
}

TEST_F(DataDisplayTest, TheSteppingButtonKeepsTheFocusSoSpaceStepsOnTheSameWay) {
  auto page = MakePage();
  auto* prev = Get<QPushButton>(*page, 1003);
  GuiDriver::Click(prev);
  ASSERT_EQ(page->LoadedDate(), "2024-05-14");
  EXPECT_EQ(page->focusWidget(), prev);
  GuiDriver::PressKey(page->focusWidget(), Qt::Key_Space);
  EXPECT_EQ(page->LoadedDate(), "2024-05-13");
}

TEST_F(DataDisplayTest, AnotherDayShowsFromItsFirstLine) {
  for (int i = 0; i < 80; ++i) {
    builder_.AddListing(i % 2 ? kToday : "2024-05-14", std::to_string(600100 + i / 2), "股", "r", 1, 10, 1000, {}, {});
  }
  auto page = MakePage();
  QScrollBar* bar = List(*page, 1112)->verticalScrollBar();
  bar->setValue(bar->maximum());
  ASSERT_GT(bar->value(), 0);
  GuiDriver::Click(page.get(), 1003);
  EXPECT_EQ(bar->value(), 0);
}

TEST_F(DataDisplayTest, ADayWithoutRowsShowsNoStock) {
  auto page = MakePage();
  Pick(*page, 2024, 5, 8);
  EXPECT_EQ(page->LoadedDate(), "2024-05-08");
  EXPECT_EQ(List(*page, 1112)->GetCount(), 0);
  EXPECT_EQ(Get<CColorListCtrl>(*page, 1113)->GetItemCount(), 0);
  for (int id : {1006, 1009, 1011, 1012, 1013, 1014, 1015, 1008, 1010, 1016, 1017}) {
    EXPECT_TRUE(Text(*page, id).isEmpty()) << id;
  }
}

// ---- showing a stock ----

TEST_F(DataDisplayTest, DoubleClicksShowTheLoadedDaysStockEvenAfterAWeekendPick) {
  g_Settings.YYB_Name[0] = kGuotai;
  g_Settings.YYB_Name[1] = kZhaoshang;
  auto page = MakePage();
  auto* watched = List(*page, 1117);
  ASSERT_EQ(watched->GetCount(), 2);
  EXPECT_GE(ContrastRatio(watched->GetItemData(0), RGB(255, 255, 255)), 4.5);  // the mark colour, darkened
  EXPECT_EQ(watched->GetItemData(1), 0u);                // unmarked white: the default colour
  Pick(*page, 2024, 5, 11);
  GuiDriver::UserDoubleClick(watched->viewport(), LineCentre(watched, 1));
  EXPECT_EQ(page->Record().StockCode, "300750");
  EXPECT_FLOAT_EQ(page->Record().ZhangFu, 3.2f);  // today's row, not 2024-05-10's or another day's
  EXPECT_EQ(Get<CColorListCtrl>(*page, 1113)->GetItemText(0, 1), kZhaoshang);

  auto* day = List(*page, 1112);
  GuiDriver::UserDoubleClick(day->viewport(), LineCentre(day, 3));  // the weekend line: nothing
  EXPECT_EQ(page->Record().StockCode, "300750");
  GuiDriver::UserDoubleClick(day->viewport(), LineCentre(day, 2));
  EXPECT_EQ(page->Record().StockCode, "000001");
  EXPECT_FLOAT_EQ(page->Record().ZhangFu, -7.5f);
  EXPECT_EQ(Get<CEditEx>(*page, 1006)->GetTextColor(), RGB(0, 255, 0));
  EXPECT_TRUE(Text(*page, 1015).isEmpty());  // no block trade

  auto* teams = List(*page, 1116);
  GuiDriver::UserDoubleClick(teams->viewport(), LineCentre(teams, 0));
  EXPECT_EQ(page->Record().StockCode, "600000");
  auto* suggest = List(*page, 1115);
  GuiDriver::UserDoubleClick(suggest->viewport(), LineCentre(suggest, 0));
  EXPECT_EQ(page->Record().StockCode, "300750");
  EXPECT_EQ(Get<CEditEx>(*page, 1014)->GetTextColor(), RGB(255, 0, 255));
}

TEST_F(DataDisplayTest, SavedWatchedBranchesServeTheNextLoad) {
  auto page = MakePage();
  EXPECT_EQ(List(*page, 1117)->GetCount(), 0);
  CWatchBranchDlg dlg;
  GuiDriver::FindAs<QLineEdit>(&dlg, 1000)->setText(ToQString(kGuotai));
  dlg.SaveSettings();
  EXPECT_EQ(List(*page, 1117)->GetCount(), 0);  // the page is not reloaded by the dialog
  Pick(*page, 2024, 5, 14);
  ASSERT_EQ(List(*page, 1117)->GetCount(), 1);
  EXPECT_EQ(CodeOf(List(*page, 1117), 0), "600000");
}

TEST_F(DataDisplayTest, TheWatchedBranchButtonRunsTheDialogModally) {
  auto page = MakePage();
  QString caption;
  QTimer::singleShot(0, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      caption = modal->windowTitle();
      GuiDriver::Click(modal, 1);
    }
  });
  GuiDriver::Click(page.get(), 1147);
  EXPECT_EQ(caption, QStringLiteral("设置关注营业部  (请输入营业部名称的全称)"));
}

// ---- seats and edits ----

TEST_F(DataDisplayTest, ASeatClickCopiesTheBranchAndADoubleClickSearchesIt) {
  Publish();
  auto page = MakePage();
  auto* seats = Get<CColorListCtrl>(*page, 1113);
  GuiDriver::Click(seats->viewport(), Qt::LeftButton, GuiDriver::CellCentre(seats, 1, 3));
  EXPECT_EQ(ClipboardHook::Instance().Texts(), std::vector<std::string>{kHuatai});  // exactly the name
  GuiDriver::Click(seats->viewport(), Qt::LeftButton, GuiDriver::CellCentre(seats, 8, 1));  // an empty seat
  EXPECT_EQ(ClipboardHook::Instance().Last(), std::optional<std::string>(""));
  GuiDriver::UserDoubleClick(seats->viewport(), GuiDriver::CellCentre(seats, 1, 1));
  EXPECT_EQ(tracker_.branches, std::vector<std::string>{kHuatai});
  for (int row : {5, 11, 12, 13, 8}) page->OnSeatListDblClk(row);  // labels, and an empty seat
  page->OnSeatListDblClk(6);
  EXPECT_EQ(tracker_.branches, (std::vector<std::string>{kHuatai, kGuangda}));
}

TEST_F(DataDisplayTest, WithoutTheTrackerADoubleClickOnlyTellsSo) {
  auto page = MakePage();
  page->OnSeatListDblClk(0);
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "“搜索&查询”功能尚未完成，本次操作未执行。");
  EXPECT_EQ(boxes[0].caption, "系统提示");
  page->OnSeatListDblClk(5);  // a separator asks for nothing
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());
}

TEST_F(DataDisplayTest, EditDoubleClicksGoToTheTrackerAndTheBlockTradeList) {
  Publish();
  auto page = MakePage();
  GuiDriver::UserDoubleClick(GuiDriver::Find(page.get(), 1006));
  GuiDriver::UserDoubleClick(GuiDriver::Find(page.get(), 1009));
  for (int id : {1015, 1008, 1010}) GuiDriver::UserDoubleClick(GuiDriver::Find(page.get(), id));
  GuiDriver::UserDoubleClick(GuiDriver::Find(page.get(), 1012));  // no jump from the close
  EXPECT_EQ(tracker_.names, std::vector<std::string>{"浦发银行"});
  EXPECT_EQ(tracker_.codes, std::vector<std::string>{"600000"});
  EXPECT_EQ(dzjy_.codes, (std::vector<std::string>{"600000", "600000", "600000"}));
}

TEST_F(DataDisplayTest, EnterAndEscapeNeverReachTheDialogAround) {
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  DataDisplayServices services{&clock_, &sleeper_, &builder_.Market(), &builder_.User()};
  auto* page = new CDataDisplayDlg(services, &dialog);
  layout->addWidget(page);
  page->InitDialog();
  dialog.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&dialog));
  for (int id : {1009, 1112, 1005}) {
    GuiDriver::PressKey(GuiDriver::Find(page, id), Qt::Key_Escape);
    GuiDriver::PressKey(GuiDriver::Find(page, id), Qt::Key_Return);
  }
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
}

// ---- the chart link ----

TEST_F(DataDisplayTest, ARightPressMakesTheLineCurrentAndShowsItsStockInTheChart) {
  Publish();
  auto page = MakePage();
  auto* day = List(*page, 1112);
  GuiDriver::Click(day->viewport(), Qt::RightButton, LineCentre(day, 2));
  EXPECT_EQ(day->GetCurSel(), 2);
  auto* suggest = List(*page, 1115);
  GuiDriver::Click(suggest->viewport(), Qt::RightButton, LineCentre(suggest, 0));
  EXPECT_EQ(link_.codes, (std::vector<std::string>{"000001", "300750"}));
  Pick(*page, 2024, 5, 12);
  GuiDriver::Click(day->viewport(), Qt::RightButton, LineCentre(day, 3));  // no code: ignored
  EXPECT_EQ(link_.codes.size(), 2u);
}

TEST_F(DataDisplayTest, WithoutTheChartLinkARightPressOnlyTellsSo) {
  auto page = MakePage();
  auto* day = List(*page, 1112);
  GuiDriver::Click(day->viewport(), Qt::RightButton, LineCentre(day, 0));
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "“通达信联动”功能尚未完成，本次操作未执行。");
}

// ---- the block commands ----

TEST_F(DataDisplayTest, AddingTheDayPutsEveryCodeOnTheClipboardAndIntoTheBlock) {
  Publish();
  auto page = MakePage();
  Pick(*page, 2024, 5, 12);  // the weekend line is skipped
  GuiDriver::Click(page.get(), 1007);
  EXPECT_EQ(ClipboardHook::Instance().Texts(), std::vector<std::string>{", 600000, 300750, 000001"});
  EXPECT_EQ(block_.calls, (std::vector<std::string>{"register", "add:600000,300750,000001"}));
  EXPECT_EQ(sleeper_.Waits(), std::vector<int>{20});
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "数据已加入“Velkor自选股”和“剪贴板”，请在通达信界面,同时按“Ctrl+Z”，加入任意个股到自选股中 来刷新显示!");
  EXPECT_TRUE(Get<QPushButton>(*page, 1007)->isEnabled());
}

TEST_F(DataDisplayTest, AddingTheDayStopsWhereTheBlockFails) {
  Publish();
  auto page = MakePage();
  block_.writeResult = false;  // the block reported its own failure
  page->OnAddToBlock();
  EXPECT_EQ(ClipboardHook::Instance().Texts().size(), 1u);
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());  // no success text
  block_.registerResult = false;
  block_.calls.clear();
  ClipboardHook::Instance().Clear();
  page->OnAddToBlock();
  EXPECT_EQ(block_.calls, std::vector<std::string>{"register"});
  EXPECT_FALSE(ClipboardHook::Instance().Last().has_value());
  EXPECT_TRUE(Get<QPushButton>(*page, 1007)->isEnabled());
}

TEST_F(DataDisplayTest, AddingAnEmptyDayTellsSoAndWritesNothing) {
  Publish();
  auto page = MakePage();
  Pick(*page, 2024, 5, 8);
  Pick(*page, 2024, 5, 11);  // a weekend line alone is no data either
  page->OnAddToBlock();
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "没有数据, 无法加入自选股!!!");
  EXPECT_EQ(block_.calls, std::vector<std::string>{"register"});
  EXPECT_FALSE(ClipboardHook::Instance().Last().has_value());
}

TEST_F(DataDisplayTest, WithoutTheBlockFeatureBothCommandsOnlyTellSo) {
  auto page = MakePage();
  page->OnAddToBlock();
  page->OnAddSelectedToBlock();
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  for (const auto& box : boxes) EXPECT_EQ(box.text, "“Velkor自选股”功能尚未完成，本次操作未执行。");
  EXPECT_FALSE(ClipboardHook::Instance().Last().has_value());
  EXPECT_TRUE(Get<QPushButton>(*page, 1007)->isEnabled());
  EXPECT_TRUE(Get<QPushButton>(*page, 1048)->isEnabled());
}

TEST_F(DataDisplayTest, AddingTheShownStockTakesOnlyASixDigitCode) {
  Publish();
  auto page = MakePage();
  auto* code = Get<QLineEdit>(*page, 1009);
  for (const char* text : {"", "双击一下", "12ab", "60000", "6000001"}) {
    code->setText(QString::fromUtf8(text));
    page->OnAddSelectedToBlock();
    const auto boxes = GuiDriver::TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u) << text;
    EXPECT_EQ(boxes[0].text, "股票代码为空，不能加入");
  }
  EXPECT_EQ(block_.calls, std::vector<std::string>(5, "register"));
  EXPECT_FALSE(ClipboardHook::Instance().Last().has_value());
  code->setText(QStringLiteral("600000"));
  GuiDriver::Click(page.get(), 1048);
  GuiDriver::Click(page.get(), 1048);
  EXPECT_EQ(block_.calls.back(), "append:600000");
  EXPECT_EQ(std::count(block_.calls.begin(), block_.calls.end(), "append:600000"), 2);
  EXPECT_EQ(ClipboardHook::Instance().Texts(), (std::vector<std::string>{"600000", "600000"}));
  EXPECT_EQ(sleeper_.Waits(), (std::vector<int>{100, 100}));
  EXPECT_TRUE(Get<QPushButton>(*page, 1048)->isEnabled());
}

// ---- today's download ----

TEST_F(DataDisplayTest, TodaysDownloadReloadsOnlyWhenTodayIsPicked) {
  Publish();
  auto page = MakePage();
  page->OnTodayDataDownloaded();
  EXPECT_EQ(page->LoadCount(), 2);
  EXPECT_EQ(status_.texts, (std::vector<std::pair<int, std::string>>{{0, "  今日数据已经自动下载!! "}}));
  Pick(*page, 2024, 5, 14);
  const int loads = page->LoadCount();
  page->OnTodayDataDownloaded();
  EXPECT_EQ(page->LoadCount(), loads);
  EXPECT_EQ(status_.texts.size(), 1u);
  // Today moved on while the program ran: the picker's day is compared with the clock.
  clock_.Set(2024, 5, 14, 18);
  page->OnTodayDataDownloaded();
  EXPECT_EQ(page->Today(), "2024-05-14");
  EXPECT_EQ(page->LoadCount(), loads + 1);
}

TEST_F(DataDisplayTest, TodaysDownloadWhileClosingDoesNothing) {
  Publish();
  auto page = MakePage();
  g_bClosing = true;
  page->OnTodayDataDownloaded();
  g_bClosing = false;
  EXPECT_EQ(page->LoadCount(), 1);
  EXPECT_TRUE(status_.texts.empty());
}

// ---- the look ----

TEST_F(DataDisplayTest, ScreenshotShowsTheDayWithRealGlyphsAndAlignedColumns) {
  g_Settings.YYB_Name[0] = kGuotai;
  auto page = MakePage();
  QApplication::processEvents();
  const QImage shot = GuiDriver::Grab(page.get());
  EXPECT_TRUE(shot.save(QDir::current().absoluteFilePath("data_display_page.png")));
  auto* day = List(*page, 1112);
  for (const QString& line : Lines(day)) {
    EXPECT_TRUE(paint_probe::HasEveryGlyph(line, day->font())) << line.toStdString();
  }
  // A CJK glyph is exactly two columns, so every line's code starts at column 13.
  const QFontMetrics metrics(day->font());
  const int column = metrics.horizontalAdvance(QLatin1Char('0'));
  EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("浦")), 2 * column);
  for (int i = 0; i < day->GetCount(); ++i) {
    const QString line = Lines(day)[i];
    const int at = line.indexOf(CodeOf(day, i));
    ASSERT_GT(at, 0) << line.toStdString();
    EXPECT_EQ(metrics.horizontalAdvance(line.left(at)), 13 * column) << line.toStdString();
  }
}
