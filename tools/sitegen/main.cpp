// Writes the bundled site's recordings: synthetic voices with known pitch
// contours, in every format the player opens.
//   sitegen OUTPUT_FOLDER
#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/sitegen/SoundWriters.h"
#include "tools/voicesynth/WavFile.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace sitegen;

namespace {

struct Vowel {
    std::vector<double> formantsHz;
    std::vector<double> bandwidthsHz;
};

// Typical adult formant frequencies (F1, F2, F3).
const Vowel kMaleA{{730, 1090, 2440}, {90, 110, 160}};
const Vowel kMaleI{{270, 2290, 3010}, {60, 100, 170}};
const Vowel kMaleU{{300, 870, 2240}, {60, 90, 150}};
const Vowel kFemaleA{{850, 1220, 2810}, {100, 120, 170}};
const Vowel kFemaleI{{310, 2790, 3310}, {60, 110, 180}};

std::vector<int16_t> Voice(const Vowel& vowel, int nRate, double dSeconds,
                           std::vector<std::pair<double, double>> contour, unsigned nSeed = 1)
{
    VoiceSynthParams params;
    params.nSampleRate = nRate;
    params.dSeconds = dSeconds;
    params.contour = std::move(contour);
    params.formantsHz = vowel.formantsHz;
    params.bandwidthsHz = vowel.bandwidthsHz;
    params.dPeak = 0.6;
    params.dJitter = 0.004;   // a touch of natural irregularity
    params.nSeed = nSeed;
    std::vector<int16_t> samples = SynthesizeVoice(params);
    // 30 ms fades, so no recording starts or stops with a click.
    const size_t nFade = size_t(nRate * 0.03);
    for (size_t i = 0; i < nFade && i < samples.size(); ++i) {
        const double dGain = double(i) / double(nFade);
        samples[i] = int16_t(samples[i] * dGain);
        samples[samples.size() - 1 - i] = int16_t(samples[samples.size() - 1 - i] * dGain);
    }
    return samples;
}

std::vector<int16_t> Interleave(const std::vector<int16_t>& left, const std::vector<int16_t>& right)
{
    std::vector<int16_t> both;
    const size_t n = std::min(left.size(), right.size());
    for (size_t i = 0; i < n; ++i) {
        both.push_back(left[i]);
        both.push_back(right[i]);
    }
    return both;
}

struct Recording {
    const char* szName;
    std::function<Bytes()> fnMake;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: sitegen OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string strFolder = argv[1];
    const int kRate = 16000;

    const std::vector<Recording> recordings = {
        // Three vowels at one steady pitch: only the formants differ.
        {"vowel-a.wav", [&] { return WriteWave16(Voice(kMaleA, kRate, 1.2, {{0, 120}}), kRate); }},
        {"vowel-i.wav", [&] { return WriteWave16(Voice(kMaleI, kRate, 1.2, {{0, 120}}), kRate); }},
        {"vowel-u.wav", [&] { return WriteWave16(Voice(kMaleU, kRate, 1.2, {{0, 120}}), kRate); }},
        // The same vowel by a higher voice: harmonics twice as far apart.
        {"vowel-a-female.wav", [&] { return WriteWave16(Voice(kFemaleA, kRate, 1.2, {{0, 200}}), kRate); }},
        // Intonation: a question rises, a statement falls.
        {"rising.aif", [&] { return WriteAiff(Voice(kMaleA, kRate, 1.5, {{0.1, 100}, {1.4, 190}}), kRate); }},
        {"falling.aifc", [&] { return WriteAifcNone(Voice(kMaleA, kRate, 1.5, {{0.1, 200}, {1.4, 105}}), kRate); }},
        // A rise-fall "hat" with a pause in the middle.
        {"hat.au", [&] {
             return WriteAu16(Voice(kMaleU, kRate, 1.6,
                                    {{0.0, 110}, {0.6, 170}, {0.601, 0}, {0.85, 0}, {0.851, 160}, {1.6, 100}}),
                              kRate);
         }},
        // Coarser storage of one and the same voice.
        {"vowel-i-8bit.wav", [&] { return WriteWave8(Voice(kMaleI, kRate, 1.2, {{0, 120}}), kRate); }},
        {"telephone-mulaw.wav", [&] { return WriteWaveMuLaw(Voice(kFemaleI, 8000, 1.5, {{0, 210}, {1.5, 160}}), 8000); }},
        {"telephone-mulaw.au", [&] { return WriteAuMuLaw(Voice(kFemaleI, 8000, 1.5, {{0, 210}, {1.5, 160}}), 8000); }},
        // Two voices, one per channel: the player keeps the left (male) one.
        {"stereo-male-left.wav", [&] {
             return WriteWave16(Interleave(Voice(kMaleA, kRate, 1.2, {{0, 110}}),
                                           Voice(kFemaleI, kRate, 1.2, {{0, 210}}, 2)),
                                kRate, 2);
         }},
        // The fixed-header format in both byte orders: a 150 Hz reference tone.
        {"reference-150hz-le.pcm", [&] { return WriteFixedHeader(Voice(kMaleA, kRate, 1.0, {{0, 150}}), kRate, true); }},
        {"reference-150hz-be.pcm", [&] { return WriteFixedHeader(Voice(kMaleA, kRate, 1.0, {{0, 150}}), kRate, false); }},
        // Today's corpus formats: the same rising question, kept exactly (FLAC)
        // and with the inaudible detail left out (MP3).
        {"question.flac", [&] { return WriteEncoded(Voice(kFemaleA, kRate, 1.5, {{0.1, 170}, {1.4, 260}}), kRate, EEncoded::Flac); }},
        {"question.mp3", [&] { return WriteEncoded(Voice(kFemaleA, kRate, 1.5, {{0.1, 170}, {1.4, 260}}), kRate, EEncoded::Mp3); }},
    };

    int nFailed = 0;
    for (const Recording& recording : recordings) {
        const std::string strPath = strFolder + "/" + recording.szName;
        const Bytes bytes = recording.fnMake();
        if (bytes.empty() || !WriteBytesFile(strPath, bytes)) {
            std::fprintf(stderr, "sitegen: cannot write %s\n", strPath.c_str());
            ++nFailed;
        }
    }
    return nFailed == 0 ? 0 : 1;
}
