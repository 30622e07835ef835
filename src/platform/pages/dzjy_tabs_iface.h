#pragma once
// The block-trade window's page tabs as other pages call them (registry slot
// DzjyTabCtrl): page 0 is the list page "上榜明细", page 1 the ranking "买卖排行榜".

class IDzjyTabs {
 public:
  virtual ~IDzjyTabs() = default;
  // Shows page `index`; the previous index, or -1 (nothing changes) when out of range.
  virtual int SetCurSel(int index) = 0;
  virtual int GetCurSel() const = 0;
};
