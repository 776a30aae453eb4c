// sonavel-analyze against an independent decoder: files written by sox, decoded
// by sox (each channel, 16-bit) and by our readers must agree sample for sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/CScratchDir.h"

using testsupport::Quote;
using testsupport::Shell;
using testsupport::Slurp;

namespace {

const std::string kAnalyze = SONAVEL_ANALYZE;

std::vector<int16_t> ReadS16(const std::string& path)
{
    const std::string s = Slurp(path);
    std::vector<int16_t> v(s.size() / 2);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = int16_t(uint8_t(s[2 * i]) | (uint8_t(s[2 * i + 1]) << 8));
    return v;
}

// Top 16 bits of each signed 32-bit little-endian sample.
std::vector<int16_t> ReadS32Top(const std::string& path)
{
    const std::string s = Slurp(path);
    std::vector<int16_t> v(s.size() / 4);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = int16_t(uint8_t(s[4 * i + 2]) | (uint8_t(s[4 * i + 3]) << 8));
    return v;
}

using CWorkDir = testsupport::CScratchDir;

struct SoxCase {
    const char* szName;
    const char* szFile;    // output name; its extension picks the format unless szOptions has -t
    const char* szOptions; // sox output options
    const char* szSignal;  // synth arguments, one per channel
    const char* szReader;  // expected reader
    const char* szMagic;   // replaces the first four bytes when not null
    bool bWide;            // wider than 16 bits: sox must round to 16
    const char* szSeconds = "0.3";
};

void PrintTo(const SoxCase& c, std::ostream* os) { *os << c.szName; }

class SoxOracle : public ::testing::TestWithParam<SoxCase> {};

TEST_P(SoxOracle, EveryChannelMatchesSoxSampleForSample)
{
    const SoxCase& c = GetParam();
    CWorkDir dir;
    const std::string file = dir / c.szFile;
    ASSERT_EQ(Shell("sox -n " + std::string(c.szOptions) + " " + Quote(file) + " synth " + c.szSeconds + " " + c.szSignal +
                  " vol 0.8 2>/dev/null"),
              0);
    if (c.szMagic) {
        std::FILE* f = std::fopen(file.c_str(), "r+b");
        ASSERT_TRUE(f);
        std::fwrite(c.szMagic, 1, 4, f);
        std::fclose(f);
    }

    // Header facts from sox itself.
    ASSERT_EQ(Shell("sox --i -r " + Quote(file) + " > " + Quote(dir / "rate") + " 2>/dev/null"), 0);
    ASSERT_EQ(Shell("sox --i -s " + Quote(file) + " > " + Quote(dir / "count") + " 2>/dev/null"), 0);
    ASSERT_EQ(Shell("sox --i -c " + Quote(file) + " > " + Quote(dir / "channels") + " 2>/dev/null"), 0);
    ASSERT_EQ(Shell("sox --i -D " + Quote(file) + " > " + Quote(dir / "duration") + " 2>/dev/null"), 0);
    const long nRate = std::lround(std::atof(Slurp(dir / "rate").c_str()));
    const long nCount = std::atol(Slurp(dir / "count").c_str());
    const int nChannels = std::atoi(Slurp(dir / "channels").c_str());

    ASSERT_EQ(Shell(kAnalyze + " info " + Quote(file) + " > " + Quote(dir / "info")), 0);
    std::ostringstream expect;
    expect << "reader=" << c.szReader << " rate=" << nRate << " samples=" << nCount << " bytes=" << 2 * nCount
           << " channels=" << nChannels << " duration=" << Slurp(dir / "duration"); // sox ends it with "\n"
    EXPECT_EQ(Slurp(dir / "info"), expect.str());

    // Without the option, the first channel, byte for byte as with it.
    ASSERT_EQ(Shell(kAnalyze + " samples " + Quote(file) + " -o " + Quote(dir / "first.raw")), 0);
    for (int nChannel = 1; nChannel <= nChannels; ++nChannel) {
        SCOPED_TRACE("channel " + std::to_string(nChannel));
        const std::string channel = std::to_string(nChannel);
        ASSERT_EQ(Shell(kAnalyze + " samples " + Quote(file) + " --channel " + channel + " -o " + Quote(dir / "ours.raw")),
                  0);
        if (nChannel == 1) {
            EXPECT_EQ(Slurp(dir / "ours.raw"), Slurp(dir / "first.raw"));
        }
        const std::string dither = c.bWide ? " -D" : "";
        ASSERT_EQ(Shell("sox" + dither + " " + Quote(file) + " -t raw -e signed -b 16 -c 1 " + Quote(dir / "sox.raw")
                        + " remix " + channel + " 2>/dev/null"),
                  0);
        const std::vector<int16_t> ours = ReadS16(dir / "ours.raw");
        const std::vector<int16_t> theirs = ReadS16(dir / "sox.raw");
        ASSERT_EQ(ours.size(), theirs.size());
        ASSERT_EQ(long(ours.size()), nCount);
        if (!c.bWide) {
            EXPECT_EQ(ours, theirs);
            continue;
        }
        // sox rounds wide samples to 16 bits; we keep the top 16 bits. They differ by
        // at most one, and equal sox's own 32-bit decoding cut to its top 16 bits.
        int nWorst = 0;
        for (std::size_t i = 0; i < ours.size(); ++i)
            nWorst = std::max(nWorst, std::abs(int(ours[i]) - int(theirs[i])));
        EXPECT_LE(nWorst, 1);
        ASSERT_EQ(Shell("sox " + Quote(file) + " -t raw -e signed -b 32 -c 1 " + Quote(dir / "sox32.raw") + " remix "
                        + channel + " 2>/dev/null"),
                  0);
        EXPECT_EQ(ours, ReadS32Top(dir / "sox32.raw"));
    }
    // One channel past the last: refused with the count.
    const std::string past = std::to_string(nChannels + 1);
    EXPECT_EQ(Shell(kAnalyze + " samples " + Quote(file) + " --channel " + past + " -o " + Quote(dir / "x.raw") + " 2> "
                    + Quote(dir / "err")),
              1);
    EXPECT_EQ(Slurp(dir / "err"), "sonavel-analyze: " + file + ": no channel " + past + ": the file has "
                                      + std::to_string(nChannels) + (nChannels == 1 ? " channel\n" : " channels\n"));
}

const char* const kStereo = "whitenoise sine 300";
const char* const kMono = "whitenoise";

INSTANTIATE_TEST_SUITE_P(
    Files, SoxOracle,
    ::testing::Values(
        SoxCase{"Wav16Mono8k", "a.wav", "-r 8000 -c 1 -b 16", kMono, "wave", nullptr, false},
        SoxCase{"Wav16Stereo44k", "a.wav", "-r 44100 -c 2 -b 16", kStereo, "wave", nullptr, false},
        SoxCase{"Wav16ThreeChannels", "a.wav", "-r 16000 -c 3 -b 16 -t wavpcm", "whitenoise sine 300 sine 500", "wave", nullptr, false},
        SoxCase{"Wav8Mono11k", "a.wav", "-r 11025 -c 1 -b 8", kMono, "wave", nullptr, false},
        SoxCase{"Wav8Stereo22k", "a.wav", "-r 22050 -c 2 -b 8", kStereo, "wave", nullptr, false},
        SoxCase{"WavMuLawMono", "a.wav", "-r 8000 -c 1 -e mu-law", kMono, "wave", nullptr, false},
        SoxCase{"WavMuLawStereo", "a.wav", "-r 8000 -c 2 -e mu-law", kStereo, "wave", nullptr, false},
        SoxCase{"Wav24Stereo48k", "a.wav", "-r 48000 -c 2 -b 24 -t wavpcm", kStereo, "wave", nullptr, true},
        // sox writes 24-bit and multi-channel files as extensible records unless told otherwise.
        SoxCase{"Wav24StereoExtensible", "a.wav", "-r 44100 -c 2 -b 24", kStereo, "wave", nullptr, true},
        SoxCase{"Wav16ThreeChannelsExtensible", "a.wav", "-r 16000 -c 3 -b 16", "whitenoise sine 300 sine 500", "wave", nullptr, false},
        SoxCase{"Wav16FourChannels", "a.wav", "-r 16000 -c 4 -b 16 -t wavpcm", "whitenoise sine 300 sine 500 sine 700",
                "wave", nullptr, false},
        SoxCase{"Wav24FourChannelsExtensible", "a.wav", "-r 48000 -c 4 -b 24", "whitenoise sine 300 sine 500 sine 700",
                "wave", nullptr, true},
        // Through libsndfile.
        SoxCase{"FlacStereo", "a.flac", "-r 44100 -c 2 -b 16", kStereo, "sndfile", nullptr, false},
        SoxCase{"SphereStereo", "a.sph", "-r 8000 -c 2 -b 16", kStereo, "sndfile", nullptr, false},
        SoxCase{"Wav32Mono96k", "a.wav", "-r 96000 -c 1 -b 32 -e signed -t wavpcm", kMono, "wave", nullptr, true},
        SoxCase{"Aiff16Mono22k", "a.aiff", "-r 22050 -c 1 -b 16", kMono, "aiff", nullptr, false},
        SoxCase{"Aiff8Mono8k", "a.aiff", "-r 8000 -c 1 -b 8", kMono, "aiff", nullptr, false},
        SoxCase{"Aiff16Mono44k", "a.aiff", "-r 44100 -c 1 -b 16", kMono, "aiff", nullptr, false},
        SoxCase{"AifcNone16", "a.aifc", "-r 16000 -c 1 -b 16 -t aifc", kMono, "aiff", nullptr, false},
        SoxCase{"AuMuLawBig", "a.au", "-r 8000 -c 1 -e mu-law", kMono, "au", nullptr, false},
        SoxCase{"Au8Big", "a.au", "-r 8000 -c 1 -e signed -b 8", kMono, "au", nullptr, false},
        SoxCase{"Au16Big", "a.au", "-r 16000 -c 1 -e signed -b 16", kMono, "au", nullptr, false},
        SoxCase{"AuMuLawLittle", "a.au", "-r 8000 -c 1 -e mu-law -L", kMono, "au", nullptr, false},
        SoxCase{"Au8Little", "a.au", "-r 8000 -c 1 -e signed -b 8 -L", kMono, "au", nullptr, false},
        SoxCase{"Au16Little", "a.au", "-r 22050 -c 1 -e signed -b 16 -L", kMono, "au", nullptr, false},
        // The other two magic forms, same field order as sox's own.
        SoxCase{"Au16BigShortMagic", "a.au", "-r 16000 -c 1 -e signed -b 16", kMono, "au", ".sd\0", false},
        SoxCase{"Au16LittleReversedMagic", "a.au", "-r 16000 -c 1 -e signed -b 16 -L", kMono, "au", "dns.", false},
        // Long enough to go through the readers' conversion buffers many times.
        SoxCase{"Wav16StereoLong", "a.wav", "-r 44100 -c 2 -b 16", kStereo, "wave", nullptr, false, "4"},
        SoxCase{"Wav24StereoLong", "a.wav", "-r 48000 -c 2 -b 24 -t wavpcm", kStereo, "wave", nullptr, true, "3"},
        SoxCase{"AuMuLawLong", "a.au", "-r 48000 -c 1 -e mu-law", kMono, "au", nullptr, false, "12"}),
    [](const ::testing::TestParamInfo<SoxCase>& info) { return std::string(info.param.szName); });

// Every byte value through sox's and our mu-law and 8-bit decoders.
TEST(SoxOracleAllBytes, EightBitCodesDecodeAlike)
{
    CWorkDir dir;
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(char(i));
    std::ofstream(dir / "all.raw", std::ios::binary) << all;
    const struct {
        const char* szIn;
        const char* szOut;
    } kinds[] = {
        {"-e mu-law", "-e mu-law -t wav"},
        {"-e mu-law", "-e mu-law -t au"},
        {"-e unsigned", "-e unsigned -t wav"},
        {"-e signed", "-e signed -t au"},
        {"-e signed", "-e signed -t aiff"},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.szOut);
        const std::string file = dir / "all.snd";
        ASSERT_EQ(Shell(std::string("sox -t raw -r 8000 -c 1 -b 8 ") + k.szIn + " " + Quote(dir / "all.raw") + " -b 8 " +
                      k.szOut + " " + Quote(file) + " 2>/dev/null"),
                  0);
        ASSERT_EQ(Shell(kAnalyze + " samples " + Quote(file) + " -o " + Quote(dir / "ours.raw")), 0);
        ASSERT_EQ(Shell("sox " + Quote(file) + " -t raw -e signed -b 16 -c 1 " + Quote(dir / "sox.raw") + " 2>/dev/null"), 0);
        const std::vector<int16_t> ours = ReadS16(dir / "ours.raw");
        ASSERT_EQ(ours.size(), 256u);
        EXPECT_EQ(ours, ReadS16(dir / "sox.raw"));
    }
}

