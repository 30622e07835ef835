#include "storage/ini_file.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <string>
#include <thread>
#include <vector>

namespace {

// A fresh folder under the system's temporary folder, removed with its content.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velkor-ini-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    ::chmod(path_.c_str(), 0755);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename());
    return names;
  }

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// 中信证券 in GBK and in UTF-8.
const std::string kBrokerGbk = "\xD6\xD0\xD0\xC5\xD6\xA4\xC8\xAF";
const std::string kBrokerUtf8 = "中信证券";

// ---- CIniFile ----

TEST(IniFileClass, EmptyValueReadsLikeAMissingKey) {
  TempFolder dir;
  WriteBytes(dir.File("a.ini"), "[s]\r\nempty=\r\nfull=x\r\n");
  CIniFile ini(dir.File("a.ini"));
  std::string out = "stale";
  EXPECT_EQ(ini.GetString("s", "empty", &out), 0);
  EXPECT_EQ(out, "");
  out = "stale";
  EXPECT_EQ(ini.GetString("s", "missing", &out), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(ini.GetString("s", "full", &out), 1);
  EXPECT_EQ(out, "x");
  EXPECT_EQ(ini.GetString("", "full", &out), 0);
}

TEST(IniFileClass, IntOfANonNumberIsZeroWithSuccess) {
  TempFolder dir;
  WriteBytes(dir.File("a.ini"), "[s]\r\nk=abc\r\nn=-3\r\n");
  CIniFile ini(dir.File("a.ini"));
  int value = 7;
  EXPECT_EQ(ini.GetInt("s", "k", &value), 1);
  EXPECT_EQ(value, 0);
  value = 7;
  EXPECT_EQ(ini.GetInt("s", "n", &value), 1);
  EXPECT_EQ(value, 0);
  value = 7;
  EXPECT_EQ(ini.GetInt("s", "missing", &value), 1);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(ini.GetInt("s", "", &value), 0);
}

TEST(IniFileClass, WriteIntOnANewFileCreatesItWithSectionAndKey) {
  TempFolder dir;
  CIniFile ini;
  EXPECT_EQ(ini.SetPath(dir.File("new.ini")), 0);  // not there yet
  EXPECT_EQ(ini.WriteInt("system", "IsExit", 1), 1);
  EXPECT_EQ(ini.FileExists(), 1);
  EXPECT_EQ(ReadBytes(dir.File("new.ini")), "[system]\r\nIsExit=1\r\n");
  int value = 0;
  EXPECT_EQ(ini.GetInt("system", "IsExit", &value), 1);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(ini.WriteInt("system", "Neg", -12), 1);
  EXPECT_EQ(ini.GetString("system", "Neg", std::string("?")), "-12");
}

TEST(IniFileClass, DeleteKeyThenGetStringFails) {
  TempFolder dir;
  CIniFile ini(dir.File("a.ini"));
  ASSERT_EQ(ini.WriteString("s", "k", "v"), 1);
  ASSERT_EQ(ini.WriteString("s", "other", "w"), 1);
  EXPECT_EQ(ini.DeleteKey("s", "K"), 1);
  std::string out;
  EXPECT_EQ(ini.GetString("s", "k", &out), 0);
  EXPECT_EQ(ReadBytes(dir.File("a.ini")), "[s]\r\nother=w\r\n");
  EXPECT_EQ(ini.DeleteKey("s", "k"), 1);  // nothing left to remove is no failure
}

TEST(IniFileClass, GetSectionStopsAtTheFirstEmptyValue) {
  TempFolder dir;
  WriteBytes(dir.File("a.ini"), "[s]\r\na=1\r\nb=\r\nc=3\r\n[t]\r\nx=1\r\ny=2\r\n");
  CIniFile ini(dir.File("a.ini"));
  std::vector<std::pair<std::string, std::string>> pairs;
  EXPECT_EQ(ini.GetSection("s", pairs), 0);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0], (std::pair<std::string, std::string>{"a", "1"}));
  EXPECT_EQ(ini.GetSection("t", pairs), 1);
  EXPECT_EQ(pairs.size(), 2u);
  EXPECT_EQ(ini.GetSection("none", pairs), 0);
  EXPECT_TRUE(pairs.empty());
}

