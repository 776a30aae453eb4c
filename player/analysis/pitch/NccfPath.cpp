#include "player/analysis/pitch/NccfPath.h"
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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sonavel::pitch {

namespace {

struct CCosts {
    float fLagWeight = 0.3f;    // a candidate's cost grows with its lag: halves lose
    float fVoicedBias = 0.0f;   // added to the unvoiced state's cost
    float fQuiet = 0.5f;        // a voiced frame far below the loud frames costs up to this much more,
    float fQuietDb = 12.0f;     // from this far below, the less the clearer its period (fSoft)
    float fSoft = 0.3f;         // a candidate this far below full strength pays all of it
    float fHard = 1.0f;         // and a frame fHardDb below them costs this more, however clear
    float fHardDb = 25.0f;      // (a voice's faint tail is not heard as voiced)
    float fBroad = 0.3f;        // a voiced frame with little low-frequency weight
    float fHiss = 0.6f;         // and more with next to none: a hiss (an /s/, a /z/) whose narrow band
                                // correlates at many lags, none of them a period
    float fFreq = 2.0f;         // per unit of log pitch change between frames
    float fOctave = 0.3f;       // an octave jump
    float fVoicing = 0.5f;      // into or out of voicing, where the energy changes: a voice of a
                                // frame or two (a breath's, the background's) is not worth it
    float fSteady = 0.3f;       // the same where it does not
    float fPrior = 1.0f;        // per octave beyond the speaker's own range
    float fPriorOctaves = 0.7f; // the own range: this far either side of the median
    float fReachS = 1.0f;       // a frame's level is weighed against the loudest this near
    float fSlackDb = 12.0f;     // or against the file's loud frames less this, if more
    float fTwice = 1.5f;        // per unit the NCCF at twice the lag falls short of the candidate's
    float fTwiceMargin = 0.2f;  // beyond this
    float fBackground = 0.8f;        // a voiced frame no louder than the background speech (Background)
    float fBackgroundDb = 10.0f;     // from this near its level
    float fBackgroundRangeDb = 6.0f; // in full this much nearer
    float fBackgroundS = 1.0f;       // the background's level: the quietest this near
    float fFlatDb = 6.0f;            // none where the loudest this near lie less than this above it
    float fTurnBelowDb = 30.0f;      // nor in a turn whose loud frames lie this far below the file's
    float fCross = 0.6f;        // from one speaker's voiced frame straight into the next one's, whatever their pitches
    float fAside = 0.6f;        // a voiced frame amid background speech, far below the loud frames, costs up to
    float fAsideDb = 8.0f;      // this much more from this far below them,
    float fAsideRangeDb = 8.0f; // in full this much further,
    float fAsideOctaves = 0.5f; // the more the further its pitch lies from the speaker's centre, in full this far:
                                // the background's voices are soft and seldom in the speaker's range
};

// Moves from candidate p (cost fFrom, log pitch fLog) into every lane q:
// best[q] and arg[q] take it where it costs less than what they hold. Lane 0,
// the unvoiced state, is reached for fTrans; a candidate for its distance in
// log pitch, an octave's distance costing only fOctave.
void StepFrom(int p, float fFrom, float fLog, const float* logF, float fTrans, const CCosts& c, float* best,
              int32_t* arg)
{
    const float fLn2 = 0.693147182f;
#if defined(__SSE2__)
    const __m128 from = _mm_set1_ps(fFrom), log = _mm_set1_ps(fLog), sign = _mm_set1_ps(-0.0f);
    const __m128 ln2 = _mm_set1_ps(fLn2), octave = _mm_set1_ps(c.fOctave), freq = _mm_set1_ps(c.fFreq);
    const __m128i from_p = _mm_set1_epi32(p);
    for (int q = 0; q < 8; q += 4) {
        const __m128 d = _mm_andnot_ps(sign, _mm_sub_ps(_mm_loadu_ps(logF + q), log));
        const __m128 jump = _mm_add_ps(octave, _mm_andnot_ps(sign, _mm_sub_ps(d, ln2)));
        __m128 t = _mm_mul_ps(freq, _mm_min_ps(d, jump));
        if (q == 0) // lane 0: the unvoiced state
            t = _mm_move_ss(t, _mm_set_ss(fTrans));
        const __m128 v = _mm_add_ps(from, t);
        const __m128 old = _mm_loadu_ps(best + q);
        const __m128 less = _mm_cmplt_ps(v, old);
        _mm_storeu_ps(best + q, _mm_or_ps(_mm_and_ps(less, v), _mm_andnot_ps(less, old)));
        const __m128i lessi = _mm_castps_si128(less);
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(arg + q));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(arg + q),
                         _mm_or_si128(_mm_and_si128(lessi, from_p), _mm_andnot_si128(lessi, a)));
    }
#else
    for (int q = 0; q < 8; ++q) {
        const float d = std::fabs(logF[q] - fLog);
        const float t = q == 0 ? fTrans : c.fFreq * std::min(d, c.fOctave + std::fabs(d - fLn2));
        const float v = fFrom + t;
        if (v < best[q]) {
            best[q] = v;
            arg[q] = p;
        }
    }
#endif
}