TEST(AnalyzeCommandLine, FailuresExitOneWithOneLine)
{
    CWorkDir dir;
    std::ofstream(dir / "text.txt") << "not a sound\n";
    for (const std::string& path : {dir / "missing.wav", dir / "text.txt", dir / ""}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Shell(kAnalyze + " info " + Quote(path) + " > " + Quote(dir / "out") + " 2> " + Quote(dir / "err")), 1);
        EXPECT_EQ(Slurp(dir / "out"), "");
        const std::string err = Slurp(dir / "err");
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find(path), std::string::npos) << err;
    }
    // A stereo AU: the reader's own message, as the one line.
    ASSERT_EQ(Shell("sox -n -r 8000 -c 2 -b 16 " + Quote(dir / "st.au") + " synth 0.1 sine 300 2>/dev/null"), 0);
    EXPECT_EQ(Shell(kAnalyze + " samples " + Quote(dir / "st.au") + " -o " + Quote(dir / "o.raw") + " 2> " + Quote(dir / "err")), 1);
    EXPECT_EQ(Slurp(dir / "err"), "sonavel-analyze: " + (dir / "st.au") + ": No data read or more than one channel in this file\n");
    // Usage errors are not load failures.
    EXPECT_EQ(Shell(kAnalyze + " samples " + Quote(dir / "st.au") + " 2>/dev/null"), 2);
    EXPECT_EQ(Shell(kAnalyze + " frobnicate 2>/dev/null"), 2);
    EXPECT_EQ(Shell(kAnalyze + " samples " + Quote(dir / "text.txt") + " -o /nonexistent-dir/x.raw 2>/dev/null"), 1);
}

} // namespace
