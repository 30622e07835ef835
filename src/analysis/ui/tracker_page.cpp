#include "analysis/ui/tracker_page.h"

#include <algorithm>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>
#include <functional>

#include "analysis/branch_totals_merge.h"
#include "analysis/stock_repeat_counts.h"
#include "analysis/team_search.h"
#include "analysis/tracker_queries.h"
#include "analysis/tracker_searches.h"
#include "analysis/ui/page_search.h"
#include "platform/pages/main_window_iface.h"
#include "platform/pages/chart_link_iface.h"
#include "controls/ui/page_widgets.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/edit_ex.h"
#include "controls/ui/tip_wnd.h"
#include "platform/message_box.h"
#include "platform/page_registry.h"
#include "platform/feature_seam.h"
#include "platform/ui/qt_convert.h"
#include "platform/worker_registry.h"
#include "records/branch_marks.h"
#include "settings/settings.h"
#include "storage/ado_database.h"

namespace {

// Ids of the page's controls.
enum : int {
  kIdCount = 1000,
  kIdLargeCount = 1001,
  kIdAverage = 1002,
  kIdTeamsOnly = 1003,
  kIdMultiStock = 1004,
  kIdTeamCombo = 1005,
  kIdName = 1006,
  kIdCode = 1009,
  kIdClose = 1012,
  kIdChange = 1013,
  kIdReason = 1014,
  kIdTeam2 = 1016,
  kIdTeam1 = 1017,
  kIdCodes = 1019,
  kIdMergeCount = 1028,
  kIdTeamDays = 1029,
  kIdMerge = 1048,
  kIdClipboard = 1049,
  kIdResultList = 1112,
  kIdSeatList = 1113,
  kIdTeamSearch = 1131,
  kIdTeam1OnStock = 1138,
  kIdHotStocks = 1140,
  kIdStockQuery = 1149,
  kIdBranchQuery = 1150,
};

const char* const kDefaultTeam2 = "中信证券股份有限公司杭州四季路证券营业部";
const char* const kCodesHint = "股票代码之间用“,”分割,比如:002476,002490";
const char* const kTeam1Hint = "请在“敢死队1”区域输入股票代码、名称，营业部全称或部分关键字，然后点击右面的三个小圆圈按钮。";
const char* const kColumnsHint = " 次数：指上榜次数(买/卖)或成功率";
const char* const kComboPlaceholder = "点左面按钮";
const char* const kDefaultTeamDays = "40";
constexpr COLORREF kCodesHintColour = RGB(255, 0, 0);
const char* const kHandOverRefusedText = "正在查询，请在本次查询结束后再跟踪";

constexpr int kResultListColumns = 62;  // the widest line (the team line) and a margin
constexpr int kResultListColumnsLent = 4;  // what the list gives up in the smallest window

// Enter in the three edits that search on it. The page base swallows Enter
// application-wide before any control sees it, so this filter sits on the
// application too; installed later, it runs first.
class EnterKeyRelay final : public QObject {
 public:
  EnterKeyRelay(QObject* parent, std::vector<QWidget*> edits, std::function<void(int)> onEnter)
      : QObject(parent), edits_(std::move(edits)), onEnter_(std::move(onEnter)) {
    QCoreApplication::instance()->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    for (QWidget* edit : edits_) {
      if (watched != edit) continue;
      event->accept();
      onEnter_(CPage::GetDlgCtrlID(edit));
      return true;
    }
    return false;
  }

 private:
  std::vector<QWidget*> edits_;
  std::function<void(int)> onEnter_;
};

// The worker's sink: every call is queued to the page on the UI thread through the
// registry, tagged with its job; the page drops what belongs to an abandoned job.
class PageTeamSearchSink final : public TeamSearchSink {
 public:
  void AddLine(std::uint64_t job, const TrackerLine& line) override {
    Post([job, line](CTrackerPage& page) { page.OnTeamSearchLine(job, line); });
  }
  void Finished(std::uint64_t job, const TeamSearchSummary& summary) override {
    Post([job, summary](CTrackerPage& page) { page.OnTeamSearchFinished(job, summary); });
  }
  void Failed(std::uint64_t job, const std::string& text) override {
    Post([job, text](CTrackerPage& page) { page.OnTeamSearchFailed(job, text); });
  }

 private:
  template <class Fn>
  static void Post(Fn fn) {
    // The slot may hold another tracker (a test's stand-in) or none once the page is
    // gone: then the call is dropped.
    PageRegistry::Instance().Post<ITrackerPage>(PageSlot::Tracker, [fn = std::move(fn)](ITrackerPage& tracker) {
      if (auto* page = dynamic_cast<CTrackerPage*>(&tracker)) fn(*page);
    });
  }
};

}  // namespace

CTrackerPage::CTrackerPage(QWidget* parent) : CTrackerPage(TrackerServices{}, parent) {}

CTrackerPage::CTrackerPage(const TrackerServices& services, QWidget* parent)
    : CServicedPage(services, parent), m_search(std::make_unique<PageSearch>("TrackerSearch")) {
  SetPageDialogId(*this, IDD);
  BuildControls();
}

