#pragma once
// Lets the user choose a folder: a tree of folders under a root folder (or "/"),
// optionally opened on an initial folder, with a title above the tree and the path
// under the selection as status text. BrowseForFolder returns 1 and the chosen path
// in m_strFolder, or 0 when the user cancelled or the root folder does not exist.
//
// The dialog is run through the platform's modal seam (platform/ui/ui_seams.h): a
// test's handler gets the live CFolderPickerDialog and answers for the user. While
// the message-box hook records and no handler is installed, nothing is shown and the
// picker cancels.

#include <QDialog>
#include <QPointer>
#include <string>

class QFileSystemModel;
class QLabel;
class QTreeView;
class QPushButton;
class CFolderPicker;

// The initial folder as the picker uses it: white space at its end trimmed and one
// trailing "/" or "\" removed, "/" itself kept; "\" separators become "/".
std::string TrimInitialFolder(const std::string& folder);

class CFolderPickerDialog : public QDialog {
  Q_OBJECT

 public:
  CFolderPickerDialog(CFolderPicker& picker, const std::string& root, const std::string& initial, QWidget* owner);
  ~CFolderPickerDialog() override;

  QLabel* TitleLabel() const { return title_; }
  QLabel* StatusLabel() const { return status_; }
  QTreeView* Tree() const { return tree_; }
  QFileSystemModel* Model() const { return model_; }
  QPushButton* OkButton() const { return ok_; }
  // The selected folder's path; "" when nothing (or nothing with a path) is selected.
  std::string SelectedPath() const;
  // Selects a folder of the tree; false when it is not in the tree (yet).
  bool SelectPath(const std::string& path);
  // True once the initial folder has been selected (always for none).
  bool InitialSelected() const { return initialSelected_; }

 private:
  void OnSelectionChanged();
  void TrySelectInitial();

  CFolderPicker& picker_;
  std::string initial_;
  bool initialSelected_ = false;
  QLabel* title_;
  QTreeView* tree_;
  QFileSystemModel* model_;
  QLabel* status_;
  QPushButton* ok_ = nullptr;
};

class CFolderPicker {
 public:
  CFolderPicker() = default;
  virtual ~CFolderPicker() = default;

  // 1 and m_strFolder set when a folder was chosen; 0 when cancelled, when nothing
  // with a path was chosen, or (without showing anything) when the root folder does
  // not exist. owner may be null.
  int BrowseForFolder(QWidget* owner);

  // Called whenever the selection changes, with the selection's path ("" when it has
  // none). This one sets statusText to the path, sets m_bStatusText and returns 1.
  // When m_bStatusText is set afterwards, statusText is shown as the status text.
  virtual int OnSelChanged(const std::string& path, std::string& statusText);

  std::string m_strCaption;        // the window caption; empty keeps the default
  std::string m_strFolder;         // the chosen folder
  std::string m_strRootFolder;     // the top of the tree; empty = "/"
  std::string m_strInitialFolder;  // selected when the dialog opens
  std::string m_strTitle;          // above the tree; empty shows "Open"
  int m_nImageIndex = -1;          // there is no shell image list: always -1
  int m_bStatusText = 1;
};
