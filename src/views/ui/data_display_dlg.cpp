#include "views/ui/data_display_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

#include "platform/pages/main_window_iface.h"
#include "views/ui/watch_branch_dlg.h"
#include "platform/pages/chart_link_iface.h"
#include "controls/list_box_colours.h"
#include "controls/ui/page_widgets.h"
#include "controls/ui/bitmap_button_ex.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/edit_ex.h"
#include "controls/ui/tip_wnd.h"
#include "platform/app_paths.h"
#include "platform/clipboard.h"
#include "platform/message_box.h"
#include "platform/page_registry.h"
#include "platform/feature_seam.h"
#include "platform/pages/dzjy_list_page_iface.h"
#include "platform/pages/tracker_page_iface.h"
#include "platform/ui/qt_convert.h"
#include "platform/worker_registry.h"
#include "records/seat_list_rows.h"
#include "records/stock_detail.h"
#include "settings/settings.h"
#include "storage/ado_database.h"
#include "storage/day_range.h"
#include "storage/gbk_format.h"
#include "storage/ini_file.h"
#include "views/daily_exports.h"
#include "views/day_search.h"

namespace {

// Ids of the page's controls.
enum : int {
  kIdSortMode = 1005,
  kIdName = 1006,
  kIdAddAll = 1007,
  kIdBlockVolume = 1008,
  kIdCode = 1009,
  kIdBlockAmount = 1010,
  kIdAmount = 1011,
  kIdClose = 1012,
  kIdChange = 1013,
  kIdReason = 1014,
  kIdBlockCount = 1015,
  kIdMainSeller = 1016,
  kIdMainBuyer = 1017,
  kIdAddShown = 1048,
  kIdDayList = 1112,
  kIdSeatList = 1113,
  kIdSuggestList = 1115,
  kIdTeamList = 1116,
  kIdWatchedList = 1117,
  kIdUnusedStatic = 1121,
  kIdShowCounts = 1146,
  kIdWatchedButton = 1147,
};

const char* const kSortModeTexts[] = {"按净买入总额排序", "按涨幅大小排序", "只显示涨幅大于7%", "按买入总金额排序"};
constexpr int kSortModeCount = 4;

const char* const kDayListHeader = "序号 股票名称、代码  涨幅   净买入 上榜总额 月榜次数 类型 ";
const char* const kClickHint = "双击一下";
constexpr int kSideListLeastColumns = 12;
const char* const kBlockTradeHint = "双击前面 上榜次数，可以跳转到大宗交易界面";
const char* const kDownloadedPaneText = "  今日数据已经自动下载!! ";
const char* const kAddedToBlockText =
    "数据已加入“Velkor自选股”和“剪贴板”，请在通达信界面,同时按“Ctrl+Z”，加入任意个股到自选股中 来刷新显示!";
const char* const kNoDataText = "没有数据, 无法加入自选股!!!";
const char* const kNoCodeText = "股票代码为空，不能加入";

constexpr COLORREF kWeekendLineColour = RGB(255, 0, 0);


CColorListBox* ColourList(QWidget* parent, int id) {
  auto* list = MakeControl<CColorListBox>(parent, id);
  list->setFont(ListFont());
  return list;
}

std::string Fixed2(double value) { return FormatGbk("%0.2f", value); }
std::string Fixed0(double value) { return FormatGbk("%0.0f", value); }

}  // namespace

CDataDisplayDlg::CDataDisplayDlg(QWidget* parent) : CDataDisplayDlg(DataDisplayServices{}, parent) {}

CDataDisplayDlg::CDataDisplayDlg(const DataDisplayServices& services, QWidget* parent)
    : CServicedPage(services, parent), m_model(std::make_unique<CDailyListModel>(Market(), Custom())) {
  SetPageDialogId(*this, IDD);
  BuildControls();
}

CDataDisplayDlg::~CDataDisplayDlg() {
  PageRegistry& registry = PageRegistry::Instance();
  if (registry.Get<IDailyListPage>(PageSlot::DataDisplay) == this) registry.Unpublish(PageSlot::DataDisplay);
}

