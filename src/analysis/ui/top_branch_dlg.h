#pragma once
// The branch ranking page ("买卖排行榜").

#include "platform/ui/page.h"

class CTopBranchDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 206 };
  explicit CTopBranchDlg(QWidget* parent = nullptr);
};
