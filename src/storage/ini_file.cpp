#include "storage/ini_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>

#include "storage/charset.h"
#include "storage/file_io.h"
#include "storage/ini_document.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;

// Read-modify-write of one file must not interleave with another in this process, or
// one of two concurrent writes would be lost.
std::mutex& WriteMutex() {
  static std::mutex mutex;
  return mutex;
}

enum class IniEncoding { Utf8, Gbk, Utf16Le, Utf16Be };

// What a file held and how a write gives it back: its lines with their bytes, the
// byte-order mark it began with and the encoding of lines a write changes or adds.
struct IniFileImage {
  CIniDocument doc;
  IniEncoding encoding = IniEncoding::Utf8;
  std::string mark;
  bool text = true;  // false for a file that is not text at all: it is never rewritten
};

// Splits `body`, read in code units of `unitSize` bytes, at CR, LF and CR LF.
// `decode` turns a line's bytes into UTF-8 text.
template <typename UnitAt, typename Decode>
std::vector<CIniDocument::SourceLine> SplitLines(std::string_view body, std::size_t unitSize, UnitAt unitAt,
                                                 Decode decode) {
  std::vector<CIniDocument::SourceLine> lines;
  const std::size_t units = body.size() / unitSize;
  std::size_t begin = 0;
  while (begin < units) {
    std::size_t pos = begin;
    while (pos < units && unitAt(pos) != '\r' && unitAt(pos) != '\n') ++pos;
    CIniDocument::SourceLine line;
    line.bytes = std::string(body.substr(begin * unitSize, (pos - begin) * unitSize));
    line.text = decode(line.bytes);
    std::size_t next = pos;
    if (pos < units) {
      next = (unitAt(pos) == '\r' && pos + 1 < units && unitAt(pos + 1) == '\n') ? pos + 2 : pos + 1;
      line.end = next - pos == 2 ? "\r\n" : std::string(1, static_cast<char>(unitAt(pos)));
    }
    lines.push_back(std::move(line));
    begin = next;
  }
  return lines;
}

// Each line is decoded on its own (valid UTF-8 as UTF-8, anything else as GB18030),
// so a file edited in two encodings reads right line by line; a UTF-16 byte-order
// mark makes the whole file UTF-16.
IniFileImage DecodeIniFile(std::string_view bytes) {
  IniFileImage image;
  const bool littleEndian = bytes.substr(0, 2) == std::string_view("\xFF\xFE", 2);
  const bool bigEndian = bytes.substr(0, 2) == std::string_view("\xFE\xFF", 2);
  if (littleEndian || bigEndian) {
    image.encoding = bigEndian ? IniEncoding::Utf16Be : IniEncoding::Utf16Le;
    image.mark = std::string(bytes.substr(0, 2));
    const std::string_view body = bytes.substr(2);
    image.text = body.size() % 2 == 0;
    const auto unitAt = [&](std::size_t i) {
      const auto a = static_cast<unsigned char>(body[2 * i]);
      const auto b = static_cast<unsigned char>(body[2 * i + 1]);
      return bigEndian ? (a << 8) | b : (b << 8) | a;
    };
    image.doc = CIniDocument::FromLines(
        SplitLines(body, 2, unitAt, [&](std::string_view line) { return FromUtf16(line, bigEndian); }));
    return image;
  }
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) image.mark = std::string(kUtf8Bom);
  const std::string_view body = bytes.substr(image.mark.size());
  image.text = body.find('\0') == std::string_view::npos;
  bool utf8Seen = !image.mark.empty();
  bool gbkSeen = false;
  const auto unitAt = [&](std::size_t i) { return static_cast<unsigned char>(body[i]); };
  image.doc = CIniDocument::FromLines(SplitLines(body, 1, unitAt, [&](std::string_view line) {
    if (IsAscii(line)) return std::string(line);
    if (IsValidUtf8(line)) {
      utf8Seen = true;
      return std::string(line);
    }
    gbkSeen = true;
    return FromGb18030(line);
  }));
  image.encoding = (gbkSeen && !utf8Seen) ? IniEncoding::Gbk : IniEncoding::Utf8;
  return image;
}

