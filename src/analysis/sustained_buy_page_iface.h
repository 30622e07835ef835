#pragma once
// The continuous-buying page as the stock activity ranking calls it (slot
// ContinuousBuy).

class ISustainedBuyPage {
 public:
  virtual ~ISustainedBuyPage() = default;
  // g_StockActivity holds the count asked for: scan the counted stocks.
  virtual void OnStocksReady() = 0;
};
