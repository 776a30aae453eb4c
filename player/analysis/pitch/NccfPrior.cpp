#include "player/analysis/pitch/NccfPrior.h"
#include "player/analysis/pitch/NccfLevels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/SplitWork.h"

namespace sonavel::pitch {

namespace {

const double kPauseS = 0.25;      // a pause this long may hand over to another speaker
const double kReachS = 4.0;       // a piece's centre pools the clear frames this near, of stretches at its level
const double kLocalS = 3.3;       // and the clear frames this near of every such stretch, where there are enough
const double kPieceS = 0.25;      // a centre is worked out for each piece of a stretch this long
const float kSameLevel = 0.5f;    // octaves between the levels of one speaker's stretches
const size_t kMinClear = 5;       // clear frames a stretch needs for a level of its own
const float kNearBest = 0.04f;    // a candidate this near the frame's best counts as strong
const float kQuietestDb = 35;     // a speaker this far below the file's loud frames still has a level
const float kClearDb = 20;        // a clear frame lies this near the file's loud frames
const float kClearNearDb = 15;    // or this near the loudest frames around it
const size_t kStretchesPerThread = 500; // fewer are not worth a thread

// The clear frames of every stretch lie in one run, in frame order: a
// stretch's own are clear[nClear .. nClearEnd) (at: their frames). An hour
// has tens of thousands of stretches, and a pair of vectors each cost more
// in allocations than the rest of the work.
struct CStretch {
    size_t nFirst = 0, nLast = 0;     // frames, inclusive
    size_t nClear = 0, nClearEnd = 0; // its clear frames
    float fLevel = 0;                 // their median
    bool bLevel = false;
};

// The median of v; v is reordered.
float MedianOf(std::vector<float>& v)
{
    const size_t k = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
    return v[k];
}

// Where the median of v lies more than kSameLevel from fNear (most of v is
// another speaker's), the level of v (VoiceLevel) if that lies as far too,
// else fNear; v is reordered. Most pieces of a stretch lie at its group's
// level, and two counts find that out without ordering v: x - fNear rises
// with x, so the median (element k in order) lies above when no more than k
// elements do not, below when more than k do.
float FarLevel(std::vector<float>& v, float fNear)
{
    const size_t k = v.size() / 2;
    size_t nNotAbove = 0, nBelow = 0;
    for (float x : v) {
        nNotAbove += !(x - fNear > kSameLevel);
        nBelow += x - fNear < -kSameLevel;
    }
    if (nNotAbove > k && nBelow <= k)
        return fNear;
    std::sort(v.begin(), v.end());
    const float fLevel = VoiceLevel(v);
    return std::fabs(fLevel - fNear) > kSameLevel ? fLevel : fNear;
}

float BestStrength(const CFrameCandidates& f)
{
    float fBest = 0;
    for (int k = 0; k < f.nCount; ++k)
        fBest = std::max(fBest, f.fStrength[k]);
    return fBest;
}

// A clear frame's pitch: the highest of its candidates that is as strong as
// the best. A periodic voice correlates as well at two or three periods as at
// one, so the period is the shortest of the strong lags.
float ClearPitch(const CFrameCandidates& f, float fBest)
{
    float fLog = -std::numeric_limits<float>::infinity();
    for (int k = 0; k < f.nCount; ++k)
        if (f.fStrength[k] >= fBest - kNearBest)
            fLog = std::max(fLog, f.fLogHz[k]);
    return fLog / std::log(2.0f);
}

} // namespace

std::vector<float> OwnRangeCentres(CFrameRun frames, double dStep, float fLoud, const float* loud, int nThreads)
{
    const size_t n = frames.size();
    std::vector<float> centre(n, std::numeric_limits<float>::quiet_NaN());
    const size_t nPause = size_t(std::max(1.0, std::ceil(kPauseS / dStep)));
    const size_t nReach = size_t(std::ceil(kReachS / dStep));

    // Stretches: frames that sound like a voice, less than a pause apart.
    std::vector<CStretch> stretches;
    std::vector<float> clear; // the pitch of the clear frames, in octaves
    std::vector<uint32_t> at; // and their frames (a track holds at most 2e8)
    clear.reserve(n);         // no frame more: never moved as they grow
    at.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const CFrameCandidates& f = frames[i];
        const float fBest = BestStrength(f);
        if (f.nCount == 0 || fBest < 0.5f || f.fEnergyDb < fLoud - kQuietestDb)
            continue;
        if (stretches.empty() || i - stretches.back().nLast >= nPause)
            stretches.push_back({i, i, clear.size(), clear.size(), 0, false});
        CStretch& s = stretches.back();
        s.nLast = i;
        // Clear against the loudest frames near it too, not only the file's:
        // a soft speaker beside a loud one has clear frames and a level of
        // his own. The nearer bound keeps the babble in his pauses out.
        const float fClearFloor = std::max(std::min(fLoud - kClearDb, loud[i] - kClearNearDb), fLoud - kQuietestDb);
        if (fBest > 0.8f && f.fEnergyDb > fClearFloor && f.fLowShare > 0.5f) {
            clear.push_back(ClearPitch(f, fBest));
            at.push_back(uint32_t(i));
            s.nClearEnd = clear.size();
        }
    }
    std::vector<float> group;
    for (CStretch& s : stretches) {
        s.bLevel = s.nClearEnd - s.nClear >= kMinClear;
        if (s.bLevel) {
            group.assign(clear.begin() + std::ptrdiff_t(s.nClear), clear.begin() + std::ptrdiff_t(s.nClearEnd));
            s.fLevel = MedianOf(group);
        }
    }
    // Each stretch's centre from its neighbours at its own level; a stretch
    // too short for a level takes every neighbour's clear frames. Each piece
    // of a stretch takes the median of their clear frames near it, and the
    // median of the clear frames nearer still instead, where there are enough
    // and it lies at another level: in babble the pauses between speakers
    // are not heard, and one stretch holds both.
    // Each stretch's centre reads the others and writes only its own frames,
    // so an hour's thousand and more are shared out among the threads.
    const size_t nLocal = size_t(std::ceil(kLocalS / dStep));
    const size_t nPiece = size_t(std::max(1.0, std::round(kPieceS / dStep)));
    const size_t nMostParts = size_t(std::max(1, nThreads));
    const int nParts = int(std::clamp<size_t>(stretches.size() / kStretchesPerThread, 1, nMostParts));
    sonavel::RunSplit(stretches.size(), nParts, [&](size_t nBegin, size_t nEnd) {
        std::vector<float> group, local, near, seq;
        std::vector<uint32_t> seqAt;
        std::vector<const CStretch*> members;
        size_t nLo = 0;
        for (size_t nStretch = nBegin; nStretch < nEnd; ++nStretch) {
            const CStretch& s = stretches[nStretch];
            while (stretches[nLo].nLast + nReach < s.nFirst)
                ++nLo;
            seq.clear();
            seqAt.clear();
            members.clear();
            for (size_t t = nLo; t < stretches.size() && stretches[t].nFirst <= s.nLast + nReach; ++t) {
                const CStretch& o = stretches[t];
                if (!s.bLevel || (o.bLevel && std::fabs(o.fLevel - s.fLevel) <= kSameLevel)) {
                    seq.insert(seq.end(), clear.begin() + std::ptrdiff_t(o.nClear),
                               clear.begin() + std::ptrdiff_t(o.nClearEnd));
                    seqAt.insert(seqAt.end(), at.begin() + std::ptrdiff_t(o.nClear),
                                 at.begin() + std::ptrdiff_t(o.nClearEnd));
                    members.push_back(&o);
                }
            }
            if (seq.size() < kMinClear)
                continue;
            group.assign(seq.begin(), seq.end());
            const float fGroup = MedianOf(group);
            // The members' clear frames within nFrames of frame m, into out.
            const auto Near = [&](size_t m, size_t nFrames, std::vector<float>& out) {
                out.clear();
                for (const CStretch* o : members) {
                    const auto atEnd = at.begin() + std::ptrdiff_t(o->nClearEnd);
                    const auto lo =
                        std::lower_bound(at.begin() + std::ptrdiff_t(o->nClear), atEnd, m > nFrames ? m - nFrames : 0);
                    const auto hi = std::upper_bound(lo, atEnd, m + nFrames);
                    const auto first = clear.begin() + (lo - at.begin());
                    out.insert(out.end(), first, first + (hi - lo));
                }
            };
            // The group's clear frames within nReach of each piece, kept in
            // order as the pieces move on: seq[nIn .. nOut) (the members'
            // clear frames, in time order) in near, sorted.
            near.clear();
            size_t nIn = 0, nOut = 0;
            for (size_t a = s.nFirst; a <= s.nLast; a += nPiece) {
                const size_t b = std::min(s.nLast + 1, a + nPiece), m = (a + b) / 2;
                // The group's clear frames near the piece, not the whole
                // group's: a long stretch (speech over babble) may run on
                // into the next speaker's, and his frames reach only the
                // pieces near him. Their level, not their median: in noise
                // many of them read at half the voice's pitch.
                for (; nOut < seq.size() && seqAt[nOut] <= m + nReach; ++nOut)
                    near.insert(std::upper_bound(near.begin(), near.end(), seq[nOut]), seq[nOut]);
                for (; nIn < nOut && seqAt[nIn] + nReach < m; ++nIn)
                    near.erase(std::lower_bound(near.begin(), near.end(), seq[nIn]));
                const float fNear = near.size() >= kMinClear ? VoiceLevel(near) : fGroup;
                Near(m, nLocal, local);
                const float fCentre = local.size() >= 4 * kMinClear ? FarLevel(local, fNear) : fNear;
                std::fill(centre.begin() + std::ptrdiff_t(a), centre.begin() + std::ptrdiff_t(b), fCentre);
            }
        }
    });
    return centre;
}

} // namespace sonavel::pitch
