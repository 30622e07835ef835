#include "acquisition/ui/download_data_dlg.h"

#include "acquisition/block_trade_job.h"
#include "acquisition/exchange_day_job.h"
#include "acquisition/unset_source_guard.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/pages/main_window_iface.h"
#include "controls/ui/bitmap_button_ex.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/page_widgets.h"
#include "controls/ui/xp_group_box.h"
#include "platform/app_paths.h"
#include "platform/debug_log.h"
#include "platform/message_box.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ado_database.h"
#include "storage/ini_file.h"

namespace {

struct RangeRadio {
  int id;
  const char* caption;
  int days;  // 0: today; -1: the chosen date
};
constexpr RangeRadio kRangeRadios[] = {{105, "今日", 0},     {107, "3日", 3},     {108, "5日", 5},
                                       {109, "10日", 10},    {110, "20日", 20},   {1004, "30日", 30},
                                       {1005, "90日", 90},   {1009, "180日", 180}, {1010, "365日", 365},
                                       {1014, "指定日期", -1}};

struct DayColumn {
  const char* title;
  int width;
};
constexpr DayColumn kDayColumns[] = {{"序号", 50},     {"日期", 100},       {"上榜数量", 90}, {"完成", 60},
                                     {"沪市上榜", 80}, {"深市上榜", 80},   {"创业板上榜", 90}, {"大宗交易", 80},
                                     {"是节假日", 80}};

// Our own images for the two bitmap buttons: a green downward arrow, a red cross.
QImage StartImage() {
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 140, 60));
  p.drawRect(6, 1, 4, 8);
  p.drawPolygon(QPolygon({QPoint(2, 8), QPoint(14, 8), QPoint(8, 15)}));
  return image;
}

QImage ClearImage() {
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setPen(QPen(QColor(200, 0, 0), 3));
  p.drawLine(3, 3, 12, 12);
  p.drawLine(12, 3, 3, 12);
  return image;
}

QLineEdit* ReadOnlyEdit(QWidget* parent, int id, int width) {
  auto* edit = new QLineEdit(parent);
  CPage::SetDlgCtrlID(edit, id);
  edit->setReadOnly(true);
  if (width > 0) edit->setFixedWidth(width);
  return edit;
}

QPushButton* Button(QWidget* parent, int id, const char* caption) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  CPage::SetDlgCtrlID(button, id);
  return button;
}

}  // namespace

CDownloadDataDlg::CDownloadDataDlg(QWidget* parent) : CDownloadDataDlg(DownloadPageServices{}, parent) {}

CDownloadDataDlg::CDownloadDataDlg(const DownloadPageServices& services, QWidget* parent)
    : CPage(parent), services_(services) {
  SetPageDialogId(*this, IDD);
  BuildControls();
}

CDownloadDataDlg::~CDownloadDataDlg() {
  engine_.reset();
  ownBlockTrades_.reset();
  ownExchangeDays_.reset();
  // The jobs are gone: no worker queues for this page any more.
  alive_.reset();
}