std::string EncodeIniText(std::string_view utf8, IniEncoding encoding) {
  switch (encoding) {
    case IniEncoding::Gbk:
      return ToGb18030(utf8);
    case IniEncoding::Utf16Le:
      return ToUtf16(utf8, false);
    case IniEncoding::Utf16Be:
      return ToUtf16(utf8, true);
    case IniEncoding::Utf8:
      break;
  }
  return std::string(utf8);
}

std::optional<CIniDocument> LoadDocument(const std::string& path) {
  std::string bytes;
  if (ReadFileBytes(path, bytes) != FileReadResult::Ok) return std::nullopt;
  return DecodeIniFile(bytes).doc;
}

// The advisory lock that serialises writers of one file across processes: a flock on
// "<file>.lock" beside it, held until the object goes. The holder removes the lock
// file before it lets go, so none is left behind; a writer that locked a file some
// other holder had already removed sees that the name no longer leads to it and
// tries again. In a folder without any write bit nothing can be written, so no lock
// is taken there.
class WriterLock {
 public:
  explicit WriterLock(const std::string& path) : lockPath_(path + ".lock") {
    struct stat folder {};
    if (::stat(FolderOf(path).c_str(), &folder) == 0 && (folder.st_mode & kAnyWriteBit) == 0) {
      held_ = true;
      return;
    }
    for (int attempt = 0; attempt < 1000 && !held_; ++attempt) {
      fd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
      if (fd_ < 0) return;
      int rc = 0;
      while ((rc = ::flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
      }
      if (rc != 0) return;  // not held: the destructor only closes
      struct stat locked {};
      struct stat named {};
      held_ = ::fstat(fd_, &locked) == 0 && ::stat(lockPath_.c_str(), &named) == 0 &&
              locked.st_dev == named.st_dev && locked.st_ino == named.st_ino;
      if (!held_) {
        ::close(fd_);
        fd_ = -1;
      }
    }
  }
  ~WriterLock() {
    if (fd_ < 0) return;
    if (held_) ::unlink(lockPath_.c_str());
    ::close(fd_);  // closing releases the lock
  }
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;

  bool Held() const { return held_; }

 private:
  std::string lockPath_;
  int fd_ = -1;
  bool held_ = false;
};

// Reads the file again, applies `edit` and writes the result back. `edit` returns
// false when the edit is impossible; `changed` tells whether there is anything to
// write (a deletion of nothing writes nothing and succeeds). Lines the edit leaves
// alone keep their bytes; a file that is not text is never rewritten.
template <typename Edit>
bool EditFile(const std::string& givenPath, Edit edit) {
  if (givenPath.empty()) return false;
  std::lock_guard<std::mutex> lock(WriteMutex());
  const std::string& path = givenPath;
  const WriterLock processLock(path);
  if (!processLock.Held()) return false;
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists && (!S_ISREG(st.st_mode) || (st.st_mode & kAnyWriteBit) == 0)) return false;

