#include "controls/ui/color_list_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <random>
#include <thread>
#include <vector>

#include "../../support/gui_driver.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);

int CountColour(const QImage& image, const QRect& area, COLORREF colour) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (image.valid(x, y) && FromQColor(image.pixelColor(x, y)) == colour) ++n;
    }
  }
  return n;
}

// The rightmost column holding a pixel other than `background`, -1 when none.
int RightmostInk(const QImage& image, COLORREF background) {
  for (int x = image.width() - 1; x >= 0; --x) {
    for (int y = 0; y < image.height(); ++y) {
      if (FromQColor(image.pixelColor(x, y)) != background) return x;
    }
  }
  return -1;
}

class ColorListBoxTest : public testing::Test {
 protected:
  void SetUp() override { PageRegistry::Instance().Restart(&dispatcher_); }
  void TearDown() override { PageRegistry::Instance().Restart(nullptr); }

  // Paints one line through DrawItem into an image prefilled with `background`.
  QImage DrawLine(CColorListBox& list, const DrawItemRecord& item, COLORREF background, int w = 120, int h = 20) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(ToQColor(background));
    QPainter painter(&image);
    {
      CDC dc(painter);
      dc.SelectObject(CFont(list.font()));
      list.DrawItem(dc, item);
    }
    painter.end();
    return image;
  }

  QtUiDispatcher dispatcher_;
};

}  // namespace

TEST_F(ColorListBoxTest, AddingAndInsertingLines) {
  CColorListBox list;
  EXPECT_EQ(list.AddString("plain"), 0);
  EXPECT_EQ(list.AddString("zero", 0), 1);
  EXPECT_EQ(list.AddString("red", kRed), 2);
  EXPECT_EQ(list.GetItemData(0), 0u);
  EXPECT_EQ(list.GetItemData(1), 0u) << "colour 0 is the same as no colour";
  EXPECT_EQ(list.GetItemData(2), kRed);

  EXPECT_EQ(list.InsertString(0, "first", kBlue), 0);
  EXPECT_EQ(list.GetText(0), "first");
  EXPECT_EQ(list.GetItemData(0), kBlue);
  EXPECT_EQ(list.GetItemData(3), kRed) << "the colour moves with its line";
  EXPECT_EQ(list.InsertString(-1, "end"), 4);
  EXPECT_EQ(list.InsertString(6, "past the end"), LB_ERR);
  EXPECT_EQ(list.InsertString(-2, "bad", kRed), LB_ERR);
  EXPECT_EQ(list.InsertString(5, "at the end"), 5);
  EXPECT_EQ(list.GetCount(), 6);

  EXPECT_EQ(list.GetItemData(6), static_cast<DWORD>(LB_ERR));
  EXPECT_EQ(list.SetItemColor(6, kRed), LB_ERR);
  EXPECT_EQ(list.SetItemColor(-1, kRed), LB_ERR);
  EXPECT_EQ(list.SetItemColor(4, kRed), 0);
  EXPECT_EQ(list.GetItemData(4), kRed);

  EXPECT_EQ(list.ResetContent(), 0);
  EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(ColorListBoxTest, ReadingText) {
  CColorListBox list;
  list.AddString("中文 ab");
  CString text = "untouched";
  EXPECT_EQ(list.GetText(1, text), LB_ERR);
  EXPECT_EQ(text, "untouched");
  EXPECT_EQ(list.GetText(-1, text), LB_ERR);
  EXPECT_EQ(list.GetText(0, text), 9) << "UTF-8 bytes";
  EXPECT_EQ(text, "中文 ab");
  EXPECT_EQ(list.GetText(5), "");
}

TEST_F(ColorListBoxTest, Selection) {
  CColorListBox list;
  EXPECT_EQ(list.GetCurSel(), LB_ERR);
  EXPECT_EQ(list.SelectLast(), LB_ERR) << "an empty list has no last line";
  for (int i = 0; i < 4; ++i) list.AddString("line " + std::to_string(i));
  EXPECT_EQ(list.GetCurSel(), LB_ERR) << "adding selects nothing";
  EXPECT_EQ(list.SetCurSel(1), 1);
  EXPECT_EQ(list.GetCurSel(), 1);
  EXPECT_EQ(list.SetCurSel(4), LB_ERR);
  EXPECT_EQ(list.SetCurSel(-5), LB_ERR);
  EXPECT_EQ(list.GetCurSel(), 1) << "a bad index changes nothing";
  EXPECT_EQ(list.SelectLast(), 3);
  EXPECT_EQ(list.GetCurSel(), 3);
  EXPECT_EQ(list.selectedItems().size(), 1);
  EXPECT_EQ(list.SetCurSel(-1), LB_ERR);
  EXPECT_EQ(list.GetCurSel(), LB_ERR) << "-1 clears the selection";
}

TEST_F(ColorListBoxTest, LinesAreOneFontLineHigh) {
  CColorListBox list;
  list.setFont(ApplicationFont());
  MeasureItemRecord item;
  item.itemID = 0;
  list.MeasureItem(item);
  EXPECT_EQ(item.itemHeight, QFontMetrics(list.font()).height());
  EXPECT_GT(item.itemHeight, GetSystemMetrics(SM_CYMENUCHECK)) << "CJK glyphs need more than the check-mark metric";

  list.resize(200, 200);
  list.AddString("中文");
  list.AddString("second");
  list.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&list));
  EXPECT_EQ(list.visualItemRect(list.item(0)).height(), item.itemHeight);
  EXPECT_EQ(list.visualItemRect(list.item(1)).top(), item.itemHeight);
}

