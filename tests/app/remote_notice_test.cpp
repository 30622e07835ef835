#include "app/remote_notice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/temp_program_folder.h"
#include "storage/charset.h"

namespace {

// A notice as the service writes it, with `eol` between its lines.
std::string Notice(const std::string& version, const std::vector<std::string>& pages, const std::string& eol = "\n",
                   int number = -1) {
  std::string text = "Velkor Desk Program notice" + eol + "[Program]" + eol + "version=" + version + ";" + eol +
                     "website=http://up.example.com/;" + eol + "[Advertisement]" + eol +
                     "number=" + std::to_string(number < 0 ? static_cast<int>(pages.size()) : number) + ";" + eol;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    text += "website" + std::to_string(i + 1) + "=" + pages[i] + ";" + eol;
  }
  return text + "[SuccessRate]" + eol + "number=7;" + eol;
}

// What the fetch keeps: the text from one character into the first "Program".
std::string Cut(const std::string& body) {
  std::string joined;
  for (char c : body) {
    if (c != '\r' && c != '\n') joined += c;
  }
  const std::size_t at = joined.find("Program");
  return at == std::string::npos ? std::string() : joined.substr(at + 1);
}

RemoteConfig Parse(const std::string& body) { return ParseRemoteConfig(Cut(body)); }

TEST(ParseRemoteConfigTest, VersionDecidesTheDialog) {
  EXPECT_FALSE(Parse(Notice("25", {})).newer);
  EXPECT_EQ(Parse(Notice("25", {})).version, 25);
  EXPECT_TRUE(Parse(Notice("26", {})).newer);
  EXPECT_TRUE(Parse(Notice("100", {})).newer);
  EXPECT_FALSE(Parse(Notice("3", {})).newer);
  // Too long for any integer: saturates, so it counts as newer.
  const RemoteConfig huge = Parse(Notice("999999999999999999999999999999", {}));
  EXPECT_TRUE(huge.newer);
  EXPECT_GT(huge.version, 1000000000LL);
  // No digits after "version=": 0.
  const RemoteConfig none = Parse(Notice("abc", {}));
  EXPECT_TRUE(none.programFound);
  EXPECT_EQ(none.version, 0);
  EXPECT_FALSE(none.newer);
}

TEST(ParseRemoteConfigTest, PageCountAndMissingKeys) {
  EXPECT_TRUE(Parse(Notice("25", {"http://a.example.com/1"}, "\n", 0)).pages.empty());
  const RemoteConfig two = Parse(Notice("25", {"http://a.example.com/1", "https://b.example.com/2"}, "\n", 3));
  EXPECT_EQ(two.pages, (std::vector<std::string>{"http://a.example.com/1", "https://b.example.com/2"}));
  EXPECT_EQ(Parse(Notice("25", {"http://a.example.com/1", "http://a.example.com/2"}, "\n", 1)).pages.size(), 1u);
}

TEST(ParseRemoteConfigTest, CountIsCappedAt255) {
  std::vector<std::string> pages;
  for (int i = 1; i <= 300; ++i) pages.push_back("http://p.example.com/" + std::to_string(i));
  const RemoteConfig config = Parse(Notice("25", pages, "\n", 100000));
  ASSERT_EQ(config.pages.size(), 255u);
  EXPECT_EQ(config.pages.front(), "http://p.example.com/1");
  EXPECT_EQ(config.pages.back(), "http://p.example.com/255");
  // A count that does not fit any integer is capped the same way.
  std::string overlong = Notice("25", pages);
  overlong.replace(overlong.find("number=300"), 10, "number=99999999999999999999999");
  EXPECT_EQ(Parse(overlong).pages.size(), 255u);
  // Non-numeric: 0 pages.
  std::string word = Notice("25", pages);
  word.replace(word.find("number=300"), 10, "number=many");
  EXPECT_TRUE(Parse(word).pages.empty());
}

TEST(ParseRemoteConfigTest, ProgramOnlyInItsHeaderYieldsNothing) {
  const std::string body = "[Program]\nversion=30;\n[Advertisement]\nnumber=1;\nwebsite1=http://a.example.com/;\n";
  const RemoteConfig config = Parse(body);
  EXPECT_FALSE(config.programFound);
  EXPECT_FALSE(config.newer);
  EXPECT_TRUE(config.pages.empty());
}

TEST(ParseRemoteConfigTest, LineEndsDoNotMatter) {
  const std::vector<std::string> pages = {"http://a.example.com/1", "http://a.example.com/2"};
  const RemoteConfig lf = Parse(Notice("26", pages, "\n"));
  const RemoteConfig crlf = Parse(Notice("26", pages, "\r\n"));
  const RemoteConfig none = Parse(Notice("26", pages, ""));
  EXPECT_EQ(lf.pages, crlf.pages);
  EXPECT_EQ(lf.pages, none.pages);
  EXPECT_EQ(lf.version, crlf.version);
  EXPECT_EQ(lf.logLines, crlf.logLines);
  EXPECT_EQ(lf.pages.size(), 2u);
}

