#pragma once
// The settings page ("系统设置").

#include "platform/ui/page.h"

class CSettingDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 177 };
  explicit CSettingDlg(QWidget* parent = nullptr);
};
