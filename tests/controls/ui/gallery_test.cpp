// Every control of the program on one page, painted offscreen and saved as a picture
// (gallery.png in the test's folder), so a person can look at how they render; the
// test itself checks that the Chinese texts have real glyphs and the controls ink.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTextLayout>
#include <gtest/gtest.h>

#include "../../support/gui_driver.h"
#include "../../support/paint_probe.h"
#include "controls/ui/bitmap_button_ex.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/color_picker_button.h"
#include "controls/ui/edit_ex.h"
#include "controls/ui/page_tab_ctrl.h"
#include "controls/ui/tip_wnd.h"
#include "controls/ui/xp_group_box.h"
#include "platform/gdi_types.h"
#include "platform/ui/page.h"

using paint_probe::HasEveryGlyph;

namespace {

int DistinctColours(const QImage& image, const QRect& area) {
  QSet<QRgb> seen;
  for (int y = area.top(); y <= area.bottom(); y += 2) {
    for (int x = area.left(); x <= area.right(); x += 2) seen.insert(image.pixel(x, y));
  }
  return seen.size();
}

QImage SolidIcon(QColor colour) {
  QImage icon(16, 16, QImage::Format_ARGB32);
  icon.fill(colour);
  return icon;
}

}  // namespace

TEST(Gallery, EveryControlRendersWithRealGlyphs) {
  CPage page;
  page.resize(900, 560);
  page.setAutoFillBackground(true);

  auto* group = new CXPGroupBox(&page);
  group->Create("数据下载", CRect(10, 10, 300, 250), &page, 1111);
  group->SetCaptionTextColor(RGB(255, 0, 0)).SetFontBold(true);

  auto* list = new CColorListBox(&page);
  list->setGeometry(20, 40, 270, 200);
  list->AddString("  今日数据已经自动下载!! ", RGB(0, 0, 255));
  list->AddString("2017-02-06 第一创业 买入 1234.56万", RGB(255, 0, 0));
  list->AddString("开始下载: 2017-02-06", RGB(0, 0, 120));
  list->AddString("没有颜色的一行");
  list->SetCurSel(1);

  auto* table = new CColorListCtrl(&page);
  table->setGeometry(310, 10, 580, 250);
  const char* headings[] = {"序号", "股票名称", "代码", "净买入(万)", "营业部"};
  for (int c = 0; c < 5; ++c) table->InsertColumn(c, headings[c]);
  const char* names[] = {"浦发银行", "中国平安", "贵州茅台", "宁德时代"};
  for (int r = 0; r < 4; ++r) {
    table->InsertItem(r, std::to_string(r + 1));
    table->SetItemText(r, 1, names[r]);
    table->SetItemText(r, 2, std::to_string(600000 + r * 18));
    table->SetItemText(r, 3, std::to_string(1234 * (r + 1)) + ".56");
    table->SetItemText(r, 4, "中信证券股份有限公司上海溧阳路证券营业部");
  }
  table->SetRowStripes(true, RGB(255, 255, 240), RGB(240, 248, 255));
  table->SetCellColor(RGB(255, 0, 0), 1, 3);
  table->SetCellColor(RGB(0, 160, 0), 2, 3);
  table->SetAutoTextColor(true);

  auto* edit = new CEditEx(&page);
  edit->setGeometry(20, 270, 270, 24);
  edit->setText(QStringLiteral("中信证券 机构专用 ABC123"));
  edit->SetTextColor(RGB(0, 0, 255));
  edit->SetBkColor(RGB(255, 255, 225));

  auto* button = new CBitmapButtonEx(QStringLiteral("开始下载"), &page);
  button->setGeometry(20, 310, 120, 32);
  button->SetIcon(SolidIcon(Qt::darkGreen));
  auto* flat = new CBitmapButtonEx(QStringLiteral("平面按钮"), &page);
  flat->setGeometry(150, 310, 120, 32);
  flat->SetFlat(true);

  auto* picker = new CColorPickerButton(&page);
  picker->setGeometry(20, 360, 60, 24);
  picker->SetColor(RGB(200, 0, 0));

  auto* tabs = new CPageTabCtrl(&page);
  tabs->setGeometry(310, 280, 580, 260);
  CPage first, second;
  tabs->AddPage("买卖排行榜", &first, 206);
  tabs->AddPage("游资持续买入", &second, 236);
  tabs->Show();

  CPage::SetDlgCtrlID(button, 1007);
  CTipWnd tip;
  tip.SetParentWnd(&page);
  tip.AddTool(1007, {"开始下载所选日期的数据", "下载结束后自动统计", "Enter 不会关闭页面"}, RGB(255, 255, 225),
              RGB(255, 0, 192));

  page.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&page));
  tip.Show(1007);
  QApplication::processEvents();

  const QImage shot = GuiDriver::Grab(&page);
  const QString path = QDir::current().absoluteFilePath("gallery.png");
  EXPECT_TRUE(shot.save(path)) << path.toStdString();

  for (const QString& text : {QStringLiteral("今日数据已经自动下载!!"), QStringLiteral("中信证券股份有限公司上海溧阳路证券营业部"),
                              QStringLiteral("净买入(万)"), QStringLiteral("游资持续买入"), QStringLiteral("开始下载所选日期的数据")}) {
    EXPECT_TRUE(HasEveryGlyph(text, page.font())) << text.toStdString() << ": is fonts-noto-cjk installed?";
  }
  for (QWidget* w : std::initializer_list<QWidget*>{list, table, edit, button, picker, tabs}) {
    const QRect area(w->mapTo(&page, QPoint(0, 0)), w->size());
    EXPECT_GE(DistinctColours(shot, area.intersected(shot.rect())), 3) << w->metaObject()->className();
  }
  EXPECT_TRUE(tip.IsTipShown());
}