void CDownloadDataDlg::BuildControls() {
  auto* grid = new QGridLayout(this);

  // "数据下载": what to download.
  auto* downloadBox = new QGroupBox(QStringLiteral("数据下载"), this);
  auto* downloadGrid = new QGridLayout(downloadBox);
  rangeGroup_ = new QButtonGroup(this);
  int column = 0, row = 0;
  for (const RangeRadio& r : kRangeRadios) {
    auto* radio = new QRadioButton(QString::fromUtf8(r.caption), downloadBox);
    SetDlgCtrlID(radio, r.id);
    rangeGroup_->addButton(radio, r.id);
    downloadGrid->addWidget(radio, row, column);
    if (++column == 5) {
      column = 0;
      ++row;
    }
  }
  datePicker_ = new QDateEdit(downloadBox);
  SetDlgCtrlID(datePicker_, 1015);
  SetUpDayPicker(datePicker_);
  downloadGrid->addWidget(datePicker_, row, column, 1, 2);
  auto* elapsedLabel = new QLabel(QStringLiteral("下载用时："), downloadBox);
  elapsed_ = ReadOnlyEdit(downloadBox, 1011, 0);
  startButton_ = new CBitmapButtonEx(QStringLiteral("开始下载"), downloadBox);
  SetDlgCtrlID(startButton_, 1006);
  clearButton_ = new CBitmapButtonEx(QStringLiteral("清空数据"), downloadBox);
  SetDlgCtrlID(clearButton_, 1008);
  auto* actions = new QHBoxLayout;
  actions->addWidget(elapsedLabel);
  actions->addWidget(elapsed_, 1);
  actions->addWidget(startButton_);
  actions->addWidget(clearButton_);
  downloadGrid->addLayout(actions, row + 1, 0, 1, 5);
  grid->addWidget(downloadBox, 0, 0);

  // "数据源选择".
  auto* sourceBox = new QGroupBox(QStringLiteral("数据源选择"), this);
  auto* sourceLayout = new QVBoxLayout(sourceBox);
  source1_ = new QRadioButton(QStringLiteral("财经数据中心"), sourceBox);
  SetDlgCtrlID(source1_, 111);
  source2_ = new QRadioButton(QStringLiteral("交易所公告"), sourceBox);
  SetDlgCtrlID(source2_, 112);
  sourceLayout->addWidget(source1_);
  sourceLayout->addWidget(source2_);
  auto* sourceButtons = new QButtonGroup(this);
  sourceButtons->addButton(source1_, 111);
  sourceButtons->addButton(source2_, 112);
  grid->addWidget(sourceBox, 0, 1);

  // The message list inside the hint frame.
  hintBox_ = new CXPGroupBox(this);
  hintBox_->Create("运行提示--(注意:节假日无数据，会显示红色提示，这个显示正常)", CRect(0, 0, 400, 300), this, 1151);
  auto* hintLayout = new QVBoxLayout(hintBox_);
  hintLayout->setContentsMargins(8, 22, 8, 8);
  messages_ = new CColorListBox(hintBox_);
  SetDlgCtrlID(messages_, 1000);
  hintLayout->addWidget(messages_);
  progress_ = ReadOnlyEdit(hintBox_, 1012, 0);
  hintLayout->addWidget(progress_);
  auto* logButtons = new QHBoxLayout;
  auto* clearLog = Button(hintBox_, 1050, "清空显示");
  auto* fillMissing = Button(hintBox_, 1013, "补全数据");
  logButtons->addWidget(fillMissing);
  logButtons->addStretch(1);
  logButtons->addWidget(clearLog);
  hintLayout->addLayout(logButtons);
  grid->addWidget(hintBox_, 1, 0);

  // The stored days.
  auto* storedBox = new QWidget(this);
  auto* storedLayout = new QVBoxLayout(storedBox);
  storedLayout->setContentsMargins(0, 0, 0, 0);
  days_ = new QTableWidget(storedBox);
  SetDlgCtrlID(days_, 1119);
  storedLayout->addWidget(days_, 1);
  auto* countRow = new QHBoxLayout;
  countRow->addWidget(new QLabel(QStringLiteral("数据库中下载的数据共："), storedBox));
  storedCount_ = ReadOnlyEdit(storedBox, 1001, 60);
  countRow->addWidget(storedCount_);
  countRow->addWidget(new QLabel(QStringLiteral("天"), storedBox));
  countRow->addStretch(1);
  storedLayout->addLayout(countRow);
  auto* dayButtons = new QHBoxLayout;
  auto* deleteDay = Button(storedBox, 1007, "删除某日数据");
  auto* blockTrades = Button(storedBox, 1048, "补全大宗交易");
  showAll_ = new QCheckBox(QStringLiteral("显示所有数据"), storedBox);
  SetDlgCtrlID(showAll_, 1002);
  dayButtons->addWidget(deleteDay);
  dayButtons->addWidget(blockTrades);
  dayButtons->addWidget(showAll_);
  dayButtons->addStretch(1);
  storedLayout->addLayout(dayButtons);
  storedLayout->addWidget(new QLabel(QStringLiteral("为提高运行速度，只显示50天数据"), storedBox));
  grid->addWidget(storedBox, 1, 1);
  grid->setRowStretch(1, 1);
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);

  connect(startButton_, &QPushButton::clicked, this, [this] { OnStartDownload(); });
  connect(clearButton_, &QPushButton::clicked, this, [this] { OnClearData(); });
  connect(deleteDay, &QPushButton::clicked, this, [this] { OnDeleteDay(); });
  connect(blockTrades, &QPushButton::clicked, this, [this] { OnFillBlockTrades(); });
  connect(clearLog, &QPushButton::clicked, this, [this] { OnClearLog(); });
  connect(fillMissing, &QPushButton::clicked, this, [this] { OnFillMissing(); });
  connect(showAll_, &QCheckBox::clicked, this, [this] { OnShowAll(); });
  connect(rangeGroup_, &QButtonGroup::idClicked, this, [this](int) { OnPickDate(); });
  connect(source1_, &QRadioButton::clicked, this, [this] { OnDataSource(1); });
  connect(source2_, &QRadioButton::clicked, this, [this] { OnDataSource(2); });
}

