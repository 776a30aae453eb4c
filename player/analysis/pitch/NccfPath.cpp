#include "player/analysis/pitch/NccfPath.h"
#include "player/analysis/pitch/NccfLanes.h"
#include "player/analysis/pitch/NccfLevels.h"
#include "player/analysis/pitch/NccfPrior.h"
#include "player/analysis/pitch/NccfTurns.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>

#include "common/SplitWork.h"

namespace sonavel::pitch {

void ChoosePath(const CPathSettings& settings, CFrameRun frames, std::vector<uint8_t>& states)
{
    const CCosts c;
    const size_t n = frames.size();
    states.resize(n);
    if (n == 0)
        return;

    // Where the speaker changes: a frame is clear against the loudest frames
    // a quarter second either side, never the whole file's. Each buffer of
    // frames is used twice where it can: an hour's every new megabyte costs
    // milliseconds to fault in.
    std::vector<float> reference(n);
    LocalLoudest(frames, size_t(std::max(1.0, 0.25 / settings.dStep)), reference.data());
    const std::vector<CTurn> turns = SpeakerTurns(frames, settings.dStep, reference, settings.nThreads);
    const size_t nTurns = turns.size();
    const auto End = [&](size_t t) { return t + 1 < nTurns ? turns[t + 1].nFirst : n; };
    const int nParts = int(std::clamp<size_t>(nTurns, 1, size_t(std::max(1, settings.nThreads))));

    // What is learnt of a speaker comes from his own turn: how loud he is
    // (the level of his loud frames, and of the loudest frames near each
    // frame), against which a frame's level is weighed, and his range.
    const float fNaN = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> background(n), speech(n), centres(nTurns > 1 ? n : 0);
    // The file's loud frames, the yardstick of a turn so soft it is no voice
    // (a file of one turn is its own).
    float fFileLoud = -std::numeric_limits<float>::infinity();
    if (nTurns > 1) {
        for (size_t i = 0; i < n; ++i)
            background[i] = frames[i].fEnergyDb;
        fFileLoud = Percentile(background.data(), n, 0.98);
    }
    sonavel::RunSplit(nTurns, nParts, [&](size_t nBegin, size_t nEnd) {
        std::vector<uint32_t> at;
        for (size_t t = nBegin; t < nEnd; ++t) {
            const size_t a = turns[t].nFirst, b = End(t);
            const CFrameRun turn{&frames[a], b - a};
            float* pLoud = reference.data() + a;
            float* pLevels = background.data() + a; // ordered for the loud frames' level, then the background
            for (size_t i = a; i < b; ++i)
                pLevels[i - a] = frames[i].fEnergyDb;
            const float fLoud = Percentile(pLevels, b - a, 0.98);
            LocalLoudest(turn, size_t(std::max(1.0, c.fReachS / settings.dStep)), pLoud);
            // A whole file of one speaker shares his stretches among the threads.
            std::vector<float> own =
                OwnRangeCentres(turn, settings.dStep, fLoud, pLoud, nTurns == 1 ? settings.nThreads : 1);
            if (nTurns == 1)
                centres = std::move(own);
            else
                std::copy(own.begin(), own.end(), centres.begin() + std::ptrdiff_t(a));
            for (size_t i = 0; i < b - a; ++i)
                pLoud[i] = std::max(pLoud[i], fLoud - c.fSlackDb);
            // A turn far softer than the file's loud frames (a hum, a murmur
            // in a pause) is never a voice for being as steady as its own level.
            const float fFlat = fLoud > fFileLoud - c.fTurnBelowDb ? c.fFlatDb : -std::numeric_limits<float>::infinity();
            Background(turn, settings.dStep,
                       {c.fBackground, c.fBackgroundDb, c.fBackgroundRangeDb, c.fBackgroundS, fFlat}, at, pLevels,
                       speech.data() + a);
        }
    });
    // Where one voice meets the next with no pause, a frame near the change
    // may be either speaker's: the other one's centre there is his nearest
    // the change.
    std::vector<float> others;
    for (size_t t = 1; t < nTurns; ++t) {
        const CTurn& turn = turns[t];
        if (turn.nSharedEnd <= turn.nSharedFirst)
            continue;
        if (others.empty())
            others.assign(n, fNaN);
        float fBefore = fNaN, fAfter = fNaN;
        for (size_t i = turn.nFirst; i-- > turns[t - 1].nFirst && std::isnan(fBefore);)
            fBefore = centres[i];
        for (size_t i = turn.nFirst; i < End(t) && std::isnan(fAfter); ++i)
            fAfter = centres[i];
        for (size_t i = turn.nSharedFirst; i < turn.nSharedEnd; ++i)
            others[i] = i < turn.nFirst ? fAfter : fBefore;
    }
    // One path through turns that meet with no pause (there the path itself
    // finds where one voice ends), a path of its own after a pause. 1.4 MB of
    // ways back for an hour, each page faulted in by the path that writes it,
    // so not cleared first.
    std::vector<size_t> paths; // the first turn of each
    for (size_t t = 0; t < nTurns; ++t)
        if (t == 0 || turns[t].nSharedEnd <= turns[t].nSharedFirst)
            paths.push_back(t);
    const std::unique_ptr<uint32_t[]> from(new uint32_t[n]);
    // The paths are shared out by their frames, not their number: turns that
    // meet with no pause make a few paths much longer than the rest.
    const int nPathParts = int(std::clamp<size_t>(paths.size(), 1, size_t(std::max(1, settings.nThreads))));
    std::vector<size_t> partFirst(size_t(nPathParts) + 1, paths.size()); // each part's first path
    for (size_t p = paths.size(), nPart = size_t(nPathParts); p-- > 0;)
        while (nPart > 0 && turns[paths[p]].nFirst * size_t(nPathParts) <= (nPart - 1) * n)
            partFirst[--nPart] = p;
    sonavel::RunSplit(size_t(nPathParts), nPathParts, [&](size_t nPartBegin, size_t nPartEnd) {
        for (size_t p = partFirst[nPartBegin]; p < partFirst[nPartEnd]; ++p) {
            const size_t nLast = p + 1 < paths.size() ? paths[p + 1] : nTurns;
            const size_t a = turns[paths[p]].nFirst, b = nLast < nTurns ? turns[nLast].nFirst : n;
            // The path's hand-overs, each after the last one's end.
            std::vector<CHandOver> handOvers;
            for (size_t t = paths[p] + 1; t < nLast; ++t) {
                CHandOver o;
                o.nFirst = std::max(turns[t].nSharedFirst - a, handOvers.empty() ? 1 : handOvers.back().nEnd + 1);
                o.nEnd = std::min(turns[t].nSharedEnd, b) - a;
                o.nChange = std::clamp(turns[t].nFirst - a, o.nFirst, o.nEnd);
                if (o.nEnd > o.nFirst)
                    handOvers.push_back(o);
            }
            ChoosePathOf(settings, CFrameRun{&frames[a], b - a}, reference.data() + a, background.data() + a,
                         speech.data() + a, centres.data() + a, handOvers.empty() ? nullptr : others.data() + a,
                         handOvers, from.get() + a, states.data() + a);
        }
    });
}

} // namespace sonavel::pitch

