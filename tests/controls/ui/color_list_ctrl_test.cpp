#include "controls/ui/color_list_ctrl.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QImage>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <utility>

#include "../../support/gui_driver.h"
#include "platform/ui/qt_convert.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 200, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);

COLORREF Bg(const CColorListCtrl& list, int row, int column) {
  return list.Colours().Lookup(row, column, list.GetBkColor()).background;
}

// A table of `rows` x 3 with texts "r,c".
void Fill(CColorListCtrl& list, int rows) {
  list.InsertColumn(0, "名称", LVCFMT_LEFT, 80);
  list.InsertColumn(1, "代码", LVCFMT_LEFT, 80);
  list.InsertColumn(2, "金额", LVCFMT_RIGHT, 80);
  for (int r = 0; r < rows; ++r) {
    list.InsertItem(r, std::to_string(r) + ",0");
    list.SetItemText(r, 1, std::to_string(r) + ",1");
    list.SetItemText(r, 2, std::to_string(r) + ",2");
  }
}

int CountColour(const QImage& image, const QRect& area, COLORREF colour) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (image.valid(x, y) && FromQColor(image.pixelColor(x, y)) == colour) ++n;
    }
  }
  return n;
}

class ColorListCtrlTest : public testing::Test {
 protected:
  // Shows the list and returns its viewport as painted now.
  QImage Show(CColorListCtrl& list) {
    list.resize(300, 200);
    list.show();
    EXPECT_TRUE(GuiDriver::WaitForExposed(&list));
    QCoreApplication::processEvents();
    return GuiDriver::Grab(list.viewport());
  }
  static QRect Cell(CColorListCtrl& list, int row, int column) {
    return list.visualRect(list.model()->index(row, column));
  }
};

}  // namespace

TEST_F(ColorListCtrlTest, ReportStyle) {
  CColorListCtrl list;
  EXPECT_TRUE(list.showGrid());
  EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(list.verticalHeader()->isVisible());
  EXPECT_EQ(list.GetBkColor(), GetSysColor(COLOR_WINDOW));
}

TEST_F(ColorListCtrlTest, ItemsColumnsAndTexts) {
  CColorListCtrl list;
  EXPECT_EQ(list.InsertItem(0, "no columns"), -1);
  EXPECT_EQ(list.InsertColumn(-1, "bad"), -1);
  EXPECT_EQ(list.InsertColumn(5, "first"), 0) << "past the end appends";
  EXPECT_EQ(list.InsertColumn(1, "second", LVCFMT_CENTER, 70), 1);
  EXPECT_EQ(list.columnWidth(1), 70);
  EXPECT_EQ(list.GetColumnCount(), 2);
  EXPECT_EQ(list.InsertItem(-1, "bad"), -1);
  EXPECT_EQ(list.InsertItem(9, "a"), 0);
  EXPECT_EQ(list.InsertItem(0, "b"), 0);
  EXPECT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(list.GetItemText(0, 0), "b");
  EXPECT_EQ(list.GetItemText(1, 0), "a");
  EXPECT_TRUE(list.SetItemText(1, 1, "中文"));
  EXPECT_EQ(list.GetItemText(1, 1), "中文");
  EXPECT_EQ(Qt::Alignment(list.item(1, 1)->textAlignment()) & Qt::AlignHCenter, Qt::AlignHCenter)
      << "a cell takes its column's alignment";
  EXPECT_TRUE(list.SetItemText(1, 1, "改"));
  EXPECT_EQ(list.GetItemText(1, 1), "改");
  EXPECT_FALSE(list.SetItemText(2, 0, "x"));
  EXPECT_FALSE(list.SetItemText(0, 2, "x"));
  EXPECT_FALSE(list.SetItemText(-1, 0, "x"));
  EXPECT_EQ(list.GetItemText(5, 5), "");
  EXPECT_FALSE(list.DeleteItem(2));
  EXPECT_FALSE(list.DeleteItem(-1));
  EXPECT_TRUE(list.DeleteItem(0));
  EXPECT_EQ(list.GetItemText(0, 0), "a");
  // Rows appended at once, after the rows there are; a short row leaves its last cells empty.
  list.AppendRows({{"c", "丙", "x"}, {"d"}});
  EXPECT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(list.GetItemText(1, 1), "丙");
  EXPECT_EQ(list.GetItemText(2, 0), "d");
  EXPECT_EQ(list.GetItemText(2, 1), "");
}