void CDataDisplayDlg::ServicesReplaced() { m_model = std::make_unique<CDailyListModel>(Market(), Custom()); }

std::string CDataDisplayDlg::BlockTradeCutoff() const { return CutoffDay(Clock(), m_nBlockTradeDays); }

// ---- controls ----

void CDataDisplayDlg::BuildControls() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);

  // Left: the day and its list.
  auto* left = new QVBoxLayout;
  auto* dayRow = new QHBoxLayout;
  m_days = std::make_unique<DayStepper>(this, DayStepper::Style::Arrows);
  m_datePicker = m_days->Picker();
  dayRow->addWidget(m_datePicker, 1, Qt::AlignVCenter);
  dayRow->addWidget(m_days->Prev());
  dayRow->addWidget(m_days->Next());
  left->addLayout(dayRow);
  auto* sortRow = new QHBoxLayout;
  m_comboSort = new QComboBox(this);
  SetDlgCtrlID(m_comboSort, kIdSortMode);
  m_checkCounts = new QCheckBox(QStringLiteral("显示上榜次数"), this);
  SetDlgCtrlID(m_checkCounts, kIdShowCounts);
  sortRow->addWidget(m_comboSort, 1);
  sortRow->addWidget(m_checkCounts);
  left->addLayout(sortRow);

  auto* dayBox = new QGroupBox(QStringLiteral("Velkor"), this);
  auto* dayLayout = new QVBoxLayout(dayBox);
  dayLayout->setContentsMargins(6, 6, 6, 6);
  dayLayout->setSpacing(2);
  m_header = MakeLabel(dayBox, kDayListHeader);
  m_header->setFont(ListFont());
  m_listDay = ColourList(dayBox, kIdDayList);
  // The titles start where the lines do: behind the list's frame.
  m_header->setIndent(m_listDay->frameWidth());
  dayLayout->addWidget(m_header);
  dayLayout->addWidget(m_listDay, 1);
  m_btnAddAll = new QPushButton(QStringLiteral("加入Velkor自选股及剪贴板"), dayBox);
  SetDlgCtrlID(m_btnAddAll, kIdAddAll);
  dayLayout->addWidget(m_btnAddAll);
  left->addWidget(dayBox, 1);
  grid->addLayout(left, 0, 0, 3, 1);

  // Upper right: the stock's record and block trades.
  auto* detail = new QGridLayout;
  detail->setHorizontalSpacing(4);
  detail->setVerticalSpacing(4);
  m_editName = MakeControl<CEditEx>(this, kIdName);
  m_editCode = MakeControl<CEditEx>(this, kIdCode);
  m_editClose = MakeControl<CEditEx>(this, kIdClose);
  m_editChange = MakeControl<CEditEx>(this, kIdChange);
  m_editAmount = MakeControl<CEditEx>(this, kIdAmount);
  m_editReason = MakeControl<CEditEx>(this, kIdReason);
  m_editBlockCount = MakeControl<CEditEx>(this, kIdBlockCount);
  m_editBlockVolume = MakeControl<CEditEx>(this, kIdBlockVolume);
  m_editBlockAmount = MakeControl<CEditEx>(this, kIdBlockAmount);
  m_editMainBuyer = MakeControl<CEditEx>(this, kIdMainBuyer);
  m_editMainSeller = MakeControl<CEditEx>(this, kIdMainSeller);
  detail->addWidget(MakeLabel(this, "股票名称："), 0, 0);
  detail->addWidget(m_editName, 0, 1);
  detail->addWidget(MakeLabel(this, "股票代码："), 0, 2);
  detail->addWidget(m_editCode, 0, 3);
  detail->addWidget(MakeLabel(this, "今收："), 0, 4);
  detail->addWidget(m_editClose, 0, 5);
  detail->addWidget(MakeLabel(this, "涨跌幅："), 0, 6);
  detail->addWidget(m_editChange, 0, 7);
  detail->addWidget(MakeLabel(this, "成交总金额："), 0, 8);
  detail->addWidget(m_editAmount, 0, 9);
  detail->addWidget(MakeLabel(this, "上榜理由："), 1, 0);
  detail->addWidget(m_editReason, 1, 1, 1, 9);
  detail->addWidget(MakeLabel(this, "大宗交易："), 2, 0);
  detail->addWidget(m_editBlockCount, 2, 1);
  detail->addWidget(MakeLabel(this, "成交量："), 2, 2);
  detail->addWidget(m_editBlockVolume, 2, 3);
  detail->addWidget(MakeLabel(this, "成交额："), 2, 4);
  detail->addWidget(m_editBlockAmount, 2, 5);
  // The main buyer and seller, a branch's full name with its amount, each get a line.
  detail->addWidget(MakeLabel(this, "主买："), 3, 0);
  detail->addWidget(m_editMainBuyer, 3, 1, 1, 9);
  detail->addWidget(MakeLabel(this, "主卖："), 4, 0);
  detail->addWidget(m_editMainSeller, 4, 1, 1, 9);
  for (int column : {1, 3, 5, 7, 9}) detail->setColumnStretch(column, 1);
  for (CEditEx* edit : {m_editName, m_editCode}) FitEditTo(edit, kClickHint);
  FitEditTo(m_editClose, "0000.00");
  FitEditTo(m_editChange, "-00.00");
  FitEditTo(m_editAmount, "000000.00");
  auto* commandRow = new QHBoxLayout;
  m_btnAddShown = new QPushButton(QStringLiteral("将上面股票加入Velkor自选股及剪贴板"), this);
  SetDlgCtrlID(m_btnAddShown, kIdAddShown);
  auto* unused = new QLabel(this);
  SetDlgCtrlID(unused, kIdUnusedStatic);
  unused->setEnabled(false);
  commandRow->addWidget(m_btnAddShown);
  commandRow->addWidget(unused, 1);
  commandRow->addWidget(MakeLabel(this, "介入度：占成交总金额的比例"));
  detail->addLayout(commandRow, 5, 0, 1, 10);
  grid->addLayout(detail, 0, 1);

  m_listSeats = new CColorListCtrl(this);
  SetDlgCtrlID(m_listSeats, kIdSeatList);
  m_listSeats->verticalHeader()->setVisible(false);
  m_listSeats->verticalHeader()->setDefaultSectionSize(QFontMetrics(m_listSeats->font()).height() + 4);
  // High enough for every row. Wide enough for every seat column, the branch notes at
  // the end too, where there is room; else the number and the branch, and the other
  // columns scroll sideways.
  int seatColumns = 0;
  for (const SeatListColumn& seatColumn : kSeatListColumns) seatColumns += seatColumn.width;
  const int frame = 2 * m_listSeats->frameWidth() + m_listSeats->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  m_listSeats->SetNaturalWidth(seatColumns + frame);
  m_listSeats->setMinimumSize(kSeatListColumns[0].width + kSeatListColumns[1].width + frame,
                              m_listSeats->horizontalHeader()->sizeHint().height() +
                                  kSeatListRows * m_listSeats->verticalHeader()->defaultSectionSize() + frame);
  grid->addWidget(m_listSeats, 1, 1);

  // Lower right: the three side lists.
  auto* side = new QHBoxLayout;
  auto* suggestBox = new QGroupBox(QStringLiteral("建议关注个股"), this);
  auto* suggestLayout = new QVBoxLayout(suggestBox);
  suggestLayout->setContentsMargins(4, 4, 4, 4);
  m_listSuggest = ColourList(suggestBox, kIdSuggestList);
  suggestLayout->addWidget(m_listSuggest);
  auto* watchedBox = new QGroupBox(QStringLiteral("关注游资-买卖股票"), this);
  // The button stands beside the list, not below it: the three boxes then need no more
  // height than their lists, which the smallest window has to spare.
  auto* watchedLayout = new QHBoxLayout(watchedBox);
  watchedLayout->setContentsMargins(4, 4, 4, 4);
  m_listWatched = ColourList(watchedBox, kIdWatchedList);
  watchedLayout->addWidget(m_listWatched, 1);
  m_btnWatched = new QPushButton(QStringLiteral("设置关注游资"), watchedBox);
  SetDlgCtrlID(m_btnWatched, kIdWatchedButton);
  watchedLayout->addWidget(m_btnWatched, 0, Qt::AlignBottom);
  auto* teamBox = new QGroupBox(QStringLiteral("团队作战：关注个股"), this);
  auto* teamLayout = new QVBoxLayout(teamBox);
  teamLayout->setContentsMargins(4, 4, 4, 4);
  m_listTeams = ColourList(teamBox, kIdTeamList);
  teamLayout->addWidget(m_listTeams);
  // Widths in proportion to the lines' columns (20, 49 and 32 of them).
  side->addWidget(suggestBox, 20);
  side->addWidget(watchedBox, 49);
  side->addWidget(teamBox, 32);
  grid->addLayout(side, 2, 1);

  const int column = QFontMetrics(ListFont()).horizontalAdvance(QLatin1Char('0'));
  const int scroll = 20;
  m_listDay->setMinimumWidth(58 * column + scroll);  // its titles above do not scroll
  // The side lists show their lines whole where there is room, else scroll sideways.
  const std::pair<CColorListBox*, int> sideLists[] = {{m_listSuggest, 20}, {m_listWatched, 49}, {m_listTeams, 32}};
  for (const auto& [list, columns] : sideLists) {
    list->SetNaturalWidth(columns * column + scroll);
    list->setMinimumWidth(kSideListLeastColumns * column + scroll);
  }
  grid->setColumnStretch(0, 0);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(1, 3);
  grid->setRowStretch(2, 2);

  connect(m_datePicker, &QDateEdit::dateChanged, this, [this] { OnDateTimeChange(); });
  connect(m_listDay, &CColorListBox::doubleClicked, this, [this] { OnDblclkDayList(); });
  connect(m_listSuggest, &CColorListBox::doubleClicked, this, [this] { OnSuggestedStockDblClk(); });
  connect(m_listWatched, &CColorListBox::doubleClicked, this, [this] { OnWatchedStockDblClk(); });
  connect(m_listTeams, &CColorListBox::doubleClicked, this, [this] { OnTeamStockDblClk(); });
  connect(m_listSeats, &CColorListCtrl::cellClicked, this, [this](int row, int) { OnSeatListClick(row); });
  connect(m_listSeats, &CColorListCtrl::cellDoubleClicked, this, [this](int row, int) { OnSeatListDblClk(row); });
  connect(m_days->Prev(), &QPushButton::clicked, this, [this] { OnPrevDay(); });
  connect(m_days->Next(), &QPushButton::clicked, this, [this] { OnNextDay(); });
  // `activated` is the user's choice only: preselecting the saved mode sorts nothing.
  connect(m_comboSort, &QComboBox::activated, this, [this] { OnSortModeChange(); });
  connect(m_btnAddAll, &QPushButton::clicked, this, [this] { OnAddToBlock(); });
  connect(m_btnAddShown, &QPushButton::clicked, this, [this] { OnAddSelectedToBlock(); });
  connect(m_checkCounts, &QCheckBox::clicked, this, [this] { OnShowListCounts(); });
  connect(m_btnWatched, &QPushButton::clicked, this, [this] { OnSetWatchedBranches(); });
}

