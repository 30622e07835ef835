#pragma once
// The colour picker's palette: a small window under its button with a grid of 228
// colours, a preview with its "#RRGGBB" text and a more-colours button (id 100).
// It holds the mouse while open, so moves anywhere on the screen reach it and the
// colour under the cursor can be picked from any pixel. Only one palette is open at
// a time. The palette is created and closed by its CColorPickerButton.
//
// The system colour dialog is reached through PickColorFromDialog, whose hook lets
// tests answer instead of a real dialog (it also answers whenever the message-box
// hook is recording, so a test never shows a real modal).

#include <QPointer>
#include <QWidget>
#include <deque>
#include <optional>

#include "controls/palette.h"

class QAbstractButton;
class CColorPickerButton;

// UI thread only, like the dialog it stands in for.
class ColorDialogHook {
 public:
  static ColorDialogHook& Instance();

  void StartRecording();
  void StopRecording();
  // Recording, or the message-box hook is.
  bool IsActive() const;

  // The next answer: a colour, or nothing for a cancelled dialog. With no answer
  // queued the dialog counts as cancelled.
  void SetNextColor(std::optional<COLORREF> color);
  int Calls() const { return calls_; }
  COLORREF LastInitialColor() const { return lastInitial_; }
  void Clear();

  // While active: the queued answer (the outer optional is empty when inactive).
  std::optional<std::optional<COLORREF>> Intercept(COLORREF initial);

 private:
  bool recording_ = false;
  std::deque<std::optional<COLORREF>> answers_;
  int calls_ = 0;
  COLORREF lastInitial_ = 0;
};

// The system colour dialog, fully opened, starting at initial; nothing when cancelled.
std::optional<COLORREF> PickColorFromDialog(COLORREF initial, QWidget* parent);

class ColorPalette : public QWidget {
  Q_OBJECT

 public:
  // A top-level window owned by the button; reader may be null (no screen pixels).
  ColorPalette(CColorPickerButton* owner, COLORREF color, IScreenPixelReader* reader);
  ~ColorPalette() override;

  // The palette open now, if any.
  static ColorPalette* Current();

  CColorPickerButton* Owner() const { return m_pOwner; }
  const PaletteTracker& Tracker() const { return m_tracker; }
  QAbstractButton* MoreColorsButton() const { return m_pMoreColors; }
  // The palette holds the mouse (until the cursor reaches the more-colours button).
  bool HasCapture() const { return m_bCapture; }

  // Takes the mouse; the press that opened the palette is its first press.
  void StartTracking();
  void StopTracking();

  // Mouse input in palette coordinates (global for the screen pixel). The owner
  // forwards what reaches it while the palette is open.
  void HandlePress(QPoint local);
  void HandleMove(QPoint local, QPoint global);
  void HandleRelease(QPoint local);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LoseCapture();
  void RepaintCell(int index);
  void RepaintPreview();

  QPointer<CColorPickerButton> m_pOwner;
  PaletteTracker m_tracker;
  QAbstractButton* m_pMoreColors = nullptr;
  bool m_bCapture = false;
  bool m_bWatchingClicks = false;
};
