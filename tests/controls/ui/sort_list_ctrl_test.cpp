#include "controls/ui/sort_list_ctrl.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../support/gui_driver.h"
#include "controls/ui/bitmap_button_ex.h"
#include "../../support/temp_program_folder.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"
#include "storage/ini_file.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

std::vector<std::string> Column(const CSortListCtrl& list, int column) {
  std::vector<std::string> out;
  for (int r = 0; r < list.GetItemCount(); ++r) {
    out.push_back(list.GetItemText(r, column));
    EXPECT_EQ(list.GetItemText(r, column), list.GetStoredText(r, column)) << "cell and copy agree";
  }
  return out;
}

int CountColour(const QImage& image, const QRect& area, COLORREF colour) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.valid(x, y) && FromQColor(image.pixelColor(x, y)) == colour) ++n;
  return n;
}

class SortListCtrlTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(list_.SetHeadings("代码,80;数量,70;日期,90;"));
    list_.AddItem({"600001", "12", "31/01/2009"});
    list_.AddItem({"000002", "9", "01/02/2008"});
    list_.AddItem({"300003", "100", "31/01/2008"});
  }
  QImage Show() {
    list_.resize(320, 200);
    list_.show();
    EXPECT_TRUE(GuiDriver::WaitForExposed(&list_));
    QCoreApplication::processEvents();
    return GuiDriver::Grab(list_.viewport());
  }
  QRect Cell(int row, int column) { return list_.visualRect(list_.model()->index(row, column)); }

  TempProgramFolder folder_;
  CSortListCtrl list_;
};

}  // namespace

TEST_F(SortListCtrlTest, HeadingsMakeCentredColumns) {
  EXPECT_EQ(list_.GetColumnCount(), 3);
  EXPECT_EQ(list_.columnCount(), 3);
  EXPECT_EQ(list_.columnWidth(1), 70);
  EXPECT_EQ(list_.horizontalHeaderItem(0)->text().toStdString(), "代码");
  EXPECT_TRUE(Qt::Alignment(list_.horizontalHeaderItem(2)->textAlignment()) & Qt::AlignHCenter);
  EXPECT_EQ(list_.horizontalHeader(), list_.Header());
}

TEST_F(SortListCtrlTest, MalformedHeadingsStopAtTheBadPair) {
  CSortListCtrl list;
  EXPECT_FALSE(list.SetHeadings("A,10;B;C,30"));
  EXPECT_EQ(list.GetColumnCount(), 1) << "the pair before the bad one stays";
  EXPECT_EQ(list.AddItem({}), 0) << "a row of empty texts";
  CSortListCtrl none;
  EXPECT_EQ(none.AddItem({"x"}), -1) << "no columns";
}

TEST_F(SortListCtrlTest, HeadingsFromAStringResource) {
  RegisterButtonString(4711, "名称,50;金额,60");
  CSortListCtrl list;
  EXPECT_TRUE(list.SetHeadings(4711u));
  EXPECT_EQ(list.GetColumnCount(), 2);
  ClearButtonResources();
}

TEST_F(SortListCtrlTest, AddItemAndSetItemTextKeepCopies) {
  EXPECT_EQ(list_.AddItem({"1", "2"}), 3) << "missing texts are empty";
  EXPECT_EQ(list_.GetStoredText(3, 2), "");
  EXPECT_EQ(list_.AddItem({"a", "b", "c", "extra"}), 4);
  EXPECT_TRUE(list_.SetItemText(4, 1, "bb"));
  EXPECT_EQ(list_.GetStoredText(4, 1), "bb");
  EXPECT_FALSE(list_.SetItemText(9, 1, "x"));
  EXPECT_FALSE(list_.SetItemText(0, 3, "x"));
  EXPECT_EQ(list_.GetStoredText(9, 0), "");
}

TEST_F(SortListCtrlTest, SortByNumbersDatesAndTextBothWays) {
  list_.SortColumn(1, true);
  EXPECT_EQ(Column(list_, 1), (std::vector<std::string>{"9", "12", "100"}));
  EXPECT_EQ(Column(list_, 0), (std::vector<std::string>{"000002", "600001", "300003"})) << "whole rows move";
  list_.SortColumn(1, false);
  EXPECT_EQ(Column(list_, 1), (std::vector<std::string>{"100", "12", "9"}));
  list_.SortColumn(2, true);
  EXPECT_EQ(Column(list_, 2), (std::vector<std::string>{"31/01/2008", "01/02/2008", "31/01/2009"}));
  EXPECT_EQ(list_.GetSortColumn(), 2);
  EXPECT_TRUE(list_.IsSortAscending());
  EXPECT_EQ(list_.Header()->SortColumn(), 2);
}

