#pragma once
// Small helpers of the custom-series tests: hex texts, whole folder trees as maps, and
// the charting folder of the shared builder with its signals folder.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "../support/chart_folder_builder.h"
#include "../support/temp_program_folder.h"

inline std::string Hex(std::string_view bytes) {
  static const char* const kDigits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 0xF];
  }
  return out;
}

inline std::string Unhex(std::string_view hex) {
  std::string out;
  auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
  std::string digits;
  for (char c : hex) {
    if (c != ' ') digits += c;
  }
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    out += static_cast<char>(nibble(digits[i]) << 4 | nibble(digits[i + 1]));
  }
  return out;
}

// Every regular file below `root` (relative path → bytes); links are listed as "->target".
inline std::map<std::string, std::string> TreeOf(const std::string& root) {
  std::map<std::string, std::string> tree;
  namespace fs = std::filesystem;
  if (!fs::exists(root)) return tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = fs::relative(it->path(), root).string();
    if (it->is_symlink()) {
      tree[rel] = "->" + fs::read_symlink(it->path()).string();
      it.disable_recursion_pending();
    } else if (it->is_regular_file()) {
      tree[rel] = ReadWholeFile(it->path().string());
    } else if (it->is_directory()) {
      tree[rel + "/"] = "";
    }
  }
  return tree;
}

// The shared charting-folder builder with T0002/signals made (unless asked not to).
struct ChartSignals {
  explicit ChartSignals(bool withSignals = true) : signals(builder.Path("T0002/signals")) {
    if (withSignals) builder.MakeFolder("T0002/signals");
  }
  std::string Series(int n) const { return signals + "/signals_user_" + std::to_string(n); }

  ChartFolderBuilder builder;
  std::string signals;
};