TEST_F(ColorListBoxTest, DrawItemWithoutALineDrawsNothing) {
  CColorListBox list;
  DrawItemRecord item;
  item.itemID = -1;
  item.itemAction = DrawItemRecord::kFocus;
  item.itemState = DrawItemRecord::kHasFocus;
  item.rcItem = CRect(0, 0, 120, 20);
  const QImage image = DrawLine(list, item, kGrey);
  EXPECT_EQ(CountColour(image, image.rect(), kGrey), image.width() * image.height());
}

TEST_F(ColorListBoxTest, DrawItemFillsOnlyWhenTheSelectionCalls) {
  CColorListBox list;
  list.AddString("红色 red", kRed);
  DrawItemRecord item;
  item.itemID = 0;
  item.itemData = kRed;
  item.rcItem = CRect(0, 0, 120, 20);
  // Unselected and drawn entire: the erased background stays, the text is red.
  QImage image = DrawLine(list, item, kGrey);
  EXPECT_EQ(FromQColor(image.pixelColor(119, 0)), kGrey);
  EXPECT_GT(CountColour(image, image.rect(), kRed), 0);
  // The selection left the line: the window colour fills it.
  item.itemAction = DrawItemRecord::kSelect;
  image = DrawLine(list, item, kGrey);
  EXPECT_EQ(FromQColor(image.pixelColor(119, 0)), GetSysColor(COLOR_WINDOW));
  // Selected: the line colour fills the whole rectangle.
  item.itemState = DrawItemRecord::kSelected;
  image = DrawLine(list, item, kGrey);
  EXPECT_EQ(CountColour(image, QRect(0, 0, 120, 1), kRed), 120);
  EXPECT_EQ(CountColour(image, image.rect(), kGrey), 0);
}

TEST_F(ColorListBoxTest, DrawItemFocusFrameInvertsAndASecondCallRemovesIt) {
  CColorListBox list;
  list.AddString("x");
  DrawItemRecord item;
  item.itemID = 0;
  item.itemAction = DrawItemRecord::kFocus;
  item.rcItem = CRect(0, 0, 60, 20);
  QImage image(60, 20, QImage::Format_RGB32);
  image.fill(ToQColor(kWhite));
  QPainter painter(&image);
  {
    CDC dc(painter);
    list.DrawItem(dc, item);
    EXPECT_EQ(FromQColor(image.pixelColor(0, 0)), RGB(0, 0, 0)) << "white inverted";
    EXPECT_EQ(FromQColor(image.pixelColor(1, 0)), kWhite) << "every other pixel";
    EXPECT_EQ(FromQColor(image.pixelColor(30, 10)), kWhite) << "only the border";
    list.DrawItem(dc, item);
    EXPECT_EQ(FromQColor(image.pixelColor(0, 0)), kWhite);
  }
  painter.end();
}

