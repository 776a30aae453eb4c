#include "player/analysis/intensity/IntensityTrack.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <new>
#include <thread>

#include "player/analysis/core/CSampleSource.h"
#include "common/SplitWork.h"

namespace sonavel::intensity {

namespace {
const double kWindowPerFloor = 6.4; // seconds x floor: the window in all
const double kBeta = 20;            // the Kaiser window's shape
const double kReferencePa2 = 4e-10; // (2 x 10^-5 Pa)^2
const double kBlockS = 5;           // sound per block of frames a thread takes
const double kMaxFrames = 2e8;

double BesselI0(double x)
{
    double dSum = 1, dTerm = 1;
    for (int k = 1; k < 200 && dTerm > 1e-17 * dSum; ++k) {
        dTerm *= (x / (2 * k)) * (x / (2 * k));
        dSum += dTerm;
    }
    return dSum;
}

std::vector<double> KaiserWindow(int nHalf)
{
    std::vector<double> w(size_t(2 * nHalf + 1));
    const double dNorm = BesselI0(kBeta);
    for (int j = -nHalf; j <= nHalf; ++j) {
        const double u = nHalf ? double(j) / nHalf : 0;
        w[size_t(j + nHalf)] = BesselI0(kBeta * std::sqrt(std::max(0.0, 1 - u * u))) / dNorm;
    }
    return w;
}

// One frame from x[0 .. 2 nHalf] weighted by w; x may start before the sound
// or end after it, then only [jFrom, jTo) lie inside.
double FrameDb(const double* x, const double* w, int jFrom, int jTo)
{
    double dW = 0, dWx = 0, dWxx = 0;
#pragma omp simd reduction(+ : dW, dWx, dWxx)
    for (int j = jFrom; j < jTo; ++j) {
        const double wx = w[j] * x[j];
        dW += w[j];
        dWx += wx;
        dWxx += wx * x[j];
    }
    if (!(dW > 0))
        return kSilenceDb;
    const double dMean = dWx / dW;
    const double dPower = dWxx / dW - dMean * dMean;
    if (!(dPower > kReferencePa2 * 1e-30))
        return kSilenceDb;
    return 10 * std::log10(dPower / kReferencePa2);
}

} // namespace

analysis::SettingRefusal RefusedSetting(const IntensitySettings& settings)
{
    if (!(settings.dFloorHz >= kMinFloorHz && settings.dFloorHz <= kMaxFloorHz))
        return {"floor", "must lie between 25 and 1000 Hz"};
    if (!(settings.dStepS >= kMinStepS && settings.dStepS <= kMaxStepS))
        return {"step", "must lie between 0.001 and 1 s"};
    return {};
}

analysis::EOutcome TrackIntensity(const IntensitySettings& settings, const CSampleSource& source, int nCount, int nRate,
                                  int nThreads, IntensityFrames& frames)
{
    frames = IntensityFrames();
    if (nRate <= 0 || nRate > kMaxRateHz || nCount < 0 || RefusedSetting(settings))
        return analysis::EOutcome::Refused;
    const double dStep = settings.dStepS;
    const double dFrames = std::floor(nCount / (nRate * dStep) + 1e-9) + 1;
    if (dFrames > kMaxFrames)
        return analysis::EOutcome::NoMemory;
    const int nFrames = static_cast<int>(dFrames);
    const int nHalf = static_cast<int>(std::lround(kWindowPerFloor / settings.dFloorHz * nRate / 2));
    const int nBlock = std::max(1, static_cast<int>(std::lround(kBlockS / dStep)));
    const size_t nBlocks = size_t((nFrames + nBlock - 1) / nBlock);
    auto centre = [&](int i) { return std::llround(i * dStep * nRate); };
    std::atomic<bool> bFailed{false}, bNoMemory{false};
    try {
        const std::vector<double> w = KaiserWindow(nHalf);
        frames.time_s.resize(size_t(nFrames));
        frames.db.resize(size_t(nFrames));
        if (nThreads <= 0)
            nThreads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        const int nParts = static_cast<int>(std::min<size_t>(size_t(nThreads), nBlocks));
        sonavel::RunSplit(nBlocks, nParts, [&](size_t b0, size_t b1) {
            try {
                std::vector<int16_t> raw;
                std::vector<double> x;
                for (size_t b = b0; b < b1 && !bFailed; ++b) {
                    const int i0 = int(b) * nBlock, i1 = std::min(nFrames, i0 + nBlock);
                    // Frames far apart are read one by one; else the block's stretch at once.
                    const bool bEach = dStep * nRate > 2 * nHalf + 1;
                    for (int s0 = i0; s0 < i1; s0 = bEach ? s0 + 1 : i1) {
                        const int s1 = bEach ? s0 + 1 : i1;
                        const int64_t nFirst = centre(s0) - nHalf, nEnd = centre(s1 - 1) + nHalf + 1;
                        const int64_t nFrom = std::max<int64_t>(nFirst, 0), nTo = std::min<int64_t>(nEnd, nCount);
                        x.assign(size_t(nEnd - nFirst), 0.0);
                        if (nTo > nFrom) {
                            const int n = int(nTo - nFrom);
                            if (source.NeedsBuffer() && raw.size() < size_t(n))
                                raw.resize(size_t(n));
                            const int16_t* p = source.Fetch(int(nFrom), n, raw.data());
                            if (!p) {
                                bFailed = true;
                                return;
                            }
                            for (int j = 0; j < n; ++j)
                                x[size_t(nFrom - nFirst + j)] = p[j] / 32768.0;
                        }
                        for (int i = s0; i < s1; ++i) {
                            const int64_t nStart = centre(i) - nHalf;
                            const int jFrom = int(std::max<int64_t>(0, -nStart));
                            const int jTo = int(std::min<int64_t>(2 * nHalf + 1, nCount - nStart));
                            frames.time_s[size_t(i)] = i * dStep;
                            frames.db[size_t(i)] = FrameDb(x.data() + (nStart - nFirst), w.data(), jFrom, jTo);
                        }
                    }
                }
            } catch (const std::bad_alloc&) {
                bNoMemory = true;
            }
        });
    } catch (const std::bad_alloc&) {
        bNoMemory = true;
    }
    if (bNoMemory || bFailed) {
        frames = IntensityFrames();
        return bNoMemory ? analysis::EOutcome::NoMemory : analysis::EOutcome::SourceFailed;
    }
    return analysis::EOutcome::Done;
}

analysis::SoundOutcome TrackSound(const analysis::CSoundInput& input, const IntensitySettings& settings, int nThreads,
                                  IntensityFrames& frames)
{
    return analysis::AnalyseSoundUpTo(kMaxRateHz, input, [&](const CSampleSource& source, int nCount, int nRate) {
        return TrackIntensity(settings, source, nCount, nRate, nThreads, frames);
    });
}

} // namespace sonavel::intensity
