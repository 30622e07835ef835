#include "analysis/ui/stock_active_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <array>

#include "analysis/branch_ranking.h"
#include "analysis/stock_day_detail.h"
#include "analysis/sustained_buy_page_iface.h"
#include "platform/pages/main_window_iface.h"
#include "platform/pages/chart_link_iface.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/edit_ex.h"
#include "controls/ui/page_widgets.h"
#include "platform/app_paths.h"
#include "platform/debug_log.h"
#include "platform/feature_seam.h"
#include "platform/page_registry.h"
#include "platform/pages/tracker_page_iface.h"
#include "platform/ui/qt_convert.h"
#include "settings/settings.h"
#include "storage/ado_database.h"
#include "storage/day_range.h"
#include "storage/ini_file.h"

namespace {

struct Column {
  const char* title;
  int width;
};
constexpr std::array<Column, kStockRankingColumnCount> kStockColumns{{{"序号", 45},
                                                                      {"代码", 60},
                                                                      {"名称", 65},
                                                                      {"上榜次数", 70},
                                                                      {"总买入", 65},
                                                                      {"总卖出", 70},
                                                                      {"总净买", 65},
                                                                      {"总买卖", 70}}};
constexpr std::array<Column, 6> kDayColumns{
    {{"日    期", 90}, {"上榜股票", 70}, {"总上榜金额", 85}, {"总买入", 80}, {"总卖出", 80}, {"净买入", 80}}};

// The five edits of each group: stocks listed, total buy, total sell, net, buy + sell.
constexpr int kGroupEditIds[3][5] = {
    {1000, 1002, 1001, 1003, 1012}, {1013, 1016, 1014, 1017, 1018}, {1019, 1021, 1020, 1022, 1023}};
constexpr const char* kGroupTitles[3] = {"当日买卖统计(单位：亿元)", "敢死队、营业部席位买卖统计(单位：亿元)",
                                         "机构席位买卖统计(单位：亿元)"};
constexpr const char* kEditLabels[5] = {"上榜股票", "总买入", "总卖出", "净买入", "总买卖"};
constexpr int kNetEdit = 3;

CColorListCtrl* MakeList(QWidget* parent, int id) {
  auto* list = MakeControl<CColorListCtrl>(parent, id);
  list->setFont(ListFont());
  list->verticalHeader()->setVisible(false);
  list->verticalHeader()->setDefaultSectionSize(QFontMetrics(list->font()).height() + 4);
  list->setSortingEnabled(false);
  return list;
}

}  // namespace

CStockActiveDlg::CStockActiveDlg(QWidget* parent) : CStockActiveDlg(StockActiveServices{}, parent) {}

CStockActiveDlg::CStockActiveDlg(const StockActiveServices& services, QWidget* parent)
    : CServicedPage(services, parent), m_search(std::make_unique<PageSearch>("StockActiveSearch")) {
  SetPageDialogId(*this, IDD);
  BuildControls();
}

CStockActiveDlg::~CStockActiveDlg() {
  PageRegistry& registry = PageRegistry::Instance();
  if (registry.Get<IStockActivePage>(PageSlot::StockActivePage) == this) registry.Unpublish(PageSlot::StockActivePage);
}

std::string CStockActiveDlg::Today() const {
  const LocalTime now = Clock().Now();
  return DayText(now.year, now.month, now.day);
}

