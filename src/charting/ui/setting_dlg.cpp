#include "charting/ui/setting_dlg.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

#include "charting/chart_folder.h"
#include "charting/custom_data_job.h"
#include "charting/ui/upgrade_dlg.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/color_picker_button.h"
#include "controls/ui/page_widgets.h"
#include "controls/ui/tip_wnd.h"
#include "platform/app_paths.h"
#include "platform/debug_log.h"
#include "platform/gdi_types.h"
#include "platform/message_box.h"
#include "platform/page_registry.h"
#include "platform/pages/tracker_page_iface.h"
#include "platform/ui/qt_convert.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ini_file.h"

// The job's reports, queued to the page on the UI thread through the page registry's
// dispatcher. The job may outlive the page (a join that timed out): the page detaches
// itself first, and the calls still queued for it then do nothing.
class SettingSinkAdapter final : public CustomDataSink {
 public:
  explicit SettingSinkAdapter(CSettingDlg* page) : page_(std::make_shared<CSettingDlg*>(page)) {}
  // UI thread.
  void Detach() { *page_ = nullptr; }

  void Status(const std::string& text) override {
    Post([text](CSettingDlg& p) { p.ShowJobStatus(text); });
  }
  void Line(const std::string& text, COLORREF colour) override {
    Post([text, colour](CSettingDlg& p) { p.AddJobLine(text, colour); });
  }
  void ProgressRange(int lower, int upper) override {
    Post([lower, upper](CSettingDlg& p) { p.SetJobProgressRange(lower, upper); });
  }
  void Progress(int position) override {
    Post([position](CSettingDlg& p) { p.SetJobProgress(position); });
  }
  void Message(const std::string& text) override {
    Post([text](CSettingDlg& p) { p.ShowJobMessage(text); });
  }
  void Finished(bool, int) override {
    Post([](CSettingDlg& p) { p.OnJobFinished(); });
  }

 private:
  template <class Fn>
  void Post(Fn fn) {
    IUiDispatcher* ui = PageRegistry::Instance().Dispatcher();
    if (ui == nullptr) return;
    ui->RunOnUi(
        [page = page_, fn] {
          if (*page != nullptr) fn(**page);
        },
        false);
  }

  // The page, read and cleared on the UI thread only; the pointer to it is never changed.
  const std::shared_ptr<CSettingDlg*> page_;
};

namespace {

constexpr int kBuyColourIds[5] = {1079, 1089, 1088, 1090, 1091};
constexpr int kSellColourIds[5] = {1093, 1095, 1094, 1096, 1097};
constexpr const char* kBandLabels[5] = {"800万以下", "800~2000万", "2000~5000万", "5000~8000万", "8000万以上"};

struct Column {
  const char* title;
  int width;
};
constexpr Column kSoftColumns[] = {{"序号", 30}, {"股票分析软件名称", 135}, {"股票分析软件进程名称", 160}};
constexpr Column kMarkColumns[] = {{"序号", 40},     {"营业部名称(要完整,不能简写)", 275}, {"营业部缩写", 75},
                                   {"营业部编号", 75}, {"团队名称", 70},                    {"团队编号", 65},
                                   {"颜色", 40},      {"是否显示", 65},                    {"备注", 400}};
constexpr int kMarkColourColumn = 6;

constexpr const char* kRemarkDefault = "营业部备注信息，来自网络收集，有可能不准确!";
constexpr const char* kExeFilter = "可执行文件 (*.exe) (*.exe *.EXE);;所有文件(*.*) (*)";
constexpr COLORREF kWhite = 0xFFFFFF;

std::string Trimmed(const QString& text) { return FromQString(text.trimmed()); }

QLineEdit* Edit(QWidget* parent, int id, bool readOnly = false) {
  auto* edit = new QLineEdit(parent);
  CPage::SetDlgCtrlID(edit, id);
  edit->setReadOnly(readOnly);
  return edit;
}

QPushButton* Button(QWidget* parent, int id, const char* caption) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  CPage::SetDlgCtrlID(button, id);
  return button;
}

CColorPickerButton* ColourButton(QWidget* parent, int id) {
  auto* button = new CColorPickerButton(parent);
  CPage::SetDlgCtrlID(button, id);
  return button;
}

