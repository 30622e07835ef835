// Mangled seat pages the whole way a download takes them: decoded and joined as a fetch
// does, parsed, and stored by the real StockInfo writer in a temporary database. What
// is stored must be sound: complete only when all three table bodies were read and
// the row committed, every seat taken from its own row of the page, text valid UTF-8
// within its cap, numbers finite. Some rows are made to fail inside their transaction,
// and then nothing of them may stay.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/page_generator.h"
#include "../support/page_mutator.h"
#include "../support/temp_program_folder.h"
#include "../support/zero_sleeper.h"
#include "acquisition/page_text.h"
#include "acquisition/seat_page_parser.h"
#include "acquisition/stock_info_writer.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"
#include "storage/ole_types.h"

namespace {

constexpr int kMutants = 3000;
constexpr int kForcedFailureEvery = 40;  // each such mutant's seat write is refused
constexpr const char* kDay = "2017-02-03";

// The three bodies a seat page needs, found the plain way: a "</tbody>" ends the
// skipped table, then two "<tbody>" each closed by its "</tbody>".
bool AllBodiesFound(const std::string& page) {
  std::size_t pos = page.find("</tbody>");
  if (pos == std::string::npos) return false;
  for (int t = 0; t < 2; ++t) {
    const std::size_t open = page.find("<tbody>", pos);
    if (open == std::string::npos) return false;
    pos = page.find("</tbody>", open + 7);
    if (pos == std::string::npos) return false;
    pos += 8;
  }
  return true;
}

// Some ">" of the row is followed by a number text that, stored to 3 decimals, is `stored`.
bool StoredAmountComesFrom(double stored, const std::string& row) {
  for (std::size_t gt = row.find('>'); gt != std::string::npos; gt = row.find('>', gt + 1)) {
    if (RoundAsFormatted(ParseNumberC(std::string_view(row).substr(gt + 1)), 3) == stored) return true;
  }
  return false;
}

struct StoredSeat {
  std::string name;
  double buy = 0;
  double sell = 0;
};

struct StoredRow {
  bool found = false;
  int isDownloadOK = 0;
  std::string name, reason;
  std::vector<double> figures;
  std::array<StoredSeat, 5> buy{}, sell{};
};

StoredRow ReadRow(CADODataBase& db, const std::string& identity) {
  StoredRow row;
  CADORecordset rs(&db);
  if (!rs.Open("SELECT * FROM StockInfo WHERE StockInfo_ID=?", {identity}) || rs.IsEof()) return row;
  row.found = true;
  rs.GetFieldValue("IsDownloadOK", row.isDownloadOK);
  rs.GetFieldValue("StockName", row.name);
  rs.GetFieldValue("SB_Reason", row.reason);
  for (const char* column : {"ZuoShou", "JinKai", "JinShou", "ZhangFu", "HuanShou", "ZhenFu", "DRCJL", "Amount"}) {
    double v = 0;
    rs.GetFieldValue(column, v);
    row.figures.push_back(v);
  }
  for (int n = 1; n <= 5; ++n) {
    for (auto [side, seats] : {std::pair{"Buy", &row.buy}, std::pair{"Sell", &row.sell}}) {
      StoredSeat& seat = (*seats)[n - 1];
      const std::string prefix = side + std::to_string(n);
      rs.GetFieldValue(prefix + "_YYB_Name", seat.name);
      rs.GetFieldValue(prefix + "_YYB_BuyAmount", seat.buy);
      rs.GetFieldValue(prefix + "_YYB_SellAmount", seat.sell);
    }
  }
  return row;
}

void CheckStoredSeats(const std::array<StoredSeat, 5>& seats, const std::vector<std::string>& rows, const char* table) {
  for (std::size_t i = 0; i < seats.size(); ++i) {
    const StoredSeat& seat = seats[i];
    EXPECT_TRUE(IsValidUtf8(seat.name)) << table;
    EXPECT_LE(GbkByteLength(seat.name), 199u) << table << ": " << seat.name;
    EXPECT_TRUE(std::isfinite(seat.buy) && std::isfinite(seat.sell)) << table;
    if (i >= rows.size()) {
      EXPECT_TRUE(seat.name.empty() && seat.buy == 0 && seat.sell == 0) << table << " seat " << i + 1 << " has no row";
      continue;
    }
    if (!seat.name.empty()) {
      EXPECT_TRUE(SeatNameOccursIn(seat.name, rows[i])) << table << " " << seat.name;
    }
    if (seat.buy != 0) {
      EXPECT_TRUE(StoredAmountComesFrom(seat.buy, rows[i])) << table << " " << seat.buy;
    }
    if (seat.sell != 0) {
      EXPECT_TRUE(StoredAmountComesFrom(seat.sell, rows[i])) << table << " " << seat.sell;
    }
  }
}

class ParserWriterMutationTest : public testing::Test {
 protected:
  void SetUp() override {
    // Refuses the seat write of every stock whose code starts with 9: the row and its
    // seats are one transaction, so nothing of such a row may be left.
    ASSERT_TRUE(builder_.Market().Execute(
        "CREATE TRIGGER refuse_seats BEFORE INSERT ON StockInfo WHEN NEW.StockCode LIKE '9%' "
        "AND NEW.IsDownloadOK = 1 "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    const MarketDay day = MakeMarketDay(kDay, 11);
    std::set<SeatPageKind> kinds;
    for (const MarketStock& stock : day.stocks) {
      if (kinds.insert(stock.seatPage).second || seeds_.size() < 8) seeds_.push_back(RenderSeatPage(day, stock));
    }
    base_ = day.stocks.front();
  }

  // One mutant through decoding, the parser and the writer; then what was stored is
  // checked against the decoded page.
  void RunMutant(const std::string& gbk, int number) {
    const bool refused = number % kForcedFailureEvery == 0;
    char code[8];
    std::snprintf(code, sizeof code, "%c%05d", refused ? '9' : '0', number);
    const std::string page = joinLines(decodePage(gbk, "text/html", kDefaultPageCharset));

    StockRecord record;
    record.StockName = base_.storedName;
    record.StockCode = code;
    record.SB_Date = kDay;
    record.SB_Reason = base_.reason;
    record.JinShou = base_.close;
    record.ZhangFu = base_.change;
    record.Amount = base_.amount;
    const int parsed = ParseSeatPage(page, record);
    record.IsDownloadOK = parsed > 1 ? 1 : 2;
    const int written = writer_.InsertStockInfo(record);
    const bool bodies = AllBodiesFound(page);
    EXPECT_EQ(parsed == kSeatPageOk, bodies);

    const StoredRow row = ReadRow(builder_.Market(), MakeStockInfoId(kDay, code));
    if (written != kStockWriteOk) {
      // Only the refused seat write may fail, and then nothing of the row stays.
      EXPECT_TRUE(refused && bodies) << written;
      EXPECT_FALSE(row.found);
      return;
    }
    ASSERT_TRUE(row.found);
    ++stored_;
    EXPECT_EQ(row.isDownloadOK, bodies ? 1 : 2);
    EXPECT_TRUE(IsValidUtf8(row.name) && IsValidUtf8(row.reason));
    EXPECT_LE(GbkByteLength(row.name), 29u);
    EXPECT_LE(GbkByteLength(row.reason), 99u);
    for (double v : row.figures) EXPECT_TRUE(std::isfinite(v));
    if (!bodies) {
      CheckStoredSeats(row.buy, {}, "buy");
      CheckStoredSeats(row.sell, {}, "sell");
      return;
    }
    ++complete_;
    CheckStoredSeats(row.buy, SeatTableRows(page, 1), "buy");
    CheckStoredSeats(row.sell, SeatTableRows(page, 2), "sell");
  }

  TempProgramFolder folder_;
  DbBuilder builder_{folder_.Path()};
  ZeroSleeper sleeper_;
  StockInsertCounters counters_;
  CStockInfoWriter writer_{builder_.Market(), sleeper_, counters_};
  std::vector<std::string> seeds_;
  MarketStock base_;
  int stored_ = 0;
  int complete_ = 0;
};

}  // namespace

TEST_F(ParserWriterMutationTest, SeedPagesAreStoredAsTheModelSays) {
  ASSERT_GE(seeds_.size(), 4u);
  for (std::size_t i = 0; i < seeds_.size(); ++i) RunMutant(seeds_[i], static_cast<int>(i) + 1);
  EXPECT_EQ(stored_, static_cast<int>(seeds_.size()));
  EXPECT_EQ(complete_, static_cast<int>(seeds_.size()) - 1);  // the page with two bodies stays incomplete
}

TEST_F(ParserWriterMutationTest, MutatedSeatPagesAreStoredSoundly) {
  MutationRandom rng(20170203);
  for (int i = 1; i <= kMutants && !HasFailure(); ++i) {
    SCOPED_TRACE("mutant " + std::to_string(i));
    RunMutant(MutantOf(seeds_, rng), i);
  }
  // Both outcomes occur often, so neither half of the checks ran idle.
  EXPECT_GT(complete_, kMutants / 10);
  EXPECT_GT(stored_ - complete_, kMutants / 10);
  EXPECT_EQ(counters_.m_nInsertDB_StockCounter, complete_);
}

TEST_F(ParserWriterMutationTest, ARefusedSeatWriteLeavesNothing) {
  RunMutant(seeds_.front(), kForcedFailureEvery);
  EXPECT_EQ(stored_, 0);
  EXPECT_EQ(counters_.m_nInsertDB_StockCounter, 0);
}