void CDataDisplayDlg::WatchControls() {
  for (QWidget* control : findChildren<QWidget*>()) {
    if (control != m_TipWnd) control->installEventFilter(this);
  }
  for (CColorListBox* list : {m_listDay, m_listSuggest, m_listTeams, m_listWatched}) {
    WatchRightPress(list, [this, list](const QPoint& at) {
      OnListRightPress(list, at);
      return false;
    });
  }
}

BOOL CDataDisplayDlg::OnInitDialog() {
  m_nBlockTradeDays = 30;
  PageRegistry::Instance().Publish<IDailyListPage>(PageSlot::DataDisplay, this);

  for (const char* text : kSortModeTexts) m_comboSort->addItem(QString::fromUtf8(text));
  // A stored mode outside the four items would leave none selected and the list empty.
  const int saved = g_Settings.SortMode;
  m_comboSort->setCurrentIndex(saved >= 0 && saved < kSortModeCount ? saved : 0);


  for (int c = 0; c < kSeatListColumnCount; ++c) {
    m_listSeats->InsertColumn(c, kSeatListColumns[static_cast<std::size_t>(c)].title, LVCFMT_LEFT,
                              kSeatListColumns[static_cast<std::size_t>(c)].width);
  }

  const LocalTime now = Clock().Now();
  m_strToday = DayText(now.year, now.month, now.day);
  SetEditTextFromStart(m_editName, kClickHint);
  SetEditTextFromStart(m_editCode, kClickHint);
  SetEditTextFromStart(m_editMainBuyer, kBlockTradeHint);
  SetPickerDay(m_strToday);

  LoadDayList(m_strToday);

  m_checkCounts->setChecked(true);
  m_bShowListCounts = 1;

  m_TipWnd = new CTipWnd(this);
  m_TipWnd->AddTool(kIdBlockCount, {"   双击这里, 将跳转到“大宗交易”界面"}, kPageTipBack, kPageTipText);
  m_TipWnd->AddTool(kIdCode, {"   双击这里，将跳转到“搜索&查询”界面"}, kPageTipBack, kPageTipText);
  m_TipWnd->AddTool(kIdName, {"   双击这里, 将跳转到“搜索&查询”界面"}, kPageTipBack, kPageTipText);
  WatchControls();
  return TRUE;
}

