#pragma once
// A push button with rounded corners, a soft vertical gradient face and a frame that
// lights up orange while the mouse is over it and blue while it has the focus.

#include <QPushButton>

#include "controls/button_rules.h"
#include "platform/ui/dc.h"

class CHoverButton : public QPushButton {
  Q_OBJECT

 public:
  explicit CHoverButton(QWidget* parent = nullptr);
  CHoverButton(const QString& caption, QWidget* parent);
  ~CHoverButton() override;

  bool IsHovered() const { return hovered_; }
  bool IsTracking() const { return tracking_; }
  // The state the next paint draws.
  ButtonDrawState CurrentState() const;

 protected:
  // One paint into the whole client rectangle.
  virtual void DrawItem(CDC& dc, const CRect& item, const ButtonDrawState& state);
  // The gradient, one row at a time, over rect.
  virtual void DrawFace(CDC& dc, const CRect& rect, bool hovered, bool pressedOrDefault);
  // The lit frame along rect's edges.
  virtual void DrawFrame(CDC& dc, const CRect& rect, bool hovered, bool focused);

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void Init();
  void UpdateRegion();

  bool hovered_ = false;
  bool tracking_ = false;
};
