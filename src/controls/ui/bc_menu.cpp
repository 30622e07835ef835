#include "controls/ui/bc_menu.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <optional>

#include "controls/menu_rules.h"
#include "controls/ui/bitmap_button_ex.h"
#include "controls/ui/image_toolbar.h"
#include "platform/ui/dc.h"
#include "platform/ui/offscreen_dc.h"

std::vector<HMENU> BCMenu::s_arrAllMenuHandles;
CImageList BCMenu::s_sharedImages;
std::vector<UINT> BCMenu::s_arrSharedImageSources;
int BCMenu::s_nDrawModeThemed = 1;
int BCMenu::s_nDrawModeOther = 0;
BOOL BCMenu::s_bSelectDisabledStd = TRUE;
BOOL BCMenu::s_bSelectDisabledXP = FALSE;
BOOL BCMenu::s_bXPShadowImages = TRUE;

namespace {

constexpr bool kThemedXp = BCMenu::s_nWinVersionClass == 7 && !BCMenu::s_bClassicTheme;
constexpr bool kNewShell = BCMenu::s_nWinVersionClass > 1;

int TextWidth(const CString& text) {
  QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&device);
  CDC dc(painter);
  return dc.GetTextExtent(text).cx;
}

void Frame(CDC& dc, const CRect& rect, COLORREF colour) { dc.Draw3dRect(rect, colour, colour); }

}  // namespace

BCMenu::BCMenu() = default;

BCMenu::~BCMenu() { BCMenu::DestroyMenu(); }

int BCMenu::RegistrySize() const { return static_cast<int>(s_arrAllMenuHandles.size()); }

void BCMenu::Register(HMENU sub) {
  s_arrAllMenuHandles.push_back(sub);
  m_arrSubMenuHandles.push_back(sub);
}

void BCMenu::Unregister(HMENU sub) {
  for (auto it = s_arrAllMenuHandles.rbegin(); it != s_arrAllMenuHandles.rend(); ++it) {
    if (*it == sub) {
      s_arrAllMenuHandles.erase(std::next(it).base());
      break;
    }
  }
}

// Out of both lists, and the object made for it deleted.
void BCMenu::ForgetSubMenu(HMENU sub) {
  Unregister(sub);
  std::erase(m_arrSubMenuHandles, sub);
  delete dynamic_cast<BCMenu*>(CMenu::FromHandlePermanent(sub));
}

BOOL BCMenu::DestroyMenu() {
  if (m_hMenu != nullptr) Unregister(m_hMenu);
  for (auto it = m_arrSubMenuHandles.rbegin(); it != m_arrSubMenuHandles.rend(); ++it) {
    Unregister(*it);
    delete dynamic_cast<BCMenu*>(CMenu::FromHandlePermanent(*it));
  }
  m_arrSubMenuHandles.clear();
  for (BCMenuItemRecord* record : m_arrItemRecords) delete record;
  m_arrItemRecords.clear();
  if (!m_bCheckImagesShared) delete m_pCheckImages;
  m_pCheckImages = nullptr;
  return CMenu::DestroyMenu();
}

BOOL BCMenu::IsBCMenu(HMENU menu) {
  if (menu == nullptr) return FALSE;
  return std::find(s_arrAllMenuHandles.begin(), s_arrAllMenuHandles.end(), menu) != s_arrAllMenuHandles.end();
}

BOOL BCMenu::IsBCMenu(CMenu* menu) { return menu != nullptr && IsBCMenu(menu->m_hMenu); }

LRESULT BCMenu::FindMenuCharItem(UINT nChar, UINT nFlags, CMenu* pMenu) {
  if (pMenu == nullptr || (nFlags & MF_POPUP) == 0) return 0;
  auto* menu = dynamic_cast<BCMenu*>(CMenu::FromHandlePermanent(pMenu->m_hMenu));
  if (menu == nullptr) return 0;
  if (menu->GetMenuItemCount() != static_cast<int>(menu->m_arrItemRecords.size())) menu->Realign();
  std::vector<std::string> texts;
  for (const BCMenuItemRecord* record : menu->m_arrItemRecords) texts.push_back(record->m_pszText);
  const int position = FindMenuCharPosition(nChar, texts);
  return position < 0 ? 0 : MAKELRESULT(static_cast<UINT>(position), MNC_EXECUTE);
}