void CDownloadDataDlg::InitDayList() {
  days_->setColumnCount(static_cast<int>(std::size(kDayColumns)));
  QStringList titles;
  for (const DayColumn& c : kDayColumns) titles << QString::fromUtf8(c.title);
  days_->setHorizontalHeaderLabels(titles);
  for (int i = 0; i < static_cast<int>(std::size(kDayColumns)); ++i) days_->setColumnWidth(i, kDayColumns[i].width);
  days_->setShowGrid(true);
  days_->setSelectionBehavior(QAbstractItemView::SelectRows);
  days_->setSelectionMode(QAbstractItemView::SingleSelection);
  days_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  days_->verticalHeader()->setVisible(false);
}

BOOL CDownloadDataDlg::OnInitDialog() {
  // The services the tests bring, else the program's own.
  IClock& clock = services_.clock ? *services_.clock : DefaultClock();
  ISleeper& sleeper = services_.sleeper ? *services_.sleeper : DefaultSleeper();
  CADODataBase& db = services_.db ? *services_.db : g_ADODatabase;
  if (services_.fetcher == nullptr) {
    ownSession_ = std::make_unique<InternetSession>(sleeper, clock);
    ownFetcher_ = std::make_unique<SessionFetcher>(*ownSession_, HttpOptions{});
  }
  SourceHosts hosts = SourceHosts::FromIni(AppPath(kSettingsFileName));
  // A source still at its placeholder address is asked nothing; the page says so once.
  sourceGuard_ =
      std::make_unique<UnsetSourceGuard>(services_.fetcher ? *services_.fetcher : *ownFetcher_, hosts, *this);
  HttpFetcher& fetcher = *sourceGuard_;
  IUiDispatcher* ui = PageRegistry::Instance().Dispatcher();
  if (ui != nullptr) {
    // The engine and the exchange-day job are handed the same road; the engine's
    // schedule is filled in below.
    DownloadRoadDeps road{
        .clock = clock,
        .sleeper = sleeper,
        .fetcher = fetcher,
        .db = db,
        .sink = *this,
        .ui = *ui,
        .pages = PageRegistry::Instance(),
        .workers = WorkerRegistry::Instance(),
        .hosts = hosts,
        .onDbWrite = services_.onDbWrite,
    };
    if (services_.exchangeDays == nullptr) {
      ownExchangeDays_ = std::make_unique<ExchangeDayJob>(road);
    }
    if (services_.blockTrades == nullptr) {
      ownBlockTrades_ = std::make_unique<BlockTradeJob>(BlockTradeJobDeps{
          .sleeper = sleeper,
          .fetcher = fetcher,
          .db = db,
          .sink = *this,
          .ui = *ui,
          .workers = WorkerRegistry::Instance(),
          .hosts = hosts,
      });
    }
    road.blockTrades = services_.blockTrades ? services_.blockTrades : ownBlockTrades_.get();
    road.exchangeDays = services_.exchangeDays ? services_.exchangeDays : ownExchangeDays_.get();
    road.dataSource = [] { return static_cast<int>(g_nDataSource); };
    road.startupPeriodMs = services_.startupPeriodMs;
    road.runPeriodMs = services_.runPeriodMs;
    engine_ = std::make_unique<DownloadEngine>(std::move(road));
  }

  GetDlgItemAs<QRadioButton>(105)->setChecked(true);
  datePicker_->setEnabled(false);
  const LocalTime today = clock.Now();
  datePicker_->setDate(QDate(today.year, today.month, today.day));
  if (g_nDataSource == 2) {
    source2_->setChecked(true);
  } else {
    source1_->setChecked(true);
  }
  InitDayList();

  messages_->AddString("每天17:20以后，可下载当日数据!!!");
  messages_->AddString("  ");
  messages_->SelectLast();
  messages_->AddString("程序启动后，自动下载最近30日数据！", kLineDarkBlue);
  messages_->AddString("自动生成30日Velkor数据", kLineDarkBlue);
  messages_->AddString("如果出现红字字体提示，请重新下载数据！！！！！！！", kLineBlue);
  messages_->AddString("  ");
  messages_->SelectLast();

  startButton_->SetIcon(StartImage());
  startButton_->SetTooltipText("开始下载Velkor数据");
  clearButton_->SetIcon(ClearImage());
  clearButton_->SetTooltipText("清空数据库中数据");
  hintBox_->SetCaptionTextColor(RGB(255, 0, 0)).SetFontBold(true);

  if (engine_) {
    engine_->StartStartupRun();
  } else {
    messages_->AddString("下载功能无法启动!", kLineRed);
  }
  return TRUE;
}

