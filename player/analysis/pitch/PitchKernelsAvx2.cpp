// The tracker's inner loops for processors with AVX2. Only functions of this
// file are built for AVX2; the set is used only where the processor has it.
#include "player/analysis/pitch/PitchKernels.h"

#include <algorithm>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>

#define SONAVEL_AVX2 __attribute__((target("avx2")))

namespace sonavel::pitch {

namespace {

// The 8-bit samples, 32 at a time: s / 256 rounds towards zero, so a negative
// sample is raised by 255 before the shift.
SONAVEL_AVX2 void ToBytes(const int16_t* s, int n, uint8_t* x)
{
    const __m256i nRound = _mm256_set1_epi16(255), nBias = _mm256_set1_epi16(128);
    int i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 16));
        a = _mm256_add_epi16(a, _mm256_and_si256(_mm256_srai_epi16(a, 15), nRound));
        b = _mm256_add_epi16(b, _mm256_and_si256(_mm256_srai_epi16(b, 15), nRound));
        a = _mm256_add_epi16(_mm256_srai_epi16(a, 8), nBias);
        b = _mm256_add_epi16(_mm256_srai_epi16(b, 8), nBias);
        // The pack works within halves: the quarters come back in order 0 2 1 3.
        const __m256i v = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(x + i), v);
    }
    for (; i < n; ++i)
        x[i] = static_cast<uint8_t>(s[i] / 256 + 128);
}

// A multiplier for sums of up to 255 W in 16 bits: floor(sum / W) ==
// (sum * m >> 16) >> nShift for every such sum, with m = ceil(2^(16 + nShift) / W).
// That holds when 255 W times m W's excess over 2^(16 + nShift) stays below
// 2^(16 + nShift). False when no shift gives such an m below 2^16.
bool ShortDivisor(int W, uint16_t& m, int& nShift)
{
    if (255 * W > 32767)
        return false;
    for (nShift = 0; nShift < 16; ++nShift) {
        const uint64_t nUnit = uint64_t(1) << (16 + nShift);
        const uint64_t nM = (nUnit + uint64_t(W) - 1) / uint64_t(W);
        if (nM > 65535)
            return false;
        if (uint64_t(255) * uint64_t(W) * (nM * uint64_t(W) - nUnit) < nUnit) {
            m = static_cast<uint16_t>(nM);
            return true;
        }
    }
    return false;
}

// Sixteen steps at a time in 16-bit lanes, for W up to 128 (rates below
// 129 kHz). Returns the first t not done; sum is then the sum at t.
SONAVEL_AVX2 int LowPassShort(const uint8_t* x, int nLast, int W, uint32_t& sum, uint8_t* y)
{
    uint16_t m = 0;
    int nShift = 0;
    if (!ShortDivisor(W, m, nShift))
        return 0;
    const __m256i magic = _mm256_set1_epi16(static_cast<short>(m));
    const __m128i shift = _mm_cvtsi32_si128(nShift);
    const __m256i lastWord = _mm256_set1_epi16(0x0F0E); // bytes 14 and 15 of each half
    __m256i carry = _mm256_set1_epi16(static_cast<short>(sum));
    int t = 0;
    for (; t + 16 <= nLast; t += 16) {
        const __m256i d = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + t + W))),
                                           _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + t))));
        __m256i p = _mm256_add_epi16(d, _mm256_slli_si256(d, 2));
        p = _mm256_add_epi16(p, _mm256_slli_si256(p, 4));
        p = _mm256_add_epi16(p, _mm256_slli_si256(p, 8));
        const __m256i halfTotals = _mm256_shuffle_epi8(p, lastWord);
        p = _mm256_add_epi16(p, _mm256_permute2x128_si256(halfTotals, halfTotals, 0x08)); // inclusive prefix
        const __m256i sums = _mm256_add_epi16(carry, _mm256_sub_epi16(p, d)); // the sums at t .. t + 15
        const __m256i totals = _mm256_shuffle_epi8(p, lastWord);
        carry = _mm256_add_epi16(carry, _mm256_permute2x128_si256(totals, totals, 0x11));
        const __m256i means = _mm256_srl_epi16(_mm256_mulhi_epu16(sums, magic), shift);
        const __m128i bytes = _mm_packus_epi16(_mm256_castsi256_si128(means), _mm256_extracti128_si256(means, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y + t), bytes);
    }
    sum = static_cast<uint16_t>(_mm256_extract_epi16(carry, 0));
    return t;
}