  std::string bytes;
  if (exists && ReadFileBytes(path, bytes) != FileReadResult::Ok) return false;
  bool changed = false;
  const std::optional<std::string> out = EditIniFileBytes(bytes, edit, changed);
  if (!out) return false;
  return !changed || ReplaceFileContents(path, *out);
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads 1 to `maxDigits` hexadecimal digits at `pos`.
bool ReadHex(const std::string& text, std::size_t& pos, std::size_t maxDigits, unsigned& value) {
  value = 0;
  std::size_t digits = 0;
  while (digits < maxDigits && pos < text.size() && HexDigit(text[pos]) >= 0) {
    value = value * 16 + static_cast<unsigned>(HexDigit(text[pos]));
    ++pos;
    ++digits;
  }
  return digits > 0;
}

bool Expect(const std::string& text, std::size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

// The comma-separated numbers of a "{a,b,...}" text, when there are exactly `count`.
std::optional<std::vector<long>> BracedNumbers(const std::string& text, std::size_t count) {
  std::string inner = text;
  if (!StripBraces(inner)) return std::nullopt;
  std::vector<std::string> parts;
  SplitText(inner, ",", parts);
  if (parts.size() != count) return std::nullopt;
  std::vector<long> numbers(count);
  for (std::size_t i = 0; i < count; ++i) TextToLong(parts[i], numbers[i]);
  return numbers;
}

}  // namespace

CIniDocument ParseIniFileBytes(std::string_view bytes) { return DecodeIniFile(bytes).doc; }

std::optional<std::string> EditIniFileBytes(std::string_view bytes,
                                            const std::function<bool(CIniDocument& doc, bool& changed)>& edit,
                                            bool& changed) {
  changed = false;
  IniFileImage image = DecodeIniFile(bytes);
  if (!image.text || !edit(image.doc, changed)) return std::nullopt;
  if (!changed) return std::string(bytes);
  const IniEncoding encoding = image.encoding;
  return image.mark + image.doc.Render([encoding](std::string_view text) { return EncodeIniText(text, encoding); });
}

std::optional<std::string> ReadIniFileText(const std::string& path) {
  const std::optional<CIniDocument> doc = LoadDocument(path);
  if (!doc) return std::nullopt;
  return doc->Serialize();
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path) {
  if (section.empty() || key.empty()) return defaultValue;
  const std::optional<CIniDocument> doc = LoadDocument(path);
  return doc ? doc->GetString(section, key, defaultValue) : defaultValue;
}

int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& path) {
  if (section.empty() || key.empty()) return defaultValue;
  const std::optional<CIniDocument> doc = LoadDocument(path);
  return doc ? doc->GetInt(section, key, defaultValue) : defaultValue;
}

std::vector<std::string> GetPrivateProfileSectionNames(const std::string& path) {
  const std::optional<CIniDocument> doc = LoadDocument(path);
  return doc ? doc->SectionNames() : std::vector<std::string>();
}

std::vector<std::string> GetPrivateProfileKeyNames(const std::string& section, const std::string& path) {
  if (section.empty()) return {};
  const std::optional<CIniDocument> doc = LoadDocument(path);
  return doc ? doc->KeyNames(section) : std::vector<std::string>();
}

bool EditIniFile(const std::string& path, const std::function<bool(CIniDocument& doc, bool& changed)>& edit) {
  if (!edit) return false;
  return EditFile(path, edit);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::optional<std::string>& value, const std::string& path) {
  if (section.empty() || key.empty()) return false;
  return EditFile(path, [&](CIniDocument& doc, bool& changed) {
    if (!value) {
      changed = doc.DeleteKey(section, key);
      return true;
    }
    changed = doc.SetValue(section, key, *value);
    return changed;
  });
}

bool DeletePrivateProfileSection(const std::string& section, const std::string& path) {
  if (section.empty()) return false;
  return EditFile(path, [&](CIniDocument& doc, bool& changed) {
    changed = doc.DeleteSection(section);
    return true;
  });
}

// ---- CIniFile ----

CIniFile::CIniFile(const std::string& path) { SetPath(path); }

int CIniFile::SetPath(const std::string& path) {
  path_ = path;
  return FileExists();
}

int CIniFile::FileExists() const {
  if (path_.empty()) return 0;
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return regular ? 1 : 0;
}

int CIniFile::GetSectionNames(std::vector<std::string>& names) const {
  names = GetPrivateProfileSectionNames(path_);
  return names.empty() ? 0 : 1;
}

