#pragma once
// A recording of vowels whose f0 and formants are known, with its TextGrid:
// an interval tier "vowel" (each vowel labelled, the pauses between them not)
// and a point tier "mid" at each vowel's middle. For the per-interval table's
// tests, through the library and through the command line.
#include <cstdint>
#include <string>
#include <vector>

#include "player/analysis/textgrid/TextGrid.h"
#include "tools/voicesynth/CVoiceSynth.h"

namespace testsupport {

struct KnownVowel {
    const char* szLabel;
    double dF0Hz;
    double dF1Hz, dF2Hz, dF3Hz;
};

// Men's, women's and children's vowels; labels that need CSV quoting among them.
inline const std::vector<KnownVowel>& KnownVowels()
{
    static const std::vector<KnownVowel> vowels = {
        {"a", 110, 730, 1090, 2440},     {"i", 125, 270, 2290, 3010},   {"u, round", 100, 300, 870, 2240},
        {"e", 210, 530, 1840, 2480},     {"o \"back\"", 230, 570, 840, 2410}, {"\xC3\xA6", 190, 660, 1720, 2410},
        {"i", 260, 310, 2790, 3310},     {"a", 240, 850, 1220, 2810},   {"u", 180, 370, 950, 2670},
        {"e", 120, 530, 1840, 2480},
    };
    return vowels;
}

struct VowelRecording {
    int nRate = 16000;
    std::vector<int16_t> samples;
    sonavel::textgrid::TextGrid grid;
};

// Each vowel lasts dVowelS, with dPauseS of silence before it and after the last.
inline VowelRecording MakeVowelRecording(int nRate = 16000, double dVowelS = 0.3, double dPauseS = 0.15)
{
    using namespace sonavel::textgrid;
    VowelRecording rec;
    rec.nRate = nRate;
    const size_t nPause = size_t(dPauseS * nRate);
    Tier vowels{"vowel", ETierKind::Interval, 0, 0, {}, {}};
    Tier mids{"mid", ETierKind::Point, 0, 0, {}, {}};
    for (const KnownVowel& v : KnownVowels()) {
        const double dStart = double(rec.samples.size() + nPause) / nRate;
        if (dStart > 0)
            vowels.intervals.push_back({vowels.intervals.empty() ? 0.0 : vowels.intervals.back().dEnd, dStart, ""});
        rec.samples.insert(rec.samples.end(), nPause, 0);
        VoiceSynthParams params;
        params.nSampleRate = nRate;
        params.dSeconds = dVowelS;
        params.contour = {{0.0, v.dF0Hz}};
        params.formantsHz = {v.dF1Hz, v.dF2Hz, v.dF3Hz, v.dF3Hz + 900, v.dF3Hz + 1900};
        params.bandwidthsHz = {60, 80, 120, 200, 250};
        params.dJitter = 0.01;
        params.dPeak = 0.5;
        const std::vector<int16_t> voice = SynthesizeVoice(params);
        rec.samples.insert(rec.samples.end(), voice.begin(), voice.end());
        const double dEnd = double(rec.samples.size()) / nRate;
        vowels.intervals.push_back({dStart, dEnd, v.szLabel});
        mids.points.push_back({(dStart + dEnd) / 2, v.szLabel});
    }
    rec.samples.insert(rec.samples.end(), nPause, 0);
    const double dEnd = double(rec.samples.size()) / nRate;
    vowels.intervals.push_back({vowels.intervals.back().dEnd, dEnd, ""});
    vowels.dEnd = mids.dEnd = rec.grid.dEnd = dEnd;
    rec.grid.tiers = {vowels, mids};
    return rec;
}

} // namespace testsupport
