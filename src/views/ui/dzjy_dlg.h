#pragma once
// The block-trade window ("大宗交易").

#include "platform/ui/page.h"

class CDzjyDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 242 };
  explicit CDzjyDlg(QWidget* parent = nullptr);
};
