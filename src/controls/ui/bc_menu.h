#pragma once
// An owner-drawn menu whose items carry small bitmaps from toolbar or bitmap
// resources, drawn in a standard style (3-D frames on the menu colour) or an XP
// style (a shaded band behind the bitmaps, a framed light highlight). The handles of
// all sub-menus put into these menus stand in one registry, so a window can tell
// whether a pop-up it hears about is one of them. Texts are UTF-8. UI thread only.

#include <memory>
#include <vector>

#include "platform/image_list.h"
#include "platform/menu.h"

class CDC;

struct BCMenuItemRecord {
  CString m_pszText;
  int m_nImageOffset = -1;
  int m_nSharedIndex = -1;
  int m_nImage = -1;  // -1: no image of its own; 0: image m_nImageOffset of m_pImageList
  UINT m_nFlags = 0;
  UINT_PTR m_nID = 0;  // a sub-menu item: the sub-menu's handle
  BOOL m_bUsed = FALSE;
  std::unique_ptr<CImageList> m_pImageList;  // the item's own list
};

class BCMenu : public CMenu {
 public:
  BCMenu();
  ~BCMenu() override;

  BOOL DestroyMenu() override;
  void MeasureItem(LPMEASUREITEMSTRUCT mis) override;
  void DrawItem(LPDRAWITEMSTRUCT dis) override;
  // A menu bar from a registered template; FALSE when there is none.
  virtual BOOL LoadMenu(UINT resourceId);
  virtual BOOL LoadMenu(const char* resourceName);

  static BOOL IsBCMenu(CMenu* menu);
  static BOOL IsBCMenu(HMENU menu);
  // The menu-character answer: MAKELRESULT(position, MNC_EXECUTE) or 0.
  static LRESULT FindMenuCharItem(UINT nChar, UINT nFlags, CMenu* pMenu);

  // ---- items ----
  // A bitmap resource id (-1 for none), or an image list and offset (the image is
  // copied). MF_POPUP takes the sub-menu's handle as id.
  BOOL AppendODMenu(const char* text, UINT flags = MF_OWNERDRAW, UINT_PTR id = 0, int bitmapId = -1);
  BOOL AppendODMenu(const char* text, UINT flags, UINT_PTR id, const CImageList* list, int offset);
  BOOL InsertODMenu(UINT position, const char* text, UINT flags = MF_OWNERDRAW, UINT_PTR id = 0, int bitmapId = -1);
  BOOL InsertODMenu(UINT position, const char* text, UINT flags, UINT_PTR id, const CImageList* list, int offset);
  // The item of a command (depth first): a new text (nullptr keeps it) and image.
  BOOL ModifyODMenu(const char* text, UINT id, int bitmapId = -1);
  BOOL ModifyODMenu(const char* text, UINT id, const CImageList* list, int offset);
  BOOL SetMenuText(UINT position, const char* text, UINT flags = MF_BYPOSITION);
  BOOL GetMenuText(UINT position, CString& text, UINT flags = MF_BYPOSITION) const;
  // A new owner-drawn pop-up at the end; the sub-menu belongs to this menu.
  BCMenu* AppendODPopupMenu(const char* text);
  // A colour-swatch item: its bitmap, drawn here, is a rectangle outlined in `pen` and
  // filled with `brush` (hatch -1 plain, else an HS_ style), centred on the menu colour.
  BOOL AppendColorSwatch(const char* text, UINT_PTR id, COLORREF pen, COLORREF brush, int hatch = -1);
  // Pads the labels before the tabs, in this menu and its sub-menus, with blanks
  // measured in the menu font, so the accelerators line up (LoadMenu does it).
  void InsertSpaces();

  // ---- removal (a sub-menu made here goes with its item) ----
  BOOL RemoveMenu(UINT position, UINT flags);
  BOOL DeleteMenu(UINT position, UINT flags);
  // The first item with that text, and up to `before` items before it.
  BOOL RemoveMenuByText(const char* text, int before = 0);

  // ---- searches ----
  int GetMenuPosition(const char* text) const;
  BCMenu* GetSubBCMenu(const char* text);
  BCMenuItemRecord* FindRecordOfCommand(UINT id);
  BCMenu* FindMenuOfCommand(UINT id);
  BCMenuItemRecord* FindRecordOfSubMenu(HMENU sub);

