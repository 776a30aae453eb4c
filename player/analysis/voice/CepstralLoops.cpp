#include "player/analysis/voice/CepstralLoops.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "player/analysis/voice/Avx2.h"

namespace sonavel::voice {

namespace {

// ln x for 1e-300 <= x < 1e300 to 1e-15 relative, and e^x for -690 <= x <=
// 690, in forms the compiler vectorises: integer work only on whole 64-bit
// lanes, the exponent read and written through the bits of 2^52 + e.
inline double FastLn(double x)
{
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    const uint64_t uExp = (u >> 52) | 0x4330000000000000ULL; // 2^52 + biased exponent
    const uint64_t uMant = (u & 0x000fffffffffffffULL) | 0x3ff0000000000000ULL;
    double dExp, m;
    std::memcpy(&dExp, &uExp, sizeof dExp);
    std::memcpy(&m, &uMant, sizeof m);
    const double dHigh = m > M_SQRT2 ? 1.0 : 0.0;
    m *= 1 - 0.5 * dHigh;
    const double e = dExp - (4503599627370496.0 + 1023) + dHigh;
    const double s = (m - 1) / (m + 1), s2 = s * s;
    const double p =
        1 + s2 * (1.0 / 3 + s2 * (1.0 / 5 + s2 * (1.0 / 7 + s2 * (1.0 / 9 + s2 * (1.0 / 11 + s2 * (1.0 / 13))))));
    return e * M_LN2 + 2 * s * p;
}

inline double FastExp(double x)
{
    const double dShift = 6755399441055744.0; // 1.5 x 2^52: adding it rounds to a whole number
    const double dBiased = x * M_LOG2E + (dShift + 1023);
    const double n = dBiased - (dShift + 1023);
    const double r = (x - n * 0.693147180369123816490) - n * 1.90821492927058770002e-10;
    const double p = 1 + r * (1 + r * (1.0 / 2 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120 + r * (1.0 / 720 +
                     r * (1.0 / 5040 + r * (1.0 / 40320 + r * (1.0 / 362880 + r * (1.0 / 3628800 +
                     r * (1.0 / 39916800)))))))))));
    uint64_t u;
    std::memcpy(&u, &dBiased, sizeof u);
    u <<= 52; // the low bits held n + 1023
    double dScale;
    std::memcpy(&dScale, &u, sizeof dScale);
    return p * dScale;
}

// The per-bin loops of a frame, built plainly and for AVX2 (Avx2.h).
// out[i] = m ln(max(in[i] s, kLeastPower))
SONAVEL_VOICE_INLINE void LnBody(const double* in, double s, double m, double* out, int n)
{
#pragma omp simd
    for (int i = 0; i < n; ++i)
        out[i] = m * FastLn(std::max(in[i] * s, kLeastPower));
}
// out[i] = the power of what db[i] holds above the line a + b lnq[i], 1 where it lies below.
SONAVEL_VOICE_INLINE void AboveBody(const double* db, const double* lnq, double a, double b, double* out, int n)
{
#pragma omp simd
    for (int i = 0; i < n; ++i) {
        const double r = db[i] - (b * lnq[i] + a);
        out[i] = r > 0 ? FastExp(std::min(r, 3000.0) / kDbPerNeper) : 1.0;
    }
}
// s[i] += w c[i]
SONAVEL_VOICE_INLINE void AddBody(double* s, const double* c, double w, int n)
{
#pragma omp simd
    for (int i = 0; i < n; ++i)
        s[i] += w * c[i];
}
// out[i] = sum over m of k[m] s[i + m], i < n (the taps in a fixed order).
SONAVEL_VOICE_INLINE void KernelBody(const double* s, const double* k, int nTaps, double* out, int n)
{
    for (int i = 0; i < n; ++i)
        out[i] = 0;
    for (int m = 0; m < nTaps; ++m) {
        const double w = k[m];
        const double* x = s + m;
#pragma omp simd
        for (int i = 0; i < n; ++i)
            out[i] += w * x[i];
    }
}

// The sum of a[j] b[j] over n (a multiple of kDotLanes): kDotLanes running
// sums, added in a fixed order, so both builds round alike.
SONAVEL_VOICE_INLINE float DotBody(const float* a, const float* b, int n)
{
    float acc[kDotLanes] = {};
    for (int j = 0; j < n; j += kDotLanes)
        for (int l = 0; l < kDotLanes; ++l)
            acc[l] += a[j + l] * b[j + l];
    return ((acc[0] + acc[4]) + (acc[1] + acc[5])) + ((acc[2] + acc[6]) + (acc[3] + acc[7]));
}

