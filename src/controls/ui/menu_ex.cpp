#include "controls/ui/menu_ex.h"

#include <QImage>
#include <QPainter>
#include <set>

#include "controls/menu_rules.h"
#include "controls/ui/bitmap_button_ex.h"
#include "controls/ui/image_toolbar.h"
#include "platform/ui/dc.h"
#include "platform/ui/offscreen_dc.h"

namespace {

// The records alive now: the measuring hook answers only for those, so an owner-drawn
// item of another menu class is left alone.
std::set<const CMenuExItem*>& LiveRecords() {
  static std::set<const CMenuExItem*> records;
  return records;
}

CMenuExItem* NewRecord() {
  auto* record = new CMenuExItem;
  LiveRecords().insert(record);
  return record;
}

// The width of a text in the program's font, as a context of the main window measures it.
int TextWidth(const CString& text) {
  QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&device);
  CDC dc(painter);
  return dc.GetTextExtent(text).cx;
}

bool IsSeparator(UINT flags, UINT_PTR id) { return (flags & MF_SEPARATOR) != 0 || ((flags & MF_POPUP) == 0 && id == 0); }

// Disabled text as the system draws it: a highlight copy one pixel right and down,
// then the shadow copy in place.
void DrawDisabledText(CDC& dc, const CString& text, const CRect& rect, UINT format) {
  const COLORREF old = dc.GetTextColor();
  CRect shifted = rect;
  shifted.OffsetRect(1, 1);
  dc.SetTextColor(GetSysColor(COLOR_BTNHIGHLIGHT));
  dc.DrawText(text, shifted, format);
  dc.SetTextColor(GetSysColor(COLOR_BTNSHADOW));
  dc.DrawText(text, rect, format);
  dc.SetTextColor(old);
}

const CImageList* FirstList(const CMenuExItem& record) {
  if (record.m_pImageList != nullptr) return record.m_pImageList;
  if (record.m_pDisabledImageList != nullptr) return record.m_pDisabledImageList;
  return record.m_pHotImageList;
}

}  // namespace

CMenuEx::CMenuEx()
    : m_crBackground(GetSysColor(COLOR_MENU)),
      m_crTextSelected(GetSysColor(COLOR_MENUTEXT)),
      m_crText(GetSysColor(COLOR_MENUTEXT)) {}

CMenuEx::~CMenuEx() { CMenuEx::DestroyMenu(); }

void CMenuEx::FreeRecord(CMenuExItem* record) {
  if (record == nullptr) return;
  LiveRecords().erase(record);
  delete record->m_pSubMenu;
  delete record;
}

void CMenuEx::FreeRecords() {
  for (CMenuExItem* record : m_arrItems) FreeRecord(record);
  m_arrItems.clear();
}

BOOL CMenuEx::DestroyMenu() {
  // The lists belong to their creator (a toolbar, the caller): only forgotten here.
  m_pImageList = nullptr;
  m_pDisabledImageList = nullptr;
  m_pHotImageList = nullptr;
  FreeRecords();
  return CMenu::DestroyMenu();
}

BOOL CMenuEx::LoadMenu(HMENU menu) {
  if (!IsMenu(menu)) return FALSE;
  if (m_hMenu != nullptr) DestroyMenu();
  const BOOL created = m_bOwnerDraw ? CMenu::CreatePopupMenu() : CMenu::CreateMenu();
  if (!created) {
    ::DestroyMenu(menu);
    return FALSE;
  }
  const BOOL copied = CopyItems(CMenu::FromHandle(menu));
  ::DestroyMenu(menu);
  return copied;
}

BOOL CMenuEx::LoadMenu(UINT resourceId) {
  const std::vector<MenuTemplateItem>* items = FindMenuResource(resourceId);
  if (items == nullptr) return FALSE;
  HMENU menu = LoadMenuIndirect(*items);
  return menu == nullptr ? FALSE : LoadMenu(menu);
}

BOOL CMenuEx::LoadMenu(const char* resourceName) {
  if (resourceName == nullptr) return FALSE;
  const std::vector<MenuTemplateItem>* items = FindMenuResource(std::string(resourceName));
  if (items == nullptr) return FALSE;
  HMENU menu = LoadMenuIndirect(*items);
  return menu == nullptr ? FALSE : LoadMenu(menu);
}

