#include "player/analysis/pitch/NccfPath.h"
#include "player/analysis/pitch/NccfPrior.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sonavel::pitch {

namespace {

struct CCosts {
    float fLagWeight = 0.3f;    // a candidate's cost grows with its lag: halves lose
    float fVoicedBias = 0.0f;   // added to the unvoiced state's cost
    float fQuiet = 0.7f;        // a voiced frame far below the loud frames costs up to this much more,
    float fQuietDb = 12.0f;     // from this far below, the less the clearer its period (fSoft)
    float fSoft = 0.3f;         // a candidate this far below full strength pays all of it
    float fHard = 1.0f;         // and a frame fHardDb below them costs this more, however clear
    float fHardDb = 25.0f;      // (a voice's faint tail is not heard as voiced)
    float fBroad = 0.3f;        // a voiced frame with little low-frequency weight
    float fHiss = 0.6f;         // and more with next to none: a hiss (an /s/, a /z/) whose narrow band
                                // correlates at many lags, none of them a period
    float fFreq = 2.0f;         // per unit of log pitch change between frames
    float fOctave = 0.3f;       // an octave jump
    float fVoicing = 0.1f;      // into or out of voicing, where the energy changes
    float fSteady = 0.3f;       // the same where it does not
    float fPrior = 1.0f;        // per octave beyond the speaker's own range
    float fPriorOctaves = 0.7f; // the own range: this far either side of the median
    float fReachS = 1.0f;       // a frame's level is weighed against the loudest this near
    float fSlackDb = 12.0f;     // or against the file's loud frames less this, if more
    float fTwice = 1.5f;        // per unit the NCCF at twice the lag falls short of the candidate's
    float fTwiceMargin = 0.2f;  // beyond this
};

// The loudest of the levels within nReach frames either side of each frame,
// each level first averaged with its neighbours (a lone click does not count),
// into loud (one per frame).
void LocalLoudest(CFrameRun frames, size_t nReach, std::vector<float>& loud)
{
    const size_t n = frames.size();
    loud.resize(n);
    auto Level = [&](size_t i) {
        const float fBefore = frames[i > 0 ? i - 1 : i].fEnergyDb, fAfter = frames[std::min(n - 1, i + 1)].fEnergyDb;
        return (fBefore + frames[i].fEnergyDb + fAfter) / 3;
    };
    // A running maximum: the frames whose levels fall, the front the largest.
    // It never holds more than one window's 2 nReach + 1 frames and the one
    // leaving, so a ring a frame longer serves the whole sound.
    struct CHeld {
        size_t nFrame;
        float fLevel;
    };
    const size_t nRing = 2 * nReach + 3;
    std::vector<CHeld> ring(nRing);
    size_t nFront = 0, nBack = 0, nNext = 0; // counts; the ring holds [nFront, nBack)
    for (size_t i = 0; i < n; ++i) {
        for (; nNext < n && nNext <= i + nReach; ++nNext) {
            const float fLevel = Level(nNext);
            while (nBack > nFront && ring[(nBack - 1) % nRing].fLevel <= fLevel)
                --nBack;
            ring[nBack++ % nRing] = {nNext, fLevel};
        }
        while (ring[nFront % nRing].nFrame + nReach < i)
            ++nFront;
        loud[i] = ring[nFront % nRing].fLevel;
    }
}

// The value at q (0..1) of v in order; v is reordered.
float Percentile(std::vector<float>& v, double q)
{
    if (v.empty())
        return 0;
    const size_t k = std::min(v.size() - 1, size_t(q * double(v.size())));
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
    return v[k];
}

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

void ChoosePath(const CPathSettings& settings, CFrameRun frames, std::vector<uint8_t>& states)
{
    const CCosts c;
    const size_t n = frames.size();
    states.resize(n);
    if (n == 0)
        return;

    // The loud frames' level, and the speaker's own range near each frame.
    // The levels are ordered in the room the local loudest then take: an
    // hour's every new megabyte costs milliseconds to fault in.
    std::vector<float> loud(n);
    for (size_t i = 0; i < n; ++i)
        loud[i] = frames[i].fEnergyDb;
    const float fLoud = Percentile(loud, 0.98);
    LocalLoudest(frames, size_t(std::max(1.0, c.fReachS / settings.dStep)), loud);
    std::vector<float> centres;
    if (settings.bOwnRange)
        centres = OwnRangeCentres(frames, settings.dStep, fLoud, loud, settings.nThreads);

    // The states of a frame in eight lanes: 0 unvoiced, 1 .. nCount the
    // candidates, the rest unused (their cost infinite), so that each step
    // below runs over all lanes at once.
    constexpr int S = 8;
    static_assert(kMaxCandidates < S, "the candidates and the unvoiced state fit the lanes");
    const float fInf = std::numeric_limits<float>::infinity();
    // Each frame's way back: the lane each state came from, four bits a
    // state, for the unvoiced state and the candidates (the lanes beyond are
    // never reached): 1.4 MB for an hour, each page faulted in on this one
    // thread. Written for every frame after the first, so not cleared first.
    constexpr int kStates = kMaxCandidates + 1;
    static_assert(4 * kStates <= 32 && S <= 16, "a frame's way back fits a word");
    const std::unique_ptr<uint32_t[]> from(new uint32_t[n]);
    from[0] = 0;
    float cost[S], logF[S] = {}, prevLogF[S] = {}, local[S], best[S];
    int32_t arg[S];
    int nPrev = 0;
    const float fLn2 = 0.693147182f;
    for (size_t i = 0; i < n; ++i) {
        const CFrameCandidates& f = frames[i];
        const float fReference = std::max(loud[i], fLoud - c.fSlackDb);
        const float fQuiet = std::clamp((fReference - f.fEnergyDb - c.fQuietDb) / 10.0f, 0.0f, 1.0f);
        const float fHard = std::clamp((fReference - f.fEnergyDb - c.fHardDb) / 10.0f, 0.0f, 1.0f);
        const float fBroad = c.fBroad * std::clamp((0.5f - f.fLowShare) / 0.3f, 0.0f, 1.0f) +
                             c.fHiss * std::clamp((0.15f - f.fLowShare) / 0.1f, 0.0f, 1.0f);
        float fBest = 0;
        for (int k = 0; k < f.nCount; ++k)
            fBest = std::max(fBest, f.fStrength[k]);
        // Voicing changes cost less where the level moves.
        const float fBefore = frames[i >= 2 ? i - 2 : 0].fEnergyDb, fAfter = frames[std::min(n - 1, i + 2)].fEnergyDb;
        const float fChange = std::clamp(std::fabs(fAfter - fBefore) / 15.0f, 0.0f, 1.0f);
        const float fTrans = c.fVoicing + c.fSteady * (1 - fChange);

        local[0] = c.fVoicedBias + fBest;
        for (int k = 0; k < f.nCount; ++k) {
            const float fLag = f.fLag[k];
            logF[k + 1] = f.fLogHz[k];
            float v = 1 - f.fStrength[k] * (1 - c.fLagWeight * fLag / float(settings.dMaxLag));
            v += c.fQuiet * fQuiet * std::min(1.0f, (1 - f.fStrength[k]) / c.fSoft) + c.fHard * fHard;
            v += fBroad;
            v += c.fTwice * std::max(0.0f, f.fStrength[k] - f.fTwice[k] - c.fTwiceMargin);
            if (!centres.empty() && !std::isnan(centres[i]))
                v += c.fPrior * std::max(0.0f, std::fabs(logF[k + 1] / fLn2 - centres[i]) - c.fPriorOctaves);
            local[k + 1] = v;
        }
        for (int k = f.nCount + 1; k < S; ++k)
            local[k] = fInf;
        if (i == 0) {
            for (int q = 0; q < S; ++q)
                cost[q] = local[q] + (q > 0 ? fTrans : 0);
        } else {
            // From the unvoiced state first, then from each candidate; the
            // first of equal costs wins.
            for (int q = 0; q < S; ++q) {
                best[q] = cost[0] + (q > 0 ? fTrans : 0);
                arg[q] = 0;
            }
            for (int p = 1; p <= nPrev; ++p)
                StepFrom(p, cost[p], prevLogF[p], logF, fTrans, c, best, arg);
            uint32_t nBack = 0;
            for (int q = 0; q < S; ++q)
                cost[q] = best[q] + local[q];
            for (int q = 0; q < kStates; ++q)
                nBack |= uint32_t(arg[q]) << (4 * q);
            from[i] = nBack;
        }
        std::copy(logF, logF + S, prevLogF);
        nPrev = f.nCount;
    }
    int s = int(std::min_element(cost, cost + nPrev + 1) - cost);
    for (size_t i = n; i-- > 0;) {
        states[i] = uint8_t(s);
        s = int(from[i] >> (4 * s) & 15);
    }
}

} // namespace sonavel::pitch
