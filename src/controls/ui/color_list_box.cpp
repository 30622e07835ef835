#include "controls/ui/color_list_box.h"

#include <QAbstractListModel>
#include <QByteArrayView>
#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QThread>
#include <utility>

#include "controls/list_box_colours.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"

namespace {

constexpr int kColourRole = Qt::UserRole;

// A role's text as a place in the line's text (bytes of its UTF-8).
struct Span {
  int role = 0;
  std::uint16_t start = 0;
  std::uint16_t length = 0;
};
// What few lines have: roles that are no part of the text, and a text that UTF-8
// cannot hold exactly (a lone surrogate).
struct Extra {
  std::vector<std::pair<int, QVariant>> roles;
  std::optional<QString> text;
};
// A line: its text as UTF-8 (most of a line's text is ASCII: half the bytes of
// UTF-16), held with the texts of the lines added with it; its colour and the places
// of up to four roles in the text.
struct Line {
  const char* text = nullptr;
  std::uint32_t length = 0;
  COLORREF colour = 0;
  std::uint8_t spanCount = 0;
  std::array<Span, 4> spans{};
  std::unique_ptr<Extra> extra;

  std::string_view Text() const { return {text, length}; }
  std::span<const Span> Spans() const { return {spans.data(), spanCount}; }
  Extra& Extras() {
    if (!extra) extra = std::make_unique<Extra>();
    return *extra;
  }
};

// Appends the line's UTF-8 text to `bytes` and sets its length; KeepTexts then
// points it at its place. A text that UTF-8 cannot hold exactly is held as it is.
void SetText(Line& line, QString text, std::string& bytes) {
  if (text.isValidUtf16()) {
    const QByteArray utf8 = text.toUtf8();
    line.length = static_cast<std::uint32_t>(utf8.size());
    bytes.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
  } else {
    line.length = 0;
    line.Extras().text = std::move(text);
  }
}
QString TextOf(const Line& line) {
  return line.extra && line.extra->text ? *line.extra->text : QString::fromUtf8(line.text, line.length);
}

constexpr std::size_t kFar = std::numeric_limits<std::uint16_t>::max();

// Puts a role's text as a place in the line's text when it stands there; false when it
// does not (or the line holds four places already).
bool PlaceRole(Line& line, std::string_view lineText, int role, std::string_view bytes) {
  if (line.spanCount == line.spans.size()) return false;
  const std::size_t found = bytes.empty() ? 0 : lineText.find(bytes);
  if (found == std::string_view::npos || found > kFar || bytes.size() > kFar) return false;
  line.spans[line.spanCount++] = {role, static_cast<std::uint16_t>(found), static_cast<std::uint16_t>(bytes.size())};
  return true;
}

// The columns a UTF-8 text takes in the lists' font: one per character, two for one of
// three or four bytes (the CJK characters), as a monospaced CJK font draws them. A cheap
// count over bytes already held, so the list finds its widest line without measuring
// every line in pixels.
int Columns(std::string_view utf8) {
  int columns = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) columns += byte >= 0xE0 ? 2 : 1;
  }
  return columns;
}

// The bytes as QString::fromUtf8 and back would give them: an invalid sequence as U+FFFD.
std::string_view AsQtReadsIt(std::string_view bytes, std::string& scratch) {
  if (QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())).isValidUtf8()) return bytes;
  scratch = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toUtf8().toStdString();
  return scratch;
}

}  // namespace

struct ColorListBoxBatch::Lines {
  std::string texts;
  std::vector<Line> lines;
};

namespace {

// Lines added together and the blocks of their texts (one per step that added some).
// A block handed to a reader (ColorListBoxLines) is never changed again: the list
// changes a copy of it.
struct LineBlock {
  std::vector<std::shared_ptr<const std::string>> texts;
  std::vector<Line> lines;
};

Line CopyOf(const Line& line) {
  Line copy;
  copy.text = line.text;
  copy.length = line.length;
  copy.colour = line.colour;
  copy.spanCount = line.spanCount;
  copy.spans = line.spans;
  if (line.extra) copy.extra = std::make_unique<Extra>(*line.extra);
  return copy;
}

// A role of the line as UTF-8; nothing when the line has none.
std::optional<std::string> RoleBytes(const Line& line, int role) {
  for (const Span& span : line.Spans()) {
    if (span.role == role) return std::string(line.Text().substr(span.start, span.length));
  }
  if (line.extra) {
    for (const auto& [key, value] : line.extra->roles) {
      if (key == role) return value.toString().toStdString();
    }
  }
  return std::nullopt;
}

// The block that holds `row` of blocks ending at `ends`, and the row's place in it.
std::pair<std::size_t, std::size_t> Locate(const std::vector<std::size_t>& ends, std::size_t row) {
  const std::size_t block = static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), row) - ends.begin());
  return {block, row - (block == 0 ? 0 : ends[block - 1])};
}

}  // namespace

