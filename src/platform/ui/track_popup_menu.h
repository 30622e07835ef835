#pragma once
// Shows a menu model as a Qt pop-up menu. Owner-drawn items are measured and painted
// by their owner (through a style that asks for MeasureItem and DrawItem with a
// context over the menu's painter); the owner hears before each pop-up opens, gets
// the keys no mnemonic takes, and receives the chosen command unless it is returned.

#include <QMenu>
#include <functional>

#include "platform/menu.h"

class QWidget;

// TrackPopupMenu flags.
constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

// The window a menu works for. The defaults do what a window without handlers does.
class IMenuOwner {
 public:
  virtual ~IMenuOwner() = default;
  // Before a pop-up opens (index = its position in the parent, 0 for the top).
  virtual void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  // An owner-drawn item's size, after the menu object's own MeasureItem has run.
  virtual void OnMeasureItem(int ctlId, LPMEASUREITEMSTRUCT mis);
  // An owner-drawn item's painting: the menu object's DrawItem by default.
  virtual void OnDrawItem(int ctlId, LPDRAWITEMSTRUCT dis);
  // A key that no item's mnemonic takes: MAKELRESULT(position, MNC_EXECUTE) runs
  // that item; 0 lets the menu go on.
  virtual LRESULT OnMenuChar(UINT ch, UINT flags, CMenu* menu);
  // The chosen command when it is not returned (posted, so it runs after the menu).
  virtual void OnCommand(UINT id);
};

// The default measuring and drawing: the permanent object of the item's menu.
void DefaultMeasureMenuItem(HMENU menu, LPMEASUREITEMSTRUCT mis);
void DefaultDrawMenuItem(LPDRAWITEMSTRUCT dis);

// Builds the Qt menu for a model (sub-menus as they open); the caller owns it.
QMenu* BuildPopupMenu(CMenu* menu, IMenuOwner* owner, QWidget* parent = nullptr);

// Shows the menu at (x, y) until a choice or a dismissal. With TPM_RETURNCMD the
// chosen command id (0 for none); otherwise the command is posted to the owner and
// the result is TRUE when one was chosen. FALSE for a menu without items.
UINT TrackPopupMenu(CMenu* menu, UINT flags, int x, int y, IMenuOwner* owner, QWidget* parent = nullptr);

// Tests: called with each menu TrackPopupMenu shows, once it is on screen. The hook
// may read, select and close it. An empty function removes the hook.
void SetTrackPopupMenuHook(std::function<void(QMenu*)> hook);
