#pragma once
// The list in which the pages show their line-by-line texts. Every line carries its
// own text colour in its item data (0 = the system colours); a delegate paints each
// line through DrawItem, and every line is as high as one line of the list's font.
// The lines live in a plain model and only the visible ones are painted, so a list
// of hundreds of thousands of lines fills and scrolls without delay.
//
// Workers write into these lists as well as the UI thread: a call made on another
// thread runs on the UI thread through the page registry's dispatcher and waits for
// it, so indexes come back in the order the lines were added. Once shutdown has begun
// such a call returns LB_ERR at once and touches nothing.
//
// Lines and selections that workers add are held back on the UI thread and handed to
// the widget in one batch at most kWorkerBatchMs later (or at once, before any call
// made on the UI thread), so a busy worker costs one layout and one paint per batch
// instead of one per line. The calls below always see the held-back lines; the
// widget's own Qt functions see them once the batch is in.

#include <QFont>
#include <QListView>
#include <QVariant>
#include <QTimer>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ui/dc.h"
#include "platform/win_types.h"

// The error value of the list calls.
inline constexpr int LB_ERR = -1;

// One line to paint, as the delegate hands it to DrawItem.
struct DrawItemRecord {
  // itemAction bits
  static constexpr UINT kDrawEntire = 0x0001;
  static constexpr UINT kSelect = 0x0002;  // the selection changed
  static constexpr UINT kFocus = 0x0004;   // the focus changed
  // itemState bits
  static constexpr UINT kSelected = 0x0001;
  static constexpr UINT kDisabled = 0x0004;
  static constexpr UINT kHasFocus = 0x0010;

  int itemID = -1;  // negative: no line (an empty list with the focus)
  UINT itemAction = kDrawEntire;
  UINT itemState = 0;
  CRect rcItem;
  DWORD itemData = 0;  // the line's colour
};

struct MeasureItemRecord {
  int itemID = -1;
  int itemWidth = 0;
  int itemHeight = 0;
};

class CColorListBox;
class ColorListBoxModel;

// A line as the list holds it: its text, its colour and the page's own roles. Plain
// values, so a worker may build them for AddLines and read them from Lines.
struct ColorListBoxEntry {
  QString text;
  COLORREF colour = 0;
  std::vector<std::pair<int, QVariant>> roles;
};

// Lines made off the interface thread in the form the list keeps them: their texts as
// one block of UTF-8, the roles that stand in a text as places in it. AddLines then
// only moves them in. Any one thread may fill a batch.
class ColorListBoxBatch {
 public:
  ColorListBoxBatch();
  ~ColorListBoxBatch();
  ColorListBoxBatch(ColorListBoxBatch&&) noexcept;
  ColorListBoxBatch& operator=(ColorListBoxBatch&&) noexcept;

  // Appends a line: its text and its text roles in UTF-8 (read back as through
  // QString::fromUtf8, an invalid sequence as U+FFFD), and its colour.
  void Add(std::string_view text, COLORREF colour, std::initializer_list<std::pair<int, std::string_view>> roles);
  std::size_t size() const;

 private:
  friend class ColorListBoxModel;
  struct Lines;
  std::unique_ptr<Lines> lines_;
};

// The first lines of a list as they were when taken, for a reader on any thread: the
// list changes its own copy of what such a reader holds. Taking them costs the UI
// thread a step per AddLines call that added them, not per line; copies are cheap.
class ColorListBoxLines {
 public:
  ColorListBoxLines();
  std::size_t size() const;
  // One role of line `row` as UTF-8 ("" where the line has none, or there is no such line).
  std::string RoleText(std::size_t row, int role) const;

 private:
  friend class ColorListBoxModel;
  struct Blocks;
  std::shared_ptr<const Blocks> blocks_;
};

// A handle on one line of the widget, as item() and itemAt() give it; false for none.
class CColorListBoxLine {
 public:
  CColorListBoxLine(const CColorListBox* list, int row);
  explicit operator bool() const { return row_ >= 0; }
  const CColorListBoxLine* operator->() const { return this; }
  int row() const { return row_; }
  QString text() const;
  QVariant data(int role) const;
  // Stores a value under the role (the colour's role sets the line's colour).
  void setData(int role, const QVariant& value) const;

 private:
  ColorListBoxModel* lines_;
  int row_;
};

class CColorListBox : public QListView {
  Q_OBJECT

 public:
  explicit CColorListBox(QWidget* parent = nullptr);
  ~CColorListBox() override;

  // The widget's own lines (held-back lines not yet among them), as a list widget
  // would give them.
  int count() const;
  CColorListBoxLine item(int row) const { return CColorListBoxLine(this, row); }
  CColorListBoxLine itemAt(const QPoint& viewportPos) const { return item(indexAt(viewportPos).row()); }
  int row(const CColorListBoxLine& line) const { return line.row(); }
  QRect visualItemRect(const CColorListBoxLine& line) const;
  int currentRow() const { return currentIndex().row(); }
  void setCurrentItem(const CColorListBoxLine& line);
  QModelIndexList selectedItems() const { return selectedIndexes(); }