QComboBox* Combo(QWidget* parent, int id, const std::vector<const char*>& items) {
  auto* combo = new QComboBox(parent);
  CPage::SetDlgCtrlID(combo, id);
  combo->setEditable(false);
  for (const char* item : items) combo->addItem(QString::fromUtf8(item));
  return combo;
}

QLabel* Label(QWidget* parent, const char* text) { return new QLabel(QString::fromUtf8(text), parent); }

// Where the executable picker opens: the charting folder when it resolves, else the
// Wine prefix's drive C, else home.
std::string PickerStartFolder() {
  const ChartEnvironment env = ChartEnvironmentFromProcess();
  const ChartFolder folder = ResolveChartFolder(TDX_DIR, env);
  if (folder.ok()) return folder.folder;
  const std::string prefix = !env.winePrefix.empty() ? env.winePrefix : env.home.empty() ? "" : env.home + "/.wine";
  if (!prefix.empty() && QFileInfo(ToQString(prefix + "/drive_c")).isDir()) return prefix + "/drive_c";
  return env.home.empty() ? QDir::homePath().toStdString() : env.home;
}

bool FileExists(const std::string& path) { return !path.empty() && QFileInfo(ToQString(path)).isFile(); }

}  // namespace

CSettingDlg::CSettingDlg(QWidget* parent) : CSettingDlg(SettingServices{}, parent) {}

CSettingDlg::CSettingDlg(const SettingServices& services, QWidget* parent)
    : CPage(parent), services_(services), m_sink(std::make_shared<SettingSinkAdapter>(this)) {
  SetPageDialogId(*this, IDD);
  m_job = std::make_unique<CCustomDataJob>(m_sink, services_.workers ? *services_.workers : WorkerRegistry::Instance());
  BuildControls();
}

CSettingDlg::~CSettingDlg() {
  PageRegistry& registry = PageRegistry::Instance();
  if (registry.Get<ISettingsPage>(PageSlot::Setting) == this) registry.Unpublish(PageSlot::Setting);
  m_sink->Detach();
  if (!m_job->Exit(std::chrono::seconds(5))) AppendDebugLog("settings: the custom-data job did not end in time");
}

// ---- Controls ---------------------------------------------------------------------

void CSettingDlg::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  outer->addWidget(scroll);
  auto* content = new QWidget(scroll);
  scroll->setWidget(content);
  auto* grid = new QGridLayout(content);

  grid->addWidget(Label(content, "软件只设置一次，后面直接运行，自动下载数据，并生成通达信的Velkor数据。"), 0, 0, 1, 3);
  grid->addWidget(BuildColourGroup(content), 1, 0);
  grid->addWidget(BuildChartGroup(content), 1, 1);
  grid->addWidget(BuildSoftGroup(content), 1, 2);
  grid->addWidget(BuildMarksGroup(content), 2, 0, 1, 3);
  grid->addWidget(BuildCustomDataGroup(content), 3, 0, 1, 3);
  grid->setRowStretch(2, 1);

  m_TipWnd = new CTipWnd(this);
  m_TipWnd->SetParentWnd(this);
  for (QWidget* control : findChildren<QWidget*>()) {
    if (control != m_TipWnd) control->installEventFilter(this);
  }
}

QWidget* CSettingDlg::BuildColourGroup(QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  for (int side = 0; side < 2; ++side) {
    auto* group = new QGroupBox(QString::fromUtf8(side == 0 ? "买入金额颜色设置" : "卖出金额颜色设置"), box);
    auto* g = new QGridLayout(group);
    for (int band = 0; band < 5; ++band) {
      g->addWidget(Label(group, kBandLabels[band]), band, 0);
      CColorPickerButton* button = ColourButton(group, side == 0 ? kBuyColourIds[band] : kSellColourIds[band]);
      (side == 0 ? m_buyColours : m_sellColours)[static_cast<std::size_t>(band)] = button;
      g->addWidget(button, band, 1);
    }
    layout->addWidget(group);
  }
  auto* save = Button(box, 1003, "保存配置");
  connect(save, &QPushButton::clicked, this, [this] { OnSaveColours(); });
  layout->addWidget(save);
  return box;
}