void CDownloadDataDlg::OnTimer(UINT id) {
  if (engine_) engine_->OnTimer(id);
}

DownloadRequest CDownloadDataDlg::CurrentRequest() const {
  DownloadRequest request;
  for (const RangeRadio& r : kRangeRadios) {
    auto* radio = GetDlgItemAs<QRadioButton>(r.id);
    if (radio == nullptr || !radio->isChecked()) continue;
    if (r.days == 0) {
      request.kind = DownloadRequest::Kind::Today;
    } else if (r.days < 0) {
      request.kind = DownloadRequest::Kind::ChosenDate;
      const QDate d = datePicker_->date();
      request.date.year = d.year();
      request.date.month = d.month();
      request.date.day = d.day();
    } else {
      request.kind = DownloadRequest::Kind::Range;
      request.days = r.days;
    }
  }
  return request;
}

void CDownloadDataDlg::OnStartDownload() {
  if (!engine_) return;
  datePicker_->setEnabled(GetDlgItemAs<QRadioButton>(1014)->isChecked());
  if (sourceGuard_) sourceGuard_->Rearm();
  engine_->OnStartDownload(CurrentRequest());
}

void CDownloadDataDlg::OnPickDate() { datePicker_->setEnabled(GetDlgItemAs<QRadioButton>(1014)->isChecked()); }

void CDownloadDataDlg::OnDeleteDay() {
  const int row = days_->currentRow();
  if (row < 0 || days_->selectedItems().isEmpty()) {
    MessageBox("请选中列表中要删除的某日数据!", g_strWindowTitle, MB_OK | MB_ICONINFORMATION);
    return;
  }
  QTableWidgetItem* dayItem = days_->item(row, 1);
  if (dayItem == nullptr || !engine_) return;
  if (!engine_->DeleteDay(FromQString(dayItem->text()))) return;
  days_->removeRow(row);
  // No row may stay selected: a second click must not delete the next day too.
  days_->setCurrentItem(nullptr);
  days_->clearSelection();
  for (int r = 0; r < days_->rowCount(); ++r) {
    if (QTableWidgetItem* number = days_->item(r, 0)) number->setText(QString::number(r + 1));
  }
  const int before = storedCount_->text().trimmed().toInt();
  storedCount_->setText(QStringLiteral(" %1").arg(std::max(0, before - 1)));
}

