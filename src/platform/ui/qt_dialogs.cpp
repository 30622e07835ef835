#include "platform/ui/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QLibraryInfo>
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

int DefaultAnswer(unsigned style) {
  const unsigned buttons = style & MB_TYPEMASK;
  return (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) ? IDYES : IDOK;
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

// The default button is the answer DefaultAnswer gives: the one Enter presses, and the
// one that answers a box left open when the program is told to end.
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
      return (style & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
  }
}

}  // namespace

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
                         DefaultAnswer(style));
}

std::optional<std::string> QtDialogBackend::PickOpenFile(const std::string& title, const std::string& startDir,
                                                         const std::string& filter) {
  return OnUiThread<std::optional<std::string>>(
      [title, startDir, filter]() -> std::optional<std::string> {
        // Qt's own dialog, which speaks the translation the program loaded.
        const QString path =
            QFileDialog::getOpenFileName(QApplication::activeWindow(), ToQString(title), ToQString(startDir),
                                         ToQString(ToQtFileFilter(filter)), nullptr, QFileDialog::DontUseNativeDialog);
        if (path.isEmpty()) return std::nullopt;
        return FromQString(path);
      },
      std::nullopt);
}

std::optional<std::string> QtDialogBackend::PickFolder(const std::string& title, const std::string& startDir) {
  return OnUiThread<std::optional<std::string>>(
      [title, startDir]() -> std::optional<std::string> {
        const QString path =
            QFileDialog::getExistingDirectory(QApplication::activeWindow(), ToQString(title), ToQString(startDir),
                                              QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        if (path.isEmpty()) return std::nullopt;
        return FromQString(path);
      },
      std::nullopt);
}

bool InstallQtTranslations() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return false;
  static QPointer<QTranslator> installed;  // gone with the application object
  if (installed != nullptr) return true;
  auto translator = std::make_unique<QTranslator>(app);
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return false;
  }
  if (!QCoreApplication::installTranslator(translator.get())) return false;
  installed = translator.release();  // owned by the application object
  return true;
}

void InstallQtDialogBackend() {
  static QtDialogBackend backend;
  SetDialogBackend(&backend);
}
