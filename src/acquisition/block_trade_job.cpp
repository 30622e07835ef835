#include "acquisition/block_trade_job.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "acquisition/format_line.h"
#include "acquisition/page_text.h"
#include "acquisition/unset_source_guard.h"
#include "platform/debug_log.h"
#include "platform/page_registry.h"
#include "platform/worker_registry.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/day_range.h"

namespace {

constexpr int kGroupPauseMs = 8;

bool IsMonthText(const std::string& text) {
  if (text.size() != 6) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  const int month = (text[4] - '0') * 10 + (text[5] - '0');
  return month >= 1 && month <= 12;
}

// The float field as its six-decimal text reads back: 12.3f is stored as 12.3.
double Widened(float value) { return std::round(static_cast<double>(value) * 1e6) / 1e6; }

int NextJobId() {
  static std::atomic<int> next{1};
  return next++;
}

// The worker's side of the parser: stores each trade, sends each day's line, pauses
// between days and stops when asked.
class StoringListener final : public BlockTradeListener {
 public:
  StoringListener(BlockTradeJobDeps& deps, std::stop_token stop) : deps_(deps), stop_(std::move(stop)) {}
  bool OnTrade(const CBlockTradeRow& trade) override {
    const int result = BlockTradeJob::InsertBlockTrade(deps_.db, trade);
    if (result == kBlockTradeInsertFailed) {
      AppendDebugLog("block trades: %s not stored: %s", BlockTradeId(trade).c_str(),
                     deps_.db.GetLastErrorDescription().c_str());
    }
    return result == kBlockTradeStored;
  }
  void OnDayParsed(const BlockTradeDaySummary& summary) override {
    deps_.sink.addLine(BlockTradeDayLine(summary), kLinePlain);
  }
  void OnDayUnreadable() override { deps_.sink.addLine(kBlockTradeBadDateLine, kLineRed); }
  bool OnGroupDone() override {
    deps_.sleeper.Sleep(kGroupPauseMs);
    return !Stopped();
  }
  bool Stopped() const { return stop_.stop_requested() || g_bClosing.load(); }

 private:
  BlockTradeJobDeps& deps_;
  std::stop_token stop_;
};

}  // namespace

BlockTradeJob::BlockTradeJob(BlockTradeJobDeps deps)
    : deps_(std::move(deps)),
      namePrefix_("blocktrades#" + std::to_string(NextJobId()) + "."),
      alive_(std::make_shared<int>(0)),
      aliveToken_(alive_) {}

BlockTradeJob::~BlockTradeJob() {
  alive_.reset();  // the worker's last post finds nothing to call
  if (!jobName_.empty()) {
    deps_.workers.RequestStop(jobName_);
    WaitForJob(10000);
  }
}

bool BlockTradeJob::WaitForJob(int boundMs) {
  return jobName_.empty() || deps_.workers.WaitFor(jobName_, std::chrono::milliseconds(boundMs));
}

std::string BlockTradeJob::MonthUrl(const std::string& yyyymm) const {
  return deps_.hosts.Url(SourceHosts::kDataCenter, "/dzjy/" + yyyymm + ".html");
}

void BlockTradeJob::Post(std::function<void()> fn) {
  std::weak_ptr<int> alive = aliveToken_;
  const bool queued = deps_.ui.RunOnUi(
      [alive, fn = std::move(fn)] {
        if (alive.lock()) fn();
      },
      false);
  if (!queued) AppendDebugLog("block trades: the UI thread no longer takes calls");
}

bool BlockTradeJob::StartMonth(const std::string& yyyymm, std::function<void()> ended) {
  return StartBlockTradeDownload(yyyymm, std::move(ended));
}

