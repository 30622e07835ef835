#pragma once
// The custom-data worker of the settings page: one job at a time, the generation of
// the charting program's custom series or the delete of what it generated, on a
// worker thread with its own database connections. Everything the job needs is
// copied when it starts; it reports through a CustomDataSink and never touches a
// widget. Every way out of a job clears the running flag before Finished is called.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>

#include "charting/chart_folder.h"
#include "charting/custom_series_generator.h"

class WorkerRegistry;

inline constexpr const char* kStartGenerationFailedText = "启动生成自定义数据线程失败!!!";
inline constexpr const char* kStartDeleteFailedText = "启动删除数据线程失败!!!";
inline constexpr const char* kFirstGenerationNoPathText = "第一次生成自定义数据，请设置 通达信 目录。";
inline constexpr const char* kGenerationStoppedText = "生成自定义数据已中止!";
inline constexpr const char* kDeletingText = "正在删除数据中..........   \n";
inline constexpr const char* kDeletedStatusText = "删除数据完成!!!!!!!!!!! \n";
inline constexpr const char* kDeletedMessageText = "删除数据完成！！";
inline constexpr const char* kDeleteStoppedText = "删除数据已中止!";

// "生成自定义数据结束，但有 %d 个文件写入失败!"
std::string GenerationFailuresText(int failures);
// "删除数据未全部完成，%d 个目录无法删除!"
std::string DeleteFailuresText(int folders);

struct CustomDataParams {
  std::string tdxDir;          // the TDX_DIR value when the job started
  ChartEnvironment env;        // for a Windows path inside a Wine prefix
  int days = 30;               // N from the days edit; below 1 counts as 1
  int buyTeams = 2;            // BuyTeams
  int sellTeams = 1;           // SellTeams
  std::string marketDbPath;    // "CJHB.mdb"
  std::string userDbPath;      // "Custom.mdb"
  std::string programFolder;   // the formula text goes here; "" writes none
  GenerationOptions options;
};

class CCustomDataJob {
 public:
  enum class StartResult { Started, Refused, Failed };

  // The sink outlives any job thread that could not be joined in time, so it is shared.
  explicit CCustomDataJob(std::shared_ptr<CustomDataSink> sink);
  CCustomDataJob(std::shared_ptr<CustomDataSink> sink, WorkerRegistry& workers);
  ~CCustomDataJob();  // Exit()
  CCustomDataJob(const CCustomDataJob&) = delete;
  CCustomDataJob& operator=(const CCustomDataJob&) = delete;

  // UI thread. Refused while a job runs (the flag is taken before the thread starts,
  // so a second request can never start a second writer). Failed when the thread
  // cannot be started: the flag is cleared and the message shown.
  StartResult StartGeneration(const CustomDataParams& params);
  // The delete command after the user said yes.
  StartResult StartDelete(const CustomDataParams& params);

  bool IsRunning() const;
  // The job stops between rows and files; what it wrote stays whole.
  void RequestStop();
  // Waits up to `bound` for the job's thread to end; true when none runs.
  bool Wait(std::chrono::milliseconds bound);
  // RequestStop, then Wait(bound).
  bool Exit(std::chrono::milliseconds bound = std::chrono::seconds(2));

  // The job bodies, run on the worker (public for tests that drive them directly).
  // `running` (when given) is cleared just before sink.Finished.
  static void GenerateCustomDataThread(const CustomDataParams& params, CustomDataSink& sink, std::stop_token stop,
                                       std::atomic<bool>* running = nullptr);
  static void OnDeleteGeneratedData(const CustomDataParams& params, CustomDataSink& sink, std::stop_token stop,
                                    std::atomic<bool>* running = nullptr);

 private:
  struct State;
  StartResult Start(const CustomDataParams& params, bool generation);

  std::shared_ptr<State> state_;
  WorkerRegistry& workers_;
};
