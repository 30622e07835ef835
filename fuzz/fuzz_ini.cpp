// The INI engine on arbitrary bytes: decoding a file line by line, lookups, an edit
// and the rewrite must never crash; a rewrite that changes nothing gives the bytes
// back, and a changed key reads back from the rewritten bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "storage/ini_document.h"
#include "storage/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const CIniDocument doc = ParseIniFileBytes(bytes);
  for (const std::string& section : doc.SectionNames()) {
    for (const std::string& key : doc.KeyNames(section)) {
      (void)doc.GetString(section, key, "");
      (void)doc.GetInt(section, key, 0);
    }
  }
  const CIniDocument again = CIniDocument::Parse(doc.Serialize());
  if (again.Serialize() != doc.Serialize()) std::abort();

  bool changed = false;
  const auto touchNothing = [](CIniDocument&, bool& touched) {
    touched = true;
    return true;
  };
  const std::optional<std::string> same = EditIniFileBytes(bytes, touchNothing, changed);
  if (same && *same != bytes) std::abort();

  const auto setKey = [](CIniDocument& edited, bool& touched) {
    touched = edited.SetValue("system", "IsExit", "1");
    return touched;
  };
  const std::optional<std::string> written = EditIniFileBytes(bytes, setKey, changed);
  if (same.has_value() != written.has_value()) std::abort();
  if (written && ParseIniFileBytes(*written).GetString("system", "IsExit", "") != "1") std::abort();
  return 0;
}
