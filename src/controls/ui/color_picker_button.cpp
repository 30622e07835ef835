#include "controls/ui/color_picker_button.h"

#include <QBitmap>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <array>

#include "controls/ui/color_palette.h"
#include "controls/ui/screen_pixel_reader.h"
#include "platform/ui/dc.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"

namespace {

// The eyedropper: '#' black, '.' white, blank transparent. The bulb is at the top
// right, the tip at the bottom left.
constexpr std::array<const char*, 16> kPickerArt{
    "            ##  ",
    "           #### ",
    "          ######",
    "        ########",
    "        #.##### ",
    "       #...###  ",
    "      #...#.#   ",
    "     #...#  #   ",
    "    #...#       ",
    "   #...#        ",
    "  #...#         ",
    " #...#          ",
    " #..#           ",
    "#..#            ",
    "#.#             ",
    "#               ",
};

void SetTextOf(QWidget* window, const QString& text) {
  if (window->metaObject()->indexOfProperty("text") >= 0) {
    window->setProperty("text", text);
  } else {
    window->setWindowTitle(text);
  }
}

}  // namespace

QCursor MakePickerCursor() {
  QImage pattern(16, 16, QImage::Format_RGB32);
  QImage mask(16, 16, QImage::Format_RGB32);
  pattern.fill(Qt::white);
  mask.fill(Qt::white);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const char c = kPickerArt[static_cast<size_t>(y)][x];
      if (c == '#') pattern.setPixel(x, y, qRgb(0, 0, 0));
      if (c != ' ') mask.setPixel(x, y, qRgb(0, 0, 0));
    }
  }
  // In a bitmap black is 1: pattern 1 = black, pattern 0 = white, mask 0 = transparent.
  return QCursor(QBitmap::fromImage(pattern, Qt::ThresholdDither), QBitmap::fromImage(mask, Qt::ThresholdDither), 0,
                 15);
}

CColorPickerButton::CColorPickerButton(QWidget* parent)
    : QAbstractButton(parent),
      m_crColor(GetSysColor(COLOR_BTNFACE)),
      m_pickerCursor(MakePickerCursor()),
      m_pReader(MakeScreenPixelReader()) {}

CColorPickerButton::~CColorPickerButton() { ClosePalette(); }

QSize CColorPickerButton::sizeHint() const { return QSize(45, 20); }

void CColorPickerButton::SetColor(COLORREF color) {
  m_crColor = color;
  const int id = CPage::GetDlgCtrlID(this);
  QMetaObject::invokeMethod(this, [this, id] { emit colorChanged(id); }, Qt::QueuedConnection);
  if (m_pTextWindow != nullptr) SetTextOf(m_pTextWindow, ToQString(ColourText(color)));
  update();
}

void CColorPickerButton::SetTextWindow(QWidget* window) { m_pTextWindow = window; }

void CColorPickerButton::GetColorText(CString& text) const { text = ColourText(m_crColor); }

void CColorPickerButton::SetScreenPixelReader(std::unique_ptr<IScreenPixelReader> reader) {
  ClosePalette();  // the palette reads through the reader it was opened with
  m_pReader = std::move(reader);
}

void CColorPickerButton::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  CDC dc(painter);
  CRect r(0, 0, width(), height());
  const COLORREF white = RGB(255, 255, 255);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);

  if (!m_bPaletteOpen) {
    dc.Draw3dRect(r, white, dark);
    CRect inner = r;
    inner.DeflateRect(1, 1);
    dc.Draw3dRect(inner, face, face);
  } else {
    dc.FillSolidRect(r, face);  // lies flat while its palette is open
  }

  r.DeflateRect(3, 3);
  dc.FillSolidRect(r, m_crColor);
  // Dark along the top and left, white along the bottom and right, one pixel outside.
  dc.SelectObject(CPen(PS_SOLID, 1, dark));
  dc.MoveTo(r.left - 1, r.bottom);
  dc.LineTo(r.left - 1, r.top - 1);
  dc.LineTo(r.right, r.top - 1);
  dc.SelectObject(CPen(PS_SOLID, 1, white));
  dc.LineTo(r.right, r.bottom);
  dc.LineTo(r.left - 1, r.bottom);

  // The notch in the bottom-right corner with its drop-down triangle.
  const CRect notch(r.right + 1 - 6, r.bottom + 1 - 4, r.right + 1, r.bottom + 1);
  dc.FillSolidRect(notch, face);
  dc.SelectStockObject(BLACK_PEN);
  for (int i = 0; i < 3; ++i) {
    const int y = notch.top + 1 + i;
    dc.MoveTo(notch.left + 1 + i, y);
    dc.LineTo(notch.left + 6 - i, y);
  }
}

void CColorPickerButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractButton::mousePressEvent(event);
    return;
  }
  event->accept();
  OpenPalette();  // this press counts as the palette's first one
}

void CColorPickerButton::mouseMoveEvent(QMouseEvent* event) {
  // What reaches the button while its palette is open belongs to the palette (after
  // the palette let the mouse go, a held button still sends its moves here).
  if (m_pPalette != nullptr) {
    const QPoint global = event->globalPosition().toPoint();
    m_pPalette->HandleMove(m_pPalette->mapFromGlobal(global), global);
    event->accept();
    return;
  }
  QAbstractButton::mouseMoveEvent(event);
}

void CColorPickerButton::mouseReleaseEvent(QMouseEvent* event) {
  if (m_pPalette != nullptr) {
    event->accept();
    if (event->button() == Qt::LeftButton) {
      m_pPalette->HandleRelease(m_pPalette->mapFromGlobal(event->globalPosition().toPoint()));
    }
    return;
  }
  QAbstractButton::mouseReleaseEvent(event);
}

void CColorPickerButton::OpenPalette() {
  if (ColorPalette* open = ColorPalette::Current()) {
    if (CColorPickerButton* owner = open->Owner()) owner->ClosePalette();
  }
  ClosePalette();

  const QRect button(mapToGlobal(QPoint(0, 0)), size());
  const QScreen* where = screen();
  const QRect area = where != nullptr ? where->availableGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
  const CPoint topLeft = PalettePosition(FromQRect(button), FromQRect(area));

  m_pPalette = new ColorPalette(this, m_crColor, m_pReader.get());
  m_pPalette->move(topLeft.x, topLeft.y);
  m_bPaletteOpen = true;
  m_pPalette->StartTracking();
  OnPaletteSetCursor(0);
  update();
}

void CColorPickerButton::ClosePalette() {
  if (m_pPalette != nullptr) {
    m_pPalette->StopTracking();
    m_pPalette->deleteLater();  // it may be closing from inside its own event
    m_pPalette = nullptr;
  }
  if (m_bPaletteOpen) {
    m_bPaletteOpen = false;
    update();
  }
}

void CColorPickerButton::OnPaletteRelease(COLORREF color) {
  ClosePalette();
  if (color == m_crColor) {
    update();
  } else {
    SetColor(color);
  }
}

void CColorPickerButton::OnMoreColors() {
  ClosePalette();
  if (const std::optional<COLORREF> picked = PickColorFromDialog(m_crColor, this)) SetColor(*picked);
}

void CColorPickerButton::OnPaletteSetCursor(int hitTest) {
  if (m_pPalette == nullptr) return;
  if (m_bPaletteOpen && m_pickerCursor && hitTest != 1) {
    m_pPalette->setCursor(*m_pickerCursor);
  } else {
    m_pPalette->setCursor(Qt::ArrowCursor);
  }
}
