#include "controls/ui/menu_ex.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>

#include "controls/ui/bitmap_button_ex.h"
#include "controls/ui/image_toolbar.h"
#include "platform/ui/dc.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/track_popup_menu.h"

namespace {

int Width(const CString& text) {
  QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&device);
  CDC dc(painter);
  return dc.GetTextExtent(text).cx;
}

CSize Measure(const CMenuExItem* record) {
  MEASUREITEMSTRUCT mis;
  mis.itemData = reinterpret_cast<ULONG_PTR>(record);
  CMenuEx::OnMeasureItem(&mis);
  return {static_cast<int>(mis.itemWidth), static_cast<int>(mis.itemHeight)};
}

constexpr UINT kTemplate = 9001;

void RegisterFiveItems() {
  RegisterMenuResource(kTemplate, {{MF_STRING, 101, "Open", {}},
                                   {MF_SEPARATOR, 0, "", {}},
                                   {MF_POPUP, 0, "More", {{MF_STRING, 201, "Inner", {}}}},
                                   {MF_GRAYED, 103, "Grayed", {}},
                                   {MF_CHECKED, 104, "Checked", {}}});
}

class Owner : public IMenuOwner {
 public:
  void OnMeasureItem(int, LPMEASUREITEMSTRUCT mis) override { CMenuEx::OnMeasureItem(mis); }
  void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sys) override { CMenuEx::OnInitMenuPopup(popup, index, sys); }
};

}  // namespace

TEST(CMenuEx, TemplateCopiedIntoOwnerDrawnMenuHasOneRecordPerPosition) {
  RegisterFiveItems();
  CMenuEx menu;
  menu.m_bOwnerDraw = TRUE;
  ASSERT_TRUE(menu.LoadMenu(kTemplate));
  ASSERT_EQ(menu.GetMenuItemCount(), 5);
  ASSERT_EQ(menu.Items().size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(menu.GetItemData(static_cast<UINT>(i), MF_BYPOSITION), reinterpret_cast<ULONG_PTR>(menu.Items()[i]));
    EXPECT_NE(menu.GetMenuState(static_cast<UINT>(i), MF_BYPOSITION) & MF_OWNERDRAW, 0u);
  }
  EXPECT_EQ(Measure(menu.Items()[0]), CSize(Width("Open") + 30, 22));
  EXPECT_EQ(Measure(menu.Items()[1]), CSize(0, 10));
  EXPECT_EQ(Measure(menu.Items()[2]), CSize(Width("More") + 45, 22));
  EXPECT_EQ(menu.Items()[2]->m_nID, -1);
  ASSERT_NE(menu.GetSubMenuEx(2), nullptr);
  EXPECT_EQ(menu.GetSubMenuEx(2)->Items().size(), 1u);
  EXPECT_EQ(menu.FindMenuOfCommand(201), menu.GetSubMenuEx(2));
  // Grayed and checked bits are not carried into the owner-drawn item.
  EXPECT_EQ(menu.GetMenuState(3, MF_BYPOSITION) & MF_GRAYED, 0u);
  EXPECT_FALSE(menu.LoadMenu(4242u));
  ClearButtonResources();
}

TEST(CMenuEx, InsertWithoutByPositionChangesNothing) {
  CMenuEx menu;
  menu.m_bOwnerDraw = TRUE;
  menu.CreatePopupMenu();
  EXPECT_FALSE(menu.InsertMenu(0, MF_STRING, 5, "x"));
  EXPECT_EQ(menu.GetMenuItemCount(), 0);
  EXPECT_TRUE(menu.Items().empty());
  EXPECT_FALSE(menu.InsertMenu(0, MF_BYPOSITION | MF_POPUP, 0x7FFFFFF, "dead"));  // a failed copy
  EXPECT_TRUE(menu.Items().empty());
}

