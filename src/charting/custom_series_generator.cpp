#include "charting/custom_series_generator.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <set>
#include <system_error>
#include <unordered_map>

#include "charting/block_trade_series.h"
#include "charting/chart_folder.h"
#include "charting/formula_text.h"
#include "charting/series_file.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/file_io.h"

namespace {

const char* const kSeats[] = {"Buy1", "Buy2", "Buy3", "Buy4", "Buy5", "Sell1", "Sell2", "Sell3", "Sell4", "Sell5"};

// StockCode, SB_Date, then for each seat its name, buy and sell amount.
std::string SeatColumns() {
  std::string columns = "StockCode, SB_Date";
  for (const char* seat : kSeats) {
    const std::string s = seat;
    columns += ", " + s + "_YYB_Name, " + s + "_YYB_BuyAmount, " + s + "_YYB_SellAmount";
  }
  return columns;
}

// Every row of the N newest list days, newest first; rowid keeps the stored order
// within a day.
const std::string& AllRowsQuery() {
  static const std::string sql =
      "SELECT " + SeatColumns() +
      " FROM StockInfo WHERE SB_Date >= (SELECT MIN(d) FROM (SELECT DISTINCT SB_Date AS d FROM StockInfo "
      "ORDER BY d DESC LIMIT ?)) ORDER BY SB_Date DESC, rowid";
  return sql;
}

// The rows where the branch (the one bound value) holds any of the ten seats.
const std::string& BranchRowsQuery() {
  static const std::string sql = [] {
    std::string where;
    for (const char* seat : kSeats) {
      if (!where.empty()) where += " OR ";
      where += std::string(seat) + "_YYB_Name = ?1";
    }
    return "SELECT " + SeatColumns() + " FROM StockInfo WHERE " + where + " ORDER BY SB_Date DESC, rowid";
  }();
  return sql;
}

// Every row, newest first, for the branch windows read together.
const std::string& NewestFirstQuery() {
  static const std::string sql = "SELECT " + SeatColumns() + " FROM StockInfo ORDER BY SB_Date DESC, rowid";
  return sql;
}

// Keeps the rows of the N - 1 newest dates of rows met newest first: a counter goes up
// at every new SB_Date and the window is full at the row that makes it N. Rows whose
// date cannot be read are skipped and counted.
class WindowBuilder {
 public:
  explicit WindowBuilder(int days) : days_(days) {}

  // The row to fill in, or nullptr when the row is skipped or the window is full.
  SeriesWindowRow* Take(std::string_view date, std::optional<std::int32_t> number) {
    if (!number) {
      ++window.badDates;
      return nullptr;
    }
    if (first_ || date != previous_) {
      first_ = false;
      previous_.assign(date);
      if (++counter_ >= days_) {
        full = true;
        return nullptr;
      }
      window.dayTexts.push_back(previous_);
    }
    SeriesWindowRow& row = window.rows.emplace_back();
    row.date = *number;
    row.day = counter_;
    return &row;
  }

  SeriesWindow window;
  bool full = false;

 private:
  int days_;
  std::string previous_;
  bool first_ = true;
  int counter_ = 0;
};

// Steps `sql` over rows of SeatColumns(), handing each row to `visit` (its date text,
// its date and a filler of a window row) until `visit` returns false. The statement is
// stepped directly (the largest read of a generation), so rows past the window are
// never fetched and names are interned without a copy. False when the read failed.
template <typename Visit>
bool StepSeatRows(CADODataBase& db, const std::string& sql, const std::vector<DbValue>& params, SeatNameTable& names,
                  Visit visit) {
  const CADODataBase::ThreadHandle th = db.AcquireHandle();
  if (th.handle == nullptr) return false;
  int code = 0;
  std::string message;
  StatementPtr statement = PrepareBound(th.handle, sql, params, code, message);
  if (!statement) {
    db.RecordError(code, message);
    return false;
  }
  sqlite3_stmt* st = statement.get();
  const auto text = [st](int column) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    return p == nullptr ? std::string_view() : std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(st, column)));
  };
  const auto fill = [&](SeriesWindowRow& row) {
    row.StockCode.assign(text(0));
    for (int k = 0; k < 10; ++k) {
      const std::string_view name = text(2 + 3 * k);
      row.seats[k] = name.empty() ? -1 : names.Intern(name);
      row.amounts[2 * k] = sqlite3_column_double(st, 3 + 3 * k);
      row.amounts[2 * k + 1] = sqlite3_column_double(st, 4 + 3 * k);
    }
  };
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    const std::string_view date = text(1);
    if (!visit(date, SeriesDateNumber(date), fill)) return true;
  }
  if (rc == SQLITE_DONE) return true;
  db.RecordError(sqlite3_extended_errcode(th.handle), sqlite3_errmsg(th.handle));
  return false;  // a read that broke off is a failed query, not a short window
}

