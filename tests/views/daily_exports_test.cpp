#include "views/daily_exports.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/temp_program_folder.h"
#include "platform/message_box.h"
#include "storage/charset.h"

namespace {

constexpr const char* kLongBranch = "中国国际金融股份有限公司上海分公司黄浦区中山南路证券营业部";  // 58 GBK bytes

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options options;
  options.withExportFolder = true;
  return options;
}

StockDetailRecord SampleRecord() {
  StockDetailRecord record;
  record.StockName = "浦发银行";
  record.StockCode = "600000";
  record.SB_Reason = "日涨幅偏离值达7%的证券";
  record.JinShou = 10.5f;
  record.ZhangFu = 9.98f;
  record.Amount = 50000;
  record.BuyNames[0] = kLongBranch;
  record.Buy[0] = {1234.6, 12.4};
  record.BuyNames[1] = "机构专用";
  record.Buy[1] = {500, 0};
  record.SellNames[0] = "机构专用";
  record.Sell[0] = {0, 800.4};
  return record;
}

// "%-10s " of a figure.
std::string Cell(const std::string& figure) { return PadGbkRight(figure, 10) + " "; }

std::string EmptySeat(const std::string& label) {
  return "\r\n " + label + " " + std::string(50, ' ') + " " + Cell("0") + Cell("0") + Cell("0");
}

class DailyExportsTest : public ::testing::Test {
 protected:
  static std::vector<RecordedMessageBox> Boxes() { return MessageBoxHook::Instance().TakeRecorded(); }
  // Every writer fails with its own message and leaves no file.
  void ExpectEveryWriterFails() {
    EXPECT_FALSE(AppendSuggestionBlock({"01 建议股   000002  "}));
    EXPECT_FALSE(WriteNetBuyFile({"line"}));
    EXPECT_FALSE(WriteStockDetailFile(SampleRecord(), 1, 2));
    const std::vector<RecordedMessageBox> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "文件打开错误!");
    EXPECT_EQ(boxes[1].text, "每日净买入排序.txt 打开错误!");
    EXPECT_EQ(boxes[2].text, "文件打开错误!");
    for (const RecordedMessageBox& box : boxes) {
      EXPECT_EQ(box.caption, "系统提示");
      EXPECT_EQ(box.icon, MB_ICONWARNING);
    }
  }

  TempProgramFolder folder_{WithExportFolder()};
};

TEST_F(DailyExportsTest, DetailFileIsByteExact) {
  std::string expected = "-----------------个股Velkor买卖明细: 浦发银行 ------------ \r\n";
  expected += " 股票名称：浦发银行, 股票代码：600000, 今收：10.50, 涨跌幅：9.98, 上榜理由:日涨幅偏离值达7%的证券 \r\n";
  // A name over 50 bytes is written whole and shifts the figures after it.
  expected += std::string("\r\n 买1 ") + kLongBranch + " " + Cell("1235") + Cell("12") + Cell("1222");
  expected += "\r\n 买2 " + PadGbkRight("机构专用", 50) + " " + Cell("500") + Cell("0") + Cell("500");
  for (const char* label : {"买3", "买4", "买5"}) expected += EmptySeat(label);
  expected += "\r\n\r\n";
  expected += "\r\n 卖1 " + PadGbkRight("机构专用", 50) + " " + Cell("0") + Cell("800") + Cell("-800");
  for (const char* label : {"卖2", "卖3", "卖4", "卖5"}) expected += EmptySeat(label);
  expected += "\r\n\r\n";
  expected += " 总买入：1735,     总卖入：813,     净买入：922  \r\n";

  const std::string bytes = StockDetailFileBytes(SampleRecord(), 1734.6, 812.8);
  EXPECT_EQ(bytes, ToGbk(expected));
  // The label column as its GBK bytes: "买1" fills "%-3s" exactly.
  EXPECT_NE(bytes.find("\r\n \xC2\xF2\x31 "), std::string::npos);
  EXPECT_NE(bytes.find(ToGbk("总卖入")), std::string::npos);
  EXPECT_EQ(bytes.find("\n\n"), std::string::npos);  // every line end is CRLF

  ASSERT_TRUE(WriteStockDetailFile(SampleRecord(), 1734.6, 812.8));
  EXPECT_EQ(ReadWholeFile(StockDetailFilePath()), bytes);
  StockDetailRecord other;
  other.StockName = "贵州茅台";
  ASSERT_TRUE(WriteStockDetailFile(other, 0, 0));
  EXPECT_EQ(ReadWholeFile(StockDetailFilePath()), StockDetailFileBytes(other, 0, 0));
}

TEST_F(DailyExportsTest, NetBuyFileIsRewrittenWithABlankBeforeEveryLineEnd) {
  const std::vector<std::string> lines = {"01 浦发银    600000  10.02%  1.23亿  12.35亿  3       大 ",
                                          "02 贵州茅台  600519  -3.50%  -0.25亿 123.46亿 12         "};
  const std::string bytes = NetBuyFileBytes(lines);
  EXPECT_EQ(bytes, ToGbk(lines[0] + " \r\n" + lines[1] + " \r\n\r\n\r\n"));
  EXPECT_NE(bytes.find("1.23\xD2\xDA "), std::string::npos);  // "亿" as its GBK bytes
  ASSERT_TRUE(WriteNetBuyFile(lines));
  ASSERT_TRUE(WriteNetBuyFile({lines[1]}));
  EXPECT_EQ(ReadWholeFile(NetBuyFilePath()), ToGbk(lines[1] + " \r\n\r\n\r\n"));
  EXPECT_EQ(NetBuyFileBytes({}), "\r\n\r\n");
}

TEST_F(DailyExportsTest, SuggestionFileGrowsByOneBlockPerCall) {
  const std::string header = "-----------------建议关注个股------------ \r\n";
  ASSERT_TRUE(AppendSuggestionBlock({"01 融资股   000001  ", "02 建议股   000002  "}));
  ASSERT_TRUE(AppendSuggestionBlock({}));
  EXPECT_EQ(ReadWholeFile(SuggestionFilePath()),
            ToGbk(header + "01 融资股   000001   \r\n02 建议股   000002   \r\n\r\n\r\n" + header + "\r\n\r\n"));
}

TEST_F(DailyExportsTest, MissingFolderGivesOneMessagePerFile) {
  std::filesystem::remove(folder_.File("临时文件"));
  ExpectEveryWriterFails();
  EXPECT_FALSE(folder_.Exists("临时文件"));
}

TEST_F(DailyExportsTest, FileInPlaceOfTheFolderGivesOneMessagePerFile) {
  std::filesystem::remove(folder_.File("临时文件"));
  folder_.WriteFile("临时文件", "not a folder");
  ExpectEveryWriterFails();
  EXPECT_EQ(folder_.ReadFile("临时文件"), "not a folder");
}

TEST_F(DailyExportsTest, ReadOnlyFolderGivesOneMessagePerFileAndKeepsTheOldFiles) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  ASSERT_TRUE(WriteNetBuyFile({"old"}));
  std::filesystem::permissions(folder_.File("临时文件"), std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::owner_exec);
  ExpectEveryWriterFails();
  EXPECT_EQ(ReadWholeFile(NetBuyFilePath()), ToGbk("old \r\n\r\n\r\n"));
}

}  // namespace
