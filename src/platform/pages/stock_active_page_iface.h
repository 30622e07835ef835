#pragma once
// The stock activity ranking page as others call it (slot StockActivePage).

class IStockActivePage {
 public:
  virtual ~IStockActivePage() = default;
  // Today's list has just been stored: rank again with the chosen N and reload the
  // day totals and the recent days.
  virtual void OnTodayDataDownloaded() = 0;
  // The continuous-buying page asks for each stock's listings over the last `days`
  // trading days; when counted, the page calls that page's OnStocksReady (slot
  // ContinuousBuy). The combo and the saved choice stay as they are. False when the
  // request was refused (a ranking still runs) and nothing will answer it.
  virtual bool OnRankRequest(int days) = 0;
};