// The rows of the N - 1 newest dates of a query ordered newest first.
SeriesWindow LoadSeriesWindow(CADODataBase& db, const std::string& sql, const std::vector<DbValue>& params,
                              int days, SeatNameTable& names, const std::stop_token& stop) {
  WindowBuilder builder(days);
  bool stopped = false;
  const bool ok = StepSeatRows(db, sql, params, names, [&](std::string_view date, auto number, const auto& fill) {
    if (stop.stop_requested()) return !(stopped = true);
    if (SeriesWindowRow* row = builder.Take(date, number)) fill(*row);
    return !builder.full;
  });
  SeriesWindow& window = builder.window;
  window.queryOk = ok;
  window.stopped = stopped;
  if (!ok || stopped) window.rows.clear();
  return std::move(window);
}

// Each branch's window as LoadSeriesWindow gives it for BranchRowsQuery(), from one
// read of every row newest first that ends once every branch has its window.
std::map<std::string, SeriesWindow> LoadBranchWindows(CADODataBase& db, const std::set<std::string>& branches,
                                                      int days, SeatNameTable& names, const std::stop_token& stop) {
  std::vector<WindowBuilder> builders(branches.size(), WindowBuilder(days));
  std::unordered_map<std::int32_t, std::size_t> builderOf;
  for (const std::string& branch : branches) builderOf.emplace(names.Intern(branch), builderOf.size());
  std::size_t open = builders.size();
  bool stopped = false;
  SeriesWindowRow row;
  std::vector<std::size_t> holders;
  const bool ok = open == 0 || StepSeatRows(db, NewestFirstQuery(), {}, names,
                                            [&](std::string_view date, auto number, const auto& fill) {
    if (stop.stop_requested()) return !(stopped = true);
    fill(row);
    holders.clear();
    for (std::int32_t seat : row.seats) {
      const auto it = builderOf.find(seat);
      if (it == builderOf.end() || builders[it->second].full) continue;
      if (std::find(holders.begin(), holders.end(), it->second) == holders.end()) holders.push_back(it->second);
    }
    for (std::size_t b : holders) {
      if (SeriesWindowRow* taken = builders[b].Take(date, number)) {
        taken->StockCode = row.StockCode;
        taken->seats = row.seats;
        taken->amounts = row.amounts;
      }
      if (builders[b].full) --open;
    }
    return open > 0;
  });
  std::map<std::string, SeriesWindow> windows;
  std::size_t i = 0;
  for (const std::string& branch : branches) {
    SeriesWindow& window = windows[branch] = std::move(builders[i++].window);
    window.queryOk = ok;
    window.stopped = stopped;
    if (!ok || stopped) window.rows.clear();
  }
  return windows;
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace

std::string SeriesFolderPath(const std::string& signalsFolder, int series) {
  return Join(signalsFolder, "signals_user_" + std::to_string(series));
}

// ---- Values ------------------------------------------------------------------------

float ListedAmountValue(const SeatAmounts20& amounts) {
  double sum = 0;
  for (double a : amounts) sum += a;
  return static_cast<float>(sum);
}

float ComputeNetBuy(const SeatAmounts20& amounts) {
  double buy = 0, sell = 0;
  for (int k = 0; k < 10; ++k) {
    buy += amounts[2 * k];
    sell += amounts[2 * k + 1];
  }
  // A branch listed among the buyers and the sellers with the same amounts is one
  // trade: take it off once. Each seller is matched by one buyer at most, so two
  // buyers with equal figures never take the same seller off twice.
  std::array<bool, 5> taken{};
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 5; ++j) {
      const int s = 5 + j;
      if (taken[j]) continue;
      if (amounts[2 * s] == amounts[2 * i] && amounts[2 * s + 1] == amounts[2 * i + 1]) {
        buy -= amounts[2 * s];
        sell -= amounts[2 * s + 1];
        taken[j] = true;
        break;
      }
    }
  }
  return static_cast<float>(buy - sell);
}

