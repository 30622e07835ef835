#include "analysis/ui/institution_dlg.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/page_fixture.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "analysis/institution_list.h"
#include "controls/ui/color_list_ctrl.h"
#include "platform/clipboard.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"

namespace {

const std::string kSeat = "机构专用";
const std::string kToday = "2024-06-07";
const std::string kOther = "中信证券股份有限公司上海溧阳路证券营业部";

// As a user double-clicks: press and release, then the double-click and its release.
SeatFixture None() { return {"", 0, 0}; }
SeatFixture Inst(double buy, double sell) { return {kSeat, buy, sell}; }
SeatFixture Other(double buy) { return {kOther, buy, 0}; }

class InstitutionDlgTest : public PageFixture<CInstitutionDlg> {
 protected:
  void SetUp() override { ResetPageTestState(dispatcher_); }
  void TearDown() override {
    page_.reset();
    MessageBoxHook::Instance().TakeRecorded();
    PageRegistry::Instance().ResetForTests();
  }

  void Listing(const std::string& day, const std::string& code, const FiveSeats& buy, const FiveSeats& sell) {
    builder_.AddListing(day, code, "股票" + code, "日涨幅偏离值达7%的证券", 5, 10, 1000, buy, sell);
  }
  // Today's 600001 (net 900, two institution buyers), yesterday's 600002 (net 150),
  // 600003 (net 100, hidden in the net-buy view), 600004 (institutions only sell).
  void BuildMarket() {
    Listing(kToday, "600001", {Inst(500, 0), Inst(400, 0), Other(300), None(), None()}, {});
    Listing("2024-06-06", "600002", {Inst(150, 0), None(), None(), None(), None()}, {});
    Listing("2024-06-06", "600003", {Inst(100, 0), None(), None(), None(), None()}, {});
    Listing("2024-06-05", "600004", {Other(800), None(), None(), None(), None()},
            {Inst(0, 700), None(), None(), None(), None()});
  }

  CInstitutionDlg& MakePage(bool show = true) {
    InstitutionServices services;
    services.clock = &clock_;
    services.market = &builder_.Market();
    return OpenPage(services, 1100, 600, show);
  }
  CColorListCtrl* List() { return Get<CColorListCtrl>(CInstitutionDlg::kListId); }
  std::vector<std::string> Codes() {
    std::vector<std::string> codes;
    for (int i = 0; i < List()->GetItemCount(); ++i) codes.push_back(List()->GetItemText(i, 3));
    return codes;
  }
  COLORREF CellColour(int row, int column) {
    return List()->Colours().Lookup(row, column, List()->GetBkColor()).background;
  }
  QPoint CellCentre(int row, int column) {
    return GuiDriver::CellCentre(List(), row, column);
  }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 6, 7};
  TempProgramFolder folder_;
  DbBuilder builder_{folder_.Path()};
  RecordingTracker tracker_;
  RecordingChartLink link_;
};

}  // namespace

TEST_F(InstitutionDlgTest, StartsWithItsControlsAndLoadsOnceAfterElevenSeconds) {
  BuildMarket();
  CInstitutionDlg& page = MakePage();
  for (int id : {1000, 1001, 1002, 1004, 1006, 1007, 1008, 1048, 1132}) EXPECT_NE(GuiDriver::Find(&page, id), nullptr);
  EXPECT_EQ(Get<QLineEdit>(1000)->text(), QStringLiteral("1"));
  EXPECT_EQ(Get<QLineEdit>(1002)->text(), QStringLiteral("1"));
  EXPECT_EQ(Get<QLineEdit>(1001)->text(), QStringLiteral("1000"));
  EXPECT_EQ(Get<QRadioButton>(1006)->text(), QStringLiteral("显示全部"));
  EXPECT_EQ(Get<QPushButton>(1004)->text(), QStringLiteral(" 过滤查找"));
  ASSERT_EQ(List()->GetColumnCount(), 10);
  EXPECT_EQ(List()->horizontalHeaderItem(8)->text(), QStringLiteral("机构数量(买入/卖出)"));
  EXPECT_EQ(List()->columnWidth(8), 140);
  EXPECT_EQ(List()->columnWidth(9), 200);
  EXPECT_EQ(page.ShowMode(), kShowNetBuy);

  // Nothing before the timer; the timer is a single shot of 11 s.
  EXPECT_EQ(List()->GetItemCount(), 0);
  QTimer* timer = page.FirstLoadTimer();
  ASSERT_TRUE(timer->isActive());
  EXPECT_TRUE(timer->isSingleShot());
  EXPECT_EQ(timer->interval(), CInstitutionDlg::kFirstLoadDelayMs);
  EXPECT_EQ(CInstitutionDlg::kFirstLoadDelayMs, 11000);
  timer->start(5);  // the same shot, sooner
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return page.LoadCount() == 1; }));
  QTest::qWait(60);
  EXPECT_EQ(page.LoadCount(), 1);
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(Codes(), (std::vector<std::string>{"600001", "600002"}));
}

