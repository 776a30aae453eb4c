#include "player/analysis/pitch/NccfLanes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sonavel::pitch {

namespace {

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

} // namespace

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

} // namespace sonavel::pitch