void ClearDuplicateSellAmounts(SeatAmounts20& amounts) {
  for (int i = 0; i < 5; ++i) {
    for (int s = 5; s < 10; ++s) {
      if (amounts[2 * s] == amounts[2 * i]) amounts[2 * s] = 0;
      if (amounts[2 * s + 1] == amounts[2 * i + 1]) amounts[2 * s + 1] = 0;
    }
  }
}

float SeatCodedValue(double net, int code) {
  const double whole = std::trunc(net);
  if (whole > 0) return static_cast<float>(whole + code * 0.01);
  return static_cast<float>(-(std::fabs(whole) + code * 0.01));
}

std::optional<float> BranchSeriesValue(const SeatIds& seats, const SeatAmounts20& amounts, std::int32_t branch,
                                       bool institution) {
  if (branch < 0) return std::nullopt;
  double net = 0;
  int code = 0;
  bool firstBuy = true, firstSell = true;
  for (int k = 0; k < 5; ++k) {
    if (seats[k] != branch) continue;
    net += amounts[2 * k] - amounts[2 * k + 1];
    if (!institution || firstBuy) code = 10 * (k + 1);
    firstBuy = false;
  }
  for (int k = 5; k < 10; ++k) {
    if (seats[k] != branch) continue;
    const double d = amounts[2 * k] - amounts[2 * k + 1];
    if (institution) {
      if (firstSell) code += k - 4;
      firstSell = false;
      net += d;
    } else {
      code += k - 4;
      if (net != d) net += d;  // the same trade met on both sides counts once
    }
  }
  if (code == 0) return std::nullopt;
  return SeatCodedValue(net, code);
}

std::optional<float> TeamSeriesValue(const SeatIds& seats, const SeatAmounts20& amounts,
                                     const std::vector<std::int32_t>& members, int buyTeams, int sellTeams) {
  double buy = 0, sell = 0;
  int buyers = 0, sellers = 0, code = 0;
  for (std::int32_t member : members) {
    if (member < 0) continue;
    for (int k = 0; k < 10; ++k) {
      if (seats[k] != member) continue;
      buy += amounts[2 * k];
      sell += amounts[2 * k + 1];
      if (k < 5) {
        ++buyers;
        if (code == 0) code = 10 * (k + 1);
      } else {
        ++sellers;
        if (code == 0) code = k - 4;
      }
    }
  }
  if (buyers < std::max(1, buyTeams) && sellers < std::max(1, sellTeams)) return std::nullopt;
  return SeatCodedValue(buy - sell, code);
}

std::int32_t SeatNameTable::Intern(std::string_view name) {
  const auto it = ids_.find(name);
  if (it != ids_.end()) return it->second;
  const auto id = static_cast<std::int32_t>(names_.size());
  names_.emplace_back(name);
  ids_.emplace(std::string(name), id);
  return id;
}

std::int32_t SeatNameTable::Find(std::string_view name) const {
  if (name.empty()) return -1;
  const auto it = ids_.find(name);
  return it == ids_.end() ? -1 : it->second;
}

// ---- The generator -----------------------------------------------------------------

CCustomSeriesGenerator::CCustomSeriesGenerator(CADODataBase& market, CADODataBase& user, CustomDataSink& sink,
                                               std::stop_token stop)
    : market_(market), user_(user), sink_(sink), stop_(std::move(stop)) {
  writer_ = std::make_unique<CSeriesWriter>(true, [this](const std::string& path) { FileFailed(path); });
}

CCustomSeriesGenerator::~CCustomSeriesGenerator() = default;

void CCustomSeriesGenerator::SetRange(int lower, int upper) {
  sink_.ProgressRange(lower, upper);
  lastPosition_ = -1;
}