void BCMenu::Realign() {
  for (BCMenuItemRecord* record : m_arrItemRecords) record->m_bUsed = FALSE;
  std::vector<BCMenuItemRecord*> taken;
  const int count = GetMenuItemCount();
  for (int i = 0; i < count; ++i) {
    const auto pos = static_cast<UINT>(i);
    const UINT state = GetMenuState(pos, MF_BYPOSITION);
    const bool popup = (state & MF_POPUP) != 0;
    const bool separator = !popup && GetMenuItemID(i) == 0;
    CMenu* sub = popup ? GetSubMenu(i) : nullptr;
    const UINT_PTR id = popup ? (sub != nullptr ? reinterpret_cast<UINT_PTR>(sub->m_hMenu) : 0)
                              : (separator ? 0 : GetMenuItemID(i));
    CString text;
    GetMenuString(pos, text, MF_BYPOSITION);
    BCMenuItemRecord* record = nullptr;
    for (BCMenuItemRecord* candidate : m_arrItemRecords) {
      if (!candidate->m_bUsed && candidate->m_nID == id) {
        record = candidate;
        break;
      }
    }
    const UINT flags = (popup ? ((state & 0xFFu) | MF_POPUP) : state) | MF_BYPOSITION | MF_OWNERDRAW;
    if (record != nullptr) {
      record->m_bUsed = TRUE;
      if (!text.empty()) record->m_pszText = text;
      if (!popup) {
        record->m_nFlags = separator ? (MF_BYPOSITION | MF_OWNERDRAW | MF_SEPARATOR) : flags;
        ModifyMenuOwnerDraw(pos, record->m_nFlags, id, reinterpret_cast<ULONG_PTR>(record));
      }
    } else {
      record = new BCMenuItemRecord;
      record->m_bUsed = TRUE;
      record->m_pszText = separator ? CString() : text;
      record->m_nFlags = separator ? (flags | MF_SEPARATOR) : flags;
      record->m_nID = id;
      m_arrItemRecords.push_back(record);
      ModifyMenuOwnerDraw(pos, record->m_nFlags, id, reinterpret_cast<ULONG_PTR>(record));
    }
    taken.push_back(record);
  }
  for (BCMenuItemRecord* record : m_arrItemRecords) {
    if (!record->m_bUsed) delete record;
  }
  m_arrItemRecords = std::move(taken);
}

int BCMenu::SystemMenuHeight() { return 19; }

int BCMenu::DrawMode() { return kThemedXp ? s_nDrawModeThemed : s_nDrawModeOther; }

void BCMenu::SetDrawStyle(int mode) {
  s_nDrawModeThemed = mode;
  s_nDrawModeOther = mode;
}

COLORREF BCMenu::LightenColor(COLORREF colour, double factor) { return ::LightenColor(colour, factor); }
COLORREF BCMenu::DarkenColor(COLORREF colour, double factor) { return ::DarkenColor(colour, factor); }

void BCMenu::MeasureItem(LPMEASUREITEMSTRUCT mis) {
  if (mis == nullptr || mis->CtlType != ODT_MENU) return;
  const auto* record = reinterpret_cast<const BCMenuItemRecord*>(mis->itemData);
  if (record == nullptr) return;
  const bool xp = DrawMode() == 1;
  CSize size;
  if ((record->m_nFlags & MF_SEPARATOR) != 0) {
    size = BCMenuSeparatorSize(SystemMenuHeight(), m_nBitmapHeight, xp, s_bXPShadowImages != FALSE);
  } else {
    size = BCMenuItemSize(TextWidth(record->m_pszText), m_nBitmapWidth, m_nBitmapHeight, SystemMenuHeight(), xp,
                          s_bXPShadowImages != FALSE);
  }
  mis->itemWidth = static_cast<UINT>(size.cx);
  mis->itemHeight = static_cast<UINT>(size.cy);
}

// ---- items ----

std::unique_ptr<CImageList> BCMenu::ImageFromList(const CImageList* list, int offset) const {
  if (list == nullptr) return nullptr;
  const PixelImage* image = list->Image(offset);
  if (image == nullptr) return nullptr;
  auto own = std::make_unique<CImageList>();
  own->Create(m_nBitmapWidth, m_nBitmapHeight, ILC_COLOR32 | ILC_MASK, 1, 0);
  own->Add(*image);
  return own;
}

std::unique_ptr<CImageList> BCMenu::ImageFromBitmap(int bitmapId) const {
  if (bitmapId < 0) return nullptr;
  const PixelImage strip = FromQImage(LoadButtonImage(static_cast<UINT>(bitmapId)));
  if (strip.IsNull()) return nullptr;
  auto own = std::make_unique<CImageList>();
  own->Create(m_nBitmapWidth, m_nBitmapHeight, ILC_COLOR32 | ILC_MASK, 1, 0);
  const COLORREF key = m_bTransparentSet ? m_crBitmapTransparent : PixelColour(strip.At(0, 0));
  if (own->Add(strip.Copy(0, 0, m_nBitmapWidth, m_nBitmapHeight), key) < 0) return nullptr;
  return own;
}

void BCMenu::SetRecordImage(BCMenuItemRecord* record, std::unique_ptr<CImageList> image) {
  if (!image) return;
  record->m_pImageList = std::move(image);
  record->m_nImage = 0;
  record->m_nImageOffset = 0;
}

BOOL BCMenu::InsertRecord(UINT position, const char* text, UINT flags, UINT_PTR id,
                          std::unique_ptr<CImageList> image) {
  if (m_hMenu == nullptr) {
    if (!CreatePopupMenu()) return FALSE;
  }
  if (m_bLoadedFromResource) Realign();
  const UINT count = static_cast<UINT>(GetMenuItemCount());
  const UINT at = position > count ? count : position;
  auto record = std::make_unique<BCMenuItemRecord>();
  const bool separator = (flags & MF_SEPARATOR) != 0 || ((flags & MF_POPUP) == 0 && id == 0);
  record->m_nFlags = separator ? (MF_OWNERDRAW | MF_SEPARATOR | (flags & MF_BYPOSITION)) : (flags | MF_OWNERDRAW);
  record->m_nID = separator ? 0 : id;
  if (!separator && text != nullptr) record->m_pszText = text;
  SetRecordImage(record.get(), std::move(image));
  if (!InsertMenuOwnerDraw(at, record->m_nFlags | MF_BYPOSITION, record->m_nID,
                           reinterpret_cast<ULONG_PTR>(record.get())))
    return FALSE;
  if ((flags & MF_POPUP) != 0) Register(MenuFromValue(id));
  m_arrItemRecords.insert(m_arrItemRecords.begin() + std::min<std::size_t>(at, m_arrItemRecords.size()),
                          record.release());
  return TRUE;
}

