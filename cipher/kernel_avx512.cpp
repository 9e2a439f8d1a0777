// The kernels with AVX-512 (F, BW, CD and the byte permutes of VBMI and
// VBMI2): the decoder reads eight tokens at once, by arithmetic, instead of
// looking each one up. This file alone is compiled for those instructions;
// dispatch_x86.cpp runs it only where they are present.
//
// The text is read in blocks of 64 bytes. The separators in a block end the
// tokens to decode; for each of them a permute gathers the 8 bytes before it,
// from this block and the one before, into a 64-bit lane, the token's last
// byte at the top. In its lane a token is decoded as a number text the encoder
// writes: the digits of N, and after them either nothing or a decimal
// separator and "5" (h = 1), and maybe the CR of a CR LF line end. Its code is
// (2N + h - 15) / 3; the division is exact, and the code 0-255, exactly when
// multiplying by the inverse of 3 modulo 2^16 gives a number below 256. Such
// a token reads as the same code on the exact path, whose arithmetic is
// exact for these numbers. Every other token, from the first one on, is left
// to the slow path.

#include "cipher/kernel_loops.h"

#include <immintrin.h>

namespace tolvana::kernels {
namespace {

// The lengths of 64 codes at a time, as the SSE2 kernel counts 16.
std::size_t CipherSize(const unsigned char* codes, std::size_t size, const EncodeTable& table) {
    const __m512i one = _mm512_set1_epi8(1), two = _mm512_set1_epi8(2);
    const __m512i big = _mm512_set1_epi8(62), zero = _mm512_setzero_si512();
    __m512i total = zero;
    std::size_t i = 0;
    while (size - i >= 64) {
        __m512i sums = zero;
        for (int round = 0; round < 63 && size - i >= 64; ++round, i += 64) {
            const __m512i c = _mm512_loadu_si512(codes + i);
            const __m512i atLeast2 = _mm512_movm_epi8(_mm512_cmpge_epu8_mask(c, two));
            const __m512i atLeast62 = _mm512_movm_epi8(_mm512_cmpge_epu8_mask(c, big));
            const __m512i even = _mm512_movm_epi8(_mm512_testn_epi8_mask(c, one));
            sums = _mm512_sub_epi8(_mm512_sub_epi8(sums, atLeast2), atLeast62);
            sums = _mm512_sub_epi8(_mm512_sub_epi8(sums, even), even);
        }
        total = _mm512_add_epi64(total, _mm512_sad_epu8(sums, zero));
    }
    const auto sum = static_cast<std::size_t>(_mm512_reduce_add_epi64(total));
    return sum + 2 * i + CipherSizeLoop(codes + i, size - i, table);
}

// A constant the compiler may not see through: it keeps it in a register
// rather than make it anew in the loop, one broadcast at a time.
inline __m512i Kept(__m512i value) {
    __asm__("" : "+v"(value));
    return value;
}

// The constants of Codes, made once per call of Decode.
struct Constants {
    explicit Constants(char separator) : separators(Kept(_mm512_set1_epi8(separator))) {}

