#include "db_builder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <random>
#include <vector>
#include <stdexcept>

#include "platform/clock.h"
#include "storage/day_range.h"
#include "storage/schema.h"

namespace {

void OpenWithSchema(CADODataBase& db, const std::string& path, bool (*ensure)(CADODataBase&)) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !CreateDatabaseFile(path)) {
    throw std::runtime_error("cannot create " + path);
  }
  if (!db.Open("Data Source=" + path + ";", "", "")) {
    throw std::runtime_error("cannot open " + path + ": " + db.GetLastErrorText());
  }
  if (!ensure(db)) throw std::runtime_error("schema of " + path + ": " + db.GetLastErrorText());
}


}  // namespace

DbBuilder::DbBuilder(const std::string& folder)
    : marketPath_(folder + "/CJHB.mdb"), userPath_(folder + "/Custom.mdb") {
  OpenWithSchema(market_, marketPath_, &EnsureMarketSchema);
  OpenWithSchema(user_, userPath_, &EnsureUserSchema);
}

void DbBuilder::OpenGlobals() {
  if (!g_ADODatabase.Open("Data Source=" + marketPath_ + ";", "", "")) {
    throw std::runtime_error("cannot open " + marketPath_ + ": " + g_ADODatabase.GetLastErrorText());
  }
  if (!g_ADODatabase_Custom.Open("Data Source=" + userPath_ + ";", "", "")) {
    throw std::runtime_error("cannot open " + userPath_ + ": " + g_ADODatabase_Custom.GetLastErrorText());
  }
}

void DbBuilder::Exec(CADODataBase& db, const std::string& sql, const std::vector<DbValue>& params) {
  if (!db.Execute(sql, params)) throw std::runtime_error(sql + ": " + db.GetLastErrorText());
}

void DbBuilder::AddListing(const std::string& day, const std::string& code, const std::string& name,
                           const std::string& reason, double zhangfu, double close, double amount,
                           const FiveSeats& buy, const FiveSeats& sell, int isDownloadOK) {
  static const std::string sql = InsertAllColumnsStatement("StockInfo");
  const double previous = zhangfu == -100 ? close : close / (1 + zhangfu / 100);
  std::vector<DbValue> params{day + "," + code, isDownloadOK, name, code, day, reason,
                              previous, previous, close, zhangfu, 1.5, 3.0, amount / close, amount};
  for (const FiveSeats* seats : {&buy, &sell}) {
    for (const SeatFixture& seat : *seats) {
      params.emplace_back(seat.name);
      params.emplace_back(seat.buy);
      params.emplace_back(seat.sell);
    }
  }
  Exec(market_, sql, params);
}

void DbBuilder::AddTotals(const TotalsFixture& t) {
  Exec(market_,
       "INSERT INTO TotalBuySell (SB_Date, Today_ShangBang, Today_TotalBuy, Today_TotalSell, Today_TotalNet, "
       "Today_Total, YouZi_ShangBang, YouZi_TotalBuy, YouZi_TotalSell, YouZi_TotalNet, YouZi_Total, "
       "JiGou_ShangBang, JiGou_TotalBuy, JiGou_TotalSell, JiGou_TotalNet, JiGou_Total) "
       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
       {t.day, t.todayCount, t.todayBuy, t.todaySell, t.todayNet, t.todayTotal, t.youziCount, t.youziBuy,
        t.youziSell, t.youziNet, t.youziTotal, t.jigouCount, t.jigouBuy, t.jigouSell, t.jigouNet, t.jigouTotal});
}

void DbBuilder::AddTrade(const std::string& day, const std::string& code, const std::string& name, int rowNumber,
                         double spj, double cjj, std::int64_t cjsl, double cjje, const std::string& buyName,
                         const std::string& sellName) {
  Exec(market_,
       "INSERT INTO DZJY (DZJY_ID, StockName, StockCode, DZJY_Date, RowNumber, SPJ, CJJ, CJSL, CJJE, BuyName, "
       "SellName) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
       {day + code + std::to_string(rowNumber), name, code, day, rowNumber, spj, cjj, cjsl, cjje, buyName,
        sellName});
}