TEST(IniFileClass, BothGetterForms) {
  TempFolder dir;
  WriteBytes(dir.File("a.ini"), "[YYBInfo]\r\nYYB1_Name=" + kBrokerUtf8 + "\r\nYYB1_Color=255\r\n");
  CIniFile ini(dir.File("a.ini"));
  EXPECT_EQ(ini.GetString("yybinfo", "yyb1_name", "XXX"), kBrokerUtf8);
  EXPECT_EQ(ini.GetString("YYBInfo", "YYB2_Name", "XXX"), "XXX");
  EXPECT_EQ(ini.GetInt("YYBInfo", "YYB1_Color", 200), 255);
  EXPECT_EQ(ini.GetInt("YYBInfo", "YYB2_Color", 200), 200);
  std::string name;
  int color = 0;
  EXPECT_EQ(ini.GetString("YYBInfo", "YYB1_Name", &name), 1);
  EXPECT_EQ(name, kBrokerUtf8);
  EXPECT_EQ(ini.GetInt("YYBInfo", "YYB1_Color", &color), 1);
  EXPECT_EQ(color, 255);
}

TEST(IniFileClass, FloatsWrittenWithSixDecimalsAndReadBack) {
  TempFolder dir;
  CIniFile ini(dir.File("a.ini"));
  ASSERT_EQ(ini.WriteFloat("f", "x", 2.5f), 1);
  EXPECT_EQ(ini.GetString("f", "x", std::string()), "2.500000");
  float value = 0;
  EXPECT_EQ(ini.GetFloat("f", "x", &value), 1);
  EXPECT_FLOAT_EQ(value, 2.5f);
  ASSERT_EQ(ini.WriteString("f", "bad", "abc"), 1);
  value = 9;
  EXPECT_EQ(ini.GetFloat("f", "bad", &value), 1);
  EXPECT_EQ(value, 0.0f);
  value = 9;
  EXPECT_EQ(ini.GetFloat("f", "missing", &value), 1);
  EXPECT_EQ(value, 0.0f);
}

TEST(IniFileClass, SectionAndKeyNamesInFileOrder) {
  TempFolder dir;
  std::string text;
  for (int i = 0; i < 300; ++i) text += "[S" + std::to_string(i) + "]\r\nk" + std::to_string(i) + "=1\r\n";
  text += "[S7]\r\nextra=2\r\n";
  WriteBytes(dir.File("a.ini"), text);
  CIniFile ini(dir.File("a.ini"));
  std::vector<std::string> names;
  ASSERT_EQ(ini.GetSectionNames(names), 1);
  ASSERT_EQ(names.size(), 300u);
  EXPECT_EQ(names[0], "S0");
  EXPECT_EQ(names[299], "S299");
  std::list<std::string> list;
  ASSERT_EQ(ini.GetSectionNames(list), 1);
  EXPECT_EQ(list.size(), 300u);

  std::vector<std::string> keys;
  ASSERT_EQ(ini.GetKeyNames("s7", keys), 1);
  EXPECT_EQ(keys, (std::vector<std::string>{"k7", "extra"}));
  std::list<std::string> keyList{"stale"};
  EXPECT_EQ(ini.GetKeyNames("nothing", keyList), 0);
  EXPECT_TRUE(keyList.empty());
}

TEST(IniFileClass, DeleteSectionRemovesItsKeys) {
  TempFolder dir;
  WriteBytes(dir.File("a.ini"), "[SoftList]\r\nSoftCount=1\r\nSoftName1=x\r\n[system]\r\nIsExit=1\r\n");
  CIniFile ini(dir.File("a.ini"));
  EXPECT_EQ(ini.DeleteSection("softlist"), 1);
  EXPECT_EQ(ReadBytes(dir.File("a.ini")), "[system]\r\nIsExit=1\r\n");
  EXPECT_EQ(ini.DeleteSection(""), 0);
}

