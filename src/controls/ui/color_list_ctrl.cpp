#include "controls/ui/color_list_ctrl.h"

#include <QAbstractTableModel>
#include <QFontMetrics>
#include <algorithm>
#include <iterator>
#include <vector>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

#include "controls/list_box_colours.h"
#include "platform/ui/qt_convert.h"

// The headings and the cell texts, row by row.
class ColorListCtrlModel final : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(headings_.size());
  }
  bool ValidCell(int row, int column) const {
    return row >= 0 && row < rowCount() && column >= 0 && column < columnCount();
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return QVariant();
    if (role == Qt::DisplayRole || role == Qt::EditRole) return Text(index.row(), index.column());
    // A cell takes its column's alignment.
    if (role == Qt::TextAlignmentRole) return alignments_[static_cast<size_t>(index.column())];
    return QVariant();
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Vertical || section < 0 || section >= columnCount()) {
      return role == Qt::DisplayRole && orientation == Qt::Vertical ? QVariant(section + 1) : QVariant();
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) return headings_[static_cast<size_t>(section)];
    if (role == Qt::TextAlignmentRole) return alignments_[static_cast<size_t>(section)];
    return QVariant();
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
  }

  QString Text(int row, int column) const {
    if (!ValidCell(row, column)) return QString();
    const std::vector<QString>& cells = rows_[static_cast<size_t>(row)];
    return static_cast<size_t>(column) < cells.size() ? cells[static_cast<size_t>(column)] : QString();
  }
  void SetText(int row, int column, const QString& text) {
    std::vector<QString>& cells = rows_[static_cast<size_t>(row)];
    // A row grows its cells only as far as texts are set.
    if (cells.size() <= static_cast<size_t>(column)) cells.resize(static_cast<size_t>(column) + 1);
    cells[static_cast<size_t>(column)] = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed);
  }
  QString Heading(int column) const { return headings_[static_cast<size_t>(column)]; }
  int Alignment(int column) const { return alignments_[static_cast<size_t>(column)]; }
  void SetHeading(int column, const QString& text) {
    headings_[static_cast<size_t>(column)] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
  }

  void InsertColumn(int column, const QString& heading, int alignment) {
    beginInsertColumns(QModelIndex(), column, column);
    headings_.insert(headings_.begin() + column, heading);
    alignments_.insert(alignments_.begin() + column, alignment);
    for (std::vector<QString>& cells : rows_) {
      if (static_cast<size_t>(column) < cells.size()) cells.insert(cells.begin() + column, QString());
    }
    endInsertColumns();
  }
  void InsertRows(int row, int count) {
    if (count <= 0) return;
    beginInsertRows(QModelIndex(), row, row + count - 1);
    rows_.insert(rows_.begin() + row, static_cast<size_t>(count), std::vector<QString>());
    endInsertRows();
  }
  void AppendRows(std::vector<std::vector<QString>> rows) {
    if (rows.empty()) return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
  }
  void RemoveRows(int row, int count) {
    if (count <= 0) return;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    rows_.erase(rows_.begin() + row, rows_.begin() + row + count);
    endRemoveRows();
  }
  void ClearTexts() {
    beginResetModel();
    for (std::vector<QString>& cells : rows_) cells.clear();
    std::fill(headings_.begin(), headings_.end(), QString());
    endResetModel();
  }
  void RemoveAll() {
    RemoveRows(0, rowCount());
    rows_.shrink_to_fit();
  }

 private:
  std::vector<QString> headings_;
  std::vector<int> alignments_;
  std::vector<std::vector<QString>> rows_;
};

CColorListCell::CColorListCell(ColorListCtrlModel* cells, int row, int column)
    : cells_(cells),
      row_(row),
      column_(column),
      valid_(row == -1 ? column >= 0 && column < cells->columnCount() : cells->ValidCell(row, column)) {}

QString CColorListCell::text() const {
  if (!valid_) return QString();
  return row_ == -1 ? cells_->Heading(column_) : cells_->Text(row_, column_);
}

void CColorListCell::setText(const QString& text) const {
  if (!valid_) return;
  if (row_ == -1) {
    cells_->SetHeading(column_, text);
  } else {
    cells_->SetText(row_, column_, text);
  }
}

int CColorListCell::textAlignment() const { return valid_ ? cells_->Alignment(column_) : 0; }

