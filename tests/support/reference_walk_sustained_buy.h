#pragma once
// Continuous buying computed the plain way: per counted stock a query for its newest k
// listings, their seats folded into a vector of branch totals searched from the front,
// and per qualifying branch the ten-seat query of its listings on the stock; the branch
// marks read one name at a time. What the one-read page logic is compared with.

#include <optional>
#include <string>
#include <vector>

#include "analysis/sustained_buy.h"
#include "storage/row_records.h"

class CADODataBase;

// List 1119 (`stocks` is sorted by count in place, as the page sorts the global).
SustainedStockList ReferenceScanSustainedStocks(CADODataBase& db, std::vector<CStockDayRow>& stocks);

// List 1120 after button 1007 (no `onlyCode`) or a double click on `onlyCode`.
SustainedBranchList ReferenceFillSustainedBranchList(CADODataBase& db, CADODataBase& custom,
                                                     std::vector<CStockDayRow>& stocks,
                                                     const std::optional<std::string>& onlyCode,
                                                     const std::string& today);