QWidget* CSettingDlg::BuildChartGroup(QWidget* parent) {
  auto* group = new QGroupBox(QStringLiteral("通达信设置"), parent);
  auto* g = new QGridLayout(group);
  g->addWidget(Label(group, "通达信安装路径："), 0, 0);
  m_chartPath = Edit(group, 1034, true);
  m_chartPath->setPlaceholderText(QString::fromUtf8(kChartPathPlaceholder));
  g->addWidget(m_chartPath, 0, 1);
  auto* choose = Button(group, 1134, "手动选择通达信路径");
  g->addWidget(choose, 1, 1);
  g->addWidget(Label(group, "请选择系统类型："), 2, 0);
  m_systemType = Combo(group, 1005, {"XP", "Win7", "Win8", "Win10"});
  g->addWidget(m_systemType, 2, 1);
  auto* upgrade = Button(group, 1129, "软件手动升级");
  g->addWidget(upgrade, 3, 1);
  g->setRowStretch(4, 1);
  connect(choose, &QPushButton::clicked, this, [this] { OnChooseChartPath(); });
  connect(upgrade, &QPushButton::clicked, this, [this] { OnManualUpgrade(); });
  return group;
}

QWidget* CSettingDlg::BuildSoftGroup(QWidget* parent) {
  auto* group = new QGroupBox(QStringLiteral("关联股票分析软件"), parent);
  auto* g = new QGridLayout(group);
  m_softList = new QTableWidget(group);
  CPage::SetDlgCtrlID(m_softList, 1047);
  m_softList->setColumnCount(3);
  QStringList titles;
  for (const Column& c : kSoftColumns) titles << QString::fromUtf8(c.title);
  m_softList->setHorizontalHeaderLabels(titles);
  for (int i = 0; i < 3; ++i) m_softList->setColumnWidth(i, kSoftColumns[i].width);
  m_softList->setShowGrid(true);
  m_softList->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_softList->setSelectionMode(QAbstractItemView::SingleSelection);
  m_softList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_softList->verticalHeader()->setVisible(false);
  g->addWidget(m_softList, 0, 0, 1, 2);
  g->addWidget(Label(group, "股票分析软件名称："), 1, 0);
  m_softName = Edit(group, 1031);
  g->addWidget(m_softName, 1, 1);
  g->addWidget(Label(group, "股票分析软件进程名称："), 2, 0);
  m_softProcess = Edit(group, 1032);
  g->addWidget(m_softProcess, 2, 1);
  auto* buttons = new QHBoxLayout;
  auto* add = Button(group, 1127, "添加关联");
  auto* remove = Button(group, 1128, "删除");
  buttons->addWidget(add);
  buttons->addWidget(remove);
  g->addLayout(buttons, 3, 0, 1, 2);
  connect(add, &QPushButton::clicked, this, [this] { OnAddSoft(); });
  connect(remove, &QPushButton::clicked, this, [this] { OnDeleteSoft(); });
  return group;
}