void CCustomSeriesGenerator::SetPosition(int position) {
  if (position == lastPosition_) return;
  lastPosition_ = position;
  sink_.Progress(position);
}

void CCustomSeriesGenerator::FileFailed(const std::string& path) {
  ++failures_;
  const std::string text = kFileFailedText + path;
  sink_.Line(text, kCustomLineRed);
  if (!fileFailureShown_) {
    fileFailureShown_ = true;
    sink_.Message(text);
  }
}

bool CCustomSeriesGenerator::EnsureFolder(const std::string& folder) {
  if (FolderExists(folder)) return true;
  std::error_code ec;
  // Only the series folder itself: nothing above the signals folder is ever made.
  if (std::filesystem::create_directory(folder, ec) && !ec) return true;
  if (FolderExists(folder)) return true;
  ++failures_;
  const std::string text = kFolderFailedText + folder;
  sink_.Line(text, kCustomLineRed);
  if (!folderFailureShown_) {
    folderFailureShown_ = true;
    sink_.Message(text);
  }
  return false;
}

void CCustomSeriesGenerator::Flush() {
  writer_->Flush([this] { return Stopped(); });
}

void CCustomSeriesGenerator::ReportBadDates(int count, const char* what) {
  if (count <= 0) return;
  sink_.Line(std::string(what) + ": " + std::to_string(count) + " 行日期无法识别，已跳过", kCustomLineRed);
}

GenerationResult CCustomSeriesGenerator::Run(const GenerationParams& params) {
  params_ = params;
  params_.days = std::max(1, params.days);
  params_.buyTeams = std::max(1, params.buyTeams);
  params_.sellTeams = std::max(1, params.sellTeams);
  writer_ = std::make_unique<CSeriesWriter>(params_.options.batched,
                                            [this](const std::string& path) { FileFailed(path); });
  shared_.reset();
  branchWindows_.reset();
  failures_ = 0;
  fileFailureShown_ = false;
  folderFailureShown_ = false;
  teamFolderOk_.clear();
  const std::string& signals = params_.signalsFolder;
  const int days = params_.days;

  GenerationResult result;
  const auto finish = [&] {
    // The series files were written without a sync each: one for the whole run.
    if (writer_->FileWrites() > 0) SyncFileSystem(signals);
    result.failures = failures_;
    result.values = writer_->ValuesAdded();
    result.fileWrites = writer_->FileWrites();
    result.completed = !Stopped();
    return result;
  };

  SetRange(0, days);
  m_datacfg.Clear();
  BuildDataCfg(ChildPath(signals, "datacfg.dat"));
  if (Stopped()) return finish();

  sink_.Status(kStatusBlockTrades);
  GenerateSeries298(signals, days);
  if (Stopped()) return finish();

  sink_.Status(kStatusNetBuy);
  GenerateSeries299(signals, days);
  if (Stopped()) return finish();

  sink_.Status(kStatusListedAmount);
  GenerateSeries300(signals, days);
  if (Stopped()) return finish();

  sink_.Status(kStatusBranches);
  GenerateBranchSeriesAndFormula(signals, days);
  if (Stopped()) return finish();

  sink_.Status(kStatusTeams);
  GenerateTeamSeries(signals, days);
  return finish();
}

bool CCustomSeriesGenerator::LoadTeamCombinations() {
  if (!QueryTeams(user_,
                  "SELECT TeamNumber, TeamName, IsLike, Color, YYBName FROM YYBMark "
                  "WHERE IsLike >= ? AND TeamNumber > ? ORDER BY TeamNumber, rowid",
                  {1, 1}, m_teams)) {
    sink_.Message(kTeamsQueryFailedText);
    return false;
  }
  return !m_teams.empty();
}

