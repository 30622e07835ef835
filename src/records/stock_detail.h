#pragma once
// Reading one stock's day row for the daily list, and the small look-ups around it:
// block trades of the last month, how often the stock was listed lately, and the
// colours of the reason and change texts. No user interface here: every function
// reports failure as a result and never shows anything.

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "platform/win_types.h"
#include "records/stock_detail_record.h"

class CADODataBase;
class CADORecordset;

// The StockInfo columns a StockDetailRecord is read from, comma-separated, for
// "SELECT " + StockDetailColumns() + " FROM StockInfo WHERE ...".
const std::string& StockDetailColumns();

// Fills `record` from the current row of `rs` (a result of StockDetailColumns()),
// column by column by name. NULL, a missing column or a non-number gives 0 for a
// figure and "" for a text; texts are kept whole. Every member is written.
void ReadStockDetailRow(CADORecordset& rs, StockDetailRecord& record);

// The same for every row of one result: the column positions are found once.
class StockDetailReader {
 public:
  explicit StockDetailReader(CADORecordset& rs);
  void Read(StockDetailRecord& record);

 private:
  std::string Text(std::size_t k);
  template <class T>
  T Number(std::size_t k);

  static std::array<int, 36> Unresolved() {
    std::array<int, 36> none;
    none.fill(-1);
    return none;
  }

  CADORecordset& rs_;
  std::array<int, 36> columns_ = Unresolved();  // -1: the result lacks that column
};

// The StockInfo row of `code` on `day`. When the query runs, the record is cleared
// and every row found overwrites it in rowid order (no row leaves it cleared) and
// true is returned. When it fails, the record is kept as it was and false returned.
bool LoadStockRecord(CADODataBase& db, const std::string& day, const std::string& code,
                     StockDetailRecord& record);

// Magenta for the margin-buying reason, red for a reason over three trading days
// (the words found after the first character), blue for the rest.
COLORREF ReasonColour(const std::string& reason);
// Red for a rise or no change, green for a fall.
COLORREF ChangeColour(float zhangFu);

// Whether `code` has a block trade on or after `cutoffDay` (the caller passes
// CutoffDay(clock, 30): the window counts back from today, not from the shown day).
// False as well when the query fails; `ok` (when given) tells the two apart.
bool HasRecentBlockTrades(CADODataBase& db, const std::string& code, const std::string& cutoffDay,
                          bool* ok = nullptr);

// The block trades of one stock since a cutoff day, step by step. Each *Ran flag says
// the step's query ran; the steps run in order and stop at the first that fails, so
// a page shows the figures of the steps that ran and leaves the rest empty.
struct BlockTradeSummary {
  bool TotalsRan = false;       // count and sums
  long long Count = 0;
  long long VolumeSum = 0;      // sum of CJSL (shares; can pass 2^31)
  double AmountSum = 0;         // sum of CJJE
  bool LargestRan = false;      // the largest trade (also true when there is none)
  bool HasLargest = false;      // a largest trade was found
  std::string MainBuyer;        // BuyName of the largest trade
  std::string MainSeller;       // SellName of the largest trade
  bool BuyerSumRan = false;
  double BuyerAmountSum = 0;    // CJJE of the main buyer's trades since the cutoff
  bool SellerSumRan = false;
  double SellerAmountSum = 0;   // CJJE of the main seller's trades since the cutoff
};
BlockTradeSummary LoadBlockTradeSummary(CADODataBase& db, const std::string& code, const std::string& cutoffDay);

// Red when the buyer's sum passes 10000, else blue.
COLORREF MainBuyerColour(double buyerAmountSum);
// Green RGB(0,180,0) when the seller's sum passes 10000, else blue.
COLORREF MainSellerColour(double sellerAmountSum);

// The number of StockInfo rows of `code` with SB_Date on or after `startDay` (days
// after the one shown count too; the caller passes DayMinus(loadedDay, 30)). 0 when
// the query fails; `ok` (when given) tells that apart from no listing.
int CountRecentListings(CADODataBase& db, const std::string& code, const std::string& startDay,
                        bool* ok = nullptr);

// Batch forms for a whole day, one statement each. Every code listed on `day` → its
// CountRecentListings(code, startDay). Empty when the query fails or finds nothing;
// `ok` (when given) tells the two apart.
std::map<std::string, int> CountRecentListingsForDay(CADODataBase& db, const std::string& day,
                                                     const std::string& startDay, bool* ok = nullptr);
// The codes listed on `day` for which HasRecentBlockTrades(code, cutoffDay) holds.
std::set<std::string> RecentBlockTradeCodesForDay(CADODataBase& db, const std::string& day,
                                                  const std::string& cutoffDay, bool* ok = nullptr);
