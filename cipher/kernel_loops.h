#pragma once

// The loops of the kernels, included by each kernel_*.cpp and compiled there
// with that file's instruction set. Everything here has internal linkage, so
// code built for one instruction set is never shared with another file.
// Only compiler builtins are used, no library templates, for the same reason.
//
// A kernel file defines a `Scan` with
//   static Masks Block(const char* p, char separator);
// that marks the separators and the NUL bytes among the 64 bytes at p, bit i
// for byte i, and
//   static std::uint64_t LowBytes(std::uint64_t word, std::size_t bytes);
// that keeps the low `bytes` bytes (0-7) of a word, and instantiates the
// loops with it.

#include "cipher/kernels.h"

#include <cstring>

namespace tolvana::kernels {
namespace {

struct Masks {
    std::uint64_t separators;
    std::uint64_t nuls;
};

inline std::uint64_t Load64(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// The low `bytes` bytes (0-7) of a word, from a table of masks. A kernel
// whose processor has an instruction for this gives its Scan a LowBytes of
// its own.
inline std::uint64_t LowBytesByTable(std::uint64_t word, std::size_t bytes) {
    static constexpr std::uint64_t kMasks[8] = {
        0, 0xFF, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF, 0xFFFFFFFFFFull, 0xFFFFFFFFFFFFull,
        0xFFFFFFFFFFFFFFull};
    return word & kMasks[bytes];
}

// The entries' lengths one by one, from the table.
inline std::size_t CipherSizeLoop(const unsigned char* codes, std::size_t size,
                                  const EncodeTable& table) {
    std::size_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += EntryLength(table.entry[codes[i]]);
    return sum;
}

// An entry's length without the table, for counting many at once: the
// separator and a number text of 1-5 characters, which for code c is
//   2 + [c >= 2] + [c >= 62] + 2 * [c even]
// (9; 12-99; 100-390; 7,5; 10,5-97,5; 100,5-388,5). The tests check it
// against the table for every code.

// Four entries per round: the loads do not wait for each other, only the
// output position does.
inline char* EncodeLoop(const unsigned char* codes, std::size_t size, const EncodeTable& table,
                        char* out) {
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        const std::uint64_t a = table.entry[codes[i]], b = table.entry[codes[i + 1]];
        const std::uint64_t c = table.entry[codes[i + 2]], d = table.entry[codes[i + 3]];
        std::memcpy(out, &a, 8);
        out += EntryLength(a);
        std::memcpy(out, &b, 8);
        out += EntryLength(b);
        std::memcpy(out, &c, 8);
        out += EntryLength(c);
        std::memcpy(out, &d, 8);
        out += EntryLength(d);
    }
    for (; i < size; ++i) {
        const std::uint64_t e = table.entry[codes[i]];
        std::memcpy(out, &e, 8);
        out += EntryLength(e);
    }
    return out;
}

// 64 bytes at a time: the scan marks where the separators are, and each token
// before one is looked up whole, as one word, among the encoder's texts. A
// token's key is read from its first byte on, 8 bytes, so the loop keeps 8
// bytes of text beyond the block it scans.
template <class Scan>
inline const char* DecodeLoop(const char*, const char* p, const char* end, char separator,
                              const CanonicalTable& table, char*& out, const char* outEnd,
                              std::size_t& line) {
    constexpr std::size_t kBlock = 64, kReadAhead = 8;
    const char* start = p; // the first byte of the token being read
    const char* block = p;
    char* o = out;
    std::size_t l = line;
    while (static_cast<std::size_t>(end - block) >= kBlock + kReadAhead &&
           static_cast<std::size_t>(outEnd - o) >= kDecodeRoom) {
        const Masks masks = Scan::Block(block, separator);
        std::uint64_t separators = masks.separators;
        // A NUL byte would make a short key look like a shorter one: only the
        // separators before the first NUL are taken, and the token holding
        // it goes the slow way.
        if (masks.nuls != 0) separators &= (masks.nuls & (0 - masks.nuls)) - 1;
        while (separators != 0) {
            const char* const at = block + __builtin_ctzll(separators);
            separators &= separators - 1;
            const auto length = static_cast<std::size_t>(at - start);
            if (length - 1 >= 6) goto stop; // an empty line or a long token
            const std::uint64_t key = Scan::LowBytes(Load64(start), length);
            const std::size_t slot = CanonicalTable::SlotOf(key);
            if (table.key[slot] != key) goto stop;
            *o++ = static_cast<char>(table.code[slot]);
            ++l;
            start = at + 1;
        }
        if (masks.nuls != 0) break;
        block += kBlock;
    }
stop:
    out = o;
    line = l;
    return start;
}

} // namespace
} // namespace tolvana::kernels
