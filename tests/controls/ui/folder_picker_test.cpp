#include "controls/ui/folder_picker.h"

#include <sys/stat.h>

#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "../../support/gui_driver.h"
#include "../../support/temp_program_folder.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/ui_seams.h"

namespace {

class FolderPickerTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = MakeTempFolder("picker");
    std::filesystem::create_directories(root_ + "/alpha/inner");
    std::filesystem::create_directories(root_ + "/beta");
  }
  void TearDown() override {
    UiSeams::Instance().SetModalHandler(nullptr);
    ::chmod((root_ + "/beta").c_str(), 0755);
    std::filesystem::remove_all(root_);
  }
  // Installs a modal handler that counts the pickers it was given and acts on them.
  void Run(std::function<int(CFolderPickerDialog&)> act) {
    UiSeams::Instance().SetModalHandler([this, act](QDialog& dialog) {
      auto* picker = dynamic_cast<CFolderPickerDialog*>(&dialog);
      EXPECT_NE(picker, nullptr);
      if (picker == nullptr) return int(QDialog::Rejected);
      ++runs_;
      return act(*picker);
    });
  }

  std::string root_;
  int runs_ = 0;
};

// Selects path once the model has read it; false when it never appears.
bool SelectWhenLoaded(CFolderPickerDialog& dialog, const std::string& path) {
  return GuiDriver::WaitUntil([&] { return dialog.SelectPath(path) && dialog.SelectedPath() == path; });
}

// A picker whose status text is its own and that switches the status text off.
class SilentPicker : public CFolderPicker {
 public:
  int OnSelChanged(const std::string& path, std::string& statusText) override {
    seen = path;
    statusText = "ignored";
    m_bStatusText = 0;
    return 1;
  }
  std::string seen;
};

}  // namespace

TEST(TrimInitialFolder, TrailingSpaceAndOneSeparator) {
  EXPECT_EQ(TrimInitialFolder("/a/b/ \t"), "/a/b");
  EXPECT_EQ(TrimInitialFolder("/a/b//"), "/a/b/") << "one separator only";
  EXPECT_EQ(TrimInitialFolder("/a/b\\"), "/a/b");
  EXPECT_EQ(TrimInitialFolder("/"), "/") << "the root stays";
  EXPECT_EQ(TrimInitialFolder("/  "), "/");
  EXPECT_EQ(TrimInitialFolder(""), "");
  EXPECT_EQ(TrimInitialFolder("\\x\\y"), "/x/y");
}

TEST_F(FolderPickerTest, MissingRootReturnsZeroWithoutShowing) {
  Run([](CFolderPickerDialog&) { return int(QDialog::Accepted); });
  CFolderPicker picker;
  picker.m_strRootFolder = root_ + "/nowhere";
  picker.m_strFolder = "before";
  EXPECT_EQ(picker.BrowseForFolder(nullptr), 0);
  EXPECT_EQ(runs_, 0);
  EXPECT_EQ(picker.m_strFolder, "before");
  picker.m_strRootFolder = root_ + "/alpha/inner/file-not-folder";
  EXPECT_EQ(picker.BrowseForFolder(nullptr), 0);
  EXPECT_EQ(runs_, 0);
}

TEST_F(FolderPickerTest, EmptyTitleShowsOpenAndCaptionIsSet) {
  CFolderPicker picker;
  picker.m_strRootFolder = root_;
  std::string title, caption;
  Run([&](CFolderPickerDialog& dialog) {
    title = FromQString(dialog.TitleLabel()->text());
    caption = FromQString(dialog.windowTitle());
    return int(QDialog::Rejected);
  });
  EXPECT_EQ(picker.BrowseForFolder(nullptr), 0);
  EXPECT_EQ(runs_, 1);
  EXPECT_EQ(title, "Open");
  picker.m_strTitle = "选择目录";
  picker.m_strCaption = "浏览";
  picker.BrowseForFolder(nullptr);
  EXPECT_EQ(title, "选择目录");
  EXPECT_EQ(caption, "浏览");
}

