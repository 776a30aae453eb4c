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
const double kOneSideS = 0.25;     // a frame clear against one side: as loud as the loudest within twice this
                                   // before it, or after it,
const float kOneSideStrength = 0.9f; // and this periodic

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

// Where fewest of the voices' frames pitch[v0, v1) lie nearer the other
// voice, with the change between pitch[k - 1] and pitch[k]: that k.
size_t FewestWrong(const std::vector<float>& pitch, size_t v0, size_t v1, float fFrom, float fTo)
{
    const auto Side = [&](size_t q) { return FromVoice(pitch[q], fTo) < FromVoice(pitch[q], fFrom) ? 1 : -1; };
    int nWrong = 0; // with the change before v0
    for (size_t q = v0; q < v1; ++q)
        nWrong += Side(q) < 0;
    size_t nAt = v0;
    int nFewest = nWrong;
    for (size_t q = v0; q < v1; ++q) {
        nWrong += Side(q); // frame q now lies before the change
        if (nWrong < nFewest) {
            nAt = q + 1;
            nFewest = nWrong;
        }
    }
    return nAt;
}

// The longest run of frames in [a, b) with no voice in them: its length, and
// one past its end into nEnd.
size_t LongestQuiet(CFrameRun frames, size_t a, size_t b, size_t& nEnd)
{
    size_t nQuiet = 0;
    nEnd = a;
    for (size_t i = a, nRunFirst = a; i < b; ++i) {
        if (MayBeVoiced(frames[i]))
            nRunFirst = i + 1;
        else if (i + 1 - nRunFirst > nQuiet) {
            nQuiet = i + 1 - nRunFirst;
            nEnd = i + 1;
        }
    }
    return nQuiet;
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
    // Beside a louder voice a softer one's frames are never within kClearDb
    // of the loudest around them: the last syllable of a soft speaker before
    // a loud one would not count, and the change would fall before it. Where
    // no pause parts two voices, the frames clear against one side of them
    // too (strongly periodic, within kClearDb of the loudest frames before
    // them or of those after them) say where the change lies, though not
    // whether there is one: in babble many of them are the background's.
    std::vector<float> oneSide(n), near; // near: the pitch of the clear frames and of those clear against one side
    std::vector<uint32_t> nearAt;
    const size_t nHalf = size_t(std::max(1.0, std::round(kOneSideS / dStep)));
    LocalLoudest(frames, nHalf, oneSide.data());
    for (size_t i = 0; i < n; ++i) {
        const CFrameCandidates& f = frames[i];
        float fBest = 0;
        for (int k = 0; k < f.nCount; ++k)
            fBest = std::max(fBest, f.fStrength[k]);
        if (fBest <= 0.8f || f.fLowShare <= 0.5f)
            continue;
        const bool bClear = f.fEnergyDb > loud[i] - kClearDb;
        const float fOneSide = std::min(oneSide[i >= nHalf ? i - nHalf : 0], oneSide[std::min(n - 1, i + nHalf)]);
        if (bClear || (fBest > kOneSideStrength && f.fEnergyDb > fOneSide - kClearDb)) {
            near.push_back(ClearOctaves(f, fBest));
            nearAt.push_back(uint32_t(i));
        }
        if (bClear) {
            clear.push_back(near.back());
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
        const size_t nAt = FewestWrong(clear, nRun - kSide, nRunEnd + kSide, fFrom, fTo);
        const uint32_t nSpanFirst = at[nRun - kSide], nSpanLast = at[nRunEnd + kSide - 1];
        nRun = 0;
        if (nAt == 0 || nAt >= clear.size())
            continue;
        // In a pause the turn changes in its middle; where the voices meet
        // with no pause, the frames between the clear ones and near them may
        // be either's. A pause is a run of frames with no voice in them: the
        // frames between clear ones may hold a soft voice (beside a loud one,
        // none of its frames is clear) or the speech in the background.
        const auto Between = [&](size_t a, size_t b) {
            CTurn turn;
            size_t nQuietEnd = a;
            const size_t nQuiet = LongestQuiet(frames, a, b, nQuietEnd);
            if (nQuiet >= nPause) {
                turn.nFirst = nQuietEnd - nQuiet / 2;
            } else {
                turn.nFirst = (a + b) / 2;
                turn.nSharedFirst = std::max(a, turns.back().nFirst + nMargin) - nMargin;
                turn.nSharedEnd = std::min(b + nMargin, n);
            }
            return turn;
        };
        CTurn turn = Between(at[nAt - 1] + 1, at[nAt]);
        if (turn.nFirst <= turns.back().nFirst)
            continue;
        // No pause parts the voices: the frames clear against one side, over
        // the same span, say where between them the change lies.
        if (turn.nSharedEnd > turn.nSharedFirst) {
            const size_t v0 = size_t(std::lower_bound(nearAt.begin(), nearAt.end(), nSpanFirst) - nearAt.begin());
            const size_t v1 = size_t(std::upper_bound(nearAt.begin(), nearAt.end(), nSpanLast) - nearAt.begin());
            const size_t nNear = FewestWrong(near, v0, v1, fFrom, fTo);
            if (nNear > 0 && nNear < near.size()) {
                const CTurn nearer = Between(nearAt[nNear - 1] + 1, nearAt[nNear]);
                if (nearer.nFirst > turns.back().nFirst)
                    turn = nearer;
            }
        }
        turns.push_back(turn);
    }
    return turns;
}

} // namespace sonavel::pitch