namespace {

// Space between a cell's edge and its text.
constexpr int kTextMargin = 4;

// Asks the control for each cell's colours and paints it through the device context.
class ColorListCtrlDelegate final : public QStyledItemDelegate {
 public:
  explicit ColorListCtrlDelegate(CColorListCtrl* list) : QStyledItemDelegate(list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const Qt::Alignment align = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    if (align & Qt::AlignRight) {
      format |= DT_RIGHT;
    } else if (align & Qt::AlignHCenter) {
      format |= DT_CENTER;
    }
    // A text wider than its column ends in "...".
    const QFontMetrics metrics(option.font);
    const QString shown = metrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                             option.rect.width() - 2 * kTextMargin);
    CDC dc(*painter);
    dc.SelectObject(CFont(option.font));
    list_->DrawCell(dc, index.row(), index.column(), FromQRect(option.rect),
                    (option.state & QStyle::State_Selected) != 0, FromQString(shown), format);
  }

 private:
  CColorListCtrl* list_;
};

}  // namespace

CColorListCtrl::CColorListCtrl(QWidget* parent)
    : QTableView(parent), cells_(new ColorListCtrlModel(this)), background_(GetSysColor(COLOR_WINDOW)) {
  setModel(cells_);
  connect(this, &QAbstractItemView::clicked, this,
          [this](const QModelIndex& index) { emit cellClicked(index.row(), index.column()); });
  connect(this, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { emit cellDoubleClicked(index.row(), index.column()); });
  setItemDelegate(new ColorListCtrlDelegate(this));
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  verticalHeader()->hide();
  // Fixed row heights keep long tables cheap to lay out.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
  horizontalHeader()->setHighlightSections(false);
  QPalette pal = palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    pal.setColor(group, QPalette::Base, ToQColor(background_));
    pal.setColor(group, QPalette::Text, ToQColor(GetSysColor(COLOR_WINDOWTEXT)));
  }
  setPalette(pal);

  // Whoever changes the rows, the colours follow.
  QAbstractItemModel* rows = model();
  connect(rows, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex& parent, int first, int last) {
    if (!parent.isValid()) colours_.OnItemsInserted(first, last - first + 1);
  });
  connect(rows, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex& parent, int first, int last) {
    if (!parent.isValid()) colours_.OnItemsDeleted(first, last - first + 1);
  });
  connect(rows, &QAbstractItemModel::modelReset, this, [this] { colours_.OnAllItemsDeleted(); });
}

CColorListCtrl::~CColorListCtrl() = default;

int CColorListCtrl::rowCount() const { return cells_->rowCount(); }

int CColorListCtrl::columnCount() const { return cells_->columnCount(); }

void CColorListCtrl::setRowCount(int rows) {
  rows = std::max(rows, 0);
  const int now = rowCount();
  if (rows > now) cells_->InsertRows(now, rows - now);
  if (rows < now) cells_->RemoveRows(rows, now - rows);
}

void CColorListCtrl::insertRow(int row) {
  if (row >= 0 && row <= rowCount()) cells_->InsertRows(row, 1);
}

void CColorListCtrl::removeRow(int row) {
  if (row >= 0 && row < rowCount()) cells_->RemoveRows(row, 1);
}

void CColorListCtrl::clear() { cells_->ClearTexts(); }

void CColorListCtrl::setCurrentCell(int row, int column) { setCurrentIndex(cells_->index(row, column)); }

void CColorListCtrl::scrollToItem(const CColorListCell& cell) {
  if (cell) scrollTo(cells_->index(cell.row(), cell.column()));
}

void CColorListCtrl::Redraw() {
  // Coalesced: many setters in a row cost one paint.
  viewport()->update();
}

void CColorListCtrl::SetCellColor(COLORREF background, int row, int column) {
  colours_.SetCellColor(background, row, column);
  Redraw();
}

void CColorListCtrl::ReplaceCellColor(COLORREF background, int row, int column) {
  colours_.ReplaceCellColor(background, row, column);
  Redraw();
}

void CColorListCtrl::SetRowColor(COLORREF background, int row) {
  colours_.SetRowColor(background, row);
  Redraw();
}

void CColorListCtrl::SetColumnColor(COLORREF background, int column) {
  colours_.SetColumnColor(background, column);
  Redraw();
}

void CColorListCtrl::RemoveRowColor(int row) {
  colours_.RemoveRowColor(row);
  Redraw();
}

