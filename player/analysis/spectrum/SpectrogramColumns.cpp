#include "player/analysis/spectrum/SpectrogramColumns.h"
#include "common/SplitWork.h"
#include "player/analysis/core/AnalysisBudget.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

namespace sonavel::spectrogram {

namespace {

int NextPowerOfTwo(int n)
{
    int p = 1;
    while (p < n)
        p <<= 1;
    return p;
}

std::string Range(const char* szWhat, double lo, double hi, const char* szUnit, double dScale)
{
    char sz[160];
    std::snprintf(sz, sizeof sz, "%s must be %g-%g %s", szWhat, lo * dScale, hi * dScale, szUnit);
    return sz;
}

} // namespace

analysis::SettingRefusal CheckSettings(const SpectrogramSettings& s, int nRate)
{
    if (nRate <= 0)
        return {kszRateSetting, "the sound has no sample rate"};
    if (!(s.dWindowS >= kMinWindowS && s.dWindowS <= kMaxWindowS))
        return {kszWindowSetting, Range("window length", kMinWindowS, kMaxWindowS, "ms", 1000)};
    if (s.dWindowS * nRate < 4)
        return {kszWindowSetting, "window length must hold at least 4 samples"};
    if (!(s.dMaxFrequencyHz >= kMinFrequencyHz && s.dMaxFrequencyHz <= nRate / 2.0))
        return {kszMaxFrequencySetting, Range("top frequency", kMinFrequencyHz, nRate / 2.0, "Hz", 1)};
    if (!(s.dTimeStepS >= kMinTimeStepS && s.dTimeStepS <= kMaxTimeStepS))
        return {kszTimeStepSetting, Range("time step", kMinTimeStepS, kMaxTimeStepS, "s", 1)};
    if (!(s.dDynamicRangeDb >= kMinDynamicRangeDb && s.dDynamicRangeDb <= kMaxDynamicRangeDb))
        return {kszDynamicRangeSetting, Range("dynamic range", kMinDynamicRangeDb, kMaxDynamicRangeDb, "dB", 1)};
    return {};
}

int64_t SpectrogramGrid::ColumnAt(double dTimeS) const
{
    return static_cast<int64_t>(std::floor(dTimeS / dStepS + 0.5));
}

int WindowSamples(double dWindowS, int nRate)
{
    // Held before it is rounded: 0.1 s at a claimed 2^31 Hz would ask for a
    // transform of 2^29 points, gigabytes per thread.
    const double dSamples = std::min(static_cast<double>(analysis::kMaxWindowSamples), dWindowS * nRate);
    return std::max(4, static_cast<int>(std::lround(dSamples)));
}

SpectrogramGrid MakeGrid(const SpectrogramSettings& s, int64_t nSamples, int nRate, int nRefine)
{
    SpectrogramGrid g;
    g.nRate = nRate;
    g.nSamples = std::max<int64_t>(nSamples, 0);
    g.nWindow = WindowSamples(s.dWindowS, nRate);
    // At least one and a half times the window: bins close enough that a tone
    // between two of them loses well under a decibel, at half the cost of twice.
    g.nFft = std::max(64, NextPowerOfTwo(g.nWindow + g.nWindow / 2));
    g.dBinHz = static_cast<double>(nRate) / g.nFft;
    const double dTop = std::min(s.dMaxFrequencyHz, nRate / 2.0);
    g.nBins = std::min(g.nFft / 2, static_cast<int>(std::floor(dTop / g.dBinHz + 1e-9))) + 1;
    g.dStepS = std::ldexp(s.dTimeStepS, -std::max(nRefine, 0));
    const double dDuration = static_cast<double>(g.nSamples) / nRate;
    g.nColumns = static_cast<int64_t>(std::floor(dDuration / g.dStepS + 1e-9)) + 1;
    return g;
}

CColumnComputer::CColumnComputer(const SpectrogramGrid& grid, const int16_t* pSamples)
    : CColumnComputer(grid, pSamples, 0, grid.nSamples)
{
}

CColumnComputer::CColumnComputer(const SpectrogramGrid& grid, const int16_t* pHeld, int64_t nFirstHeld,
                                 int64_t nHeldCount)
    : m_grid(grid), m_pHeld(pHeld), m_nFirstHeld(nFirstHeld),
      m_nHeldEnd(pHeld ? std::min(nFirstHeld + std::max<int64_t>(nHeldCount, 0), grid.nSamples) : nFirstHeld), m_fft(grid.nFft), m_window(static_cast<size_t>(grid.nWindow)),
      m_frame(static_cast<size_t>(grid.nFft), 0.0), m_power(static_cast<size_t>(grid.nFft / 2 + 1))
{
    double dSum = 0;
    for (int i = 0; i < grid.nWindow; ++i) {
        m_window[static_cast<size_t>(i)] = 0.5 - 0.5 * std::cos(2 * M_PI * (i + 0.5) / grid.nWindow);
        dSum += m_window[static_cast<size_t>(i)];
    }
    // A sine of amplitude A (full scale 32768) peaks at |X| = A * 32768 * sum(w) / 2.
    m_dOffsetDb = -20.0 * std::log10(32768.0 * dSum / 2.0);
}

namespace {
// The first sample of column k's window (before the sound's start for the first columns).
int64_t WindowStart(const SpectrogramGrid& g, int64_t k)
{
    return std::llround(g.ColumnTime(k) * g.nRate - g.nWindow / 2.0);
}
} // namespace

std::pair<int64_t, int64_t> ColumnSamples(const SpectrogramGrid& grid, int64_t k0, int64_t k1)
{
    if (k1 <= k0)
        return {0, 0};
    const int64_t nFirst = std::clamp<int64_t>(WindowStart(grid, k0), 0, grid.nSamples);
    const int64_t nEnd = std::clamp<int64_t>(WindowStart(grid, k1 - 1) + grid.nWindow, nFirst, grid.nSamples);
    return {nFirst, nEnd};
}

void CColumnComputer::Compute(int64_t k, float* pOut)
{
    const SpectrogramGrid& g = m_grid;
    const int64_t nFirst = WindowStart(g, k);
    double* pFrame = m_frame.data();
    const double* pWindow = m_window.data();
    if (nFirst >= 0 && nFirst >= m_nFirstHeld && nFirst + g.nWindow <= m_nHeldEnd) {
        // The whole window held (nearly every column): no test per sample.
        const int16_t* pIn = m_pHeld + (nFirst - m_nFirstHeld);
        for (int i = 0; i < g.nWindow; ++i)
            pFrame[i] = static_cast<double>(pIn[i]) * pWindow[i];
    } else {
        for (int i = 0; i < g.nWindow; ++i) {
            const int64_t n = nFirst + i;
            // Outside the sound, zeros; m_nHeldEnd never passes the sound's end.
            const double x = (n >= 0 && n >= m_nFirstHeld && n < m_nHeldEnd) ? m_pHeld[n - m_nFirstHeld] : 0.0;
            pFrame[i] = x * pWindow[i];
        }
    }
    // m_frame beyond the window stays zero: the padding.
    m_fft.Power(m_frame.data(), m_power.data(), g.nBins);
    for (int b = 0; b < g.nBins; ++b) {
        const double p = m_power[static_cast<size_t>(b)];
        pOut[b] = static_cast<float>(p > 0 ? std::max(kFloorDb, 10.0 * std::log10(p) + m_dOffsetDb) : kFloorDb);
    }
}

void ComputeColumns(const SpectrogramGrid& grid, const int16_t* pSamples, int64_t k0, int64_t k1, float* pOut,
                    int nThreads)
{
    const int64_t nCount = std::max<int64_t>(k1 - k0, 0);
    if (nThreads <= 0)
        nThreads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    nThreads = static_cast<int>(std::min<int64_t>(nThreads, std::max<int64_t>(nCount / 64, 1)));
    sonavel::RunSplit(static_cast<size_t>(nCount), nThreads, [&](size_t a, size_t b) {
        CColumnComputer computer(grid, pSamples);
        for (int64_t k = k0 + static_cast<int64_t>(a); k < k0 + static_cast<int64_t>(b); ++k)
            computer.Compute(k, pOut + (k - k0) * grid.nBins);
    });
}

float ShadingTop(const float* pValues, size_t nCount)
{
    float f = kQuietestTopDb;
    for (size_t i = 0; i < nCount; ++i)
        f = std::max(f, pValues[i]);
    return f;
}

void ApplyDynamicRange(float* pValues, size_t nCount, float fTop, double dRangeDb)
{
    const float fFloor = static_cast<float>(fTop - dRangeDb);
    for (size_t i = 0; i < nCount; ++i)
        pValues[i] = std::max(pValues[i], fFloor);
}

} // namespace sonavel::spectrogram
