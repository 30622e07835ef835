// The recordset's materialising walk against a raw sqlite3_step loop over the same
// columns, its memory per row against the row's stored bytes, and one day's inserts in
// a transaction against autocommit.
#include <malloc.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../tests/support/db_builder.h"
#include "../tests/support/temp_program_folder.h"
#include "bench.h"
#include "storage/ado_recordset.h"

namespace {

std::vector<std::string> WalkedColumns() {
  std::vector<std::string> cols{"StockName", "StockCode", "SB_Date", "SB_Reason", "ZhangFu", "JinShou", "Amount"};
  for (const char* side : {"Buy", "Sell"}) {
    for (int n = 1; n <= 5; ++n) cols.push_back(std::string(side) + std::to_string(n) + "_YYB_Name");
  }
  for (int n = 1; n <= 3; ++n) cols.push_back("Buy" + std::to_string(n) + "_YYB_BuyAmount");
  for (int n = 1; n <= 3; ++n) cols.push_back("Sell" + std::to_string(n) + "_YYB_SellAmount");
  return cols;  // 23 columns
}

bool IsTextColumn(const std::string& name) {
  return name == "StockName" || name == "StockCode" || name == "SB_Date" || name == "SB_Reason" ||
         name.find("_Name") != std::string::npos;
}

struct WalkResult {
  double seconds = 0;
  std::size_t rows = 0;
  double checksum = 0;
};

WalkResult RecordsetWalk(CADODataBase& db, const std::vector<std::string>& cols) {
  const auto start = std::chrono::steady_clock::now();
  WalkResult r;
  CADORecordset rs(&db);
  if (!rs.Open("SELECT * FROM StockInfo")) return r;
  std::string text;
  double number = 0;
  while (!rs.IsEof()) {
    for (const std::string& c : cols) {
      if (IsTextColumn(c)) {
        rs.GetFieldValue(c, text);
        r.checksum += static_cast<double>(text.size());
      } else {
        rs.GetFieldValue(c, number);
        r.checksum += number;
      }
    }
    ++r.rows;
    rs.MoveNext();
  }
  rs.Close();
  r.seconds = SecondsSince(start);
  return r;
}

WalkResult RawWalk(const std::string& path, const std::vector<std::string>& cols, double* storedBytesPerRow) {
  const auto start = std::chrono::steady_clock::now();
  WalkResult r;
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "SELECT * FROM StockInfo", -1, &stmt, nullptr);
  std::vector<int> index;
  for (const std::string& c : cols) {
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      if (c == sqlite3_column_name(stmt, i)) index.push_back(i);
    }
  }
  std::string text;
  double stored = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (std::size_t k = 0; k < cols.size(); ++k) {
      if (IsTextColumn(cols[k])) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index[k]));
        text.assign(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, index[k])));
        r.checksum += static_cast<double>(text.size());
      } else {
        r.checksum += sqlite3_column_double(stmt, index[k]);
      }
    }
    if (storedBytesPerRow != nullptr) {
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const int type = sqlite3_column_type(stmt, i);
        stored += type == SQLITE_TEXT ? sqlite3_column_bytes(stmt, i) : type == SQLITE_NULL ? 0 : 8;
      }
    }
    ++r.rows;
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  r.seconds = SecondsSince(start);
  if (storedBytesPerRow != nullptr && r.rows > 0) *storedBytesPerRow = stored / static_cast<double>(r.rows);
  return r;
}

double MaterialisedBytesPerRow(CADODataBase& db, std::size_t rows) {
  malloc_trim(0);
  const auto before = mallinfo2();
  CADORecordset rs(&db);
  rs.Open("SELECT * FROM StockInfo");
  const auto after = mallinfo2();
  const double grown = static_cast<double>(after.uordblks + after.hblkhd) -
                       static_cast<double>(before.uordblks + before.hblkhd);
  return rows == 0 ? 0 : grown / static_cast<double>(rows);
}

double InsertDay(DbBuilder& builder, const std::string& day, bool inTransaction) {
  const auto start = std::chrono::steady_clock::now();
  std::unique_ptr<CADOTransaction> tx;
  if (inTransaction) tx = std::make_unique<CADOTransaction>(builder.Market());
  FiveSeats buy, sell;
  for (int i = 0; i < 5; ++i) {
    buy[i] = {"中信证券股份有限公司上海溧阳路证券营业部", 1234.5 + i, 12.0};
    sell[i] = {"机构专用", 3.0, 2345.5 + i};
  }
  for (int r = 0; r < 90; ++r) {
    char code[16];
    std::snprintf(code, sizeof code, "%06d", 300000 + r);
    builder.AddListing(day, code, "测试股份", "日涨幅偏离值达7%的证券", 10.01, 12.5, 1e5, buy, sell);
  }
  if (tx) tx->Commit();
  return SecondsSince(start);
}

}  // namespace

void RunRecordsetBench() {
  const std::string folder = MakeTempFolder("velkor-bench");
  {
    DbBuilder builder(folder);
    const auto generateStart = std::chrono::steady_clock::now();
    const auto size = builder.GenerateYears(4, 90, 20170206u);
    PrintFigure("generate_seconds", SecondsSince(generateStart), "s");
    PrintFigure("generated_rows", size.rows, "rows");

    const auto cols = WalkedColumns();
    double storedPerRow = 0;
    RawWalk(builder.MarketPath(), cols, &storedPerRow);  // warms the page cache
    WalkResult bestRaw, bestRs;
    bestRaw.seconds = bestRs.seconds = 1e9;
    for (int round = 0; round < 3; ++round) {
      const WalkResult raw = RawWalk(builder.MarketPath(), cols, nullptr);
      const WalkResult rs = RecordsetWalk(builder.Market(), cols);
      if (raw.seconds < bestRaw.seconds) bestRaw = raw;
      if (rs.seconds < bestRs.seconds) bestRs = rs;
    }
    if (bestRs.rows != bestRaw.rows || bestRs.checksum != bestRaw.checksum) {
      std::printf("recordset_walk_mismatch: %zu rows vs %zu rows\n", bestRs.rows, bestRaw.rows);
    }
    PrintFigure("raw_step_walk_seconds", bestRaw.seconds, "s");
    PrintFigure("recordset_walk_seconds", bestRs.seconds, "s");
    PrintFigure("recordset_walk_ratio", bestRs.seconds / bestRaw.seconds, "x");

    const double perRow = MaterialisedBytesPerRow(builder.Market(), bestRaw.rows);
    PrintFigure("recordset_bytes_per_row", perRow, "B");
    PrintFigure("stored_bytes_per_row", storedPerRow, "B");
    PrintFigure("recordset_memory_ratio", perRow / storedPerRow, "x");

    const double autocommit = InsertDay(builder, "2030-01-02", false);
    const double transaction = InsertDay(builder, "2030-01-03", true);
    PrintFigure("day_insert_autocommit_seconds", autocommit, "s");
    PrintFigure("day_insert_transaction_seconds", transaction, "s");
    PrintFigure("day_insert_transaction_speedup", autocommit / transaction, "x");
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}
