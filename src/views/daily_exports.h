#pragma once
// The three text files the daily page leaves in "临时文件" of the program folder:
// the day's stocks in the shown order ("每日净买入排序.txt", rewritten), the suggested
// stocks ("建议关注个股及追踪游资.txt", one block appended per rewrite of the day
// list) and the seats of the stock shown last ("个股成交明细.txt", rewritten).
//
// The files are GBK with "\r\n" line ends. Lines are given as UTF-8 (the list texts);
// the formats' widths count GBK bytes. The writers never create the folder: when it
// is missing or cannot be written they show their message and return false, and the
// caller goes on without the file.

#include <string>
#include <vector>

#include "records/stock_detail_record.h"
#include "storage/file_io.h"

inline constexpr const char* kSuggestionFileHeader = "-----------------建议关注个股------------";
inline constexpr const char* kExportMessageCaption = "系统提示";
inline constexpr const char* kNetBuyFileErrorText = "每日净买入排序.txt 打开错误!";

std::string NetBuyFilePath();      // …/临时文件/每日净买入排序.txt
std::string SuggestionFilePath();  // …/临时文件/建议关注个股及追踪游资.txt
std::string StockDetailFilePath(); // …/临时文件/个股成交明细.txt

// The bytes the writers below put into their files.
// Every line followed by " \r\n", then "\r\n\r\n".
std::string NetBuyFileBytes(const std::vector<std::string>& dayLines);
// The header and every line, each followed by " \r\n", then "\r\n\r\n".
std::string SuggestionBlockBytes(const std::vector<std::string>& suggestionLines);
// The stock's name and figures, its five buying and five selling seats (names whole,
// even past 50 bytes) and the totals `totalBuy`/`totalSell` (the seat totals after
// repeated seats were taken out).
std::string StockDetailFileBytes(const StockDetailRecord& record, double totalBuy, double totalSell);

// Rewrites the net-buy file. On failure: "每日净买入排序.txt 打开错误!".
bool WriteNetBuyFile(const std::vector<std::string>& dayLines);
// Appends one block to the suggestion file (created when missing). On failure:
// "文件打开错误!".
bool AppendSuggestionBlock(const std::vector<std::string>& suggestionLines);
// Rewrites the detail file. On failure: "文件打开错误!".
bool WriteStockDetailFile(const StockDetailRecord& record, double totalBuy, double totalSell);
// (Each message: caption "系统提示", warning icon, one box per failed write.)
