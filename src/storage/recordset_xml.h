#pragma once
// The file a recordset is saved to and loaded from: our own small XML.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <recordset version="1">
//    <column name="StockCode" type="TEXT"/>
//    <column name="Amount" type="REAL"/>
//    <row><t>600000</t><r>1.5</r></row>
//    <row><t64>AAEC</t64><n/></row>
//   </recordset>
//
// A column keeps its declared type, so a loaded recordset reads its cells as the
// saved one did. Cells: <n/> NULL, <i> integer, <r> double (shortest text that reads
// back to the same bits), <t> text, <t64> text that is not valid UTF-8 or holds
// control characters XML cannot carry (base64), <b> blob (base64). The reader takes
// exactly this form and nothing else.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/stored_cell.h"

struct RecordsetImage {
  struct Column {
    std::string name;
    std::string declaredType;
  };
  std::vector<Column> columns;
  std::vector<std::vector<StoredCell>> rows;  // each as long as columns
};

std::string WriteRecordsetXml(const RecordsetImage& image);
// Nothing, and `error` says where, for a text that is not such a file.
std::optional<RecordsetImage> ParseRecordsetXml(std::string_view xml, std::string& error);

std::string Base64Encode(std::string_view bytes);
// Nothing for a character outside the alphabet or a wrong length or padding.
std::optional<std::string> Base64Decode(std::string_view text);
