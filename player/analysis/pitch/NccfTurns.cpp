#include "player/analysis/pitch/NccfTurns.h"
#include "player/analysis/pitch/NccfLevels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/SplitWork.h"

namespace sonavel::pitch {

namespace {

const float kSameLevel = 0.5f;     // octaves between the levels of two speakers, at least
const size_t kSide = 40;           // clear frames either side of a change of speaker
const float kClearDb = 6;          // a clear frame lies this near the loudest frames around it
const double kPauseS = 0.25;       // a change with this long a run of frames with no voice lies in a pause
const float kVoicedStrength = 0.5f; // a frame with a candidate this strong may hold a voice
const double kMarginS = 0.15;      // frames this near a change with no pause may be either speaker's
const float kNearBest = 0.04f;     // a candidate this near the frame's best counts as strong
const float kMultipleMargin = 0.15f; // or this near, at two or three times its pitch
const float kMultipleNear = 0.05f; // that near two or three times, in log Hz
const float kLowReading = 0.35f;   // octaves a clear frame read an octave below a voice counts as off it
const size_t kLevelsPerThread = 1000; // fewer windows are not worth a thread

// Whether a frame may hold a voice: periodic enough for one.
bool MayBeVoiced(const CFrameCandidates& f)
{
    for (int k = 0; k < f.nCount; ++k)
        if (f.fStrength[k] >= kVoicedStrength)
            return true;
    return false;
}

// The pitch of a clear frame, in octaves: the highest of its candidates that
// is as strong as the best, since a voice correlates as well at two periods as
// at one; or nearly as strong, where it lies at two or three times the best's
// pitch: in noise a voice's own period can lose a little to twice or three
// times it, and a level read that low would end the turn of a speaker who
// never left.
float ClearOctaves(const CFrameCandidates& f, float fBest)
{
    float fLog = -std::numeric_limits<float>::infinity(), fBestLog = 0;
    for (int k = 0; k < f.nCount; ++k)
        if (f.fStrength[k] == fBest)
            fBestLog = f.fLogHz[k];
    for (int k = 0; k < f.nCount; ++k) {
        const float fAbove = f.fLogHz[k] - fBestLog;
        const bool bMultiple = std::fabs(fAbove - std::log(2.0f)) < kMultipleNear ||
                               std::fabs(fAbove - std::log(3.0f)) < kMultipleNear;
        if (f.fStrength[k] >= fBest - (bMultiple ? kMultipleMargin : kNearBest))
            fLog = std::max(fLog, f.fLogHz[k]);
    }
    return fLog / std::log(2.0f);
}

// How far a clear frame's pitch lies from a voice's level, in octaves. In
// noise a voice's clear frames often read an octave low, and a speaker's
// last syllable read so is still his, not that of the next speaker half an
// octave below him: a frame an octave below a level lies kLowReading from it.
float FromVoice(float fClear, float fLevel)
{
    return std::min(std::fabs(fClear - fLevel), std::fabs(fClear - fLevel + 1) + kLowReading);
}

// The level of every kSide clear frames in a row: levels[j] of clear[j .. j + kSide),
// worked out in as many parts as there are threads, each sliding its own window.
std::vector<float> WindowLevels(const std::vector<float>& clear, int nThreads)
{
    std::vector<float> levels;
    if (clear.size() < kSide)
        return levels;
    levels.resize(clear.size() - kSide + 1);
    const int nParts = int(std::clamp<size_t>(levels.size() / kLevelsPerThread, 1, size_t(std::max(1, nThreads))));
    sonavel::RunSplit(levels.size(), nParts, [&](size_t nBegin, size_t nEnd) {
        std::vector<float> window(clear.begin() + std::ptrdiff_t(nBegin),
                                  clear.begin() + std::ptrdiff_t(nBegin + kSide));
        std::sort(window.begin(), window.end());
        for (size_t j = nBegin; j < nEnd; ++j) {
            levels[j] = VoiceLevel(window);
            if (j + 1 == nEnd)
                break;
            window.erase(std::lower_bound(window.begin(), window.end(), clear[j]));
            window.insert(std::upper_bound(window.begin(), window.end(), clear[j + kSide]), clear[j + kSide]);
        }
    });
    return levels;
}

} // namespace

std::vector<CTurn> SpeakerTurns(CFrameRun frames, double dStep, const std::vector<float>& loud, int nThreads)
{
    const size_t n = frames.size();
    std::vector<float> clear; // the clear frames' pitch, in octaves
    std::vector<uint32_t> at; // and their frames (a track holds at most 2e8)
    for (size_t i = 0; i < n; ++i) {
        const CFrameCandidates& f = frames[i];
        float fBest = 0;
        for (int k = 0; k < f.nCount; ++k)
            fBest = std::max(fBest, f.fStrength[k]);
        if (fBest > 0.8f && f.fLowShare > 0.5f && f.fEnergyDb > loud[i] - kClearDb) {
            clear.push_back(ClearOctaves(f, fBest));
            at.push_back(uint32_t(i));
        }
    }
    // A place j lies between clear frames j - 1 and j; its sides, the kSide
    // clear frames before and after it, lie apart where their levels do. A run
    // of such places holds one change of speaker: the levels before its first
    // place and after its last are the two voices', and the change lies where
    // fewest clear frames between them lie nearer the other voice.
    const std::vector<float> levels = WindowLevels(clear, nThreads);
    std::vector<CTurn> turns{CTurn()};
    const size_t nMargin = size_t(std::ceil(kMarginS / dStep)), nPause = size_t(std::ceil(kPauseS / dStep));
    size_t nRun = 0; // the first place of the run, 0 for none
    for (size_t j = kSide; j + kSide <= clear.size(); ++j) {
        const bool bApart = std::fabs(levels[j] - levels[j - kSide]) > kSameLevel;
        if (bApart && nRun == 0)
            nRun = j;
        if (nRun == 0 || (bApart && j + kSide < clear.size()))
            continue;
        const size_t nRunEnd = bApart ? j : j - 1;
        const float fFrom = levels[nRun - kSide], fTo = levels[nRunEnd];
        const auto Side = [&](size_t q) { return FromVoice(clear[q], fTo) < FromVoice(clear[q], fFrom) ? 1 : -1; };
        int nWrong = 0; // with the change at the run's first place less kSide
        for (size_t q = nRun - kSide; q < nRunEnd + kSide; ++q)
            nWrong += Side(q) < 0;
        size_t nAt = nRun - kSide;
        int nFewest = nWrong;
        for (size_t q = nRun - kSide; q < nRunEnd + kSide; ++q) {
            nWrong += Side(q); // clear frame q now lies before the change
            if (nWrong < nFewest) {
                nAt = q + 1;
                nFewest = nWrong;
            }
        }
        nRun = 0;
        if (nAt == 0 || nAt >= clear.size())
            continue;
        // In a pause the turn changes in its middle; where the voices meet
        // with no pause, the frames between the clear ones and near them may
        // be either's. A pause is a run of frames with no voice in them: the
        // frames between clear ones may hold a soft voice (beside a loud one,
        // none of its frames is clear) or the speech in the background.
        CTurn turn;
        const size_t a = at[nAt - 1] + 1, b = at[nAt];
        size_t nQuiet = 0, nQuietEnd = a; // the longest run of frames with no voice in [a, b)
        for (size_t i = a, nRunFirst = a; i < b; ++i) {
            if (MayBeVoiced(frames[i]))
                nRunFirst = i + 1;
            else if (i + 1 - nRunFirst > nQuiet) {
                nQuiet = i + 1 - nRunFirst;
                nQuietEnd = i + 1;
            }
        }
        if (nQuiet >= nPause) {
            turn.nFirst = nQuietEnd - nQuiet / 2;
        } else {
            turn.nFirst = (a + b) / 2;
            turn.nSharedFirst = std::max(a, turns.back().nFirst + nMargin) - nMargin;
            turn.nSharedEnd = std::min(b + nMargin, n);
        }
        if (turn.nFirst > turns.back().nFirst)
            turns.push_back(turn);
    }
    return turns;
}

} // namespace sonavel::pitch
