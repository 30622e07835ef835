#include "analysis/tracker_queries.h"

#include <algorithm>

#include "platform/clipboard.h"

bool LooksLikeStockCode(const std::string& text) {
  return !text.empty() && (text[0] == '6' || text[0] == '0' || text[0] == '3');
}

TrackerSearchResult RunStockQuery(CADODataBase& db, const IClock& clock, const std::string& text) {
  if (LooksLikeStockCode(text)) return SearchStockCode(db, clock, text, true);
  return SearchStockName(db, clock, text, true);
}

std::string ClipboardCodesText(const std::vector<TrackerLine>& lines) {
  std::string text;
  const std::size_t count = std::min(lines.size(), kMaxClipboardLines);
  for (std::size_t i = 0; i < count; ++i) {
    text += ", ";
    text += lines[i].code;
  }
  return text;
}

bool CopyResultCodesToClipboard(const std::vector<TrackerLine>& lines) {
  return CopyTextToClipboard(ClipboardCodesText(lines));
}

std::vector<COLORREF> SameStockColours(const std::vector<TrackerLine>& lines, int selected) {
  std::vector<COLORREF> colours(lines.size(), kTrackerLineColour);
  if (selected < 0 || static_cast<std::size_t>(selected) >= lines.size()) return colours;
  const std::string& code = lines[static_cast<std::size_t>(selected)].code;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].code == code) colours[i] = kTrackerSameStockColour;
  }
  return colours;
}
