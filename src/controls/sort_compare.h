#pragma once
// The rules of the sortable report list that need no display: how two cell texts of
// the sort column compare, the stable row order of a sort, the heading text
// ("heading,width;heading,width;...") and the saved column widths.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// How a cell text sorts: a run of decimal digits (the empty text counts as one), a
// date written dd/mm/yyyy, or anything else.
enum class SortKeyKind { Number, Date, Text };
SortKeyKind SortKeyKindOf(const std::string& text);

// Compares two texts as text: negative, zero or positive. The list passes a
// locale-aware collation; the default is a plain byte comparison.
using SortTextCompare = std::function<int(const std::string&, const std::string&)>;
int ByteTextCompare(const std::string& a, const std::string& b);

// -1, 0 or 1. Two numbers compare as integers of any length (leading zeros do not
// count, then the longer is larger, then digit by digit); two dates by year, month,
// day; two texts through compareText. The kind is chosen for the pair, never from
// one side alone, and texts of different kinds order by kind (numbers, then dates,
// then text), so the order is the same whichever side is asked first and a sort
// always sees a consistent order.
int CompareSortTexts(const std::string& a, const std::string& b, const SortTextCompare& compareText = ByteTextCompare);

// The row order of a sort by these keys (one per row): a stable sort, so equal keys
// keep their order. Descending swaps the two texts of every comparison. The result
// lists the old row index of each new row.
std::vector<int> SortedRowOrder(const std::vector<std::string>& keys, bool ascending,
                                const SortTextCompare& compareText = ByteTextCompare);

// One column of a heading text.
struct SortHeading {
  std::string text;
  int width = 0;
};
// Reads "heading,width;heading,width;..." (the last ";" may be left out; a heading
// may be empty but the comma and a width of digits may not). The pairs read before
// the first bad one are kept in `headings`; false when a bad pair stops the reading,
// true when the text is used up.
bool ParseSortHeadings(const std::string& text, std::vector<SortHeading>& headings);

// The saved widths as stored: the column count, then each width, each as the four
// bytes of a little-endian 32-bit integer, written as lowercase hexadecimal.
std::string EncodeColumnWidths(const std::vector<int>& widths);
// The widths of a saved value; nothing when the value is not such a text, its count
// disagrees with the number of widths that follow, or a width is negative.
std::optional<std::vector<int>> DecodeColumnWidths(const std::string& value);
