#pragma once
// Which pitch tracker runs, over what range and at what step: one value that the
// command line, the Python module and the measuring view share, and one entry,
// TrackWith, that runs the chosen tracker over any sample source and hands its
// frames out alike (times, Hz, confidence).
#include <string>
#include <vector>

class CSampleSource;

namespace sonavel::pitch {

enum class ETracker {
    Amdf, // the player's own: one frame per 100 samples, 70-260 Hz by default
    Nccf, // the research tracker: normalised cross-correlation, wide range
};

struct PitchSettings {
    ETracker tracker = ETracker::Nccf;
    double dFloorHz = 0;   // 0: the tracker's own lowest pitch
    double dCeilingHz = 0; // 0: the tracker's own highest pitch
    double dStepS = 0;     // 0: the tracker's own step (the AMDF's is always 100 samples)
};

// One entry per frame; a frame without pitch holds 0 Hz.
struct PitchFrames {
    std::vector<double> time_s;     // the frame's centre, seconds from the start
    std::vector<double> pitch_hz;
    std::vector<double> confidence; // 0 to 1 (the AMDF: 1 where voiced, else 0)
};

const char* TrackerName(ETracker tracker);
bool TrackerFromName(const std::string& strName, ETracker& tracker);
// "amdf, nccf": the names an option may take, for a usage or error text.
std::string TrackerNames();

// Runs the chosen tracker over samples 0 .. nCount-1 of source at nRate (> 0)
// with up to nThreads threads (0: one per core). Returns 0; -1 when working
// memory cannot be had; -2 when the source fails to give a block; -3 when the
// settings are outside what the tracker takes. frames is emptied on failure.
int TrackWith(const PitchSettings& settings, const CSampleSource& source, int nCount, int nRate,
              int nThreads, PitchFrames& frames);

} // namespace sonavel::pitch
