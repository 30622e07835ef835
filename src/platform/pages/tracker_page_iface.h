#pragma once
// The tracker page as other pages call it (registry slot Tracker). Each call first
// brings the tracker's tab to the front, so that the user sees the result.

#include <string>

class ITrackerPage {
 public:
  virtual ~ITrackerPage() = default;
  // Lists every listing of that branch.
  virtual void OnTrackBranch(const std::string& branchName) = 0;
  // Lists the listings of one stock, by code or by name.
  virtual void OnTrackByStockCode(const std::string& stockCode) = 0;
  virtual void OnTrackByStockName(const std::string& stockName) = 0;
};
