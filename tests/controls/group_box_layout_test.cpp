#include "controls/group_box_layout.h"

#include <gtest/gtest.h>

namespace {

const CRect kClient(0, 0, 200, 100);
const CSize kCaption(40, 14);

TEST(GroupBoxFrameLayout, LeftCaptionSitsTenPixelsInOnTheTopLine) {
  const GroupBoxLayout layout = GroupBoxLayout::Calc(kClient, kGroupBoxFrameStyle, kGroupBoxAlignLeft, kCaption);
  EXPECT_EQ(layout.box, CRect(1, 1, 199, 99));
  EXPECT_EQ(layout.caption, CRect(11, 1, 51, 15));
  EXPECT_EQ(layout.frame, CRect(1, 8, 199, 99));  // the top line through the caption's middle
}

TEST(GroupBoxFrameLayout, CentreAndRightAlignment) {
  EXPECT_EQ(GroupBoxLayout::Calc(kClient, kGroupBoxFrameStyle, kGroupBoxAlignCenter, kCaption).caption,
            CRect(80, 1, 120, 15));
  EXPECT_EQ(GroupBoxLayout::Calc(kClient, kGroupBoxFrameStyle, kGroupBoxAlignRight, kCaption).caption,
            CRect(149, 1, 189, 15));
}

TEST(GroupBoxFrameLayout, UnknownAlignmentIsLeft) {
  EXPECT_EQ(GroupBoxLayout::Calc(kClient, kGroupBoxFrameStyle, 7, kCaption).caption, CRect(11, 1, 51, 15));
  EXPECT_EQ(GroupBoxLayout::Calc(kClient, kGroupBoxFrameStyle, -1, kCaption).caption, CRect(11, 1, 51, 15));
}

TEST(GroupBoxFrameLayout, EmptyCaptionPutsTheTopLineOnTheClientTop) {
  const GroupBoxLayout layout = GroupBoxLayout::Calc(kClient, kGroupBoxFrameStyle, kGroupBoxAlignLeft, CSize());
  EXPECT_EQ(layout.frame.top, 1);
  EXPECT_TRUE(layout.caption.IsRectEmpty());
}

TEST(GroupBoxFrameLayout, OddCaptionHeightRoundsTheLineDown) {
  EXPECT_EQ(GroupBoxLayout::Calc(kClient, kGroupBoxFrameStyle, kGroupBoxAlignLeft, CSize(40, 17)).frame.top, 1 + 8);
}

TEST(GroupBoxWindowLayout, CaptionBarBodyAndCaption) {
  const GroupBoxLayout layout = GroupBoxLayout::Calc(kClient, kGroupBoxWindowStyle, kGroupBoxAlignLeft, kCaption);
  EXPECT_EQ(layout.captionBar, CRect(1, 1, 199, 19));
  EXPECT_EQ(layout.body, CRect(1, 19, 199, 99));
  EXPECT_EQ(layout.frame, layout.box);
  EXPECT_EQ(layout.caption, CRect(3, 3, 43, 17));
}

TEST(GroupBoxWindowLayout, CentreAndRightAlignment) {
  EXPECT_EQ(GroupBoxLayout::Calc(kClient, kGroupBoxWindowStyle, kGroupBoxAlignCenter, kCaption).caption,
            CRect(80, 3, 120, 17));
  EXPECT_EQ(GroupBoxLayout::Calc(kClient, kGroupBoxWindowStyle, kGroupBoxAlignRight, kCaption).caption,
            CRect(157, 3, 197, 17));
}

TEST(GroupBoxWindowLayout, AnyNonZeroStyleIsTheWindowStyle) {
  const GroupBoxLayout layout = GroupBoxLayout::Calc(kClient, 5, kGroupBoxAlignLeft, kCaption);
  EXPECT_EQ(layout.captionBar, CRect(1, 1, 199, 19));
  EXPECT_EQ(layout.caption, CRect(3, 3, 43, 17));
}

TEST(GroupBoxWindowLayout, EmptyCaptionLeavesAFourPixelBar) {
  const GroupBoxLayout layout = GroupBoxLayout::Calc(kClient, kGroupBoxWindowStyle, kGroupBoxAlignLeft, CSize());
  EXPECT_EQ(layout.captionBar.Height(), 4);
  EXPECT_EQ(layout.body.top, 5);
}

}  // namespace
