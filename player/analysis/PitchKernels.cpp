// The lag search's sums and minimum search in their plain, SSE2 and AVX2 forms.
#include "player/analysis/PitchKernels.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define SONAVEL_PITCH_AVX2 1
#include <immintrin.h>
#endif

namespace sonavel::pitch {

namespace {

// Where the coarse terms of one side of a pair start: byte p of the stretch
// is entry p / 30 of row p % 30.
inline const uint8_t* CoarseRow(const CStretchBytes& s, int p)
{
    return s.d30 + size_t(p % kCoarseStride) * s.nPhase + p / kCoarseStride;
}

void CoarseSumsPlain(const CStretchBytes& s, int c, const int* lags, int n, uint16_t* out)
{
    for (int i = 0; i < n; ++i) {
        const int p = c - lags[i] / 2;
        const uint8_t* pp = CoarseRow(s, p);
        const uint8_t* pq = CoarseRow(s, p + lags[i]);
        int sum = 0;
        for (int j = 0; j < kCoarseTerms; ++j)
            sum += std::abs(int(pp[j]) - int(pq[j]));
        out[i] = static_cast<uint16_t>(sum);
    }
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

int FirstMinimumPlain(const uint16_t* v, int n)
{
    int nBest = 0;
    for (int i = 1; i < n; ++i)
        nBest = v[i] < v[nBest] ? i : nBest;
    return nBest;
}

#if defined(__SSE2__)
// The first kCoarseTerms bytes of a vector.
alignas(16) const uint8_t kCoarseMask[16] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0};

void CoarseSumsSse2(const CStretchBytes& s, int c, const int* lags, int n, uint16_t* out)
{
    static_assert(kCoarseTerms <= 16, "one vector per side");
    const __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(kCoarseMask));
    for (int i = 0; i < n; ++i) {
        const int p = c - lags[i] / 2;
        const uint8_t* pp = CoarseRow(s, p);
        const uint8_t* pq = CoarseRow(s, p + lags[i]);
        const __m128i vp = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pp)), mask);
        const __m128i vq = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pq)), mask);
        const __m128i sad = _mm_sad_epu8(vp, vq);
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

#if defined(SONAVEL_PITCH_AVX2)
// The fine sums 32 lags at a time.
__attribute__((target("avx2"))) void FineSumsAvx2(const CStretchBytes& s, int c, int a, int z, uint16_t* out)
{
    for (int l0 = a; l0 <= a + 1 && l0 <= z; ++l0) {
        const int nLanes = (z - l0) / 2 + 1;
        for (int t0 = 0; t0 < nLanes; t0 += 32) {
            const int l = l0 + 2 * t0;
            const uint8_t* pr = s.r + (s.nLength - 1 - c + l / 2);
            const uint8_t* py = s.y + (c + (l - l / 2));
            __m256i lo = _mm256_setzero_si256(), hi = _mm256_setzero_si256();
            for (int k = 0; k < kFineTerms; ++k) {
                const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pr - kFineStride * k));
                const __m256i q = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(py + kFineStride * k));
                const __m256i diff = _mm256_or_si256(_mm256_subs_epu8(p, q), _mm256_subs_epu8(q, p));
                lo = _mm256_add_epi16(lo, _mm256_cvtepu8_epi16(_mm256_castsi256_si128(diff)));
                hi = _mm256_add_epi16(hi, _mm256_cvtepu8_epi16(_mm256_extracti128_si256(diff, 1)));
            }
            uint16_t sums[32];
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums), lo);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + 16), hi);
            const int nUse = std::min(32, nLanes - t0);
            for (int t = 0; t < nUse; ++t)
                out[l - a + 2 * t] = sums[t];
        }
    }
}

// Sixteen values at a time: the smallest value first, then where it first occurs.
__attribute__((target("avx2"))) int FirstMinimumAvx2(const uint16_t* v, int n)
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
#endif

const CPitchKernels kPlain = {CoarseSumsPlain, FineSumsPlain, FirstMinimumPlain};
#if defined(__SSE2__)
const CPitchKernels kSse2 = {CoarseSumsSse2, FineSumsSse2, FirstMinimumPlain};
#endif
#if defined(SONAVEL_PITCH_AVX2) && defined(__SSE2__)
const CPitchKernels kAvx2 = {CoarseSumsSse2, FineSumsAvx2, FirstMinimumAvx2};
#endif

const CPitchKernels& KernelsOf(EPitchKernels kind)
{
    switch (kind) {
#if defined(SONAVEL_PITCH_AVX2) && defined(__SSE2__)
    case EPitchKernels::Avx2:
        return kAvx2;
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
