// Dekryptera on arbitrary bytes. It must return text or a failure and never
// crash; the fast and the exact decoder must agree on which, and on the text
// or on the failing token and its line. Text it returns must survive Kryptera
// (with a comma and with a point as decimal separator) and Dekryptera again.

#include "cipher/cipher.h"
#include "fuzz/check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using tolvana::DecodeError;
using tolvana::DecodeFailure;
using tolvana::kLineFeed;
using tolvana::fuzz::PrintBytes;

namespace {

bool SameFailure(const DecodeFailure& a, const DecodeFailure& b) {
    return a.reason == b.reason && a.token == b.token && a.line == b.line;
}

void CheckFailure(std::string_view cipher, const DecodeFailure& failure) {
    // The token stands in the cipher text, on an existing line, and holds no
    // separator.
    const auto lines =
        static_cast<std::size_t>(std::count(cipher.begin(), cipher.end(), kLineFeed));
    TOLVANA_CHECK(failure.line >= 1 && failure.line <= lines + 1);
    TOLVANA_CHECK(failure.token.find(kLineFeed) == std::string::npos);
    TOLVANA_CHECK(cipher.find(failure.token) != std::string_view::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view cipher(reinterpret_cast<const char*>(data), size);

    DecodeFailure fastFailure, exactFailure;
    const std::optional<std::string> fast = tolvana::Dekryptera(cipher, kLineFeed, fastFailure);
    const std::optional<std::string> exact =
        tolvana::exact::Dekryptera(cipher, kLineFeed, exactFailure);

    if (fast.has_value() != exact.has_value() || (fast && *fast != *exact) ||
        (!fast && !SameFailure(fastFailure, exactFailure))) {
        PrintBytes("cipher", cipher);
        if (fast)
            PrintBytes("fast text", *fast);
        else
            PrintBytes("fast failing token", fastFailure.token);
        if (exact)
            PrintBytes("exact text", *exact);
        else
            PrintBytes("exact failing token", exactFailure.token);
        TOLVANA_CHECK(!"the fast and the exact decoder agree");
    }

    // The throwing form says the same.
    try {
        const std::string thrown = tolvana::Dekryptera(cipher, kLineFeed);
        TOLVANA_CHECK(fast && thrown == *fast);
    } catch (const DecodeError& e) {
        TOLVANA_CHECK(!fast && SameFailure(e.failure(), fastFailure));
    }

    if (!fast) {
        CheckFailure(cipher, fastFailure);
        return 0;
    }

    // One character per token, and a token takes at least one byte.
    TOLVANA_CHECK(fast->size() <= cipher.size());

    for (char decimal : {',', '.'}) {
        const std::string again = tolvana::Kryptera(*fast, kLineFeed, decimal);
        DecodeFailure failure;
        const std::optional<std::string> back = tolvana::Dekryptera(again, kLineFeed, failure);
        if (!back || *back != *fast) {
            PrintBytes("cipher", cipher);
            PrintBytes("text", *fast);
            PrintBytes("encoded again", again);
            TOLVANA_CHECK(!"the decoded text survives Kryptera and Dekryptera");
        }
    }
    return 0;
}
