#pragma once
// The small tools around the tracker's result list: which search a text of edit 1017
// routes to, the codes put on the clipboard, and the marking of one stock's lines.
// They read the lines' roles, never their texts.

#include <string>
#include <vector>

#include "analysis/tracker_line.h"
#include "analysis/tracker_searches.h"

class CADODataBase;
class IClock;

// At most this many lines go to the clipboard; the rest are left out.
inline constexpr std::size_t kMaxClipboardLines = 100;

// True when the text starts with '6', '0' or '3': the stock query (button 1149) and
// Enter in edit 1017 then search a code; a text starting otherwise ("2…", "9…", a
// name) is a stock name.
bool LooksLikeStockCode(const std::string& text);

// Button 1149: SearchStockCode or SearchStockName on the text, writing the file.
TrackerSearchResult RunStockQuery(CADODataBase& db, const IClock& clock, const std::string& text);

// ", <code>" for each of the first 100 lines, joined: ", 600000, 000002". "" for no
// line. A line without a code (none of the searches makes one) adds ", ".
std::string ClipboardCodesText(const std::vector<TrackerLine>& lines);
// Button 1049: puts that text on the clipboard (also when it is empty). False when the
// clipboard could not be opened.
bool CopyResultCodesToClipboard(const std::vector<TrackerLine>& lines);

// The colours of all lines after the user selected line `selected`: the lines of the
// selected line's stock code magenta, all others blue (today's red is not kept). An
// index outside the lines gives every line blue.
std::vector<COLORREF> SameStockColours(const std::vector<TrackerLine>& lines, int selected);