  // Appends a line without a colour of its own. Returns its index or LB_ERR.
  int AddString(const CString& text);
  // Appends a line in colour; the colour is stored only when the line was added.
  int AddString(const CString& text, COLORREF colour);
  // Inserts at index (-1 = at the end). Returns the index, or LB_ERR for an index out
  // of range (nothing inserted).
  int InsertString(int index, const CString& text);
  int InsertString(int index, const CString& text, COLORREF colour);
  // Stores the line's colour and repaints the whole list at once. Returns 0, or
  // LB_ERR for a bad index.
  int SetItemColor(int index, COLORREF colour);

  // UI thread. Appends the lines in one step, after any held-back ones; the bulk
  // form of AddString and setData for a page that fills the list from a result.
  void AddLines(std::vector<ColorListBoxEntry> lines);
  void AddLines(ColorListBoxBatch lines);
  // UI thread. Copies of the first `limit` lines.
  std::vector<ColorListBoxEntry> Lines(std::size_t limit);
  // UI thread. One role of the first `limit` lines as UTF-8 ("" where a line has none):
  // what a long list hands a worker, without copying the lines.
  std::vector<std::string> RoleTexts(std::size_t limit, int role);
  // UI thread. The first `limit` lines, for a worker to read.
  ColorListBoxLines SharedLines(std::size_t limit);
  // UI thread. Colours every line now in the list: `same` where its role `role` reads
  // as line `index`'s, `other` elsewhere (all `other` for a bad index). Costs the same
  // on any number of lines: the lines read their colour when painted or asked.
  void ColourLikeLine(int index, int role, COLORREF same, COLORREF other);

  // Empties the list. Returns 0, or LB_ERR when the call could not run.
  int ResetContent();
  int GetCount() const;
  // The line's text, or LB_ERR (text untouched) for a bad index; else its length in bytes.
  int GetText(int index, CString& text) const;
  CString GetText(int index) const;  // empty for a bad index
  // The colour stored with the line; static_cast<DWORD>(LB_ERR) for a bad index.
  DWORD GetItemData(int index) const;
  // The selected line, LB_ERR when none.
  int GetCurSel() const;
  // Selects the line and scrolls it into view; -1 clears the selection. Returns the
  // index, or LB_ERR for -1 and for an index out of range (nothing changes then).
  int SetCurSel(int index);
  // Selects the last line, as the pages do after adding one. Returns its index, or
  // LB_ERR for an empty list.
  int SelectLast();

  // Whether tabs in a line's text expand to tab stops (off by default).
  void SetUseTabStops(bool on);
  bool UseTabStops() const { return useTabStops_; }

  // The width the list asks for where there is room (all of its lines' text); laid out
  // narrower, down to its minimum width, it scrolls them sideways. Its height is
  // what the page gives it. 0, the default, leaves Qt's own size hint.
  void SetNaturalWidth(int width);
  QSize sizeHint() const override;

  // The width of the widest line in the list's font, 0 for an empty list: the width of
  // every line, so a list narrower than its lines scrolls sideways. The widest is found
  // by the lines' columns as they come (two for a CJK character) and measured once.
  int WidestLineWidth() const;

  // Owner-draw steps, called by the delegate on the UI thread.
  virtual void DrawItem(CDC& dc, const DrawItemRecord& item);
  virtual void MeasureItem(MeasureItemRecord& item);
  // After DrawItem: where the line runs past either edge of the list, a "…" there.
  void DrawCutMarks(QPainter& painter, const DrawItemRecord& item);

  // The longest a worker's line waits before the widget shows it.
  static constexpr int kWorkerBatchMs = 20;

 signals:
  void currentRowChanged(int row);

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  // Left and Right scroll the lines sideways; Home and End also go to their start and end.
  void keyPressEvent(QKeyEvent* event) override;
  // Shift with the wheel scrolls sideways.
  void wheelEvent(QWheelEvent* event) override;

 private:
  struct HeldLine {
    QString text;
    COLORREF colour = 0;
  };

  // Runs fn(fromWorker) here when this is the UI thread (fromWorker false), else on the
  // UI thread through the dispatcher, waiting for it (fromWorker true); `failed` when
  // it could not run.
  template <class R, class Fn>
  R OnUiThread(R failed, Fn&& fn) const;

  // Hands the held-back lines and selection to the widget.
  void FlushHeld();
  void HoldLine(const QString& text, COLORREF colour);
  int LineCount() const { return count() + static_cast<int>(held_.size()); }
  friend class CColorListBoxLine;
  int InsertNow(int index, const CString& text, COLORREF colour);
  int SelectNow(int index);
  int SetCurSelOnUi(int index, bool fromWorker);

  ColorListBoxModel* lines_;
  bool useTabStops_ = false;
  int naturalWidth_ = 0;
  mutable std::optional<std::pair<QString, int>> measured_;  // the widest line and its width
  mutable QFont measuredFont_;
  std::vector<HeldLine> held_;          // lines after the widget's last row
  std::optional<int> heldSelection_;    // a worker's selection, -1 = cleared
  QTimer batchTimer_;
};
