#pragma once
// An INI profile held in memory: parsed from text, queried, edited and written back
// with every line it did not touch kept as it was (comments, blank lines, lines
// without "=", their line ends). No file access here; see ini_file.h.
//
// Lookup rules (those of Windows private-profile files):
//  - section and key names match without regard to ASCII case;
//  - the first occurrence of a key wins (sections of the same name are searched in
//    file order, as if they were one);
//  - names and values are trimmed, and one pair of enclosing quotes (" or ') is
//    removed from a value;
//  - lines without "=", lines before the first section and lines whose first
//    non-blank character is ';' take no part in lookups.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii.h"  // EqualsNoCase, which INI keys and section names compare with

class CIniDocument {
 public:
  CIniDocument() = default;

  // UTF-8 text without a byte-order mark. Lines end in "\r\n", "\n" or "\r"; the first
  // line end met is the one used for new lines ("\r\n" when the text has none).
  static CIniDocument Parse(std::string_view text);
  std::string Serialize() const;

  // One line as a file held it: its text decoded to UTF-8, its line end, and the
  // file's own bytes for the text.
  struct SourceLine {
    std::string text;
    std::string end;
    std::string bytes;
  };
  // A document over lines read from a file; each line keeps its bytes until an edit
  // rewrites it.
  static CIniDocument FromLines(std::vector<SourceLine> lines);
  // The document in a file's encoding: an untouched line from a file gives its own
  // bytes, every other line text and every line end go through `encode`.
  std::string Render(const std::function<std::string(std::string_view)>& encode) const;

  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  // The value, or `defaultValue` when the key is missing (an empty value is returned
  // as the empty text).
  std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
  // ProfileIntValue() of the value; `defaultValue` when the key is missing or empty.
  int GetInt(std::string_view section, std::string_view key, int defaultValue) const;

  bool HasSection(std::string_view section) const;
  // Each name once (as first spelt), in file order; sections named "" are left out.
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(std::string_view section) const;

  // Sets a key: the first occurrence is rewritten in place as "key=value" (keeping the
  // file's spelling of the key); a new key goes after the last key of the section's
  // first occurrence; a new section is added at the end. Returns false, changing
  // nothing, for an empty section or key, a line break anywhere, "]" in the section,
  // "=" in the key, or a key that would read back as a section or a comment.
  bool SetValue(std::string_view section, std::string_view key, std::string_view value);
  // Removes every occurrence of the key in the section. Returns whether a line went.
  bool DeleteKey(std::string_view section, std::string_view key);
  // Removes every section of that name with all its lines. Returns whether one went.
  bool DeleteSection(std::string_view section);

  const std::string& LineEnd() const { return lineEnd_; }
  bool Empty() const { return lines_.empty(); }

 private:
  struct Line {
    std::string text;
    std::string end;  // "\r\n", "\n", "\r" or "" for a last line without one
    std::optional<std::string> bytes;  // the file's bytes for `text` while it is untouched
  };

  std::vector<Line> lines_;
  std::string lineEnd_ = "\r\n";
};

// Integer value of a profile text as the private-profile functions read it: leading
// decimal digits (after an optional '+'), 0 when there are none, 0 for a negative
// value, INT_MAX when the digits overflow.
int ProfileIntValue(std::string_view value);

std::string_view TrimView(std::string_view text);
