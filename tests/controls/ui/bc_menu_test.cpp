#include "controls/ui/bc_menu.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QFile>
#include <QImage>
#include <QPainter>

#include "controls/menu_rules.h"
#include "controls/ui/bitmap_button_ex.h"
#include "controls/ui/image_toolbar.h"
#include "platform/ui/dc.h"
#include "platform/ui/qt_convert.h"

namespace {

class PaletteDC : public CDC {
 public:
  using CDC::CDC;
  int GetDeviceCaps(int index) const override { return index == RASTERCAPS ? RC_PALETTE : CDC::GetDeviceCaps(index); }
};

COLORREF Px(const QImage& image, int x, int y) { return FromQColor(image.pixelColor(x, y)); }

// Draws one item of the menu into a 120 x 22 image.
QImage Draw(BCMenu& menu, int position, UINT state, bool palette = false) {
  QImage image(120, 22, QImage::Format_ARGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  std::unique_ptr<CDC> dc = palette ? std::make_unique<PaletteDC>(painter) : std::make_unique<CDC>(painter);
  DRAWITEMSTRUCT dis;
  dis.itemID = menu.GetMenuItemID(position);
  dis.itemState = state;
  dis.hwndItem = menu.m_hMenu;
  dis.hDC = dc.get();
  dis.rcItem = CRect(0, 0, 120, 22);
  dis.itemData = menu.GetItemData(static_cast<UINT>(position), MF_BYPOSITION);
  menu.DrawItem(&dis);
  return image;
}

}  // namespace

TEST(BCMenu, RegistryFollowsSubMenus) {
  const int before = static_cast<int>(BCMenu::s_arrAllMenuHandles.size());
  HMENU subHandle = nullptr;
  {
    BCMenu menu;
    menu.CreatePopupMenu();
    EXPECT_FALSE(BCMenu::IsBCMenu(menu.m_hMenu));
    BCMenu* sub = menu.AppendODPopupMenu("&Sub");
    ASSERT_NE(sub, nullptr);
    subHandle = sub->m_hMenu;
    EXPECT_TRUE(BCMenu::IsBCMenu(subHandle));
    EXPECT_EQ(menu.GetSubBCMenu("&Sub"), sub);
    sub->AppendODMenu("Inner", MF_OWNERDRAW, 55);
    EXPECT_EQ(menu.FindMenuOfCommand(55), sub);
    menu.DestroyMenu();
    EXPECT_FALSE(BCMenu::IsBCMenu(subHandle));
  }
  EXPECT_FALSE(IsMenu(subHandle));
  EXPECT_EQ(static_cast<int>(BCMenu::s_arrAllMenuHandles.size()), before);
}

TEST(BCMenu, MenuCharSearchAndRealign) {
  BCMenu menu;
  menu.AppendODMenu("Open", MF_OWNERDRAW, 1);
  menu.AppendODMenu("E&xit", MF_OWNERDRAW, 2);
  EXPECT_EQ(BCMenu::FindMenuCharItem('X', 0, &menu), 0);
  EXPECT_EQ(BCMenu::FindMenuCharItem('X', MF_POPUP, &menu), MAKELRESULT(1, MNC_EXECUTE));
  EXPECT_EQ(BCMenu::FindMenuCharItem('q', MF_POPUP, &menu), 0);
  EXPECT_EQ(BCMenu::FindMenuCharItem('x', MF_POPUP, nullptr), 0);
  // A plain item put in behind the menu's back gets a record before the search.
  menu.CMenu::InsertMenu(0, MF_BYPOSITION | MF_STRING, 3, "&Zoom");
  EXPECT_EQ(BCMenu::FindMenuCharItem('z', MF_POPUP, &menu), MAKELRESULT(0, MNC_EXECUTE));
  ASSERT_EQ(menu.Records().size(), 3u);
  EXPECT_EQ(menu.Records()[2]->m_pszText, "E&xit");
  EXPECT_NE(menu.GetMenuState(0, MF_BYPOSITION) & MF_OWNERDRAW, 0u);
}

TEST(BCMenu, MeasuresInBothStyles) {
  BCMenu menu;
  menu.AppendODMenu(nullptr, MF_SEPARATOR | MF_OWNERDRAW, 0);
  MEASUREITEMSTRUCT mis;
  mis.itemData = menu.GetItemData(0, MF_BYPOSITION);
  BCMenu::SetDrawStyle(1);
  menu.MeasureItem(&mis);
  EXPECT_EQ(mis.itemWidth, 0u);
  EXPECT_EQ(mis.itemHeight, 11u);
  BCMenu::SetDrawStyle(0);
  menu.MeasureItem(&mis);
  EXPECT_EQ(mis.itemHeight, 9u);
}

TEST(BCMenu, StyleChoiceGrayedAndCheckImageZero) {
  BCMenu menu;
  menu.AppendODMenu("Item\tCtrl+I", MF_OWNERDRAW, 1);
  menu.AppendODMenu("Checked", MF_OWNERDRAW, 2);
  // XP style, selected: highlight fill and frame.
  BCMenu::SetDrawStyle(1);
  QImage xp = Draw(menu, 0, ODS_SELECTED);
  EXPECT_EQ(Px(xp, 0, 0), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(Px(xp, 60, 2), BCMenu::LightenColor(GetSysColor(COLOR_HIGHLIGHT), 0.85));
  // A palette device: the standard style whatever the mode.
  QImage standard = Draw(menu, 0, ODS_SELECTED, true);
  EXPECT_EQ(Px(standard, 60, 2), GetSysColor(COLOR_HIGHLIGHT));
  // XP: a grayed item is never highlighted.
  QImage grayed = Draw(menu, 0, ODS_SELECTED | ODS_GRAYED);
  EXPECT_EQ(Px(grayed, 60, 2), GetSysColor(COLOR_WINDOW));
  // A checked item without image: the tick inside the 16 x 16 box.
  QImage tick = Draw(menu, 1, ODS_CHECKED);
  const int bandWidth = 16 + 7;
  const int bx = (bandWidth - 16 + 1) / 2;
  const int by = (22 - 16 + 1) / 2;
  EXPECT_EQ(Px(tick, bx, by), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(Px(tick, bx + 5, by + 4 + 2), GetSysColor(COLOR_MENUTEXT));
  EXPECT_EQ(Px(tick, bx + 5 + 6, by + 4 + 0), GetSysColor(COLOR_MENUTEXT));
  EXPECT_NE(Px(tick, bx + 5, by + 4 + 5), GetSysColor(COLOR_MENUTEXT));
  // Check image 0 is used when set.
  menu.SetCheckImages(PixelImage(16, 15, OpaquePixel(RGB(0, 255, 0))), PixelImage(16, 15, OpaquePixel(RGB(0, 0, 255))));
  QImage checkImage = Draw(menu, 1, ODS_CHECKED);
  const int dx = (bandWidth - 16 + 1) / 2;
  const int dy = (22 - 15 + 1) / 2;
  EXPECT_EQ(Px(checkImage, dx + 3, dy + 3), RGB(0, 255, 0));
  BCMenu::SetDrawStyle(0);
}

TEST(BCMenu, GrayedImageShowsOnlyTheEmboss) {
  BCMenu menu;
  CImageList list;
  list.Create(16, 15, ILC_MASK, 1, 0);
  list.Add(PixelImage(16, 15, OpaquePixel(RGB(255, 0, 0))));
  menu.AppendODMenu("Img", MF_OWNERDRAW, 1, &list, 0);
  BCMenu::SetDrawStyle(0);
  QImage image = Draw(menu, 0, ODS_GRAYED);
  for (int y = 0; y < 22; ++y) {
    for (int x = 0; x < 30; ++x) ASSERT_NE(Px(image, x, y), RGB(255, 0, 0)) << x << "," << y;
  }
  EXPECT_EQ(Px(image, 2 + 5, 3 + 2 + 5), GetSysColor(COLOR_BTNSHADOW));
  QImage plain = Draw(menu, 0, 0);
  EXPECT_EQ(Px(plain, 2 + 5, 3 + 2 + 5), RGB(255, 0, 0));
}

TEST(BCMenu, LoadMenuAndToolbarImages) {
  QImage strip(32, 15, QImage::Format_RGB32);
  strip.fill(QColor(0, 0, 200));
  const QString path = QDir::temp().filePath("velkor_bc_strip.png");
  ASSERT_TRUE(strip.save(path));
  RegisterButtonImage(7001, path);
  RegisterToolBarResource(7002, {7001, 16, 15, {301, 0, 302}});
  RegisterMenuResource(7003, {{MF_POPUP, 0, "&File", {{MF_STRING, 301, "Open", {}}, {MF_STRING, 302, "Save", {}}, {MF_STRING, 303, "Quit", {}}}}});
  BCMenu menu;
  EXPECT_FALSE(menu.LoadMenu(7999u));
  ASSERT_TRUE(menu.LoadMenu(7003u));
  EXPECT_TRUE(menu.m_bLoadedFromResource);
  MENUITEMINFO type;
  type.fMask = MIIM_FTYPE | MIIM_DATA;
  ASSERT_TRUE(menu.GetMenuItemInfo(0, &type, TRUE));
  EXPECT_EQ(type.fType, MF_POPUP);  // the bar is plain
  EXPECT_EQ(type.dwItemData, 0u);
  EXPECT_TRUE(BCMenu::IsBCMenu(menu.GetSubMenu(0)));
  ASSERT_TRUE(menu.LoadToolbar(7002));
  EXPECT_EQ(menu.FindRecordOfCommand(301)->m_nImage, 0);
  EXPECT_EQ(menu.FindRecordOfCommand(302)->m_nImage, 0);
  EXPECT_EQ(menu.FindRecordOfCommand(303)->m_nImage, -1);
  EXPECT_FALSE(menu.LoadToolbar(7999));

  CImageToolBar2 bar;
  int w = -1, h = -1;
  EXPECT_FALSE(bar.LoadToolBar(7999));
  bar.GetButtonSize(w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  ASSERT_TRUE(bar.LoadToolBar(7002));
  bar.GetButtonSize(w, h);
  EXPECT_EQ(w, 16);
  EXPECT_EQ(h, 15);
  EXPECT_EQ(bar.GetImageList(TB_GETIMAGELIST)->GetImageCount(), 2);
  RegisterToolBarResource(7004, {7001, 16, 15, {1, 2, 3}});  // three buttons, two images
  EXPECT_FALSE(bar.LoadToolBar(7004));
  EXPECT_EQ(bar.GetImageList(TB_GETIMAGELIST), nullptr);
  ClearButtonResources();
  QFile::remove(path);
}

TEST(BCMenu, ButtonRoutesOnlyRegisteredMenus) {
  CBitmapButtonEx button;
  CMenu plain;
  plain.CreatePopupMenu();
  plain.AppendMenu(MF_STRING, 1, "&x");
  EXPECT_EQ(button.OnMenuChar('x', MF_POPUP, &plain), 0);
  MEASUREITEMSTRUCT mis;
  mis.itemID = MenuHandleValue(plain.m_hMenu);
  button.OnMeasureItem(0, &mis);
  EXPECT_EQ(mis.itemHeight, 0u);
  BCMenu* sub = button.m_menuBC.AppendODPopupMenu("P");
  sub->AppendODMenu("&Yes", MF_OWNERDRAW, 9);
  EXPECT_EQ(button.OnMenuChar('y', MF_POPUP, sub), MAKELRESULT(0, MNC_EXECUTE));
  mis.itemID = MenuHandleValue(sub->m_hMenu);
  mis.itemData = button.m_menuBC.GetItemData(0, MF_BYPOSITION);
  button.OnMeasureItem(0, &mis);
  EXPECT_EQ(mis.itemHeight, 19u);
}

TEST(BCMenu, LoadMenuLinesUpTheAccelerators) {
  RegisterMenuResource(7010, {{MF_POPUP, 0, "&Edit",
                               {{MF_STRING, 401, "Cut\tCtrl+X", {}}, {MF_STRING, 402, "Select everything\tCtrl+A", {}},
                                {MF_STRING, 403, "Plain", {}}}}});
  BCMenu menu;
  ASSERT_TRUE(menu.LoadMenu(7010u));
  const QFontMetrics metrics(QApplication::font("QMenu"));
  auto labelWidth = [&](UINT id) {
    const std::string text = menu.FindRecordOfCommand(id)->m_pszText;
    return metrics.horizontalAdvance(QString::fromStdString(text.substr(0, text.find('\t'))));
  };
  const std::string cut = menu.FindRecordOfCommand(401)->m_pszText;
  EXPECT_TRUE(cut.starts_with("Cut ")) << cut;
  EXPECT_TRUE(cut.ends_with("\tCtrl+X")) << cut;
  EXPECT_GE(labelWidth(401), labelWidth(402));
  EXPECT_LT(labelWidth(401) - metrics.horizontalAdvance(QStringLiteral(" ")), labelWidth(402));
  EXPECT_EQ(menu.FindRecordOfCommand(402)->m_pszText, "Select everything\tCtrl+A");
  EXPECT_EQ(menu.FindRecordOfCommand(403)->m_pszText, "Plain");  // no tab, no padding
  ClearButtonResources();
}

TEST(BCMenu, AColourSwatchItemCarriesItsDrawnBitmap) {
  BCMenu menu;
  ASSERT_TRUE(menu.CreatePopupMenu());
  ASSERT_TRUE(menu.AppendColorSwatch("红色", 501, RGB(0, 0, 0), RGB(255, 0, 0)));
  ASSERT_TRUE(menu.AppendColorSwatch("网格", 502, RGB(0, 0, 255), RGB(0, 128, 0), HS_CROSS));
  const BCMenuItemRecord* plain = menu.FindRecordOfCommand(501);
  ASSERT_NE(plain, nullptr);
  ASSERT_EQ(plain->m_nImage, 0);
  const PixelImage* image = plain->m_pImageList->Image(0);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, menu.m_nBitmapWidth);
  EXPECT_EQ(PixelColour(image->At(0, 0)), GetSysColor(COLOR_MENU));
  EXPECT_EQ(PixelColour(image->At(2, 2)), RGB(0, 0, 0));                      // the outline
  EXPECT_EQ(PixelColour(image->At(image->width / 2, image->height / 2)), RGB(255, 0, 0));
  const PixelImage* hatched = menu.FindRecordOfCommand(502)->m_pImageList->Image(0);
  ASSERT_NE(hatched, nullptr);
  EXPECT_EQ(PixelColour(hatched->At(2, 2)), RGB(0, 0, 255));
  EXPECT_EQ(PixelColour(hatched->At(2 + 4, 2 + 1)), RGB(0, 128, 0));          // on a hatch line
  EXPECT_EQ(PixelColour(hatched->At(2 + 1, 2 + 1)), GetSysColor(COLOR_MENU));  // between the lines
}
