#include "controls/ui/tip_wnd.h"

#include <QEnterEvent>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "platform/ui/dc.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"

CTipWnd::CTipWnd(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  if (parent != nullptr) SetParentWnd(parent);
}

CTipWnd::~CTipWnd() = default;

void CTipWnd::SetParentWnd(QWidget* parent) {
  if (parent == m_pParent) return;
  Hide(m_nCurrentKey);
  m_nCurrentKey = 0;
  if (m_pParent != nullptr) m_pParent->removeEventFilter(this);
  m_pParent = parent;
  if (parent == nullptr) {
    hide();
    return;
  }
  setParent(parent);
  parent->installEventFilter(this);
  const QList<QWidget*> descendants = parent->findChildren<QWidget*>();
  for (QWidget* control : descendants) {
    if (control != this && CPage::GetDlgCtrlID(control) != 0) Watch(control);
  }
  FollowParent();
  show();
  raise();
}

void CTipWnd::FollowParent() {
  if (m_pParent != nullptr) setGeometry(m_pParent->rect());
}

void CTipWnd::Watch(QWidget* control) {
  if (control != nullptr && control != this) control->installEventFilter(this);  // a second install replaces the first
}

BOOL CTipWnd::AddTool(int id, const std::vector<CString>& lines, COLORREF backColor, COLORREF textColor) {
  m_arrTools.push_back(ToolItem{id, lines, textColor, backColor});
  Watch(ControlOf(id));
  return TRUE;
}

BOOL CTipWnd::RemoveTool(int id) {
  if (id == m_nCurrentKey) Hide(id);
  std::erase_if(m_arrTools, [id](const ToolItem& item) { return item.key == id; });
  return TRUE;
}

const CTipWnd::ToolItem* CTipWnd::FindTool(int id) const {
  const auto it = std::find_if(m_arrTools.begin(), m_arrTools.end(), [id](const ToolItem& item) { return item.key == id; });
  return it == m_arrTools.end() ? nullptr : &*it;
}

QWidget* CTipWnd::ControlOf(int id) const {
  if (m_pParent == nullptr || id == 0) return nullptr;
  if (const auto* page = qobject_cast<const CPage*>(m_pParent.data())) return page->GetDlgItem(id);
  return m_pParent->findChild<QWidget*>(QStringLiteral("ctrl%1").arg(id));
}

QWidget* CTipWnd::ControlAt(QPoint point) const {
  if (m_pParent == nullptr) return nullptr;
  QWidget* hit = m_pParent->childAt(point);  // the overlay is transparent for the mouse, so never hit
  // The nearest widget with an id, else the page's own child that holds the point.
  QWidget* topmost = nullptr;
  for (QWidget* w = hit; w != nullptr && w != m_pParent; w = w->parentWidget()) {
    if (w == this) return nullptr;
    if (CPage::GetDlgCtrlID(w) != 0) return w;
    topmost = w;
  }
  return topmost;
}

void CTipWnd::RelayMouseMove(QPoint point) {
  QWidget* control = ControlAt(point);
  if (control == nullptr) return;
  const int id = CPage::GetDlgCtrlID(control);
  if (id == m_nCurrentKey) return;
  Hide(m_nCurrentKey);
  Show(id);
}

void CTipWnd::Show(int id) {
  const ToolItem* item = FindTool(id);
  m_nCurrentKey = item != nullptr ? id : 0;
  if (item == nullptr || item->lines.empty()) return;

  if (IsTipShown()) update(ToQRect(m_rcDrawn));  // only one tip at a time
  CalcSize(item->lines);
  CRect rect;
  CalcPosition(item->key, rect);
  if (rect.IsRectEmpty()) {
    m_geometry.Clear();
    m_rcDrawn = CRect();
    return;
  }
  m_shown = *item;
  m_rcDrawn = rect;
  raise();  // controls created after the overlay lie above it
  update(ToQRect(rect));
}

void CTipWnd::Hide(int id) {
  (void)id;  // whatever is shown is removed, in the rectangle it was drawn in
  if (!IsTipShown()) return;
  update(ToQRect(m_rcDrawn));
  m_geometry.Clear();
  m_rcDrawn = CRect();
}

void CTipWnd::Withdraw() {
  Hide(m_nCurrentKey);
  m_nCurrentKey = 0;  // the tip comes back when the mouse reaches a control again
}

void CTipWnd::CalcPosition(int id, CRect& rect) {
  rect = CRect();
  QWidget* control = ControlOf(id);
  if (control == nullptr) return;
  const CRect client(0, 0, m_pParent->width(), m_pParent->height());
  const QPoint origin = control->mapTo(m_pParent, QPoint(0, 0));
  const CRect bounds(CPoint(origin.x(), origin.y()), CSize(control->width(), control->height()));
  rect = m_geometry.CalcPosition(client, bounds);
}

int CTipWnd::CalcSize(const std::vector<CString>& lines) { return m_geometry.CalcSize(lines); }

bool CTipWnd::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_pParent) {
    switch (event->type()) {
      case QEvent::Resize:
        FollowParent();
        Withdraw();  // the controls moved away from under it
        break;
      case QEvent::Hide:
      case QEvent::Leave:
        Withdraw();
        break;
      default:
        break;
    }
    return false;
  }
  if (event->type() == QEvent::KeyPress) {
    Withdraw();  // the tip must not cover what the user is typing
    return false;
  }
  if (event->type() == QEvent::Enter && m_pParent != nullptr) {
    auto* control = qobject_cast<QWidget*>(watched);
    if (control != nullptr && m_pParent->isAncestorOf(control)) {
      const QPoint local = static_cast<QEnterEvent*>(event)->position().toPoint();
      RelayMouseMove(control->mapTo(m_pParent, local));
    }
  }
  return false;
}

void CTipWnd::paintEvent(QPaintEvent* /*event*/) {
  if (!IsTipShown() || m_shown.lines.empty()) return;
  QPainter painter(this);
  CDC dc(painter);
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(m_shown.textColor);

  const int row = m_geometry.RowHeight();
  CFont font;
  font.CreateFont(row, FW_NORMAL, "宋体");
  dc.SelectObject(font);

  CRect rect = m_rcDrawn;
  dc.FillSolidRect(rect, m_shown.backColor);
  CRect edge = rect;
  dc.DrawEdge(edge, EDGE_ETCHED, BF_RECT);

  for (size_t i = 0; i < m_shown.lines.size(); ++i) {
    dc.TextOut(rect.left + 8, rect.top + 5 + static_cast<int>(i) * (row - 1), m_shown.lines[i]);
  }
}

bool FilterPageControlEvent(CTipWnd* tip, QWidget* page, QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseMove:
      if (tip != nullptr && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        tip->RelayMouseMove(widget->mapTo(page, static_cast<QMouseEvent*>(event)->position().toPoint()));
      }
      return false;
    case QEvent::KeyPress:
      return IsPageSwallowedKeyPress(page, watched, event);
    default:
      return false;
  }
}
