#pragma once
// The exchanges' own Velkor bulletins of one day, read without the network: the
// Shenzhen exchange's bulletin files (one per board, plain text) and the Shanghai
// exchange's public-trade answer (a script around one text). Each bulletin is cut into
// sections by their titles, the title being the listing reason, and each section into
// one block per stock with its seats.
//
// The parser keeps what the download page kept for this road: the day, the section's
// reason, the names already handled on the day (a stock listed again, in another
// section or on another board, keeps its first reason and is not handed on twice),
// and the running number of stocks. Each stock goes to the events as a record; its
// prices are the caller's business.
//
// Byte counts that decide whether a text still holds a stock (the 99-byte section
// body, the 20-byte rests) are GBK byte counts, as the files measure them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/stock_record.h"
#include "platform/win_types.h"

class BulletinEvents {
 public:
  virtual ~BulletinEvents() = default;
  virtual void Line(const std::string& text, COLORREF colour) = 0;
  virtual void Progress(const std::string& text) = 0;
  // One stock of a section, with its reason, day and seats; not handed on again.
  virtual void Stock(StockRecord& record) = 0;
};

// The Shenzhen sections in file order; 8 and 9 have a longer form tried first.
const std::vector<std::string>& SzseSectionTitles();
// The Shanghai sections 1 to 17, as searched.
const std::vector<std::string>& SseSectionTitles();

// The Shenzhen bulletin file of a day: "170105.txt" for 5 January 2017.
std::string SzseBulletinFileName(int year, int month, int day);

// The Shanghai answer's text as parsed: the body decoded as UTF-8 unless its
// Content-Type names another charset (bad bytes become U+FFFD), lines joined.
std::string SseAnswerText(std::string_view body, std::string_view contentType);

// Result of the two bulletin parsers.
inline constexpr int kBulletinParsed = 0;
inline constexpr int kBulletinMissing = -1;  // not a bulletin, or its first section is missing

class ExchangeBulletinParser {
 public:
  ExchangeBulletinParser(std::string downloadDate, BulletinEvents& events);

  // One Shenzhen board's file (decoded, its line ends kept). `marketFile` is the
  // board's label in the "not found" lines.
  int ParseSzseBulletin(std::string_view text, const std::string& marketFile);
  // The Shanghai answer (SseAnswerText): from the bulletin title on.
  int ParseSseBulletin(std::string_view text);

  // The state the day keeps (public for the tests, as the page had it).
  std::string m_strDownloadDate;
  std::string m_strMarketFile;
  std::string m_strCurReason;
  int m_nSectionKind = 0;
  std::uint8_t m_byDownloadOK = 0;
  std::vector<std::string> m_lstDownloadedNames;
  int m_nDownload_StockCounter = 0;

  // 1 when `name` was handled on this day, else 0.
  int IsNameDownloaded(const std::string& name) const;

 private:
  int ParseSzseSection(const std::string& title);
  void ParseSzseStocks(std::string_view body);
  void ParseSzseSeatTable(std::string_view table, SeatList& seats);

  void ParseSseSection(std::size_t nextTitle);
  void ParseSseShareClasses(std::string_view body);
  void ParseSseMarginSection(std::string_view body);
  void ParseSseStocks(std::string_view body);
  void ParseSseShortSaleStocks(std::string_view body);
  void ParseSseRows(std::string_view part, SeatList& seats, bool buying);

  // The record's common fields for a new block; false when the name was handled.
  bool BeginStock(StockRecord& record, std::string_view name, std::string_view code);
  void NotFound(const std::string& what);

  BulletinEvents& events_;
  std::string buffer_;  // what is left of the bulletin being parsed
};

// True when the GBK form of `text` has at least `bytes` bytes (line ends not counted);
// stops counting there.
bool GbkLengthAtLeast(std::string_view text, std::size_t bytes);
