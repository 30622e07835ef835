#pragma once
// The tracker page ("搜索&&查询").

#include "platform/ui/page.h"

class CTrackerPage : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 140 };
  explicit CTrackerPage(QWidget* parent = nullptr);
};
