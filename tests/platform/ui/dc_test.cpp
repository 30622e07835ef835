#include "platform/ui/dc.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <functional>

#include "platform/ui/qt_convert.h"

#include "../../support/paint_probe.h"

using namespace paint_probe;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

}  // namespace

TEST(QtConvert, ColoursAndRectangles) {
  EXPECT_EQ(RGB(1, 2, 3), 0x030201u);
  EXPECT_EQ(ToQColor(RGB(1, 2, 3)), QColor(1, 2, 3));
  EXPECT_EQ(FromQColor(QColor(1, 2, 3)), RGB(1, 2, 3));
  EXPECT_EQ(FromQColor(QColor(1, 2, 3, 10)), RGB(1, 2, 3)) << "alpha is not part of a COLORREF";
  const QRect q = ToQRect(CRect(0, 0, 10, 10));
  EXPECT_EQ(q.width(), 10);
  EXPECT_EQ(q.right(), 9);
  EXPECT_EQ(FromQRect(QRect(5, 6, 7, 8)), CRect(5, 6, 12, 14));
  EXPECT_EQ(FromQString(ToQString("中文 abc")), "中文 abc");
  EXPECT_EQ(ToQString("中").size(), 1);
}

TEST(DeviceContext, FillSolidRectFillsExactlyItsPixels) {
  COLORREF bkAfter = 0;
  const QImage img = Paint(12, 12, kWhite, [&](CDC& dc) {
    dc.FillSolidRect(CRect(2, 3, 5, 7), kRed);
    bkAfter = dc.GetBkColor();
  });
  EXPECT_EQ(CountPixels(img, kRed), 3 * 4);
  EXPECT_EQ(At(img, 2, 3), kRed);
  EXPECT_EQ(At(img, 4, 6), kRed);
  EXPECT_EQ(At(img, 5, 3), kWhite);
  EXPECT_EQ(At(img, 2, 7), kWhite);
  EXPECT_EQ(At(img, 1, 3), kWhite);
  EXPECT_EQ(bkAfter, kRed) << "the fill leaves the background colour set";
}

TEST(DeviceContext, FillSolidRectByOriginAndSizeAndInverted) {
  const QImage img = Paint(10, 10, kWhite, [](CDC& dc) {
    dc.FillSolidRect(1, 1, 2, 2, kRed);
    dc.FillSolidRect(8, 0, -1, 3, kBlue);  // the column left of x = 8
  });
  EXPECT_EQ(CountPixels(img, kRed), 4);
  EXPECT_EQ(CountPixels(img, kBlue), 3);
  EXPECT_EQ(At(img, 7, 0), kBlue);
  EXPECT_EQ(At(img, 8, 0), kWhite);
}

TEST(DeviceContext, RectangleLeavesItsRightAndBottomEdgeOut) {
  const QImage img = Paint(12, 12, kRed, [](CDC& dc) { dc.Rectangle(0, 0, 10, 10); });
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(At(img, 0, i), kBlack) << "left column, row " << i;
    EXPECT_EQ(At(img, 9, i), kBlack) << "right column, row " << i;
    EXPECT_EQ(At(img, i, 0), kBlack) << "top row, column " << i;
    EXPECT_EQ(At(img, i, 9), kBlack) << "bottom row, column " << i;
    EXPECT_EQ(At(img, 10, i), kRed) << "column 10 is outside, row " << i;
    EXPECT_EQ(At(img, i, 10), kRed) << "row 10 is outside, column " << i;
  }
  EXPECT_EQ(At(img, 1, 1), kWhite) << "the default brush is white";
  EXPECT_EQ(CountPixels(img, kWhite), 8 * 8);
}

TEST(DeviceContext, RectangleWithPenAndBrushObjects) {
  const QImage img = Paint(12, 12, kWhite, [](CDC& dc) {
    const CPen oldPen = dc.SelectObject(CPen(PS_SOLID, 1, kBlue));
    EXPECT_EQ(oldPen.Color(), kBlack);
    dc.SelectObject(CBrush::Hollow());
    dc.Rectangle(CRect(2, 2, 6, 6));
    dc.SelectStockObject(NULL_PEN);
    dc.SelectObject(CBrush(kRed));
    dc.Rectangle(7, 7, 11, 11);  // without a pen: one pixel smaller each way
  });
  EXPECT_EQ(CountPixels(img, kBlue), 12);
  EXPECT_EQ(At(img, 3, 3), kWhite) << "a hollow brush leaves the inside alone";
  EXPECT_EQ(CountPixels(img, kRed), 9);
  EXPECT_EQ(At(img, 10, 10), kWhite);
}

