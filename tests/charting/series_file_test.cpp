#include "charting/series_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "series_test_support.h"

namespace {

TEST(SeriesFileTest, FirstValueMakesExactlyOneRecord) {
  TempProgramFolder folder;
  ASSERT_TRUE(WriteSeriesRecord(folder.Path(), "600519", 20150701, 1200.24f, '1'));
  EXPECT_EQ(Hex(folder.ReadFile("1_600519.dat")), "ad793301ae079644");
}

TEST(SeriesFileTest, SameDateReplacesAndOlderDateIsInsertedInOrder) {
  TempProgramFolder folder;
  ASSERT_TRUE(WriteSeriesRecord(folder.Path(), "000001", 20150702, 1.0f, '0'));
  ASSERT_TRUE(WriteSeriesRecord(folder.Path(), "000001", 20150702, 2.0f, '0'));
  ASSERT_TRUE(WriteSeriesRecord(folder.Path(), "000001", 20150630, -1.0f, '0'));
  // 20150630 = 0x01337966, 20150702 = 0x013379ae; -1.0f = bf800000, 2.0f = 40000000.
  EXPECT_EQ(Hex(folder.ReadFile("0_000001.dat")), "66793301000080bf" "ae79330100000040");
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_ino;
}

TEST(SeriesFileTest, AFileThatAlreadyHoldsTheResultIsNotRewritten) {
  TempProgramFolder folder;
  const std::string path = folder.File("1_600519.dat");
  ASSERT_TRUE(WriteSeriesRecord(folder.Path(), "600519", 20150701, 1.5f, '1'));
  const ino_t first = InodeOf(path);
  ASSERT_TRUE(WriteSeriesRecord(folder.Path(), "600519", 20150701, 1.5f, '1'));
  EXPECT_EQ(InodeOf(path), first);
  CSeriesWriter writer(true);
  writer.Add(folder.Path(), "lbl", "600519", 20150701, 1.5f, '1');
  ASSERT_TRUE(writer.Flush());
  EXPECT_EQ(writer.FileWrites(), 0u);
  EXPECT_EQ(InodeOf(path), first);
  ASSERT_TRUE(WriteSeriesRecord(folder.Path(), "600519", 20150701, 2.5f, '1'));
  EXPECT_NE(InodeOf(path), first) << "a changed value is written through a new file";
  EXPECT_EQ(ParseSeriesRecords(folder.ReadFile("1_600519.dat")), (std::vector<SeriesRecord>{{20150701, 2.5f}}));
}

TEST(SeriesFileTest, LongFileKeepsEveryRecordAndAShortTailIsDropped) {
  TempProgramFolder folder;
  std::vector<SeriesRecord> records;
  for (int i = 0; i < 2000; ++i) records.push_back({20000101 + i, static_cast<float>(i)});
  folder.WriteFile("1_600000.dat", SeriesRecordBytes(records) + std::string(7, '\x7f'));
  ASSERT_TRUE(WriteSeriesRecord(folder.Path(), "600000", 30000101, 5.0f, '1'));
  const std::vector<SeriesRecord> back = ParseSeriesRecords(folder.ReadFile("1_600000.dat"));
  ASSERT_EQ(back.size(), 2001u);
  EXPECT_EQ(folder.ReadFile("1_600000.dat").size(), 2001u * 8);
  EXPECT_EQ(back[1999], (SeriesRecord{20002100, 1999.0f}));
  EXPECT_EQ(back[2000], (SeriesRecord{30000101, 5.0f}));
}

TEST(SeriesFileTest, MergeEqualsOneByOneWritesOnUnsortedFilesWithRepeatedDates) {
  // A foreign file, unsorted, with a date twice.
  const std::vector<SeriesRecord> old = {{5, 1}, {3, 2}, {5, 3}, {1, 4}, {3, 5}};
  const std::vector<SeriesRecord> added = {{4, 10}, {3, 11}, {4, 12}, {-2, 13}};
  std::vector<SeriesRecord> oneByOne = old;
  for (const SeriesRecord& r : added) MergeSeriesRecords(oneByOne, {r});
  std::vector<SeriesRecord> merged = old;
  MergeSeriesRecords(merged, added);
  EXPECT_EQ(merged, oneByOne);
  const std::vector<SeriesRecord> expected = {{-2, 13}, {1, 4}, {3, 11}, {4, 12}, {5, 1}, {5, 3}};
  EXPECT_EQ(merged, expected);  // signed order; the untouched repeated date keeps its order
}

TEST(SeriesFileTest, NamesAreMadeSafe) {
  EXPECT_EQ(SeriesDataFileName('1', "600519"), "1_600519.dat");
  EXPECT_EQ(SeriesDataFileName('0', "../x"), "0_.._x.dat");
  EXPECT_EQ(SeriesMarkerFileName("--298大宗交易 "), "0000000--298大宗交易 .txt");
  EXPECT_EQ(SeriesMarkerFileName("a/b\\c\td"), "0000000a_b_c_d.txt");
}

TEST(SeriesFileTest, BatchedWriterGivesTheSameFilesAsImmediateAndAMarkerOnce) {
  TempProgramFolder a, b;
  for (const std::string& root : {a.Path(), b.Path()}) {
    std::filesystem::create_directory(root + "/s");
    WriteWholeFile(root + "/s/1_600000.dat", SeriesRecordBytes({{20150105, 9.0f}, {20150101, 8.0f}}));
  }
  CSeriesWriter immediate(false);
  CSeriesWriter batched(true);
  const std::vector<std::tuple<std::string, std::int32_t, float>> values = {
      {"600000", 20150103, 1.0f}, {"000002", 20150103, 2.0f}, {"600000", 20150105, 3.0f}, {"600000", 20150103, 4.0f}};
  for (const auto& [code, date, value] : values) {
    immediate.Add(a.Path() + "/s", "lbl", code, date, value, code[0] == '6' ? '1' : '0');
    batched.Add(b.Path() + "/s", "lbl", code, date, value, code[0] == '6' ? '1' : '0');
  }
  EXPECT_TRUE(TreeOf(b.Path() + "/s").count("1_600000.dat") == 1) << "the old file is there";
  EXPECT_EQ(ParseSeriesRecords(ReadWholeFile(b.Path() + "/s/1_600000.dat")).size(), 2u) << "nothing written yet";
  ASSERT_TRUE(batched.Flush());
  EXPECT_EQ(TreeOf(a.Path() + "/s"), TreeOf(b.Path() + "/s"));
  EXPECT_EQ(TreeOf(b.Path() + "/s").count("0000000lbl.txt"), 1u);
  EXPECT_EQ(batched.FileWrites(), 2u);
  EXPECT_EQ(immediate.FileWrites(), 4u);
  EXPECT_EQ(Hex(ReadWholeFile(b.Path() + "/s/1_600000.dat")),
            "55773301" "00000041" "57773301" "00008040" "59773301" "00004040");
}

TEST(SeriesFileTest, UnwritableFolderKeepsTheOldFileAndReportsEachFileOnce) {
  TempProgramFolder folder;
  const std::string dir = folder.Path() + "/ro";
  std::filesystem::create_directory(dir);
  WriteWholeFile(dir + "/1_600000.dat", SeriesRecordBytes({{20150101, 1.0f}}));
  ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
  std::vector<std::string> failed;
  CSeriesWriter writer(false, [&](const std::string& path) { failed.push_back(path); });
  writer.Add(dir, "lbl", "600000", 20150102, 2.0f, '1');
  writer.Add(dir, "lbl", "600000", 20150103, 3.0f, '1');
  ::chmod(dir.c_str(), 0755);
  EXPECT_EQ(writer.FailedFiles(), 2);  // the label file and the data file
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_EQ(failed[1], dir + "/1_600000.dat");
  EXPECT_EQ(Hex(ReadWholeFile(dir + "/1_600000.dat")), "557733010000803f");
}

TEST(SeriesFileTest, FlushStopsBetweenFiles) {
  TempProgramFolder folder;
  CSeriesWriter writer(true);
  writer.Add(folder.Path(), "lbl", "600000", 20150101, 1.0f, '1');
  writer.Add(folder.Path(), "lbl", "600001", 20150101, 1.0f, '1');
  int asked = 0;
  EXPECT_FALSE(writer.Flush([&] { return ++asked > 2; }));
  EXPECT_TRUE(folder.Exists("1_600000.dat"));
  EXPECT_FALSE(folder.Exists("1_600001.dat"));
  EXPECT_TRUE(writer.Flush());  // what was dropped is not written later
  EXPECT_FALSE(folder.Exists("1_600001.dat"));
}

}  // namespace
