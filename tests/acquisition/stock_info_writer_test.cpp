#include "acquisition/stock_info_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "../support/zero_sleeper.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"

namespace {

StockRecord MakeRecord(const std::string& code, int isDownloadOK = 1, const std::string& day = "2017-02-06") {
  StockRecord r;
  r.IsDownloadOK = isDownloadOK;
  r.StockName = "国农科技";
  r.StockCode = code;
  r.SB_Date = day;
  r.SB_Reason = "日涨幅偏离值达7%的证券";
  r.ZuoShou = 22.82;
  r.JinKai = 23.0;
  r.JinShou = 25.1;
  r.ZhangFu = 10.0088;
  r.HuanShou = 12.5;
  r.ZhenFu = 9.75;
  r.DRCJL = 996015.0;
  r.Amount = 25000.0;
  for (int i = 0; i < 5; ++i) {
    r.BuySeats[i] = {"买方证券上海" + std::to_string(i + 1) + "路证券营业部", 100.0 + i, 1.0 + i};
    r.SellSeats[i] = {"卖方证券深圳" + std::to_string(i + 1) + "路证券营业部", 2.0 + i, 200.0 + i};
  }
  return r;
}

// One stored row, read back through the program's own recordset.
class StoredRow {
 public:
  StoredRow(CADODataBase& db, const std::string& identity) : rows_(&db) {
    ok_ = rows_.Open("SELECT * FROM StockInfo WHERE StockInfo_ID=?", {identity}) && rows_.GetRecordCount() == 1;
  }
  bool Exists() const { return ok_; }
  std::string Text(const char* column) {
    std::string value;
    EXPECT_TRUE(rows_.GetFieldValue(column, value)) << column;
    return value;
  }
  double Number(const char* column) {
    double value = -12345;
    EXPECT_TRUE(rows_.GetFieldValue(column, value)) << column;
    return value;
  }
  bool IsNull(const std::string& column) { return rows_.IsFieldNull(column); }

 private:
  CADORecordset rows_;
  bool ok_ = false;
};

long CountRows(CADODataBase& db) {
  CADORecordset rows(&db);
  if (!rows.Open("SELECT StockInfo_ID FROM StockInfo")) return -1;
  return rows.GetRecordCount();
}

std::string Seat(const char* side, int n, const char* what) {
  return std::string(side) + std::to_string(n) + "_YYB_" + what;
}

class StockInfoWriterTest : public ::testing::Test {
 protected:
  StockInfoWriterTest() : folder_(Options()), builder_(folder_.Path()), writer_(Db(), sleeper_, counters_) {}

  static TempProgramFolder::Options Options() {
    TempProgramFolder::Options options;
    options.setGlobals = false;
    return options;
  }
  CADODataBase& Db() { return builder_.Market(); }

  // Statements run on the market connection, transaction control left out.
  void TraceWrites() {
    std::vector<std::string>* sink = &trace_;
    Db().SetStatementTrace([sink](const std::string& sql) {
      if (sql.starts_with("INSERT") || sql.starts_with("UPDATE") || sql.starts_with("DELETE")) sink->push_back(sql);
    });
  }

