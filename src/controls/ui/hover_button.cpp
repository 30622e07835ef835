#include "controls/ui/hover_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include "controls/hover_face.h"
#include "platform/ui/qt_convert.h"

namespace {

constexpr int kCornerEllipse = 5;

}  // namespace

CHoverButton::CHoverButton(QWidget* parent) : QPushButton(parent) { Init(); }

CHoverButton::CHoverButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) { Init(); }

CHoverButton::~CHoverButton() = default;

void CHoverButton::Init() {
  setMouseTracking(true);
  setAttribute(Qt::WA_Hover, true);
  UpdateRegion();
}

void CHoverButton::UpdateRegion() {
  // The client rectangle with rounded corners; the window shows nothing outside it.
  if (width() <= 0 || height() <= 0) return;
  QPainterPath path;
  path.addRoundedRect(QRectF(0, 0, width(), height()), kCornerEllipse / 2.0, kCornerEllipse / 2.0);
  setMask(QRegion(path.toFillPolygon().toPolygon()));
  update();
}

void CHoverButton::resizeEvent(QResizeEvent* event) {
  QPushButton::resizeEvent(event);
  UpdateRegion();
}

ButtonDrawState CHoverButton::CurrentState() const {
  ButtonDrawState state;
  state.pressed = isDown();
  state.focused = hasFocus();
  state.disabled = !isEnabled();
  state.hovered = hovered_;
  state.isDefault = isDefault();
  return state;
}

void CHoverButton::enterEvent(QEnterEvent* event) {
  QPushButton::enterEvent(event);
  // Hover and leave are reported from here on; the hover time is immediate.
  tracking_ = true;
  if (!hovered_) {
    hovered_ = true;
    update();
  }
}

void CHoverButton::leaveEvent(QEvent* event) {
  QPushButton::leaveEvent(event);
  hovered_ = false;
  tracking_ = false;
  update();
}

void CHoverButton::mouseMoveEvent(QMouseEvent* event) {
  QPushButton::mouseMoveEvent(event);
  if (!tracking_ && rect().contains(event->position().toPoint())) {
    tracking_ = true;
    hovered_ = true;
    update();
  }
}

void CHoverButton::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  CDC dc(painter);
  DrawItem(dc, FromQRect(rect()), CurrentState());
}

void CHoverButton::DrawItem(CDC& dc, const CRect& item, const ButtonDrawState& state) {
  const int saved = dc.SaveDC();
  const CString caption = FromQString(text().left(260));

  dc.SelectObject(CPen(PS_SOLID, 1, RGB(0, 0, 0)));
  dc.RoundRect(item.left, item.top, item.right, item.bottom, kCornerEllipse, kCornerEllipse);

  const bool focused = state.focused;
  const bool pressedOrDefault = focused || state.pressed || state.isDefault;

  CRect rect = item;
  rect.DeflateRect(GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE));
  dc.SelectObject(CBrush(state.hovered ? kHoverFaceBrushHovered : kHoverFaceBrushNormal));

  DrawFace(dc, rect, state.hovered, pressedOrDefault);
  if (state.hovered || focused) DrawFrame(dc, rect, state.hovered, focused);

  if (!caption.empty()) {
    dc.SelectObject(CFont(font()));
    dc.SetBkMode(TRANSPARENT);
    CRect area = rect;
    if (state.pressed) area.OffsetRect(1, 1);
    if (state.disabled) {
      // Embossed: highlight one pixel right and down, then shadow in place.
      CRect raised = area;
      raised.OffsetRect(1, 1);
      dc.SetTextColor(GetSysColor(COLOR_BTNHIGHLIGHT));
      dc.DrawText(caption, raised, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
      dc.SetTextColor(GetSysColor(COLOR_BTNSHADOW));
    } else {
      dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
    }
    dc.DrawText(caption, area, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  }
  dc.RestoreDC(saved);
}

void CHoverButton::DrawFace(CDC& dc, const CRect& rect, bool hovered, bool pressedOrDefault) {
  // Rows from the top to height + 2, each one pixel high and two pixels wider than
  // the rectangle (one each side).
  const int height = rect.Height();
  for (int y = rect.top; y <= height + 2; ++y) {
    dc.FillSolidRect(CRect(rect.left - 1, y, rect.right + 1, y + 1),
                     HoverFaceRowColour(y, height, hovered, pressedOrDefault));
  }
}

void CHoverButton::DrawFrame(CDC& dc, const CRect& rect, bool hovered, bool focused) {
  const HoverFrameKind kind = HoverFrameOf(hovered, focused);
  if (kind == HoverFrameKind::None) return;
  const HoverFramePens pens = kind == HoverFrameKind::Hover ? HoverFrame() : FocusFrame();
  auto pen = [&](int edge) {
    const HoverFrameEdge& e = pens.edges[static_cast<size_t>(edge)];
    return CPen(PS_SOLID, e.width, e.colour);
  };
  // Left, right, top, bottom.
  dc.SelectObject(pen(0));
  dc.MoveTo(rect.left, rect.bottom - 1);
  dc.LineTo(rect.left, rect.top + 1);
  dc.SelectObject(pen(1));
  dc.MoveTo(rect.right - 1, rect.bottom - 1);
  dc.LineTo(rect.right - 1, rect.top);
  dc.SelectObject(pen(2));
  dc.MoveTo(rect.left - 1, rect.top);
  dc.LineTo(rect.right - 1, rect.top);
  dc.SelectObject(pen(3));
  dc.MoveTo(rect.left, rect.bottom - 1);
  dc.LineTo(rect.right - 1, rect.bottom - 1);
  if (HoverShowsFocusRect(hovered, focused)) dc.DrawFocusRect(rect);
}
