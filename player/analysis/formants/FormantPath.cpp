#include "player/analysis/formants/FormantPath.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "player/analysis/formants/FormantTrack.h"

namespace sonavel::formants {

namespace {
constexpr int kSlots = 3;        // F1-F3 are chosen; the rest are numbered above them
constexpr int kStates = 24;      // the cheapest choices kept per frame
const double kPlaceWeight = 1.0; // per unit of |ln| distance from the slot's place
const double kWidthWeight = 0.5; // per unit of bandwidth / frequency
const double kMissCost = 3.0;    // a slot left empty
// A narrow resonance passed over below a chosen one costs up to this much (0
// at 600 Hz wide): the low F1 of an /u/ or /i/ is kept rather than F2 taken
// for F1, F3 for F2 and F4 for F3, which the places alone cannot tell apart.
const double kPassOverCost = 1.0;
const double kMoveWeight = 3.0;  // per unit of |ln| change between loud neighbours
const double kMoveCap = 0.5;     // a move costs no more than this, however far
// Steps between frames this far below the file's loud ones are free: in
// silence the tract may start anywhere. Only near-silence: in noise a vowel's
// quiet frames lie 25-40 dB below its loud ones, and they need their
// neighbours most (freed below 30 dB, F2 in white noise at 20 dB erred by a
// half more).
const double kQuietBelowDb = 80;
// The widest pole each slot takes: F3's widens first in noise.
const double kSlotWidthHz[kSlots] = {kMaxBandwidthHz, kMaxBandwidthHz, kMaxCandidateBandwidthHz};

// One choice for a frame: a candidate's index per slot (-1: empty), and the
// natural log of each chosen frequency (the steps compare them by the
// hundred thousand).
struct Choice {
    std::array<int8_t, kSlots> pick;
    std::array<float, kSlots> logHz;
    float fCost;
};

// Every choice of up to nSlots candidates in rising order, the cheapest kept.
void Choices(const FramePoles& p, int nSlots, const double* place, std::vector<Choice>& out)
{
    out.clear();
    Choice c;
    c.pick.fill(-1);
    c.logHz.fill(0);
    const auto Walk = [&](auto&& self, int nSlot, int nFrom, double dCost) -> void {
        // Never past the last slot, whatever it is asked for.
        if (nSlot >= nSlots || nSlot >= kSlots) {
            c.fCost = static_cast<float>(dCost);
            out.push_back(c);
            return;
        }
        c.pick[size_t(nSlot)] = -1;
        self(self, nSlot + 1, nFrom, dCost + kMissCost);
        double dPassed = 0; // the candidates from nFrom up to k, passed over
        for (int k = nFrom; k < p.nFound; ++k) {
            if (p.bandwidth[k] <= kSlotWidthHz[nSlot]) {
                c.pick[size_t(nSlot)] = static_cast<int8_t>(k);
                const double f = p.hz[k];
                c.logHz[size_t(nSlot)] = static_cast<float>(std::log(f));
                self(self, nSlot + 1, k + 1,
                     dCost + dPassed + kPlaceWeight * std::fabs(std::log(f / place[nSlot]))
                         + kWidthWeight * p.bandwidth[k] / f);
            }
            dPassed += kPassOverCost * std::max(0.0, 1 - p.bandwidth[k] / kMaxBandwidthHz);
        }
        c.pick[size_t(nSlot)] = -1;
    };
    Walk(Walk, 0, 0, 0.0);
    if (out.size() > size_t(kStates)) {
        std::nth_element(out.begin(), out.begin() + kStates, out.end(),
                         [](const Choice& a, const Choice& b) { return a.fCost < b.fCost; });
        out.resize(size_t(kStates));
    }
}

double MoveCost(const Choice& ca, const Choice& cb, int nSlots)
{
    float d = 0;
    for (int j = 0; j < nSlots; ++j)
        if (ca.pick[size_t(j)] >= 0 && cb.pick[size_t(j)] >= 0)
            d += std::min(float(kMoveCap), std::fabs(cb.logHz[size_t(j)] - ca.logHz[size_t(j)]));
    return kMoveWeight * d;
}

float LoudLevel(const std::vector<FramePoles>& frames)
{
    std::vector<float> levels(frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        levels[i] = frames[i].fLevelDb;
    const size_t k = size_t(0.95 * double(levels.size() - 1));
    std::nth_element(levels.begin(), levels.begin() + long(k), levels.end());
    return levels[k];
}

} // namespace

void FollowFormants(std::vector<FramePoles>& frames, int nFormants, double dCeilingHz)
{
    const size_t n = frames.size();
    if (n == 0)
        return;
    const int nSlots = std::min(nFormants, kSlots);
    // A uniform tract of the length the ceiling suits has its resonances at
    // (j + 1/2) x ceiling / 5.
    double place[kSlots];
    for (int j = 0; j < kSlots; ++j)
        place[j] = (j + 0.5) * dCeilingHz / 5;
    const float fQuiet = LoudLevel(frames) - float(kQuietBelowDb);
    // The choices of every frame and, per choice, the best one before it.
    std::vector<uint32_t> first(n + 1);
    std::vector<std::array<int8_t, kSlots>> picks; // every frame's choices, for the way back
    std::vector<Choice> choices, here;
    std::vector<uint8_t> back;
    std::vector<double> total, next;
    for (size_t i = 0; i < n; ++i) {
        Choices(frames[i], nSlots, place, here);
        first[i] = static_cast<uint32_t>(picks.size());
        next.assign(here.size(), 0.0);
        const bool bLinked = i > 0 && frames[i].fLevelDb > fQuiet && frames[i - 1].fLevelDb > fQuiet;
        const size_t nPrev = i > 0 ? first[i] - first[i - 1] : 0;
        for (size_t s = 0; s < here.size(); ++s) {
            double dBest = 0;
            size_t nBest = 0;
            for (size_t q = 0; q < nPrev; ++q) {
                double d = total[q];
                if (bLinked)
                    d += MoveCost(choices[q], here[s], nSlots);
                if (q == 0 || d < dBest) {
                    dBest = d;
                    nBest = q;
                }
            }
            next[s] = dBest + here[s].fCost;
            back.push_back(static_cast<uint8_t>(nBest));
        }
        for (const Choice& c : here)
            picks.push_back(c.pick);
        choices.swap(here);
        total.swap(next);
    }
    first[n] = static_cast<uint32_t>(picks.size());
    size_t s = size_t(std::min_element(total.begin(), total.end()) - total.begin());
    for (size_t i = n; i-- > 0;) {
        const size_t nAt = first[i] + s;
        const std::array<int8_t, kSlots>& pick = picks[nAt];
        FramePoles& p = frames[i];
        FramePoles out;
        out.fLevelDb = p.fLevelDb;
        int nAbove = 0; // candidates below this are taken or passed over
        for (int j = 0; j < nSlots; ++j) {
            const int k = pick[size_t(j)];
            if (k >= 0) {
                out.hz[j] = p.hz[k];
                out.bandwidth[j] = p.bandwidth[k];
                nAbove = k + 1;
            }
        }
        out.nFound = nSlots;
        for (int k = nAbove; k < p.nFound && out.nFound < nFormants; ++k) {
            if (p.bandwidth[k] > kMaxBandwidthHz)
                continue;
            out.hz[out.nFound] = p.hz[k];
            out.bandwidth[out.nFound] = p.bandwidth[k];
            ++out.nFound;
        }
        // Trailing empty slots count as not found.
        while (out.nFound > 0 && out.hz[out.nFound - 1] <= 0)
            --out.nFound;
        p = out;
        s = back[nAt];
    }
    // F2 and F3: a median of 3 frames where all three hold the formant, so a
    // frame's choice jittered by noise gives way to its neighbours (a glide
    // passes as it is). Not F1: its dips are short and deep (a closure's 250
    // Hz between vowels at 700), and the median took the bottom frame of each.
    std::vector<float> column(n);
    for (int j = 1; j < nSlots; ++j) {
        for (size_t i = 0; i < n; ++i)
            column[i] = j < frames[i].nFound ? frames[i].hz[j] : 0.0f;
        for (size_t i = 1; i + 1 < n; ++i) {
            const float a = column[i - 1], b = column[i], c = column[i + 1];
            if (a > 0 && b > 0 && c > 0)
                frames[i].hz[j] = std::max(std::min(a, b), std::min(std::max(a, b), c));
        }
    }
    // Each slot's median is taken apart from the others', so where two lie
    // close one may pass the other: a frame's formants are put back in rising
    // order (an empty slot stays where it is).
    for (FramePoles& p : frames) {
        int present[FramePoles::kMax], nPresent = 0;
        for (int j = 0; j < p.nFound; ++j)
            if (p.hz[j] > 0)
                present[nPresent++] = j;
        for (int a = 1; a < nPresent; ++a)
            for (int b = a; b > 0 && p.hz[present[b]] < p.hz[present[b - 1]]; --b) {
                std::swap(p.hz[present[b]], p.hz[present[b - 1]]);
                std::swap(p.bandwidth[present[b]], p.bandwidth[present[b - 1]]);
            }
    }
}

} // namespace sonavel::formants
