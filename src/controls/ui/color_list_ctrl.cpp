#include "controls/ui/color_list_ctrl.h"

#include <QFontMetrics>
#include <algorithm>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

#include "platform/ui/qt_convert.h"

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
    : QTableWidget(parent), background_(GetSysColor(COLOR_WINDOW)) {
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
  insertColumn(column);
  auto* header = new QTableWidgetItem(ToQString(heading));  // owned by the table from here
  Qt::Alignment align = Qt::AlignVCenter;
  if (format & LVCFMT_RIGHT) {
    align |= Qt::AlignRight;
  } else if (format & LVCFMT_CENTER) {
    align |= Qt::AlignHCenter;
  } else {
    align |= Qt::AlignLeft;
  }
  header->setTextAlignment(align);
  setHorizontalHeaderItem(column, header);
  if (width >= 0) setColumnWidth(column, width);
  return column;
}

int CColorListCtrl::InsertItem(int row, const CString& text) {
  if (row < 0 || columnCount() == 0) return -1;
  row = std::min(row, rowCount());
  insertRow(row);
  SetItemText(row, 0, text);
  return row;
}

BOOL CColorListCtrl::SetItemText(int row, int column, const CString& text) {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return FALSE;
  if (QTableWidgetItem* cell = item(row, column)) {
    cell->setText(ToQString(text));
    return TRUE;
  }
  auto* cell = new QTableWidgetItem(ToQString(text));  // owned by the table from here
  // A cell takes its column's alignment.
  if (const QTableWidgetItem* header = horizontalHeaderItem(column)) {
    cell->setTextAlignment(Qt::Alignment(header->textAlignment()));
  }
  setItem(row, column, cell);
  return TRUE;
}

CString CColorListCtrl::GetItemText(int row, int column) const {
  const QTableWidgetItem* cell = item(row, column);
  return cell == nullptr ? CString() : FromQString(cell->text());
}

BOOL CColorListCtrl::DeleteItem(int row) {
  if (row < 0 || row >= rowCount()) return FALSE;
  removeRow(row);
  return TRUE;
}

BOOL CColorListCtrl::DeleteAllItems() {
  // Every colour goes, the column colours too; removing the rows then finds nothing
  // left to move.
  colours_.OnAllItemsDeleted();
  setRowCount(0);
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
  dc.FillSolidRect(rect, field);
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(ink);
  CRect textRect = rect;
  textRect.DeflateRect(kTextMargin, 0);
  dc.DrawText(text, textRect, format);
}
