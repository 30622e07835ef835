#include "platform/gdi_types.h"

#include <gtest/gtest.h>

TEST(ColorRef, PacksRedLowestByte) {
  static_assert(RGB(1, 2, 3) == 0x030201u);
  EXPECT_EQ(RGB(255, 0, 0), 0x0000FFu);
  EXPECT_EQ(RGB(0, 0, 255), 0xFF0000u);
  EXPECT_EQ(GetRValue(RGB(1, 2, 3)), 1);
  EXPECT_EQ(GetGValue(RGB(1, 2, 3)), 2);
  EXPECT_EQ(GetBValue(RGB(1, 2, 3)), 3);
}

TEST(ColorRef, ComponentsAreTakenAsBytes) {
  EXPECT_EQ(RGB(256 + 7, 0, 0), RGB(7, 0, 0));
  EXPECT_EQ(GetBValue(0xFFABCDEFu), 0xAB);  // the top byte is not part of the colour
}

TEST(Rect, EdgesRightAndBottomAreOutside) {
  const CRect r(10, 20, 30, 50);
  EXPECT_EQ(r.Width(), 20);
  EXPECT_EQ(r.Height(), 30);
  EXPECT_TRUE(r.PtInRect({10, 20}));
  EXPECT_TRUE(r.PtInRect({29, 49}));
  EXPECT_FALSE(r.PtInRect({30, 20}));
  EXPECT_FALSE(r.PtInRect({10, 50}));
  EXPECT_FALSE(r.PtInRect({9, 20}));
  EXPECT_EQ(r.TopLeft(), CPoint(10, 20));
  EXPECT_EQ(r.BottomRight(), CPoint(30, 50));
  EXPECT_EQ(r.Size(), CSize(20, 30));
}

TEST(Rect, EmptyWhenNoPixelIsCovered) {
  EXPECT_TRUE(CRect().IsRectEmpty());
  EXPECT_TRUE(CRect(5, 5, 5, 9).IsRectEmpty());
  EXPECT_TRUE(CRect(5, 5, 4, 9).IsRectEmpty());
  EXPECT_FALSE(CRect(5, 5, 6, 6).IsRectEmpty());
}

TEST(Rect, DeflateInflateOffset) {
  CRect r(0, 0, 100, 50);
  r.DeflateRect(2, 3);
  EXPECT_EQ(r, CRect(2, 3, 98, 47));
  r.DeflateRect(CRect(1, 2, 3, 4));
  EXPECT_EQ(r, CRect(3, 5, 95, 43));
  r.InflateRect(3, 5);
  EXPECT_EQ(r, CRect(0, 0, 98, 48));
  r.InflateRect(CRect(1, 1, 2, 2));
  EXPECT_EQ(r, CRect(-1, -1, 100, 50));
  r.OffsetRect(1, -1);
  EXPECT_EQ(r, CRect(0, -2, 101, 49));
  r.OffsetRect(CPoint(-1, 2));
  EXPECT_EQ(r, CRect(-1, 0, 100, 51));
  r.SetRect(1, 2, 3, 4);
  EXPECT_EQ(r, CRect(1, 2, 3, 4));
  EXPECT_NE(r, CRect(1, 2, 3, 5));
}

TEST(Rect, DeflatingPastItselfInvertsAndNormalises) {
  CRect r(0, 0, 4, 4);
  r.DeflateRect(3, 3);
  EXPECT_TRUE(r.IsRectEmpty());
  r.NormalizeRect();
  EXPECT_EQ(r, CRect(1, 1, 3, 3));
}

TEST(SysColor, FixedTable) {
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(236, 233, 216));
  EXPECT_EQ(GetSysColor(COLOR_3DFACE), RGB(236, 233, 216));
  EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), RGB(172, 168, 153));
  EXPECT_EQ(GetSysColor(COLOR_GRAYTEXT), RGB(172, 168, 153));
  EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHTTEXT), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_3DLIGHT), RGB(241, 239, 226));
  EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), RGB(113, 111, 100));
  EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), RGB(0, 0, 0));
  EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
  EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RGB(49, 106, 197));
  EXPECT_EQ(GetSysColor(-1), 0u);
}

TEST(SystemMetrics, KnownAndUnknown) {
  EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2);
  EXPECT_EQ(GetSystemMetrics(SM_CYEDGE), 2);
  EXPECT_EQ(GetSystemMetrics(SM_CXMENUCHECK), 13);
  EXPECT_EQ(GetSystemMetrics(SM_CYMENUCHECK), 13);
  EXPECT_EQ(GetSystemMetrics(0), 0);
}