// Where one speaker hands over to the next with no pause: frames [nFirst,
// nEnd) of a path, each of them the old speaker's or the new one's, the old
// one's first. nChange: the first frame of the new one's turn.
struct CHandOver {
    size_t nFirst = 0, nChange = 0, nEnd = 0;
};

// The path through frames, with what is learnt of their speakers from the
// same frame on: the level each frame's is weighed against, the cost of a
// voice as soft as the speech in the background, how surely speech goes on in
// the background (speech, see Background), the centre of the speaker's
// range, and in a hand-over the other speaker's (others). A hand-over keeps
// two sets of lanes, the old speaker's and the new one's, each weighed against
// its own speaker's centre; the path crosses from the old to the new once, at
// any frame, and the crossing costs the same whatever the two pitches: the
// next speaker's pitch owes nothing to the last one's, so neither speaker's
// last or first syllable is pulled an octave towards the other's, and a
// syllable is heard in the range of the speaker whose it is. The change is
// found to within a syllable: the old speaker's lanes may carry the syllable
// in progress past it but start none after it, and the new one's may start
// before it only a syllable that lasts past it (in noise the next speaker's
// first syllable, read an octave low, fits the last one's range). from: room
// for each frame's way back.
void ChoosePathOf(const CPathSettings& settings, CFrameRun frames, const float* reference, const float* background,
                  const float* speech, const float* centres, const float* others,
                  const std::vector<CHandOver>& handOvers, uint32_t* from, uint8_t* states)
{
    const CCosts c;
    const size_t n = frames.size();
    if (n == 0)
        return;
    // The states of a frame in eight lanes: 0 unvoiced, 1 .. nCount the
    // candidates, the rest unused (their cost infinite), so that each step
    // below runs over all lanes at once.
    constexpr int S = 8;
    static_assert(kMaxCandidates < S, "the candidates and the unvoiced state fit the lanes");
    const float fInf = std::numeric_limits<float>::infinity();
    // Each frame's way back: the lane each state came from, four bits a
    // state, for the unvoiced state and the candidates (the lanes beyond are
    // never reached); in a hand-over, bit 3 says the new speaker's state came
    // from the old one's lanes. The old one's way back is kept apart (oldFrom).
    constexpr int kStates = kMaxCandidates + 1;
    constexpr int32_t kFromOld = 8;
    static_assert(4 * kStates <= 32 && S <= kFromOld, "a frame's way back fits a word");
    std::vector<std::vector<uint32_t>> oldFrom(handOvers.size());
    from[0] = 0;
    float cost[S], oldCost[S], logF[S] = {}, prevLogF[S] = {}, local[S], oldLocal[S], best[S], oldBest[S];
    int32_t arg[S], oldArg[S];
    int nPrev = 0;
    size_t h = 0; // the hand-over at or after frame i
    const float fLn2 = 0.693147182f;
    // The crossing from the old speaker's lanes (costs pFrom) into the new
    // one's: unvoiced to unvoiced for nothing, a change of voicing for fTrans,
    // voiced to voiced for fCross whatever the two pitches.
    const auto Cross = [&](const float* pFrom, int nFrom, float fTrans, int32_t nFlag) {
        int nVoiced = 1;
        for (int p = 2; p <= nFrom; ++p)
            if (pFrom[p] < pFrom[nVoiced])
                nVoiced = p;
        const float fVoiced = nFrom > 0 ? pFrom[nVoiced] : fInf;
        for (int q = 0; q < S; ++q) {
            const float fFromVoiced = fVoiced + (q == 0 ? fTrans : c.fCross);
            const float fFromUnvoiced = pFrom[0] + (q > 0 ? fTrans : 0);
            const float v = std::min(fFromVoiced, fFromUnvoiced);
            if (v < best[q]) {
                best[q] = v;
                arg[q] = (fFromVoiced < fFromUnvoiced ? nVoiced : 0) | nFlag;
            }
        }
    };
    for (size_t i = 0; i < n; ++i) {
        const CFrameCandidates& f = frames[i];
        while (h < handOvers.size() && handOvers[h].nEnd < i)
            ++h;
        // Old lanes live in frames nFirst .. nEnd - 1; frame nEnd may still come from them.
        const bool bOld = h < handOvers.size() && i >= handOvers[h].nFirst && i < handOvers[h].nEnd;
        const bool bFromOld = h < handOvers.size() && i > handOvers[h].nFirst && i <= handOvers[h].nEnd;
        float fBest = 0;
        for (int k = 0; k < f.nCount; ++k)
            fBest = std::max(fBest, f.fStrength[k]);
        // Voicing changes cost less where the level moves.
        const float fBefore = frames[i >= 2 ? i - 2 : 0].fEnergyDb, fAfter = frames[std::min(n - 1, i + 2)].fEnergyDb;
        const float fChange = std::clamp(std::fabs(fAfter - fBefore) / 15.0f, 0.0f, 1.0f);
        const float fTrans = c.fVoicing + c.fSteady * (1 - fChange);
        for (int k = 0; k < f.nCount; ++k)
            logF[k + 1] = f.fLogHz[k];
        const float fQuiet = std::clamp((reference[i] - f.fEnergyDb - c.fQuietDb) / 10.0f, 0.0f, 1.0f);
        const float fHard = std::clamp((reference[i] - f.fEnergyDb - c.fHardDb) / 10.0f, 0.0f, 1.0f);
        const float fAside =
            c.fAside * speech[i] * std::clamp((reference[i] - f.fEnergyDb - c.fAsideDb) / c.fAsideRangeDb, 0.0f, 1.0f);
        const float fBroad = c.fBroad * std::clamp((0.5f - f.fLowShare) / 0.3f, 0.0f, 1.0f) +
                             c.fHiss * std::clamp((0.15f - f.fLowShare) / 0.1f, 0.0f, 1.0f) + background[i];
        // What each state costs in the frame, against a speaker's centre.
        const auto Local = [&](float fCentre, float* out) {
            out[0] = c.fVoicedBias + fBest;
            for (int k = 0; k < f.nCount; ++k) {
                float v = 1 - f.fStrength[k] * (1 - c.fLagWeight * f.fLag[k] / float(settings.dMaxLag));
                v += c.fQuiet * fQuiet * std::min(1.0f, (1 - f.fStrength[k]) / c.fSoft) + c.fHard * fHard;
                v += fBroad;
                v += c.fTwice * std::max(0.0f, f.fStrength[k] - f.fTwice[k] - c.fTwiceMargin);
                // NaN without a centre: no cost.
                const float fAway = std::fabs(logF[k + 1] / fLn2 - fCentre);
                if (!std::isnan(fAway))
                    v += c.fPrior * std::max(0.0f, fAway - c.fPriorOctaves) +
                         fAside * std::min(1.0f, fAway / c.fAsideOctaves);
                out[k + 1] = v;
            }
            for (int k = f.nCount + 1; k < S; ++k)
                out[k] = fInf;
        };
        // In a hand-over the frames before the change are the old speaker's
        // turn, and the new one's centre is the other's there.
        const bool bBeforeChange = bOld && i < handOvers[h].nChange;
        Local(bBeforeChange ? others[i] : centres[i], local);
        if (bOld)
            Local(bBeforeChange ? centres[i] : others[i], oldLocal);
        if (i == 0) {
            for (int q = 0; q < S; ++q)
                cost[q] = local[q] + (q > 0 ? fTrans : 0);
        } else {
            // From the unvoiced state first, then from each candidate; the
            // first of equal costs wins.
            const bool bFirstOld = bOld && i == handOvers[h].nFirst;
            for (int q = 0; q < S; ++q) {
                best[q] = cost[0] + (q > 0 ? fTrans : 0);
                arg[q] = 0;
            }
            for (int p = 1; p <= nPrev; ++p)
                StepFrom(p, cost[p], prevLogF[p], logF, fTrans, c, best, arg);
            if (bOld && bBeforeChange && !bFirstOld) { // the new speaker ends no syllable before the change
                best[0] = cost[0];
                arg[0] = 0;
            }
            if (bOld) {
                // The old speaker's lanes go on from his own (or, in the
                // hand-over's first frame, from the path so far); the new
                // one's first frame can only be reached by the crossing.
                const float* pOld = bFirstOld ? cost : oldCost;
                std::copy(best, best + S, oldBest);
                std::copy(arg, arg + S, oldArg);
                if (!bFirstOld) {
                    // The old speaker starts no syllable after the change.
                    for (int q = 0; q < S; ++q) {
                        oldBest[q] = pOld[0] + (q > 0 ? (bBeforeChange ? fTrans : fInf) : 0);
                        oldArg[q] = 0;
                    }
                    for (int p = 1; p <= nPrev; ++p)
                        StepFrom(p, pOld[p], prevLogF[p], logF, fTrans, c, oldBest, oldArg);
                } else {
                    std::fill(best, best + S, fInf);
                }
            }
            if (bFirstOld)
                Cross(cost, nPrev, fTrans, 0);
            else if (bFromOld)
                Cross(oldCost, nPrev, fTrans, kFromOld);
            uint32_t nBack = 0;
            for (int q = 0; q < S; ++q)
                cost[q] = best[q] + local[q];
            for (int q = 0; q < kStates; ++q)
                nBack |= uint32_t(arg[q]) << (4 * q);
            from[i] = nBack;
            if (bOld) {
                uint32_t nOldBack = 0;
                for (int q = 0; q < S; ++q)
                    oldCost[q] = oldBest[q] + oldLocal[q];
                for (int q = 0; q < kStates; ++q)
                    nOldBack |= uint32_t(oldArg[q]) << (4 * q);
                oldFrom[h].push_back(nOldBack);
            }
        }
        std::copy(logF, logF + S, prevLogF);
        nPrev = f.nCount;
    }
    // The path ends in the new speaker's lanes, or in the old one's where a
    // hand-over reaches the last frame.
    int s = int(std::min_element(cost, cost + nPrev + 1) - cost);
    bool bInOld = false;
    if (h < handOvers.size() && handOvers[h].nEnd >= n && n - 1 >= handOvers[h].nFirst && n > 1) {
        const int o = int(std::min_element(oldCost, oldCost + nPrev + 1) - oldCost);
        if (oldCost[o] < cost[s]) {
            s = o;
            bInOld = true;
        }
    }
    for (size_t i = n; i-- > 0;) {
        states[i] = uint8_t(s);
        if (bInOld) {
            h = std::min(h, handOvers.size() - 1);
            while (handOvers[h].nFirst > i)
                --h;
            const CHandOver& o = handOvers[h];
            s = int(oldFrom[h][i - o.nFirst] >> (4 * s) & 7);
            bInOld = i > o.nFirst; // the hand-over's first frame came from the path before it
        } else {
            const uint32_t nArg = from[i] >> (4 * s) & 15;
            s = int(nArg & 7);
            bInOld = (nArg & kFromOld) != 0;
        }
    }
}

} // namespace

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

