#pragma once
// The branch fold of the reference walks: the vector searched from the front, a row
// that grows taken out and appended at the end, as the ranking pages once kept it.

#include <string>
#include <vector>

#include "storage/row_records.h"

// One seat into `totals`: an empty name is ignored, a branch whose last pair was this
// buy and sell ignores the seat.
void ReferenceAddSeat(std::vector<CBranchTotalsRow>& totals, const std::string& branch, const std::string& stockName,
                      double buy, double sell);
