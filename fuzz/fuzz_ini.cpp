// The INI engine on arbitrary bytes: parsing, lookups, an edit and the round trip
// must never crash, and a document must read back the same after serialising.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "storage/charset.h"
#include "storage/ini_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The file layer decodes a file that is not UTF-8 as GBK first.
  const std::string text = IsValidUtf8(bytes) ? std::string(bytes) : FromGbk(bytes);
  CIniDocument doc = CIniDocument::Parse(text);
  for (const std::string& section : doc.SectionNames()) {
    for (const std::string& key : doc.KeyNames(section)) {
      (void)doc.GetString(section, key, "");
      (void)doc.GetInt(section, key, 0);
    }
  }
  doc.SetValue("system", "IsExit", "1");
  const std::string once = doc.Serialize();
  const CIniDocument again = CIniDocument::Parse(once);
  if (again.GetString("system", "IsExit", "") != "1") std::abort();
  if (again.Serialize() != once) std::abort();
  return 0;
}
