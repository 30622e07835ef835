#include "controls/ui/color_palette.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QMouseEvent>
#include <QPainter>

#include "controls/ui/color_picker_button.h"
#include "platform/message_box.h"
#include "platform/ui/dc.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"

// ---- colour dialog ----

ColorDialogHook& ColorDialogHook::Instance() {
  static ColorDialogHook hook;
  return hook;
}

void ColorDialogHook::StartRecording() { recording_ = true; }

void ColorDialogHook::StopRecording() { recording_ = false; }

bool ColorDialogHook::IsActive() const { return recording_ || MessageBoxHook::Instance().IsRecording(); }

void ColorDialogHook::SetNextColor(std::optional<COLORREF> color) { answers_.push_back(color); }

void ColorDialogHook::Clear() {
  answers_.clear();
  calls_ = 0;
  lastInitial_ = 0;
}

std::optional<std::optional<COLORREF>> ColorDialogHook::Intercept(COLORREF initial) {
  if (!IsActive()) return std::nullopt;
  ++calls_;
  lastInitial_ = initial;
  if (answers_.empty()) return std::optional<COLORREF>();
  const std::optional<COLORREF> answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::optional<COLORREF> PickColorFromDialog(COLORREF initial, QWidget* parent) {
  if (auto answer = ColorDialogHook::Instance().Intercept(initial)) return *answer;
  // Qt's own dialog, which speaks the loaded translation, not the desktop's.
  const QColor picked =
      QColorDialog::getColor(ToQColor(initial), parent, QString(), QColorDialog::DontUseNativeDialog);
  if (!picked.isValid()) return std::nullopt;
  return FromQColor(picked);
}

// ---- the more-colours button ----

namespace {

QPointer<ColorPalette>& CurrentPalette() {
  static QPointer<ColorPalette> current;
  return current;
}

// Light grey, raised or pressed, with three overlapping squares.
class MoreColorsPushButton final : public QAbstractButton {
 public:
  explicit MoreColorsPushButton(QWidget* parent) : QAbstractButton(parent) { setFocusPolicy(Qt::NoFocus); }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    CDC dc(painter);
    const CRect rect(0, 0, width(), height());
    const bool pressed = isDown();
    dc.FillSolidRect(rect, kPaletteStripColour);
    const COLORREF white = RGB(255, 255, 255);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    dc.Draw3dRect(rect, pressed ? shadow : white, pressed ? white : shadow);

    const int shift = pressed ? 1 : 0;
    const COLORREF fills[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(255, 255, 0)};
    dc.SelectObject(CPen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW)));
    int offset = 3;
    for (const COLORREF fill : fills) {
      dc.SelectObject(CBrush(fill));
      dc.Rectangle(offset + shift, offset + shift, offset + shift + 5, offset + shift + 5);
      offset += 2;
    }
  }
};

}  // namespace

// ---- the palette ----

ColorPalette::ColorPalette(CColorPickerButton* owner, COLORREF color, IScreenPixelReader* reader)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                         Qt::X11BypassWindowManagerHint),
      m_pOwner(owner),
      m_tracker(reader) {
  setWindowTitle(QStringLiteral("Palatte"));
  setObjectName(QStringLiteral("ColorPalette"));
  setFixedSize(kPaletteWidth, kPaletteHeight);
  setMouseTracking(true);  // moves over the palette arrive after it let the mouse go
  m_tracker.Open(color);

  m_pMoreColors = new MoreColorsPushButton(this);
  CPage::SetDlgCtrlID(m_pMoreColors, kMoreColorsButtonId);
  m_pMoreColors->setGeometry(ToQRect(kMoreColorsButtonRect));
  connect(m_pMoreColors, &QAbstractButton::clicked, this, [this] {
    // Told to the owner once this click has finished, as a posted message would be.
    if (m_pOwner != nullptr) QMetaObject::invokeMethod(m_pOwner, &CColorPickerButton::OnMoreColors, Qt::QueuedConnection);
  });
  CurrentPalette() = this;
}

ColorPalette::~ColorPalette() { StopTracking(); }

ColorPalette* ColorPalette::Current() { return CurrentPalette(); }

void ColorPalette::StartTracking() {
  show();
  grabMouse();
  m_bCapture = true;
  m_tracker.PressFromOwner();
}