struct ColorListBoxLines::Blocks {
  std::vector<std::shared_ptr<const LineBlock>> blocks;
  std::vector<std::size_t> ends;
  std::size_t count = 0;
};

ColorListBoxLines::ColorListBoxLines() : blocks_(std::make_shared<const Blocks>()) {}

std::size_t ColorListBoxLines::size() const { return blocks_->count; }

std::string ColorListBoxLines::RoleText(std::size_t row, int role) const {
  if (row >= blocks_->count) return {};
  const auto [block, place] = Locate(blocks_->ends, row);
  return RoleBytes(blocks_->blocks[block]->lines[place], role).value_or(std::string());
}

// The lines in order: text, colour and whatever other roles the pages store. A role
// whose text stands in the line's text (a stock's name, code and day do) is held as a
// place in it, not as a copy: a list of hundreds of thousands of lines holds each line
// once.
class ColorListBoxModel final : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(count_);
  }
  bool Valid(int row) const { return row >= 0 && static_cast<size_t>(row) < count_; }

  QVariant data(const QModelIndex& index, int role) const override {
    return index.isValid() ? Role(index.row(), role) : QVariant();
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
  }

  QVariant Role(int row, int role) const {
    if (!Valid(row)) return QVariant();
    const Line& line = At(static_cast<std::size_t>(row));
    if (role == Qt::DisplayRole || role == Qt::EditRole) return TextOf(line);
    if (role == kColourRole) return static_cast<uint>(ColourOf(static_cast<std::size_t>(row)));
    for (const Span& span : line.Spans()) {
      if (span.role == role) return QString::fromUtf8(line.text + span.start, span.length);
    }
    if (line.extra) {
      for (const auto& [key, value] : line.extra->roles) {
        if (key == role) return value;
      }
    }
    return QVariant();
  }

  void SetRole(int row, int role, const QVariant& value) {
    if (!Valid(row)) return;
    // A line whose colour follows the colouring, or the role it compares, gets its own.
    if (rule_ && static_cast<std::size_t>(row) < rule_->end && (role == kColourRole || role == rule_->role)) {
      SettleColouring();
    }
    Line& line = Mutable(static_cast<std::size_t>(row));
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
      // The other roles keep their values, not their places in the old text.
      std::vector<std::pair<int, QVariant>> roles = RolesOf(line);
      line.spanCount = 0;
      line.extra.reset();
      // A text changed on its own is held as it is (rare: no block of texts grows for it).
      line.text = nullptr;
      line.length = 0;
      line.Extras().text = value.toString();
      NoteWidest(std::span<const Line>(&line, 1));
      for (auto& [key, kept] : roles) Store(line, key, std::move(kept));
    } else if (role == kColourRole) {
      line.colour = static_cast<COLORREF>(value.toUInt());
    } else {
      Store(line, role, value);
      // The pages' own roles are never painted: no view needs to hear of them.
      return;
    }
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed);
  }

  // Inserts the lines before `row` in one step.
  void Insert(int row, std::vector<ColorListBoxEntry> entries) {
    if (entries.empty()) return;
    std::vector<Line> lines;
    lines.reserve(entries.size());
    std::string bytes;  // the texts, one after the other
    for (ColorListBoxEntry& entry : entries) {
      Line& line = lines.emplace_back();
      SetText(line, std::move(entry.text), bytes);
      line.colour = entry.colour;
    }
    auto block = std::make_shared<LineBlock>(KeepTexts(std::move(lines), std::move(bytes)));
    NoteWidest(block->lines);
    for (std::size_t i = 0; i < block->lines.size(); ++i) {
      for (auto& [key, value] : entries[i].roles) Store(block->lines[i], key, std::move(value));
    }
    entries.clear();
    InsertBlock(row, std::move(block));
  }

  // Inserts lines made off the interface thread before `row` in one step.
  void Insert(int row, ColorListBoxBatch batch) {
    if (batch.size() == 0) return;
    auto block = std::make_shared<LineBlock>(
        KeepTexts(std::move(batch.lines_->lines), std::move(batch.lines_->texts)));
    NoteWidest(block->lines);
    InsertBlock(row, std::move(block));
  }

  std::string RoleText(std::size_t row, int role) const { return RoleBytes(At(row), role).value_or(std::string()); }

  std::vector<std::string> RoleTexts(std::size_t limit, int role) const {
    std::vector<std::string> texts(std::min(limit, count_));
    for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = RoleBytes(At(i), role).value_or(std::string());
    return texts;
  }

  // The first `limit` lines for a reader on any thread: their blocks, which the list
  // no longer changes.
  ColorListBoxLines Share(std::size_t limit) {
    auto shared = std::make_shared<ColorListBoxLines::Blocks>();
    shared->count = std::min(limit, count_);
    for (std::size_t b = 0; b < blocks_.size() && (b == 0 ? 0 : ends_[b - 1]) < shared->count; ++b) {
      blocks_[b].shared = true;
      shared->blocks.push_back(blocks_[b].block);
      shared->ends.push_back(ends_[b]);
    }
    ColorListBoxLines lines;
    lines.blocks_ = std::move(shared);
    return lines;
  }

  // Copies of the first `limit` lines.
  std::vector<ColorListBoxEntry> Copy(std::size_t limit) const {
    std::vector<ColorListBoxEntry> copies;
    const std::size_t count = std::min(limit, count_);
    copies.reserve(count);
    for (std::size_t i = 0; i < count; ++i) copies.push_back({TextOf(At(i)), ColourOf(i), RolesOf(At(i))});
    return copies;
  }

  // Every line now in the list in `same` where its role `role` reads as `value`, in
  // `other` elsewhere (no value: all in `other`). Held as a rule: no line is visited.
  void ColourByRole(int role, std::optional<std::string> value, COLORREF same, COLORREF other) {
    rule_ = ColourRule{role, std::move(value), same, other, count_};
  }

  void Clear() {
    beginResetModel();
    blocks_.clear();
    blocks_.shrink_to_fit();
    ends_.clear();
    ends_.shrink_to_fit();
    count_ = 0;
    rule_.reset();
    widest_.reset();
    widestColumns_ = 0;
    endResetModel();
  }

  // The text of the line with the most columns, none for an empty list. It only grows
  // as lines come (a changed text that got shorter leaves it as it was).
  const std::optional<QString>& Widest() const { return widest_; }

 private:
  struct HeldBlock {
    std::shared_ptr<LineBlock> block;
    bool shared = false;  // a reader holds it too: changed only as a copy
  };
  struct ColourRule {
    int role = 0;
    std::optional<std::string> value;
    COLORREF same = 0, other = 0;
    std::size_t end = 0;  // the lines it colours: those before
  };

  const Line& At(std::size_t row) const {
    const auto [block, place] = Locate(ends_, row);
    return blocks_[block].block->lines[place];
  }
  Line& Mutable(std::size_t row) {
    const auto [block, place] = Locate(ends_, row);
    Own(block);
    return blocks_[block].block->lines[place];
  }
  // The list's own copy of a block a reader holds.
  void Own(std::size_t b) {
    HeldBlock& held = blocks_[b];
    if (!held.shared) return;
    auto copy = std::make_shared<LineBlock>();
    copy->texts = held.block->texts;
    copy->lines.reserve(held.block->lines.size());
    for (const Line& line : held.block->lines) copy->lines.push_back(CopyOf(line));
    held = {std::move(copy), false};
  }

  COLORREF ColourOf(std::size_t row) const {
    const Line& line = At(row);
    if (!rule_ || row >= rule_->end) return line.colour;
    return rule_->value && RoleBytes(line, rule_->role).value_or(std::string()) == *rule_->value ? rule_->same
                                                                                               : rule_->other;
  }
  // The colouring written into the lines it colours, which then keep their colours.
  void SettleColouring() {
    if (!rule_) return;
    std::vector<COLORREF> colours(rule_->end);
    for (std::size_t i = 0; i < colours.size(); ++i) colours[i] = ColourOf(i);
    rule_.reset();
    for (std::size_t i = 0; i < colours.size(); ++i) Mutable(i).colour = colours[i];
  }

  void InsertBlock(int row, std::shared_ptr<LineBlock> block) {
    const std::size_t at = static_cast<std::size_t>(row);
    if (at < count_) SettleColouring();  // the colouring holds for the lines it had
    std::size_t b = blocks_.size();
    if (at < count_) {
      const auto [found, place] = Locate(ends_, at);
      b = found;
      if (place > 0) {
        // The block is cut at the row: its tail becomes a block of its own.
        Own(b);
        auto tail = std::make_shared<LineBlock>();
        tail->texts = blocks_[b].block->texts;
        std::vector<Line>& lines = blocks_[b].block->lines;
        tail->lines.assign(std::make_move_iterator(lines.begin() + static_cast<std::ptrdiff_t>(place)),
                           std::make_move_iterator(lines.end()));
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(place), lines.end());
        blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(++b), HeldBlock{std::move(tail), false});
      }
    }
    const int added = static_cast<int>(block->lines.size());
    beginInsertRows(QModelIndex(), row, row + added - 1);
    if (b == blocks_.size() && b > 0 && !blocks_[b - 1].shared) {
      // Lines added at the end join the last block: a line added at a time costs no block.
      LineBlock& last = *blocks_[b - 1].block;
      last.lines.insert(last.lines.end(), std::make_move_iterator(block->lines.begin()),
                        std::make_move_iterator(block->lines.end()));
      last.texts.insert(last.texts.end(), block->texts.begin(), block->texts.end());
      ends_.back() = count_ += block->lines.size();
      endInsertRows();
      return;
    }
    if (b == blocks_.size()) {
      ends_.push_back(count_ += block->lines.size());
      blocks_.push_back(HeldBlock{std::move(block), false});
      endInsertRows();
      return;
    }
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b), HeldBlock{std::move(block), false});
    ends_.resize(blocks_.size());
    std::size_t end = 0;
    for (std::size_t i = 0; i < blocks_.size(); ++i) ends_[i] = end += blocks_[i].block->lines.size();
    count_ = end;
    endInsertRows();
  }

  static void Store(Line& line, int role, QVariant value) {
    const auto kept = std::remove_if(line.spans.begin(), line.spans.begin() + line.spanCount,
                                     [role](const Span& span) { return span.role == role; });
    line.spanCount = static_cast<std::uint8_t>(kept - line.spans.begin());
    if (line.extra) std::erase_if(line.extra->roles, [role](const auto& other) { return other.first == role; });
    if (value.typeId() == QMetaType::QString) {
      const QString text = value.toString();
      const QByteArray bytes = text.toUtf8();
      const std::string_view place(bytes.constData(), static_cast<std::size_t>(bytes.size()));
      if (text.isValidUtf16() && PlaceRole(line, line.Text(), role, place)) return;
    }
    line.Extras().roles.emplace_back(role, std::move(value));
  }

  // Keeps the widest of `lines` when it is wider than the widest so far: one count over
  // the new lines' bytes, never a pass over the whole list.
  void NoteWidest(std::span<const Line> lines) {
    const Line* widest = nullptr;
    for (const Line& line : lines) {
      const bool heldApart = line.extra && line.extra->text;
      const int columns = heldApart ? Columns(line.extra->text->toStdString()) : Columns(line.Text());
      if (columns > widestColumns_) {
        widestColumns_ = columns;
        widest = &line;
      }
    }
    if (widest != nullptr) widest_ = TextOf(*widest);
  }

  // A block of `lines` and `bytes`, their texts one after the other (SetText).
  static LineBlock KeepTexts(std::vector<Line> lines, std::string bytes) {
    bytes.shrink_to_fit();
    LineBlock block{{std::make_shared<const std::string>(std::move(bytes))}, std::move(lines)};
    std::size_t offset = 0;
    for (Line& line : block.lines) {
      line.text = block.texts.front()->data() + offset;
      offset += line.length;
    }
    return block;
  }

  std::vector<std::pair<int, QVariant>> RolesOf(const Line& line) const {
    std::vector<std::pair<int, QVariant>> roles;
    roles.reserve(line.spanCount + (line.extra ? line.extra->roles.size() : 0));
    for (const Span& span : line.Spans()) {
      roles.emplace_back(span.role, QString::fromUtf8(line.text + span.start, span.length));
    }
    if (line.extra) roles.insert(roles.end(), line.extra->roles.begin(), line.extra->roles.end());
    return roles;
  }

  // Blocks of lines as they were added: a long list grows without moving its lines or
  // holding room to spare. `ends_`: the row after each block.
  std::vector<HeldBlock> blocks_;
  std::vector<std::size_t> ends_;
  std::size_t count_ = 0;
  std::optional<ColourRule> rule_;
  std::optional<QString> widest_;
  int widestColumns_ = 0;
};

