#include "platform/gdi_types.h"

#include <utility>

void CRect::SetRect(int l, int t, int r, int b) {
  left = l;
  top = t;
  right = r;
  bottom = b;
}

void CRect::DeflateRect(int dx, int dy) { DeflateRect(dx, dy, dx, dy); }

void CRect::DeflateRect(const CRect& amounts) {
  DeflateRect(amounts.left, amounts.top, amounts.right, amounts.bottom);
}

void CRect::DeflateRect(int l, int t, int r, int b) {
  left += l;
  top += t;
  right -= r;
  bottom -= b;
}

void CRect::InflateRect(int dx, int dy) { DeflateRect(-dx, -dy, -dx, -dy); }

void CRect::InflateRect(const CRect& amounts) {
  DeflateRect(-amounts.left, -amounts.top, -amounts.right, -amounts.bottom);
}

void CRect::InflateRect(int l, int t, int r, int b) { DeflateRect(-l, -t, -r, -b); }

void CRect::OffsetRect(int dx, int dy) {
  left += dx;
  right += dx;
  top += dy;
  bottom += dy;
}

void CRect::NormalizeRect() {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
}

COLORREF GetSysColor(int index) {
  switch (index) {
    case COLOR_BTNFACE:
      return RGB(236, 233, 216);
    case COLOR_BTNSHADOW:
    case COLOR_GRAYTEXT:
      return RGB(172, 168, 153);
    case COLOR_BTNHIGHLIGHT:
    case COLOR_WINDOW:
    case COLOR_MENU:
    case COLOR_HIGHLIGHTTEXT:
      return RGB(255, 255, 255);
    case COLOR_3DLIGHT:
      return RGB(241, 239, 226);
    case COLOR_3DDKSHADOW:
      return RGB(113, 111, 100);
    case COLOR_BTNTEXT:
    case COLOR_WINDOWTEXT:
    case COLOR_MENUTEXT:
      return RGB(0, 0, 0);
    case COLOR_HIGHLIGHT:
      return RGB(49, 106, 197);
    default:
      return RGB(0, 0, 0);
  }
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXEDGE:
    case SM_CYEDGE:
      return 2;
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK:
      return 13;
    default:
      return 0;
  }
}
