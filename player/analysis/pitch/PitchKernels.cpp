// The tracker's inner loops in their plain and SSE2 forms, and the choice of set.
#include "player/analysis/pitch/PitchKernels.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define SONAVEL_PITCH_AVX2 1
#endif

namespace sonavel::pitch {

namespace {

void CoarseSumsPlain(const uint8_t* base, const int32_t* offsets, int n, uint16_t* out)
{
    for (int i = 0; i < n; ++i) {
        const uint8_t* pp = base + offsets[2 * i];
        const uint8_t* pq = base + offsets[2 * i + 1];
        int sum = 0;
        for (int j = 0; j < kCoarseTerms; ++j)
            sum += std::abs(int(pp[j]) - int(pq[j]));
        out[i] = static_cast<uint16_t>(sum);
    }
}

int LevelPlain(const CStretchBytes& s, int c)
{
    int nLevel = 0;
    for (int j = 0; j < kLevelTerms; ++j)
        nLevel += std::abs(int(s.y[c + kLevelStride * j]) - 128);
    return nLevel;
}

// Every lag on its own, straight from y: the two samples of each pair straddle
// the window start c symmetrically.
void FineSumsPlain(const CStretchBytes& s, int c, int a, int z, uint16_t* out)
{
    for (int lag = a; lag <= z; ++lag) {
        const uint8_t* p = s.y + (c - lag / 2);
        const uint8_t* q = p + lag;
        int sum = 0;
        for (int k = 0; k < kFineTerms; ++k)
            sum += std::abs(int(p[k * kFineStride]) - int(q[k * kFineStride]));
        out[lag - a] = static_cast<uint16_t>(sum);
    }
}

void SpreadRowsWhole(const uint8_t* y, int len, uint8_t* d30, int nPhase)
{
    SpreadRowsPlain(y, len, 0, d30, nPhase);
}

} // namespace

void LowPassPlain(const int16_t* s, int nLast, int W, uint64_t nMagic, uint8_t* x, uint8_t* y)
{
    const int nX = nLast + W;
    for (int n = 0; n < nX; ++n)
        x[n] = static_cast<uint8_t>(s[n] / 256 + 128);
    uint32_t sum = 0;
    for (int n = 0; n < W; ++n)
        sum += x[n];
    for (int t = 0;; ++t) {
        y[t] = static_cast<uint8_t>((sum * nMagic) >> kAverageShift);
        if (t == nLast)
            break;
        sum += x[t + W] - x[t];
    }
}

void SpreadRowsPlain(const uint8_t* y, int len, int nFromColumn, uint8_t* d30, int nPhase)
{
    for (int j = 0; j < kCoarseStride; ++j) {
        uint8_t* row = d30 + size_t(j) * nPhase;
        const int nFilled = j < len ? (len - 1 - j) / kCoarseStride + 1 : 0; // rows reach y[len - 1]
        const uint8_t* pFrom = y + j + kCoarseStride * nFromColumn;
        for (int n = nFromColumn; n < nFilled; ++n, pFrom += kCoarseStride)
            row[n] = *pFrom;
        const int nZeroFrom = std::max(nFilled, nFromColumn);
        std::memset(row + nZeroFrom, 0, size_t(nPhase - nZeroFrom));
    }
}

int FirstMinimumPlain(const uint16_t* v, int n)
{
    int nBest = 0;
    for (int i = 1; i < n; ++i)
        nBest = v[i] < v[nBest] ? i : nBest;
    return nBest;
}

void SmoothRowPlain(const int16_t* a, const int16_t* n1, const int16_t* n2, int16_t* out, int n)
{
    for (int j = 0; j < n; ++j) {
        const bool b1 = n1[j] >= 0, b2 = b1 && n2[j] >= 0;
        const int s = 3 * a[j] + (b1 ? 2 * n1[j] : 0) + (b2 ? n2[j] : 0);
        const int q = b2 ? (s + 3) / 6 : (b1 ? (s + 2) / 5 : (s + 1) / 3);
        out[j] = static_cast<int16_t>(a[j] < 0 ? a[j] : q);
    }
}

namespace {

#if defined(__SSE2__)
// The first kCoarseTerms bytes of a vector.
alignas(16) const uint8_t kCoarseMask[16] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0};

} // namespace