CColorListBoxLine::CColorListBoxLine(const CColorListBox* list, int row)
    : lines_(list->lines_), row_(list->lines_->Valid(row) ? row : -1) {}

QString CColorListBoxLine::text() const { return lines_->Role(row_, Qt::DisplayRole).toString(); }

QVariant CColorListBoxLine::data(int role) const { return lines_->Role(row_, role); }

void CColorListBoxLine::setData(int role, const QVariant& value) const { lines_->SetRole(row_, role, value); }

namespace {

// Hands every line to the list's own DrawItem and MeasureItem.
class ColorListBoxDelegate final : public QStyledItemDelegate {
 public:
  explicit ColorListBoxDelegate(CColorListBox* list) : QStyledItemDelegate(list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    DrawItemRecord item;
    item.itemID = index.row();
    // Every paint draws the line entire; the focused line also gets its focus frame,
    // as a separate focus step would add it.
    item.itemAction = DrawItemRecord::kDrawEntire;
    if (option.state & QStyle::State_HasFocus) item.itemAction |= DrawItemRecord::kFocus;
    if (option.state & QStyle::State_Selected) item.itemState |= DrawItemRecord::kSelected;
    if (!(option.state & QStyle::State_Enabled)) item.itemState |= DrawItemRecord::kDisabled;
    if (option.state & QStyle::State_HasFocus) item.itemState |= DrawItemRecord::kHasFocus;
    item.rcItem = FromQRect(option.rect);
    item.itemData = index.data(kColourRole).toUInt();

    {
      CDC dc(*painter);
      dc.SelectObject(CFont(option.font));  // the list's font, as the list's own DC has it
      list_->DrawItem(dc, item);
    }
    list_->DrawCutMarks(*painter, item);
  }

