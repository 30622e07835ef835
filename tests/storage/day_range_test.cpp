#include "storage/day_range.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/clock.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/schema.h"

namespace {

class FixedClock : public IClock {
 public:
  explicit FixedClock(LocalTime now) : now_(now) {}
  LocalTime Now() const override { return now_; }
  std::int64_t SteadyMs() const override { return 0; }

 private:
  LocalTime now_;
};

LocalTime At(int year, int month, int day, int hour) {
  LocalTime t = CivilFromDays(DaysFromCivil(year, month, day));
  t.hour = hour;
  return t;
}

}  // namespace

TEST(DayTextTest, PadsMonthAndDay) {
  EXPECT_EQ(DayText(2017, 2, 6), "2017-02-06");
  EXPECT_EQ(DayText(2017, 12, 31), "2017-12-31");
  EXPECT_EQ(DayText(999, 1, 1), "999-01-01");  // the year is not padded
}

TEST(DayRangeTest, NextDayAcrossMonthYearAndLeapDay) {
  EXPECT_EQ(DayRange("2015-07-01"), std::make_pair(std::string("2015-07-01"), std::string("2015-07-02")));
  EXPECT_EQ(DayRange("2015-07-31").second, "2015-08-01");
  EXPECT_EQ(DayRange("2015-12-31").second, "2016-01-01");
  EXPECT_EQ(DayRange("2016-02-28").second, "2016-02-29");
  EXPECT_EQ(DayRange("2015-02-28").second, "2015-03-01");
  EXPECT_EQ(DayRange("2015-7-1").first, "2015-07-01");           // short forms are padded
  EXPECT_EQ(DayRange("2015-07-01 10:00:00").first, "2015-07-01");  // a time part is ignored
}

TEST(DayRangeTest, InvalidDaysMatchNothing) {
  const std::pair<std::string, std::string> none;
  EXPECT_EQ(DayRange("2015-02-30"), none);
  EXPECT_EQ(DayRange("2015-13-01"), none);
  EXPECT_EQ(DayRange("2015-07"), none);
  EXPECT_EQ(DayRange("abc"), none);
  EXPECT_EQ(DayRange(""), none);
  EXPECT_EQ(DayRange("2015-07-01x"), none);
}

TEST(DayRangeTest, FindsBothStoredFormsOfADay) {
  std::string pattern = "/tmp/velkor-dayrange-XXXXXX";
  const std::string dir = mkdtemp(pattern.data());
  const std::string path = dir + "/CJHB.mdb";
  ASSERT_TRUE(CreateDatabaseFile(path));
  {
    CADODataBase db;
    ASSERT_TRUE(db.Open("Data Source=" + path));
    ASSERT_TRUE(EnsureMarketSchema(db));
    const std::string insert = "INSERT INTO DZJY (DZJY_ID, DZJY_Date) VALUES (?, ?)";
    ASSERT_TRUE(db.Execute(insert, {"a", "2015-06-30 23:59:59"}));
    ASSERT_TRUE(db.Execute(insert, {"b", "2015-07-01"}));
    ASSERT_TRUE(db.Execute(insert, {"c", "2015-07-01 00:00:00"}));
    ASSERT_TRUE(db.Execute(insert, {"d", "2015-07-01 18:30:00"}));
    ASSERT_TRUE(db.Execute(insert, {"e", "2015-07-02"}));

    const auto [from, to] = DayRange("2015-07-01");
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open("SELECT DZJY_ID FROM DZJY WHERE DZJY_Date >= ? AND DZJY_Date < ? ORDER BY DZJY_ID",
                        {from, to}));
    std::string ids;
    for (; !rs.IsEof(); rs.MoveNext()) {
      std::string id;
      rs.GetFieldValue("DZJY_ID", id);
      ids += id;
    }
    EXPECT_EQ(ids, "bcd");
  }
  std::filesystem::remove_all(dir);
}

TEST(CutoffDayTest, CountsBackFromTheClocksToday) {
  const FixedClock wednesday(At(2017, 3, 1, 15));  // Wednesday 1 March 2017, afternoon
  ASSERT_EQ(wednesday.Now().dayOfWeek, 3);
  EXPECT_EQ(CutoffDay(wednesday, 0), "2017-03-01");
  EXPECT_EQ(CutoffDay(wednesday, 1), "2017-02-28");  // no 29 February in 2017
  EXPECT_EQ(CutoffDay(wednesday, 7), "2017-02-22");
  EXPECT_EQ(CutoffDay(wednesday, 60), "2016-12-31");
  EXPECT_EQ(CutoffDay(wednesday, -1), "2017-03-02");
  // datediff('d', X, now()) <= 1 holds for the 28th at any hour, not for the 27th.
  EXPECT_TRUE(std::string("2017-02-28 00:00:00") >= CutoffDay(wednesday, 1));
  EXPECT_FALSE(std::string("2017-02-27 23:59:59") >= CutoffDay(wednesday, 1));
}