CTrackerPage::~CTrackerPage() {
  PageRegistry& registry = PageRegistry::Instance();
  if (registry.Get<ITrackerPage>(PageSlot::Tracker) == this) registry.Unpublish(PageSlot::Tracker);
  if (m_team) m_team->Exit();
}

// ---- controls ----

void CTrackerPage::BuildControls() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(6);

  // Left: the result list and the tools below it.
  auto* left = new QVBoxLayout;
  auto* resultBox = new QGroupBox(QStringLiteral("买卖股票列表"), this);
  auto* resultLayout = new QVBoxLayout(resultBox);
  resultLayout->setContentsMargins(6, 6, 6, 6);
  m_ResultList = new CColorListBox(resultBox);
  SetDlgCtrlID(m_ResultList, kIdResultList);
  m_ResultList->setFont(ListFont());
  m_ResultList->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_ResultList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  const int column = QFontMetrics(ListFont()).horizontalAdvance(QLatin1Char('0'));
  // Its lines whole where there is room; in the smallest window it gives a few columns to
  // the search edits' texts and scrolls sideways.
  m_ResultList->SetNaturalWidth(kResultListColumns * column + 24);
  m_ResultList->setMinimumWidth((kResultListColumns - kResultListColumnsLent) * column + 24);
  resultLayout->addWidget(m_ResultList);
  left->addWidget(resultBox, 1);

  auto* counts = new QGridLayout;
  counts->setHorizontalSpacing(6);
  m_CountEdit = MakeControl<QLineEdit>(this, kIdCount);
  m_CountEdit->setReadOnly(true);
  m_CountEdit->setEnabled(false);
  m_LargeEdit = MakeControl<QLineEdit>(this, kIdLargeCount);
  m_LargeEdit->setEnabled(false);
  m_AverageEdit = MakeControl<QLineEdit>(this, kIdAverage);
  counts->addWidget(MakeLabel(this, "总上榜次数："), 0, 0);
  counts->addWidget(m_CountEdit, 0, 1);
  counts->addWidget(MakeLabel(this, "200万以上："), 0, 2);
  counts->addWidget(m_LargeEdit, 0, 3);
  counts->addWidget(MakeLabel(this, "平均耗资："), 0, 4);
  counts->addWidget(m_AverageEdit, 0, 5);

  m_MergeEdit = MakeControl<QLineEdit>(this, kIdMergeCount);
  counts->addWidget(MakeLabel(this, "合并多少行/次："), 1, 0);
  counts->addWidget(m_MergeEdit, 1, 1);
  counts->addWidget(MakeButton(this, kIdMerge, "合并数据"), 1, 2, 1, 2);
  counts->addWidget(MakeButton(this, kIdClipboard, "加入剪贴板"), 1, 4, 1, 2);

  m_DaysEdit = MakeControl<QLineEdit>(this, kIdTeamDays);
  m_btnTeamSearch = MakeButton(this, kIdTeamSearch, "搜索所有团队作战个股");
  m_TeamCombo = new QComboBox(this);
  SetDlgCtrlID(m_TeamCombo, kIdTeamCombo);
  counts->addWidget(MakeLabel(this, "最近N日团队作战："), 2, 0);
  counts->addWidget(m_DaysEdit, 2, 1);
  counts->addWidget(m_btnTeamSearch, 2, 2, 1, 2);
  counts->addWidget(m_TeamCombo, 2, 4, 1, 2);
  // The numbers are short: the list, not the edits, sets the width of this half.
  for (QLineEdit* edit : {m_CountEdit, m_LargeEdit, m_AverageEdit, m_MergeEdit, m_DaysEdit}) {
    edit->setMaximumWidth(72);
  }
  for (int c : {1, 3, 5}) counts->setColumnStretch(c, 1);
  left->addLayout(counts);
  grid->addLayout(left, 0, 0);

  // Right: what to search, the stock-day's edits and its seats.
  auto* right = new QVBoxLayout;
  right->setSpacing(6);
  auto* hint = MakeLabel(this, kTeam1Hint);
  hint->setWordWrap(true);
  right->addWidget(hint);

  auto* search = new QGridLayout;
  search->setHorizontalSpacing(6);
  search->setVerticalSpacing(4);
  m_Team1Edit = MakeControl<CEditEx>(this, kIdTeam1);
  m_Team2Edit = MakeControl<QLineEdit>(this, kIdTeam2);
  m_MultiStockEdit = MakeControl<CEditEx>(this, kIdCodes);
  search->addWidget(MakeLabel(this, "<敢死队1>:"), 0, 0);
  search->addWidget(m_Team1Edit, 0, 1);
  search->addWidget(MakeButton(this, kIdStockQuery, "个股查询"), 0, 2);
  search->addWidget(MakeButton(this, kIdBranchQuery, "营业部查询"), 0, 3);
  search->addWidget(MakeLabel(this, "<敢死队2>:"), 1, 0);
  search->addWidget(m_Team2Edit, 1, 1);
  search->addWidget(MakeButton(this, kIdTeamsOnly, "只搜索敢死队1 与 敢死队2"), 1, 2, 1, 2);
  search->addWidget(MakeLabel(this, "多只股票搜索："), 2, 0);
  search->addWidget(m_MultiStockEdit, 2, 1);
  search->addWidget(MakeButton(this, kIdMultiStock, "多只股票共同搜索"), 2, 2, 1, 2);
  auto* tools = new QHBoxLayout;
  tools->addWidget(MakeButton(this, kIdTeam1OnStock, "敢死队1+当前股票"));
  tools->addWidget(MakeButton(this, kIdHotStocks, "炒作个股排行榜"));
  tools->addStretch(1);
  search->addLayout(tools, 3, 1, 1, 3);
  search->setColumnStretch(1, 1);
  // The second team's default name and the codes' hint stay whole in their edits.
  const std::pair<QLineEdit*, const char*> filled[] = {{m_Team2Edit, kDefaultTeam2}, {m_MultiStockEdit, kCodesHint}};
  for (const auto& [edit, text] : filled) {
    const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString::fromUtf8(text)) + 2 * frame + 6);
  }
  right->addLayout(search);

  auto* detail = new QGridLayout;
  detail->setHorizontalSpacing(6);
  detail->setVerticalSpacing(4);
  m_StockNameEdit = MakeControl<QLineEdit>(this, kIdName);
  m_StockCodeEdit = MakeControl<QLineEdit>(this, kIdCode);
  m_CloseEdit = MakeControl<QLineEdit>(this, kIdClose);
  m_ChangeEdit = MakeControl<CEditEx>(this, kIdChange);
  m_ReasonEdit = MakeControl<QLineEdit>(this, kIdReason);
  detail->addWidget(MakeLabel(this, "股票名称："), 0, 0);
  detail->addWidget(m_StockNameEdit, 0, 1);
  detail->addWidget(MakeLabel(this, "股票代码："), 0, 2);
  detail->addWidget(m_StockCodeEdit, 0, 3);
  detail->addWidget(MakeLabel(this, "收盘价："), 0, 4);
  detail->addWidget(m_CloseEdit, 0, 5);
  detail->addWidget(MakeLabel(this, "涨幅："), 0, 6);
  detail->addWidget(m_ChangeEdit, 0, 7);
  detail->addWidget(MakeLabel(this, "理因："), 1, 0);
  detail->addWidget(m_ReasonEdit, 1, 1, 1, 7);
  for (int c : {1, 3, 5, 7}) detail->setColumnStretch(c, 1);
  right->addLayout(detail);
  right->addWidget(MakeLabel(this, kColumnsHint));

  m_SeatList = new CColorListCtrl(this);
  SetDlgCtrlID(m_SeatList, kIdSeatList);
  m_SeatList->verticalHeader()->setVisible(false);
  m_SeatList->verticalHeader()->setDefaultSectionSize(QFontMetrics(m_SeatList->font()).height() + 4);
  // A header click re-sorts the branch totals; the table never sorts itself.
  m_SeatList->setSortingEnabled(false);
  m_SeatList->horizontalHeader()->setSortIndicatorShown(false);
  m_SeatList->horizontalHeader()->setSectionsClickable(true);
  right->addWidget(m_SeatList, 1);
  grid->addLayout(right, 0, 1);
  grid->setColumnStretch(0, 0);
  grid->setColumnStretch(1, 1);

  connect(m_ResultList, &CColorListBox::doubleClicked, this, [this] { OnResultDblClk(); });
  // Selections made in code run under a signal blocker: this is the user's only.
  connect(m_ResultList, &CColorListBox::currentRowChanged, this, [this] { OnResultSelChange(); });
  connect(m_SeatList, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
    if (m_bSeatPressIsDoubleClick) return;  // the release that ends a double click
    OnSeatListClick(index.row());
  });
  connect(m_SeatList, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { OnSeatListDblClk(index.row()); });
  connect(m_SeatList->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int section) { OnSeatListHeaderClick(section); });

  struct Command {
    int id;
    void (CTrackerPage::*handler)();
  };
  for (const Command& c : {Command{kIdTeamsOnly, &CTrackerPage::OnSearchTeamsOnly},
                           Command{kIdMerge, &CTrackerPage::OnMergeData},
                           Command{kIdMultiStock, &CTrackerPage::OnMultiStockSearch},
                           Command{kIdTeam1OnStock, &CTrackerPage::OnTeam1OnStock},
                           Command{kIdHotStocks, &CTrackerPage::OnHotStockRanking},
                           Command{kIdClipboard, &CTrackerPage::OnCopyCodesToClipboard},
                           Command{kIdStockQuery, &CTrackerPage::OnStockQuery},
                           Command{kIdBranchQuery, &CTrackerPage::OnBranchQuery},
                           Command{kIdTeamSearch, &CTrackerPage::OnSearchTeamCombat}}) {
    auto* button = GetDlgItemAs<QPushButton>(c.id);
    connect(button, &QPushButton::clicked, this, [this, handler = c.handler] { (this->*handler)(); });
  }
}

