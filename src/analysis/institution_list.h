#pragma once
// The institution seat list ("机构买入卖出个股列表"): the stored listings in which the
// institutions' seat stands in at least one of the ten seats, newest first, with the
// institutions' buy, sell and net amounts and how many of their seats stood on each
// side, narrowed by the direction of the net and the counts the user typed.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi_types.h"

class CADODataBase;

enum InstitutionShowMode {
  kShowNetBuy = 1,   // net above a threshold, enough institution buyers
  kShowNetSell = 2,  // net below 0, enough institution sellers
  kShowAll = 3,
};

// At most this many listings are shown per load.
inline constexpr int kMaxInstitutionRows = 166;
// At most this many codes go to the clipboard.
inline constexpr int kMaxInstitutionCodes = 60;
// The net a listing must exceed in the plain net-buy view (in 10,000 yuan).
inline constexpr int kInstitutionNetBuyFloor = 100;

inline constexpr COLORREF kInstitutionTodayColour = RGB(200, 0, 0);
inline constexpr COLORREF kInstitutionNetUpColour = RGB(200, 0, 0);
inline constexpr COLORREF kInstitutionNetDownColour = RGB(0, 200, 0);
inline constexpr COLORREF kInstitutionManyBuyersColour = RGB(255, 0, 33);

// The texts of the three edits, read as atoi reads them (no number: 0).
struct InstitutionEdits {
  std::string buySeats = "1";   // 1000: institution seats among the buyers
  std::string sellSeats = "1";  // 1002: institution seats among the sellers
  std::string minNet = "1000";  // 1001: the filter's minimum net
};

struct InstitutionRow {
  std::array<std::string, 10> cells;  // column 9 ("备注信息") stays empty
  std::optional<COLORREF> dateColour;
  COLORREF netColour = kInstitutionNetDownColour;
  std::optional<COLORREF> countColour;
};

struct InstitutionList {
  std::vector<InstitutionRow> rows;
  bool queryFailed = false;  // "数据库查询失败!" was shown; no row
};

// The listings of `seat` in `mode`. `filtered` is the " 过滤查找" view: its net-buy view
// asks for a net above the minimum net edit instead of 100, and it has no net-sell
// view. `today` ("YYYY-MM-DD") marks today's listings.
InstitutionList LoadInstitutionList(CADODataBase& db, const std::string& seat, int mode, bool filtered,
                                    const InstitutionEdits& edits, const std::string& today);

// The first 60 codes, each after ", ": ", 600000, 000001". Empty for no code.
std::string InstitutionCodesText(const std::vector<std::string>& codes);
