#include "charting/data_cfg.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <set>

#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"
#include "storage/file_io.h"

namespace {

std::int32_t ReadLe32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                                   static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
}

void WriteLe32(char* p, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFFu);
}

// 300 + n for a series number, or false when it does not fit.
bool SeriesNumber(std::int64_t n, std::int32_t& out) {
  const std::int64_t number = 300 + n;
  if (number < 1 || number > std::numeric_limits<std::int32_t>::max()) return false;
  out = static_cast<std::int32_t>(number);
  return true;
}

}  // namespace

std::int32_t DataCfgEntry::Number() const { return ReadLe32(raw.data()); }
std::int32_t DataCfgEntry::Flag() const { return ReadLe32(raw.data() + 4); }

DataCfgEntry MakeDataCfgEntry(std::int32_t number, const std::string& name) {
  DataCfgEntry entry;
  WriteLe32(entry.raw.data(), number);
  WriteLe32(entry.raw.data() + 4, 1);
  const std::string gbk = ToGbk(CutGbk(name, kDataCfgNameBytes));
  std::memcpy(entry.raw.data() + 8, gbk.data(), std::min(gbk.size(), kDataCfgNameBytes));
  entry.name = name;
  return entry;
}

bool ParseDataCfg(std::string_view bytes, std::vector<DataCfgEntry>& entries) {
  entries.clear();
  if (bytes.size() % kDataCfgEntryBytes != 0) return false;
  std::set<std::int32_t> numbers;
  std::vector<DataCfgEntry> parsed;
  parsed.reserve(bytes.size() / kDataCfgEntryBytes);
  for (std::size_t at = 0; at < bytes.size(); at += kDataCfgEntryBytes) {
    DataCfgEntry entry;
    std::memcpy(entry.raw.data(), bytes.data() + at, kDataCfgEntryBytes);
    const std::int32_t number = entry.Number();
    const std::int32_t flag = entry.Flag();
    if (number < 1 || !numbers.insert(number).second) return false;
    if (flag != 0 && flag != 1) return false;
    const char* name = entry.raw.data() + 8;
    const void* nul = std::memchr(name, '\0', kDataCfgEntryBytes - 8);
    if (name[0] == '\0' || nul == nullptr) return false;
    entry.name = FromGbk(std::string_view(name, static_cast<std::size_t>(static_cast<const char*>(nul) - name)));
    parsed.push_back(std::move(entry));
  }
  entries = std::move(parsed);
  return true;
}

std::string DataCfgBytes(const std::vector<DataCfgEntry>& entries) {
  std::string out;
  out.reserve(entries.size() * kDataCfgEntryBytes);
  for (const DataCfgEntry& e : entries) out.append(e.raw.data(), kDataCfgEntryBytes);
  return out;
}

void CDataCfg::AddDataCfgEntry(std::int32_t number, const std::string& name, bool fromBranchMark) {
  const auto it = std::find_if(m_datacfg_list.begin(), m_datacfg_list.end(),
                               [&](const DataCfgEntry& e) { return e.Number() == number; });
  if (it != m_datacfg_list.end()) {
    DataCfgEntry moved = std::move(*it);
    m_datacfg_list.erase(it);
    m_datacfg_list.push_back(std::move(moved));
    return;
  }
  DataCfgEntry entry = MakeDataCfgEntry(number, name);
  entry.fromBranchMark = fromBranchMark;
  m_datacfg_list.push_back(std::move(entry));
}

DataCfgResult CDataCfg::BuildDataCfg(const std::string& path, const std::vector<DataCfgBranch>& branches,
                                     const std::vector<CBranchTeamRow>& teams) {
  m_datacfg_list.clear();
  std::string bytes;
  const FileReadResult read = ReadFileBytes(path, bytes);
  bool mayWrite = true;
  DataCfgResult problem = DataCfgResult::Written;
  if (read == FileReadResult::Failed) {
    mayWrite = false;
    problem = DataCfgResult::ReadFailed;
  } else if (read == FileReadResult::Ok) {
    std::vector<DataCfgEntry> entries;
    if (ParseDataCfg(bytes, entries)) {
      for (DataCfgEntry& e : entries) {
        if (e.Number() < 301) m_datacfg_list.push_back(std::move(e));
      }
    } else {
      mayWrite = false;
      problem = DataCfgResult::Unrecognised;
    }
  }

  for (const DataCfgBranch& b : branches) {
    std::int32_t number = 0;
    if (b.isLike != 1 || b.number1 < 1 || !SeriesNumber(b.number1, number)) continue;
    const std::string name = b.abbreviation.empty() ? "名字缩写为空:" + std::to_string(number) : b.abbreviation;
    AddDataCfgEntry(number, name, true);
  }
  AddDataCfgEntry(kBlockTradeSeries, "大宗买卖");
  AddDataCfgEntry(kNetBuySeries, "Tazu净买入");
  AddDataCfgEntry(kListedAmountSeries, "是否上Velkor");
  for (const CBranchTeamRow& team : teams) {
    std::int32_t number = 0;
    if (team.IsLike != 1 || !SeriesNumber(team.TeamNumber, number)) continue;
    AddDataCfgEntry(number, TeamSeriesName(team));
  }

  if (!mayWrite) return problem;
  return ReplaceFileContents(path, DataCfgBytes(m_datacfg_list)) ? DataCfgResult::Written
                                                                  : DataCfgResult::WriteFailed;
}

DataCfgResult CDataCfg::PruneDataCfg(const std::string& path) {
  std::string bytes;
  const FileReadResult read = ReadFileBytes(path, bytes);
  if (read == FileReadResult::Missing) return DataCfgResult::Missing;
  if (read == FileReadResult::Failed) return DataCfgResult::ReadFailed;
  std::vector<DataCfgEntry> entries;
  if (!ParseDataCfg(bytes, entries)) return DataCfgResult::Unrecognised;
  std::erase_if(entries, [](const DataCfgEntry& e) {
    return e.Number() >= kFirstGeneratedSeries && e.Number() <= kLastGeneratedSeries;
  });
  return ReplaceFileContents(path, DataCfgBytes(entries)) ? DataCfgResult::Written : DataCfgResult::WriteFailed;
}

std::string TeamSeriesName(const CBranchTeamRow& team) {
  if (!team.TeamName.empty()) return team.TeamName;
  return "团队名称为空:" + std::to_string(300 + static_cast<std::int64_t>(team.TeamNumber));
}

bool QueryTeams(CADODataBase& user, const std::string& sql, const std::vector<DbValue>& params,
                std::vector<CBranchTeamRow>& teams) {
  teams.clear();
  CADORecordset rs(&user);
  if (!rs.Open(sql, params)) return false;
  int number = 0, isLike = 0;
  long long colour = 0;
  CString name, member;
  for (; !rs.IsEof(); rs.MoveNext()) {
    rs.GetFieldValue(0, number);
    rs.GetFieldValue(1, name);
    rs.GetFieldValue(2, isLike);
    rs.GetFieldValue(3, colour);
    rs.GetFieldValue(4, member);
    if (teams.empty() || teams.back().TeamNumber != number) {
      teams.emplace_back();
      teams.back().TeamNumber = number;
    }
    CBranchTeamRow& team = teams.back();
    team.TeamName = name;
    team.IsLike = isLike;
    team.Color = static_cast<COLORREF>(colour);
    team.Members.push_back(member);
  }
  return true;
}
