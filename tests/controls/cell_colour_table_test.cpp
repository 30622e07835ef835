#include "controls/cell_colour_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr COLORREF kBack = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 200, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);

COLORREF Bg(const CellColourTable& t, int row, int column) { return t.Lookup(row, column, kBack).background; }

}  // namespace

TEST(CellColourTable, NoEntriesGiveTheControlBackground) {
  CellColourTable t;
  const CellLook look = t.Lookup(3, 4, RGB(1, 2, 3));
  EXPECT_EQ(look.background, RGB(1, 2, 3));
  EXPECT_FALSE(look.hasTextColour);
}

TEST(CellColourTable, TheFirstEntryForACellWins) {
  CellColourTable t;
  t.SetCellColor(kRed, 1, 2);
  t.SetCellColor(kGreen, 1, 2);
  EXPECT_EQ(Bg(t, 1, 2), kRed);
  EXPECT_EQ(t.CellEntries().size(), 2u) << "the second call still appends";
  EXPECT_EQ(Bg(t, 1, 3), kBack);
  EXPECT_EQ(Bg(t, 2, 2), kBack);
  // Removing the first entry uncovers the second.
  EXPECT_TRUE(t.RemoveCellColor(1, 2));
  EXPECT_EQ(Bg(t, 1, 2), kGreen);
  EXPECT_TRUE(t.RemoveCellColor(1, 2));
  EXPECT_FALSE(t.RemoveCellColor(1, 2));
  EXPECT_EQ(Bg(t, 1, 2), kBack);
}

TEST(CellColourTable, CellBeatsRowBeatsColumn) {
  CellColourTable t;
  t.SetColumnColor(kBlue, 2);
  EXPECT_EQ(Bg(t, 5, 2), kBlue);
  t.SetRowColor(kYellow, 5);
  EXPECT_EQ(Bg(t, 5, 2), kYellow) << "row over column";
  EXPECT_EQ(Bg(t, 5, 0), kYellow);
  EXPECT_EQ(Bg(t, 4, 2), kBlue);
  t.SetCellColor(kRed, 5, 2);
  EXPECT_EQ(Bg(t, 5, 2), kRed) << "cell over row";
  EXPECT_TRUE(t.RemoveRowColor(5));
  EXPECT_FALSE(t.RemoveRowColor(5));
  EXPECT_EQ(Bg(t, 5, 0), kBack);
  EXPECT_TRUE(t.RemoveColumnColor(2));
  EXPECT_FALSE(t.RemoveColumnColor(2));
  EXPECT_EQ(Bg(t, 4, 2), kBack);
  EXPECT_EQ(Bg(t, 5, 2), kRed);
}

TEST(CellColourTable, ANegativeColumnFindsNoCell) {
  CellColourTable t;
  t.SetCellColor(kRed, 1, -1);
  EXPECT_EQ(Bg(t, 1, -1), kBack);
}

TEST(CellColourTable, ReplaceCellColorWinsOverEarlierEntries) {
  CellColourTable t;
  t.SetCellColor(kRed, 2, 1);
  t.SetCellColor(kGreen, 2, 1);
  t.SetCellColor(kBlue, 2, 0);
  t.ReplaceCellColor(kYellow, 2, 1);
  EXPECT_EQ(Bg(t, 2, 1), kYellow);
  EXPECT_EQ(Bg(t, 2, 0), kBlue) << "other cells keep their entries";
  EXPECT_EQ(t.CellEntries().size(), 2u) << "both old entries of the cell are gone";
  // A later plain SetCellColor does not displace it.
  t.SetCellColor(kRed, 2, 1);
  EXPECT_EQ(Bg(t, 2, 1), kYellow);
}

