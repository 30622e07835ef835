#pragma once
// A pass over a whole table read in stretches of rowids side by side: for the folds
// whose time is the reading of every row of the file.

#include <cstdint>
#include <functional>
#include <string>

class CADODataBase;

// Cuts the rowids of `table` into up to `stretches` stretches (0: SideBySideParts()) and
// calls `read(k, first, last)` for each, numbered in rowid order: the first on the
// calling thread, each other on a thread of its own, whose database handle gives up a
// statement once the program is closing. Returns the number of stretches read (0 for
// an empty table), or -1 when the rowids could not be read (`error` set).
int ReadRowidStretches(CADODataBase& db, const std::string& table, unsigned stretches,
                       const std::function<void(unsigned k, std::int64_t first, std::int64_t last)>& read,
                       std::string& error);
