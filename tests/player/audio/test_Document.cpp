// Opening a document: the reader chain, what the user sees on failure, the file
// class underneath.
#include "tests/support/ByteBuilder.h"
#include "tests/support/SampleBlockProbe.h"

#include "common/SoundFormat.h"
#include "player/audio/CFileException.h"
#include "player/audio/ReaderSupport.h"

#include <atomic>
#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using namespace sonavel::audio;
using Document = ReaderTest;

TEST_F(Document, EachFormatIsTakenByItsReaderAndRecognisedFromItsHeader)
{
    using sonavel::format::ESoundFormat;
    const struct {
        Bytes file;
        const char* szReader;
        ESoundFormat nFormat;
    } cases[] = {
        {SimpleWav(1, 1, 8000, 16, Bytes().LE16(1)), "wave", ESoundFormat::Wave},
        {Form("AIFF", Bytes().Append(AiffComm(1, 1, 16, Extended(8000))).Append(Ssnd(Bytes().BE16(1)))), "aiff",
         ESoundFormat::Aiff},
        {AuHeader(".snd", true, 24, 2, 3, 8000, 1).BE16(1), "au", ESoundFormat::Au},
        {FixedHeader(false, 6480, 10, 8000, 2).LE16(1), "fixed-le", ESoundFormat::FixedLE},
        {FixedHeader(true, 6480, 20, 8000, 2).BE16(1), "fixed-be", ESoundFormat::FixedBE},
        {Bytes().Str("just some text\nin a file\n"), "", ESoundFormat::Unknown},
    };
    for (const auto& c : cases) {
        const LoadResult r = LoadWhole(c.file);
        EXPECT_EQ(r.strReader, c.szReader);
        EXPECT_EQ(r.result.nFailure, *c.szReader ? ELoadFailure::None : ELoadFailure::NotASound);
        const auto& v = c.file.Data();
        EXPECT_EQ(sonavel::format::RecogniseSoundHeader(v.data(), std::min<std::size_t>(v.size(), 6480), int64_t(v.size())),
                  c.nFormat)
            << c.szReader;
    }
}

// Stands in for libsndfile's entry and counts the files that reach it.
std::atomic<int> g_nAskedLast{0};
EReaderAnswer AskedLast(CFileReader&, const CSoundProbe&, int, SampleStore&, CLoadResult&)
{
    ++g_nAskedLast;
    return EReaderAnswer::NotMine;
}

TEST_F(Document, AReaderThatCannotAllocateForItsFileEndsTheWalk)
{
    std::vector<CSoundReaderEntry> entries(SoundReaderTable().begin(), SoundReaderTable().end() - 1);
    entries.push_back({"last", AskedLast});
    const CSoundReaderTable readers{entries.data(), entries.size()};
    // Seven bytes at most: every store below needs eight; the 8-bit readers'
    // conversion buffers of four fit, the stereo WAV's of eight does not.
    const struct {
        Bytes file;
        const char* szReader;
        bool bBox; // the design shows its message for a conversion buffer only
    } cases[] = {
        {SimpleWav(1, 1, 8000, 16, LittleWords({1, 2, 3, 4})), "wave", false},
        {SimpleWav(1, 2, 8000, 16, LittleWords({1, 2, 3, 4})), "wave", true},
        {Form("AIFF", Bytes().Append(AiffComm(1, 4, 16, Extended(8000))).Append(Ssnd(BigWords({1, 2, 3, 4})))), "aiff",
         false},
        {Form("AIFF", Bytes().Append(AiffComm(1, 4, 8, Extended(8000))).Append(Ssnd(Bytes().Raw({1, 2, 3, 4})))), "aiff",
         false},
        {AuHeader(".snd", true, 24, 8, 3, 8000, 1).Append(BigWords({1, 2, 3, 4})), "au", false},
        {AuHeader(".snd", true, 24, 4, 1, 8000, 1).Raw({1, 2, 3, 4}), "au", false},
        {FixedHeader(false, 6480, 10, 8000, 8).Append(LittleWords({1, 2, 3, 4})), "fixed-le", false},
        {FixedHeader(true, 6480, 20, 8000, 8).Append(BigWords({1, 2, 3, 4})), "fixed-be", false},
    };
    CSampleBlock::SetAllocationLimit(7);
    for (const auto& c : cases) {
        const std::string path = m_dir.Write(c.file);
        SampleStore store;
        const CLoadResult result = LoadSoundFile(path, store, readers);
        EXPECT_EQ(result.nFailure, ELoadFailure::OutOfMemory) << c.szReader;
        EXPECT_EQ(result.strReader, c.szReader);
        EXPECT_EQ(result.HasBox(), c.bBox) << c.szReader;
        EXPECT_EQ(DescribeLoadFailure(result, "x"), "x: Not enough memory to perform the requested task.");
        EXPECT_FALSE(store.hSamples);
    }
    EXPECT_EQ(g_nAskedLast, 0);
}

