#include "records/list_line.h"

bool IsStockCode(const std::string& text) {
  if (text.size() != 6) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}
