#pragma once
// The settings of "sysinfo.ini", read once at start-up into program-wide globals.
// Pages that change a setting write the key back and update the field on the UI
// thread; workers copy what they need when their job starts.

#include <array>
#include <cstdint>
#include <string>

#include "platform/win_types.h"

// One field per key; arrays hold the numbered keys ("BuyMoney1_Color" is
// BuyMoney_Color[0], "YYB15_Name" is YYB_Name[14]). Names are UTF-8.
struct CSettings {
  // [system]
  std::uint8_t IsToTray = 0;
  std::uint8_t TimeSel = 0;
  std::int32_t YouZiChiXuBuy = 0;
  std::uint8_t SortMode = 0;
  std::uint8_t IsExit = 1;
  std::uint8_t SystemType = 0;
  std::uint8_t MaxWindow = 1;
  // Seats of one team a stock needs among its buyers (sellers) to count as the team's
  // hit. Kept as read; users of the values treat anything below 1 as 1.
  std::int32_t BuyTeams = 2;
  std::int32_t SellTeams = 1;
  std::string TitalName;       // the key keeps its historical spelling
  std::string TitalName_Site;
  std::uint8_t IsTDX = 0;

  // [BuySellColor]: the five amount bands of buying and of selling seats.
  std::array<COLORREF, 5> BuyMoney_Color{};
  std::array<COLORREF, 5> SellMoney_Color{};

  // [YYBInfo]: the watched branches ("XXX" marks an empty slot) and four more names.
  // Names are cut to kBranchNameBytes GBK bytes, so a name saved whole reloads equal.
  std::array<COLORREF, 15> YYB_Color{};
  std::array<std::string, 15> YYB_Name;
  std::array<std::string, 4> YYBWaring;  // the key keeps its historical spelling
};

extern CSettings g_Settings;
extern std::uint8_t g_nDataSource;  // 1 = first source, 2 = the exchanges' publications
extern std::string TDX_DIR;         // the charting program's executable; "0" = not set
extern std::string g_strWindowTitle;
extern std::string g_strStartPage;

inline constexpr std::size_t kBranchNameBytes = 199;
inline constexpr const char* kDefaultWindowTitle = "Velkor Desk";
inline constexpr const char* kSettingsFileName = "sysinfo.ini";

// Reads folder/sysinfo.ini into the globals above. `folder` is the program folder
// without a trailing separator (g_szAppFolder); it also anchors the IsTDX rule.
void LoadSettings(const std::string& folder);
// The same with the file named apart from the folder (tests, migration).
void LoadSettingsFrom(const std::string& iniPath, const std::string& folder);

// Writes the ten band colours ("%ld" under BuyMoney1_Color ... SellMoney5_Color of
// [BuySellColor]) in one rewrite of the file: all of them or, on failure, none.
bool SaveBandColours(const std::string& iniPath, const std::array<COLORREF, 5>& buy,
                     const std::array<COLORREF, 5>& sell);

// The charting program's executable when the program sits in a sub-folder of the
// charting program's folder: parent of `folder` + "/TdxW.exe".
std::string TdxPathBesideParent(const std::string& folder);

// A text value as the loader stores it: cut to bufferSize - 1 GBK bytes at a
// character boundary.
std::string CutToBuffer(const std::string& value, std::size_t bufferSize);
// atoi: optional white space and sign, then digits; anything else gives 0.
std::int32_t ParseLeadingInt(const std::string& text);
