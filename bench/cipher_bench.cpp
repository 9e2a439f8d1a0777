// Speed of the cipher core. Every benchmark reports the cipher bytes it handled
// (the output of Kryptera, the input of Dekryptera), so its rate reads in
// bytes of cipher text per second.
//
// The clear text is 16 MB of random codes, made here, or the bytes of the file
// named by the environment variable TOLVANA_BENCH_INPUT (scripts/bench-compare.sh
// uses that to run these benchmarks and base64 on the same bytes).

#include "cipher/cipher.h"
#include "cipher/hugepages.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>

namespace {

constexpr std::size_t kClearSize = std::size_t{16} << 20;

std::string InputPath() {
    const char* path = std::getenv("TOLVANA_BENCH_INPUT");
    return path ? path : "";
}

std::string RandomCodes(std::size_t size) {
    std::mt19937_64 random(20240607); // fixed, so every run measures the same text
    std::string codes(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t word = random();
        for (std::size_t j = i; j < i + 8 && j < size; ++j, word >>= 8)
            codes[j] = static_cast<char>(word & 0xff);
    }
    return codes;
}

const std::string& ClearText() {
    static const std::string clear = [] {
        if (InputPath().empty()) return RandomCodes(kClearSize);
        std::ifstream in(InputPath(), std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cipher_bench: cannot read %s\n", InputPath().c_str());
            std::exit(2);
        }
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }();
    return clear;
}

const std::string& CipherText(char decimal) {
    static const std::string comma = tolvana::Kryptera(ClearText(), tolvana::kLineFeed, ',');
    static const std::string point = tolvana::Kryptera(ClearText(), tolvana::kLineFeed, '.');
    return decimal == ',' ? comma : point;
}

// The comma cipher text with every line feed turned into CR LF, as a Windows
// editor or a text-mode transfer leaves it. Its rate is per byte like the
// others; compare the time per run (the same clear text) with Dekryptera/comma.
const std::string& CrLfCipherText() {
    static const std::string cipher = [] {
        const std::string& lf = CipherText(',');
        std::string crlf;
        crlf.reserve(lf.size() + lf.size() / 3);
        for (char c : lf) {
            if (c == tolvana::kLineFeed) crlf += '\r';
            crlf += c;
        }
        return crlf;
    }();
    return cipher;
}

// About 16 MB of cipher text in which no token is written the way Kryptera
// writes it, so that every token goes through the exact arithmetic path:
// leading zeros, trailing zeros, blanks around the digits, numbers that only
// round to a code, and "32" before a separator.
const std::string& NonCanonicalCipherText() {
    static const std::string cipher = [] {
        std::mt19937 random(1729);
        std::string text;
        text.reserve(kClearSize + 64);
        while (text.size() < kClearSize) {
            const auto code = static_cast<unsigned char>(random() & 0xff);
            const char decimal = (random() & 1) ? ',' : '.';
            const double number = code * 1.5 + 7.5;
            const std::string canonical = tolvana::exact::NumberText(number, decimal);
            const bool whole = canonical.find(decimal) == std::string::npos;
            text += tolvana::kLineFeed;
            // 0153 / 153,0 and 154,50 / " 153\r" / 154 (for 153,5) / 32 (a space).
            switch (random() % 5) {
            case 0: text += "0" + canonical; break;
            case 1: text += canonical + (whole ? std::string(1, decimal) + "0" : "0"); break;
            case 2: text += " " + canonical + "\r"; break;
            case 3: text += tolvana::exact::NumberText(number + 0.5, decimal); break;
            default: text += "32"; break;
            }
        }
        return text;
    }();
    return cipher;
}

void Kryptera(benchmark::State& state, char decimal) {
    const std::string& clear = ClearText();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string cipher = tolvana::Kryptera(clear, tolvana::kLineFeed, decimal);
        bytes = cipher.size();
        benchmark::DoNotOptimize(cipher.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["clear_bytes"] = static_cast<double>(clear.size());
    state.counters["cipher_bytes"] = static_cast<double>(bytes);
}

// The same into one string that keeps its room from run to run, as
// tolvana-cipher converts a long file a piece at a time: the speed of the
// conversion itself, without the cost of fresh memory.
void KrypteraReused(benchmark::State& state, char decimal) {
    const std::string& clear = ClearText();
    std::string cipher;
    for (auto _ : state) {
        tolvana::Kryptera(clear, tolvana::kLineFeed, decimal, cipher);
        benchmark::DoNotOptimize(cipher.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * cipher.size()));
    state.counters["cipher_bytes"] = static_cast<double>(cipher.size());
}

void DekrypteraReused(benchmark::State& state, const std::string& cipher) {
    std::string clear;
    for (auto _ : state) {
        tolvana::DecodeFailure failure;
        if (!tolvana::Dekryptera(cipher, tolvana::kLineFeed, failure, clear)) {
            state.SkipWithError("the cipher text did not decode");
            break;
        }
        benchmark::DoNotOptimize(clear.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * cipher.size()));
    state.counters["clear_bytes"] = static_cast<double>(clear.size());
}

void Dekryptera(benchmark::State& state, const std::string& cipher) {
    std::size_t clearBytes = 0;
    for (auto _ : state) {
        tolvana::DecodeFailure failure;
        std::optional<std::string> clear = tolvana::Dekryptera(cipher, tolvana::kLineFeed, failure);
        if (!clear) {
            state.SkipWithError("the cipher text did not decode");
            break;
        }
        clearBytes = clear->size();
        benchmark::DoNotOptimize(clear->data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * cipher.size()));
    state.counters["clear_bytes"] = static_cast<double>(clearBytes);
    state.counters["cipher_bytes"] = static_cast<double>(cipher.size());
}

// A copy of as many bytes as an operation writes, into a fresh string as the
// operations make their results: the machine's limit for writing that output.
// Its rate is per byte of the cipher text that goes with it, like the
// operation's, so the two rates compare directly.
void Memcpy(benchmark::State& state, std::size_t outputBytes, std::size_t cipherBytes) {
    const std::string source(outputBytes, 'x');
    for (auto _ : state) {
        std::string copy;
        copy.reserve(source.size());
        tolvana::AdviseHugePages(copy.data(), source.size());
        copy.append(source);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * cipherBytes));
    state.counters["output_bytes"] = static_cast<double>(outputBytes);
    state.counters["cipher_bytes"] = static_cast<double>(cipherBytes);
}

// A copy of as many bytes into a string that keeps its room.
void MemcpyReused(benchmark::State& state, std::size_t outputBytes, std::size_t cipherBytes) {
    const std::string source(outputBytes, 'x');
    std::string copy;
    for (auto _ : state) {
        copy.assign(source);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * cipherBytes));
    state.counters["output_bytes"] = static_cast<double>(outputBytes);
}