TEST(IniFileClass, MissingFileReadsEmpty) {
  TempFolder dir;
  CIniFile ini(dir.File("none.ini"));
  EXPECT_EQ(ini.FileExists(), 0);
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(ini.GetSectionNames(names), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(ini.GetString("s", "k", "dflt"), "dflt");
  EXPECT_EQ(ini.GetInt("s", "k", 5), 5);
  EXPECT_EQ(dir.Entries().size(), 0u);  // reading never creates the file
  CIniFile folderAsFile(dir.Path());
  EXPECT_EQ(folderAsFile.FileExists(), 0);
}

// ---- private-profile functions ----

TEST(IniFileProfile, LookupRulesHoldOnDisk) {
  TempFolder dir;
  const std::string path = dir.File("sysinfo.ini");
  WriteBytes(path, "[System]\nTDX_DIR = \"/opt/tdx/TdxW.exe\" \nTDX_DIR=second\n");
  EXPECT_EQ(GetPrivateProfileString("system", "tdx_dir", "0", path), "/opt/tdx/TdxW.exe");
  EXPECT_EQ(GetPrivateProfileString("system", "missing", "0", path), "0");
  EXPECT_EQ(GetPrivateProfileInt("system", "missing", 2, path), 2);
  EXPECT_EQ(GetPrivateProfileString("system", "TDX_DIR", "0", dir.File("none.ini")), "0");
}

TEST(IniFileProfile, GbkCrlfFileIsReadAndRewrittenAsGbkKeepingCrlf) {
  TempFolder dir;
  const std::string path = dir.File("sysinfo.ini");
  WriteBytes(path, "[YYBInfo]\r\nYYB1_Name=" + kBrokerGbk + "\r\n; " + kBrokerGbk + "\r\n[system]\r\nIsExit=0\r\n");
  EXPECT_EQ(GetPrivateProfileString("YYBInfo", "YYB1_Name", "XXX", path), kBrokerUtf8);
  ASSERT_TRUE(WritePrivateProfileString("system", "IsExit", std::string("1"), path));
  EXPECT_EQ(ReadBytes(path),
            "[YYBInfo]\r\nYYB1_Name=" + kBrokerGbk + "\r\n; " + kBrokerGbk + "\r\n[system]\r\nIsExit=1\r\n");
  EXPECT_EQ(GetPrivateProfileString("YYBInfo", "YYB1_Name", "XXX", path), kBrokerUtf8);
}

TEST(IniFileProfile, Utf8ByteOrderMarkIsAcceptedAndKept) {
  TempFolder dir;
  const std::string path = dir.File("a.ini");
  WriteBytes(path, "\xEF\xBB\xBF[s]\nk=" + kBrokerUtf8 + "\n");
  EXPECT_EQ(GetPrivateProfileString("s", "k", "", path), kBrokerUtf8);
  EXPECT_EQ(ReadIniFileText(path), "[s]\nk=" + kBrokerUtf8 + "\n");
  ASSERT_TRUE(WritePrivateProfileString("s", "j", std::string("2"), path));
  EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBF[s]\nk=" + kBrokerUtf8 + "\nj=2\n");
}

TEST(IniFileProfile, RewriteKeepsTheFilesPermissionsAndLeavesNoTemporaryFile) {
  TempFolder dir;
  const std::string path = dir.File("a.ini");
  WriteBytes(path, "[s]\nk=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(WritePrivateProfileString("s", "k", std::string("2"), path));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"a.ini"});
}

TEST(IniFileProfile, SymbolicLinkIsFollowedNotReplaced) {
  TempFolder dir;
  WriteBytes(dir.File("real.ini"), "[s]\nk=1\n");
  ASSERT_EQ(::symlink(dir.File("real.ini").c_str(), dir.File("link.ini").c_str()), 0);
  ASSERT_TRUE(WritePrivateProfileString("s", "k", std::string("2"), dir.File("link.ini")));
  EXPECT_EQ(ReadBytes(dir.File("real.ini")), "[s]\nk=2\n");
  struct stat st {};
  ASSERT_EQ(::lstat(dir.File("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(IniFileProfile, DeletingWhatIsNotThereDoesNotCreateTheFile) {
  TempFolder dir;
  EXPECT_TRUE(WritePrivateProfileString("s", "k", std::nullopt, dir.File("a.ini")));
  EXPECT_TRUE(DeletePrivateProfileSection("s", dir.File("a.ini")));
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(IniFileProfile, ConcurrentWritersLoseNoKey) {
  TempFolder dir;
  const std::string path = dir.File("a.ini");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 25; ++i)
        WritePrivateProfileString("s", "k" + std::to_string(t) + "_" + std::to_string(i), std::string("v"), path);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(GetPrivateProfileKeyNames("s", path).size(), 100u);
}

TEST(IniFileProfile, TwoProcessesWritingAtOnceLoseNoKey) {
  TempFolder dir;
  const std::string path = dir.File("sysinfo.ini");
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < 100; ++i)
        ok = WritePrivateProfileString("s", "p" + std::to_string(p) + "_" + std::to_string(i), std::string("v"),
                                       path) && ok;
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(GetPrivateProfileKeyNames("s", path).size(), 200u);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"sysinfo.ini"});
}

// ---- writes that cannot happen ----

TEST(IniFileNotText, IsNeverRewrittenAndTheWriteFails) {
  TempFolder dir;
  const std::string path = dir.File("sysinfo.ini");
  const std::string bytes("[system]\r\nIsExit=0\r\n\0\x01\x02\xFF\r\n", 22);
  WriteBytes(path, bytes);
  EXPECT_FALSE(WritePrivateProfileString("system", "SortMode", std::string("1"), path));
  EXPECT_EQ(CIniFile(path).WriteInt("system", "IsExit", 1), 0);
  EXPECT_EQ(ReadBytes(path), bytes);
}

class IniFileFailedWrite : public testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("sysinfo.ini");
    WriteBytes(path_, original_);
  }
  void ExpectUntouched() {
    EXPECT_EQ(ReadBytes(path_), original_);
    EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"sysinfo.ini"});
  }

  TempFolder dir_;
  std::string path_;
  const std::string original_ = "[system]\r\nIsExit=0\r\n; " + kBrokerGbk + "\r\n";
};