QWidget* CSettingDlg::BuildMarksGroup(QWidget* parent) {
  auto* group = new QGroupBox(QStringLiteral(" 设置 关注营业部与团队作战"), parent);
  auto* g = new QGridLayout(group);
  g->addWidget(Label(group, "（营业部缩写、营业部编号，要唯一，不能重复。）     营业部编号：指通达信自定义数据编号：(300+X)"),
               0, 0, 1, 6);
  m_marks = new CColorListCtrl(group);
  CPage::SetDlgCtrlID(m_marks, 1119);
  for (int c = 0; c < static_cast<int>(std::size(kMarkColumns)); ++c) {
    m_marks->InsertColumn(c, kMarkColumns[c].title, LVCFMT_LEFT, kMarkColumns[c].width);
  }
  m_marks->setMinimumHeight(220);
  g->addWidget(m_marks, 1, 0, 1, 6);

  int row = 2;
  auto field = [&](const char* label, QWidget* widget, int column) {
    g->addWidget(Label(group, label), row, column * 2);
    g->addWidget(widget, row, column * 2 + 1);
  };
  m_markName = Edit(group, 1015);
  m_markColour = ColourButton(group, 1098);
  m_markColour->setMaximumWidth(120);
  field("营业部名称全称：", m_markName, 0);
  field("颜色：", m_markColour, 1);
  ++row;
  m_markAbbreviation = Edit(group, 1141);
  m_markNumber = Edit(group, 1000);
  m_markShown = Combo(group, 1004, {" 否", " 是"});
  field("营业部名称缩写：", m_markAbbreviation, 0);
  field("营业部数据编号：", m_markNumber, 1);
  field("是否在 通达信 副图上显示：", m_markShown, 2);
  ++row;
  m_markTeamName = Edit(group, 1145);
  m_markTeamNumber = Edit(group, 1002);
  field("协同作战团队名称：", m_markTeamName, 0);
  field("协同作战团队编号：", m_markTeamNumber, 1);
  ++row;
  m_markRemark = Edit(group, 1006);
  g->addWidget(Label(group, "操作手法备注："), row, 0);
  g->addWidget(m_markRemark, row, 1, 1, 5);
  ++row;
  auto* buttons = new QHBoxLayout;
  auto* add = Button(group, 1092, "添加");
  auto* update = Button(group, 1099, "更新");
  auto* remove = Button(group, 1139, "删除");
  auto* refresh = Button(group, 1157, "刷新显示");
  auto* find = Button(group, 1158, "查找定位 行");
  for (QPushButton* b : {add, update, remove, refresh, find}) buttons->addWidget(b);
  buttons->addStretch(1);
  g->addLayout(buttons, row, 0, 1, 6);

  connect(add, &QPushButton::clicked, this, [this] { OnAddMark(); });
  connect(update, &QPushButton::clicked, this, [this] { OnUpdateMark(); });
  connect(remove, &QPushButton::clicked, this, [this] { OnDeleteMark(); });
  connect(refresh, &QPushButton::clicked, this, [this] { OnRefreshMarks(); });
  connect(find, &QPushButton::clicked, this, [this] { OnFindMark(); });
  connect(m_marks, &CColorListCtrl::cellClicked, this, [this](int r, int) { OnMarkClick(r); });
  connect(m_marks, &CColorListCtrl::cellDoubleClicked, this, [this](int r, int) { OnMarkDblClk(r); });
  return group;
}

QWidget* CSettingDlg::BuildCustomDataGroup(QWidget* parent) {
  auto* group = new QGroupBox(QStringLiteral("通达信 Velkor 数据"), parent);
  auto* g = new QGridLayout(group);
  m_generate = Button(group, 1007, "创建 通达信的Velkor 数据");
  m_deleteData = Button(group, 1144, "删除 通达信的Velkor 数据");
  g->addWidget(m_generate, 0, 0);
  g->addWidget(m_deleteData, 0, 1);
  g->addWidget(Label(group, "生成多少日数据："), 0, 2);
  m_days = Edit(group, 1001);
  m_days->setFixedWidth(60);
  g->addWidget(m_days, 0, 3);
  m_progress = new QProgressBar(group);
  CPage::SetDlgCtrlID(m_progress, 1142);
  g->addWidget(m_progress, 1, 0, 1, 4);
  m_status = Edit(group, 1154, true);
  g->addWidget(m_status, 2, 0, 1, 4);
  m_jobLines = new CColorListBox(group);
  CPage::SetDlgCtrlID(m_jobLines, 1143);
  m_jobLines->setMinimumHeight(100);
  g->addWidget(m_jobLines, 3, 0, 1, 4);
  connect(m_generate, &QPushButton::clicked, this, [this] { OnGenerateCustomData(); });
  connect(m_deleteData, &QPushButton::clicked, this, [this] { OnDeleteGeneratedData(); });
  return group;
}

bool CSettingDlg::eventFilter(QObject* watched, QEvent* event) {
  if (FilterPageControlEvent(m_TipWnd, this, watched, event)) return true;
  return CPage::eventFilter(watched, event);
}

// ---- Initialisation ---------------------------------------------------------------

