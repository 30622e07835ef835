#include "controls/ui/sort_list_ctrl.h"

#include <QCollator>
#include <QFontMetrics>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "controls/list_box_colours.h"
#include "controls/ui/bitmap_button_ex.h"
#include "platform/app_paths.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"
#include "storage/ini_file.h"

namespace {

constexpr const char* kWidthsFile = "sysinfo.ini";
constexpr const char* kWidthsSection = "ListCtrls";
// The window-frame colour is not in the system table; it is black there, as on a
// standard desktop.
constexpr int kColorWindowFrame = 6;
// Headings are read up to this many characters.
constexpr int kMaxHeadingChars = 255;

UINT FormatOf(Qt::Alignment align) {
  UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
  if (align & Qt::AlignRight) {
    format |= DT_RIGHT;
  } else if (align & Qt::AlignHCenter) {
    format |= DT_CENTER;
  }
  return format;
}

}  // namespace

// ---- CSortHeaderCtrl ----

CSortHeaderCtrl::CSortHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionsClickable(true);
  setHighlightSections(false);
  setSortIndicatorShown(false);
}

void CSortHeaderCtrl::SetSortArrow(int column, bool ascending) {
  sortColumn_ = column;
  ascending_ = ascending;
  viewport()->update();
}

void CSortHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  if (!rect.isValid()) return;
  CDC dc(*painter);
  dc.SelectObject(CFont(font()));
  DrawItem(dc, FromQRect(rect), logicalIndex, logicalIndex == pressedColumn_);
}

void CSortHeaderCtrl::DrawItem(CDC& dc, const CRect& item, int column, bool pressed) const {
  dc.SaveDC();
  dc.IntersectClipRect(item);
  dc.FillSolidRect(item, GetSysColor(COLOR_BTNFACE));

  QAbstractItemModel* m = model();
  QString heading = m ? m->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString() : QString();
  heading.truncate(kMaxHeadingChars);
  const Qt::Alignment align =
      m ? Qt::Alignment(m->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).toInt()) : Qt::AlignLeft;

  CRect area = item;
  if (pressed) area.OffsetRect(1, 2);
  const int q = item.Height() / 4;
  if (column == sortColumn_) area.right -= 3 * q;
  area.DeflateRect(q, 0);
  const QString shown = QFontMetrics(dc.GetCurrentFont().Font()).elidedText(heading, Qt::ElideRight,
                                                                            std::max(area.Width(), 0));
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
  dc.DrawText(FromQString(shown), area, FormatOf(align));

  if (column == sortColumn_) {
    const CPen light(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    const CPen shadow(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    const int r = item.right;
    const int b = item.bottom;
    const int t = item.top;
    if (ascending_) {
      // Pointing up: the right side and the base lit, the left side in shadow.
      dc.SelectObject(light);
      dc.MoveTo(r - q, b - q - 1);
      dc.LineTo(r - 2 * q, t + q);
      dc.MoveTo(r - 3 * q - 2, b - q - 1);
      dc.LineTo(r - q, b - q - 1);
      dc.SelectObject(shadow);
      dc.MoveTo(r - 2 * q, t + q);
      dc.LineTo(r - 3 * q - 2, b - q - 1);
    } else {
      // Pointing down: the right side lit, the top and the left side in shadow.
      dc.SelectObject(light);
      dc.MoveTo(r - q - 1, t + q);
      dc.LineTo(r - 2 * q - 1, b - q);
      dc.SelectObject(shadow);
      dc.MoveTo(r - 3 * q - 1, t + q);
      dc.LineTo(r - q - 1, t + q);
      dc.MoveTo(r - 2 * q - 1, b - q);
      dc.LineTo(r - 3 * q - 1, t + q);
    }
  }
  dc.RestoreDC(-1);
}

void CSortHeaderCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressedColumn_ = logicalIndexAt(event->position().toPoint());
    viewport()->update();
  }
  QHeaderView::mousePressEvent(event);
}

void CSortHeaderCtrl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && pressedColumn_ >= 0) {
    pressedColumn_ = -1;
    viewport()->update();
  }
  QHeaderView::mouseReleaseEvent(event);
}

// ---- CSortListCtrl ----

