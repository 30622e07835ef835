#include "charting/chart_block_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "../support/chart_folder_builder.h"
#include "charting/chart_folder.h"
#include "../support/hex_bytes.h"
#include "platform/message_box.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

namespace {

const std::string kOwnRecord = Bytes("56656c6b6f72d7d4d1a1b9c9") + std::string(38, '\0') + "ZUVZXG" + std::string(64, '\0');

std::string Record(const std::string& gbkName, const std::string& fileName) {
  std::string record = gbkName;
  record.resize(50, '\0');
  std::string file = fileName;
  file.resize(70, '\0');
  return record + file;
}

std::vector<std::string> TakeTexts() {
  std::vector<std::string> texts;
  for (const auto& box : MessageBoxHook::Instance().TakeRecorded()) texts.push_back(box.text);
  return texts;
}

const std::vector<std::string> kBlockFileBoxes = {kBlockFileOpenErrorText, kBlockFileGuidanceText};

// A charting folder, with TDX_DIR pointing at it for the roads.
class BlockRoads : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = TDX_DIR;
    TDX_DIR = wine_.LinuxTdxDir();
  }
  void TearDown() override { TDX_DIR = saved_; }

  ChartFolderBuilder wine_;
  CChartBlockRoads roads_;
  std::string saved_;
};

}  // namespace

// ---- entries ----

TEST(MakeBlockEntry, MarketDigitAndCode) {
  EXPECT_EQ(MakeBlockEntry("600519"), "\r\n1600519");
  EXPECT_EQ(MakeBlockEntry("000001"), "\r\n0000001");
  EXPECT_EQ(MakeBlockEntry("300750"), "\r\n0300750");
  EXPECT_EQ(MakeBlockEntry("510050"), "\r\n1510050");
  EXPECT_EQ(MakeBlockEntry("900901"), "\r\n1900901");
}

TEST(BlockClipboardText, EveryCodeAfterASeparator) {
  EXPECT_EQ(BlockClipboardText({"600519"}), ", 600519");
  EXPECT_EQ(BlockClipboardText({"600519", "000001"}), ", 600519, 000001");
  EXPECT_EQ(BlockClipboardText({}), "");
}

// ---- the block file ----

TEST(CChartBlockFile, WritesTheEntriesInOrder) {
  ChartFolderBuilder wine;
  CChartBlockFile file;
  for (const char* code : {"600519", "000001", "300750"}) file.AddStock(MakeBlockEntry(code));
  ASSERT_TRUE(file.Write(wine.Path("T0002/blocknew/ZUVZXG.blk")));
  EXPECT_EQ(Hex(wine.Read("T0002/blocknew/ZUVZXG.blk")), "0d0a31363030353139" "0d0a30303030303031" "0d0a30333030373530");
}

TEST(CChartBlockFile, ReadsFilesWithoutLeadingLineEndAndDeduplicates) {
  ChartFolderBuilder wine;
  wine.Write("T0002/blocknew/ZUVZXG.blk", "1600519\r\n0000001\r\n");
  CChartBlockFile file;
  ASSERT_TRUE(file.Read(wine.Path("T0002/blocknew/ZUVZXG.blk")));
  EXPECT_EQ(file.m_stringStockList, (std::vector<std::string>{"\r\n1600519", "\r\n0000001"}));
  file.AddStock(MakeBlockEntry("600519"));
  EXPECT_EQ(file.m_stringStockList, (std::vector<std::string>{"\r\n0000001", "\r\n1600519"}));
}

TEST(CChartBlockFile, LfLinesBlankLinesAndOtherLinesKeptVerbatim) {
  ChartFolderBuilder wine;
  wine.Write("b.blk", "1600519\n\n  \r\n#note 1\n0000001");
  CChartBlockFile file;
  ASSERT_TRUE(file.Read(wine.Path("b.blk")));
  ASSERT_TRUE(file.Write(wine.Path("b.blk")));
  EXPECT_EQ(wine.Read("b.blk"), "\r\n1600519\r\n#note 1\r\n0000001");
}

