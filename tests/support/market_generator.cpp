#include "market_generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <optional>
#include <random>
#include <stdexcept>

#include "db_builder.h"
#include "platform/clock.h"
#include "platform/gdi_types.h"
#include "storage/day_range.h"
#include "storage/row_records.h"
#include "storage/schema.h"

namespace {

const char* const kBrokers[] = {"中信证券股份有限公司", "国泰君安证券股份有限公司", "华泰证券股份有限公司",
                                "招商证券股份有限公司", "中国银河证券股份有限公司", "海通证券股份有限公司",
                                "广发证券股份有限公司", "东方财富证券股份有限公司", "光大证券股份有限公司",
                                "申万宏源证券有限公司", "兴业证券股份有限公司", "财通证券股份有限公司"};
const char* const kCities[] = {"上海", "深圳", "北京", "杭州", "南京", "成都", "武汉", "西安", "厦门", "宁波",
                               "广州", "长沙", "福州", "青岛", "大连", "天津", "温州", "绍兴", "佛山", "拉萨"};
const char* const kStreets[] = {"溧阳路", "中山东一路", "解放北路", "金融大街", "四季路", "人民南路", "淮海中路",
                                "建设大道", "湖滨路", "江滨中大道", "团结路", "北京西路"};
const char* const kReasons[] = {"日涨幅偏离值达7%的证券", "日跌幅偏离值达7%的证券", "日换手率达20%的证券",
                                "连续三个交易日内收盘价格涨幅偏离值累计达20%的证券",
                                "当日融资买入数量达到当日该证券总交易量的50%以上的证券"};

}  // namespace

