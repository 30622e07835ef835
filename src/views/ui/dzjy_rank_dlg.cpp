#include "views/ui/dzjy_rank_dlg.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QRadioButton>
#include <QVBoxLayout>
#include <array>

#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/page_widgets.h"
#include "platform/page_registry.h"
#include "platform/feature_seam.h"
#include "platform/pages/dzjy_list_page_iface.h"
#include "platform/ui/qt_convert.h"
#include "records/branch_marks.h"
#include "storage/ado_database.h"
#include "views/ui/dzjy_list_dlg.h"

namespace {

enum : int {
  kIdBuyer = 1008,
  kIdSeller = 1011,
  kId10 = 1012,
  kId20 = 1013,
  kId60 = 1014,
  kId6Months = 1015,
  kIdStock = 1016,
  kIdCount = 1017,
};

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
                                                                {"上榜次数", 65},
                                                                {"成交数量", 65},
                                                                {"成交金额", 65},
                                                                {"买方营业部", 275},
                                                                {"卖方营业部", 275},
                                                                {"备注", 70}}};

template <class W>
W* Radio(QWidget* parent, int id, const char* text) {
  return MakeControl<W>(parent, id, QString::fromUtf8(text));
}

}  // namespace

CDzjyRankDlg::CDzjyRankDlg(QWidget* parent) : CDzjyRankDlg(DzjyRankServices{}, parent) {}

CDzjyRankDlg::CDzjyRankDlg(const DzjyRankServices& services, QWidget* parent) : CServicedPage(services, parent) {
  SetPageDialogId(*this, IDD);
  BuildControls();
}

void CDzjyRankDlg::BuildControls() {
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(6, 6, 6, 6);
  top->setSpacing(4);
  auto* boxes = new QHBoxLayout;

  auto* periodBox = new QGroupBox(QStringLiteral("选择时间段(10天不是10个交易日)"), this);
  auto* periodRow = new QHBoxLayout(periodBox);
  m_radio10 = Radio<QRadioButton>(periodBox, kId10, "10日");
  m_radio20 = Radio<QRadioButton>(periodBox, kId20, "20日");
  m_radio60 = Radio<QRadioButton>(periodBox, kId60, "60日");
  m_radio6m = Radio<QRadioButton>(periodBox, kId6Months, "6个月");
  m_radio6m->setEnabled(false);
  m_periodGroup = new QButtonGroup(this);
  for (QRadioButton* radio : {m_radio10, m_radio20, m_radio60, m_radio6m}) {
    m_periodGroup->addButton(radio);
    periodRow->addWidget(radio);
  }
  boxes->addWidget(periodBox);

  auto* groupingBox = new QGroupBox(QStringLiteral("按排序方式"), this);
  auto* groupingRow = new QHBoxLayout(groupingBox);
  m_radioBuyer = Radio<QRadioButton>(groupingBox, kIdBuyer, "营业部买入金额 ");
  m_radioSeller = Radio<QRadioButton>(groupingBox, kIdSeller, "营业部卖出金额");
  m_radioStock = Radio<QRadioButton>(groupingBox, kIdStock, "个股买卖总金额 ");
  m_radioCount = Radio<QRadioButton>(groupingBox, kIdCount, "买卖次数");
  m_radioCount->setEnabled(false);
  m_groupingGroup = new QButtonGroup(this);
  for (QRadioButton* radio : {m_radioBuyer, m_radioSeller, m_radioStock, m_radioCount}) {
    m_groupingGroup->addButton(radio);
    groupingRow->addWidget(radio);
  }
  boxes->addWidget(groupingBox);
  boxes->addStretch(1);
  top->addLayout(boxes);

  m_list = MakeControl<CColorListCtrl>(this, kListId);
  m_list->setFont(ListFont());
  m_list->verticalHeader()->setVisible(false);
  m_list->verticalHeader()->setDefaultSectionSize(QFontMetrics(m_list->font()).height() + 4);
  for (int c = 0; c < kBlockTradeColumnCount; ++c) {
    const Column& column = kColumns[static_cast<std::size_t>(c)];
    m_list->InsertColumn(c, column.title, LVCFMT_LEFT, column.width);
  }
  top->addWidget(m_list, 1);

  // `clicked`, not `toggled`: clicking the checked radio again ranks again.
  connect(m_radio10, &QRadioButton::clicked, this, [this] { Rank(10); });
  connect(m_radio20, &QRadioButton::clicked, this, [this] { Rank(20); });
  connect(m_radio60, &QRadioButton::clicked, this, [this] { Rank(60); });
  for (QRadioButton* radio : {m_radioBuyer, m_radioSeller, m_radioStock}) {
    connect(radio, &QRadioButton::clicked, this,
            [this] { Rank(RankingDays(m_radio60->isChecked(), m_radio20->isChecked())); });
  }
  connect(m_list, &CColorListCtrl::cellDoubleClicked, this, [this](int row, int column) { OnListDblClk(row, column); });
}

BOOL CDzjyRankDlg::OnInitDialog() {
  // No ranking until the user clicks a radio.
  m_radio10->setChecked(true);
  m_radioBuyer->setChecked(true);
  return TRUE;
}

RankGrouping CDzjyRankDlg::Grouping() const {
  if (m_radioSeller->isChecked()) return RankGrouping::BySeller;
  if (m_radioStock->isChecked()) return RankGrouping::ByStock;
  return RankGrouping::ByBuyer;
}

void CDzjyRankDlg::Rank(int days) {
  ++m_nRanks;
  m_nRankedDays = days;
  // A failed query leaves no groups, so the list is emptied.
  RankTrades(Market(), Clock(), days, Grouping(), m_vecGroups);
  BranchMarks marks;
  marks.Load(Custom());
  FillBlockTradeList(*m_list, RankingLines(m_vecGroups, marks));
}

void CDzjyRankDlg::OnListDblClk(int row, int column) {
  if (row < 0 || row >= m_list->GetItemCount()) return;
  if (column != 3 && column != 9 && column != 10) return;
  auto* page = RequireFeature<IDzjyListPage>(PageSlot::DzjyList, kDzjyFeatureName);
  if (page == nullptr) return;
  const std::string text = m_list->GetItemText(row, column);
  if (column == 3) page->ShowStockTrades(text);
  if (column == 9) page->ShowBuyerTrades(text);
  if (column == 10) page->ShowSellerTrades(text);
}