TEST_F(IniFileFailedWrite, ReadOnlyFolder) {
  // A folder without write permission bits is never written, so this also holds when
  // the tests run as root (where the permission bits alone would not stop a write).
  ASSERT_EQ(::chmod(dir_.Path().c_str(), 0555), 0);
  CIniFile ini(path_);
  EXPECT_EQ(ini.WriteInt("system", "IsExit", 1), 0);
  EXPECT_EQ(ini.DeleteKey("system", "IsExit"), 0);
  ASSERT_EQ(::chmod(dir_.Path().c_str(), 0755), 0);
  ExpectUntouched();
}

TEST_F(IniFileFailedWrite, ReadOnlyFile) {
  ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
  EXPECT_FALSE(WritePrivateProfileString("system", "IsExit", std::string("1"), path_));
  EXPECT_FALSE(DeletePrivateProfileSection("system", path_));
  ExpectUntouched();
}

TEST_F(IniFileFailedWrite, DiskFullDuringTheWrite) {
  // Simulates a full disk: a file-size limit makes the temporary file's write fail
  // half way (EFBIG); the limit binds root as well.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tiny = old;
  tiny.rlim_cur = 8;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
  const bool written = WritePrivateProfileString("system", "IsExit", std::string("1"), path_);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  ExpectUntouched();
}

TEST_F(IniFileFailedWrite, UnwritableValueOrMissingFolder) {
  EXPECT_FALSE(WritePrivateProfileString("system", "IsExit", std::string("1\r\n[x]"), path_));
  EXPECT_FALSE(WritePrivateProfileString("", "IsExit", std::string("1"), path_));
  EXPECT_FALSE(WritePrivateProfileString("system", "IsExit", std::string("1"), dir_.File("no/such.ini")));
  EXPECT_EQ(CIniFile().WriteInt("system", "IsExit", 1), 0);  // no path
  ExpectUntouched();
}

// ---- text functions ----

TEST(IniTextFunctions, StripBraces) {
  std::string text = "{1,2}";
  EXPECT_EQ(StripBraces(text), 1);
  EXPECT_EQ(text, "1,2");
  for (std::string bad : {"1,2}", "{1,2", "", "{"}) {
    const std::string before = bad;
    EXPECT_EQ(StripBraces(bad), 0);
    EXPECT_EQ(bad, before);
  }
  text = "{}";
  EXPECT_EQ(StripBraces(text), 1);
  EXPECT_EQ(text, "");
}

TEST(IniTextFunctions, SplitTextWithOneCharacter) {
  std::vector<std::string> parts{"stale"};
  EXPECT_EQ(SplitText("a,b", ",", parts), 1);
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "b"}));
  SplitText("a,,b", ",", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "", "b"}));
  SplitText(",a", ",", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"", "a"}));
  SplitText("a,", ",", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"a"}));
  SplitText("", ",", parts);
  EXPECT_TRUE(parts.empty());
  EXPECT_EQ(SplitText("a", "", parts), 0);
}

TEST(IniTextFunctions, SplitTextSkipsTheWholeTwoCharacterDelimiter) {
  std::vector<std::string> parts;
  SplitText("a::b::c", "::", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", "c"}));
  SplitText("::a::::b::", "::", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"", "a", "", "b"}));
  SplitText("a:b:::c", "::", parts);  // the first "::" wins; the third ':' starts a part
  EXPECT_EQ(parts, (std::vector<std::string>{"a:b", ":c"}));
  SplitText("中，文，字", "，", parts);  // a multi-byte UTF-8 delimiter
  EXPECT_EQ(parts, (std::vector<std::string>{"中", "文", "字"}));
}