void ColorPalette::StopTracking() {
  if (CurrentPalette() == this) CurrentPalette() = nullptr;
  if (m_bCapture) {
    releaseMouse();
    m_bCapture = false;
  }
  if (m_bWatchingClicks) {
    qApp->removeEventFilter(this);
    m_bWatchingClicks = false;
  }
  hide();
}

void ColorPalette::LoseCapture() {
  releaseMouse();
  m_bCapture = false;
  // Without the mouse a click elsewhere would leave the palette open for good:
  // watch the application's presses and close on one outside.
  if (!m_bWatchingClicks) {
    qApp->installEventFilter(this);
    m_bWatchingClicks = true;
  }
}

void ColorPalette::RepaintCell(int index) {
  if (index >= 0) update(ToQRect(PaletteCellRect(index)));
}

void ColorPalette::RepaintPreview() { update(0, kPaletteGridHeight, kPaletteWidth, kPaletteHeight - kPaletteGridHeight); }

void ColorPalette::HandlePress(QPoint local) {
  m_tracker.Press(CPoint(local.x(), local.y()));
  RepaintPreview();
}

void ColorPalette::HandleMove(QPoint local, QPoint global) {
  const PaletteMove move = m_tracker.Move(CPoint(local.x(), local.y()), CPoint(global.x(), global.y()));
  if (move.cellChanged) {
    RepaintCell(move.oldCell);
    RepaintCell(move.newCell);
  }
  if (move.previewChanged) RepaintPreview();
  if (move.releaseCapture && m_bCapture) LoseCapture();
  if (m_pOwner != nullptr) m_pOwner->OnPaletteSetCursor(move.hitTest);
}

void ColorPalette::HandleRelease(QPoint local) {
  const CPoint point(local.x(), local.y());
  // Without the mouse, a release on the more-colours button leaves the palette open
  // so that the button can be clicked.
  if (!m_bCapture && PaletteTracker::OverMoreColorsButton(point)) return;
  const std::optional<COLORREF> color = m_tracker.Release(point);
  if (color && m_pOwner != nullptr) m_pOwner->OnPaletteRelease(*color);
}

void ColorPalette::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) HandlePress(event->position().toPoint());
  event->accept();
}

void ColorPalette::mouseMoveEvent(QMouseEvent* event) {
  HandleMove(event->position().toPoint(), event->globalPosition().toPoint());
  event->accept();
}

void ColorPalette::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) HandleRelease(event->position().toPoint());
  event->accept();
}

bool ColorPalette::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && m_bWatchingClicks && !m_bCapture && m_pOwner != nullptr) {
    const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
    if (!geometry().contains(global)) m_pOwner->ClosePalette();
  }
  return QWidget::eventFilter(watched, event);
}

void ColorPalette::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  CDC dc(painter);

  // Background: white, the grid lines, the grey strip and the preview's frame.
  dc.FillSolidRect(CRect(0, 0, kPaletteWidth, kPaletteHeight), RGB(255, 255, 255));
  dc.SelectStockObject(BLACK_PEN);
  for (int x = kPaletteCellSize; x <= 179; x += kPalettePitch) {
    dc.MoveTo(x, 0);
    dc.LineTo(x, kPaletteGridHeight);
  }
  for (int y = kPaletteCellSize; y < kPaletteGridHeight; y += kPalettePitch) {
    dc.MoveTo(0, y);
    dc.LineTo(kPaletteGridWidth, y);
  }
  dc.FillSolidRect(CRect(0, kPaletteGridHeight, kPaletteWidth, kPaletteHeight), kPaletteStripColour);
  CRect frame = kPalettePreviewRect;
  frame.InflateRect(1, 1);
  dc.FrameRect(frame, CBrush(RGB(0, 0, 0)));

  // The cells, the highlighted one, the preview and its text.
  for (int i = 0; i < kPaletteCellCount; ++i) dc.FillSolidRect(PaletteCellRect(i), PaletteCellColour(i));
  if (m_tracker.Highlighted() >= 0) dc.DrawFocusRect(PaletteCellRect(m_tracker.Highlighted()));
  dc.FillSolidRect(kPalettePreviewRect, m_tracker.Preview());

  CFont font;
  font.CreateFont(-12, FW_NORMAL, "宋体");
  dc.SelectObject(font);
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(RGB(0, 0, 0));
  dc.TextOut(kPaletteTextPos.x, kPaletteTextPos.y, ColourText(m_tracker.Preview()));
}
