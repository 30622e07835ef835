#pragma once
// Small pieces every list page builds its controls from: the monospaced list font in
// which a CJK glyph is exactly two ASCII columns (so GBK byte widths line up), the
// tip colours, and control makers that set the dialog id.

#include <QAbstractScrollArea>
#include <QDateEdit>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "platform/gdi_types.h"
#include "platform/ui/page.h"
#include "storage/day_range.h"

inline constexpr const char* kListFontFamily = "Noto Sans Mono CJK SC";
inline constexpr int kListFontPixels = 12;  // even, so a CJK glyph is exactly two ASCII columns

// The colours of the pages' tips over their edits.
inline constexpr COLORREF kPageTipText = RGB(255, 255, 225);
inline constexpr COLORREF kPageTipBack = RGB(255, 0, 192);

QFont ListFont();

// objectName "page<dialogId>", by which tests and the page registry find a page.
void SetPageDialogId(CPage& page, int dialogId);

// Our own arrow for the pages' previous-day and next-day buttons: blue, 20 x 20,
// pointing left or right.
QImage ArrowImage(bool pointsLeft);

// Calls onPress with the place (viewport coordinates) of every right-button press on
// the list's lines, where the pages show the line's stock in the charting program.
// onPress returns true when the press must go no further (the list's own handling
// would change the selection). Set up after the list has its viewport.
void WatchRightPress(QAbstractScrollArea* list, std::function<bool(const QPoint&)> onPress);

// A new W(args..., parent) carrying the dialog id.
template <class W, class... Args>
W* MakeControl(QWidget* parent, int id, Args&&... args) {
  auto* control = new W(std::forward<Args>(args)..., parent);
  CPage::SetDlgCtrlID(control, id);
  return control;
}

QPushButton* MakeButton(QWidget* parent, int id, const char* text);
QLabel* MakeLabel(QWidget* parent, const char* text);

// Makes picker a day picker: "YYYY-MM-DD" in its field (numbers as everywhere, without
// the locale), and a pop-up calendar whose month and day names are Chinese.
void SetUpDayPicker(QDateEdit* picker);
// The picker's day as "YYYY-MM-DD".
std::string PickerDayText(const QDateEdit* picker);
// Sets the picker to a "YYYY-MM-DD" day without notifying: Qt's setDate notifies, and a
// day the page sets is no pick of the user's. A text that is no day changes nothing.
void SetPickerDayQuietly(QDateEdit* picker, const std::string& day);

// Keeps the edit at least as wide as it must be to show `sample` whole, the longest of
// the texts it shows.
void FitEditTo(QLineEdit* edit, const char* sample);

// The day row of a page that steps through stored days: the picker (1111) and the
// 前一天 (1003) and 后一天 (1004) buttons, built once for every such page. With arrows,
// each button's arrow stands above its caption and a balloon tells what it shows.
class DayStepper {
 public:
  enum class Style { Arrows, Plain };
  static constexpr int kPickerId = 1111;
  static constexpr int kPrevId = 1003;
  static constexpr int kNextId = 1004;

  DayStepper(CPage* page, Style style);

  QDateEdit* Picker() const { return picker_; }
  QPushButton* Prev() const { return prev_; }
  QPushButton* Next() const { return next_; }
  // The picker's day as "YYYY-MM-DD", and set quietly (see SetPickerDayQuietly).
  std::string Day() const { return PickerDayText(picker_); }
  void SetDay(const std::string& day) const { SetPickerDayQuietly(picker_, day); }
  // One press of 前一天 (direction -1) or 后一天 (+1): the button stays disabled while
  // the page looks, and the day found by `rule` is set on the picker and returned;
  // nullopt, with the picker unchanged, when there is none.
  std::optional<std::string> Step(int direction, const DayStepRule& rule) const;

 private:
  QDateEdit* picker_ = nullptr;
  QPushButton* prev_ = nullptr;
  QPushButton* next_ = nullptr;
};

// Sets the text and shows it from its start, not from the cursor at its end.
void SetEditTextFromStart(QLineEdit* edit, const std::string& text);

// Keeps a button disabled while the page works for it, and enables it again when the
// scope ends. Qt hands the focus of a button it disables on to the next control, so
// Space would then press that one; a button that had the focus takes it back.
class ButtonBusyScope {
 public:
  explicit ButtonBusyScope(QAbstractButton* button);
  ~ButtonBusyScope();
  ButtonBusyScope(const ButtonBusyScope&) = delete;
  ButtonBusyScope& operator=(const ButtonBusyScope&) = delete;

 private:
  QAbstractButton* button_;
  bool hadFocus_;
};