CSortListCtrl::CSortListCtrl(QWidget* parent)
    : CColorListCtrl(parent),
      header_(new CSortHeaderCtrl(this)),
      defaultText_(GetSysColor(kColorWindowFrame)),
      defaultBk_(GetSysColor(COLOR_WINDOW)),
      selectionBk_(GetSysColor(COLOR_HIGHLIGHT)),
      selectionText_(GetSysColor(COLOR_HIGHLIGHTTEXT)) {
  setHorizontalHeader(header_);
  setSortingEnabled(false);  // a heading click is the owner's business

  // The records follow the rows, whoever inserts or removes them.
  QAbstractItemModel* rows = model();
  connect(rows, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex& parent, int first, int last) {
    if (parent.isValid()) return;
    records_.insert(records_.begin() + std::min<size_t>(static_cast<size_t>(first), records_.size()),
                    static_cast<size_t>(last - first + 1), NewRecord());
  });
  connect(rows, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex& parent, int first, int last) {
    if (parent.isValid() || static_cast<size_t>(first) >= records_.size()) return;
    const size_t end = std::min(records_.size(), static_cast<size_t>(last) + 1);
    records_.erase(records_.begin() + first, records_.begin() + static_cast<std::ptrdiff_t>(end));
  });
  connect(rows, &QAbstractItemModel::modelReset, this, [this] { records_.clear(); });
}

CSortListCtrl::~CSortListCtrl() {
  // The records go first; the table's own teardown must not reach them.
  model()->disconnect(this);
}

CSortListCtrl::ItemRecord CSortListCtrl::NewRecord() const {
  const auto n = static_cast<size_t>(columnCount_);
  return ItemRecord{std::vector<CString>(n), std::vector<COLORREF>(n, kSortListDefaultColour),
                    std::vector<COLORREF>(n, kSortListDefaultColour)};
}

bool CSortListCtrl::SetHeadings(const std::string& headings) {
  std::vector<SortHeading> columns;
  const bool whole = ParseSortHeadings(headings, columns);
  for (const SortHeading& column : columns) {
    if (InsertColumn(columnCount_, column.text, LVCFMT_CENTER, column.width) < 0) return false;
    ++columnCount_;
    for (ItemRecord& record : records_) {
      record.texts.emplace_back();
      record.textColours.push_back(kSortListDefaultColour);
      record.bkColours.push_back(kSortListDefaultColour);
    }
  }
  return whole;
}

bool CSortListCtrl::SetHeadings(UINT stringResourceId) { return SetHeadings(LoadButtonString(stringResourceId)); }

int CSortListCtrl::AddItem(const std::vector<CString>& texts) {
  if (columnCount_ == 0) return -1;
  const int row = InsertItem(GetItemCount(), texts.empty() ? CString() : texts[0]);
  if (row < 0) return -1;
  for (int c = 0; c < columnCount_; ++c) {
    SetItemText(row, c, static_cast<size_t>(c) < texts.size() ? texts[static_cast<size_t>(c)] : CString());
  }
  return row;
}

bool CSortListCtrl::ValidCell(int row, int column) const {
  return row >= 0 && static_cast<size_t>(row) < records_.size() && column >= 0 && column < columnCount_;
}

BOOL CSortListCtrl::SetItemText(int row, int column, const CString& text) {
  if (!CColorListCtrl::SetItemText(row, column, text)) return FALSE;
  if (ValidCell(row, column)) records_[static_cast<size_t>(row)].texts[static_cast<size_t>(column)] = text;
  return TRUE;
}

CString CSortListCtrl::GetStoredText(int row, int column) const {
  return ValidCell(row, column) ? records_[static_cast<size_t>(row)].texts[static_cast<size_t>(column)] : CString();
}

void CSortListCtrl::SetItemColor(int row, int column, COLORREF text, COLORREF background) {
  if (!ValidCell(row, column)) return;
  ItemRecord& record = records_[static_cast<size_t>(row)];
  record.textColours[static_cast<size_t>(column)] = text;
  record.bkColours[static_cast<size_t>(column)] = background;
  RepaintCell(row, column);
}

COLORREF CSortListCtrl::GetItemTextColor(int row, int column) const {
  if (!ValidCell(row, column)) return defaultText_;
  const COLORREF c = records_[static_cast<size_t>(row)].textColours[static_cast<size_t>(column)];
  return c == kSortListDefaultColour ? defaultText_ : c;
}