// ---- the picker ----

std::string CDataDisplayDlg::PickerDay() const { return m_days->Day(); }

void CDataDisplayDlg::SetPickerDay(const std::string& day) { m_days->SetDay(day); }

int CDataDisplayDlg::SortMode() const { return m_comboSort->currentIndex(); }

// ---- the day ----

void CDataDisplayDlg::LoadDayList(const std::string& day) {
  ++m_nLoads;
  DailyListSettings settings = DailyListSettingsFromGlobals(Clock());
  settings.showListCounts = m_bShowListCounts != 0;
  m_model->SetSettings(settings);
  const bool read = m_model->LoadDayList(day);
  FillList(m_listTeams, m_model->TeamLines());
  // Mark colours are picked as cell backgrounds, often pale: as text they are darkened
  // until they read on the list.
  std::vector<ListLine> watched = m_model->WatchedLines();
  const COLORREF listBackground = FromQColor(m_listWatched->palette().color(QPalette::Base));
  for (ListLine& line : watched) line.colour = DarkenForContrast(line.colour, listBackground);
  FillList(m_listWatched, watched);
  if (!read) {
    // The day's rows could not be read: the side lists are empty, the day list keeps
    // what it had.
    m_listSuggest->ResetContent();
    return;
  }
  m_strLoadedDate = m_model->LoadedDate();
  // The first stock's seats are coloured with the marks this load read.
  m_bInLoad = true;
  const auto loadEnds = qScopeGuard([this] { m_bInLoad = false; });
  OnSortModeChange();
}