BOOL CMenuEx::CopyItems(CMenu* source) {
  if (source == nullptr) return FALSE;
  const int count = source->GetMenuItemCount();
  for (int i = 0; i < count; ++i) {
    const UINT id = source->GetMenuItemID(i);
    const UINT state = source->GetMenuState(static_cast<UINT>(i), MF_BYPOSITION);
    CString text;
    source->GetMenuString(static_cast<UINT>(i), text, MF_BYPOSITION);
    BOOL ok = FALSE;
    if (id == 0) {
      ok = AppendMenu(MF_SEPARATOR);
    } else if ((state & MF_POPUP) != 0) {
      CMenu* sub = source->GetSubMenu(i);
      ok = sub != nullptr && AppendMenu((state & 0xFFu) | MF_POPUP, reinterpret_cast<UINT_PTR>(sub->m_hMenu), text.c_str());
    } else {
      ok = AppendMenu(state & ~MF_OWNERDRAW, id, text.c_str());
    }
    if (!ok) return FALSE;
  }
  return TRUE;
}

CMenuExItem* CMenuEx::MakeRecord(UINT flags, UINT_PTR id, const char* text) {
  auto* record = NewRecord();
  if (IsSeparator(flags, id)) {
    record->m_nID = 0;
    record->m_size = MenuExRecordSize(0, true, false, m_nSeparatorHeight);
    return record;
  }
  record->m_strText = text != nullptr ? text : "";
  record->m_pImageList = m_pImageList;
  record->m_pDisabledImageList = m_pDisabledImageList;
  record->m_pHotImageList = m_pHotImageList;
  if ((flags & MF_POPUP) != 0) {
    auto* sub = new CMenuEx;
    sub->m_bOwnerDraw = TRUE;
    sub->m_nSeparatorHeight = m_nSeparatorHeight;
    sub->m_crBackground = m_crBackground;
    sub->m_crTextSelected = m_crTextSelected;
    sub->m_crText = m_crText;
    sub->m_crIconBand = m_crIconBand;
    sub->m_crSelectionFrame = m_crSelectionFrame;
    sub->m_crSelectionFill = m_crSelectionFill;
    sub->m_pImageList = m_pImageList;
    sub->m_pDisabledImageList = m_pDisabledImageList;
    sub->m_pHotImageList = m_pHotImageList;
    sub->m_szImage = m_szImage;
    if (!sub->LoadMenu(MenuFromValue(id))) {
      delete sub;
      FreeRecord(record);
      return nullptr;
    }
    record->m_nID = -1;
    record->m_bPopup = TRUE;
    record->m_pSubMenu = sub;
    record->m_size = MenuExRecordSize(TextWidth(record->m_strText), false, true, m_nSeparatorHeight);
    return record;
  }
  record->m_nID = static_cast<int>(id);
  record->m_size = MenuExRecordSize(TextWidth(record->m_strText), false, false, m_nSeparatorHeight);
  return record;
}

BOOL CMenuEx::MakeOwnerDrawn(UINT position, UINT flags, const CMenuExItem* record) {
  const auto data = reinterpret_cast<ULONG_PTR>(record);
  if (record->m_nID == 0) return ModifyMenuOwnerDraw(position, MF_BYPOSITION | MF_SEPARATOR, 0, data);
  if (record->m_bPopup) {
    return ModifyMenuOwnerDraw(position, flags | MF_POPUP | MF_BYPOSITION,
                               reinterpret_cast<UINT_PTR>(record->m_pSubMenu->m_hMenu), data);
  }
  return ModifyMenuOwnerDraw(position, flags | MF_BYPOSITION, static_cast<UINT>(record->m_nID), data);
}

BOOL CMenuEx::AppendMenu(UINT flags, UINT_PTR id, const char* text) {
  const int count = GetMenuItemCount();
  if (count < 0) return FALSE;
  return InsertMenu(static_cast<UINT>(count), flags | MF_BYPOSITION, id, text);
}

BOOL CMenuEx::InsertMenu(UINT position, UINT flags, UINT_PTR id, const char* text) {
  if ((flags & MF_BYPOSITION) == 0 || m_hMenu == nullptr) return FALSE;
  CMenuExItem* record = MakeRecord(flags, id, text);
  if (record == nullptr) return FALSE;
  const UINT_PTR insertId = record->m_bPopup ? reinterpret_cast<UINT_PTR>(record->m_pSubMenu->m_hMenu) : id;
  const UINT count = static_cast<UINT>(GetMenuItemCount());
  const UINT at = position > count ? count : position;
  if (!CMenu::InsertMenu(at, flags, insertId, text)) {
    FreeRecord(record);
    return FALSE;
  }
  // A plain item goes owner-drawn without the state bits it was given.
  if (m_bOwnerDraw && !MakeOwnerDrawn(at, record->m_bPopup ? flags : 0, record)) {
    FreeRecord(record);
    return FALSE;
  }
  m_arrItems.insert(m_arrItems.begin() + std::min<std::size_t>(at, m_arrItems.size()), record);
  return TRUE;
}

