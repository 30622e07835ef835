#pragma once
// Real message boxes and file/folder pickers (QMessageBox, QFileDialog) behind the
// program's MessageBox() seam. A call from a worker thread is carried to the UI
// thread through the page registry's dispatcher; when that cannot be done (no
// dispatcher, or closing) the box is not shown and its escape answer comes back.

#include <optional>
#include <string>

#include "platform/message_box.h"

class QtDialogBackend final : public IDialogBackend {
 public:
  int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) override;
  std::optional<std::string> PickOpenFile(const std::string& title, const std::string& startDir,
                                          const std::string& filter) override;
  std::optional<std::string> PickFolder(const std::string& title, const std::string& startDir) override;
};

// Turns a filter written as "Text (*.txt)|*.txt|All (*.*)|*.*||" into Qt's
// "Text (*.txt) (*.txt);;All (*.*) (*.*)"; a filter without "|" is kept as it is.
std::string ToQtFileFilter(const std::string& filter);

// Loads Qt's own Chinese texts (message-box buttons, file dialogs, the embedded
// browser's menu, ...) from Qt's translations folder into the running application,
// once, and makes Chinese the default locale, for what Qt's dialogs and the browser
// engine write through it. The program writes and reads its own numbers and days
// without the locale, so they do not change with it. False when Qt's base translation
// is not installed or there is no application object yet.
bool InstallQtTranslations();

class QFileDialog;
// Makes the dialog Qt's own (not the desktop's) with its sizes, dates and type names
// in Chinese whatever the system's language, as the program's pickers show it.
void SetUpFileDialog(QFileDialog& dialog);

// Makes the Qt backend the one MessageBox() uses (process-wide).
void InstallQtDialogBackend();