TEST_F(InstitutionDlgTest, ButtonsSwitchTheViewAndTheCellsCarryTheirColours) {
  BuildMarket();
  CInstitutionDlg& page = MakePage();
  page.FirstLoadTimer()->stop();

  ASSERT_TRUE(GuiDriver::Click(&page, 1007));
  ASSERT_EQ(Codes(), (std::vector<std::string>{"600001", "600002"}));
  EXPECT_EQ(List()->GetItemText(0, 7), "900");
  EXPECT_EQ(List()->GetItemText(0, 8), "2 （2 / 0）");
  EXPECT_EQ(CellColour(0, 1), RGB(200, 0, 0));  // today
  EXPECT_EQ(CellColour(0, 7), RGB(200, 0, 0));
  EXPECT_EQ(CellColour(0, 8), RGB(255, 0, 33));

  ASSERT_TRUE(GuiDriver::Click(&page, 1048));  // the sell-only institutions show
  EXPECT_EQ(page.ShowMode(), kShowNetSell);
  ASSERT_EQ(Codes(), (std::vector<std::string>{"600004"}));
  EXPECT_EQ(CellColour(0, 7), RGB(0, 200, 0));

  ASSERT_TRUE(GuiDriver::Click(&page, 1006));
  EXPECT_EQ(page.ShowMode(), kShowAll);
  EXPECT_EQ(List()->GetItemCount(), 4);

  // The filter: a net above 150 only; then text that is no number admits every net above 0.
  Get<QLineEdit>(1001)->setText(QStringLiteral("150"));
  ASSERT_TRUE(GuiDriver::Click(&page, 1004));
  EXPECT_EQ(page.ShowMode(), kShowNetBuy);
  EXPECT_EQ(Codes(), (std::vector<std::string>{"600001"}));
  Get<QLineEdit>(1001)->setText(QStringLiteral("abc"));
  Get<QLineEdit>(1000)->setText(QStringLiteral("x"));
  ASSERT_TRUE(GuiDriver::Click(&page, 1004));
  EXPECT_EQ(Codes(), (std::vector<std::string>{"600001", "600002", "600003"}));

  // Enter and Escape do nothing to the page.
  EXPECT_TRUE(GuiDriver::PressKey(Get<QLineEdit>(1001), Qt::Key_Escape));
  EXPECT_TRUE(GuiDriver::PressKey(Get<QLineEdit>(1001), Qt::Key_Return));
  EXPECT_TRUE(page.isVisible());
  EXPECT_EQ(List()->GetItemCount(), 3);
}

TEST_F(InstitutionDlgTest, ClicksGoToTheTrackerAndTheChartLinkAndCodesToTheClipboard) {
  for (int i = 0; i < 61; ++i) {
    Listing(kToday, std::to_string(600100 + i), {Inst(200, 0), None(), None(), None(), None()}, {});
  }
  CInstitutionDlg& page = MakePage();
  page.FirstLoadTimer()->stop();
  page.OnCopyCodes();  // an empty list copies nothing
  EXPECT_TRUE(ClipboardHook::Instance().Texts().empty());

  // Neither feature published: each click only says so.
  ASSERT_TRUE(GuiDriver::Click(&page, 1006));
  ASSERT_EQ(List()->GetItemCount(), 61);
  GuiDriver::UserDoubleClick(List()->viewport(), CellCentre(1, 2));
  GuiDriver::Click(List()->viewport(), Qt::RightButton, CellCentre(1, 2));
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NE(boxes[0].text.find("搜索&查询"), std::string::npos);
  EXPECT_NE(boxes[1].text.find("通达信联动"), std::string::npos);

  PageRegistry::Instance().Publish<ITrackerPage>(PageSlot::Tracker, &tracker_);
  PageRegistry::Instance().Publish<ChartLink>(PageSlot::ChartLink, &link_);
  GuiDriver::UserDoubleClick(List()->viewport(), CellCentre(1, 2));
  EXPECT_EQ(tracker_.codes, (std::vector<std::string>{"600101"}));
  GuiDriver::Click(List()->viewport(), Qt::RightButton, CellCentre(2, 5));
  EXPECT_EQ(link_.codes, (std::vector<std::string>{"600102"}));
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());

  ASSERT_TRUE(GuiDriver::Click(&page, 1008));
  const std::optional<std::string> text = ClipboardHook::Instance().Last();
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->rfind(", 600100, 600101", 0), 0u);
  EXPECT_EQ(text->size(), 60u * 8u);
  EXPECT_EQ(text->find("600160"), std::string::npos);
}

TEST_F(InstitutionDlgTest, AFailedQueryShowsTheMessageAndEmptiesTheList) {
  BuildMarket();
  CInstitutionDlg& page = MakePage();
  page.FirstLoadTimer()->stop();
  ASSERT_TRUE(GuiDriver::Click(&page, 1006));
  ASSERT_EQ(List()->GetItemCount(), 4);
  ASSERT_TRUE(builder_.Market().Execute("DROP TABLE StockInfo"));
  ASSERT_TRUE(GuiDriver::Click(&page, 1007));
  EXPECT_EQ(List()->GetItemCount(), 0);
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("数据库查询失败!", 0), 0u);
  EXPECT_EQ(boxes[0].text.find("StockInfo"), std::string::npos) << boxes[0].text;  // the library's text is logged
}

TEST_F(InstitutionDlgTest, ScreenshotShowsTheListWithRealGlyphs) {
  BuildMarket();
  CInstitutionDlg& page = MakePage();
  page.FirstLoadTimer()->stop();
  ASSERT_TRUE(GuiDriver::Click(&page, 1006));
  QApplication::processEvents();
  const QImage shot = GuiDriver::Grab(&page);
  EXPECT_FALSE(shot.isNull());
  EXPECT_TRUE(shot.save(QDir::current().absoluteFilePath("institution_page.png")));
  EXPECT_EQ(GuiDriver::PixelAt(List()->viewport(), CellCentre(0, 1).x() - 30, CellCentre(0, 1).y()),
            RGB(200, 0, 0));
}
