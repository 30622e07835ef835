#pragma once
// The arithmetic of the two owner-drawn menus that needs no display: item sizes,
// the menu-character search, colour lightening and darkening, the tab split of an
// item text, the tick of a check box and the emboss of a disabled image.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi_types.h"
#include "platform/image_list.h"

// ---- the menu with an icon band ----

// A record's size before the image is added: text + 10 (text + 25 for an item that
// opens a sub-menu) by 2; a separator is 0 by its separator height.
CSize MenuExRecordSize(int textWidth, bool separator, bool popup, int separatorHeight);
// The measured size: a separator keeps its record size; any other item adds the
// size of its first image (20 x 20 without an image list) to both sides.
CSize MenuExMeasuredSize(CSize recordSize, bool separator, std::optional<CSize> imageSize);

// ---- the menu with bitmaps ----

// The border around a bitmap: 4, or 7 in the XP style with shadowed images.
int BCMenuBorder(bool xpStyle, bool shadowImages);
// A separator: 0 wide, max(menu height / 2, (bitmap height + border) / 2) high.
CSize BCMenuSeparatorSize(int systemMenuHeight, int bitmapHeight, bool xpStyle, bool shadowImages);
// Any other item: XP bitmap width + border + text + 8, standard text + 2 x bitmap
// width + 1; max(menu height, bitmap height + border) high.
CSize BCMenuItemSize(int textWidth, int bitmapWidth, int bitmapHeight, int systemMenuHeight, bool xpStyle,
                     bool shadowImages);
// The XP style unless the device has a palette or the draw mode is not 1.
bool BCMenuUsesXpStyle(bool devicePalette, int drawMode);
// Half of value rounded up, never below 0 (the XP offsets).
int HalfRoundedUp(int value);
// The standard style's bitmap offset: max(0, (item height - bitmap height - 4) / 2).
int StandardBitmapOffset(int itemHeight, int bitmapHeight);

// The first position whose text, lower-cased, holds "&" and the typed character
// lower-cased; -1 when none does.
int FindMenuCharPosition(unsigned typed, const std::vector<std::string>& texts);

// Each channel moved towards 255 by factor x the distance, truncated; a factor
// outside (0, 1] changes nothing.
COLORREF LightenColor(COLORREF colour, double factor);
// Each channel from c to c - factor x c, truncated; the same range rule.
COLORREF DarkenColor(COLORREF colour, double factor);

// The label is the text before the first tab, the accelerator the text after the last.
struct MenuTextParts {
  std::string label;
  std::string accelerator;
  bool hasTab = false;
};
MenuTextParts SplitMenuText(const std::string& text);

// The tick: seven vertical strokes, three pixels each, in columns x..x+6.
struct TickStroke {
  int x;
  int top;  // rows top..top+2
};
std::vector<TickStroke> TickStrokes(int x, int y);

// The disabled look of an image (COLORREF pixels, row by row): every pixel that is
// neither the face nor the highlight colour is in the mask; the result is the
// background, the mask in the highlight colour one pixel right and down, then the
// mask in the shadow colour in place.
std::vector<COLORREF> EmbossPixels(const std::vector<COLORREF>& pixels, int width, int height, COLORREF face,
                                   COLORREF highlight, COLORREF shadow, COLORREF background);

// Accelerator alignment: the label of every text with a tab gets blanks after it
// until it is as wide as the widest such label (as `width` measures it, in the menu's
// font), so the accelerators after the tabs line up. Texts without a tab stay.
// At most 256 blanks are added to one label.
std::vector<std::string> AlignAccelerators(const std::vector<std::string>& texts,
                                           const std::function<int(const std::string&)>& width);

// Hatch styles of a swatch brush; -1 is a plain brush.
inline constexpr int HS_HORIZONTAL = 0;
inline constexpr int HS_VERTICAL = 1;
inline constexpr int HS_FDIAGONAL = 2;
inline constexpr int HS_BDIAGONAL = 3;
inline constexpr int HS_CROSS = 4;
inline constexpr int HS_DIAGCROSS = 5;

// A colour-swatch item's bitmap: the menu colour, and centred on it a rectangle two
// pixels in from every edge (at least 3 x 3) outlined in the pen colour and filled
// with the brush colour, plainly or as a hatch of brush-coloured lines every fourth
// pixel over the menu colour. Opaque, `width` x `height` (each at least 1).
PixelImage SwatchImage(int width, int height, COLORREF menu, COLORREF pen, COLORREF brush, int hatch);
