// The pitch command tracks a mono 16-bit WAV from the file, a block at a time;
// every other sound is loaded whole. Both must give the same track.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/model/CSignalMath.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "player/analysis/core/CWaveFileSamples.h"
#include "tests/support/CScratchDir.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/voicesynth/WavFile.h"

using namespace testsupport;

namespace {

std::string PitchCsv(const CScratchDir& dir, const std::string& strName, const std::string& strOptions = "")
{
    const std::string strOut = dir / (strName + ".csv");
    EXPECT_EQ(Shell(std::string(SONAVEL_ANALYZE) + " pitch " + strOptions + " " + Quote(dir / strName) + " > "
                    + Quote(strOut)), 0) << strName;
    return Slurp(strOut);
}

std::vector<int16_t> Voice(int nRate, double dSeconds)
{
    VoiceSynthParams p;
    p.nSampleRate = nRate;
    p.dSeconds = dSeconds;
    p.contour = {{0.0, 95.0}, {dSeconds / 2, 230.0}, {dSeconds, 140.0}};
    p.dJitter = 0.01;
    return SynthesizeVoice(p);
}

// The stereo file's first channel holds the same samples, so it is loaded; the
// length is no whole number of blocks and, at the higher rates, is split
// between threads.
TEST(PitchFromFile, EqualsTheTrackOfTheSameSamplesLoaded)
{
    CScratchDir dir;
    for (int nRate : {8000, 44100, 96000}) {
        const std::vector<int16_t> mono = Voice(nRate, 23.71);
        std::vector<int16_t> stereo;
        for (int16_t s : mono)
            stereo.insert(stereo.end(), {s, int16_t(-s)});
        ASSERT_TRUE(WriteBytesFile(dir / "mono.wav", WavBytes16(mono, nRate)));
        ASSERT_TRUE(WriteBytesFile(dir / "stereo.wav", WavBytes16(stereo, nRate, 2)));
        for (const std::string tracker : {"--tracker amdf", "--tracker nccf"}) {
            const std::string want = PitchCsv(dir, "stereo.wav", tracker);
            EXPECT_GT(want.size(), 20 * 100 * 8) << nRate;
            EXPECT_TRUE(PitchCsv(dir, "mono.wav", tracker) == want) << nRate << " " << tracker;
            EXPECT_TRUE(PitchCsv(dir, "mono.wav", tracker + " -j 1 -o " + Quote(dir / "j1")).empty());
            EXPECT_TRUE(Slurp(dir / "j1/mono.csv") == want) << nRate << " " << tracker;
        }
    }
}

// A data chunk that claims more than the file holds is not tracked from the
// file: it is loaded as before, by whichever reader takes what is there. A file
// cut after it was opened fails the track instead of giving a track of garbage.
TEST(PitchFromFile, AFileCutShortIsNeverTrackedFromTheFile)
{
    CScratchDir dir;
    const std::vector<int16_t> voice = Voice(16000, 31.3);
    std::vector<uint8_t> bytes = WavBytes16(voice, 16000);
    ASSERT_TRUE(WriteBytesFile(dir / "whole.wav", bytes));
    bytes.resize(bytes.size() - 20000);
    ASSERT_TRUE(WriteBytesFile(dir / "cut.wav", bytes));
    sonavel::analysis::CWaveFileSamples cut;
    EXPECT_FALSE(cut.Open(dir / "cut.wav"));
    const std::vector<int16_t> kept(voice.begin(), voice.end() - 10000);
    ASSERT_TRUE(WriteWavFile(dir / "kept.wav", kept, 16000));
    EXPECT_TRUE(PitchCsv(dir, "cut.wav") == PitchCsv(dir, "kept.wav"));
    EXPECT_TRUE(PitchCsv(dir, "cut.wav", "--tracker amdf") == PitchCsv(dir, "kept.wav", "--tracker amdf"));

    sonavel::analysis::CWaveFileSamples source;
    ASSERT_TRUE(source.Open(dir / "whole.wav"));
    ASSERT_EQ(::truncate((dir / "whole.wav").c_str(), 30000), 0);
    std::vector<int16_t> pitch(voice.size() / 100 + 1, 7);
    CSignalMath math;
    math.SetThreads(2);
    EXPECT_EQ(math.TrackPitch(source, source.Count(), source.Rate(), pitch.data()), sonavel::analysis::EOutcome::SourceFailed);
    EXPECT_EQ(std::vector<int16_t>(pitch.size(), 0), pitch);
}

// The one entry gives the same frames for a file (streamed when it is a mono
// 16-bit WAV, else loaded, any channel) as for its samples held, and a file
// that cannot be loaded answers the loader's own result.
TEST(PitchFromFile, TheOneEntryTracksAFileAsItsSamplesHeld)
{
    using namespace sonavel::analysis;
    using namespace sonavel::pitch;
    CScratchDir dir;
    const std::vector<int16_t> voice = Voice(22050, 6.37);
    std::vector<int16_t> stereo;
    for (int16_t s : voice)
        stereo.insert(stereo.end(), {int16_t(-s), s});
    ASSERT_TRUE(WriteWavFile(dir / "mono.wav", voice, 22050));
    ASSERT_TRUE(WriteBytesFile(dir / "stereo.wav", WavBytes16(stereo, 22050, 2)));
    const CMemorySamples held(voice.data(), int(voice.size()));
    for (const ETracker tracker : {ETracker::Amdf, ETracker::Nccf}) {
        PitchSettings settings;
        settings.tracker = tracker;
        PitchFrames want, got;
        ASSERT_TRUE(TrackSound(CSoundInput::Samples(held, int(voice.size()), 22050), settings, 2, want).Done());
        for (const CSoundInput& input : {CSoundInput::File(dir / "mono.wav", 1), CSoundInput::File(dir / "stereo.wav", 2)}) {
            const SoundOutcome outcome = TrackSound(input, settings, 2, got);
            ASSERT_TRUE(outcome.Done()) << input.Path();
            EXPECT_EQ(outcome.nRate, 22050);
            EXPECT_EQ(outcome.nCount, int(voice.size()));
            EXPECT_TRUE(got.pitch_hz == want.pitch_hz && got.time_s == want.time_s) << input.Path();
        }
    }
    PitchFrames none;
    const SoundOutcome missing = TrackSound(CSoundInput::File(dir / "none.wav", 1), PitchSettings(), 1, none);
    EXPECT_EQ(missing.nOutcome, EOutcome::NotLoaded);
    EXPECT_FALSE(missing.load.Loaded());
    EXPECT_TRUE(none.time_s.empty());
}

} // namespace
