#pragma once
// Which page the web tab shows next: the announced pages in turn, each once per round,
// then from the first again. Only the first kMaxNoticePages pages take part.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/remote_notice.h"

class WebSiteRotation {
 public:
  // The next address of `list`, or nullopt for an empty list. A round ends once
  // every page that takes part was shown (the counter reaches min(size, 255)).
  std::optional<std::string> NavigateNext(const std::vector<std::string>& list);

  // One tick: the next address, handed to `navigate`. A navigator that fails (returns
  // false or throws) is ignored; the next tick goes on. True when an address was taken.
  bool Tick(const std::vector<std::string>& list, const std::function<bool(const std::string&)>& navigate);

  // Pages shown in the current round.
  int m_nWebSiteCounter = 0;
  // One shown-flag per position in the list.
  std::array<bool, kMaxNoticePages> m_bShown{};
};
