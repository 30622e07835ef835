#pragma once
// The charting program's custom series, computed from the stored daily lists
// (StockInfo), the block trades (DZJY) and the user's branch marks and teams
// (YYBMark), and written into the series files of the signals folder:
//   298        block trades, the N newest trade days;
//   299        net buying of every listed stock, the N - 1 newest list days;
//   300        the listed amount (all twenty seat amounts), the same days;
//   300 + n    a shown branch mark numbered n (301..499): its net with its seat
//              position in the two decimals, the N - 1 newest days it was listed;
//   300 + t    a shown team numbered t: the team's net where enough of its members sit.
// Besides the series it rebuilds "datacfg.dat" and the formula source text.
//
// One generator runs on the custom-data worker with its own connections. It reports
// through a CustomDataSink and never touches a widget. A stop request is honoured
// between rows and between files.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "charting/data_cfg.h"
#include "platform/win_types.h"
#include "storage/row_records.h"
#include "storage/text_hash.h"

class CADODataBase;
class CSeriesWriter;

// Where the worker's reports go (the settings page queues each call to its UI thread,
// so none of them blocks the worker).
class CustomDataSink {
 public:
  virtual ~CustomDataSink() = default;
  virtual void Status(const std::string& text) = 0;                 // status edit 1154
  virtual void Line(const std::string& text, COLORREF colour) = 0;  // message list 1143
  virtual void ProgressRange(int lower, int upper) = 0;             // progress bar 1142
  virtual void Progress(int position) = 0;                          // only when it changes
  virtual void Message(const std::string& text) = 0;                // a message box
  virtual void Finished(bool ok, int failures) = 0;                 // the job has ended
};

inline constexpr COLORREF kCustomLinePlain = 0;
inline constexpr COLORREF kCustomLineRed = 0x0000FF;

inline constexpr const char* kStatusBlockTrades = "正在生成大宗交易，298数据........";
inline constexpr const char* kStatusNetBuy = "正在生成净买入，299数据........";
inline constexpr const char* kStatusListedAmount = "正在生成个股Velkor 300系列数据........";
inline constexpr const char* kStatusBranches = "正在生成N日数据文件.......";
inline constexpr const char* kStatusTeams = "正在生成团队做战，500以上编号数据........";
inline constexpr const char* kStatusGenerated = "生成自定义数据OK！！！！";
inline constexpr const char* kNetBuySeriesLabel = "--299是否上榜 ";
inline constexpr const char* kListedAmountSeriesLabel = "--300是否上榜 ";
inline constexpr const char* kFolderFailedText = "创建数据目录失败！";
inline constexpr const char* kFileFailedText = "文件打开错误!";
// The query texts the user is shown when a branch-mark query fails.
inline constexpr const char* kMarksQueryFailedText =
    "SELECT * FROM YYBMark WHERE (Number1 >= 1)  order by Number1 asc， Error";
inline constexpr const char* kTeamsQueryFailedText =
    "SELECT * FROM YYBMark WHERE (IsLike >= 1) and (TeamNumber > 1)  order by TeamNumber asc， Error";
inline constexpr const char* kAbbreviationQueryFailedText = "SELECT * FROM YYBMark where Abbreviation='%s', Error";
inline constexpr const char* kFormulaTeamsQueryFailedText = "SELECT * FROM YYBMark where TeamNumber>=%d', Error";

// "<signals>/signals_user_<n>".
std::string SeriesFolderPath(const std::string& signalsFolder, int series);

// ---- The values ------------------------------------------------------------------
// Amounts of a row in the working row's order: Buy1 buy, Buy1 sell, Buy2 buy, ...,
// Buy5 sell, Sell1 buy, ..., Sell5 sell. Seat k (0..9) has its buy amount at 2k and
// its sell amount at 2k + 1; seats 0..4 are the buyers, 5..9 the sellers.
using SeatAmounts20 = std::array<double, 20>;
// Seat names as ids of one name table (-1 for a name that is not in it).
using SeatIds = std::array<std::int32_t, 10>;

// Series 300: the sum of the twenty amounts.
float ListedAmountValue(const SeatAmounts20& amounts);
// Series 299: buy total - sell total, each seller matched once by the first buyer
// with the same two amounts counted only on one side.
float ComputeNetBuy(const SeatAmounts20& amounts);
// Zeroes a seller's buy (sell) amount that equals some buyer's buy (sell) amount.
void ClearDuplicateSellAmounts(SeatAmounts20& amounts);
// trunc(net), then net + code × 0.01 when positive, else -(|net| + code × 0.01).
float SeatCodedValue(double net, int code);
// A branch's value in one row, nullopt when it holds no seat. `institution` says the
// branch is the institution seat name (which may hold several seats).
std::optional<float> BranchSeriesValue(const SeatIds& seats, const SeatAmounts20& amounts, std::int32_t branch,
                                       bool institution);
// A team's value in one row (amounts already cleared), nullopt when fewer than
// `buyTeams` members buy and fewer than `sellTeams` sell (each at least 1).
std::optional<float> TeamSeriesValue(const SeatIds& seats, const SeatAmounts20& amounts,
                                     const std::vector<std::int32_t>& members, int buyTeams, int sellTeams);