void LnPlain(const double* in, double s, double m, double* out, int n) { LnBody(in, s, m, out, n); }
SONAVEL_VOICE_AVX2 void LnAvx2(const double* in, double s, double m, double* out, int n) { LnBody(in, s, m, out, n); }
void AbovePlain(const double* db, const double* lnq, double a, double b, double* out, int n)
{
    AboveBody(db, lnq, a, b, out, n);
}
SONAVEL_VOICE_AVX2 void AboveAvx2(const double* db, const double* lnq, double a, double b, double* out, int n)
{
    AboveBody(db, lnq, a, b, out, n);
}
void AddPlain(double* s, const double* c, double w, int n) { AddBody(s, c, w, n); }
SONAVEL_VOICE_AVX2 void AddAvx2(double* s, const double* c, double w, int n) { AddBody(s, c, w, n); }
void KernelPlain(const double* s, const double* k, int nTaps, double* out, int n) { KernelBody(s, k, nTaps, out, n); }
SONAVEL_VOICE_AVX2 void KernelAvx2(const double* s, const double* k, int nTaps, double* out, int n)
{
    KernelBody(s, k, nTaps, out, n);
}

float DotPlain(const float* a, const float* b, int n) { return DotBody(a, b, n); }
SONAVEL_VOICE_AVX2 float DotAvx2(const float* a, const float* b, int n) { return DotBody(a, b, n); }

// The k-th smallest of v[0 .. n); v is reordered, every value before the k-th
// no larger than it. A quickselect whose partitions move values without
// branches: the fits' values fall in no order a branch could guess, and on
// them this takes about a third of std::nth_element's time.
double Select(double* v, size_t n, size_t k)
{
    size_t lo = 0, hi = n;
    while (hi - lo > 24) {
        const double a = v[lo], b = v[lo + (hi - lo) / 2], c = v[hi - 1];
        const double dPivot = std::max(std::min(a, b), std::min(std::max(a, b), c));
        size_t i = lo; // below the pivot to the front
        for (size_t j = lo; j < hi; ++j) {
            const double x = v[j];
            const bool bBelow = x < dPivot;
            v[j] = v[i];
            v[i] = x;
            i += bBelow;
        }
        if (k < i) {
            hi = i;
            continue;
        }
        size_t e = i; // then the pivot's equals
        for (size_t j = i; j < hi; ++j) {
            const double x = v[j];
            const bool bEqual = !(dPivot < x);
            v[j] = v[e];
            v[e] = x;
            e += bEqual;
        }
        if (k < e)
            return dPivot;
        lo = e;
    }
    for (size_t i = lo + 1; i < hi; ++i) {
        const double x = v[i];
        size_t j = i;
        for (; j > lo && v[j - 1] > x; --j)
            v[j] = v[j - 1];
        v[j] = x;
    }
    return v[k];
}

double HatIntegral(double a, double b, double k)
{
    auto F = [](double u) {
        u = std::clamp(u, -1.0, 1.0);
        return u < 0 ? u + 0.5 * u * u : u - 0.5 * u * u;
    };
    return F(b - k) - F(a - k);
}

} // namespace

const BinLoops& Loops()
{
    static const BinLoops plain{LnPlain, AbovePlain, AddPlain, KernelPlain, DotPlain};
    static const BinLoops avx2{LnAvx2, AboveAvx2, AddAvx2, KernelAvx2, DotAvx2};
    return HasAvx2() ? avx2 : plain;
}

double Median(double* v, size_t n)
{
    const double dHigh = Select(v, n, n / 2);
    if (n % 2)
        return dHigh;
    return 0.5 * (dHigh + *std::max_element(v, v + n / 2));
}

std::vector<Tap> SmoothingTaps(int i, int n, double dWidth, double dLow, double dHigh)
{
    std::vector<Tap> taps;
    const double a = std::max(i - dWidth / 2, dLow), b = std::min(i + dWidth / 2, dHigh);
    if (!(b > a)) {
        taps.push_back({std::clamp(i, 0, n - 1), 1.0});
        return taps;
    }
    double dSum = 0;
    for (int k = int(std::floor(a)) - 1; k <= int(std::ceil(b)) + 1; ++k) {
        const double w = HatIntegral(a, b, k);
        if (w <= 0)
            continue;
        const int j = std::clamp(k, 0, n - 1);
        if (!taps.empty() && taps.back().nIndex == j)
            taps.back().dWeight += w;
        else
            taps.push_back({j, w});
        dSum += w;
    }
    for (Tap& t : taps)
        t.dWeight /= dSum;
    return taps;
}

} // namespace sonavel::voice