TEST_F(Document, AReaderRunsAloneOnAStore)
{
    // No document and no walk: the reader, the file's first bytes and a store.
    CFileReader file;
    ASSERT_TRUE(file.Open(m_dir.Write(SimpleWav(1, 2, 8000, 16, LittleWords({1, -2, 3, -4})))));
    uint8_t head[kProbeBytes];
    const CSoundProbe probe{head, file.Read(head, sizeof head), file.GetLength()};
    SampleStore store;
    CLoadResult result;
    ASSERT_EQ(ReadWaveFile(file, probe, 2, store, result), EReaderAnswer::Loaded);
    EXPECT_EQ(result.nChannels, 2);
    EXPECT_EQ(result.nChannel, 2);
    ASSERT_EQ(store.sampleCount, 2);
    EXPECT_EQ(store.sampleRate, 8000);
    CSampleLock lock(store.hSamples);
    EXPECT_EQ(lock.Samples()[0], -2);
    EXPECT_EQ(lock.Samples()[1], -4);
}

TEST_F(Document, AChannelTheFileLacksIsRefusedWithItsCount)
{
    const struct {
        Bytes file;
        int nChannels;
    } cases[] = {
        {SimpleWav(1, 2, 8000, 16, LittleWords({1, 2})), 2},
        {Form("AIFF", Bytes().Append(AiffComm(1, 1, 16, Extended(8000))).Append(Ssnd(Bytes().BE16(1)))), 1},
        {AuHeader(".snd", true, 24, 2, 3, 8000, 1).BE16(1), 1},
        {FixedHeader(false, 6480, 10, 8000, 2).LE16(1), 1},
        {FixedHeader(true, 6480, 20, 8000, 2).BE16(1), 1},
    };
    for (const auto& c : cases) {
        const LoadResult r = LoadWhole(c.file, c.nChannels + 1);
        EXPECT_EQ(r.result.nFailure, ELoadFailure::Refused);
        EXPECT_EQ(r.result.nChannels, c.nChannels);
        EXPECT_EQ(DescribeLoadFailure(r.result, "x"), "x: no channel " + std::to_string(c.nChannels + 1)
                                                          + ": the file has " + std::to_string(c.nChannels)
                                                          + (c.nChannels == 1 ? " channel" : " channels"));
        EXPECT_TRUE(LoadWhole(c.file, c.nChannels).bLoaded);
    }
    // A stereo AU keeps its own refusal, whichever channel is asked for.
    EXPECT_EQ(LoadWhole(AuHeader(".snd", true, 24, 4, 3, 8000, 2).BE32(0), 2).result.strMessage,
              " No data read or more than one channel in this file ");
}

