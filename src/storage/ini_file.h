#pragma once
// INI profile files on disk: private-profile style functions, the CIniFile class over
// them, and the small text functions for values written in braces.
//
// Reading: each line is decoded on its own, as UTF-8 when it is valid UTF-8 and as
// GB18030 otherwise (a UTF-8 byte-order mark is accepted); a file that begins with a
// UTF-16 byte-order mark (either order) is read as UTF-16. A missing or unreadable
// file reads as empty.
// Writing: every write reads the file again, edits it and replaces it through a
// temporary file in the same folder and a rename, so the file on disk is always
// either the old or the new version. Writers in this process and in others take turns
// (a mutex and a flock on "<file>.lock" beside it, held from the read to the rename).
// Lines a write does not change keep their exact bytes; changed and new lines take
// the file's own line end ("\r\n" for a new file) and its encoding: UTF-16 in its
// byte order for a UTF-16 file, GBK (GB18030) for a file whose non-ASCII lines are
// all GBK, UTF-8 otherwise; a byte-order mark the file had is kept. A file that is
// not text (a NUL byte outside UTF-16, an odd UTF-16 length) is never rewritten. A
// file or folder without any write permission bit counts as read-only and is never
// written (even for root); a write that cannot happen returns false/0 and leaves the
// file untouched.

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/gdi_types.h"
#include "platform/win_types.h"
#include "storage/ini_document.h"

// A file's bytes decoded as the functions below read them.
CIniDocument ParseIniFileBytes(std::string_view bytes);
// The bytes a file holding `bytes` is rewritten to after `edit`, as the writes below
// write them (`changed` as for EditIniFile; nothing changed gives `bytes` back).
// nullopt when the edit fails or the bytes are not text.
std::optional<std::string> EditIniFileBytes(std::string_view bytes,
                                            const std::function<bool(CIniDocument& doc, bool& changed)>& edit,
                                            bool& changed);

// The file's text as UTF-8 without a byte-order mark; nullopt when it is missing or
// cannot be read.
std::optional<std::string> ReadIniFileText(const std::string& path);

// The value, or `defaultValue` when the file, section or key is missing (or the
// section or key name is empty). A key with an empty value gives "".
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path);
// The value's leading digits; `defaultValue` when the key is missing or its value is
// empty; 0 for a value without digits or a negative one.
int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& path);
// Section names in file order; keys of one section in file order.
std::vector<std::string> GetPrivateProfileSectionNames(const std::string& path);
std::vector<std::string> GetPrivateProfileKeyNames(const std::string& section, const std::string& path);

// Sets a key (creating the file and the section as needed), or removes it when
// `value` is nullopt. Removing what is not there succeeds without touching the file.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::optional<std::string>& value, const std::string& path);
// Several keys changed in one load-edit-save: `edit` gets the file's document (empty
// for a missing file) and sets `changed` when there is something to write; it returns
// false when the edit cannot be made. False, with the file untouched, when the edit
// fails or the file is read-only, not a regular file, unreadable or cannot be
// replaced; nothing to write is success. Written as the writes above write.
bool EditIniFile(const std::string& path, const std::function<bool(CIniDocument& doc, bool& changed)>& edit);
// Removes a section with all its keys.
bool DeletePrivateProfileSection(const std::string& section, const std::string& path);

// One INI file named by its path. Holds no handle: every call reads or rewrites the
// file. Results are 1 for success and 0 for failure; an empty section or key name
// counts as missing (result 0).
//
// The getters come in two forms: (section, key, pointer to out) -> 1/0, and
// (section, key, default) -> the value.
class CIniFile {
 public:
  CIniFile() = default;
  explicit CIniFile(const std::string& path);
  virtual ~CIniFile() = default;
  CIniFile(const CIniFile&) = default;
  CIniFile& operator=(const CIniFile&) = default;

  // Stores the path; returns FileExists() (0 for an empty path).
  int SetPath(const std::string& path);
  const std::string& GetPath() const { return path_; }
  // 1 when the path names a regular file that can be opened for reading.
  int FileExists() const;

  // Empty the list, then fill it in file order; 0 when there is nothing to list.
  int GetSectionNames(std::vector<std::string>& names) const;
  int GetSectionNames(std::list<std::string>& names) const;
  int GetKeyNames(const std::string& section, std::vector<std::string>& keys) const;
  int GetKeyNames(const std::string& section, std::list<std::string>& keys) const;
  // Every key with its value, in file order. Stops at the first key whose value is
  // empty and returns 0, keeping the pairs before it; 0 for a section without keys.
  int GetSection(const std::string& section, std::vector<std::pair<std::string, std::string>>& pairs) const;

  // 0 (and "" in *out) when the key is missing or its value is empty.
  int GetString(const std::string& section, const std::string& key, std::string* out) const;
  std::string GetString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
  // *out = the integer value (0 for a missing key or a text without digits); 1.
  int GetInt(const std::string& section, const std::string& key, int* out) const;
  int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
  // *out = the decimal value (0 for a missing key or a text that is not a number); 1.
  int GetFloat(const std::string& section, const std::string& key, float* out) const;

  int WriteString(const std::string& section, const std::string& key, const std::string& value);
  int WriteInt(const std::string& section, const std::string& key, int value);       // "%d"
  int WriteFloat(const std::string& section, const std::string& key, float value);   // "%f"
  int DeleteSection(const std::string& section);
  int DeleteKey(const std::string& section, const std::string& key);

 private:
  std::string path_;
};

struct GUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4{};
  friend bool operator==(const GUID&, const GUID&) = default;
};

// Text functions. Numbers are read without regard to the locale.

// "{...}" -> "..." and 1; 0 (text unchanged) when it is not enclosed in braces.
int StripBraces(std::string& text);
// Splits at every occurrence of `delimiter` (which may be several characters long):
// an empty part is kept at the start and between two delimiters, but not at the end
// ("a,,b" -> a, "", b; ",a" -> "", a; "a," -> a). 0 for an empty delimiter.
int SplitText(const std::string& text, const std::string& delimiter, std::vector<std::string>& parts);
// The text without white space at both ends; 1.
int TrimText(const std::string& text, std::string& out);
// Leading white space skipped, then an optional sign and decimal digits up to the
// first other character (0 when there are none; clamped when out of range); 1.
int TextToLong(const std::string& text, long& out);
int TextToDouble(const std::string& text, double& out);
// "{left,top,right,bottom}", "{x,y}", "{red,green,blue}" (each taken as one byte).
// 0 and `out` untouched for a text not in braces or with another number of parts.
int ParseRect(const std::string& text, CRect& out);
int ParsePoint(const std::string& text, CPoint& out);
int ParseColor(const std::string& text, COLORREF& out);
// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (hexadecimal fields of at most 8, 4, 4
// digits, then eight bytes of at most 2 digits each, grouped 2-6). 1 when all eleven
// fields were read and the text ends at "}"; else 0 and `out` untouched.
int ParseGuid(const std::string& text, GUID& out);
