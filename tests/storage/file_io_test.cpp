#include "storage/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "../support/temp_program_folder.h"

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

std::size_t EntriesIn(const std::string& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

TEST(FileIoTest, ReplaceWritesExactBytesAndKeepsTheMode) {
  TempProgramFolder folder;
  const std::string path = folder.File("a.txt");
  ASSERT_TRUE(ReplaceFileContents(path, std::string("x\0y\r\n", 5)));
  EXPECT_EQ(folder.ReadFile("a.txt"), std::string("x\0y\r\n", 5));

  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(ReplaceFileContents(path, "shorter"));
  EXPECT_EQ(folder.ReadFile("a.txt"), "shorter");
  EXPECT_EQ(ModeOf(path), 0640u);
  EXPECT_EQ(EntriesIn(folder.Path()), 1u) << "no temporary file is left behind";
}

TEST(FileIoTest, ReadOnlyFileOrFolderOrMissingFolderIsRefusedUntouched) {
  TempProgramFolder folder;
  const std::string path = folder.File("ro.txt");
  ASSERT_TRUE(ReplaceFileContents(path, "old"));
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(ReplaceFileContents(path, "new"));
  EXPECT_FALSE(AppendFileContents(path, "new"));
  EXPECT_EQ(folder.ReadFile("ro.txt"), "old");

  const std::string sub = folder.File("locked");
  ASSERT_EQ(::mkdir(sub.c_str(), 0555), 0);
  EXPECT_FALSE(ReplaceFileContents(sub + "/f.txt", "x"));
  EXPECT_FALSE(ReplaceFileContents(folder.File("missing/f.txt"), "x"));
  EXPECT_FALSE(ReplaceFileContents("", "x"));
  EXPECT_FALSE(ReplaceFileContents(sub, "a folder is no file"));
  ::chmod(sub.c_str(), 0755);
}

TEST(FileIoTest, AppendCreatesThenAddsAndALinkReplacesItsTarget) {
  TempProgramFolder folder;
  const std::string path = folder.File("log.txt");
  ASSERT_TRUE(AppendFileContents(path, "one\r\n"));
  ASSERT_TRUE(AppendFileContents(path, "two\r\n"));
  EXPECT_EQ(folder.ReadFile("log.txt"), "one\r\ntwo\r\n");

  const std::string link = folder.File("link.txt");
  ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
  ASSERT_TRUE(ReplaceFileContents(link, "through the link"));
  EXPECT_EQ(folder.ReadFile("log.txt"), "through the link");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
}

TEST(FileIoTest, DeferredWritesTheSameBytesAndTheFileSystemSyncsOnce) {
  TempProgramFolder folder;
  const std::string path = folder.File("series.dat");
  ASSERT_TRUE(ReplaceFileContents(path, "v1", FileSync::Deferred));
  ASSERT_TRUE(AppendFileContents(path, "+v2", FileSync::Deferred));
  EXPECT_EQ(folder.ReadFile("series.dat"), "v1+v2");
  EXPECT_EQ(EntriesIn(folder.Path()), 1u);
  EXPECT_TRUE(SyncFileSystem(folder.Path()));
  EXPECT_FALSE(SyncFileSystem(folder.File("missing")));
  // Deferred refuses what Durable refuses.
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(ReplaceFileContents(path, "v3", FileSync::Deferred));
  EXPECT_EQ(folder.ReadFile("series.dat"), "v1+v2");
}

TEST(FileIoTest, AppendToFileAddsAtTheEndAndRefusesWhatReplaceRefuses) {
  TempProgramFolder folder;
  const std::string path = folder.File("log.txt");
  ASSERT_TRUE(AppendToFile(path, "a\r\n"));
  ASSERT_TRUE(AppendToFile(path, std::string("b\0\r\n", 4)));
  EXPECT_EQ(folder.ReadFile("log.txt"), std::string("a\r\nb\0\r\n", 7));
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(AppendToFile(path, "c"));
  EXPECT_FALSE(AppendToFile(folder.File("missing/log.txt"), "c"));
  EXPECT_FALSE(AppendToFile(folder.Path(), "a folder"));
  const std::string sub = folder.File("locked");
  ASSERT_EQ(::mkdir(sub.c_str(), 0555), 0);
  EXPECT_FALSE(AppendToFile(sub + "/new.txt", "c"));
  ::chmod(sub.c_str(), 0755);
}

TEST(FileIoTest, ReadTellsMissingFromFailed) {
  TempProgramFolder folder;
  std::string bytes = "stale";
  EXPECT_EQ(ReadFileBytes(folder.File("none"), bytes), FileReadResult::Missing);
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(ReadFileBytes(folder.Path(), bytes), FileReadResult::Failed);
  folder.WriteFile("b.bin", std::string("\xff\x00", 2));
  EXPECT_EQ(ReadFileBytes(folder.File("b.bin"), bytes), FileReadResult::Ok);
  EXPECT_EQ(bytes, std::string("\xff\x00", 2));
}

}  // namespace