TEST(CMenuEx, UpdateItemsShrinksAndTakesPlainText) {
  CMenuEx menu;
  menu.m_bOwnerDraw = TRUE;
  menu.CreatePopupMenu();
  for (UINT i = 1; i <= 6; ++i) menu.AppendMenu(MF_STRING, i, "item");
  ASSERT_EQ(menu.Items().size(), 6u);
  for (int i = 0; i < 4; ++i) menu.CMenu::RemoveMenu(2, MF_BYPOSITION);
  menu.UpdateItems();
  EXPECT_EQ(menu.Items().size(), 2u);
  const int oldWidth = menu.Items()[0]->m_size.cx;
  menu.CMenu::ModifyMenu(0, MF_BYPOSITION | MF_STRING, 1, "a much longer text");
  menu.UpdateItems();
  EXPECT_EQ(menu.Items()[0]->m_strText, "a much longer text");
  EXPECT_EQ(menu.Items()[0]->m_size.cx, Width("a much longer text") + 10);
  EXPECT_GT(menu.Items()[0]->m_size.cx, oldWidth);
  EXPECT_NE(menu.GetMenuState(0, MF_BYPOSITION) & MF_OWNERDRAW, 0u);
  // A new item at the front gets a record of its own.
  menu.CMenu::InsertMenu(0, MF_BYPOSITION | MF_STRING, 9, "new");
  menu.UpdateItems();
  ASSERT_EQ(menu.Items().size(), 3u);
  EXPECT_EQ(menu.Items()[0]->m_nID, 9);
}

TEST(CMenuEx, PlainMenuIsLeftAlone) {
  CMenuEx menu;
  menu.CreateMenu();
  menu.AppendMenu(MF_STRING, 1, "one");
  menu.UpdateItems();
  EXPECT_EQ(menu.GetMenuState(0, MF_BYPOSITION) & MF_OWNERDRAW, 0u);
  CString text;
  menu.GetMenuString(0, text, MF_BYPOSITION);
  EXPECT_EQ(text, "one");
}

TEST(CMenuEx, SharedImageListsSurviveDestroy) {
  CImageList list;
  list.Create(16, 15, ILC_MASK, 1, 0);
  list.Add(PixelImage(32, 15, OpaquePixel(RGB(1, 1, 1))), RGB(192, 192, 192));
  const std::size_t before = LiveMenuCount();
  {
    RegisterFiveItems();
    CMenuEx menu;
    menu.m_bOwnerDraw = TRUE;
    ASSERT_TRUE(menu.LoadMenu(kTemplate));
    menu.SetImageList(&list);
    menu.SetDisabledImageList(&list);
    EXPECT_EQ(menu.m_szImage, CSize(16, 15));
    EXPECT_EQ(menu.GetSubMenuEx(2)->Items()[0]->m_pImageList, &list);
    const UINT ids[] = {101, 201};
    menu.SetImageIndexes(ids, 2);
    EXPECT_EQ(menu.Items()[0]->m_nImage, 0);
    EXPECT_EQ(menu.GetSubMenuEx(2)->Items()[0]->m_nImage, 1);
    EXPECT_EQ(Measure(menu.Items()[0]), CSize(Width("Open") + 10 + 16, 17));
    menu.DestroyMenu();
    menu.DestroyMenu();
    ClearButtonResources();
  }
  EXPECT_EQ(LiveMenuCount(), before);
  EXPECT_EQ(list.GetImageCount(), 2);  // the caller's list is untouched
}

TEST(CMenuEx, HooksIgnoreOtherMenus) {
  CMenu plain;
  plain.CreatePopupMenu();
  CMenuEx::OnInitMenuPopup(&plain, 0, FALSE);  // not a CMenuEx: nothing happens
  int notARecord = 0;
  MEASUREITEMSTRUCT mis;
  mis.itemData = reinterpret_cast<ULONG_PTR>(&notARecord);
  CMenuEx::OnMeasureItem(&mis);
  EXPECT_EQ(mis.itemWidth, 0u);
  EXPECT_EQ(mis.itemHeight, 0u);
}

