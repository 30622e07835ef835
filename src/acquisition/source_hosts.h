#pragma once
// The base URL of every outside source, and the pacing of requests to it.
//
// Each source has a compiled default. The [SourceHosts] section of "sysinfo.ini"
// overrides it key by key ("DataCenter=http://host:port"), and the environment
// variable VELKORDESK_SOURCE_BASE overrides every base at once (tests point all
// sources at their local server with it).
//
// The compiled default of the data centre is a name under ".invalid", which never
// resolves: the program does not guess at a real service. Until the user sets the
// address of the data service in [SourceHosts], a download fails visibly with the
// network line instead of fetching from an unknown host.
//
// The exchanges' and the quote portals' defaults are ".invalid" names too, for the
// same reason.
//
// Keys of this section (each base key also takes "<key>PacingMs", default 0):
//   DataCenter    the first source (day lists, seat pages) and the block-trade months
//   SzseFiles     the Shenzhen exchange's bulletin files
//   SseQuery      the Shanghai exchange's public-trade query
//   SseWeb        the Shanghai exchange's main web site (named in the query's Referer)
//   QuoteHistory  the first quote portal (a day's close from its history query)
//   QuotePage     the second quote portal (its history pages)

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class SourceHosts {
 public:
  static constexpr const char* kSection = "SourceHosts";
  static constexpr const char* kDataCenter = "DataCenter";
  static constexpr const char* kDataCenterDefault = "http://datacenter.example.invalid";
  static constexpr const char* kSzseFiles = "SzseFiles";
  static constexpr const char* kSseQuery = "SseQuery";
  static constexpr const char* kSseWeb = "SseWeb";
  static constexpr const char* kQuoteHistory = "QuoteHistory";
  static constexpr const char* kQuotePage = "QuotePage";
  // The data centre's own path of a stock's seat page, followed by "<day>,<code>.html".
  static constexpr const char* kSeatPagePath = "/stock/zuv,";
  static constexpr const char* kOverrideVariable = "VELKORDESK_SOURCE_BASE";
  static constexpr int kMaxPacingMs = 60000;

  // The compiled defaults only.
  SourceHosts();

  // Compiled defaults, then the [SourceHosts] section of the INI file at iniPath (a
  // missing file or key keeps the default), then VELKORDESK_SOURCE_BASE.
  static SourceHosts FromIni(const std::string& iniPath);

  // Takes the keys of [SourceHosts] that are set. A base that is not an http:// or
  // https:// address is ignored, with a debug-log line.
  void LoadIni(const std::string& iniPath);
  // Applies VELKORDESK_SOURCE_BASE to every base when it is set to a valid address.
  void ApplyEnvironment();

  // The source keys in a fixed order.
  static std::vector<std::string> Keys();

  // The base without a trailing "/"; "" for an unknown key.
  std::string Base(std::string_view key) const;
  // False (nothing changes) for an unknown key or an address that is not valid.
  bool SetBase(std::string_view key, std::string_view base);
  // Pacing of a source, 0 for an unknown key.
  int PacingMs(std::string_view key) const;
  // Clamped to 0..kMaxPacingMs; false for an unknown key.
  bool SetPacingMs(std::string_view key, int milliseconds);

  // True while the source's base is still its compiled placeholder (false for an
  // unknown key): nothing may be asked of it until the user sets its address.
  bool IsUnset(std::string_view key) const;
  // True when `url` lies under the base of an unset source.
  bool IsUnsetUrl(std::string_view url) const;
  // True when a source that a download run of data source 1 (the data centre) or 2
  // (the exchanges' bulletins and the quote portals) reads is unset. Both end with the
  // data centre's block-trade months.
  bool IsRunSourceUnset(int dataSource) const;

  std::string DataCenter() const { return Base(kDataCenter); }
  int DataCenterPacingMs() const { return PacingMs(kDataCenter); }

  // Base + path; a path without a leading "/" gets one. The path is used as it
  // stands (commas and "%20" included).
  std::string Url(std::string_view key, std::string_view pathAndQuery) const;

  // "http://h:1/" -> "http://h:1": white space trimmed, trailing "/" removed; nullopt
  // for anything that is not http:// or https:// followed by a host.
  static std::optional<std::string> NormaliseBase(std::string_view text);
  // A pacing value as written in the file: digits read locale-free; unparsable or
  // negative gives 0; clamped to kMaxPacingMs.
  static int ParsePacing(std::string_view text);

 private:
  struct Source {
    std::string base;
    int pacingMs = 0;
  };
  std::map<std::string, Source, std::less<>> sources_;
};