int CIniFile::GetSectionNames(std::list<std::string>& names) const {
  const std::vector<std::string> found = GetPrivateProfileSectionNames(path_);
  names.assign(found.begin(), found.end());
  return names.empty() ? 0 : 1;
}

int CIniFile::GetKeyNames(const std::string& section, std::vector<std::string>& keys) const {
  keys.clear();
  if (section.empty()) return 0;
  keys = GetPrivateProfileKeyNames(section, path_);
  return keys.empty() ? 0 : 1;
}

int CIniFile::GetKeyNames(const std::string& section, std::list<std::string>& keys) const {
  keys.clear();
  if (section.empty()) return 0;
  const std::vector<std::string> found = GetPrivateProfileKeyNames(section, path_);
  keys.assign(found.begin(), found.end());
  return keys.empty() ? 0 : 1;
}

int CIniFile::GetSection(const std::string& section,
                         std::vector<std::pair<std::string, std::string>>& pairs) const {
  pairs.clear();
  if (section.empty()) return 0;
  // One read of the file, so every value comes from the same version of it.
  const std::optional<CIniDocument> doc = LoadDocument(path_);
  if (!doc) return 0;
  const std::vector<std::string> keys = doc->KeyNames(section);
  if (keys.empty()) return 0;
  for (const std::string& key : keys) {
    std::string value = doc->GetString(section, key, "");
    if (value.empty()) return 0;
    pairs.emplace_back(key, std::move(value));
  }
  return 1;
}

int CIniFile::GetString(const std::string& section, const std::string& key, std::string* out) const {
  if (out != nullptr) out->clear();
  if (out == nullptr || section.empty() || key.empty()) return 0;
  *out = GetPrivateProfileString(section, key, "", path_);
  return out->empty() ? 0 : 1;
}

std::string CIniFile::GetString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  return GetPrivateProfileString(section, key, defaultValue, path_);
}

int CIniFile::GetInt(const std::string& section, const std::string& key, int* out) const {
  if (out == nullptr || section.empty() || key.empty()) return 0;
  *out = GetPrivateProfileInt(section, key, 0, path_);
  return 1;
}

int CIniFile::GetInt(const std::string& section, const std::string& key, int defaultValue) const {
  return GetPrivateProfileInt(section, key, defaultValue, path_);
}

int CIniFile::GetFloat(const std::string& section, const std::string& key, float* out) const {
  if (out == nullptr || section.empty() || key.empty()) return 0;
  double value = 0;
  TextToDouble(GetPrivateProfileString(section, key, "", path_), value);
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max())
    *out = value > 0 ? kInfinity : -kInfinity;  // too large for a float
  else
    *out = static_cast<float>(value);
  return 1;
}

int CIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  if (section.empty() || key.empty()) return 0;
  return WritePrivateProfileString(section, key, value, path_) ? 1 : 0;
}

int CIniFile::WriteInt(const std::string& section, const std::string& key, int value) {
  return WriteString(section, key, std::to_string(value));
}

int CIniFile::WriteFloat(const std::string& section, const std::string& key, float value) {
  std::string text(64, '\0');
  const auto result = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 6);
  if (result.ec != std::errc()) return 0;
  text.resize(static_cast<std::size_t>(result.ptr - text.data()));
  return WriteString(section, key, text);
}

int CIniFile::DeleteSection(const std::string& section) {
  if (section.empty()) return 0;
  return DeletePrivateProfileSection(section, path_) ? 1 : 0;
}

int CIniFile::DeleteKey(const std::string& section, const std::string& key) {
  if (section.empty() || key.empty()) return 0;
  return WritePrivateProfileString(section, key, std::nullopt, path_) ? 1 : 0;
}

// ---- text functions ----

int StripBraces(std::string& text) {
  if (text.size() < 2 || text.front() != '{' || text.back() != '}') return 0;
  text = text.substr(1, text.size() - 2);
  return 1;
}

