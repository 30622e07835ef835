#include "settings/settings.h"

#include <cctype>
#include <climits>

#include "storage/charset.h"
#include "storage/ini_file.h"

CSettings g_Settings;
std::uint8_t g_nDataSource = 1;
std::string TDX_DIR = "0";
std::string g_strWindowTitle = kDefaultWindowTitle;
std::string g_strStartPage;

namespace {

class SettingsReader {
 public:
  explicit SettingsReader(std::string path) : path_(std::move(path)) {}

  std::string Text(const char* section, const char* key, const char* def, std::size_t buffer) const {
    return CutToBuffer(GetPrivateProfileString(section, key, def, path_), buffer);
  }
  std::int32_t Int(const char* section, const char* key, const char* def, std::size_t buffer) const {
    return ParseLeadingInt(Text(section, key, def, buffer));
  }
  // Byte-sized values wrap like the one-byte field they are stored in.
  std::uint8_t Byte(const char* section, const char* key, const char* def, std::size_t buffer) const {
    return static_cast<std::uint8_t>(Int(section, key, def, buffer));
  }
  COLORREF Color(const char* section, const std::string& key) const {
    return static_cast<COLORREF>(Int(section, key.c_str(), "200", 10));
  }

 private:
  std::string path_;
};

}  // namespace

std::string CutToBuffer(const std::string& value, std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  return CutGbk(value, bufferSize - 1);
}

std::int32_t ParseLeadingInt(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) value = static_cast<long long>(INT_MAX) + 1;  // saturate, no overflow
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<std::int32_t>(value);
}

bool SaveBandColours(const std::string& iniPath, const std::array<COLORREF, 5>& buy,
                     const std::array<COLORREF, 5>& sell) {
  return EditIniFile(iniPath, [&](CIniDocument& doc, bool& changed) {
    for (int side = 0; side < 2; ++side) {
      for (std::size_t band = 0; band < 5; ++band) {
        const std::string key = (side == 0 ? "BuyMoney" : "SellMoney") + std::to_string(band + 1) + "_Color";
        const COLORREF colour = (side == 0 ? buy : sell)[band];
        if (!doc.SetValue("BuySellColor", key, std::to_string(static_cast<long>(colour)))) return false;
      }
    }
    changed = true;
    return true;
  });
}

std::string TdxPathBesideParent(const std::string& folder) {
  std::string f = folder;
  while (!f.empty() && f.back() == '/') f.pop_back();
  const auto slash = f.rfind('/');
  const std::string parent = slash == std::string::npos ? std::string() : f.substr(0, slash);
  return parent + "/TdxW.exe";
}

void LoadSettings(const std::string& folder) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  LoadSettingsFrom(path + kSettingsFileName, folder);
}

void LoadSettingsFrom(const std::string& iniPath, const std::string& folder) {
  const SettingsReader ini(iniPath);
  CSettings s;

  g_nDataSource = ini.Byte("system", "DataSource", "0", 10);
  s.IsToTray = ini.Byte("system", "IsToTray", "0", 10);
  s.TimeSel = ini.Byte("system", "TimeSel", "0", 10);
  s.YouZiChiXuBuy = ini.Int("system", "YouZiChiXuBuy", "0", 3);
  TDX_DIR = ini.Text("system", "TDX_DIR", "0", 256);
  s.SortMode = ini.Byte("system", "SortMode", "0", 3);
  s.IsExit = ini.Byte("system", "IsExit", "1", 10);
  s.SystemType = ini.Byte("system", "SystemType", "0", 10);
  s.MaxWindow = ini.Byte("system", "MaxWindow", "1", 10);
  s.BuyTeams = ini.Int("system", "BuyTeams", "2", 10);
  s.SellTeams = ini.Int("system", "SellTeams", "1", 10);
  s.TitalName = ini.Text("system", "TitalName", kDefaultWindowTitle, 256);
  s.TitalName_Site = ini.Text("system", "TitalName_Site", "", 256);

  for (int n = 1; n <= 5; ++n) {
    s.BuyMoney_Color[n - 1] = ini.Color("BuySellColor", "BuyMoney" + std::to_string(n) + "_Color");
  }
  for (int n = 1; n <= 5; ++n) {
    s.SellMoney_Color[n - 1] = ini.Color("BuySellColor", "SellMoney" + std::to_string(n) + "_Color");
  }

  for (int n = 1; n <= 15; ++n) {
    const std::string prefix = "YYB" + std::to_string(n);
    s.YYB_Color[n - 1] = ini.Color("YYBInfo", prefix + "_Color");
    s.YYB_Name[n - 1] = ini.Text("YYBInfo", (prefix + "_Name").c_str(), "XXX", kBranchNameBytes + 1);
  }
  for (int n = 1; n <= 4; ++n) {
    s.YYBWaring[n - 1] = ini.Text("YYBInfo", ("YYBWaring" + std::to_string(n)).c_str(), "XXX", 200);
  }

  s.IsTDX = ini.Byte("system", "IsTDX", "0", 10);
  if (s.IsTDX == 1) TDX_DIR = TdxPathBesideParent(folder);

  // Only the download page chooses another source, and only for its own run.
  g_nDataSource = 1;

  g_Settings = std::move(s);
  g_strWindowTitle = g_Settings.TitalName;
  g_strStartPage = g_Settings.TitalName_Site;
}
