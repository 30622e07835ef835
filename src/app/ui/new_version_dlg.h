#pragma once
// "新版本更新提示": the announcement of a newer version, with a link to the upgrade
// page (g_strNewVersionUrl). Without an upgrade address the link is disabled.

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>

#include "controls/ui/hyper_link.h"

class CNewVersionDlg : public QDialog {
  Q_OBJECT

 public:
  enum { IDD = 248 };
  static constexpr int kEditId = 1000;
  static constexpr int kLinkId = 1137;
  static constexpr int kExitId = 2;

  explicit CNewVersionDlg(QWidget* parent = nullptr);

  QPlainTextEdit m_editNotice;
  CHyperLink m_linkUpgrade;
  QPushButton m_btnExit;
};

// The first line of the announcement.
inline constexpr const char* kNewVersionFirstLine = "新版本已经发布：请点击下面地址升级软件，";
