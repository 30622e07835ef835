#pragma once
// g++ 12 at -O2 and above reports -Wrestrict inside libstdc++'s own string building
// when it inlines "literal" + std::string or a short literal assigned to a string
// (GCC bugs 105329 and 105651): nothing there overlaps. Wrap only such a statement.

#if defined(__GNUC__) && !defined(__clang__)
#define VELKOR_STRING_RESTRICT_BEGIN _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wrestrict\"")
#define VELKOR_STRING_RESTRICT_END _Pragma("GCC diagnostic pop")
#else
#define VELKOR_STRING_RESTRICT_BEGIN
#define VELKOR_STRING_RESTRICT_END
#endif
