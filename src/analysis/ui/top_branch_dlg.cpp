#include "analysis/ui/top_branch_dlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>
#include <array>

#include "analysis/province_table.h"
#include "analysis/repeat_buy_stats.h"
#include "analysis/stock_day_detail.h"
#include "analysis/ui/page_search.h"
#include "platform/pages/main_window_iface.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/edit_ex.h"
#include "controls/ui/page_widgets.h"
#include "controls/ui/tip_wnd.h"
#include "controls/ui/wrap_layout.h"
#include "platform/feature_seam.h"
#include "platform/page_registry.h"
#include "platform/pages/tracker_page_iface.h"
#include "platform/ui/qt_convert.h"
#include "records/branch_marks.h"
#include "settings/settings.h"
#include "storage/ado_database.h"
#include "storage/day_range.h"

namespace {

enum : int {
  kIdToday = 1004,
  kIdYesterday = 1021,
  kId3Days = 1007,
  kId5Days = 10121,
  kId10Days = 1317,
  kId20Days = 10132,
  kId30Days = 1009,
  kId90Days = 1010,
  kIdTypedDays = 10141,
  kIdQuery = 1048,
  kIdRepeatBuy = 1092,
};

constexpr int kFirstShowingTimerId = 3;
constexpr const char* kInitialAmount = "5000";

struct Column {
  const char* title;
  int width;
};
constexpr std::array<Column, kRankingColumnCount> kColumns{{{"序号", 41},
                                                            {"营业部", 310},
                                                            {"总买入", 85},
                                                            {"总卖出", 85},
                                                            {"总净买", 85},
                                                            {"总买卖", 85},
                                                            {"上榜次数", 70},
                                                            {"平均动用资金", 95},
                                                            {"买卖股票", 80}}};

struct MergeButton {
  int id;
  const char* text;
  int days;
};
constexpr std::array<MergeButton, 6> kMergeButtons{{{kId3Days, "3日", 3},
                                                    {kId5Days, "5日", 5},
                                                    {kId10Days, "10日", 10},
                                                    {kId20Days, "20日", 20},
                                                    {kId30Days, "30日", 30},
                                                    {kId90Days, "90日", 90}}};

struct Tip {
  int id;
  const char* text;
};
constexpr std::array<Tip, 6> kTips{{
    {kIdToday, "   可以发现当日大资金营业部 总买卖 及上榜次数   "},
    {kId3Days, "   合并3日数据，可以发现最近3日活跃的大资金营业部总买卖   "},
    {kId5Days, "   合并5日数据，可以发现最近5日活跃的大资金营业部总买卖    "},
    {kId10Days, "   合并10日数据，可以发现最近10日活跃的大资金营业部总买卖    "},
    {kId20Days, "   合并20日数据，可以发现最近一个月活跃的大资金营业部总买卖 "},
    {kId30Days, "   合并30日数据，可以发现最近30日活跃的大资金营业部总买卖 "},
}};

// The wait cursor for the rest of the scope.
auto WaitCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  return qScopeGuard([] { QApplication::restoreOverrideCursor(); });
}

// What a big-buyer query or a repeat-buy run computes off the interface thread: its
// own fold, which becomes g_BranchTotals when the result is shown.
template <class Result>
struct FoldedResult {
  Result result;
  BranchFold totals;
};

// The repeat-buy list's cells, made on the worker: a list of many rows costs the
// interface thread one insertion.
std::vector<std::vector<QString>> RepeatBuyCells(const std::vector<RepeatBuyListRow>& rows) {
  std::vector<std::vector<QString>> cells;
  cells.reserve(rows.size());
  for (const RepeatBuyListRow& row : rows) {
    cells.push_back({QString::number(row.number), ToQString(row.branch), ToQString(row.stockName),
                     ToQString(row.stockCode), QString::number(row.count)});
  }
  return cells;
}

struct RepeatBuyShown {
  FoldedResult<RepeatBuyStatsResult> folded;
  std::vector<std::vector<QString>> cells;
};

}  // namespace

CTopBranchDlg::CTopBranchDlg(QWidget* parent) : CTopBranchDlg(TopBranchServices{}, parent) {}

CTopBranchDlg::CTopBranchDlg(const TopBranchServices& services, QWidget* parent)
    : CServicedPage(services, parent), m_search(std::make_unique<PageSearch>("BranchRankingSearch")) {
  SetPageDialogId(*this, IDD);
  BuildControls();
}