void CStockActiveDlg::BuildControls() {
  auto* top = new QHBoxLayout(this);
  top->setContentsMargins(6, 6, 6, 6);
  top->setSpacing(6);

  auto* rankingBox = new QGroupBox(QStringLiteral("N日内个股上榜排行 "), this);
  auto* rankingColumn = new QVBoxLayout(rankingBox);
  auto* comboRow = new QHBoxLayout;
  m_DaysCombo = MakeControl<QComboBox>(rankingBox, kDaysComboId);
  for (const char* text : kDayChoiceTexts) m_DaysCombo->addItem(QString::fromUtf8(text));
  comboRow->addWidget(m_DaysCombo);
  comboRow->addWidget(MakeLabel(rankingBox, "单位:万元"));
  comboRow->addStretch(1);
  rankingColumn->addLayout(comboRow);
  m_StockList = MakeList(rankingBox, kStockListId);
  for (int c = 0; c < kStockRankingColumnCount; ++c) {
    const Column& column = kStockColumns[static_cast<std::size_t>(c)];
    m_StockList->InsertColumn(c, column.title, LVCFMT_LEFT, column.width);
  }
  rankingColumn->addWidget(m_StockList, 1);
  top->addWidget(rankingBox, 1);

  auto* dayBox = new QGroupBox(QStringLiteral("某日上榜统计"), this);
  auto* dayColumn = new QVBoxLayout(dayBox);
  m_DayPicker = MakeControl<QDateEdit>(dayBox, kDayPickerId);
  SetUpDayPicker(m_DayPicker);
  dayColumn->addWidget(m_DayPicker);
  for (int g = 0; g < 3; ++g) {
    auto* group = new QGroupBox(QString::fromUtf8(kGroupTitles[g]), dayBox);
    auto* grid = new QGridLayout(group);
    for (int e = 0; e < 5; ++e) {
      QLineEdit* edit = e == kNetEdit ? MakeControl<CEditEx>(group, kGroupEditIds[g][e])
                                      : MakeControl<QLineEdit>(group, kGroupEditIds[g][e]);
      edit->setReadOnly(true);
      grid->addWidget(MakeLabel(group, kEditLabels[e]), 0, e);
      grid->addWidget(edit, 1, e);
      m_GroupEdits[g][e] = edit;
    }
    dayColumn->addWidget(group);
  }
  m_DayList = MakeList(dayBox, kDayListId);
  for (int c = 0; c < static_cast<int>(kDayColumns.size()); ++c) {
    const Column& column = kDayColumns[static_cast<std::size_t>(c)];
    m_DayList->InsertColumn(c, column.title, LVCFMT_LEFT, column.width);
  }
  dayColumn->addWidget(m_DayList, 1);
  top->addWidget(dayBox, 1);

  // `activated`, not `currentIndexChanged`: choosing the same N again ranks again,
  // and an index set by the page itself ranks nothing.
  connect(m_DaysCombo, &QComboBox::activated, this, [this](int index) { OnSelChangeDays(index); });
  connect(m_DayPicker, &QDateEdit::dateChanged, this,
          [this](QDate) { OnDatePicked(PickerDayText(m_DayPicker)); });
  connect(m_StockList, &CColorListCtrl::cellDoubleClicked, this, [this](int row, int) { OnStockDblClk(row); });
  m_StockList->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_StockList, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QModelIndex index = m_StockList->indexAt(pos);
    if (index.isValid()) OnStockRClick(index.row());
  });
  connect(m_DayList, &CColorListCtrl::cellDoubleClicked, this, [this](int row, int) { OnDayDblClk(row); });
  connect(m_StockList->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
          [this](int section) { OnHeaderDblClk(section); });
}

BOOL CStockActiveDlg::OnInitDialog() {
  PageRegistry::Instance().Publish<IStockActivePage>(PageSlot::StockActivePage, this);
  {
    const QSignalBlocker blocker(m_DaysCombo);
    const int index = g_Settings.TimeSel < kDayChoiceCount ? g_Settings.TimeSel : 0;
    m_DaysCombo->setCurrentIndex(index);
    choice_ = index;
  }
  for (QWidget* control : findChildren<QWidget*>()) control->installEventFilter(this);
  // The ranking is not computed at start: it waits for a choice or a request.
  ShowLatestWeekday();
  return TRUE;
}

void CStockActiveDlg::ShowLatestWeekday() {
  const std::string day = LatestWeekday(Today());
  SetPickerDayQuietly(m_DayPicker, day);
  ShowDayTotals(day);
  ShowRecentDays(kRecentDayCount);
}

