#include "analysis/ui/sustained_buy_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <array>
#include <vector>

#include "analysis/stock_activity.h"
#include "analysis/stock_day_detail.h"
#include "analysis/sustained_buy.h"
#include "platform/pages/chart_link_iface.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/page_widgets.h"
#include "controls/ui/tip_wnd.h"
#include "platform/app_paths.h"
#include "platform/clipboard.h"
#include "platform/debug_log.h"
#include "platform/feature_seam.h"
#include "platform/page_registry.h"
#include "platform/pages/stock_active_page_iface.h"
#include "settings/settings.h"
#include "storage/day_range.h"
#include "storage/ini_file.h"

namespace {

struct Column {
  const char* title;
  int width;
};
constexpr std::array<Column, kSustainedStockColumnCount> kStockColumns{
    {{"序号", 41}, {"上榜日期", 75}, {"股票名称", 70}, {"股票代码", 70}, {"上榜次数", 100}}};
constexpr std::array<Column, kSustainedBranchColumnCount> kBranchColumns{{{"序号", 41},
                                                                          {"上榜日期", 75},
                                                                          {"股票名称", 70},
                                                                          {"股票代码", 70},
                                                                          {"敢死队营业部", 280},
                                                                          {"总买入", 65},
                                                                          {"总卖出", 65},
                                                                          {"净买入", 65},
                                                                          {"买入/卖出次数", 100}}};
constexpr const char* kDaysTip = "   查看 近期 哪些营业部持续买入一只个股";

template <std::size_t N>
CColorListCtrl* MakeList(QWidget* parent, int id, const std::array<Column, N>& columns) {
  auto* list = MakeControl<CColorListCtrl>(parent, id);
  list->setFont(ListFont());
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSortingEnabled(false);
  list->verticalHeader()->setVisible(false);
  list->verticalHeader()->setDefaultSectionSize(QFontMetrics(list->font()).height() + 4);
  for (int c = 0; c < static_cast<int>(N); ++c) {
    const Column& column = columns[static_cast<std::size_t>(c)];
    list->InsertColumn(c, column.title, LVCFMT_LEFT, column.width);
  }
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  return list;
}

}  // namespace

CSustainedBuyDlg::CSustainedBuyDlg(QWidget* parent) : CSustainedBuyDlg(SustainedBuyServices{}, parent) {}

CSustainedBuyDlg::CSustainedBuyDlg(const SustainedBuyServices& services, QWidget* parent)
    : CServicedPage(services, parent) {
  SetPageDialogId(*this, IDD);
  BuildControls();
}

CSustainedBuyDlg::~CSustainedBuyDlg() {
  PageRegistry& registry = PageRegistry::Instance();
  if (registry.Get<ISustainedBuyPage>(PageSlot::ContinuousBuy) == this) registry.Unpublish(PageSlot::ContinuousBuy);
}

std::string CSustainedBuyDlg::Today() const {
  const LocalTime now = Clock().Now();
  return DayText(now.year, now.month, now.day);
}

std::string CSustainedBuyDlg::CountedWindow() const { return CountedWindowStart(Today(), g_nActiveDayOffset); }

