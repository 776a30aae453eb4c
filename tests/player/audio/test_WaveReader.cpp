// The WAV reader: the chunk walk's bounds and the conversion to one channel.
#include "tests/support/ByteBuilder.h"

#include "player/audio/SampleConversions.h"
#include "player/audio/WaveChunkWalk.h"

#include <sstream>

using sonavel::audio::ELoadFailure;
using sonavel::audio::FindWaveData;
using sonavel::audio::WaveFormatRecord;
using testsupport::Quote;

namespace {


// fmt at 12..35, then a filler chunk so that the data header begins at nDataAt.
Bytes WavWithDataAt(std::size_t nDataAt)
{
    Bytes chunks;
    chunks.Append(WavChunk("fmt ", WavFmt(1, 1, 8000, 16)));
    chunks.Append(WavChunk("JUNK", Bytes().Fill(nDataAt - 12 - chunks.Size() - 8)));
    chunks.Append(WavChunk("data", LittleWords({1, 2, 3})));
    return Riff(chunks);
}

using WaveReader = ReaderTest;

TEST_F(WaveReader, Stereo16KeepsTheFirstChannelAndTheRate)
{
    const LoadResult r = Load(SimpleWav(1, 2, 11025, 16, LittleWords({100, -1, -200, -2, 300, -3})));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.strReader, "wave");
    EXPECT_EQ(r.store.sampleRate, 11025);
    EXPECT_EQ(r.store.sampleCount, 3);
    EXPECT_EQ(r.store.byteLength, 6);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{100, -200, 300}));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(WaveReader, MonoAndPartialFramesAndManyChannels)
{
    // A trailing partial frame is not a sample.
    LoadResult r = Load(SimpleWav(1, 1, 8000, 16, LittleWords({-32768, 32767, 5}).U8(0x7F)));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{-32768, 32767, 5}));

    r = Load(SimpleWav(1, 3, 8000, 16, LittleWords({7, 8, 9, 10, 11, 12, 13, 14})));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{7, 10}));
}

TEST_F(WaveReader, EightBitPcmIsRecentredAndMuLawExpanded)
{
    LoadResult r = Load(SimpleWav(1, 1, 8000, 8, Bytes().Raw({0x80, 0x00, 0xFF, 0x81})));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{0, -32768, 32512, 256}));

    // Stereo mu-law: the first byte of each frame.
    r = Load(SimpleWav(7, 2, 8000, 8, Bytes().Raw({0x00, 0x11, 0x80, 0x22, 0xFF, 0x33})));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.store.sampleCount, 3);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{-32124, 32124, 0}));
}

TEST_F(WaveReader, WideSamplesKeepTheirTopSixteenBitsOfTheFirstChannel)
{
    // 24-bit stereo frames: L = 0x123456, R = 0xABCDEF; L = -2 (0xFFFFFE), R = 0x7FFFFF.
    Bytes d24;
    d24.Raw({0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F});
    LoadResult r = Load(SimpleWav(1, 2, 48000, 24, d24));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{0x1234, -1}));

    Bytes d32;
    d32.LE32(0x7FFF0001).LE32(0x00000000).LE32(0x80000000u).LE32(0x11112222);
    r = Load(SimpleWav(1, 2, 48000, 32, d32));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{0x7FFF, -32768}));
}