void CCustomSeriesGenerator::BuildDataCfg(const std::string& path) {
  branches_.clear();
  m_teams.clear();
  collidingTeams_.clear();
  CADORecordset rs(&user_);
  if (!rs.Open("SELECT Number1, IsLike, Abbreviation FROM YYBMark WHERE Number1 >= ? ORDER BY Number1, rowid",
               {DbValue(1)})) {
    sink_.Message(kMarksQueryFailedText);
    return;
  }
  for (; !rs.IsEof(); rs.MoveNext()) {
    DataCfgBranch b;
    rs.GetFieldValue(0, b.number1);
    rs.GetFieldValue(1, b.isLike);
    rs.GetFieldValue(2, b.abbreviation);
    branches_.push_back(std::move(b));
  }
  rs.Close();
  LoadTeamCombinations();

  // A team whose series number is a shown branch's would write into that branch's
  // folder (and take over its entry): it is left out of the run.
  std::set<std::int64_t> branchNumbers;
  for (const DataCfgBranch& b : branches_) {
    if (b.isLike == 1) branchNumbers.insert(b.number1);
  }
  std::erase_if(m_teams, [&](const CBranchTeamRow& team) {
    if (branchNumbers.count(team.TeamNumber) == 0) return false;
    collidingTeams_.push_back(team.TeamNumber);
    return true;
  });

  switch (m_datacfg.BuildDataCfg(path, branches_, m_teams)) {
    case DataCfgResult::Written:
    case DataCfgResult::Missing:
      break;
    case DataCfgResult::Unrecognised:
      sink_.Line(kDataCfgUnrecognisedText, kCustomLineRed);
      sink_.Message(kDataCfgUnrecognisedText);
      break;
    case DataCfgResult::ReadFailed:
      sink_.Line(kDataCfgReadFailedText + path, kCustomLineRed);
      sink_.Message(kDataCfgReadFailedText + path);
      break;
    case DataCfgResult::WriteFailed:
      ++failures_;
      sink_.Line(kDataCfgWriteFailedText + path, kCustomLineRed);
      sink_.Message(kDataCfgWriteFailedText + path);
      break;
  }
}

void CCustomSeriesGenerator::GenerateSeries298(const std::string& signalsFolder, int days) {
  m_strFilePath = SeriesFolderPath(signalsFolder, kBlockTradeSeries);
  if (EnsureFolder(m_strFilePath)) {
    CBlockTradeSeries series(*writer_, m_strFilePath);
    const CBlockTradeSeries::ScanResult scan =
        series.LoadBlockTrades(market_, days, [this](int day) { SetPosition(day); }, stop_);
    if (!scan.queryOk) sink_.Line("读取 DZJY 失败，298数据未生成", kCustomLineRed);
    ReportBadDates(scan.badDates, "298");
    if (scan.stopped) {
      writer_->Discard();
    } else {
      Flush();
    }
  }
  m_strFilePath.clear();
}

const SeriesWindow& CCustomSeriesGenerator::AllRowsWindow(int days, const char* what) {
  if (!params_.options.sharedScan || !shared_) {
    shared_ = std::make_unique<SeriesWindow>(LoadSeriesWindow(market_, AllRowsQuery(), {days}, days, names_, stop_));
    if (!shared_->queryOk) {
      sink_.Line(std::string("读取 StockInfo 失败，") + what + "数据未生成", kCustomLineRed);
    }
    ReportBadDates(shared_->badDates, what);
  } else if (!shared_->queryOk) {
    sink_.Line(std::string("读取 StockInfo 失败，") + what + "数据未生成", kCustomLineRed);
  }
  return *shared_;
}

void CCustomSeriesGenerator::GenerateSeries299(const std::string& signalsFolder, int days) {
  m_strFilePath = SeriesFolderPath(signalsFolder, kNetBuySeries);
  if (EnsureFolder(m_strFilePath)) WriteNetBuySeries(AllRowsWindow(days, "299"));
  m_strFilePath.clear();
}

void CCustomSeriesGenerator::GenerateSeries300(const std::string& signalsFolder, int days) {
  m_strFilePath = SeriesFolderPath(signalsFolder, kListedAmountSeries);
  if (EnsureFolder(m_strFilePath)) WriteListedAmountSeries(AllRowsWindow(days, "300"));
  m_strFilePath.clear();
}