// The wrappers hand each call to the table; the rules themselves are tested there.
TEST_F(ColorListCtrlTest, SettersReachTheTable) {
  CColorListCtrl list;
  Fill(list, 5);
  list.SetCellColor(kRed, 1, 1);
  list.SetRowColor(kBlue, 2);
  list.SetColumnColor(kYellow, 2);
  EXPECT_EQ(Bg(list, 1, 1), kRed);
  EXPECT_EQ(Bg(list, 2, 0), kBlue);
  EXPECT_EQ(Bg(list, 3, 2), kYellow);
  list.RemoveCellColor(1, 1);
  list.RemoveRowColor(2);
  list.RemoveColumnColor(2);
  EXPECT_EQ(Bg(list, 1, 1), kWhite);
  EXPECT_EQ(Bg(list, 2, 0), kWhite);
  EXPECT_EQ(Bg(list, 3, 2), kWhite);
  list.SetCheckerboard(true, kRed, kBlue);
  EXPECT_EQ(Bg(list, 0, 1), kBlue);
  list.SetRowStripes(true, kGreen, kYellow);
  EXPECT_EQ(Bg(list, 0, 1), kYellow);
  list.SetAutoTextColor(true);
  EXPECT_TRUE(list.Colours().AutoTextColor());
  list.ClearColors();
  EXPECT_EQ(Bg(list, 0, 1), kWhite);
  list.SetBkColor(RGB(1, 2, 3));
  EXPECT_EQ(Bg(list, 0, 1), RGB(1, 2, 3));
}

TEST_F(ColorListCtrlTest, RowChangesThroughTheCallsMoveTheColours) {
  CColorListCtrl list;
  Fill(list, 5);
  for (int r = 0; r < 5; ++r) list.SetRowColor(RGB(10 * (r + 1), 0, 0), r);
  list.SetColumnColor(kBlue, 2);

  ASSERT_TRUE(list.DeleteItem(3));
  EXPECT_EQ(Bg(list, 3, 0), RGB(50, 0, 0)) << "row 4's colour moved up";
  EXPECT_EQ(Bg(list, 4, 0), kWhite);

  ASSERT_EQ(list.InsertItem(0, "new"), 0);
  EXPECT_EQ(Bg(list, 0, 0), kWhite) << "the new row has no colour";
  EXPECT_EQ(Bg(list, 0, 2), kBlue);
  EXPECT_EQ(Bg(list, 1, 0), RGB(10, 0, 0));

  ASSERT_TRUE(list.DeleteAllItems());
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_TRUE(list.Colours().ColumnEntries().empty()) << "delete-all clears column colours too";
  EXPECT_TRUE(list.Colours().RowEntries().empty());
}

TEST_F(ColorListCtrlTest, TheWidgetsOwnRowCallsAreFollowedToo) {
  CColorListCtrl list;
  Fill(list, 4);
  list.SetCellColor(kRed, 2, 1);
  list.SetColumnColor(kBlue, 0);

  list.insertRow(1);
  EXPECT_EQ(Bg(list, 3, 1), kRed);
  EXPECT_EQ(Bg(list, 2, 1), kWhite);
  list.removeRow(0);
  EXPECT_EQ(Bg(list, 2, 1), kRed);
  list.setRowCount(2);  // removes rows 2 and 3
  EXPECT_TRUE(list.Colours().CellEntries().empty());
  EXPECT_EQ(list.Colours().ColumnEntries().size(), 1u) << "removing rows keeps column colours";
  list.setRowCount(5);
  EXPECT_EQ(Bg(list, 2, 1), kWhite) << "added rows are uncoloured";

  list.SetCellColor(kRed, 0, 0);
  list.clear();  // a model reset
  EXPECT_TRUE(list.Colours().CellEntries().empty());
  EXPECT_TRUE(list.Colours().ColumnEntries().empty());
}