CTopBranchDlg::~CTopBranchDlg() = default;

std::string CTopBranchDlg::Today() const {
  const LocalTime now = Clock().Now();
  return DayText(now.year, now.month, now.day);
}

void CTopBranchDlg::BuildControls() {
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(6, 6, 6, 6);
  top->setSpacing(4);
  auto* boxes = new CWrapLayout(6);  // the boxes wrap on a narrow page

  auto* mergeBox =
      new QGroupBox(QStringLiteral("合并 N日 可以发现最近活跃的营业部，(双击下表中 总买入、总卖出、上榜次数 进行排序)"), this);
  auto* mergeGrid = new QGridLayout(mergeBox);
  auto* days = m_DayButtons = new QButtonGroup(this);
  auto addDay = [&](int id, const char* text, int row, int column) {
    auto* radio = MakeControl<QRadioButton>(mergeBox, id, QString::fromUtf8(text));
    days->addButton(radio);
    mergeGrid->addWidget(radio, row, column);
    return radio;
  };
  auto* today = addDay(kIdToday, "今日", 0, 0);
  auto* yesterday = addDay(kIdYesterday, "昨日", 0, 1);
  connect(today, &QRadioButton::clicked, this, [this] { OnToday(); });
  connect(yesterday, &QRadioButton::clicked, this, [this] { OnYesterday(); });
  for (std::size_t i = 0; i < kMergeButtons.size(); ++i) {
    const MergeButton& b = kMergeButtons[i];
    auto* radio = addDay(b.id, b.text, static_cast<int>(i / 4), static_cast<int>(2 + i % 4));
    connect(radio, &QRadioButton::clicked, this, [this, n = b.days] { StartMerge(n); });
  }
  auto* typed = addDay(kIdTypedDays, "几日数据：", 1, 0);
  connect(typed, &QRadioButton::clicked, this, [this] { OnMergeTyped(); });
  m_DaysEdit = MakeControl<CEditEx>(mergeBox, kDaysEditId);
  m_DaysEdit->setMaximumWidth(60);
  mergeGrid->addWidget(m_DaysEdit, 1, 1);
  boxes->addWidget(mergeBox);

  auto* bigBox = new QGroupBox(QStringLiteral("大资金买入敢死队(TOP200)"), this);
  auto* bigRow = new QGridLayout(bigBox);
  bigRow->addWidget(MakeLabel(bigBox, "过滤金额(万元): "), 0, 0);
  m_AmountEdit = MakeControl<CEditEx>(bigBox, kAmountEditId);
  m_AmountEdit->setMinimumWidth(150);
  bigRow->addWidget(m_AmountEdit, 0, 1);
  auto* query = MakeButton(bigBox, kIdQuery, "查询");
  connect(query, &QPushButton::clicked, this, [this] { OnQueryBigBuyers(); });
  bigRow->addWidget(query, 0, 2);
  bigRow->addWidget(MakeLabel(bigBox, "指定日期显示:"), 1, 0);
  m_Picker = MakeControl<QDateEdit>(bigBox, kPickerId);
  SetUpDayPicker(m_Picker);
  connect(m_Picker, &QDateEdit::dateChanged, this, [this] { OnDateChange(); });
  bigRow->addWidget(m_Picker, 1, 1);
  auto* repeat = MakeButton(bigBox, kIdRepeatBuy, "游资买入一只股票2次以上的比率");
  connect(repeat, &QPushButton::clicked, this, [this] { OnRepeatBuyStats(); });
  bigRow->addWidget(repeat, 2, 0, 1, 3);
  boxes->addWidget(bigBox);

  auto* regionBox = new QGroupBox(QStringLiteral("按地域显示"), this);
  auto* regionGrid = new QGridLayout(regionBox);
  for (std::size_t i = 0; i < kRegionButtons.size(); ++i) {
    const RegionButton& region = kRegionButtons[i];
    auto* button = MakeButton(regionBox, region.id, region.caption);
    button->setMaximumWidth(48);
    connect(button, &QPushButton::clicked, this, [this, id = region.id] { OnRegion(id); });
    regionGrid->addWidget(button, static_cast<int>(i / 7), static_cast<int>(i % 7));
  }
  boxes->addWidget(regionBox);
  top->addLayout(boxes);

  top->addWidget(MakeLabel(this, "[单位：万元]"));
  m_list = MakeControl<CColorListCtrl>(this, kListId);
  m_list->setFont(ListFont());
  m_list->setSortingEnabled(false);
  m_list->verticalHeader()->setVisible(false);
  m_list->verticalHeader()->setDefaultSectionSize(QFontMetrics(m_list->font()).height() + 4);
  top->addWidget(m_list, 1);
  connect(m_list, &CColorListCtrl::cellDoubleClicked, this, [this](int row, int) { OnListDblClk(row); });
  connect(m_list->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
          [this](int column) { OnHeaderDblClk(column); });

  m_firstShowing = new QTimer(this);
  m_firstShowing->setSingleShot(true);
  m_firstShowing->setInterval(kFirstShowingMs);
  m_firstShowing->setProperty("timerId", kFirstShowingTimerId);
  connect(m_firstShowing, &QTimer::timeout, this, [this] { OnFirstShowing(); });
}

