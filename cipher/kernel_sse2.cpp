// The kernels with SSE2, which every x86-64 processor has: the scan compares
// 16 bytes at a time.

#include "cipher/kernel_loops.h"

#include <emmintrin.h>

namespace tolvana::kernels {
namespace {

struct Scan {
    static std::uint64_t LowBytes(std::uint64_t word, std::size_t bytes) {
        return LowBytesByTable(word, bytes);
    }

    static Masks Block(const char* p, char separator) {
        const __m128i separators = _mm_set1_epi8(separator);
        const __m128i zero = _mm_setzero_si128();
        Masks masks{0, 0};
        __m128i anyNul = zero;
        __m128i bytes[4];
        for (int i = 0; i < 4; ++i) {
            bytes[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
            const auto found =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes[i], separators)));
            masks.separators |= std::uint64_t{found} << (16 * i);
            anyNul = _mm_or_si128(anyNul, _mm_cmpeq_epi8(bytes[i], zero));
        }
        // NUL bytes are rare: they are only marked one by one when there is one.
        if (_mm_movemask_epi8(anyNul) != 0) {
            for (int i = 0; i < 4; ++i) {
                const auto found =
                    static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes[i], zero)));
                masks.nuls |= std::uint64_t{found} << (16 * i);
            }
        }
        return masks;
    }
};

// 16 codes at a time, with the lengths' formula: each comparison gives -1
// where it holds, so subtracting the results adds the length's parts. Byte
// sums stay below 256 for 63 rounds before they are added up.
std::size_t CipherSize(const unsigned char* codes, std::size_t size, const EncodeTable& table) {
    const __m128i one = _mm_set1_epi8(1), two = _mm_set1_epi8(2), big = _mm_set1_epi8(62);
    const __m128i zero = _mm_setzero_si128();
    __m128i total = zero;
    std::size_t i = 0;
    while (size - i >= 16) {
        __m128i sums = zero;
        for (int round = 0; round < 63 && size - i >= 16; ++round, i += 16) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(codes + i));
            const __m128i atLeast2 = _mm_cmpeq_epi8(_mm_max_epu8(c, two), c);
            const __m128i atLeast62 = _mm_cmpeq_epi8(_mm_max_epu8(c, big), c);
            const __m128i even = _mm_cmpeq_epi8(_mm_and_si128(c, one), zero);
            sums = _mm_sub_epi8(_mm_sub_epi8(sums, atLeast2), atLeast62);
            sums = _mm_sub_epi8(_mm_sub_epi8(sums, even), even);
        }
        total = _mm_add_epi64(total, _mm_sad_epu8(sums, zero));
    }
    const auto sum = static_cast<std::size_t>(_mm_cvtsi128_si64(total)) +
                     static_cast<std::size_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(total, total)));
    return sum + 2 * i + CipherSizeLoop(codes + i, size - i, table);
}

} // namespace

extern const Kernels kSse2;
const Kernels kSse2{"sse2", CipherSize, EncodeLoop, DecodeLoop<Scan>};

} // namespace tolvana::kernels
