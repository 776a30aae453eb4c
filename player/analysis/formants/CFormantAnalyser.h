#pragma once
// The formants of a range of frames at one ceiling: the sound read from the
// source stretch by stretch, resampled to twice the ceiling, pre-emphasised,
// windowed per frame, the energy-weighted predictor and its roots. A frame's values depend
// only on the sound and the settings, never on the range it was asked in.
#include <complex>
#include <cstdint>
#include <vector>

#include "player/analysis/formants/CSincResampler.h"
#include "player/analysis/formants/LinearPrediction.h"

class CSampleSource;

namespace sonavel::formants {

// One frame's resonances (lowest first: the candidates, or the formants once
// chosen, 0 where one is left out) and the frame's level.
struct FramePoles {
    static constexpr int kMax = 8; // a predictor of order 14 has 7 pole pairs
    float hz[kMax] = {};
    float bandwidth[kMax] = {};
    int nFound = 0;
    float fLevelDb = -400; // the windowed, pre-emphasised frame's mean square
};

// One thread's working memory; grows to the largest stretch it was given.
struct AnalyserScratch {
    std::vector<int16_t> raw;
    std::vector<float> input;
    std::vector<double> resampled;
    std::vector<double> frame;
    std::vector<double> predictor;
    std::vector<double> residual;
    // The previous frame's roots, where the next frame's search starts.
    std::complex<double> roots[kMaxOrder];
    bool bRoots = false;
};

class CFormantAnalyser {
public:
    // nKeep resonances per frame (<= FramePoles::kMax), those no wider than
    // dMaxBandwidthHz; a predictor of nOrder over a Gaussian-like window of
    // dWindowS in all (its middle 70 % analysed). bFirstAgain: a frame whose
    // first resonance lies below 400 Hz is read again with a longer weighting,
    // and the first resonance of a voice above 230 Hz is read again with the
    // closed phases weighted (CFormantAnalyser.cpp).
    void Init(int nRate, double dCeilingHz, double dStepS, int nOrder, int nKeep, double dWindowS,
              double dMaxBandwidthHz, bool bFirstAgain);
    double Ceiling() const { return m_dCeilingHz; }

    // Frames i0 .. i1-1 of a sound of nCount samples into out[0 .. i1-i0-1];
    // false when the source fails to give a stretch. May throw std::bad_alloc.
    bool Analyse(const CSampleSource& source, int nCount, int i0, int i1, AnalyserScratch& scratch,
                 FramePoles* out) const;

    // The predictor of the frame centred on dTimeS, as Analyse reads a frame
    // (its first reading; a frame at i x step reads the same): a[0 .. Order()]
    // and the residual's mean square per sample of the windowed frame's
    // sound (0 with a = 1, 0, ... for a frame without energy). False when the
    // source fails to give the stretch. May throw std::bad_alloc.
    bool Predictor(const CSampleSource& source, int nCount, double dTimeS, AnalyserScratch& scratch, double* a,
                   double& dErrorPower) const;
    int Order() const { return m_nOrder; }
    double OutRate() const { return m_resampler.OutRate(); }
    // The pre-emphasis: y[k] - Emphasis() x y[k-1] of the resampled sound.
    double Emphasis() const { return m_dEmphasis; }

private:
    int64_t Centre(int i) const;
    // The resampled, pre-emphasised sound of the frames centred on samples
    // kFirst .. kLast at twice the ceiling, from sample k0 on (in
    // scratch.resampled); false when the source fails.
    bool Prepare(const CSampleSource& source, int nCount, int64_t kFirst, int64_t kLast, AnalyserScratch& scratch,
                 int64_t& k0) const;
    bool AnalyseStretch(const CSampleSource& source, int nCount, int i0, int i1, AnalyserScratch& scratch,
                        FramePoles* out) const;
    void AnalyseFrame(const double* y, AnalyserScratch& scratch, FramePoles& out) const;

    CSincResampler m_resampler;
    int m_nRate = 0;
    double m_dCeilingHz = 0, m_dStepS = 0.01;
    int m_nOrder = 10, m_nKeep = 5;
    int m_nWindow = 0; // samples of the window at twice the ceiling
    int m_nLag = 1;    // samples whose energy weighs the next one's error
    double m_dEmphasis = 0;
    double m_dMaxBandwidthHz = 600;
    bool m_bFirstAgain = false;
    std::vector<double> m_window;
};

} // namespace sonavel::formants
