#pragma once
// Menus as the owner-draw code is written against them: a menu is a list of items
// (flags, command id, text, item data, sub-menu) behind an HMENU handle from one
// process-wide table, and a CMenu object wraps one handle. A pop-up item owns its
// sub-menu: destroying a menu destroys its sub-menus too. Destroying a handle that
// is already gone does nothing, so a menu and its sub-menu objects may tear down in
// any order. UI thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi_types.h"

class CDC;

struct MenuHandleTag;
using HMENU = MenuHandleTag*;
using HBITMAP = std::uintptr_t;  // an opaque bitmap token; 0 = none
using UINT_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;
using LRESULT = std::intptr_t;

// Item flags.
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_MENUBARBREAK = 0x0020;
constexpr UINT MF_MENUBREAK = 0x0040;
constexpr UINT MF_HILITE = 0x0080;
constexpr UINT MF_OWNERDRAW = 0x0100;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
// Template only: the last item of its level.
constexpr UINT MF_END = 0x0080;

// Owner-draw records.
constexpr UINT ODT_MENU = 1;
constexpr UINT ODA_DRAWENTIRE = 0x0001;
constexpr UINT ODA_SELECT = 0x0002;
constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_GRAYED = 0x0002;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_CHECKED = 0x0008;
constexpr UINT ODS_FOCUS = 0x0010;

// Menu-character answers.
constexpr UINT MNC_IGNORE = 0;
constexpr UINT MNC_CLOSE = 1;
constexpr UINT MNC_EXECUTE = 2;
constexpr UINT MNC_SELECT = 3;
constexpr LRESULT MAKELRESULT(UINT low, UINT high) {
  return static_cast<LRESULT>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}

// GetMenuItemInfo fields.
constexpr UINT MIIM_STATE = 0x0001;
constexpr UINT MIIM_ID = 0x0002;
constexpr UINT MIIM_SUBMENU = 0x0004;
constexpr UINT MIIM_CHECKMARKS = 0x0008;
constexpr UINT MIIM_DATA = 0x0020;
constexpr UINT MIIM_FTYPE = 0x0100;  // fType: MF_OWNERDRAW, MF_SEPARATOR, MF_POPUP

struct MENUITEMINFO {
  UINT fMask = 0;
  UINT fType = 0;
  UINT fState = 0;
  UINT wID = 0;
  HMENU hSubMenu = nullptr;
  HBITMAP hbmpChecked = 0;
  HBITMAP hbmpUnchecked = 0;
  ULONG_PTR dwItemData = 0;
};

struct MEASUREITEMSTRUCT {
  UINT CtlType = ODT_MENU;
  UINT CtlID = 0;
  UINT itemID = 0;  // the command id; for a pop-up item the sub-menu's handle value
  UINT itemWidth = 0;
  UINT itemHeight = 0;
  ULONG_PTR itemData = 0;
};

struct DRAWITEMSTRUCT {
  UINT CtlType = ODT_MENU;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemAction = ODA_DRAWENTIRE;
  UINT itemState = 0;
  HMENU hwndItem = nullptr;  // the menu that holds the item
  CDC* hDC = nullptr;
  CRect rcItem;
  ULONG_PTR itemData = 0;
};
using LPMEASUREITEMSTRUCT = MEASUREITEMSTRUCT*;
using LPDRAWITEMSTRUCT = DRAWITEMSTRUCT*;

// One item of a menu template (a menu resource).
struct MenuTemplateItem {
  UINT flags = MF_STRING;  // MF_POPUP, MF_SEPARATOR, MF_GRAYED, MF_CHECKED...
  UINT id = 0;             // unused for a pop-up
  std::string text;
  std::vector<MenuTemplateItem> items;  // a pop-up's items
};

// ---- the handle table ----
HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and, depth first, its sub-menus. FALSE for an unknown handle.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
// A menu bar built from a template; nullptr for an empty template.
HMENU LoadMenuIndirect(const std::vector<MenuTemplateItem>& items);
// Live handles (tests).
std::size_t LiveMenuCount();
inline UINT MenuHandleValue(HMENU menu) { return static_cast<UINT>(reinterpret_cast<std::uintptr_t>(menu)); }
inline HMENU MenuFromValue(UINT_PTR value) { return reinterpret_cast<HMENU>(value); }

class CMenu {
 public:
  CMenu() = default;
  // Destroys the menu it holds.
  virtual ~CMenu();
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  HMENU m_hMenu = nullptr;
  HMENU GetSafeHmenu() const { return m_hMenu; }
  operator HMENU() const { return m_hMenu; }

  BOOL CreateMenu();
  BOOL CreatePopupMenu();
  virtual BOOL DestroyMenu();
  // Makes this object the permanent one of the handle. FALSE when it holds one already.
  BOOL Attach(HMENU menu);
  HMENU Detach();
  // The permanent object of a handle, else a temporary one that lives as long as the
  // handle; nullptr for an unknown handle.
  static CMenu* FromHandle(HMENU menu);
  // The permanent object only.
  static CMenu* FromHandlePermanent(HMENU menu);

  // A pop-up item takes MF_POPUP with the sub-menu's handle as id. With
  // MF_OWNERDRAW the text is ignored: the *OwnerDraw forms carry the item data.
  BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const char* text = nullptr);
  BOOL InsertMenu(UINT position, UINT flags, UINT_PTR id = 0, const char* text = nullptr);
  BOOL ModifyMenu(UINT position, UINT flags, UINT_PTR id = 0, const char* text = nullptr);
  BOOL AppendMenuOwnerDraw(UINT flags, UINT_PTR id, ULONG_PTR itemData);
  BOOL InsertMenuOwnerDraw(UINT position, UINT flags, UINT_PTR id, ULONG_PTR itemData);
  BOOL ModifyMenuOwnerDraw(UINT position, UINT flags, UINT_PTR id, ULONG_PTR itemData);
  // Takes the item out; a sub-menu is not destroyed.
  BOOL RemoveMenu(UINT position, UINT flags);
  // Takes the item out and destroys its sub-menu.
  BOOL DeleteMenu(UINT position, UINT flags);

  // -1 on an unknown menu.
  int GetMenuItemCount() const;
  // 0 for a separator, 0xFFFFFFFF for a pop-up item or a position outside.
  UINT GetMenuItemID(int position) const;
  // The flags; for a pop-up item the sub-menu's item count in the high byte.
  // 0xFFFFFFFF when there is no such item.
  UINT GetMenuState(UINT item, UINT flags) const;
  // The text's length in bytes, 0 when there is none.
  int GetMenuString(UINT item, CString& text, UINT flags) const;
  CMenu* GetSubMenu(int position) const;
  BOOL GetMenuItemInfo(UINT item, MENUITEMINFO* info, BOOL byPosition = FALSE) const;
  BOOL SetMenuItemBitmaps(UINT item, UINT flags, HBITMAP unchecked, HBITMAP checked);
  // The previous state (MF_CHECKED or MF_UNCHECKED), 0xFFFFFFFF without the item.
  UINT CheckMenuItem(UINT item, UINT check);
  UINT EnableMenuItem(UINT item, UINT enable);
  // The item data of an item (0 without one).
  ULONG_PTR GetItemData(UINT item, UINT flags) const;

  virtual void MeasureItem(LPMEASUREITEMSTRUCT) {}
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
};