// The running sum eight steps at a time: the eight differences x[t + W] - x[t]
// summed as a prefix within the vector, on top of the sum so far; each sum
// times the magic number in 64 bits, shifted down, is the mean.
SONAVEL_AVX2 void LowPassAvx2(const int16_t* s, int nLast, int W, uint64_t nMagic, uint8_t* x, uint8_t* y)
{
    const int nX = nLast + W;
    ToBytes(s, nX, x);
    uint32_t sum = 0;
    for (int n = 0; n < W; ++n)
        sum += x[n];
    const int nDone = LowPassShort(x, nLast, W, sum, y);
    x += nDone;
    y += nDone;
    nLast -= nDone;
    const __m256i magic = _mm256_set1_epi64x(static_cast<long long>(nMagic));
    const __m256i last = _mm256_set1_epi32(7);
    const __m256i firstBytes = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                                0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    __m256i carry = _mm256_set1_epi32(static_cast<int>(sum));
    int t = 0;
    for (; t + 8 <= nLast; t += 8) {
        uint64_t nAhead, nBehind;
        std::memcpy(&nAhead, x + t + W, 8);
        std::memcpy(&nBehind, x + t, 8);
        const __m256i d = _mm256_sub_epi32(_mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(nAhead))),
                                           _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(nBehind))));
        __m256i p = _mm256_add_epi32(d, _mm256_slli_si256(d, 4));
        p = _mm256_add_epi32(p, _mm256_slli_si256(p, 8));
        const __m256i low = _mm256_shuffle_epi32(p, 0xFF);
        p = _mm256_add_epi32(p, _mm256_permute2x128_si256(low, low, 0x08)); // inclusive prefix
        const __m256i sums = _mm256_add_epi32(carry, _mm256_sub_epi32(p, d)); // the sums at t .. t + 7
        carry = _mm256_add_epi32(carry, _mm256_permutevar8x32_epi32(p, last));
        const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(sums, magic), kAverageShift);
        const __m256i odd = _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(sums, 32), magic), kAverageShift);
        const __m256i means = _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
        const __m256i bytes = _mm256_shuffle_epi8(means, firstBytes);
        const uint32_t nLow = static_cast<uint32_t>(_mm256_cvtsi256_si32(bytes));
        const uint32_t nHigh = static_cast<uint32_t>(_mm256_extract_epi32(bytes, 4));
        std::memcpy(y + t, &nLow, 4);
        std::memcpy(y + t + 4, &nHigh, 4);
    }
    sum = static_cast<uint32_t>(_mm256_cvtsi256_si32(carry));
    for (;; ++t) {
        y[t] = static_cast<uint8_t>((sum * nMagic) >> kAverageShift);
        if (t == nLast)
            break;
        sum += x[t + W] - x[t];
    }
}

// Sixteen columns of the 30 rows at a time: the 32 bytes from y[30 n] for 16
// columns n are a 16 x 32 byte matrix, transposed in four rounds of byte
// interleaves (each round turns the bits of row and column number one place);
// the two halves of each vector then hold rows j and j + 16.
SONAVEL_AVX2 void SpreadRowsAvx2(const uint8_t* y, int len, uint8_t* d30, int nPhase)
{
    int n0 = 0;
    for (; kCoarseStride * (n0 + 15) + 32 <= len; n0 += 16) {
        __m256i a[16], b[16];
        for (int k = 0; k < 16; ++k)
            a[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y + kCoarseStride * (n0 + k)));
        for (int round = 0; round < 4; ++round) {
            for (int i = 0; i < 8; ++i) {
                b[2 * i] = _mm256_unpacklo_epi8(a[i], a[i + 8]);
                b[2 * i + 1] = _mm256_unpackhi_epi8(a[i], a[i + 8]);
            }
            for (int k = 0; k < 16; ++k)
                a[k] = b[k];
        }
        for (int j = 0; j < 16; ++j) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d30 + size_t(j) * nPhase + n0), _mm256_castsi256_si128(a[j]));
            if (j + 16 < kCoarseStride)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d30 + size_t(j + 16) * nPhase + n0),
                                 _mm256_extracti128_si256(a[j], 1));
        }
    }
    SpreadRowsPlain(y, len, n0, d30, nPhase);
}