// The level's terms j = 3m, 3m + 1 and 3m + 2 lie in the rows of d30 of the
// bytes c, c + 10 and c + 20: 11, 11 and 10 neighbouring bytes, each summed
// against 128 in one go.
int LevelSse2(const CStretchBytes& s, int c)
{
    static_assert(kCoarseStride == 3 * kLevelStride && kLevelTerms == 32, "three rows of d30");
    const __m128i mask11 = _mm_load_si128(reinterpret_cast<const __m128i*>(kCoarseMask));
    const __m128i mask10 = _mm_srli_si128(mask11, 1);
    const __m128i middle = _mm_set1_epi8(static_cast<char>(128));
    int nLevel = 0;
    for (int m = 0; m < 3; ++m) {
        const int p = c + kLevelStride * m;
        const uint8_t* row = s.d30 + size_t(p % kCoarseStride) * s.nPhase + p / kCoarseStride;
        const __m128i mask = m < 2 ? mask11 : mask10;
        const __m128i sad = _mm_sad_epu8(_mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)), mask),
                                         _mm_and_si128(middle, mask));
        nLevel += _mm_cvtsi128_si32(sad) + _mm_extract_epi16(sad, 4);
    }
    return nLevel;
}

namespace {

void CoarseSumsSse2(const uint8_t* base, const int32_t* offsets, int n, uint16_t* out)
{
    static_assert(kCoarseTerms <= 16, "one vector per side");
    const __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(kCoarseMask));
    for (int i = 0; i < n; ++i) {
        const __m128i vp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + offsets[2 * i]));
        const __m128i vq = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + offsets[2 * i + 1]));
        const __m128i sad = _mm_sad_epu8(_mm_and_si128(vp, mask), _mm_and_si128(vq, mask));
        out[i] = static_cast<uint16_t>(_mm_cvtsi128_si32(sad) + _mm_extract_epi16(sad, 4));
    }
}

// Lags of one parity move both samples of a pair by one byte per step, one of
// them backwards: in the reversed copy both run forwards, so 16 lags of one
// parity are two loads per term.
void FineSumsSse2(const CStretchBytes& s, int c, int a, int z, uint16_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    for (int l0 = a; l0 <= a + 1 && l0 <= z; ++l0) {
        const int nLanes = (z - l0) / 2 + 1;
        for (int t0 = 0; t0 < nLanes; t0 += 16) {
            const int l = l0 + 2 * t0;
            const uint8_t* pr = s.r + (s.nLength - 1 - c + l / 2); // lane 0's first sample
            const uint8_t* py = s.y + (c + (l - l / 2));           // lane 0's second sample
            __m128i lo = zero, hi = zero;
            for (int k = 0; k < kFineTerms; ++k) {
                const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pr - kFineStride * k));
                const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(py + kFineStride * k));
                const __m128i diff = _mm_or_si128(_mm_subs_epu8(p, q), _mm_subs_epu8(q, p));
                lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(diff, zero));
                hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(diff, zero));
            }
            uint16_t sums[16];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums), lo);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 8), hi);
            const int nUse = std::min(16, nLanes - t0);
            for (int t = 0; t < nUse; ++t)
                out[l - a + 2 * t] = sums[t];
        }
    }
}
#endif

const CPitchKernels kPlain = {LowPassPlain,  SpreadRowsWhole,   LevelPlain,    CoarseSumsPlain,
                              FineSumsPlain, FirstMinimumPlain, SmoothRowPlain};
#if defined(__SSE2__)
const CPitchKernels kSse2 = {LowPassPlain, SpreadRowsWhole,   LevelSse2,     CoarseSumsSse2,
                             FineSumsSse2, FirstMinimumPlain, SmoothRowPlain};
#endif

const CPitchKernels& KernelsOf(EPitchKernels kind)
{
    switch (kind) {
#if defined(SONAVEL_PITCH_AVX2) && defined(__SSE2__)
    case EPitchKernels::Avx2:
        return g_avx2PitchKernels;
#endif
#if defined(__SSE2__)
    case EPitchKernels::Sse2:
        return kSse2;
#endif
    default:
        return kPlain;
    }
}

std::atomic<const CPitchKernels*> g_pKernels{nullptr};

} // namespace

EPitchKernels WidestPitchKernels()
{
#if defined(SONAVEL_PITCH_AVX2) && defined(__SSE2__)
    if (__builtin_cpu_supports("avx2"))
        return EPitchKernels::Avx2;
#endif
#if defined(__SSE2__)
    return EPitchKernels::Sse2;
#else
    return EPitchKernels::Plain;
#endif
}

const CPitchKernels& PitchKernels()
{
    const CPitchKernels* p = g_pKernels.load(std::memory_order_acquire);
    if (!p) {
        p = &KernelsOf(WidestPitchKernels());
        g_pKernels.store(p, std::memory_order_release);
    }
    return *p;
}

EPitchKernels UsePitchKernels(EPitchKernels kind)
{
    const EPitchKernels widest = WidestPitchKernels();
    const EPitchKernels used = static_cast<int>(kind) <= static_cast<int>(widest) ? kind : widest;
    g_pKernels.store(&KernelsOf(used), std::memory_order_release);
    return used;
}

} // namespace sonavel::pitch
