// The kernels with AVX2 (and BMI1 and BMI2, which every processor with AVX2
// has): the scan compares 32 bytes at a time. This file alone is compiled for
// those instructions; dispatch_x86.cpp runs it only where they are present.

#include "cipher/kernel_loops.h"

#include <immintrin.h>

namespace tolvana::kernels {
namespace {

struct Scan {
    static std::uint64_t LowBytes(std::uint64_t word, std::size_t bytes) {
        return _bzhi_u64(word, static_cast<unsigned>(8 * bytes));
    }

    static Masks Block(const char* p, char separator) {
        const __m256i separators = _mm256_set1_epi8(separator);
        const __m256i zero = _mm256_setzero_si256();
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const auto lowFound =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, separators)));
        const auto highFound =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, separators)));
        Masks masks{std::uint64_t{highFound} << 32 | lowFound, 0};
        const __m256i lowNul = _mm256_cmpeq_epi8(low, zero);
        const __m256i highNul = _mm256_cmpeq_epi8(high, zero);
        if (!_mm256_testz_si256(_mm256_or_si256(lowNul, highNul),
                                _mm256_or_si256(lowNul, highNul))) {
            masks.nuls = std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(highNul))}
                             << 32 |
                         static_cast<std::uint32_t>(_mm256_movemask_epi8(lowNul));
        }
        return masks;
    }
};

// 32 codes at a time, as the SSE2 kernel counts 16.
std::size_t CipherSize(const unsigned char* codes, std::size_t size, const EncodeTable& table) {
    const __m256i one = _mm256_set1_epi8(1), two = _mm256_set1_epi8(2);
    const __m256i big = _mm256_set1_epi8(62), zero = _mm256_setzero_si256();
    __m256i total = zero;
    std::size_t i = 0;
    while (size - i >= 32) {
        __m256i sums = zero;
        for (int round = 0; round < 63 && size - i >= 32; ++round, i += 32) {
            const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(codes + i));
            const __m256i atLeast2 = _mm256_cmpeq_epi8(_mm256_max_epu8(c, two), c);
            const __m256i atLeast62 = _mm256_cmpeq_epi8(_mm256_max_epu8(c, big), c);
            const __m256i even = _mm256_cmpeq_epi8(_mm256_and_si256(c, one), zero);
            sums = _mm256_sub_epi8(_mm256_sub_epi8(sums, atLeast2), atLeast62);
            sums = _mm256_sub_epi8(_mm256_sub_epi8(sums, even), even);
        }
        total = _mm256_add_epi64(total, _mm256_sad_epu8(sums, zero));
    }
    const __m128i half =
        _mm_add_epi64(_mm256_castsi256_si128(total), _mm256_extracti128_si256(total, 1));
    const auto sum = static_cast<std::size_t>(_mm_cvtsi128_si64(half)) +
                     static_cast<std::size_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(half, half)));
    return sum + 2 * i + CipherSizeLoop(codes + i, size - i, table);
}

} // namespace

extern const Kernels kAvx2;
const Kernels kAvx2{"avx2", CipherSize, EncodeLoop, DecodeLoop<Scan>};

} // namespace tolvana::kernels
