#pragma once
// A group box that paints itself: a rounded frame with the caption set into its top
// line (style 0), or a rounded window-like box with a caption bar (any other
// style). It lies below its sibling controls and lets the mouse through to them;
// controls placed inside it take the mouse as they would on the page.
//
// The caption is taken from the window text (with one blank on each side) the
// first time it is painted; SetText replaces it once the widget's window exists
// (after it was first shown or created). Every setter repaints and returns the box,
// so calls can be chained.

#include <QFont>
#include <QWidget>

#include "controls/group_box_layout.h"
#include "platform/gdi_types.h"

class CXPGroupBox : public QWidget {
  Q_OBJECT

 public:
  explicit CXPGroupBox(QWidget* parent = nullptr);
  ~CXPGroupBox() override;

  // Places the box on parent with its window text, rectangle and id, and shows it.
  BOOL Create(const CString& windowText, const CRect& rect, QWidget* parent, int id);

  // The template text the caption is taken from.
  void SetWindowText(const CString& text);
  CString GetWindowText() const;

  CXPGroupBox& SetText(const CString& text);
  CXPGroupBox& SetStyle(int style);
  CXPGroupBox& SetAlignment(int alignment);  // 1 centre, 2 right, anything else left
  CXPGroupBox& SetBorderColor(COLORREF color);
  CXPGroupBox& SetCaptionTextColor(COLORREF color);
  CXPGroupBox& SetBackgroundColor(COLORREF color);  // caption and client background
  CXPGroupBox& SetBackgroundColors(COLORREF caption, COLORREF client);
  CXPGroupBox& SetFont(const QFont& font);
  CXPGroupBox& SetFontBold(bool bold);
  CXPGroupBox& SetFontName(const CString& face, BYTE charSet = 0);  // the character set has no effect here
  CXPGroupBox& SetFontUnderline(bool underline);
  CXPGroupBox& SetFontItalic(bool italic);
  CXPGroupBox& SetFontSize(int points);

  const CString& GetCaption() const { return m_strCaption; }
  int GetStyle() const { return m_nStyle; }
  int GetAlignment() const { return m_nAlignment; }
  COLORREF GetBorderColor() const { return m_clrBorder; }
  COLORREF GetCaptionBackground() const { return m_clrCaptionBackground; }
  COLORREF GetClientBackground() const { return m_clrClientBackground; }
  COLORREF GetCaptionTextColor() const { return m_clrCaptionText; }
  const QFont& GetFontDescription() const { return m_font; }
  // The layout of the last paint.
  const GroupBoxLayout& LastLayout() const { return m_layout; }
  // True once the widget has its window (first shown or created).
  bool HasWindow() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void Redraw();

  CString m_strCaption;
  COLORREF m_clrBorder;
  COLORREF m_clrCaptionBackground;
  COLORREF m_clrClientBackground;
  COLORREF m_clrCaptionText;
  int m_nStyle = kGroupBoxFrameStyle;
  int m_nAlignment = kGroupBoxAlignLeft;
  QFont m_font;  // the font description; painting builds its font from it
  GroupBoxLayout m_layout;
};
