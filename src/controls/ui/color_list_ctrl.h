#pragma once
// A report-style table (grid lines, whole-row selection, no editing) whose cells can
// have their own background colours, given per row, per column or per cell, with a
// checkerboard, row stripes and an automatic text colour on top. The colours live in
// a CellColourTable; the model's row insertions, removals and resets keep it in step
// with the rows, whether they come through the calls below or the widget's own.
// The cells live in a plain model and only the visible rows are painted, so a table
// of hundreds of thousands of rows fills without delay.

#include <QTableView>
#include <vector>

#include "controls/cell_colour_table.h"
#include "platform/ui/dc.h"
#include "platform/win_types.h"

// Column formats of InsertColumn.
inline constexpr int LVCFMT_LEFT = 0x0000;
inline constexpr int LVCFMT_RIGHT = 0x0001;
inline constexpr int LVCFMT_CENTER = 0x0002;

class ColorListCtrlModel;

// A handle on one cell, or with row -1 on a column's heading, as item() and
// horizontalHeaderItem() give it; false outside the table.
class CColorListCell {
 public:
  CColorListCell(ColorListCtrlModel* cells, int row, int column);
  explicit operator bool() const { return valid_; }
  const CColorListCell* operator->() const { return this; }
  int row() const { return row_; }
  int column() const { return column_; }
  QString text() const;
  void setText(const QString& text) const;
  int textAlignment() const;

 private:
  ColorListCtrlModel* cells_;
  int row_;
  int column_;
  bool valid_;
};

class CColorListCtrl : public QTableView {
  Q_OBJECT

 public:
  explicit CColorListCtrl(QWidget* parent = nullptr);
  ~CColorListCtrl() override;

  // The table's own calls, as a table widget has them.
  int rowCount() const;
  int columnCount() const;
  // Adds empty rows at the end or removes rows from the end.
  void setRowCount(int rows);
  void insertRow(int row);
  void removeRow(int row);
  // Empties every cell and heading, keeping the rows and columns (a model reset).
  void clear();
  CColorListCell item(int row, int column) const { return CColorListCell(cells_, row, column); }
  CColorListCell horizontalHeaderItem(int column) const { return CColorListCell(cells_, -1, column); }
  int currentRow() const { return currentIndex().row(); }
  void setCurrentCell(int row, int column);
  QModelIndexList selectedItems() const { return selectedIndexes(); }
  void scrollToItem(const CColorListCell& cell);

  // The colour setters; each repaints the control.
  // Appends a cell entry; an earlier entry for that cell keeps showing.
  void SetCellColor(COLORREF background, int row, int column);
  // Drops the cell's entries, then appends this one, so it shows.
  void ReplaceCellColor(COLORREF background, int row, int column);
  void SetRowColor(COLORREF background, int row);
  void SetColumnColor(COLORREF background, int column);
  void RemoveRowColor(int row);
  void RemoveColumnColor(int column);
  void RemoveCellColor(int row, int column);
  void SetCheckerboard(bool on, COLORREF first, COLORREF second);
  void SetRowStripes(bool on, COLORREF oddRows, COLORREF evenRows);
  void SetAutoTextColor(bool on);
  void ClearColors();

  // The list's own operations the pages use.
  // Inserts a column (index past the end = append). Returns its index, or -1.
  int InsertColumn(int column, const CString& heading, int format = LVCFMT_LEFT, int width = -1);
  // Inserts a row with its first cell's text (index past the end = append). Returns
  // its index, or -1 for a negative index or a table without columns.
  int InsertItem(int row, const CString& text);
  BOOL SetItemText(int row, int column, const CString& text);
  // Appends rows given cell by cell from the first column, in one insertion: as
  // InsertItem and SetItemText row by row would (cells past the last column are
  // dropped; nothing without columns). The texts may be made on any thread.
  void AppendRows(std::vector<std::vector<QString>> rows);
  CString GetItemText(int row, int column) const;  // empty for a bad cell
  BOOL DeleteItem(int row);
  // Removes every row; row, column and cell colours all go.
  BOOL DeleteAllItems();
  int GetItemCount() const { return rowCount(); }
  int GetColumnCount() const { return columnCount(); }
  // The control's own background, shown where no colour applies.
  COLORREF GetBkColor() const { return background_; }
  BOOL SetBkColor(COLORREF colour);

  const CellColourTable& Colours() const { return colours_; }

  // The width the list asks for where there is room (all of its columns); laid out
  // narrower, down to its minimum width, it scrolls them sideways. Its height is
  // what the page gives it. 0, the default, leaves Qt's own size hint.
  void SetNaturalWidth(int width);
  QSize sizeHint() const override;

  // Paints one cell through the device context; called by the delegate.
  virtual void DrawCell(CDC& dc, int row, int column, const CRect& rect, bool selected, const CString& text,
                        UINT format);

 signals:
  void cellClicked(int row, int column);
  void cellDoubleClicked(int row, int column);

 private:
  void Redraw();

  ColorListCtrlModel* cells_;
  CellColourTable colours_;
  COLORREF background_;
  int naturalWidth_ = 0;
};
