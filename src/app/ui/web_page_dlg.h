#pragma once
// The web page tab ("小牛追踪").

#include "platform/ui/page.h"

class CWebPageDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 243 };
  explicit CWebPageDlg(QWidget* parent = nullptr);
};