BOOL CTopBranchDlg::OnInitDialog() {
  BuildCityProvinceTable();
  for (int c = 0; c < kRankingColumnCount; ++c) {
    const Column& column = kColumns[static_cast<std::size_t>(c)];
    m_list->InsertColumn(c, column.title, LVCFMT_LEFT, column.width);
  }
  m_nSortMode = kBranchSortByTotalBuy;
  GetDlgItemAs<QRadioButton>(kIdToday)->setChecked(true);
  m_bBusy = 0;
  SetEditText(m_AmountEdit, kInitialAmount);
  SetPickerDayQuietly(m_Picker, Today());
  m_firstShowing->start();

  m_TipWnd = new CTipWnd(this);
  m_TipWnd->SetParentWnd(this);
  for (const Tip& tip : kTips) m_TipWnd->AddTool(tip.id, {tip.text}, kPageTipBack, kPageTipText);
  for (QWidget* control : findChildren<QWidget*>()) {
    if (control != m_TipWnd) control->installEventFilter(this);
  }
  return TRUE;
}

bool CTopBranchDlg::IsFirstShowingPending() const { return m_firstShowing->isActive(); }

void CTopBranchDlg::SetEditText(CEditEx* edit, const std::string& text) { SetEditTextFromStart(edit, text); }

void CTopBranchDlg::ClearList() { m_list->DeleteAllItems(); }

void CTopBranchDlg::FillRows(const std::vector<BranchRankingRow>& rows) {
  // One repaint for the whole fill.
  m_list->setUpdatesEnabled(false);
  const auto update = qScopeGuard([this] { m_list->setUpdatesEnabled(true); });
  m_list->DeleteAllItems();
  for (const BranchRankingRow& row : rows) {
    const int r = m_list->InsertItem(m_list->GetItemCount(), row.cells[0]);
    for (int c = 1; c < kRankingColumnCount; ++c) m_list->SetItemText(r, c, row.cells[static_cast<std::size_t>(c)]);
    if (row.nameColour) m_list->SetCellColor(*row.nameColour, r, 1);
    m_list->SetCellColor(row.netColour, r, 4);
    m_list->SetCellColor(row.averageColour, r, 7);
  }
  m_pane.ResultShown();
}

void CTopBranchDlg::FillRepeatBuyRows(std::vector<std::vector<QString>> cells) {
  m_list->setUpdatesEnabled(false);
  const auto update = qScopeGuard([this] { m_list->setUpdatesEnabled(true); });
  m_list->DeleteAllItems();
  m_list->AppendRows(std::move(cells));
  m_pane.ResultShown();
}

void CTopBranchDlg::ShowRanking() {
  const auto restore = WaitCursor();
  const std::vector<CBranchTotalsRow>& rows = g_BranchTotals.Rows();
  BranchMarks marks;
  if (!rows.empty()) marks.Load(Custom());
  const BranchRankingView view = BuildRankingView(rows, marks);
  // A file that cannot be written is told; the list is filled all the same.
  WriteRankingFile(view.fileBytes);
  FillRows(view.rows);
}