TEST_F(ColorListBoxTest, DrawItemDisabledAndTabStops) {
  CColorListBox list;
  list.setFont(ApplicationFont());
  list.AddString("a\tb", kBlue);
  DrawItemRecord item;
  item.itemID = 0;
  item.itemData = kBlue;
  item.itemState = DrawItemRecord::kDisabled;
  item.rcItem = CRect(0, 0, 200, 20);
  QImage image = DrawLine(list, item, kWhite, 200, 20);
  EXPECT_EQ(CountColour(image, image.rect(), kBlue), 0);
  EXPECT_GT(CountColour(image, image.rect(), GetSysColor(COLOR_GRAYTEXT)), 0);

  item.itemState = 0;
  const int plain = RightmostInk(DrawLine(list, item, kWhite, 200, 20), kWhite);
  list.SetUseTabStops(true);
  EXPECT_TRUE(list.UseTabStops());
  const int expanded = RightmostInk(DrawLine(list, item, kWhite, 200, 20), kWhite);
  ASSERT_GT(plain, 0);
  EXPECT_GT(expanded, plain) << "the tab moves b to the next tab stop";
}

TEST_F(ColorListBoxTest, PaintedLinesInTheWidget) {
  CColorListBox list;
  list.setFont(ApplicationFont());
  list.resize(220, 160);
  list.AddString("蓝色 selected", kBlue);
  list.AddString("plain line");
  list.AddString("white line", kWhite);
  list.SetCurSel(0);
  list.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&list));
  QCoreApplication::processEvents();

  QWidget* viewport = list.viewport();
  const QRect selected = list.visualItemRect(list.item(0));
  const QRect plain = list.visualItemRect(list.item(1));
  const QRect white = list.visualItemRect(list.item(2));
  const QImage image = GuiDriver::Grab(viewport);
  EXPECT_EQ(FromQColor(image.pixelColor(selected.left() + 1, selected.top() + 1)), kBlue);
  EXPECT_EQ(FromQColor(image.pixelColor(selected.right() - 1, selected.center().y())), kBlue);
  EXPECT_GT(CountColour(image, selected, RGB(255, 255, 0)), 0);
  EXPECT_EQ(FromQColor(image.pixelColor(plain.left() + 1, plain.top() + 1)), GetSysColor(COLOR_WINDOW))
      << "an unselected line shows the list background";
  EXPECT_GT(CountColour(image, plain, GetSysColor(COLOR_WINDOWTEXT)), 0);
  EXPECT_GT(CountColour(image, white, GetSysColor(COLOR_WINDOWTEXT)), 0) << "white on white is drawn in window text";

  // A disabled list greys the unselected lines.
  list.setEnabled(false);
  const QImage disabled = GuiDriver::Grab(viewport);
  EXPECT_EQ(CountColour(disabled, plain, GetSysColor(COLOR_WINDOWTEXT)), 0);
  EXPECT_GT(CountColour(disabled, plain, GetSysColor(COLOR_GRAYTEXT)), 0);
  EXPECT_GT(CountColour(disabled, selected, RGB(255, 255, 0)), 0) << "the selected line keeps the inverse";
}

TEST_F(ColorListBoxTest, SetItemColorShowsAtOnce) {
  CColorListBox list;
  list.setFont(ApplicationFont());
  list.resize(200, 100);
  list.AddString("这一行 changes");
  list.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&list));
  QCoreApplication::processEvents();
  const QRect line = list.visualItemRect(list.item(0));
  EXPECT_EQ(CountColour(GuiDriver::Grab(list.viewport()), line, kBlue), 0);
  ASSERT_EQ(list.SetItemColor(0, kBlue), 0);
  QCoreApplication::processEvents();
  EXPECT_GT(CountColour(GuiDriver::Grab(list.viewport()), line, kBlue), 0);
}

