#pragma once
// The handful of plain types the program's code is written in. Text is UTF-8 in a
// std::string; GBK appears only at the edges (see storage/charset.h).

#include <cstdint>
#include <string>

using CString = std::string;
using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using COLORREF = std::uint32_t;  // 0x00BBGGRR

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
