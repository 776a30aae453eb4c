// The research tracker's inner loops: plain C++ for any processor, and AVX2
// forms that do the same float operation on every lane in the same order, so
// both sets give the same bits (the file is built without fused multiply-add).
#include "player/analysis/pitch/NccfKernels.h"
#include "player/analysis/pitch/PitchKernels.h"

#include <algorithm>
#include <cmath>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define SONAVEL_NCCF_AVX2 __attribute__((target("avx2")))
#endif

namespace sonavel::pitch {

namespace {

void DecimatePlain(const float* x, int nOut, int D, float fScale, float* box, float* out);

// box[t] = p[t] + p[t + 1] + ... + p[t + D - 1] for t < nBox, added in that order.
void BoxPlain(const float* p, int nBox, int D, float* box)
{
    for (int t = 0; t < nBox; ++t)
        box[t] = p[t];
    for (int i = 1; i < D; ++i)
        for (int t = 0; t < nBox; ++t)
            box[t] += p[t + i];
}

void Decimate16Plain(const int16_t* x, int nOut, int D, float fScale, float* box, float* out)
{
    if (nOut <= 0)
        return;
    const int nIn = nOut * D + D - 1;
    float* xf = box + nOut * D + D;
    for (int t = 0; t < nIn; ++t)
        xf[t] = float(x[t - (D - 1)]);
    DecimatePlain(xf + (D - 1), nOut, D, fScale, box, out);
}

void DecimatePlain(const float* x, int nOut, int D, float fScale, float* box, float* out)
{
    if (nOut <= 0)
        return;
    BoxPlain(x - (D - 1), nOut * D, D, box);
    for (int n = 0; n < nOut; ++n) {
        const float* b = box + n * D;
        float s = b[0];
        for (int j = 1; j < D; ++j)
            s += b[j];
        out[n] = s * fScale;
    }
}

// One lane: four sums, one per remainder of j modulo 4, added last as
// (s0 + s1) + (s2 + s3).
float CorrelateLane(const float* x, int n, const float* y)
{
    float s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    int j = 0;
    for (; j + 4 <= n; j += 4) {
        s0 += x[j] * y[j];
        s1 += x[j + 1] * y[j + 1];
        s2 += x[j + 2] * y[j + 2];
        s3 += x[j + 3] * y[j + 3];
    }
    for (; j < n; ++j)
        s0 += x[j] * y[j];
    return (s0 + s1) + (s2 + s3);
}

void CorrelatePlain(const float* x, int n, int k0, int nLags, float* r)
{
    const int nRound = (nLags + 7) & ~7;
    for (int k = 0; k < nRound; ++k)
        r[k] = CorrelateLane(x, n, x + k0 + k);
}

inline float NormaliseOne(float r, float e0, double p0, double p1)
{
    const float d = e0 * float(p1 - p0 > 0 ? p1 - p0 : 0.0);
    return d > 1e-6f ? r / std::sqrt(d) : 0.0f;
}

void NormalisePlain(const float* r, float e0, const double* p0, const double* p1, int nLags, float* phi)
{
    for (int k = 0; k < nLags; ++k)
        phi[k] = NormaliseOne(r[k], e0, p0[k], p1[k]);
}

inline bool IsPeak(const float* phi, int k, float fFloor)
{
    return phi[k] >= fFloor && phi[k] > phi[k - 1] && phi[k] >= phi[k + 1];
}

void PeaksPlain(const float* phi, int n, float fFloor, uint32_t* mask)
{
    for (int w = 0; w < (n + 31) / 32; ++w)
        mask[w] = 0;
    for (int k = 1; k + 1 < n; ++k)
        if (IsPeak(phi, k, fFloor))
            mask[k / 32] |= uint32_t(1) << (k % 32);
}

#if defined(SONAVEL_NCCF_AVX2)
SONAVEL_NCCF_AVX2 void PeaksAvx2(const float* phi, int n, float fFloor, uint32_t* mask)
{
    for (int w = 0; w < (n + 31) / 32; ++w)
        mask[w] = 0;
    const __m256 floor = _mm256_set1_ps(fFloor);
    int k = 1;
    for (; k + 9 <= n; k += 8) {
        const __m256 v = _mm256_loadu_ps(phi + k);
        const __m256 peak = _mm256_and_ps(_mm256_and_ps(_mm256_cmp_ps(v, floor, _CMP_GE_OQ),
                                                        _mm256_cmp_ps(v, _mm256_loadu_ps(phi + k - 1), _CMP_GT_OQ)),
                                          _mm256_cmp_ps(v, _mm256_loadu_ps(phi + k + 1), _CMP_GE_OQ));
        const uint64_t bits = uint64_t(uint32_t(_mm256_movemask_ps(peak))) << (k % 32);
        mask[k / 32] |= uint32_t(bits);
        if (bits >> 32)
            mask[k / 32 + 1] |= uint32_t(bits >> 32);
    }
    for (; k + 1 < n; ++k)
        if (IsPeak(phi, k, fFloor))
            mask[k / 32] |= uint32_t(1) << (k % 32);
}

SONAVEL_NCCF_AVX2 void NormaliseAvx2(const float* r, float e0, const double* p0, const double* p1, int nLags,
                                     float* phi)
{
    const __m256 ve0 = _mm256_set1_ps(e0), tiny = _mm256_set1_ps(1e-6f);
    const __m256d zero = _mm256_setzero_pd();
    int k = 0;
    for (; k + 8 <= nLags; k += 8) {
        const __m128 lo = _mm256_cvtpd_ps(_mm256_max_pd(_mm256_sub_pd(_mm256_loadu_pd(p1 + k), _mm256_loadu_pd(p0 + k)), zero));
        const __m128 hi =
            _mm256_cvtpd_ps(_mm256_max_pd(_mm256_sub_pd(_mm256_loadu_pd(p1 + k + 4), _mm256_loadu_pd(p0 + k + 4)), zero));
        const __m256 d = _mm256_mul_ps(ve0, _mm256_set_m128(hi, lo));
        const __m256 q = _mm256_div_ps(_mm256_loadu_ps(r + k), _mm256_sqrt_ps(d));
        _mm256_storeu_ps(phi + k, _mm256_and_ps(q, _mm256_cmp_ps(d, tiny, _CMP_GT_OQ)));
    }
    for (; k < nLags; ++k)
        phi[k] = NormaliseOne(r[k], e0, p0[k], p1[k]);
}

SONAVEL_NCCF_AVX2 void BoxAvx2(const float* p, int nBox, int D, float* box)
{
    int t = 0;
    for (; t + 8 <= nBox; t += 8) {
        __m256 s = _mm256_loadu_ps(p + t);
        for (int i = 1; i < D; ++i)
            s = _mm256_add_ps(s, _mm256_loadu_ps(p + t + i));
        _mm256_storeu_ps(box + t, s);
    }
    for (; t < nBox; ++t) {
        float s = p[t];
        for (int i = 1; i < D; ++i)
            s += p[t + i];
        box[t] = s;
    }
}

// The first box straight from 16-bit samples: whole-number sums, converted
// exactly once (they stay far below 2^24).
SONAVEL_NCCF_AVX2 inline __m256i Load16(const int16_t* p)
{
    return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

SONAVEL_NCCF_AVX2 void Box16Avx2(const int16_t* p, int nBox, int D, float* box)
{
    int t = 0;
    for (; t + 8 <= nBox; t += 8) {
        __m256i s = Load16(p + t);
        for (int i = 1; i < D; ++i)
            s = _mm256_add_epi32(s, Load16(p + t + i));
        _mm256_storeu_ps(box + t, _mm256_cvtepi32_ps(s));
    }
    for (; t < nBox; ++t) {
        float s = float(p[t]);
        for (int i = 1; i < D; ++i)
            s += float(p[t + i]);
        box[t] = s;
    }
}

// For 2 <= D <= 8 the triangle's 2 D - 1 weights fit one vector of sixteen
// 16-bit lanes: each output is one multiply-add of the sixteen samples from
// its window's start, eight of them summed pairwise at once. Whole numbers
// throughout, so the sums equal the two boxes'.
SONAVEL_NCCF_AVX2 void Decimate16Avx2(const int16_t* x, int nOut, int D, float fScale, float* box, float* out)
{
    if (nOut <= 0)
        return;
    int n = 0;
    if (D >= 2 && D <= 8) {
        alignas(32) int16_t w[16] = {};
        for (int k = 0; k < 2 * D - 1; ++k)
            w[k] = int16_t(k < D ? k + 1 : 2 * D - 1 - k);
        const __m256i weights = _mm256_load_si256(reinterpret_cast<const __m256i*>(w));
        const __m256 scale = _mm256_set1_ps(fScale);
        // Sample reads stop at the last window's end, nOut D + D - 2.
        const int nVector = std::max(0, (nOut * D + 2 * D - 17) / D - 7);
        for (; n + 8 <= nVector; n += 8) {
            __m256i m[8];
            for (int j = 0; j < 8; ++j)
                m[j] = _mm256_madd_epi16(
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + (n + j) * D - (D - 1))), weights);
            // Pairwise sums down to one lane per output; the halves come out in
            // the order 0 1 2 3 | 4 5 6 7 after the last permute.
            const __m256i a = _mm256_hadd_epi32(_mm256_hadd_epi32(m[0], m[1]), _mm256_hadd_epi32(m[2], m[3]));
            const __m256i b = _mm256_hadd_epi32(_mm256_hadd_epi32(m[4], m[5]), _mm256_hadd_epi32(m[6], m[7]));
            const __m256i lo = _mm256_permute2x128_si256(a, b, 0x20), hi = _mm256_permute2x128_si256(a, b, 0x31);
            _mm256_storeu_ps(out + n, _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(lo, hi)), scale));
        }
    }
    if (n < nOut) {
        const int nBox = (nOut - n) * D;
        Box16Avx2(x + n * D - (D - 1), nBox, D, box);
        float* box2 = box + nBox + D;
        BoxAvx2(box, nBox - D + 1, D, box2);
        for (int k = 0; n + k < nOut; ++k)
            out[n + k] = box2[k * D] * fScale;
    }
}

