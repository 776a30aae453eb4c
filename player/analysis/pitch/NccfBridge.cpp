#include "player/analysis/pitch/NccfBridge.h"

#include <cmath>
#include <cstddef>

namespace sonavel::pitch {

namespace {

const size_t kMostFrames = 4;   // the longest run bridged
const float kAgree = 0.15f;     // the pitches either side agree this near, in log Hz
const float kNear = 0.1f;       // a frame's candidate lies this near the line between them
const float kStrength = 0.3f;   // and is at least this strong

// The candidate of frame f nearest fLog within kNear and kStrength strong, as
// a state (k + 1), or 0 for none.
uint8_t NearestState(const CFrameCandidates& f, float fLog)
{
    uint8_t nState = 0;
    float fBest = kNear;
    for (int k = 0; k < f.nCount; ++k) {
        const float d = std::fabs(f.fLogHz[k] - fLog);
        if (d < fBest && f.fStrength[k] >= kStrength) {
            fBest = d;
            nState = uint8_t(k + 1);
        }
    }
    return nState;
}

} // namespace

void BridgeDropouts(CFrameRun frames, std::vector<uint8_t>& states)
{
    const size_t n = states.size();
    uint8_t found[kMostFrames];
    for (size_t a = 1; a < n; ++a) {
        if (states[a] != 0 || states[a - 1] == 0)
            continue;
        // The run [a, b) of unvoiced states after a voiced one.
        size_t b = a;
        while (b < n && states[b] == 0)
            ++b;
        const size_t nRun = b - a;
        if (b < n && nRun <= kMostFrames) {
            const float fFrom = frames[a - 1].fLogHz[states[a - 1] - 1], fTo = frames[b].fLogHz[states[b] - 1];
            bool bAll = std::fabs(fTo - fFrom) <= kAgree;
            for (size_t k = 0; k < nRun && bAll; ++k) {
                const float fLine = fFrom + (fTo - fFrom) * float(k + 1) / float(nRun + 1);
                found[k] = NearestState(frames[a + k], fLine);
                bAll = found[k] != 0;
            }
            if (bAll)
                for (size_t k = 0; k < nRun; ++k)
                    states[a + k] = found[k];
        }
        a = b;
    }
}

} // namespace sonavel::pitch