GeneratedMarket GenerateMarket(DbBuilder& db, const MarketShape& shape) {
  std::mt19937 rng(shape.seed);
  auto pick = [&rng](int n) { return n <= 0 ? 0 : static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto uniform = [&rng]() { return std::uniform_real_distribution<double>(0.0, 1.0)(rng); };

  GeneratedMarket out;
  // Branch names of 15 to 35 characters: broker, city, street, a number.
  for (int b = 0; b < shape.branchCount; ++b) {
    std::string name = std::string(kBrokers[pick(12)]) + kCities[pick(20)] + kStreets[pick(12)];
    if (pick(3) != 0) name += "第" + std::to_string(1 + b % 97) + "证券营业部";
    else name += "证券营业部" + std::to_string(b);
    out.branches.push_back(std::move(name));
  }
  // Skewed draws: u^3 puts most seats on the first few hundred branches.
  auto seatName = [&]() -> std::string {
    if (uniform() < shape.institutionShare) return kInstitutionSeatName;
    const double u = uniform();
    return out.branches[std::min(shape.branchCount - 1, static_cast<int>(u * u * u * shape.branchCount))];
  };
  auto amount = [&]() {
    return std::max(shape.minAmount, std::round(uniform() * uniform() * (shape.maxAmount * 100.0)) / 100.0);
  };

  std::vector<int> stocks(static_cast<std::size_t>(shape.stockCount));
  std::iota(stocks.begin(), stocks.end(), 0);
  auto codeOf = [](int stock) {
    char code[16];
    std::snprintf(code, sizeof code, "%06d", stock % 3 == 0 ? 600000 + stock : stock % 3 == 1 ? stock + 1 : 300000 + stock);
    return std::string(code);
  };

  std::int64_t day = DaysFromCivil(shape.firstYear, shape.firstMonth, shape.firstDay);
  std::optional<CADOTransaction> tx;
  int daysInTx = 0;
  auto commit = [&db, &tx, &daysInTx] {
    if (tx && !tx->Commit()) throw std::runtime_error("commit failed: " + db.Market().GetLastErrorText());
    tx.reset();
    daysInTx = 0;
  };
  while (static_cast<int>(out.days.size()) < shape.tradingDays) {
    const LocalTime civil = CivilFromDays(day++);
    if (civil.dayOfWeek == 0 || civil.dayOfWeek == 6) continue;
    if (shape.holidayShare > 0 && uniform() < shape.holidayShare) {
      ++out.holidays;
      continue;
    }
    const std::string dayText = DayText(civil.year, civil.month, civil.day);
    if (!tx) tx.emplace(db.Market());
    const int rows = std::min(shape.listingsPerDay, shape.stockCount);
    TotalsFixture totals;
    totals.day = dayText;
    totals.todayCount = rows;
    for (int r = 0; r < rows; ++r) {
      std::swap(stocks[r], stocks[r + pick(shape.stockCount - r)]);
      const int stock = stocks[r];
      FiveSeats buy, sell;
      for (auto& s : buy) s = {seatName(), amount(), pick(4) == 0 ? amount() / 5 : 0};
      for (auto& s : sell) s = {seatName(), pick(4) == 0 ? amount() / 5 : 0, amount()};
      if (shape.institutionListingShare > 0 && uniform() < shape.institutionListingShare) {
        FiveSeats& side = pick(2) == 0 ? buy : sell;
        const int seats = pick(3) == 0 ? 2 + pick(2) : 1;
        std::array<int, 5> order{0, 1, 2, 3, 4};
        for (int k = 0; k < seats; ++k) {
          std::swap(order[k], order[k + pick(5 - k)]);
          side[order[k]].name = kInstitutionSeatName;
        }
      }
      int repeated = -1;  // the selling seat that repeats a buying one
      if (shape.bothHalvesShare > 0 && uniform() < shape.bothHalvesShare) {
        const int from = pick(5), to = pick(5);
        for (int k = 0; k < 5; ++k) {
          const SeatFixture& seat = buy[(from + k) % 5];
          if (seat.name == kInstitutionSeatName) continue;
          sell[to] = seat;
          repeated = to;
          ++out.bothHalvesListings;
          break;
        }
      }
      bool institution = false;
      for (int k = 0; k < 10; ++k) {
        const SeatFixture& seat = k < 5 ? buy[k] : sell[k - 5];
        if (k >= 5 && k - 5 == repeated) continue;  // the same branch and figures: counted once
        const bool isInstitution = seat.name == kInstitutionSeatName;
        institution = institution || isInstitution;
        totals.todayBuy += seat.buy;
        totals.todaySell += seat.sell;
        if (isInstitution) {
          ++totals.jigouCount;
          totals.jigouBuy += seat.buy;
          totals.jigouSell += seat.sell;
        } else {
          ++totals.youziCount;
        }
      }
      out.institutionListings += institution ? 1 : 0;
      const double zhangfu = static_cast<double>(pick(2201) - 1100) / 100.0;
      db.AddListing(dayText, codeOf(stock), "股票" + std::to_string(stock), kReasons[pick(5)], zhangfu,
                    5 + pick(5000) / 100.0, 2e4 + amount() * 50, buy, sell);
      ++out.listings;
    }
    if (shape.dayTotals) {
      totals.todayNet = totals.todayBuy - totals.todaySell;
      totals.todayTotal = totals.todayBuy + totals.todaySell;
      totals.jigouNet = totals.jigouBuy - totals.jigouSell;
      totals.jigouTotal = totals.jigouBuy + totals.jigouSell;
      totals.youziBuy = totals.todayBuy - totals.jigouBuy;
      totals.youziSell = totals.todaySell - totals.jigouSell;
      totals.youziNet = totals.youziBuy - totals.youziSell;
      totals.youziTotal = totals.youziBuy + totals.youziSell;
      db.AddTotals(totals);
    }
    for (int t = 0; t < shape.tradesPerDay; ++t) {
      const int stock = stocks[pick(rows)];
      const double spj = 5 + pick(5000) / 100.0;
      db.AddTrade(dayText, codeOf(stock), "股票" + std::to_string(stock), t + 1, spj, spj * (0.9 + pick(20) / 100.0),
                  1000 * (1 + pick(5000)), amount(), seatName(), seatName());
      ++out.trades;
    }
    out.days.push_back(dayText);
    if (++daysInTx >= std::max(1, shape.daysPerTransaction)) commit();
  }
  commit();

  CADOTransaction userTx(db.User());
  int next = 0;
  for (int m = 0; m < shape.markedBranches && next < shape.branchCount; ++m, ++next) {
    const COLORREF colour = RGB(pick(256), pick(256), pick(256));
    db.AddMark(out.branches[next], shape.firstMarkNumber + m, colour, pick(2), 0, "M" + std::to_string(m),
               "游资备注" + std::to_string(m), "");
  }
  for (int t = 0; t < shape.teams; ++t) {
    for (int k = 0; k < shape.teamMembers && next < shape.branchCount; ++k, ++next) {
      db.AddMark(out.branches[next], 0, RGB(255, 0, 0), 1, 200 + t, "", "", "团队" + std::to_string(t));
    }
  }
  if (!userTx.Commit()) throw std::runtime_error("commit failed: " + db.User().GetLastErrorText());

  if (shape.qlxwmaBranches > 0) {
    std::mt19937 flagRng(shape.seed ^ 0x51a7u);
    CADOTransaction flagTx(db.Market());
    for (int b = 0; b < shape.qlxwmaBranches && b < shape.branchCount; ++b) {
      db.AddQlxwma(out.branches[b], static_cast<double>(flagRng() % 100) / 100.0, flagRng() % 5 == 0 ? 1 : 0);
    }
    if (!flagTx.Commit()) throw std::runtime_error("commit failed: " + db.Market().GetLastErrorText());
  }
  return out;
}

MarketShape CrowdedMarketShape(std::uint32_t seed, int listingsPerDay) {
  MarketShape shape;
  shape.tradingDays = 60;
  shape.listingsPerDay = listingsPerDay;
  shape.stockCount = 20;
  shape.branchCount = 40;
  shape.tradesPerDay = 0;
  shape.markedBranches = 0;
  shape.teams = 0;
  shape.seed = seed;
  shape.holidayShare = 0.1;
  shape.institutionListingShare = 0.2;
  shape.bothHalvesShare = 0.2;
  return shape;
}

bool ShuffleStoredDays(DbBuilder& db, const std::vector<std::string>& days) {
  CADODataBase& m = db.Market();
  return days.size() >= 13 &&
         m.Execute("UPDATE StockInfo SET rowid = rowid + (SELECT MAX(rowid) FROM StockInfo) WHERE SB_Date IN (?, ?)",
                   {days[3], days[days.size() - 5]}) &&
         m.Execute("UPDATE StockInfo SET rowid = -rowid WHERE SB_Date = ?", {days[10]}) &&
         m.Execute("UPDATE StockInfo SET SB_Date = NULL WHERE SB_Date = ?", {days[7]}) &&
         m.Execute("UPDATE StockInfo SET SB_Date = '' WHERE SB_Date = ?", {days[12]});
}

bool StoreDaysOfEveryClass(DbBuilder& db) {
  std::string columns, declared;
  for (const auto& [name, type] : SchemaColumns("StockInfo")) {
    columns += (columns.empty() ? "" : ", ") + name;
    declared += (declared.empty() ? "" : ", ") + name + (name == "SB_Date" ? "" : " " + type);
  }
  CADODataBase& m = db.Market();
  const std::string digits = "CAST(replace(SB_Date, '-', '') AS ";
  for (const std::string& sql : std::vector<std::string>{
           "ALTER TABLE StockInfo RENAME TO StockInfoTyped", "CREATE TABLE StockInfo (" + declared + ")",
        "INSERT INTO StockInfo (rowid, " + columns + ") SELECT rowid, " + columns + " FROM StockInfoTyped",
        "DROP TABLE StockInfoTyped",
        "UPDATE StockInfo SET SB_Date = CAST(SB_Date AS BLOB) WHERE rowid % 7 = 0 AND typeof(SB_Date) = 'text'",
        "UPDATE StockInfo SET SB_Date = " + digits + "INTEGER) WHERE rowid % 11 = 0 AND typeof(SB_Date) = 'text'",
        "UPDATE StockInfo SET SB_Date = " + digits + "REAL) WHERE rowid % 13 = 0 AND typeof(SB_Date) = 'text'",
        "UPDATE StockInfo SET SB_Date = " + digits + "REAL) / 7 WHERE rowid % 17 = 0 AND typeof(SB_Date) = 'text'"}) {
    if (!m.Execute(sql)) return false;
  }
  return true;
}