TEST(CellColourTable, DeletingARowDropsItsColoursAndMovesTheLaterOnesUp) {
  CellColourTable t;
  const COLORREF rows[5] = {RGB(10, 0, 0), RGB(20, 0, 0), RGB(30, 0, 0), RGB(40, 0, 0), RGB(50, 0, 0)};
  for (int r = 0; r < 5; ++r) t.SetRowColor(rows[r], r);
  t.SetCellColor(kRed, 3, 1);
  t.SetCellColor(kGreen, 4, 1);
  t.SetColumnColor(kBlue, 2);

  t.OnItemsDeleted(3);
  EXPECT_EQ(Bg(t, 2, 0), rows[2]);
  EXPECT_EQ(Bg(t, 3, 0), rows[4]) << "row 4's colour is now row 3's";
  EXPECT_EQ(Bg(t, 3, 1), kGreen) << "row 3's cell went, row 4's moved up";
  EXPECT_EQ(Bg(t, 4, 0), kBack);
  EXPECT_EQ(Bg(t, 4, 2), kBlue) << "columns are untouched";
  EXPECT_EQ(t.RowEntries().size(), 4u);
  EXPECT_EQ(t.CellEntries().size(), 1u);
}

TEST(CellColourTable, InsertingAtZeroMovesEveryColourDown) {
  CellColourTable t;
  t.SetRowColor(kRed, 0);
  t.SetRowColor(kGreen, 1);
  t.SetCellColor(kYellow, 0, 2);
  t.SetColumnColor(kBlue, 3);

  t.OnItemsInserted(0);
  EXPECT_EQ(Bg(t, 0, 0), kBack) << "the new row has no colour";
  EXPECT_EQ(Bg(t, 0, 2), kBack);
  EXPECT_EQ(Bg(t, 0, 3), kBlue) << "column colours stay with their column";
  EXPECT_EQ(Bg(t, 1, 0), kRed);
  EXPECT_EQ(Bg(t, 1, 2), kYellow);
  EXPECT_EQ(Bg(t, 2, 0), kGreen);
}

TEST(CellColourTable, InsertingInTheMiddleLeavesEarlierRowsAlone) {
  CellColourTable t;
  for (int r = 0; r < 4; ++r) t.SetRowColor(RGB(r + 1, 0, 0), r);
  t.OnItemsInserted(2, 2);
  EXPECT_EQ(Bg(t, 1, 0), RGB(2, 0, 0));
  EXPECT_EQ(Bg(t, 2, 0), kBack);
  EXPECT_EQ(Bg(t, 3, 0), kBack);
  EXPECT_EQ(Bg(t, 4, 0), RGB(3, 0, 0));
  EXPECT_EQ(Bg(t, 5, 0), RGB(4, 0, 0));
}

TEST(CellColourTable, DeletingAllRowsClearsColumnColoursToo) {
  CellColourTable t;
  t.SetColumnColor(kBlue, 0);
  t.SetRowColor(kRed, 1);
  t.SetCellColor(kGreen, 2, 2);
  t.SetAutoTextColor(true);
  t.OnAllItemsDeleted();
  EXPECT_TRUE(t.ColumnEntries().empty());
  EXPECT_TRUE(t.RowEntries().empty());
  EXPECT_TRUE(t.CellEntries().empty());
  EXPECT_EQ(Bg(t, 1, 0), kBack);
  EXPECT_TRUE(t.AutoTextColor()) << "the flags belong to the control, not the rows";
}

TEST(CellColourTable, AutomaticTextColour) {
  EXPECT_EQ(CellColourTable::AutoTextColour(RGB(255, 255, 255)), RGB(35, 35, 35));
  EXPECT_EQ(CellColourTable::AutoTextColour(RGB(0, 0, 0)), RGB(220, 220, 220));
  EXPECT_EQ(CellColourTable::AutoTextColour(RGB(100, 230, 220)), RGB(120, 10, 0));

  CellColourTable t;
  t.SetCellColor(RGB(0, 0, 0), 0, 0);
  EXPECT_FALSE(t.Lookup(0, 0, kBack).hasTextColour) << "off by default";
  t.SetAutoTextColor(true);
  const CellLook look = t.Lookup(0, 0, kBack);
  EXPECT_TRUE(look.hasTextColour);
  EXPECT_EQ(look.text, RGB(220, 220, 220));
  EXPECT_EQ(t.Lookup(0, 1, kBack).text, RGB(35, 35, 35)) << "derived from the control background";
}

