#pragma once
// The daily list page ("上榜明细").

#include "platform/ui/page.h"

class CDataDisplayDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 129 };
  explicit CDataDisplayDlg(QWidget* parent = nullptr);
};
