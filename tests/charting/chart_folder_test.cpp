#include "charting/chart_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "../support/chart_folder_builder.h"
#include "platform/message_box.h"
#include "../support/temp_program_folder.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

namespace {

std::string Canonical(const std::string& path) { return fs::canonical(path).string(); }

std::string Backslashed(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

ChartEnvironment WithPrefix(const ChartFolderBuilder& wine) { return ChartEnvironment{wine.Prefix(), "/nonexistent-home"}; }

}  // namespace

// ---- resolving the setting ----

TEST(ResolveChartFolder, EmptyZeroAndBlanksAreNotSet) {
  ChartFolderBuilder wine;
  for (const char* value : {"", "0", "   ", " 0\t", "\r\n"}) {
    const ChartFolder folder = ResolveChartFolder(value, WithPrefix(wine));
    EXPECT_EQ(folder.state, ChartFolderState::NotSet) << "\"" << value << "\"";
    EXPECT_EQ(folder.folder, "");
  }
}

TEST(ResolveChartFolder, LinuxPathGivesTheFolderOfTheExecutable) {
  ChartFolderBuilder wine;
  const ChartFolder folder = ResolveChartFolder("  " + wine.LinuxTdxDir() + " ", ChartEnvironment{});
  ASSERT_EQ(folder.state, ChartFolderState::Ok);
  EXPECT_EQ(folder.folder, wine.ChartFolder());
}

TEST(ResolveChartFolder, ExecutableAtTheRootGivesTheRoot) {
  const ChartFolder folder = ResolveChartFolder("/TdxW.exe", ChartEnvironment{});
  ASSERT_EQ(folder.state, ChartFolderState::Ok);
  EXPECT_EQ(folder.folder, "/");
}

TEST(ResolveChartFolder, WindowsPathMapsThroughWinePrefix) {
  ChartFolderBuilder wine;
  const ChartFolder folder = ResolveChartFolder(ChartFolderBuilder::kTdxDir, WithPrefix(wine));
  ASSERT_EQ(folder.state, ChartFolderState::Ok);
  EXPECT_EQ(folder.folder, Canonical(wine.ChartFolder()));
}

TEST(ResolveChartFolder, WindowsPathMapsThroughHomeWineWithoutPrefix) {
  ChartFolderBuilder wine;
  const std::string home = MakeTempFolder("velkor-home");
  fs::create_symlink(wine.Prefix(), home + "/.wine");
  const ChartFolder folder = ResolveChartFolder(ChartFolderBuilder::kTdxDir, ChartEnvironment{"", home});
  fs::remove_all(home);
  ASSERT_EQ(folder.state, ChartFolderState::Ok);
  EXPECT_EQ(folder.folder, Canonical(wine.ChartFolder()));
}

TEST(ResolveChartFolder, ForwardSlashesAndOtherCaseResolveLikeWine) {
  ChartFolderBuilder wine;
  for (const char* value : {"C:/new_tdx/TdxW.exe", "c:\\NEW_TDX\\tdxw.EXE", "C:\\\\new_tdx\\TdxW.exe"}) {
    const ChartFolder folder = ResolveChartFolder(value, WithPrefix(wine));
    ASSERT_EQ(folder.state, ChartFolderState::Ok) << value;
    EXPECT_EQ(folder.folder, Canonical(wine.ChartFolder())) << value;
  }
}

TEST(ResolveChartFolder, DriveZIsTheRootFolder) {
  ChartFolderBuilder wine;
  wine.LinkDrive("z:", "/");
  const ChartFolder folder = ResolveChartFolder("Z:" + Backslashed(wine.LinuxTdxDir()), WithPrefix(wine));
  ASSERT_EQ(folder.state, ChartFolderState::Ok);
  EXPECT_EQ(folder.folder, Canonical(wine.ChartFolder()));
}

TEST(ResolveChartFolder, MissingDriveLinkRelativeUncAndMissingFolderAreUnresolvable) {
  ChartFolderBuilder wine;
  for (const char* value : {"D:\\new_tdx\\TdxW.exe", "new_tdx\\TdxW.exe", "TdxW.exe", "\\\\server\\share\\TdxW.exe",
                            "C:TdxW.exe", "C:\\", "C:\\nowhere\\TdxW.exe", "/nowhere/at/all/TdxW.exe"}) {
    EXPECT_EQ(ResolveChartFolder(value, WithPrefix(wine)).state, ChartFolderState::Unresolvable) << value;
  }
}

TEST(ResolveChartFolder, WindowsPathWithoutPrefixOrHomeIsUnresolvable) {
  EXPECT_EQ(ResolveChartFolder(ChartFolderBuilder::kTdxDir, ChartEnvironment{}).state,
            ChartFolderState::Unresolvable);
}

TEST(CurrentChartFolder, ReadsTheSettingAtEveryCall) {
  ChartFolderBuilder wine;
  const std::string saved = TDX_DIR;
  TDX_DIR = wine.LinuxTdxDir();
  EXPECT_EQ(CurrentChartFolder().folder, wine.ChartFolder());
  TDX_DIR = "0";
  EXPECT_EQ(CurrentChartFolder().state, ChartFolderState::NotSet);
  TDX_DIR = saved;
}

TEST(ReportChartFolderProblem, ShowsTheTextOfTheStateOnly) {
  EXPECT_TRUE(ReportChartFolderProblem(ChartFolder{ChartFolderState::NotSet, ""}));
  EXPECT_TRUE(ReportChartFolderProblem(ChartFolder{ChartFolderState::Unresolvable, ""}));
  EXPECT_FALSE(ReportChartFolderProblem(ChartFolder{ChartFolderState::Ok, "/"}));
  const auto boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "请设置 通达信 目录。");
  EXPECT_EQ(boxes[1].text, "您设置的 通达信 目录不正确！！请按文档教程来操作！！！");
}

