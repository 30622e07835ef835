// The device context's drawing calls the controls rely on, read back pixel by pixel.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "platform/ui/dc.h"
#include "platform/ui/qt_convert.h"

#include "../../support/paint_probe.h"

using namespace paint_probe;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

bool OnBorder(const CRect& r, int x, int y) {
  return r.PtInRect(CPoint(x, y)) && (x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1);
}

}  // namespace

TEST(DcPixels3dRect, EveryBorderPixelAndNothingElse) {
  const CRect r(0, 0, 20, 10);
  const QImage img =
      Paint(22, 12, kWhite, [&](CDC& dc) { dc.Draw3dRect(r.left, r.top, r.Width(), r.Height(), kRed, kBlue); });
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      COLORREF expected = kWhite;
      if (OnBorder(r, x, y)) {
        const bool bottomRight = x == r.right - 1 || y == r.bottom - 1;
        expected = bottomRight ? kBlue : kRed;
      }
      EXPECT_EQ(At(img, x, y), expected) << "pixel (" << x << "," << y << ")";
    }
  }
}

TEST(DcPixelsEdge, EtchedOnTwentyByTen) {
  CRect rect(0, 0, 20, 10);
  const QImage img = Paint(20, 10, kRed, [&](CDC& dc) { dc.DrawEdge(rect, EDGE_ETCHED, BF_RECT | BF_ADJUST); });
  EXPECT_EQ(At(img, 0, 0), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(At(img, 1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(At(img, 19, 9), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(At(img, 18, 8), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(At(img, 10, 0), GetSysColor(COLOR_BTNSHADOW)) << "outer top";
  EXPECT_EQ(At(img, 10, 9), GetSysColor(COLOR_BTNHIGHLIGHT)) << "outer bottom";
  EXPECT_EQ(At(img, 0, 5), GetSysColor(COLOR_BTNSHADOW)) << "outer left";
  EXPECT_EQ(At(img, 19, 5), GetSysColor(COLOR_BTNHIGHLIGHT)) << "outer right";
  EXPECT_EQ(At(img, 1, 5), GetSysColor(COLOR_BTNHIGHLIGHT)) << "inner left";
  EXPECT_EQ(At(img, 18, 5), GetSysColor(COLOR_BTNSHADOW)) << "inner right";
  EXPECT_EQ(At(img, 2, 2), kRed) << "the middle is left alone";
  EXPECT_EQ(rect, CRect(2, 2, 18, 8));
}

TEST(DcPixelsEdge, RaisedCorners) {
  CRect rect(0, 0, 12, 8);
  const QImage img = Paint(12, 8, kRed, [&](CDC& dc) { dc.DrawEdge(rect, EDGE_RAISED, BF_RECT); });
  EXPECT_EQ(At(img, 0, 0), GetSysColor(COLOR_3DLIGHT));
  EXPECT_EQ(At(img, 1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(At(img, 11, 7), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(At(img, 10, 6), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(At(img, 11, 0), GetSysColor(COLOR_3DDKSHADOW)) << "top-right corner belongs to the dark side";
  EXPECT_EQ(At(img, 0, 7), GetSysColor(COLOR_3DDKSHADOW)) << "bottom-left corner belongs to the dark side";
  EXPECT_EQ(At(img, 10, 1), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(At(img, 1, 6), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(At(img, 2, 2), kRed);
}

TEST(DcPixelsEdge, SunkenCorners) {
  CRect rect(2, 2, 14, 10);
  const QImage img = Paint(16, 12, kRed, [&](CDC& dc) { dc.DrawEdge(rect, EDGE_SUNKEN, BF_RECT); });
  EXPECT_EQ(At(img, 2, 2), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(At(img, 3, 3), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(At(img, 13, 9), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(At(img, 12, 8), GetSysColor(COLOR_3DLIGHT));
  EXPECT_EQ(At(img, 13, 2), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(At(img, 2, 9), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(At(img, 1, 1), kRed) << "nothing outside the rectangle";
  EXPECT_EQ(At(img, 14, 10), kRed);
  EXPECT_EQ(At(img, 4, 4), kRed);
}

TEST(DcPixelsRoundRect, HollowBrushDrawsOnlyTheOutline) {
  const QImage img = Paint(25, 15, kWhite, [](CDC& dc) {
    dc.SelectObject(CPen(PS_SOLID, 1, kBlue));
    dc.SelectObject(CBrush::Hollow());
    dc.RoundRect(2, 2, 23, 13, 6, 6);  // 21 x 11: outline over x 2..22, y 2..12
  });
  EXPECT_EQ(At(img, 12, 2), kBlue) << "top midpoint";
  EXPECT_EQ(At(img, 12, 12), kBlue) << "bottom midpoint";
  EXPECT_EQ(At(img, 2, 7), kBlue) << "left midpoint";
  EXPECT_EQ(At(img, 22, 7), kBlue) << "right midpoint";
  EXPECT_EQ(At(img, 12, 7), kWhite) << "the centre stays untouched";
  EXPECT_EQ(At(img, 2, 2), kWhite) << "the corner is rounded off";
  EXPECT_EQ(InkBox(img, kWhite), CRect(2, 2, 23, 13)) << "the right and bottom edge stay out";
}

TEST(DcPixelsFrameRect, ExactlyTheOnePixelBorder) {
  const CRect r(2, 3, 12, 9);
  const QImage img = Paint(14, 11, kWhite, [&](CDC& dc) { dc.FrameRect(CRect(12, 9, 2, 3), CBrush(kRed)); });
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      EXPECT_EQ(At(img, x, y), OnBorder(r, x, y) ? kRed : kWhite) << "pixel (" << x << "," << y << ")";
    }
  }
}

TEST(DcPixelsFrameRect, HollowEmptyAndThinRectangles) {
  const QImage hollow = Paint(8, 8, kWhite, [](CDC& dc) {
    dc.FrameRect(CRect(0, 0, 8, 8), CBrush::Hollow());
    dc.FrameRect(CRect(3, 3, 3, 6), CBrush(kRed));  // no width
  });
  EXPECT_EQ(InkBox(hollow, kWhite), CRect());
  const QImage thin = Paint(8, 8, kWhite, [](CDC& dc) { dc.FrameRect(CRect(1, 4, 7, 5), CBrush(kRed)); });
  EXPECT_EQ(InkBox(thin, kWhite), CRect(1, 4, 7, 5)) << "a one-row rectangle is that row";
}

TEST(DcPixelsFocusRect, StaysInsideItsRectangle) {
  const CRect r(5, 4, 25, 16);
  const QImage img = Paint(30, 20, kWhite, [&](CDC& dc) { dc.DrawFocusRect(r); });
  const CRect ink = InkBox(img, kWhite);
  EXPECT_EQ(ink, r) << "dots reach every side but never leave the rectangle";
  for (int y = r.top + 1; y < r.bottom - 1; ++y) {
    for (int x = r.left + 1; x < r.right - 1; ++x)
      ASSERT_EQ(At(img, x, y), kWhite) << "inside (" << x << "," << y << ")";
  }
  EXPECT_NE(At(img, r.left, r.top), At(img, r.left + 1, r.top)) << "dotted";
}

TEST(DcPixelsText, CalcRectShrinksTheRectangleAndReturnsTheHeight) {
  Paint(10, 10, kWhite, [](CDC& dc) {
    dc.SelectObject(CFont(MakeFont(12, FW_NORMAL, "宋体")));
    const CSize extent = dc.GetTextExtent("abc");
    CRect single(4, 6, 400, 300);
    const int height = dc.DrawText("abc", single, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(single, CRect(4, 6, 4 + extent.cx, 6 + extent.cy));
    EXPECT_EQ(height, single.Height());

    CRect wrapped(0, 0, 400, 300);
    const int wrappedHeight = dc.DrawText("abc def", wrapped, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    EXPECT_EQ(wrapped.Width(), dc.GetTextExtent("abc def").cx) << "narrower than the rectangle: shrunk to the text";
    EXPECT_EQ(wrappedHeight, extent.cy);
    EXPECT_EQ(wrapped.Height(), wrappedHeight);
  });
  // Measuring draws nothing.
  const QImage img = Paint(60, 30, kWhite, [](CDC& dc) {
    CRect r(0, 0, 60, 30);
    dc.SetBkColor(kBlue);
    dc.DrawText("abc", r, DT_CALCRECT);
  });
  EXPECT_EQ(InkBox(img, kWhite), CRect());
}

TEST(DcPixelsText, CentredSingleLineInkWithinOnePixel) {
  const CRect area(0, 0, 120, 50);
  for (const char* text : {"H", "中", "HH"}) {
    const QImage img = Paint(area.Width(), area.Height(), kWhite, [&](CDC& dc) {
      dc.SelectObject(CFont(MakeFont(24, FW_NORMAL, "宋体")));
      dc.SetBkMode(TRANSPARENT);
      dc.DrawText(text, area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    });
    const CRect ink = InkBox(img, kWhite);
    ASSERT_FALSE(ink.IsRectEmpty()) << text;
    // Twice the centres, so that half pixels count exactly.
    const int inkX2 = ink.left + ink.right;
    const int inkY2 = ink.top + ink.bottom;
    EXPECT_LE(std::abs(inkX2 - (area.left + area.right)), 2) << text << ": ink " << ink.left << ".." << ink.right;
    EXPECT_LE(std::abs(inkY2 - (area.top + area.bottom)), 2) << text << ": ink " << ink.top << ".." << ink.bottom;
  }
}

TEST(DcPixelsClip, IntersectClipRectClipsEveryCall) {
  const CRect clip(5, 5, 15, 12);
  const QImage img = Paint(20, 20, kWhite, [&](CDC& dc) {
    EXPECT_EQ(dc.IntersectClipRect(clip), SIMPLEREGION);
    dc.FillSolidRect(CRect(0, 0, 20, 4), kRed);  // wholly outside
    dc.MoveTo(0, 8);
    dc.LineTo(20, 8);
    dc.MoveTo(0, 0);
    dc.LineTo(19, 19);
    dc.Draw3dRect(CRect(0, 0, 20, 20), kBlue, kBlue);
    CRect edge(0, 0, 20, 20);
    dc.DrawEdge(edge, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    dc.SetBkColor(kGreen);
    dc.DrawText("WWWWWW", CRect(0, 0, 20, 20), DT_SINGLELINE);
  });
  const CRect ink = InkBox(img, kWhite);
  EXPECT_FALSE(ink.IsRectEmpty());
  EXPECT_GE(ink.left, clip.left);
  EXPECT_GE(ink.top, clip.top);
  EXPECT_LE(ink.right, clip.right);
  EXPECT_LE(ink.bottom, clip.bottom);
}

TEST(DcPixelsClip, ClipsIntersectAndAnEmptyClipDrawsNothing) {
  const QImage both = Paint(20, 20, kWhite, [](CDC& dc) {
    dc.IntersectClipRect(0, 0, 10, 10);
    EXPECT_EQ(dc.IntersectClipRect(5, 5, 20, 20), SIMPLEREGION);
    dc.FillSolidRect(CRect(0, 0, 20, 20), kRed);
  });
  EXPECT_EQ(InkBox(both, kWhite), CRect(5, 5, 10, 10));
  const QImage none = Paint(20, 20, kWhite, [](CDC& dc) {
    dc.IntersectClipRect(0, 0, 5, 5);
    EXPECT_EQ(dc.IntersectClipRect(10, 10, 15, 15), NULLREGION);
    dc.FillSolidRect(CRect(0, 0, 20, 20), kRed);
  });
  EXPECT_EQ(InkBox(none, kWhite), CRect());
}

TEST(DcPixelsSavedState, RestoreDcBringsBackColoursPenAndBrush) {
  COLORREF text = 0;
  COLORREF bk = 0;
  int mode = 0;
  const QImage img = Paint(20, 10, kWhite, [&](CDC& dc) {
    dc.SetTextColor(kRed);
    dc.SetBkColor(kGreen);
    dc.SetBkMode(TRANSPARENT);
    dc.SelectObject(CPen(PS_SOLID, 1, kBlue));
    dc.SelectObject(CBrush(kRed));
    const int saved = dc.SaveDC();
    dc.SetTextColor(kBlack);
    dc.SetBkColor(kBlack);
    dc.SetBkMode(OPAQUE);
    dc.SelectObject(CPen(PS_SOLID, 1, kGreen));
    dc.SelectStockObject(NULL_BRUSH);
    ASSERT_TRUE(dc.RestoreDC(saved));
    text = dc.GetTextColor();
    bk = dc.GetBkColor();
    mode = dc.GetBkMode();
    EXPECT_EQ(dc.GetCurrentPen().Color(), kBlue);
    EXPECT_FALSE(dc.GetCurrentBrush().IsHollow());
    dc.Rectangle(0, 0, 10, 10);
  });
  EXPECT_EQ(text, kRed);
  EXPECT_EQ(bk, kGreen);
  EXPECT_EQ(mode, TRANSPARENT);
  EXPECT_EQ(At(img, 0, 0), kBlue) << "outline in the restored pen";
  EXPECT_EQ(At(img, 5, 5), kRed) << "inside in the restored brush";
  EXPECT_EQ(At(img, 12, 5), kWhite);
}
