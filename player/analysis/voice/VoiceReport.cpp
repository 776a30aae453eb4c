#include "player/analysis/voice/VoiceReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <thread>

#include "player/analysis/core/CSampleSource.h"
#include "common/SplitWork.h"
#include "player/analysis/voice/CHeldSamples.h"

namespace sonavel::voice {

using analysis::EOutcome;

namespace {

const double kPitchStepS = 0.01;
const double kHeldS = 5;       // sound held at a time by a walk along the pulses
const double kF0ReachS = 0.02; // a frame's f0 from the pulses this near it

bool Finite(double d) { return std::isfinite(d); }

// The report's pitch track: the research tracker over the floor and ceiling.
pitch::PitchSettings PitchOf(const VoiceSettings& settings)
{
    pitch::PitchSettings p;
    p.tracker = pitch::ETracker::Nccf;
    p.dFloorHz = settings.dFloorHz;
    p.dCeilingHz = settings.dCeilingHz;
    p.dStepS = kPitchStepS;
    return p;
}

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
    sonavel::RunSplit(nBlocks, std::max(1, std::min(nThreads, int(nBlocks))), [&](size_t b0, size_t b1) {
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
    if (analysis::SettingRefusal refusal = pitch::RefusedSetting(PitchOf(s)))
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

namespace {

// How much of the report a walk over a span makes.
enum class EVoiceWork { Pulses, Harmonicity, Report };

// The span's tracks (times from the span's start) and, for the report, its
// values; the report's times are the span's already.
EOutcome MeasureSpan(const VoiceSettings& settings, const CSampleSource& span, int nSpan, int nRate, int nThreads,
                     EVoiceWork work, VoiceTracks& tracks, VoiceReport& report)
{
    const EOutcome nPitch = pitch::TrackWith(PitchOf(settings), span, nSpan, nRate, nThreads, tracks.pitch);
    if (nPitch != EOutcome::Done)
        return nPitch;
    const PulseRange range{settings.dFloorHz, settings.dCeilingHz};
    {
        CHeldSamples samples(span, nSpan, int(nRate * kHeldS));
        if (!FindPulses(samples, nRate, tracks.pitch, range, tracks.pulses))
            return EOutcome::SourceFailed;
    }
    if (work == EVoiceWork::Pulses)
        return EOutcome::Done;
    if (!HarmonicityOf(span, nSpan, nRate, tracks.pitch, range, tracks.pulses, settings.harmonicity, nThreads,
                       tracks.harmonicity))
        return EOutcome::SourceFailed;
    if (work == EVoiceWork::Harmonicity)
        return EOutcome::Done;
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
    return EOutcome::Done;
}

// The span the settings name of samples 0 .. nCount-1 at nRate, measured as
// far as work asks; pTracks, when given, gets the tracks with times from the
// start of the sound.
EOutcome MeasureWork(const VoiceSettings& settings, const CSampleSource& source, int nCount, int nRate, int nThreads,
                     EVoiceWork work, VoiceReport& report, VoiceTracks* pTracks)
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
    const double dStart = double(n0) / nRate;
    if (nThreads <= 0)
        nThreads = int(std::max(1u, std::thread::hardware_concurrency()));
    const COffsetSamples span(source, int(n0));
    VoiceTracks tracks;
    try {
        const EOutcome n = MeasureSpan(settings, span, int(n1 - n0), nRate, nThreads, work, tracks, report);
        if (n != EOutcome::Done) {
            report = VoiceReport();
            return n;
        }
    } catch (const std::bad_alloc&) {
        report = VoiceReport();
        return EOutcome::NoMemory;
    }
    report.dStartS = dStart;
    report.dEndS = std::min(dLength, double(n1) / nRate);
    if (pTracks) {
        for (std::vector<double>* pTimes : {&tracks.pitch.time_s, &tracks.pulses.time_s, &tracks.harmonicity.time_s})
            for (double& t : *pTimes)
                t += dStart;
        *pTracks = std::move(tracks);
    }
    return EOutcome::Done;
}

// A door's outcome for a setting refused before any sound is read.
analysis::SoundOutcome Refusal(const analysis::SettingRefusal& refusal)
{
    analysis::SoundOutcome outcome;
    outcome.nOutcome = EOutcome::Refused;
    outcome.strWhy = std::string(refusal.szSetting) + ": " + refusal.strWhy;
    return outcome;
}

// The words of the failures a sound's own rate or length makes.
analysis::SoundOutcome Worded(analysis::SoundOutcome outcome, const VoiceSettings& settings)
{
    if (outcome.nOutcome == EOutcome::RangeUnfit) {
        outcome.strWhy = pitch::RateMismatch(PitchOf(settings), outcome.nRate);
    } else if (outcome.nOutcome == EOutcome::Refused && outcome.nRate > 0) {
        char sz[160];
        if (std::llround(settings.dStartS * outcome.nRate) >= outcome.nCount)
            std::snprintf(sz, sizeof sz, "start: %g s lies at or after the end of the sound (%g s)", settings.dStartS,
                          double(outcome.nCount) / outcome.nRate);
        else
            std::snprintf(sz, sizeof sz, "end: the span holds no sample at %d Hz", outcome.nRate);
        outcome.strWhy = sz;
    }
    return outcome;
}

} // namespace

std::array<VoiceValue, kVoiceValueCount> VoiceValues(const VoiceReport& r)
{
    const JitterValues& j = r.jitter;
    const ShimmerValues& s = r.shimmer;
    return {{
        {"f0_median_hz", r.dF0MedianHz, false},
        {"f0_mean_hz", r.dF0MeanHz, false},
        {"f0_sd_hz", r.dF0SdHz, false},
        {"pulses", double(r.nPulses), true},
        {"periods", double(r.nPeriods), true},
        {"unvoiced_fraction", r.dUnvoicedFraction, false},
        {"voice_breaks", double(r.nVoiceBreaks), true},
        {"jitter_local_pct", j.dLocalPct, false},
        {"jitter_local_abs_us", j.dLocalAbsUs, false},
        {"jitter_rap_pct", j.dRapPct, false},
        {"jitter_ppq5_pct", j.dPpq5Pct, false},
        {"jitter_ddp_pct", j.dDdpPct, false},
        {"shimmer_local_pct", s.dLocalPct, false},
        {"shimmer_local_db", s.dLocalDb, false},
        {"shimmer_apq3_pct", s.dApq3Pct, false},
        {"shimmer_apq5_pct", s.dApq5Pct, false},
        {"shimmer_apq11_pct", s.dApq11Pct, false},
        {"shimmer_dda_pct", s.dDdaPct, false},
        {"hnr_db", r.dHnrDb, false},
        {"cpps_db", r.dCppsDb, false},
    }};
}

EOutcome MeasureVoice(const VoiceSettings& settings, const CSampleSource& source, int nCount, int nRate, int nThreads,
                      VoiceReport& report, VoiceTracks* pTracks)
{
    return MeasureWork(settings, source, nCount, nRate, nThreads, EVoiceWork::Report, report, pTracks);
}

analysis::SoundOutcome ReportVoice(const analysis::CSoundInput& input, const VoiceSettings& settings, int nThreads,
                                   VoiceReport& report, VoiceTracks* pTracks)
{
    report = VoiceReport();
    if (pTracks)
        *pTracks = VoiceTracks();
    if (const analysis::SettingRefusal refusal = RefusedSetting(settings))
        return Refusal(refusal);
    return Worded(analysis::AnalyseSound(input, [&](const CSampleSource& source, int nCount, int nRate) {
        return MeasureVoice(settings, source, nCount, nRate, nThreads, report, pTracks);
    }), settings);
}

analysis::SoundOutcome TrackVoice(const analysis::CSoundInput& input, const VoiceSettings& settings, int nThreads,
                                  EVoiceTracks what, VoiceTracks& tracks)
{
    tracks = VoiceTracks();
    if (const analysis::SettingRefusal refusal = RefusedSetting(settings))
        return Refusal(refusal);
    const EVoiceWork work = what == EVoiceTracks::Pulses ? EVoiceWork::Pulses : EVoiceWork::Harmonicity;
    return Worded(analysis::AnalyseSound(input, [&](const CSampleSource& source, int nCount, int nRate) {
        VoiceReport unused;
        return MeasureWork(settings, source, nCount, nRate, nThreads, work, unused, &tracks);
    }), settings);
}

} // namespace sonavel::voice
