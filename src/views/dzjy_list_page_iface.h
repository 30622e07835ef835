#pragma once
// The block-trade list page as other pages call it (registry slot DzjyList). Each call
// first brings the block-trade tab and its list page to the front.

#include <string>

class IDzjyListPage {
 public:
  virtual ~IDzjyListPage() = default;
  // The block trades of one stock.
  virtual void ShowStockTrades(const std::string& stockCode) = 0;
};
