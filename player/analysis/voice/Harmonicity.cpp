#include "player/analysis/voice/Harmonicity.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "player/analysis/voice/CHeldSamples.h"

namespace sonavel::voice {

namespace {

const double kWide = 0.06; // the peak sought no further than this from the expected period

struct Window {
    int nHalf = 0;
    std::vector<double> w;      // Hann, 2 nHalf + 1 values, none 0
    std::vector<double> selfAc; // its normalised autocorrelation per lag
};

Window MakeWindow(const HarmonicitySettings& settings, int nRate, int nMaxLag)
{
    Window win;
    win.nHalf = std::max(1, int(std::lround(settings.dPeriodsPerWindow / settings.dFloorHz * nRate / 2)));
    const int n = 2 * win.nHalf + 1;
    win.w.resize(size_t(n));
    for (int j = 0; j < n; ++j)
        win.w[size_t(j)] = 0.5 - 0.5 * std::cos(2 * M_PI * (j + 1) / (n + 1));
    nMaxLag = std::min(nMaxLag, n - 1);
    win.selfAc.assign(size_t(nMaxLag) + 1, 0.0);
    for (int t = 0; t <= nMaxLag; ++t) {
        double d = 0;
        for (int j = 0; j + t < n; ++j)
            d += win.w[size_t(j)] * win.w[size_t(j + t)];
        win.selfAc[size_t(t)] = d;
    }
    for (int t = nMaxLag; t >= 0; --t)
        win.selfAc[size_t(t)] /= win.selfAc[0];
    return win;
}

// The mean period (samples) of the pulses inside [t0, t1] seconds, 0 when
// fewer than two lie there or a gap longer than dLongest parts them.
double PulsePeriod(const GlottalPulses& pulses, double t0, double t1, double dLongest, int nRate)
{
    const auto first = std::lower_bound(pulses.time_s.begin(), pulses.time_s.end(), t0);
    const auto last = std::upper_bound(first, pulses.time_s.end(), t1);
    if (last - first < 2)
        return 0;
    for (auto it = first + 1; it != last; ++it)
        if ((*it - *(it - 1)) * nRate > dLongest)
            return 0;
    return (*(last - 1) - *first) / double(last - first - 1) * nRate;
}

} // namespace

size_t HarmonicityFrameCount(const HarmonicitySettings& settings, int nCount, int nRate)
{
    if (nCount <= 0 || nRate <= 0)
        return 0;
    return size_t(std::floor(nCount / (nRate * settings.dStepS) + 1e-9)) + 1;
}

bool TrackHarmonicity(CHeldSamples& samples, int nRate, const pitch::PitchFrames& track, const PulseRange& range,
                      const GlottalPulses& pulses, const HarmonicitySettings& settings, size_t nFrom, size_t nTo,
                      HarmonicityFrames& frames)
{
    const double dShortest = nRate / range.dCeilingHz, dLongest = nRate / range.dFloorHz;
    const Window win = MakeWindow(settings, nRate, int(std::ceil(dLongest)) + 2);
    const int nLength = 2 * win.nHalf + 1;
    const int nMaxLag = int(win.selfAc.size()) - 2;
    const double dTrackStep = track.time_s.size() > 1 ? track.time_s[1] - track.time_s[0] : settings.dStepS;
    const double dTrackFirst = track.time_s.empty() ? 0 : track.time_s[0];
    std::vector<double> y(static_cast<size_t>(nLength));
    for (size_t i = nFrom; i < nTo; ++i) {
        const double t = double(i) * settings.dStepS;
        frames.time_s[i] = t;
        frames.db[i] = kUnvoicedDb;
        const int64_t nCentre = std::llround(t * nRate);
        const int64_t nStart = nCentre - win.nHalf;
        if (nStart < 0 || nStart + nLength > samples.Count() || track.pitch_hz.empty())
            continue;
        const long k = std::lround((t - dTrackFirst) / dTrackStep);
        if (k < 0 || size_t(k) >= track.pitch_hz.size() || !(track.pitch_hz[size_t(k)] > 0))
            continue;
        const double dHalfS = double(win.nHalf) / nRate;
        double T = PulsePeriod(pulses, t - dHalfS, t + dHalfS, dLongest, nRate);
        if (!(T > 0))
            T = nRate / track.pitch_hz[size_t(k)];
        T = std::clamp(T, dShortest, dLongest);
        if (!samples.Hold(nStart, nStart + nLength))
            return false;
        const double* x = samples.From(nStart);
        double dMean = 0;
        for (int j = 0; j < nLength; ++j)
            dMean += x[j];
        dMean /= nLength;
        double dPower = 0;
        for (int j = 0; j < nLength; ++j) {
            y[size_t(j)] = (x[j] - dMean) * win.w[size_t(j)];
            dPower += y[size_t(j)] * y[size_t(j)];
        }
        if (!(dPower > 0))
            continue;
        auto r = [&](int64_t tau) {
            if (tau < 1 || tau > nMaxLag + 1)
                return 0.0;
            const double* a = y.data();
            const double* b = y.data() + tau;
            const int64_t n = nLength - tau;
            double d = 0;
#pragma omp simd reduction(+ : d)
            for (int64_t j = 0; j < n; ++j)
                d += a[j] * b[j];
            return d / dPower / win.selfAc[size_t(tau)];
        };
        // Climb from the lag nearest the expected period to the nearest peak,
        // no further than kWide of it (nor past the floor and ceiling).
        const int64_t tLo = std::max<int64_t>(std::max<int64_t>(1, int64_t(std::floor(dShortest))),
                                              int64_t(std::floor(T * (1 - kWide))));
        const int64_t tHi = std::min<int64_t>(std::min<int64_t>(nMaxLag, int64_t(std::ceil(dLongest))),
                                              int64_t(std::ceil(T * (1 + kWide))));
        int64_t tBest = std::clamp<int64_t>(std::llround(T), tLo, tHi);
        double dBest = r(tBest), rBefore = r(tBest - 1), rAfter = r(tBest + 1);
        while (rAfter > dBest && tBest < tHi) {
            rBefore = dBest;
            dBest = rAfter;
            rAfter = r(++tBest + 1);
        }
        while (rBefore > dBest && tBest > tLo) {
            rAfter = dBest;
            dBest = rBefore;
            rBefore = r(--tBest - 1);
        }
        if (rBefore > dBest || rAfter > dBest)
            continue; // no peak near the period: no voice to measure
        double dOffset, dPeak;
        PeakBetweenSamples(rBefore, dBest, rAfter, dOffset, dPeak);
        if (!(dPeak > 0))
            continue;
        const double dMost = 1 / (1 + std::pow(10.0, -kMostHnrDb / 10));
        const double rr = std::min(dPeak, dMost);
        frames.db[i] = 10 * std::log10(rr / (1 - rr));
    }
    return true;
}

std::optional<double> MeanHnr(const HarmonicityFrames& frames)
{
    double dSum = 0;
    size_t n = 0;
    for (double d : frames.db)
        if (d > kUnvoicedDb) {
            dSum += d;
            ++n;
        }
    if (n == 0)
        return std::nullopt;
    return dSum / double(n);
}

} // namespace sonavel::voice
