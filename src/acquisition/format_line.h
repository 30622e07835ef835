#pragma once
// printf into a std::string, for the message lines of the download road (byte widths
// here are UTF-8 bytes: use FormatGbk of storage/gbk_format.h where a width is shown).
// The compiler checks each format string against its arguments.

#include <string>

std::string FormatC(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
