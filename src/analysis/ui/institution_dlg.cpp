#include "analysis/ui/institution_dlg.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <vector>

#include "analysis/institution_list.h"
#include "analysis/tracker_line.h"
#include "platform/pages/chart_link_iface.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/page_widgets.h"
#include "platform/clipboard.h"
#include "platform/feature_seam.h"
#include "platform/page_registry.h"
#include "platform/pages/tracker_page_iface.h"
#include "platform/ui/qt_convert.h"

namespace {

enum : int {
  kIdBuySeats = 1000,
  kIdMinNet = 1001,
  kIdSellSeats = 1002,
  kIdFilter = 1004,
  kIdShowAll = 1006,
  kIdNetBuy = 1007,
  kIdCopy = 1008,
  kIdNetSell = 1048,
};

constexpr const char* kInstitutionSeat = "机构专用";
constexpr const char* kHeadline = "机构买入卖出个股列表(双击左键查询个股，单击右键跳转到关联的看盘软件)";

struct Column {
  const char* title;
  int width;
};
constexpr std::array<Column, 10> kColumns{{{"序号", 50},
                                           {"上榜日期", 75},
                                           {"股票名称", 66},
                                           {"股票代码", 66},
                                           {"营业部名称", 75},
                                           {"总买入", 70},
                                           {"总卖出", 70},
                                           {"净买入", 70},
                                           {"机构数量(买入/卖出)", 140},
                                           {"备注信息", 200}}};

}  // namespace

CInstitutionDlg::CInstitutionDlg(QWidget* parent) : CInstitutionDlg(InstitutionServices{}, parent) {}

CInstitutionDlg::CInstitutionDlg(const InstitutionServices& services, QWidget* parent)
    : CServicedPage(services, parent) {
  SetPageDialogId(*this, IDD);
  BuildControls();
}

void CInstitutionDlg::BuildControls() {
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(6, 6, 6, 6);
  top->setSpacing(4);

  auto* controls = new QHBoxLayout;
  auto* buyBox = new QGroupBox(QStringLiteral("买入"), this);
  auto* buyRow = new QHBoxLayout(buyBox);
  buyRow->addWidget(MakeLabel(buyBox, "机构买入\n席位数量:"));
  m_editBuySeats = MakeControl<QLineEdit>(buyBox, kIdBuySeats);
  m_editBuySeats->setMaximumWidth(50);
  buyRow->addWidget(m_editBuySeats);
  controls->addWidget(buyBox);

  auto* sellBox = new QGroupBox(QStringLiteral("卖出"), this);
  auto* sellRow = new QHBoxLayout(sellBox);
  sellRow->addWidget(MakeLabel(sellBox, "机构卖出\n席位数量:"));
  m_editSellSeats = MakeControl<QLineEdit>(sellBox, kIdSellSeats);
  m_editSellSeats->setMaximumWidth(50);
  sellRow->addWidget(m_editSellSeats);
  controls->addWidget(sellBox);

  auto* views = new QGridLayout;
  m_radioAll = MakeControl<QRadioButton>(this, kIdShowAll, QStringLiteral("显示全部"));
  m_btnNetBuy = MakeButton(this, kIdNetBuy, "只显示净买入为正");
  m_btnNetSell = MakeButton(this, kIdNetSell, "只显示净买入为");
  m_btnCopy = MakeButton(this, kIdCopy, "加入剪贴板");
  views->addWidget(m_radioAll, 0, 0);
  views->addWidget(m_btnNetBuy, 0, 1);
  views->addWidget(m_btnNetSell, 0, 2);
  views->addWidget(m_btnCopy, 0, 3);
  views->addWidget(MakeLabel(this, "机构净买入最小金额(万元)："), 1, 0, 1, 2);
  m_editMinNet = MakeControl<QLineEdit>(this, kIdMinNet);
  m_editMinNet->setMaximumWidth(80);
  views->addWidget(m_editMinNet, 1, 2);
  m_btnFilter = MakeButton(this, kIdFilter, " 过滤查找");
  views->addWidget(m_btnFilter, 1, 3);
  controls->addLayout(views);
  controls->addStretch(1);
  top->addLayout(controls);

  top->addWidget(MakeLabel(this, kHeadline));

  m_list = MakeControl<CColorListCtrl>(this, kListId);
  m_list->setFont(ListFont());
  m_list->setShowGrid(true);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setSortingEnabled(false);
  m_list->verticalHeader()->setVisible(false);
  m_list->verticalHeader()->setDefaultSectionSize(QFontMetrics(m_list->font()).height() + 4);
  for (int c = 0; c < static_cast<int>(kColumns.size()); ++c) {
    const Column& column = kColumns[static_cast<std::size_t>(c)];
    m_list->InsertColumn(c, column.title, LVCFMT_LEFT, column.width);
  }
  top->addWidget(m_list, 1);
  WatchRightPress(m_list, [this](const QPoint& at) {
    const QModelIndex index = m_list->indexAt(at);
    if (index.isValid()) OnListRClick(index.row());
    return true;
  });

  // The first load is one shot; it must not repeat every 11 seconds.
  m_firstLoad = new QTimer(this);
  m_firstLoad->setSingleShot(true);
  m_firstLoad->setInterval(kFirstLoadDelayMs);
  connect(m_firstLoad, &QTimer::timeout, this, [this] {
    // A database the start could not open was told then: no second box about it.
    if (Market().IsOpen()) LoadList(kInstitutionSeat);
  });

  connect(m_radioAll, &QRadioButton::clicked, this, [this] { OnShowAll(); });
  connect(m_btnNetBuy, &QPushButton::clicked, this, [this] { OnShowNetBuy(); });
  connect(m_btnNetSell, &QPushButton::clicked, this, [this] { OnShowNetSell(); });
  connect(m_btnFilter, &QPushButton::clicked, this, [this] { OnFilter(); });
  connect(m_btnCopy, &QPushButton::clicked, this, [this] { OnCopyCodes(); });
  connect(m_list, &CColorListCtrl::cellDoubleClicked, this, [this](int row, int) { OnListDblClk(row); });
}

