// Arbitrary code strings through Kryptera and then Dekryptera come back
// unchanged, with a comma and with a point as decimal separator, and the fast
// and exact forms of both operations give the same results. The cipher text
// has the format Kryptera promises: one line feed per character, a line feed
// first and a digit last.

#include "cipher/cipher.h"
#include "fuzz/check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using tolvana::DecodeFailure;
using tolvana::kLineFeed;
using tolvana::fuzz::PrintBytes;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void RoundTrip(std::string_view clear, char separator, char decimal) {
    const std::string cipher = tolvana::Kryptera(clear, separator, decimal);
    const std::string exactCipher = tolvana::exact::Kryptera(clear, separator, decimal);
    if (cipher != exactCipher) {
        PrintBytes("clear", clear);
        PrintBytes("fast cipher", cipher);
        PrintBytes("exact cipher", exactCipher);
        TOLVANA_CHECK(!"the fast and the exact encoder agree");
    }

    const auto separators =
        static_cast<std::size_t>(std::count(cipher.begin(), cipher.end(), separator));
    TOLVANA_CHECK(separators == clear.size());
    TOLVANA_CHECK(cipher.size() >= 2 * clear.size() && cipher.size() <= 6 * clear.size());
    if (!clear.empty()) TOLVANA_CHECK(cipher.front() == separator && IsDigit(cipher.back()));

    DecodeFailure fastFailure, exactFailure;
    const std::optional<std::string> fast = tolvana::Dekryptera(cipher, separator, fastFailure);
    const std::optional<std::string> exact =
        tolvana::exact::Dekryptera(cipher, separator, exactFailure);
    if (!fast || *fast != clear || !exact || *exact != clear) {
        PrintBytes("clear", clear);
        PrintBytes("cipher", cipher);
        if (fast)
            PrintBytes("fast decoded", *fast);
        else
            PrintBytes("fast failing token", fastFailure.token);
        if (exact)
            PrintBytes("exact decoded", *exact);
        else
            PrintBytes("exact failing token", exactFailure.token);
        TOLVANA_CHECK(!"Dekryptera gives back what Kryptera was given");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view clear(reinterpret_cast<const char*>(data), size);
    for (char decimal : {',', '.'}) RoundTrip(clear, kLineFeed, decimal);

    // The separator is an argument: any byte that cannot stand in a number
    // text works as well as the line feed. The first byte picks one.
    if (size > 1) {
        const char separator = clear.front();
        if (!IsDigit(separator) && separator != ',' && separator != '.')
            for (char decimal : {',', '.'}) RoundTrip(clear.substr(1), separator, decimal);
    }
    return 0;
}
