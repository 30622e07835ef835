#include "charting/block_trade_series.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>

#include "../support/db_builder.h"
#include "charting/series_file.h"
#include "series_test_support.h"

namespace {

std::string FloatHex(float f) {
  const auto bits = std::bit_cast<std::uint32_t>(f);
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((bits >> (8 * i)) & 0xFF);
  return Hex(bytes);
}

TEST(BlockTradeSeriesTest, ValueCarriesAmountDiscountAndSign) {
  EXPECT_EQ(FloatHex(EncodeBlockTradeValue(1234.7, 10.00, 9.00)), "33439a44");   // 1234.1
  EXPECT_EQ(FloatHex(EncodeBlockTradeValue(1234.7, 10.00, 10.50)), "9a419ac4");  // -1234.05
  EXPECT_EQ(EncodeBlockTradeValue(1234.7, 10.00, 10.00), -1234.0f);
  for (double spj : {0.0, -3.0}) {
    const float v = EncodeBlockTradeValue(1234.7, spj, 9.0);
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(v, -1234.0f);
  }
}

TEST(BlockTradeSeriesTest, MergeOfMixedSignsTakesTheNewestSignAndFraction) {
  EXPECT_FLOAT_EQ(MergeBlockTradeValues(1234.1f, 500.2f), 1734.2f);
  EXPECT_FLOAT_EQ(MergeBlockTradeValues(-1234.05f, -500.1f), -1734.1f);
  EXPECT_FLOAT_EQ(MergeBlockTradeValues(1234.1f, -500.05f), -1734.05f);  // not 733.95
  EXPECT_FLOAT_EQ(MergeBlockTradeValues(-1234.05f, 500.2f), 1734.2f);
}

TEST(BlockTradeSeriesTest, DatesAreReadAsDays) {
  EXPECT_EQ(SeriesDateNumber("2015-07-01"), 20150701);
  EXPECT_EQ(SeriesDateNumber("2015-7-1"), 20150701);
  EXPECT_EQ(SeriesDateNumber("2015-07-01 00:00:00"), 20150701);
  EXPECT_FALSE(SeriesDateNumber("2015-02-30"));
  EXPECT_FALSE(SeriesDateNumber("20150701"));
  EXPECT_FALSE(SeriesDateNumber(""));
  EXPECT_EQ(BlockTradeDayText("2015-07-01 00:00:00"), "2015-07-01");
  EXPECT_EQ(BlockTradeDayText("2015-7-1 x"), "2015-7-1");
  EXPECT_EQ(BlockTradeDayText("15-7-1 x"), "15-7-1 x");  // under 10 characters: not cut
}

TEST(BlockTradeSeriesTest, TradesOfOneStockAndDayBecomeOneRecord) {
  TempProgramFolder folder;
  CSeriesWriter writer(false);
  CBlockTradeSeries series(writer, folder.Path());
  CBlockTradeRow a;
  a.Day = "2015-07-01";
  a.StockCode = "600519";
  a.nCount = 1;
  a.CJSL = 100;
  a.CJJE = 1234.1f;
  CBlockTradeRow other = a;
  other.StockCode = "000001";
  CBlockTradeRow b = a;
  b.CJSL = 50;
  b.CJJE = 500.2f;
  series.MergeBlockTradeByStock(a);
  series.MergeBlockTradeByStock(other);
  series.MergeBlockTradeByStock(b);
  ASSERT_EQ(series.DayList().size(), 2u);
  EXPECT_EQ(series.DayList()[0].StockCode, "000001");
  const CBlockTradeRow& merged = series.DayList()[1];
  EXPECT_EQ(merged.StockCode, "600519");
  EXPECT_EQ(merged.nCount, 2);
  EXPECT_EQ(merged.CJSL, 150);
  EXPECT_FLOAT_EQ(merged.CJJE, 1734.2f);
  series.ExportBlockTradeSeries();
  EXPECT_TRUE(series.DayList().empty());
  EXPECT_EQ(ParseSeriesRecords(folder.ReadFile("1_600519.dat")),
            (std::vector<SeriesRecord>{{20150701, merged.CJJE}}));
  EXPECT_TRUE(folder.Exists("0_000001.dat"));
  EXPECT_TRUE(folder.Exists("0000000--298大宗交易 .txt"));
}

class BlockTradeScanTest : public testing::Test {
 protected:
  BlockTradeScanTest() : db(folder.Path()) {
    std::filesystem::create_directory(folder.Path() + "/298");
  }
  void AddDays(int count) {
    for (int d = 1; d <= count; ++d) {
      const std::string day = "2015-07-0" + std::to_string(d);
      db.AddTrade(day, "600519", "茅台", 1, 10.0, 9.0, 100, 1000.0 + d, "买", "卖");
      db.AddTrade(day, "000001", "平安", 1, 10.0, 11.0, 100, 2000.0 + d, "买", "卖");
    }
  }
  std::vector<SeriesRecord> Records(const std::string& name) {
    return ParseSeriesRecords(ReadWholeFile(folder.Path() + "/298/" + name));
  }
  TempProgramFolder folder;
  DbBuilder db;
  CSeriesWriter writer{true};
};

TEST_F(BlockTradeScanTest, NewestNDaysOnly) {
  AddDays(5);
  CBlockTradeSeries series(writer, folder.Path() + "/298");
  std::vector<int> progress;
  const auto scan = series.LoadBlockTrades(db.Market(), 3, [&](int d) { progress.push_back(d); });
  ASSERT_TRUE(writer.Flush());
  EXPECT_TRUE(scan.queryOk);
  EXPECT_EQ(scan.daysRead, 3);
  EXPECT_EQ(scan.rowsRead, 6) << "no row of day four is used";
  EXPECT_EQ(progress, (std::vector<int>{1, 1, 2, 2, 3, 3}));
  const auto records = Records("1_600519.dat");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records.front().date, 20150703);
  EXPECT_EQ(records.back().date, 20150705);
  EXPECT_FLOAT_EQ(records.back().value, 1005.1f);
  EXPECT_FLOAT_EQ(Records("0_000001.dat").back().value, -2005.1f);
}

