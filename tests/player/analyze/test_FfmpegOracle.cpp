// Today's corpus formats, made by ffmpeg, sox and flac, opened by sonavel-analyze
// and compared with ffmpeg's own decode of the first channel: lossless files
// sample for sample, lossy ones within a few steps and never wrapped round.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "common/SoundFormat.h"
#include "tests/support/CScratchDir.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/voicesynth/WavFile.h"

using namespace testsupport;

namespace {

const std::string kAnalyze = SONAVEL_ANALYZE;

std::vector<int16_t> ReadS16(const std::string& path, int nChannels = 1)
{
    const std::string s = Slurp(path);
    std::vector<int16_t> v(s.size() / 2 / std::size_t(nChannels));
    for (std::size_t i = 0; i < v.size(); ++i) {
        const std::size_t k = 2 * i * std::size_t(nChannels);
        v[i] = int16_t(uint8_t(s[k]) | (uint8_t(s[k + 1]) << 8));
    }
    return v;
}

// The peer's decode of every channel as 16 bits (its own rounding and
// clipping), of which the first channel is kept.
std::vector<int16_t> PeerFirstChannel(const CScratchDir& dir, const std::string& file, int nChannels, bool bSox)
{
    const std::string out = dir / "peer.raw";
    // Opus through the reference decoder, which ffmpeg's own only approximates.
    const bool bOpus = file.size() > 5 && file.compare(file.size() - 5, 5, ".opus") == 0;
    EXPECT_EQ(Shell(bSox ? "sox " + Quote(file) + " -t raw -e signed -b 16 " + Quote(out)
                         : "ffmpeg -v error -y " + std::string(bOpus ? "-c:a libopus " : "") + "-i " + Quote(file) + " -f s16le "
                               + Quote(out)),
              0);
    return ReadS16(out, nChannels);
}

std::vector<int16_t> Ours(const CScratchDir& dir, const std::string& file)
{
    const std::string out = dir / "ours.raw";
    EXPECT_EQ(Shell(kAnalyze + " samples " + Quote(file) + " -o " + Quote(out)), 0);
    return ReadS16(out);
}

using sonavel::format::ESoundFormat;

struct FormatCase {
    const char* szName;
    const char* szFile;
    ESoundFormat nFormat; // what its first bytes say
    const char* szMake; // shell command; $S is a 1.5 s stereo 16-bit WAV, $H a mono float WAV peaking at 1.5, $O the output
    int nChannels;
    int nTolerance; // 0: lossless
    bool bSox = false; // sox decodes it instead (ffmpeg's IMA ADPCM rounds its own way)
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.szName; }

class FfmpegOracle : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FfmpegOracle, FirstChannelMatchesFfmpeg)
{
    const FormatCase& c = GetParam();
    CScratchDir dir;
    ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && sox -n -r 44100 -c 2 -b 16 S.wav synth 1.5 sine 220 whitenoise vol 0.6 2>/dev/null"
                  " && ffmpeg -v error -f lavfi -i sine=f=300:d=1:sample_rate=16000 -af volume=12 -c:a pcm_f32le H.wav"),
              0);
    std::string make = c.szMake;
    for (const auto& [key, value] : {std::pair{"$S", "S.wav"}, {"$H", "H.wav"}, {"$O", c.szFile}})
        for (std::size_t at; (at = make.find(key)) != std::string::npos;)
            make.replace(at, 2, value);
    ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && " + make + " 2>/dev/null"), 0) << make;
    const std::string bytes = Slurp(dir / c.szFile);
    EXPECT_EQ(sonavel::format::RecogniseSoundHeader(reinterpret_cast<const uint8_t*>(bytes.data()),
                                                    std::min<std::size_t>(bytes.size(), 6480), int64_t(bytes.size())),
              c.nFormat);

    const std::vector<int16_t> ours = Ours(dir, dir / c.szFile);
    const std::vector<int16_t> theirs = PeerFirstChannel(dir, dir / c.szFile, c.nChannels, c.bSox);
    ASSERT_FALSE(theirs.empty());
    if (c.nTolerance == 0) {
        EXPECT_TRUE(ours == theirs) << ours.size() << " samples, ffmpeg " << theirs.size();
        return;
    }
    ASSERT_EQ(ours.size(), theirs.size());
    int nWorst = 0;
    for (std::size_t i = 0; i < ours.size(); ++i)
        nWorst = std::max(nWorst, std::abs(int(ours[i]) - int(theirs[i])));
    EXPECT_LE(nWorst, c.nTolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FfmpegOracle,
    ::testing::Values(
        FormatCase{"Flac16Stereo", "a.flac", ESoundFormat::Flac, "flac -s -o $O $S", 2, 0},
        FormatCase{"Flac24Stereo", "a.flac", ESoundFormat::Flac, "sox $S -b 24 b.wav && ffmpeg -v error -i b.wav -c:a flac $O", 2, 0},
        FormatCase{"FlacFromPipeWithoutLength", "a.flac", ESoundFormat::Flac, "flac -s -c - < $S > $O", 2, 0},
        FormatCase{"Rf64", "a.wav", ESoundFormat::Rf64, "ffmpeg -v error -i $S -rf64 always $O", 2, 0},
        FormatCase{"W64", "a.w64", ESoundFormat::W64, "ffmpeg -v error -i $S $O", 2, 0},
        FormatCase{"Caf", "a.caf", ESoundFormat::Caf, "ffmpeg -v error -i $S $O", 2, 0},
        FormatCase{"NistSphere", "a.sph", ESoundFormat::Sphere, "sox $S $O", 2, 0},
        FormatCase{"WavDataPastByte1000", "a.wav", ESoundFormat::Wave, "ffmpeg -v error -i $S -metadata comment=$(head -c 1500 /dev/zero | tr '\\0' x) $O", 2, 0},
        FormatCase{"WavFloatOverFullScale", "a.wav", ESoundFormat::Wave, "cp $H $O", 1, 0},
        FormatCase{"WavImaAdpcm", "a.wav", ESoundFormat::Wave, "sox $S -e ima-adpcm $O", 2, 0, true},
        FormatCase{"VorbisOverFullScale", "a.ogg", ESoundFormat::Ogg, "ffmpeg -v error -i $H -c:a libvorbis $O", 1, 3},
        FormatCase{"VorbisStereo", "a.ogg", ESoundFormat::Ogg, "ffmpeg -v error -i $S -c:a libvorbis $O", 2, 3},
        FormatCase{"Opus48k", "a.opus", ESoundFormat::Ogg, "ffmpeg -v error -i $S -ar 48000 -c:a libopus $O", 2, 3},
        FormatCase{"Mp3WithId3", "a.mp3", ESoundFormat::Mp3, "ffmpeg -v error -i $S -c:a libmp3lame -metadata title=t $O", 2, 3},
        // Variable bit rate without a length header: the whole stream, not the
        // length its first frame suggests.
        FormatCase{"Mp3VariableRateWithoutLength", "a.mp3", ESoundFormat::Mp3, "ffmpeg -v error -i $S -c:a libmp3lame -q:a 4 -write_xing 0 $O", 2, 3},
        FormatCase{"Mp3OverFullScale", "a.mp3", ESoundFormat::Mp3, "ffmpeg -v error -i $H -c:a libmp3lame -id3v2_version 0 $O", 1, 3}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.szName); });