  QSize sizeHint(const QStyleOptionViewItem& /*option*/, const QModelIndex& index) const override {
    MeasureItemRecord item;
    item.itemID = index.row();
    // Every line is as wide as the widest, so a list narrower than its lines scrolls
    // sideways to their ends; lines still span the list's width where it is wider.
    item.itemWidth = list_->WidestLineWidth();
    list_->MeasureItem(item);
    return QSize(item.itemWidth, item.itemHeight);
  }

 private:
  CColorListBox* list_;
};

}  // namespace

CColorListBox::CColorListBox(QWidget* parent) : QListView(parent), lines_(new ColorListBoxModel(this)) {
  setModel(lines_);
  setItemDelegate(new ColorListBoxDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Every line has the same size, so the view measures one instead of each.
  setUniformItemSizes(true);
  // Sideways by pixels, so a line's end can be brought into view exactly.
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // The list background and text follow the fixed system colours.
  QPalette pal = palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    pal.setColor(group, QPalette::Base, ToQColor(GetSysColor(COLOR_WINDOW)));
    pal.setColor(group, QPalette::Text, ToQColor(GetSysColor(COLOR_WINDOWTEXT)));
  }
  setPalette(pal);
  batchTimer_.setSingleShot(true);
  batchTimer_.setInterval(kWorkerBatchMs);
  connect(&batchTimer_, &QTimer::timeout, this, [this] { FlushHeld(); });
}