void CStockActiveDlg::OnTodayDataDownloaded() {
  // The user's choice, even while the combo shows another page's request.
  OnSelChangeDays(choice_);
  ShowLatestWeekday();
}

bool CStockActiveDlg::OnRankRequest(int days) {
  if (IsSearchRunning()) return false;
  StartStockWalk(days, true);
  return true;
}

void CStockActiveDlg::OnSelChangeDays(int index) {
  if (IsSearchRunning()) {
    ShowDaysInCombo(m_nDays);  // the N being ranked
    return;
  }
  choice_ = index;
  StartStockWalk(DaysOfChoice(index), false);
  SaveTimeSel(index);
}

void CStockActiveDlg::SaveTimeSel(int index) {
  if (index < 0) index = 0;
  // The choice holds for the run even when the file cannot take it.
  g_Settings.TimeSel = static_cast<std::uint8_t>(index);
  if (!WritePrivateProfileString("system", "TimeSel", std::to_string(index), AppPath(kSettingsFileName))) {
    AppendDebugLog("cannot write TimeSel=%d", index);
  }
}

void CStockActiveDlg::StartStockWalk(int days, bool notify) {
  if (IsSearchRunning()) return;
  ++m_nWalks;
  m_nDays = days;
  // Only the walk asked for by the continuous-buying page answers it; a choice made
  // meanwhile must not answer it with another N.
  g_bNotifySustainedPage = notify;
  g_StockActivity.clear();
  m_StockList->DeleteAllItems();
  ShowDaysInCombo(days);

  // Pane 1 keeps what the page last said there: a shortage of days lasts until a
  // ranking is shown.
  CADODataBase* market = &Market();
  m_search->Start(
      true,
      [market, today = Today(), days] {
        market->InterruptWhenClosing();
        return RankStockActivity(*market, today, days);
      },
      [this](StockRankingResult& result) { ShowStockWalk(result); });
}

void CStockActiveDlg::ShowStockWalk(StockRankingResult& result) {
  g_nActiveDaysFound = result.walk.daysFound;
  g_nActiveDayOffset = result.walk.dayOffset;
  if (result.status == StockRankingStatus::QueryFailed) {
    g_bNotifySustainedPage = false;
    ShowQueryFailed(result.error);
    return;
  }
  if (result.status == StockRankingStatus::NotEnoughDays) {
    // Fewer than N days within the bound: no ranking, and the continuous-buying page
    // is not answered; the user reads why in the status bar.
    g_bNotifySustainedPage = false;
    m_pane.ShowNotice(NotEnoughDaysText(result.walk.daysFound));
    return;
  }
  g_StockActivity = std::move(result.rows);
  ShowStockRanking();
  if (g_bNotifySustainedPage) {
    g_bNotifySustainedPage = false;
    if (auto* page = PageRegistry::Instance().Get<ISustainedBuyPage>(PageSlot::ContinuousBuy)) page->OnStocksReady();
  }
}

void CStockActiveDlg::ShowDaysInCombo(int days) {
  // Set quietly: TimeSel is written by the user's pick only.
  const QSignalBlocker blocker(m_DaysCombo);
  const int index = ChoiceOfDays(days);
  if (index < 0) m_DaysCombo->setPlaceholderText(ToQString(DaysChoiceText(days)));
  m_DaysCombo->setCurrentIndex(index);
}

