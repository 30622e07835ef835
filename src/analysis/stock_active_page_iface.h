#pragma once
// The stock activity ranking page as the download road sees it (slot StockActivePage).

class IStockActivePage {
 public:
  virtual ~IStockActivePage() = default;
  // Today's list has just been stored: reload the day totals.
  virtual void OnTodayDataDownloaded() = 0;
};
