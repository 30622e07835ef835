#include "app/ui/web_page_dlg.h"

#include <QVBoxLayout>

#include "app/remote_notice.h"
#include "controls/ui/page_widgets.h"
#include "platform/ui/dc.h"
#include "platform/ui/qt_convert.h"
#include "settings/settings.h"

namespace {

const char* const kHintText =
    "建议：软件启动20秒后再操作， 因为启动时要进行 比较耗时的 数据下载 和 大数据计算。";

}  // namespace

WebPageTimers& WebPagePeriods() {
  static WebPageTimers timers;
  return timers;
}

CWebPageDlg::CWebPageDlg(QWidget* parent)
    : CPage(parent), m_WebBrowser2(this), m_stHint(QString::fromUtf8(kHintText), this) {
  SetPageDialogId(*this, IDD);
  SetDlgCtrlID(&m_WebBrowser2, kBrowserId);
  SetDlgCtrlID(&m_stHint, kHintId);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(&m_stHint);
  layout->addWidget(&m_WebBrowser2, 1);
}

BOOL CWebPageDlg::OnInitDialog() {
  m_WebBrowser2.put_Silent(true);
  m_WebBrowser2.SetHomePage(g_strStartPage);
  m_WebBrowser2.GoHome();
  m_stHint.setFont(MakeFont(16, 600, "宋体"));
  QPalette palette = m_stHint.palette();
  palette.setColor(QPalette::WindowText, ToQColor(kHintColour));
  m_stHint.setPalette(palette);
  m_stHint.setAutoFillBackground(false);  // the page shows through
  SetTimer(kRotationTimer, WebPagePeriods().rotationMs);
  return TRUE;
}

void CWebPageDlg::OnTimer(UINT id) {
  if (id == kRotationTimer) NavigateNext();
}

void CWebPageDlg::NavigateNext() {
  m_Rotation.Tick(g_strWebSiteList, [this](const std::string& address) {
    m_WebBrowser2.put_Silent(true);
    return m_WebBrowser2.Navigate(address);
  });
}
