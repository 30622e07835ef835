#include "storage/text_hash.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(TextIndexTest, FindsWhatWasAddedAndNothingElse) {
  TextIndex index;
  EXPECT_EQ(index.Find("甲"), nullptr);  // empty: no table yet
  auto [value, added] = index.Emplace("甲", 7);
  EXPECT_TRUE(added);
  EXPECT_EQ(*value, 7u);
  // Present already: the old value stays, and can be changed through the pointer.
  auto again = index.Emplace(std::string("甲"), 9);
  EXPECT_FALSE(again.second);
  EXPECT_EQ(*again.first, 7u);
  *again.first = 11;
  ASSERT_NE(index.Find("甲"), nullptr);
  EXPECT_EQ(*index.Find("甲"), 11u);
  EXPECT_EQ(index.Find("甲乙"), nullptr);
  EXPECT_EQ(index.Find(""), nullptr);
  EXPECT_TRUE(index.Emplace("", 3).second);  // the empty text is a text like any other
  EXPECT_EQ(*index.Find(""), 3u);
  EXPECT_EQ(index.size(), 2u);
  index.Clear();
  EXPECT_EQ(index.size(), 0u);
  EXPECT_EQ(index.Find("甲"), nullptr);
}

TEST(TextIndexTest, KeepsEveryTextThroughGrowthAndNearTexts) {
  TextIndex index;
  std::vector<std::string> texts;
  for (int i = 0; i < 5000; ++i) texts.push_back("证券营业部" + std::to_string(i));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ASSERT_TRUE(index.Emplace(texts[i], static_cast<std::uint32_t>(i)).second) << texts[i];
  }
  EXPECT_EQ(index.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::uint32_t* value = index.Find(texts[i]);
    ASSERT_NE(value, nullptr) << texts[i];
    EXPECT_EQ(*value, i);
  }
  // Prefixes and extensions of stored texts are other texts.
  EXPECT_EQ(index.Find("证券营业部"), nullptr);
  EXPECT_EQ(index.Find("证券营业部49990"), nullptr);
  const TextIndex& constant = index;
  EXPECT_EQ(*constant.Find("证券营业部4999"), 4999u);
}