void CStockActiveDlg::ShowStockRanking() {
  const StockRankingView view = BuildStockRankingView(g_StockActivity);
  {
    m_StockList->setUpdatesEnabled(false);
    const auto update = qScopeGuard([this] { m_StockList->setUpdatesEnabled(true); });
    m_StockList->DeleteAllItems();
    for (std::size_t i = 0; i < view.rows.size(); ++i) {
      const StockRankingRow& row = view.rows[i];
      const int r = m_StockList->InsertItem(static_cast<int>(i), row.cells[0]);
      if (r < 0) continue;
      for (int c = 1; c < kStockRankingColumnCount; ++c) m_StockList->SetItemText(r, c, row.cells[static_cast<std::size_t>(c)]);
      m_StockList->SetCellColor(row.netColour, r, kStockSortByNet);
    }
  }
  m_pane.ResultShown();
  // The list is filled even when the file cannot be written.
  WriteStockRankingFile(view.fileBytes);
}

void CStockActiveDlg::OnHeaderDblClk(int column) {
  if (IsSearchRunning()) return;
  if (column < kStockSortByTimes || column > kStockSortByBuySell) return;
  SortStockActivity(g_StockActivity, column);
  ShowStockRanking();
}

void CStockActiveDlg::OnStockDblClk(int row) {
  if (row < 0 || row >= m_StockList->GetItemCount()) return;
  const std::string code = m_StockList->GetItemText(row, 1);
  if (auto* tracker = RequireFeature<ITrackerPage>(PageSlot::Tracker, kTrackerFeatureName))
    tracker->OnTrackByStockCode(code);
}

void CStockActiveDlg::OnStockRClick(int row) {
  if (row < 0 || row >= m_StockList->GetItemCount()) return;
  const std::string code = m_StockList->GetItemText(row, 1);
  if (auto* link = RequireFeature<ChartLink>(PageSlot::ChartLink, kChartLinkFeatureName)) link->FindChartWindow(code);
}

void CStockActiveDlg::OnDayDblClk(int row) {
  if (row < 0 || row >= m_DayList->GetItemCount()) return;
  ShowDayTotals(m_DayList->GetItemText(row, 0));
}

void CStockActiveDlg::OnDatePicked(const std::string& day) {
  const std::optional<std::int64_t> number = DayNumberOf(day);
  if (!number) return;
  const int weekday = CivilFromDays(*number).dayOfWeek;
  if (weekday == 0 || weekday == 6) return;
  ShowDayTotals(day);
}

void CStockActiveDlg::ShowDayTotals(const std::string& day) {
  const DayTotalsResult result = ::ShowDayTotals(Market(), day);
  // No row, or a read that failed (the page also fills at start-up, where a database
  // that cannot be read has already said so): the edits keep what they show.
  if (result.status != DayTotalsStatus::Found) return;
  m_strTotalsDay = day;
  for (int g = 0; g < 3; ++g) {
    const DayTotalsGroup& group = result.totals.groups[static_cast<std::size_t>(g)];
    for (int e = 0; e < 5; ++e) SetEditTextFromStart(m_GroupEdits[g][e], group.texts[static_cast<std::size_t>(e)]);
    static_cast<CEditEx*>(m_GroupEdits[g][kNetEdit])->SetTextColor(group.netColour);
  }
}

void CStockActiveDlg::ShowRecentDays(int count) {
  const RecentDaysResult result = ::ShowRecentDays(Market(), count);
  if (result.failed) return;  // quietly, as the day totals: the list stays as it is
  m_DayList->setUpdatesEnabled(false);
  const auto update = qScopeGuard([this] { m_DayList->setUpdatesEnabled(true); });
  m_DayList->DeleteAllItems();
  for (std::size_t i = 0; i < result.rows.size(); ++i) {
    const RecentDayRow& row = result.rows[i];
    const int r = m_DayList->InsertItem(static_cast<int>(i), row.cells[0]);
    if (r < 0) continue;
    for (int c = 1; c < 6; ++c) m_DayList->SetItemText(r, c, row.cells[static_cast<std::size_t>(c)]);
    m_DayList->SetCellColor(row.netColour, r, 5);
  }
}

bool CStockActiveDlg::eventFilter(QObject* watched, QEvent* event) {
  if (IsPageSwallowedKeyPress(this, watched, event)) return true;
  return CPage::eventFilter(watched, event);
}