TEST(CMenuEx, ShownMenuPaintsBandHighlightSeparatorAndCheck) {
  RegisterFiveItems();
  CMenuEx menu;
  menu.m_bOwnerDraw = TRUE;
  ASSERT_TRUE(menu.LoadMenu(kTemplate));
  CImageList list;
  list.Create(20, 20, ILC_MASK, 1, 0);
  list.Add(PixelImage(20, 20, OpaquePixel(RGB(0, 128, 0))), RGB(192, 192, 192));
  menu.SetImageList(&list);
  const UINT ids[] = {104};
  menu.SetImageIndexes(ids, 1);
  // Going owner-drawn drops the template's state bits; the program's own calls set them.
  EXPECT_EQ(menu.EnableMenuItem(3, MF_BYPOSITION | MF_GRAYED), 0u);
  EXPECT_EQ(menu.CheckMenuItem(4, MF_BYPOSITION | MF_CHECKED), 0u);
  Owner owner;
  QImage normal;
  QImage grayedSelected;
  QRect openRect, sepRect, grayRect, checkRect;
  SetTrackPopupMenuHook([&](QMenu* shown) {
    const QList<QAction*> actions = shown->actions();
    ASSERT_EQ(actions.size(), 5);
    openRect = shown->actionGeometry(actions[0]);
    sepRect = shown->actionGeometry(actions[1]);
    grayRect = shown->actionGeometry(actions[3]);
    checkRect = shown->actionGeometry(actions[4]);
    shown->setActiveAction(actions[0]);
    normal = shown->grab().toImage();
    shown->setActiveAction(actions[3]);
    grayedSelected = shown->grab().toImage();
    shown->close();
  });
  EXPECT_EQ(TrackPopupMenu(&menu, TPM_RETURNCMD, 10, 10, &owner), 0u);
  SetTrackPopupMenuHook({});
  ASSERT_FALSE(normal.isNull());
  auto px = [](const QImage& image, int x, int y) { return FromQColor(image.pixelColor(x, y)); };
  EXPECT_EQ(openRect.height(), 22);
  EXPECT_EQ(sepRect.height(), 10);
  // The selected item: frame and fill.
  EXPECT_EQ(px(normal, openRect.left(), openRect.top()), RGB(49, 106, 197));
  EXPECT_EQ(px(normal, openRect.left() + 2, openRect.top() + 2), RGB(200, 220, 253));
  // The separator: icon band, then the line at height / 2 - 1.
  EXPECT_EQ(px(normal, sepRect.left() + 5, sepRect.top() + 2), RGB(236, 233, 216));
  EXPECT_EQ(px(normal, sepRect.left() + 40, sepRect.top() + 4), RGB(197, 194, 184));
  EXPECT_EQ(px(normal, sepRect.left() + 40, sepRect.top() + 5), GetSysColor(COLOR_MENU));
  // A grayed selected item gets no highlight.
  EXPECT_EQ(px(grayedSelected, grayRect.left() + 40, grayRect.top() + 1), GetSysColor(COLOR_MENU));
  EXPECT_EQ(px(grayedSelected, grayRect.left(), grayRect.top()), RGB(236, 233, 216));
  // The checked item with an image shows the check box, not the green image.
  EXPECT_EQ(px(normal, checkRect.left() + 1, checkRect.top() + 1), RGB(49, 106, 197));
  EXPECT_EQ(px(normal, checkRect.left() + 3, checkRect.top() + 19), RGB(200, 220, 253));
  ClearButtonResources();
}

namespace {

// Answers the menu-character question for "x" with the item at position 1.
class MenuCharOwner : public IMenuOwner {
 public:
  LRESULT OnMenuChar(UINT ch, UINT flags, CMenu*) override {
    asked.push_back(ch);
    EXPECT_NE(flags & MF_POPUP, 0u);
    return ch == 'x' ? MAKELRESULT(1, MNC_EXECUTE) : 0;
  }
  std::vector<UINT> asked;
};

UINT ShowAndType(CMenu& menu, IMenuOwner& owner, Qt::Key key, const QString& text) {
  SetTrackPopupMenuHook([key, text](QMenu* shown) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(shown, &press);
    if (shown->isVisible()) shown->close();
  });
  const UINT chosen = TrackPopupMenu(&menu, TPM_RETURNCMD, 10, 10, &owner);
  SetTrackPopupMenuHook({});
  return chosen;
}

}  // namespace

TEST(TrackPopupMenu, AKeyNoMnemonicTakesGoesToTheOwnersMenuCharacter) {
  CMenu menu;
  ASSERT_TRUE(menu.CreatePopupMenu());
  ASSERT_TRUE(menu.AppendMenu(MF_STRING, 201, "&Open"));
  ASSERT_TRUE(menu.AppendMenu(MF_STRING, 202, "Save"));
  MenuCharOwner owner;
  // "x" is no item's mnemonic: the owner runs position 1.
  EXPECT_EQ(ShowAndType(menu, owner, Qt::Key_X, QStringLiteral("x")), 202u);
  EXPECT_EQ(owner.asked, std::vector<UINT>{'x'});
  // "q" is nobody's: the owner is asked, answers 0, and nothing is chosen.
  EXPECT_EQ(ShowAndType(menu, owner, Qt::Key_Q, QStringLiteral("q")), 0u);
  EXPECT_EQ(owner.asked.size(), 2u);
  // "o" is the mnemonic of "&Open": the menu takes it and the owner is not asked.
  EXPECT_EQ(ShowAndType(menu, owner, Qt::Key_O, QStringLiteral("o")), 201u);
  EXPECT_EQ(owner.asked.size(), 2u);
  menu.DestroyMenu();
}