TEST_F(ColorListBoxTest, WorkerLinesLandInOrderWithTheirIndexes) {
  CColorListBox list;
  constexpr int kLines = 1000;
  std::vector<int> indexes;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    indexes.reserve(kLines);
    for (int i = 0; i < kLines; ++i) {
      indexes.push_back(i % 2 == 0 ? list.AddString("line " + std::to_string(i))
                                   : list.AddString("line " + std::to_string(i), RGB(0, 0, i % 256)));
    }
    indexes.push_back(list.GetCount());
    done = true;
  });
  const bool finished = GuiDriver::WaitUntil([&] { return done.load(); }, 60000);
  worker.join();
  ASSERT_TRUE(finished);
  ASSERT_EQ(indexes.size(), static_cast<size_t>(kLines + 1));
  for (int i = 0; i < kLines; ++i) {
    ASSERT_EQ(indexes[i], i);
    ASSERT_EQ(list.GetText(i), "line " + std::to_string(i));
    ASSERT_EQ(list.GetItemData(i), i % 2 == 0 ? 0u : RGB(0, 0, i % 256));
  }
  EXPECT_EQ(indexes[kLines], kLines) << "GetCount from the worker";
}

TEST_F(ColorListBoxTest, WorkerLinesReachTheWidgetInABatch) {
  CColorListBox list;
  list.setFont(ApplicationFont());
  list.resize(240, 80);  // room for about four lines
  list.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&list));
  std::atomic<bool> done{false};
  int selected = 0;
  std::thread worker([&] {
    for (int i = 0; i < 30; ++i) list.AddString("蓝色 " + std::to_string(i), kBlue);
    selected = list.SelectLast();
    done = true;
  });
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return done.load(); }, 20000));
  worker.join();
  EXPECT_EQ(selected, 29);
  // The list calls see every line at once; the widget gets them with the batch.
  EXPECT_EQ(list.GetCount(), 30);
  EXPECT_EQ(list.GetCurSel(), 29);
  EXPECT_EQ(list.GetText(29), "蓝色 29");
  // The selection is held for the next batch: when the lines went in before it, it
  // follows them one batch later.
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return list.count() == 30 && list.currentRow() == 29; }, 2000))
      << "the worker's lines and selection reached the widget";
  QCoreApplication::processEvents();
  const QRect last = list.visualItemRect(list.item(29));
  ASSERT_TRUE(list.viewport()->rect().contains(last)) << "scrolled to the last line";
  const QImage image = GuiDriver::Grab(list.viewport());
  EXPECT_EQ(FromQColor(image.pixelColor(last.left() + 1, last.top() + 1)), kBlue) << "selected: its colour as the field";
}

TEST_F(ColorListBoxTest, AUiCallPutsHeldLinesInFirst) {
  CColorListBox list;
  std::promise<void> added;
  std::thread worker([&] {
    list.AddString("worker 0");
    list.AddString("worker 1", kRed);
    list.SetItemColor(1, kBlue);  // still held
    added.set_value();
  });
  std::future<void> f = added.get_future();
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
  worker.join();
  EXPECT_EQ(list.AddString("ui"), 2) << "after the worker's lines";
  EXPECT_EQ(list.count(), 3) << "a UI-thread call hands the held lines over at once";
  EXPECT_EQ(list.GetText(0), "worker 0");
  EXPECT_EQ(list.item(1)->text(), "worker 1");
  EXPECT_EQ(list.GetItemData(1), kBlue);
  EXPECT_EQ(list.GetText(2), "ui");
}

TEST_F(ColorListBoxTest, WorkerCallsOfEveryKindRunOnTheUiThread) {
  CColorListBox list;
  list.AddString("a");
  list.AddString("b");
  std::promise<void> finished;
  struct Results {
    int select = 0, current = 0, last = 0, colour = 0, text = 0, reset = 0, count = -2;
    CString line;
    DWORD data = 0;
  } r;
  std::thread worker([&] {
    r.select = list.SetCurSel(0);
    r.current = list.GetCurSel();
    r.colour = list.SetItemColor(1, kRed);
    r.data = list.GetItemData(1);
    r.text = list.GetText(1, r.line);
    r.last = list.SelectLast();
    r.reset = list.ResetContent();
    r.count = list.GetCount();
    finished.set_value();
  });
  std::future<void> f = finished.get_future();
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
  worker.join();
  EXPECT_EQ(r.select, 0);
  EXPECT_EQ(r.current, 0);
  EXPECT_EQ(r.colour, 0);
  EXPECT_EQ(r.data, kRed);
  EXPECT_EQ(r.text, 1);
  EXPECT_EQ(r.line, "b");
  EXPECT_EQ(r.last, 1);
  EXPECT_EQ(r.reset, 0);
  EXPECT_EQ(r.count, 0);
}

