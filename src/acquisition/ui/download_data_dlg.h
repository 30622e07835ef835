#pragma once
// The download page ("数据下载"): the controls of the download road. The road itself
// is the DownloadEngine; this page maps its lines, lists and fields into widgets and
// hands it the buttons and the timer.

#include <QPointer>
#include <memory>

#include "acquisition/download_engine.h"
#include "platform/ui/page.h"

class CColorListBox;
class CXPGroupBox;
class CBitmapButtonEx;
class QButtonGroup;
class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class CADODataBase;
class UnsetSourceGuard;

// What the page builds its engine from; the program's own services by default.
struct DownloadPageServices {
  IClock* clock = nullptr;        // default: the system clock
  ISleeper* sleeper = nullptr;    // default: real sleeps
  HttpFetcher* fetcher = nullptr; // default: the internet session
  CADODataBase* db = nullptr;     // default: g_ADODatabase
  BlockTradeJobs* blockTrades = nullptr;
  ExchangeDayJobs* exchangeDays = nullptr;  // default: the exchanges' bulletins, built here
  int startupPeriodMs = 100;
  int runPeriodMs = 60;
  std::function<void(double seconds)> onDbWrite;  // DownloadRoadDeps::onDbWrite
};

class CDownloadDataDlg : public CPage, public MessageSink {
  Q_OBJECT

 public:
  enum { IDD = 134 };

  explicit CDownloadDataDlg(QWidget* parent = nullptr);
  CDownloadDataDlg(const DownloadPageServices& services, QWidget* parent = nullptr);
  ~CDownloadDataDlg() override;

  BOOL OnInitDialog() override;
  void OnTimer(UINT id) override;

  // The buttons' handlers.
  void OnStartDownload();
  void OnDeleteDay();
  void OnClearData();
  void OnFillMissing();
  void OnClearLog();
  void OnShowAll();
  void OnPickDate();
  void OnDataSource(int source);
  // Button 1048: the block trades of the date picker's month.
  void OnFillBlockTrades();

  DownloadEngine* Engine() const { return engine_.get(); }

  // MessageSink: queued to the UI thread, run in calling order.
  void addLine(const std::string& text, COLORREF colour) override;
  void setProgress(const std::string& text) override;
  void setStoredDays(const std::vector<StoredDay>& rows, int count) override;
  void setElapsed(const std::string& text) override;
  void setStartEnabled(bool enabled) override;
  void setStatusPane(const std::string& text) override;
  void startTimer(int periodMs) override;
  void stopTimer() override;

 private:
  void BuildControls();
  void InitDayList();
  void Queue(std::function<void()> fn);
  DownloadRequest CurrentRequest() const;

  DownloadPageServices services_;
  // Queued calls hold it weakly: once the page is going, they do nothing.
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
  std::unique_ptr<HttpFetcher> ownFetcher_;
  std::unique_ptr<InternetSession> ownSession_;
  std::unique_ptr<UnsetSourceGuard> sourceGuard_;  // before the jobs: they read through it
  std::unique_ptr<BlockTradeJobs> ownBlockTrades_;  // when the services bring none
  std::unique_ptr<ExchangeDayJobs> ownExchangeDays_;
  std::unique_ptr<DownloadEngine> engine_;

  QButtonGroup* rangeGroup_ = nullptr;
  QDateEdit* datePicker_ = nullptr;        // 1015
  QLineEdit* elapsed_ = nullptr;           // 1011
  QLineEdit* storedCount_ = nullptr;       // 1001
  QLineEdit* progress_ = nullptr;          // 1012
  CBitmapButtonEx* startButton_ = nullptr; // 1006
  CBitmapButtonEx* clearButton_ = nullptr; // 1008
  CColorListBox* messages_ = nullptr;      // 1000
  CXPGroupBox* hintBox_ = nullptr;         // 1151
  QTableWidget* days_ = nullptr;           // 1119
  QCheckBox* showAll_ = nullptr;           // 1002
  QRadioButton* source1_ = nullptr;        // 111
  QRadioButton* source2_ = nullptr;        // 112
};