void CTrackerPage::WatchControls() {
  for (QWidget* control : findChildren<QWidget*>()) {
    if (control != m_TipWnd) control->installEventFilter(this);
  }
  // The right button selects only a line it is on, and only here: the list's own
  // handling would clear the selection below the last line.
  WatchRightPress(m_ResultList, [this](const QPoint& at) {
    OnResultRightPress(at);
    return true;
  });
  m_SeatList->viewport()->installEventFilter(this);
}

BOOL CTrackerPage::OnInitDialog() {
  PageRegistry::Instance().Publish<ITrackerPage>(PageSlot::Tracker, this);
  SetEditText(m_Team2Edit, kDefaultTeam2);

  for (int c = 0; c < kStockDayColumnCount; ++c) {
    const SeatListColumn& col = kStockDayColumns[static_cast<std::size_t>(c)];
    m_SeatList->InsertColumn(c, col.title, LVCFMT_LEFT, col.width);
  }

  SetEditText(m_MultiStockEdit, kCodesHint);
  m_MultiStockEdit->SetTextColor(kCodesHintColour);

  m_TipWnd = new CTipWnd(this);
  m_TipWnd->AddTool(kIdMerge, {"    合并数据，可以发现哪些营业部在炒作个股、在协同作战!"}, kPageTipBack, kPageTipText);
  m_TipWnd->AddTool(kIdStockQuery, {" 请在 左侧 输入股票代码 股票名称的全称！   "}, kPageTipBack, kPageTipText);
  m_TipWnd->AddTool(kIdBranchQuery, {"请在 左侧 输入 营业部全称  或 营业部部分连续的关键字!     "}, kPageTipBack,
                    kPageTipText);
  m_TipWnd->AddTool(kIdCode, {"    双击这里，将 查询个股 所有上榜信息"}, kPageTipBack, kPageTipText);
  m_TipWnd->AddTool(kIdName, {"    双击这里, 将 查询个股 所有上榜信息"}, kPageTipBack, kPageTipText);

  SetEditText(m_DaysEdit, kDefaultTeamDays);
  m_TeamCombo->addItem(QString::fromUtf8(kComboPlaceholder));
  m_TeamCombo->setCurrentIndex(0);
  WatchControls();
  new EnterKeyRelay(this, {m_StockNameEdit, m_StockCodeEdit, m_Team1Edit}, [this](int id) { OnEditEnter(id); });
  return TRUE;
}