TEST(CChartBlockFile, AddStockRemovesEveryEntryOfTheMarketAndCode) {
  CChartBlockFile file;
  file.m_stringStockList = {"\r\n1600519", "\r\n1000001", "\r\n0600519", "\r\nx600519", "\r\n1600519"};
  file.AddStock(MakeBlockEntry("600519"));
  file.AddStock(MakeBlockEntry("000001"));
  // A line that is no entry stays, even when it ends in the code; so does the same six
  // digits on the other market (the Shanghai index beside the Shenzhen stock).
  EXPECT_EQ(file.m_stringStockList, (std::vector<std::string>{"\r\n1000001", "\r\n0600519", "\r\nx600519",
                                                              "\r\n1600519", "\r\n0000001"}));
}

TEST(CChartBlockFile, MissingFileIsCreatedEmpty) {
  ChartFolderBuilder wine;
  CChartBlockFile file;
  file.m_stringStockList = {"\r\n1600519"};
  ASSERT_TRUE(file.Read(wine.Path("T0002/blocknew/ZUVZXG.blk")));
  EXPECT_TRUE(file.m_stringStockList.empty());
  EXPECT_TRUE(wine.Exists("T0002/blocknew/ZUVZXG.blk"));
  EXPECT_EQ(wine.Read("T0002/blocknew/ZUVZXG.blk"), "");
}

TEST(CChartBlockFile, UnreadableFileGivesTheTwoBoxesAndAnEmptyList) {
  ChartFolderBuilder wine;
  wine.MakeFolder("T0002/blocknew/ZUVZXG.blk");  // not a file
  CChartBlockFile file;
  file.m_stringStockList = {"\r\n1600519"};
  EXPECT_FALSE(file.Read(wine.Path("T0002/blocknew/ZUVZXG.blk")));
  EXPECT_TRUE(file.m_stringStockList.empty());
  EXPECT_EQ(TakeTexts(), kBlockFileBoxes);
}

TEST(CChartBlockFile, ReadOnlyFileKeepsItsBytes) {
  ChartFolderBuilder wine;
  wine.Write("T0002/blocknew/ZUVZXG.blk", "\r\n1600519");
  wine.SetReadOnly("T0002/blocknew/ZUVZXG.blk", true);
  CChartBlockFile file;
  file.AddStock(MakeBlockEntry("000001"));
  EXPECT_FALSE(file.Write(wine.Path("T0002/blocknew/ZUVZXG.blk")));
  EXPECT_EQ(TakeTexts(), kBlockFileBoxes);
  EXPECT_EQ(wine.Read("T0002/blocknew/ZUVZXG.blk"), "\r\n1600519");
}

// ---- the block list ----

TEST(RegisterChartBlock, MissingListGetsExactlyTheOwnRecord) {
  ChartFolderBuilder wine;
  ASSERT_TRUE(RegisterChartBlock(wine.Path("T0002/blocknew/blocknew.cfg")));
  EXPECT_EQ(Hex(wine.Read("T0002/blocknew/blocknew.cfg")), Hex(kOwnRecord));
  EXPECT_EQ(BlockListRecord(), kOwnRecord);
}

TEST(RegisterChartBlock, OwnRecordPresentLeavesTheFileByteIdentical) {
  ChartFolderBuilder wine;
  const std::string gbkName = Bytes("56656c6b6f72d7d4d1a1b9c9");
  for (const std::string& own : {kOwnRecord, Record(gbkName + "  ", "ZUVZXG   ")}) {
    const std::string before = Record(Bytes("c3f7d0c7"), "MX") + own + Record("ABC", "ABC");
    wine.Write("T0002/blocknew/blocknew.cfg", before);
    ASSERT_TRUE(RegisterChartBlock(wine.Path("T0002/blocknew/blocknew.cfg")));
    EXPECT_EQ(wine.Read("T0002/blocknew/blocknew.cfg"), before);
  }
}

