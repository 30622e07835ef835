#pragma once
// Where a self-painted group box puts its frame and its caption. Two styles: a
// rounded frame with the caption set into its top line, or a rounded window-like
// box with a caption bar over a body.

#include "platform/gdi_types.h"

constexpr int kGroupBoxFrameStyle = 0;   // any other style value is the window style
constexpr int kGroupBoxWindowStyle = 1;

constexpr int kGroupBoxAlignLeft = 0;    // any value other than centre and right is left
constexpr int kGroupBoxAlignCenter = 1;
constexpr int kGroupBoxAlignRight = 2;

// Corner ellipse of both styles' rounded rectangles.
constexpr int kGroupBoxCornerEllipse = 10;

struct GroupBoxLayout {
  CRect box;         // the client rectangle shrunk by one pixel on each side
  CRect frame;       // frame style: the rounded frame (its top line through the caption's middle)
  CRect captionBar;  // window style: the bar the caption sits in
  CRect body;        // window style: the rest of the box under the bar
  CRect caption;     // the caption text's rectangle

  // extent: the caption's measured width and height (0 x 0 when it is empty).
  static GroupBoxLayout Calc(const CRect& client, int style, int alignment, CSize extent);
};
