#include "charting/custom_data_job.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "charting/data_cfg.h"
#include "charting/formula_text.h"
#include "charting/series_file.h"
#include "platform/debug_log.h"
#include "platform/worker_registry.h"
#include "storage/ado_database.h"

namespace {

std::atomic<unsigned> g_jobSequence{0};

// The T0002 folder below a resolved charting folder, or "" after reporting why not.
std::string CheckT0002(const ChartFolder& folder, CustomDataSink& sink, const char* notSetText) {
  if (folder.state == ChartFolderState::NotSet) {
    sink.Status(notSetText);
    return {};
  }
  if (!folder.ok()) {
    sink.Message(kChartFolderBadText);
    return {};
  }
  const std::string t0002 = ChildPath(folder.folder, "T0002");
  if (!FolderExists(t0002)) {
    sink.Message(kChartFolderBadText);
    return {};
  }
  return t0002;
}

}  // namespace

std::string GenerationFailuresText(int failures) {
  return "生成自定义数据结束，但有 " + std::to_string(failures) + " 个文件写入失败!";
}

std::string DeleteFailuresText(int folders) {
  return "删除数据未全部完成，" + std::to_string(folders) + " 个目录无法删除!";
}

struct CCustomDataJob::State {
  explicit State(std::shared_ptr<CustomDataSink> s) : sink(std::move(s)) {}
  std::shared_ptr<CustomDataSink> sink;
  std::atomic<bool> running{false};
  std::mutex mutex;
  std::string worker;  // the registry name of the current (or last) job
  const unsigned id = ++g_jobSequence;
  unsigned runs = 0;
};

CCustomDataJob::CCustomDataJob(std::shared_ptr<CustomDataSink> sink)
    : CCustomDataJob(std::move(sink), WorkerRegistry::Instance()) {}

CCustomDataJob::CCustomDataJob(std::shared_ptr<CustomDataSink> sink, WorkerRegistry& workers)
    : state_(std::make_shared<State>(std::move(sink))), workers_(workers) {}

CCustomDataJob::~CCustomDataJob() { Exit(); }

CCustomDataJob::StartResult CCustomDataJob::StartGeneration(const CustomDataParams& params) {
  return Start(params, true);
}

CCustomDataJob::StartResult CCustomDataJob::StartDelete(const CustomDataParams& params) {
  return Start(params, false);
}

CCustomDataJob::StartResult CCustomDataJob::Start(const CustomDataParams& params, bool generation) {
  if (state_->running.exchange(true)) return StartResult::Refused;
  std::string name;
  {
    std::lock_guard lock(state_->mutex);
    name = "CustomData-" + std::to_string(state_->id) + "-" + std::to_string(++state_->runs);
    state_->worker = name;
  }
  std::shared_ptr<State> state = state_;
  const WorkerRegistry::StartResult started =
      workers_.Start(name, [state, params, generation](std::stop_token stop) {
        if (generation) {
          GenerateCustomDataThread(params, *state->sink, stop, &state->running);
        } else {
          OnDeleteGeneratedData(params, *state->sink, stop, &state->running);
        }
      });
  if (started == WorkerRegistry::StartResult::Started) return StartResult::Started;
  state_->running = false;
  if (started == WorkerRegistry::StartResult::Failed) {
    state_->sink->Message(generation ? kStartGenerationFailedText : kStartDeleteFailedText);
    return StartResult::Failed;
  }
  return StartResult::Refused;  // the program is closing
}

bool CCustomDataJob::IsRunning() const { return state_->running.load(); }

void CCustomDataJob::RequestStop() {
  std::string name;
  {
    std::lock_guard lock(state_->mutex);
    name = state_->worker;
  }
  if (!name.empty()) workers_.RequestStop(name);
}

bool CCustomDataJob::Wait(std::chrono::milliseconds bound) {
  std::string name;
  {
    std::lock_guard lock(state_->mutex);
    name = state_->worker;
  }
  return name.empty() || workers_.WaitFor(name, bound);
}

bool CCustomDataJob::Exit(std::chrono::milliseconds bound) {
  RequestStop();
  return Wait(bound);
}

namespace {

// Clears the running flag, then tells the sink, on every way out of a job.
class JobEnd {
 public:
  JobEnd(CustomDataSink& sink, std::atomic<bool>* running) : sink_(sink), running_(running) {}
  ~JobEnd() {
    if (running_ != nullptr) running_->store(false);
    sink_.Finished(ok_, failures_);
  }
  void Set(bool ok, int failures) {
    ok_ = ok;
    failures_ = failures;
  }