CColorListBox::~CColorListBox() = default;

int CColorListBox::count() const { return lines_->rowCount(); }

QRect CColorListBox::visualItemRect(const CColorListBoxLine& line) const {
  return visualRect(lines_->index(line.row()));
}

void CColorListBox::setCurrentItem(const CColorListBoxLine& line) { setCurrentIndex(lines_->index(line.row())); }

void CColorListBox::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QListView::currentChanged(current, previous);
  emit currentRowChanged(current.row());
}

template <class R, class Fn>
R CColorListBox::OnUiThread(R failed, Fn&& fn) const {
  // The widget's own thread is the UI thread.
  if (QThread::currentThread() == thread()) return fn(false);
  PageRegistry& registry = PageRegistry::Instance();
  IUiDispatcher* dispatcher = registry.Dispatcher();
  if (dispatcher == nullptr || registry.IsClosing()) return failed;
  R result = failed;
  QPointer<CColorListBox> self(const_cast<CColorListBox*>(this));
  // A call dropped at shutdown never runs, so `result` keeps `failed`.
  const bool ran = dispatcher->RunOnUi(
      [&] {
        if (self) result = fn(true);
      },
      true);
  return ran ? result : failed;
}

void CColorListBox::HoldLine(const QString& text, COLORREF colour) {
  held_.push_back(HeldLine{text, colour});
  if (!batchTimer_.isActive()) batchTimer_.start();
}

void CColorListBox::FlushHeld() {
  batchTimer_.stop();
  std::vector<HeldLine> held = std::move(held_);
  held_.clear();
  std::vector<ColorListBoxEntry> lines;
  lines.reserve(held.size());
  for (HeldLine& line : held) lines.push_back(ColorListBoxEntry{std::move(line.text), line.colour, {}});
  lines_->Insert(count(), std::move(lines));
  if (heldSelection_) {
    const int selection = *heldSelection_;
    heldSelection_.reset();
    SelectNow(selection);
  }
}

int CColorListBox::InsertNow(int index, const CString& text, COLORREF colour) {
  const int n = count();
  if (index == -1) index = n;
  if (index < 0 || index > n) return LB_ERR;
  // The colour goes with the line in the same call, so no other line can come between.
  std::vector<ColorListBoxEntry> line;
  line.push_back(ColorListBoxEntry{ToQString(text), colour, {}});
  lines_->Insert(index, std::move(line));
  return index;
}

