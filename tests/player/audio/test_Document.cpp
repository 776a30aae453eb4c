// Opening a document: the reader chain, what the user sees on failure, the file
// class underneath.
#include "tests/support/ByteBuilder.h"

#include "player/audio/CFileException.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using Document = ReaderTest;

TEST_F(Document, EachFormatIsTakenByItsReader)
{
    EXPECT_EQ(Load(SimpleWav(1, 1, 8000, 16, Bytes().LE16(1))).strReader, "wave");
    EXPECT_EQ(Load(Form("AIFF", Bytes().Append(AiffComm(1, 1, 16, Extended(8000))).Append(Ssnd(Bytes().BE16(1))))).strReader, "aiff");
    EXPECT_EQ(Load(AuHeader(".snd", true, 24, 2, 3, 8000, 1).BE16(1)).strReader, "au");
    EXPECT_EQ(Load(FixedHeader(false, 6480, 10, 8000, 2).LE16(1)).strReader, "fixed-le");
    EXPECT_EQ(Load(FixedHeader(true, 6480, 20, 8000, 2).BE16(1)).strReader, "fixed-be");
}

TEST_F(Document, RefusedAuFileIsNotTakenByALaterReader)
{
    // The AU reader refuses a stereo file with its message; the fixed-header
    // readers after it must not turn it into noise.
    EXPECT_FALSE(Load(AuHeader(".snd", true, 24, 4, 3, 8000, 2).BE32(0)).bLoaded);
    EXPECT_EQ(m_messages, (std::vector<std::string>{" No data read or more than one channel in this file "}));
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
    EXPECT_FALSE(Load(Bytes().Str("just some text\nin a file\n")).bLoaded);
    EXPECT_FALSE(Load(Bytes()).bLoaded);
    EXPECT_TRUE(m_messages.empty());
    EXPECT_TRUE(m_events.empty());
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
    EXPECT_EQ(host.m_result.store.hSamples->LockCount(), 0);
}

TEST_F(Document, AllocSamplesReplacesAndFrees)
{
    CSonavelProDoc doc(nullptr);
    doc.m_store.byteLength = 10;
    ASSERT_EQ(doc.AllocSamples(), 1);
    CSampleBlockHandle first = doc.m_store.hSamples;
    {
        CSampleLock lock(first);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(static_cast<uint8_t*>(lock.Data())[i], 0);
    }
    ASSERT_EQ(doc.AllocSamples(), 1);
    EXPECT_NE(doc.m_store.hSamples, first);
    EXPECT_EQ(first.use_count(), 1);
    doc.m_store.byteLength = -2;
    EXPECT_EQ(doc.AllocSamples(), 0);
    EXPECT_FALSE(doc.m_store.hSamples);
    doc.m_store.byteLength = 4;
    doc.AllocSamples();
    doc.FreeSamples();
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
    CSampleBlock::SetAllocationLimit(n - 1);
    EXPECT_FALSE(CSampleBlock::Alloc(n));
    CSampleBlock::SetAllocationLimit(SIZE_MAX);
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
