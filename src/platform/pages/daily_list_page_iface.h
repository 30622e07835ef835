#pragma once
// The daily list page as the download road sees it (registry slot DataDisplay).

class IDailyListPage {
 public:
  virtual ~IDailyListPage() = default;
  // Today's list has just been stored.
  virtual void OnTodayDataDownloaded() = 0;
};
