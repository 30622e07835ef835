#include "controls/ui/wrap_layout.h"

#include <QWidget>
#include <algorithm>

namespace {

QSize NaturalSize(const QLayoutItem* item) { return item->sizeHint().expandedTo(item->minimumSize()); }

}  // namespace

CWrapLayout::CWrapLayout(int spacing) { setSpacing(spacing); }

CWrapLayout::~CWrapLayout() {
  while (QLayoutItem* item = takeAt(0)) delete item;
}

void CWrapLayout::addItem(QLayoutItem* item) { items_.append(item); }

QLayoutItem* CWrapLayout::takeAt(int index) {
  return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

int CWrapLayout::heightForWidth(int width) const { return Arrange(QRect(0, 0, width, 0), false); }

QSize CWrapLayout::minimumSize() const {
  const QMargins m = contentsMargins();
  int widest = 0;
  for (const QLayoutItem* item : items_) {
    if (!item->isEmpty()) widest = std::max(widest, NaturalSize(item).width());
  }
  const int width = widest + m.left() + m.right();
  return {width, heightForWidth(width)};
}

QSize CWrapLayout::sizeHint() const {
  const QMargins m = contentsMargins();
  int width = 0;
  int height = 0;
  for (const QLayoutItem* item : items_) {
    if (item->isEmpty()) continue;
    const QSize natural = NaturalSize(item);
    width += (width > 0 ? spacing() : 0) + natural.width();
    height = std::max(height, natural.height());
  }
  return {width + m.left() + m.right(), height + m.top() + m.bottom()};
}

void CWrapLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  Arrange(rect, true);
}

int CWrapLayout::Arrange(const QRect& rect, bool place) const {
  const QRect area = rect.marginsRemoved(contentsMargins());
  int y = area.top();
  for (int first = 0; first < items_.size();) {
    // The row: as many items as fit, at least one.
    int end = first;
    int width = 0;
    int height = 0;
    for (; end < items_.size(); ++end) {
      if (items_[end]->isEmpty()) continue;
      const QSize natural = NaturalSize(items_[end]);
      const int grown = width + (width > 0 ? spacing() : 0) + natural.width();
      if (width > 0 && grown > area.width()) break;
      width = grown;
      height = std::max(height, natural.height());
    }
    if (place) {
      int x = area.left();
      for (int i = first; i < end; ++i) {
        if (items_[i]->isEmpty()) continue;
        const int w = NaturalSize(items_[i]).width();
        items_[i]->setGeometry(QRect(x, y, w, height));
        x += w + spacing();
      }
    }
    if (height > 0) y += height + spacing();
    first = end;
  }
  const QMargins m = contentsMargins();
  return std::max(0, y - area.top() - spacing()) + m.top() + m.bottom();
}