TEST(DayMinusTest, StepsOverMonthYearAndLeapDays) {
  EXPECT_EQ(DayMinus("2024-05-15", 30), "2024-04-15");
  EXPECT_EQ(DayMinus("2024-03-01", 1), "2024-02-29");
  EXPECT_EQ(DayMinus("2023-03-01", 1), "2023-02-28");
  EXPECT_EQ(DayMinus("2024-01-05", 10), "2023-12-26");
  EXPECT_EQ(DayMinus("2024-12-31", -1), "2025-01-01");  // a negative count goes forward
  EXPECT_EQ(DayMinus("2024-5-15 10:00:00", 0), "2024-05-15");
}

TEST(DayMinusTest, InvalidDaysGiveEmptyText) {
  EXPECT_EQ(DayMinus("2024-02-30", 1), "");
  EXPECT_EQ(DayMinus("", 1), "");
  EXPECT_FALSE(DayNumberOf("2024-13-01").has_value());
  ASSERT_TRUE(DayNumberOf("1970-01-02").has_value());
  EXPECT_EQ(*DayNumberOf("1970-01-02"), 1);
}

TEST(CompareDateTextsTest, OrdersDaysWrittenWithOrWithoutPadding) {
  EXPECT_EQ(CompareDateTexts("2015-07-01", "2015-7-2"), -1);
  EXPECT_EQ(CompareDateTexts("2015-7-2", "2015-07-01"), 1);
  EXPECT_EQ(CompareDateTexts("2015-07-01", "2015-7-1"), 0);
  EXPECT_EQ(CompareDateTexts("2015-07-01", "2015-07-01"), 0);
  EXPECT_EQ(CompareDateTexts("2016-01-01", "2015-12-31"), 1);
  EXPECT_EQ(CompareDateTexts("2015-12-31", "2016-01-01"), -1);
  // Numbers, not texts: "2015-10-1" is later than "2015-9-30" although '1' < '9'.
  EXPECT_EQ(CompareDateTexts("2015-10-1", "2015-9-30"), 1);
  EXPECT_EQ(CompareDateTexts("999-01-01", "2015-01-01"), -1);
}

TEST(CompareDateTextsTest, SlashesEqualDashes) {
  EXPECT_EQ(CompareDateTexts("2015/07/01", "2015-07-01"), 0);
  EXPECT_EQ(CompareDateTexts("2015/7/1", "2015-07-01"), 0);
  EXPECT_EQ(CompareDateTexts("2015/07/02", "2015-07-01"), 1);
  // The two separators of one text must agree.
  EXPECT_EQ(CompareDateTexts("2015/07-01", "2000-01-01"), -1);
}

TEST(CompareDateTextsTest, TheTimePartCounts) {
  EXPECT_EQ(CompareDateTexts("2015-07-01 10:30", "2015-07-01 10:29:59"), 1);
  EXPECT_EQ(CompareDateTexts("2015-07-01 9:05", "2015-07-01 09:05:00"), 0);
  EXPECT_EQ(CompareDateTexts("2015-07-01 00:00:00", "2015-07-01"), 0);
  EXPECT_EQ(CompareDateTexts("2015-07-01 00:00:01", "2015-07-01"), 1);
  EXPECT_EQ(CompareDateTexts("2015-07-01 23:59:59", "2015-07-02"), -1);
  EXPECT_EQ(CompareDateTexts("2015/7/1 8:00", "2015-07-01 07:59:59"), 1);
  EXPECT_EQ(CompareDateTexts(" 2015-07-01 ", "2015-07-01"), 0);
}

TEST(CompareDateTextsTest, InvalidTextsAreEarlierThanAnyValidOne) {
  for (const char* bad : {"", "abc", "2015-13-01", "2015-02-29", "2015-00-10", "2015-01-00", "2015-1-32",
                          "2015-07", "2015--07-01", "2015.07.01", "2015-07-01x", "2015-07-01 24:00",
                          "2015-07-01 10:60", "2015-07-01 10:00:60", "2015-07-01 10", "2015-07-01 10:",
                          "2015-07-01 10:00:", "20150-07-01", "2015-007-01", "2015-07-001"}) {
    EXPECT_EQ(CompareDateTexts(bad, "1900-01-01"), -1) << bad;
    EXPECT_EQ(CompareDateTexts("1900-01-01", bad), 1) << bad;
    EXPECT_EQ(CompareDateTexts(bad, "xyz"), 0) << bad;
    EXPECT_EQ(CompareDateTexts(bad, bad), 0) << bad;
  }
  EXPECT_EQ(CompareDateTexts("2016-02-29", "2016-02-28"), 1);  // a leap day is valid
  EXPECT_EQ(CompareDateTexts("2000-02-29", "2000-03-01"), -1);
}
