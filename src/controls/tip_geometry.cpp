#include "controls/tip_geometry.h"

#include <algorithm>

#include "storage/charset.h"

void TipGeometry::Measure() {
  m_nHeight = m_nLines * (m_nRowHeight - 1) + 12;
  if (m_nRowHeight == kShortRowHeight) {
    m_nWidth = m_nMaxLen * 7 + 10;
  } else {
    m_nWidth = m_nMaxLen * 15 / 2 + 10;  // the integer part of length * 7.5
  }
}

int TipGeometry::CalcSize(const std::vector<CString>& lines) {
  m_nLines = static_cast<int>(lines.size());
  m_nMaxLen = 0;
  for (const CString& line : lines) m_nMaxLen = std::max(m_nMaxLen, static_cast<int>(GbkByteLength(line)));
  Measure();
  return m_nWidth;
}

CRect TipGeometry::CalcPosition(const CRect& client, const CRect& control) {
  if (m_nRowHeight != kRowHeight) {
    // The size was measured for 12-pixel rows by an earlier placement.
    m_nRowHeight = kRowHeight;
    Measure();
  }

  CRect tip;
  const int y = control.bottom - control.Height() / 2;
  if (y + m_nHeight < client.bottom) {
    tip.top = y;
    tip.bottom = y + m_nHeight;
  } else {
    if (client.Height() < m_nHeight) {
      m_nRowHeight = kShortRowHeight;
      Measure();
    }
    tip.bottom = client.bottom - 1;
    tip.top = tip.bottom - m_nHeight;
  }

  const int x = control.right - control.Width() / 2;
  if (x + m_nWidth <= client.right) {
    tip.left = x;
    tip.right = x + m_nWidth;
  } else if (x - m_nWidth > client.left) {
    tip.left = x - m_nWidth;
    tip.right = x;
  } else {
    tip.left = client.left + 1;
    tip.right = tip.left + m_nWidth;
  }
  return tip;
}

void TipGeometry::Clear() {
  m_nWidth = 0;
  m_nHeight = 0;
}