TEST_F(WaveReader, AnyChannelIsKeptAsTheFirstIs)
{
    // The frames above, and three channels of 16 bits, each channel asked for.
    Bytes d24;
    d24.Raw({0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F});
    const struct {
        Bytes file;
        int nChannel;
        std::vector<int16_t> expected;
    } cases[] = {
        {SimpleWav(1, 2, 11025, 16, LittleWords({100, -1, -200, -2, 300, -3})), 2, {-1, -2, -3}},
        {SimpleWav(1, 3, 8000, 16, LittleWords({7, 8, 9, 10, 11, 12, 13, 14})), 3, {9, 12}},
        {SimpleWav(7, 2, 8000, 8, Bytes().Raw({0x11, 0x00, 0x22, 0x80, 0x33, 0xFF})), 2, {-32124, 32124, 0}},
        {SimpleWav(1, 2, 8000, 8, Bytes().Raw({0x11, 0x80, 0x22, 0xFF})), 2, {0, 32512}},
        {SimpleWav(1, 2, 48000, 24, d24), 2, {int16_t(0xABCD), 0x7FFF}},
    };
    for (const auto& c : cases) {
        const LoadResult r = Load(c.file, c.nChannel);
        ASSERT_TRUE(r.bLoaded) << c.nChannel;
        EXPECT_EQ(r.samples, c.expected);
        EXPECT_EQ(r.result.nChannel, c.nChannel);
        EXPECT_EQ(r.result.nChannels, c.nChannel);
    }
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(WaveReader, SampleSizesOfNoneOrAboveThirtyTwoBitsAreRefused)
{
    for (uint16_t nBits : {0, 33, 64, 255}) {
        // Refused, not passed on: no later reader makes sound of it either.
        const LoadResult r = LoadWhole(SimpleWav(1, 1, 8000, nBits, Bytes().Fill(64, 1)));
        EXPECT_EQ(r.result.nFailure, ELoadFailure::Refused) << nBits;
        EXPECT_EQ(r.result.strMessage, " Unsupported *.wav sample size (" + std::to_string(nBits) + " bits) ");
    }
    EXPECT_EQ(m_events.size(), 8u); // a beep and a box each
}

TEST_F(WaveReader, NarrowSamplesOfOneByteEachReadAsSciPyReadsThem)
{
    // Five channels of 5 bits, one byte per sample (block align 5), 9 frames.
    Bytes data;
    for (int i = 0; i < 9; ++i)
        for (int c = 0; c < 5; ++c)
            data.U8(uint8_t(((i * 5 + c) * 7 % 32) << 3));
    const std::string path =
        m_dir.Write(Riff(Bytes().Append(WavChunk("fmt ", WavFmt(1, 5, 8000, 5, 5))).Append(WavChunk("data", data))));
    const LoadResult r = LoadPath(path);
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.store.sampleRate, 8000);

    testsupport::CScratchDir dir;
    ASSERT_EQ(testsupport::Shell("/usr/bin/python3 -c 'import sys, scipy.io.wavfile as w; r, d = w.read(sys.argv[1]);"
                                 " print(r, d.dtype, *d.shape, *d[:, 0])' " + Quote(path) + " > " + Quote(dir / "scipy")),
              0);
    std::istringstream scipy(testsupport::Slurp(dir / "scipy"));
    int nRate = 0;
    std::size_t nFrames = 0, nChannels = 0;
    std::string strType;
    scipy >> nRate >> strType >> nFrames >> nChannels;
    EXPECT_EQ(nRate, 8000);
    EXPECT_EQ(strType, "uint8");
    EXPECT_EQ(nChannels, 5u);
    ASSERT_EQ(nFrames, 9u);
    ASSERT_EQ(r.samples.size(), nFrames);
    for (std::size_t i = 0; i < nFrames; ++i) {
        int nByte = -1;
        scipy >> nByte;
        EXPECT_EQ(r.samples[i], (nByte - 128) * 256) << i;
    }

    // With a 16-bit word per channel in the block, 7 bits are read as words.
    const LoadResult words = Load(Riff(Bytes()
                                           .Append(WavChunk("fmt ", WavFmt(1, 1, 8000, 7, 2)))
                                           .Append(WavChunk("data", LittleWords({300, -5})))));
    ASSERT_TRUE(words.bLoaded);
    EXPECT_EQ(words.samples, (std::vector<int16_t>{300, -5}));
}

TEST_F(WaveReader, ChunkWalkSkipsOtherChunksAndTakesEighteenBytesOfFmt)
{
    // LIST before fmt; a 40-byte fmt whose extra bytes are garbage; the walk
    // still advances by the full length.
    Bytes fmt = WavFmt(1, 1, 16000, 16).LE16(0).Fill(22, 0xAA);
    const Bytes chunks = Bytes()
                             .Append(WavChunk("LIST", Bytes().Str("INFOISFT").LE32(4).Str("abcd")))
                             .Append(WavChunk("fmt ", fmt))
                             .Append(WavChunk("data", LittleWords({42})));
    const LoadResult r = Load(Riff(chunks));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.store.sampleRate, 16000);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{42}));
}

