#pragma once
// What pages use of the charting-program link (registry slots ChartBlock and
// ChartLink). Every road reports its own failures to the user; its result only says
// whether the page may show its success text.

#include <string>
#include <vector>

// The program's custom block in the charting program ("ZUVZXG.blk", listed in
// "blocknew.cfg").
class ChartBlock {
 public:
  virtual ~ChartBlock() = default;
  // Makes sure the block list holds the program's record. False: the list could not
  // be opened (the message was shown) and the caller stops.
  virtual bool RegisterChartBlock() = 0;
  // Reads the block file, adds each code in order (a code already there moves to the
  // end) and rewrites the file. True when the file was written.
  virtual bool AddStockList(const std::vector<std::string>& codes) = 0;
  // Appends one code's entry to the block file, without looking for it first. True
  // when it was written.
  virtual bool AppendOneStock(const std::string& code) = 0;
};

// Brings the running charting program to the front and types the code into it.
class ChartLink {
 public:
  virtual ~ChartLink() = default;
  virtual void FindChartWindow(const std::string& stockCode) = 0;
};
