#include "app/web_site_rotation.h"

#include <algorithm>
#include <exception>

std::optional<std::string> WebSiteRotation::NavigateNext(const std::vector<std::string>& list) {
  const int taking = static_cast<int>(std::min<std::size_t>(list.size(), m_bShown.size()));
  if (taking == 0) return std::nullopt;
  if (m_nWebSiteCounter >= taking) {
    m_bShown.fill(false);
    m_nWebSiteCounter = 0;
  }
  for (int j = 0; j < taking; ++j) {
    if (m_bShown[j]) continue;
    m_bShown[j] = true;
    // Counts pages taken, so ticks with an empty list never shorten a later round.
    ++m_nWebSiteCounter;
    return list[j];
  }
  // Not reached: the flags set are always the first m_nWebSiteCounter positions.
  return std::nullopt;
}

bool WebSiteRotation::Tick(const std::vector<std::string>& list,
                           const std::function<bool(const std::string&)>& navigate) {
  const std::optional<std::string> address = NavigateNext(list);
  if (!address) return false;
  try {
    if (navigate) navigate(*address);
  } catch (const std::exception&) {
    // A page that cannot be shown is skipped; the next tick shows the next one.
  }
  return true;
}
