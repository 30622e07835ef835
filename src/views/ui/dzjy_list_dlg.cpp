#include "views/ui/dzjy_list_dlg.h"

#include <QApplication>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <array>
#include <atomic>

#include "platform/pages/main_window_iface.h"
#include "platform/pages/chart_link_iface.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/page_widgets.h"
#include "platform/message_box.h"
#include "platform/page_registry.h"
#include "platform/feature_seam.h"
#include "platform/pages/dzjy_tabs_iface.h"
#include "platform/ui/qt_convert.h"
#include "records/branch_marks.h"
#include "settings/settings.h"
#include "storage/ado_database.h"
#include "storage/day_range.h"
#include "views/day_search.h"

namespace {

enum : int {
  kIdRows = 1000,
  kIdDays = 1001,
  kIdShowDay = 1007,
  kIdSearch = 1017,
  kIdTotals = 1048,
  kIdStockSearch = 1152,
  kIdBuyerSearch = 1153,
};

// The main window's tab of the block-trade window, and the list page's own tab in it.
constexpr int kMainTabIndex = 3;
constexpr int kListPageIndex = 0;

struct Column {
  const char* title;
  int width;
};
constexpr std::array<Column, kBlockTradeColumnCount> kColumns{{{"行号", 40},
                                                                {"上榜日期", 80},
                                                                {"股票名称", 65},
                                                                {"股票代码", 65},
                                                                {"收盘价", 55},
                                                                {"成交价", 55},
                                                                {"溢价", 40},
                                                                {"成交数量", 65},
                                                                {"成交金额", 65},
                                                                {"买方营业部", 275},
                                                                {"卖方营业部", 275},
                                                                {"备注", 70}}};

std::atomic<int> g_beepCount{0};

}  // namespace

void FillBlockTradeList(CColorListCtrl& list, const std::vector<BlockTradeLine>& lines) {
  list.setUpdatesEnabled(false);
  const auto update = qScopeGuard([&list] { list.setUpdatesEnabled(true); });
  list.DeleteAllItems();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int row = list.InsertItem(static_cast<int>(i), lines[i].texts[0]);
    if (row < 0) continue;
    for (int c = 0; c < kBlockTradeColumnCount; ++c) {
      const auto column = static_cast<std::size_t>(c);
      if (c > 0) list.SetItemText(row, c, lines[i].texts[column]);
      if (lines[i].colours[column]) list.SetCellColor(*lines[i].colours[column], row, c);
    }
  }
}

void PageBeep::Beep() {
  ++g_beepCount;
  QApplication::beep();
}
int PageBeep::Count() { return g_beepCount.load(); }
void PageBeep::ResetCount() { g_beepCount = 0; }

CDzjyListDlg::CDzjyListDlg(QWidget* parent) : CDzjyListDlg(DzjyListServices{}, parent) {}

CDzjyListDlg::CDzjyListDlg(const DzjyListServices& services, QWidget* parent) : CServicedPage(services, parent) {
  SetPageDialogId(*this, IDD);
  BuildControls();
  WatchControls();
}

CDzjyListDlg::~CDzjyListDlg() {
  PageRegistry& registry = PageRegistry::Instance();
  if (registry.Get<IDzjyListPage>(PageSlot::DzjyList) == this) registry.Unpublish(PageSlot::DzjyList);
}

