#pragma once

// The inner loops of Kryptera and Dekryptera, one set per instruction set.
// cipher.cpp holds the rules and the exact path; the loops here only take the
// common cases at speed and leave everything else to it:
//
// - kernel_portable.cpp: plain C++, for every processor;
// - kernel_sse2.cpp, kernel_avx2.cpp and kernel_avx512.cpp: x86-64 only, the
//   first always usable there, the others when the processor has AVX2, or
//   the parts of AVX-512 that kernel_avx512.cpp names;
// - dispatch_x86.cpp or dispatch_portable.cpp: which set runs, chosen once.
//
// Every set must give exactly what the portable one gives; the tests and the
// fuzz targets run each set that the processor can run against the exact path.

#include "cipher/cipher.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvana::kernels {

// The entry of each code as the encoder writes it: the separator and the
// number text in the low bytes, the entry's length (2-6) in the top byte.
// The whole 8 bytes are stored at once and the output moves on by the length.
struct EncodeTable {
    std::array<std::uint64_t, 256> entry{};
};

inline unsigned EntryLength(std::uint64_t entry) { return static_cast<unsigned>(entry >> 56); }

// Every number text the encoder writes, with either decimal separator, alone
// or followed by a CR (of a CR LF line end), as a perfect hash table. A text
// of 1-6 bytes is its key: its bytes, low byte first, in a 64-bit word that
// is zero above them. Texts hold no NUL byte, so no two share a key, and no
// key is 0. A slot holds a key and its code, or 0.
struct CanonicalTable {
    static constexpr int kBits = 13;
    // Chosen so that the 768 keys fall into distinct slots; any other
    // multiplier would only make some of them go the slow way.
    static constexpr std::uint64_t kMultiplier = 0xb71f9f603e1ff179ull;
    static std::size_t SlotOf(std::uint64_t key) {
        return static_cast<std::size_t>((key * kMultiplier) >> (64 - kBits));
    }
    std::array<std::uint64_t, std::size_t{1} << kBits> key{};
    std::array<unsigned char, std::size_t{1} << kBits> code{};
};

// The table, built on first use.
const CanonicalTable& Canonical();

// The room the decoder needs at its output to go on.
inline constexpr std::size_t kDecodeRoom = 64;

struct Kernels {
    const char* name;

    // The size of the cipher text of `size` codes: the sum of their entries'
    // lengths.
    std::size_t (*cipherSize)(const unsigned char* codes, std::size_t size,
                              const EncodeTable& table);

    // Writes the entries of `size` codes from `out` on and returns the end.
    // Up to 8 bytes past the end may be overwritten.
    char* (*encode)(const unsigned char* codes, std::size_t size, const EncodeTable& table,
                    char* out);

    // Decodes the tokens from `p` (the first byte of a token in the cipher
    // text that starts at `text`) on that stand before a separator and are
    // number texts the encoder writes, writing their codes from `out` on and
    // counting one line per separator. Stops before the first other token,
    // where too little text is left before or after to read ahead, and where
    // fewer than kDecodeRoom bytes are left before `outEnd`; returns where it
    // stopped, a token's first byte.
    const char* (*decode)(const char* text, const char* p, const char* end, char separator,
                          const CanonicalTable& table, char*& out, const char* outEnd,
                          std::size_t& line);
};

// The portable set.
extern const Kernels kPortable;

// The set that Kryptera and Dekryptera use on this processor, chosen once.
const Kernels& Selected();

// Every set this processor can run, the selected one first.
std::vector<const Kernels*> Available();

// Kryptera and Dekryptera with a given set, into a string as the forms of
// cipher.h that take one; Kryptera and Dekryptera run the selected set.
void Kryptera(const Kernels& kernels, std::string_view clear, char separator, char decimal,
              std::string& cipher);
bool Dekryptera(const Kernels& kernels, std::string_view cipher, char separator,
                DecodeFailure& failure, std::string& clear);

// The same, returning the result, for checking each set.
std::string Kryptera(const Kernels& kernels, std::string_view clear, char separator, char decimal);
std::optional<std::string> Dekryptera(const Kernels& kernels, std::string_view cipher,
                                      char separator, DecodeFailure& failure);

} // namespace tolvana::kernels
