#include "controls/ui/page_widgets.h"

#include <QCalendarWidget>
#include <QLocale>
#include <QSignalBlocker>

#include "platform/ui/qt_convert.h"
#include "storage/day_range.h"

QFont ListFont() {
  QFont font(QString::fromUtf8(kListFontFamily));
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(kListFontPixels);
  return font;
}

QPushButton* MakeButton(QWidget* parent, int id, const char* text) {
  return MakeControl<QPushButton>(parent, id, QString::fromUtf8(text));
}

QLabel* MakeLabel(QWidget* parent, const char* text) { return new QLabel(QString::fromUtf8(text), parent); }

void SetEditTextFromStart(QLineEdit* edit, const std::string& text) {
  edit->setText(ToQString(text));
  edit->setCursorPosition(0);
}

void SetUpDayPicker(QDateEdit* picker) {
  picker->setCalendarPopup(true);
  picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  // Only the calendar speaks Chinese: the program's numbers keep the C locale.
  picker->calendarWidget()->setLocale(QLocale(QLocale::Chinese, QLocale::China));
}

std::string PickerDayText(const QDateEdit* picker) {
  const QDate d = picker->date();
  return DayText(d.year(), d.month(), d.day());
}

void SetPickerDayQuietly(QDateEdit* picker, const std::string& day) {
  const QDate d = QDate::fromString(ToQString(day), QStringLiteral("yyyy-MM-dd"));
  if (!d.isValid()) return;
  const QSignalBlocker blocker(picker);
  picker->setDate(d);
}

ButtonBusyScope::ButtonBusyScope(QAbstractButton* button)
    : button_(button), hadFocus_(button->window()->focusWidget() == button) {
  button_->setEnabled(false);
}

ButtonBusyScope::~ButtonBusyScope() {
  button_->setEnabled(true);
  if (hadFocus_) button_->setFocus(Qt::OtherFocusReason);
}