void CTrackerPage::SelectOwnTab() {
  if (auto* tabs = PageRegistry::Instance().Get<IMainTabs>(PageSlot::MainTabCtrl)) tabs->SetCurSel(kTrackerTabIndex);
}

std::string CTrackerPage::EditText(const QLineEdit* edit) const { return FromQString(edit->text()); }

void CTrackerPage::SetEditText(QLineEdit* edit, const std::string& text) {
  SetEditTextFromStart(edit, text);
}

// ---- results ----

namespace {

// Result lines as the list holds them, and back. A worker makes and reads them, so that
// a long search costs the interface thread one step.
ColorListBoxBatch ResultBatch(const std::vector<TrackerLine>& lines) {
  ColorListBoxBatch batch;
  for (const TrackerLine& line : lines) {
    batch.Add(line.text, line.colour,
              {{CTrackerPage::kLineNameRole, line.stockName},
               {CTrackerPage::kLineCodeRole, line.code},
               {CTrackerPage::kLineDateRole, line.date},
               {CTrackerPage::kLineTeamRole, line.teamName}});
  }
  return batch;
}

std::string RoleText(const ColorListBoxEntry& entry, int role) {
  for (const auto& [key, value] : entry.roles) {
    if (key == role) return FromQString(value.toString());
  }
  return {};
}

std::vector<TrackerLine> LinesOf(const std::vector<ColorListBoxEntry>& entries) {
  std::vector<TrackerLine> lines;
  lines.reserve(entries.size());
  for (const ColorListBoxEntry& entry : entries) {
    TrackerLine line;
    line.text = FromQString(entry.text);
    line.colour = entry.colour;
    line.stockName = RoleText(entry, CTrackerPage::kLineNameRole);
    line.code = RoleText(entry, CTrackerPage::kLineCodeRole);
    line.date = RoleText(entry, CTrackerPage::kLineDateRole);
    line.teamName = RoleText(entry, CTrackerPage::kLineTeamRole);
    lines.push_back(std::move(line));
  }
  return lines;
}

// The stock-days of the lines, for the merge, from their code and day roles; read on
// the merge's worker, which gives up at closing (then with what it has read).
std::vector<StockDayKey> StockDaysOf(const ColorListBoxLines& lines) {
  std::vector<StockDayKey> keys;
  keys.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i % 4096 == 0 && g_bClosing.load()) break;
    keys.push_back({lines.RoleText(i, CTrackerPage::kLineCodeRole), lines.RoleText(i, CTrackerPage::kLineDateRole)});
  }
  return keys;
}