TEST_F(ColorListCtrlTest, PaintedCellColours) {
  CColorListCtrl list;
  Fill(list, 5);
  const QImage before = Show(list);
  const QRect cell = Cell(list, 2, 1);
  ASSERT_TRUE(cell.isValid());
  const QPoint probe(cell.left() + 1, cell.center().y());
  EXPECT_EQ(FromQColor(before.pixelColor(probe)), kWhite);

  list.SetCellColor(kRed, 2, 1);
  QCoreApplication::processEvents();
  QImage image = GuiDriver::Grab(list.viewport());
  EXPECT_EQ(FromQColor(image.pixelColor(probe)), kRed);
  EXPECT_EQ(FromQColor(image.pixelColor(cell.right() - 1, cell.top() + 1)), kRed);
  const QRect left = Cell(list, 2, 0);
  EXPECT_EQ(FromQColor(image.pixelColor(left.left() + 1, left.center().y())), kWhite) << "only that cell";
  EXPECT_GT(CountColour(image, cell, GetSysColor(COLOR_WINDOWTEXT)), 0) << "the text is still drawn";

  list.SetCellColor(kGreen, 2, 1);
  image = GuiDriver::Grab(list.viewport());
  EXPECT_EQ(FromQColor(image.pixelColor(probe)), kRed) << "the first colour stays";
  list.ReplaceCellColor(kGreen, 2, 1);
  image = GuiDriver::Grab(list.viewport());
  EXPECT_EQ(FromQColor(image.pixelColor(probe)), kGreen);

  // On a dark colour (a branch's mark) the default black text turns white.
  list.ReplaceCellColor(RGB(0, 0, 128), 2, 1);
  image = GuiDriver::Grab(list.viewport());
  EXPECT_EQ(CountColour(image, cell, GetSysColor(COLOR_WINDOWTEXT)), 0);
  EXPECT_GT(CountColour(image, cell, kWhite), 0);
}

