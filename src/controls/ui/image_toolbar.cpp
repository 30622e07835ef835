#include "controls/ui/image_toolbar.h"

#include "controls/menu_rules.h"
#include "controls/ui/bitmap_button_ex.h"
#include "platform/ui/offscreen_dc.h"

namespace {

// The disabled look of one strip: the emboss over the button face.
PixelImage EmbossedStrip(const PixelImage& strip, COLORREF transparent) {
  std::vector<COLORREF> colours;
  colours.reserve(strip.pixels.size());
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (std::uint32_t p : strip.pixels) colours.push_back((p >> 24) == 0 || PixelColour(p) == transparent ? face : PixelColour(p));
  const std::vector<COLORREF> embossed = EmbossPixels(colours, strip.width, strip.height, face,
                                                      GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW), face);
  PixelImage out(strip.width, strip.height);
  for (std::size_t i = 0; i < embossed.size(); ++i) out.pixels[i] = embossed[i] == face ? 0u : OpaquePixel(embossed[i]);
  return out;
}

}  // namespace

void CToolBar::Reset() {
  commands_.clear();
  normal_.DeleteImageList();
  disabled_.DeleteImageList();
  hot_.DeleteImageList();
  imageSize_ = {};
}

BOOL CToolBar::LoadToolBar(UINT resourceId) {
  Reset();
  const ToolBarResource* resource = FindToolBarResource(resourceId);
  if (resource == nullptr || resource->width < 1 || resource->height < 1) return FALSE;
  const PixelImage strip = FromQImage(LoadButtonImage(resource->bitmapId));
  if (strip.IsNull()) return FALSE;
  int images = 0;
  for (UINT id : resource->commands) images += id != 0 ? 1 : 0;
  if (strip.width < images * resource->width) return FALSE;  // a button without its image
  // The toolbars' transparent colour is light grey, as the strips are drawn.
  const COLORREF transparent = RGB(192, 192, 192);
  normal_.Create(resource->width, resource->height, ILC_COLOR24 | ILC_MASK, images, 0);
  disabled_.Create(resource->width, resource->height, ILC_COLOR24 | ILC_MASK, images, 0);
  hot_.Create(resource->width, resource->height, ILC_COLOR24 | ILC_MASK, images, 0);
  const PixelImage used = strip.Copy(0, 0, images * resource->width, resource->height);
  normal_.Add(used, transparent);
  hot_.Add(used, transparent);
  disabled_.Add(EmbossedStrip(used, transparent));
  commands_ = resource->commands;
  imageSize_ = {resource->width, resource->height};
  return TRUE;
}

UINT CToolBar::GetItemID(int index) const {
  if (index < 0 || index >= GetButtonCount()) return 0;
  return commands_[static_cast<std::size_t>(index)];
}

CImageList* CToolBar::GetImageList(int message) {
  CImageList* list = nullptr;
  if (message == TB_GETIMAGELIST) list = &normal_;
  if (message == TB_GETDISABLEDIMAGELIST) list = &disabled_;
  if (message == TB_GETHOTIMAGELIST) list = &hot_;
  return list != nullptr && list->GetSafeHandle() ? list : nullptr;
}

BOOL CImageToolBar2::LoadToolBar(UINT resourceId) {
  m_nButtonWidth = 0;
  m_nButtonHeight = 0;
  if (!CToolBar::LoadToolBar(resourceId)) return FALSE;
  m_nButtonWidth = ImageSize().cx;
  m_nButtonHeight = ImageSize().cy;
  return TRUE;
}
