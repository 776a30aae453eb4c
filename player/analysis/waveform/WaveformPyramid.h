#pragma once
// The waveform at any zoom: the lowest and highest sample of each block of
// 64 samples, of each 4 such blocks, of each 4 of those, and so on up to one
// block for the whole sound. Any stretch's extremes then take a few dozen
// blocks and at most 126 samples at its edges, so a pixel column of the hour
// costs what one of a second does. An hour at 44.1 kHz takes 13 MB.
//
// A pyramid owns its levels; Build fills it on one thread, after which any number of
// threads may read it (the view shares it read-only).
#include <cstdint>
#include <vector>

#include "player/analysis/core/CSoundInput.h"

class CSampleSource;

namespace sonavel::waveform {

// The extremes of some samples; nMin > nMax: no sample.
struct MinMax {
    int16_t nMin = INT16_MAX, nMax = INT16_MIN;
    bool Empty() const { return nMin > nMax; }
    void Add(const MinMax& o)
    {
        nMin = o.nMin < nMin ? o.nMin : nMin;
        nMax = o.nMax > nMax ? o.nMax : nMax;
    }
};

// Samples held in memory: samples nFirst .. nFirst + nCount - 1 of the sound.
struct HeldSamples {
    const int16_t* pSamples = nullptr;
    int64_t nFirst = 0, nCount = 0;
    bool Holds(int64_t a, int64_t b) const { return pSamples && a >= nFirst && b <= nFirst + nCount; }
};

class CWaveformPyramid {
public:
    static constexpr int kBaseBlock = 64; // samples per block of the finest level
    static constexpr int kFanOut = 4;     // blocks of a level per block of the next
    // A held stretch up to this long is scanned itself, pyramid or none.
    static constexpr int64_t kDirectScanSamples = 4096;

    // The door of the waveform: the pyramid of the input's samples (a file's
    // channel, streamed or loaded as AnalyseSound reads it, or samples held).
    // Done; NoMemory; SourceFailed when samples held fail to give a block; the
    // pyramid is empty on failure.
    analysis::SoundOutcome Build(const analysis::CSoundInput& input);
    int64_t Count() const { return m_nCount; }

    // The extremes of samples [nFirst, nEnd) (clamped to the sound): exact
    // where held holds the samples at the stretch's edges, else counting the
    // whole finest blocks the edges fall in (at most 63 samples beyond each).
    // A held stretch of at most kDirectScanSamples needs no pyramid built.
    MinMax Range(int64_t nFirst, int64_t nEnd, const HeldSamples& held) const;

private:
    analysis::EOutcome BuildFrom(const CSampleSource& source, int nCount);
    MinMax Blocks(size_t nLevel, int64_t k0, int64_t k1) const;
    MinMax Edge(int64_t a, int64_t b, const HeldSamples& held) const;

    int64_t m_nCount = 0;
    std::vector<std::vector<MinMax>> m_levels; // level L: blocks of 64 x 4^L samples
};

// For each of nPixels pixel columns across dStart .. dEnd seconds at nRate,
// the extremes of the samples whose times (sample i at i / nRate) fall in it;
// empty for a column that holds none (a close look) or lies beyond the sound.
std::vector<MinMax> PixelColumns(const CWaveformPyramid& pyramid, const HeldSamples& held, double dStart, double dEnd,
                                 int nPixels, int nRate);

// The first sample at or after time t (seconds) at nRate.
int64_t SampleAtOrAfter(double t, int nRate);

} // namespace sonavel::waveform
