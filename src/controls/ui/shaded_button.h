#pragma once
// Two variants of the bitmap button that replace its background and border steps:
// CShadedButton paints a generated 8-bit face (noise, shades, bumps or brushed
// metal) with a brighter variant while the mouse is over it; CBitmapButtonSub2 fills
// a hovered or pressed face with the background-in colour inside a black outline and
// draws no border. Also the drawing of a CDibImage.

#include <QImage>
#include <cstdint>

#include "controls/dib_image.h"
#include "controls/shade.h"
#include "controls/ui/bitmap_button_ex.h"
#include "platform/ui/dc.h"

// The image as a QImage (1 and 8 bits through their palette, 4 bits expanded to 8,
// 24 and 32 bits as RGB), top row first. A null image for an empty one.
QImage DibToQImage(const CDibImage& image);
// Draws the image unscaled with its top-left corner at (x, y).
void DrawDibImage(CDC& dc, const CDibImage& image, int x, int y);

class CShadedButton : public CBitmapButtonEx {
  Q_OBJECT

 public:
  explicit CShadedButton(QWidget* parent = nullptr, ButtonType type = ButtonType::Push);
  CShadedButton(const QString& caption, QWidget* parent, ButtonType type = ButtonType::Push);
  ~CShadedButton() override;

  // Builds the faces for the button's current size (at least 1 x 1). granularity is
  // clamped to 0..255, the percentages to 0..100.
  void SetShade(int shadeType, int granularity = 8, int highlightPercent = 10, int colouringPercent = 0,
                COLORREF colour = 0);
  // The numbers the next SetShade draws from: our own generator seeded so, or (a
  // test) any source of 0..32767.
  void SetShadeSeed(std::uint32_t seed);
  void SetShadeRandom(ShadeRandom random);

  const ShadeImages& Images() const { return images_; }

 protected:
  void OnDrawBackground(CDC& dc, CRect& rect, const ButtonDrawState& state) override;

 private:
  ShadeImages images_;
  std::uint32_t seed_ = 1;
  ShadeRandom random_;
};

class CBitmapButtonSub2 : public CBitmapButtonEx {
  Q_OBJECT

 public:
  explicit CBitmapButtonSub2(QWidget* parent = nullptr, ButtonType type = ButtonType::Push);
  CBitmapButtonSub2(const QString& caption, QWidget* parent, ButtonType type = ButtonType::Push);
  ~CBitmapButtonSub2() override;

  void SetRounded(bool rounded, bool repaint = true);
  bool IsRounded() const { return rounded_; }

 protected:
  void OnDrawBackground(CDC& dc, CRect& rect, const ButtonDrawState& state) override;
  void OnDrawBorder(CDC& dc, const CRect& rect, const ButtonDrawState& state) override;

 private:
  bool rounded_ = false;
};
