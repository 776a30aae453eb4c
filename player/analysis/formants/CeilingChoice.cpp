#include "player/analysis/formants/CeilingChoice.h"

#include <algorithm>
#include <cmath>

namespace sonavel::formants {

namespace {
const double kCandidatesHz[] = {4500, 5000, 5500, 6000, 6500, 7000};
const double kLoudBelowDb = 25;   // frames this far below the loud ones do not count
const double kMissCost = 1.0;     // per missing formant of F1-F3
const double kJumpWeight = 4.0;   // per unit of |ln| change between neighbours
const double kJumpCap = 0.4;      // a jump costs no more than this, however far
const double kWidthWeight = 0.5;  // per unit of bandwidth / frequency of F1-F3
// A tract of uniform width has its formants at (n - 1/2) x spacing, and five
// of them lie below the ceiling that suits it: 5 x spacing. The spacing
// estimated from F1-F4 over the loud frames says which ceiling the voice
// needs, whatever the vowels; a ceiling further from it pays this much per
// unit of |ln| distance.
const double kSpacingPerCeiling = 5.0;
const double kSpacingWeight = 2.0;
const double kNoisySpreadDb = 35; // loud (95th percentile) over quiet (10th) frames

float LoudLevel(const std::vector<FramePoles>& frames)
{
    std::vector<float> levels;
    for (const FramePoles& p : frames)
        levels.push_back(p.fLevelDb);
    std::sort(levels.begin(), levels.end());
    return levels[size_t(0.95 * double(levels.size() - 1))] - float(kLoudBelowDb);
}

// How smooth and complete F1-F3 are over the loud frames, per frame.
double TrackCost(const std::vector<FramePoles>& frames, const std::vector<FramePoles>& first, float fLoud,
                 const std::vector<int>& runEnds)
{
    double dCost = 0;
    int nLoud = 0, nRunStart = 0;
    for (int nEnd : runEnds) {
        const FramePoles* pPrev = nullptr;
        for (int i = nRunStart; i < nEnd; ++i) {
            const FramePoles& p = frames[size_t(i)];
            if (first[size_t(i)].fLevelDb < fLoud) {
                pPrev = nullptr;
                continue;
            }
            ++nLoud;
            dCost += kMissCost * (3 - std::min(p.nFound, 3));
            for (int j = 0; j < std::min(p.nFound, 3); ++j)
                dCost += kWidthWeight * p.bandwidth[j] / p.hz[j];
            if (pPrev && pPrev->nFound >= 3 && p.nFound >= 3)
                for (int j = 0; j < 3; ++j)
                    dCost += kJumpWeight * std::min(kJumpCap, std::fabs(std::log(double(p.hz[j]) / pPrev->hz[j])));
            pPrev = &p;
        }
        nRunStart = nEnd;
    }
    return dCost / std::max(nLoud, 1);
}

// The median formant spacing of the loud frames with four formants, over
// every candidate's analysis; 0 when there are none.
double MedianSpacing(const std::vector<std::vector<FramePoles>>& probes, const std::vector<FramePoles>& first,
                     float fLoud)
{
    std::vector<double> spacings;
    for (const std::vector<FramePoles>& frames : probes)
        for (size_t i = 0; i < frames.size(); ++i) {
            const FramePoles& p = frames[i];
            if (first[i].fLevelDb < fLoud || p.nFound < 4)
                continue;
            // The least-squares spacing of F1-F4 against 1/2, 3/2, 5/2, 7/2.
            double dNum = 0, dDen = 0;
            for (int j = 0; j < 4; ++j) {
                dNum += p.hz[j] * (j + 0.5);
                dDen += (j + 0.5) * (j + 0.5);
            }
            spacings.push_back(dNum / dDen);
        }
    if (spacings.empty())
        return 0;
    std::nth_element(spacings.begin(), spacings.begin() + long(spacings.size() / 2), spacings.end());
    return spacings[spacings.size() / 2];
}

} // namespace

bool NoisyFloor(const std::vector<FramePoles>& probe)
{
    if (probe.empty())
        return false;
    std::vector<float> levels;
    for (const FramePoles& p : probe)
        levels.push_back(p.fLevelDb);
    std::sort(levels.begin(), levels.end());
    const auto at = [&](double q) { return levels[size_t(q * double(levels.size() - 1))]; };
    return at(0.95) - at(0.10) < kNoisySpreadDb;
}

std::vector<double> CandidateCeilings(int nRate)
{
    std::vector<double> out;
    for (double d : kCandidatesHz)
        if (d <= nRate / 2.0)
            out.push_back(d);
    if (out.empty())
        out.push_back(nRate / 2.0);
    return out;
}

int ChooseCeiling(const std::vector<double>& ceilings, const std::vector<std::vector<FramePoles>>& probes,
                  const std::vector<int>& runEnds)
{
    if (probes.size() < 2 || probes[0].empty())
        return 0;
    const float fLoud = LoudLevel(probes[0]);
    const double dSpacing = MedianSpacing(probes, probes[0], fLoud);
    int nBest = 0;
    double dBest = 0;
    for (size_t c = 0; c < probes.size(); ++c) {
        double dCost = TrackCost(probes[c], probes[0], fLoud, runEnds);
        if (dSpacing > 0)
            dCost += kSpacingWeight * std::fabs(std::log(ceilings[c] / (kSpacingPerCeiling * dSpacing)));
        if (c == 0 || dCost < dBest) {
            dBest = dCost;
            nBest = static_cast<int>(c);
        }
    }
    return nBest;
}

} // namespace sonavel::formants
