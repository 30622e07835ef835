#include "platform/proc_process_finder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "../support/fake_proc_tree.h"
#include "platform/ascii.h"

// ---- ASCII case, which the name comparison ignores ----

// Only letters fold: bytes 0x20 apart that are no letters ("@" and "`", "[" and "{",
// the second bytes of "Ä" and "ä") stay apart, and order is by unsigned byte.
TEST(AsciiCase, OnlyLettersFold) {
  EXPECT_TRUE(EqualsNoCase("Data Source", "data SOURCE"));
  EXPECT_FALSE(EqualsNoCase("@[", "`{"));
  EXPECT_FALSE(EqualsNoCase("\xC3\x84", "\xC3\xA4"));
  EXPECT_EQ(AsciiLower("TdxW.EXE \xC3\x84"), "tdxw.exe \xC3\x84");
  EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
  EXPECT_LT(CompareNoCase("ab", "ABC"), 0);
  EXPECT_GT(CompareNoCase("\xB0", "z"), 0);
  EXPECT_TRUE(StartsWithNoCase("HTTPS://x", "https://"));
  EXPECT_TRUE(ContainsNoCase("gzip, Chunked", "chunked"));
  EXPECT_FALSE(ContainsNoCase("chunk", "chunked"));
}

// ---- the name of a process ----

TEST(ProcProcessFinder, WindowsArgvZeroMatchesWholeIgnoringCase) {
  FakeProcTree proc;
  proc.AddProcess(300, FakeProcTree::Argv({"C:\\new_tdx\\TDXW.EXE", "-x"}), "wine-preloader");
  ProcProcessFinder finder(proc.Root());
  EXPECT_EQ(finder.FindProcessByExeName("TdxW.exe"), 300u);
  EXPECT_EQ(finder.FindProcessByExeName("TdxW"), 0u);
  EXPECT_EQ(finder.FindProcessByExeName("dxW.exe"), 0u);
}

TEST(ProcProcessFinder, LongerNameIsNoMatch) {
  FakeProcTree proc;
  proc.AddProcess(300, FakeProcTree::Argv({"C:\\new_tdx\\TdxW.exe.bak"}), "TdxW.exe.bak");
  proc.AddProcess(301, FakeProcTree::Argv({"/opt/TdxW.exe/run"}), "run");
  EXPECT_EQ(ProcProcessFinder(proc.Root()).FindProcessByExeName("TdxW.exe"), 0u);
}

TEST(ProcProcessFinder, EmptyCmdlineFallsBackToComm) {
  FakeProcTree proc;
  proc.AddProcess(42, "", "TdxW.exe");
  EXPECT_EQ(ProcProcessFinder(proc.Root()).FindProcessByExeName("tdxw.exe"), 42u);
}

TEST(ProcProcessFinder, LongWantedNameIgnoresTheCutComm) {
  FakeProcTree proc;
  // The kernel keeps 15 bytes of the name; a 20-byte name must not match its start.
  proc.AddProcess(42, "", "ChartProgram20B");
  ProcProcessFinder finder(proc.Root());
  EXPECT_EQ(finder.FindProcessByExeName("ChartProgram20B.exe"), 0u);
  EXPECT_EQ(finder.FindProcessByExeName("ChartProgram20B"), 42u);
}

TEST(ProcProcessFinder, ExeLinkIsTheLastFallback) {
  FakeProcTree proc;
  proc.AddProcess(42, "", "ChartProgram20B", "/opt/chart/ChartProgram20B.exe");
  proc.AddProcess(43, "", "", "/opt/other/Gone.exe (deleted)");
  ProcProcessFinder finder(proc.Root());
  EXPECT_EQ(finder.FindProcessByExeName("chartprogram20b.EXE"), 42u);
  EXPECT_EQ(finder.FindProcessByExeName("Gone.exe"), 43u);
}

// ---- the scan ----

TEST(ProcProcessFinder, LowestPidWinsAndOtherEntriesAreSkipped) {
  FakeProcTree proc;
  proc.AddOtherEntry("self");
  proc.AddOtherEntry("12abc");
  proc.AddProcess(1000, FakeProcTree::Argv({"TdxW.exe"}));
  proc.AddProcess(999, FakeProcTree::Argv({"/x/TdxW.exe"}));
  EXPECT_EQ(ProcProcessFinder(proc.Root()).FindProcessByExeName("TdxW.exe"), 999u);
}

TEST(ProcProcessFinder, MissingRootOrEmptyNameGivesZero) {
  EXPECT_EQ(ProcProcessFinder("/nonexistent/proc").FindProcessByExeName("TdxW.exe"), 0u);
  FakeProcTree proc;
  proc.AddProcess(5, "", "");
  EXPECT_EQ(ProcProcessFinder(proc.Root()).FindProcessByExeName(""), 0u);
}

TEST(ProcProcessFinder, FindsThisProcessInTheRealProc) {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  ASSERT_GT(n, 0);
  const std::string exe(path, static_cast<std::size_t>(n));
  const std::string name = exe.substr(exe.rfind('/') + 1);
  const std::uint32_t found = ProcProcessFinder().FindProcessByExeName(name);
  // Another copy of this test may run with a lower pid; ours is never missed.
  EXPECT_NE(found, 0u);
  EXPECT_LE(found, static_cast<std::uint32_t>(::getpid()));
}