TEST_F(Document, FailuresDescribeThemselvesForTheCommandLine)
{
    const std::string au = m_dir.Write(AuHeader(".snd", true, 24, 4, 3, 8000, 2).BE32(0));
    const std::string text = m_dir.Write(Bytes().Str("text"));
    EXPECT_EQ(DescribeLoadFailure(Load(Bytes()).result, "/x/y"),
              "/x/y: not a sound file this player reads (WAV, AIFF/AIFC, AU, fixed-header PCM, FLAC, Ogg Vorbis, Opus, MP3, "
              "RF64, W64, CAF, NIST SPHERE)");
    EXPECT_EQ(DescribeLoadFailure(LoadPath(au).result, au), au + ": No data read or more than one channel in this file");
    EXPECT_EQ(DescribeLoadFailure(LoadPath("/nonexistent/x.wav").result, "/nonexistent/x.wav"),
              "cannot open /nonexistent/x.wav: No such file or directory");
    EXPECT_EQ(DescribeLoadFailure(LoadPath("").result, ""), "cannot open : no file given");
    EXPECT_EQ(DescribeLoadFailure(LoadPath("/tmp").result, "/tmp"), "cannot open /tmp: is a directory");
    const CLoadResult unreadable = LoadPath("/proc/self/mem").result; // address 0: EIO
    EXPECT_EQ(unreadable.nFailure, ELoadFailure::ReadFailed);
    EXPECT_EQ(DescribeLoadFailure(unreadable, "/proc/self/mem"), "cannot read /proc/self/mem: Input/output error");
    // The system's reason travels with the failure, for callers that hand it on.
    EXPECT_EQ(LoadPath("/nonexistent/x.wav").result.nErrno, ENOENT);
    EXPECT_EQ(LoadPath("").result.nErrno, ENOENT);
    EXPECT_EQ(LoadPath("/tmp").result.nErrno, EISDIR);
    EXPECT_EQ(unreadable.nErrno, EIO);
}

TEST_F(Document, AnalysisRefusesASoundWithoutAPositiveRate)
{
    for (uint32_t nRate : {0u, 0xFFFFFFFFu}) {
        const std::string path = m_dir.Write(SimpleWav(1, 1, nRate, 16, LittleWords({1, 2})));
        // The player takes it as it is (and then says it cannot play it) ...
        SampleStore store;
        ASSERT_TRUE(LoadSoundFile(path, store).Loaded());
        EXPECT_EQ(store.sampleRate, int32_t(nRate));
        // ... what needs a time axis does not.
        const CLoadResult result = LoadSoundForAnalysis(path, store);
        EXPECT_EQ(result.nFailure, ELoadFailure::NoSampleRate);
        EXPECT_EQ(DescribeLoadFailure(result, path), path + ": no sample rate");
        EXPECT_FALSE(store.hSamples);
    }
    SampleStore store;
    EXPECT_TRUE(LoadSoundForAnalysis(m_dir.Write(SimpleWav(1, 1, 8000, 16, LittleWords({1}))), store).Loaded());
    EXPECT_EQ(store.sampleRate, 8000);
}

TEST_F(Document, TwoThreadsLoadAtOnce)
{
    // One thread loads a sound while the other meets a refusal: neither sees
    // the other's sound or failure.
    const std::string wav = m_dir.Write(SimpleWav(1, 1, 8000, 16, Bytes().LE16(3).LE16(4)));
    const std::string au = m_dir.Write(AuHeader(".snd", true, 24, 4, 3, 8000, 2).BE32(0));
    std::atomic<int> nWrong{0};
    auto loadMany = [&](const std::string& path, bool bSound) {
        for (int i = 0; i < 200; ++i) {
            SampleStore store;
            const CLoadResult r = LoadSoundFile(path, store);
            const bool bRight = bSound ? r.Loaded() && store.sampleCount == 2 && r.strMessage.empty()
                                       : !r.Loaded() && r.nFailure == ELoadFailure::Refused && !store.hSamples;
            nWrong += bRight ? 0 : 1;
        }
    };
    std::thread other(loadMany, au, false);
    loadMany(wav, true);
    other.join();
    EXPECT_EQ(nWrong, 0);
}

TEST_F(Document, RefusedAuFileIsNotTakenByALaterReader)
{
    // The AU reader refuses a stereo file with its message; the fixed-header
    // readers after it must not turn it into noise, nor libsndfile open it.
    EXPECT_FALSE(LoadWhole(AuHeader(".snd", true, 24, 4, 3, 8000, 2).BE32(0)).bLoaded);
    EXPECT_EQ(m_messages, (std::vector<std::string>{" No data read or more than one channel in this file "}));
}

