#include "settings/settings.h"

#include <gtest/gtest.h>

#include <functional>

#include "../support/temp_program_folder.h"
#include "storage/charset.h"
#include "storage/ini_file.h"

namespace {

std::size_t Utf8Chars(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TempProgramFolder::Options WithIni(const std::string& text,
                                   TempProgramFolder::IniEncoding enc = TempProgramFolder::IniEncoding::Utf8) {
  TempProgramFolder::Options o;
  o.withIni = true;
  o.iniText = text;
  o.encoding = enc;
  return o;
}

const char* const kFullIni =
    "[system]\r\n"
    "DataSource=2\r\n"
    "IsToTray=1\r\n"
    "TimeSel=3\r\n"
    "YouZiChiXuBuy=5\r\n"
    "TDX_DIR=/opt/wine/Tdx/TdxW.exe\r\n"
    "SortMode=2\r\n"
    "IsExit=0\r\n"
    "SystemType=1\r\n"
    "MaxWindow=0\r\n"
    "BuyTeams=7\r\n"
    "SellTeams=8\r\n"
    "TitalName=龙虎观察\r\n"
    "TitalName_Site=http://127.0.0.1/start\r\n"
    "[BuySellColor]\r\n"
    "BuyMoney1_Color=255\r\n"
    "BuyMoney5_Color=65280\r\n"
    "SellMoney3_Color=16711680\r\n"
    "[YYBInfo]\r\n"
    "YYB1_Name=中信证券股份有限公司上海溧阳路证券营业部\r\n"
    "YYB1_Color=123\r\n"
    "YYB15_Name=机构专用\r\n"
    "YYBWaring4=华泰证券股份有限公司南京中山北路证券营业部\r\n";

void ExpectFullIniLoaded(const std::string& folder) {
  EXPECT_EQ(g_nDataSource, 1);
  EXPECT_EQ(g_Settings.IsToTray, 1);
  EXPECT_EQ(g_Settings.TimeSel, 3);
  EXPECT_EQ(g_Settings.YouZiChiXuBuy, 5);
  EXPECT_EQ(TDX_DIR, "/opt/wine/Tdx/TdxW.exe");
  EXPECT_EQ(g_Settings.SortMode, 2);
  EXPECT_EQ(g_Settings.IsExit, 0);
  EXPECT_EQ(g_Settings.SystemType, 1);
  EXPECT_EQ(g_Settings.MaxWindow, 0);
  EXPECT_EQ(g_Settings.BuyTeams, 7);
  EXPECT_EQ(g_Settings.SellTeams, 8);
  EXPECT_EQ(g_strWindowTitle, "龙虎观察");
  EXPECT_EQ(g_strStartPage, "http://127.0.0.1/start");
  EXPECT_EQ(g_Settings.BuyMoney_Color[0], 255u);
  EXPECT_EQ(g_Settings.BuyMoney_Color[1], 200u);
  EXPECT_EQ(g_Settings.BuyMoney_Color[4], 65280u);
  EXPECT_EQ(g_Settings.SellMoney_Color[2], 16711680u);
  EXPECT_EQ(g_Settings.YYB_Name[0], "中信证券股份有限公司上海溧阳路证券营业部");
  EXPECT_EQ(g_Settings.YYB_Color[0], 123u);
  EXPECT_EQ(g_Settings.YYB_Name[1], "XXX");
  EXPECT_EQ(g_Settings.YYB_Name[14], "机构专用");
  EXPECT_EQ(g_Settings.YYBWaring[3], "华泰证券股份有限公司南京中山北路证券营业部");
  EXPECT_EQ(g_Settings.YYBWaring[0], "XXX");
  (void)folder;
}

}  // namespace

TEST(LoadSettings, MissingFileGivesTheDefaults) {
  TempProgramFolder folder;
  TDX_DIR = "stale";
  g_nDataSource = 9;
  LoadSettings(folder.Path());
  EXPECT_EQ(g_nDataSource, 1);
  EXPECT_EQ(TDX_DIR, "0");
  EXPECT_EQ(g_Settings.BuyTeams, 2);
  EXPECT_EQ(g_Settings.SellTeams, 1);
  EXPECT_EQ(g_Settings.IsExit, 1);
  EXPECT_EQ(g_Settings.MaxWindow, 1);
  EXPECT_EQ(g_Settings.IsToTray, 0);
  EXPECT_EQ(g_Settings.IsTDX, 0);
  for (COLORREF c : g_Settings.BuyMoney_Color) EXPECT_EQ(c, 200u);
  for (COLORREF c : g_Settings.SellMoney_Color) EXPECT_EQ(c, 200u);
  for (COLORREF c : g_Settings.YYB_Color) EXPECT_EQ(c, 200u);
  for (const auto& name : g_Settings.YYB_Name) EXPECT_EQ(name, "XXX");
  for (const auto& name : g_Settings.YYBWaring) EXPECT_EQ(name, "XXX");
  EXPECT_EQ(g_strWindowTitle, "Velkor Desk");
  EXPECT_EQ(g_strStartPage, "");
}

TEST(LoadSettings, EveryKeyIsReadAndDataSourceIsForcedToTheFirstSource) {
  TempProgramFolder folder(WithIni(kFullIni));
  LoadSettings(folder.Path());
  ExpectFullIniLoaded(folder.Path());
}

TEST(LoadSettings, GbkFileLoadsTheSameValues) {
  TempProgramFolder folder(WithIni(kFullIni, TempProgramFolder::IniEncoding::Gbk));
  ASSERT_NE(folder.ReadFile("sysinfo.ini"), kFullIni);  // really stored as GBK bytes
  LoadSettings(folder.Path());
  ExpectFullIniLoaded(folder.Path());
}

namespace {

// The full file in some encoding goes through a start, then one key changes: the
// start reads every value, and the write leaves every other line's bytes alone.
void ExpectStartAndOneChangedKey(const std::function<std::string(const std::string&)>& encode) {
  TempProgramFolder folder;
  const std::string before = encode(kFullIni);
  folder.WriteFile("sysinfo.ini", before);
  LoadSettings(folder.Path());
  ExpectFullIniLoaded(folder.Path());
  ASSERT_EQ(CIniFile(folder.File("sysinfo.ini")).WriteString("system", "TitalName", "新的标题"), 1);
  std::string changed = kFullIni;
  changed.replace(changed.find("龙虎观察"), std::string("龙虎观察").size(), "新的标题");
  EXPECT_EQ(folder.ReadFile("sysinfo.ini"), encode(changed));
}

}  // namespace

TEST(LoadSettings, MixedUtf8AndGbkLinesEachReadAndKept) {
  ExpectStartAndOneChangedKey([](const std::string& text) {
    // The branch lines were added by a GBK editor; the rest is UTF-8.
    std::string bytes;
    for (std::size_t pos = 0; pos < text.size();) {
      const std::size_t end = text.find('\n', pos) + 1;
      const std::string line = text.substr(pos, end - pos);
      bytes += line.rfind("YYB15_Name", 0) == 0 || line.rfind("YYBWaring4", 0) == 0 ? ToGbk(line) : line;
      pos = end;
    }
    return bytes;
  });
}

TEST(LoadSettings, Utf16LittleEndianFileReadAndKept) {
  ExpectStartAndOneChangedKey([](const std::string& text) { return "\xFF\xFE" + ToUtf16(text, false); });
}

TEST(LoadSettings, GbkFileReadAndKeptAsGbk) {
  ExpectStartAndOneChangedKey([](const std::string& text) { return ToGbk(text); });
}

TEST(LoadSettings, ValuesAreCutToTheirBuffers) {
  const std::string longName = Repeat("国", 120);
  TempProgramFolder folder(WithIni("[system]\nYouZiChiXuBuy=123\nSortMode=456\n[YYBInfo]\nYYB1_Name=" + longName +
                                   "\nYYBWaring1=" + Repeat("a", 250) + "\n"));
  LoadSettings(folder.Path());
  EXPECT_EQ(g_Settings.YouZiChiXuBuy, 12);  // two characters fit the buffer of 3
  EXPECT_EQ(g_Settings.SortMode, 45);
  // Branch names keep 199 GBK bytes: 99 whole characters, never half of one.
  EXPECT_EQ(Utf8Chars(g_Settings.YYB_Name[0]), 99u);
  EXPECT_EQ(g_Settings.YYB_Name[0], Repeat("国", 99));
  EXPECT_EQ(g_Settings.YYBWaring[0], Repeat("a", 199));
}

TEST(LoadSettings, ByteValuesWrapAndNonNumbersGiveZero) {
  TempProgramFolder folder(WithIni("[system]\nIsToTray=300\nBuyTeams=abc\nSellTeams=-1\nMaxWindow= 7x\n"
                                   "[BuySellColor]\nBuyMoney2_Color=red\n"));
  LoadSettings(folder.Path());
  EXPECT_EQ(g_Settings.IsToTray, 44);   // 300 in one byte
  EXPECT_EQ(g_Settings.BuyTeams, 0);    // no digits
  EXPECT_EQ(g_Settings.SellTeams, -1);  // team thresholds are whole ints, kept as read
  EXPECT_EQ(g_Settings.MaxWindow, 7);   // leading digits count
  EXPECT_EQ(g_Settings.BuyMoney_Color[1], 0u);
}

TEST(LoadSettings, LinesOutsideSectionsOrWithoutEqualsAreIgnored) {
  TempProgramFolder folder(WithIni("BuyTeams=9\n[system]\nSellTeams 5\nTimeSel=4\n[other]\nBuyTeams=6\n"));
  LoadSettings(folder.Path());
  EXPECT_EQ(g_Settings.BuyTeams, 2);
  EXPECT_EQ(g_Settings.SellTeams, 1);
  EXPECT_EQ(g_Settings.TimeSel, 4);
}

TEST(LoadSettings, IsTdxPutsTheChartingProgramBesideTheParentFolder) {
  TempProgramFolder folder(WithIni("[system]\nTDX_DIR=/somewhere/else.exe\nIsTDX=1\n"));
  LoadSettingsFrom(folder.File("sysinfo.ini"), "/x/Tdx/App");
  EXPECT_EQ(TDX_DIR, "/x/Tdx/TdxW.exe");
  LoadSettingsFrom(folder.File("sysinfo.ini"), "");  // the program folder "/"
  EXPECT_EQ(TDX_DIR, "/TdxW.exe");
  LoadSettingsFrom(folder.File("sysinfo.ini"), "/");
  EXPECT_EQ(TDX_DIR, "/TdxW.exe");
}

TEST(LoadSettings, IsTdxOtherThanOneKeepsTheFileValue) {
  TempProgramFolder folder(WithIni("[system]\nTDX_DIR=/wine/Tdx/TdxW.exe\nIsTDX=2\n"));
  LoadSettingsFrom(folder.File("sysinfo.ini"), "/x/Tdx/App");
  EXPECT_EQ(TDX_DIR, "/wine/Tdx/TdxW.exe");
}

TEST(ParseLeadingInt, BehavesLikeAtoi) {
  EXPECT_EQ(ParseLeadingInt(""), 0);
  EXPECT_EQ(ParseLeadingInt("  42abc"), 42);
  EXPECT_EQ(ParseLeadingInt("-17"), -17);
  EXPECT_EQ(ParseLeadingInt("+8"), 8);
  EXPECT_EQ(ParseLeadingInt("x1"), 0);
  EXPECT_EQ(ParseLeadingInt("99999999999999999999"), 2147483647);
  EXPECT_EQ(ParseLeadingInt("-99999999999999999999"), -2147483647 - 1);
}