TEST(CellColourTable, CheckerboardStripesAndEntries) {
  CellColourTable t;
  t.SetCheckerboard(true, kRed, kGreen);
  EXPECT_EQ(Bg(t, 0, 0), kRed);
  EXPECT_EQ(Bg(t, 0, 1), kGreen);
  EXPECT_EQ(Bg(t, 1, 0), kGreen);
  EXPECT_EQ(Bg(t, 1, 1), kRed);
  EXPECT_EQ(Bg(t, 7, 4), kGreen);

  t.SetRowStripes(true, kBlue, kYellow);
  EXPECT_EQ(Bg(t, 1, 0), kBlue) << "stripes over the checkerboard";
  EXPECT_EQ(Bg(t, 1, 1), kBlue);
  EXPECT_EQ(Bg(t, 2, 1), kYellow);

  t.SetColumnColor(RGB(9, 9, 9), 1);
  EXPECT_EQ(Bg(t, 2, 1), RGB(9, 9, 9)) << "an entry over the stripes";
  EXPECT_EQ(Bg(t, 2, 0), kYellow);

  t.SetRowStripes(false, kBlue, kYellow);
  EXPECT_EQ(Bg(t, 2, 0), kRed) << "the checkerboard shows again";

  t.ClearColors();
  EXPECT_FALSE(t.Checkerboard());
  EXPECT_FALSE(t.RowStripes());
  EXPECT_FALSE(t.AutoTextColor());
  EXPECT_TRUE(t.ColumnEntries().empty());
  EXPECT_EQ(Bg(t, 2, 1), kBack);
}

// The lookup keeps an index of first entries; a plain search of the three arrays
// must always agree with it, whatever came before.
TEST(CellColourTable, LookupAgreesWithAPlainSearchAfterRandomChanges) {
  auto plain = [](const CellColourTable& t, int row, int column) -> COLORREF {
    for (const ColourEntry& e : t.CellEntries()) {
      if (column >= 0 && e.key == row && e.column == column) return e.background;
    }
    for (const ColourEntry& e : t.RowEntries()) {
      if (e.key == row) return e.background;
    }
    for (const ColourEntry& e : t.ColumnEntries()) {
      if (e.key == column) return e.background;
    }
    return kBack;
  };

  std::mt19937 rng(20240601);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  CellColourTable t;
  for (int step = 0; step < 3000; ++step) {
    const COLORREF colour = RGB(pick(256), pick(256), pick(256));
    switch (pick(12)) {
      case 0:
      case 1:
      case 2:
        t.SetCellColor(colour, pick(12), pick(5));
        break;
      case 3:
        t.SetRowColor(colour, pick(12));
        break;
      case 4:
        t.SetColumnColor(colour, pick(5));
        break;
      case 5:
        t.ReplaceCellColor(colour, pick(12), pick(5));
        break;
      case 6:
        t.RemoveCellColor(pick(12), pick(5));
        break;
      case 7:
        t.RemoveRowColor(pick(12));
        break;
      case 8:
        t.RemoveColumnColor(pick(5));
        break;
      case 9:
        t.OnItemsInserted(pick(12), 1 + pick(2));
        break;
      case 10:
        t.OnItemsDeleted(pick(12), 1 + pick(2));
        break;
      default:
        if (pick(20) == 0) t.OnAllItemsDeleted();
        break;
    }
    if (step % 7 == 0) {
      for (int r = 0; r < 14; ++r) {
        for (int c = 0; c < 5; ++c) ASSERT_EQ(Bg(t, r, c), plain(t, r, c)) << "step " << step << " cell " << r << "," << c;
      }
    }
  }
}
