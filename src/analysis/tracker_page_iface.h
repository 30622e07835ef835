#pragma once
// The tracker page as other pages call it (registry slot Tracker). Each call first
// brings the tracker's tab to the front, so that the user sees the result.

#include <string>

class ITrackerPage {
 public:
  virtual ~ITrackerPage() = default;
  // Lists every listing of that branch.
  virtual void SearchBranch(const std::string& branchName) = 0;
  // Lists the listings of one stock, by code or by name.
  virtual void SearchStockCode(const std::string& stockCode) = 0;
  virtual void SearchStockName(const std::string& stockName) = 0;
};