void CSustainedBuyDlg::BuildControls() {
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(6, 6, 6, 6);
  top->setSpacing(4);

  auto* controls = new QHBoxLayout;
  controls->addWidget(MakeLabel(this, "N日内营业部持续买入："));
  m_DaysCombo = MakeControl<QComboBox>(this, kDaysComboId);
  for (const char* text : kSustainedChoiceTexts) m_DaysCombo->addItem(QString::fromUtf8(text));
  controls->addWidget(m_DaysCombo);
  QPushButton* showAll = MakeButton(this, kShowAllId, "显示所有持续买入");
  QPushButton* margin = MakeButton(this, kMarginBuyId, "融资买入");
  QPushButton* copy = MakeButton(this, kCopyCodesId, "加入剪贴板");
  controls->addWidget(showAll);
  controls->addWidget(margin);
  controls->addWidget(copy);
  controls->addStretch(1);
  top->addLayout(controls);

  auto* lists = new QHBoxLayout;
  m_StockList = MakeList(this, kStockListId, kStockColumns);
  m_BranchList = MakeList(this, kBranchListId, kBranchColumns);
  lists->addWidget(m_StockList, 3);
  lists->addWidget(m_BranchList, 7);
  top->addLayout(lists, 1);

  // `activated`, not `currentIndexChanged`: choosing the same N again counts again,
  // and the saved index set at start counts nothing.
  connect(m_DaysCombo, &QComboBox::activated, this, [this](int index) { OnSelChangeDays(index); });
  connect(showAll, &QPushButton::clicked, this, [this] { OnShowAllSustained(); });
  connect(margin, &QPushButton::clicked, this, [this] { OnMarginBuy(); });
  connect(copy, &QPushButton::clicked, this, [this] { OnCopyCodes(); });
  connect(m_StockList, &CColorListCtrl::cellDoubleClicked, this, [this](int row, int) { OnDblClkStockList(row); });
  connect(m_StockList, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QModelIndex index = m_StockList->indexAt(pos);
    if (index.isValid()) OnRClickStockList(index.row());
  });
  connect(m_BranchList, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QModelIndex index = m_BranchList->indexAt(pos);
    if (index.isValid()) OnRClickBranchList(index.row());
  });
}

BOOL CSustainedBuyDlg::OnInitDialog() {
  PageRegistry::Instance().Publish<ISustainedBuyPage>(PageSlot::ContinuousBuy, this);
  {
    const QSignalBlocker blocker(m_DaysCombo);
    const int saved = g_Settings.YouZiChiXuBuy;
    m_DaysCombo->setCurrentIndex(saved >= 0 && saved < kSustainedChoiceCount ? saved : 0);
  }
  m_nAllStocks = 1;
  m_TipWnd = new CTipWnd(this);
  m_TipWnd->SetParentWnd(this);
  m_TipWnd->AddTool(kDaysComboId, {kDaysTip}, kPageTipBack, kPageTipText);
  for (QWidget* control : findChildren<QWidget*>()) {
    if (control != m_TipWnd) control->installEventFilter(this);
  }
  return TRUE;
}

void CSustainedBuyDlg::OnSelChangeDays(int index) {
  // A choice the page cannot take now leaves the combo, the lists and the saved choice
  // as they were.
  const auto refuse = [this] {
    const QSignalBlocker blocker(m_DaysCombo);
    const int saved = g_Settings.YouZiChiXuBuy;
    m_DaysCombo->setCurrentIndex(saved >= 0 && saved < kSustainedChoiceCount ? saved : 0);
  };
  if (m_bBusy) return refuse();
  const int days = SustainedDaysOfChoice(index);
  // The activity page counts and hands the count back (OnStocksReady) once shown.
  if (auto* counter = PageRegistry::Instance().Get<IStockActivePage>(PageSlot::StockActivePage)) {
    if (!counter->OnRankRequest(days)) return refuse();
  }
  m_StockList->DeleteAllItems();
  SaveDaysChoice(index);
  m_BranchList->DeleteAllItems();
}

void CSustainedBuyDlg::SaveDaysChoice(int index) {
  if (index < 0) index = 0;
  // The choice holds for the run even when the file cannot take it.
  g_Settings.YouZiChiXuBuy = index;
  if (!WritePrivateProfileString("system", "YouZiChiXuBuy", std::to_string(index), AppPath(kSettingsFileName))) {
    AppendDebugLog("cannot write YouZiChiXuBuy=%d", index);
  }
}

void CSustainedBuyDlg::OnStocksReady() {
  if (m_bBusy) return;
  m_bBusy = true;
  const auto done = qScopeGuard([this] { m_bBusy = false; });
  SustainedStockList list;
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    list = ScanSustainedStocks(Market(), g_StockActivity, CountedWindow());
  }
  m_StockList->setUpdatesEnabled(false);
  const auto update = qScopeGuard([this] { m_StockList->setUpdatesEnabled(true); });
  m_StockList->DeleteAllItems();
  if (list.queryFailed) {
    ShowQueryFailed(list.error);
    return;
  }
  for (std::size_t i = 0; i < list.rows.size(); ++i) {
    const SustainedStockRow& row = list.rows[i];
    const int r = m_StockList->InsertItem(static_cast<int>(i), row.cells[0]);
    if (r < 0) continue;
    for (int c = 1; c < kSustainedStockColumnCount; ++c) m_StockList->SetItemText(r, c, row.cells[static_cast<std::size_t>(c)]);
  }
}

