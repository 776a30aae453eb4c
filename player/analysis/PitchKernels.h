#pragma once
// The pitch tracker's inner loops: the difference sums of the lag search and
// the search for the smallest of them. Each comes in a plain form, an SSE2 form
// and, for processors that have it, an AVX2 form; the set is picked once, by
// what the processor running the program can do. All sums are whole numbers,
// so every set gives the same values.
#include <cstdint>

namespace sonavel::pitch {

// Sparse sampling of the difference function keeps a frame cheap: the coarse
// search looks at 11 terms 30 samples apart, the fine search and the octave
// check at 25 terms 12 apart, the level at 32 terms 10 apart.
inline constexpr int kCoarseStride = 30, kCoarseTerms = 11;
inline constexpr int kFineStride = 12, kFineTerms = 25;
inline constexpr int kLevelStride = 10, kLevelTerms = 32;

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
    // Coarse sums at window start c for lags[0 .. n-1], each at most 11 x 255.
    void (*pfnCoarseSums)(const CStretchBytes& s, int c, const int* lags, int n, uint16_t* out);
    // Fine sums at window start c for every lag a .. z: out[lag - a].
    void (*pfnFineSums)(const CStretchBytes& s, int c, int a, int z, uint16_t* out);
    // Index of the first smallest of v[0 .. n-1], n >= 1.
    int (*pfnFirstMinimum)(const uint16_t* v, int n);
};

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