TEST_F(Document, SilentRefusalsOfTheDesignsReadersOpenThroughLibsndfile)
{
    const Bytes fmt = WavChunk("fmt ", WavFmt(1, 1, 8000, 16));
    const Bytes data = WavChunk("data", LittleWords({100, -200, 300}));
    const Bytes floats = Bytes().LE32(0x3F000000).LE32(0x3FC00000).LE32(0xC0000000); // 0.5, 1.5, -2
    const Bytes stereo = BigWords({1000, -1, 2000, -2});
    const struct {
        const char* szName;
        Bytes file;
        std::vector<int16_t> samples;
    } cases[] = {
        {"pad byte after an odd chunk", Riff(Bytes().Append(WavChunk("junk", Bytes().U8(1))).U8(0).Append(fmt).Append(data)),
         {100, -200, 300}},
        {"data chunk past byte 1000", Riff(Bytes().Append(WavChunk("junk", Bytes().Fill(1000))).Append(fmt).Append(data)),
         {100, -200, 300}},
        {"floating-point samples, clipped", SimpleWav(3, 1, 8000, 32, floats), {16384, 32767, -32768}},
        {"stereo AIFF", Form("AIFF", Bytes().Append(AiffComm(2, 2, 16, Extended(8000))).Append(Ssnd(stereo))), {1000, 2000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.szName);
        EXPECT_FALSE(Load(c.file).bLoaded);
        const LoadResult r = LoadWhole(c.file);
        EXPECT_EQ(r.strReader, "sndfile");
        EXPECT_EQ(r.samples, c.samples);
        EXPECT_EQ(r.store.sampleRate, 8000);
    }
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(Document, UnopenablePathShowsThePathItself)
{
    EXPECT_FALSE(LoadPath("/nonexistent/dir/sound.wav").bLoaded);
    EXPECT_FALSE(LoadPath("").bLoaded);
    EXPECT_FALSE(LoadPath("/tmp").bLoaded);
    EXPECT_EQ(m_messages, (std::vector<std::string>{"/nonexistent/dir/sound.wav", "", "/tmp"}));
    EXPECT_EQ(std::count(m_events.begin(), m_events.end(), "box"), 3);
    EXPECT_EQ(std::count(m_events.begin(), m_events.end(), "beep0"), 0);
}

TEST_F(Document, UnrecognisedFileShowsNothing)
{
    EXPECT_FALSE(LoadWhole(Bytes().Str("just some text\nin a file\n")).bLoaded);
    EXPECT_FALSE(LoadWhole(Bytes()).bLoaded);
    EXPECT_TRUE(m_messages.empty());
    EXPECT_TRUE(m_events.empty());
}

// A file that stopped before the length its header declares (a download or a
// copy cut short) opens with what it holds, and the result says how much was
// declared; a whole file, one whose header leaves its length open, and one
// short of only the pad byte after its odd data say nothing.
TEST_F(Document, AFileShorterThanItsHeaderDeclaresOpensAndSaysSo)
{
    const auto cut = [](const Bytes& whole, std::size_t nKeep) {
        Bytes b;
        for (std::size_t i = 0; i < nKeep; ++i)
            b.U8(whole.Data()[i]);
        return b;
    };
    const Bytes wav = SimpleWav(1, 1, 8000, 16, Bytes().Fill(2000, 0x11));
    const Bytes aiff = Form("AIFF", Bytes().Append(AiffComm(1, 1000, 16, Extended(8000))).Append(Ssnd(Bytes().Fill(2000, 0x11))));
    const Bytes au = AuHeader(".snd", true, 24, 2000, 3, 8000, 1).Fill(2000, 0x11);
    Bytes streamed = SimpleWav(1, 1, 8000, 16, Bytes().Fill(2000, 0x11));
    streamed.PutLE32(4, 0xFFFFFFFFu);
    streamed.PutLE32(40, 0xFFFFFFFFu);
    Bytes odd = SimpleWav(1, 1, 8000, 8, Bytes().Fill(999, 0x80));
    odd.PutLE32(4, uint32_t(odd.Size() - 8 + 1)); // the pad byte counted, not written
    const struct {
        Bytes file;
        int32_t nHeld;
        int64_t nDeclared;
    } cases[] = {
        {cut(wav, 44 + 1000), 500, 1000},
        {cut(aiff, aiff.Size() - 1000), 500, 1000},
        {cut(au, 24 + 1000), 500, 1000},
        {wav, 1000, -1},
        {cut(streamed, 44 + 1000), 500, -1},
        {odd, 999, -1},
    };
    for (const auto& c : cases) {
        const LoadResult r = LoadWhole(c.file);
        ASSERT_TRUE(r.bLoaded) << c.file.Size();
        EXPECT_EQ(r.store.sampleCount, c.nHeld) << r.strReader;
        EXPECT_EQ(r.result.nDeclaredFrames, c.nDeclared) << r.strReader;
    }
}

TEST_F(Document, ReadErrorEndsTheOpenSilently)
{
    // Reading this process's address 0 fails with EIO: a real failed read.
    EXPECT_FALSE(LoadPath("/proc/self/mem").bLoaded);
    EXPECT_TRUE(m_messages.empty());

    CFileReader file;
    ASSERT_TRUE(file.Open("/proc/self/mem"));
    char c;
    EXPECT_THROW(file.Read(&c, 1), CFileException);
    EXPECT_THROW(file.Seek(-1), CFileException);
    file.Abort();
    EXPECT_THROW(file.Read(&c, 1), CFileException);
}

TEST_F(Document, HostReceivesTheSoundAndOwnsTheBlock)
{
    CRecordingHost host;
    const std::string path = m_dir.Write(SimpleWav(1, 1, 8000, 16, Bytes().LE16(3).LE16(4)));
    CSonavelProDoc doc(&host);
    EXPECT_EQ(doc.OnOpenDocument(path), 0);
    ASSERT_TRUE(host.m_result.bLoaded);
    EXPECT_EQ(host.m_result.samples, (std::vector<int16_t>{3, 4}));
    // The document let go of the block; the host's copy keeps it alive.
    EXPECT_FALSE(doc.m_store.hSamples);
    EXPECT_EQ(host.m_result.store.hSamples.use_count(), 1);
    EXPECT_EQ(CSampleBlockProbe::LockCount(host.m_result.store.hSamples), 0);
}

TEST_F(Document, AllocSamplesReplacesAndFrees)
{
    CSonavelProDoc doc(nullptr);
    doc.m_store.byteLength = 10;
    ASSERT_EQ(AllocSamples(doc.m_store), 1);
    CSampleBlockHandle first = doc.m_store.hSamples;
    {
        CSampleLock lock(first);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(static_cast<uint8_t*>(lock.Data())[i], 0);
    }
    ASSERT_EQ(AllocSamples(doc.m_store), 1);
    EXPECT_NE(doc.m_store.hSamples, first);
    EXPECT_EQ(first.use_count(), 1);
    doc.m_store.byteLength = -2;
    EXPECT_EQ(AllocSamples(doc.m_store), 0);
    EXPECT_FALSE(doc.m_store.hSamples);
}

TEST(SampleBlock, LargeBlocksAreZeroedWritableAndLimited)
{
    const std::size_t n = (std::size_t(9) << 20) + 3; // above the size that is mapped on its own
    CSampleBlockHandle h = CSampleBlock::Alloc(n);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->Size(), n);
    {
        CSampleLock lock(h);
        auto* p = static_cast<uint8_t*>(lock.Data());
        EXPECT_EQ(p[0], 0);
        EXPECT_EQ(p[n / 2], 0);
        EXPECT_EQ(p[n - 1], 0);
        p[n - 1] = 0x5A;
        EXPECT_EQ(p[n - 1], 0x5A);
    }
    h.reset();
#if !defined(__SANITIZE_ADDRESS__)
    // Rounding such a size up to whole huge pages must not wrap to a small block.
    // (The address sanitizer's allocator aborts on these sizes instead.)
    EXPECT_FALSE(CSampleBlock::Alloc(SIZE_MAX));
    EXPECT_FALSE(CSampleBlock::Alloc(SIZE_MAX - 100));
#endif
    CScopedAllocationLimit limit(n - 1);
    EXPECT_FALSE(CSampleBlock::Alloc(n));
}

TEST(FileReader, ReadsPastTheEndShortAndSeeksAnywhere)
{
    CTempDir dir;
    const std::string path = dir.Write(Bytes().Str("abcdef"));
    CFileReader file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(file.GetLength(), 6);
    char buf[8] = {};
    EXPECT_EQ(file.Read(buf, 8), 6u);
    EXPECT_EQ(std::string(buf, 6), "abcdef");
    file.Seek(4);
    EXPECT_EQ(file.Read(buf, 8), 2u);
    EXPECT_EQ(std::string(buf, 2), "ef");
    file.Seek(int64_t(1) << 40);
    EXPECT_EQ(file.Read(buf, 8), 0u);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
}

} // namespace
