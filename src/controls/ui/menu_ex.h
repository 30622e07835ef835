#pragma once
// An owner-drawn menu with a light icon band at the left, an optional image per item
// from up to three image lists (normal, disabled, hot), a framed highlight, a drawn
// check box and thin separators. Every position carries a record (its text, command
// and measured size) that is the owner-drawn item's data. The image lists belong to
// whoever made them: the menu and its records only point at them.

#include <optional>
#include <vector>

#include "platform/image_list.h"
#include "platform/menu.h"

class CMenuEx;
class CToolBar;

struct CMenuExItem {
  CString m_strText;
  int m_nID = 0;  // 0 separator, -1 an item that opens a sub-menu
  CSize m_size;
  CImageList* m_pImageList = nullptr;
  CImageList* m_pDisabledImageList = nullptr;
  CImageList* m_pHotImageList = nullptr;
  int m_nImage = -1;
  BOOL m_bPopup = FALSE;
  CMenuEx* m_pSubMenu = nullptr;  // owned by the menu that lists this record
};

class CMenuEx : public CMenu {
 public:
  CMenuEx();
  ~CMenuEx() override;

  // Frees every record and sub-menu, then the handle. The image lists are not freed.
  BOOL DestroyMenu() override;
  // Takes over a menu: its items are copied, then the source is destroyed.
  BOOL LoadMenu(HMENU menu);
  // From a registered menu template; FALSE when there is none.
  BOOL LoadMenu(UINT resourceId);
  BOOL LoadMenu(const char* resourceName);
  BOOL CopyItems(CMenu* source);

  BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const char* text = nullptr);
  // By position only: FALSE without MF_BYPOSITION.
  BOOL InsertMenu(UINT position, UINT flags, UINT_PTR id = 0, const char* text = nullptr);
  BOOL ModifyMenu(UINT position, UINT flags, UINT_PTR id = 0, const char* text = nullptr);
  BOOL RemoveMenu(UINT position, UINT flags);

  void DrawItem(LPDRAWITEMSTRUCT dis) override;
  static void OnMeasureItem(LPMEASUREITEMSTRUCT mis);
  static void OnInitMenuPopup(CMenu* popupMenu, UINT index, BOOL sysMenu);
  void UpdateItems();

  CMenuEx* GetSubMenuEx(int position) const;
  CMenuEx* FindMenuOfCommand(UINT id);
  void SetImageList(CImageList* list);
  void SetDisabledImageList(CImageList* list);
  void SetHotImageList(CImageList* list);
  void SetImageIndexes(const UINT* ids, int count);
  void LoadToolBarImages(CToolBar* toolBar);
  void SetBackgroundColor(COLORREF c);
  void SetTextSelectedColor(COLORREF c);
  void SetTextColor(COLORREF c);
  void SetIconBandColor(COLORREF c);
  void SetSelectionFrameColor(COLORREF c);
  void SetSelectionFillColor(COLORREF c);

  const std::vector<CMenuExItem*>& Items() const { return m_arrItems; }

  BOOL m_bOwnerDraw = FALSE;
  int m_nSeparatorHeight = 10;
  COLORREF m_crBackground;
  COLORREF m_crTextSelected;
  COLORREF m_crText;
  COLORREF m_crIconBand = RGB(236, 233, 216);
  COLORREF m_crSelectionFrame = RGB(49, 106, 197);
  COLORREF m_crSelectionFill = RGB(200, 220, 253);
  CSize m_szImage{20, 20};
  CImageList* m_pImageList = nullptr;
  CImageList* m_pDisabledImageList = nullptr;
  CImageList* m_pHotImageList = nullptr;

 private:
  // A record for (flags, id, text); for a sub-menu item also the new sub-menu,
  // loaded from the given handle. nullptr when that sub-menu cannot be made.
  CMenuExItem* MakeRecord(UINT flags, UINT_PTR id, const char* text);
  // Switches position i to owner-drawn with its record.
  BOOL MakeOwnerDrawn(UINT position, UINT flags, const CMenuExItem* record);
  static void FreeRecord(CMenuExItem* record);
  void FreeRecords();
  void ApplyImageLists();
  void StoreList(CImageList* CMenuEx::*member, CImageList* list, bool takesSize);
  void Recolour(COLORREF CMenuEx::*member, COLORREF c);

  std::vector<CMenuExItem*> m_arrItems;
};