COLORREF CSortListCtrl::GetItemBkColor(int row, int column) const {
  if (!ValidCell(row, column)) return defaultBk_;
  const COLORREF c = records_[static_cast<size_t>(row)].bkColours[static_cast<size_t>(column)];
  return c == kSortListDefaultColour ? defaultBk_ : c;
}

void CSortListCtrl::RepaintCell(int row, int column) {
  viewport()->update(visualRect(model()->index(row, column)));
}

BOOL CSortListCtrl::DeleteItem(int row) { return CColorListCtrl::DeleteItem(row); }

BOOL CSortListCtrl::DeleteAllItems() {
  records_.clear();
  return CColorListCtrl::DeleteAllItems();
}

void CSortListCtrl::SortColumn(int column, bool ascending) {
  sortColumn_ = column;
  ascending_ = ascending;
  header_->SetSortArrow(column, ascending);
  if (column < 0 || column >= columnCount_) return;

  QCollator collator(QLocale::system());
  const SortTextCompare byLocale = [&collator](const std::string& a, const std::string& b) {
    return collator.compare(ToQString(a), ToQString(b));
  };
  std::vector<std::string> keys;
  keys.reserve(records_.size());
  for (const ItemRecord& record : records_) keys.push_back(record.texts[static_cast<size_t>(column)]);
  const std::vector<int> order = SortedRowOrder(keys, ascending, byLocale);

  std::vector<ItemRecord> sorted;
  sorted.reserve(records_.size());
  for (int old : order) sorted.push_back(std::move(records_[static_cast<size_t>(old)]));
  records_ = std::move(sorted);
  // The cells show the records' texts in the new order.
  for (int r = 0; r < static_cast<int>(records_.size()); ++r) {
    for (int c = 0; c < columnCount_; ++c) {
      CColorListCtrl::SetItemText(r, c, records_[static_cast<size_t>(r)].texts[static_cast<size_t>(c)]);
    }
  }
  viewport()->update();
}

std::string CSortListCtrl::IniPath() const { return AppPath(kWidthsFile); }

void CSortListCtrl::LoadColumnWidths() {
  const std::string key = std::to_string(CPage::GetDlgCtrlID(this));
  const std::string value = CIniFile(IniPath()).GetString(kWidthsSection, key, std::string());
  const std::optional<std::vector<int>> widths = DecodeColumnWidths(value);
  if (!widths || static_cast<int>(widths->size()) != columnCount_) return;
  for (int c = 0; c < columnCount_; ++c) setColumnWidth(c, (*widths)[static_cast<size_t>(c)]);
}

bool CSortListCtrl::SaveColumnWidths() const {
  std::vector<int> widths;
  for (int c = 0; c < columnCount_; ++c) widths.push_back(columnWidth(c));
  const std::string key = std::to_string(CPage::GetDlgCtrlID(this));
  return CIniFile(IniPath()).WriteString(kWidthsSection, key, EncodeColumnWidths(widths)) != 0;
}

void CSortListCtrl::OnSysColorChange() {
  defaultText_ = GetSysColor(COLOR_WINDOWTEXT);
  defaultBk_ = GetSysColor(COLOR_WINDOW);
  selectionBk_ = GetSysColor(COLOR_HIGHLIGHT);
  selectionText_ = GetSysColor(COLOR_HIGHLIGHTTEXT);
  viewport()->update();
}

void CSortListCtrl::DrawCell(CDC& dc, int row, int column, const CRect& rect, bool selected, const CString& text,
                             UINT format) {
  const COLORREF field = selected ? selectionBk_ : GetItemBkColor(row, column);
  // A cell's own text colour stays; the default and the selection's read on the field.
  const bool ownText = ValidCell(row, column) &&
                       records_[static_cast<size_t>(row)].textColours[static_cast<size_t>(column)] !=
                           kSortListDefaultColour;
  const COLORREF ink = selected  ? ReadableTextColour(selectionText_, field)
                       : ownText ? GetItemTextColor(row, column)
                                 : ReadableTextColour(defaultText_, field);
  dc.FillSolidRect(rect, field);
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(ink);
  CRect textRect = rect;
  textRect.DeflateRect(4, 0);
  dc.DrawText(text, textRect, format);
}