TEST_F(FolderPickerTest, InitialFolderWithTrailingSlashIsSelectedOnceLoaded) {
  CFolderPicker picker;
  picker.m_strRootFolder = root_;
  picker.m_strInitialFolder = root_ + "/alpha/inner/  ";
  std::string status;
  Run([&](CFolderPickerDialog& dialog) {
    const bool loaded = GuiDriver::WaitUntil([&] { return dialog.InitialSelected(); });
    EXPECT_TRUE(loaded);
    status = FromQString(dialog.StatusLabel()->text());
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    return int(QDialog::Accepted);
  });
  EXPECT_EQ(picker.BrowseForFolder(nullptr), 1);
  EXPECT_EQ(picker.m_strInitialFolder, root_ + "/alpha/inner");
  EXPECT_EQ(picker.m_strFolder, root_ + "/alpha/inner");
  EXPECT_EQ(status, root_ + "/alpha/inner") << "the selection's path as the status text";
  EXPECT_EQ(picker.m_nImageIndex, -1);
}

TEST_F(FolderPickerTest, AcceptReturnsTheChosenFolderCancelKeepsTheMember) {
  CFolderPicker picker;
  picker.m_strRootFolder = root_;
  std::string status;
  Run([&](CFolderPickerDialog& dialog) {
    EXPECT_FALSE(dialog.OkButton()->isEnabled()) << "nothing selected yet";
    EXPECT_TRUE(SelectWhenLoaded(dialog, root_ + "/beta"));
    status = FromQString(dialog.StatusLabel()->text());
    dialog.OkButton()->click();  // the user's OK
    return dialog.result();
  });
  EXPECT_EQ(picker.BrowseForFolder(nullptr), 1);
  EXPECT_EQ(picker.m_strFolder, root_ + "/beta");
  EXPECT_EQ(status, root_ + "/beta");

  Run([&](CFolderPickerDialog& dialog) {
    EXPECT_TRUE(SelectWhenLoaded(dialog, root_ + "/alpha"));
    dialog.reject();
    return dialog.result();
  });
  EXPECT_EQ(picker.BrowseForFolder(nullptr), 0);
  EXPECT_EQ(picker.m_strFolder, root_ + "/beta") << "cancel leaves the folder member";

  Run([&](CFolderPickerDialog&) { return int(QDialog::Accepted); });
  EXPECT_EQ(picker.BrowseForFolder(nullptr), 0) << "accepted without a selection";
  EXPECT_EQ(picker.m_strFolder, root_ + "/beta");
}

TEST_F(FolderPickerTest, StatusTextFlagOffShowsNoStatus) {
  SilentPicker picker;
  picker.m_strRootFolder = root_;
  std::string status = "unset";
  Run([&](CFolderPickerDialog& dialog) {
    EXPECT_TRUE(SelectWhenLoaded(dialog, root_ + "/alpha"));
    status = FromQString(dialog.StatusLabel()->text());
    return int(QDialog::Rejected);
  });
  picker.BrowseForFolder(nullptr);
  EXPECT_EQ(picker.seen, root_ + "/alpha") << "OnSelChanged saw the selection";
  EXPECT_EQ(status, "");
}

TEST_F(FolderPickerTest, BaseSelChangedSetsTextAndFlag) {
  CFolderPicker picker;
  picker.m_bStatusText = 0;
  std::string text;
  EXPECT_EQ(picker.OnSelChanged("/x/y", text), 1);
  EXPECT_EQ(text, "/x/y");
  EXPECT_EQ(picker.m_bStatusText, 1);
}

TEST_F(FolderPickerTest, UnreadableOrMissingInitialFolderShowsWithoutACrash) {
  // Root reads any folder whatever its bits; the missing "deeper" below it is never
  // selectable either way.
  ASSERT_EQ(::chmod((root_ + "/beta").c_str(), 0), 0);
  CFolderPicker picker;
  picker.m_strRootFolder = root_;
  picker.m_strInitialFolder = root_ + "/beta/deeper";
  Run([&](CFolderPickerDialog& dialog) {
    GuiDriver::WaitUntil([] { return false; }, 200);
    EXPECT_FALSE(dialog.InitialSelected());
    return int(QDialog::Rejected);
  });
  EXPECT_EQ(picker.BrowseForFolder(nullptr), 0);
  EXPECT_EQ(runs_, 1);
}

TEST_F(FolderPickerTest, RecordingTestsNeverGetARealModal) {
  // No handler: the message-box hook records in every GUI test, so nothing is shown.
  UiSeams::Instance().SetModalHandler(nullptr);
  CFolderPicker picker;
  picker.m_strRootFolder = root_;
  EXPECT_EQ(picker.BrowseForFolder(nullptr), 0);
}
