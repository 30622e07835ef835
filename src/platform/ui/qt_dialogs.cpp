#include "platform/ui/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QTreeView>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTranslator>
#include <memory>
#include <vector>

#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"

namespace {

bool OnGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

// Runs fn on the UI thread and returns its result, or fallback when it cannot run.
template <class R, class F>
R OnUiThread(F fn, R fallback) {
  if (OnGuiThread()) return fn();
  IUiDispatcher* dispatcher = PageRegistry::Instance().Dispatcher();
  if (dispatcher == nullptr) return fallback;
  auto result = std::make_shared<R>(fallback);  // outlives a call dropped at shutdown
  if (!dispatcher->RunOnUi([result, fn] { *result = fn(); }, true)) return fallback;
  return *result;
}

QMessageBox::Icon ToIcon(unsigned style) {
  switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONWARNING:
      return QMessageBox::Warning;
    case MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// The default button is the one Enter presses. The escape button answers as
// EscapeAnswer does: it is what the box's close box gives, and what a signal or a close
// that ends the program while the box waits gives.
int ShowOnUiThread(const std::string& text, const std::string& caption, unsigned style) {
  QMessageBox box(ToIcon(style), ToQString(caption.empty() ? std::string("Velkor Desk") : caption), ToQString(text),
                  QMessageBox::NoButton, QApplication::activeWindow());
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    case MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      box.setEscapeButton(QMessageBox::No);
      break;
    case MB_YESNOCANCEL:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Yes);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      box.setDefaultButton(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Ok);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Cancel:
      return IDCANCEL;
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    case QMessageBox::Ok:
      return IDOK;
    default:  // closed some other way
      return EscapeAnswer(style);
  }
}

// Qt's Chinese texts as the translations package has them. Qt 6 moved the file list's
// names of folders, drives and links to a context the package does not translate yet;
// those are looked up where Qt 5 kept them, under the file dialog's own context.
class QtChineseTranslator final : public QTranslator {
 public:
  using QTranslator::QTranslator;
  QString translate(const char* context, const char* source, const char* disambiguation, int n) const override {
    const QString text = QTranslator::translate(context, source, disambiguation, n);
    if (!text.isEmpty() || qstrcmp(context, "QAbstractFileIconProvider") != 0) return text;
    return QTranslator::translate("QFileDialog", source, disambiguation, n);
  }
};

// The file list writes its sizes and dates in the system's language (QLocale::system),
// which no default locale changes; this writes them in Chinese.
class ChineseFileColumns final : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || files == nullptr || (index.column() != 1 && index.column() != 3)) {
      return QIdentityProxyModel::data(index, role);
    }
    const QModelIndex file = mapToSource(index);
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    if (index.column() == 3) return chinese.toString(files->lastModified(file), QLocale::ShortFormat);
    if (files->isDir(file)) return QString();
    return chinese.formattedDataSize(files->size(file), 2, QLocale::DataSizeTraditionalFormat);
  }
};

std::optional<std::string> RunFileDialog(QFileDialog& dialog) {
  SetUpFileDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return FromQString(dialog.selectedFiles().constFirst());
}

}  // namespace

void SetUpFileDialog(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);  // Qt's own, which speaks the loaded translation
  dialog.setProxyModel(new ChineseFileColumns(&dialog));
  // The detail list's size, type and date columns open as wide as their texts and
  // headings each time a folder is read; the user may still drag them.
  auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  auto* files = dialog.findChild<QFileSystemModel*>();
  if (details == nullptr || files == nullptr) return;
  QObject::connect(files, &QFileSystemModel::directoryLoaded, details, [details] {
    for (int column = 1; column < details->model()->columnCount(details->rootIndex()); ++column) {
      details->resizeColumnToContents(column);
    }
  });
}

std::string ToQtFileFilter(const std::string& filter) {
  if (filter.find('|') == std::string::npos) return filter;
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t bar = filter.find('|'); bar != std::string::npos; bar = filter.find('|', start)) {
    parts.push_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  parts.push_back(filter.substr(start));
  std::string out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty()) break;  // the closing "||"
    std::string patterns = parts[i + 1];
    for (char& c : patterns) {
      if (c == ';') c = ' ';
    }
    if (!out.empty()) out += ";;";
    out += parts[i] + " (" + patterns + ")";
  }
  return out;
}

int QtDialogBackend::ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) {
  return OnUiThread<int>([text, caption, style] { return ShowOnUiThread(text, caption, style); },
                         EscapeAnswer(style));
}

std::optional<std::string> QtDialogBackend::PickOpenFile(const std::string& title, const std::string& startDir,
                                                         const std::string& filter) {
  return OnUiThread<std::optional<std::string>>(
      [title, startDir, filter]() -> std::optional<std::string> {
        QFileDialog dialog(QApplication::activeWindow(), ToQString(title), ToQString(startDir),
                           ToQString(ToQtFileFilter(filter)));
        dialog.setFileMode(QFileDialog::ExistingFile);
        return RunFileDialog(dialog);
      },
      std::nullopt);
}

std::optional<std::string> QtDialogBackend::PickFolder(const std::string& title, const std::string& startDir) {
  return OnUiThread<std::optional<std::string>>(
      [title, startDir]() -> std::optional<std::string> {
        QFileDialog dialog(QApplication::activeWindow(), ToQString(title), ToQString(startDir));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        return RunFileDialog(dialog);
      },
      std::nullopt);
}

bool InstallQtTranslations() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return false;
  // The dialogs Qt builds (the file list's type names) speak Chinese whatever the
  // system's language; the program's own numbers and days never go through the locale.
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  static QPointer<QTranslator> installed;  // gone with the application object
  if (installed != nullptr) return true;
  auto translator = std::make_unique<QtChineseTranslator>(app);
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return false;
  }
  if (!QCoreApplication::installTranslator(translator.get())) return false;
  installed = translator.release();  // owned by the application object
  // The embedded browser's menu; a machine without the browser has no such file.
  auto engine = std::make_unique<QTranslator>(app);
  if (engine->load(QStringLiteral("qtwebengine_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(engine.get())) {
    engine.release();  // owned by the application object
  }
  return true;
}

void InstallQtDialogBackend() {
  static QtDialogBackend backend;
  SetDialogBackend(&backend);
}
