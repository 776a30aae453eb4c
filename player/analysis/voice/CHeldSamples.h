#pragma once
// A stretch of a sample source held as doubles (full scale 1), read again
// when a caller asks for samples outside it, so a walk along an hour of voice
// holds a few seconds at a time. One thread per object.
#include <cstddef>
#include <cstdint>
#include <vector>

class CSampleSource;

namespace sonavel::voice {

class CHeldSamples {
public:
    // Samples 0 .. nCount-1 of source; a read fetches at least nChunk samples.
    CHeldSamples(const CSampleSource& source, int nCount, int nChunk);

    // Holds samples [nFirst, nEnd) (those inside the sound; zeros stand for
    // the rest). False when the source fails to give them. Throws
    // std::bad_alloc when no room can be had.
    bool Hold(int64_t nFirst, int64_t nEnd);

    // Sample n of the held stretch, 0 outside the sound; n must lie in the
    // stretch last held.
    double At(int64_t n) const { return m_samples[size_t(n - m_nFirst)]; }
    // The held samples from sample n on (n inside the stretch last held).
    const double* From(int64_t n) const { return m_samples.data() + (n - m_nFirst); }

    int Count() const { return m_nCount; }

private:
    const CSampleSource& m_source;
    int m_nCount;
    int m_nChunk;
    int64_t m_nFirst = 0, m_nEnd = 0; // the stretch held, zeros outside the sound included
    std::vector<double> m_samples;
    std::vector<int16_t> m_raw;
};

// Where the peak of a smooth function lies between samples (dOffset, within
// half a sample of 0) and its height, from its values at -1, 0 and +1 around
// its highest sample: a cosine through the three points. A parabola misplaces
// a sinusoid's peak by up to 0.016 x (radians per sample)^2 samples (1 us for
// 2.5 kHz at 16 kHz: a third of what a 300 Hz voice's periods change by at
// 0.1 % jitter); the cosine places it exactly, and a correlation's peak (a sum
// of cosines) nearly so. Falls back to the parabola where no cosine fits.
void PeakBetweenSamples(double yMinus, double y0, double yPlus, double& dOffset, double& dHeight);

} // namespace sonavel::voice
