#include "platform/hyper_link_rules.h"

#include "platform/ascii.h"
#include "platform/internet_session.h"

bool IsWebAddress(const std::string& url) {
  if (url.empty() || url.size() > kMaxWebAddressBytes) return false;
  for (unsigned char c : url) {
    if (c <= 0x20 || c == 0x7F) return false;
  }
  if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://")) return false;
  // The parser is lenient with "http:///x" (it takes "x" for the host): the
  // authority must follow the "//" at once.
  const std::size_t authority = url.find("://") + 3;
  if (authority >= url.size() || url[authority] == '/' || url[authority] == '?' || url[authority] == '#') {
    return false;
  }
  return !InternetSession::HostOf(url).empty();
}

std::string HyperLinkErrorText(int code) {
  switch (code) {
    case 0:
      return "The operating system is out\nof memory or resources.";
    case 2:
      return "The specified file was not found.";
    case 3:
      return "The specified path was not found.";
    case 5:
      return "The operating system denied\naccess to the specified file.";
    case 8:
      return "There was not enough memory to complete the operation.";
    case 11:
      return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    case 26:
      return "A sharing violation occurred. ";
    case 27:
      return "The filename association is\nincomplete or invalid.";
    case 28:
      return "The DDE transaction could not\nbe completed because the request timed out.";
    case 29:
      return "The DDE transaction failed.";
    case 30:
      return "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
    case 31:
      return "There is no application associated\nwith the given filename extension.";
    case 32:
      return "The specified dynamic-link library was not found.";
    default:
      return "Unknown Error (" + std::to_string(code) + ") occurred.";
  }
}