void CColorListCtrl::RemoveColumnColor(int column) {
  colours_.RemoveColumnColor(column);
  Redraw();
}

void CColorListCtrl::RemoveCellColor(int row, int column) {
  colours_.RemoveCellColor(row, column);
  Redraw();
}

void CColorListCtrl::SetCheckerboard(bool on, COLORREF first, COLORREF second) {
  colours_.SetCheckerboard(on, first, second);
  Redraw();
}

void CColorListCtrl::SetRowStripes(bool on, COLORREF oddRows, COLORREF evenRows) {
  colours_.SetRowStripes(on, oddRows, evenRows);
  Redraw();
}

void CColorListCtrl::SetAutoTextColor(bool on) {
  colours_.SetAutoTextColor(on);
  Redraw();
}

void CColorListCtrl::ClearColors() {
  colours_.ClearColors();
  Redraw();
}

int CColorListCtrl::InsertColumn(int column, const CString& heading, int format, int width) {
  if (column < 0) return -1;
  column = std::min(column, columnCount());
  Qt::Alignment align = Qt::AlignVCenter;
  if (format & LVCFMT_RIGHT) {
    align |= Qt::AlignRight;
  } else if (format & LVCFMT_CENTER) {
    align |= Qt::AlignHCenter;
  } else {
    align |= Qt::AlignLeft;
  }
  cells_->InsertColumn(column, ToQString(heading), static_cast<int>(align));
  if (width >= 0) setColumnWidth(column, width);
  return column;
}

int CColorListCtrl::InsertItem(int row, const CString& text) {
  if (row < 0 || columnCount() == 0) return -1;
  row = std::min(row, rowCount());
  cells_->InsertRows(row, 1);
  SetItemText(row, 0, text);
  return row;
}

void CColorListCtrl::AppendRows(std::vector<std::vector<QString>> rows) {
  if (columnCount() == 0) return;
  for (std::vector<QString>& cells : rows) {
    if (cells.size() > static_cast<std::size_t>(columnCount())) cells.resize(static_cast<std::size_t>(columnCount()));
  }
  cells_->AppendRows(std::move(rows));
}

BOOL CColorListCtrl::SetItemText(int row, int column, const CString& text) {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return FALSE;
  cells_->SetText(row, column, ToQString(text));
  return TRUE;
}

CString CColorListCtrl::GetItemText(int row, int column) const {
  return FromQString(cells_->Text(row, column));
}

BOOL CColorListCtrl::DeleteItem(int row) {
  if (row < 0 || row >= rowCount()) return FALSE;
  cells_->RemoveRows(row, 1);
  return TRUE;
}

BOOL CColorListCtrl::DeleteAllItems() {
  // Every colour goes, the column colours too; removing the rows then finds nothing
  // left to move.
  colours_.OnAllItemsDeleted();
  cells_->RemoveAll();
  scrollToTop();  // the next rows show from the first, not at the old scroll position
  Redraw();
  return TRUE;
}

BOOL CColorListCtrl::SetBkColor(COLORREF colour) {
  background_ = colour;
  QPalette pal = palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    pal.setColor(group, QPalette::Base, ToQColor(colour));
  }
  setPalette(pal);
  Redraw();
  return TRUE;
}

void CColorListCtrl::DrawCell(CDC& dc, int row, int column, const CRect& rect, bool selected, const CString& text,
                              UINT format) {
  const CellLook look = colours_.Lookup(row, column, background_);
  COLORREF field = look.background;
  COLORREF ink = look.hasTextColour ? look.text : FromQColor(palette().color(QPalette::Text));
  // A selected row shows the selection, as the list draws it over any cell colour.
  if (selected) {
    field = GetSysColor(COLOR_HIGHLIGHT);
    ink = GetSysColor(COLOR_HIGHLIGHTTEXT);
  }
  // The text reads on whatever field it has: a branch's dark mark gets light text.
  ink = ReadableTextColour(ink, field);
  dc.FillSolidRect(rect, field);
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(ink);
  CRect textRect = rect;
  textRect.DeflateRect(kTextMargin, 0);
  dc.DrawText(text, textRect, format);
}

void CColorListCtrl::SetNaturalWidth(int width) {
  naturalWidth_ = width;
  updateGeometry();
}

QSize CColorListCtrl::sizeHint() const {
  if (naturalWidth_ <= 0) return QTableView::sizeHint();
  return {naturalWidth_, minimumSizeHint().height()};  // the height the page gives it
}