// A search made off the interface thread, its lines already made into the list's.
struct PreparedSearch {
  TrackerSearchResult result;
  ColorListBoxBatch lines;
};

}  // namespace

void CTrackerPage::AddResultLine(const TrackerLine& line) { m_ResultList->AddLines(ResultBatch({line})); }

void CTrackerPage::FillResultList(ColorListBoxBatch lines) {
  const QSignalBlocker blocker(m_ResultList);
  m_ResultList->setUpdatesEnabled(false);
  m_ResultList->ResetContent();
  m_ResultList->AddLines(std::move(lines));
  m_ResultList->setUpdatesEnabled(true);
}

std::string CTrackerPage::LineRole(int line, int role) const {
  const CColorListBoxLine item = m_ResultList->item(line);
  return item ? FromQString(item->data(role).toString()) : std::string();
}

std::vector<TrackerLine> CTrackerPage::ResultLines(std::size_t limit) const {
  return LinesOf(m_ResultList->Lines(limit));
}

bool CTrackerPage::ApplyResult(const TrackerSearchResult& result, ColorListBoxBatch* batch) {
  if (result.lines) {
    ColorListBoxBatch lines = batch != nullptr ? std::move(*batch) : ResultBatch(*result.lines);
    if (result.streamedLines > 0) {
      m_ResultList->AddLines(std::move(lines));  // after the lines the search streamed
    } else {
      AbandonTeamSearch();
      FillResultList(std::move(lines));
    }
  }
  if (result.countText) SetEditText(m_CountEdit, *result.countText);
  if (result.largeCountText) SetEditText(m_LargeEdit, *result.largeCountText);
  if (result.averageText) SetEditText(m_AverageEdit, *result.averageText);
  // After a failed query the old lines are not shown again: one message per action.
  // Lines streamed before the read broke off are no result either: they go with it.
  if (result.status == TrackerSearchResult::Status::QueryFailed) {
    if (m_bStreamStarted) m_ResultList->ResetContent();
    return false;
  }
  if (result.showFirstResult) ShowFirstResult();
  return result.status == TrackerSearchResult::Status::Done;
}

bool CTrackerPage::IsSearchRunning() const { return m_search->IsRunning(); }

namespace {

// A streaming search's lines, made into the list's lines on the worker and handed to
// the page's list through the search's own road.
class PageLineSink final : public TrackerLineSink {
 public:
  PageLineSink(const BackgroundSearch::Poster& post, std::function<void(ColorListBoxBatch&)> add)
      : post_(post), add_(std::move(add)) {}
  void AddLines(std::vector<TrackerLine> lines) override { Ready(std::move(lines))(); }
  std::function<void()> Ready(std::vector<TrackerLine> lines) override {
    // A step is copied as a function: the batch goes with it behind a shared pointer.
    return [this, batch = std::make_shared<ColorListBoxBatch>(ResultBatch(lines))] {
      post_([add = add_, batch] { add(*batch); });
    };
  }

 private:
  const BackgroundSearch::Poster& post_;
  std::function<void(ColorListBoxBatch&)> add_;
};

}  // namespace

void CTrackerPage::SearchInBackground(std::function<TrackerSearchResult(TrackerLineSink*)> search, bool showFirst) {
  // Refused before anything is touched: the running search still streams into the list.
  if (IsSearchRunning()) return;
  m_bStreamStarted = false;
  m_search->Start(
      false,
      [this, market = &Market(), search = std::move(search)](const BackgroundSearch::Poster& post) {
        market->InterruptWhenClosing();
        // `this` is only used on the UI thread, by steps that never run once the page is gone.
        PageLineSink sink(post, [this](ColorListBoxBatch& lines) { AddStreamedLines(lines); });
        PreparedSearch prepared{search(&sink), {}};
        if (prepared.result.lines) {
          prepared.lines = ResultBatch(*prepared.result.lines);
          prepared.result.lines.emplace();  // the list is replaced; its lines are the batch
        }
        return prepared;
      },
      [this, showFirst](PreparedSearch& prepared) {
        if (ApplyResult(prepared.result, &prepared.lines) && showFirst) ShowFirstResult();
      },
      [this] { ClearResultList(); });
}

void CTrackerPage::ClearResultList() {
  // The team search's lines would fill the emptied list again.
  AbandonTeamSearch();
  FillResultList({});
  for (QLineEdit* edit : {m_CountEdit, m_LargeEdit, m_AverageEdit}) edit->clear();
}

void CTrackerPage::ClearSeatList() {
  g_TrackerBranchTotals.Clear();
  m_SeatList->DeleteAllItems();
}

void CTrackerPage::AddStreamedLines(ColorListBoxBatch& lines) {
  if (m_bStreamStarted) {
    m_ResultList->AddLines(std::move(lines));
    return;
  }
  // The first screenful replaces the list.
  m_bStreamStarted = true;
  AbandonTeamSearch();
  FillResultList(std::move(lines));
}

// ---- the entries other pages call ----

