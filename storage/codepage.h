#pragma once

// The code page of the program's text: Windows code page 1252 as Windows
// itself uses it, where the five bytes that name no letter (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) stand for the control characters of the same value. So every
// code 0-255 is a character, and the conversion is exact both ways. This is
// the one table of the program; the windows use it through ui/texts/codepage.h.

#include <array>
#include <cstdint>

namespace tolvana::storage {

namespace detail {
// Codes 0x80-0x9F; the rest of the code page is the same as Latin-1.
inline constexpr std::array<char16_t, 32> kHighCodes = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};
} // namespace detail

// The Unicode character of a code; always in the basic multilingual plane.
inline char16_t CharOfCode(unsigned char code) {
    return code >= 0x80 && code <= 0x9F ? detail::kHighCodes[code - 0x80] : char16_t{code};
}

// The code of a Unicode character, or -1 when the code page has none.
int CodeOfChar(char32_t character);

} // namespace tolvana::storage
