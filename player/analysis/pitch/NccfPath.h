#pragma once
// The research tracker's last stage: the Viterbi path through each frame's
// pitch candidates and its unvoiced state (see NccfTracker.h).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sonavel::pitch {

inline constexpr int kMaxCandidates = 5;

// What the correlation stage found in one frame.
struct CFrameCandidates {
    int nCount = 0;
    float fLag[kMaxCandidates] = {};      // in samples of the fine copy, fractional
    float fStrength[kMaxCandidates] = {}; // the NCCF at its peak, at most 1
    float fLogHz[kMaxCandidates] = {};    // the natural log of its pitch
    float fTwice[kMaxCandidates] = {};    // the coarse NCCF at twice its lag (1 beyond the range)
    float fEnergyDb = 0;                  // mean square of the fine copy, in dB
    float fLowShare = 0;                  // share of it below the coarse copy's half rate
};

// The frames of a sound, held by the caller: the tracker's are never copied.
struct CFrameRun {
    const CFrameCandidates* pFirst = nullptr;
    size_t nCount = 0;
    size_t size() const { return nCount; }
    const CFrameCandidates& operator[](size_t i) const { return pFirst[i]; }
};

struct CPathSettings {
    double dRate = 0;   // the fine copy's rate: a lag of L is dRate / L Hz
    double dMaxLag = 0; // the floor's lag
    double dStep = 0.01; // seconds from one frame to the next
    int nThreads = 1;       // at most this many work at once (the path is the same)
};

// One state per frame: 0 unvoiced, k > 0 the frame's candidate k - 1.
void ChoosePath(const CPathSettings& settings, CFrameRun frames, std::vector<uint8_t>& states);

} // namespace sonavel::pitch
