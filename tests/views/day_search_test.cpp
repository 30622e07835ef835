#include "views/day_search.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"

namespace {

// The days asked for, and the answers from a set of days with data.
struct RecordingDays {
  std::set<std::string> withData;
  std::vector<std::string> asked;
  DayExists Predicate() {
    return [this](const std::string& day) {
      asked.push_back(day);
      return withData.count(day) == 1;
    };
  }
};

class DaySearchTest : public ::testing::Test {
 protected:
  void SetUp() override { db_.OpenGlobals(); }
  void TearDown() override {
    g_ADODatabase.SetStatementTrace(nullptr);
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
  }
  void Listing(const std::string& day, const std::string& code = "600000") {
    db_.AddListing(day, code, "浦发银行", "日涨幅偏离值达7%的证券", 1, 10, 1000, {}, {});
  }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
};

}  // namespace

TEST_F(DaySearchTest, DayDataOnAnEmptyAndAFilledDatabase) {
  EXPECT_FALSE(HasDayData(g_ADODatabase, "2024-05-15"));
  bool ok = false;
  EXPECT_EQ(NewestStoredDay(g_ADODatabase, &ok), std::nullopt);
  EXPECT_TRUE(ok);
  EXPECT_EQ(OldestStoredDay(g_ADODatabase), std::nullopt);

  Listing("2024-05-10");
  Listing("2024-05-14");
  Listing("2024-05-14", "000001");
  Listing("2023-12-29");
  EXPECT_TRUE(HasDayData(g_ADODatabase, "2024-05-14"));
  EXPECT_FALSE(HasDayData(g_ADODatabase, "2024-05-13"));
  EXPECT_FALSE(HasDayData(g_ADODatabase, "2024-05-1%"));
  EXPECT_EQ(NewestStoredDay(g_ADODatabase), "2024-05-14");
  EXPECT_EQ(OldestStoredDay(g_ADODatabase), "2023-12-29");
  Listing("2024-05-15 00:00:00");  // a day written with its time steps as its date
  EXPECT_EQ(NewestStoredDay(g_ADODatabase), "2024-05-15");

  g_ADODatabase.Close();
  EXPECT_FALSE(HasDayData(g_ADODatabase, "2024-05-14"));
  EXPECT_EQ(NewestStoredDay(g_ADODatabase, &ok), std::nullopt);
  EXPECT_FALSE(ok);
  EXPECT_EQ(OldestStoredDay(g_ADODatabase, &ok), std::nullopt);
  EXPECT_FALSE(ok);
}

TEST_F(DaySearchTest, BackFromMondayAsksOnceForTheFriday) {
  Listing("2024-05-10");  // Friday
  Listing("2024-05-13");  // Monday
  Listing("2024-05-03");
  std::vector<std::string> statements;
  g_ADODatabase.SetStatementTrace([&](const std::string& sql) { statements.push_back(sql); });
  const auto found = FindTradingDay(
      "2024-05-13", -1, [](const std::string& day) { return HasDayData(g_ADODatabase, day); }, "2024-05-03");
  EXPECT_EQ(found, "2024-05-10");
  EXPECT_EQ(statements.size(), 1u);
  // A page's step goes no further than the newest day stored, and not at all from it.
  EXPECT_EQ(StepStoredDay("2024-05-10", 1, StoredDayRule(g_ADODatabase)), "2024-05-13");
  EXPECT_EQ(StepStoredDay("2024-05-13", 1, StoredDayRule(g_ADODatabase)), std::nullopt);
}

TEST(FindTradingDayTest, SkipsWeekendsWithoutAsking) {
  RecordingDays days{{"2024-05-10", "2024-05-20"}, {}};
  EXPECT_EQ(FindTradingDay("2024-05-13", -1, days.Predicate(), "2024-01-01"), "2024-05-10");
  EXPECT_EQ(days.asked, std::vector<std::string>{"2024-05-10"});

  days.asked.clear();
  EXPECT_EQ(FindTradingDay("2024-05-17", 1, days.Predicate(), "2024-05-31"), "2024-05-20");
  EXPECT_EQ(days.asked, std::vector<std::string>{"2024-05-20"});
}

TEST(FindTradingDayTest, CrossesAnElevenDayGapBothWays) {
  RecordingDays days{{"2024-09-27", "2024-10-08"}, {}};  // Friday before the holiday, Tuesday after
  EXPECT_EQ(FindTradingDay("2024-09-27", 1, days.Predicate(), "2024-10-08"), "2024-10-08");
  EXPECT_EQ(days.asked, (std::vector<std::string>{"2024-09-30", "2024-10-01", "2024-10-02", "2024-10-03",
                                                  "2024-10-04", "2024-10-07", "2024-10-08"}));
  days.asked.clear();
  EXPECT_EQ(FindTradingDay("2024-10-08", -1, days.Predicate(), "2024-09-27"), "2024-09-27");
  EXPECT_EQ(days.asked.size(), 7u);
  EXPECT_EQ(days.asked.back(), "2024-09-27");
}

TEST(FindTradingDayTest, NeverPassesTheBound) {
  RecordingDays days{{"2024-05-10", "2024-05-24"}, {}};
  // At the newest or the oldest stored day nothing is asked.
  EXPECT_EQ(FindTradingDay("2024-05-24", 1, days.Predicate(), "2024-05-24"), std::nullopt);
  EXPECT_EQ(FindTradingDay("2024-05-10", -1, days.Predicate(), "2024-05-10"), std::nullopt);
  EXPECT_EQ(FindTradingDay("2024-05-28", 1, days.Predicate(), "2024-05-24"), std::nullopt);
  EXPECT_EQ(FindTradingDay("2024-05-24", 1, days.Predicate(), ""), std::nullopt);
  EXPECT_TRUE(days.asked.empty());

  // Nothing found up to the bound: every weekday up to it asked, none after it.
  EXPECT_EQ(FindTradingDay("2024-05-10", 1, days.Predicate(), "2024-05-21"), std::nullopt);
  EXPECT_EQ(days.asked, (std::vector<std::string>{"2024-05-13", "2024-05-14", "2024-05-15", "2024-05-16",
                                                  "2024-05-17", "2024-05-20", "2024-05-21"}));
}

TEST(FindTradingDayTest, BadInputFindsNothing) {
  RecordingDays days{{"2024-05-10"}, {}};
  EXPECT_EQ(FindTradingDay("2024-05-13", 0, days.Predicate(), "2024-01-01"), std::nullopt);
  EXPECT_EQ(FindTradingDay("2024-05-13", -2, days.Predicate(), "2024-01-01"), std::nullopt);
  EXPECT_EQ(FindTradingDay("双击一下", -1, days.Predicate(), "2024-01-01"), std::nullopt);
  EXPECT_EQ(FindTradingDay("2024-05-13", -1, nullptr, "2024-05-01"), std::nullopt);
  EXPECT_TRUE(days.asked.empty());
  // A stored day with a time part still bounds the search.
  EXPECT_EQ(FindTradingDay("2024-05-13", -1, days.Predicate(), "2024-05-10 00:00:00"), "2024-05-10");
}