void CTopBranchDlg::ShowResult(const BranchRankingResult& result) {
  switch (result.status) {
    case RankingStatus::Ranked:
      ShowRanking();
      break;
    case RankingStatus::QueryFailed:
      ClearList();
      ShowQueryFailed(result.error);
      break;
    case RankingStatus::NothingToRank:
    case RankingStatus::NotEnoughDays:
      ClearList();
      break;
  }
}

void CTopBranchDlg::OnToday() {
  if (RefuseWhileBusy()) return;
  const auto restore = WaitCursor();
  ShowResult(RankToday(Market(), Today(), g_BranchTotals));
}

void CTopBranchDlg::OnYesterday() {
  if (RefuseWhileBusy()) return;
  ShowResult(RankYesterday(Market(), Today(), g_BranchTotals));
}

void CTopBranchDlg::OnDateChange() {
  if (RefuseWhileBusy()) return;
  const std::string day = PickerDayText(m_Picker);
  const std::optional<std::int64_t> number = DayNumberOf(day);
  if (!number) return;
  const int weekday = CivilFromDays(*number).dayOfWeek;
  if (weekday == 0 || weekday == 6) return;
  if (day == m_strShownDay) return;
  m_strShownDay = day;
  ShowResult(RankDay(Market(), day, g_BranchTotals));
}

void CTopBranchDlg::OnQueryBigBuyers() {
  if (RefuseWhileBusy()) return;
  KeepControlsOfSearch();
  CADODataBase* market = &Market();
  m_search->Start(
      false,
      [market, threshold = FromQString(m_AmountEdit->text())] {
        market->InterruptWhenClosing();
        FoldedResult<BranchRankingResult> folded;
        folded.result = QueryBigBuyers(*market, threshold, folded.totals);
        return folded;
      },
      [this](FoldedResult<BranchRankingResult>& folded) {
        g_BranchTotals = std::move(folded.totals);
        ShowResult(folded.result);
      },
      [this] { ClearFailedSearch(); });
}

bool CTopBranchDlg::IsBusy() const { return m_bBusy != 0 || IsSearchRunning(); }

bool CTopBranchDlg::IsSearchRunning() const { return m_search->IsRunning(); }

bool CTopBranchDlg::RefuseWhileBusy() {
  if (!IsBusy()) return false;
  if (IsSearchRunning()) {
    if (m_dayOfSearch != nullptr) m_dayOfSearch->setChecked(true);
    if (PickerDayText(m_Picker) != m_pickerDayOfSearch) SetPickerDayQuietly(m_Picker, m_pickerDayOfSearch);
  }
  return true;
}

void CTopBranchDlg::KeepControlsOfSearch() {
  m_dayOfSearch = m_DayButtons->checkedButton();
  m_pickerDayOfSearch = PickerDayText(m_Picker);
}

void CTopBranchDlg::ShowLongWait(int days) {
  if (days >= kLongWaitDays) ShowStatus(kLongWaitText);
}

// The merge's progress and shortage go to pane 1 of the status bar: edit 1006 keeps
// the user's threshold for the next query.
void CTopBranchDlg::ShowStatus(const std::string& text) { m_pane.Show(text); }

void CTopBranchDlg::StartMerge(int days) {
  if (RefuseWhileBusy()) return;
  m_bBusy = 1;
  const auto idle = qScopeGuard([this] { m_bBusy = 0; });
  ShowLongWait(days);
  g_nDaysFound = 0;
  g_nDayOffset = 0;
  ClearList();
  const auto restore = WaitCursor();
  const BranchRankingResult result = MergeDays(Market(), Today(), days, m_nSortMode, g_BranchTotals);
  g_nDaysFound = result.walk.daysFound;
  g_nDayOffset = result.walk.dayOffset;
  switch (result.status) {
    case RankingStatus::Ranked:
      ShowStatus(SortingText(m_nSortMode, result.branchesBeforeSort));
      ShowStatus(kSortDoneText);
      ShowRanking();
      break;
    case RankingStatus::NotEnoughDays:
      m_pane.ShowNotice(NotEnoughDaysText(result.walk.daysFound));
      break;
    case RankingStatus::QueryFailed:
      ShowQueryFailed(result.error);
      break;
    case RankingStatus::NothingToRank:
      break;
  }
}

void CTopBranchDlg::OnMergeTyped() { StartMerge(ParseLeadingInt(FromQString(m_DaysEdit->text()))); }

