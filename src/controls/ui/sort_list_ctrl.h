#pragma once
// A report list that sorts by a column as text, number or date, colours each cell's
// text and background on its own, keeps a copy of every cell text, and saves its
// column widths in "sysinfo.ini" (section ListCtrls, key = the control id). Its
// header draws the sort arrow. A click on a heading does not sort: the owner calls
// SortColumn.

#include <QHeaderView>
#include <string>
#include <vector>

#include "controls/sort_compare.h"
#include "controls/ui/color_list_ctrl.h"
#include "platform/ui/dc.h"

// "The default colour" for SetItemColor.
inline constexpr COLORREF kSortListDefaultColour = static_cast<COLORREF>(-1);

class CSortHeaderCtrl : public QHeaderView {
  Q_OBJECT

 public:
  explicit CSortHeaderCtrl(QWidget* parent = nullptr);

  // Marks the sort column (-1 = none) and its direction; repaints.
  void SetSortArrow(int column, bool ascending);
  int SortColumn() const { return sortColumn_; }
  bool IsAscending() const { return ascending_; }

  // Paints one heading through the device context: the face, the text inset by a
  // quarter of the height and, in the sort column, the arrow.
  virtual void DrawItem(CDC& dc, const CRect& rect, int column, bool pressed) const;

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int sortColumn_ = -1;
  bool ascending_ = true;
  int pressedColumn_ = -1;
};

class CSortListCtrl : public CColorListCtrl {
  Q_OBJECT

 public:
  explicit CSortListCtrl(QWidget* parent = nullptr);
  ~CSortListCtrl() override;

  // "heading,width;heading,width;...": one centred column per pair, appended. True
  // when the text is used up; false at the first bad pair (the columns before it
  // stay).
  bool SetHeadings(const std::string& headings);
  // The headings of a string resource (see RegisterButtonString).
  bool SetHeadings(UINT stringResourceId);
  int GetColumnCount() const { return columnCount_; }

  // A row at the end with one text per column (missing texts are empty, extra ones
  // ignored), every cell in the default colours. The row's index; -1 without columns.
  int AddItem(const std::vector<CString>& texts);
  BOOL SetItemText(int row, int column, const CString& text);
  // The stored copy of a cell's text; "" outside the list.
  CString GetStoredText(int row, int column) const;
  // kSortListDefaultColour for either means the default; only that cell repaints.
  // Outside the list: ignored.
  void SetItemColor(int row, int column, COLORREF text, COLORREF background);
  // The colours the cell is drawn in (defaults resolved); the defaults outside.
  COLORREF GetItemTextColor(int row, int column) const;
  COLORREF GetItemBkColor(int row, int column) const;
  BOOL DeleteItem(int row);
  BOOL DeleteAllItems();

  // Stores the column and direction, sets the header's arrow and sorts the rows.
  void SortColumn(int column, bool ascending = true);
  int GetSortColumn() const { return sortColumn_; }
  bool IsSortAscending() const { return ascending_; }
  CSortHeaderCtrl* Header() const { return header_; }

  // The widths under the control's id in "sysinfo.ini" of the program folder.
  // Loading applies them only when their count equals the number of columns; a
  // corrupt value is ignored. Saving returns false when the file cannot be written.
  void LoadColumnWidths();
  bool SaveColumnWidths() const;

  // The four default colours read again (text: the window text from now on).
  void OnSysColorChange();
  COLORREF DefaultTextColor() const { return defaultText_; }
  COLORREF DefaultBkColor() const { return defaultBk_; }

  void DrawCell(CDC& dc, int row, int column, const CRect& rect, bool selected, const CString& text,
                UINT format) override;

 private:
  struct ItemRecord {
    std::vector<CString> texts;
    std::vector<COLORREF> textColours;
    std::vector<COLORREF> bkColours;
  };

  ItemRecord NewRecord() const;
  bool ValidCell(int row, int column) const;
  void RepaintCell(int row, int column);
  std::string IniPath() const;

  CSortHeaderCtrl* header_;
  int columnCount_ = 0;
  int sortColumn_ = -1;
  bool ascending_ = true;
  COLORREF defaultText_;
  COLORREF defaultBk_;
  COLORREF selectionBk_;
  COLORREF selectionText_;
  std::vector<ItemRecord> records_;  // one per row, in row order
};