BOOL BCMenu::AppendODMenu(const char* text, UINT flags, UINT_PTR id, int bitmapId) {
  return InsertRecord(0xFFFFFFFFu, text, flags, id, ImageFromBitmap(bitmapId));
}

BOOL BCMenu::AppendODMenu(const char* text, UINT flags, UINT_PTR id, const CImageList* list, int offset) {
  return InsertRecord(0xFFFFFFFFu, text, flags, id, ImageFromList(list, offset));
}

BOOL BCMenu::InsertODMenu(UINT position, const char* text, UINT flags, UINT_PTR id, int bitmapId) {
  return InsertRecord(position, text, flags, id, ImageFromBitmap(bitmapId));
}

BOOL BCMenu::InsertODMenu(UINT position, const char* text, UINT flags, UINT_PTR id, const CImageList* list,
                          int offset) {
  return InsertRecord(position, text, flags, id, ImageFromList(list, offset));
}

BOOL BCMenu::ModifyODMenu(const char* text, UINT id, int bitmapId) {
  BCMenuItemRecord* record = FindRecordOfCommand(id);
  if (record == nullptr) return FALSE;
  if (text != nullptr) record->m_pszText = text;
  SetRecordImage(record, ImageFromBitmap(bitmapId));
  return TRUE;
}

BOOL BCMenu::ModifyODMenu(const char* text, UINT id, const CImageList* list, int offset) {
  BCMenuItemRecord* record = FindRecordOfCommand(id);
  if (record == nullptr) return FALSE;
  if (text != nullptr) record->m_pszText = text;
  SetRecordImage(record, ImageFromList(list, offset));
  return TRUE;
}

BOOL BCMenu::SetMenuText(UINT position, const char* text, UINT flags) {
  if ((flags & MF_BYPOSITION) == 0) {
    BCMenuItemRecord* record = FindRecordOfCommand(position);
    if (record == nullptr || text == nullptr) return FALSE;
    record->m_pszText = text;
    return TRUE;
  }
  if (m_bLoadedFromResource) Realign();
  if (text == nullptr || position >= m_arrItemRecords.size()) return FALSE;
  m_arrItemRecords[position]->m_pszText = text;
  return TRUE;
}

BOOL BCMenu::GetMenuText(UINT position, CString& text, UINT flags) const {
  if ((flags & MF_BYPOSITION) == 0) {
    auto* record = const_cast<BCMenu*>(this)->FindRecordOfCommand(position);
    if (record == nullptr) return FALSE;
    text = record->m_pszText;
    return TRUE;
  }
  if (position >= m_arrItemRecords.size()) return FALSE;
  text = m_arrItemRecords[position]->m_pszText;
  return TRUE;
}

void BCMenu::ShareCheckImages(BCMenu& sub) {
  sub.m_pCheckImages = m_pCheckImages;
  sub.m_bCheckImagesShared = TRUE;
  sub.m_nCheckImage = m_nCheckImage;
  sub.m_nCheckSelectedImage = m_nCheckSelectedImage;
  sub.m_nBitmapWidth = m_nBitmapWidth;
  sub.m_nBitmapHeight = m_nBitmapHeight;
}

BCMenu* BCMenu::AppendODPopupMenu(const char* text) {
  auto* sub = new BCMenu;
  sub->CreatePopupMenu();
  ShareCheckImages(*sub);
  if (!AppendODMenu(text, MF_POPUP | MF_OWNERDRAW, reinterpret_cast<UINT_PTR>(sub->m_hMenu))) {
    delete sub;
    return nullptr;
  }
  return sub;
}

// ---- removal ----

BOOL BCMenu::RemoveAt(UINT position) {
  if (m_bLoadedFromResource) Realign();
  if (position >= static_cast<UINT>(GetMenuItemCount())) return FALSE;
  CMenu* sub = (GetMenuState(position, MF_BYPOSITION) & MF_POPUP) != 0 ? GetSubMenu(static_cast<int>(position)) : nullptr;
  const HMENU subHandle = sub != nullptr ? sub->m_hMenu : nullptr;
  if (!CMenu::RemoveMenu(position, MF_BYPOSITION)) return FALSE;
  if (position < m_arrItemRecords.size()) {
    delete m_arrItemRecords[position];
    m_arrItemRecords.erase(m_arrItemRecords.begin() + position);
  }
  if (subHandle != nullptr) {
    const bool ours = std::find(m_arrSubMenuHandles.begin(), m_arrSubMenuHandles.end(), subHandle) !=
                      m_arrSubMenuHandles.end();
    if (ours) ForgetSubMenu(subHandle);
  }
  return TRUE;
}

