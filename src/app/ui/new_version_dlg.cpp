#include "app/ui/new_version_dlg.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/remote_notice.h"
#include "platform/message_box.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"

CNewVersionDlg::CNewVersionDlg(QWidget* parent)
    : QDialog(parent),
      m_editNotice(this),
      m_linkUpgrade(this, QStringLiteral("升级程序，请点击这里！"), g_strNewVersionUrl),
      m_btnExit(QStringLiteral("退出"), this) {
  setObjectName(QStringLiteral("dialog%1").arg(IDD));
  setWindowTitle(QStringLiteral("新版本更新提示"));
  CPage::SetDlgCtrlID(&m_editNotice, kEditId);
  CPage::SetDlgCtrlID(&m_linkUpgrade, kLinkId);
  CPage::SetDlgCtrlID(&m_btnExit, kExitId);

  m_editNotice.setReadOnly(true);
  m_editNotice.setPlainText(QString::fromUtf8(kNewVersionFirstLine) + QLatin1Char('\n') +
                            ToQString(g_strNewVersionUrl));
  m_linkUpgrade.SetURL(g_strNewVersionUrl);
  m_linkUpgrade.SetUnderline(CHyperLink::kUnderlineAlways);
  // Nothing to open without an upgrade page.
  m_linkUpgrade.setEnabled(!g_strNewVersionUrl.empty());
  connect(&m_btnExit, &QPushButton::clicked, this, [this] { done(IDCANCEL); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(&m_editNotice, 1);
  layout->addWidget(&m_linkUpgrade, 0, Qt::AlignLeft);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(&m_btnExit);
  layout->addLayout(buttons);
  resize(360, 200);
}