BOOL CSettingDlg::OnInitDialog() {
  PageRegistry::Instance().Publish<ISettingsPage>(PageSlot::Setting, this);
  ShowSettings();
  m_markColour->SetColor(g_Settings.SellMoney_Color[4]);
  m_days->setText(QStringLiteral("30"));
  m_progress->setRange(0, 100);
  m_progress->setValue(0);
  connect(m_systemType, &QComboBox::currentIndexChanged, this, [this](int index) { OnSystemTypeChange(index); });
  FillSoftList(ReadSoftList(AppPath(kSettingsFileName)));
  LoadSoftList();
  m_markShown->setCurrentIndex(0);
  LoadMarks();
  m_TipWnd->AddTool(1134, {"         请手动选择 通达信看盘 软件所在路径   "}, RGB(255, 255, 225), RGB(255, 0, 192));
  m_markRemark->setText(QString::fromUtf8(kRemarkDefault));
  return TRUE;
}

void CSettingDlg::ShowSettings() {
  m_strChartPath = TDX_DIR;
  ShowChartPath();
  for (std::size_t band = 0; band < 5; ++band) {
    m_buyColours[band]->SetColor(g_Settings.BuyMoney_Color[band]);
    m_sellColours[band]->SetColor(g_Settings.SellMoney_Color[band]);
  }
  ShowSystemType();
}

void CSettingDlg::ShowSystemType() {
  const QSignalBlocker quiet(m_systemType);  // showing the setting is no choice to write
  m_systemType->setCurrentIndex(g_Settings.SystemType < 4 ? g_Settings.SystemType : 0);
}

void CSettingDlg::ShowChartPath() {
  // "0" is "not set": the edit stays empty and shows its placeholder. A Windows path
  // is shown as it stands; the charting folder resolves it through the Wine prefix.
  m_chartPath->setText(m_strChartPath == "0" ? QString() : ToQString(m_strChartPath));
  m_chartPath->setEnabled(g_Settings.IsTDX != 1);
}

void CSettingDlg::IniWriteFailed() { MessageBox(kIniWriteFailedText, kSettingsCaption, MB_OK | MB_ICONWARNING); }

// ---- Colours, path, system type ----------------------------------------------------

void CSettingDlg::OnSaveColours() {
  std::array<COLORREF, 5> buy{};
  std::array<COLORREF, 5> sell{};
  for (std::size_t band = 0; band < 5; ++band) {
    buy[band] = m_buyColours[band]->GetColor();
    sell[band] = m_sellColours[band]->GetColor();
  }
  if (!SaveBandColours(AppPath(kSettingsFileName), buy, sell)) {
    // The file keeps its colours, and so do this run and the page: nothing is reloaded
    // behind the controls, and the buttons go back to the colours in use.
    ShowSettings();
    MessageBox(std::string(kIniWriteFailedText) + "\n" + kBandColoursWriteText, kSettingsCaption,
               MB_OK | MB_ICONWARNING);
    return;
  }
  LoadSettings(g_szAppFolder);
  ShowSettings();  // the page shows what the file and this run now hold
}

void CSettingDlg::OnChooseChartPath() {
  const std::optional<std::string> chosen = PickOpenFile("选择 通达信 程序", PickerStartFolder(), kExeFilter);
  const std::string path = chosen ? *chosen : m_strChartPath;
  if (!FileExists(path)) return;
  if (!CIniFile(AppPath(kSettingsFileName)).WriteString("system", "TDX_DIR", path)) {
    // The file keeps the old path, and so do this run and the page.
    IniWriteFailed();
    return;
  }
  m_strChartPath = path;
  TDX_DIR = path;  // the block link and the generation use it from now on
  ShowChartPath();
}

void CSettingDlg::OnSystemTypeChange(int index) {
  if (index < 0) return;
  if (!WritePrivateProfileString("system", "SystemType", std::to_string(index), AppPath(kSettingsFileName))) {
    // The file keeps the old type, and so do this run and the combo.
    ShowSystemType();
    IniWriteFailed();
    return;
  }
  g_Settings.SystemType = static_cast<std::uint8_t>(index);
}

void CSettingDlg::OnManualUpgrade() {
  CUpgradeDlg dialog(services_.pages.Custom(), this);
  dialog.exec();
  ReloadAfterMigration();
}