BOOL BCMenu::RemoveMenu(UINT position, UINT flags) {
  if ((flags & MF_BYPOSITION) != 0) return RemoveAt(position);
  BCMenu* holder = FindMenuOfCommand(position);
  if (holder == nullptr) return FALSE;
  for (std::size_t i = 0; i < holder->m_arrItemRecords.size(); ++i) {
    if (holder->m_arrItemRecords[i]->m_nID == position) return holder->RemoveAt(static_cast<UINT>(i));
  }
  return FALSE;
}

BOOL BCMenu::DeleteMenu(UINT position, UINT flags) { return RemoveMenu(position, flags); }

BOOL BCMenu::RemoveMenuByText(const char* text, int before) {
  const int position = GetMenuPosition(text);
  if (position < 0) return FALSE;
  RemoveAt(static_cast<UINT>(position));
  for (int i = 1; i <= before && position - i >= 0; ++i) RemoveAt(static_cast<UINT>(position - i));
  return TRUE;
}

// ---- searches ----

int BCMenu::GetMenuPosition(const char* text) const {
  if (text == nullptr) return -1;
  for (std::size_t i = 0; i < m_arrItemRecords.size(); ++i) {
    if (m_arrItemRecords[i]->m_pszText == text) return static_cast<int>(i);
  }
  return -1;
}

BCMenu* BCMenu::GetSubBCMenu(const char* text) {
  if (text == nullptr) return nullptr;
  for (BCMenuItemRecord* record : m_arrItemRecords) {
    if ((record->m_nFlags & MF_POPUP) == 0) continue;
    auto* sub = dynamic_cast<BCMenu*>(CMenu::FromHandlePermanent(MenuFromValue(record->m_nID)));
    if (sub == nullptr) continue;
    if (record->m_pszText == text) return sub;
    if (BCMenu* deeper = sub->GetSubBCMenu(text)) return deeper;
  }
  return nullptr;
}

BCMenuItemRecord* BCMenu::FindRecordOfCommand(UINT id) {
  BCMenu* holder = FindMenuOfCommand(id);
  if (holder == nullptr) return nullptr;
  for (BCMenuItemRecord* record : holder->m_arrItemRecords) {
    if ((record->m_nFlags & (MF_POPUP | MF_SEPARATOR)) == 0 && record->m_nID == id) return record;
  }
  return nullptr;
}

BCMenu* BCMenu::FindMenuOfCommand(UINT id) {
  for (BCMenuItemRecord* record : m_arrItemRecords) {
    if ((record->m_nFlags & (MF_POPUP | MF_SEPARATOR)) == 0 && record->m_nID == id) return this;
  }
  for (BCMenuItemRecord* record : m_arrItemRecords) {
    if ((record->m_nFlags & MF_POPUP) == 0) continue;
    auto* sub = dynamic_cast<BCMenu*>(CMenu::FromHandlePermanent(MenuFromValue(record->m_nID)));
    if (sub == nullptr) continue;
    if (BCMenu* found = sub->FindMenuOfCommand(id)) return found;
  }
  return nullptr;
}

BCMenuItemRecord* BCMenu::FindRecordOfSubMenu(HMENU subMenu) {
  for (BCMenuItemRecord* record : m_arrItemRecords) {
    if ((record->m_nFlags & MF_POPUP) == 0) continue;
    if (MenuFromValue(record->m_nID) == subMenu) return record;
    auto* sub = dynamic_cast<BCMenu*>(CMenu::FromHandlePermanent(MenuFromValue(record->m_nID)));
    if (sub == nullptr) continue;
    if (BCMenuItemRecord* found = sub->FindRecordOfSubMenu(subMenu)) return found;
  }
  return nullptr;
}

// ---- loading ----

BOOL BCMenu::LoadFromTemplate(const std::vector<MenuTemplateItem>* items) {
  if (items == nullptr || items->empty()) return FALSE;
  DestroyMenu();
  if (!CreateMenu()) return FALSE;
  std::function<bool(BCMenu&, const std::vector<MenuTemplateItem>&)> fill = [&](BCMenu& menu,
                                                                                const std::vector<MenuTemplateItem>& level) {
    for (const MenuTemplateItem& entry : level) {
      const UINT flags = entry.flags & ~(MF_END | MF_BYPOSITION);
      if ((flags & MF_POPUP) != 0) {
        BCMenu* sub = menu.AppendODPopupMenu(entry.text.c_str());
        if (sub == nullptr || !fill(*sub, entry.items)) return false;
        // The flags of the pop-up item itself (grayed...) are kept on its record.
        menu.m_arrItemRecords.back()->m_nFlags |= flags & (MF_GRAYED | MF_DISABLED);
      } else if ((flags & MF_SEPARATOR) != 0 || (entry.id == 0 && entry.text.empty())) {
        if (!menu.AppendODMenu(nullptr, MF_SEPARATOR | MF_OWNERDRAW, 0)) return false;
      } else if (!menu.AppendODMenu(entry.text.c_str(), flags | MF_OWNERDRAW, entry.id)) {
        return false;
      }
    }
    return true;
  };
  if (!fill(*this, *items)) {
    DestroyMenu();
    return FALSE;
  }
  // The top level is a bar of plain text items.
  for (std::size_t i = 0; i < m_arrItemRecords.size(); ++i) {
    const BCMenuItemRecord* record = m_arrItemRecords[i];
    const UINT flags = (record->m_nFlags & ~MF_OWNERDRAW) | MF_BYPOSITION;
    CMenu::ModifyMenu(static_cast<UINT>(i), (record->m_nFlags & MF_SEPARATOR) != 0 ? MF_BYPOSITION | MF_SEPARATOR : flags,
                      record->m_nID, record->m_pszText.c_str());
  }
  InsertSpaces();
  m_bLoadedFromResource = TRUE;
  return TRUE;
}