BOOL CMenuEx::ModifyMenu(UINT position, UINT flags, UINT_PTR id, const char* text) {
  if ((flags & MF_BYPOSITION) == 0 || position >= m_arrItems.size()) return FALSE;
  CMenuExItem* record = MakeRecord(flags, id, text);
  if (record == nullptr) return FALSE;
  const UINT_PTR newId = record->m_bPopup ? reinterpret_cast<UINT_PTR>(record->m_pSubMenu->m_hMenu) : id;
  if (!CMenu::ModifyMenu(position, flags, newId, text) ||
      (m_bOwnerDraw && !MakeOwnerDrawn(position, record->m_bPopup ? flags : 0, record))) {
    FreeRecord(record);
    return FALSE;
  }
  FreeRecord(m_arrItems[position]);
  m_arrItems[position] = record;
  return TRUE;
}

BOOL CMenuEx::RemoveMenu(UINT position, UINT flags) {
  if ((flags & MF_BYPOSITION) == 0 || position >= m_arrItems.size()) return FALSE;
  if (!CMenu::RemoveMenu(position, MF_BYPOSITION)) return FALSE;
  FreeRecord(m_arrItems[position]);
  m_arrItems.erase(m_arrItems.begin() + position);
  return TRUE;
}

void CMenuEx::OnMeasureItem(LPMEASUREITEMSTRUCT mis) {
  if (mis == nullptr || mis->CtlType != ODT_MENU) return;
  const auto* record = reinterpret_cast<const CMenuExItem*>(mis->itemData);
  if (record == nullptr || LiveRecords().count(record) == 0) return;
  std::optional<CSize> image;
  if (const CImageList* list = FirstList(*record)) image = list->GetImageSize();
  const CSize size = MenuExMeasuredSize(record->m_size, record->m_nID == 0, image);
  mis->itemWidth = static_cast<UINT>(size.cx);
  mis->itemHeight = static_cast<UINT>(size.cy);
}

void CMenuEx::OnInitMenuPopup(CMenu* popupMenu, UINT, BOOL sysMenu) {
  if (sysMenu) return;
  if (auto* menu = dynamic_cast<CMenuEx*>(popupMenu)) menu->UpdateItems();
}

void CMenuEx::UpdateItems() {
  if (!m_bOwnerDraw) return;
  const int count = GetMenuItemCount();
  for (int i = 0; i < count; ++i) {
    const auto pos = static_cast<UINT>(i);
    const UINT id = GetMenuItemID(i);
    const UINT state = GetMenuState(pos, MF_BYPOSITION);
    CString text;
    GetMenuString(pos, text, MF_BYPOSITION);
    const std::size_t at = static_cast<std::size_t>(i);
    if (at >= m_arrItems.size() || m_arrItems[at]->m_nID != static_cast<int>(id)) {
      CMenuExItem* record = nullptr;
      UINT flags = state & ~MF_OWNERDRAW;
      if ((state & MF_POPUP) != 0) {
        CMenu* sub = GetSubMenu(i);
        if (sub == nullptr) continue;
        flags = (state & 0xFFu) | MF_POPUP;
        record = MakeRecord(flags, reinterpret_cast<UINT_PTR>(sub->m_hMenu), text.c_str());
      } else {
        record = MakeRecord(id == 0 ? MF_SEPARATOR : flags, id, text.c_str());
      }
      if (record == nullptr) continue;
      MakeOwnerDrawn(pos, record->m_bPopup ? (state & 0xFFu) : flags, record);
      m_arrItems.insert(m_arrItems.begin() + static_cast<std::ptrdiff_t>(at), record);
      continue;
    }
    CMenuExItem* record = m_arrItems[at];
    if (record->m_bPopup) continue;
    if ((state & MF_OWNERDRAW) == 0 || text == record->m_strText) {
      // A changed text is measured again, so a longer one is not clipped.
      if (record->m_nID != 0 && text != record->m_strText) {
        record->m_size = MenuExRecordSize(TextWidth(text), false, false, m_nSeparatorHeight);
      }
      record->m_strText = text;
      MakeOwnerDrawn(pos, state & ~(MF_OWNERDRAW | MF_SEPARATOR), record);
    }
  }
  const std::size_t keep = count < 0 ? 0 : static_cast<std::size_t>(count);
  while (m_arrItems.size() > keep) {
    FreeRecord(m_arrItems.back());
    m_arrItems.pop_back();
  }
}

