#include "gui_driver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QPixmap>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <deque>

#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"

QWidget* GuiDriver::Find(QWidget* root, int id) {
  std::deque<QWidget*> pending;
  if (root != nullptr) pending.push_back(root);
  while (!pending.empty()) {
    QWidget* widget = pending.front();
    pending.pop_front();
    if (CPage::GetDlgCtrlID(widget) == id) return widget;
    for (QObject* child : widget->children()) {
      if (auto* w = qobject_cast<QWidget*>(child)) pending.push_back(w);
    }
  }
  return nullptr;
}

bool GuiDriver::Click(QWidget* widget, Qt::MouseButton button, QPoint pos) {
  if (widget == nullptr) return false;
  QTest::mouseClick(widget, button, Qt::NoModifier, pos.isNull() ? widget->rect().center() : pos);
  return true;
}

bool GuiDriver::DoubleClick(QWidget* widget, QPoint pos) {
  if (widget == nullptr) return false;
  QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, pos.isNull() ? widget->rect().center() : pos);
  return true;
}

bool GuiDriver::TypeText(QWidget* widget, const std::string& text) {
  if (widget == nullptr) return false;
  // QTest's own keyClicks knows ASCII only; other characters go as text-only keys.
  for (char32_t codePoint : ToQString(text).toUcs4()) {
    if (codePoint < 0x80) {
      QTest::keyClick(widget, static_cast<char>(codePoint));
    } else {
      QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString::fromUcs4(&codePoint, 1), Qt::NoModifier);
    }
  }
  return true;
}

bool GuiDriver::PressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  if (widget == nullptr) return false;
  QTest::keyClick(widget, key, modifiers);
  return true;
}

namespace {

QTabBar* TabBarOf(QWidget* tabs) {
  if (auto* widget = qobject_cast<QTabWidget*>(tabs)) return widget->tabBar();
  return qobject_cast<QTabBar*>(tabs);
}

}  // namespace

bool GuiDriver::SelectTab(QWidget* tabs, int index) {
  QTabBar* bar = TabBarOf(tabs);
  if (bar == nullptr || index < 0 || index >= bar->count()) return false;
  if (bar->isVisible()) {
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
  }
  if (bar->currentIndex() != index) bar->setCurrentIndex(index);  // hidden, or a disabled tab
  return bar->currentIndex() == index;
}

bool GuiDriver::SelectTab(QWidget* tabs, const std::string& text) {
  QTabBar* bar = TabBarOf(tabs);
  if (bar == nullptr) return false;
  const QString wanted = ToQString(text);
  for (int i = 0; i < bar->count(); ++i) {
    QString label = bar->tabText(i);
    label.remove(QLatin1Char('&'));
    if (bar->tabText(i) == wanted || label == wanted) return SelectTab(tabs, i);
  }
  return false;
}

bool GuiDriver::WaitForExposed(QWidget* widget, int timeoutMs) {
  if (widget == nullptr) return false;
  return QTest::qWaitForWindowExposed(widget->window(), timeoutMs);
}

bool GuiDriver::WaitUntil(const std::function<bool()>& predicate, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    if (predicate()) return true;
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QTest::qSleep(1);
  }
}

QImage GuiDriver::Grab(QWidget* widget) {
  if (widget == nullptr) return {};
  return widget->grab().toImage();
}

COLORREF GuiDriver::PixelAt(QWidget* widget, int x, int y) {
  const QImage image = Grab(widget);
  const qreal ratio = image.devicePixelRatio();
  const int px = static_cast<int>(x * ratio);
  const int py = static_cast<int>(y * ratio);
  if (!image.valid(px, py)) return 0;
  return FromQColor(image.pixelColor(px, py));
}

std::vector<RecordedMessageBox> GuiDriver::TakeBoxes() { return MessageBoxHook::Instance().TakeRecorded(); }

void GuiDriver::UserDoubleClick(QWidget* widget, QPoint pos) {
  if (pos.isNull()) pos = widget->rect().center();
  Click(widget, Qt::LeftButton, pos);
  DoubleClick(widget, pos);
  QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, pos);
}

QPoint GuiDriver::CellCentre(const QAbstractItemView* view, int row, int column) {
  return view->visualRect(view->model()->index(row, column)).center();
}

// Hands the widget's window and the point in it to send; false without a window.
static bool SendToWindow(QWidget* widget, QPoint pos, const std::function<void(QWindow*, QPoint)>& send) {
  QWindow* handle = widget != nullptr ? widget->window()->windowHandle() : nullptr;
  if (handle == nullptr) return false;
  send(handle, widget->mapTo(widget->window(), pos.isNull() ? widget->rect().center() : pos));
  return true;
}

bool GuiDriver::ScreenClick(QWidget* widget, QPoint pos) {
  return SendToWindow(widget, pos, [](QWindow* w, QPoint at) { QTest::mouseClick(w, Qt::LeftButton, {}, at); });
}

bool GuiDriver::ScreenWheel(QWidget* widget, int notches, QPoint pos) {
  return SendToWindow(widget, pos, [notches](QWindow* w, QPoint at) {
    QWheelEvent wheel(at, w->mapToGlobal(QPointF(at)), {}, {0, 120 * notches}, {}, {}, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &wheel);
  });
}