void CColorListBox::AddLines(std::vector<ColorListBoxEntry> lines) {
  FlushHeld();
  lines_->Insert(count(), std::move(lines));
}

std::vector<std::string> CColorListBox::RoleTexts(std::size_t limit, int role) {
  FlushHeld();
  return lines_->RoleTexts(limit, role);
}

ColorListBoxLines CColorListBox::SharedLines(std::size_t limit) {
  FlushHeld();
  return lines_->Share(limit);
}

void CColorListBox::ColourLikeLine(int index, int role, COLORREF same, COLORREF other) {
  FlushHeld();
  std::optional<std::string> value;
  if (lines_->Valid(index)) value = lines_->RoleText(static_cast<std::size_t>(index), role);
  lines_->ColourByRole(role, std::move(value), same, other);
  viewport()->update();
}

void CColorListBox::AddLines(ColorListBoxBatch lines) {
  FlushHeld();
  lines_->Insert(count(), std::move(lines));
}

ColorListBoxBatch::ColorListBoxBatch() : lines_(std::make_unique<Lines>()) {}
ColorListBoxBatch::~ColorListBoxBatch() = default;
ColorListBoxBatch::ColorListBoxBatch(ColorListBoxBatch&&) noexcept = default;
ColorListBoxBatch& ColorListBoxBatch::operator=(ColorListBoxBatch&&) noexcept = default;

std::size_t ColorListBoxBatch::size() const { return lines_ ? lines_->lines.size() : 0; }

void ColorListBoxBatch::Add(std::string_view text, COLORREF colour,
                            std::initializer_list<std::pair<int, std::string_view>> roles) {
  std::string scratch;
  const std::string_view bytes = AsQtReadsIt(text, scratch);
  const std::size_t at = lines_->texts.size();
  lines_->texts.append(bytes);
  Line& line = lines_->lines.emplace_back();
  line.colour = colour;
  line.length = static_cast<std::uint32_t>(bytes.size());
  const std::string_view lineText = std::string_view(lines_->texts).substr(at);
  for (const auto& [role, value] : roles) {
    const std::string_view roleBytes = AsQtReadsIt(value, scratch);
    if (!PlaceRole(line, lineText, role, roleBytes)) {
      const QString kept = QString::fromUtf8(roleBytes.data(), static_cast<qsizetype>(roleBytes.size()));
      line.Extras().roles.emplace_back(role, kept);
    }
  }
}

std::vector<ColorListBoxEntry> CColorListBox::Lines(std::size_t limit) {
  FlushHeld();
  return lines_->Copy(limit);
}

int CColorListBox::SelectNow(int index) {
  if (index == -1) {
    clearSelection();
    return LB_ERR;
  }
  if (index < 0 || index >= count()) return LB_ERR;
  const QModelIndex line = lines_->index(index);
  selectionModel()->setCurrentIndex(line, QItemSelectionModel::ClearAndSelect);
  scrollTo(line);
  return index;
}

int CColorListBox::AddString(const CString& text) { return AddString(text, 0); }

int CColorListBox::AddString(const CString& text, COLORREF colour) {
  return InsertString(-1, text, colour);
}

int CColorListBox::InsertString(int index, const CString& text) { return InsertString(index, text, 0); }

int CColorListBox::InsertString(int index, const CString& text, COLORREF colour) {
  return OnUiThread(LB_ERR, [&](bool fromWorker) {
    const int lines = LineCount();
    if (fromWorker && (index == -1 || index == lines)) {
      HoldLine(ToQString(text), colour);
      return lines;
    }
    FlushHeld();
    return InsertNow(index, text, colour);
  });
}

int CColorListBox::SetItemColor(int index, COLORREF colour) {
  return OnUiThread(LB_ERR, [&](bool) {
    if (index >= count() && index < LineCount()) {
      held_[static_cast<size_t>(index - count())].colour = colour;
      return 0;
    }
    if (!lines_->Valid(index)) return LB_ERR;
    lines_->SetRole(index, kColourRole, static_cast<uint>(colour));
    viewport()->repaint();  // the whole list, at once
    return 0;
  });
}

int CColorListBox::ResetContent() {
  return OnUiThread(LB_ERR, [&](bool) {
    batchTimer_.stop();
    held_.clear();
    heldSelection_.reset();
    lines_->Clear();
    scrollToTop();  // the next lines show from the first, not at the old scroll position
    return 0;
  });
}

int CColorListBox::GetCount() const {
  return OnUiThread(LB_ERR, [&](bool) { return LineCount(); });
}