// Branch and seat names as small ids, so a row compares numbers instead of texts.
class SeatNameTable {
 public:
  std::int32_t Intern(std::string_view name);
  std::int32_t Find(std::string_view name) const;  // -1 when unknown
  std::size_t Size() const { return names_.size(); }

 private:
  TextMap<std::int32_t> ids_;
  std::vector<std::string> names_;
};

// The StockInfo rows of a day window, newest first.
struct SeriesWindowRow {
  std::string StockCode;
  std::int32_t date = 0;  // YYYYMMDD
  std::int32_t day = 0;   // the window's day counter, from 1
  SeatIds seats{};
  SeatAmounts20 amounts{};
};
struct SeriesWindow {
  bool queryOk = false;
  bool stopped = false;
  std::vector<SeriesWindowRow> rows;
  std::vector<std::string> dayTexts;  // SB_Date of day counter 1, 2, ...
  int badDates = 0;
};

struct GenerationOptions {
  bool batched = true;     // gather the values per file and write each file once
  bool sharedScan = true;  // one StockInfo read feeds 299, 300 and the teams
  bool branchScan = true;  // one StockInfo read, newest first, feeds every branch series
};

struct GenerationParams {
  std::string signalsFolder;  // "<charting folder>/T0002/signals", existing
  int days = 1;               // N; below 1 counts as 1
  int buyTeams = 2;
  int sellTeams = 1;
  std::string formulaPath;    // where the formula text goes; "" writes none
  GenerationOptions options;
};

struct GenerationResult {
  bool completed = false;  // false when stopped
  int failures = 0;        // files and folders that could not be written
  std::size_t values = 0;  // values handed to the series files
  std::size_t fileWrites = 0;
};

class CCustomSeriesGenerator {
 public:
  CCustomSeriesGenerator(CADODataBase& market, CADODataBase& user, CustomDataSink& sink,
                         std::stop_token stop = {});
  ~CCustomSeriesGenerator();
  CCustomSeriesGenerator(const CCustomSeriesGenerator&) = delete;
  CCustomSeriesGenerator& operator=(const CCustomSeriesGenerator&) = delete;

  // The whole generation, the status texts in order; the final status and Finished
  // are the caller's.
  GenerationResult Run(const GenerationParams& params);

  // The steps, in the order Run takes them (public for tests; Run sets the params).
  bool LoadTeamCombinations();
  void BuildDataCfg(const std::string& path);
  void GenerateSeries298(const std::string& signalsFolder, int days);
  void GenerateSeries299(const std::string& signalsFolder, int days);
  void GenerateSeries300(const std::string& signalsFolder, int days);
  void GenerateBranchSeriesAndFormula(const std::string& signalsFolder, int days);
  bool FindBranchByAbbreviation(const std::string& abbreviation, std::string& branch);
  void WriteBranchSeries(const std::string& branch, const std::string& abbreviation, int days);
  void GenerateTeamSeries(const std::string& signalsFolder, int days);
  void WriteTeamSeries(int days);
  void WriteTeamSeriesValue(const CBranchTeamRow& team, const std::string& code, char marketDigit,
                            std::int32_t date, float value);

  CDataCfg m_datacfg;
  std::vector<CBranchTeamRow> m_teams;  // the shown teams of this run, collisions removed
  std::string m_strFilePath;            // the series folder being written
  COLORREF m_branchColor = 0;           // colour of the branch found last

 private:
  bool Stopped() const { return stop_.stop_requested(); }
  void SetRange(int lower, int upper);
  void SetPosition(int position);
  void FileFailed(const std::string& path);
  bool EnsureFolder(const std::string& folder);
  void Flush();
  // The rows of the window for 299, 300 and the teams (read once when shared).
  const SeriesWindow& AllRowsWindow(int days, const char* what);
  void ReportBadDates(int count, const char* what);
  // The branch of an abbreviation and its colour; nullopt when the query failed.
  std::optional<bool> LookUpBranch(const std::string& abbreviation, std::string& branch, COLORREF& colour);
  // The branch's window from the one read for every branch series (nullptr without it).
  const SeriesWindow* SharedBranchWindow(const std::string& branch, int days);
  void WriteNetBuySeries(const SeriesWindow& window);
  void WriteListedAmountSeries(const SeriesWindow& window);

  CADODataBase& market_;
  CADODataBase& user_;
  CustomDataSink& sink_;
  std::stop_token stop_;
  GenerationParams params_;
  std::unique_ptr<CSeriesWriter> writer_;
  SeatNameTable names_;
  std::unique_ptr<SeriesWindow> shared_;
  std::unique_ptr<std::map<std::string, SeriesWindow>> branchWindows_;
  std::vector<DataCfgBranch> branches_;
  bool branchesLoaded_ = false;
  std::vector<std::int32_t> collidingTeams_;
  std::map<std::int32_t, bool> teamFolderOk_;  // by team number, once tried
  int failures_ = 0;
  int lastPosition_ = -1;
  bool folderFailureShown_ = false;
  bool fileFailureShown_ = false;
};
