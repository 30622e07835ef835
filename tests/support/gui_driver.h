#pragma once
// Drives widgets in GUI tests as a user would: finds controls by dialog id inside a
// given root (ids repeat across pages), clicks, types, selects tabs, waits for a
// window to be exposed or for a condition, reads pixels, and collects the message
// boxes the hook recorded.

#include <QAbstractItemView>
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi_types.h"
#include "platform/message_box.h"

class GuiDriver {
 public:
  // The descendant of root (root included) whose control id is id, nearest first;
  // nullptr when there is none.
  static QWidget* Find(QWidget* root, int id);
  template <class W>
  static W* FindAs(QWidget* root, int id) {
    return qobject_cast<W*>(Find(root, id));
  }

  // A left click (or the given button) at pos, the widget's centre by default.
  // False when there is no widget.
  static bool Click(QWidget* widget, Qt::MouseButton button = Qt::LeftButton, QPoint pos = QPoint());
  static bool Click(QWidget* root, int id) { return Click(Find(root, id)); }
  static bool DoubleClick(QWidget* widget, QPoint pos = QPoint());
  // A double click as a user makes it: a click, then the double click and its release
  // (at the centre when `pos` is null).
  static void UserDoubleClick(QWidget* widget, QPoint pos = QPoint());
  // A left click and a wheel turn (notches > 0 scroll up) as the window system delivers
  // them: to the widget's window at the widget's point (its centre by default), so they
  // reach whatever a user's pointer would reach there. False when the widget has no
  // window on screen.
  static bool ScreenClick(QWidget* widget, QPoint pos = QPoint());
  static bool ScreenWheel(QWidget* widget, int notches, QPoint pos = QPoint());
  // The centre of a cell of a list, in its viewport's coordinates.
  static QPoint CellCentre(const QAbstractItemView* view, int row, int column);
  // Types UTF-8 text into the widget, key by key.
  static bool TypeText(QWidget* widget, const std::string& text);
  static bool PressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

  // Clicks the tab of a QTabWidget or QTabBar by index or by its text. False when
  // there is no such tab.
  static bool SelectTab(QWidget* tabs, int index);
  static bool SelectTab(QWidget* tabs, const std::string& text);

  // Waits until the widget's window is exposed on screen (offscreen too).
  static bool WaitForExposed(QWidget* widget, int timeoutMs = 5000);
  // Processes events until predicate() holds; false on time-out.
  static bool WaitUntil(const std::function<bool()>& predicate, int timeoutMs = 5000);
  // Processes events until the page's off-thread search has shown its result.
  template <class Page>
  static bool WaitForSearch(const Page& page, int timeoutMs = 30000) {
    return WaitUntil([&page] { return !page.IsSearchRunning(); }, timeoutMs);
  }

  // The widget as painted now, and one pixel of it (widget coordinates).
  static QImage Grab(QWidget* widget);
  static COLORREF PixelAt(QWidget* widget, int x, int y);

  // The boxes the message-box hook recorded since the last take; they are forgotten.
  static std::vector<RecordedMessageBox> TakeBoxes();
};