TEST_F(WaveReader, OddChunkIsFollowedWithoutPadByte)
{
    const Bytes fmt = WavChunk("fmt ", WavFmt(1, 1, 8000, 16));
    // Chunk of 3 bytes, next chunk right after it: found.
    Bytes unpadded = Bytes().Append(fmt).Append(WavChunk("odd ", Bytes().Raw({1, 2, 3}))).Append(WavChunk("data", LittleWords({9})));
    EXPECT_TRUE(Load(Riff(unpadded)).bLoaded);
    // With the pad byte a standard writer adds, the walk reads "\0dat" and a length
    // made of "a" and three length bytes, and runs past byte 1000.
    Bytes padded = Bytes().Append(fmt).Append(WavChunk("odd ", Bytes().Raw({1, 2, 3}))).U8(0).Append(WavChunk("data", LittleWords({9})));
    EXPECT_FALSE(Load(Riff(padded)).bLoaded);
}

TEST_F(WaveReader, DataHeaderMustBeginBelowByte1000)
{
    const LoadResult inside = Load(WavWithDataAt(996));
    ASSERT_TRUE(inside.bLoaded);
    EXPECT_EQ(inside.samples, (std::vector<int16_t>{1, 2, 3}));
    EXPECT_FALSE(Load(WavWithDataAt(1000)).bLoaded);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(WaveReader, RejectsWhatCannotDescribeTheSamples)
{
    const Bytes data = WavChunk("data", LittleWords({1, 2}));
    // Format tags other than PCM and mu-law (IEEE float, extensible).
    EXPECT_FALSE(Load(SimpleWav(3, 1, 8000, 32, Bytes().LE32(0).LE32(0))).bLoaded);
    EXPECT_FALSE(Load(SimpleWav(0xFFFE, 1, 8000, 16, LittleWords({1}))).bLoaded);
    // "data" before any "fmt ".
    EXPECT_FALSE(Load(Riff(Bytes().Append(data).Append(WavChunk("fmt ", WavFmt(1, 1, 8000, 16))))).bLoaded);
    // "fmt " shorter than 16 bytes (no bit depth).
    const Bytes shortFmt = WavChunk("fmt ", Bytes().LE16(1).LE16(1).LE32(8000).LE32(16000));
    EXPECT_FALSE(Load(Riff(Bytes().Append(shortFmt).Append(data))).bLoaded);
    // No channels.
    EXPECT_FALSE(Load(SimpleWav(1, 0, 8000, 16, LittleWords({1, 2}))).bLoaded);
    // Not RIFF/WAVE, or cut inside the header.
    const Bytes body = Bytes().Append(WavChunk("fmt ", WavFmt(1, 1, 8000, 16))).Append(data);
    EXPECT_FALSE(Load(Bytes().Str("RIFX").LE32(uint32_t(body.Size() + 4)).Str("WAVE").Append(body)).bLoaded);
    EXPECT_FALSE(Load(Bytes().Str("RIFF").LE32(uint32_t(body.Size() + 4)).Str("AVI ").Append(body)).bLoaded);
    EXPECT_FALSE(Load(Bytes().Str("RIFF").LE32(4).Str("WAV")).bLoaded);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(WaveReader, DataChunkLongerThanTheFileIsRejected)
{
    Bytes wav = SimpleWav(1, 1, 8000, 16, LittleWords({1, 2, 3, 4}));
    EXPECT_TRUE(Load(wav).bLoaded);
    wav.PutLE32(40, 10); // declares one byte more than the file holds
    EXPECT_FALSE(Load(wav).bLoaded);
    wav.PutLE32(40, 0xFFFFFFFFu);
    EXPECT_FALSE(Load(wav).bLoaded);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(WaveReader, HugeChunkLengthEndsTheWalk)
{
    const Bytes chunks = Bytes()
                             .Append(WavChunk("fmt ", WavFmt(1, 1, 8000, 16)))
                             .Str("JUNK").LE32(0xFFFFFFF8u)
                             .Append(WavChunk("data", LittleWords({1})));
    EXPECT_FALSE(Load(Riff(chunks)).bLoaded);
}

TEST_F(WaveReader, EmptyDataChunkLoadsAnEmptySound)
{
    const LoadResult r = Load(SimpleWav(1, 2, 8000, 16, Bytes()));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.store.sampleCount, 0);
    EXPECT_EQ(r.store.byteLength, 0);
}

TEST_F(WaveReader, LongFilesConvertAcrossBufferBoundaries)
{
    // Long enough to pass through the conversion buffer many times, with frame
    // sizes that do not divide it evenly.
    const int nFrames = 300007;
    Bytes stereo16, wide24x3, mu8x2;
    for (int i = 0; i < nFrames; ++i) {
        const uint16_t v = uint16_t(i * 7);
        stereo16.LE16(v).LE16(0xAAAA);
        wide24x3.U8(0x55).LE16(v).Fill(6, 0x99);
        mu8x2.U8(uint8_t(i)).U8(0x00);
    }
    const LoadResult a = Load(SimpleWav(1, 2, 44100, 16, stereo16));
    const LoadResult b = Load(SimpleWav(1, 3, 44100, 24, wide24x3));
    const LoadResult c = Load(SimpleWav(7, 2, 8000, 8, mu8x2));
    ASSERT_TRUE(a.bLoaded && b.bLoaded && c.bLoaded);
    ASSERT_EQ(a.samples.size(), std::size_t(nFrames));
    ASSERT_EQ(b.samples.size(), std::size_t(nFrames));
    ASSERT_EQ(c.samples.size(), std::size_t(nFrames));
    int nBad = 0;
    for (int i = 0; i < nFrames; ++i) {
        nBad += a.samples[i] != int16_t(uint16_t(i * 7));
        nBad += b.samples[i] != int16_t(uint16_t(i * 7));
        nBad += c.samples[i] != sonavel::audio::MuLawToLinear(uint8_t(i));
    }
    EXPECT_EQ(nBad, 0);
}

TEST_F(WaveReader, LargeMonoFileIsReadInPartsWithoutAGapOrAnExtraByte)
{
    // 40 MB of mono 16-bit: read straight into the store, in several parts.
    const int nFrames = 20000003;
    Bytes data;
    for (int i = 0; i < nFrames; ++i)
        data.LE16(uint16_t(i * 13 + (i >> 16)));
    const LoadResult r = Load(SimpleWav(1, 1, 44100, 16, data));
    ASSERT_TRUE(r.bLoaded);
    ASSERT_EQ(r.samples.size(), std::size_t(nFrames));
    int nBad = 0;
    for (int i = 0; i < nFrames; ++i)
        nBad += r.samples[i] != int16_t(uint16_t(i * 13 + (i >> 16)));
    EXPECT_EQ(nBad, 0);
}

TEST_F(WaveReader, FindWaveDataLoadsExactlyTheDataBytes)
{
    const Bytes data = Bytes().Raw({1, 2, 3, 4, 5});
    const std::string path = m_dir.Write(SimpleWav(7, 1, 8000, 8, data));
    CFileReader file;
    ASSERT_TRUE(file.Open(path));
    WaveFormatRecord fmt;
    int32_t nLength = -1;
    CSampleBlockHandle h;
    ASSERT_TRUE(FindWaveData(file, fmt, nLength, h));
    EXPECT_EQ(fmt.wFormatTag, 7);
    EXPECT_EQ(fmt.nSamplesPerSec, 8000u);
    EXPECT_EQ(nLength, 5);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->Size(), 5u);
    CSampleLock lock(h);
    EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(lock.Data()), static_cast<uint8_t*>(lock.Data()) + 5), data.Data());
}

TEST_F(WaveReader, AllocationFailures)
{
    // The sample block cannot be had: the reader fails without a message.
    CSampleBlock::SetAllocationLimit(7);
    EXPECT_FALSE(Load(SimpleWav(1, 1, 8000, 16, LittleWords({1, 2, 3, 4}))).bLoaded);
    EXPECT_TRUE(m_messages.empty());
    // The conversion buffer cannot be had: the out-of-memory message after a beep.
    EXPECT_FALSE(Load(SimpleWav(1, 2, 8000, 16, LittleWords({1, 2, 3, 4}))).bLoaded);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0], "Not enough memory to perform the requested task.");
    EXPECT_EQ(m_events, (std::vector<std::string>{"beep0", "box"}));
}

} // namespace
