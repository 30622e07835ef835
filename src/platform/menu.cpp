#include "platform/menu.h"

#include <map>
#include <memory>
#include <optional>

namespace {

struct MenuItem {
  UINT flags = 0;
  UINT id = 0;
  std::string text;
  ULONG_PTR data = 0;
  HMENU sub = nullptr;
  HBITMAP checked = 0;
  HBITMAP unchecked = 0;
};

struct MenuModel {
  bool popup = false;
  std::vector<MenuItem> items;
  CMenu* permanent = nullptr;
  std::unique_ptr<CMenu> temporary;
};

struct MenuTable {
  std::map<std::uintptr_t, MenuModel> menus;
  std::uintptr_t next = 0x100;  // never reused, so a stale handle never hits a new menu
};

MenuTable& Table() {
  static MenuTable table;
  return table;
}

MenuModel* Find(HMENU menu) {
  auto& menus = Table().menus;
  const auto it = menus.find(reinterpret_cast<std::uintptr_t>(menu));
  return it == menus.end() ? nullptr : &it->second;
}

HMENU NewMenu(bool popup) {
  MenuTable& table = Table();
  const std::uintptr_t value = table.next++;
  table.menus[value].popup = popup;
  return reinterpret_cast<HMENU>(value);
}

// The menu and index of an item, by position in this menu or by command id depth
// first through the sub-menus.
struct ItemRef {
  MenuModel* menu = nullptr;
  std::size_t index = 0;
  MenuItem& Item() const { return menu->items[index]; }
};

std::optional<ItemRef> FindByCommand(MenuModel* model, UINT id, int depth) {
  if (model == nullptr || depth > 32) return std::nullopt;
  for (std::size_t i = 0; i < model->items.size(); ++i) {
    const MenuItem& item = model->items[i];
    if ((item.flags & MF_POPUP) == 0 && (item.flags & MF_SEPARATOR) == 0 && item.id == id) return ItemRef{model, i};
  }
  for (const MenuItem& item : model->items) {
    if ((item.flags & MF_POPUP) == 0) continue;
    if (auto found = FindByCommand(Find(item.sub), id, depth + 1)) return found;
  }
  return std::nullopt;
}

std::optional<ItemRef> Locate(HMENU menu, UINT item, UINT flags) {
  MenuModel* model = Find(menu);
  if (model == nullptr) return std::nullopt;
  if ((flags & MF_BYPOSITION) != 0) {
    if (item >= model->items.size()) return std::nullopt;
    return ItemRef{model, item};
  }
  return FindByCommand(model, item, 0);
}

// The flags an item keeps: positioning bits are instructions, not state.
UINT StoredFlags(UINT flags) { return flags & ~MF_BYPOSITION; }

MenuItem MakeItem(UINT flags, UINT_PTR id, const char* text, std::optional<ULONG_PTR> data) {
  MenuItem item;
  item.flags = StoredFlags(flags);
  if ((flags & MF_POPUP) != 0) {
    item.sub = MenuFromValue(id);
    item.id = static_cast<UINT>(id);
  } else if ((flags & MF_SEPARATOR) != 0) {
    item.id = 0;
  } else {
    item.id = static_cast<UINT>(id);
  }
  if (data) {
    item.data = *data;
  } else if (text != nullptr && (flags & MF_SEPARATOR) == 0) {
    item.text = text;
  }
  return item;
}

bool ValidItem(UINT flags, UINT_PTR id) {
  if ((flags & MF_POPUP) != 0) return IsMenu(MenuFromValue(id)) != FALSE;
  return true;
}

BOOL Insert(HMENU menu, UINT position, UINT flags, UINT_PTR id, const char* text, std::optional<ULONG_PTR> data) {
  MenuModel* model = Find(menu);
  if (model == nullptr || !ValidItem(flags, id)) return FALSE;
  MenuItem item = MakeItem(flags, id, text, data);
  if ((flags & MF_BYPOSITION) != 0) {
    const std::size_t at = position > model->items.size() ? model->items.size() : position;
    model->items.insert(model->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
    return TRUE;
  }
  // By command: before the item with that id, at the end when there is none.
  if (auto ref = FindByCommand(model, position, 0)) {
    ref->menu->items.insert(ref->menu->items.begin() + static_cast<std::ptrdiff_t>(ref->index), std::move(item));
  } else {
    model->items.push_back(std::move(item));
  }
  return TRUE;
}

BOOL Modify(HMENU menu, UINT position, UINT flags, UINT_PTR id, const char* text, std::optional<ULONG_PTR> data) {
  auto ref = Locate(menu, position, flags);
  if (!ref || !ValidItem(flags, id)) return FALSE;
  MenuItem& old = ref->Item();
  MenuItem item = MakeItem(flags, id, text, data);
  item.checked = old.checked;
  item.unchecked = old.unchecked;
  // An owner-drawn item changed without new data keeps its data; a string gets its text.
  if (!data && (flags & MF_OWNERDRAW) != 0) item.data = old.data;
  old = std::move(item);
  return TRUE;
}

void ForgetObject(MenuModel& model) {
  if (model.permanent != nullptr) model.permanent->m_hMenu = nullptr;
  model.permanent = nullptr;
  if (model.temporary) model.temporary->m_hMenu = nullptr;
}

}  // namespace

HMENU CreateMenu() { return NewMenu(false); }

HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL DestroyMenu(HMENU menu) {
  MenuTable& table = Table();
  const auto it = table.menus.find(reinterpret_cast<std::uintptr_t>(menu));
  if (it == table.menus.end()) return FALSE;
  std::vector<HMENU> subs;
  for (const MenuItem& item : it->second.items) {
    if ((item.flags & MF_POPUP) != 0) subs.push_back(item.sub);
  }
  ForgetObject(it->second);
  std::unique_ptr<CMenu> temporary = std::move(it->second.temporary);
  table.menus.erase(it);
  for (HMENU sub : subs) ::DestroyMenu(sub);
  return TRUE;
}

BOOL IsMenu(HMENU menu) { return Find(menu) != nullptr ? TRUE : FALSE; }

std::size_t LiveMenuCount() { return Table().menus.size(); }

namespace {

bool AppendTemplate(HMENU menu, const std::vector<MenuTemplateItem>& items, int depth) {
  if (depth > 32) return false;
  for (const MenuTemplateItem& entry : items) {
    const UINT flags = (entry.flags & ~(MF_END | MF_BYPOSITION)) | MF_BYPOSITION;
    const UINT at = static_cast<UINT>(Find(menu)->items.size());
    if ((entry.flags & MF_POPUP) != 0) {
      HMENU sub = CreatePopupMenu();
      if (!AppendTemplate(sub, entry.items, depth + 1) ||
          !Insert(menu, at, flags, reinterpret_cast<UINT_PTR>(sub), entry.text.c_str(), std::nullopt)) {
        ::DestroyMenu(sub);
        return false;
      }
    } else if ((entry.flags & MF_SEPARATOR) != 0 || (entry.id == 0 && entry.text.empty())) {
      Insert(menu, at, MF_SEPARATOR | MF_BYPOSITION, 0, nullptr, std::nullopt);
    } else {
      Insert(menu, at, flags, entry.id, entry.text.c_str(), std::nullopt);
    }
  }
  return true;
}

}  // namespace

HMENU LoadMenuIndirect(const std::vector<MenuTemplateItem>& items) {
  if (items.empty()) return nullptr;
  HMENU menu = CreateMenu();
  if (!AppendTemplate(menu, items, 0)) {
    ::DestroyMenu(menu);
    return nullptr;
  }
  return menu;
}

// ---- CMenu ----

CMenu::~CMenu() {
  // A derived class has run its own clean-up; only the handle is left.
  if (m_hMenu != nullptr) {
    MenuModel* model = Find(m_hMenu);
    if (model != nullptr && model->temporary.get() == this) return;  // never for a temporary
    ::DestroyMenu(m_hMenu);
    m_hMenu = nullptr;
  }
}

BOOL CMenu::CreateMenu() { return Attach(::CreateMenu()); }

BOOL CMenu::CreatePopupMenu() { return Attach(::CreatePopupMenu()); }

BOOL CMenu::DestroyMenu() {
  if (m_hMenu == nullptr) return FALSE;
  HMENU menu = m_hMenu;
  m_hMenu = nullptr;
  return ::DestroyMenu(menu);
}

BOOL CMenu::Attach(HMENU menu) {
  if (m_hMenu != nullptr) return FALSE;
  MenuModel* model = Find(menu);
  if (model == nullptr) return FALSE;
  if (model->permanent != nullptr && model->permanent != this) model->permanent->m_hMenu = nullptr;
  model->permanent = this;
  m_hMenu = menu;
  return TRUE;
}

HMENU CMenu::Detach() {
  HMENU menu = m_hMenu;
  if (MenuModel* model = Find(menu); model != nullptr && model->permanent == this) model->permanent = nullptr;
  m_hMenu = nullptr;
  return menu;
}

CMenu* CMenu::FromHandle(HMENU menu) {
  MenuModel* model = Find(menu);
  if (model == nullptr) return nullptr;
  if (model->permanent != nullptr) return model->permanent;
  if (!model->temporary) {
    model->temporary = std::make_unique<CMenu>();
    model->temporary->m_hMenu = menu;
  }
  return model->temporary.get();
}

CMenu* CMenu::FromHandlePermanent(HMENU menu) {
  MenuModel* model = Find(menu);
  return model == nullptr ? nullptr : model->permanent;
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, const char* text) {
  MenuModel* model = Find(m_hMenu);
  if (model == nullptr) return FALSE;
  return Insert(m_hMenu, static_cast<UINT>(model->items.size()), flags | MF_BYPOSITION, id, text, std::nullopt);
}

BOOL CMenu::InsertMenu(UINT position, UINT flags, UINT_PTR id, const char* text) {
  return Insert(m_hMenu, position, flags, id, text, std::nullopt);
}

BOOL CMenu::ModifyMenu(UINT position, UINT flags, UINT_PTR id, const char* text) {
  return Modify(m_hMenu, position, flags, id, text, std::nullopt);
}

BOOL CMenu::AppendMenuOwnerDraw(UINT flags, UINT_PTR id, ULONG_PTR itemData) {
  MenuModel* model = Find(m_hMenu);
  if (model == nullptr) return FALSE;
  return Insert(m_hMenu, static_cast<UINT>(model->items.size()), flags | MF_BYPOSITION | MF_OWNERDRAW, id,
                nullptr, itemData);
}

BOOL CMenu::InsertMenuOwnerDraw(UINT position, UINT flags, UINT_PTR id, ULONG_PTR itemData) {
  return Insert(m_hMenu, position, flags | MF_OWNERDRAW, id, nullptr, itemData);
}

BOOL CMenu::ModifyMenuOwnerDraw(UINT position, UINT flags, UINT_PTR id, ULONG_PTR itemData) {
  return Modify(m_hMenu, position, flags | MF_OWNERDRAW, id, nullptr, itemData);
}

BOOL CMenu::RemoveMenu(UINT position, UINT flags) {
  auto ref = Locate(m_hMenu, position, flags);
  if (!ref) return FALSE;
  ref->menu->items.erase(ref->menu->items.begin() + static_cast<std::ptrdiff_t>(ref->index));
  return TRUE;
}

BOOL CMenu::DeleteMenu(UINT position, UINT flags) {
  auto ref = Locate(m_hMenu, position, flags);
  if (!ref) return FALSE;
  HMENU sub = (ref->Item().flags & MF_POPUP) != 0 ? ref->Item().sub : nullptr;
  ref->menu->items.erase(ref->menu->items.begin() + static_cast<std::ptrdiff_t>(ref->index));
  if (sub != nullptr) ::DestroyMenu(sub);
  return TRUE;
}

int CMenu::GetMenuItemCount() const {
  const MenuModel* model = Find(m_hMenu);
  return model == nullptr ? -1 : static_cast<int>(model->items.size());
}

UINT CMenu::GetMenuItemID(int position) const {
  const MenuModel* model = Find(m_hMenu);
  if (model == nullptr || position < 0 || static_cast<std::size_t>(position) >= model->items.size()) return 0xFFFFFFFFu;
  const MenuItem& item = model->items[static_cast<std::size_t>(position)];
  if ((item.flags & MF_POPUP) != 0) return 0xFFFFFFFFu;
  if ((item.flags & MF_SEPARATOR) != 0) return 0;
  return item.id;
}

UINT CMenu::GetMenuState(UINT item, UINT flags) const {
  auto ref = Locate(m_hMenu, item, flags);
  if (!ref) return 0xFFFFFFFFu;
  const MenuItem& found = ref->Item();
  if ((found.flags & MF_POPUP) != 0) {
    const MenuModel* sub = Find(found.sub);
    const UINT count = sub == nullptr ? 0 : static_cast<UINT>(sub->items.size());
    return ((count & 0xFFu) << 8) | (found.flags & 0xFFu) | MF_POPUP;
  }
  return found.flags;
}

int CMenu::GetMenuString(UINT item, CString& text, UINT flags) const {
  auto ref = Locate(m_hMenu, item, flags);
  if (!ref || (ref->Item().flags & (MF_SEPARATOR | MF_OWNERDRAW)) != 0) {
    text.clear();
    return 0;
  }
  text = ref->Item().text;
  return static_cast<int>(text.size());
}

CMenu* CMenu::GetSubMenu(int position) const {
  const MenuModel* model = Find(m_hMenu);
  if (model == nullptr || position < 0 || static_cast<std::size_t>(position) >= model->items.size()) return nullptr;
  const MenuItem& item = model->items[static_cast<std::size_t>(position)];
  if ((item.flags & MF_POPUP) == 0) return nullptr;
  return FromHandle(item.sub);
}

BOOL CMenu::GetMenuItemInfo(UINT item, MENUITEMINFO* info, BOOL byPosition) const {
  if (info == nullptr) return FALSE;
  auto ref = Locate(m_hMenu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  if (!ref) return FALSE;
  const MenuItem& found = ref->Item();
  if ((info->fMask & MIIM_STATE) != 0) info->fState = found.flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE);
  if ((info->fMask & MIIM_ID) != 0) info->wID = found.id;
  if ((info->fMask & MIIM_SUBMENU) != 0) info->hSubMenu = (found.flags & MF_POPUP) != 0 ? found.sub : nullptr;
  if ((info->fMask & MIIM_CHECKMARKS) != 0) {
    info->hbmpChecked = found.checked;
    info->hbmpUnchecked = found.unchecked;
  }
  if ((info->fMask & MIIM_DATA) != 0) info->dwItemData = found.data;
  if ((info->fMask & MIIM_FTYPE) != 0) info->fType = found.flags & (MF_OWNERDRAW | MF_SEPARATOR | MF_POPUP);
  return TRUE;
}

BOOL CMenu::SetMenuItemBitmaps(UINT item, UINT flags, HBITMAP unchecked, HBITMAP checked) {
  auto ref = Locate(m_hMenu, item, flags);
  if (!ref) return FALSE;
  ref->Item().unchecked = unchecked;
  ref->Item().checked = checked;
  return TRUE;
}

UINT CMenu::CheckMenuItem(UINT item, UINT check) {
  auto ref = Locate(m_hMenu, item, check);
  if (!ref) return 0xFFFFFFFFu;
  UINT& flags = ref->Item().flags;
  const UINT previous = flags & MF_CHECKED;
  flags = (flags & ~MF_CHECKED) | (check & MF_CHECKED);
  return previous;
}

UINT CMenu::EnableMenuItem(UINT item, UINT enable) {
  auto ref = Locate(m_hMenu, item, enable);
  if (!ref) return 0xFFFFFFFFu;
  UINT& flags = ref->Item().flags;
  const UINT previous = flags & (MF_GRAYED | MF_DISABLED);
  flags = (flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  return previous;
}

ULONG_PTR CMenu::GetItemData(UINT item, UINT flags) const {
  auto ref = Locate(m_hMenu, item, flags);
  return ref ? ref->Item().data : 0;
}