// A NIST SPHERE header with the given fields, and its length on disk (sparse).
void WriteSphere(const std::string& path, const std::string& fields, long nLength)
{
    std::string head = "NIST_1A\n   1024\n" + fields + "end_head\n";
    head.resize(1024, ' ');
    std::ofstream(path, std::ios::binary) << head;
    ASSERT_EQ(Shell("truncate -s " + std::to_string(nLength) + " " + Quote(path)), 0);
}

TEST(FormatRefusals, EachSaysWhyInOneLine)
{
    CScratchDir dir;
    WriteSphere(dir / "shorten.sph",
                "channel_count -i 1\nsample_count -i 8000\nsample_rate -i 8000\nsample_n_bytes -i 2\n"
                "sample_coding -s26 pcm,embedded-shorten-v2.00\n", 5000);
    // More first-channel samples than the store's 32-bit byte count holds.
    WriteSphere(dir / "long.sph",
                "channel_count -i 1\nsample_count -i 1100000000\nsample_rate -i 8000\nsample_n_bytes -i 1\n"
                "sample_coding -s3 pcm\n", 1024 + 1100000000L);
    const struct {
        const char* szFile;
        const char* szWhy;
    } cases[] = {
        {"shorten.sph", "NIST SPHERE with compressed samples (pcm,embedded-shorten-v2.00) is not read"},
        {"long.sph", "too long for the player: 1100000000 samples in each channel"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.szFile);
        EXPECT_EQ(Shell(kAnalyze + " info " + Quote(dir / c.szFile) + " > /dev/null 2> " + Quote(dir / "err")), 1);
        const std::string err = Slurp(dir / "err");
        EXPECT_NE(err.find(std::string(dir / c.szFile) + ": " + c.szWhy), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

TEST(FormatPitch, FlacTrackEqualsTheWavTrack)
{
    CScratchDir dir;
    VoiceSynthParams p;
    p.nSampleRate = 44100;
    p.dSeconds = 3;
    ASSERT_TRUE(WriteWavFile(dir / "v.wav", SynthesizeVoice(p), p.nSampleRate));
    ASSERT_EQ(Shell("flac -s -o " + Quote(dir / "v.flac") + " " + Quote(dir / "v.wav")), 0);
    for (const char* szName : {"v.wav", "v.flac"})
        ASSERT_EQ(Shell(kAnalyze + " pitch " + Quote(dir / szName) + " > " + Quote(dir / (std::string(szName) + ".csv"))), 0);
    const std::string wav = Slurp(dir / "v.wav.csv");
    EXPECT_GT(wav.size(), 100u);
    EXPECT_TRUE(wav == Slurp(dir / "v.flac.csv"));
}

} // namespace
