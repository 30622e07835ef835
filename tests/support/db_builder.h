#pragma once
// Builds the two database files of a program folder through the program's own schema
// code, and fills them with the rows a test needs. Temp files only: the layer keeps one
// handle per thread, and per-thread handles on ":memory:" would see different databases.

#include <array>
#include <cstdint>
#include <string>

#include "storage/ado_database.h"

struct SeatFixture {
  std::string name;
  double buy = 0;
  double sell = 0;
};
using FiveSeats = std::array<SeatFixture, 5>;

struct TotalsFixture {
  std::string day;
  int todayCount = 0;
  double todayBuy = 0, todaySell = 0, todayNet = 0, todayTotal = 0;
  int youziCount = 0;
  double youziBuy = 0, youziSell = 0, youziNet = 0, youziTotal = 0;
  int jigouCount = 0;
  double jigouBuy = 0, jigouSell = 0, jigouNet = 0, jigouTotal = 0;
};

class DbBuilder {
 public:
  // Creates (or opens) folder/CJHB.mdb and folder/Custom.mdb with the schema.
  explicit DbBuilder(const std::string& folder);
  DbBuilder(const DbBuilder&) = delete;
  DbBuilder& operator=(const DbBuilder&) = delete;

  const std::string& MarketPath() const { return marketPath_; }
  const std::string& UserPath() const { return userPath_; }
  CADODataBase& Market() { return market_; }
  CADODataBase& User() { return user_; }

  // Opens g_ADODatabase and g_ADODatabase_Custom on the two files.
  void OpenGlobals();

  void AddListing(const std::string& day, const std::string& code, const std::string& name,
                  const std::string& reason, double zhangfu, double close, double amount,
                  const FiveSeats& buy, const FiveSeats& sell, int isDownloadOK = 1);
  void AddTotals(const TotalsFixture& totals);
  void AddTrade(const std::string& day, const std::string& code, const std::string& name, int rowNumber,
                double spj, double cjj, std::int64_t cjsl, double cjje, const std::string& buyName,
                const std::string& sellName);
  void AddMark(const std::string& branch, int number1, std::uint32_t color, int isLike, int teamNumber,
               const std::string& abbreviation, const std::string& mark, const std::string& teamName);
  void AddQlxwma(const std::string& branch, double incomeLevel, int isSuperStar);
  void AddBuy2Times(const std::string& branch, int timesListed, int above2, const std::string& percentage);

  struct GeneratedSize {
    int days = 0;
    int rows = 0;
  };
  // `years` of weekdays from 2013-01-01, `rowsPerDay` listings each, deterministic for a seed.
  GeneratedSize GenerateYears(int years, int rowsPerDay, std::uint32_t seed);

 private:
  void Exec(CADODataBase& db, const std::string& sql, const std::vector<DbValue>& params);

  std::string marketPath_;
  std::string userPath_;
  CADODataBase market_;
  CADODataBase user_;
};