TEST_F(SortListCtrlTest, EqualKeysKeepTheirOrderAndColoursMoveWithRows) {
  CSortListCtrl list;
  ASSERT_TRUE(list.SetHeadings("k,40;n,40;"));
  list.AddItem({"b", "1"});
  list.AddItem({"a", "2"});
  list.AddItem({"b", "3"});
  list.AddItem({"a", "4"});
  list.SetItemColor(2, 1, kRed, kYellow);
  list.SortColumn(0, true);
  EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"2", "4", "1", "3"}));
  EXPECT_EQ(list.GetItemBkColor(3, 1), kYellow) << "the colour went with its row";
  EXPECT_EQ(list.GetItemTextColor(3, 1), kRed);
  list.SortColumn(0, false);
  EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"1", "3", "2", "4"}));
  list.SortColumn(7, true);  // no such column: nothing moves
  EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"1", "3", "2", "4"}));
}

TEST_F(SortListCtrlTest, ItemColoursPerCellAndDefaults) {
  list_.SetItemColor(1, 1, kRed, kYellow);
  list_.SetItemColor(1, 2, kBlue, kRed);
  EXPECT_EQ(list_.GetItemTextColor(1, 1), kRed);
  EXPECT_EQ(list_.GetItemBkColor(1, 1), kYellow);
  // -1 restores that cell only.
  list_.SetItemColor(1, 1, kSortListDefaultColour, kSortListDefaultColour);
  EXPECT_EQ(list_.GetItemTextColor(1, 1), list_.DefaultTextColor());
  EXPECT_EQ(list_.GetItemBkColor(1, 1), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(list_.GetItemBkColor(1, 2), kRed);
  EXPECT_EQ(list_.GetItemTextColor(1, 2), kBlue);
  // Out of range: ignored.
  list_.SetItemColor(-1, 0, kRed, kRed);
  list_.SetItemColor(3, 0, kRed, kRed);
  list_.SetItemColor(0, 3, kRed, kRed);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(list_.GetItemBkColor(r, 0), GetSysColor(COLOR_WINDOW));

  const QImage image = Show();
  EXPECT_GT(CountColour(image, Cell(1, 2), kRed), Cell(1, 2).width() * Cell(1, 2).height() / 2);
  EXPECT_EQ(CountColour(image, Cell(1, 1), kYellow), 0) << "restored";
  EXPECT_EQ(CountColour(image, Cell(0, 2), kRed), 0);
  EXPECT_GT(CountColour(image, Cell(1, 2), kBlue), 0) << "the text in its own colour";
}

TEST_F(SortListCtrlTest, SelectedRowsShowTheSelectionColours) {
  list_.SetItemColor(0, 1, kRed, kYellow);
  list_.selectRow(0);
  const QImage image = Show();
  EXPECT_EQ(CountColour(image, Cell(0, 1), kYellow), 0);
  EXPECT_GT(CountColour(image, Cell(0, 1), GetSysColor(COLOR_HIGHLIGHT)), 0);
}

TEST_F(SortListCtrlTest, DeleteItemsDropTheirRecords) {
  list_.SetItemColor(2, 0, kRed, kYellow);
  EXPECT_TRUE(list_.DeleteItem(0));
  EXPECT_EQ(list_.GetItemCount(), 2);
  EXPECT_EQ(list_.GetStoredText(0, 0), "000002");
  EXPECT_EQ(list_.GetItemBkColor(1, 0), kYellow) << "the records moved up with the rows";
  EXPECT_FALSE(list_.DeleteItem(5));
  EXPECT_TRUE(list_.DeleteAllItems());
  EXPECT_EQ(list_.GetItemCount(), 0);
  EXPECT_EQ(list_.GetStoredText(0, 0), "");
  EXPECT_EQ(list_.AddItem({"x", "y", "z"}), 0);
  EXPECT_EQ(list_.GetItemBkColor(0, 0), GetSysColor(COLOR_WINDOW));
}

TEST_F(SortListCtrlTest, AHeadingClickDoesNotSort) {
  Show();
  const std::vector<std::string> before = Column(list_, 1);
  QHeaderView* header = list_.horizontalHeader();
  const QPoint at(header->sectionViewportPosition(1) + 10, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QCoreApplication::processEvents();
  EXPECT_EQ(Column(list_, 1), before);
  EXPECT_EQ(list_.Header()->SortColumn(), -1);
  EXPECT_EQ(list_.GetSortColumn(), -1);
}

TEST_F(SortListCtrlTest, SortColumnDrawsTheArrow) {
  Show();
  QHeaderView* header = list_.horizontalHeader();
  auto sectionRect = [&](int c) {
    return QRect(header->sectionViewportPosition(c), 0, header->sectionSize(c), header->height());
  };
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
  QImage before = GuiDriver::Grab(header->viewport());
  EXPECT_EQ(CountColour(before, sectionRect(1), shadow), 0) << "no arrow before sorting";

  list_.SortColumn(1, true);
  QCoreApplication::processEvents();
  QImage up = GuiDriver::Grab(header->viewport());
  // The arrow sits in the right part of its heading: three quarters of the height wide.
  const QRect s = sectionRect(1);
  const int q = s.height() / 4;
  const QRect arrowArea(s.right() + 1 - 3 * q - 2, s.top() + q, 3 * q + 2, s.height() - 2 * q);
  EXPECT_GT(CountColour(up, arrowArea, shadow), 0);
  EXPECT_GT(CountColour(up, arrowArea, light), 0);
  EXPECT_EQ(CountColour(up, sectionRect(0), shadow), 0);
  EXPECT_EQ(CountColour(up, sectionRect(2), shadow), 0);
  // Ascending: the lit base line at bottom - q - 1.
  const int baseY = s.bottom() + 1 - q - 1;
  EXPECT_EQ(FromQColor(up.pixelColor(s.right() + 1 - 2 * q, baseY)), light);
  // The face is the button face.
  EXPECT_EQ(FromQColor(up.pixelColor(s.left() + 2, s.top() + 2)), GetSysColor(COLOR_BTNFACE));

  list_.SortColumn(1, false);
  QCoreApplication::processEvents();
  QImage down = GuiDriver::Grab(header->viewport());
  // Descending: the shadowed top edge at y = q.
  EXPECT_EQ(FromQColor(down.pixelColor(s.right() + 1 - 2 * q - 1, s.top() + q)), shadow);
  EXPECT_NE(down, up);
}

TEST_F(SortListCtrlTest, WidthsRoundTripThroughTheSettingsFile) {
  CPage::SetDlgCtrlID(&list_, 1203);
  list_.setColumnWidth(0, 111);
  list_.setColumnWidth(2, 33);
  ASSERT_TRUE(list_.SaveColumnWidths());
  EXPECT_EQ(CIniFile(folder_.File("sysinfo.ini")).GetString("ListCtrls", "1203", std::string()),
            "03000000" "6f000000" "46000000" "21000000");

  CSortListCtrl other;
  CPage::SetDlgCtrlID(&other, 1203);
  ASSERT_TRUE(other.SetHeadings("a,10;b,10;c,10;"));
  other.LoadColumnWidths();
  EXPECT_EQ(other.columnWidth(0), 111);
  EXPECT_EQ(other.columnWidth(1), 70);
  EXPECT_EQ(other.columnWidth(2), 33);
}

TEST_F(SortListCtrlTest, MismatchedOrCorruptWidthsAreIgnored) {
  CPage::SetDlgCtrlID(&list_, 77);
  CIniFile ini(folder_.File("sysinfo.ini"));
  ini.WriteString("ListCtrls", "77", "02000000" "10000000" "10000000");  // two columns saved
  list_.LoadColumnWidths();
  EXPECT_EQ(list_.columnWidth(0), 80);
  for (const char* corrupt : {"zz", "0300000010000000", "", "03000000100000001000000010", "-1"}) {
    ini.WriteString("ListCtrls", "77", corrupt);
    list_.LoadColumnWidths();
    EXPECT_EQ(list_.columnWidth(0), 80) << corrupt;
    EXPECT_EQ(list_.columnWidth(2), 90) << corrupt;
  }
  // Another control's widths are its own.
  ini.WriteString("ListCtrls", "78", EncodeColumnWidths({5, 5, 5}));
  list_.LoadColumnWidths();
  EXPECT_EQ(list_.columnWidth(1), 70);
}

TEST_F(SortListCtrlTest, SaveFailsOnAReadOnlySettingsFile) {
  CPage::SetDlgCtrlID(&list_, 5);
  folder_.WriteFile("sysinfo.ini", "[system]\r\nIsExit=1\r\n");
  ASSERT_EQ(::chmod(folder_.File("sysinfo.ini").c_str(), 0444), 0);
  EXPECT_FALSE(list_.SaveColumnWidths());
  EXPECT_EQ(folder_.ReadFile("sysinfo.ini"), "[system]\r\nIsExit=1\r\n");
}

TEST_F(SortListCtrlTest, SystemColourChangeRereadsTheDefaults) {
  EXPECT_EQ(list_.DefaultTextColor(), RGB(0, 0, 0));
  list_.OnSysColorChange();
  EXPECT_EQ(list_.DefaultTextColor(), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(list_.DefaultBkColor(), GetSysColor(COLOR_WINDOW));
}