TEST_F(BlockTradeScanTest, FewerDaysThanNWritesAllAndNBelowOneIsOne) {
  AddDays(2);
  CBlockTradeSeries series(writer, folder.Path() + "/298");
  EXPECT_EQ(series.LoadBlockTrades(db.Market(), 10).daysRead, 2);
  ASSERT_TRUE(writer.Flush());
  EXPECT_EQ(Records("1_600519.dat").size(), 2u) << "the oldest day is written at the end of the rows";
  EXPECT_EQ(series.LoadBlockTrades(db.Market(), -5).daysRead, 1);
}

TEST_F(BlockTradeScanTest, TheLastStoredTradeOfADaySetsTheFraction) {
  db.AddTrade("2015-07-01", "600519", "茅台", 1, 10.0, 9.0, 100, 1000.0, "买", "卖");   // +0.1
  db.AddTrade("2015-07-01", "600519", "茅台", 2, 10.0, 10.5, 200, 500.0, "买", "卖");  // -0.05
  CBlockTradeSeries series(writer, folder.Path() + "/298");
  series.LoadBlockTrades(db.Market(), 1);
  ASSERT_TRUE(writer.Flush());
  EXPECT_EQ(Records("1_600519.dat"), (std::vector<SeriesRecord>{{20150701, -1500.05f}}));
}

TEST_F(BlockTradeScanTest, StopDropsTheDay) {
  AddDays(2);
  std::stop_source stop;
  stop.request_stop();
  CBlockTradeSeries series(writer, folder.Path() + "/298");
  EXPECT_TRUE(series.LoadBlockTrades(db.Market(), 5, {}, stop.get_token()).stopped);
  ASSERT_TRUE(writer.Flush());
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/298/1_600519.dat"));
}

}  // namespace