void CDzjyListDlg::BuildControls() {
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(6, 6, 6, 6);
  top->setSpacing(4);

  // Row 1: the day and its stepping, the search.
  auto* dayRow = new QHBoxLayout;
  m_days = std::make_unique<DayStepper>(this, DayStepper::Style::Plain);
  m_datePicker = m_days->Picker();
  m_btnShowDay = MakeButton(this, kIdShowDay, "详细显示");
  m_editSearch = MakeControl<QLineEdit>(this, kIdSearch);
  m_editSearch->setMinimumWidth(260);
  m_editSearch->setMaximumWidth(420);
  m_btnStock = MakeButton(this, kIdStockSearch, "个股查询");
  m_btnBuyer = MakeButton(this, kIdBuyerSearch, "买方：营业部名称或部分关键字");
  dayRow->addWidget(m_datePicker);
  dayRow->addWidget(m_days->Prev());
  dayRow->addWidget(m_days->Next());
  dayRow->addWidget(m_btnShowDay);
  dayRow->addSpacing(16);
  dayRow->addWidget(MakeLabel(this, "搜索查询："));
  dayRow->addWidget(m_editSearch, 1);
  dayRow->addWidget(m_btnStock);
  dayRow->addWidget(m_btnBuyer);
  dayRow->addStretch(1);
  top->addLayout(dayRow);

  // Row 2: N days, the totals, the notes.
  auto* numberRow = new QHBoxLayout;
  m_editDays = MakeControl<QLineEdit>(this, kIdDays);
  m_editDays->setMaximumWidth(60);
  m_editRows = MakeControl<QLineEdit>(this, kIdRows);
  m_editRows->setMaximumWidth(60);
  m_btnTotals = MakeButton(this, kIdTotals, "合并数据");
  numberRow->addWidget(MakeLabel(this, "最近多少日数据："));
  numberRow->addWidget(m_editDays);
  numberRow->addSpacing(16);
  numberRow->addWidget(MakeLabel(this, "合并多少行/天："));
  numberRow->addWidget(m_editRows);
  numberRow->addWidget(m_btnTotals);
  numberRow->addSpacing(16);
  auto* notes = new QVBoxLayout;
  notes->setSpacing(0);
  notes->addWidget(MakeLabel(this, "1. 上面的“搜索查询”可以显示数据库中所有上榜数据。"));
  notes->addWidget(MakeLabel(this, "2. 双击下面列表中股票代码，可查询最近 N 日上榜数据。(N默认是60)"));
  numberRow->addLayout(notes, 1);
  top->addLayout(numberRow);

  m_list = MakeControl<CColorListCtrl>(this, kListId);
  m_list->setFont(ListFont());
  m_list->verticalHeader()->setVisible(false);
  m_list->verticalHeader()->setDefaultSectionSize(QFontMetrics(m_list->font()).height() + 4);
  for (int c = 0; c < kBlockTradeColumnCount; ++c) {
    const Column& column = kColumns[static_cast<std::size_t>(c)];
    m_list->InsertColumn(c, column.title, LVCFMT_LEFT, column.width);
  }
  top->addWidget(m_list, 1);
}

void CDzjyListDlg::WatchControls() {
  connect(m_days->Prev(), &QPushButton::clicked, this, [this] { OnPrevDay(); });
  connect(m_days->Next(), &QPushButton::clicked, this, [this] { OnNextDay(); });
  connect(m_btnShowDay, &QPushButton::clicked, this, [this] { OnShowDay(); });
  connect(m_btnTotals, &QPushButton::clicked, this, [this] { OnTotalRows(); });
  connect(m_btnStock, &QPushButton::clicked, this, [this] { OnStockSearch(); });
  connect(m_btnBuyer, &QPushButton::clicked, this, [this] { OnBuyerSearch(); });
  connect(m_datePicker, &QDateEdit::dateChanged, this, [this] { OnDateChange(); });
  connect(m_list, &CColorListCtrl::cellDoubleClicked, this, [this](int row, int column) { OnListDblClk(row, column); });
  WatchRightPress(m_list, [this](const QPoint& at) {
    const QModelIndex index = m_list->indexAt(at);
    if (index.isValid()) OnListRClick(index.row());
    return true;
  });
}

BOOL CDzjyListDlg::OnInitDialog() {
  PageRegistry::Instance().Publish<IDzjyListPage>(PageSlot::DzjyList, this);
  m_editDays->setText(QStringLiteral("60"));
  m_nDays = 60;
  const LocalTime now = Clock().Now();
  const std::string today = DayText(now.year, now.month, now.day);
  SetPickerDay(today);
  ShowDay(today);  // a weekend simply lists nothing
  SetEditTextFromStart(m_editSearch, kBlockTradeSearchHint);
  return TRUE;
}

// ---- days ----

std::string CDzjyListDlg::PickerDay() const { return m_days->Day(); }

void CDzjyListDlg::SetPickerDay(const std::string& day) { m_days->SetDay(day); }

void CDzjyListDlg::StepDay(int direction) {
  if (const std::optional<std::string> day = m_days->Step(direction, TradeDayRule(Market()))) ShowDay(*day);
}

void CDzjyListDlg::OnPrevDay() { StepDay(-1); }

void CDzjyListDlg::OnNextDay() { StepDay(+1); }

