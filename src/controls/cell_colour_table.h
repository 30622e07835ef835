#pragma once
// The background colours of a report list's cells, given per row, per column or per
// single cell, plus a checkerboard, row stripes and an automatic text colour.
//
// Entries are kept in three arrays in call order and looked up from the front, so the
// first matching entry wins; a cell entry beats a row entry, a row entry beats a
// column entry. The arrays follow the rows of the list: inserting rows moves the
// colours of the rows at and after the insertion point down, deleting rows drops their
// colours and moves the later ones up, deleting all rows empties every array.
//
// Used on the UI thread only (the lookup keeps a cache it rebuilds on demand).

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/gdi_types.h"

struct ColourEntry {
  COLORREF background = 0;
  int key = 0;     // the row for row and cell entries, the column for column entries
  int column = 0;  // cell entries only
};

struct CellLook {
  COLORREF background = 0;
  bool hasTextColour = false;  // with the automatic text colour on
  COLORREF text = 0;
};

class CellColourTable {
 public:
  // Each appends an entry; an earlier entry for the same key keeps winning.
  void SetCellColor(COLORREF background, int row, int column);
  void SetRowColor(COLORREF background, int row);
  void SetColumnColor(COLORREF background, int column);
  // Drops every entry of that cell, then appends the new one, so it shows.
  void ReplaceCellColor(COLORREF background, int row, int column);

  // Each removes the first entry for its key; false when there was none.
  bool RemoveRowColor(int row);
  bool RemoveColumnColor(int column);
  bool RemoveCellColor(int row, int column);

  void SetCheckerboard(bool on, COLORREF first, COLORREF second);
  void SetRowStripes(bool on, COLORREF oddRows, COLORREF evenRows);
  void SetAutoTextColor(bool on);
  // Empties the three arrays and clears the three flags.
  void ClearColors();

  // The list gained `count` rows starting at `first`: every row and cell entry whose row
  // is `first` or later moves down by count.
  void OnItemsInserted(int first, int count = 1);
  // The list lost rows first..first+count-1: their row and cell entries go, later ones
  // move up by count. Column entries stay.
  void OnItemsDeleted(int first, int count = 1);
  // The list lost all its rows: row, column and cell entries all go.
  void OnAllItemsDeleted();

  // The colours of cell (row, column); controlBackground is the list's own background,
  // used when nothing else applies.
  CellLook Lookup(int row, int column, COLORREF controlBackground) const;
  // Each channel becomes |220 - channel|: dark text on light fields and the reverse.
  static COLORREF AutoTextColour(COLORREF background);

  const std::vector<ColourEntry>& RowEntries() const { return rows_; }
  const std::vector<ColourEntry>& ColumnEntries() const { return columns_; }
  const std::vector<ColourEntry>& CellEntries() const { return cells_; }
  bool Checkerboard() const { return checkerboard_; }
  bool RowStripes() const { return rowStripes_; }
  bool AutoTextColor() const { return autoText_; }

 private:
  using Index = std::unordered_map<std::uint64_t, std::size_t>;  // key -> first entry

  static std::uint64_t CellKey(int row, int column);
  static std::uint64_t LineKey(int key);
  void Append(std::vector<ColourEntry>& entries, Index& index, std::uint64_t indexKey, const ColourEntry& entry);
  void RebuildIndexIfStale() const;

  std::vector<ColourEntry> rows_;
  std::vector<ColourEntry> columns_;
  std::vector<ColourEntry> cells_;

  COLORREF checkerFirst_ = 0;
  COLORREF checkerSecond_ = 0;
  COLORREF stripeOdd_ = 0;
  COLORREF stripeEven_ = 0;
  bool checkerboard_ = false;
  bool rowStripes_ = false;
  bool autoText_ = false;

  // Where each key's first entry sits, so a paint of many cells over many entries does
  // not search the arrays cell by cell. Rebuilt after anything but an append.
  mutable Index rowIndex_;
  mutable Index columnIndex_;
  mutable Index cellIndex_;
  mutable bool indexStale_ = false;
};