  // ---- toolbars ----
  BOOL LoadToolbar(UINT toolBarId);
  BOOL LoadToolbars(const UINT* ids, int count);

  // ---- setters ----
  void SetBitmapBackground(COLORREF colour);
  void UnSetBitmapBackground();
  void SetBitmapDimension(int width, int height);
  // Image 0 for an unselected, image 1 for a selected checked item.
  BOOL SetCheckImages(const PixelImage& unselected, const PixelImage& selected);
  void SetEmbossViaDIB(BOOL on) { m_bEmbossViaDIB = on; }
  static void SetDrawStyle(int mode);
  // The draw mode in force: 1 is the XP style.
  static int DrawMode();
  static COLORREF LightenColor(COLORREF colour, double factor);
  static COLORREF DarkenColor(COLORREF colour, double factor);
  // The height of a menu bar line the measures use.
  static int SystemMenuHeight();

  // Adds a bitmap resource to the shared list (with its lighter and shadow copies
  // while shadowed images are on); the index, -1 when it cannot be read.
  static int AddSharedBitmap(UINT bitmapId);
  static void ClearSharedImages();

  const std::vector<BCMenuItemRecord*>& Records() const { return m_arrItemRecords; }
  const std::vector<HMENU>& SubMenuHandles() const { return m_arrSubMenuHandles; }
  int RegistrySize() const;

  std::vector<BCMenuItemRecord*> m_arrItemRecords;
  std::vector<HMENU> m_arrSubMenuHandles;
  int m_nBitmapWidth = 16;
  int m_nBitmapHeight = 15;
  COLORREF m_crBitmapTransparent = RGB(192, 192, 192);
  BOOL m_bTransparentSet = FALSE;
  BOOL m_bEmbossViaDIB = FALSE;
  CImageList* m_pCheckImages = nullptr;
  BOOL m_bCheckImagesShared = FALSE;
  int m_nCheckSelectedImage = -1;
  int m_nCheckImage = -1;
  BOOL m_bLoadedFromResource = FALSE;

  static std::vector<HMENU> s_arrAllMenuHandles;
  static CImageList s_sharedImages;
  static std::vector<UINT> s_arrSharedImageSources;
  static constexpr int s_nWinVersionClass = 6;  // a new shell, not a themed XP
  static int s_nDrawModeThemed;
  static int s_nDrawModeOther;
  static BOOL s_bSelectDisabledStd;
  static BOOL s_bSelectDisabledXP;
  static BOOL s_bXPShadowImages;
  static constexpr BOOL s_bClassicTheme = FALSE;

 private:
  struct ImageRef {
    const CImageList* list = nullptr;
    int index = -1;
    bool shadowed = false;
  };

  BOOL InsertRecord(UINT position, const char* text, UINT flags, UINT_PTR id, std::unique_ptr<CImageList> image);
  std::unique_ptr<CImageList> ImageFromBitmap(int bitmapId) const;
  std::unique_ptr<CImageList> ImageFromList(const CImageList* list, int offset) const;
  void SetRecordImage(BCMenuItemRecord* record, std::unique_ptr<CImageList> image);
  void Register(HMENU sub);
  void Unregister(HMENU sub);
  void ForgetSubMenu(HMENU sub);
  BOOL RemoveAt(UINT position);
  void Realign();
  void ShareCheckImages(BCMenu& sub);
  BOOL LoadFromTemplate(const std::vector<MenuTemplateItem>* items);
  ImageRef ImageOf(const BCMenuItemRecord& record) const;
  void DrawStandard(LPDRAWITEMSTRUCT dis, BCMenuItemRecord& record);
  void DrawXP(LPDRAWITEMSTRUCT dis, BCMenuItemRecord& record);
  void DrawTextParts(CDC& dc, CRect rect, const CString& text, COLORREF colour) const;
  void DrawCheckMark(CDC& dc, LPDRAWITEMSTRUCT dis, CPoint tickAt, CPoint dotAt) const;
  void DrawEmbossed(CDC& dc, const ImageRef& image, CPoint at, COLORREF background) const;
};