void CDataDisplayDlg::RefreshDayList() {
  m_model->SetShowListCounts(m_bShowListCounts != 0);
  m_model->RefreshDayList(SortMode());
  FillList(m_listDay, m_model->DayLines());
  FillList(m_listSuggest, m_model->SuggestionLines());
  const std::string first = m_model->FirstStockCode();
  if (first.empty()) {
    // A day without stocks shows no stock, not the one shown before (before any
    // stock was shown, the edits keep their hints).
    if (m_bStockShown) ClearStockDetail();
    return;
  }
  m_listSeats->DeleteAllItems();
  LoadStockRecord(Market(), m_strLoadedDate, first, m_record);
  if (m_bInLoad) {
    ShowStockDetail(m_record, m_model->Marks());
  } else {
    ShowStockDetail(m_record);  // a sort is an action of its own: the marks as they are now
  }
}

void CDataDisplayDlg::OnSortModeChange() {
  const int mode = SortMode();
  m_model->SortDayRows(mode);
  RefreshDayList();
  if (mode < 0) return;
  g_Settings.SortMode = static_cast<std::uint8_t>(mode);
  // Every load comes here: only a mode the file does not hold yet is written.
  const std::string ini = AppPath(kSettingsFileName);
  if (GetPrivateProfileInt("system", "SortMode", -1, ini) != mode) CIniFile(ini).WriteInt("system", "SortMode", mode);
}

