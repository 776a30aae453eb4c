#include "player/analysis/spectrum/CFrameSpectrum.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "player/analysis/spectrum/Fft.h"
#include "player/analysis/spectrum/Spline.h"

using namespace sonavel::spectrum;
using sonavel::analysis::EOutcome;

namespace {

// The stored constants the window uses. They are kept as these literals rather
// than taken from the library, so every build computes the same windows.
const double kTwoPi = 6.2831853071796;
const double kHamming0 = 0.54;
const double kHamming1 = 0.46;
const double kDecibel = 10.0;
const double kNaturalEndSlope = 1e30;

// Working arrays of one object: transforms of up to 4096 points.
const int kFftCapacity = 4106;

// The knot arrays are indexed from 1, so 549 spectrum bins fit.
const int kKnotCapacity = 550;

} // namespace

CFrameSpectrum::~CFrameSpectrum() = default;

EOutcome CFrameSpectrum::Compute(double* frame, int length, double preemphasis, int points, int topFrequency,
                                 int sampleRate)
{
    // The knot arrays bound the frame at 2 * 549 samples; a rate or top of 0
    // would make the grid step meaningless.
    if (length < 1 || length / 2 > kKnotCapacity - 1 || points < 0 || topFrequency <= 0
        || sampleRate <= 0)
        return EOutcome::Refused;

    if (!m_pFftWork) {
        m_pFftWork.reset(new (std::nothrow) double[3 * kFftCapacity]);
        if (!m_pFftWork) {
            std::fill(frame, frame + points, 0.0);
            return EOutcome::NoMemory;
        }
    }
    double* pReal = m_pFftWork.get();
    double* pImag = pReal + kFftCapacity;
    double* pWindow = pImag + kFftCapacity;

    int order = 1, size = 2;
    while (size < length) {
        size *= 2;
        ++order;
    }

    const double step = kTwoPi / length;
    for (int i = 0; i < length; ++i)
        pWindow[i] = kHamming0 - kHamming1 * std::cos(i * step);
    for (int i = 0; i < length; ++i) {
        pReal[i] = (frame[i + 1] - preemphasis * frame[i]) * pWindow[i];
        pImag[i] = 0.0;
    }
    // A length that is not a power of two is padded with zeros, not with
    // whatever the previous frame left behind.
    for (int i = length; i < size; ++i)
        pReal[i] = pImag[i] = 0.0;

    Fft(pReal, pImag, order);

    const int bins = length / 2;
    for (int i = 0; i < bins; ++i) {
        const double power = pReal[i] * pReal[i] + pImag[i] * pImag[i];
        frame[i] = power != 0.0 ? kDecibel * std::log10(power) : 0.0;
    }

    double x[kKnotCapacity], y[kKnotCapacity], d2[kKnotCapacity];
    for (int k = 1; k <= bins; ++k) {
        x[k] = k - 1;
        y[k] = frame[k - 1];
    }
    // Should the spline's scratch array be refused, the second derivatives stay
    // 0 and the grid is filled by straight lines between the bins.
    std::memset(d2, 0, sizeof d2);
    const bool bSpline = SplineSetup(x, y, bins, kNaturalEndSlope, kNaturalEndSlope, d2);

    const double gridStep = (topFrequency / (sampleRate * 0.5)) * (length * 0.5) / points;
    for (int i = 0; i < points; ++i) {
        double v = 0.0;
        if (SplineEvaluate(x, y, d2, bins, i * gridStep, &v) != 0)
            v = bins >= 1 ? y[1] : 0.0;
        frame[i] = v;
    }
    return bSpline ? EOutcome::Done : EOutcome::NoMemory;
}
