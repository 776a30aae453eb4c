#pragma once
// The spectrum of one short frame on the analysis window's frequency grid:
// pre-emphasis, a Hamming window, the FFT, decibels, and the spline onto the
// grid. Each object has its own FFT working arrays: one object per thread, any
// number of objects at once.
#include <memory>

class CFrameSpectrum {
public:
    CFrameSpectrum() = default;
    ~CFrameSpectrum();

    // Decibel spectrum of frame[0..length] (length + 1 samples: pre-emphasis
    // pairs each sample with its predecessor), resampled onto points values for
    // 0 .. topFrequency Hz and written over frame (room for max(length + 1,
    // points) doubles). Returns 0; returns 1 and leaves frame alone when the
    // arguments are outside what the working arrays and the grid can take;
    // returns kSplineRefused when the spline's scratch could not be had: the
    // grid is then filled by straight lines between the bins, and the caller
    // shows the math error.
    static constexpr int kSplineRefused = 2;
    int Compute(double* frame, int length, double preemphasis, int points, int topFrequency, int sampleRate);

private:
    // The transform's real, imaginary and window arrays, made on first use.
    std::unique_ptr<double[]> m_pFftWork;
};
