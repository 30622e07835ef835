#pragma once
// A device context over a QPainter, so that owner-draw code reads as it was written:
// a current pen, brush, font, text and background colour, saved and restored states,
// and the drawing calls with their pixel rules kept (a rectangle leaves its right and
// bottom edge out, a line leaves its end point out). Antialiasing is off.

#include <QFont>
#include <string>
#include <vector>

#include "platform/gdi_types.h"

class QPainter;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Pen styles.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_NULL = 5;

// Font weights.
constexpr int FW_DONTCARE = 0;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int DEFAULT_GUI_FONT = 17;

// Edges and sides.
constexpr UINT BDR_RAISEDOUTER = 0x0001;
constexpr UINT BDR_SUNKENOUTER = 0x0002;
constexpr UINT BDR_RAISEDINNER = 0x0004;
constexpr UINT BDR_SUNKENINNER = 0x0008;
constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr UINT BF_LEFT = 0x0001;
constexpr UINT BF_TOP = 0x0002;
constexpr UINT BF_RIGHT = 0x0004;
constexpr UINT BF_BOTTOM = 0x0008;
constexpr UINT BF_TOPLEFT = BF_TOP | BF_LEFT;
constexpr UINT BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT;
constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr UINT BF_MIDDLE = 0x0800;
constexpr UINT BF_ADJUST = 0x2000;

// DrawText formats.
constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_EXPANDTABS = 0x0040;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;

// GetDeviceCaps indexes and raster capabilities.
constexpr int BITSPIXEL = 12;
constexpr int RASTERCAPS = 38;
constexpr int RC_PALETTE = 0x0100;

// Region kinds returned by IntersectClipRect.
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;

// The face the program draws text in: CJK glyphs exactly two ASCII columns wide.
inline constexpr const char* kMonoCjkFace = "Noto Sans Mono CJK SC";

// "宋体", "新宋体", "SimSun", "NSimSun" and an empty name resolve to the mono CJK
// face; any other name is kept (the font system substitutes what it lacks).
std::string ResolveFontFace(const std::string& face);
// A font of heightPx pixels (the sign is ignored: the CJK faces have no internal
// leading, so cell and character heights agree), weight 100..900 (0 = normal).
QFont MakeFont(int heightPx, int weight, const std::string& face);
// The program's font: the mono CJK face at 9 pt.
QFont ApplicationFont();

class CPen {
 public:
  CPen() = default;  // solid, 1 pixel, black
  CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
  BOOL CreatePen(int style, int width, COLORREF color);

  int Style() const { return style_; }
  int Width() const { return width_; }
  COLORREF Color() const { return color_; }

 private:
  int style_ = PS_SOLID;
  int width_ = 1;
  COLORREF color_ = RGB(0, 0, 0);
};

class CBrush {
 public:
  CBrush() = default;  // solid white
  explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
  BOOL CreateSolidBrush(COLORREF color);
  static CBrush Hollow();

  bool IsHollow() const { return hollow_; }
  COLORREF Color() const { return color_; }

 private:
  bool hollow_ = false;
  COLORREF color_ = RGB(255, 255, 255);
};

class CFont {
 public:
  CFont();  // the application font
  explicit CFont(const QFont& font) : font_(font) {}
  // The full form the drawing code is written with; width, escapement, orientation,
  // character set, precisions, quality and pitch have no effect here.
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
                  BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision, BYTE quality,
                  BYTE pitchAndFamily, const std::string& face);
  BOOL CreateFont(int height, int weight, const std::string& face);
  // pointSize in tenths of a point, as 90 for 9 pt.
  BOOL CreatePointFont(int pointSizeTenths, const std::string& face);

  const QFont& Font() const { return font_; }

 private:
  QFont font_;
};

class CDC {
 public:
  // Starts from the defaults: black solid pen, white brush, application font, black
  // text on an opaque white background. The painter's own state is restored when
  // the CDC goes away.
  explicit CDC(QPainter& painter);
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  QPainter& Painter() { return painter_; }

  // A screen context never prints and has no palette; a test context may say otherwise.
  virtual BOOL IsPrinting() const { return FALSE; }
  // RASTERCAPS: 0 (no RC_PALETTE); BITSPIXEL: 32; anything else 0.
  virtual int GetDeviceCaps(int index) const { return index == BITSPIXEL ? 32 : 0; }

