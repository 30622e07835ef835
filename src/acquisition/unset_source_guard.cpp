#include "acquisition/unset_source_guard.h"

namespace {

HttpResult NotSent() {
  HttpResult result;
  result.error = kHeldBackError;
  return result;
}

}  // namespace

void TellSourceUnset(MessageSink& sink) {
  sink.addLine(kUnsetSourceLine, kLineRed);
  sink.setStatusPane(kUnsetSourcePaneText);
}

bool UnsetSourceGuard::HoldBack(const std::string& url) {
  if (!hosts_.IsUnsetUrl(url)) return false;
  if (!told_.exchange(true)) TellSourceUnset(sink_);
  return true;
}

HttpResult UnsetSourceGuard::Get(const std::string& url) { return HoldBack(url) ? NotSent() : inner_.Get(url); }

HttpResult UnsetSourceGuard::GetWithLines(const std::string& url, const RequestLines& lines) {
  return HoldBack(url) ? NotSent() : inner_.GetWithLines(url, lines);
}
