#include "platform/app_paths.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Restores the folder globals and the environment a test changed.
class AppPathsTest : public testing::Test {
 protected:
  void SetUp() override {
    savedFolder_ = g_szAppFolder;
    savedSlash_ = g_szAppFolderSlash;
    if (const char* env = std::getenv("VELKORDESK_DATA_DIR")) savedEnv_ = env;
    unsetenv("VELKORDESK_DATA_DIR");
  }
  void TearDown() override {
    g_szAppFolder = savedFolder_;
    g_szAppFolderSlash = savedSlash_;
    if (savedEnv_.empty()) {
      unsetenv("VELKORDESK_DATA_DIR");
    } else {
      setenv("VELKORDESK_DATA_DIR", savedEnv_.c_str(), 1);
    }
  }

  static std::string Resolve(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return ResolveDataFolder(static_cast<int>(args.size()), argv.data());
  }

 private:
  std::string savedFolder_, savedSlash_, savedEnv_;
};

}  // namespace

TEST_F(AppPathsTest, ExecutableAtTheRoot) {
  SetAppFolderFromExecutable("/x");
  EXPECT_EQ(g_szAppFolder, "");
  EXPECT_EQ(g_szAppFolderSlash, "/");
}

TEST_F(AppPathsTest, ExecutableInAFolder) {
  SetAppFolderFromExecutable("/a/b/x");
  EXPECT_EQ(g_szAppFolder, "/a/b");
  EXPECT_EQ(g_szAppFolderSlash, "/a/b/");
}

TEST_F(AppPathsTest, ExecutableWithoutFolderIsTheCurrentFolder) {
  SetAppFolderFromExecutable("velkordesk");
  EXPECT_EQ(g_szAppFolder, ".");
  EXPECT_EQ(g_szAppFolderSlash, "./");
}

TEST_F(AppPathsTest, ExplicitFolderLosesTrailingSeparators) {
  SetAppFolder("/data/desk//");
  EXPECT_EQ(g_szAppFolder, "/data/desk");
  EXPECT_EQ(g_szAppFolderSlash, "/data/desk/");
  SetAppFolder("/");
  EXPECT_EQ(g_szAppFolder, "");
  EXPECT_EQ(g_szAppFolderSlash, "/");
  SetAppFolder("/d/q\\w/");  // Linux allows a "\" in a name
  EXPECT_EQ(g_szAppFolderSlash, "/d/q\\w/");
}

TEST_F(AppPathsTest, AppPathAcceptsBackslashFragments) {
  SetAppFolder("/a/b");
  EXPECT_EQ(AppPath("\\Custom.mdb"), "/a/b/Custom.mdb");
  EXPECT_EQ(AppPath("Custom.mdb"), "/a/b/Custom.mdb");
  EXPECT_EQ(AppPath("临时文件\\追踪游资.txt"), "/a/b/临时文件/追踪游资.txt");
  EXPECT_EQ(AppPath(""), "/a/b/");
  SetAppFolder("/");
  EXPECT_EQ(AppPath("\\Custom.mdb"), "/Custom.mdb");
}

TEST_F(AppPathsTest, JoinPathNeverDoublesTheSeparator) {
  EXPECT_EQ(JoinPath("/a/b", "c.txt"), "/a/b/c.txt");
  EXPECT_EQ(JoinPath("/a/b/", "\\c.txt"), "/a/b/c.txt");
  EXPECT_EQ(JoinPath("/a\\b", "d\\e.txt"), "/a\\b/d/e.txt");  // the folder as named, the fragment mapped
  EXPECT_EQ(JoinPath("/", "TdxW.exe"), "/TdxW.exe");
  EXPECT_EQ(JoinPath("", "Custom.mdb"), "/Custom.mdb");
}

TEST_F(AppPathsTest, ParentFolder) {
  EXPECT_EQ(ParentFolder("/x/Tdx/App"), "/x/Tdx");
  EXPECT_EQ(ParentFolder("/x/Tdx/App/"), "/x/Tdx");
  EXPECT_EQ(ParentFolder("/x"), "/");
  EXPECT_EQ(ParentFolder("/"), "/");
  EXPECT_EQ(ParentFolder(""), "/");
  EXPECT_EQ(ParentFolder("/x/a\\b/App"), "/x/a\\b");
  EXPECT_EQ(ParentFolder("App"), ".");
}

TEST_F(AppPathsTest, ExecutablePathIsThisTest) {
  const std::string exe = ExecutablePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.front(), '/');
  EXPECT_EQ(std::filesystem::path(exe).filename(), "app_paths_test");
}

TEST_F(AppPathsTest, DataFolderOptionBeatsEnvironmentBeatsExecutable) {
  const std::string exeFolder = std::filesystem::path(ExecutablePath()).parent_path().string();
  EXPECT_EQ(Resolve({"prog"}), exeFolder);

  setenv("VELKORDESK_DATA_DIR", "/from/env/", 1);
  EXPECT_EQ(Resolve({"prog"}), "/from/env");
  EXPECT_EQ(Resolve({"prog", "--data-dir", "/from/option"}), "/from/option");
  EXPECT_EQ(Resolve({"prog", "--data-dir=/from/equals/"}), "/from/equals");
  EXPECT_EQ(Resolve({"prog", "--data-dir=/"}), "/");
}

TEST_F(AppPathsTest, DataFolderOptionWithoutValueIsIgnored) {
  setenv("VELKORDESK_DATA_DIR", "/from/env", 1);
  EXPECT_EQ(Resolve({"prog", "--data-dir"}), "/from/env");
  EXPECT_EQ(Resolve({"prog", "--data-dir="}), "/from/env");
  EXPECT_EQ(Resolve({"prog", "--data-directory=/no"}), "/from/env");
  setenv("VELKORDESK_DATA_DIR", "", 1);  // empty counts as unset
  EXPECT_EQ(Resolve({"prog"}), std::filesystem::path(ExecutablePath()).parent_path().string());
}

// Without HOME (a service manager, "env -i") the home is the password entry's.
TEST_F(AppPathsTest, WithoutHomeTheUserDataFolderIsInThePasswordEntrysHome) {
  const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  unsetenv("HOME");
  unsetenv("XDG_DATA_HOME");
  const std::string found = UserDataFolder();
  setenv("HOME", home.c_str(), 1);
  ASSERT_NE(getpwuid(getuid()), nullptr);
  EXPECT_EQ(found, std::string(getpwuid(getuid())->pw_dir) + "/.local/share/velkordesk");
}

TEST_F(AppPathsTest, RelativeDataFolderBecomesAbsolute) {
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(Resolve({"prog", "--data-dir", "sub/dir/"}), cwd + "/sub/dir");
  EXPECT_EQ(Resolve({"prog", "--data-dir", "./a/../b"}), cwd + "/b");
}
