// Storing one block trade: every value bound, the day stored as its text, an identity
// already taken told apart from a failure, a closed connection refused.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "acquisition/block_trade_job.h"
#include "storage/ado_recordset.h"

namespace {

CBlockTradeRow Trade() {
  CBlockTradeRow t;
  t.Day = "2017-02-06";
  t.StockCode = "600036";
  t.StockName = "招商'银行";
  t.nCount = 2;
  t.SPJ = 12.3f;
  t.CJJ = 11.07f;
  t.CJSL = 120;
  t.CJJE = 1328.0f;
  t.BuyName = "机构专用";
  t.SellName = "中信证券股份有限公司上海南京西路证券营业部";
  return t;
}

class BlockTradeStoreTest : public testing::Test {
 protected:
  TempProgramFolder folder_;
  DbBuilder builder_{folder_.Path()};
};

}  // namespace

TEST_F(BlockTradeStoreTest, ATradeIsStoredWithEveryValueBound) {
  std::vector<std::string> statements;
  std::mutex mutex;
  builder_.Market().SetStatementTrace([&](const std::string& sql) {
    std::lock_guard lock(mutex);
    statements.push_back(sql);
  });
  ASSERT_EQ(BlockTradeJob::InsertBlockTrade(builder_.Market(), Trade()), kBlockTradeStored);
  builder_.Market().SetStatementTrace({});
  for (const std::string& sql : statements) {
    for (const char* value : {"2017-02-06", "600036", "招商", "机构专用", "12.3", "1328"}) {
      EXPECT_EQ(sql.find(value), std::string::npos) << sql;
    }
  }

  CADORecordset rs(&builder_.Market());
  ASSERT_TRUE(rs.Open("SELECT DZJY_ID, StockName, StockCode, DZJY_Date || '' AS Day, typeof(DZJY_Date) AS Kind, "
                      "RowNumber, SPJ, CJJ, CJSL, CJJE, BuyName, SellName FROM DZJY"));
  ASSERT_FALSE(rs.IsEof());
  std::string id, name, code, day, kind, buyer, seller;
  int row = 0, volume = 0;
  double close = 0, price = 0, amount = 0;
  rs.GetFieldValue("DZJY_ID", id);
  rs.GetFieldValue("StockName", name);
  rs.GetFieldValue("StockCode", code);
  rs.GetFieldValue("Day", day);
  rs.GetFieldValue("Kind", kind);
  rs.GetFieldValue("RowNumber", row);
  rs.GetFieldValue("SPJ", close);
  rs.GetFieldValue("CJJ", price);
  rs.GetFieldValue("CJSL", volume);
  rs.GetFieldValue("CJJE", amount);
  rs.GetFieldValue("BuyName", buyer);
  rs.GetFieldValue("SellName", seller);
  EXPECT_EQ(id, "2017-02-066000362");
  EXPECT_EQ(name, "招商'银行");
  EXPECT_EQ(code, "600036");
  EXPECT_EQ(day, "2017-02-06");
  EXPECT_EQ(kind, "text");
  EXPECT_EQ(row, 2);
  EXPECT_EQ(close, 12.3);  // the float as its six decimals read
  EXPECT_EQ(price, 11.07);
  EXPECT_EQ(volume, 120);
  EXPECT_EQ(amount, 1328.0);
  EXPECT_EQ(buyer, "机构专用");
  EXPECT_EQ(seller, "中信证券股份有限公司上海南京西路证券营业部");
}

TEST_F(BlockTradeStoreTest, AnIdentityTakenIsToldApartAndStoresNothing) {
  ASSERT_EQ(BlockTradeJob::InsertBlockTrade(builder_.Market(), Trade()), kBlockTradeStored);
  CBlockTradeRow again = Trade();
  again.CJJ = 1.0f;
  EXPECT_EQ(BlockTradeJob::InsertBlockTrade(builder_.Market(), again), kBlockTradeAlreadyStored);
  CBlockTradeRow next = Trade();
  next.nCount = 3;
  EXPECT_EQ(BlockTradeJob::InsertBlockTrade(builder_.Market(), next), kBlockTradeStored);
  CADORecordset rs(&builder_.Market());
  ASSERT_TRUE(rs.Open("SELECT COUNT(*) AS n, SUM(CJJ) AS s FROM DZJY"));
  int n = 0;
  double sum = 0;
  rs.GetFieldValue("n", n);
  rs.GetFieldValue("s", sum);
  EXPECT_EQ(n, 2);
  EXPECT_NEAR(sum, 2 * 11.07, 1e-9);
}

TEST_F(BlockTradeStoreTest, ATradeWithoutARealDayFailsAndAClosedConnectionIsRefused) {
  CBlockTradeRow bad = Trade();
  bad.Day = "2017-02-30";
  EXPECT_EQ(BlockTradeJob::InsertBlockTrade(builder_.Market(), bad), kBlockTradeInsertFailed);
  builder_.Market().Close();
  EXPECT_EQ(BlockTradeJob::InsertBlockTrade(builder_.Market(), Trade()), kBlockTradeDbClosed);
}
