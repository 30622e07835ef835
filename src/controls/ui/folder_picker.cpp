#include "controls/ui/folder_picker.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "platform/app_paths.h"
#include "platform/message_box.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/ui_seams.h"

namespace {

constexpr const char* kDefaultTitle = "Open";

int RunPickerDialog(CFolderPickerDialog& dialog) {
  // A test that did not ask for the dialog never gets a real modal.
  if (!UiSeams::Instance().HasModalHandler() && MessageBoxHook::Instance().IsRecording()) return QDialog::Rejected;
  return RunModal(dialog);
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

std::string TrimInitialFolder(const std::string& folder) {
  std::string out = folder;
  while (!out.empty() && IsSpace(out.back())) out.pop_back();
  if (out.size() > 1 && (out.back() == '/' || out.back() == '\\')) out.pop_back();
  return ToSlashes(out);
}

// ---- the dialog ----

CFolderPickerDialog::CFolderPickerDialog(CFolderPicker& picker, const std::string& root, const std::string& initial,
                                         QWidget* owner)
    : QDialog(owner),
      picker_(picker),
      initial_(initial),
      initialSelected_(initial.empty()),
      title_(new QLabel(this)),
      tree_(new QTreeView(this)),
      model_(new QFileSystemModel(this)),
      status_(new QLabel(this)) {
  if (!picker.m_strCaption.empty()) setWindowTitle(ToQString(picker.m_strCaption));
  title_->setText(ToQString(picker.m_strTitle.empty() ? std::string(kDefaultTitle) : picker.m_strTitle));
  title_->setWordWrap(true);

  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setReadOnly(true);
  const QString rootPath = ToQString(root);
  model_->setRootPath(rootPath);
  tree_->setModel(model_);
  tree_->setRootIndex(model_->index(rootPath));
  for (int c = 1; c < model_->columnCount(); ++c) tree_->hideColumn(c);
  tree_->setHeaderHidden(true);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title_);
  layout->addWidget(tree_, 1);
  layout->addWidget(status_);
  layout->addWidget(buttons);
  resize(360, 420);

  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { OnSelectionChanged(); });
  // The model reads folders in the background: the initial folder can be selected
  // once its parent has been read.
  connect(model_, &QFileSystemModel::directoryLoaded, this, [this] { TrySelectInitial(); });
  TrySelectInitial();
}

CFolderPickerDialog::~CFolderPickerDialog() = default;

std::string CFolderPickerDialog::SelectedPath() const {
  const QModelIndex current = tree_->currentIndex();
  if (!current.isValid()) return {};
  return FromQString(model_->filePath(current));
}

bool CFolderPickerDialog::SelectPath(const std::string& path) {
  const QModelIndex index = model_->index(ToQString(path));
  if (!index.isValid()) return false;
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index);
  return true;
}

void CFolderPickerDialog::TrySelectInitial() {
  if (initialSelected_) return;
  const QModelIndex index = model_->index(ToQString(initial_));
  // Only a folder inside the tree can be selected.
  if (!index.isValid()) return;
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) tree_->expand(up);
  if (SelectPath(initial_)) initialSelected_ = true;
}

void CFolderPickerDialog::OnSelectionChanged() {
  const std::string path = SelectedPath();
  ok_->setEnabled(!path.empty());
  std::string statusText;
  picker_.OnSelChanged(path, statusText);
  if (picker_.m_bStatusText) status_->setText(ToQString(statusText));
}

// ---- the picker ----

int CFolderPicker::OnSelChanged(const std::string& path, std::string& statusText) {
  statusText = path;
  m_bStatusText = 1;
  return 1;
}

int CFolderPicker::BrowseForFolder(QWidget* owner) {
  if (!m_strInitialFolder.empty()) m_strInitialFolder = TrimInitialFolder(m_strInitialFolder);
  std::string root = "/";
  if (!m_strRootFolder.empty()) {
    root = TrimInitialFolder(m_strRootFolder);
    if (!QFileInfo(ToQString(root)).isDir()) return 0;
  }
  m_nImageIndex = -1;
  CFolderPickerDialog dialog(*this, root, m_strInitialFolder, owner);
  if (RunPickerDialog(dialog) != QDialog::Accepted) return 0;
  const std::string chosen = dialog.SelectedPath();
  if (chosen.empty()) return 0;
  m_strFolder = chosen;
  return 1;
}
