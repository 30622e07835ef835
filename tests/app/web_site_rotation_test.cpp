#include "app/web_site_rotation.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Pages(int n) {
  std::vector<std::string> pages;
  for (int i = 1; i <= n; ++i) pages.push_back("http://p.example.com/" + std::to_string(i));
  return pages;
}

// The page numbers (1-based) shown by `ticks` ticks; 0 for a tick that showed nothing.
std::vector<int> Shown(WebSiteRotation& rotation, const std::vector<std::string>& list, int ticks) {
  std::vector<int> shown;
  for (int i = 0; i < ticks; ++i) {
    const auto address = rotation.NavigateNext(list);
    shown.push_back(address ? std::stoi(address->substr(address->rfind('/') + 1)) : 0);
  }
  return shown;
}

TEST(WebSiteRotationTest, ThreePagesCycle) {
  WebSiteRotation rotation;
  EXPECT_EQ(Shown(rotation, Pages(3), 7), (std::vector<int>{1, 2, 3, 1, 2, 3, 1}));
  EXPECT_EQ(rotation.m_nWebSiteCounter, 1);
}

TEST(WebSiteRotationTest, OnePageIsShownEveryTick) {
  WebSiteRotation rotation;
  EXPECT_EQ(Shown(rotation, Pages(1), 4), (std::vector<int>{1, 1, 1, 1}));
}

TEST(WebSiteRotationTest, EmptyListNeverNavigates) {
  WebSiteRotation rotation;
  int calls = 0;
  for (int i = 0; i < 5; ++i) {
    EXPECT_FALSE(rotation.Tick({}, [&](const std::string&) { return ++calls > 0; }));
  }
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(rotation.m_nWebSiteCounter, 0);
}

TEST(WebSiteRotationTest, OnlyTheFirst255TakePartWithoutIdleTicks) {
  WebSiteRotation rotation;
  const std::vector<int> shown = Shown(rotation, Pages(300), 600);
  for (int i = 0; i < 600; ++i) {
    ASSERT_EQ(shown[i], i % 255 + 1) << "tick " << i;
  }
}

TEST(WebSiteRotationTest, ListFilledAfterEmptyTicksRotatesFully) {
  WebSiteRotation rotation;
  std::vector<std::string> list;
  EXPECT_EQ(Shown(rotation, list, 2), (std::vector<int>{0, 0}));
  list = Pages(3);
  EXPECT_EQ(Shown(rotation, list, 5), (std::vector<int>{1, 2, 3, 1, 2}));
}

TEST(WebSiteRotationTest, GrowingListJoinsTheRound) {
  WebSiteRotation rotation;
  std::vector<std::string> list = Pages(2);
  EXPECT_EQ(Shown(rotation, list, 3), (std::vector<int>{1, 2, 1}));
  list = Pages(4);
  EXPECT_EQ(Shown(rotation, list, 4), (std::vector<int>{2, 3, 4, 1}));
}

TEST(WebSiteRotationTest, FailingNavigatorDoesNotStopTheNextTick) {
  WebSiteRotation rotation;
  const std::vector<std::string> list = Pages(3);
  std::vector<std::string> reached;
  auto navigator = [&](const std::string& address) {
    reached.push_back(address);
    if (address.ends_with("/1")) return false;
    if (address.ends_with("/2")) throw std::runtime_error("page broke");
    return true;
  };
  EXPECT_TRUE(rotation.Tick(list, navigator));
  EXPECT_TRUE(rotation.Tick(list, navigator));
  EXPECT_TRUE(rotation.Tick(list, navigator));
  EXPECT_TRUE(rotation.Tick(list, navigator));
  EXPECT_EQ(reached, (std::vector<std::string>{list[0], list[1], list[2], list[0]}));
}

}  // namespace