void DbBuilder::AddMark(const std::string& branch, int number1, std::uint32_t color, int isLike, int teamNumber,
                        const std::string& abbreviation, const std::string& mark, const std::string& teamName) {
  Exec(user_,
       "INSERT INTO YYBMark (YYBName, Number1, Color, IsLike, TeamNumber, Abbreviation, YYBMark, TeamName) "
       "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
       {branch, number1, static_cast<std::int64_t>(color), isLike, teamNumber, abbreviation, mark, teamName});
}

void DbBuilder::AddQlxwma(const std::string& branch, double incomeLevel, int isSuperStar) {
  Exec(market_, "INSERT INTO QLXWMA (YYBName, IncomeLevel, IsSuperStarYYB) VALUES (?, ?, ?)",
       {branch, incomeLevel, isSuperStar});
}

void DbBuilder::AddBuy2Times(const std::string& branch, int timesListed, int above2, const std::string& percentage) {
  Exec(market_, "INSERT INTO Buy2Times (YYBName, ShangBangCiShu_Buy, Above2_Buy, Percentage) VALUES (?, ?, ?, ?)",
       {branch, timesListed, above2, percentage});
}

DbBuilder::GeneratedSize DbBuilder::GenerateYears(int years, int rowsPerDay, std::uint32_t seed) {
  static const char* const kCities[] = {"上海", "深圳", "北京", "杭州", "南京", "成都", "武汉", "西安",
                                        "厦门", "宁波", "广州", "长沙", "福州", "青岛", "大连", "天津"};
  static const char* const kBrokers[] = {"中信证券", "国泰君安", "华泰证券", "招商证券", "银河证券",
                                         "海通证券", "广发证券", "东方财富", "光大证券", "申万宏源"};
  static const char* const kReasons[] = {"日涨幅偏离值达7%的证券", "日跌幅偏离值达7%的证券",
                                         "日换手率达20%的证券", "连续三个交易日内收盘价格涨幅偏离值累计达20%的证券"};
  std::mt19937 rng(seed);
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto branch = [&]() -> std::string {
    if (pick(8) == 0) return "机构专用";
    return std::string(kBrokers[pick(10)]) + "股份有限公司" + kCities[pick(16)] + "第" + std::to_string(1 + pick(9)) +
           "证券营业部";
  };
  auto amount = [&]() { return static_cast<double>(pick(900000)) / 100.0; };

  std::vector<int> stocks(3000);
  std::iota(stocks.begin(), stocks.end(), 0);
  GeneratedSize size;
  const std::int64_t first = DaysFromCivil(2013, 1, 1);
  const std::int64_t last = DaysFromCivil(2013 + years, 1, 1);
  for (std::int64_t d = first; d < last; ++d) {
    const LocalTime day = CivilFromDays(d);
    if (day.dayOfWeek == 0 || day.dayOfWeek == 6) continue;
    const std::string dayText = DayText(day.year, day.month, day.day);
    CADOTransaction tx(market_);
    const int rows = std::min<int>(rowsPerDay, static_cast<int>(stocks.size()));
    for (int r = 0; r < rows; ++r) {
      // A stock is listed at most once a day: draw without replacement.
      std::swap(stocks[r], stocks[r + pick(static_cast<int>(stocks.size()) - r)]);
      const int stock = stocks[r];
      char code[16];
      std::snprintf(code, sizeof code, "%06d", stock < 1500 ? 600000 + stock : stock + 1);
      FiveSeats buy, sell;
      for (auto& s : buy) s = {branch(), amount(), amount() / 10};
      for (auto& s : sell) s = {branch(), amount() / 10, amount()};
      const double zhangfu = static_cast<double>(pick(2001) - 1000) / 100.0;
      AddListing(dayText, code, "股票" + std::to_string(stock), kReasons[pick(4)], zhangfu,
                 5 + static_cast<double>(pick(5000)) / 100.0, 1e4 + amount() * 100, buy, sell);
      ++size.rows;
    }
    if (!tx.Commit()) throw std::runtime_error("commit failed: " + market_.GetLastErrorText());
    ++size.days;
  }
  return size;
}