 private:
  CustomDataSink& sink_;
  std::atomic<bool>* running_;
  bool ok_ = false;
  int failures_ = 0;
};

}  // namespace

void CCustomDataJob::GenerateCustomDataThread(const CustomDataParams& params, CustomDataSink& sink,
                                              std::stop_token stop, std::atomic<bool>* running) {
  JobEnd end(sink, running);
  try {
    const ChartFolder folder = ResolveChartFolder(params.tdxDir, params.env);
    const std::string t0002 = CheckT0002(folder, sink, kFirstGenerationNoPathText);
    if (t0002.empty()) return;
    const std::string signals = ChildPath(t0002, "signals");
    if (!FolderExists(signals)) {
      std::error_code ec;
      std::filesystem::create_directory(signals, ec);
      if (!FolderExists(signals)) {
        sink.Message(kFolderFailedText + signals);
        end.Set(false, 1);
        return;
      }
    }

    CADODataBase market;
    CADODataBase user;
    if (!market.Open(ConnectionStringFor(params.marketDbPath))) {
      sink.Message("打开数据库CJHB.mdb错误");
      return;
    }
    if (!user.Open(ConnectionStringFor(params.userDbPath))) {
      sink.Message("打开数据库Custom.mdb错误");
      return;
    }

    GenerationParams run;
    run.signalsFolder = signals;
    run.days = params.days;
    run.buyTeams = params.buyTeams;
    run.sellTeams = params.sellTeams;
    run.options = params.options;
    if (!params.programFolder.empty()) {
      run.formulaPath = params.programFolder + (params.programFolder.back() == '/' ? "" : "/") + kFormulaFileName;
    }
    CCustomSeriesGenerator generator(market, user, sink, stop);
    const GenerationResult result = generator.Run(run);
    if (!result.completed) {
      sink.Status(kGenerationStoppedText);
      end.Set(false, result.failures);
    } else if (result.failures > 0) {
      sink.Status(GenerationFailuresText(result.failures));
      end.Set(false, result.failures);
    } else {
      sink.Status(kStatusGenerated);
      end.Set(true, 0);
    }
  } catch (const std::exception& e) {
    AppendDebugLog("custom data generation failed: %s", e.what());
    sink.Line(std::string("生成自定义数据失败: ") + ExceptionTextForUser(e), kCustomLineRed);
  }
}

void CCustomDataJob::OnDeleteGeneratedData(const CustomDataParams& params, CustomDataSink& sink,
                                           std::stop_token stop, std::atomic<bool>* running) {
  JobEnd end(sink, running);
  try {
    const ChartFolder folder = ResolveChartFolder(params.tdxDir, params.env);
    const std::string t0002 = CheckT0002(folder, sink, kChartFolderNotSetText);
    if (t0002.empty()) return;

    sink.Status(kDeletingText);
    const int count = kLastGeneratedSeries - kFirstGeneratedSeries + 1;
    sink.ProgressRange(0, count);
    const std::string signals = ChildPath(t0002, "signals");
    if (FolderExists(signals)) {
      const std::string cfg = ChildPath(signals, "datacfg.dat");
      switch (CDataCfg::PruneDataCfg(cfg)) {
        case DataCfgResult::Written:
        case DataCfgResult::Missing:
          break;
        case DataCfgResult::Unrecognised:
          sink.Message(kDataCfgDeleteUnrecognisedText);
          return;
        case DataCfgResult::ReadFailed:
          sink.Message(kDataCfgReadFailedText + cfg);
          return;
        case DataCfgResult::WriteFailed:
          // The list and the folders stay as they were, so they still agree.
          sink.Message(kDataCfgWriteFailedText + cfg);
          end.Set(false, 1);
          return;
      }
      int failed = 0;
      for (int n = kFirstGeneratedSeries; n <= kLastGeneratedSeries; ++n) {
        if (stop.stop_requested()) {
          sink.Status(kDeleteStoppedText);
          end.Set(false, failed);
          return;
        }
        if (!DeleteFolderTree(SeriesFolderPath(signals, n))) ++failed;
        sink.Progress(n - kFirstGeneratedSeries + 1);
      }
      if (failed > 0) {
        sink.Status(DeleteFailuresText(failed));
        sink.Message(DeleteFailuresText(failed));
        end.Set(false, failed);
        return;
      }
    } else {
      sink.Progress(count);
    }
    sink.Status(kDeletedStatusText);
    sink.Message(kDeletedMessageText);
    end.Set(true, 0);
  } catch (const std::exception& e) {
    AppendDebugLog("deleting the custom data failed: %s", e.what());
    sink.Line(std::string("删除数据失败: ") + ExceptionTextForUser(e), kCustomLineRed);
  }
}
