#pragma once
// The stock scoring page ("席位解密").

#include "platform/ui/page.h"

class CStockScoreDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 239 };
  explicit CStockScoreDlg(QWidget* parent = nullptr);
};
