#pragma once
// The block-trade list page as other pages call it (registry slot DzjyList). Each call
// first brings the block-trade tab and its list page to the front, and leaves the
// page's search text as it is.

#include <string>

class IDzjyListPage {
 public:
  virtual ~IDzjyListPage() = default;
  // The block trades of one stock, every stored day.
  virtual void ShowStockTrades(const std::string& stockCode) = 0;
  // The trades bought by one branch within the page's last N days.
  virtual void ShowBuyerTrades(const std::string& branchName) = 0;
  // The trades sold by one branch within the page's last N days.
  virtual void ShowSellerTrades(const std::string& branchName) = 0;
};