void KrypteraComma(benchmark::State& state) { Kryptera(state, ','); }
void KrypteraCommaReused(benchmark::State& state) { KrypteraReused(state, ','); }
void DekrypteraCommaReused(benchmark::State& state) { DekrypteraReused(state, CipherText(',')); }
void MemcpyKrypteraReused(benchmark::State& state) {
    MemcpyReused(state, CipherText(',').size(), CipherText(',').size());
}
void MemcpyDekrypteraReused(benchmark::State& state) {
    MemcpyReused(state, ClearText().size(), CipherText(',').size());
}
void KrypteraPoint(benchmark::State& state) { Kryptera(state, '.'); }
void DekrypteraComma(benchmark::State& state) { Dekryptera(state, CipherText(',')); }
void DekrypteraPoint(benchmark::State& state) { Dekryptera(state, CipherText('.')); }
void DekrypteraCrLf(benchmark::State& state) { Dekryptera(state, CrLfCipherText()); }
void DekrypteraNonCanonical(benchmark::State& state) {
    Dekryptera(state, NonCanonicalCipherText());
}
// Kryptera writes the cipher text, Dekryptera the clear text.
void MemcpyKryptera(benchmark::State& state) {
    Memcpy(state, CipherText(',').size(), CipherText(',').size());
}
void MemcpyDekryptera(benchmark::State& state) {
    Memcpy(state, ClearText().size(), CipherText(',').size());
}

} // namespace

// Wall-clock rates, so that they compare with timing a command such as base64.
BENCHMARK(KrypteraComma)->Name("Kryptera/comma")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(KrypteraPoint)->Name("Kryptera/point")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DekrypteraComma)->Name("Dekryptera/comma")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DekrypteraPoint)->Name("Dekryptera/point")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DekrypteraCrLf)->Name("Dekryptera/crlf")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DekrypteraNonCanonical)
    ->Name("Dekryptera/noncanonical")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(KrypteraCommaReused)
    ->Name("Kryptera/comma/reused")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(DekrypteraCommaReused)
    ->Name("Dekryptera/comma/reused")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(MemcpyKryptera)->Name("Memcpy/kryptera")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MemcpyDekryptera)
    ->Name("Memcpy/dekryptera")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(MemcpyKrypteraReused)
    ->Name("Memcpy/kryptera/reused")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(MemcpyDekrypteraReused)
    ->Name("Memcpy/dekryptera/reused")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
