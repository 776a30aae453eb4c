#pragma once
// The spectrum of one short frame on the analysis window's frequency grid:
// pre-emphasis, a Hamming window, the FFT, decibels, and the spline onto the
// grid. Each object has its own FFT working arrays: one object per thread, any
// number of objects at once.
#include <memory>

#include "player/analysis/core/AnalysisOutcome.h"

class CFrameSpectrum {
public:
    CFrameSpectrum() = default;
    ~CFrameSpectrum();

    // Decibel spectrum of frame[0..length] (length + 1 samples: pre-emphasis
    // pairs each sample with its predecessor), resampled onto points values for
    // 0 .. topFrequency Hz and written over frame (room for max(length + 1,
    // points) doubles). Done; Refused, with frame left alone, when the
    // arguments are outside what the working arrays and the grid can take;
    // NoMemory when the spline's scratch could not be had (the grid is then
    // filled by straight lines between the bins) or the working arrays could
    // not (the grid is then silence, 0): the caller shows the math error.
    sonavel::analysis::EOutcome Compute(double* frame, int length, double preemphasis, int points, int topFrequency,
                                        int sampleRate);

private:
    // The transform's real, imaginary and window arrays, made on first use.
    std::unique_ptr<double[]> m_pFftWork;
};
