#pragma once
// Size and place of a multi-line tip shown next to a control of a page. Line
// lengths are counted in GBK bytes (a Chinese character is two), which is what the
// 7.5-pixel column width below was chosen for.

#include <vector>

#include "platform/gdi_types.h"
#include "platform/win_types.h"

class TipGeometry {
 public:
  static constexpr int kRowHeight = 14;       // the usual line height
  static constexpr int kShortRowHeight = 12;  // when the page is lower than the tip

  // Measures a tip at the current row height: line count, longest line in GBK
  // bytes, height = lines * (row - 1) + 12, width = int(longest * 7.5) + 10.
  // Returns the width.
  int CalcSize(const std::vector<CString>& lines);

  // Places the measured tip for a control; both rectangles are in the page's client
  // coordinates. The row height goes back to 14 first (with the size re-measured if
  // an earlier placement had switched to 12). Vertically the tip starts at the
  // control's middle when it ends above the page's bottom; otherwise it ends one
  // pixel above the bottom, and a page lower than the tip switches to 12-pixel rows.
  // Horizontally it starts at the control's middle when it fits, opens to the left
  // when that stays right of the page's left edge, else starts one pixel inside it.
  CRect CalcPosition(const CRect& client, const CRect& control);

  // No tip shown: size 0 x 0.
  void Clear();
  bool HasSize() const { return m_nWidth != 0 && m_nHeight != 0; }

  int Height() const { return m_nHeight; }
  int Width() const { return m_nWidth; }
  int RowHeight() const { return m_nRowHeight; }
  int Lines() const { return m_nLines; }
  int MaxLen() const { return m_nMaxLen; }

 private:
  void Measure();  // height and width from lines, longest line and row height

  int m_nHeight = 0;
  int m_nWidth = 0;
  int m_nRowHeight = kRowHeight;
  int m_nLines = 0;
  int m_nMaxLen = 0;
};