bool CTrackerPage::RefuseHandOver() {
  if (!IsSearchRunning()) return false;
  m_search->TellRefused(kHandOverRefusedText);
  return true;
}

void CTrackerPage::OnTrackBranch(const std::string& branchName) {
  SelectOwnTab();
  if (RefuseHandOver()) return;
  SetEditText(m_Team1Edit, branchName);
  SearchBranch(branchName, true);
}

void CTrackerPage::OnTrackByStockCode(const std::string& stockCode) {
  SelectOwnTab();
  if (RefuseHandOver()) return;
  ApplyResult(::SearchStockCode(Market(), Clock(), stockCode, false));
}

void CTrackerPage::OnTrackByStockName(const std::string& stockName) {
  SelectOwnTab();
  if (RefuseHandOver()) return;
  ApplyResult(::SearchStockName(Market(), Clock(), stockName, false));
}

// ---- searches ----

void CTrackerPage::SearchBranch(const std::string& branchName, bool showFirst) {
  if (IsSearchRunning()) return;
  // Its lines always replace the list: the team search's lines stop now.
  AbandonTeamSearch();
  CADODataBase* market = &Market();
  const IClock* clock = &Clock();
  SearchInBackground([market, clock, branchName](TrackerLineSink* sink) {
    return ::SearchBranch(*market, *clock, branchName, sink);
  }, showFirst);
}

void CTrackerPage::OnSearchTeamsOnly() {
  if (IsSearchRunning()) return;
  ApplyResult(::SearchTwoBranches(Market(), Clock(), EditText(m_Team1Edit), EditText(m_Team2Edit)));
}

void CTrackerPage::SearchBranchKeyword() {
  if (IsSearchRunning()) return;
  CADODataBase* market = &Market();
  const IClock* clock = &Clock();
  SearchInBackground(
      [market, clock, keyword = EditText(m_Team1Edit)](TrackerLineSink* sink) {
        return ::SearchBranchKeyword(*market, *clock, keyword, sink);
      },
      false);
}

void CTrackerPage::SearchStockName() {
  if (IsSearchRunning()) return;
  ApplyResult(::SearchStockName(Market(), Clock(), EditText(m_Team1Edit), true));
}

void CTrackerPage::SearchStockCode() {
  if (IsSearchRunning()) return;
  ApplyResult(::SearchStockCode(Market(), Clock(), EditText(m_Team1Edit), true));
}

void CTrackerPage::OnMultiStockSearch() {
  if (IsSearchRunning()) return;
  ApplyResult(SearchMultiStock(Market(), Clock(), EditText(m_MultiStockEdit)));
}

void CTrackerPage::OnTeam1OnStock() {
  if (IsSearchRunning()) return;
  ApplyResult(SearchTeam1OnStock(Market(), Clock(), EditText(m_Team1Edit), EditText(m_StockCodeEdit)));
}

void CTrackerPage::OnStockQuery() {
  if (IsSearchRunning()) return;
  ApplyResult(RunStockQuery(Market(), Clock(), EditText(m_Team1Edit)));
}

void CTrackerPage::OnBranchQuery() { SearchBranchKeyword(); }

// ---- the stock-day detail ----

void CTrackerPage::ShowFirstResult() {
  const int count = m_ResultList->GetCount();
  SetEditText(m_CountEdit, std::to_string(count));
  if (count == 0) return;
  {
    const QSignalBlocker blocker(m_ResultList);
    m_ResultList->SetCurSel(0);
  }
  ShowLineStockDay(0);
}

void CTrackerPage::ShowLineStockDay(int line) {
  m_SeatList->DeleteAllItems();
  std::string error;
  if (!LoadStockDay(Market(), LineRole(line, kLineCodeRole), LineRole(line, kLineDateRole), m_StockDay,
                    g_TrackerBranchTotals, &error)) {
    ShowQueryFailed(error);
  }
  ShowStockDay(m_StockDay);
}

void CTrackerPage::ShowStockDay(const StockDayDetail& detail) {
  m_strTeam1Text = EditText(m_Team1Edit);
  BranchMarks marks;
  marks.Load(Custom());
  const StockDayView view = BuildStockDayView(detail, m_strTeam1Text, marks);
  SetEditText(m_StockNameEdit, view.edits.stockName);
  SetEditText(m_StockCodeEdit, view.edits.stockCode);
  SetEditText(m_CloseEdit, view.edits.close);
  SetEditText(m_ChangeEdit, view.edits.change);
  m_ChangeEdit->SetTextColor(view.edits.changeColour);
  SetEditText(m_ReasonEdit, view.edits.reason);
  FillSeatList(std::vector<StockDayRow>(view.rows.begin(), view.rows.end()));
}

void CTrackerPage::SetSeatListTitles(const std::array<SeatListColumn, kStockDayColumnCount>& columns) {
  for (int c = 0; c < kStockDayColumnCount; ++c) {
    if (const CColorListCell header = m_SeatList->horizontalHeaderItem(c)) {
      header->setText(ToQString(columns[static_cast<std::size_t>(c)].title));
    }
  }
}

