#pragma once
// A button that shows a colour and lets the user pick another: a press opens the
// palette under it, which holds the mouse; the release picks the colour under the
// cursor, on the palette's grid or anywhere on the screen (an eyedropper). The
// palette's more-colours button opens the system colour dialog instead.
//
// Every SetColor tells the button's owner through colorChanged(id) (queued, so it
// arrives once the current event is done) and writes "#RRGGBB" into the associated
// text window. A pick of the colour the button already has only repaints.

#include <QAbstractButton>
#include <QCursor>
#include <QPointer>
#include <memory>
#include <optional>

#include "controls/palette.h"
#include "platform/gdi_types.h"

#include "controls/ui/color_palette.h"

class CColorPickerButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit CColorPickerButton(QWidget* parent = nullptr);
  ~CColorPickerButton() override;

  void SetColor(COLORREF color);
  COLORREF GetColor() const { return m_crColor; }
  // The window whose text follows the colour (a label, an edit, a button; any other
  // widget gets it as its window title).
  void SetTextWindow(QWidget* window);
  QWidget* GetTextWindow() const { return m_pTextWindow; }
  void GetColorText(CString& text) const;

  bool IsPaletteOpen() const { return m_bPaletteOpen; }
  ColorPalette* GetPalette() const { return m_pPalette; }
  // Closes the palette without changing the colour.
  void ClosePalette();

  // Where screen pixels come from (by default the X11 reader on X11, else none).
  // A palette open now is closed first.
  void SetScreenPixelReader(std::unique_ptr<IScreenPixelReader> reader);
  IScreenPixelReader* GetScreenPixelReader() const { return m_pReader.get(); }
  // The eyedropper shown while the palette is open; nullptr when none was built.
  const QCursor* GetPickerCursor() const { return m_pickerCursor ? &*m_pickerCursor : nullptr; }

  QSize sizeHint() const override;

 signals:
  void colorChanged(int id);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  friend class ColorPalette;

  void OpenPalette();
  // From the palette: the colour it closes with, its more-colours button, and the
  // cursor to show (hit test 1: the arrow, else the eyedropper).
  void OnPaletteRelease(COLORREF color);
  void OnMoreColors();
  void OnPaletteSetCursor(int hitTest);

  COLORREF m_crColor;
  QPointer<QWidget> m_pTextWindow;
  QPointer<ColorPalette> m_pPalette;
  bool m_bPaletteOpen = false;
  std::optional<QCursor> m_pickerCursor;
  std::unique_ptr<IScreenPixelReader> m_pReader;
};

// The 16 x 16 eyedropper, its tip (the hot spot) at the bottom-left (0, 15).
QCursor MakePickerCursor();