int CColorListBox::GetText(int index, CString& text) const {
  return OnUiThread(LB_ERR, [&](bool) {
    if (index >= count() && index < LineCount()) {
      text = FromQString(held_[static_cast<size_t>(index - count())].text);
      return static_cast<int>(text.size());
    }
    if (!lines_->Valid(index)) return LB_ERR;
    text = FromQString(lines_->Role(index, Qt::DisplayRole).toString());
    return static_cast<int>(text.size());
  });
}

CString CColorListBox::GetText(int index) const {
  CString text;
  GetText(index, text);
  return text;
}

DWORD CColorListBox::GetItemData(int index) const {
  return OnUiThread(static_cast<DWORD>(LB_ERR), [&](bool) {
    if (index >= count() && index < LineCount()) return held_[static_cast<size_t>(index - count())].colour;
    return lines_->Valid(index) ? static_cast<DWORD>(lines_->Role(index, kColourRole).toUInt())
                                : static_cast<DWORD>(LB_ERR);
  });
}

int CColorListBox::GetCurSel() const {
  return OnUiThread(LB_ERR, [&](bool) {
    if (heldSelection_) return *heldSelection_ >= 0 ? *heldSelection_ : LB_ERR;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? LB_ERR : rows.first().row();
  });
}

int CColorListBox::SetCurSelOnUi(int index, bool fromWorker) {
  if (!fromWorker) {
    FlushHeld();
    return SelectNow(index);
  }
  // Held with the worker's lines, so the widget scrolls once per batch.
  if (index != -1 && (index < 0 || index >= LineCount())) return LB_ERR;
  heldSelection_ = index;
  if (!batchTimer_.isActive()) batchTimer_.start();
  return index == -1 ? LB_ERR : index;
}

int CColorListBox::SetCurSel(int index) {
  return OnUiThread(LB_ERR, [&](bool fromWorker) { return SetCurSelOnUi(index, fromWorker); });
}

int CColorListBox::SelectLast() {
  return OnUiThread(LB_ERR, [&](bool fromWorker) {
    const int last = LineCount() - 1;
    return last < 0 ? LB_ERR : SetCurSelOnUi(last, fromWorker);
  });
}

void CColorListBox::SetUseTabStops(bool on) {
  useTabStops_ = on;
  viewport()->update();
}

void CColorListBox::MeasureItem(MeasureItemRecord& item) {
  // One line of the list's font (a fixed small metric would clip CJK glyphs).
  item.itemHeight = QFontMetrics(font()).height();
}

void CColorListBox::DrawItem(CDC& dc, const DrawItemRecord& item) {
  // 1. No line (an empty list with the focus): nothing to draw.
  if (item.itemID < 0) return;

  // 2. The line's colour; the inverse is part of the look below.
  const COLORREF colour = item.itemData;
  const bool selected = (item.itemState & DrawItemRecord::kSelected) != 0;
  const bool disabled = (item.itemState & DrawItemRecord::kDisabled) != 0;
  const COLORREF background = FromQColor(viewport()->palette().color(QPalette::Base));
  const ListBoxLineLook look = ListBoxLineColours(colour, selected, disabled, background);

  // 3. The field: the line colour when selected, the window colour when the selection
  //    left the line; an unselected line drawn entire keeps the erased background.
  if (selected && (item.itemAction & (DrawItemRecord::kDrawEntire | DrawItemRecord::kSelect))) {
    dc.FillSolidRect(item.rcItem, look.fill);
  } else if (!selected && (item.itemAction & DrawItemRecord::kSelect)) {
    dc.FillSolidRect(item.rcItem, look.fill);
  }

  // 4. The focus frame (inverting, so a second call removes it).
  if (item.itemAction & DrawItemRecord::kFocus) dc.DrawFocusRect(item.rcItem);

  // 5. and 6.
  const int oldMode = dc.SetBkMode(TRANSPARENT);
  const COLORREF oldText = dc.SetTextColor(look.text);

  // 7. The text, single line and vertically centred; tabs expanded when asked for.
  const CString text = GetText(item.itemID);
  CRect rect = item.rcItem;
  UINT format = DT_SINGLELINE | DT_VCENTER;
  if (useTabStops_) format |= DT_EXPANDTABS;

  // 8. Measure first (the rectangle shrinks to the text), then draw into it.
  dc.DrawText(text, rect, format | DT_CALCRECT);
  dc.DrawText(text, rect, format);

  // 9.
  dc.SetTextColor(oldText);
  dc.SetBkMode(oldMode);
}

