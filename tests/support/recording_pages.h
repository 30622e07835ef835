#pragma once
// Recording stand-ins for the features pages call through the registry: the tracker,
// the block-trade list, the charting program's block and window link, and the status
// bar. Each remembers every call in order; the block's answers can be chosen.

#include <string>
#include <utility>
#include <vector>

#include "platform/pages/main_window_iface.h"
#include "platform/pages/chart_link_iface.h"
#include "platform/clipboard.h"
#include "platform/page_registry.h"
#include "platform/pages/dzjy_list_page_iface.h"
#include "platform/pages/tracker_page_iface.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"

// The program-wide state a page test starts from: `dispatcher`, no workers, not
// closing, the loader's default settings (empty watched slots, the default amount
// bands) and a fresh clipboard record.
inline void ResetPageTestState(IUiDispatcher& dispatcher) {
  PageRegistry::Instance().Restart(&dispatcher);
  WorkerRegistry::Instance().Restart();
  g_bClosing = false;
  g_Settings = CSettings{};
  for (auto& name : g_Settings.YYB_Name) name = "XXX";
  g_Settings.BuyMoney_Color.fill(200);
  g_Settings.SellMoney_Color.fill(200);
  ClipboardHook::Instance().StartRecording();
  ClipboardHook::Instance().Clear();
}

class RecordingTracker final : public ITrackerPage {
 public:
  void OnTrackBranch(const std::string& branchName) override { branches.push_back(branchName); }
  void OnTrackByStockCode(const std::string& stockCode) override { codes.push_back(stockCode); }
  void OnTrackByStockName(const std::string& stockName) override { names.push_back(stockName); }
  int Calls() const { return static_cast<int>(branches.size() + codes.size() + names.size()); }

  std::vector<std::string> branches;
  std::vector<std::string> codes;
  std::vector<std::string> names;
};

class RecordingDzjyList final : public IDzjyListPage {
 public:
  void ShowStockTrades(const std::string& stockCode) override { codes.push_back(stockCode); }
  void ShowBuyerTrades(const std::string& branchName) override { buyers.push_back(branchName); }
  void ShowSellerTrades(const std::string& branchName) override { sellers.push_back(branchName); }
  std::vector<std::string> codes;
  std::vector<std::string> buyers;
  std::vector<std::string> sellers;
};

class RecordingChartBlock final : public ChartBlock {
 public:
  // "register", "add:<c1>,<c2>,...", "append:<code>", in calling order.
  bool RegisterChartBlock() override {
    calls.push_back("register");
    return registerResult;
  }
  bool AddStockList(const std::vector<std::string>& codes) override {
    std::string call = "add:";
    for (std::size_t i = 0; i < codes.size(); ++i) call += (i ? "," : "") + codes[i];
    calls.push_back(call);
    return writeResult;
  }
  bool AppendOneStock(const std::string& code) override {
    calls.push_back("append:" + code);
    return writeResult;
  }

  bool registerResult = true;
  bool writeResult = true;
  std::vector<std::string> calls;
};

class RecordingChartLink final : public ChartLink {
 public:
  void FindChartWindow(const std::string& stockCode) override { codes.push_back(stockCode); }
  std::vector<std::string> codes;
};

class RecordingStatusBar final : public IStatusBar {
 public:
  void SetPaneText(int pane, const std::string& text) override { texts.emplace_back(pane, text); }
  std::vector<std::pair<int, std::string>> texts;
};