void CTrackerPage::FillSeatList(const std::vector<StockDayRow>& rows,
                                const std::array<SeatListColumn, kStockDayColumnCount>& columns) {
  SetSeatListTitles(columns);
  m_SeatList->setUpdatesEnabled(false);
  m_SeatList->DeleteAllItems();
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const StockDayRow& cells = rows[static_cast<std::size_t>(r)];
    m_SeatList->InsertItem(r, cells[0].text);
    for (int c = 0; c < kStockDayColumnCount; ++c) {
      const SeatCell& cell = cells[static_cast<std::size_t>(c)];
      if (c > 0 && !cell.text.empty()) m_SeatList->SetItemText(r, c, cell.text);
      if (cell.colour) m_SeatList->SetCellColor(*cell.colour, r, c);
    }
  }
  m_SeatList->setUpdatesEnabled(true);
}

void CTrackerPage::OnResultDblClk() {
  const int line = m_ResultList->GetCurSel();
  if (line < 0 || IsSearchRunning()) return;
  // A team line names its team: "温州系" becomes team 1 (before the seats are shown,
  // so the highlight follows it).
  if (const auto team = Team1TextOfTeam(LineRole(line, kLineTeamRole))) SetEditText(m_Team1Edit, *team);
  ShowLineStockDay(line);
}

void CTrackerPage::OnResultSelChange() {
  // Only the selected line is read: the list colours its lines by their codes.
  m_ResultList->ColourLikeLine(m_ResultList->GetCurSel(), kLineCodeRole, kTrackerSameStockColour, kTrackerLineColour);
}

void CTrackerPage::OnSeatListClick(int row) {
  if (row < 0 || row >= m_SeatList->GetItemCount() || IsSearchRunning()) return;
  SetEditText(m_Team2Edit, EditText(m_Team1Edit));
  SetEditText(m_Team1Edit, m_SeatList->GetItemText(row, 1));
}

void CTrackerPage::OnSeatListDblClk(int row) {
  if (row < 0 || row >= m_SeatList->GetItemCount()) return;
  SearchBranch(m_SeatList->GetItemText(row, 1));
}

namespace {

// A merge computed off the interface thread: its own totals, which become
// g_TrackerBranchTotals when the rows are shown.
struct MergedTotals {
  BranchMergeResult result;
  TrackerBranchTotals totals;
};

}  // namespace

// ---- the tools ----

void CTrackerPage::OnMergeData() {
  if (IsSearchRunning()) return;
  // Only the lines merged are taken from the list, and read on the worker: the click
  // costs the same on a few lines and on a long search's.
  const std::string countText = EditText(m_MergeEdit);
  const std::size_t merged = MergedLineCount(countText, static_cast<std::size_t>(m_ResultList->GetCount()));
  CADODataBase* market = &Market();
  CADODataBase* custom = &Custom();
  m_search->Start(
      false,
      [market, custom, lines = m_ResultList->SharedLines(merged), countText]() mutable {
        market->InterruptWhenClosing();
        custom->InterruptWhenClosing();
        MergedTotals merge;
        BranchMarks marks;
        marks.Load(*custom);
        std::vector<StockDayKey> keys = StockDaysOf(lines);
        lines = ColorListBoxLines();  // the list's blocks go back to it now
        merge.result = MergeBranchTotals(*market, keys, countText, marks, merge.totals);
        return merge;
      },
      [this](MergedTotals& merge) {
        g_TrackerBranchTotals = std::move(merge.totals);
        FillSeatList(merge.result.view.rows);
      },
      [this] { ClearSeatList(); });
}

void CTrackerPage::OnSeatListHeaderClick(int column) {
  if (IsSearchRunning()) return;
  if (!SortBranchTotalsByColumn(g_TrackerBranchTotals, column)) return;
  BranchMarks marks;
  marks.Load(Custom());
  FillSeatList(ShowBranchTotals(g_TrackerBranchTotals, marks).rows);
}

void CTrackerPage::OnHotStockRanking() {
  // The titles name what the rows hold (stock name and code); a refused text leaves
  // the list empty.
  CADODataBase* market = &Market();
  m_search->Start(
      false,
      [market, team1 = EditText(m_Team1Edit)] {
        market->InterruptWhenClosing();
        return BuildHotStockRanking(*market, team1);
      },
      [this](HotStockResult& result) { FillSeatList(result.rows, kHotStockColumns); },
      [this] { ClearSeatList(); });
}

void CTrackerPage::OnCopyCodesToClipboard() { CopyResultCodesToClipboard(ResultLines()); }

// ---- the team search ----

void CTrackerPage::EnableTeamSearchControls(bool enable) {
  m_btnTeamSearch->setEnabled(enable);
  m_TeamCombo->setEnabled(enable);
}