SONAVEL_AVX2 inline __m256i Load2(const uint8_t* pLow, const uint8_t* pHigh)
{
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pLow));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pHigh));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}

SONAVEL_AVX2 inline __m256i Broadcast(const uint8_t* p)
{
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Two lags at a time, one in each half of a vector.
SONAVEL_AVX2 void CoarseSumsAvx2(const uint8_t* base, const int32_t* offsets, int n, uint16_t* out)
{
    static_assert(kCoarseTerms <= 16, "one half vector per side");
    const __m256i mask = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0,
                                          -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0);
    int i = 0;
    for (; i + 2 <= n; i += 2) {
        const __m256i vp = _mm256_and_si256(Load2(base + offsets[2 * i], base + offsets[2 * i + 2]), mask);
        const __m256i vq = _mm256_and_si256(Load2(base + offsets[2 * i + 1], base + offsets[2 * i + 3]), mask);
        __m256i sad = _mm256_sad_epu8(vp, vq);
        sad = _mm256_add_epi32(sad, _mm256_srli_si256(sad, 8));
        out[i] = static_cast<uint16_t>(_mm256_cvtsi256_si32(sad));
        out[i + 1] = static_cast<uint16_t>(_mm256_extract_epi32(sad, 4));
    }
    for (; i < n; ++i) {
        const __m128i vp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + offsets[2 * i]));
        const __m128i vq = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + offsets[2 * i + 1]));
        const __m128i sad = _mm_sad_epu8(_mm_and_si128(vp, _mm256_castsi256_si128(mask)),
                                         _mm_and_si128(vq, _mm256_castsi256_si128(mask)));
        out[i] = static_cast<uint16_t>(_mm_cvtsi128_si32(sad) + _mm_extract_epi16(sad, 4));
    }
}

// |p - q| byte by byte.
SONAVEL_AVX2 inline __m256i Diff(__m256i p, __m256i q)
{
    return _mm256_or_si256(_mm256_subs_epu8(p, q), _mm256_subs_epu8(q, p));
}

// The fine sums. Lags of one parity move both samples of a pair by one byte
// per step, one of them backwards: in the reversed copy both run forwards, so
// a run of lags of one parity is two loads per term. A range of at most 32
// lags goes in one vector, the even-offset lags in its low half and the odd
// ones in its high half; a longer one 32 lags of one parity at a time. Bytes
// are widened by interleaving with zeros within each half.
SONAVEL_AVX2 void FineSumsAvx2(const CStretchBytes& s, int c, int a, int z, uint16_t* out)
{
    const __m256i zero = _mm256_setzero_si256();
    if (z - a < 32) {
        // From lag a to a + 1 one side of the pair stays where it is and the
        // other moves one byte: that side is loaded twice, the other once for
        // both halves.
        const uint8_t* pr = s.r + (s.nLength - 1 - c + a / 2);
        const uint8_t* py = s.y + (c + (a - a / 2));
        __m256i lo = zero, hi = zero;
        auto Add = [&lo, &hi, zero](__m256i diff) SONAVEL_AVX2 {
            lo = _mm256_add_epi16(lo, _mm256_unpacklo_epi8(diff, zero));
            hi = _mm256_add_epi16(hi, _mm256_unpackhi_epi8(diff, zero));
        };
        if (a % 2 == 0) {
            for (int k = 0; k < kFineTerms; ++k, pr -= kFineStride, py += kFineStride)
                Add(Diff(Broadcast(pr), Load2(py, py + 1)));
        } else {
            for (int k = 0; k < kFineTerms; ++k, pr -= kFineStride, py += kFineStride)
                Add(Diff(Load2(pr, pr + 1), Broadcast(py)));
        }
        // lo holds lanes 0-7 of both parities, hi lanes 8-15: interleaved, they
        // are the lags in order. d has room for 32 values past any range.
        const __m128i e0 = _mm256_castsi256_si128(lo), o0 = _mm256_extracti128_si256(lo, 1);
        const __m128i e1 = _mm256_castsi256_si128(hi), o1 = _mm256_extracti128_si256(hi, 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(e0, o0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi16(e0, o0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpacklo_epi16(e1, o1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 24), _mm_unpackhi_epi16(e1, o1));
        return;
    }
    for (int l0 = a; l0 <= a + 1 && l0 <= z; ++l0) {
        const int nLanes = (z - l0) / 2 + 1;
        for (int t0 = 0; t0 < nLanes; t0 += 32) {
            const int l = l0 + 2 * t0;
            const uint8_t* pr = s.r + (s.nLength - 1 - c + l / 2);
            const uint8_t* py = s.y + (c + (l - l / 2));
            __m256i lo = zero, hi = zero;
            for (int k = 0; k < kFineTerms; ++k) {
                const __m256i diff = Diff(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pr - kFineStride * k)),
                                          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(py + kFineStride * k)));
                lo = _mm256_add_epi16(lo, _mm256_unpacklo_epi8(diff, zero));
                hi = _mm256_add_epi16(hi, _mm256_unpackhi_epi8(diff, zero));
            }
            uint16_t sums[32];
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums), _mm256_permute2x128_si256(lo, hi, 0x20));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + 16), _mm256_permute2x128_si256(lo, hi, 0x31));
            const int nUse = std::min(32, nLanes - t0);
            for (int t = 0; t < nUse; ++t)
                out[l - a + 2 * t] = sums[t];
        }
    }
}

