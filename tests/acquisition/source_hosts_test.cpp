// Source hosts: compiled defaults, the [SourceHosts] section and the environment.
#include "acquisition/source_hosts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "../support/temp_program_folder.h"

namespace {

// Unsets (or sets) the override variable for one test and restores it afterwards.
class OverrideVariable {
 public:
  explicit OverrideVariable(const char* value) {
    if (const char* old = std::getenv(SourceHosts::kOverrideVariable)) old_ = old;
    if (value != nullptr) {
      setenv(SourceHosts::kOverrideVariable, value, 1);
    } else {
      unsetenv(SourceHosts::kOverrideVariable);
    }
  }
  ~OverrideVariable() {
    if (old_) {
      setenv(SourceHosts::kOverrideVariable, old_->c_str(), 1);
    } else {
      unsetenv(SourceHosts::kOverrideVariable);
    }
  }

 private:
  std::optional<std::string> old_;
};

TempProgramFolder::Options WithIni(const std::string& text) {
  TempProgramFolder::Options options;
  options.withIni = true;
  options.iniText = text;
  return options;
}

TEST(SourceHosts, CompiledDefaultNeverResolves) {
  const SourceHosts hosts;
  EXPECT_EQ(hosts.DataCenter(), "http://datacenter.example.invalid");
  EXPECT_EQ(hosts.DataCenterPacingMs(), 0);
  EXPECT_EQ(SourceHosts::Keys(), (std::vector<std::string>{"DataCenter", "SzseFiles", "SseQuery", "SseWeb",
                                                           "QuoteHistory", "QuotePage"}));
  // No default reaches a real host before the user names one.
  const SourceHosts defaults;
  for (const std::string& key : SourceHosts::Keys()) {
    EXPECT_TRUE(defaults.Base(key).ends_with(".invalid")) << key;
  }
  EXPECT_EQ(hosts.Base("NoSuchSource"), "");
  EXPECT_EQ(hosts.PacingMs("NoSuchSource"), 0);
}

TEST(SourceHosts, SectionOverridesTheDefaults) {
  OverrideVariable unset(nullptr);
  TempProgramFolder folder(WithIni("[system]\r\nDataCenter=http://wrong.section\r\n"
                                   "[SourceHosts]\r\nDataCenter=http://127.0.0.1:8080/\r\nDataCenterPacingMs=50\r\n"));
  const SourceHosts hosts = SourceHosts::FromIni(folder.File("sysinfo.ini"));
  EXPECT_EQ(hosts.DataCenter(), "http://127.0.0.1:8080");
  EXPECT_EQ(hosts.DataCenterPacingMs(), 50);
}

TEST(SourceHosts, GbkFileIsReadToo) {
  OverrideVariable unset(nullptr);
  TempProgramFolder::Options options = WithIni("[system]\r\nTitalName=上榜\r\n[SourceHosts]\r\nDataCenter=https://data.example:8443\r\n");
  options.encoding = TempProgramFolder::IniEncoding::Gbk;
  TempProgramFolder folder(options);
  EXPECT_EQ(SourceHosts::FromIni(folder.File("sysinfo.ini")).DataCenter(), "https://data.example:8443");
}

TEST(SourceHosts, MissingFileOrKeysKeepTheDefaults) {
  OverrideVariable unset(nullptr);
  TempProgramFolder folder(WithIni("[SourceHosts]\r\nDataCenter=\r\nDataCenterPacingMs=\r\n"));
  const SourceHosts empty = SourceHosts::FromIni(folder.File("sysinfo.ini"));
  EXPECT_EQ(empty.DataCenter(), SourceHosts::kDataCenterDefault);
  EXPECT_EQ(empty.DataCenterPacingMs(), 0);
  const SourceHosts missing = SourceHosts::FromIni(folder.File("no-such.ini"));
  EXPECT_EQ(missing.DataCenter(), SourceHosts::kDataCenterDefault);
}

TEST(SourceHosts, BaseThatIsNoHttpAddressIsIgnored) {
  OverrideVariable unset(nullptr);
  TempProgramFolder folder(WithIni("[SourceHosts]\r\nDataCenter=ftp://files.example\r\nDataCenterPacingMs=abc\r\n"));
  const SourceHosts hosts = SourceHosts::FromIni(folder.File("sysinfo.ini"));
  EXPECT_EQ(hosts.DataCenter(), SourceHosts::kDataCenterDefault);
  EXPECT_EQ(hosts.DataCenterPacingMs(), 0);
}

TEST(SourceHosts, EnvironmentOverridesEveryBaseButNotThePacing) {
  OverrideVariable set("http://127.0.0.1:4567/");
  TempProgramFolder folder(WithIni("[SourceHosts]\r\nDataCenter=http://from.ini\r\nDataCenterPacingMs=20\r\n"));
  const SourceHosts hosts = SourceHosts::FromIni(folder.File("sysinfo.ini"));
  for (const std::string& key : SourceHosts::Keys()) EXPECT_EQ(hosts.Base(key), "http://127.0.0.1:4567");
  EXPECT_EQ(hosts.DataCenterPacingMs(), 20);
}

TEST(SourceHosts, InvalidOrEmptyEnvironmentIsIgnored) {
  TempProgramFolder folder(WithIni("[SourceHosts]\r\nDataCenter=http://from.ini\r\n"));
  {
    OverrideVariable set("127.0.0.1:4567");
    EXPECT_EQ(SourceHosts::FromIni(folder.File("sysinfo.ini")).DataCenter(), "http://from.ini");
  }
  {
    OverrideVariable set("  ");
    EXPECT_EQ(SourceHosts::FromIni(folder.File("sysinfo.ini")).DataCenter(), "http://from.ini");
  }
}

TEST(SourceHosts, UrlKeepsThePathAsWritten) {
  SourceHosts hosts;
  ASSERT_TRUE(hosts.SetBase("DataCenter", "http://127.0.0.1:9/"));
  EXPECT_EQ(hosts.Url("DataCenter", "/stock/seat,2017-02-06,000004.html"),
            "http://127.0.0.1:9/stock/seat,2017-02-06,000004.html");
  EXPECT_EQ(hosts.Url("DataCenter", "x,y=1,js=var%20data.html"), "http://127.0.0.1:9/x,y=1,js=var%20data.html");
  EXPECT_EQ(hosts.Url("DataCenter", ""), "http://127.0.0.1:9/");
  EXPECT_EQ(hosts.Url("NoSuchSource", "/x"), "");
}

TEST(SourceHosts, SettersRefuseUnknownKeysAndBadAddresses) {
  SourceHosts hosts;
  EXPECT_FALSE(hosts.SetBase("NoSuchSource", "http://a.example"));
  EXPECT_FALSE(hosts.SetBase("DataCenter", "not an address"));
  EXPECT_EQ(hosts.DataCenter(), SourceHosts::kDataCenterDefault);
  EXPECT_TRUE(hosts.SetPacingMs("DataCenter", -5));
  EXPECT_EQ(hosts.DataCenterPacingMs(), 0);
  EXPECT_TRUE(hosts.SetPacingMs("DataCenter", 1000000));
  EXPECT_EQ(hosts.DataCenterPacingMs(), SourceHosts::kMaxPacingMs);
  EXPECT_FALSE(hosts.SetPacingMs("NoSuchSource", 5));
}

TEST(SourceHosts, NormaliseBase) {
  EXPECT_EQ(SourceHosts::NormaliseBase(" HTTP://Host.example:80// "), "HTTP://Host.example:80");
  EXPECT_EQ(SourceHosts::NormaliseBase("https://h/sub/"), "https://h/sub");
  EXPECT_EQ(SourceHosts::NormaliseBase("http://"), std::nullopt);
  EXPECT_EQ(SourceHosts::NormaliseBase("http:///path"), std::nullopt);
  EXPECT_EQ(SourceHosts::NormaliseBase("http://:80"), std::nullopt);
  EXPECT_EQ(SourceHosts::NormaliseBase("http://a b"), std::nullopt);
  EXPECT_EQ(SourceHosts::NormaliseBase("file:///etc/passwd"), std::nullopt);
  EXPECT_EQ(SourceHosts::NormaliseBase(""), std::nullopt);
}

TEST(SourceHosts, ParsePacing) {
  EXPECT_EQ(SourceHosts::ParsePacing(" 25 "), 25);
  EXPECT_EQ(SourceHosts::ParsePacing("0"), 0);
  EXPECT_EQ(SourceHosts::ParsePacing("60000"), 60000);
  EXPECT_EQ(SourceHosts::ParsePacing("60001"), 60000);
  EXPECT_EQ(SourceHosts::ParsePacing("99999999999999999999999"), 60000);
  EXPECT_EQ(SourceHosts::ParsePacing("-99999999999999999999999"), 0);
  EXPECT_EQ(SourceHosts::ParsePacing("-5"), 0);
  EXPECT_EQ(SourceHosts::ParsePacing("abc"), 0);
  EXPECT_EQ(SourceHosts::ParsePacing(""), 0);
  EXPECT_EQ(SourceHosts::ParsePacing("40ms"), 40);
}

}  // namespace