void CTrackerPage::OnSearchTeamCombat() {
  if (IsTeamSearchRunning()) return;  // the button is disabled meanwhile
  if (IsSearchRunning()) return;
  EnableTeamSearchControls(false);

  std::vector<CBranchTeamRow> teams;
  LoadTeams(teams, Custom());
  m_TeamCombo->clear();
  for (const std::string& item : TeamComboItems(teams)) m_TeamCombo->addItem(ToQString(item));
  m_TeamCombo->setCurrentIndex(0);

  {
    const QSignalBlocker blocker(m_ResultList);
    m_ResultList->ResetContent();
  }
  if (!m_team) m_team = std::make_unique<TeamSearchJob>(std::make_shared<PageTeamSearchSink>(), Market(), Clock());
  TeamSearchParams params;
  params.teams = std::move(teams);
  params.days = ParseLeadingInt(EditText(m_DaysEdit));
  params.thresholds = TeamThresholdsFromSettings();
  std::uint64_t job = 0;
  if (m_team->Start(std::move(params), &job) == TeamSearchJob::StartResult::Started) {
    m_nJobId = job;
    m_nRunningJob = job;
    return;
  }
  // Not started (the message, if any, was shown): nothing will end it, so the
  // controls come back now.
  EnableTeamSearchControls(true);
}

void CTrackerPage::AbandonTeamSearch() {
  if (m_nJobId == 0) return;
  m_nJobId = 0;
  if (m_team) m_team->RequestStop();
}

void CTrackerPage::OnTeamSearchLine(std::uint64_t job, const TrackerLine& line) {
  if (job == 0 || job != m_nJobId) return;
  AddResultLine(line);
}

void CTrackerPage::OnTeamSearchFinished(std::uint64_t job, const TeamSearchSummary& summary) {
  const bool current = job != 0 && job == m_nJobId;
  if (job == m_nRunningJob) {
    m_nRunningJob = 0;
    EnableTeamSearchControls(true);
  }
  if (!current) return;
  m_nJobId = 0;
  // No line found: no figure of an earlier search stays beside the empty list.
  if (m_ResultList->GetCount() == 0) {
    for (QLineEdit* edit : {m_CountEdit, m_LargeEdit, m_AverageEdit}) edit->clear();
  }
  // Days whose query failed were skipped; the search says so once, at its end.
  if (!summary.errorText.empty()) MessageBox(summary.errorText, kTrackerCaption, MB_OK | MB_ICONWARNING);
}

void CTrackerPage::OnTeamSearchFailed(std::uint64_t job, const std::string& text) {
  const bool current = job != 0 && job == m_nJobId;
  if (job == m_nRunningJob) {
    m_nRunningJob = 0;
    EnableTeamSearchControls(true);
  }
  if (!current) return;
  m_nJobId = 0;
  MessageBox(text, kTrackerCaption, MB_OK | MB_ICONWARNING);
}

// ---- the event filter ----

void CTrackerPage::OnEditEnter(int id) {
  if (IsSearchRunning()) return;  // 1017 keeps its text too
  if (id == kIdName) {
    SetEditText(m_Team1Edit, EditText(m_StockNameEdit));
    SearchStockName();
  } else if (id == kIdCode) {
    SetEditText(m_Team1Edit, EditText(m_StockCodeEdit));
    SearchStockCode();
  } else if (id == kIdTeam1) {
    if (LooksLikeStockCode(EditText(m_Team1Edit))) SearchStockCode();
  }
}

void CTrackerPage::OnEditDoubleClick(int id) {
  if (id == kIdName || id == kIdCode) {
    OnEditEnter(id);
  } else if (id == kIdTeam1 || id == kIdTeam2) {
    SearchBranch(EditText(id == kIdTeam1 ? m_Team1Edit : m_Team2Edit), true);
  }
}

void CTrackerPage::OnResultRightPress(const QPoint& viewportPos) {
  const CColorListBoxLine item = m_ResultList->itemAt(viewportPos);
  if (!item) return;  // below the last line: nothing
  {
    const QSignalBlocker blocker(m_ResultList);
    m_ResultList->SetCurSel(m_ResultList->row(item));
  }
  const std::string code = FromQString(item->data(kLineCodeRole).toString());
  if (auto* link = RequireFeature<ChartLink>(PageSlot::ChartLink, kChartLinkFeatureName)) link->FindChartWindow(code);
}

bool CTrackerPage::eventFilter(QObject* watched, QEvent* event) {
  // Escape never closes the page; Enter is the relay's (see OnInitDialog).
  if (FilterPageControlEvent(m_TipWnd, this, watched, event)) return true;
  const int id = watched->isWidgetType() ? GetDlgCtrlID(static_cast<QWidget*>(watched)) : 0;
  switch (event->type()) {
    case QEvent::MouseButtonDblClick:
      if (watched == m_SeatList->viewport()) {
        m_bSeatPressIsDoubleClick = true;
      } else if (id == kIdName || id == kIdCode || id == kIdTeam1 || id == kIdTeam2) {
        OnEditDoubleClick(id);
      }
      break;
    case QEvent::MouseButtonPress:
      if (watched == m_SeatList->viewport()) m_bSeatPressIsDoubleClick = false;
      break;
    default:
      break;
  }
  return CPage::eventFilter(watched, event);
}
