#include "views/ui/stock_score_dlg.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "platform/pages/chart_link_iface.h"
#include "controls/ui/bitmap_button_ex.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/page_widgets.h"
#include "platform/clock.h"
#include "platform/page_registry.h"
#include "platform/feature_seam.h"
#include "platform/pages/tracker_page_iface.h"
#include "platform/ui/qt_convert.h"
#include "storage/ado_database.h"
#include "storage/day_range.h"
#include "views/day_search.h"

namespace {

enum : int { kIdScoreList = 1119 };

struct ColumnDef {
  const char* title;
  int width;
};
constexpr ColumnDef kColumns[StockScoreRow::kColumns] = {
    {"序号", 40},     {"股票名称", 70}, {"股票代码", 70},          {"总得分", 70},
    {"巨额流入", 70}, {"一家独大", 70}, {"机构出手", 70},          {"明星席位买入/卖出", 140},
    {"高收益席位买入/卖出", 140},       {"大宗交易", 70}};

}  // namespace

CStockScoreDlg::CStockScoreDlg(QWidget* parent) : CStockScoreDlg(StockScoreServices{}, parent) {}

CStockScoreDlg::CStockScoreDlg(const StockScoreServices& services, QWidget* parent)
    : CServicedPage(services, parent) {
  SetPageDialogId(*this, IDD);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  auto* dayRow = new QHBoxLayout;
  m_days = std::make_unique<DayStepper>(this, DayStepper::Style::Arrows);
  m_datePicker = m_days->Picker();
  dayRow->addWidget(m_datePicker, 0, Qt::AlignVCenter);
  dayRow->addWidget(m_days->Prev());
  dayRow->addWidget(m_days->Next());
  dayRow->addStretch(1);
  layout->addLayout(dayRow);
  m_list = new CColorListCtrl(this);
  SetDlgCtrlID(m_list, kIdScoreList);
  m_list->setFont(ListFont());
  layout->addWidget(m_list, 1);

  connect(m_datePicker, &QDateEdit::dateChanged, this, [this] { OnDateChange(); });
  connect(m_days->Prev(), &QPushButton::clicked, this, [this] { OnPrevDay(); });
  connect(m_days->Next(), &QPushButton::clicked, this, [this] { OnNextDay(); });
  connect(m_list, &CColorListCtrl::cellDoubleClicked, this, [this](int row, int) { OnListDblClk(row); });
  WatchRightPress(m_list, [this](const QPoint& at) {
    const int row = m_list->rowAt(at.y());
    if (row >= 0) m_list->selectRow(row);
    OnListRClick(row);
    return false;
  });
}

CStockScoreDlg::~CStockScoreDlg() = default;

BOOL CStockScoreDlg::OnInitDialog() {
  m_scoring = std::make_unique<CStockScoring>(Market(), Clock());
  for (int c = 0; c < StockScoreRow::kColumns; ++c) {
    m_list->InsertColumn(c, kColumns[c].title, LVCFMT_LEFT, kColumns[c].width);
  }
  // The picker starts on today; the list stays empty until a day is picked or stepped to.
  const LocalTime now = Clock().Now();
  SetPickerDay(DayText(now.year, now.month, now.day));
  return TRUE;
}

std::string CStockScoreDlg::PickerDay() const { return m_days->Day(); }

void CStockScoreDlg::SetPickerDay(const std::string& day) { m_days->SetDay(day); }

bool CStockScoreDlg::ScoreDay(const std::string& day) {
  if (!m_scoring) m_scoring = std::make_unique<CStockScoring>(Market(), Clock());
  const std::optional<std::vector<StockScoreRow>> rows = m_scoring->ScoreDay(day);
  if (!rows) return false;
  m_list->setUpdatesEnabled(false);
  const auto updateAgain = qScopeGuard([this] { m_list->setUpdatesEnabled(true); });
  m_list->DeleteAllItems();
  m_codes.clear();
  for (const StockScoreRow& row : *rows) {
    const int r = m_list->InsertItem(m_list->GetItemCount(), row.texts[0]);
    for (int c = 1; c < StockScoreRow::kColumns; ++c) m_list->SetItemText(r, c, row.texts[c]);
    for (int c = 0; c < StockScoreRow::kColumns; ++c) {
      if (row.colours[c]) m_list->SetCellColor(*row.colours[c], r, c);
    }
    m_codes.push_back(row.code);
  }
  m_strShownDay = day;
  return true;
}

void CStockScoreDlg::OnDateChange() {
  const int weekday = m_datePicker->date().dayOfWeek();  // 6 Saturday, 7 Sunday
  if (weekday == 6 || weekday == 7) return;
  const std::string day = PickerDay();
  // Compared with the day on the list: after a step the last pick is stale.
  if (day == m_strShownDay) return;
  ScoreDay(day);
}

void CStockScoreDlg::StepDay(int direction) {
  if (const std::optional<std::string> day = m_days->Step(direction, StoredDayRule(Market()))) ScoreDay(*day);
}

void CStockScoreDlg::OnPrevDay() { StepDay(-1); }

void CStockScoreDlg::OnNextDay() { StepDay(+1); }

std::string CStockScoreDlg::RowCode(int row) const {
  if (row < 0 || row >= static_cast<int>(m_codes.size())) return "";
  return m_codes[static_cast<std::size_t>(row)];
}

void CStockScoreDlg::OnListDblClk(int row) {
  if (row < 0 || row >= static_cast<int>(m_codes.size())) return;
  if (auto* tracker = RequireFeature<ITrackerPage>(PageSlot::Tracker, kTrackerFeatureName)) {
    tracker->OnTrackByStockCode(RowCode(row));
  }
}

void CStockScoreDlg::OnListRClick(int row) {
  if (row < 0 || row >= static_cast<int>(m_codes.size())) return;
  if (auto* link = RequireFeature<ChartLink>(PageSlot::ChartLink, kChartLinkFeatureName)) {
    link->FindChartWindow(RowCode(row));
  }
}
