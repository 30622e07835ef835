#pragma once
// The settings page ("系统设置"): the colours of the amount bands, the linked programs,
// the charting program's executable and the system type, the branch marks and teams,
// the charting program's custom data (generate, delete, and the request a download
// run sends) and the migration dialog. The marks, the linked-program list and the
// migration are the charting library's; the custom data is its job; this page maps
// them into widgets.

#include <QPointer>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "storage/page_services.h"
#include "charting/branch_mark_store.h"
#include "charting/soft_list.h"
#include "platform/pages/settings_page_iface.h"
#include "platform/ui/page.h"

class CColorListBox;
class CColorListCtrl;
class CColorPickerButton;
class CCustomDataJob;
class CTipWnd;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class SettingSinkAdapter;
class WorkerRegistry;

inline constexpr const char* kSettingsCaption = "系统提示";
inline constexpr const char* kIniWriteFailedText = "sysinfo.ini 写入失败，设置未保存!";
// The second line of that box when "保存配置" could not write: which keys were refused.
inline constexpr const char* kBandColoursWriteText = "[BuySellColor] BuyMoney1_Color … SellMoney5_Color";
inline constexpr const char* kChartPathPlaceholder = "请设置 通达信 目录。";

// What the page works with; the program's own by default.
struct SettingServices {
  PageServices pages;                 // the market and user databases
  WorkerRegistry* workers = nullptr;  // the custom-data job's; default: the program's
};

class CSettingDlg : public CPage, public ISettingsPage {
  Q_OBJECT

 public:
  enum { IDD = 177 };

  explicit CSettingDlg(QWidget* parent = nullptr);
  explicit CSettingDlg(const SettingServices& services, QWidget* parent = nullptr);
  // Leaves its registry slot, then stops a running custom-data job and waits for it
  // (bounded).
  ~CSettingDlg() override;

  BOOL OnInitDialog() override;

  // The handlers, as the controls call them.
  void OnSaveColours();                 // 1003
  void OnAddSoft();                     // 1127
  void OnDeleteSoft();                  // 1128
  void OnChooseChartPath();             // 1134
  void OnSystemTypeChange(int index);   // 1005
  void OnManualUpgrade();               // 1129
  void OnMarkClick(int row);            // 1119
  void OnMarkDblClk(int row);           // 1119
  void OnDeleteMark();                  // 1139
  void OnRefreshMarks();                // 1157
  void OnFindMark();                    // 1158
  void OnAddMark();                     // 1092
  void OnUpdateMark();                  // 1099
  void OnGenerateCustomData();          // 1007
  void OnRequestCustomData();           // a download run asked
  void OnDeleteGeneratedData();         // 1144
  // After the migration dialog: the settings, the path and the marks read again.
  void ReloadAfterMigration();

  // ISettingsPage: arrives on the UI thread (queued by the registry).
  void OnDownloadRunFinished() override { OnRequestCustomData(); }

  const std::string& ChartPath() const { return m_strChartPath; }
  // N of the days edit: 0, a negative number or no number at all gives 1.
  static int DaysToGenerate(const std::string& text);
  CCustomDataJob& Job() const { return *m_job; }
  const SettingServices& Services() const { return services_; }

  // The custom-data job's reports, run on the UI thread.
  void ShowJobStatus(const std::string& text);
  void AddJobLine(const std::string& text, COLORREF colour);
  void SetJobProgressRange(int lower, int upper);
  void SetJobProgress(int position);
  void ShowJobMessage(const std::string& text);
  void OnJobFinished();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildColourGroup(QWidget* parent);
  QWidget* BuildChartGroup(QWidget* parent);
  QWidget* BuildSoftGroup(QWidget* parent);
  QWidget* BuildMarksGroup(QWidget* parent);
  QWidget* BuildCustomDataGroup(QWidget* parent);
  // The path edit, the band colours and the system type from the settings in use.
  void ShowSettings();
  void ShowChartPath();
  void ShowSystemType();  // quietly: showing it writes nothing
  void FillSoftList(const std::vector<SoftListEntry>& list);
  std::vector<SoftListEntry> SoftListShown() const;
  void SaveSoftListShown();
  // Fills the marks list; false (list unchanged) when the marks could not be read.
  bool LoadMarks();
  void AddMarkLine(const BranchMark& mark);
  // False (editor unchanged) when the mark could not be read.
  bool FillEditor(const std::string& name);
  BranchMarkInput EditorInput() const;
  void SelectMarkLine(int row);
  int FindMarkLine(const std::string& name) const;
  void StoreMark(bool updating);
  void SetJobButtonsEnabled(bool enabled);
  void IniWriteFailed();

  SettingServices services_;
  std::string m_strChartPath;
  std::unique_ptr<CCustomDataJob> m_job;
  std::shared_ptr<SettingSinkAdapter> m_sink;

  std::array<CColorPickerButton*, 5> m_buyColours{};
  std::array<CColorPickerButton*, 5> m_sellColours{};
  QLineEdit* m_chartPath = nullptr;       // 1034
  QComboBox* m_systemType = nullptr;      // 1005
  QTableWidget* m_softList = nullptr;     // 1047
  QLineEdit* m_softName = nullptr;        // 1031
  QLineEdit* m_softProcess = nullptr;     // 1032
  CColorListCtrl* m_marks = nullptr;      // 1119
  QLineEdit* m_markName = nullptr;        // 1015
  CColorPickerButton* m_markColour = nullptr;  // 1098
  QLineEdit* m_markAbbreviation = nullptr;     // 1141
  QLineEdit* m_markNumber = nullptr;           // 1000
  QLineEdit* m_markTeamName = nullptr;         // 1145
  QLineEdit* m_markTeamNumber = nullptr;       // 1002
  QComboBox* m_markShown = nullptr;            // 1004
  QLineEdit* m_markRemark = nullptr;           // 1006
  QPushButton* m_generate = nullptr;      // 1007
  QPushButton* m_deleteData = nullptr;    // 1144
  QLineEdit* m_days = nullptr;            // 1001
  QProgressBar* m_progress = nullptr;     // 1142
  CColorListBox* m_jobLines = nullptr;    // 1143
  QLineEdit* m_status = nullptr;          // 1154
  CTipWnd* m_TipWnd = nullptr;
};