void BCMenu::InsertSpaces() {
  const QFontMetrics metrics(QApplication::font("QMenu"));
  std::vector<std::string> texts;
  for (const BCMenuItemRecord* record : m_arrItemRecords) texts.push_back(record->m_pszText);
  const std::vector<std::string> aligned = AlignAccelerators(
      texts, [&metrics](const std::string& label) { return metrics.horizontalAdvance(QString::fromStdString(label)); });
  for (std::size_t i = 0; i < m_arrItemRecords.size(); ++i) {
    BCMenuItemRecord* record = m_arrItemRecords[i];
    record->m_pszText = aligned[i];
    if ((record->m_nFlags & MF_POPUP) == 0) continue;
    if (auto* sub = dynamic_cast<BCMenu*>(CMenu::FromHandlePermanent(MenuFromValue(record->m_nID)))) sub->InsertSpaces();
  }
}

BOOL BCMenu::AppendColorSwatch(const char* text, UINT_PTR id, COLORREF pen, COLORREF brush, int hatch) {
  auto swatch = std::make_unique<CImageList>();
  swatch->Create(m_nBitmapWidth, m_nBitmapHeight, ILC_COLOR32, 1, 0);
  if (swatch->Add(SwatchImage(m_nBitmapWidth, m_nBitmapHeight, GetSysColor(COLOR_MENU), pen, brush, hatch)) < 0) {
    return FALSE;
  }
  return InsertRecord(0xFFFFFFFFu, text, MF_OWNERDRAW, id, std::move(swatch));
}

BOOL BCMenu::LoadMenu(UINT resourceId) { return LoadFromTemplate(FindMenuResource(resourceId)); }

BOOL BCMenu::LoadMenu(const char* resourceName) {
  if (resourceName == nullptr) return FALSE;
  return LoadFromTemplate(FindMenuResource(std::string(resourceName)));
}

BOOL BCMenu::LoadToolbar(UINT toolBarId) {
  CImageToolBar2 bar;
  if (!bar.LoadToolBar(toolBarId)) return FALSE;
  int width = 0;
  int height = 0;
  bar.GetButtonSize(width, height);
  SetBitmapDimension(std::max(width, m_nBitmapWidth), std::max(height, m_nBitmapHeight));
  const CImageList* images = bar.GetImageList(TB_GETIMAGELIST);
  int image = 0;
  for (int i = 0; i < bar.GetButtonCount(); ++i) {
    const UINT id = bar.GetItemID(i);
    if (id == 0) continue;
    if (BCMenuItemRecord* record = FindRecordOfCommand(id)) SetRecordImage(record, ImageFromList(images, image));
    ++image;
  }
  return TRUE;
}

BOOL BCMenu::LoadToolbars(const UINT* ids, int count) {
  if (ids == nullptr) return FALSE;
  BOOL all = TRUE;
  for (int i = 0; i < count; ++i) all = LoadToolbar(ids[i]) && all;
  return all;
}

// ---- setters ----

void BCMenu::SetBitmapBackground(COLORREF colour) {
  m_crBitmapTransparent = colour;
  m_bTransparentSet = TRUE;
}

void BCMenu::UnSetBitmapBackground() {
  m_crBitmapTransparent = RGB(192, 192, 192);
  m_bTransparentSet = FALSE;
}

void BCMenu::SetBitmapDimension(int width, int height) {
  m_nBitmapWidth = std::max(width, 1);
  m_nBitmapHeight = std::max(height, 1);
}

BOOL BCMenu::SetCheckImages(const PixelImage& unselected, const PixelImage& selected) {
  if (unselected.IsNull() || selected.IsNull()) return FALSE;
  if (!m_bCheckImagesShared) delete m_pCheckImages;
  m_pCheckImages = new CImageList;
  m_bCheckImagesShared = FALSE;
  m_pCheckImages->Create(m_nBitmapWidth, m_nBitmapHeight, ILC_COLOR32 | ILC_MASK, 2, 0);
  m_pCheckImages->Add(unselected.Copy(0, 0, m_nBitmapWidth, m_nBitmapHeight));
  m_pCheckImages->Add(selected.Copy(0, 0, m_nBitmapWidth, m_nBitmapHeight));
  m_nCheckImage = 0;
  m_nCheckSelectedImage = 1;
  return TRUE;
}

