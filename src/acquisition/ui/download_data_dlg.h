#pragma once
// The download page ("数据下载").

#include "platform/ui/page.h"

class CDownloadDataDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 134 };
  explicit CDownloadDataDlg(QWidget* parent = nullptr);
};