void CDataDisplayDlg::OnDateTimeChange() {
  const std::string day = PickerDay();
  const int weekday = m_datePicker->date().dayOfWeek();  // 6 Saturday, 7 Sunday
  if (weekday == 6 || weekday == 7) {
    AddLine(m_listDay, ListLine{day + "不营业!", kWeekendLineColour, ""});
    m_listDay->SelectLast();
    return;
  }
  m_strPickedDate = day;
  // Compared with the day on show: after a step the picker's last pick is stale.
  if (day == m_strLoadedDate) return;
  m_listDay->ResetContent();
  LoadDayList(day);
}

void CDataDisplayDlg::StepDay(int direction) {
  if (const std::optional<std::string> day = m_days->Step(direction, StoredDayRule(Market()))) LoadDayList(*day);
}

void CDataDisplayDlg::OnPrevDay() { StepDay(-1); }

void CDataDisplayDlg::OnNextDay() { StepDay(+1); }

void CDataDisplayDlg::OnTodayDataDownloaded() {
  // While the program closes the download worker waits here; it must not wait long.
  if (g_bClosing.load() || PageRegistry::Instance().IsClosing()) return;
  const LocalTime now = Clock().Now();
  m_strToday = DayText(now.year, now.month, now.day);
  if (PickerDay() != m_strToday) return;
  LoadDayList(m_strToday);
  if (auto* bar = PageRegistry::Instance().Get<IStatusBar>(PageSlot::StatusBar)) {
    bar->SetPaneText(0, kDownloadedPaneText);
  }
}

// ---- lists ----

void CDataDisplayDlg::AddLine(CColorListBox* list, const ListLine& line) {
  // A colour equal to the list's background (white) would hide the line.
  const COLORREF background = FromQColor(list->palette().color(QPalette::Base));
  const int index = list->AddString(line.text, line.colour == background ? 0 : line.colour);
  if (index < 0) return;
  if (const CColorListBoxLine item = list->item(index)) item.setData(kLineCodeRole, ToQString(line.code));
}

void CDataDisplayDlg::FillList(CColorListBox* list, const std::vector<ListLine>& lines) {
  list->ResetContent();
  for (const ListLine& line : lines) AddLine(list, line);
}

std::string CDataDisplayDlg::SelectedCode(CColorListBox* list) const {
  const int selected = list->GetCurSel();
  if (selected < 0) return {};
  const CColorListBoxLine item = list->item(selected);
  if (!item) return {};
  const std::string code = FromQString(item->data(kLineCodeRole).toString());
  return IsStockCode(code) ? code : std::string();
}

void CDataDisplayDlg::ShowStockOfLoadedDay(const std::string& code) {
  if (code.empty()) return;
  m_listSeats->DeleteAllItems();
  LoadStockRecord(Market(), m_strLoadedDate, code, m_record);
  ShowStockDetail(m_record);
}

void CDataDisplayDlg::OnDblclkDayList() { ShowStockOfLoadedDay(SelectedCode(m_listDay)); }
void CDataDisplayDlg::OnSuggestedStockDblClk() { ShowStockOfLoadedDay(SelectedCode(m_listSuggest)); }
void CDataDisplayDlg::OnWatchedStockDblClk() { ShowStockOfLoadedDay(SelectedCode(m_listWatched)); }
void CDataDisplayDlg::OnTeamStockDblClk() { ShowStockOfLoadedDay(SelectedCode(m_listTeams)); }

// ---- the stock ----

void CDataDisplayDlg::ShowStockDetail(const StockDetailRecord& record) {
  BranchMarks marks;
  marks.Load(Custom());
  ShowStockDetail(record, marks);
}