  COLORREF SetTextColor(COLORREF color);  // each setter returns the previous value
  COLORREF GetTextColor() const { return state_.textColor; }
  COLORREF SetBkColor(COLORREF color);
  COLORREF GetBkColor() const { return state_.bkColor; }
  int SetBkMode(int mode);
  int GetBkMode() const { return state_.bkMode; }

  CPen SelectObject(const CPen& pen);  // each returns the object it replaces
  CBrush SelectObject(const CBrush& brush);
  CFont SelectObject(const CFont& font);
  void SelectStockObject(int object);
  const CPen& GetCurrentPen() const { return state_.pen; }
  const CBrush& GetCurrentBrush() const { return state_.brush; }
  const CFont& GetCurrentFont() const { return state_.font; }

  // Saves colours, mode, objects, position and clip; returns the new depth (1, 2...).
  int SaveDC();
  // Restores the state saved at that depth (-1 = the last one) and drops the later ones.
  BOOL RestoreDC(int savedDepth);
  int IntersectClipRect(const CRect& rect);
  int IntersectClipRect(int l, int t, int r, int b) { return IntersectClipRect(CRect(l, t, r, b)); }

  // Fills exactly [left,right) x [top,bottom) and leaves the background colour set
  // to color (drawing code counts on that). An inverted rectangle is normalised first.
  void FillSolidRect(const CRect& rect, COLORREF color);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
  void FillRect(const CRect& rect, const CBrush& brush);
  void FrameRect(const CRect& rect, const CBrush& brush);  // one pixel inside rect
  void SetPixel(int x, int y, COLORREF color);

  // Outline in the pen (inside the rectangle, the right and bottom edge left out),
  // interior in the brush. Without a pen the fill is one pixel smaller each way.
  BOOL Rectangle(int l, int t, int r, int b);
  BOOL Rectangle(const CRect& rect) { return Rectangle(rect.left, rect.top, rect.right, rect.bottom); }
  BOOL RoundRect(int l, int t, int r, int b, int ellipseWidth, int ellipseHeight);
  BOOL RoundRect(const CRect& rect, CPoint ellipse) {
    return RoundRect(rect.left, rect.top, rect.right, rect.bottom, ellipse.x, ellipse.y);
  }
  BOOL Ellipse(int l, int t, int r, int b);
  BOOL Ellipse(const CRect& rect) { return Ellipse(rect.left, rect.top, rect.right, rect.bottom); }

  CPoint MoveTo(int x, int y);  // returns the previous position
  CPoint MoveTo(CPoint p) { return MoveTo(p.x, p.y); }
  // Draws from the current position up to, but not including, (x, y).
  BOOL LineTo(int x, int y);
  BOOL LineTo(CPoint p) { return LineTo(p.x, p.y); }
  CPoint GetCurrentPosition() const { return state_.position; }

  // Top and left edge in topLeft, right and bottom edge (with the top-right and
  // bottom-left corners) in bottomRight.
  void Draw3dRect(const CRect& rect, COLORREF topLeft, COLORREF bottomRight);
  void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
  // Two-pixel 3-D edges in the system colours; BF_ADJUST shrinks rect by what was drawn.
  BOOL DrawEdge(CRect& rect, UINT edge, UINT flags);
  // Inverts every other border pixel: drawing it twice removes it.
  void DrawFocusRect(const CRect& rect);

  // Text with its top-left corner at (x, y); an opaque background fills its extent.
  BOOL TextOut(int x, int y, const CString& text);
  BOOL TextOut(CPoint p, const CString& text) { return TextOut(p.x, p.y, text); }
  // Returns the text's height (for DT_VCENTER / DT_BOTTOM: from rect.top to the
  // text's bottom). DT_CALCRECT measures instead of drawing and sets rect's right
  // and bottom. Without DT_NOPREFIX "&x" underlines x and "&&" is "&".
  int DrawText(const CString& text, CRect& rect, UINT format);
  int DrawText(const CString& text, const CRect& rect, UINT format);
  CSize GetTextExtent(const CString& text) const;

 private:
  struct State {
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    CPen pen;
    CBrush brush;
    CFont font;
    CPoint position;
  };

  void FillArea(const CRect& rect, COLORREF color);
  void DrawLine(CPoint from, CPoint to);

  QPainter& painter_;
  State state_;
  std::vector<State> saved_;
};
