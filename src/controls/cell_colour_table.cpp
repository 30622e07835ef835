#include "controls/cell_colour_table.h"

#include <algorithm>
#include <cstdlib>

std::uint64_t CellColourTable::CellKey(int row, int column) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(row)) << 32) | static_cast<std::uint32_t>(column);
}

std::uint64_t CellColourTable::LineKey(int key) { return static_cast<std::uint32_t>(key); }

void CellColourTable::Append(std::vector<ColourEntry>& entries, Index& index, std::uint64_t indexKey,
                             const ColourEntry& entry) {
  entries.push_back(entry);
  // An append never changes which entry comes first for an existing key.
  if (!indexStale_) index.try_emplace(indexKey, entries.size() - 1);
}

void CellColourTable::SetCellColor(COLORREF background, int row, int column) {
  Append(cells_, cellIndex_, CellKey(row, column), ColourEntry{background, row, column});
}

void CellColourTable::SetRowColor(COLORREF background, int row) {
  Append(rows_, rowIndex_, LineKey(row), ColourEntry{background, row, 0});
}

void CellColourTable::SetColumnColor(COLORREF background, int column) {
  Append(columns_, columnIndex_, LineKey(column), ColourEntry{background, column, 0});
}

void CellColourTable::ReplaceCellColor(COLORREF background, int row, int column) {
  std::erase_if(cells_, [&](const ColourEntry& e) { return e.key == row && e.column == column; });
  cells_.push_back(ColourEntry{background, row, column});
  indexStale_ = true;
}

namespace {

// Removes the first entry matching pred; false when none matched.
template <class Pred>
bool RemoveFirst(std::vector<ColourEntry>& entries, Pred pred) {
  const auto it = std::find_if(entries.begin(), entries.end(), pred);
  if (it == entries.end()) return false;
  entries.erase(it);
  return true;
}

}  // namespace

bool CellColourTable::RemoveRowColor(int row) {
  const bool removed = RemoveFirst(rows_, [&](const ColourEntry& e) { return e.key == row; });
  indexStale_ = indexStale_ || removed;
  return removed;
}

bool CellColourTable::RemoveColumnColor(int column) {
  const bool removed = RemoveFirst(columns_, [&](const ColourEntry& e) { return e.key == column; });
  indexStale_ = indexStale_ || removed;
  return removed;
}

bool CellColourTable::RemoveCellColor(int row, int column) {
  const bool removed =
      RemoveFirst(cells_, [&](const ColourEntry& e) { return e.key == row && e.column == column; });
  indexStale_ = indexStale_ || removed;
  return removed;
}

void CellColourTable::SetCheckerboard(bool on, COLORREF first, COLORREF second) {
  checkerboard_ = on;
  checkerFirst_ = first;
  checkerSecond_ = second;
}

void CellColourTable::SetRowStripes(bool on, COLORREF oddRows, COLORREF evenRows) {
  rowStripes_ = on;
  stripeOdd_ = oddRows;
  stripeEven_ = evenRows;
}

void CellColourTable::SetAutoTextColor(bool on) { autoText_ = on; }

void CellColourTable::ClearColors() {
  rows_.clear();
  columns_.clear();
  cells_.clear();
  checkerboard_ = false;
  rowStripes_ = false;
  autoText_ = false;
  indexStale_ = true;
}

void CellColourTable::OnItemsInserted(int first, int count) {
  if (count <= 0) return;
  for (ColourEntry& e : rows_) {
    if (e.key >= first) e.key += count;
  }
  for (ColourEntry& e : cells_) {
    if (e.key >= first) e.key += count;
  }
  indexStale_ = true;
}

void CellColourTable::OnItemsDeleted(int first, int count) {
  if (count <= 0) return;
  const int end = first + count;  // first row after the deleted ones
  auto shift = [&](std::vector<ColourEntry>& entries) {
    std::erase_if(entries, [&](const ColourEntry& e) { return e.key >= first && e.key < end; });
    for (ColourEntry& e : entries) {
      if (e.key >= end) e.key -= count;
    }
  };
  shift(rows_);
  shift(cells_);
  indexStale_ = true;
}

void CellColourTable::OnAllItemsDeleted() {
  rows_.clear();
  columns_.clear();
  cells_.clear();
  indexStale_ = true;
}

void CellColourTable::RebuildIndexIfStale() const {
  if (!indexStale_) return;
  rowIndex_.clear();
  columnIndex_.clear();
  cellIndex_.clear();
  // try_emplace keeps the first position seen for each key.
  for (std::size_t i = 0; i < rows_.size(); ++i) rowIndex_.try_emplace(LineKey(rows_[i].key), i);
  for (std::size_t i = 0; i < columns_.size(); ++i) columnIndex_.try_emplace(LineKey(columns_[i].key), i);
  for (std::size_t i = 0; i < cells_.size(); ++i) cellIndex_.try_emplace(CellKey(cells_[i].key, cells_[i].column), i);
  indexStale_ = false;
}

CellLook CellColourTable::Lookup(int row, int column, COLORREF controlBackground) const {
  CellLook look;
  look.background = controlBackground;

  // Checkerboard first, row stripes over it.
  if (checkerboard_) {
    const bool even = ((row % 2) + (column % 2)) % 2 == 0;
    look.background = even ? checkerFirst_ : checkerSecond_;
  }
  if (rowStripes_) look.background = (row % 2 != 0) ? stripeOdd_ : stripeEven_;

  RebuildIndexIfStale();
  const ColourEntry* rowEntry = nullptr;
  const ColourEntry* columnEntry = nullptr;
  const ColourEntry* cellEntry = nullptr;
  if (const auto it = rowIndex_.find(LineKey(row)); it != rowIndex_.end()) rowEntry = &rows_[it->second];
  if (const auto it = columnIndex_.find(LineKey(column)); it != columnIndex_.end()) {
    columnEntry = &columns_[it->second];
  }
  if (column >= 0) {
    if (const auto it = cellIndex_.find(CellKey(row, column)); it != cellIndex_.end()) {
      cellEntry = &cells_[it->second];
    }
  }

  // Cell over row over column; with nothing found the stripes (or the list's own
  // background) stay.
  if (cellEntry != nullptr) {
    look.background = cellEntry->background;
  } else if (rowEntry != nullptr) {
    look.background = rowEntry->background;
  } else if (columnEntry != nullptr) {
    look.background = columnEntry->background;
  }

  if (autoText_) {
    look.hasTextColour = true;
    look.text = AutoTextColour(look.background);
  }
  return look;
}

COLORREF CellColourTable::AutoTextColour(COLORREF background) {
  return RGB(std::abs(220 - GetRValue(background)), std::abs(220 - GetGValue(background)),
             std::abs(220 - GetBValue(background)));
}
