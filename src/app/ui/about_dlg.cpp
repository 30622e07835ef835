#include "app/ui/about_dlg.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <algorithm>

#include "app/ui/main_dlg.h"
#include "platform/message_box.h"
#include "platform/ui/page.h"
#include "settings/settings.h"

#ifndef VELKOR_VERSION
#error "VELKOR_VERSION must come from the build (the project's version)"
#endif

int TitleBarWidth(const QString& title, const QFont& font) {
  QFont bold(font);
  bold.setBold(true);
  const QFontMetrics metrics(bold);
  // The icon and three buttons, each about as wide as the bar is high, and the margins.
  const int bar = metrics.height() + 8;
  return metrics.horizontalAdvance(title) + 4 * bar + 2 * bar;
}

QString AboutVersionLine() { return QStringLiteral("版本 %1").arg(QStringLiteral(VELKOR_VERSION)); }

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent),
      m_stIcon(this),
      m_stName(QString::fromUtf8(kDefaultWindowTitle), this),
      m_stVersion(AboutVersionLine(), this),
      m_stMaker(QString::fromUtf8(kAboutMakerLine), this),
      m_btnOK(QStringLiteral("确定"), this) {
  setObjectName(QStringLiteral("dialog%1").arg(IDD));
  setWindowTitle(QStringLiteral("关于 Velkor Desk"));
  CPage::SetDlgCtrlID(&m_stIcon, kIconId);
  CPage::SetDlgCtrlID(&m_stName, kNameId);
  CPage::SetDlgCtrlID(&m_stVersion, kVersionId);
  CPage::SetDlgCtrlID(&m_stMaker, kMakerId);
  CPage::SetDlgCtrlID(&m_btnOK, kOkId);
  m_stIcon.setPixmap(ProgramIcon().pixmap(32, 32));
  m_btnOK.setDefault(true);
  connect(&m_btnOK, &QPushButton::clicked, this, [this] { done(IDOK); });

  auto* layout = new QGridLayout(this);
  layout->addWidget(&m_stIcon, 0, 0, 3, 1, Qt::AlignTop);
  layout->addWidget(&m_stName, 0, 1);
  layout->addWidget(&m_stVersion, 1, 1);
  layout->addWidget(&m_stMaker, 2, 1);
  layout->addWidget(&m_btnOK, 3, 1, Qt::AlignRight);
  // The window manager cuts a title wider than the box.
  setMinimumWidth(std::max(layout->minimumSize().width(), TitleBarWidth(windowTitle(), font())));
}