  TempProgramFolder folder_;
  DbBuilder builder_;
  ZeroSleeper sleeper_;
  StockInsertCounters counters_;
  CStockInfoWriter writer_;
  std::vector<std::string> trace_;
};

// ---------------------------------------------------------------------------------
// Identity and rounding

TEST(StockInfoIdentity, FormAndCheck) {
  EXPECT_EQ(MakeStockInfoId("2012-07-27", "603000"), "2012-07-27,603000");
  EXPECT_TRUE(IsWellFormedStockInfoId("2012-07-27,603000"));
  EXPECT_TRUE(IsWellFormedStockInfoId("2012-07-27,6030"));   // 15 characters: the shortest accepted
  EXPECT_FALSE(IsWellFormedStockInfoId("2012-07-27,603"));   // 14
  EXPECT_FALSE(IsWellFormedStockInfoId("20120727,603000"));  // eight digits, no hyphens
  EXPECT_FALSE(IsWellFormedStockInfoId("2012/07-27,603000"));
  EXPECT_FALSE(IsWellFormedStockInfoId("2012-07/27,603000"));
  EXPECT_FALSE(IsWellFormedStockInfoId(""));
  // Counted in GBK bytes: "年" takes two, so the hyphens are not at bytes 5 and 8.
  EXPECT_FALSE(IsWellFormedStockInfoId("201年-07-27,603000"));
}

TEST(RoundAsFormatted, MatchesPrintfRounding) {
  EXPECT_DOUBLE_EQ(RoundAsFormatted(1.0 / 3.0, 3), 0.333);
  EXPECT_DOUBLE_EQ(RoundAsFormatted(2.0 / 3.0, 3), 0.667);
  EXPECT_DOUBLE_EQ(RoundAsFormatted(1.0 / 3.0, 6), 0.333333);
  EXPECT_DOUBLE_EQ(RoundAsFormatted(1234.5, 3), 1234.5);
  EXPECT_DOUBLE_EQ(RoundAsFormatted(-0.0004, 3), 0.0);
  EXPECT_DOUBLE_EQ(RoundAsFormatted(1e300, 6), 1e300);
  EXPECT_EQ(RoundAsFormatted(std::nan(""), 3), 0.0);
  EXPECT_EQ(RoundAsFormatted(HUGE_VAL, 6), 0.0);
  EXPECT_EQ(RoundAsFormatted(-HUGE_VAL, 6), 0.0);
  // Values whose binary form sits just beside a rounding boundary, against printf.
  for (double v : {0.0005, 2.0005, 1.0005, 0.1235, 2.675, 1.0000005, 123456.0000005, -7.0625}) {
    for (int decimals : {3, 6}) {
      std::string text(64, '\0');
      text.resize(std::snprintf(text.data(), text.size(), "%.*f", decimals, v));
      EXPECT_EQ(RoundAsFormatted(v, decimals), std::stod(text)) << v << " to " << decimals;
    }
  }
}

// ---------------------------------------------------------------------------------
// Insert

TEST_F(StockInfoWriterTest, CompleteRecordStoresRowAndSeats) {
  StockRecord record = MakeRecord("000004");
  counters_.m_nMarket = 1;
  ASSERT_EQ(writer_.InsertStockInfo(record), kStockWriteOk) << Db().GetLastErrorText();

  StoredRow row(Db(), "2017-02-06,000004");
  ASSERT_TRUE(row.Exists());
  EXPECT_EQ(row.Number("IsDownloadOK"), 1);
  EXPECT_EQ(row.Text("StockName"), "国农科技");
  EXPECT_EQ(row.Text("StockCode"), "000004");
  EXPECT_EQ(row.Text("SB_Date"), "2017-02-06");
  EXPECT_EQ(row.Text("SB_Reason"), "日涨幅偏离值达7%的证券");
  EXPECT_DOUBLE_EQ(row.Number("ZuoShou"), 22.82);
  EXPECT_DOUBLE_EQ(row.Number("JinKai"), 23.0);
  EXPECT_DOUBLE_EQ(row.Number("JinShou"), 25.1);
  EXPECT_DOUBLE_EQ(row.Number("ZhangFu"), 10.0088);
  EXPECT_DOUBLE_EQ(row.Number("HuanShou"), 12.5);
  EXPECT_DOUBLE_EQ(row.Number("ZhenFu"), 9.75);
  EXPECT_DOUBLE_EQ(row.Number("DRCJL"), 996015.0);
  EXPECT_DOUBLE_EQ(row.Number("Amount"), 25000.0);
  for (int n = 1; n <= 5; ++n) {
    EXPECT_EQ(row.Text(Seat("Buy", n, "Name").c_str()), record.BuySeats[n - 1].name);
    EXPECT_DOUBLE_EQ(row.Number(Seat("Buy", n, "BuyAmount").c_str()), 100.0 + n - 1);
    EXPECT_DOUBLE_EQ(row.Number(Seat("Buy", n, "SellAmount").c_str()), 1.0 + n - 1);
    EXPECT_EQ(row.Text(Seat("Sell", n, "Name").c_str()), record.SellSeats[n - 1].name);
    EXPECT_DOUBLE_EQ(row.Number(Seat("Sell", n, "BuyAmount").c_str()), 2.0 + n - 1);
    EXPECT_DOUBLE_EQ(row.Number(Seat("Sell", n, "SellAmount").c_str()), 200.0 + n - 1);
  }
  EXPECT_EQ(counters_.m_nInsertDB_StockCounter, 1);
  EXPECT_EQ(counters_.m_nInsertedSh, 1);
  EXPECT_EQ(sleeper_.Waits(), std::vector<int>{1});
  EXPECT_FALSE(Db().InTransaction());
}

TEST_F(StockInfoWriterTest, IncompleteRecordIsOneInsertWithEmptySeats) {
  TraceWrites();
  StockRecord record = MakeRecord("000004", 2);
  counters_.m_nMarket = 3;
  ASSERT_EQ(writer_.InsertStockInfo(record), kStockWriteOk);
  Db().SetStatementTrace(nullptr);

  ASSERT_EQ(trace_.size(), 1u);
  EXPECT_TRUE(trace_[0].starts_with("INSERT INTO StockInfo"));
  StoredRow row(Db(), "2017-02-06,000004");
  ASSERT_TRUE(row.Exists());
  EXPECT_EQ(row.Number("IsDownloadOK"), 2);
  for (const char* side : {"Buy", "Sell"}) {
    for (int n = 1; n <= 5; ++n) {
      EXPECT_TRUE(row.IsNull(Seat(side, n, "Name"))) << side << n;
      EXPECT_TRUE(row.IsNull(Seat(side, n, "BuyAmount"))) << side << n;
    }
  }
  EXPECT_EQ(counters_.m_nInsertDB_StockCounter, 0);
  EXPECT_EQ(counters_.m_nInsertedSzSme, 1);  // the board counter rises whatever IsDownloadOK is
  EXPECT_TRUE(sleeper_.Waits().empty());
  EXPECT_EQ(record.BuySeats, MakeRecord("000004", 2).BuySeats);  // names not touched without seats
}

TEST_F(StockInfoWriterTest, OnlyTheBoardOfTheMarketIsCounted) {
  for (int market = 0; market <= 5; ++market) {
    StockInsertCounters counters;
    counters.m_nMarket = market;
    CStockInfoWriter writer(Db(), sleeper_, counters);
    StockRecord record = MakeRecord("60000" + std::to_string(market), market % 2 == 0 ? 1 : 2);
    ASSERT_EQ(writer.InsertStockInfo(record), kStockWriteOk);
    EXPECT_EQ(counters.m_nInsertedSh, market == 1 ? 1 : 0) << market;
    EXPECT_EQ(counters.m_nInsertedSzMain, market == 2 ? 1 : 0) << market;
    EXPECT_EQ(counters.m_nInsertedSzSme, market == 3 ? 1 : 0) << market;
    EXPECT_EQ(counters.m_nInsertedSzGrowth, market == 4 ? 1 : 0) << market;
  }
}

TEST_F(StockInfoWriterTest, NameIsCleanedAndSeatNamesCompleted) {
  StockRecord record = MakeRecord("000004");
  record.StockName = " 国 农科技  ";
  record.BuySeats[0].name = "华泰证券上海武定路证券营业";
  record.BuySeats[1].name = "华泰证券上海武定路证券营";
  record.BuySeats[2].name = "华泰证券上海武定路证券营业部";
  record.SellSeats[4].name = "中信证券杭州延安路证券营";
  ASSERT_EQ(writer_.InsertStockInfo(record), kStockWriteOk);

  StoredRow row(Db(), "2017-02-06,000004");
  ASSERT_TRUE(row.Exists());
  EXPECT_EQ(row.Text("StockName"), "国农科技");
  EXPECT_EQ(row.Text("Buy1_YYB_Name"), "华泰证券上海武定路证券营业部");
  EXPECT_EQ(row.Text("Buy2_YYB_Name"), "华泰证券上海武定路证券营业部");
  EXPECT_EQ(row.Text("Buy3_YYB_Name"), "华泰证券上海武定路证券营业部");
  EXPECT_EQ(row.Text("Sell5_YYB_Name"), "中信证券杭州延安路证券营业部");
  // The completed names are handed back in the record.
  EXPECT_EQ(record.BuySeats[1].name, "华泰证券上海武定路证券营业部");
  EXPECT_EQ(record.SellSeats[4].name, "中信证券杭州延安路证券营业部");
  EXPECT_EQ(record.StockName, " 国 农科技  ");  // the cleaning is for the row only
}

TEST_F(StockInfoWriterTest, ManySpacesKeepThoseBeyondTheEighth) {
  StockRecord record = MakeRecord("000004");
  record.StockName = "A B C D E F G H I J";
  ASSERT_EQ(writer_.InsertStockInfo(record), kStockWriteOk);
  EXPECT_EQ(StoredRow(Db(), "2017-02-06,000004").Text("StockName"), "ABCDEFGHI J");
}

TEST_F(StockInfoWriterTest, AmountsAreRoundedLikeTheirTextForms) {
  StockRecord record = MakeRecord("000004");
  record.BuySeats[0].buy = 1234.5;
  record.BuySeats[0].sell = 1.0 / 3.0;
  record.SellSeats[2].sell = 2.0 / 3.0;
  record.JinShou = 1.0 / 3.0;
  record.Amount = 1234.56789012;
  ASSERT_EQ(writer_.InsertStockInfo(record), kStockWriteOk);

  StoredRow row(Db(), "2017-02-06,000004");
  EXPECT_EQ(row.Number("Buy1_YYB_BuyAmount"), 1234.5);
  EXPECT_EQ(row.Number("Buy1_YYB_SellAmount"), 0.333);
  EXPECT_EQ(row.Number("Sell3_YYB_SellAmount"), 0.667);
  EXPECT_EQ(row.Number("JinShou"), 0.333333);
  EXPECT_EQ(row.Number("Amount"), 1234.56789);
}

TEST_F(StockInfoWriterTest, QuotesPercentAndUnderscoreSurvive) {
  StockRecord record = MakeRecord("000004");
  record.StockName = "O'Neil_100%";
  record.SB_Reason = "it's 7% off_limit'; DROP TABLE StockInfo; --";
  record.BuySeats[0].name = "D'Arcy_证券%营业部";
  ASSERT_EQ(writer_.InsertStockInfo(record), kStockWriteOk);

  StoredRow row(Db(), "2017-02-06,000004");
  ASSERT_TRUE(row.Exists());
  EXPECT_EQ(row.Text("StockName"), "O'Neil_100%");
  EXPECT_EQ(row.Text("SB_Reason"), "it's 7% off_limit'; DROP TABLE StockInfo; --");
  EXPECT_EQ(row.Text("Buy1_YYB_Name"), "D'Arcy_证券%营业部");
}

TEST_F(StockInfoWriterTest, TextIsCutToTheColumnCaps) {
  StockRecord record = MakeRecord("000004");
  record.StockName = "一二三四五六七八九十一二三四五六七八九十";  // 40 GBK bytes
  record.SB_Reason = std::string(98, 'r') + "原因";
  record.BuySeats[0].name = std::string(195, 'a') + "营";  // 197 bytes, 201 once completed
  ASSERT_EQ(writer_.InsertStockInfo(record), kStockWriteOk);

  StoredRow row(Db(), "2017-02-06,000004");
  EXPECT_EQ(row.Text("StockName"), "一二三四五六七八九十一二三四");
  EXPECT_EQ(row.Text("SB_Reason"), std::string(98, 'r'));
  const std::string seat = row.Text("Buy1_YYB_Name");
  EXPECT_EQ(seat, std::string(195, 'a') + "营业");
  EXPECT_LE(GbkByteLength(seat), 199u);
}

TEST_F(StockInfoWriterTest, MalformedIdentityWritesNothing) {
  TraceWrites();
  StockRecord record = MakeRecord("000004", 1, "20170206");
  EXPECT_EQ(writer_.InsertStockInfo(record), kStockWriteBadIdentity);
  EXPECT_EQ(writer_.UpdateStockInfo(record), kStockWriteBadIdentity);
  record = MakeRecord("", 1, "2017-02-6");  // "2017-02-6," is 10 characters
  EXPECT_EQ(writer_.InsertStockInfo(record), kStockWriteBadIdentity);
  Db().SetStatementTrace(nullptr);

  EXPECT_TRUE(trace_.empty());
  EXPECT_EQ(CountRows(Db()), 0);
  EXPECT_EQ(counters_.m_nInsertDB_StockCounter, 0);
  EXPECT_TRUE(sleeper_.Waits().empty());
}

TEST_F(StockInfoWriterTest, DuplicateFailsAndLeavesStoredRow) {
  counters_.m_nMarket = 2;
  StockRecord first = MakeRecord("000004");
  ASSERT_EQ(writer_.InsertStockInfo(first), kStockWriteOk);

  StockRecord second = MakeRecord("000004");
  second.StockName = "另一个名";
  second.JinShou = 99.0;
  second.BuySeats[0] = {"别的证券营业部", 7.0, 8.0};
  EXPECT_EQ(writer_.InsertStockInfo(second), kStockWriteFailed);

  EXPECT_EQ(CountRows(Db()), 1);
  StoredRow row(Db(), "2017-02-06,000004");
  EXPECT_EQ(row.Text("StockName"), "国农科技");
  EXPECT_DOUBLE_EQ(row.Number("JinShou"), 25.1);
  EXPECT_EQ(row.Text("Buy1_YYB_Name"), first.BuySeats[0].name);
  EXPECT_DOUBLE_EQ(row.Number("Buy1_YYB_BuyAmount"), 100.0);
  EXPECT_EQ(counters_.m_nInsertDB_StockCounter, 1);
  EXPECT_EQ(counters_.m_nInsertedSzMain, 1);
  EXPECT_FALSE(Db().InTransaction());
}

TEST_F(StockInfoWriterTest, FailedSeatWriteLeavesNoRowAndNoCount) {
  ASSERT_TRUE(Db().Execute(
      "CREATE TRIGGER refuse_seat BEFORE INSERT ON StockInfo "
      "WHEN NEW.Buy3_YYB_Name = '拒绝营业部' BEGIN SELECT RAISE(ABORT, 'seat refused'); END"));
  counters_.m_nMarket = 1;
  StockRecord record = MakeRecord("000004");
  record.BuySeats[2].name = "拒绝营业部";
  EXPECT_EQ(writer_.InsertStockInfo(record), kStockWriteFailed);

  EXPECT_EQ(CountRows(Db()), 0);
  EXPECT_EQ(counters_.m_nInsertDB_StockCounter, 0);
  EXPECT_EQ(counters_.m_nInsertedSh, 0);
  EXPECT_FALSE(Db().InTransaction());

  // The connection is usable again at once.
  StockRecord next = MakeRecord("000005");
  EXPECT_EQ(writer_.InsertStockInfo(next), kStockWriteOk);
  EXPECT_EQ(counters_.m_nInsertDB_StockCounter, 1);
}

TEST_F(StockInfoWriterTest, WriteLockHeldElsewhereFails) {
  CADODataBase locker;
  ASSERT_TRUE(locker.Open("Data Source=" + builder_.MarketPath() + ";"));
  CADODataBase writerDb;
  writerDb.SetConnectionTimeout(1);  // a bounded wait for the lock
  ASSERT_TRUE(writerDb.Open("Data Source=" + builder_.MarketPath() + ";"));
  ASSERT_TRUE(locker.BeginTrans());

  StockInsertCounters counters;
  counters.m_nMarket = 4;
  CStockInfoWriter writer(writerDb, sleeper_, counters);
  StockRecord record = MakeRecord("300001");
  EXPECT_EQ(writer.InsertStockInfo(record), kStockWriteFailed);
  EXPECT_EQ(writer.UpdateStockInfo(record), kStockWriteFailed);
  ASSERT_TRUE(locker.RollbackTrans());

  EXPECT_EQ(CountRows(Db()), 0);
  EXPECT_EQ(counters.m_nInsertDB_StockCounter, 0);
  EXPECT_EQ(counters.m_nInsertedSzGrowth, 0);
  EXPECT_EQ(writer.InsertStockInfo(record), kStockWriteOk);  // once the lock is gone
}

TEST_F(StockInfoWriterTest, ClosedDatabaseGivesNotOpen) {
  CADODataBase closed;
  CStockInfoWriter writer(closed, sleeper_, counters_);
  counters_.m_nMarket = 1;
  StockRecord record = MakeRecord("000004");
  EXPECT_EQ(writer.InsertStockInfo(record), kStockWriteNotOpen);
  EXPECT_EQ(writer.UpdateStockInfo(record), kStockWriteNotOpen);
  EXPECT_EQ(counters_.m_nInsertDB_StockCounter, 0);
  EXPECT_EQ(counters_.m_nInsertedSh, 0);
  EXPECT_TRUE(sleeper_.Waits().empty());

  // The identity is checked first.
  StockRecord bad = MakeRecord("000004", 1, "2017");
  EXPECT_EQ(writer.InsertStockInfo(bad), kStockWriteBadIdentity);
}

// ---------------------------------------------------------------------------------
// Update

TEST_F(StockInfoWriterTest, UpdateCompletesIncompleteRow) {
  StockRecord stored = MakeRecord("000004", 2);
  ASSERT_EQ(writer_.InsertStockInfo(stored), kStockWriteOk);

  // The fill-in hands in the prices it read from the row, and fresh seats.
  StockRecord filled = MakeRecord("000004", 1);
  filled.ZhangFu = -3.0;             // the completed row takes the new change
  filled.StockName = "别的名字";      // not rewritten
  filled.SB_Reason = "别的原因";      // not rewritten
  filled.JinShou = 26.0;
  filled.Amount = 1.0 / 3.0;
  filled.BuySeats[0] = {"东方财富证券拉萨团结路第二证券营业", 1234.5, 0.0};
  StockInsertCounters before = counters_;
  ASSERT_EQ(writer_.UpdateStockInfo(filled), kStockWriteOk) << Db().GetLastErrorText();

  StoredRow row(Db(), "2017-02-06,000004");
  EXPECT_EQ(row.Number("IsDownloadOK"), 1);
  EXPECT_EQ(row.Text("StockName"), "国农科技");
  EXPECT_EQ(row.Text("SB_Reason"), "日涨幅偏离值达7%的证券");
  EXPECT_DOUBLE_EQ(row.Number("ZhangFu"), -3.0);
  EXPECT_DOUBLE_EQ(row.Number("JinShou"), 26.0);
  EXPECT_EQ(row.Number("Amount"), 0.333333);
  EXPECT_DOUBLE_EQ(row.Number("ZuoShou"), 22.82);
  EXPECT_EQ(row.Text("Buy1_YYB_Name"), "东方财富证券拉萨团结路第二证券营业部");
  EXPECT_EQ(row.Number("Buy1_YYB_BuyAmount"), 1234.5);
  EXPECT_EQ(row.Text("Sell5_YYB_Name"), filled.SellSeats[4].name);
  EXPECT_EQ(counters_.m_nInsertDB_StockCounter, before.m_nInsertDB_StockCounter);
  EXPECT_EQ(sleeper_.Waits(), std::vector<int>{1});
}

TEST_F(StockInfoWriterTest, UpdateStillIncompleteLeavesSeatsEmpty) {
  StockRecord stored = MakeRecord("000004", 2);
  ASSERT_EQ(writer_.InsertStockInfo(stored), kStockWriteOk);
  TraceWrites();
  StockRecord again = MakeRecord("000004", 2);
  again.DRCJL = 42.0;
  ASSERT_EQ(writer_.UpdateStockInfo(again), kStockWriteOk);
  Db().SetStatementTrace(nullptr);

  ASSERT_EQ(trace_.size(), 1u);
  StoredRow row(Db(), "2017-02-06,000004");
  EXPECT_EQ(row.Number("IsDownloadOK"), 2);
  EXPECT_DOUBLE_EQ(row.Number("DRCJL"), 42.0);
  EXPECT_TRUE(row.IsNull("Buy1_YYB_Name"));
  EXPECT_TRUE(sleeper_.Waits().empty());
}

TEST_F(StockInfoWriterTest, UpdateOfMissingRowFails) {
  StockRecord record = MakeRecord("000004");
  EXPECT_EQ(writer_.UpdateStockInfo(record), kStockWriteFailed);
  EXPECT_EQ(CountRows(Db()), 0);
}

TEST_F(StockInfoWriterTest, FailedSeatUpdateKeepsStoredFigures) {
  StockRecord stored = MakeRecord("000004", 2);
  ASSERT_EQ(writer_.InsertStockInfo(stored), kStockWriteOk);
  ASSERT_TRUE(Db().Execute(
      "CREATE TRIGGER refuse_seat BEFORE UPDATE OF Sell1_YYB_SellAmount ON StockInfo "
      "WHEN NEW.Sell1_YYB_SellAmount > 9000 BEGIN SELECT RAISE(ABORT, 'seat refused'); END"));

  StockRecord filled = MakeRecord("000004", 1);
  filled.JinShou = 30.0;
  filled.SellSeats[0].sell = 9999.0;
  EXPECT_EQ(writer_.UpdateStockInfo(filled), kStockWriteFailed);

  StoredRow row(Db(), "2017-02-06,000004");
  EXPECT_EQ(row.Number("IsDownloadOK"), 2);
  EXPECT_DOUBLE_EQ(row.Number("JinShou"), 25.1);
  EXPECT_TRUE(row.IsNull("Sell1_YYB_Name"));
}

// ---------------------------------------------------------------------------------
// Threads: each job has its own counters; the connection gives each thread a handle.

TEST_F(StockInfoWriterTest, ConcurrentJobsStoreEveryRow) {
  constexpr int kRowsPerJob = 40;
  StockInsertCounters counters[2];
  std::vector<std::thread> jobs;
  for (int job = 0; job < 2; ++job) {
    jobs.emplace_back([this, job, &counters] {
      counters[job].m_nMarket = job + 1;
      CStockInfoWriter writer(Db(), sleeper_, counters[job]);
      for (int i = 0; i < kRowsPerJob; ++i) {
        const std::string code = std::to_string((job + 1) * 100000 + i);
        StockRecord record = MakeRecord(code, i % 4 == 0 ? 2 : 1);
        EXPECT_EQ(writer.InsertStockInfo(record), kStockWriteOk) << code;
      }
    });
  }
  for (std::thread& job : jobs) job.join();

  EXPECT_EQ(CountRows(Db()), 2 * kRowsPerJob);
  for (int job = 0; job < 2; ++job) {
    EXPECT_EQ(counters[job].m_nInsertDB_StockCounter, kRowsPerJob * 3 / 4);
    EXPECT_EQ(job == 0 ? counters[job].m_nInsertedSh : counters[job].m_nInsertedSzMain, kRowsPerJob);
  }
}

}  // namespace
