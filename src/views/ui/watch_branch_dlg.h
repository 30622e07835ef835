#pragma once
// The watched-branch dialog ("设置关注营业部"): twelve edits for the branches the daily
// list watches, saved to "sysinfo.ini" and into the settings at once.

#include <QDialog>
#include <array>

#include "views/watched_branches.h"
#include "platform/win_types.h"

class QLineEdit;
class QPushButton;

class CWatchBranchDlg : public QDialog {
  Q_OBJECT

 public:
  enum { IDD = 254 };
  static constexpr int kSaveButtonId = 1148;
  static constexpr int kCloseButtonId = 1;

  // Builds the controls and fills them (OnInitDialog).
  explicit CWatchBranchDlg(QWidget* parent = nullptr);

  // Every edit shows its settings value.
  BOOL OnInitDialog();
  // Button 1148: writes the twelve names; the dialog stays open.
  void SaveSettings();

  // The edit of watched branch `index` (0-based key order, YYB1_Name = 0).
  QLineEdit* EditOfKey(int index) const { return edits_[static_cast<std::size_t>(index)]; }
  // The edit's dialog id for key `index`: 1000 + index, with the fourth and fifth
  // keys exchanged (YYB4_Name in 1004, YYB5_Name in 1003).
  static int EditIdOfKey(int index);

 private:
  std::array<QLineEdit*, kWatchedBranchCount> edits_{};
};