int CColorListBox::WidestLineWidth() const {
  const std::optional<QString>& widest = lines_->Widest();
  if (!widest) return 0;
  if (!measured_ || measured_->first != *widest || measuredFont_ != font()) {
    measured_.emplace(*widest, QFontMetrics(font()).horizontalAdvance(*widest));
    measuredFont_ = font();
  }
  return measured_->second;
}

void CColorListBox::keyPressEvent(QKeyEvent* event) {
  QScrollBar* sideways = horizontalScrollBar();
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (plain && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
    // A list of one column: Left and Right move along its lines, not between them.
    sideways->triggerAction(event->key() == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                         : QAbstractSlider::SliderSingleStepAdd);
    return;
  }
  QListView::keyPressEvent(event);
  // Home and End go to the first and last line, and to the lines' start and end.
  if (plain && event->key() == Qt::Key_Home) sideways->triggerAction(QAbstractSlider::SliderToMinimum);
  if (plain && event->key() == Qt::Key_End) sideways->triggerAction(QAbstractSlider::SliderToMaximum);
}

void CColorListBox::wheelEvent(QWheelEvent* event) {
  // Shift turns the wheel sideways.
  if ((event->modifiers() & Qt::ShiftModifier) && event->angleDelta().x() == 0 && event->angleDelta().y() != 0) {
    const QPoint turned(event->angleDelta().y(), 0);
    QWheelEvent sideways(event->position(), event->globalPosition(), QPoint(event->pixelDelta().y(), 0), turned,
                         event->buttons(), event->modifiers() & ~Qt::ShiftModifier, event->phase(), event->inverted());
    QApplication::sendEvent(horizontalScrollBar(), &sideways);
    event->setAccepted(sideways.isAccepted());
    return;
  }
  QListView::wheelEvent(event);
}

void CColorListBox::DrawCutMarks(QPainter& painter, const DrawItemRecord& item) {
  if (item.itemID < 0) return;
  const QRect line = ToQRect(item.rcItem);
  const QRect shown = viewport()->rect();
  const QFontMetrics metrics(font());
  const bool cutLeft = line.left() < shown.left();
  const bool cutRight = line.left() + metrics.horizontalAdvance(ToQString(GetText(item.itemID))) > shown.right() + 1;
  if (!cutLeft && !cutRight) return;
  // A line cut at the list's edge ends there in "…" on its own field, so a cut figure
  // never reads as a whole one.
  const bool selected = (item.itemState & DrawItemRecord::kSelected) != 0;
  const bool disabled = (item.itemState & DrawItemRecord::kDisabled) != 0;
  const COLORREF background = FromQColor(viewport()->palette().color(QPalette::Base));
  const ListBoxLineLook look = ListBoxLineColours(item.itemData, selected, disabled, background);
  const QString mark = QStringLiteral("…");
  const int width = metrics.horizontalAdvance(mark) + 2;
  // The mark's field also covers a character the field would leave cut in half, so
  // that only whole characters stand beside it (tabs are expanded by the drawing: such
  // a line keeps the plain field).
  const QString text = ToQString(GetText(item.itemID));
  int leftEnd = shown.left() + width;
  int rightStart = shown.right() + 1 - width;
  if (!text.contains(QLatin1Char('\t'))) {
    int x = line.left();
    bool leftFound = false;
    for (qsizetype i = 0; i < text.size();) {
      const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
      const int next = x + metrics.horizontalAdvance(text.mid(i, n));
      if (!leftFound && next > leftEnd && x < leftEnd) {
        leftEnd = next;  // the character under the left field's edge
        leftFound = true;
      }
      if (next > rightStart) {
        rightStart = std::min(rightStart, x);  // the first character the right field would cut
        break;
      }
      x = next;
      i += n;
    }
  }
  painter.save();
  painter.setFont(font());
  painter.setPen(ToQColor(look.text));
  for (const bool right : {false, true}) {
    if (right ? !cutRight : !cutLeft) continue;
    const QRect field(right ? shown.right() + 1 - width : shown.left(), line.top(), width, line.height());
    const QRect covered = right ? QRect(rightStart, line.top(), shown.right() + 1 - rightStart, line.height())
                                : QRect(shown.left(), line.top(), leftEnd - shown.left(), line.height());
    painter.fillRect(covered, ToQColor(look.fill));
    painter.drawText(field, Qt::AlignCenter, mark);
  }
  painter.restore();
}

void CColorListBox::SetNaturalWidth(int width) {
  naturalWidth_ = width;
  updateGeometry();
}

QSize CColorListBox::sizeHint() const {
  if (naturalWidth_ <= 0) return QListView::sizeHint();
  return {naturalWidth_, minimumSizeHint().height()};  // the height the page gives it
}
