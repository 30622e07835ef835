#pragma once
// The continuous-buying page ("游资持续买入").

#include "platform/ui/page.h"

class CSustainedBuyDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 236 };
  explicit CSustainedBuyDlg(QWidget* parent = nullptr);
};
