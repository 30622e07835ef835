#pragma once
// The tables the program needs, created when it opens a file. Each Ensure function
// runs in one transaction: CREATE TABLE/INDEX IF NOT EXISTS for every table, then the
// SchemaVersion row. A later version adds numbered upgrade steps after the creates.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CADODataBase;

constexpr int kSchemaVersion = 1;

// "CJHB.mdb": StockInfo, TotalBuySell, DZJY, QLXWMA, Buy2Times, DayStatus.
// A file whose version is newer than kSchemaVersion is refused: false, the error
// record says so and nothing is changed. A file with the tables but no version row
// gets the row.
bool EnsureMarketSchema(CADODataBase& db);
// "Custom.mdb": YYBMark.
bool EnsureUserSchema(CADODataBase& db);

// The version row of an open file: 0 when there is none, -1 when it cannot be read
// (the error record says why).
int ReadSchemaVersion(CADODataBase& db);

// Creates a new, empty database file. Never replaces an existing file; false when the
// file exists or cannot be made (an unwritable folder, say), with the errno of the cause
// in `error` when given (EEXIST for an existing file, ENOSPC for a full disk).
bool CreateDatabaseFile(const std::string& path, int* error = nullptr);

// (column name, declared type) of a table this schema creates, in column order;
// empty for a table it does not know.
std::vector<std::pair<std::string, std::string>> SchemaColumns(std::string_view table);

// "INSERT INTO <table> (every column, in table order) VALUES (?, …)" for a table of the
// schema; "" for another name.
std::string InsertAllColumnsStatement(std::string_view table);
