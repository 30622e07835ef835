#include "controls/ui/page_widgets.h"

#include <QCalendarWidget>
#include <QLocale>
#include <QStyle>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QSignalBlocker>

#include "controls/ui/bitmap_button_ex.h"
#include "platform/ui/qt_convert.h"
#include "storage/day_range.h"

QFont ListFont() {
  QFont font(QString::fromUtf8(kListFontFamily));
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(kListFontPixels);
  return font;
}

void SetPageDialogId(CPage& page, int dialogId) { page.setObjectName(QStringLiteral("page%1").arg(dialogId)); }

QImage ArrowImage(bool pointsLeft) {
  QImage image(20, 20, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0, 60, 140), 1));
  p.setBrush(QColor(30, 110, 210));
  QPolygonF arrow({QPointF(2, 10), QPointF(10, 2), QPointF(10, 7), QPointF(18, 7), QPointF(18, 13),
                   QPointF(10, 13), QPointF(10, 18)});
  if (!pointsLeft) {
    for (QPointF& point : arrow) point.setX(20 - point.x());
  }
  p.drawPolygon(arrow);
  return image;
}

namespace {

// Lives on the viewport it watches. Installed after the list's own viewport filter,
// so it sees a press before the list does.
class RightPressFilter : public QObject {
 public:
  RightPressFilter(QObject* viewport, std::function<bool(const QPoint&)> onPress)
      : QObject(viewport), onPress_(std::move(onPress)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::RightButton) return onPress_(mouse->position().toPoint());
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<bool(const QPoint&)> onPress_;
};

}  // namespace

void WatchRightPress(QAbstractScrollArea* list, std::function<bool(const QPoint&)> onPress) {
  QWidget* viewport = list->viewport();
  viewport->installEventFilter(new RightPressFilter(viewport, std::move(onPress)));
}

QPushButton* MakeButton(QWidget* parent, int id, const char* text) {
  return MakeControl<QPushButton>(parent, id, QString::fromUtf8(text));
}

DayStepper::DayStepper(CPage* page, Style style) {
  picker_ = MakeControl<QDateEdit>(page, kPickerId);
  SetUpDayPicker(picker_);
  if (style == Style::Plain) {
    prev_ = MakeButton(page, kPrevId, "前一天");
    next_ = MakeButton(page, kNextId, "后一天");
    return;
  }
  struct Arrow {
    int id;
    const char* caption;
    bool pointsLeft;
    const char* tip;
    QPushButton** button;
  };
  for (const Arrow& a : {Arrow{kPrevId, "前一天", true, "显示前一天Velkor数据!", &prev_},
                         Arrow{kNextId, "后一天", false, "显示后一天Velkor数据!", &next_}}) {
    auto* button = MakeControl<CBitmapButtonEx>(page, a.id, QString::fromUtf8(a.caption));
    button->setFixedSize(72, 46);
    button->SetIcon(ArrowImage(a.pointsLeft));
    button->OffsetColor(0, 50);
    button->SetTooltipText(a.tip);
    button->SetAlign(kButtonAlignImageAbove);
    button->SetFlat(false);
    button->EnableBalloonTooltip();
    *a.button = button;
  }
}

std::optional<std::string> DayStepper::Step(int direction, const DayStepRule& rule) const {
  const ButtonBusyScope busy(direction < 0 ? prev_ : next_);
  const std::optional<std::string> day = StepStoredDay(Day(), direction, rule);
  if (day) SetDay(*day);
  return day;
}

QLabel* MakeLabel(QWidget* parent, const char* text) { return new QLabel(QString::fromUtf8(text), parent); }

void FitEditTo(QLineEdit* edit, const char* sample) {
  const QMargins text = edit->textMargins();
  const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
  constexpr int kInnerMargin = 2;  // the edit's own space each side of its text
  edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString::fromUtf8(sample)) + text.left() + text.right() +
                        2 * (frame + kInnerMargin) + 1);  // and the cursor
}

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
