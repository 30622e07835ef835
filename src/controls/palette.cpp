#include "controls/palette.h"

#include <array>

namespace {

constexpr std::array<int, 12> kGreyRamp{255, 232, 209, 186, 163, 140, 117, 94, 71, 48, 23, 0};
constexpr std::array<int, 6> kLevels{0, 51, 102, 153, 204, 255};

}  // namespace

COLORREF PaletteCell(int col, int row) {
  if (col < 0 || col >= kPaletteColumns || row < 0 || row >= kPaletteRows) return kNoPaletteColour;
  if (col == 0) {
    const int grey = kGreyRamp[static_cast<size_t>(row)];
    return RGB(grey, grey, grey);
  }
  const int k = col - 1;                           // 0..17
  const int green = kLevels[static_cast<size_t>(k % 6)];
  const int redLevel = k / 6 + (row >= 6 ? 3 : 0);  // 0..2 above, 3..5 below
  const int blue = kLevels[static_cast<size_t>(row % 6)];
  return RGB(kLevels[static_cast<size_t>(redLevel)], green, blue);
}

COLORREF PaletteCellColour(int index) {
  if (index < 0 || index >= kPaletteCellCount) return kNoPaletteColour;
  return PaletteCell(index % kPaletteColumns, index / kPaletteColumns);
}

CRect PaletteCellRect(int index) {
  if (index < 0 || index >= kPaletteCellCount) return CRect();
  const int x = (index % kPaletteColumns) * kPalettePitch;
  const int y = (index / kPaletteColumns) * kPalettePitch;
  return CRect(x, y, x + kPaletteCellSize, y + kPaletteCellSize);
}

int PaletteCellAt(CPoint point) {
  if (point.x < 0 || point.y < 0 || point.y >= kPaletteGridHeight) return -1;
  const int col = point.x / kPalettePitch;
  if (col >= kPaletteColumns) return -1;
  if (point.x % kPalettePitch == kPaletteCellSize || point.y % kPalettePitch == kPaletteCellSize) return -1;
  return (point.y / kPalettePitch) * kPaletteColumns + col;
}

CPoint PalettePosition(const CRect& button, const CRect& screen) {
  CPoint p(button.left, button.bottom - 1);
  if (p.x + kPaletteWidth > screen.right) p.x = screen.right - kPaletteWidth;
  if (p.x < screen.left) p.x = screen.left;
  if (p.y + kPaletteHeight > screen.bottom) p.y -= kPaletteHeight;
  return p;
}

CString ColourText(COLORREF colour) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  CString text = "#";
  for (const BYTE value : {GetRValue(colour), GetGValue(colour), GetBValue(colour)}) {
    text += kHex[value >> 4];
    text += kHex[value & 0x0F];
  }
  return text;
}

bool PaletteTracker::InPalette(CPoint point) {
  return point.x >= 0 && point.x < kPaletteWidth && point.y >= 0 && point.y < kPaletteHeight;
}

bool PaletteTracker::OverMoreColorsButton(CPoint point) { return kMoreColorsButtonRect.PtInRect(point); }

void PaletteTracker::Open(COLORREF colour) {
  preview_ = colour;
  opening_ = colour;
  highlighted_ = -1;
  PressFromOwner();
}

void PaletteTracker::PressFromOwner() {
  press_.reset();
  moved_ = false;
}

void PaletteTracker::Press(CPoint point) {
  press_ = point;
  moved_ = false;
}

PaletteMove PaletteTracker::Move(CPoint point, CPoint screenPoint) {
  PaletteMove move;
  const bool away = !press_ || !(*press_ == point);
  if (away) moved_ = true;

  int cell = -1;
  if (InPalette(point) && point.y < kPaletteGridHeight) {
    cell = PaletteCellAt(point);
  } else if (InPalette(point)) {
    if (preview_ != opening_) {
      preview_ = opening_;
      move.previewChanged = true;
    }
    if (OverMoreColorsButton(point)) {
      move.releaseCapture = true;
    } else {
      move.hitTest = 1;
    }
  } else if (away && reader_ != nullptr) {
    if (const std::optional<COLORREF> pixel = reader_->ReadPixel(screenPoint); pixel && *pixel != preview_) {
      preview_ = *pixel;
      move.previewChanged = true;
    }
  }

  if (cell != highlighted_) {
    move.cellChanged = true;
    move.oldCell = highlighted_;
    move.newCell = cell;
    move.previewChanged = true;
    highlighted_ = cell;
    if (cell >= 0) preview_ = PaletteCellColour(cell);
  }
  return move;
}

std::optional<COLORREF> PaletteTracker::Release(CPoint point) const {
  if (moved_ || (press_ && *press_ == point)) return preview_;
  return std::nullopt;
}