// The second box for every t, then every D-th of it.
SONAVEL_NCCF_AVX2 void DecimateAvx2(const float* x, int nOut, int D, float fScale, float* box, float* out)
{
    if (nOut <= 0)
        return;
    const int nBox = nOut * D;
    BoxAvx2(x - (D - 1), nBox, D, box);
    float* box2 = box + nBox + D;
    BoxAvx2(box, nBox - D + 1, D, box2);
    for (int n = 0; n < nOut; ++n)
        out[n] = box2[n * D] * fScale;
}

// Sixteen lags at a time, eight per vector, four sums per lane as CorrelateLane keeps them.
SONAVEL_NCCF_AVX2 void CorrelateAvx2(const float* x, int n, int k0, int nLags, float* r)
{
    const int nRound = (nLags + 7) & ~7;
    int k = 0;
    for (; k + 16 <= nRound; k += 16) {
        const float* y = x + k0 + k;
        __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0, b0 = a0, b1 = a0, b2 = a0, b3 = a0;
        int j = 0;
        for (; j + 4 <= n; j += 4) {
            const __m256 x0 = _mm256_broadcast_ss(x + j), x1 = _mm256_broadcast_ss(x + j + 1);
            const __m256 x2 = _mm256_broadcast_ss(x + j + 2), x3 = _mm256_broadcast_ss(x + j + 3);
            const float* v = y + j;
            a0 = _mm256_add_ps(a0, _mm256_mul_ps(x0, _mm256_loadu_ps(v)));
            b0 = _mm256_add_ps(b0, _mm256_mul_ps(x0, _mm256_loadu_ps(v + 8)));
            a1 = _mm256_add_ps(a1, _mm256_mul_ps(x1, _mm256_loadu_ps(v + 1)));
            b1 = _mm256_add_ps(b1, _mm256_mul_ps(x1, _mm256_loadu_ps(v + 9)));
            a2 = _mm256_add_ps(a2, _mm256_mul_ps(x2, _mm256_loadu_ps(v + 2)));
            b2 = _mm256_add_ps(b2, _mm256_mul_ps(x2, _mm256_loadu_ps(v + 10)));
            a3 = _mm256_add_ps(a3, _mm256_mul_ps(x3, _mm256_loadu_ps(v + 3)));
            b3 = _mm256_add_ps(b3, _mm256_mul_ps(x3, _mm256_loadu_ps(v + 11)));
        }
        for (; j < n; ++j) {
            const __m256 xj = _mm256_broadcast_ss(x + j);
            a0 = _mm256_add_ps(a0, _mm256_mul_ps(xj, _mm256_loadu_ps(y + j)));
            b0 = _mm256_add_ps(b0, _mm256_mul_ps(xj, _mm256_loadu_ps(y + j + 8)));
        }
        _mm256_storeu_ps(r + k, _mm256_add_ps(_mm256_add_ps(a0, a1), _mm256_add_ps(a2, a3)));
        _mm256_storeu_ps(r + k + 8, _mm256_add_ps(_mm256_add_ps(b0, b1), _mm256_add_ps(b2, b3)));
    }
    for (; k < nRound; k += 8) {
        const float* y = x + k0 + k;
        __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
        int j = 0;
        for (; j + 4 <= n; j += 4) {
            const float* v = y + j;
            a0 = _mm256_add_ps(a0, _mm256_mul_ps(_mm256_broadcast_ss(x + j), _mm256_loadu_ps(v)));
            a1 = _mm256_add_ps(a1, _mm256_mul_ps(_mm256_broadcast_ss(x + j + 1), _mm256_loadu_ps(v + 1)));
            a2 = _mm256_add_ps(a2, _mm256_mul_ps(_mm256_broadcast_ss(x + j + 2), _mm256_loadu_ps(v + 2)));
            a3 = _mm256_add_ps(a3, _mm256_mul_ps(_mm256_broadcast_ss(x + j + 3), _mm256_loadu_ps(v + 3)));
        }
        for (; j < n; ++j)
            a0 = _mm256_add_ps(a0, _mm256_mul_ps(_mm256_broadcast_ss(x + j), _mm256_loadu_ps(y + j)));
        _mm256_storeu_ps(r + k, _mm256_add_ps(_mm256_add_ps(a0, a1), _mm256_add_ps(a2, a3)));
    }
}

const CNccfKernels kAvx2 = {DecimateAvx2, Decimate16Avx2, CorrelateAvx2, NormaliseAvx2, PeaksAvx2};
#endif

const CNccfKernels kPlain = {DecimatePlain, Decimate16Plain, CorrelatePlain, NormalisePlain, PeaksPlain};

} // namespace

const CNccfKernels& NccfKernels()
{
#if defined(SONAVEL_NCCF_AVX2)
    // The AMDF's choice stands for both trackers (UsePitchKernels narrows it).
    if (&PitchKernels() == &g_avx2PitchKernels)
        return kAvx2;
#endif
    return kPlain;
}

} // namespace sonavel::pitch
