#pragma once
// A static text that is a link: link colours, a hand cursor and the address as its
// tooltip, a colour (and in mode -1 an underline) of its own while the mouse is over
// it, and a click that opens the address in the user's browser.
//
// Only http and https addresses are opened, through an injectable opener (the
// desktop's by default). A refused address shows the "cannot open" box with the
// access-denied text without calling the opener; an opener that fails beeps and
// shows the box with the no-association text; success marks the link visited.

#include <QFont>
#include <QLabel>
#include <QUrl>
#include <functional>
#include <string>

#include "platform/gdi_types.h"

class CHyperLink : public QLabel {
  Q_OBJECT

 public:
  // Opens an address; false when it could not be opened.
  using Opener = std::function<bool(const QUrl&)>;

  // Underline modes.
  static constexpr int kUnderlineAlways = 1;
  static constexpr int kUnderlineNever = 0;
  static constexpr int kUnderlineHover = -1;

  // `text` is the template's text; the control is attached at once (an empty URL
  // takes the text, an empty text takes the URL).
  explicit CHyperLink(QWidget* parent = nullptr, const QString& text = QString(), const std::string& url = {});
  ~CHyperLink() override;

  void SetURL(const std::string& url);
  std::string GetURL() const { return url_; }

  void SetColours(COLORREF link, COLORREF visited, COLORREF hover = static_cast<COLORREF>(-1));
  COLORREF GetLinkColour() const { return linkColour_; }
  COLORREF GetVisitedColour() const { return visitedColour_; }
  COLORREF GetHoverColour() const { return hoverColour_; }

  void SetVisited(bool visited = true);
  bool GetVisited() const { return visited_; }

  // A null cursor (Qt::ArrowCursor shape with no pixmap is not null) restores the hand.
  void SetLinkCursor(const QCursor& cursor);
  QCursor GetLinkCursor() const { return cursor(); }

  void SetUnderline(int mode);
  int GetUnderline() const { return underline_; }

  void SetAutoSize(bool autoSize = true);
  bool GetAutoSize() const { return autoSize_; }

  bool IsHovering() const { return hovering_; }
  // The colour the text is drawn in now.
  COLORREF CurrentTextColour() const;

  // The opener of this control; an empty one goes back to the default.
  void SetOpener(Opener opener) { opener_ = std::move(opener); }
  // The default opener of every control (QDesktopServices::openUrl when empty).
  static void SetDefaultOpener(Opener opener);

  // The click: opens the URL, marks it visited or reports the error.
  void OnClicked();
  // > 32 on success; kLinkAccessDenied for an address that is not http/https,
  // kLinkNoAssociation when the opener fails.
  int GotoURL(const std::string& url);
  // Shows the box for `code` (the click beeps before it).
  void ReportError(int code);

  // Re-sizes the control to its text when auto-size is on.
  void PositionWindow();

 signals:
  void clicked();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void PreSubclassWindow();
  void ApplyFont();
  void ApplyColour();

  COLORREF linkColour_ = RGB(0, 0, 238);
  COLORREF visitedColour_ = RGB(85, 26, 139);
  COLORREF hoverColour_ = RGB(255, 0, 0);
  bool hovering_ = false;
  bool visited_ = false;
  int underline_ = kUnderlineHover;
  bool autoSize_ = true;
  std::string url_;
  QFont plainFont_;
  QFont underlineFont_;
  Opener opener_;
};
