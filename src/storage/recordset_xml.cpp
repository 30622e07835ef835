#include "storage/recordset_xml.h"

#include <charconv>
#include <cstring>

#include "storage/charset.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default: out += c;
    }
  }
}

// Text XML 1.0 can carry once \t, \n and \r are written as references.
bool CarriesAsXmlText(std::string_view text) {
  if (!IsValidUtf8(text)) return false;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
    if (u == 0x7F) return false;
  }
  return true;
}

class Reader {
 public:
  explicit Reader(std::string_view xml) : xml_(xml) {}

  bool Fail(std::string& error, const std::string& what) const {
    error = what + " at offset " + std::to_string(pos_);
    return false;
  }
  void SkipBlanks() {
    while (pos_ < xml_.size() && (xml_[pos_] == ' ' || xml_[pos_] == '\t' || xml_[pos_] == '\n' || xml_[pos_] == '\r')) {
      ++pos_;
    }
  }
  bool Take(std::string_view literal) {
    if (xml_.substr(pos_).starts_with(literal)) {
      pos_ += literal.size();
      return true;
    }
    return false;
  }
  bool AtEnd() const { return pos_ >= xml_.size(); }
  bool Peek(std::string_view literal) const { return xml_.substr(pos_).starts_with(literal); }

  // Character data up to the next '<' (or an attribute value up to '"'), references
  // resolved.
  bool Characters(char stop, std::string& out, std::string& error) {
    out.clear();
    while (pos_ < xml_.size() && xml_[pos_] != stop) {
      const char c = xml_[pos_];
      if (c == '<' || (stop == '"' && c == '>')) return Fail(error, "markup inside a value");
      if (c != '&') {
        out += c;
        ++pos_;
        continue;
      }
      const std::size_t semi = xml_.find(';', pos_);
      if (semi == std::string_view::npos || semi - pos_ > 12) return Fail(error, "a bad reference");
      const std::string_view name = xml_.substr(pos_ + 1, semi - pos_ - 1);
      if (name == "amp") {
        out += '&';
      } else if (name == "lt") {
        out += '<';
      } else if (name == "gt") {
        out += '>';
      } else if (name == "quot") {
        out += '"';
      } else if (name == "apos") {
        out += '\'';
      } else if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        std::uint32_t code = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || code == 0 ||
            code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
          return Fail(error, "a bad character reference");
        }
        out += UnicodeCharToUtf8(static_cast<char32_t>(code));
      } else {
        return Fail(error, "an unknown entity");
      }
      pos_ = semi + 1;
    }
    if (pos_ >= xml_.size()) return Fail(error, "the file ends inside a value");
    return true;
  }

  bool Attribute(std::string_view name, std::string& value, std::string& error) {
    SkipBlanks();
    if (!Take(name) || !Take("=\"")) return Fail(error, "attribute " + std::string(name) + " was expected");
    if (!Characters('"', value, error)) return false;
    ++pos_;  // the closing quote
    return true;
  }

 private:
  std::string_view xml_;
  std::size_t pos_ = 0;
};

bool ReadCell(Reader& reader, StoredCell& cell, std::string& error) {
  reader.SkipBlanks();
  if (reader.Take("<n/>")) {
    cell = StoredCell::Null();
    return true;
  }
  static const char* const kTags[] = {"i", "r", "t", "t64", "b"};
  for (const char* tag : kTags) {
    const std::string open = std::string("<") + tag + ">";
    if (!reader.Take(open)) continue;
    std::string text;
    if (!reader.Characters('<', text, error)) return false;
    if (!reader.Take(std::string("</") + tag + ">")) return reader.Fail(error, "</" + std::string(tag) + "> was expected");
    const std::string_view t = tag;
    if (t == "i") {
      std::int64_t v = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
      if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return reader.Fail(error, "not an integer: " + text);
      }
      cell = StoredCell::Int(v);
    } else if (t == "r") {
      double v = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
      if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return reader.Fail(error, "not a number: " + text);
      }
      cell = StoredCell::Real(v);
    } else if (t == "t") {
      if (!IsValidUtf8(text)) return reader.Fail(error, "text that is not UTF-8");
      cell = StoredCell::Text(std::move(text));
    } else {
      std::optional<std::string> bytes = Base64Decode(text);
      if (!bytes) return reader.Fail(error, "bad base64");
      cell = t == "b" ? StoredCell::Blob(std::move(*bytes)) : StoredCell::Text(std::move(*bytes));
    }
    return true;
  }
  return reader.Fail(error, "a cell was expected");
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                            (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t v = 0;
    int pad = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      std::uint32_t d = 0;
      if (c == '=') {
        // Padding only at the very end, and at most two.
        if (i + 4 != text.size() || k < 2) return std::nullopt;
        ++pad;
      } else {
        if (pad > 0) return std::nullopt;
        const char* at = c == '\0' ? nullptr : std::strchr(kAlphabet, c);
        if (at == nullptr) return std::nullopt;
        d = static_cast<std::uint32_t>(at - kAlphabet);
      }
      v = (v << 6) | d;
    }
    out += static_cast<char>((v >> 16) & 0xFF);
    if (pad < 2) out += static_cast<char>((v >> 8) & 0xFF);
    if (pad < 1) out += static_cast<char>(v & 0xFF);
  }
  return out;
}