void CDownloadDataDlg::OnClearData() {
  if (MessageBox("您确定要 删除 数据库 中所有数据 吗？", "系统提示", MB_YESNO | MB_ICONWARNING) != IDYES) return;
  if (!engine_ || !engine_->ClearData()) return;
  days_->setRowCount(0);
  storedCount_->setText(QStringLiteral("0"));
}

void CDownloadDataDlg::OnFillMissing() {
  if (engine_) engine_->OnFillMissing();
}

void CDownloadDataDlg::OnClearLog() { messages_->ResetContent(); }

void CDownloadDataDlg::OnShowAll() {
  if (engine_) engine_->SetShowAll(showAll_->isChecked());
}

void CDownloadDataDlg::OnDataSource(int source) {
  if (!WritePrivateProfileString("system", "DataSource", std::to_string(source), AppPath(kSettingsFileName))) {
    AppendDebugLog("cannot write DataSource=%d", source);
  }
  g_nDataSource = static_cast<std::uint8_t>(source);
}

void CDownloadDataDlg::OnFillBlockTrades() {
  MessageBox("大宗交易“按月”下载，如果需要重新下载，请先在左边“指定日期”中设置月份，然后点击“补全大宗交易”按钮，下载数据",
             g_strWindowTitle, MB_OK);
  BlockTradeJobs* jobs = services_.blockTrades ? services_.blockTrades : ownBlockTrades_.get();
  if (jobs == nullptr) return;
  const QDate month = datePicker_->date();
  char text[16];
  std::snprintf(text, sizeof text, "%d%02d", month.year(), month.month());
  jobs->StartMonth(text, {});
}

// ---- The sink: every call runs on the UI thread, in calling order. ----

void CDownloadDataDlg::Queue(std::function<void()> fn) {
  // Through the one dispatcher, in calling order; a call that arrives after the
  // page is gone does nothing.
  IUiDispatcher* ui = PageRegistry::Instance().Dispatcher();
  if (ui == nullptr) return;
  ui->RunOnUi(
      [alive = std::weak_ptr<const bool>(alive_), fn = std::move(fn)] {
        if (!alive.expired()) fn();
      },
      false);
}

void CDownloadDataDlg::addLine(const std::string& text, COLORREF colour) {
  Queue([this, text, colour] {
    messages_->AddString(text, colour);
    messages_->SelectLast();
  });
}

void CDownloadDataDlg::setProgress(const std::string& text) {
  Queue([this, text] { progress_->setText(ToQString(text)); });
}

void CDownloadDataDlg::setStoredDays(const std::vector<StoredDay>& rows, int count) {
  Queue([this, rows, count] {
    days_->setRowCount(0);
    days_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
      days_->setItem(r, 0, new QTableWidgetItem(QString::number(rows[r].number)));
      days_->setItem(r, 1, new QTableWidgetItem(ToQString(rows[r].day)));
      days_->setItem(r, 2, new QTableWidgetItem(QString::number(rows[r].rows)));
      // A day whose job never reached its end is fetched again by the next run.
      if (!rows[r].complete) days_->setItem(r, 3, new QTableWidgetItem(QStringLiteral("未完成")));
      days_->setItem(r, 4, new QTableWidgetItem(QString()));
    }
    storedCount_->setText(QStringLiteral(" %1").arg(count));
  });
}

void CDownloadDataDlg::setElapsed(const std::string& text) {
  Queue([this, text] { elapsed_->setText(ToQString(text)); });
}

void CDownloadDataDlg::setStartEnabled(bool enabled) {
  Queue([this, enabled] { startButton_->setEnabled(enabled); });
}

void CDownloadDataDlg::setStatusPane(const std::string& text) {
  Queue([text] {
    if (auto* bar = PageRegistry::Instance().Get<IStatusBar>(PageSlot::StatusBar)) bar->SetPaneText(0, text);
  });
}

void CDownloadDataDlg::startTimer(int periodMs) { SetTimer(1, periodMs); }

void CDownloadDataDlg::stopTimer() { KillTimer(1); }