// Sixteen values at a time: the smallest value first, then where it first occurs.
SONAVEL_AVX2 int FirstMinimumAvx2(const uint16_t* v, int n)
{
    if (n < 16)
        return FirstMinimumPlain(v, n);
    __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + n - 16));
    for (int i = 0; i + 16 <= n; i += 16)
        low = _mm256_min_epu16(low, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + i)));
    const __m128i half = _mm_min_epu16(_mm256_castsi256_si128(low), _mm256_extracti128_si256(low, 1));
    const __m256i want = _mm256_set1_epi16(static_cast<short>(_mm_cvtsi128_si32(_mm_minpos_epu16(half)) & 0xFFFF));
    for (int i = 0;; i += 16) {
        const int at = std::min(i, n - 16);
        const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_cmpeq_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + at)), want)));
        if (mask)
            return at + __builtin_ctz(mask) / 2;
    }
}

SONAVEL_AVX2 inline __m256i Widen(const int16_t* p)
{
    return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Eight entries at a time in 32-bit lanes, each with its own divisor (3, 5 or
// 6) and half of it added. The sums stay below 2^18, so the single-precision
// quotient, rounded correctly, truncates to the whole-number quotient.
SONAVEL_AVX2 void SmoothRowAvx2(const int16_t* a, const int16_t* n1, const int16_t* n2, int16_t* out, int n)
{
    const __m256i none = _mm256_set1_epi32(-1), one = _mm256_set1_epi32(1), two = _mm256_set1_epi32(2);
    const __m256i three = _mm256_set1_epi32(3);
    int j = 0;
    for (; j + 8 <= n; j += 8) {
        const __m256i va = Widen(a + j), v1 = Widen(n1 + j), v2 = Widen(n2 + j);
        const __m256i b1 = _mm256_cmpgt_epi32(v1, none);
        const __m256i b2 = _mm256_and_si256(b1, _mm256_cmpgt_epi32(v2, none));
        const __m256i s = _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(va, three),
                                                            _mm256_and_si256(_mm256_add_epi32(v1, v1), b1)),
                                           _mm256_and_si256(v2, b2));
        const __m256i divisor = _mm256_add_epi32(three, _mm256_add_epi32(_mm256_and_si256(b1, two),
                                                                        _mm256_and_si256(b2, one)));
        const __m256i half = _mm256_add_epi32(one, _mm256_sub_epi32(_mm256_setzero_si256(), _mm256_add_epi32(b1, b2)));
        const __m256i q = _mm256_cvttps_epi32(
            _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(s, half)), _mm256_cvtepi32_ps(divisor)));
        const __m256i v = _mm256_blendv_epi8(q, va, _mm256_cmpgt_epi32(_mm256_setzero_si256(), va));
        const __m128i packed = _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), packed);
    }
    SmoothRowPlain(a + j, n1 + j, n2 + j, out + j, n - j);
}

} // namespace

const CPitchKernels g_avx2PitchKernels = {LowPassAvx2, SpreadRowsAvx2, LevelSse2, CoarseSumsAvx2, FineSumsAvx2,
                                          FirstMinimumAvx2, SmoothRowAvx2};

} // namespace sonavel::pitch
#endif
