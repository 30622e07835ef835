#include "acquisition/unset_source_guard.h"

namespace {

HttpResult NotSent() {
  HttpResult result;
  result.error = kHeldBackError;
  return result;
}

}  // namespace

bool UnsetSourceGuard::HoldBack(const std::string& url) {
  if (!hosts_.IsUnsetUrl(url)) return false;
  if (!told_.exchange(true)) sink_.addLine(kUnsetSourceLine, kLineRed);
  return true;
}

HttpResult UnsetSourceGuard::Get(const std::string& url) { return HoldBack(url) ? NotSent() : inner_.Get(url); }

HttpResult UnsetSourceGuard::GetWithLines(const std::string& url, const RequestLines& lines) {
  return HoldBack(url) ? NotSent() : inner_.GetWithLines(url, lines);
}
