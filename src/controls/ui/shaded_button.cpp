#include "controls/ui/shaded_button.h"

#include <QPainter>
#include <algorithm>
#include <utility>

QImage DibToQImage(const CDibImage& dib) {
  if (dib.IsEmpty()) return {};
  const int w = dib.Width();
  const int h = dib.Height();
  const int bpp = dib.BitsPerPixel();
  if (bpp <= 8) {
    QVector<QRgb> table;
    for (int i = 0; i < dib.PaletteEntries(); ++i) {
      const COLORREF c = dib.PaletteEntry(i);
      table.push_back(qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
    }
    QImage image(w, h, bpp == 1 ? QImage::Format_Mono : QImage::Format_Indexed8);
    image.setColorTable(table);
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* row = dib.Row(y);
      uchar* line = image.scanLine(y);
      if (bpp == 1) {
        std::copy(row, row + (w + 7) / 8, line);  // both most significant bit first
      } else if (bpp == 8) {
        std::copy(row, row + w, line);
      } else {
        for (int x = 0; x < w; ++x) line[x] = static_cast<uchar>(dib.PixelIndex(x, y));
      }
    }
    return image;
  }
  QImage image(w, h, QImage::Format_RGB32);
  const int step = bpp / 8;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* row = dib.Row(y);
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < w; ++x) line[x] = qRgb(row[x * step + 2], row[x * step + 1], row[x * step]);
  }
  return image;
}

void DrawDibImage(CDC& dc, const CDibImage& image, int x, int y) {
  const QImage picture = DibToQImage(image);
  if (!picture.isNull()) dc.Painter().drawImage(x, y, picture);
}

// ---- CShadedButton ----

CShadedButton::CShadedButton(QWidget* parent, ButtonType type) : CBitmapButtonEx(parent, type) {}

CShadedButton::CShadedButton(const QString& caption, QWidget* parent, ButtonType type)
    : CBitmapButtonEx(caption, parent, type) {}

CShadedButton::~CShadedButton() = default;

void CShadedButton::SetShadeSeed(std::uint32_t seed) {
  seed_ = seed;
  random_ = nullptr;
}

void CShadedButton::SetShadeRandom(ShadeRandom random) { random_ = std::move(random); }

void CShadedButton::SetShade(int shadeType, int granularity, int highlightPercent, int colouringPercent,
                             COLORREF colour) {
  ShadeSettings settings;
  settings.type = shadeType;
  settings.granularity = std::clamp(granularity, 0, 255);
  settings.highlightPercent = std::clamp(highlightPercent, 0, 100);
  settings.colouringPercent = std::clamp(colouringPercent, 0, 100);
  settings.colour = colour;
  // Seeded afresh on every call, so the same settings give the same face.
  ShadeRandom random = random_;
  if (!random) random = ShadeGenerator(seed_);
  images_ = MakeShadeImages(width(), height(), settings, SystemShadeColours(), random);
  update();
}

void CShadedButton::OnDrawBackground(CDC& dc, CRect& /*rect*/, const ButtonDrawState& state) {
  if (state.hovered) {
    const int offset = state.pressed ? 1 : 0;
    DrawDibImage(dc, images_.hovered, offset, offset);
  } else {
    DrawDibImage(dc, images_.face, 0, 0);
  }
}

// ---- CBitmapButtonSub2 ----

CBitmapButtonSub2::CBitmapButtonSub2(QWidget* parent, ButtonType type) : CBitmapButtonEx(parent, type) {}

CBitmapButtonSub2::CBitmapButtonSub2(const QString& caption, QWidget* parent, ButtonType type)
    : CBitmapButtonEx(caption, parent, type) {}

CBitmapButtonSub2::~CBitmapButtonSub2() = default;

void CBitmapButtonSub2::SetRounded(bool rounded, bool repaint) {
  rounded_ = rounded;
  if (repaint) update();
}

void CBitmapButtonSub2::OnDrawBackground(CDC& dc, CRect& rect, const ButtonDrawState& state) {
  if (!state.hovered && !state.pressed) {
    CBitmapButtonEx::OnDrawBackground(dc, rect, state);
    return;
  }
  COLORREF fill = 0;
  GetColor(kButtonBackgroundIn, fill);
  dc.SelectObject(CBrush(fill));
  dc.SelectObject(CPen(PS_SOLID, 1, RGB(0, 0, 0)));
  if (rounded_) {
    dc.RoundRect(rect.left, rect.top, rect.right, rect.bottom, 8, 8);
  } else {
    dc.Rectangle(rect);
  }
}

void CBitmapButtonSub2::OnDrawBorder(CDC& /*dc*/, const CRect& /*rect*/, const ButtonDrawState& /*state*/) {}
