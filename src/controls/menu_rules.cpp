#include "controls/menu_rules.h"

#include <algorithm>

#include "platform/ascii.h"
#include "platform/gcc_restrict.h"
#include "storage/charset.h"

CSize MenuExRecordSize(int textWidth, bool separator, bool popup, int separatorHeight) {
  if (separator) return {0, separatorHeight};
  return {textWidth + (popup ? 25 : 10), 2};
}

CSize MenuExMeasuredSize(CSize recordSize, bool separator, std::optional<CSize> imageSize) {
  if (separator) return recordSize;
  const CSize add = imageSize.value_or(CSize(20, 20));
  return {recordSize.cx + add.cx, recordSize.cy + add.cy};
}

int BCMenuBorder(bool xpStyle, bool shadowImages) { return xpStyle && shadowImages ? 7 : 4; }

CSize BCMenuSeparatorSize(int systemMenuHeight, int bitmapHeight, bool xpStyle, bool shadowImages) {
  const int border = BCMenuBorder(xpStyle, shadowImages);
  return {0, std::max(systemMenuHeight / 2, (bitmapHeight + border) / 2)};
}

CSize BCMenuItemSize(int textWidth, int bitmapWidth, int bitmapHeight, int systemMenuHeight, bool xpStyle,
                     bool shadowImages) {
  const int border = BCMenuBorder(xpStyle, shadowImages);
  const int width = xpStyle ? bitmapWidth + border + textWidth + 8 : textWidth + 2 * bitmapWidth + 1;
  return {width, std::max(systemMenuHeight, bitmapHeight + border)};
}

bool BCMenuUsesXpStyle(bool devicePalette, int drawMode) { return !devicePalette && drawMode == 1; }

int HalfRoundedUp(int value) { return value <= 0 ? 0 : (value + 1) / 2; }

int StandardBitmapOffset(int itemHeight, int bitmapHeight) { return std::max(0, (itemHeight - bitmapHeight - 4) / 2); }

namespace {

int Channel(double value) { return std::clamp(static_cast<int>(value), 0, 255); }

}  // namespace

int FindMenuCharPosition(unsigned typed, const std::vector<std::string>& texts) {
  if (typed == 0) return -1;
  VELKOR_STRING_RESTRICT_BEGIN
  const std::string key = "&" + AsciiLower(UnicodeCharToUtf8(static_cast<char32_t>(typed)));
  VELKOR_STRING_RESTRICT_END
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (AsciiLower(texts[i]).find(key) != std::string::npos) return static_cast<int>(i);
  }
  return -1;
}

COLORREF LightenColor(COLORREF colour, double factor) {
  if (!(factor > 0.0 && factor <= 1.0)) return colour;
  auto up = [factor](int c) { return Channel(c + factor * (255 - c)); };
  return RGB(up(GetRValue(colour)), up(GetGValue(colour)), up(GetBValue(colour)));
}

COLORREF DarkenColor(COLORREF colour, double factor) {
  if (!(factor > 0.0 && factor <= 1.0)) return colour;
  auto down = [factor](int c) { return Channel(c - factor * c); };
  return RGB(down(GetRValue(colour)), down(GetGValue(colour)), down(GetBValue(colour)));
}

MenuTextParts SplitMenuText(const std::string& text) {
  MenuTextParts parts;
  const std::size_t first = text.find('\t');
  if (first == std::string::npos) {
    parts.label = text;
    return parts;
  }
  parts.hasTab = true;
  parts.label = text.substr(0, first);
  parts.accelerator = text.substr(text.rfind('\t') + 1);
  return parts;
}

std::vector<TickStroke> TickStrokes(int x, int y) {
  static constexpr int kTops[7] = {2, 3, 4, 3, 2, 1, 0};
  std::vector<TickStroke> strokes;
  for (int i = 0; i < 7; ++i) strokes.push_back({x + i, y + kTops[i]});
  return strokes;
}

std::vector<COLORREF> EmbossPixels(const std::vector<COLORREF>& pixels, int width, int height, COLORREF face,
                                   COLORREF highlight, COLORREF shadow, COLORREF background) {
  const std::size_t count = static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0));
  std::vector<COLORREF> out(count, background);
  if (pixels.size() < count) return out;
  auto masked = [&](int x, int y) {
    const COLORREF c = pixels[static_cast<std::size_t>(y) * width + x];
    return c != face && c != highlight;
  };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (masked(x, y) && x + 1 < width && y + 1 < height) out[static_cast<std::size_t>(y + 1) * width + x + 1] = highlight;
    }
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (masked(x, y)) out[static_cast<std::size_t>(y) * width + x] = shadow;
    }
  }
  return out;
}

std::vector<std::string> AlignAccelerators(const std::vector<std::string>& texts,
                                           const std::function<int(const std::string&)>& width) {
  int widest = 0;
  for (const std::string& text : texts) {
    const MenuTextParts parts = SplitMenuText(text);
    if (parts.hasTab) widest = std::max(widest, width(parts.label));
  }
  std::vector<std::string> aligned;
  aligned.reserve(texts.size());
  for (const std::string& text : texts) {
    const std::size_t tab = text.find('\t');
    if (tab == std::string::npos) {
      aligned.push_back(text);
      continue;
    }
    std::string label = text.substr(0, tab);
    for (int added = 0; added < 256 && width(label) < widest; ++added) label.push_back(' ');
    aligned.push_back(label + text.substr(tab));
  }
  return aligned;
}

PixelImage SwatchImage(int width, int height, COLORREF menu, COLORREF pen, COLORREF brush, int hatch) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  PixelImage image(width, height, OpaquePixel(menu));
  const int w = std::max(3, width - 4), h = std::max(3, height - 4);
  const int left = (width - w) / 2, top = (height - h) / 2;
  auto hatched = [hatch](int x, int y) {
    switch (hatch) {
      case HS_HORIZONTAL: return y % 4 == 0;
      case HS_VERTICAL: return x % 4 == 0;
      case HS_FDIAGONAL: return (x - y) % 4 == 0;
      case HS_BDIAGONAL: return (x + y) % 4 == 0;
      case HS_CROSS: return x % 4 == 0 || y % 4 == 0;
      case HS_DIAGCROSS: return (x - y) % 4 == 0 || (x + y) % 4 == 0;
      default: return true;  // a plain brush fills every pixel
    }
  };
  for (int y = top; y < top + h; ++y) {
    for (int x = left; x < left + w; ++x) {
      if (x < 0 || y < 0 || x >= width || y >= height) continue;
      const bool edge = x == left || y == top || x == left + w - 1 || y == top + h - 1;
      if (edge) {
        image.At(x, y) = OpaquePixel(pen);
      } else if (hatched(x - left, y - top)) {
        image.At(x, y) = OpaquePixel(brush);
      }
    }
  }
  return image;
}
