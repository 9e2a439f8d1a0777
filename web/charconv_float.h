#pragma once

// The floating-point std::to_chars and std::from_chars for a standard library
// that lacks them (the libc++ 13 of Debian's emscripten has only the integer
// forms). The web build puts this header in front of every file it compiles
// (-include), so the shared code keeps including <charconv> as it is.
//
// Only what the results can be made exact for is given:
// - to_chars with a precision, which the standard defines as printf with
//   "%.*e", "%.*f" or "%.*g" in the "C" locale, so snprintf is that very
//   conversion;
// - from_chars of a decimal number, which strtod reads correctly rounded; the
//   text it is given is first cut to what from_chars would take, since strtod
//   also takes leading blanks, a plus sign and hexadecimal numbers.
// The shortest-form to_chars (no precision) is left out: code that uses it
// does not compile here, rather than give other digits.

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace std {

inline to_chars_result to_chars(char* first, char* last, double value, chars_format format,
                                int precision) {
    if (precision < 0) precision = 6;
    const char* conversion = format == chars_format::scientific ? "%.*e"
                             : format == chars_format::fixed    ? "%.*f"
                                                                : "%.*g";
    char small[128];
    const int length = std::snprintf(small, sizeof small, conversion, precision, value);
    std::string large;
    const char* text = small;
    if (length >= static_cast<int>(sizeof small)) {
        large.resize(static_cast<std::size_t>(length) + 1);
        std::snprintf(large.data(), large.size(), conversion, precision, value);
        text = large.data();
    }
    if (length < 0 || length > last - first) return {last, errc::value_too_large};
    std::memcpy(first, text, static_cast<std::size_t>(length));
    return {first + length, errc()};
}

namespace charconv_float_detail {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline bool StartsWithWord(const char* p, const char* last, const char* word) {
    for (; *word; ++p, ++word) {
        if (p == last) return false;
        char c = *p;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *word) return false;
    }
    return true;
}

// Reads `text` (NUL-terminated) with strtod; the whole of it must be used.
inline from_chars_result Read(const std::string& text, const char* first, double& value) {
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    const char* ptr = first + (end - text.c_str());
    if (end == text.c_str()) return {first, errc::invalid_argument};
    if (errno == ERANGE) return {ptr, errc::result_out_of_range};
    value = parsed;
    return {ptr, errc()};
}

} // namespace charconv_float_detail

inline from_chars_result from_chars(const char* first, const char* last, double& value,
                                    chars_format format = chars_format::general) {
    using charconv_float_detail::IsDigit;
    const char* p = first;
    if (p != last && *p == '-') ++p;
    // inf, infinity, nan and nan(...): strtod reads them as from_chars does.
    if (charconv_float_detail::StartsWithWord(p, last, "inf") ||
        charconv_float_detail::StartsWithWord(p, last, "nan"))
        return charconv_float_detail::Read(std::string(first, last), first, value);

    const char* digits = p;
    while (p != last && IsDigit(*p)) ++p;
    bool any = p != digits;
    if (p != last && *p == '.') {
        const char* fraction = ++p;
        while (p != last && IsDigit(*p)) ++p;
        any = any || p != fraction;
    }
    if (!any) return {first, errc::invalid_argument};
    if (format != chars_format::fixed && p != last && (*p == 'e' || *p == 'E')) {
        const char* exponent = p + 1;
        if (exponent != last && (*exponent == '+' || *exponent == '-')) ++exponent;
        const char* exponentDigits = exponent;
        while (exponent != last && IsDigit(*exponent)) ++exponent;
        if (exponent != exponentDigits)
            p = exponent;
        else if (format == chars_format::scientific)
            return {first, errc::invalid_argument};
    } else if (format == chars_format::scientific) {
        return {first, errc::invalid_argument};
    }
    return charconv_float_detail::Read(std::string(first, p), first, value);
}

} // namespace std
