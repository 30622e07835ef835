#pragma once
// A multi-line coloured tip shown next to a control of a page while the mouse is on
// it. The tip window is a transparent overlay over the whole page: it takes no mouse
// input and paints nothing but the current tip, so the page's controls stay as they
// are underneath. The page registers one tip per control id; the mouse reaching a
// control (its Enter event, watched by the tip window) shows that control's tip and
// hides the previous one. The tip goes when the mouse leaves the page, when a key is
// typed into a watched control, and when the page is resized or hidden.

#include <QPointer>
#include <QWidget>
#include <vector>

#include "controls/tip_geometry.h"
#include "platform/gdi_types.h"

class CTipWnd : public QWidget {
  Q_OBJECT

 public:
  struct ToolItem {
    int key = 0;  // the control id
    std::vector<CString> lines;
    COLORREF textColor = 0;
    COLORREF backColor = 0;
  };

  explicit CTipWnd(QWidget* parent = nullptr);
  ~CTipWnd() override;

  // Makes parent the page whose controls get tips: the tip window becomes its
  // overlay and watches the controls that carry an id.
  void SetParentWnd(QWidget* parent);
  QWidget* GetParentWnd() const { return m_pParent; }

  // Registers the lines shown for control id. Several tips for one id may exist;
  // the first one is used. The control, once it exists, is watched too.
  BOOL AddTool(int id, const std::vector<CString>& lines, COLORREF backColor, COLORREF textColor);
  // Hides the tip if it is id's, and forgets every tip of id.
  BOOL RemoveTool(int id);

  // point in the parent's client coordinates: shows the tip of the control under
  // it when that is another control than the current one. Over no control nothing
  // changes.
  void RelayMouseMove(QPoint point);

  // Shows the first tip registered for id (the current id becomes id, or 0 when
  // there is none).
  void Show(int id);
  // Removes the tip shown now, if any.
  void Hide(int id);

  // Where the tip for id goes, in the parent's client coordinates (empty when the
  // page has no control id).
  virtual void CalcPosition(int id, CRect& rect);
  // Measures lines; returns the width.
  virtual int CalcSize(const std::vector<CString>& lines);

  int GetCurrentKey() const { return m_nCurrentKey; }
  bool IsTipShown() const { return m_geometry.HasSize(); }
  // The rectangle the shown tip was drawn in (empty when none is shown).
  CRect GetTipRect() const { return m_rcDrawn; }
  int GetRowHeight() const { return m_geometry.RowHeight(); }
  const TipGeometry& Geometry() const { return m_geometry; }
  const std::vector<ToolItem>& Tools() const { return m_arrTools; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

  TipGeometry m_geometry;

 private:
  const ToolItem* FindTool(int id) const;
  QWidget* ControlOf(int id) const;
  QWidget* ControlAt(QPoint point) const;
  void Watch(QWidget* control);
  void FollowParent();
  // Hides the tip shown now; it comes back when the mouse reaches a control again.
  void Withdraw();

  QPointer<QWidget> m_pParent;
  std::vector<ToolItem> m_arrTools;
  int m_nCurrentKey = 0;
  ToolItem m_shown;  // a copy of the item painted now
  CRect m_rcDrawn;
};

// What a page with tips does with the events of its controls: a mouse move goes to
// `tip` (if any) in `page`'s coordinates, and Enter and Escape aimed at the page's own
// window are swallowed (true: the page's filter stops the event); a popup keeps them.
bool FilterPageControlEvent(CTipWnd* tip, QWidget* page, QObject* watched, QEvent* event);