int SplitText(const std::string& text, const std::string& delimiter, std::vector<std::string>& parts) {
  if (delimiter.empty()) return 0;
  parts.clear();
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t found = text.find(delimiter, pos);
    if (found == std::string::npos) {
      parts.push_back(text.substr(pos));
      break;
    }
    parts.push_back(text.substr(pos, found - pos));  // empty when it starts here
    pos = found + delimiter.size();
  }
  return 1;
}

int TrimText(const std::string& text, std::string& out) {
  out = std::string(TrimView(text));
  return 1;
}

int TextToLong(const std::string& text, long& out) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate as a negative number so that LONG_MIN itself is reachable.
  long value = 0;
  bool overflow = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value < (LONG_MIN + digit) / 10) overflow = true;
    if (!overflow) value = value * 10 - digit;
  }
  if (overflow) {
    out = negative ? LONG_MIN : LONG_MAX;
  } else if (negative) {
    out = value;
  } else {
    out = (value == LONG_MIN) ? LONG_MAX : -value;
  }
  return 1;
}

int TextToDouble(const std::string& text, double& out) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  if (i < text.size() && text[i] == '-') {  // "+-1" or "--1" is not a number
    out = 0;
    return 1;
  }
  double value = 0;
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec == std::errc::invalid_argument) {
    value = 0;
  } else if (result.ec == std::errc::result_out_of_range) {
    // Too large unless the exponent is negative or the whole part is all zeros.
    const std::string_view number(first, static_cast<std::size_t>(result.ptr - first));
    const std::size_t e = number.find_first_of("eE");
    const std::string_view whole = number.substr(0, std::min(number.find('.'), e));
    const bool negativeExponent = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
    const bool wholeIsZero = whole.find_first_not_of('0') == std::string_view::npos;
    value = (negativeExponent || wholeIsZero) ? 0.0 : std::numeric_limits<double>::infinity();
  }
  out = negative ? -value : value;
  return 1;
}

int ParseRect(const std::string& text, CRect& out) {
  const auto numbers = BracedNumbers(text, 4);
  if (!numbers) return 0;
  out = CRect(static_cast<int>((*numbers)[0]), static_cast<int>((*numbers)[1]), static_cast<int>((*numbers)[2]),
              static_cast<int>((*numbers)[3]));
  return 1;
}

int ParsePoint(const std::string& text, CPoint& out) {
  const auto numbers = BracedNumbers(text, 2);
  if (!numbers) return 0;
  out = CPoint(static_cast<int>((*numbers)[0]), static_cast<int>((*numbers)[1]));
  return 1;
}

int ParseColor(const std::string& text, COLORREF& out) {
  const auto numbers = BracedNumbers(text, 3);
  if (!numbers) return 0;
  out = RGB(static_cast<int>((*numbers)[0] & 0xFF), static_cast<int>((*numbers)[1] & 0xFF),
            static_cast<int>((*numbers)[2] & 0xFF));
  return 1;
}

int ParseGuid(const std::string& text, GUID& out) {
  // Eleven fields, read into unsigned ints first and narrowed once all are there.
  constexpr std::array<std::size_t, 11> kWidths = {8, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2};
  std::array<unsigned, 11> fields{};
  std::size_t pos = 0;
  if (!Expect(text, pos, '{')) return 0;
  for (std::size_t f = 0; f < fields.size(); ++f) {
    if ((f == 1 || f == 2 || f == 3 || f == 5) && !Expect(text, pos, '-')) return 0;
    if (!ReadHex(text, pos, kWidths[f], fields[f])) return 0;
  }
  if (!Expect(text, pos, '}') || pos != text.size()) return 0;
  out.Data1 = fields[0];
  out.Data2 = static_cast<std::uint16_t>(fields[1]);
  out.Data3 = static_cast<std::uint16_t>(fields[2]);
  for (std::size_t b = 0; b < 8; ++b) out.Data4[b] = static_cast<std::uint8_t>(fields[3 + b]);
  return 1;
}
