// The libsndfile reader's FLAC decoded in parts on several threads: the parts
// join into exactly ffmpeg's decode of either channel, and a file cut short
// gives the same samples whether decoded in parts or in one go.
#include "player/audio/CFileReader.h"
#include "player/audio/SndfileReader.h"
#include "tests/support/CScratchDir.h"
#include "tests/support/ScopedHook.h"

#include <gtest/gtest.h>

#include <vector>

using namespace sonavel::audio;
using namespace testsupport;

namespace {

struct CDecoded {
    ESndfileOutcome nOutcome;
    std::vector<int16_t> samples;
};

CDecoded Decode(const std::string& path, int64_t nPartFrames, int nIndex = 0)
{
    const int64_t nWas = SetSndfilePartFrames(nPartFrames);
    const testsupport::CAtScopeEnd restore([nWas] { SetSndfilePartFrames(nWas); });
    CFileReader file;
    EXPECT_TRUE(file.Open(path));
    SampleStore store;
    std::string strMessage;
    CDecoded d{ReadWithSndfile(file, store, strMessage, [&](int nChannels) { return nIndex < nChannels ? nIndex : -1; }),
               {}};
    if (d.nOutcome == ESndfileOutcome::Loaded) {
        CSampleLock lock(store.hSamples);
        d.samples.assign(lock.Samples(), lock.Samples() + store.sampleCount);
    }
    return d;
}

// Channel nIndex of two, as ffmpeg decodes it.
std::vector<int16_t> FfmpegOneOfTwo(const CScratchDir& dir, const std::string& path, int nIndex = 0)
{
    EXPECT_EQ(Shell("ffmpeg -v error -y -i " + Quote(path) + " -f s16le " + Quote(dir / "ff.raw")), 0);
    const std::string s = Slurp(dir / "ff.raw");
    std::vector<int16_t> v(s.size() / 4);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = int16_t(uint8_t(s[4 * i + 2 * nIndex]) | (uint8_t(s[4 * i + 2 * nIndex + 1]) << 8));
    return v;
}

TEST(SndfileReader, FlacInPartsJoinsIntoFfmpegsDecode)
{
    CScratchDir dir;
    ASSERT_EQ(Shell("sox -n -r 44100 -c 2 -b 16 " + Quote(dir / "a.wav") + " synth 6 whitenoise sine 300 vol 0.5 2>/dev/null"
                    " && flac -s -o " + Quote(dir / "a.flac") + " " + Quote(dir / "a.wav")),
              0);
    const std::vector<int16_t> theirs = FfmpegOneOfTwo(dir, dir / "a.flac");
    ASSERT_EQ(theirs.size(), 6u * 44100);
    // Parts of 5000 frames: many parts per thread, none on a FLAC block's edge.
    const CDecoded parts = Decode(dir / "a.flac", 5000);
    EXPECT_EQ(parts.nOutcome, ESndfileOutcome::Loaded);
    EXPECT_TRUE(parts.samples == theirs);
    const CDecoded second = Decode(dir / "a.flac", 5000, 1);
    EXPECT_EQ(second.nOutcome, ESndfileOutcome::Loaded);
    EXPECT_TRUE(second.samples == FfmpegOneOfTwo(dir, dir / "a.flac", 1));
    EXPECT_EQ(Decode(dir / "a.flac", 5000, 2).nOutcome, ESndfileOutcome::NoChannel);

    // Cut in the middle of the stream: later parts cannot even seek.
    ASSERT_EQ(Shell("head -c 500000 " + Quote(dir / "a.flac") + " > " + Quote(dir / "cut.flac")), 0);
    const CDecoded whole = Decode(dir / "cut.flac", int64_t(1) << 40);
    const CDecoded cut = Decode(dir / "cut.flac", 5000);
    ASSERT_EQ(cut.nOutcome, ESndfileOutcome::Loaded);
    EXPECT_GT(cut.samples.size(), 44100u);
    EXPECT_LT(cut.samples.size(), theirs.size());
    EXPECT_TRUE(cut.samples == whole.samples) << cut.samples.size() << " vs " << whole.samples.size();
    EXPECT_TRUE(std::equal(cut.samples.begin(), cut.samples.end(), theirs.begin()));
}

} // namespace