TEST(DeviceContext, LineToLeavesItsEndPixel) {
  const QImage img = Paint(12, 12, kWhite, [](CDC& dc) {
    dc.MoveTo(0, 5);
    dc.LineTo(10, 5);
    dc.MoveTo(11, 0);
    dc.LineTo(11, 4);
  });
  for (int x = 0; x < 10; ++x) EXPECT_EQ(At(img, x, 5), kBlack) << "column " << x;
  EXPECT_EQ(At(img, 10, 5), kWhite);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(At(img, 11, y), kBlack) << "row " << y;
  EXPECT_EQ(At(img, 11, 4), kWhite);
  EXPECT_EQ(CountPixels(img, kBlack), 14);
}

TEST(DeviceContext, LinesBackwardsDiagonalAndTracked) {
  CPoint before;
  CPoint after;
  const QImage img = Paint(12, 12, kWhite, [&](CDC& dc) {
    dc.MoveTo(9, 1);
    dc.LineTo(4, 1);  // right to left: 9..5
    dc.MoveTo(0, 3);
    before = dc.MoveTo(CPoint(0, 3));
    dc.LineTo(5, 8);  // diagonal: (0,3)..(4,7)
    after = dc.GetCurrentPosition();
    dc.LineTo(5, 8);  // no length: nothing
  });
  EXPECT_EQ(before, CPoint(0, 3));
  EXPECT_EQ(after, CPoint(5, 8));
  for (int x = 5; x <= 9; ++x) EXPECT_EQ(At(img, x, 1), kBlack);
  EXPECT_EQ(At(img, 4, 1), kWhite);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(At(img, i, 3 + i), kBlack) << "diagonal pixel " << i;
  EXPECT_EQ(At(img, 5, 8), kWhite);
  EXPECT_EQ(CountPixels(img, kBlack), 10);
}

TEST(DeviceContext, NullPenMovesWithoutDrawing) {
  const QImage img = Paint(8, 8, kWhite, [](CDC& dc) {
    dc.SelectStockObject(NULL_PEN);
    dc.MoveTo(0, 0);
    dc.LineTo(7, 7);
    dc.LineTo(0, 7);
  });
  EXPECT_EQ(CountPixels(img, kWhite), 64);
}

TEST(DeviceContext, Draw3dRectCorners) {
  const QImage img = Paint(10, 10, kWhite, [](CDC& dc) { dc.Draw3dRect(CRect(1, 1, 6, 5), kRed, kBlue); });
  EXPECT_EQ(At(img, 1, 1), kRed);
  EXPECT_EQ(At(img, 4, 1), kRed);
  EXPECT_EQ(At(img, 5, 1), kBlue) << "top-right corner";
  EXPECT_EQ(At(img, 1, 4), kBlue) << "bottom-left corner";
  EXPECT_EQ(At(img, 5, 4), kBlue);
  EXPECT_EQ(At(img, 1, 3), kRed);
  EXPECT_EQ(At(img, 2, 2), kWhite);
  EXPECT_EQ(At(img, 6, 1), kWhite);
  EXPECT_EQ(CountPixels(img, kRed), 4 + 3 - 1);   // top and left share (1,1)
  EXPECT_EQ(CountPixels(img, kBlue), 4 + 5 - 1);  // right and bottom share (5,4)
}