std::string WriteRecordsetXml(const RecordsetImage& image) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<recordset version=\"1\">\n";
  for (const RecordsetImage::Column& column : image.columns) {
    out += " <column name=\"";
    AppendEscaped(out, column.name, true);
    out += "\" type=\"";
    AppendEscaped(out, column.declaredType, true);
    out += "\"/>\n";
  }
  char number[64];
  for (const std::vector<StoredCell>& row : image.rows) {
    out += " <row>";
    for (const StoredCell& cell : row) {
      switch (cell.kind) {
        case StoredCell::Kind::Null: out += "<n/>"; break;
        case StoredCell::Kind::Integer: {
          const auto r = std::to_chars(number, number + sizeof number, cell.integer);
          out += "<i>";
          out.append(number, r.ptr);
          out += "</i>";
          break;
        }
        case StoredCell::Kind::Real: {
          const auto r = std::to_chars(number, number + sizeof number, cell.real);
          out += "<r>";
          out.append(number, r.ptr);
          out += "</r>";
          break;
        }
        case StoredCell::Kind::Text:
          if (CarriesAsXmlText(cell.bytes)) {
            out += "<t>";
            AppendEscaped(out, cell.bytes, false);
            out += "</t>";
          } else {
            out += "<t64>" + Base64Encode(cell.bytes) + "</t64>";
          }
          break;
        case StoredCell::Kind::Blob: out += "<b>" + Base64Encode(cell.bytes) + "</b>"; break;
      }
    }
    out += "</row>\n";
  }
  out += "</recordset>\n";
  return out;
}

std::optional<RecordsetImage> ParseRecordsetXml(std::string_view xml, std::string& error) {
  Reader reader(xml);
  RecordsetImage image;
  reader.SkipBlanks();
  if (!reader.Take("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) {
    reader.Fail(error, "the XML declaration was expected");
    return std::nullopt;
  }
  reader.SkipBlanks();
  std::string version;
  if (!reader.Take("<recordset")) {
    reader.Fail(error, "<recordset> was expected");
    return std::nullopt;
  }
  if (!reader.Attribute("version", version, error)) return std::nullopt;
  if (version != "1") {
    reader.Fail(error, "unknown version " + version);
    return std::nullopt;
  }
  if (!reader.Take(">")) {
    reader.Fail(error, "'>' was expected");
    return std::nullopt;
  }
  for (;;) {
    reader.SkipBlanks();
    if (!reader.Take("<column")) break;
    RecordsetImage::Column column;
    if (!reader.Attribute("name", column.name, error) || !reader.Attribute("type", column.declaredType, error)) {
      return std::nullopt;
    }
    if (!reader.Take("/>")) {
      reader.Fail(error, "'/>' was expected");
      return std::nullopt;
    }
    image.columns.push_back(std::move(column));
  }
  for (;;) {
    reader.SkipBlanks();
    if (!reader.Take("<row>")) break;
    std::vector<StoredCell> row;
    row.reserve(image.columns.size());
    for (std::size_t c = 0; c < image.columns.size(); ++c) {
      StoredCell cell;
      if (!ReadCell(reader, cell, error)) return std::nullopt;
      row.push_back(std::move(cell));
    }
    reader.SkipBlanks();
    if (!reader.Take("</row>")) {
      reader.Fail(error, "</row> was expected (a row holds one cell per column)");
      return std::nullopt;
    }
    image.rows.push_back(std::move(row));
  }
  if (!reader.Take("</recordset>")) {
    reader.Fail(error, "</recordset> was expected");
    return std::nullopt;
  }
  reader.SkipBlanks();
  if (!reader.AtEnd()) {
    reader.Fail(error, "text after </recordset>");
    return std::nullopt;
  }
  return image;
}
