#include "controls/hover_face.h"

#include <gtest/gtest.h>

TEST(HoverFace, ShadeColoursPerState) {
  // Shade 0 is white in every state.
  for (bool hovered : {false, true})
    for (bool pressed : {false, true}) EXPECT_EQ(HoverFaceShade(0, hovered, pressed), RGB(255, 255, 255));
  // Shade 63: a = 240, b = 234, c = 243.
  EXPECT_EQ(HoverFaceShade(63, false, false), RGB(234, 234, 243));
  EXPECT_EQ(HoverFaceShade(63, true, true), RGB(240, 240, 234));
  EXPECT_EQ(HoverFaceShade(63, true, false), RGB(240, 240, 243));
  EXPECT_EQ(HoverFaceShade(63, false, true), RGB(234, 234, 240));
  // Shade 12: a = 252, b = 251, c = 253.
  EXPECT_EQ(HoverFaceShade(12, false, false), RGB(251, 251, 253));
  EXPECT_EQ(HoverFaceShade(12, true, true), RGB(252, 252, 251));
  // Never past the 64 shades.
  EXPECT_EQ(HoverFaceShade(500, false, false), HoverFaceShade(63, false, false));
  EXPECT_EQ(HoverFaceShade(-4, false, false), HoverFaceShade(0, false, false));
}

TEST(HoverFace, RowShadesClampAtTheLastShade) {
  EXPECT_EQ(HoverFaceShadeIndex(0, 26), 0);
  EXPECT_EQ(HoverFaceShadeIndex(13, 26), 31);
  EXPECT_EQ(HoverFaceShadeIndex(25, 26), 60);
  EXPECT_EQ(HoverFaceShadeIndex(26, 26), 63) << "at the height";
  EXPECT_EQ(HoverFaceShadeIndex(28, 26), 63) << "past the height";
  EXPECT_EQ(HoverFaceShadeIndex(1000000, 1), 63);
  EXPECT_EQ(HoverFaceRowColour(0, 26, false, false), RGB(255, 255, 255));
  EXPECT_EQ(HoverFaceRowColour(28, 26, false, false), RGB(234, 234, 243));
  EXPECT_EQ(HoverFaceRowColour(27, 26, true, true), RGB(240, 240, 234));
}

TEST(HoverFace, FaceWithoutRowsUsesTheLastShade) {
  // A button 4 pixels high or less has a face of height 0 or below.
  EXPECT_EQ(HoverFaceShadeIndex(0, 0), 63);
  EXPECT_EQ(HoverFaceShadeIndex(2, -1), 63);
  EXPECT_EQ(HoverFaceShadeIndex(2, -3), 63);
}

TEST(HoverFace, FrameChoice) {
  EXPECT_EQ(HoverFrameOf(false, false), HoverFrameKind::None);
  EXPECT_EQ(HoverFrameOf(true, false), HoverFrameKind::Hover);
  EXPECT_EQ(HoverFrameOf(true, true), HoverFrameKind::Hover);
  EXPECT_EQ(HoverFrameOf(false, true), HoverFrameKind::Focus);
  EXPECT_TRUE(HoverShowsFocusRect(false, true));
  EXPECT_FALSE(HoverShowsFocusRect(true, true));
  EXPECT_FALSE(HoverShowsFocusRect(false, false));
  EXPECT_EQ(HoverFrame().edges[0].width, 3);
  EXPECT_EQ(HoverFrame().edges[0].colour, RGB(250, 196, 88));
  EXPECT_EQ(HoverFrame().edges[3].colour, RGB(229, 151, 0));
  EXPECT_EQ(FocusFrame().edges[0].colour, RGB(153, 198, 252));
  EXPECT_EQ(FocusFrame().edges[2].width, 2);
}