void CSettingDlg::ReloadAfterMigration() {
  LoadSettings(g_szAppFolder);
  m_strChartPath = TDX_DIR;
  ShowChartPath();
  LoadMarks();
}

// ---- Linked programs ----------------------------------------------------------------

void CSettingDlg::FillSoftList(const std::vector<SoftListEntry>& list) {
  m_softList->setRowCount(0);
  m_softList->setRowCount(static_cast<int>(list.size()));
  for (int r = 0; r < static_cast<int>(list.size()); ++r) {
    m_softList->setItem(r, 0, new QTableWidgetItem(QString::number(r + 1)));
    m_softList->setItem(r, 1, new QTableWidgetItem(ToQString(list[static_cast<std::size_t>(r)].name)));
    m_softList->setItem(r, 2, new QTableWidgetItem(ToQString(list[static_cast<std::size_t>(r)].processName)));
  }
}

std::vector<SoftListEntry> CSettingDlg::SoftListShown() const {
  std::vector<SoftListEntry> list;
  for (int r = 0; r < m_softList->rowCount(); ++r) {
    const QTableWidgetItem* name = m_softList->item(r, 1);
    const QTableWidgetItem* process = m_softList->item(r, 2);
    list.push_back({name ? FromQString(name->text()) : "", process ? FromQString(process->text()) : ""});
  }
  return list;
}

void CSettingDlg::SaveSoftListShown() {
  const std::vector<SoftListEntry> list = SoftListShown();
  if (SaveSoftList(AppPath(kSettingsFileName), list)) {
    LoadSoftList();
  } else {
    // The file keeps the old list, and so do this run and the page.
    FillSoftList(g_vecSoftList);
    IniWriteFailed();
  }
}

