#pragma once

// What every fuzz target uses to report a broken property: the message and
// the failing values go to stderr and the process aborts, which libFuzzer
// records as a crash together with the input that caused it.

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tolvana::fuzz {

// Prints `text` with every byte outside printable ASCII as \xNN.
inline void PrintBytes(const char* label, std::string_view text) {
    std::fprintf(stderr, "  %s (%zu bytes): \"", label, text.size());
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\')
            std::fputc(c, stderr);
        else
            std::fprintf(stderr, "\\x%02x", c);
    }
    std::fprintf(stderr, "\"\n");
}

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    std::abort();
}

} // namespace tolvana::fuzz

// Checks `condition` in every build type (unlike assert, NDEBUG leaves it on).
#define TOLVANA_CHECK(condition)                                                                   \
    do {                                                                                           \
        if (!(condition)) ::tolvana::fuzz::Fail(#condition, __FILE__, __LINE__);                   \
    } while (false)
