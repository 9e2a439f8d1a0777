// The kernels in plain C++, for every processor: the scan looks at 8 bytes at
// a time as one word.

#include "cipher/kernel_loops.h"

#include <bit>

namespace tolvana::kernels {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;

// One bit per byte of `word` that is zero, bit i for byte i (low byte first
// in memory on a little-endian machine, which the loops assume).
inline unsigned ZeroBytes(std::uint64_t word) {
    // The top bit of each byte is set exactly where the byte is zero.
    const std::uint64_t high = ~(((word & kLow7) + kLow7) | word | kLow7);
    // Gathers the eight top bits into the top byte.
    return static_cast<unsigned>(((high >> 7) * 0x0102040810204080ull) >> 56);
}

struct Scan {
    static std::uint64_t LowBytes(std::uint64_t word, std::size_t bytes) {
        return LowBytesByTable(word, bytes);
    }

    static Masks Block(const char* p, char separator) {
        const std::uint64_t separators = kOnes * static_cast<unsigned char>(separator);
        Masks masks{0, 0};
        for (unsigned i = 0; i < 64; i += 8) {
            const std::uint64_t word = Load64(p + i);
            masks.separators |= std::uint64_t{ZeroBytes(word ^ separators)} << i;
            masks.nuls |= std::uint64_t{ZeroBytes(word)} << i;
        }
        return masks;
    }
};

std::size_t CipherSize(const unsigned char* codes, std::size_t size, const EncodeTable& table) {
    return CipherSizeLoop(codes, size, table);
}

const char* Decode(const char* text, const char* p, const char* end, char separator,
                   const CanonicalTable& table, char*& out, const char* outEnd, std::size_t& line) {
    // The word scan and the keys read bytes in little-endian order.
    if constexpr (std::endian::native != std::endian::little) return p;
    return DecodeLoop<Scan>(text, p, end, separator, table, out, outEnd, line);
}

} // namespace

const Kernels kPortable{"portable", CipherSize, EncodeLoop, Decode};

} // namespace tolvana::kernels
