#include "player/analysis/voice/VoiceReport.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <thread>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/core/SplitWork.h"
#include "player/analysis/voice/CHeldSamples.h"

namespace sonavel::voice {

using analysis::EOutcome;

namespace {

const double kPitchStepS = 0.01;
const double kHeldS = 5;       // sound held at a time by a walk along the pulses
const double kF0ReachS = 0.02; // a frame's f0 from the pulses this near it

bool Finite(double d) { return std::isfinite(d); }

// f0 of each voiced frame: from the pulses' periods around it where it has any
// (they are the cycles measured, and a track an octave off is not
// followed), else the track's.
void F0Statistics(const pitch::PitchFrames& track, const GlottalPulses& pulses, double dLongestS,
                  VoiceReport& report)
{
    std::vector<double> f0;
    const std::vector<double>& t = pulses.time_s;
    for (size_t i = 0; i < track.pitch_hz.size(); ++i) {
        if (!(track.pitch_hz[i] > 0))
            continue;
        const auto first = std::lower_bound(t.begin(), t.end(), track.time_s[i] - kF0ReachS);
        const auto last = std::upper_bound(first, t.end(), track.time_s[i] + kF0ReachS);
        double dSum = 0;
        int n = 0;
        for (auto it = first; it + 1 < last; ++it)
            if (*(it + 1) - *it <= dLongestS) {
                dSum += *(it + 1) - *it;
                ++n;
            }
        f0.push_back(n > 0 ? n / dSum : track.pitch_hz[i]);
    }
    if (!track.pitch_hz.empty())
        report.dUnvoicedFraction = 1 - double(f0.size()) / double(track.pitch_hz.size());
    if (f0.empty())
        return;
    double dSum = 0;
    for (double f : f0)
        dSum += f;
    const double dMean = dSum / double(f0.size());
    report.dF0MeanHz = dMean;
    if (f0.size() > 1) {
        double dSquares = 0;
        for (double f : f0)
            dSquares += (f - dMean) * (f - dMean);
        report.dF0SdHz = std::sqrt(dSquares / double(f0.size() - 1));
    }
    std::sort(f0.begin(), f0.end());
    const size_t n = f0.size();
    report.dF0MedianHz = n % 2 ? f0[n / 2] : 0.5 * (f0[n / 2 - 1] + f0[n / 2]);
}

// The harmonicity frames of the span, in fixed blocks shared among threads.
bool HarmonicityOf(const CSampleSource& source, int nCount, int nRate, const pitch::PitchFrames& track,
                   const PulseRange& range, const GlottalPulses& pulses, const HarmonicitySettings& settings,
                   int nThreads, HarmonicityFrames& frames)
{
    const size_t nFrames = HarmonicityFrameCount(settings, nCount, nRate);
    frames.time_s.assign(nFrames, 0.0);
    frames.db.assign(nFrames, kUnvoicedDb);
    const size_t nBlock = std::max<size_t>(1, size_t(std::lround(kHeldS / settings.dStepS)));
    const size_t nBlocks = (nFrames + nBlock - 1) / nBlock;
    std::vector<char> ok(nBlocks, 1);
    analysis::RunSplit(nBlocks, std::max(1, std::min(nThreads, int(nBlocks))), [&](size_t b0, size_t b1) {
        CHeldSamples samples(source, nCount, int(nRate * (kHeldS + 1)));
        for (size_t b = b0; b < b1; ++b)
            if (!TrackHarmonicity(samples, nRate, track, range, pulses, settings, b * nBlock,
                                  std::min(nFrames, (b + 1) * nBlock), frames)) {
                ok[b] = 0;
                return;
            }
    });
    return std::all_of(ok.begin(), ok.end(), [](char c) { return c != 0; });
}

} // namespace

analysis::SettingRefusal RefusedSetting(const VoiceSettings& s)
{
    pitch::PitchSettings p;
    p.dFloorHz = s.dFloorHz;
    p.dCeilingHz = s.dCeilingHz;
    p.dStepS = kPitchStepS;
    if (analysis::SettingRefusal refusal = pitch::RefusedSetting(p))
        return refusal;
    if (!(Finite(s.dStartS) && s.dStartS >= 0))
        return {"start", "must be a time from 0 s on"};
    if (!(Finite(s.dEndS) && s.dEndS >= 0))
        return {"end", "must be a time from 0 s on (0: the end of the sound)"};
    if (s.dEndS > 0 && !(s.dEndS > s.dStartS))
        return {"end", "must lie after the start"};
    const PerturbationLimits& l = s.limits;
    if (!(l.dShortestPeriodS > 0 && l.dLongestPeriodS > l.dShortestPeriodS && Finite(l.dLongestPeriodS) &&
          l.dMaxPeriodFactor >= 1 && Finite(l.dMaxPeriodFactor) && l.dMaxAmplitudeFactor >= 1 &&
          Finite(l.dMaxAmplitudeFactor)))
        return {"limits", "need 0 < shortest < longest period and factors of at least 1"};
    const HarmonicitySettings& h = s.harmonicity;
    if (!(h.dStepS >= 0.001 && h.dStepS <= 1 && h.dFloorHz >= 20 && h.dFloorHz <= s.dCeilingHz &&
          h.dPeriodsPerWindow >= 1 && h.dPeriodsPerWindow <= 20))
        return {"harmonicity", "needs a step of 0.001-1 s, a floor from 20 Hz up to the ceiling and 1-20 periods"};
    const CepstralSettings& c = s.cepstral;
    if (!(c.dFloorHz >= 20 && c.dFloorHz <= 1000 && c.dStepS >= 0.0005 && c.dStepS <= 1 && c.dHighestHz >= 500 &&
          c.dHighestHz <= 100000 && c.dPreEmphasisHz >= 0 && c.dPreEmphasisHz < c.dHighestHz &&
          c.dTimeSmoothingS >= 0 && c.dTimeSmoothingS <= 1 && c.dQuefrencySmoothingS >= 0 &&
          c.dQuefrencySmoothingS <= 0.01 && c.dPeakLowHz >= 20 && c.dPeakHighHz > c.dPeakLowHz &&
          c.dPeakHighHz <= c.dHighestHz))
        return {"cepstral", "settings outside what the cepstral analysis takes"};
    return {};
}

EOutcome MeasureVoice(const VoiceSettings& settings, const CSampleSource& source, int nCount, int nRate, int nThreads,
                      VoiceReport& report, VoiceTracks* pTracks)
{
    report = VoiceReport();
    if (pTracks)
        *pTracks = VoiceTracks();
    if (nRate <= 0 || nCount < 0 || RefusedSetting(settings))
        return EOutcome::Refused;
    const double dLength = double(nCount) / nRate;
    const int64_t n0 = std::llround(settings.dStartS * nRate);
    const int64_t n1 = settings.dEndS > 0 ? std::min<int64_t>(nCount, std::llround(settings.dEndS * nRate)) : nCount;
    if (n0 >= n1)
        return EOutcome::Refused;
    report.dStartS = double(n0) / nRate;
    report.dEndS = std::min(dLength, double(n1) / nRate);
    const int nSpan = int(n1 - n0);
    if (nThreads <= 0)
        nThreads = int(std::max(1u, std::thread::hardware_concurrency()));
    const COffsetSamples span(source, int(n0));
    VoiceTracks tracks;
    try {
        pitch::PitchSettings p;
        p.tracker = pitch::ETracker::Nccf;
        p.dFloorHz = settings.dFloorHz;
        p.dCeilingHz = settings.dCeilingHz;
        p.dStepS = kPitchStepS;
        const EOutcome nPitch = pitch::TrackWith(p, span, nSpan, nRate, nThreads, tracks.pitch);
        if (nPitch != EOutcome::Done)
            return nPitch;
        const PulseRange range{settings.dFloorHz, settings.dCeilingHz};
        {
            CHeldSamples samples(span, nSpan, int(nRate * kHeldS));
            if (!FindPulses(samples, nRate, tracks.pitch, range, tracks.pulses))
                return EOutcome::SourceFailed;
        }
        if (!HarmonicityOf(span, nSpan, nRate, tracks.pitch, range, tracks.pulses, settings.harmonicity, nThreads,
                           tracks.harmonicity))
            return EOutcome::SourceFailed;
        std::optional<double> dCpps;
        if (!MeasureCpps(span, nSpan, nRate, settings.cepstral, nThreads, dCpps))
            return EOutcome::SourceFailed;

        F0Statistics(tracks.pitch, tracks.pulses, 1 / settings.dFloorHz, report);
        report.nPulses = int(tracks.pulses.time_s.size());
        std::vector<double> periods, amplitudes;
        PeriodsOf(tracks.pulses, periods, amplitudes);
        report.nPeriods = CountPeriods(periods, settings.limits);
        const double dBreak = kVoiceBreakPeriods / settings.dFloorHz;
        report.nVoiceBreaks = int(std::count_if(periods.begin(), periods.end(), [&](double t) { return t > dBreak; }));
        report.jitter = MeasureJitter(periods, settings.limits);
        report.shimmer = MeasureShimmer(periods, amplitudes, settings.limits);
        report.dHnrDb = MeanHnr(tracks.harmonicity);
        report.dCppsDb = dCpps;
    } catch (const std::bad_alloc&) {
        report = VoiceReport();
        return EOutcome::NoMemory;
    }
    if (pTracks) {
        const double dOffset = report.dStartS;
        for (double& t : tracks.pitch.time_s)
            t += dOffset;
        for (double& t : tracks.pulses.time_s)
            t += dOffset;
        for (double& t : tracks.harmonicity.time_s)
            t += dOffset;
        *pTracks = std::move(tracks);
    }
    return EOutcome::Done;
}

analysis::SoundOutcome ReportVoice(const analysis::CSoundInput& input, const VoiceSettings& settings, int nThreads,
                                   VoiceReport& report, VoiceTracks* pTracks)
{
    report = VoiceReport();
    if (RefusedSetting(settings)) {
        analysis::SoundOutcome outcome;
        outcome.nOutcome = EOutcome::Refused;
        return outcome;
    }
    return analysis::AnalyseSound(input, [&](const CSampleSource& source, int nCount, int nRate) {
        return MeasureVoice(settings, source, nCount, nRate, nThreads, report, pTracks);
    });
}

} // namespace sonavel::voice
