#include "platform/feature_seam.h"

#include <gtest/gtest.h>

#include "platform/message_box.h"

namespace {

struct Feature {
  virtual ~Feature() = default;
  int calls = 0;
};

TEST(FeatureSeamTest, AnAbsentFeatureIsNamedInOneBoxAndNothingIsReturned) {
  PageRegistry::Instance().ResetForTests();
  EXPECT_EQ(RequireFeature<Feature>(PageSlot::ChartBlock, "Velkor自选股"), nullptr);
  const auto boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "“Velkor自选股”功能尚未完成，本次操作未执行。");
  EXPECT_EQ(boxes[0].caption, "系统提示");
}

TEST(FeatureSeamTest, APublishedFeatureComesBackWithoutABox) {
  PageRegistry::Instance().ResetForTests();
  Feature feature;
  PageRegistry::Instance().Publish(PageSlot::ChartLink, &feature);
  EXPECT_EQ(RequireFeature<Feature>(PageSlot::ChartLink, "通达信联动"), &feature);
  // Another slot, or the same pointer asked for as another type, is still absent.
  EXPECT_EQ(RequireFeature<Feature>(PageSlot::ChartBlock, "Velkor自选股"), nullptr);
  EXPECT_EQ(MessageBoxHook::Instance().TakeRecorded().size(), 1u);
  PageRegistry::Instance().ResetForTests();
}

}  // namespace
