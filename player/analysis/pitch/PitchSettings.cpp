#include "player/analysis/pitch/PitchSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstddef>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <thread>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/core/LargePages.h"
#include "common/SplitWork.h"
#include "player/analysis/pitch/CAmdfTracker.h"
#include "player/analysis/pitch/PitchFrames.h"
#include "player/analysis/pitch/NccfTracker.h"

namespace sonavel::pitch {

namespace {

struct TrackerEntry {
    ETracker tracker;
    const char* szName;
};
const TrackerEntry kTrackers[] = {{ETracker::Amdf, "amdf"}, {ETracker::Nccf, "nccf"}};

const PitchParams kAmdfDefaults;

std::string Hz(double d)
{
    char sz[64];
    std::snprintf(sz, sizeof sz, "%g Hz", d);
    return sz;
}

analysis::EOutcome TrackAmdf(const PitchSettings& settings, const CSampleSource& source, int nCount, int nRate,
                             int nThreads, PitchFrames& frames)
{
    const PitchRange range = EffectiveRange(settings);
    PitchParams params;
    params.minPitchHz = static_cast<int32_t>(range.dFloorHz);
    params.maxPitchHz = static_cast<int32_t>(range.dCeilingHz);
    // A frame every 100 samples: an hour's 1.6 million take 38 MB as doubles.
    // They are made, in large pages, on a thread of their own while the
    // tracker searches.
    const std::size_t nFrames = FrameCount(nCount);
    std::vector<int16_t> values;
    analysis::EOutcome nResult = analysis::EOutcome::NoMemory;
    try {
        analysis::ResizeInLargePages(values, nFrames);
        const int nWorkers = nThreads > 0 ? nThreads : static_cast<int>(std::thread::hardware_concurrency());
        sonavel::RunTogether(
            nWorkers,
            [&] {
                CAmdfTracker tracker;
                tracker.SetThreads(nThreads);
                tracker.SetPitchParams(params);
                nResult = tracker.TrackPitch(source, nCount, nRate, values.data());
            },
            [&] {
                analysis::ResizeInLargePages(frames.time_s, nFrames);
                for (std::size_t i = 0; i < nFrames; ++i)
                    frames.time_s[i] = FrameTime(i, nRate);
                analysis::ResizeInLargePages(frames.pitch_hz, nFrames);
                analysis::ResizeInLargePages(frames.confidence, nFrames);
            });
    } catch (const std::bad_alloc&) {
        return analysis::EOutcome::NoMemory;
    }
    if (nResult != analysis::EOutcome::Done)
        return nResult;
    for (std::size_t i = 0; i < nFrames; ++i) {
        frames.pitch_hz[i] = values[i];
        frames.confidence[i] = values[i] > 0 ? 1.0 : 0.0;
    }
    return analysis::EOutcome::Done;
}

} // namespace

PitchRange EffectiveRange(const PitchSettings& settings)
{
    PitchRange r;
    const bool bAmdf = settings.tracker == ETracker::Amdf;
    r.dFloorHz = settings.dFloorHz != 0 ? settings.dFloorHz : bAmdf ? kAmdfDefaults.minPitchHz : kNccfDefaultFloorHz;
    r.dCeilingHz = settings.dCeilingHz != 0 ? settings.dCeilingHz
                                            : bAmdf ? kAmdfDefaults.maxPitchHz : kNccfDefaultCeilingHz;
    r.dStepS = settings.dStepS != 0 ? settings.dStepS : bAmdf ? 0.0 : kNccfDefaultStepS;
    return r;
}

analysis::SettingRefusal RefusedSetting(const PitchSettings& settings)
{
    const bool bAmdf = settings.tracker == ETracker::Amdf;
    const PitchRange r = EffectiveRange(settings);
    for (const auto& [szName, dValue] : {std::pair{"floor", settings.dFloorHz}, {"ceiling", settings.dCeilingHz}}) {
        if (!std::isfinite(dValue) || dValue < 0 || (dValue == 0 && std::signbit(dValue)))
            return {szName, "must be a number of Hz above 0"};
        if (bAmdf && dValue != std::floor(dValue))
            return {szName, "the amdf tracker takes whole Hz"};
    }
    if (r.dFloorHz >= r.dCeilingHz)
        return {settings.dFloorHz != 0 ? "floor" : "ceiling",
                Hz(r.dFloorHz) + " is not below the ceiling, " + Hz(r.dCeilingHz)};
    if (bAmdf && r.dCeilingHz >= kAmdfCeilingLimitHz)
        return {"ceiling", "the amdf tracker's ceiling must be below " + Hz(kAmdfCeilingLimitHz)};
    if (!bAmdf && r.dFloorHz < kNccfFloorLimitHz)
        return {"floor", "the research tracker's floor is " + Hz(kNccfFloorLimitHz) + " at least"};
    if (bAmdf && settings.dStepS != 0)
        return {"step", "the amdf tracker's frames are always 100 samples apart"};
    if (!bAmdf && (!std::isfinite(r.dStepS) || r.dStepS < kMinStepS || r.dStepS > kMaxStepS))
        return {"step", "must lie between 0.001 and 1 seconds"};
    return {};
}

std::string RateMismatch(const PitchSettings& settings, int nRate)
{
    char sz[200];
    if (nRate > kNccfMaxRateHz) {
        std::snprintf(sz, sizeof sz, "the sample rate, %d Hz, is above the research tracker's %d Hz", nRate,
                      kNccfMaxRateHz);
        return sz;
    }
    const PitchRange range = EffectiveRange(settings);
    std::snprintf(sz, sizeof sz, "the sample rate, %d Hz, is too low for %g-%g Hz (the ceiling may be a quarter of "
                  "the rate at most)", nRate, range.dFloorHz, range.dCeilingHz);
    return sz;
}

const char* TrackerName(ETracker tracker)
{
    for (const TrackerEntry& e : kTrackers)
        if (e.tracker == tracker)
            return e.szName;
    return "";
}

bool TrackerFromName(const std::string& strName, ETracker& tracker)
{
    for (const TrackerEntry& e : kTrackers)
        if (strName == e.szName) {
            tracker = e.tracker;
            return true;
        }
    return false;
}

std::string TrackerNames()
{
    std::string s;
    for (const TrackerEntry& e : kTrackers)
        s += (s.empty() ? "" : ", ") + std::string(e.szName);
    return s;
}

analysis::EOutcome TrackWith(const PitchSettings& settings, const CSampleSource& source, int nCount, int nRate,
                             int nThreads, PitchFrames& frames)
{
    frames = PitchFrames();
    if (nRate <= 0 || nCount < 0)
        return analysis::EOutcome::Refused;
    if (RefusedSetting(settings))
        return analysis::EOutcome::Refused;
    analysis::EOutcome nResult = analysis::EOutcome::Refused;
    try {
        switch (settings.tracker) {
        case ETracker::Amdf:
            nResult = TrackAmdf(settings, source, nCount, nRate, nThreads, frames);
            break;
        case ETracker::Nccf: {
            // Its own ceiling comes down to what the rate carries; one given stands.
            PitchRange range = EffectiveRange(settings);
            if (settings.dCeilingHz == 0)
                range.dCeilingHz = std::min(range.dCeilingHz, nRate / 4.0);
            // A range the user gives narrows what is reported, never the
            // search: the tracker looks over its own range (widened to take
            // the user's in) and learns the speaker as it always does, so a
            // voice inside the range reads as it does without one; a frame
            // whose pitch lies outside is unvoiced, never an octave of it.
            PitchRange search = range;
            search.dFloorHz = std::min(range.dFloorHz, kNccfDefaultFloorHz);
            search.dCeilingHz = std::max(range.dCeilingHz, std::min(kNccfDefaultCeilingHz, nRate / 4.0));
            if (range.dFloorHz >= range.dCeilingHz) {
                nResult = analysis::EOutcome::RangeUnfit; // the floor given is past what the rate carries
                break;
            }
            nResult = TrackNccf(search, source, nCount, nRate, nThreads, frames);
            if (nResult == analysis::EOutcome::Done)
                for (size_t i = 0; i < frames.pitch_hz.size(); ++i)
                    if (frames.pitch_hz[i] < range.dFloorHz || frames.pitch_hz[i] > range.dCeilingHz)
                        frames.pitch_hz[i] = frames.confidence[i] = 0;
            break;
        }
        }
    } catch (const std::bad_alloc&) {
        nResult = analysis::EOutcome::NoMemory; // the frames, or a tracker's working vectors
    } catch (const std::length_error&) {
        nResult = analysis::EOutcome::NoMemory; // a size no allocator takes
    }
    if (nResult != analysis::EOutcome::Done)
        frames = PitchFrames();
    return nResult;
}

sonavel::analysis::SoundOutcome TrackSound(const sonavel::analysis::CSoundInput& input, const PitchSettings& settings,
                                           int nThreads, PitchFrames& frames)
{
    frames = PitchFrames();
    sonavel::analysis::SoundOutcome outcome =
        sonavel::analysis::AnalyseSound(input, [&](const CSampleSource& source, int nCount, int nRate) {
            return TrackWith(settings, source, nCount, nRate, nThreads, frames);
        });
    if (outcome.nOutcome == sonavel::analysis::EOutcome::RangeUnfit)
        outcome.strWhy = RateMismatch(settings, outcome.nRate);
    return outcome;
}

} // namespace sonavel::pitch