void CTopBranchDlg::OnRepeatBuyStats() { StartRepeatBuyStats(kRepeatBuyDays); }

void CTopBranchDlg::StartRepeatBuyStats(int days) {
  if (RefuseWhileBusy()) return;
  m_nSortMode = kBranchSortByTimes;
  KeepControlsOfSearch();
  ShowLongWait(days);
  ClearList();
  // The Buy2Times rows and the trace file are written by the worker, before the list
  // is filled, as the statistics always did.
  CADODataBase* market = &Market();
  m_search->Start(
      days >= kLongWaitDays,
      [market, today = Today(), days] {
        market->InterruptWhenClosing();
        RepeatBuyShown shown;
        FoldedResult<RepeatBuyStatsResult>& folded = shown.folded;
        folded.result = RunRepeatBuyStats(*market, today, days, folded.totals);
        shown.cells = RepeatBuyCells(folded.result.rows);
        return shown;
      },
      [this](RepeatBuyShown& shown) {
        FoldedResult<RepeatBuyStatsResult>& folded = shown.folded;
        g_BranchTotals = std::move(folded.totals);
        const RepeatBuyStatsResult& result = folded.result;
        g_nDaysFound = result.walk.daysFound;
        g_nDayOffset = result.walk.dayOffset;
        if (result.queryFailed) return;  // told already; nothing is listed
        if (!result.walk.complete) {
          m_pane.ShowNotice(NotEnoughDaysText(result.walk.daysFound));
          return;
        }
        FillRepeatBuyRows(std::move(shown.cells));
      },
      [this] { ClearFailedSearch(); });
}

void CTopBranchDlg::ClearFailedSearch() {
  // The regions and the header's sort would show the older ranking again.
  g_BranchTotals.Clear();
  ClearList();
}

void CTopBranchDlg::OnRegion(int buttonId) {
  if (RefuseWhileBusy()) return;
  for (const RegionButton& region : kRegionButtons) {
    if (region.id != buttonId) continue;
    if (region.province < 0) {
      ShowRegionCity(region.caption);
    } else {
      ShowRegionProvince(RegionKeys(buttonId));
    }
    return;
  }
}

void CTopBranchDlg::ShowRegionCity(const std::string& key) { ShowRegionProvince({key}); }

void CTopBranchDlg::ShowRegionProvince(const std::vector<std::string>& cities) {
  const auto restore = WaitCursor();
  const std::vector<CBranchTotalsRow>& rows = g_BranchTotals.Rows();
  BranchMarks marks;
  if (!rows.empty()) marks.Load(Custom());
  FillRows(RegionView(rows, cities, marks));
}

void CTopBranchDlg::OnListDblClk(int row) {
  if (row < 0 || row >= m_list->GetItemCount()) return;
  const std::string branch = m_list->GetItemText(row, 1);
  if (auto* tracker = RequireFeature<ITrackerPage>(PageSlot::Tracker, kTrackerFeatureName)) {
    tracker->OnTrackBranch(branch);
  }
}

void CTopBranchDlg::OnHeaderDblClk(int column) {
  if (column < kBranchSortByTotalBuy || column > kBranchSortByAverageFunds) return;
  if (QApplication::mouseButtons() & Qt::RightButton) return;
  if (RefuseWhileBusy()) return;
  m_nSortMode = column;
  g_BranchTotals.SortBranches(column);
  ShowRanking();
}

void CTopBranchDlg::OnFirstShowing() {
  m_firstShowing->stop();
  // A search started before it: its result is the list's.
  if (RefuseWhileBusy()) return;
  // A database the start could not open was told then: no second box about it.
  if (!Market().IsOpen()) return;
  // Today's ranking, then sorted by total buy: shown once, so a failed mark lookup
  // is told once.
  const auto restore = WaitCursor();
  const BranchRankingResult result = RankToday(Market(), Today(), g_BranchTotals);
  if (result.status == RankingStatus::QueryFailed) {
    ShowResult(result);
    return;
  }
  g_BranchTotals.SortBranches(kBranchSortByTotalBuy);
  ShowRanking();
}

bool CTopBranchDlg::eventFilter(QObject* watched, QEvent* event) {
  if (FilterPageControlEvent(m_TipWnd, this, watched, event)) return true;
  return CPage::eventFilter(watched, event);
}
