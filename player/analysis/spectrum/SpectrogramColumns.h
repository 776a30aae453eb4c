#pragma once
// The measuring view's spectrogram, column by column: a Hann window of the
// window length centred on each column's time, a power spectrum zero-padded to
// the power of two at or above one and a half windows, levels in dB relative to a full-scale sine
// (a sine of amplitude A, as a fraction of full scale, reads 20 log10 A at its
// frequency). Columns lie on a fixed grid, column k at k x the time step, so a
// column is the same number whichever stretch of the sound asks for it. Plain
// C++: the view, render --view and the Python module share it.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "player/analysis/core/AnalysisOutcome.h"
#include "player/analysis/spectrum/CRealFft.h"

namespace sonavel::spectrogram {

struct SpectrogramSettings {
    double dWindowS = 0.005;          // wide-band; about 0.03 is narrow-band
    double dMaxFrequencyHz = 5000.0;  // top of the scale, at most half the rate
    double dTimeStepS = 0.002;        // between neighbouring columns
    double dDynamicRangeDb = 50.0;    // levels this far below the loudest are white
};

// True when the two give the same columns: the dynamic range only changes
// the shading.
inline bool SameColumns(const SpectrogramSettings& a, const SpectrogramSettings& b)
{
    return a.dWindowS == b.dWindowS && a.dMaxFrequencyHz == b.dMaxFrequencyHz && a.dTimeStepS == b.dTimeStepS;
}

inline constexpr double kMinWindowS = 0.001, kMaxWindowS = 0.1;
inline constexpr double kMinFrequencyHz = 100.0;
inline constexpr double kMinTimeStepS = 0.0001, kMaxTimeStepS = 1.0;
inline constexpr double kMinDynamicRangeDb = 10.0, kMaxDynamicRangeDb = 150.0;
// The level of a window that holds nothing but zeros.
inline constexpr double kFloorDb = -150.0;

// The names CheckSettings gives the setting it refuses.
inline constexpr char kszRateSetting[] = "rate"; // the sound has none
inline constexpr char kszWindowSetting[] = "window";
inline constexpr char kszMaxFrequencySetting[] = "max-frequency";
inline constexpr char kszTimeStepSetting[] = "time-step";
inline constexpr char kszDynamicRangeSetting[] = "dynamic-range";

// Nothing when the settings suit a sound at nRate, else the refused setting's
// name (above) and why, a sentence that names it for the user ("window length
// must be 1-100 ms").
analysis::SettingRefusal CheckSettings(const SpectrogramSettings& settings, int nRate);

// Where the columns and bins of one sound lie.
struct SpectrogramGrid {
    int nRate = 0;
    int64_t nSamples = 0;
    int nWindow = 0;        // samples in the analysis window
    int nFft = 0;           // transform size
    int nBins = 0;          // 0 Hz .. the top frequency
    double dBinHz = 0;      // between neighbouring bins
    double dStepS = 0;      // between neighbouring columns
    int64_t nColumns = 0;   // column k at k * dStepS, k = 0 .. nColumns - 1

    double ColumnTime(int64_t k) const { return static_cast<double>(k) * dStepS; }
    // The column whose stretch [t - step/2, t + step/2) holds t; may lie
    // outside 0 .. nColumns - 1.
    int64_t ColumnAt(double dTimeS) const;
    double BinFrequency(int nBin) const { return nBin * dBinHz; }
};

// The analysis window in samples for a window of dWindowS at nRate: at least
// 4, and held to kMaxWindowSamples (AnalysisBudget.h) whatever rate a header
// claims.
int WindowSamples(double dWindowS, int nRate);

// The grid for settings (checked) over nSamples at nRate. nRefine > 0 halves
// the step that many times: the finer grid holds every column of the coarser
// one, at the same time and with the same values. Its window and transform
// never exceed the analysis budget.
SpectrogramGrid MakeGrid(const SpectrogramSettings& settings, int64_t nSamples, int nRate, int nRefine = 0);

// Computes columns of one grid over the sound's samples (which must outlive
// it). One thread at a time per object; as many objects as threads.
class CColumnComputer {
public:
    // pSamples holds all of the grid's nSamples.
    CColumnComputer(const SpectrogramGrid& grid, const int16_t* pSamples);
    // pHeld holds nHeldCount samples from sample nFirstHeld on; a column may
    // read only those (ColumnSamples says which it reads).
    CColumnComputer(const SpectrogramGrid& grid, const int16_t* pHeld, int64_t nFirstHeld, int64_t nHeldCount);

    const SpectrogramGrid& Grid() const { return m_grid; }
    // grid.nBins levels in dB of column k (zeros beyond the sound's ends).
    void Compute(int64_t k, float* pOut);

private:
    SpectrogramGrid m_grid;
    const int16_t* m_pHeld;
    int64_t m_nFirstHeld, m_nHeldEnd;
    CRealFft m_fft;
    std::vector<double> m_window, m_frame, m_power;
    double m_dOffsetDb = 0;
};

// The samples [first, end) of the sound that columns k0 .. k1 read, within
// the sound (what lies beyond its ends reads as zeros).
std::pair<int64_t, int64_t> ColumnSamples(const SpectrogramGrid& grid, int64_t k0, int64_t k1);

// Columns k0 .. k1 - 1 into pOut, one after the other (nBins values each),
// split over up to nThreads threads (0: one per core).
void ComputeColumns(const SpectrogramGrid& grid, const int16_t* pSamples, int64_t k0, int64_t k1,
                    float* pOut, int nThreads = 1);

// The top of the shading: the loudest of the values, but never below
// kQuietestTopDb, so a stretch of near silence shows its noise faintly instead
// of blown up to black (and digital silence white).
inline constexpr float kQuietestTopDb = -60.0f;
float ShadingTop(const float* pValues, size_t nCount);
// Raises every value below (fTop - dRangeDb) to that floor: the levels the
// view shades white (the Python module hands them out so).
void ApplyDynamicRange(float* pValues, size_t nCount, float fTop, double dRangeDb);

} // namespace sonavel::spectrogram
