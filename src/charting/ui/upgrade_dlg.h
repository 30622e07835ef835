#pragma once
// The migration dialog ("软件手动升级功能"): takes the branch marks of an older
// installation's "Custom.mdb" and a few of its settings into this installation. The
// copying is the charting library's UpgradeMigrator; this dialog asks, shows the path
// and tells the outcome honestly.

#include <QDialog>
#include <string>

class CADODataBase;
class QLineEdit;

class CUpgradeDlg : public QDialog {
  Q_OBJECT

 public:
  enum { IDD = 256 };

  // `custom`: the current "Custom.mdb", where the marks go.
  explicit CUpgradeDlg(CADODataBase& custom, QWidget* parent = nullptr);

  void OnBrowseOldExe();       // 1007
  void OnUpgrade();            // 1099
  void OnMigrateCustomData();  // 1092

  // The chosen path of the older program (kept even when it no longer exists).
  std::string m_strOldPath;

 private:
  CADODataBase& custom_;
  QLineEdit* m_pathEdit = nullptr;  // 1000
};