int BCMenu::AddSharedBitmap(UINT bitmapId) {
  const PixelImage bitmap = FromQImage(LoadButtonImage(bitmapId));
  if (bitmap.IsNull()) return -1;
  if (!s_sharedImages.GetSafeHandle()) s_sharedImages.Create(bitmap.width, bitmap.height, ILC_COLOR32 | ILC_MASK, 4, 4);
  const int index = s_sharedImages.Add(bitmap);
  if (index < 0) return -1;
  s_arrSharedImageSources.push_back(bitmapId);
  if (s_bXPShadowImages) {
    PixelImage lighter = bitmap;
    PixelImage shadow = bitmap;
    for (std::size_t i = 0; i < bitmap.pixels.size(); ++i) {
      if ((bitmap.pixels[i] >> 24) == 0) continue;
      lighter.pixels[i] = OpaquePixel(::LightenColor(PixelColour(bitmap.pixels[i]), 0.3));
      shadow.pixels[i] = OpaquePixel(GetSysColor(COLOR_BTNSHADOW));
    }
    s_sharedImages.Add(lighter);
    s_arrSharedImageSources.push_back(bitmapId);
    s_sharedImages.Add(shadow);
    s_arrSharedImageSources.push_back(bitmapId);
  }
  return index;
}

void BCMenu::ClearSharedImages() {
  s_sharedImages.DeleteImageList();
  s_arrSharedImageSources.clear();
}

// ---- drawing ----

BCMenu::ImageRef BCMenu::ImageOf(const BCMenuItemRecord& record) const {
  ImageRef ref;
  if (record.m_nImage >= 0 && record.m_pImageList && record.m_pImageList->Image(record.m_nImageOffset) != nullptr) {
    ref.list = record.m_pImageList.get();
    ref.index = record.m_nImageOffset;
    ref.shadowed = s_bXPShadowImages && record.m_pImageList->GetImageCount() > 2 && record.m_nImageOffset == 0;
  } else if (record.m_nImage == -1 && record.m_nSharedIndex >= 0 && s_sharedImages.Image(record.m_nSharedIndex)) {
    ref.list = &s_sharedImages;
    ref.index = record.m_nSharedIndex;
    const auto i = static_cast<std::size_t>(ref.index);
    ref.shadowed = s_bXPShadowImages && i + 2 < s_arrSharedImageSources.size() &&
                   s_arrSharedImageSources[i + 1] == s_arrSharedImageSources[i] &&
                   s_arrSharedImageSources[i + 2] == s_arrSharedImageSources[i];
  }
  return ref;
}

