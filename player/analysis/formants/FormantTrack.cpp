#include "player/analysis/formants/FormantTrack.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <new>
#include <thread>

#include "common/SplitWork.h"
#include "player/analysis/formants/CFormantAnalyser.h"
#include "player/analysis/formants/CeilingChoice.h"
#include "player/analysis/formants/FormantPath.h"

namespace sonavel::formants {

namespace {
const double kBlockS = 5;          // sound per block of frames a thread takes
const double kMaxFrames = 1e8;     // more frames than memory could hold
const int kProbeAll = 3000;        // a file with no more frames is probed whole
// The ceiling is chosen over a 50 ms window (25 ms effective): the voice's
// formant spacing, steadier over a longer stretch. The formants themselves are
// read over 25 ms (12.5 ms effective): longer windows averaged the fast
// changes at a vowel's edges, where a man's F1 moves 250 Hz in 10 ms, and
// missed the low F1 of its first and last frames. Over a noise floor within
// 35 dB of the voice, 30 ms: the shorter window's poles scatter there (a
// child's F3 in white noise at 20 dB erred by a tenth more).
const double kProbeWindowS = 0.05;
const double kWindowS = 0.025, kNoisyWindowS = 0.03;
// Else runs of 20 frames in every 200, or spread wider so that at most 150
// runs are probed: a longer file costs no more probing than 5 minutes do.
const int kProbeRun = 20, kProbeEvery = 200, kProbeRuns = 150;

int ThreadCount(int nThreads, size_t nWork)
{
    if (nThreads <= 0)
        nThreads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return static_cast<int>(std::max<size_t>(1, std::min<size_t>(size_t(nThreads), nWork)));
}

// Runs frames [starts[r], ends[r]) of every r through the analyser into out
// (indexed from outBase[r]), the runs shared between threads. False when the
// source failed; throws std::bad_alloc when memory ran out.
bool AnalyseRuns(const CFormantAnalyser& analyser, const CSampleSource& source, int nCount,
                 const std::vector<int>& starts, const std::vector<int>& ends, const std::vector<size_t>& outBase,
                 int nThreads, FramePoles* out)
{
    std::atomic<bool> bFailed{false}, bNoMemory{false};
    sonavel::RunSplit(starts.size(), ThreadCount(nThreads, starts.size()), [&](size_t r0, size_t r1) {
        try {
            AnalyserScratch scratch;
            for (size_t r = r0; r < r1 && !bFailed && !bNoMemory; ++r)
                if (!analyser.Analyse(source, nCount, starts[r], ends[r], scratch, out + outBase[r]))
                    bFailed = true;
        } catch (const std::bad_alloc&) {
            bNoMemory = true;
        }
    });
    if (bNoMemory)
        throw std::bad_alloc();
    return !bFailed;
}

int PredictorOrder(int nFormants)
{
    return 2 * std::max(nFormants, 5);
}

// The probe: the same runs of frames at every candidate ceiling (at the one
// given, for its noise floor alone). nChosen gets the ceiling's index,
// bNoisy whether the file's noise floor is high. False when the source
// failed; throws std::bad_alloc when memory ran out.
bool Probe(const FormantSettings& settings, const std::vector<double>& ceilings, int nOrder,
           const CSampleSource& source, int nCount, int nRate, int nFrames, int nThreads, size_t& nChosen,
           bool& bNoisy)
{
    std::vector<int> starts, ends, runEnds;
    std::vector<size_t> bases;
    int nProbed = 0;
    if (nFrames <= kProbeAll) {
        starts.push_back(0);
        ends.push_back(nFrames);
    } else {
        const int nEvery = std::max(kProbeEvery, (nFrames + kProbeRuns - 1) / kProbeRuns);
        for (int i = 0; i < nFrames; i += nEvery) {
            starts.push_back(i);
            ends.push_back(std::min(nFrames, i + kProbeRun));
        }
    }
    for (size_t r = 0; r < starts.size(); ++r) {
        bases.push_back(size_t(nProbed));
        nProbed += ends[r] - starts[r];
        runEnds.push_back(nProbed);
    }
    std::vector<std::vector<FramePoles>> probes(ceilings.size());
    for (size_t c = 0; c < ceilings.size(); ++c) {
        CFormantAnalyser probe;
        probe.Init(nRate, ceilings[c], settings.dStepS, nOrder, 4, kProbeWindowS, kMaxBandwidthHz, false);
        probes[c].resize(size_t(nProbed));
        if (!AnalyseRuns(probe, source, nCount, starts, ends, bases, nThreads, probes[c].data()))
            return false;
    }
    nChosen = size_t(ChooseCeiling(ceilings, probes, runEnds));
    bNoisy = NoisyFloor(probes[0]);
    return true;
}

// The analyser that reads the sound's frames: at the ceiling given, else the
// one the probe chooses, with a pole pair and a longer window more over a
// noisy floor. False when the source failed; throws std::bad_alloc.
bool ChooseReading(const FormantSettings& settings, const CSampleSource& source, int nCount, int nRate, int nFrames,
                   int nThreads, CFormantAnalyser& analyser)
{
    const int nOrder = PredictorOrder(settings.nFormants);
    const std::vector<double> ceilings =
        settings.dCeilingHz > 0 ? std::vector<double>{settings.dCeilingHz} : CandidateCeilings(nRate);
    size_t nChosen = 0;
    bool bNoisy = false;
    if (!Probe(settings, ceilings, nOrder, source, nCount, nRate, nFrames, nThreads, nChosen, bNoisy))
        return false;
    // Every resonance of a frame is a candidate; the path picks the formants.
    // A noise floor that high takes a pole pair of its own.
    analyser.Init(nRate, ceilings[nChosen], settings.dStepS, bNoisy ? nOrder + 2 : nOrder, FramePoles::kMax,
                  bNoisy ? kNoisyWindowS : kWindowS, kMaxCandidateBandwidthHz, true);
    return true;
}

// The frames a track of the settings' step holds, or 0 past kMaxFrames.
int FrameCount(const FormantSettings& settings, int nCount, int nRate)
{
    const double dFrames = std::floor(nCount / (nRate * settings.dStepS) + 1e-9) + 1;
    return dFrames > kMaxFrames ? 0 : static_cast<int>(dFrames);
}

} // namespace

analysis::SettingRefusal RefusedSetting(const FormantSettings& settings, int nRate)
{
    if (settings.nFormants < kMinFormants || settings.nFormants > kMaxFormants)
        return {"formants", "must be a whole number from 1 to 6"};
    const double c = settings.dCeilingHz;
    if (c != 0 && !(std::isfinite(c) && c >= kMinCeilingHz))
        return {"max-formant", "must be at least 1000 Hz (or 0 to find it per file)"};
    if (c != 0 && nRate > 0 && c > nRate / 2.0)
        return {"max-formant", "must be at most half the sample rate, " + std::to_string(nRate / 2) + " Hz"};
    if (!(settings.dStepS >= kMinStepS && settings.dStepS <= kMaxStepS))
        return {"step", "must lie between 0.001 and 1 s"};
    return {};
}

analysis::EOutcome TrackFormants(const FormantSettings& settings, const CSampleSource& source, int nCount, int nRate,
                                 int nThreads, FormantFrames& frames)
{
    frames = FormantFrames();
    if (nRate <= 0 || nRate > kMaxRateHz || nCount < 0 || RefusedSetting(settings, nRate))
        return analysis::EOutcome::Refused;
    const int nFrames = FrameCount(settings, nCount, nRate);
    if (nFrames == 0)
        return analysis::EOutcome::NoMemory;
    try {
        CFormantAnalyser analyser;
        if (!ChooseReading(settings, source, nCount, nRate, nFrames, nThreads, analyser))
            return analysis::EOutcome::SourceFailed;
        // Blocks of about 5 s, a number of frames fixed by the step alone.
        const int nBlock = std::max(1, static_cast<int>(std::lround(kBlockS / settings.dStepS)));
        std::vector<int> starts, ends;
        std::vector<size_t> bases;
        for (int i = 0; i < nFrames; i += nBlock) {
            starts.push_back(i);
            ends.push_back(std::min(nFrames, i + nBlock));
            bases.push_back(size_t(i));
        }
        std::vector<FramePoles> poles(static_cast<size_t>(nFrames));
        if (!AnalyseRuns(analyser, source, nCount, starts, ends, bases, nThreads, poles.data()))
            return analysis::EOutcome::SourceFailed;
        FollowFormants(poles, settings.nFormants, analyser.Ceiling());
        const size_t nPer = size_t(settings.nFormants);
        frames.nFormants = settings.nFormants;
        frames.dCeilingHz = analyser.Ceiling();
        frames.time_s.resize(size_t(nFrames));
        frames.hz.assign(size_t(nFrames) * nPer, 0.0);
        frames.bandwidth_hz.assign(size_t(nFrames) * nPer, 0.0);
        for (size_t i = 0; i < size_t(nFrames); ++i) {
            frames.time_s[i] = double(i) * settings.dStepS;
            for (int j = 0; j < poles[i].nFound; ++j) {
                frames.hz[i * nPer + size_t(j)] = poles[i].hz[j];
                frames.bandwidth_hz[i * nPer + size_t(j)] = poles[i].bandwidth[j];
            }
        }
    } catch (const std::bad_alloc&) {
        frames = FormantFrames();
        return analysis::EOutcome::NoMemory;
    }
    return analysis::EOutcome::Done;
}

double FormantPredictor::PowerAt(double dHz) const
{
    if (!(dErrorPower > 0) || !(dCeilingHz > 0))
        return 0;
    const double w = M_PI * dHz / dCeilingHz; // radians per sample at twice the ceiling
    std::complex<double> z(1, 0);
    const std::complex<double> step(std::cos(w), -std::sin(w));
    std::complex<double> dSum = 0;
    for (int k = 0; k <= nOrder; ++k) {
        dSum += a[k] * z;
        z *= step;
    }
    const double dEmph = std::norm(1.0 - dEmphasis * step);
    const double dDen = std::norm(dSum) * dEmph;
    return dDen > 0 ? dErrorPower / dDen : 0;
}

analysis::EOutcome PredictorAt(const FormantSettings& settings, const CSampleSource& source, int nCount, int nRate,
                               double dTimeS, int nThreads, FormantPredictor& predictor)
{
    predictor = FormantPredictor();
    if (nRate <= 0 || nRate > kMaxRateHz || nCount < 0 || RefusedSetting(settings, nRate)
        || !(dTimeS >= 0 && dTimeS <= double(nCount) / nRate))
        return analysis::EOutcome::Refused;
    const int nFrames = FrameCount(settings, nCount, nRate);
    if (nFrames == 0)
        return analysis::EOutcome::NoMemory;
    try {
        CFormantAnalyser analyser; // as TrackFormants reads its frames
        AnalyserScratch scratch;
        if (!ChooseReading(settings, source, nCount, nRate, nFrames, nThreads, analyser)
            || !analyser.Predictor(source, nCount, dTimeS, scratch, predictor.a, predictor.dErrorPower))
            return analysis::EOutcome::SourceFailed;
        predictor.dCeilingHz = analyser.Ceiling();
        predictor.nOrder = analyser.Order();
        predictor.dEmphasis = analyser.Emphasis();
    } catch (const std::bad_alloc&) {
        predictor = FormantPredictor();
        return analysis::EOutcome::NoMemory;
    }
    return analysis::EOutcome::Done;
}

analysis::SoundOutcome TrackSound(const analysis::CSoundInput& input, const FormantSettings& settings, int nThreads,
                                  FormantFrames& frames)
{
    return analysis::AnalyseSoundUpTo(kMaxRateHz, input, [&](const CSampleSource& source, int nCount, int nRate) {
        return TrackFormants(settings, source, nCount, nRate, nThreads, frames);
    });
}

} // namespace sonavel::formants
