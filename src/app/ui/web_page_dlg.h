#pragma once
// The web page tab ("小牛追踪"): a red hint line over the browser, which opens the
// start page and then, on every tick of timer 4, the next page the remote notice
// announced. The timer runs while the tab is hidden.

#include <QLabel>

#include "app/ui/web_browser2.h"
#include "app/web_site_rotation.h"
#include "platform/gdi_types.h"
#include "platform/ui/page.h"

// The tab's timer periods; tests shorten them.
struct WebPageTimers {
  int rotationMs = 58000;
};
WebPageTimers& WebPagePeriods();

class CWebPageDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 243 };
  static constexpr int kBrowserId = 1124;
  static constexpr int kHintId = 1150;
  static constexpr UINT kRotationTimer = 4;
  static constexpr COLORREF kHintColour = RGB(255, 0, 0);

  explicit CWebPageDlg(QWidget* parent = nullptr);

  BOOL OnInitDialog() override;
  void OnTimer(UINT id) override;
  // Shows the next announced page; a refused or failed navigation is ignored.
  void NavigateNext();

  CWebBrowser2 m_WebBrowser2;
  QLabel m_stHint;
  WebSiteRotation m_Rotation;
};
