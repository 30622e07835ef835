#pragma once
// The rules behind links the program opens or shows: which addresses count as web
// addresses, and the texts of the "cannot open" box.

#include <cstddef>
#include <string>

// Longest address taken from outside (a notice, a setting).
inline constexpr std::size_t kMaxWebAddressBytes = 2048;

// True for an http:// or https:// address (scheme in any case) with a host, at most
// kMaxWebAddressBytes bytes, that the URL parser accepts (no spaces or control
// characters). Everything else (javascript:, file:, ftp:, "http:///x") is refused.
bool IsWebAddress(const std::string& url);

// The first line of the box shown when a link cannot be opened.
inline constexpr const char* kHyperLinkErrorPrefix = "Unable to open hyperlink:\n\n";

// The text for a shell result code; "Unknown Error (<code>) occurred." for a code
// without a text of its own.
std::string HyperLinkErrorText(int code);

// Result codes the link uses: above 32 is success.
inline constexpr int kLinkAccessDenied = 5;
inline constexpr int kLinkNoAssociation = 31;
inline constexpr int kLinkOpened = 33;
