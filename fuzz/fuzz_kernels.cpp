// Every instruction set's loops (cipher/kernels.h) against the exact path, on
// two texts made from each input: the input itself as cipher text, and a
// cipher text built from it, one entry per input byte, that is mostly what
// Kryptera writes with every kind of odd token between. The second is long
// enough for the fast loops to run, and the odd tokens fall at every place in
// their blocks. The input as clear text goes through every encoder too, into a
// fresh string and into one that held an earlier result.

#include "cipher/cipher.h"
#include "cipher/kernels.h"
#include "fuzz/check.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using tolvana::DecodeFailure;
using tolvana::kLineFeed;
using tolvana::fuzz::PrintBytes;
namespace kernels = tolvana::kernels;

namespace {

// Tokens the fast loops must leave to the slow path, or must not stumble on.
const std::string_view kOdd[] = {
    "",     "\r",     " ",       "\t",      " \r",     "32",       "32\r",     "032",
    "153 ", " 153",   "153\r\r", "153,0",   "154.50",  "1000",     "391,5",    "6,74",
    "abc",  "1e2",    "-153",    "153,5,5", {"\0", 1}, {"9\0", 2}, "99999999", "153153153",
    "154",  "153,75", "7,50",    "0",       ",",       "\n",       "388,5\r",  "\r\r\n",
};

std::string Built(std::string_view input) {
    std::string cipher;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const auto byte = static_cast<unsigned char>(input[i]);
        cipher += kLineFeed;
        if (byte < 224)
            cipher += tolvana::exact::NumberText(byte * 1.5 + 7.5, i % 3 ? ',' : '.');
        else
            cipher += kOdd[byte - 224];
    }
    return cipher;
}

bool SameFailure(const DecodeFailure& a, const DecodeFailure& b) {
    return a.reason == b.reason && a.token == b.token && a.line == b.line;
}

void CheckDecoding(std::string_view cipher) {
    DecodeFailure exactFailure;
    const std::optional<std::string> exact =
        tolvana::exact::Dekryptera(cipher, kLineFeed, exactFailure);
    for (const kernels::Kernels* set : kernels::Available()) {
        DecodeFailure failure;
        const std::optional<std::string> fast =
            kernels::Dekryptera(*set, cipher, kLineFeed, failure);
        if (fast.has_value() != exact.has_value() || (fast && *fast != *exact) ||
            (!fast && !SameFailure(failure, exactFailure))) {
            std::fprintf(stderr, "kernels: %s\n", set->name);
            PrintBytes("cipher", cipher);
            PrintBytes(fast ? "fast text" : "fast failing token", fast ? *fast : failure.token);
            PrintBytes(exact ? "exact text" : "exact failing token",
                       exact ? *exact : exactFailure.token);
            std::fprintf(stderr, "  lines: fast %zu, exact %zu\n", failure.line, exactFailure.line);
            TOLVANA_CHECK(!"every kernel decodes as the exact path");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckDecoding(input);
    const std::string built = Built(input);
    CheckDecoding(built);
    if (!built.empty()) CheckDecoding(std::string_view(built).substr(1)); // inside a token

    // Also into one string that keeps what the inputs before left in it, as a
    // caller encoding piece after piece uses it.
    static std::string reused;
    for (char decimal : {',', '.'}) {
        const std::string exact = tolvana::exact::Kryptera(input, kLineFeed, decimal);
        for (const kernels::Kernels* set : kernels::Available()) {
            kernels::Kryptera(*set, input, kLineFeed, decimal, reused);
            if (kernels::Kryptera(*set, input, kLineFeed, decimal) != exact || reused != exact) {
                std::fprintf(stderr, "kernels: %s\n", set->name);
                PrintBytes("clear", input);
                TOLVANA_CHECK(!"every kernel encodes as the exact path");
            }
        }
    }
    return 0;
}
