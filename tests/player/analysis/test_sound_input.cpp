// The one way an analysis reads a sound (CSoundSamples, AnalyseSound) and the
// one way its failures are worded (DescribeOutcome).
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "player/analysis/core/CSoundInput.h"
#include "tests/support/CScratchDir.h"
#include "tools/voicesynth/WavFile.h"

using namespace sonavel::analysis;

namespace {

std::vector<int16_t> Ramp(int nCount)
{
    std::vector<int16_t> v(static_cast<size_t>(nCount));
    for (int i = 0; i < nCount; ++i)
        v[static_cast<size_t>(i)] = static_cast<int16_t>(i % 30000);
    return v;
}

// What an analysis was handed, call by call.
struct Call {
    bool bStreamed;
    int nCount;
    int16_t nLast; // the last sample, as fetched
};

} // namespace

// A mono 16-bit WAV is streamed from its file, another channel is loaded,
// and a WAV cut short under the stream is analysed again, loaded as it now
// is: the analysis never ends on a file that changed under it.
TEST(SoundInput, AStreamCutShortIsAnalysedAgainLoaded)
{
    testsupport::CScratchDir dir;
    const std::vector<int16_t> samples = Ramp(40000);
    ASSERT_TRUE(WriteWavFile(dir / "mono.wav", samples, 8000));
    std::vector<int16_t> stereo;
    for (int16_t s : samples)
        stereo.insert(stereo.end(), {int16_t(-s), s});
    ASSERT_TRUE(WriteBytesFile(dir / "stereo.wav", WavBytes16(stereo, 8000, 2)));

    std::vector<Call> calls;
    bool bCut = true;
    const AnalyseFn fnRecord = [&](const CSampleSource& source, int nCount, int nRate) {
        EXPECT_EQ(nRate, 8000);
        if (bCut && source.NeedsBuffer()) { // 10000 samples and the header stay
            bCut = false;
            EXPECT_EQ(::truncate((dir / "mono.wav").c_str(), 44 + 20000), 0);
        }
        std::vector<int16_t> buffer(1);
        const int16_t* p = source.Fetch(nCount - 1, 1, buffer.data());
        calls.push_back({source.NeedsBuffer(), nCount, p ? *p : int16_t(-1)});
        return p ? EOutcome::Done : EOutcome::SourceFailed;
    };
    const SoundOutcome cut = AnalyseSound(CSoundInput::File(dir / "mono.wav", 1), fnRecord);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].bStreamed && calls[0].nCount == 40000 && calls[0].nLast == -1);
    EXPECT_TRUE(!calls[1].bStreamed && calls[1].nCount == 10000 && calls[1].nLast == samples[9999]);
    EXPECT_TRUE(cut.Done() && cut.nCount == 10000 && cut.nRate == 8000);

    calls.clear();
    const SoundOutcome second = AnalyseSound(CSoundInput::File(dir / "stereo.wav", 2), fnRecord);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(!calls[0].bStreamed && calls[0].nCount == 40000 && calls[0].nLast == samples.back());
    EXPECT_TRUE(second.Done() && second.load.nChannels == 2);
}

// Each failure in one line after the file's name: the loader's own, the
// door's words where it knows more (a rate above what it takes among them),
// else the analysis's.
TEST(SoundInput, EveryFailureIsWordedOnceForItsAnalysisAndFile)
{
    const OutcomeWords words{"track the pitch", "the pitch cannot be tracked"};
    const AnalyseFn fnRefuse = [](const CSampleSource&, int, int) { return EOutcome::Refused; };
    const SoundOutcome missing = AnalyseSound(CSoundInput::File("/nonexistent/take7.wav", 1), fnRefuse);
    EXPECT_EQ(missing.nOutcome, EOutcome::NotLoaded);
    EXPECT_EQ(DescribeOutcome(missing, words, "/nonexistent/take7.wav"),
              "cannot open /nonexistent/take7.wav: No such file or directory");

    const std::vector<int16_t> samples = Ramp(100);
    const CMemorySamples held(samples.data(), 100);
    const SoundOutcome high = AnalyseSoundUpTo(40000, CSoundInput::Samples(held, 100, 48000), fnRefuse);
    EXPECT_EQ(DescribeOutcome(high, words, "a.wav"), "a.wav: a sample rate above 40000 Hz is not analysed");
    const SoundOutcome refused = AnalyseSoundUpTo(48000, CSoundInput::Samples(held, 100, 48000), fnRefuse);
    EXPECT_EQ(DescribeOutcome(refused, words, "a.wav"), "a.wav: the pitch cannot be tracked");

    SoundOutcome outcome;
    EXPECT_EQ(DescribeOutcome(outcome, words, "a.wav"), "");
    outcome.nOutcome = EOutcome::NoMemory;
    EXPECT_EQ(DescribeOutcome(outcome, words, "a.wav"), "a.wav: not enough memory to track the pitch");
}
