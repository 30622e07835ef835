#pragma once
// The institution seat page ("机构买入排行榜").

#include "platform/ui/page.h"

class CInstitutionDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 237 };
  explicit CInstitutionDlg(QWidget* parent = nullptr);
};