    const __m512i separators;
    const __m512i eight = Kept(_mm512_set1_epi64(8)), sixteen = Kept(_mm512_set1_epi64(16));
    const __m512i sixtyFour = Kept(_mm512_set1_epi64(64)), ones = Kept(_mm512_set1_epi64(-1));
    const __m512i cr = Kept(_mm512_set1_epi64('\r'));
    const __m512i commaFive = Kept(_mm512_set1_epi64(0x352C)); // "X,5"
    const __m512i pointFive = Kept(_mm512_set1_epi64(0x352E)); // "X.5"
    const __m512i zero = Kept(_mm512_set1_epi8('0')), notDigit = Kept(_mm512_set1_epi8(0x76));
    const __m512i topBits = Kept(_mm512_set1_epi8(static_cast<char>(0x80)));
    const __m512i weights = Kept(_mm512_set1_epi64(0x010A'6400'0000'0000ll));
    const __m512i twos = Kept(_mm512_set1_epi16(2)), fifteen = Kept(_mm512_set1_epi64(15));
    const __m512i one = Kept(_mm512_set1_epi64(1)), inverseOf3 = Kept(_mm512_set1_epi64(0xAAAB));
    const __m512i low16 = Kept(_mm512_set1_epi64(0xFFFF)), lastCode = Kept(_mm512_set1_epi64(255));
};

// The codes of the tokens in eight lanes, each lane the 8 bytes before a
// separator; `valid` gets the lanes whose token the encoder writes. Where no
// lane can end in a CR, `crs` is false and that check is skipped.
inline __m512i Codes(__m512i lanes, const Constants& k, bool crs, __mmask8& valid) {
    // 8 times the token's length: the bytes above the last separator in the
    // lane, 64 where there is none (a token too long for this path).
    __m512i bits =
        _mm512_lzcnt_epi64(_mm512_movm_epi8(_mm512_cmpeq_epi8_mask(lanes, k.separators)));

    // The CR of a CR LF line end goes, and so does ",5" or ".5" (which may
    // also be the separator and the byte after it: then no digits are left).
    if (crs) {
        const __mmask8 cr = _mm512_cmpeq_epi64_mask(_mm512_srli_epi64(lanes, 56), k.cr);
        lanes = _mm512_mask_slli_epi64(lanes, cr, lanes, 8);
        bits = _mm512_mask_sub_epi64(bits, cr, bits, k.eight);
    }
    const __m512i top = _mm512_srli_epi64(lanes, 48);
    const __mmask8 half =
        _mm512_cmpeq_epi64_mask(top, k.commaFive) | _mm512_cmpeq_epi64_mask(top, k.pointFive);
    lanes = _mm512_mask_slli_epi64(lanes, half, lanes, 16);
    bits = _mm512_mask_sub_epi64(bits, half, bits, k.sixteen);

    // What is left must be 1-3 digits. A byte that is no digit becomes 10 or
    // more, and adding 0x76 with saturation sets its top bit.
    const __mmask8 digitCount = _mm512_cmple_epu64_mask(_mm512_sub_epi64(bits, k.eight), k.sixteen);
    const __m512i inToken = _mm512_sllv_epi64(k.ones, _mm512_sub_epi64(k.sixtyFour, bits));
    const __m512i digits = _mm512_and_si512(_mm512_sub_epi8(lanes, k.zero), inToken);
    const __mmask8 allDigits =
        _mm512_testn_epi64_mask(_mm512_adds_epu8(digits, k.notDigit), k.topBits);

    // 2N from its last three digits (zeros where there are fewer): 100, 10
    // and 1 times the top three bytes, summed twice into the top half of the
    // lane.
    const __m512i twiceN =
        _mm512_srli_epi64(_mm512_madd_epi16(_mm512_maddubs_epi16(digits, k.weights), k.twos), 32);
    __m512i x = _mm512_sub_epi64(twiceN, k.fifteen);
    x = _mm512_mask_add_epi64(x, half, x, k.one);
    const __m512i code = _mm512_and_si512(_mm512_mullo_epi32(x, k.inverseOf3), k.low16);
    valid = digitCount & allDigits & _mm512_cmple_epu64_mask(code, k.lastCode);
    return code;
}

const char* Decode(const char* text, const char* p, const char* end, char separator,
                   const CanonicalTable&, char*& out, const char* outEnd, std::size_t& line) {
    constexpr std::ptrdiff_t kBlock = 64, kBefore = 8;
    // A token's lane must reach back to the separator before it; the caller
    // may also stop at the separator after a token, not after one.
    if (p - text < kBefore || p[-1] != separator) return p;

    // The positions of a block's bytes among the 128 of the block before and
    // this one; for each byte of eight lanes, the lane it is in; and where in
    // the 8 bytes before a separator it reads.
    alignas(64) static constexpr unsigned char kPosition[64] = {
        64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,
        80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,  95,
        96,  97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
        112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127};
    alignas(64) static constexpr char kLane[64] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1,
                                                   2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3,
                                                   4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5,
                                                   6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7};
    alignas(64) static constexpr char kBack[64] = {
        -8, -7, -6, -5, -4, -3, -2, -1, -8, -7, -6, -5, -4, -3, -2, -1, -8, -7, -6, -5, -4, -3,
        -2, -1, -8, -7, -6, -5, -4, -3, -2, -1, -8, -7, -6, -5, -4, -3, -2, -1, -8, -7, -6, -5,
        -4, -3, -2, -1, -8, -7, -6, -5, -4, -3, -2, -1, -8, -7, -6, -5, -4, -3, -2, -1};
    const __m512i position = _mm512_load_si512(kPosition);
    const __m512i laneOf = _mm512_load_si512(kLane);
    const __m512i back = _mm512_load_si512(kBack);
    const Constants k(separator);

    const char* start = p; // the first byte of the next token
    const char* block = p;
    char* o = out;
    std::size_t l = line;
    // Of the block before, only the 8 bytes before this one are read.
    __m512i before =
        _mm512_maskz_loadu_epi8(~std::uint64_t{0} << (kBlock - kBefore), block - kBlock);
    bool crBefore = block[-1] == '\r';
    // A block holds at most 32 tokens the loop decodes (each has a byte and
    // a separator), and the codes are stored 8 bytes at a time.
    static_assert(kBlock / 2 + 8 <= kDecodeRoom);
    while (end - block >= kBlock && outEnd - o >= static_cast<std::ptrdiff_t>(kDecodeRoom)) {
        const __m512i bytes = _mm512_loadu_si512(block);
        const std::uint64_t ends = _mm512_cmpeq_epi8_mask(bytes, k.separators);
        const std::uint64_t crsHere = _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\r'));
        const bool anyCr = crBefore || crsHere != 0;
        const __m512i at = _mm512_maskz_compress_epi8(ends, position);
        const int count = __builtin_popcountll(ends);
        for (int group = 0; group < count; group += 8) {
            const __m512i positions = _mm512_permutexvar_epi8(
                _mm512_add_epi8(laneOf, _mm512_set1_epi8(static_cast<char>(group))), at);
            const __m512i lanes =
                _mm512_permutex2var_epi8(before, _mm512_add_epi8(positions, back), bytes);
            __mmask8 valid;
            const __m512i codes = Codes(lanes, k, anyCr, valid);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm512_cvtepi64_epi8(codes));
            const int lanesHere = count - group < 8 ? count - group : 8;
            const unsigned all = (1u << lanesHere) - 1;
            // The output moves on by the whole group unless a token fails, so
            // that the next group need not wait for this one's checks.
            if (__builtin_expect((valid & all) == all, 1)) {
                o += lanesHere;
                l += static_cast<std::size_t>(lanesHere);
            } else {
                const int decoded = __builtin_ctz(~static_cast<unsigned>(valid));
                o += decoded;
                l += static_cast<std::size_t>(decoded);
                // Past the separator of the last token decoded, if any.
                if (group + decoded > 0)
                    start = block +
                            __builtin_ctzll(
                                _pdep_u64(std::uint64_t{1} << (group + decoded - 1), ends)) +
                            1;
                goto stop;
            }
        }
        if (ends != 0) start = block + (63 - __builtin_clzll(ends)) + 1;
        before = bytes;
        crBefore = crsHere >> 63;
        block += kBlock;
    }
stop:
    out = o;
    line = l;
    return start;
}

} // namespace

extern const Kernels kAvx512;
const Kernels kAvx512{"avx512", CipherSize, EncodeLoop, Decode};

} // namespace tolvana::kernels