void CDataDisplayDlg::ShowStockDetail(const StockDetailRecord& record, const BranchMarks& marks) {
  m_bStockShown = true;
  const COLORREF change = ChangeColour(record.ZhangFu);
  SetEditTextFromStart(m_editName, record.StockName);
  m_editName->SetTextColor(change);
  SetEditTextFromStart(m_editCode, record.StockCode);
  m_editCode->SetTextColor(change);
  SetEditTextFromStart(m_editClose, Fixed2(record.JinShou));
  SetEditTextFromStart(m_editAmount, Fixed2(record.Amount));
  SetEditTextFromStart(m_editChange, Fixed2(record.ZhangFu));
  m_editChange->SetTextColor(change);
  SetEditTextFromStart(m_editReason, record.SB_Reason);
  m_editReason->SetTextColor(ReasonColour(record.SB_Reason));

  const SeatListRows rows = BuildSeatListRows(record, marks);
  m_listSeats->DeleteAllItems();
  for (int r = 0; r < kSeatListRows; ++r) {
    const auto& cells = rows.cells[static_cast<std::size_t>(r)];
    m_listSeats->InsertItem(r, cells[0].text);
    for (int c = 0; c < kSeatListColumnCount; ++c) {
      const SeatCell& cell = cells[static_cast<std::size_t>(c)];
      if (c > 0) m_listSeats->SetItemText(r, c, cell.text);
      if (cell.colour) m_listSeats->SetCellColor(*cell.colour, r, c);
    }
  }
  WriteStockDetailFile(record, rows.TotalBuy, rows.TotalSell);

  if (HasRecentBlockTrades(Market(), record.StockCode, BlockTradeCutoff())) {
    ShowBlockTradeSummary(record.StockCode);
  } else {
    ClearBlockTradeSummary();
  }
}

void CDataDisplayDlg::ClearBlockTradeSummary() {
  for (CEditEx* edit : {m_editBlockCount, m_editBlockVolume, m_editBlockAmount, m_editMainBuyer, m_editMainSeller}) {
    edit->clear();
  }
}

void CDataDisplayDlg::ClearStockDetail() {
  m_listSeats->DeleteAllItems();
  for (CEditEx* edit : {m_editName, m_editCode, m_editClose, m_editAmount, m_editChange, m_editReason}) edit->clear();
  ClearBlockTradeSummary();
  m_record.Clear();
  m_bStockShown = false;
}

void CDataDisplayDlg::ShowBlockTradeSummary(const std::string& code) {
  ClearBlockTradeSummary();
  const BlockTradeSummary s = LoadBlockTradeSummary(Market(), code, BlockTradeCutoff());
  if (!s.TotalsRan) return;
  SetEditTextFromStart(m_editBlockCount, std::to_string(s.Count));
  SetEditTextFromStart(m_editBlockVolume, std::to_string(s.VolumeSum));
  SetEditTextFromStart(m_editBlockAmount, Fixed0(s.AmountSum));
  if (!s.LargestRan || !s.HasLargest || !s.BuyerSumRan) return;
  SetEditTextFromStart(m_editMainBuyer, s.MainBuyer + ": " + Fixed0(s.BuyerAmountSum));
  m_editMainBuyer->SetTextColor(MainBuyerColour(s.BuyerAmountSum));
  if (!s.SellerSumRan) return;
  SetEditTextFromStart(m_editMainSeller, s.MainSeller + ": " + Fixed0(s.SellerAmountSum));
  m_editMainSeller->SetTextColor(MainSellerColour(s.SellerAmountSum));
}

// ---- seats ----

void CDataDisplayDlg::OnSeatListClick(int row) {
  if (row < 0 || row >= m_listSeats->GetItemCount()) return;
  // An empty seat copies its empty name: the clipboard never keeps an older branch.
  CopyTextToClipboard(m_listSeats->GetItemText(row, 1));
}

void CDataDisplayDlg::OnSeatListDblClk(int row) {
  // Only the ten seats carry a branch; the separators and the totals carry labels.
  const bool seatRow = (row >= 0 && row < kSeatRowSeparator1) || (row > kSeatRowSeparator1 && row < kSeatRowSeparator2);
  if (!seatRow || row >= m_listSeats->GetItemCount()) return;
  const std::string name = m_listSeats->GetItemText(row, 1);
  if (name.empty()) return;
  if (auto* tracker = RequireFeature<ITrackerPage>(PageSlot::Tracker, kTrackerFeatureName)) tracker->OnTrackBranch(name);
}

// ---- commands ----

