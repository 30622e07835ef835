#pragma once
// The charting program's list of custom series, "datacfg.dat" in the signals folder:
// 60-byte entries without a header, little-endian: the series number (signed 32-bit),
// a flag (signed 32-bit; we write 1) and the name (GBK, NUL-padded, bytes 8..59).
//
// The file is read whole. It is recognised when its size is a multiple of 60 and every
// entry has a number of at least 1 that no other entry has, the flag 0 or 1, and a
// non-empty name ended by a NUL within its 52 bytes. A file that is not recognised (a
// newer client's 120-byte records, say) is never rewritten. Entries that are kept or
// moved keep their 60 bytes as they were; new names are cut to 47 GBK bytes on a
// character boundary and bytes 56..59 stay zero.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "storage/row_records.h"

inline constexpr std::size_t kDataCfgEntryBytes = 60;
inline constexpr std::size_t kDataCfgNameBytes = 47;

inline constexpr const char* kDataCfgUnrecognisedText = "datacfg.dat 格式无法识别，未作修改（数据文件照常生成）!";
inline constexpr const char* kDataCfgDeleteUnrecognisedText = "datacfg.dat 格式无法识别，未删除任何数据!";
inline constexpr const char* kDataCfgReadFailedText = "datacfg.dat 读取失败!";
inline constexpr const char* kDataCfgWriteFailedText = "datacfg.dat 写入失败!";

// The fixed series of a generation.
inline constexpr std::int32_t kBlockTradeSeries = 298;
inline constexpr std::int32_t kNetBuySeries = 299;
inline constexpr std::int32_t kListedAmountSeries = 300;
// The series a delete removes, entries and folders.
inline constexpr std::int32_t kFirstGeneratedSeries = 298;
inline constexpr std::int32_t kLastGeneratedSeries = 759;

struct DataCfgEntry {
  std::array<char, kDataCfgEntryBytes> raw{};
  std::string name;             // UTF-8: the name it was made with, or the file's name decoded
  bool fromBranchMark = false;  // made from a branch mark by this build

  std::int32_t Number() const;
  std::int32_t Flag() const;
};

// A new entry (number, 1, name), the name cut to 47 GBK bytes.
DataCfgEntry MakeDataCfgEntry(std::int32_t number, const std::string& name);

// The entries of a file's bytes; false (entries emptied) when it is not recognised.
bool ParseDataCfg(std::string_view bytes, std::vector<DataCfgEntry>& entries);
std::string DataCfgBytes(const std::vector<DataCfgEntry>& entries);

enum class DataCfgResult {
  Written,
  Missing,       // prune: there was no file, nothing was written
  Unrecognised,  // left byte-identical
  ReadFailed,    // could not be read: left as it was
  WriteFailed,   // the old file stays
};

// One branch mark of the user database with Number1 >= 1, in Number1 order.
struct DataCfgBranch {
  std::int32_t number1 = 0;
  std::int32_t isLike = 0;
  std::string abbreviation;
};

class CDataCfg {
 public:
  void Clear() { m_datacfg_list.clear(); }
  // An entry with the number already listed is moved to the end unchanged (its name
  // and flag stay); otherwise (number, 1, name) is appended.
  void AddDataCfgEntry(std::int32_t number, const std::string& name, bool fromBranchMark = false);

  // Rebuilds the list and writes it to `path`: the file's entries numbered below 301
  // in file order, each shown branch (IsLike 1) as 300 + Number1 with its abbreviation
  // ("名字缩写为空:%d" when it has none), 298, 299 and 300, then each shown team as
  // 300 + TeamNumber. A missing file counts as empty and is created; a file that is
  // not recognised or cannot be read counts as empty and is left as it is.
  DataCfgResult BuildDataCfg(const std::string& path, const std::vector<DataCfgBranch>& branches,
                             const std::vector<CBranchTeamRow>& teams);
  // Removes the generated entries (298..759) and keeps every other in file order.
  static DataCfgResult PruneDataCfg(const std::string& path);

  std::vector<DataCfgEntry> m_datacfg_list;
};

// The name a team's entry, label and formula block get ("团队名称为空:%d" when it has
// none, so the list stays readable).
std::string TeamSeriesName(const CBranchTeamRow& team);

class CADODataBase;
class DbValue;
// Runs a YYBMark query whose columns are TeamNumber, TeamName, IsLike, Color and
// YYBName, and groups consecutive rows of one TeamNumber into a team: number, name,
// shown flag and colour from its last row, the members in row order. False when the
// query fails (teams emptied).
bool QueryTeams(CADODataBase& user, const std::string& sql, const std::vector<DbValue>& params,
                std::vector<CBranchTeamRow>& teams);
