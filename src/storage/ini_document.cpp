#include "storage/ini_document.h"

#include <climits>

#include "platform/gcc_restrict.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }

enum class LineKind { Other, Section, Pair };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section name or key
  std::string_view value;  // for pairs: trimmed, enclosing quotes removed
};

ParsedLine ParseLine(std::string_view text) {
  ParsedLine parsed;
  const std::string_view line = TrimView(text);
  if (line.empty() || line.front() == ';') return parsed;
  if (line.front() == '[') {
    std::string_view name = line.substr(1);
    name = name.substr(0, name.find(']'));
    parsed.kind = LineKind::Section;
    parsed.name = TrimView(name);
    return parsed;
  }
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return parsed;
  parsed.name = TrimView(line.substr(0, eq));
  if (parsed.name.empty()) return parsed;
  std::string_view value = TrimView(line.substr(eq + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  parsed.kind = LineKind::Pair;
  parsed.value = value;
  return parsed;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::string_view TrimView(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

int ProfileIntValue(std::string_view value) {
  std::size_t i = 0;
  if (i < value.size() && value[i] == '+') ++i;
  long long result = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    result = result * 10 + (value[i] - '0');
    if (result > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(result);
}

CIniDocument CIniDocument::Parse(std::string_view text) {
  CIniDocument doc;
  bool lineEndSeen = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t brk = text.find_first_of("\r\n", pos);
    Line line;
    if (brk == std::string_view::npos) {
      line.text = std::string(text.substr(pos));
      pos = text.size();
    } else {
      line.text = std::string(text.substr(pos, brk - pos));
      const std::size_t endLen = (text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n') ? 2 : 1;
      line.end = std::string(text.substr(brk, endLen));
      pos = brk + endLen;
      if (!lineEndSeen) {
        doc.lineEnd_ = line.end;
        lineEndSeen = true;
      }
    }
    doc.lines_.push_back(std::move(line));
  }
  return doc;
}

CIniDocument CIniDocument::FromLines(std::vector<SourceLine> lines) {
  CIniDocument doc;
  bool lineEndSeen = false;
  doc.lines_.reserve(lines.size());
  for (SourceLine& line : lines) {
    if (!lineEndSeen && !line.end.empty()) {
      doc.lineEnd_ = line.end;
      lineEndSeen = true;
    }
    doc.lines_.push_back(Line{std::move(line.text), std::move(line.end), std::move(line.bytes)});
  }
  return doc;
}

std::string CIniDocument::Render(const std::function<std::string(std::string_view)>& encode) const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.bytes ? *line.bytes : encode(line.text);
    out += encode(line.end);
  }
  return out;
}

std::string CIniDocument::Serialize() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.end;
  }
  return out;
}

std::optional<std::string> CIniDocument::Find(std::string_view section, std::string_view key) const {
  bool inSection = false;
  for (const Line& line : lines_) {
    const ParsedLine parsed = ParseLine(line.text);
    if (parsed.kind == LineKind::Section) {
      inSection = EqualsNoCase(parsed.name, section);
    } else if (inSection && parsed.kind == LineKind::Pair && EqualsNoCase(parsed.name, key)) {
      return std::string(parsed.value);
    }
  }
  return std::nullopt;
}

std::string CIniDocument::GetString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
  std::optional<std::string> value = Find(section, key);
  return value ? std::move(*value) : std::string(defaultValue);
}

int CIniDocument::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
  const std::optional<std::string> value = Find(section, key);
  if (!value || value->empty()) return defaultValue;
  return ProfileIntValue(*value);
}

bool CIniDocument::HasSection(std::string_view section) const {
  for (const Line& line : lines_) {
    const ParsedLine parsed = ParseLine(line.text);
    if (parsed.kind == LineKind::Section && EqualsNoCase(parsed.name, section)) return true;
  }
  return false;
}

std::vector<std::string> CIniDocument::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    const ParsedLine parsed = ParseLine(line.text);
    if (parsed.kind != LineKind::Section || parsed.name.empty()) continue;
    bool known = false;
    for (const std::string& name : names) known = known || EqualsNoCase(name, parsed.name);
    if (!known) names.emplace_back(parsed.name);
  }
  return names;
}

std::vector<std::string> CIniDocument::KeyNames(std::string_view section) const {
  std::vector<std::string> keys;
  bool inSection = false;
  for (const Line& line : lines_) {
    const ParsedLine parsed = ParseLine(line.text);
    if (parsed.kind == LineKind::Section) {
      inSection = EqualsNoCase(parsed.name, section);
    } else if (inSection && parsed.kind == LineKind::Pair) {
      bool known = false;
      for (const std::string& key : keys) known = known || EqualsNoCase(key, parsed.name);
      if (!known) keys.emplace_back(parsed.name);
    }
  }
  return keys;
}

bool CIniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value) {
  section = TrimView(section);
  key = TrimView(key);
  if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
      section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
      key.front() == '[' || key.front() == ';')
    return false;

  // Where the section first starts, and the line after its last key.
  std::optional<std::size_t> insertAt;
  bool inFirstSection = false;
  bool firstSectionDone = false;
  bool inSection = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const ParsedLine parsed = ParseLine(lines_[i].text);
    if (parsed.kind == LineKind::Section) {
      inSection = EqualsNoCase(parsed.name, section);
      if (inFirstSection) firstSectionDone = true;
      inFirstSection = inSection && !firstSectionDone;
      if (inFirstSection) insertAt = i + 1;
    } else if (inSection && parsed.kind == LineKind::Pair) {
      if (EqualsNoCase(parsed.name, key)) {
        lines_[i].text = std::string(parsed.name) + "=" + std::string(value);
        lines_[i].bytes.reset();
        return true;
      }
      if (inFirstSection) insertAt = i + 1;
    }
  }

  const std::string keyLine = std::string(key) + "=" + std::string(value);
  if (insertAt) {
    Line& before = lines_[*insertAt - 1];
    if (before.end.empty()) before.end = lineEnd_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*insertAt), Line{keyLine, lineEnd_, std::nullopt});
    return true;
  }
  if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = lineEnd_;
  VELKOR_STRING_RESTRICT_BEGIN
  lines_.push_back(Line{"[" + std::string(section) + "]", lineEnd_, std::nullopt});
  VELKOR_STRING_RESTRICT_END
  lines_.push_back(Line{keyLine, lineEnd_, std::nullopt});
  return true;
}

bool CIniDocument::DeleteKey(std::string_view section, std::string_view key) {
  bool removed = false;
  bool inSection = false;
  for (std::size_t i = 0; i < lines_.size();) {
    const ParsedLine parsed = ParseLine(lines_[i].text);
    if (parsed.kind == LineKind::Section) inSection = EqualsNoCase(parsed.name, section);
    if (inSection && parsed.kind == LineKind::Pair && EqualsNoCase(parsed.name, key)) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      removed = true;
    } else {
      ++i;
    }
  }
  return removed;
}

bool CIniDocument::DeleteSection(std::string_view section) {
  bool removed = false;
  bool inSection = false;
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  for (Line& line : lines_) {
    const ParsedLine parsed = ParseLine(line.text);
    if (parsed.kind == LineKind::Section) inSection = EqualsNoCase(parsed.name, section);
    if (inSection) {
      removed = true;
    } else {
      kept.push_back(std::move(line));
    }
  }
  lines_ = std::move(kept);
  return removed;
}