void CDataDisplayDlg::OnAddToBlock() {
  m_btnAddAll->setEnabled(false);
  const auto enableAgain = qScopeGuard([this] { m_btnAddAll->setEnabled(true); });
  auto* block = RequireFeature<ChartBlock>(PageSlot::ChartBlock, kBlockFeatureName);
  if (block == nullptr || !block->RegisterChartBlock()) return;
  std::vector<std::string> codes;
  std::string clipboard;
  for (int i = 0; i < m_listDay->count(); ++i) {
    const std::string code = FromQString(m_listDay->item(i)->data(kLineCodeRole).toString());
    if (!IsStockCode(code)) continue;  // the weekend line stands for no stock
    codes.push_back(code);
    clipboard += ", " + code;
  }
  if (codes.empty()) {
    MessageBox(kNoDataText, g_strWindowTitle, MB_OK | MB_ICONINFORMATION);
    return;
  }
  CopyTextToClipboard(clipboard);
  const bool written = block->AddStockList(codes);
  Sleeper().Sleep(20);
  if (written) MessageBox(kAddedToBlockText, g_strWindowTitle, MB_OK | MB_ICONINFORMATION);
}

void CDataDisplayDlg::OnAddSelectedToBlock() {
  m_btnAddShown->setEnabled(false);
  const auto enableAgain = qScopeGuard([this] { m_btnAddShown->setEnabled(true); });
  auto* block = RequireFeature<ChartBlock>(PageSlot::ChartBlock, kBlockFeatureName);
  if (block == nullptr || !block->RegisterChartBlock()) return;
  // Only a stock code goes into the block file; the hint text or typing would corrupt it.
  const std::string code = FromQString(m_editCode->text());
  if (!IsStockCode(code)) {
    MessageBox(kNoCodeText, g_strWindowTitle, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!block->AppendOneStock(code)) return;
  CopyTextToClipboard(code);
  Sleeper().Sleep(100);
}

void CDataDisplayDlg::OnShowListCounts() {
  m_bShowListCounts = m_checkCounts->isChecked() ? 1 : 0;
  m_model->SetShowListCounts(m_bShowListCounts != 0);
}

void CDataDisplayDlg::OnSetWatchedBranches() {
  CWatchBranchDlg dlg(this);
  dlg.exec();
}

// ---- the event filter ----

void CDataDisplayDlg::OnEditDoubleClick(int id) {
  if (id == kIdName || id == kIdCode) {
    auto* tracker = RequireFeature<ITrackerPage>(PageSlot::Tracker, kTrackerFeatureName);
    if (tracker == nullptr) return;
    if (id == kIdName) {
      tracker->OnTrackByStockName(FromQString(m_editName->text()));
    } else {
      tracker->OnTrackByStockCode(FromQString(m_editCode->text()));
    }
    return;
  }
  if (auto* trades = RequireFeature<IDzjyListPage>(PageSlot::DzjyList, kDzjyFeatureName)) {
    trades->ShowStockTrades(FromQString(m_editCode->text()));
  }
}

void CDataDisplayDlg::OnListRightPress(CColorListBox* list, const QPoint& viewportPos) {
  const CColorListBoxLine item = list->itemAt(viewportPos);
  if (!item) return;
  list->setCurrentItem(item);
  const std::string code = FromQString(item->data(kLineCodeRole).toString());
  if (!IsStockCode(code)) return;
  if (auto* link = RequireFeature<ChartLink>(PageSlot::ChartLink, kChartLinkFeatureName)) link->FindChartWindow(code);
}

bool CDataDisplayDlg::eventFilter(QObject* watched, QEvent* event) {
  if (FilterPageControlEvent(m_TipWnd, this, watched, event)) return true;
  switch (event->type()) {
    case QEvent::MouseButtonDblClick: {
      const int id = watched->isWidgetType() ? GetDlgCtrlID(static_cast<QWidget*>(watched)) : 0;
      if (id == kIdName || id == kIdCode || id == kIdBlockCount || id == kIdBlockVolume || id == kIdBlockAmount) {
        OnEditDoubleClick(id);
      }
      break;
    }
    default:
      break;
  }
  return CPage::eventFilter(watched, event);
}