void CSustainedBuyDlg::OnShowAllSustained() {
  if (m_bBusy) return;
  m_nAllStocks = 1;
  FillBranchList();
}

void CSustainedBuyDlg::OnDblClkStockList(int row) {
  if (m_bBusy || row < 0 || row >= m_StockList->GetItemCount()) return;
  m_strSelectedCode = m_StockList->GetItemText(row, kSustainedCodeColumn);
  m_nAllStocks = 0;
  FillBranchList();
}

void CSustainedBuyDlg::FillBranchList() {
  if (m_bBusy) return;
  m_bBusy = true;
  const auto done = qScopeGuard([this] { m_bBusy = false; });
  SustainedBranchList list;
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    const std::optional<std::string> only =
        m_nAllStocks == 1 ? std::nullopt : std::optional<std::string>(m_strSelectedCode);
    // Today's text is taken at each fill, so a page left open past midnight is right.
    list = FillSustainedBranchList(Market(), Custom(), g_StockActivity, CountedWindow(), only,
                                   SustainedTodayText(Clock()));
  }
  ShowBranchRows(list);
}

void CSustainedBuyDlg::OnMarginBuy() { ShowBranchRows(LoadMarginBuying(Market())); }

void CSustainedBuyDlg::ShowBranchRows(const SustainedBranchList& list) {
  m_BranchList->setUpdatesEnabled(false);
  const auto update = qScopeGuard([this] { m_BranchList->setUpdatesEnabled(true); });
  m_BranchList->DeleteAllItems();
  if (list.queryFailed) {
    ShowQueryFailed(list.error);
    return;
  }
  for (std::size_t i = 0; i < list.rows.size(); ++i) {
    const SustainedBranchRow& row = list.rows[i];
    const int r = m_BranchList->InsertItem(static_cast<int>(i), row.cells[0]);
    if (r < 0) continue;
    for (int c = 1; c < kSustainedBranchColumnCount; ++c) m_BranchList->SetItemText(r, c, row.cells[static_cast<std::size_t>(c)]);
    if (row.dateColour) m_BranchList->SetCellColor(*row.dateColour, r, 1);
    if (row.branchColour) m_BranchList->SetCellColor(*row.branchColour, r, 4);
    if (row.netColour) m_BranchList->SetCellColor(*row.netColour, r, kSustainedNetColumn);
  }
}

void CSustainedBuyDlg::OnCopyCodes() {
  std::vector<std::string> codes;
  for (int i = 0; i < m_StockList->GetItemCount(); ++i) codes.push_back(m_StockList->GetItemText(i, kSustainedCodeColumn));
  CopyTextToClipboard(SustainedCodesText(codes));
}

void CSustainedBuyDlg::OnRClickStockList(int row) {
  if (row < 0 || row >= m_StockList->GetItemCount()) return;
  if (auto* link = RequireFeature<ChartLink>(PageSlot::ChartLink, kChartLinkFeatureName))
    link->FindChartWindow(m_StockList->GetItemText(row, kSustainedCodeColumn));
}

void CSustainedBuyDlg::OnRClickBranchList(int row) {
  if (row < 0 || row >= m_BranchList->GetItemCount()) return;
  if (auto* link = RequireFeature<ChartLink>(PageSlot::ChartLink, kChartLinkFeatureName))
    link->FindChartWindow(m_BranchList->GetItemText(row, kSustainedCodeColumn));
}

bool CSustainedBuyDlg::eventFilter(QObject* watched, QEvent* event) {
  if (FilterPageControlEvent(m_TipWnd, this, watched, event)) return true;
  return CPage::eventFilter(watched, event);
}