BOOL CInstitutionDlg::OnInitDialog() {
  m_editBuySeats->setText(QStringLiteral("1"));
  m_editSellSeats->setText(QStringLiteral("1"));
  m_editMinNet->setText(QStringLiteral("1000"));
  m_nShowMode = kShowNetBuy;
  m_firstLoad->start();
  return TRUE;
}

void CInstitutionDlg::Load(const std::string& seat, bool filtered) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
  InstitutionEdits edits;
  edits.buySeats = FromQString(m_editBuySeats->text());
  edits.sellSeats = FromQString(m_editSellSeats->text());
  edits.minNet = FromQString(m_editMinNet->text());
  // A failed query shows its message and leaves the list empty.
  Fill(LoadInstitutionList(Market(), seat, m_nShowMode, filtered, edits, TrackerToday(Clock())));
  ++m_nLoads;
}

void CInstitutionDlg::LoadList(const std::string& seat) { Load(seat, false); }
void CInstitutionDlg::LoadFiltered(const std::string& seat) { Load(seat, true); }

void CInstitutionDlg::Fill(const InstitutionList& list) {
  m_list->setUpdatesEnabled(false);
  const auto update = qScopeGuard([this] { m_list->setUpdatesEnabled(true); });
  m_list->DeleteAllItems();
  for (std::size_t i = 0; i < list.rows.size(); ++i) {
    const InstitutionRow& row = list.rows[i];
    const int r = m_list->InsertItem(static_cast<int>(i), row.cells[0]);
    if (r < 0) continue;
    for (int c = 1; c < static_cast<int>(row.cells.size()); ++c) {
      m_list->SetItemText(r, c, row.cells[static_cast<std::size_t>(c)]);
    }
    if (row.dateColour) m_list->SetCellColor(*row.dateColour, r, 1);
    m_list->SetCellColor(row.netColour, r, 7);
    if (row.countColour) m_list->SetCellColor(*row.countColour, r, 8);
  }
}

void CInstitutionDlg::OnShowAll() {
  m_nShowMode = kShowAll;
  LoadList(kInstitutionSeat);
}

void CInstitutionDlg::OnShowNetBuy() {
  m_nShowMode = kShowNetBuy;
  LoadList(kInstitutionSeat);
}

void CInstitutionDlg::OnShowNetSell() {
  m_nShowMode = kShowNetSell;
  LoadList(kInstitutionSeat);
}

void CInstitutionDlg::OnFilter() {
  m_nShowMode = kShowNetBuy;
  LoadFiltered(kInstitutionSeat);
}

void CInstitutionDlg::OnCopyCodes() {
  const int n = m_list->GetItemCount();
  if (n <= 0) return;
  std::vector<std::string> codes;
  for (int i = 0; i < n && i < kMaxInstitutionCodes; ++i) codes.push_back(m_list->GetItemText(i, 3));
  CopyTextToClipboard(InstitutionCodesText(codes));
}

void CInstitutionDlg::OnListDblClk(int row) {
  if (row < 0 || row >= m_list->GetItemCount()) return;
  if (auto* tracker = RequireFeature<ITrackerPage>(PageSlot::Tracker, kTrackerFeatureName)) {
    tracker->OnTrackByStockCode(m_list->GetItemText(row, 3));
  }
}

void CInstitutionDlg::OnListRClick(int row) {
  if (row < 0 || row >= m_list->GetItemCount()) return;
  if (auto* link = RequireFeature<ChartLink>(PageSlot::ChartLink, kChartLinkFeatureName)) {
    link->FindChartWindow(m_list->GetItemText(row, 3));
  }
}
