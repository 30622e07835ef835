#pragma once
// The seat success-rate page: held by the ranking host, never given a tab.

#include "platform/ui/page.h"

class CSeatRateDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 231 };
  explicit CSeatRateDlg(QWidget* parent = nullptr);
};