TEST(IniTextFunctions, TrimAndNumbers) {
  std::string out;
  EXPECT_EQ(TrimText(" \t x y \r\n", out), 1);
  EXPECT_EQ(out, "x y");
  long l = 1;
  EXPECT_EQ(TextToLong("  -42abc", l), 1);
  EXPECT_EQ(l, -42);
  TextToLong("+7", l);
  EXPECT_EQ(l, 7);
  TextToLong("abc", l);
  EXPECT_EQ(l, 0);
  TextToLong("99999999999999999999999", l);
  EXPECT_EQ(l, LONG_MAX);
  TextToLong("-99999999999999999999999", l);
  EXPECT_EQ(l, LONG_MIN);
  double d = 1;
  EXPECT_EQ(TextToDouble(" 12.5kg", d), 1);
  EXPECT_EQ(d, 12.5);
  TextToDouble("-1e3", d);
  EXPECT_EQ(d, -1000);
  TextToDouble("x", d);
  EXPECT_EQ(d, 0);
  TextToDouble("+-1", d);
  EXPECT_EQ(d, 0);
  TextToDouble("1e999", d);
  EXPECT_TRUE(std::isinf(d));
  TextToDouble("1e-999", d);
  EXPECT_EQ(d, 0);
}

TEST(IniTextFunctions, ParseRectAndPoint) {
  CRect rect(9, 9, 9, 9);
  EXPECT_EQ(ParseRect("{0,0,640,480}", rect), 1);
  EXPECT_EQ(rect, CRect(0, 0, 640, 480));
  EXPECT_EQ(ParseRect("{-5, 10 ,20,x}", rect), 1);
  EXPECT_EQ(rect, CRect(-5, 10, 20, 0));
  const CRect kept = rect;
  EXPECT_EQ(ParseRect("0,0,640,480", rect), 0);
  EXPECT_EQ(ParseRect("{0,0,640}", rect), 0);
  EXPECT_EQ(ParseRect("{0,0,640,480,1}", rect), 0);
  EXPECT_EQ(ParseRect("{0,0,640,}", rect), 0);  // no empty part at the end
  EXPECT_EQ(rect, kept);

  CPoint point(1, 1);
  EXPECT_EQ(ParsePoint("{12,-34}", point), 1);
  EXPECT_EQ(point, CPoint(12, -34));
  EXPECT_EQ(ParsePoint("{12}", point), 0);
  EXPECT_EQ(ParsePoint("garbage", point), 0);
  EXPECT_EQ(point, CPoint(12, -34));
}

TEST(IniTextFunctions, ParseColor) {
  COLORREF color = 0x123456;
  EXPECT_EQ(ParseColor("{255,0,0}", color), 1);
  EXPECT_EQ(color, 0x0000FFu);
  EXPECT_EQ(ParseColor("{1,2,3}", color), 1);
  EXPECT_EQ(color, 0x030201u);
  EXPECT_EQ(ParseColor("{256,0,511}", color), 1);  // each part taken as one byte
  EXPECT_EQ(color, 0xFF0000u);
  color = 0x123456;
  EXPECT_EQ(ParseColor("{255,0}", color), 0);
  EXPECT_EQ(ParseColor("255,0,0", color), 0);
  EXPECT_EQ(color, 0x123456u);
}

TEST(IniTextFunctions, ParseGuid) {
  GUID guid;
  EXPECT_EQ(ParseGuid("{6B29FC40-CA47-1067-B31D-00DD010662DA}", guid), 1);
  EXPECT_EQ(guid.Data1, 0x6B29FC40u);
  EXPECT_EQ(guid.Data2, 0xCA47u);
  EXPECT_EQ(guid.Data3, 0x1067u);
  EXPECT_EQ(guid.Data4, (std::array<std::uint8_t, 8>{0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA}));

  const GUID kept = guid;
  for (const char* bad : {"", "garbage", "{6B29FC40-CA47-1067-B31D}", "{6B29FC40-CA47-1067-B31D-00DD010662D}x",
                          "6B29FC40-CA47-1067-B31D-00DD010662DA", "{6B29FC40-CA47-1067-B31D-00DD010662DA",
                          "{16B29FC40-CA47-1067-B31D-00DD010662DA}", "{-1-CA47-1067-B31D-00DD010662DA}",
                          "{6B29FC40-CA47-1067-B31D-00DD010662DAFF}"}) {
    EXPECT_EQ(ParseGuid(bad, guid), 0) << bad;
  }
  EXPECT_EQ(guid, kept);
}

}  // namespace
