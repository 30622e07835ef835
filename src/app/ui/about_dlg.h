#pragma once
// The About box: the program's icon, name, version and maker, and "确定".

#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QPushButton>

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  enum { IDD = 100 };
  static constexpr int kIconId = 131;
  static constexpr int kNameId = 1001;
  static constexpr int kVersionId = 1002;
  static constexpr int kMakerId = 1003;
  static constexpr int kOkId = 1;

  explicit CAboutDlg(QWidget* parent = nullptr);

  QLabel m_stIcon;
  QLabel m_stName;
  QLabel m_stVersion;
  QLabel m_stMaker;
  QPushButton m_btnOK;
};

// The width a window needs for its whole title in the title bar: the title in the bold
// face the window manager draws it in, and room for the window's icon and its buttons.
int TitleBarWidth(const QString& title, const QFont& font);

// "版本 <the project's version>".
QString AboutVersionLine();
inline constexpr const char* kAboutMakerLine = "出品：Velkor Desk 开发组";