void BCMenu::DrawTextParts(CDC& dc, CRect rect, const CString& text, COLORREF colour) const {
  const MenuTextParts parts = SplitMenuText(text);
  if (parts.hasTab) rect.right -= m_nBitmapWidth;
  const int oldMode = dc.SetBkMode(TRANSPARENT);
  const COLORREF oldColour = dc.SetTextColor(colour);
  dc.DrawText(parts.label, rect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (parts.hasTab) dc.DrawText(parts.accelerator, rect, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
  dc.SetTextColor(oldColour);
  dc.SetBkMode(oldMode);
}

void BCMenu::DrawCheckMark(CDC& dc, LPDRAWITEMSTRUCT dis, CPoint tickAt, CPoint dotAt) const {
  MENUITEMINFO info;
  info.fMask = MIIM_CHECKMARKS;
  CMenu* holder = CMenu::FromHandle(dis->hwndItem);
  const bool dot = holder != nullptr && holder->GetMenuItemInfo(dis->itemID, &info, FALSE) && info.hbmpChecked != 0;
  const COLORREF colour = GetSysColor(COLOR_MENUTEXT);
  const CPen oldPen = dc.SelectObject(CPen(PS_SOLID, 1, colour));
  if (dot) {
    const CBrush oldBrush = dc.SelectObject(CBrush(colour));
    dc.Ellipse(dotAt.x, dotAt.y, dotAt.x + 6, dotAt.y + 6);
    dc.SelectObject(oldBrush);
  } else {
    for (const TickStroke& stroke : TickStrokes(tickAt.x, tickAt.y)) {
      dc.MoveTo(stroke.x, stroke.top);
      dc.LineTo(stroke.x, stroke.top + 3);
    }
  }
  dc.SelectObject(oldPen);
}

void BCMenu::DrawEmbossed(CDC& dc, const ImageRef& image, CPoint at, COLORREF background) const {
  const PixelImage* icon = image.list != nullptr ? image.list->Image(image.index) : nullptr;
  if (icon == nullptr) return;
  // The icon laid on the button face at the bitmap size (the DIB variant gives the
  // same pixels), then embossed.
  const int w = m_nBitmapWidth;
  const int h = m_nBitmapHeight;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  std::vector<COLORREF> pixels(static_cast<std::size_t>(w) * h, face);
  for (int y = 0; y < std::min(h, icon->height); ++y) {
    for (int x = 0; x < std::min(w, icon->width); ++x) {
      const std::uint32_t p = icon->At(x, y);
      if ((p >> 24) != 0) pixels[static_cast<std::size_t>(y) * w + x] = PixelColour(p);
    }
  }
  const std::vector<COLORREF> embossed = EmbossPixels(pixels, w, h, face, GetSysColor(COLOR_BTNHIGHLIGHT),
                                                      GetSysColor(COLOR_BTNSHADOW), background);
  PixelImage out(w, h);
  for (std::size_t i = 0; i < embossed.size(); ++i) out.pixels[i] = OpaquePixel(embossed[i]);
  DrawPixelImage(dc, out, at);
}

void BCMenu::DrawItem(LPDRAWITEMSTRUCT dis) {
  if (dis == nullptr || dis->CtlType != ODT_MENU || dis->hDC == nullptr) return;
  auto* record = reinterpret_cast<BCMenuItemRecord*>(dis->itemData);
  if (record == nullptr) return;
  const bool palette = (dis->hDC->GetDeviceCaps(RASTERCAPS) & RC_PALETTE) != 0;
  if (BCMenuUsesXpStyle(palette, DrawMode())) {
    DrawXP(dis, *record);
  } else {
    DrawStandard(dis, *record);
  }
}

void BCMenu::DrawStandard(LPDRAWITEMSTRUCT dis, BCMenuItemRecord& record) {
  CDC& dc = *dis->hDC;
  const CRect rect = dis->rcItem;
  const COLORREF bg = GetSysColor(kThemedXp ? COLOR_BTNFACE : COLOR_MENU);
  const bool grayed = (dis->itemState & ODS_GRAYED) != 0;
  const bool checked = (dis->itemState & ODS_CHECKED) != 0;
  bool selected = (dis->itemState & ODS_SELECTED) != 0;
  if (!s_bSelectDisabledStd && grayed) selected = false;

  if ((record.m_nFlags & MF_SEPARATOR) != 0) {
    dc.FillSolidRect(rect, bg);
    CRect edge = rect;
    edge.top += edge.Height() / 2;
    dc.DrawEdge(edge, EDGE_ETCHED, BF_TOP);
    return;
  }
  const ImageRef image = ImageOf(record);
  const bool hasImage = image.list != nullptr;
  const bool checkImage = checked && !hasImage && m_pCheckImages != nullptr &&
                          ((selected && m_nCheckSelectedImage >= 0) || m_nCheckImage >= 0);
  COLORREF textColour = GetSysColor(COLOR_MENUTEXT);
  if (selected) {
    CRect highlight = rect;
    if (hasImage || checkImage || checked) highlight.left = rect.left + m_nBitmapWidth + 5;
    dc.FillSolidRect(highlight, GetSysColor(COLOR_HIGHLIGHT));
    textColour = GetSysColor(COLOR_HIGHLIGHTTEXT);
  } else {
    dc.FillSolidRect(rect, bg);
  }
  const int dy = StandardBitmapOffset(rect.Height(), m_nBitmapHeight);
  const CRect frameArea(rect.left + 1, rect.top + dy + 1, rect.left + m_nBitmapWidth + 3,
                        rect.top + m_nBitmapHeight + dy + 3);
  const CRect box(rect.left, rect.top + dy, rect.left + m_nBitmapWidth + 4, rect.top + m_nBitmapHeight + dy + 4);
  const CPoint at(rect.left + 2, rect.top + dy + 2);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
  if (hasImage || checkImage) dc.FillSolidRect(frameArea, bg);
  if (checkImage) {
    const int index = selected && m_nCheckSelectedImage >= 0 ? m_nCheckSelectedImage : m_nCheckImage;
    DrawImageListImage(dc, m_pCheckImages, index, at);
  } else if (hasImage && grayed) {
    DrawEmbossed(dc, image, at, bg);
  } else if (hasImage && selected) {
    if (kNewShell) {
      if (checked) {
        dc.Draw3dRect(box, shadow, light);
      } else {
        dc.Draw3dRect(box, light, shadow);
      }
    }
    DrawImageListImage(dc, image.list, image.index, at);
  } else if (hasImage) {
    if (checked) {
      dc.FillSolidRect(frameArea, ::LightenColor(bg, 0.6));
      if (kNewShell) dc.Draw3dRect(box, shadow, light);
    }
    DrawImageListImage(dc, image.list, image.index, at);
  } else if (checked) {
    CRect check(rect.left + 1, rect.top + dy + 2, rect.left + m_nBitmapWidth + 1, rect.top + m_nBitmapHeight + dy + 2);
    dc.FillSolidRect(check, selected ? bg : ::LightenColor(bg, 0.6));
    if (kNewShell) {
      CRect edge = check;
      dc.DrawEdge(edge, BDR_SUNKENOUTER, BF_RECT);
    }
    DrawCheckMark(dc, dis, CPoint(check.left + 4, check.top + 4), CPoint(check.left + 5, check.top + 4));
  }
  const CRect textRect(rect.left + m_nBitmapWidth + 9, rect.top - 1, rect.right, rect.bottom - 1);
  if (!grayed) {
    DrawTextParts(dc, textRect, record.m_pszText, textColour);
  } else if (selected) {
    DrawTextParts(dc, textRect, record.m_pszText, bg);
  } else {
    CRect shifted = textRect;
    shifted.OffsetRect(1, 1);
    DrawTextParts(dc, shifted, record.m_pszText, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextParts(dc, textRect, record.m_pszText, GetSysColor(COLOR_GRAYTEXT));
  }
}

void BCMenu::DrawXP(LPDRAWITEMSTRUCT dis, BCMenuItemRecord& record) {
  const CRect rect = dis->rcItem;
  const bool grayed = (dis->itemState & ODS_GRAYED) != 0;
  const bool checked = (dis->itemState & ODS_CHECKED) != 0;
  bool selected = (dis->itemState & ODS_SELECTED) != 0;
  std::optional<COffscreenDC> offscreen;
  CDC* target = dis->hDC;
  if (!s_bSelectDisabledXP && grayed) {
    selected = false;
    offscreen.emplace(dis->hDC, rect);
    offscreen->SelectObject(CFont(ApplicationFont()));
    target = &*offscreen;
  }
  CDC& dc = *target;
  const COLORREF band = kThemedXp ? GetSysColor(COLOR_BTNFACE) : ::LightenColor(GetSysColor(COLOR_BTNFACE), 0.25);
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  const COLORREF frame = GetSysColor(COLOR_HIGHLIGHT);
  const COLORREF fill = ::LightenColor(GetSysColor(COLOR_HIGHLIGHT), kThemedXp ? 0.7 : 0.85);
  const int border = BCMenuBorder(true, s_bXPShadowImages != FALSE);
  const int bandWidth = m_nBitmapWidth + border;

  if ((record.m_nFlags & MF_SEPARATOR) != 0) {
    dc.FillSolidRect(rect, window);
    CRect edge(rect.left + bandWidth + border, rect.top + rect.Height() / 2, rect.right, rect.bottom);
    dc.DrawEdge(edge, EDGE_ETCHED, BF_TOP);
    dc.FillSolidRect(rect.left, rect.top, bandWidth, rect.Height(), band);
    return;
  }
  if (selected) {
    dc.FillSolidRect(rect, fill);
    Frame(dc, rect, frame);
  } else {
    dc.FillSolidRect(rect, window);
    dc.FillSolidRect(rect.left, rect.top, bandWidth, rect.Height(), band);
  }
  const ImageRef image = ImageOf(record);
  const bool hasImage = image.list != nullptr;
  const bool checkImage = checked && !hasImage && m_pCheckImages != nullptr &&
                          ((selected && m_nCheckSelectedImage >= 0) || m_nCheckImage >= 0);
  const int dy = HalfRoundedUp(rect.Height() - m_nBitmapHeight);
  const int dx = HalfRoundedUp(bandWidth - m_nBitmapWidth);
  const CRect area(rect.left + 1, rect.top + 1, rect.left + bandWidth - 1, rect.bottom - 1);
  const CPoint at(rect.left + dx, rect.top + dy);
  if (checkImage) {
    dc.FillSolidRect(area, band);
    const int index = selected && m_nCheckSelectedImage >= 0 ? m_nCheckSelectedImage : m_nCheckImage;
    DrawImageListImage(dc, m_pCheckImages, index, at);
  } else if (hasImage && grayed) {
    dc.FillSolidRect(area, selected ? fill : band);
    DrawEmbossed(dc, image, at, selected ? fill : band);
    if (selected) Frame(dc, area, frame);
  } else if (hasImage && selected) {
    dc.FillSolidRect(area, fill);
    if (checked) {
      Frame(dc, area, frame);
      DrawImageListImage(dc, image.list, image.index, CPoint(at.x - 1, at.y - 1));
    } else if (image.shadowed) {
      DrawImageListImage(dc, image.list, image.index + 2, CPoint(at.x + 1, at.y + 1));
      DrawImageListImage(dc, image.list, image.index, CPoint(at.x - 1, at.y - 1));
    } else {
      DrawImageListImage(dc, image.list, image.index, at);
    }
  } else if (hasImage) {
    if (checked) {
      dc.FillSolidRect(area, ::LightenColor(GetSysColor(COLOR_HIGHLIGHT), 0.85));
      Frame(dc, area, frame);
      DrawImageListImage(dc, image.list, image.index, CPoint(at.x - 1, at.y - 1));
    } else {
      dc.FillSolidRect(area, band);
      Frame(dc, area, band);
      DrawImageListImage(dc, image.list, image.shadowed ? image.index + 1 : image.index, at);
    }
  } else if (checked) {
    const int x = rect.left + HalfRoundedUp(bandWidth - 16);
    const int y = rect.top + HalfRoundedUp(rect.Height() - 16);
    const CRect check(x, y, x + 16, y + 16);
    dc.FillSolidRect(check, ::LightenColor(GetSysColor(COLOR_HIGHLIGHT), 0.85));
    Frame(dc, check, GetSysColor(COLOR_HIGHLIGHT));
    DrawCheckMark(dc, dis, CPoint(check.left + 5, check.top + 4), CPoint(check.left + 5, check.top + 4));
  }
  const CRect textRect(rect.left + bandWidth + 8, rect.top - 1, rect.right, rect.bottom - 1);
  COLORREF textColour = GetSysColor(COLOR_MENUTEXT);
  if (grayed) {
    textColour = kThemedXp || selected ? GetSysColor(COLOR_GRAYTEXT) : ::LightenColor(GetSysColor(COLOR_GRAYTEXT), 0.4);
  }
  DrawTextParts(dc, textRect, record.m_pszText, textColour);
}
