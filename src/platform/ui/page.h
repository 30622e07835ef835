#pragma once
// The base of every page: a widget whose controls carry dialog ids, with an
// initialisation step, numbered timers and the keys a page must not act on.
//
// OnInitDialog is not called by the constructor (a virtual call there would not
// reach the page): whoever builds a page calls InitDialog() once it is constructed,
// which runs OnInitDialog exactly once. Timers keep running while the page is hidden.
// Enter and Escape pressed anywhere inside the page are swallowed, so they never
// close a dialog the page sits in nor click its default button.

#include <QWidget>
#include <map>
#include <memory>

#include "platform/win_types.h"

class QTimer;

class CPage : public QWidget {
  Q_OBJECT

 public:
  explicit CPage(QWidget* parent = nullptr);
  ~CPage() override;

  // Gives a control its id: property "ctrlId" and objectName "ctrl<id>".
  static void SetDlgCtrlID(QWidget* control, int id);
  // The control's id, 0 when it has none.
  static int GetDlgCtrlID(const QWidget* control);
  // The control with that id among this page's descendants, not looking inside
  // nested pages (their ids are their own); nullptr when there is none.
  QWidget* GetDlgItem(int id) const;
  template <class W>
  W* GetDlgItemAs(int id) const {
    return qobject_cast<W*>(GetDlgItem(id));
  }

  // Runs OnInitDialog the first time; later calls do nothing. Returns its result.
  BOOL InitDialog();
  bool IsInitialised() const { return initialised_; }
  virtual BOOL OnInitDialog() { return TRUE; }

  // Starts timer id with a period in ms (an id already running restarts with the
  // new period). Periods under 10 ms run at 10 ms. Returns id.
  UINT SetTimer(UINT id, int periodMs);
  // Stops timer id; false when no such timer runs.
  bool KillTimer(UINT id);
  // The running timer's period, -1 when it does not run.
  int TimerInterval(UINT id) const;
  virtual void OnTimer(UINT id) { (void)id; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::map<UINT, std::unique_ptr<QTimer>> timers_;
  bool initialised_ = false;
};

// True for the keys a page swallows (Return, Enter, Escape).
bool IsPageSwallowedKey(int qtKey);
// True for a press of such a key aimed at a control in `page`'s own window, which a
// page's filter swallows. A popup of a control (a date picker's calendar) is a window
// of its own and keeps its Enter and Escape.
bool IsPageSwallowedKeyPress(const QWidget* page, const QObject* watched, const QEvent* event);
