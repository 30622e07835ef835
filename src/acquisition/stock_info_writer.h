#pragma once
// Stores one listed stock of one day (a StockRecord) as a StockInfo row, or completes
// a row that was stored before its seats were known.
//
// The stock name is stored cleaned of its spaces (CleanStockName of the day-list
// parser) and every seat name completed to "…营业部" where a source cut it short
// (CompleteBranchName of the seat-page parser), whichever road filled the record.
//
// The volume (DRCJL) is stored in the unit its road gives it: 手 from the quote
// portals, 万股 from a Shenzhen bulletin when no quote was found, and 0 from the
// first source. ZhangFu stays the bulletin's deviation when no quote was found.
//
// Each call is one transaction: the row and its seats are written together or not at
// all, and the counters move only after the commit. Every value is bound; amounts are
// rounded the way the stored text forms always had them: seat amounts to 3 decimals,
// prices and the other figures to 6.

#include <string>
#include <string_view>

#include "acquisition/stock_record.h"

class CADODataBase;
class ISleeper;

// Results of the writers.
inline constexpr int kStockWriteOk = 0;           // written
inline constexpr int kStockWriteNotOpen = -1;     // the market connection is not open; nothing written
inline constexpr int kStockWriteFailed = -2;      // a statement failed; rolled back, nothing written
inline constexpr int kStockWriteBadIdentity = -3; // the row identity is malformed; nothing written

// The download page's counters that a stored row raises. They belong to one job.
struct StockInsertCounters {
  int m_nMarket = 0;  // board fetched by the exchange road: 1 Shanghai, 2 Shenzhen main, 3 SME, 4 growth
  int m_nInsertedSh = 0;
  int m_nInsertedSzMain = 0;
  int m_nInsertedSzSme = 0;
  int m_nInsertedSzGrowth = 0;
  int m_nInsertDB_StockCounter = 0;  // rows stored complete with their seats
};

class CStockInfoWriter {
 public:
  // `sleeper` takes the short pause before each seat write; `counters` is raised by
  // InsertStockInfo.
  CStockInfoWriter(CADODataBase& db, ISleeper& sleeper, StockInsertCounters& counters);

  // Stores `record` as a new row. With IsDownloadOK 1 the seats are written too (their
  // names completed in `record` first); otherwise the seat columns stay empty (NULL).
  // The 1 ms pause comes before the transaction begins. After the commit the board counter of m_nMarket rises, and
  // m_nInsertDB_StockCounter as well for a complete row. An identity that is already
  // stored gives kStockWriteFailed and leaves the stored row as it was.
  int InsertStockInfo(StockRecord& record);

  // Rewrites IsDownloadOK, ZuoShou, JinKai, JinShou, ZhangFu, HuanShou, ZhenFu, DRCJL and
  // Amount of the stored row from `record` (the caller passes the prices it wants
  // kept), and with IsDownloadOK 1 also the seats. Name, code, day and reason stay as
  // stored. A row that is not stored gives kStockWriteFailed. No counter moves.
  int UpdateStockInfo(StockRecord& record);

 private:
  CADODataBase& db_;
  ISleeper& sleeper_;
  StockInsertCounters& counters_;
};

// "day,code", the row identity (for example "2012-07-27,603000").
std::string MakeStockInfoId(std::string_view day, std::string_view code);

// An identity is accepted when its GBK form has at least 15 bytes and '-' as its 5th
// and 8th byte.
bool IsWellFormedStockInfoId(std::string_view identity);

// `value` as printf("%.*f") would write it, read back; non-finite gives 0.
double RoundAsFormatted(double value, int decimals);
