// The colour list box and the colour list control under load: lines added by a
// worker against lines added on the UI thread, the longest lists the pages fill (lines
// with four roles each, a table of every repeat-buy row), and one full paint of a large
// coloured table against the same table without colours.

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QMetaObject>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench.h"
#include "bench_app.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "platform/page_registry.h"
#include "platform/ui/dc.h"
#include "platform/ui/qt_ui_dispatcher.h"

namespace {

constexpr int kLines = 10000;
constexpr int kTableRows = 2000;
constexpr int kTableColumns = 10;
constexpr int kCellEntries = 5000;
constexpr int kPaintRounds = 15;
constexpr int kLongLines = 366000;
constexpr int kLongRows = 122000;

// The progress lines of a day: a few colours, most lines plain.
std::string LineText(int i) { return "第" + std::to_string(i) + "行: 下载 600" + std::to_string(100 + i % 900) + " 完成"; }
COLORREF LineColour(int i) { return i % 3 == 0 ? 0 : (i % 3 == 1 ? RGB(0, 0, 255) : RGB(255, 0, 0)); }

void PrepareList(CColorListBox& list) {
  list.setFont(ApplicationFont());
  list.resize(480, 320);
  list.show();
  QCoreApplication::processEvents();
}

// Adds the lines on the UI thread, then lets the list lay out and paint once.
double AddOnUiThread() {
  CColorListBox list;
  PrepareList(list);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kLines; ++i) {
    list.AddString(LineText(i), LineColour(i));
  }
  QCoreApplication::processEvents();
  return SecondsSince(start);
}

// Adds the same lines from a worker while the UI thread runs its event loop.
double AddFromWorker() {
  CColorListBox list;
  PrepareList(list);
  QEventLoop loop;
  std::atomic<int> failures{0};
  const auto start = std::chrono::steady_clock::now();
  std::thread worker([&] {
    for (int i = 0; i < kLines; ++i) {
      if (list.AddString(LineText(i), LineColour(i)) != i) ++failures;
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  QCoreApplication::processEvents();
  const double seconds = SecondsSince(start);
  if (failures.load() != 0 || list.GetCount() != kLines) {
    std::fprintf(stderr, "controls bench: the worker's lines did not all land in order\n");
  }
  return seconds;
}

// The longest result list: every line with its colour and four roles, as the tracker
// page adds them, then one layout and paint.
double AddLongList() {
  CColorListBox list;
  PrepareList(list);
  const auto start = std::chrono::steady_clock::now();
  list.setUpdatesEnabled(false);
  for (int i = 0; i < kLongLines; ++i) {
    const int index = list.AddString(LineText(i), LineColour(i));
    for (int role = 1; role <= 4; ++role) list.item(index)->setData(Qt::UserRole + role, QString::number(i));
  }
  list.setUpdatesEnabled(true);
  QCoreApplication::processEvents();
  return SecondsSince(start);
}

// A table as long as the repeat-buy list, ten columns, filled row by row.
double FillLongTable() {
  CColorListCtrl table;
  table.setFont(ApplicationFont());
  table.resize(1000, 700);
  table.show();
  QCoreApplication::processEvents();
  const auto start = std::chrono::steady_clock::now();
  for (int c = 0; c < kTableColumns; ++c) table.InsertColumn(c, "列" + std::to_string(c), LVCFMT_LEFT, 90);
  for (int r = 0; r < kLongRows; ++r) {
    table.InsertItem(r, std::to_string(r));
    for (int c = 1; c < kTableColumns; ++c) table.SetItemText(r, c, std::to_string(r * 100 + c));
  }
  QCoreApplication::processEvents();
  return SecondsSince(start);
}

void FillTable(CColorListCtrl& table) {
  table.setFont(ApplicationFont());
  for (int c = 0; c < kTableColumns; ++c) table.InsertColumn(c, "列" + std::to_string(c), LVCFMT_LEFT, 90);
  table.setRowCount(kTableRows);
  for (int r = 0; r < kTableRows; ++r) {
    for (int c = 0; c < kTableColumns; ++c) {
      table.SetItemText(r, c, std::to_string(r * 100 + c) + (c == 1 ? " 机构专用" : ""));
    }
  }
  table.resize(1000, 700);
  table.show();
  QCoreApplication::processEvents();
}

// Cell entries spread over the whole table by a fixed generator, a few colours.
void AddCellEntries(CColorListCtrl& table) {
  const COLORREF colours[] = {RGB(255, 0, 0), RGB(200, 0, 0), RGB(0, 200, 0), RGB(255, 255, 0)};
  std::uint32_t state = 12345;
  for (int i = 0; i < kCellEntries; ++i) {
    state = state * 1664525u + 1013904223u;
    const int row = static_cast<int>((state >> 8) % kTableRows);
    const int column = static_cast<int>((state >> 4) % kTableColumns);
    table.SetCellColor(colours[i % 4], row, column);
  }
  QCoreApplication::processEvents();
}

// One full paint of the table's viewport.
double PaintOnce(CColorListCtrl& table, QImage& target) {
  const auto start = std::chrono::steady_clock::now();
  table.viewport()->render(&target);
  return SecondsSince(start);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

void RunControlsBench() {
  const auto ownApp = MakeBenchApplication();
  QtUiDispatcher dispatcher;
  PageRegistry::Instance().Restart(&dispatcher);

  // Worker lines against UI-thread lines.
  const double uiSeconds = AddOnUiThread();
  const double workerSeconds = AddFromWorker();
  PrintFigure("controls_addstring_ui_10000", uiSeconds * 1000.0, "ms");
  PrintFigure("controls_addstring_worker_10000", workerSeconds * 1000.0, "ms");
  PrintFigure("controls_worker_addstring_ratio", workerSeconds / uiSeconds, "x");
  PrintFigure("controls_addstring_roles_366000", AddLongList() * 1000.0, "ms");
  PrintFigure("colorlist_fill_122000_rows", FillLongTable() * 1000.0, "ms");

  // A coloured table against the same table without colours, painted in turns.
  {
    CColorListCtrl plain;
    CColorListCtrl coloured;
    FillTable(plain);
    FillTable(coloured);
    AddCellEntries(coloured);
    QImage target(plain.viewport()->size(), QImage::Format_RGB32);
    PaintOnce(plain, target);  // warm-up: glyph caches
    PaintOnce(coloured, target);
    std::vector<double> plainTimes;
    std::vector<double> colouredTimes;
    for (int i = 0; i < kPaintRounds; ++i) {
      plainTimes.push_back(PaintOnce(plain, target));
      colouredTimes.push_back(PaintOnce(coloured, target));
    }
    const double plainPaint = Median(plainTimes);
    const double colouredPaint = Median(colouredTimes);
    PrintFigure("colorlist_paint_plain", plainPaint * 1000.0, "ms");
    PrintFigure("colorlist_paint_5000_entries", colouredPaint * 1000.0, "ms");
    PrintFigure("colorlist_paint_ratio", colouredPaint / plainPaint, "x");
  }

  PageRegistry::Instance().Restart(nullptr);
}