// ---- names below the folder ----

TEST(ChildPath, ExactCaseWinsOverAFoldedMatch) {
  ChartFolderBuilder wine;
  wine.MakeFolder("T0002/BlockNew");
  EXPECT_EQ(ChildPath(wine.Path("T0002"), "blocknew"), wine.Path("T0002/blocknew"));
}

TEST(ChildPath, TheOnlyFoldedMatchIsReused) {
  ChartFolderBuilder wine(ChartFolderBuilder::Options{.withT0002 = false});
  wine.MakeFolder("t0002/BlockNew");
  EXPECT_EQ(ChildPathChain(wine.ChartFolder(), {"T0002", "blocknew", "ZUVZXG.blk"}),
            wine.Path("t0002/BlockNew/ZUVZXG.blk"));
}

TEST(ChildPath, SeveralFoldedMatchesOrNoneGiveTheGivenSpelling) {
  ChartFolderBuilder wine(ChartFolderBuilder::Options{.withT0002 = false});
  wine.MakeFolder("t0002");
  wine.MakeFolder("T0002x");
  wine.Write("datacfg.DAT", "a");
  wine.Write("DATACFG.dat", "b");
  EXPECT_EQ(ChildPath(wine.ChartFolder(), "datacfg.dat"), wine.Path("datacfg.dat"));
  EXPECT_EQ(ChildPath(wine.ChartFolder(), "signals"), wine.Path("signals"));
  EXPECT_EQ(ChildPath(wine.Path("missing"), "T0002"), wine.Path("missing/T0002"));
}

// ---- folders ----

TEST(DeleteFolderTree, RemovesTheTreeButNeverWhatALinkPointsTo) {
  ChartFolderBuilder wine;
  wine.MakeFolder("keep");
  wine.Write("keep/user.dat", "mine");
  wine.MakeFolder("gone/sub");
  wine.Write("gone/sub/1_600519.dat", "x");
  fs::create_symlink(wine.Path("keep"), wine.Path("gone/link"));
  fs::create_symlink(wine.Path("keep"), wine.Path("gone/sub/link2"));
  EXPECT_TRUE(DeleteFolderTree(wine.Path("gone")));
  EXPECT_FALSE(wine.Exists("gone"));
  EXPECT_EQ(wine.Read("keep/user.dat"), "mine");
}

TEST(DeleteFolderTree, ALinkAtTheTopGoesAsALink) {
  ChartFolderBuilder wine;
  wine.MakeFolder("keep");
  wine.Write("keep/user.dat", "mine");
  fs::create_symlink(wine.Path("keep"), wine.Path("top"));
  EXPECT_TRUE(DeleteFolderTree(wine.Path("top")));
  EXPECT_FALSE(wine.Exists("top"));
  EXPECT_EQ(wine.Read("keep/user.dat"), "mine");
  EXPECT_TRUE(DeleteFolderTree(wine.Path("never-there")));
}

TEST(FolderExists, FoldersAndLinksToFoldersOnly) {
  ChartFolderBuilder wine;
  EXPECT_TRUE(FolderExists(wine.Path("T0002")));
  EXPECT_FALSE(FolderExists(wine.Path("TdxW.exe")));
  EXPECT_FALSE(FolderExists(wine.Path("nothing")));
  EXPECT_FALSE(FolderExists(""));
  EXPECT_TRUE(FolderExists(wine.Prefix() + "/dosdevices/c:"));
}

// ---- market digit ----

TEST(MarketDigit, ShanghaiCodesGetOne) {
  EXPECT_EQ(MarketDigit("600519"), '1');
  EXPECT_EQ(MarketDigit("510050"), '1');
  EXPECT_EQ(MarketDigit("900901"), '1');
  EXPECT_EQ(MarketDigit("000001"), '0');
  EXPECT_EQ(MarketDigit("300750"), '0');
  EXPECT_EQ(MarketDigit("200002"), '0');
  EXPECT_EQ(MarketDigit(""), '0');
}

TEST(IsSixDigitCode, ExactlySixAsciiDigits) {
  EXPECT_TRUE(IsSixDigitCode("600519"));
  EXPECT_FALSE(IsSixDigitCode("60051"));
  EXPECT_FALSE(IsSixDigitCode("6005190"));
  EXPECT_FALSE(IsSixDigitCode("60051a"));
  EXPECT_FALSE(IsSixDigitCode(""));
  EXPECT_FALSE(IsSixDigitCode("６00519"));
}