TEST_F(ColorListBoxTest, WorkerCallsFailAfterShutdownBegan) {
  CColorListBox list;
  list.AddString("before");
  PageRegistry::Instance().BeginShutdown();
  auto call = std::async(std::launch::async, [&] {
    return std::vector<int>{list.AddString("late", kRed), list.InsertString(0, "late"), list.GetCount(),
                            list.SetCurSel(0), list.ResetContent()};
  });
  ASSERT_EQ(call.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "the worker is not blocked";
  for (int result : call.get()) EXPECT_EQ(result, LB_ERR);
  QCoreApplication::processEvents();
  EXPECT_EQ(list.count(), 1) << "nothing touched";
  EXPECT_EQ(list.GetItemData(0), 0u);
  EXPECT_EQ(list.GetCurSel(), LB_ERR);
  // The UI thread itself still works on its list.
  EXPECT_EQ(list.AddString("from the UI thread"), 1);
}

TEST_F(ColorListBoxTest, AWaitingWorkerIsReleasedByShutdown) {
  CColorListBox list;
  // The UI thread does not run events, so the worker's call stays queued.
  auto call = std::async(std::launch::async, [&] { return list.AddString("queued", kRed); });
  EXPECT_EQ(call.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  PageRegistry::Instance().BeginShutdown();
  ASSERT_EQ(call.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(call.get(), LB_ERR);
  QCoreApplication::processEvents();
  EXPECT_EQ(list.count(), 0) << "the dropped call never ran";
}

TEST_F(ColorListBoxTest, WithoutADispatcherOnlyTheApplicationThreadMayCall) {
  PageRegistry::Instance().Restart(nullptr);
  CColorListBox list;
  EXPECT_EQ(list.AddString("ui"), 0);
  auto call = std::async(std::launch::async, [&] { return list.AddString("worker"); });
  ASSERT_EQ(call.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(call.get(), LB_ERR);
  EXPECT_EQ(list.count(), 1);
}

// The longest results a page shows, with colours and roles of their own, then one
// layout and paint: the lines read back as added (the time is a bench figure).
TEST_F(ColorListBoxTest, HundredsOfThousandsOfLines) {
  constexpr int kLines = 366000;
  CColorListBox list;
  list.resize(300, 200);
  list.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&list));
  for (int i = 0; i < kLines; ++i) {
    const int index = list.AddString("line " + std::to_string(i), i % 3 == 0 ? 0 : (i % 3 == 1 ? kRed : kBlue));
    if (i % 1000 == 1) list.item(index)->setData(Qt::UserRole + 4, QString::number(i + 4));
  }
  list.SelectLast();
  QCoreApplication::processEvents();
  ASSERT_EQ(list.GetCount(), kLines);
  EXPECT_EQ(list.GetText(kLines - 1), "line 365999");
  EXPECT_EQ(list.GetItemData(200000), kBlue);
  EXPECT_EQ(list.item(300001)->data(Qt::UserRole + 4).toString(), "300005");
  EXPECT_EQ(list.GetCurSel(), kLines - 1);
}

// Roles held as places in the line's text keep their values when the text changes,
// and come back from Lines() as they were given, beside roles that are no part of it.
TEST_F(ColorListBoxTest, RolesInTheTextKeepTheirValuesWhenTheTextChanges) {
  CColorListBox list;
  list.AddLines({{QStringLiteral("01 浦发银行 600000"), kRed,
                  {{Qt::UserRole + 1, QStringLiteral("浦发银行")}, {Qt::UserRole + 2, QStringLiteral("600000")},
                   {Qt::UserRole + 3, QStringLiteral("温州系")}, {Qt::UserRole + 4, QString()}, {Qt::UserRole + 5, 7}}}});
  list.item(0)->setData(Qt::DisplayRole, QStringLiteral("x"));
  list.item(0)->setData(Qt::UserRole + 2, QStringLiteral("x"));
  const std::vector<ColorListBoxEntry> lines = list.Lines(1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, QStringLiteral("x"));
  EXPECT_EQ(list.item(0)->data(Qt::UserRole + 1).toString(), QStringLiteral("浦发银行"));
  EXPECT_EQ(list.item(0)->data(Qt::UserRole + 2).toString(), QStringLiteral("x"));
  EXPECT_EQ(list.item(0)->data(Qt::UserRole + 3).toString(), QStringLiteral("温州系"));
  EXPECT_EQ(list.item(0)->data(Qt::UserRole + 4).toString(), QString());
  EXPECT_EQ(list.item(0)->data(Qt::UserRole + 5), QVariant(7));
  EXPECT_EQ(lines[0].roles.size(), 5u);
}

// Lines added together share one block of UTF-8 texts: each reads back exactly, a text
// UTF-8 cannot hold (a lone surrogate) and an empty one too, with a fifth role in the
// text beside four others; after ResetContent the next lines are new.
TEST_F(ColorListBoxTest, LinesAddedTogetherReadBackExactly) {
  CColorListBox list;
  const QString lone = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("乙");
  const QStringList parts = {QStringLiteral("甲"), QStringLiteral("b"), QStringLiteral("乙"), QStringLiteral("c"),
                             QStringLiteral("丙")};
  std::vector<std::pair<int, QVariant>> five;
  for (int i = 0; i < 5; ++i) five.emplace_back(Qt::UserRole + 1 + i, parts[i]);
  for (int round = 0; round < 2; ++round) {
    list.ResetContent();
    list.AddLines({{QStringLiteral("第一行"), kRed, {}},
                   {lone, 0, {{Qt::UserRole + 1, QStringLiteral("乙")}}},
                   {QString(), 0, {}},
                   {parts.join(QLatin1Char(' ')), 0, five}});
    ASSERT_EQ(list.count(), 4);
    EXPECT_EQ(list.item(0)->text(), QStringLiteral("第一行"));
    EXPECT_EQ(list.item(1)->text(), lone);
    EXPECT_EQ(list.item(1)->data(Qt::UserRole + 1).toString(), QStringLiteral("乙"));
    EXPECT_EQ(list.item(2)->text(), QString());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(list.item(3)->data(Qt::UserRole + 1 + i).toString(), parts[i]);
    EXPECT_EQ(list.Lines(4)[3].roles.size(), 5u);
  }
  // A batch made from UTF-8 reads back as the same texts through QString would: an
  // invalid byte as U+FFFD, a role not in the text and a fifth role beside the text.
  const std::string bad = "x\xff中", text = "甲 b 乙 c 丙 " + bad;
  ColorListBoxBatch batch;
  batch.Add(text, kRed, {{1, "甲"}, {2, "b"}, {3, bad}, {4, "不在"}, {5, "丙"}, {6, ""}});
  list.AddLines(std::move(batch));
  list.AddLines({{QString::fromUtf8(text), kRed,
                  {{1, QStringLiteral("甲")}, {2, QStringLiteral("b")}, {3, QString::fromUtf8(bad)},
                   {4, QStringLiteral("不在")}, {5, QStringLiteral("丙")}, {6, QString()}}}});
  const std::vector<ColorListBoxEntry> both = list.Lines(6);
  EXPECT_EQ(both[4].text, both[5].text);
  EXPECT_EQ(both[4].text, QString::fromUtf8(text));
  EXPECT_EQ(both[4].roles, both[5].roles);
  // What the merge takes of a long list: one role of each line as UTF-8, "" for none.
  EXPECT_EQ(list.RoleTexts(9, 4), (std::vector<std::string>{"", "", "", "", "不在", "不在"}));
  EXPECT_EQ(list.RoleTexts(9, 3).back(), "x\xEF\xBF\xBD中");
  EXPECT_EQ(list.RoleTexts(2, Qt::UserRole + 1), (std::vector<std::string>{"", "乙"}));
}

// Random steps on the list and on a list widget filled as the control once filled
// itself: the same lines, texts, colours and roles read back.
TEST_F(ColorListBoxTest, SameLinesAsAListWidget) {
  CColorListBox list;
  QListWidget old;
  std::mt19937 random(20240515);
  const COLORREF colours[] = {0, kRed, kBlue, kGrey};
  for (int step = 0; step < 4000; ++step) {
    const int lines = list.GetCount();
    const int index = static_cast<int>(random() % static_cast<unsigned>(lines + 3)) - 1;
    const COLORREF colour = colours[random() % 4];
    const QString text = step % 13 == 0 ? QString() : QStringLiteral("第%1行 机构专用").arg(random() % 1000);
    const unsigned kind = random() % 3;
    if (kind == 0 && list.InsertString(index, FromQString(text), colour) != LB_ERR) {
      old.insertItem(index == -1 ? old.count() : index, text);
      old.item(index == -1 ? old.count() - 1 : index)->setData(Qt::UserRole, static_cast<uint>(colour));
    } else if (kind == 1 && list.SetItemColor(index, colour) != LB_ERR) {
      old.item(index)->setData(Qt::UserRole, static_cast<uint>(colour));
    } else if (kind == 2 && index >= 0 && index < lines) {
      list.item(index)->setData(Qt::UserRole + 2, text);
      old.item(index)->setData(Qt::UserRole + 2, text);
    }
  }
  ASSERT_EQ(list.count(), old.count());
  for (int i = 0; i < old.count(); ++i) {
    ASSERT_EQ(list.GetText(i), FromQString(old.item(i)->text())) << i;
    EXPECT_EQ(list.GetItemData(i), old.item(i)->data(Qt::UserRole).toUInt()) << i;
    EXPECT_EQ(list.item(i)->data(Qt::UserRole + 2), old.item(i)->data(Qt::UserRole + 2)) << i;
  }
  EXPECT_FALSE(list.item(old.count()));
}

TEST_F(ColorListBoxTest, ALineWiderThanTheListScrollsSidewaysToItsEndWhichACutLineMarks) {
  CColorListBox list;
  list.resize(120, 100);
  list.AddString("1234567890123456789");  // more characters, fewer columns
  list.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&list));
  list.AddString("温州系 股票108 600109 -4276");  // added to the laid-out list
  QCoreApplication::processEvents();
  QScrollBar* bar = list.horizontalScrollBar();
  EXPECT_EQ(bar->maximum() + list.viewport()->width(),
            list.fontMetrics().horizontalAdvance(QStringLiteral("温州系 股票108 600109 -4276")));
  // Cut at the list's edge, a line ends there in "…".
  const QRect cut = list.visualItemRect(list.item(1));
  QImage mark(list.fontMetrics().horizontalAdvance(QStringLiteral("…")) + 2, cut.height(), QImage::Format_RGB32);
  mark.fill(Qt::white);
  QPainter(&mark).drawText(mark.rect(), Qt::AlignCenter, QStringLiteral("…"));
  const QRect box(QPoint(list.viewport()->width() - mark.width(), cut.top()), mark.size());
  EXPECT_EQ(GuiDriver::Grab(list.viewport()).copy(box).convertToFormat(QImage::Format_RGB32), mark);

  // The character the mark's field would cut in half is covered too: between the last
  // whole character and the mark, only the line's field.
  CColorListBox wide;
  wide.AddString("８８８８８８８８８８８８８８８８");
  const int advance = wide.fontMetrics().horizontalAdvance(QStringLiteral("８"));
  wide.resize(4 * advance + mark.width() + advance / 2 + (wide.width() - wide.viewport()->width()), 60);
  wide.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&wide));
  const int whole = (wide.viewport()->width() - mark.width()) / advance * advance;
  const QImage strip = GuiDriver::Grab(wide.viewport())
                           .copy(QRect(whole, wide.visualItemRect(wide.item(0)).top(),
                                       wide.viewport()->width() - mark.width() - whole, cut.height()))
                           .convertToFormat(QImage::Format_RGB32);
  ASSERT_GT(strip.width(), 0);
  for (int y = 0; y < strip.height(); ++y) {
    for (int x = 0; x < strip.width(); ++x) ASSERT_EQ(strip.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
  }

  GuiDriver::PressKey(&list, Qt::Key_End);
  EXPECT_EQ(bar->value(), bar->maximum());
  GuiDriver::PressKey(&list, Qt::Key_Left);
  EXPECT_LT(bar->value(), bar->maximum());
  GuiDriver::PressKey(&list, Qt::Key_Home);
  EXPECT_EQ(bar->value(), 0);
  const QPointF at = list.viewport()->rect().center();
  QWheelEvent wheel(at, at, {}, {0, -120}, {}, Qt::ShiftModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(list.viewport(), &wheel);
  EXPECT_GT(bar->value(), 0) << "Shift turns the wheel sideways";
}
