#pragma once
// One line of the daily page's colour lists (the day list and the three side lists).
// Every line carries the stock code it stands for, so a handler never has to take a
// code back out of the text; a line that stands for no stock (the weekend line) has
// an empty code.

#include <string>

#include "platform/win_types.h"

struct ListLine {
  std::string text;   // UTF-8, formatted with GBK widths
  COLORREF colour = 0;
  std::string code;   // "" when the line stands for no stock

  friend bool operator==(const ListLine&, const ListLine&) = default;
};

// Exactly six ASCII digits ("600000"); anything else ("", "60000", "60000a", a
// full-width digit, a trailing blank) is no stock code.
bool IsStockCode(const std::string& text);