void CCustomSeriesGenerator::WriteNetBuySeries(const SeriesWindow& window) {
  for (const SeriesWindowRow& row : window.rows) {
    if (Stopped()) break;
    writer_->Add(m_strFilePath, kNetBuySeriesLabel, row.StockCode, row.date, ComputeNetBuy(row.amounts),
                 MarketDigit(row.StockCode));
    SetPosition(row.day);
  }
  if (Stopped() || window.stopped) {
    writer_->Discard();
    return;
  }
  Flush();
}

void CCustomSeriesGenerator::WriteListedAmountSeries(const SeriesWindow& window) {
  for (const SeriesWindowRow& row : window.rows) {
    if (Stopped()) break;
    writer_->Add(m_strFilePath, kListedAmountSeriesLabel, row.StockCode, row.date, ListedAmountValue(row.amounts),
                 MarketDigit(row.StockCode));
    SetPosition(row.day);
  }
  if (Stopped() || window.stopped) {
    writer_->Discard();
    return;
  }
  Flush();
}

void CCustomSeriesGenerator::GenerateBranchSeriesAndFormula(const std::string& signalsFolder, int days) {
  CFormulaText formula;
  const std::vector<DataCfgEntry> entries = m_datacfg.m_datacfg_list;
  SetRange(0, static_cast<int>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (Stopped()) return;
    const DataCfgEntry& entry = entries[i];
    SetPosition(static_cast<int>(i + 1));
    // Only the branch marks' own entries: 300 itself (or a team's number) never
    // becomes a branch series.
    const std::int32_t number = entry.Number();
    if (!entry.fromBranchMark || number < 301 || number > 499) continue;
    m_strFilePath = SeriesFolderPath(signalsFolder, number);
    std::string branch;
    if (FindBranchByAbbreviation(entry.name, branch)) {
      if (EnsureFolder(m_strFilePath)) {
        WriteBranchSeries(branch, entry.name, days);
        if (Stopped()) {
          writer_->Discard();
          m_strFilePath.clear();
          return;
        }
        Flush();
      }
      formula.WriteBranchFormula(number, entry.name, m_branchColor);
    }
    m_strFilePath.clear();
  }
  if (Stopped()) return;

  bool teamsFailed = false;
  formula.WriteTeamFormulas(user_, &teamsFailed);
  if (teamsFailed) sink_.Message(kFormulaTeamsQueryFailedText);
  if (params_.formulaPath.empty()) return;
  if (formula.Save(params_.formulaPath)) {
    sink_.Status("通达信公式源码已生成：" + params_.formulaPath);
  } else {
    ++failures_;
    const std::string text = kFormulaOpenFailedText + params_.formulaPath;
    sink_.Line(text, kCustomLineRed);
    sink_.Message(text);
  }
}

bool CCustomSeriesGenerator::FindBranchByAbbreviation(const std::string& abbreviation, std::string& branch) {
  const std::optional<bool> found = LookUpBranch(abbreviation, branch, m_branchColor);
  if (!found) sink_.Message(kAbbreviationQueryFailedText);
  return found.value_or(false);
}

std::optional<bool> CCustomSeriesGenerator::LookUpBranch(const std::string& abbreviation, std::string& branch,
                                                         COLORREF& colour) {
  CADORecordset rs(&user_);
  if (!rs.Open("SELECT YYBName, Color FROM YYBMark WHERE Abbreviation = ? ORDER BY rowid", {abbreviation})) {
    return std::nullopt;
  }
  bool found = false;
  for (; !rs.IsEof(); rs.MoveNext()) {
    long long stored = 0;
    rs.GetFieldValue(0, branch);
    rs.GetFieldValue(1, stored);
    colour = static_cast<COLORREF>(stored);
    found = true;
  }
  return found;
}

const SeriesWindow* CCustomSeriesGenerator::SharedBranchWindow(const std::string& branch, int days) {
  if (!params_.options.branchScan) return nullptr;
  if (!branchWindows_) {
    // Every branch series of the list, read together.
    std::set<std::string> branches;
    for (const DataCfgEntry& entry : m_datacfg.m_datacfg_list) {
      const std::int32_t number = entry.Number();
      if (!entry.fromBranchMark || number < 301 || number > 499) continue;
      std::string name;
      COLORREF colour = 0;
      if (LookUpBranch(entry.name, name, colour).value_or(false)) branches.insert(name);
    }
    branchWindows_ = std::make_unique<std::map<std::string, SeriesWindow>>(
        LoadBranchWindows(market_, branches, days, names_, stop_));
  }
  const auto it = branchWindows_->find(branch);
  return it == branchWindows_->end() ? nullptr : &it->second;
}

