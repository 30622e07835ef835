#pragma once
// Colours, points, sizes and rectangles as the drawing code is written: colours are
// 0x00BBGGRR values and a rectangle's right and bottom edges lie outside it.

#include "platform/win_types.h"

constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>(static_cast<BYTE>(r)) |
         (static_cast<COLORREF>(static_cast<BYTE>(g)) << 8) |
         (static_cast<COLORREF>(static_cast<BYTE>(b)) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFFu); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFFu); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFFu); }

struct CPoint {
  int x = 0;
  int y = 0;

  constexpr CPoint() = default;
  constexpr CPoint(int px, int py) : x(px), y(py) {}
  void Offset(int dx, int dy) {
    x += dx;
    y += dy;
  }
  friend constexpr bool operator==(const CPoint&, const CPoint&) = default;
};

struct CSize {
  int cx = 0;
  int cy = 0;

  constexpr CSize() = default;
  constexpr CSize(int w, int h) : cx(w), cy(h) {}
  friend constexpr bool operator==(const CSize&, const CSize&) = default;
};

struct CRect {
  int left = 0;
  int top = 0;
  int right = 0;   // first column outside
  int bottom = 0;  // first row outside

  constexpr CRect() = default;
  constexpr CRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
  constexpr CRect(CPoint topLeft, CSize size)
      : left(topLeft.x), top(topLeft.y), right(topLeft.x + size.cx), bottom(topLeft.y + size.cy) {}

  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
  constexpr CSize Size() const { return {Width(), Height()}; }
  constexpr CPoint TopLeft() const { return {left, top}; }
  constexpr CPoint BottomRight() const { return {right, bottom}; }
  constexpr CPoint CenterPoint() const { return {(left + right) / 2, (top + bottom) / 2}; }
  // Empty when it covers no pixel (also when inverted).
  constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
  // The right and bottom edges are outside.
  constexpr bool PtInRect(CPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }

  void SetRect(int l, int t, int r, int b);
  void SetRectEmpty() { SetRect(0, 0, 0, 0); }
  void DeflateRect(int dx, int dy);
  void DeflateRect(const CRect& amounts);  // each side by that side's amount
  void DeflateRect(int l, int t, int r, int b);
  void InflateRect(int dx, int dy);
  void InflateRect(const CRect& amounts);
  void InflateRect(int l, int t, int r, int b);
  void OffsetRect(int dx, int dy);
  void OffsetRect(CPoint delta) { OffsetRect(delta.x, delta.y); }
  void NormalizeRect();  // swaps inverted edges

  friend constexpr bool operator==(const CRect&, const CRect&) = default;
};

// System colour indexes.
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;
constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
constexpr int COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT;

// System metrics indexes.
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
constexpr int SM_CXMENUCHECK = 71;
constexpr int SM_CYMENUCHECK = 72;

// A fixed table, the same on every machine; an unknown index gives black.
COLORREF GetSysColor(int index);
// The metrics the drawing code uses; 0 for any other index.
int GetSystemMetrics(int index);
