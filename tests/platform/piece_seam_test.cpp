#include "platform/piece_seam.h"

#include <gtest/gtest.h>

#include "platform/message_box.h"

namespace {

struct Piece {
  virtual ~Piece() = default;
  int calls = 0;
};

TEST(PieceSeamTest, AnAbsentPieceIsNamedInOneBoxAndNothingIsReturned) {
  PageRegistry::Instance().ResetForTests();
  EXPECT_EQ(RequirePiece<Piece>(PageSlot::ChartBlock, "Velkor自选股"), nullptr);
  const auto boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "“Velkor自选股”功能尚未完成，本次操作未执行。");
  EXPECT_EQ(boxes[0].caption, "系统提示");
}

TEST(PieceSeamTest, APublishedPieceComesBackWithoutABox) {
  PageRegistry::Instance().ResetForTests();
  Piece piece;
  PageRegistry::Instance().Publish(PageSlot::ChartLink, &piece);
  EXPECT_EQ(RequirePiece<Piece>(PageSlot::ChartLink, "通达信联动"), &piece);
  // Another slot, or the same pointer asked for as another type, is still absent.
  EXPECT_EQ(RequirePiece<Piece>(PageSlot::ChartBlock, "Velkor自选股"), nullptr);
  EXPECT_EQ(MessageBoxHook::Instance().TakeRecorded().size(), 1u);
  PageRegistry::Instance().ResetForTests();
}

}  // namespace