TEST_F(ColorListCtrlTest, PaintedAutomaticTextAndSelection) {
  CColorListCtrl list;
  Fill(list, 5);
  list.SetItemText(1, 0, "8888888");
  list.SetCellColor(RGB(0, 0, 0), 1, 0);
  list.SetAutoTextColor(true);
  QImage image = Show(list);
  const QRect dark = Cell(list, 1, 0);
  EXPECT_GT(CountColour(image, dark, RGB(220, 220, 220)), 0);
  EXPECT_GT(CountColour(image, Cell(list, 3, 1), RGB(35, 35, 35)), 0) << "white cells get dark grey text";

  // A right-aligned column keeps its text on the right.
  const QRect amount = Cell(list, 3, 2);
  EXPECT_EQ(CountColour(image, QRect(amount.left(), amount.top(), amount.width() / 2, amount.height()),
                        RGB(35, 35, 35)),
            0);

  list.selectRow(3);
  QCoreApplication::processEvents();
  image = GuiDriver::Grab(list.viewport());
  const QRect selected = Cell(list, 3, 1);
  EXPECT_EQ(FromQColor(image.pixelColor(selected.left() + 1, selected.top() + 1)), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_GT(CountColour(image, selected, GetSysColor(COLOR_HIGHLIGHTTEXT)), 0);
}

namespace {

// Records the texts the delegate hands to DrawCell.
class RecordingListCtrl : public CColorListCtrl {
 public:
  std::map<std::pair<int, int>, CString> drawn;
  void DrawCell(CDC& dc, int row, int column, const CRect& rect, bool selected, const CString& text,
                UINT format) override {
    drawn[{row, column}] = text;
    CColorListCtrl::DrawCell(dc, row, column, rect, selected, text, format);
  }
};

}  // namespace

TEST_F(ColorListCtrlTest, ALongTextEndsInAnEllipsis) {
  RecordingListCtrl list;
  list.InsertColumn(0, "c", LVCFMT_LEFT, 60);
  list.InsertColumn(1, "d", LVCFMT_LEFT, 200);
  list.InsertItem(0, "a rather long text that cannot fit");
  list.SetItemText(0, 1, "short");
  Show(list);
  const CString longText = list.drawn[{0, 0}];
  ASSERT_FALSE(longText.empty());
  EXPECT_LT(longText.size(), std::string("a rather long text that cannot fit").size());
  EXPECT_EQ(longText.substr(longText.size() - 3), "\u2026") << longText;
  EXPECT_EQ((list.drawn[{0, 1}]), "short") << "a text that fits is drawn whole";
}

namespace {

// The table as a table widget holds it, filled by the steps the control once took.
struct WidgetTable {
  WidgetTable() {
    QObject::connect(table.model(), &QAbstractItemModel::rowsInserted, &table,
                     [this](const QModelIndex&, int first, int last) { colours.OnItemsInserted(first, last - first + 1); });
    QObject::connect(table.model(), &QAbstractItemModel::rowsRemoved, &table,
                     [this](const QModelIndex&, int first, int last) { colours.OnItemsDeleted(first, last - first + 1); });
  }
  QTableWidget table;
  CellColourTable colours;
  void InsertColumn(int column, const std::string& heading, int format) {
    column = std::min(column, table.columnCount());
    table.insertColumn(column);
    auto* header = new QTableWidgetItem(ToQString(heading));
    header->setTextAlignment(Qt::AlignVCenter | (format & LVCFMT_RIGHT    ? Qt::AlignRight
                                                 : format & LVCFMT_CENTER ? Qt::AlignHCenter
                                                                          : Qt::AlignLeft));
    table.setHorizontalHeaderItem(column, header);
  }
  void SetItemText(int row, int column, const std::string& text) {
    if (QTableWidgetItem* cell = table.item(row, column)) return cell->setText(ToQString(text));
    auto* cell = new QTableWidgetItem(ToQString(text));
    cell->setTextAlignment(Qt::Alignment(table.horizontalHeaderItem(column)->textAlignment()));
    table.setItem(row, column, cell);
  }
  void InsertItem(int row, const std::string& text) {
    table.insertRow(std::min(row, table.rowCount()));
    SetItemText(std::min(row, table.rowCount() - 1), 0, text);
  }
};

}  // namespace

// Random steps on both: the same rows, texts, headings and alignments read back, and
// the colours follow the same rows.
TEST_F(ColorListCtrlTest, SameCellsAsATableWidget) {
  CColorListCtrl list;
  WidgetTable old;
  std::mt19937 random(20240515);
  for (int c = 0; c < 5; ++c) {
    const int at = static_cast<int>(random() % 6);
    const int format = static_cast<int>(random() % 3);
    list.InsertColumn(at, "列" + std::to_string(c), format);
    old.InsertColumn(at, "列" + std::to_string(c), format);
  }
  for (int step = 0; step < 3000; ++step) {
    const int rows = list.GetItemCount();
    const int row = static_cast<int>(random() % static_cast<unsigned>(rows + 2));
    const int column = static_cast<int>(random() % 5);
    const std::string text = step % 17 == 0 ? std::string() : "营业部" + std::to_string(random() % 1000);
    const unsigned kind = random() % 5;
    if (kind < 2) {
      list.InsertItem(row, text);
      old.InsertItem(row, text);
      list.SetCellColor(row % 2 ? kRed : kBlue, std::min(row, rows), column);
      old.colours.SetCellColor(row % 2 ? kRed : kBlue, std::min(row, rows), column);
    } else if (row < rows && kind < 4) {
      list.SetItemText(row, column, text);
      old.SetItemText(row, column, text);
    } else if (row < rows) {
      list.DeleteItem(row);
      old.table.removeRow(row);
    }
  }
  ASSERT_EQ(list.rowCount(), old.table.rowCount());
  ASSERT_EQ(list.columnCount(), old.table.columnCount());
  for (int c = 0; c < list.columnCount(); ++c) {
    EXPECT_EQ(list.horizontalHeaderItem(c)->text(), old.table.horizontalHeaderItem(c)->text());
    EXPECT_EQ(list.horizontalHeaderItem(c)->textAlignment(), old.table.horizontalHeaderItem(c)->textAlignment());
    for (int r = 0; r < list.rowCount(); ++r) {
      const QTableWidgetItem* cell = old.table.item(r, c);
      ASSERT_EQ(list.GetItemText(r, c), cell ? FromQString(cell->text()) : CString()) << r << "," << c;
      if (cell) {
        EXPECT_EQ(list.item(r, c)->textAlignment(), cell->textAlignment()) << r << "," << c;
      }
      EXPECT_EQ(Bg(list, r, c), old.colours.Lookup(r, c, list.GetBkColor()).background) << r << "," << c;
    }
  }
}