bool BlockTradeJob::StartBlockTradeDownload(const std::string& yyyymm, std::function<void()> ended) {
  if (running_) {
    if (!ended) {
      deps_.sink.addLine(kBlockTradeBusyLine, kLineRed);
      return false;
    }
    waiting_.push_back(std::move(ended));  // told when the running month ends
    return true;
  }
  if (!IsMonthText(yyyymm)) {
    AppendDebugLog("block trades: \"%s\" is no month", yyyymm.c_str());
    return false;
  }
  if (deps_.hosts.IsUnset(SourceHosts::kDataCenter)) {
    TellSourceUnset(deps_.sink);  // no month is begun that cannot be asked
    return false;
  }
  deps_.sink.addLine(FormatC("大宗交易数据： %s 开始下载: .", yyyymm.c_str()), kLineBlue);
  const std::string url = MonthUrl(yyyymm);
  const std::string name = namePrefix_ + std::to_string(++sequence_);
  // Marked running before the worker starts: its end may be posted at once.
  running_ = true;
  if (ended) waiting_.push_back(std::move(ended));
  const auto started =
      deps_.workers.Start(name, [this, url](std::stop_token stop) { BlockTradeThread(url, std::move(stop)); });
  if (started != WorkerRegistry::StartResult::Started) {
    AppendDebugLog("block trades: cannot start the month job (%d)", static_cast<int>(started));
    running_ = false;
    waiting_.clear();
    deps_.sink.addLine(kBlockTradeNotStartedLine, kLineRed);
    return false;
  }
  jobName_ = name;
  return true;
}

int BlockTradeJob::FetchBlockTradePage(const std::string& url, std::string& kept) {
  kept.clear();
  const HttpResult page = deps_.fetcher.Get(url);
  if (!page.opened) return IsHeldBack(page) ? kBlockTradePageNotSent : kBlockTradePageNotOpened;
  if (page.status != 200) {
    AppendDebugLog("block trades: %s answered %ld", url.c_str(), page.status);
    return kBlockTradePageNotOpened;
  }
  BlockTradeTable table = CutBlockTradeTable(joinLines(decodePage(page.body, page.contentType, kDefaultPageCharset)));
  if (!table.hasTable) return kBlockTradePageNoTable;
  kept = std::move(table.body);
  return kBlockTradePageKept;
}

void BlockTradeJob::BlockTradeThread(const std::string& url, std::stop_token stop) {
  // Every way out tells the UI thread, after the month's last line.
  struct Release {
    BlockTradeJob* job;
    ~Release() {
      job->Post([j = job] {
        j->running_ = false;
        std::vector<std::function<void()>> waiting = std::move(j->waiting_);
        j->waiting_.clear();
        for (auto& ended : waiting) ended();
      });
    }
  } release{this};

  std::string kept;  // the month page's table body, this worker's own
  const int fetched = FetchBlockTradePage(url, kept);
  if (fetched == kBlockTradePageNotSent) return;  // the unset address was told once
  if (fetched == kBlockTradePageNotOpened) {
    deps_.sink.addLine(kNetworkLine, kLinePlain);
    return;
  }
  if (fetched == kBlockTradePageNoTable) deps_.sink.addLine(kBlockTradeNoTableLine, kLinePlain);
  StoringListener listener(deps_, stop);
  BlockTradeParser parser(listener);
  parser.ParseBlockTradeMonth(kept);
  if (listener.Stopped()) return;
  deps_.sink.addLine(kBlockTradeDoneLine, kLineBlue);
}

int BlockTradeJob::InsertBlockTrade(CADODataBase& db, const CBlockTradeRow& trade) {
  if (!db.IsOpen()) return kBlockTradeDbClosed;
  const auto number = DayNumberOf(trade.Day);
  if (!number) return kBlockTradeInsertFailed;
  const LocalTime day = CivilFromDays(*number);
  const std::string id = BlockTradeId(trade);
  if (db.Execute("INSERT INTO DZJY (DZJY_ID, StockName, StockCode, DZJY_Date, RowNumber, SPJ, CJJ, CJSL, CJJE, "
                 "BuyName, SellName) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                 {id, trade.StockName, trade.StockCode, DayText(day.year, day.month, day.day), trade.nCount,
                  Widened(trade.SPJ), Widened(trade.CJJ), trade.CJSL, Widened(trade.CJJE), trade.BuyName,
                  trade.SellName})) {
    return kBlockTradeStored;
  }
  CADORecordset rs(&db);
  if (rs.Open("SELECT 1 AS taken FROM DZJY WHERE DZJY_ID=?", {id}) && !rs.IsEof()) return kBlockTradeAlreadyStored;
  return kBlockTradeInsertFailed;
}
