#pragma once
// The stock activity ranking page ("个股活跃榜").

#include "platform/ui/page.h"

class CStockActiveDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 212 };
  explicit CStockActiveDlg(QWidget* parent = nullptr);
};