void CSettingDlg::OnAddSoft() {
  const std::string name = Trimmed(m_softName->text());
  const std::string process = Trimmed(m_softProcess->text());
  const std::string refusal = CheckNewSoft(SoftListShown(), name, process);
  if (!refusal.empty()) {
    MessageBox(refusal, kSettingsCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  const int r = m_softList->rowCount();
  m_softList->insertRow(r);
  m_softList->setItem(r, 0, new QTableWidgetItem(QString::number(r + 1)));
  m_softList->setItem(r, 1, new QTableWidgetItem(ToQString(name)));
  m_softList->setItem(r, 2, new QTableWidgetItem(ToQString(process)));
  SaveSoftListShown();
}

void CSettingDlg::OnDeleteSoft() {
  const int r = m_softList->currentRow();
  if (r < 0 || m_softList->selectedItems().isEmpty()) {
    MessageBox("请选中列表要删除的关联软件名称!", kSettingsCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  m_softList->removeRow(r);
  for (int i = 0; i < m_softList->rowCount(); ++i) {
    if (QTableWidgetItem* number = m_softList->item(i, 0)) number->setText(QString::number(i + 1));
  }
  SaveSoftListShown();
}

// ---- Branch marks -------------------------------------------------------------------

bool CSettingDlg::LoadMarks() {
  BranchMarkStore store(services_.pages.Custom());
  const std::optional<std::vector<BranchMark>> marks = store.LoadMarks();
  if (!marks) return false;
  m_marks->setUpdatesEnabled(false);
  m_marks->DeleteAllItems();
  for (const BranchMark& mark : *marks) AddMarkLine(mark);
  m_marks->setUpdatesEnabled(true);
  return true;
}

void CSettingDlg::AddMarkLine(const BranchMark& mark) {
  const int row = m_marks->InsertItem(m_marks->GetItemCount(), std::to_string(m_marks->GetItemCount() + 1));
  if (row < 0) return;
  m_marks->SetItemText(row, 1, mark.YYBName);
  m_marks->SetItemText(row, 2, mark.Abbreviation);
  m_marks->SetItemText(row, 3, std::to_string(mark.Number1));
  m_marks->SetItemText(row, 4, mark.TeamName);
  m_marks->SetItemText(row, 5, std::to_string(mark.TeamNumber));
  m_marks->SetItemText(row, 7, mark.IsLike == 0 ? "否" : mark.IsLike == 1 ? "是" : std::to_string(mark.IsLike));
  if (!mark.YYBMark.empty()) m_marks->SetItemText(row, 8, mark.YYBMark);
  if (mark.Color == 0) return;  // no colour of its own: the list's background
  for (int column : {kMarkColourColumn, 1, 2, 3}) m_marks->SetCellColor(mark.Color, row, column);
  if (!mark.TeamName.empty()) m_marks->SetCellColor(mark.Color, row, 4);
  if (mark.TeamNumber > 0) m_marks->SetCellColor(mark.Color, row, 5);
}

bool CSettingDlg::FillEditor(const std::string& name) {
  BranchMarkStore store(services_.pages.Custom());
  const std::optional<std::optional<BranchMark>> found = store.FindByName(name);
  if (!found) return false;
  if (!*found) return true;
  const BranchMark& mark = **found;
  m_markName->setText(ToQString(mark.YYBName));
  m_markAbbreviation->setText(ToQString(mark.Abbreviation));
  m_markColour->SetColor(mark.Color == 0 ? kWhite : mark.Color);
  m_markNumber->setText(QString::number(mark.Number1));
  m_markShown->setCurrentIndex(mark.IsLike == 1 ? 1 : 0);
  m_markTeamName->setText(ToQString(mark.TeamName));
  m_markTeamNumber->setText(QString::number(mark.TeamNumber));
  m_markRemark->setText(ToQString(mark.YYBMark));
  return true;
}

void CSettingDlg::OnMarkClick(int row) {
  if (row < 0 || row >= m_marks->GetItemCount()) return;
  if (!FillEditor(m_marks->GetItemText(row, 1))) {
    MessageBox(kMarksReadFailedText, kSettingsCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  m_markAbbreviation->setText(ToQString(m_marks->GetItemText(row, 2)));
}

void CSettingDlg::OnMarkDblClk(int row) {
  if (row < 0 || row >= m_marks->GetItemCount()) return;
  const std::string name = m_marks->GetItemText(row, 1);
  // Without a tracker page nothing happens.
  PageRegistry::Instance().Send<ITrackerPage>(PageSlot::Tracker, [name](ITrackerPage& p) { p.OnTrackBranch(name); });
}

int CSettingDlg::FindMarkLine(const std::string& name) const {
  for (int row = 0; row < m_marks->GetItemCount(); ++row) {
    if (m_marks->GetItemText(row, 1) == name) return row;
  }
  return -1;
}

void CSettingDlg::SelectMarkLine(int row) {
  if (row < 0) return;
  m_marks->scrollToItem(m_marks->item(row, 0));
  m_marks->selectRow(row);
  m_marks->setCurrentCell(row, 1);
  m_marks->setFocus();
}

void CSettingDlg::OnFindMark() {
  const std::string name = Trimmed(m_markName->text());
  if (name.empty()) {
    m_markName->setText(QStringLiteral("营业部名称不能为空!"));
    return;
  }
  const int row = FindMarkLine(name);
  if (row < 0) return;
  SelectMarkLine(row);
  if (!FillEditor(name)) MessageBox(kMarksReadFailedText, kSettingsCaption, MB_OK | MB_ICONWARNING);
}

void CSettingDlg::OnRefreshMarks() {
  if (!LoadMarks()) MessageBox(kMarksReadFailedText, kSettingsCaption, MB_OK | MB_ICONWARNING);
}

void CSettingDlg::OnDeleteMark() {
  if (MessageBox("您确定要 删除 数据 吗？", kSettingsCaption, MB_YESNO | MB_ICONWARNING) != IDYES) return;
  const int row = m_marks->currentRow();
  if (row < 0 || m_marks->selectedItems().isEmpty()) {
    MessageBox("请选中列表要删除的行!", kSettingsCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  const std::string name = m_marks->GetItemText(row, 1);
  BranchMarkStore store(services_.pages.Custom());
  if (!store.Delete(name)) {
    MessageBox(kMarkDeleteFailedText, kSettingsCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  m_marks->DeleteItem(row);
  for (int r = 0; r < m_marks->GetItemCount(); ++r) m_marks->SetItemText(r, 0, std::to_string(r + 1));
}

BranchMarkInput CSettingDlg::EditorInput() const {
  BranchMarkInput input;
  input.name = FromQString(m_markName->text());
  input.abbreviation = FromQString(m_markAbbreviation->text());
  input.number1Text = FromQString(m_markNumber->text());
  input.teamName = FromQString(m_markTeamName->text());
  input.teamNumberText = FromQString(m_markTeamNumber->text());
  input.remark = FromQString(m_markRemark->text());
  input.color = m_markColour->GetColor();
  input.isLike = m_markShown->currentIndex();
  return input;
}

void CSettingDlg::StoreMark(bool updating) {
  const BranchMarkInput input = EditorInput();
  BranchMarkStore store(services_.pages.Custom());
  const MarkOutcome outcome = updating ? store.Update(input) : store.Add(input);
  if (!outcome.ok) {
    MessageBox(outcome.message, kSettingsCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  if (!LoadMarks()) {
    MessageBox(kMarksReadFailedText, kSettingsCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  SelectMarkLine(FindMarkLine(Trimmed(m_markName->text())));
}

void CSettingDlg::OnAddMark() { StoreMark(false); }
void CSettingDlg::OnUpdateMark() { StoreMark(true); }

// ---- Custom data ---------------------------------------------------------------------

void CSettingDlg::SetJobButtonsEnabled(bool enabled) {
  m_generate->setEnabled(enabled);
  m_deleteData->setEnabled(enabled);
}

namespace {

CustomDataParams ParamsNow(int days) {
  CustomDataParams params;
  params.tdxDir = TDX_DIR;
  params.env = ChartEnvironmentFromProcess();
  params.days = days;
  params.buyTeams = g_Settings.BuyTeams;
  params.sellTeams = g_Settings.SellTeams;
  params.marketDbPath = AppPath("CJHB.mdb");
  params.userDbPath = AppPath("Custom.mdb");
  params.programFolder = g_szAppFolder;
  return params;
}

}  // namespace

int CSettingDlg::DaysToGenerate(const std::string& text) {
  const int days = ParseLeadingInt(text);
  return days < 1 ? 1 : days;
}

void CSettingDlg::OnGenerateCustomData() {
  if (m_job->IsRunning()) return;
  m_status->clear();
  m_jobLines->ResetContent();
  SetJobButtonsEnabled(false);  // before the job's thread exists
  // A job that did not start (the job shows why) gives the buttons back at once.
  if (m_job->StartGeneration(ParamsNow(DaysToGenerate(FromQString(m_days->text())))) !=
      CCustomDataJob::StartResult::Started) {
    SetJobButtonsEnabled(true);
  }
}

void CSettingDlg::OnRequestCustomData() {
  if (m_job->IsRunning()) return;  // the running generation covers the request
  OnGenerateCustomData();
}

void CSettingDlg::OnDeleteGeneratedData() {
  if (m_job->IsRunning()) return;
  if (MessageBox("您确定要 删除 生成的通达信 Velkor数据 吗？", kSettingsCaption, MB_YESNO | MB_ICONWARNING) != IDYES) {
    return;
  }
  SetJobButtonsEnabled(false);
  if (m_job->StartDelete(ParamsNow(DaysToGenerate(FromQString(m_days->text())))) !=
      CCustomDataJob::StartResult::Started) {
    SetJobButtonsEnabled(true);
  }
}

void CSettingDlg::ShowJobStatus(const std::string& text) { m_status->setText(ToQString(text)); }

void CSettingDlg::AddJobLine(const std::string& text, COLORREF colour) {
  m_jobLines->AddString(text, colour);
  m_jobLines->SelectLast();
}

void CSettingDlg::SetJobProgressRange(int lower, int upper) { m_progress->setRange(lower, upper); }
void CSettingDlg::SetJobProgress(int position) { m_progress->setValue(position); }
void CSettingDlg::ShowJobMessage(const std::string& text) { MessageBox(text, kSettingsCaption, MB_OK); }
void CSettingDlg::OnJobFinished() { SetJobButtonsEnabled(true); }
