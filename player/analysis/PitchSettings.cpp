#include "player/analysis/PitchSettings.h"

#include <cstdint>

#include "player/analysis/CSampleSource.h"
#include "player/analysis/CSignalMath.h"
#include "player/analysis/PitchFrames.h"

namespace sonavel::pitch {

namespace {

struct TrackerEntry {
    ETracker tracker;
    const char* szName;
};
const TrackerEntry kTrackers[] = {{ETracker::Amdf, "amdf"}, {ETracker::Nccf, "nccf"}};

int TrackAmdf(const PitchSettings& settings, const CSampleSource& source, int nCount, int nRate, int nThreads,
              PitchFrames& frames)
{
    if (settings.dFloorHz != 0 || settings.dCeilingHz != 0 || settings.dStepS != 0)
        return -3; // its range is fixed until the tracker takes one
    std::vector<int16_t> values(FrameCount(nCount));
    CSignalMath math;
    math.SetThreads(nThreads);
    const int nResult = math.TrackPitch(source, nCount, nRate, values.data());
    if (nResult != 0)
        return nResult;
    frames.time_s.resize(values.size());
    frames.pitch_hz.resize(values.size());
    frames.confidence.resize(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        frames.time_s[i] = FrameTime(i, nRate);
        frames.pitch_hz[i] = values[i];
        frames.confidence[i] = values[i] > 0 ? 1.0 : 0.0;
    }
    return 0;
}

} // namespace

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

int TrackWith(const PitchSettings& settings, const CSampleSource& source, int nCount, int nRate, int nThreads,
              PitchFrames& frames)
{
    frames = PitchFrames();
    if (nRate <= 0 || nCount < 0)
        return -3;
    int nResult = -3;
    switch (settings.tracker) {
    case ETracker::Amdf:
        nResult = TrackAmdf(settings, source, nCount, nRate, nThreads, frames);
        break;
    case ETracker::Nccf:
        break; // the research tracker lands here
    }
    if (nResult != 0)
        frames = PitchFrames();
    return nResult;
}

} // namespace sonavel::pitch
