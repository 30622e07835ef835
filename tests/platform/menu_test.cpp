#include "platform/menu.h"

#include <gtest/gtest.h>

#include "platform/image_list.h"

TEST(MenuTable, PopupStateCarriesSubMenuCountAndDestroyIsDeep) {
  const std::size_t before = LiveMenuCount();
  CMenu bar;
  ASSERT_TRUE(bar.CreateMenu());
  HMENU sub = CreatePopupMenu();
  CMenu::FromHandle(sub)->AppendMenu(MF_STRING, 7, "a");
  CMenu::FromHandle(sub)->AppendMenu(MF_SEPARATOR);
  ASSERT_TRUE(bar.AppendMenu(MF_POPUP | MF_GRAYED, reinterpret_cast<UINT_PTR>(sub), "File"));
  EXPECT_EQ(bar.GetMenuState(0, MF_BYPOSITION), (2u << 8) | MF_POPUP | MF_GRAYED);
  EXPECT_EQ(bar.GetMenuItemID(0), 0xFFFFFFFFu);
  EXPECT_EQ(CMenu::FromHandle(sub)->GetMenuItemID(1), 0u);
  EXPECT_EQ(bar.GetMenuState(7, MF_BYCOMMAND), MF_STRING);  // found inside the sub-menu
  EXPECT_EQ(bar.GetMenuState(5, MF_BYPOSITION), 0xFFFFFFFFu);
  // One sub item puts 0x100 into the state's high byte; the type says it is no owner-drawn item.
  HMENU one = CreatePopupMenu();
  CMenu::FromHandle(one)->AppendMenu(MF_STRING, 8, "b");
  ASSERT_TRUE(bar.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(one), "Edit"));
  EXPECT_NE(bar.GetMenuState(1, MF_BYPOSITION) & 0x100u, 0u);
  MENUITEMINFO type;
  type.fMask = MIIM_FTYPE | MIIM_SUBMENU;
  ASSERT_TRUE(bar.GetMenuItemInfo(1, &type, TRUE));
  EXPECT_EQ(type.fType, MF_POPUP);
  EXPECT_EQ(type.hSubMenu, one);
  EXPECT_EQ(LiveMenuCount(), before + 3);
  ASSERT_TRUE(bar.DestroyMenu());
  EXPECT_FALSE(IsMenu(sub));
  EXPECT_EQ(LiveMenuCount(), before);
  EXPECT_FALSE(DestroyMenu(sub));  // a stale handle does nothing
}

TEST(MenuTable, PopupWithDeadHandleIsRefusedAndOwnerDrawKeepsData) {
  CMenu menu;
  menu.CreatePopupMenu();
  EXPECT_FALSE(menu.AppendMenu(MF_POPUP, 0x7FFFFFF, "x"));
  EXPECT_EQ(menu.GetMenuItemCount(), 0);
  ASSERT_TRUE(menu.AppendMenu(MF_STRING, 3, "&Open"));
  ASSERT_TRUE(menu.ModifyMenuOwnerDraw(0, MF_BYPOSITION, 3, 0x1234));
  CString text = "stale";
  EXPECT_EQ(menu.GetMenuString(0, text, MF_BYPOSITION), 0);  // owner-drawn: no string
  EXPECT_EQ(text, "");
  EXPECT_EQ(menu.GetItemData(0, MF_BYPOSITION), 0x1234u);
  ASSERT_TRUE(menu.ModifyMenu(0, MF_BYPOSITION | MF_STRING, 3, "Close"));
  EXPECT_EQ(menu.GetMenuString(3, text, MF_BYCOMMAND), 5);
  EXPECT_EQ(menu.GetMenuState(0, MF_BYPOSITION) & MF_OWNERDRAW, 0u);
}

TEST(MenuTable, RemoveKeepsSubMenuDeleteDestroysIt) {
  CMenu menu;
  menu.CreatePopupMenu();
  HMENU a = CreatePopupMenu();
  HMENU b = CreatePopupMenu();
  menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(a), "a");
  menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(b), "b");
  EXPECT_TRUE(menu.RemoveMenu(0, MF_BYPOSITION));
  EXPECT_TRUE(IsMenu(a));
  EXPECT_TRUE(menu.DeleteMenu(0, MF_BYPOSITION));
  EXPECT_FALSE(IsMenu(b));
  EXPECT_FALSE(menu.RemoveMenu(0, MF_BYPOSITION));
  DestroyMenu(a);
}

TEST(MenuTable, TemplateBuildsNestedMenuAndCheckmarkBitmaps) {
  HMENU menu = LoadMenuIndirect({{MF_POPUP, 0, "P", {{MF_STRING, 11, "x", {}}, {MF_SEPARATOR, 0, "", {}}, {MF_GRAYED, 12, "y", {}}}},
                                 {MF_STRING, 13, "z", {}}});
  ASSERT_NE(menu, nullptr);
  CMenu* object = CMenu::FromHandle(menu);
  ASSERT_EQ(object->GetMenuItemCount(), 2);
  CMenu* sub = object->GetSubMenu(0);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->GetMenuItemCount(), 3);
  EXPECT_EQ(sub->GetMenuState(2, MF_BYPOSITION), MF_GRAYED);
  EXPECT_TRUE(object->SetMenuItemBitmaps(12, MF_BYCOMMAND, 0, 99));
  MENUITEMINFO info;
  info.fMask = MIIM_CHECKMARKS;
  ASSERT_TRUE(object->GetMenuItemInfo(12, &info));
  EXPECT_EQ(info.hbmpChecked, 99u);
  EXPECT_EQ(LoadMenuIndirect({}), nullptr);
  DestroyMenu(menu);
  EXPECT_EQ(CMenu::FromHandle(menu), nullptr);
}

TEST(ImageList, StripIsCutAndMaskColourGoesSeeThrough) {
  CImageList list;
  EXPECT_FALSE(list.Create(0, 5, ILC_MASK, 1, 1));
  ASSERT_TRUE(list.Create(4, 2, ILC_MASK | ILC_COLOR24, 1, 1));
  PixelImage strip(10, 2, OpaquePixel(RGB(192, 192, 192)));
  strip.At(5, 1) = OpaquePixel(RGB(1, 2, 3));
  EXPECT_EQ(list.Add(strip, RGB(192, 192, 192)), 0);
  EXPECT_EQ(list.GetImageCount(), 2);  // the last 2 columns are too narrow
  EXPECT_EQ(list.Image(1)->At(1, 1), OpaquePixel(RGB(1, 2, 3)));
  EXPECT_EQ(list.Image(1)->At(0, 0), 0u);
  EXPECT_TRUE(list.ExtractIcon(2).IsNull());
  EXPECT_EQ(list.Add(PixelImage(3, 2)), -1);
  EXPECT_TRUE(list.Remove(0));
  EXPECT_EQ(list.GetImageCount(), 1);
}
