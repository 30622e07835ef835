#pragma once
// The colours one line of a colour list box is painted in. Each line carries its own
// text colour; 0 means "no colour of its own", so the line follows the system colours
// (pure black can therefore not be chosen as a line colour).

#include "platform/gdi_types.h"

struct ListBoxLineLook {
  COLORREF fill = 0;  // the line's field: its own colour when selected, else the list background
  COLORREF text = 0;
};

// Each of the three colour bytes replaced by 255 minus the byte; the top byte is 0.
COLORREF InverseColour(COLORREF colour);

// The field and text colour of one line.
//  - Selected: the field is the line colour (black for an uncoloured line); the text is
//    the inverse of the line colour, or the highlight-text colour for an uncoloured line,
//    each as ReadableTextColour keeps it on the field. This holds in a disabled list too.
//  - Unselected: the field is the list background; the text is grey in a disabled list,
//    else the line colour, or the window-text colour for an uncoloured line or for a
//    line whose colour equals the background (white on a white list would be invisible).
ListBoxLineLook ListBoxLineColours(COLORREF colour, bool selected, bool disabled, COLORREF background);

// The contrast ratio of two colours by their relative luminance in sRGB, from 1 (the
// same) to 21 (black on white).
double ContrastRatio(COLORREF a, COLORREF b);

// The text colour for a field: `preferred` when its contrast with the field reaches
// minRatio, else black or white, whichever contrasts more (one of them always reaches
// 4.5).
COLORREF ReadableTextColour(COLORREF preferred, COLORREF field, double minRatio = 4.5);

// The line colour as text on `background`: darkened, with its hue kept (the three bytes
// scaled alike), just as far as its contrast reaches minRatio. A colour that already
// reaches it, an uncoloured line (0) and a line in the background's own colour (drawn in
// the window-text colour) are kept, and so is a colour no darker shade would help.
COLORREF DarkenForContrast(COLORREF colour, COLORREF background, double minRatio = 4.5);
