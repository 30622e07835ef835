#pragma once
// The rules of the colour picker's palette: its cell colours, where it opens, and
// what a press, the moves and the release over it (or anywhere on the screen, as
// with an eyedropper) make of the colour under the cursor.
//
// The palette is 191 x 150 pixels: a grid of 19 columns x 12 rows of 9 x 9 cells at
// a 10-pixel pitch in its top 120 pixels (black lines where x % 10 == 9 or
// y % 10 == 9), and below it a grey strip with the preview, the colour text and the
// more-colours button. Points are in the palette's own coordinates unless named
// screen points.

#include <optional>

#include "platform/gdi_types.h"
#include "platform/win_types.h"

constexpr int kPaletteWidth = 191;
constexpr int kPaletteHeight = 150;
constexpr int kPaletteColumns = 19;
constexpr int kPaletteRows = 12;
constexpr int kPaletteCellCount = kPaletteColumns * kPaletteRows;
constexpr int kPalettePitch = 10;
constexpr int kPaletteCellSize = 9;
constexpr int kPaletteGridHeight = 120;
constexpr int kPaletteGridWidth = 190;  // the horizontal lines run from x 0 to 190

constexpr COLORREF kPaletteStripColour = RGB(192, 192, 192);
constexpr CRect kPalettePreviewRect{5, 125, 40, 143};
constexpr CPoint kPaletteTextPos{80, 127};
constexpr int kMoreColorsButtonId = 100;
constexpr CRect kMoreColorsButtonRect{167, 126, 183, 142};

// No colour (outside the grid).
constexpr COLORREF kNoPaletteColour = 0xFFFFFFFFu;

// The colour of a cell. Column 0 is a grey ramp from 255 at the top to 0; columns
// 1-18 hold the 216 colours built of the levels 0, 51, ..., 255: blue rises with the
// row (within each block of six rows), green with the column (every six columns
// again), red with each group of six columns, 0-102 in rows 0-5 and 153-255 in rows
// 6-11. kNoPaletteColour outside 19 x 12.
COLORREF PaletteCell(int col, int row);
// The cell at index (row * 19 + col): its colour and its 9 x 9 rectangle.
COLORREF PaletteCellColour(int index);
CRect PaletteCellRect(int index);
// The cell under a point of the grid; -1 on a grid line or outside the grid.
int PaletteCellAt(CPoint point);

// Where the palette opens for a button (its rectangle in screen coordinates) on a
// screen (the usable area): its top-left corner at the button's bottom-left corner
// one pixel up, moved left to end at the screen's right edge, never left of the
// screen's left edge, and moved up by its height if it would leave the bottom.
CPoint PalettePosition(const CRect& button, const CRect& screen);

// "#RRGGBB".
CString ColourText(COLORREF colour);

// Reads a pixel of the screen (screen coordinates). Nothing when it cannot be read.
class IScreenPixelReader {
 public:
  virtual ~IScreenPixelReader() = default;
  virtual std::optional<COLORREF> ReadPixel(CPoint screenPoint) = 0;
};

// What one mouse move over the palette changed.
struct PaletteMove {
  bool cellChanged = false;     // the highlighted cell changed: repaint oldCell and newCell
  int oldCell = -1;
  int newCell = -1;
  bool previewChanged = false;  // repaint the preview and its text
  bool releaseCapture = false;  // over the more-colours button: let it be clicked
  int hitTest = 0;              // 1 in the lower strip off the button (arrow cursor), else 0
};

// The palette's state between its opening and the release that closes it.
class PaletteTracker {
 public:
  // reader may be null: no screen pixels then.
  explicit PaletteTracker(IScreenPixelReader* reader = nullptr) : reader_(reader) {}

  // The palette opens on colour: it is both the preview and the opening colour.
  void Open(COLORREF colour);
  // The press that opened the palette (on its owner, not at a palette point).
  void PressFromOwner();
  // A press on the palette (or anywhere while it holds the mouse).
  void Press(CPoint point);
  // A move: on a cell the preview becomes that cell's colour; on a grid line it
  // keeps its colour; in the lower strip it returns to the opening colour; outside
  // the palette it takes the screen pixel when one can be read.
  PaletteMove Move(CPoint point, CPoint screenPoint);
  // The release: the colour to close with, when the cursor moved since the press or
  // is released where it was pressed; otherwise nothing (the palette stays open).
  std::optional<COLORREF> Release(CPoint point) const;

  COLORREF Preview() const { return preview_; }
  COLORREF Opening() const { return opening_; }
  int Highlighted() const { return highlighted_; }
  bool Moved() const { return moved_; }

  static bool InPalette(CPoint point);
  static bool OverMoreColorsButton(CPoint point);

 private:
  IScreenPixelReader* reader_;
  COLORREF preview_ = 0;
  COLORREF opening_ = 0;
  int highlighted_ = -1;
  std::optional<CPoint> press_;  // none for the press that opened the palette
  bool moved_ = false;
};