TEST(DeviceContext, DrawEdgeSunkenAdjustsByTwo) {
  CRect rect(0, 0, 8, 8);
  const QImage img = Paint(10, 10, kWhite, [&](CDC& dc) { dc.DrawEdge(rect, EDGE_SUNKEN, BF_RECT | BF_ADJUST); });
  EXPECT_EQ(rect, CRect(2, 2, 6, 6));
  EXPECT_EQ(At(img, 0, 3), GetSysColor(COLOR_BTNSHADOW)) << "outer left";
  EXPECT_EQ(At(img, 7, 3), GetSysColor(COLOR_BTNHIGHLIGHT)) << "outer right";
  EXPECT_EQ(At(img, 1, 3), GetSysColor(COLOR_3DDKSHADOW)) << "inner left";
  EXPECT_EQ(At(img, 6, 3), GetSysColor(COLOR_3DLIGHT)) << "inner right";
  EXPECT_EQ(At(img, 3, 1), GetSysColor(COLOR_3DDKSHADOW)) << "inner top";
  EXPECT_EQ(At(img, 3, 3), kWhite) << "no BF_MIDDLE";
  EXPECT_EQ(At(img, 8, 3), kWhite);
}

TEST(DeviceContext, DrawEdgeRaisedSidesAndMiddle) {
  CRect rect(0, 0, 6, 6);
  const QImage img = Paint(8, 8, kRed, [&](CDC& dc) { dc.DrawEdge(rect, EDGE_RAISED, BF_TOP | BF_LEFT | BF_MIDDLE); });
  EXPECT_EQ(rect, CRect(0, 0, 6, 6)) << "unchanged without BF_ADJUST";
  EXPECT_EQ(At(img, 3, 0), GetSysColor(COLOR_3DLIGHT));
  EXPECT_EQ(At(img, 3, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(At(img, 5, 5), GetSysColor(COLOR_BTNFACE)) << "no right or bottom edge: the middle reaches them";
  EXPECT_EQ(At(img, 6, 5), kRed);
}

TEST(DeviceContext, DrawEdgeEtched) {
  CRect rect(0, 0, 6, 6);
  const QImage img = Paint(6, 6, kRed, [&](CDC& dc) { dc.DrawEdge(rect, EDGE_ETCHED, BF_RECT); });
  EXPECT_EQ(At(img, 2, 0), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(At(img, 2, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(At(img, 2, 4), GetSysColor(COLOR_BTNSHADOW)) << "inner bottom of a raised inner ring";
}

TEST(DeviceContext, ClipAndSavedStates) {
  COLORREF restoredText = 0;
  const QImage img = Paint(10, 10, kWhite, [&](CDC& dc) {
    dc.SetTextColor(kRed);
    const int depth = dc.SaveDC();
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(dc.IntersectClipRect(2, 2, 5, 5), SIMPLEREGION);
    dc.SetTextColor(kBlue);
    dc.FillSolidRect(CRect(0, 0, 10, 10), kBlack);
    EXPECT_EQ(dc.SaveDC(), 2);
    EXPECT_EQ(dc.IntersectClipRect(7, 7, 9, 9), NULLREGION);
    EXPECT_TRUE(dc.RestoreDC(depth));
    EXPECT_FALSE(dc.RestoreDC(-1)) << "both states are gone";
    restoredText = dc.GetTextColor();
    dc.FillSolidRect(CRect(9, 9, 10, 10), kBlue);
  });
  EXPECT_EQ(CountPixels(img, kBlack), 9);
  EXPECT_EQ(At(img, 2, 2), kBlack);
  EXPECT_EQ(At(img, 5, 5), kWhite);
  EXPECT_EQ(restoredText, kRed);
  EXPECT_EQ(At(img, 9, 9), kBlue) << "the clip left with the restored state";
}

TEST(DeviceContext, RestoreDCToAMiddleDepth) {
  Paint(2, 2, kWhite, [](CDC& dc) {
    dc.SetBkMode(TRANSPARENT);
    dc.SaveDC();
    dc.SetBkMode(OPAQUE);
    dc.SaveDC();
    dc.SetBkMode(TRANSPARENT);
    dc.SaveDC();
    EXPECT_FALSE(dc.RestoreDC(4));
    EXPECT_FALSE(dc.RestoreDC(0));
    EXPECT_TRUE(dc.RestoreDC(2));
    EXPECT_EQ(dc.GetBkMode(), OPAQUE);
    EXPECT_TRUE(dc.RestoreDC(-1));
    EXPECT_EQ(dc.GetBkMode(), TRANSPARENT);
  });
}

TEST(DeviceContext, FrameRectAndFillRect) {
  const QImage img = Paint(8, 8, kWhite, [](CDC& dc) {
    dc.FillRect(CRect(0, 0, 8, 8), CBrush(kBlue));
    dc.FrameRect(CRect(1, 1, 5, 5), CBrush(kRed));
    dc.FillRect(CRect(0, 0, 8, 8), CBrush::Hollow());
  });
  EXPECT_EQ(CountPixels(img, kRed), 12);
  EXPECT_EQ(At(img, 2, 2), kBlue);
  EXPECT_EQ(At(img, 5, 1), kBlue);
}

TEST(DeviceContext, FocusRectDrawnTwiceVanishes) {
  QImage img(10, 10, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter painter(&img);
  {
    CDC dc(painter);
    dc.DrawFocusRect(CRect(1, 1, 9, 9));
    painter.end();
    EXPECT_EQ(CountPixels(img, kBlack), 14) << "every other pixel of a 28-pixel border";
    EXPECT_EQ(At(img, 1, 1), kBlack);
    EXPECT_EQ(At(img, 2, 1), kWhite);
    painter.begin(&img);
  }
  {
    CDC dc(painter);
    dc.DrawFocusRect(CRect(1, 1, 9, 9));
  }
  painter.end();
  EXPECT_EQ(CountPixels(img, kWhite), 100);
}

TEST(DeviceContext, OpaqueTextFillsItsExtentTransparentDoesNot) {
  CSize extent;
  const QImage opaque = Paint(60, 30, kWhite, [&](CDC& dc) {
    dc.SetBkColor(kBlue);
    dc.SetTextColor(kRed);
    extent = dc.GetTextExtent("ab");
    dc.TextOut(2, 2, "ab");
  });
  ASSERT_GT(extent.cx, 0);
  EXPECT_EQ(At(opaque, 2, 2), kBlue);
  EXPECT_EQ(At(opaque, 2 + extent.cx - 1, 2 + extent.cy - 1), kBlue);
  EXPECT_EQ(At(opaque, 2 + extent.cx, 2), kWhite);
  const QImage transparent = Paint(60, 30, kWhite, [](CDC& dc) {
    dc.SetBkMode(TRANSPARENT);
    dc.SetBkColor(kBlue);
    dc.TextOut(2, 2, "ab");
  });
  EXPECT_EQ(CountPixels(transparent, kBlue), 0);
  EXPECT_LT(CountPixels(transparent, kWhite), 60 * 30) << "the text itself was drawn";
}

TEST(DeviceContext, DrawTextMeasuresAndAligns) {
  Paint(200, 100, kWhite, [](CDC& dc) {
    dc.SelectObject(CFont(MakeFont(12, FW_NORMAL, "宋体")));
    const CSize one = dc.GetTextExtent("abcd");
    CRect calc(10, 10, 10, 10);
    const int height = dc.DrawText("abcd", calc, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(height, one.cy);
    EXPECT_EQ(calc, CRect(10, 10, 10 + one.cx, 10 + one.cy));

    CRect wrapped(0, 0, one.cx + 2, 0);
    const int wrappedHeight = dc.DrawText("abcd abcd abcd", wrapped, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(wrappedHeight, 3 * one.cy) << "three lines at the given width";
    EXPECT_LE(wrapped.Width(), one.cx + 2);

    CRect lines(0, 0, 0, 0);
    EXPECT_EQ(dc.DrawText("a\r\nb", lines, DT_CALCRECT), 2 * one.cy) << "CRLF is one line break";
    CRect empty(5, 5, 50, 50);
    EXPECT_EQ(dc.DrawText("", empty, DT_CALCRECT), 0);
    EXPECT_EQ(empty, CRect(5, 5, 5, 5));

    CRect prefixed(0, 0, 0, 0);
    CRect plain(0, 0, 0, 0);
    dc.DrawText("&&ab", prefixed, DT_SINGLELINE | DT_CALCRECT);
    dc.DrawText("&ab", plain, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(prefixed.Width(), plain.Width()) << "\"&&\" shows as one \"&\"";
  });
}

TEST(DeviceContext, DrawTextRightAlignedAndCentredVertically) {
  int vcentreResult = 0;
  const QImage img = Paint(100, 40, kWhite, [&](CDC& dc) {
    dc.SelectObject(CFont(MakeFont(12, FW_NORMAL, "宋体")));
    dc.SetBkColor(kBlue);
    dc.DrawText("ab", CRect(0, 0, 100, 40), DT_RIGHT | DT_SINGLELINE);
    vcentreResult = dc.DrawText("ab", CRect(0, 0, 40, 40), DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  });
  EXPECT_EQ(At(img, 99, 0), kBlue) << "right-aligned text ends at the right edge";
  EXPECT_EQ(At(img, 50, 0), kWhite);
  EXPECT_EQ(At(img, 0, 0), kWhite) << "centred vertically: the top stays clear";
  EXPECT_EQ(At(img, 0, 20), kBlue);
  EXPECT_GT(vcentreResult, 20);
  EXPECT_LT(vcentreResult, 40);
}

TEST(DeviceContext, DrawTextClipsUnlessNoClip) {
  const QImage clipped = Paint(60, 20, kWhite, [](CDC& dc) {
    dc.SetBkColor(kBlue);
    dc.DrawText("abcdefgh", CRect(0, 0, 10, 20), DT_SINGLELINE);
  });
  EXPECT_EQ(At(clipped, 12, 2), kWhite);
  const QImage unclipped = Paint(60, 20, kWhite, [](CDC& dc) {
    dc.SetBkColor(kBlue);
    dc.DrawText("abcdefgh", CRect(0, 0, 10, 20), DT_SINGLELINE | DT_NOCLIP);
  });
  EXPECT_EQ(At(unclipped, 12, 2), kBlue);
}

TEST(Fonts, SongTiResolvesToAMonoCjkFaceWithDoubleWidthGlyphs) {
  EXPECT_EQ(ResolveFontFace("宋体"), kMonoCjkFace);
  EXPECT_EQ(ResolveFontFace("SimSun"), kMonoCjkFace);
  EXPECT_EQ(ResolveFontFace("simsun"), kMonoCjkFace);
  EXPECT_EQ(ResolveFontFace("新宋体"), kMonoCjkFace);
  EXPECT_EQ(ResolveFontFace("Arial"), "Arial");

  const QFont font = MakeFont(12, FW_NORMAL, "宋体");
  const QFontInfo info(font);
  ASSERT_EQ(info.family(), QString::fromUtf8(kMonoCjkFace))
      << "the font \"" << kMonoCjkFace << "\" is missing: install the package fonts-noto-cjk";
  EXPECT_EQ(info.pixelSize(), 12);
  const QFontMetrics fm(font);
  EXPECT_GT(fm.horizontalAdvance(QStringLiteral("a")), 0);
  EXPECT_EQ(fm.horizontalAdvance(QStringLiteral("中")), 2 * fm.horizontalAdvance(QStringLiteral("a")));
  EXPECT_EQ(fm.horizontalAdvance(QStringLiteral("中文ab")), 6 * fm.horizontalAdvance(QStringLiteral("a")));
}

TEST(Fonts, ApplicationFontAndWeights) {
  const QFont app = ApplicationFont();
  EXPECT_EQ(app.family(), QString::fromUtf8(kMonoCjkFace));
  EXPECT_EQ(app.pointSize(), 9);
  const QFontMetrics fm(app);
  EXPECT_EQ(fm.horizontalAdvance(QStringLiteral("中")), 2 * fm.horizontalAdvance(QStringLiteral("a")));
  EXPECT_EQ(MakeFont(-14, FW_BOLD, "宋体").weight(), QFont::Bold);
  EXPECT_EQ(MakeFont(-14, FW_BOLD, "宋体").pixelSize(), 14);
  EXPECT_EQ(MakeFont(0, 0, "").pixelSize(), 12);
  CFont f;
  EXPECT_TRUE(f.CreateFont(16, 0, 0, 0, FW_NORMAL, TRUE, FALSE, 0, 0, 0, 0, 0, 0, "SimSun"));
  EXPECT_TRUE(f.Font().italic());
  EXPECT_EQ(f.Font().pixelSize(), 16);
  EXPECT_FALSE(f.CreatePointFont(0, "宋体"));
  EXPECT_TRUE(f.CreatePointFont(90, "宋体"));
  EXPECT_EQ(f.Font().pointSize(), 9);
}