TEST(RegisterChartBlock, RecordsThatMatchHalfGetOursAppended) {
  ChartFolderBuilder wine;
  const std::string gbkName = Bytes("56656c6b6f72d7d4d1a1b9c9");
  for (const std::string& other : {Record(gbkName, "ZUVZXG2"), Record("Other", "ZUVZXG"), Record(gbkName, "zuvzxg")}) {
    wine.Write("T0002/blocknew/blocknew.cfg", other);
    ASSERT_TRUE(RegisterChartBlock(wine.Path("T0002/blocknew/blocknew.cfg")));
    EXPECT_EQ(wine.Read("T0002/blocknew/blocknew.cfg"), other + kOwnRecord);
  }
}

TEST(RegisterChartBlock, LengthOffTheGridIsNeverTouched) {
  ChartFolderBuilder wine;
  const std::string before(130, 'x');
  wine.Write("T0002/blocknew/blocknew.cfg", before);
  EXPECT_FALSE(RegisterChartBlock(wine.Path("T0002/blocknew/blocknew.cfg")));
  EXPECT_EQ(TakeTexts(), std::vector<std::string>{"blocknew.cfg 格式无法识别，未作修改!"});
  EXPECT_EQ(wine.Read("T0002/blocknew/blocknew.cfg"), before);
}

TEST(RegisterChartBlock, UnwritableFolderOrFileKeepsTheOldBytes) {
  ChartFolderBuilder wine;
  wine.SetReadOnly("T0002/blocknew", true);
  EXPECT_FALSE(RegisterChartBlock(wine.Path("T0002/blocknew/blocknew.cfg")));
  EXPECT_FALSE(wine.Exists("T0002/blocknew/blocknew.cfg"));
  wine.SetReadOnly("T0002/blocknew", false);

  const std::string before = Record("Other", "OTHER");
  wine.Write("T0002/blocknew/blocknew.cfg", before);
  wine.SetReadOnly("T0002/blocknew/blocknew.cfg", true);
  EXPECT_FALSE(RegisterChartBlock(wine.Path("T0002/blocknew/blocknew.cfg")));
  EXPECT_EQ(wine.Read("T0002/blocknew/blocknew.cfg"), before);
  EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"open file blocknew.cfg error !", "open file blocknew.cfg error !"}));
}

// ---- the roads the pages use ----

TEST_F(BlockRoads, ListRoadMovesPresentCodesToTheEnd) {
  wine_.Write("T0002/blocknew/ZUVZXG.blk", "\r\n1600519\r\n0000001");
  ASSERT_TRUE(roads_.AddStockList({"000001", "300750"}));
  EXPECT_EQ(wine_.Read("T0002/blocknew/ZUVZXG.blk"), "\r\n1600519\r\n0000001\r\n0300750");
}

TEST_F(BlockRoads, StockTwiceThenInTheListStandsOnceAtTheEnd) {
  wine_.Write("T0002/blocknew/ZUVZXG.blk", "\r\n1600519\r\n0000001\r\n1600519");
  ASSERT_TRUE(roads_.AddStockList({"600519"}));
  EXPECT_EQ(wine_.Read("T0002/blocknew/ZUVZXG.blk"), "\r\n0000001\r\n1600519");
}

TEST_F(BlockRoads, ListRoadDoesNotRewriteAFileItCouldNotRead) {
  wine_.MakeFolder("T0002/blocknew/ZUVZXG.blk");
  EXPECT_FALSE(roads_.AddStockList({"600519"}));
  EXPECT_EQ(TakeTexts(), kBlockFileBoxes);
  EXPECT_TRUE(FolderExists(wine_.Path("T0002/blocknew/ZUVZXG.blk")));
}

TEST_F(BlockRoads, ListRoadFailsWhenTheFileStaysReadOnly) {
  wine_.Write("T0002/blocknew/ZUVZXG.blk", "\r\n1600519");
  wine_.SetReadOnly("T0002/blocknew/ZUVZXG.blk", true);
  EXPECT_FALSE(roads_.AddStockList({"000001"}));
  EXPECT_EQ(TakeTexts(), kBlockFileBoxes);
  EXPECT_EQ(wine_.Read("T0002/blocknew/ZUVZXG.blk"), "\r\n1600519");
}

