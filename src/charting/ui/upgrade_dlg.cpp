#include "charting/ui/upgrade_dlg.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "charting/ui/setting_dlg.h"
#include "charting/upgrade_migrator.h"
#include "platform/app_paths.h"
#include "platform/message_box.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"
#include "settings/settings.h"

namespace {

constexpr const char* kCaption = "系统提示";
constexpr const char* kExeFilter = "可执行文件 (*.exe) (*.exe *.EXE);;所有文件(*.*) (*)";

QPushButton* Button(QWidget* parent, int id, const char* caption) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  CPage::SetDlgCtrlID(button, id);
  return button;
}

}  // namespace

CUpgradeDlg::CUpgradeDlg(CADODataBase& custom, QWidget* parent) : QDialog(parent), custom_(custom) {
  setWindowTitle(QStringLiteral("软件手动升级功能"));
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("注意：\n   1) 老用户升级专用功能。\n   2) 如果您直接使用软件的默认设置，则不用此功能。\n"
                                            "   3) 只有修改老版本Custom.mdb数据库文件,才使用此功能！"),
                             this),
                  0, 0, 1, 2);
  m_pathEdit = new QLineEdit(this);
  CPage::SetDlgCtrlID(m_pathEdit, 1000);
  m_pathEdit->setReadOnly(true);
  grid->addWidget(m_pathEdit, 1, 0);
  auto* browse = Button(this, 1007, "选择旧版本所在目录");
  grid->addWidget(browse, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("使用说明：\n   1) 选择旧版本软件所有目录。\n   2) 点击“软件升级”按钮进行升级。"), this),
                  2, 0, 1, 2);
  auto* upgrade = Button(this, 1099, "软件升级");
  auto* migrate = Button(this, 1092, "个人 自定义数据 搬迁");
  auto* close = Button(this, 1, "关闭");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(upgrade);
  buttons->addWidget(migrate);
  buttons->addStretch(1);
  buttons->addWidget(close);
  grid->addLayout(buttons, 3, 0, 1, 2);
  connect(browse, &QPushButton::clicked, this, [this] { OnBrowseOldExe(); });
  connect(upgrade, &QPushButton::clicked, this, [this] { OnUpgrade(); });
  connect(migrate, &QPushButton::clicked, this, [this] { OnMigrateCustomData(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void CUpgradeDlg::OnBrowseOldExe() {
  const std::optional<std::string> chosen = PickOpenFile("选择旧版本所在目录", "", kExeFilter);
  if (!chosen) return;
  m_strOldPath = *chosen;
  // A path that is gone is kept and still used, but not shown.
  if (!m_strOldPath.empty() && QFileInfo::exists(ToQString(m_strOldPath))) m_pathEdit->setText(ToQString(m_strOldPath));
}

void CUpgradeDlg::OnUpgrade() {
  if (m_strOldPath.empty()) {
    MessageBox(kChooseOldFolderText, kCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  UpgradeMigrator migrator(OldFolderOf(m_strOldPath), custom_, AppPath(kSettingsFileName));
  int keys = 0;
  if (!migrator.MigrateSysInfoIni(&keys)) {
    MessageBox(kIniWriteFailedText, kCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  if (keys == 0) {
    MessageBox(kNothingMigratedText, kCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  MessageBox(kMigrationDoneText, kCaption, MB_OK);
}

void CUpgradeDlg::OnMigrateCustomData() {
  if (MessageBox("只有添加个人关注的营业部，才需要此功能！", kCaption, MB_YESNO | MB_ICONWARNING) != IDYES) return;
  if (m_strOldPath.empty()) {
    MessageBox(kChooseOldFolderText, kCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  UpgradeMigrator migrator(OldFolderOf(m_strOldPath), custom_, AppPath(kSettingsFileName));
  std::string openMessage;
  const bool opened = migrator.OpenOldCustomDb(&openMessage) == 0;
  if (!opened) MessageBox(openMessage, kCaption, MB_OK | MB_ICONWARNING);
  const MarkCopyResult copied = opened ? migrator.MigrateYybMark() : MarkCopyResult{};
  migrator.CloseOldCustomDb();
  if (copied.tooSlow) MessageBox(kOldDbTooSlowText, kCaption, MB_OK | MB_ICONWARNING);
  if (!copied.refused.empty()) MessageBox(MarkRefusalsText(copied.refused), kCaption, MB_OK | MB_ICONWARNING);
  int keys = 0;
  const bool settingsWritten = migrator.MigrateSysInfoIni(&keys);
  if (!settingsWritten) MessageBox(kIniWriteFailedText, kCaption, MB_OK | MB_ICONWARNING);
  if (copied.copied == 0 && keys == 0) {
    MessageBox(kNothingMigratedText, kCaption, MB_OK | MB_ICONWARNING);
  } else if (!opened || copied.tooSlow) {
    MessageBox(kMarksNotMigratedText, kCaption, MB_OK | MB_ICONWARNING);
  } else if (copied.failed > 0) {
    MessageBox(std::string(kMigrationDoneText) + MarkFailuresText(copied.failed), kCaption, MB_OK | MB_ICONWARNING);
  } else {
    MessageBox(kMigrationDoneText, kCaption, MB_OK);
  }
}
