#pragma once
// The pitch tracker's inner loops: the running mean and the byte layouts it
// feeds, the level and difference sums of the lag search, the search for the
// smallest sum and the three-point smoother. Each comes in a plain form, an
// SSE2 form where that helps and, for processors that have it, an AVX2 form;
// the set is picked once, by what the processor running the program can do.
// The sums are whole numbers and every quotient is exact, so every set gives
// the same values.
//
// The kernels work on the caller's buffers and own nothing; the set is chosen
// once (a function-local static) and any thread may call them.
#include <cstdint>

namespace sonavel::pitch {

// Sparse sampling of the difference function keeps a frame cheap: the coarse
// search looks at 11 terms 30 samples apart, the fine search and the octave
// check at 25 terms 12 apart, the level at 32 terms 10 apart.
inline constexpr int kCoarseStride = 30, kCoarseTerms = 11;
inline constexpr int kFineStride = 12, kFineTerms = 25;
inline constexpr int kLevelStride = 10, kLevelTerms = 32;

// The moving average divides sums of at most 255 * 1000 (< 2^18) by W <= 1000
// (< 2^10) as sum * magic >> kAverageShift, magic = ceil(2^28 / W): with 28 bits
// the multiply's error stays below 1 / W, so the quotient is exact.
inline constexpr int kAverageShift = 28;

// The low-passed bytes of one stretch of the sound, in the three layouts the
// searches read: y itself; r, the same bytes in reverse order, so that the
// pairs of several lags at once are two forward loads; and d30, whose row j
// (nPhase bytes long) holds y[j], y[j + 30], y[j + 60], ..., so the coarse
// search's 11 terms of a lag are 11 neighbouring bytes. Vector loads may read
// up to 31 bytes past the last byte a sum needs.
struct CStretchBytes {
    const uint8_t* y = nullptr;
    const uint8_t* r = nullptr;
    const uint8_t* d30 = nullptr;
    int nLength = 0;
    int nPhase = 0;
};

struct CPitchKernels {
    // x[n] = s[n] / 256 + 128 for n < nLast + W, then y[t] = the mean of
    // x[t .. t + W - 1] for t <= nLast, rounded down.
    void (*pfnLowPass)(const int16_t* s, int nLast, int W, uint64_t nMagic, uint8_t* x, uint8_t* y);
    // Row j < 30 of d30, nPhase bytes apart: y[j], y[j + 30], ... up to
    // y[len - 1], then zeros to the row's end.
    void (*pfnSpreadRows)(const uint8_t* y, int len, uint8_t* d30, int nPhase);
    // The level sum at window start c: |y[c + 10 j] - 128| over j < 32.
    int (*pfnLevel)(const CStretchBytes& s, int c);
    // Coarse sums of n lags, each at most 11 x 255: lag i pairs the 11 bytes at
    // base + offsets[2i] with those at base + offsets[2i + 1].
    void (*pfnCoarseSums)(const uint8_t* base, const int32_t* offsets, int n, uint16_t* out);
    // Fine sums at window start c for every lag a .. z: out[lag - a].
    void (*pfnFineSums)(const CStretchBytes& s, int c, int a, int z, uint16_t* out);
    // Index of the first smallest of v[0 .. n-1], n >= 1.
    int (*pfnFirstMinimum)(const uint16_t* v, int n);
    // out[j] = a[j] smoothed with its neighbours n1[j] (the nearer) and n2[j]:
    // (3a + 2 n1 + n2) / 6 rounded, or (3a + 2 n1) / 5 when n2 has no value, or
    // a when n1 has none; a negative a (no value) stays. j < n.
    void (*pfnSmoothRow)(const int16_t* a, const int16_t* n1, const int16_t* n2, int16_t* out, int n);
};

// The AVX2 set, from its own file; only for processors that have AVX2.
extern const CPitchKernels g_avx2PitchKernels;
// The plain ones it falls back on for short or ragged ends.
void LowPassPlain(const int16_t* s, int nLast, int W, uint64_t nMagic, uint8_t* x, uint8_t* y);
void SpreadRowsPlain(const uint8_t* y, int len, int nFromColumn, uint8_t* d30, int nPhase);
int FirstMinimumPlain(const uint16_t* v, int n);
int LevelSse2(const CStretchBytes& s, int c);
void SmoothRowPlain(const int16_t* a, const int16_t* n1, const int16_t* n2, int16_t* out, int n);

enum class EPitchKernels { Plain, Sse2, Avx2 };

// The set in use: the widest the processor has, unless a narrower one was asked for.
const CPitchKernels& PitchKernels();

// Asks for a set, for every track after the call; a set the processor lacks
// gives the widest it has. Returns the set now in use. Meant for checks that
// compare the sets; not to be called while a track is running.
EPitchKernels UsePitchKernels(EPitchKernels kind);

// The widest set this processor can run.
EPitchKernels WidestPitchKernels();

} // namespace sonavel::pitch