TEST_F(BlockRoads, OneStockRoadAppendsWithoutLooking) {
  ASSERT_TRUE(roads_.AppendOneStock("600519"));
  ASSERT_TRUE(roads_.AppendOneStock("600519"));
  EXPECT_EQ(wine_.Read("T0002/blocknew/ZUVZXG.blk"), "\r\n1600519\r\n1600519");
}

TEST_F(BlockRoads, OneStockRoadOnAReadOnlyFile) {
  wine_.Write("T0002/blocknew/ZUVZXG.blk", "\r\n0000001");
  wine_.SetReadOnly("T0002/blocknew/ZUVZXG.blk", true);
  EXPECT_FALSE(roads_.AppendOneStock("600519"));
  EXPECT_EQ(TakeTexts(), std::vector<std::string>{"open zuvzxg.blk error !!"});
  EXPECT_EQ(wine_.Read("T0002/blocknew/ZUVZXG.blk"), "\r\n0000001");
}

TEST_F(BlockRoads, BadCodesNeverReachTheFile) {
  wine_.Write("T0002/blocknew/ZUVZXG.blk", "\r\n0000001");
  EXPECT_FALSE(roads_.AppendOneStock("60051"));
  ASSERT_TRUE(roads_.AddStockList({"6005190", "300750"}));
  EXPECT_EQ(wine_.Read("T0002/blocknew/ZUVZXG.blk"), "\r\n0000001\r\n0300750");
  EXPECT_EQ(TakeTexts(), (std::vector<std::string>{std::string(kBlockBadCodeText) + "60051",
                                                   std::string(kBlockBadCodeText) + "6005190"}));
}

TEST_F(BlockRoads, RegisterRoadWritesTheListBelowTheCurrentFolder) {
  ASSERT_TRUE(roads_.RegisterChartBlock());
  EXPECT_EQ(wine_.Read("T0002/blocknew/blocknew.cfg"), kOwnRecord);
}

TEST_F(BlockRoads, ExistingNamesInOtherCaseAreReused) {
  ChartFolderBuilder other(ChartFolderBuilder::Options{.withT0002 = false});
  other.MakeFolder("t0002/BlockNew");
  other.Write("t0002/BlockNew/zuvzxg.BLK", "\r\n0000001");
  other.Write("t0002/BlockNew/BlockNew.CFG", kOwnRecord);
  TDX_DIR = other.LinuxTdxDir();
  ASSERT_TRUE(roads_.RegisterChartBlock());
  ASSERT_TRUE(roads_.AppendOneStock("600519"));
  ASSERT_TRUE(roads_.AddStockList({"000001"}));
  EXPECT_EQ(other.Read("t0002/BlockNew/zuvzxg.BLK"), "\r\n1600519\r\n0000001");
  EXPECT_EQ(other.Read("t0002/BlockNew/BlockNew.CFG"), kOwnRecord);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(other.Path("t0002/BlockNew"))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"BlockNew.CFG", "zuvzxg.BLK"}));
  EXPECT_FALSE(fs::exists(other.Path("T0002")));
}

TEST_F(BlockRoads, FolderNotSetOrWrongStopsEveryRoad) {
  TDX_DIR = "0";
  EXPECT_FALSE(roads_.RegisterChartBlock());
  EXPECT_FALSE(roads_.AddStockList({"600519"}));
  EXPECT_FALSE(roads_.AppendOneStock("600519"));
  TDX_DIR = "relative\\TdxW.exe";
  EXPECT_FALSE(roads_.RegisterChartBlock());
  const std::string notSet = "请设置 通达信 目录。";
  EXPECT_EQ(TakeTexts(), (std::vector<std::string>{notSet, notSet, notSet,
                                                   "您设置的 通达信 目录不正确！！请按文档教程来操作！！！"}));
}

TEST_F(BlockRoads, MissingBlockFolderWritesNothing) {
  ChartFolderBuilder bare(ChartFolderBuilder::Options{.withBlockNew = false});
  TDX_DIR = bare.LinuxTdxDir();
  EXPECT_FALSE(roads_.RegisterChartBlock());
  EXPECT_EQ(TakeTexts(), std::vector<std::string>{"open file blocknew.cfg error !"});
  EXPECT_FALSE(bare.Exists("T0002/blocknew"));
}
