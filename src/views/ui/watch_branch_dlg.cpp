#include "views/ui/watch_branch_dlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/app_paths.h"
#include "platform/message_box.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"
#include "settings/settings.h"

namespace {

constexpr int kColumns = 2;  // labels and edits in two columns of six

}  // namespace

int CWatchBranchDlg::EditIdOfKey(int index) {
  // The fourth and fifth names sit in each other's edit, for loading and for saving
  // alike, so each name shows where it was saved from.
  if (index == 3) return 1004;
  if (index == 4) return 1003;
  return 1000 + index;
}

CWatchBranchDlg::CWatchBranchDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dialog%1").arg(IDD));
  setWindowTitle(QStringLiteral("设置关注营业部  (请输入营业部名称的全称)"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(16);
  // Label n ("关注营业部n：") stands over edit 1000 + n - 1.
  std::array<QLineEdit*, kWatchedBranchCount> byPosition{};
  for (int n = 0; n < kWatchedBranchCount; ++n) {
    auto* label = new QLabel(QStringLiteral("关注营业部%1：").arg(n + 1), this);
    auto* edit = new QLineEdit(this);
    edit->setMinimumWidth(320);
    CPage::SetDlgCtrlID(edit, 1000 + n);
    label->setBuddy(edit);
    const int row = (n % (kWatchedBranchCount / kColumns)) * 2;
    const int column = n / (kWatchedBranchCount / kColumns);
    grid->addWidget(label, row, column);
    grid->addWidget(edit, row + 1, column);
    byPosition[static_cast<std::size_t>(n)] = edit;
  }
  for (int key = 0; key < kWatchedBranchCount; ++key) {
    edits_[static_cast<std::size_t>(key)] = byPosition[static_cast<std::size_t>(EditIdOfKey(key) - 1000)];
  }
  layout->addLayout(grid);

  auto* buttons = new QHBoxLayout;
  auto* save = new QPushButton(QStringLiteral("保存设置"), this);
  CPage::SetDlgCtrlID(save, kSaveButtonId);
  save->setAutoDefault(false);
  auto* close = new QPushButton(QStringLiteral("关闭"), this);
  CPage::SetDlgCtrlID(close, kCloseButtonId);
  close->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(save);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  connect(save, &QPushButton::clicked, this, [this] { SaveSettings(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  OnInitDialog();
}

BOOL CWatchBranchDlg::OnInitDialog() {
  for (int key = 0; key < kWatchedBranchCount; ++key) {
    edits_[static_cast<std::size_t>(key)]->setText(ToQString(g_Settings.YYB_Name[static_cast<std::size_t>(key)]));
  }
  return TRUE;
}

void CWatchBranchDlg::SaveSettings() {
  std::array<std::string, kWatchedBranchCount> names;
  for (int key = 0; key < kWatchedBranchCount; ++key) {
    names[static_cast<std::size_t>(key)] = FromQString(edits_[static_cast<std::size_t>(key)]->text());
  }
  if (!SaveWatchedBranches(names, AppPath(kSettingsFileName))) {
    // Unreported, the names would be gone at the next start.
    MessageBox("sysinfo.ini 写入错误!", "系统提示", MB_OK | MB_ICONWARNING);
  }
}