void CMenuEx::DrawItem(LPDRAWITEMSTRUCT dis) {
  if (dis == nullptr || dis->CtlType != ODT_MENU || dis->hDC == nullptr) return;
  const auto* record = reinterpret_cast<const CMenuExItem*>(dis->itemData);
  if (record == nullptr || LiveRecords().count(record) == 0) return;
  CDC& dc = *dis->hDC;
  const CRect item = dis->rcItem;
  const bool separator = record->m_nID == 0;
  const bool selected = (dis->itemState & ODS_SELECTED) != 0;
  const bool grayed = (dis->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
  const bool checked = (dis->itemState & ODS_CHECKED) != 0;

  // 1. Background and icon band.
  dc.FillSolidRect(item, m_crBackground);
  dc.FillSolidRect(CRect(item.left, item.top, item.left + m_szImage.cx + 2, item.bottom), m_crIconBand);

  // 2. Highlight.
  if (!separator && selected && !grayed) {
    const CPen oldPen = dc.SelectObject(CPen(PS_SOLID, 1, m_crSelectionFrame));
    const CBrush oldBrush = dc.SelectObject(CBrush(m_crSelectionFill));
    dc.Rectangle(item);
    dc.SelectObject(oldPen);
    dc.SelectObject(oldBrush);
  }

  // 3. Text.
  CRect textRect = item;
  textRect.left += m_szImage.cx + 10;
  dc.SetBkMode(TRANSPARENT);
  const COLORREF textColour = selected ? m_crTextSelected : m_crText;
  if (separator) {
    dc.FillSolidRect(textRect.left, item.top + item.Height() / 2 - 1, textRect.Width(), 1, RGB(197, 194, 184));
  } else {
    textRect.top += (item.Height() - dc.GetTextExtent(record->m_strText).cy) / 2;
    if (grayed) {
      DrawDisabledText(dc, record->m_strText, textRect, DT_EXPANDTABS);
    } else {
      dc.SetTextColor(textColour);
      dc.DrawText(record->m_strText, textRect, DT_EXPANDTABS | DT_VCENTER);
    }
  }
  dc.SetBkMode(OPAQUE);
  if (separator) return;

  // 4. Image, or the check box in its place.
  const CRect imageRect(CPoint(item.left + 1, item.top + 1), m_szImage);
  if (checked) {
    const CPen oldPen = dc.SelectObject(CPen(PS_SOLID, 1, m_crSelectionFrame));
    const CBrush oldBrush = dc.SelectObject(CBrush(m_crSelectionFill));
    dc.Rectangle(imageRect);
    dc.SelectObject(oldPen);
    dc.SelectObject(oldBrush);
    const CString mark = "\xE2\x88\x9A";  // the check mark
    CRect markRect = imageRect;
    const int markWidth = dc.GetTextExtent(mark).cx;
    markRect.left += (imageRect.Width() - markWidth) / 2;
    markRect.OffsetRect(0, -4);
    dc.SetBkMode(TRANSPARENT);
    const UINT format = DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER;
    if (grayed) {
      DrawDisabledText(dc, mark, markRect, format);
    } else {
      dc.SetTextColor(textColour);
      dc.DrawText(mark, markRect, format);
    }
    dc.SetBkMode(OPAQUE);
    return;
  }
  if (record->m_nImage == -1) return;
  const CImageList* list = record->m_pImageList;
  if (grayed && record->m_pDisabledImageList != nullptr) {
    list = record->m_pDisabledImageList;
  } else if (selected && record->m_pHotImageList != nullptr) {
    list = record->m_pHotImageList;
  }
  DrawImageListImage(dc, list, record->m_nImage, imageRect.TopLeft(), ILD_TRANSPARENT);
}

CMenuEx* CMenuEx::GetSubMenuEx(int position) const {
  if (position < 0 || static_cast<std::size_t>(position) >= m_arrItems.size()) return nullptr;
  return m_arrItems[static_cast<std::size_t>(position)]->m_pSubMenu;
}

CMenuEx* CMenuEx::FindMenuOfCommand(UINT id) {
  for (const CMenuExItem* record : m_arrItems) {
    if (!record->m_bPopup && record->m_nID != 0 && static_cast<UINT>(record->m_nID) == id) return this;
  }
  for (const CMenuExItem* record : m_arrItems) {
    if (record->m_pSubMenu == nullptr) continue;
    if (CMenuEx* found = record->m_pSubMenu->FindMenuOfCommand(id)) return found;
  }
  return nullptr;
}

void CMenuEx::ApplyImageLists() {
  for (CMenuExItem* record : m_arrItems) {
    if (record->m_nID == 0) continue;
    record->m_pImageList = m_pImageList;
    record->m_pDisabledImageList = m_pDisabledImageList;
    record->m_pHotImageList = m_pHotImageList;
  }
}

void CMenuEx::StoreList(CImageList* CMenuEx::*member, CImageList* list, bool takesSize) {
  if (list != nullptr && takesSize) m_szImage = list->GetImageSize();
  this->*member = list;
  ApplyImageLists();
  for (CMenuExItem* record : m_arrItems) {
    if (record->m_pSubMenu != nullptr) record->m_pSubMenu->StoreList(member, list, takesSize);
  }
}

// A normal list always gives the image size; the others only while no other list is set.
void CMenuEx::SetImageList(CImageList* list) { StoreList(&CMenuEx::m_pImageList, list, true); }

void CMenuEx::SetDisabledImageList(CImageList* list) {
  StoreList(&CMenuEx::m_pDisabledImageList, list, m_pImageList == nullptr && m_pHotImageList == nullptr);
}

void CMenuEx::SetHotImageList(CImageList* list) {
  StoreList(&CMenuEx::m_pHotImageList, list, m_pImageList == nullptr && m_pDisabledImageList == nullptr);
}

void CMenuEx::SetImageIndexes(const UINT* ids, int count) {
  if (ids == nullptr || (m_pImageList == nullptr && m_pDisabledImageList == nullptr && m_pHotImageList == nullptr))
    return;
  for (CMenuExItem* record : m_arrItems) {
    if (record->m_pSubMenu != nullptr) {
      record->m_pSubMenu->SetImageIndexes(ids, count);
      continue;
    }
    for (int j = 0; j < count; ++j) {
      if (record->m_nID != 0 && static_cast<UINT>(record->m_nID) == ids[j]) record->m_nImage = j;
    }
  }
}

void CMenuEx::LoadToolBarImages(CToolBar* toolBar) {
  if (toolBar == nullptr) return;
  SetImageList(toolBar->GetImageList(TB_GETIMAGELIST));
  SetDisabledImageList(toolBar->GetImageList(TB_GETDISABLEDIMAGELIST));
  SetHotImageList(toolBar->GetImageList(TB_GETHOTIMAGELIST));
  // Image j belongs to the j-th button that is not a separator.
  std::vector<UINT> ids;
  for (int i = 0; i < toolBar->GetButtonCount(); ++i) {
    if (toolBar->GetItemID(i) != 0) ids.push_back(toolBar->GetItemID(i));
  }
  SetImageIndexes(ids.data(), static_cast<int>(ids.size()));
}

void CMenuEx::Recolour(COLORREF CMenuEx::*member, COLORREF c) {
  this->*member = c;
  for (CMenuExItem* record : m_arrItems) {
    if (record->m_pSubMenu != nullptr) record->m_pSubMenu->Recolour(member, c);
  }
}

void CMenuEx::SetBackgroundColor(COLORREF c) { Recolour(&CMenuEx::m_crBackground, c); }
void CMenuEx::SetTextSelectedColor(COLORREF c) { Recolour(&CMenuEx::m_crTextSelected, c); }
void CMenuEx::SetTextColor(COLORREF c) { Recolour(&CMenuEx::m_crText, c); }
void CMenuEx::SetIconBandColor(COLORREF c) { Recolour(&CMenuEx::m_crIconBand, c); }
void CMenuEx::SetSelectionFrameColor(COLORREF c) { Recolour(&CMenuEx::m_crSelectionFrame, c); }
void CMenuEx::SetSelectionFillColor(COLORREF c) { Recolour(&CMenuEx::m_crSelectionFill, c); }