void CDzjyListDlg::OnShowDay() {
  const std::string day = PickerDay();
  if (DayHasTrades(Market(), day)) ShowDay(day);
}

void CDzjyListDlg::OnDateChange() {
  const QDate date = m_datePicker->date();
  const std::string day = PickerDay();
  if (date.dayOfWeek() >= 6) {
    // A status note, not a box: typing a date changes it once per field.
    if (auto* bar = PageRegistry::Instance().Get<IStatusBar>(PageSlot::StatusBar)) {
      bar->SetPaneText(0, day + "不营业!");
    }
    return;
  }
  // Compared with the day actually listed, so a pick after stepping or a search
  // lists the day again.
  if (day != m_strListedDay) ShowDay(day);
}

// ---- listings ----

void CDzjyListDlg::ShowDay(const std::string& day) {
  BranchMarks marks;
  marks.Load(Custom());
  if (!m_listing.ShowDay(Market(), day, marks)) return;
  m_strListedDay = day;
  ShowLines();
}

void CDzjyListDlg::RunTradeQuery(const BlockTradeQuery& query) {
  BranchMarks marks;
  marks.Load(Custom());
  if (!m_listing.RunTradeQuery(Market(), query, marks)) return;
  m_strListedDay.clear();
  ShowLines();
}

void CDzjyListDlg::ShowLines() {
  FillBlockTradeList(*m_list, m_listing.Lines());
  m_editRows->setText(QString::number(m_listing.AddedCount()));
}

void CDzjyListDlg::OnTotalRows() {
  m_listing.AppendTotals(FromQString(m_editRows->text()));
  // The count stays the user's: a second press totals the same rows again.
  FillBlockTradeList(*m_list, m_listing.Lines());
}

// ---- searches ----

void CDzjyListDlg::OnStockSearch() {
  const std::optional<BlockTradeQuery> query = StockSearchQuery(FromQString(m_editSearch->text()));
  if (!query) {
    PageBeep::Beep();
    return;
  }
  RunTradeQuery(*query);
}

void CDzjyListDlg::OnBuyerSearch() {
  const std::optional<BlockTradeQuery> query = BuyerKeywordTradesQuery(FromQString(m_editSearch->text()));
  if (!query) {
    MessageBox(kKeywordTooShortText, g_strWindowTitle, MB_OK | MB_ICONWARNING);
    return;
  }
  RunTradeQuery(*query);
}

void CDzjyListDlg::OnListDblClk(int row, int column) {
  m_nDays = ParseLeadingInt(FromQString(m_editDays->text()));
  if (row < 0 || row >= m_list->GetItemCount()) return;
  const std::optional<RecentTradesBy> by = RecentTradesByColumn(column);
  if (!by) return;
  const std::string value = m_list->GetItemText(row, column);
  SetEditTextFromStart(m_editSearch, value);
  RunTradeQuery(RecentTradesQuery(*by, value, Clock(), m_nDays));
}

void CDzjyListDlg::OnListRClick(int row) {
  if (row < 0 || row >= m_list->GetItemCount()) return;
  if (auto* link = RequireFeature<ChartLink>(PageSlot::ChartLink, kChartLinkFeatureName)) {
    link->FindChartWindow(m_list->GetItemText(row, 3));
  }
}

// ---- entries from other pages ----

void CDzjyListDlg::BringForward() {
  PageRegistry& registry = PageRegistry::Instance();
  if (auto* tabs = registry.Get<IMainTabs>(PageSlot::MainTabCtrl)) tabs->SetCurSel(kMainTabIndex);
  if (auto* tabs = registry.Get<IDzjyTabs>(PageSlot::DzjyTabCtrl)) tabs->SetCurSel(kListPageIndex);
}

void CDzjyListDlg::ShowStockTrades(const std::string& stockCode) {
  BringForward();
  RunTradeQuery(StockCodeTradesQuery(stockCode));
}

void CDzjyListDlg::ShowBuyerTrades(const std::string& branchName) {
  BringForward();
  RunTradeQuery(RecentTradesQuery(RecentTradesBy::Buyer, branchName, Clock(), m_nDays));
}

void CDzjyListDlg::ShowSellerTrades(const std::string& branchName) {
  BringForward();
  RunTradeQuery(RecentTradesQuery(RecentTradesBy::Seller, branchName, Clock(), m_nDays));
}