TEST(ParseRemoteConfigTest, StopsAtTheFirstMissingPieceKeepingWhatWasRead) {
  // No [Advertisement]: the version result stands.
  const RemoteConfig noAds = ParseRemoteConfig("rogram\n[Program]version=27;website=http://u.example.com/;");
  EXPECT_TRUE(noAds.newer);
  EXPECT_TRUE(noAds.pages.empty());
  // No [Program] at all: nothing.
  EXPECT_FALSE(ParseRemoteConfig("rogram version=99;").programFound);
  // A page without its ending ";" ends the list; the ones before it stay.
  const RemoteConfig cut =
      ParseRemoteConfig("rogram[Program]version=1;[Advertisement]number=3;website1=http://a.example.com/;"
                        "website2=http://b.example.com/");
  EXPECT_EQ(cut.pages, (std::vector<std::string>{"http://a.example.com/"}));
  // "number=" without ";": no pages.
  EXPECT_TRUE(ParseRemoteConfig("rogram[Program]version=1;[Advertisement]number=3").pages.empty());
  // Empty text.
  EXPECT_FALSE(ParseRemoteConfig("").programFound);
}

TEST(ParseRemoteConfigTest, RefusesAddressesThatAreNotWebPages) {
  const std::string longAddress = "http://a.example.com/" + std::string(3000, 'x');
  const std::vector<std::string> pages = {"javascript:alert(1)", "http://ok.example.com/1", "file:///etc/passwd",
                                          "http://", "ftp://f.example.com/", longAddress,
                                          "HTTPS://ok.example.com/2"};
  const RemoteConfig config = Parse(Notice("25", pages));
  EXPECT_EQ(config.pages, (std::vector<std::string>{"http://ok.example.com/1", "HTTPS://ok.example.com/2"}));
  ASSERT_EQ(config.refused.size(), 5u);
  EXPECT_EQ(config.refused[0], "javascript:alert(1)");
  EXPECT_EQ(config.refused[4], longAddress);
  ASSERT_EQ(config.logLines.size(), 7u);
  EXPECT_EQ(config.logLines[0], "website1 refused: javascript:alert(1)");
  EXPECT_EQ(config.logLines[1], "website2=http://ok.example.com/1");
  EXPECT_EQ(config.logLines[6], "website7=HTTPS://ok.example.com/2");
  // The 3 KB address is logged cut to the cap.
  EXPECT_EQ(config.logLines[5], "website6 refused: " + longAddress.substr(0, kNoticeLogTextCap));
}

TEST(ParseRemoteConfigTest, InvalidUtf8DoesNotShiftTheMarkers) {
  // Raw bytes that are not UTF-8, then made valid as the fetch does.
  std::string body = Notice("26", {"http://a.example.com/1", "http://a.example.com/2"});
  body.insert(body.find("[Advertisement]"), "\xB9\x5B\xFF\xC3");
  body.insert(body.find("website2="), "\xE4\xB8");
  const RemoteConfig config = ParseRemoteConfig(ToValidUtf8(Cut(body)));
  EXPECT_TRUE(config.newer);
  EXPECT_EQ(config.pages, (std::vector<std::string>{"http://a.example.com/1", "http://a.example.com/2"}));
}

TEST(NoticeTextTest, ToValidUtf8ReplacesBadBytesOnly) {
  EXPECT_EQ(ToValidUtf8("abc"), "abc");
  EXPECT_EQ(ToValidUtf8("中文"), "中文");
  EXPECT_EQ(ToValidUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_TRUE(IsValidUtf8(ToValidUtf8("\xE4\xB8")));
  EXPECT_EQ(ToValidUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(NoticeTextTest, LogTextIsCappedOnACharacterBoundaryWithoutControls) {
  EXPECT_EQ(NoticeLogText("a\tb\x01" "c\x7F"), "a?b?c?");
  std::string text = std::string(499, 'a') + "中" + "tail";  // the character straddles byte 500
  EXPECT_EQ(NoticeLogText(text), std::string(499, 'a'));
  EXPECT_EQ(NoticeLogText(std::string(600, 'b')).size(), kNoticeLogTextCap);
  EXPECT_EQ(NoticeLogText(std::string(498, 'a') + "中"), std::string(498, 'a'));
  EXPECT_EQ(NoticeLogText(std::string(497, 'a') + "中"), std::string(497, 'a') + "中");
}

TEST(NoticeTextTest, ConvertUtf8ToAnsiGivesGbk) {
  std::string text = "新版本v2";
  ConvertUtf8ToAnsi(text);
  EXPECT_EQ(text, "\xD0\xC2\xB0\xE6\xB1\xBE" "v2");
  std::string empty;
  ConvertUtf8ToAnsi(empty);
  EXPECT_TRUE(empty.empty());
}

TEST(NoticeAddressesTest, ReadFromTheSettingsFile) {
  TempProgramFolder::Options options;
  options.withIni = true;
  options.iniText =
      "[system]\r\nIsExit=1\r\n[Notice]\r\nNoticeUrl1=http://n1.example.com/a\r\nUpgradeUrl=http://up.example.com/\r\n";
  TempProgramFolder folder(options);
  const NoticeAddresses addresses = ReadNoticeAddresses(folder.File("sysinfo.ini"));
  EXPECT_EQ(addresses.notice1, "http://n1.example.com/a");
  EXPECT_EQ(addresses.notice2, "");
  EXPECT_EQ(addresses.upgrade, "http://up.example.com/");
  const NoticeAddresses missing = ReadNoticeAddresses(folder.File("absent.ini"));
  EXPECT_TRUE(missing.notice1.empty() && missing.notice2.empty() && missing.upgrade.empty());
}

}  // namespace