void CCustomSeriesGenerator::WriteBranchSeries(const std::string& branch, const std::string& abbreviation,
                                               int days) {
  SeriesWindow own;
  const SeriesWindow* shared = SharedBranchWindow(branch, days);
  if (shared == nullptr) own = LoadSeriesWindow(market_, BranchRowsQuery(), {branch}, days, names_, stop_);
  const SeriesWindow& window = shared != nullptr ? *shared : own;
  if (!window.queryOk) {
    sink_.Line("读取 StockInfo 失败，" + abbreviation + " 数据未生成", kCustomLineRed);
    return;
  }
  ReportBadDates(window.badDates, abbreviation.c_str());
  const std::int32_t id = names_.Find(branch);
  const bool institution = branch == kInstitutionSeatName;
  for (const SeriesWindowRow& row : window.rows) {
    if (Stopped()) return;
    const std::optional<float> value = BranchSeriesValue(row.seats, row.amounts, id, institution);
    if (value) writer_->Add(m_strFilePath, abbreviation, row.StockCode, row.date, *value, MarketDigit(row.StockCode));
  }
}

void CCustomSeriesGenerator::GenerateTeamSeries(const std::string& signalsFolder, int days) {
  (void)signalsFolder;  // the team folders come from params_, as WriteTeamSeriesValue needs them
  SetRange(0, days);
  for (std::int32_t number : collidingTeams_) {
    sink_.Line("团队编号 " + std::to_string(number) + " 与营业部编号冲突，未生成该团队数据", kCustomLineRed);
  }
  WriteTeamSeries(days);
  if (Stopped()) {
    writer_->Discard();
  } else {
    Flush();
  }
  m_strFilePath.clear();
}

void CCustomSeriesGenerator::WriteTeamSeries(int days) {
  const bool anyShown = std::any_of(m_teams.begin(), m_teams.end(), [](const CBranchTeamRow& t) { return t.IsLike != 0; });
  if (!anyShown) return;
  const SeriesWindow& window = AllRowsWindow(days, "团队");
  std::vector<std::vector<std::int32_t>> members(m_teams.size());
  for (std::size_t t = 0; t < m_teams.size(); ++t) {
    for (const std::string& name : m_teams[t].Members) members[t].push_back(names_.Find(name));
  }
  int day = 0;
  for (const SeriesWindowRow& row : window.rows) {
    if (Stopped()) return;
    if (row.day != day) {
      day = row.day;
      SetPosition(day);
      sink_.Status(std::to_string(day) + ", " + window.dayTexts[static_cast<std::size_t>(day - 1)] +
                   ", 正在生成团队作战数据....... \n");
    }
    SeatAmounts20 amounts = row.amounts;
    ClearDuplicateSellAmounts(amounts);
    for (std::size_t t = 0; t < m_teams.size(); ++t) {
      if (m_teams[t].IsLike == 0) continue;
      const std::optional<float> value =
          TeamSeriesValue(row.seats, amounts, members[t], params_.buyTeams, params_.sellTeams);
      if (value) WriteTeamSeriesValue(m_teams[t], row.StockCode, MarketDigit(row.StockCode), row.date, *value);
    }
  }
}

void CCustomSeriesGenerator::WriteTeamSeriesValue(const CBranchTeamRow& team, const std::string& code,
                                                  char marketDigit, std::int32_t date, float value) {
  if (team.TeamNumber > std::numeric_limits<std::int32_t>::max() - 300) return;
  m_strFilePath = SeriesFolderPath(params_.signalsFolder, 300 + team.TeamNumber);
  auto [it, first] = teamFolderOk_.try_emplace(team.TeamNumber, false);
  if (first) it->second = EnsureFolder(m_strFilePath);
  if (!it->second) return;
  writer_->Add(m_strFilePath, "--" + TeamSeriesName(team), code, date, value, marketDigit);
}
