#include "controls/group_box_layout.h"

GroupBoxLayout GroupBoxLayout::Calc(const CRect& client, int style, int alignment, CSize extent) {
  GroupBoxLayout layout;
  CRect r = client;
  r.DeflateRect(1, 1);
  layout.box = r;
  const int w = extent.cx;
  const int h = extent.cy;

  if (style != kGroupBoxFrameStyle) {
    layout.captionBar = CRect(r.left, r.top, r.right, r.top + h + 4);
    layout.frame = r;
    layout.body = CRect(r.left, r.top + h + 4, r.right, r.bottom);
    if (alignment == kGroupBoxAlignCenter) {
      const int left = layout.captionBar.left + (layout.captionBar.Width() - w) / 2;
      layout.caption = CRect(left, r.top + 2, left + w, r.top + h + 2);
    } else if (alignment == kGroupBoxAlignRight) {
      layout.caption = CRect(r.right - w - 2, r.top + 2, r.right - 2, r.top + h + 2);
    } else {
      layout.caption = CRect(r.left + 2, r.top + 2, r.left + w + 2, r.top + h + 2);
    }
    return layout;
  }

  if (alignment == kGroupBoxAlignCenter) {
    const int left = r.left + (r.Width() - w) / 2;
    layout.caption = CRect(left, r.top, left + w, r.top + h);
  } else if (alignment == kGroupBoxAlignRight) {
    layout.caption = CRect(r.right - 10 - w, r.top, r.right - 10, r.top + h);
  } else {
    layout.caption = CRect(r.left + 10, r.top, r.left + w + 10, r.top + h);
  }
  layout.frame = CRect(r.left, r.top + h / 2, r.right, r.bottom);
  return layout;
}
