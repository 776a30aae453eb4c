// The AU reader: both byte orders, the three encodings, its two messages.
#include "tests/support/ByteBuilder.h"

namespace {

const char* const kNoData = " No data read or more than one channel in this file ";
const char* const kUnsupported = " Unsupported *.au coding ";

using AuReader = ReaderTest;

TEST_F(AuReader, SixteenBitInBothByteOrders)
{
    // Big-endian ".snd": samples are swapped to native.
    Bytes be = AuHeader(".snd", true, 24, 4, 3, 8000, 1).BE16(0x0102).BE16(0xFFFE);
    LoadResult r = Load(be);
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.strReader, "au");
    EXPECT_EQ(r.store.sampleRate, 8000);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{0x0102, -2}));

    // Little-endian "dns.": copied unchanged.
    r = Load(AuHeader("dns.", false, 24, 4, 3, 16000, 1).LE16(0x0102).LE16(0xFFFE));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.store.sampleRate, 16000);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{0x0102, -2}));

    // The two other magic forms.
    r = Load(AuHeader(std::string(".sd\0", 4), true, 24, 2, 3, 8000, 1).BE16(7));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{7}));
    r = Load(AuHeader(std::string("\0ds.", 4), false, 24, 2, 3, 8000, 1).LE16(7));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{7}));
}

TEST_F(AuReader, SampleCountIsHalfTheDataSize)
{
    const LoadResult r = Load(AuHeader(".snd", true, 24, 1000, 3, 8000, 1).Fill(1000, 0x11));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.store.sampleCount, 500);
    EXPECT_EQ(r.store.byteLength, 1000);
}

TEST_F(AuReader, EightBitEncodings)
{
    LoadResult r = Load(AuHeader(".snd", true, 24, 4, 2, 8000, 1).Raw({0x80, 0x7F, 0x00, 0xFF}));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{-32768, 32512, 0, -256}));
    r = Load(AuHeader(".snd", true, 24, 4, 1, 8000, 1).Raw({0xFF, 0x7F, 0x00, 0x80}));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{0, 0, -32124, 32124}));
}

TEST_F(AuReader, TheDataOffsetIsHonoured)
{
    Bytes b = AuHeader(".snd", true, 32, 2, 3, 8000, 1).Str("annotati").BE16(1234);
    const LoadResult r = Load(b);
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{1234}));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(AuReader, UnusableFilesShowTheirMessageAfterABeep)
{
    EXPECT_FALSE(Load(AuHeader(".snd", true, 24, 4, 3, 8000, 2).BE32(0)).bLoaded);
    EXPECT_FALSE(Load(AuHeader(".snd", true, 24, 4, 3, 8000, 0).BE32(0)).bLoaded); // no channel
    EXPECT_FALSE(Load(AuHeader(".snd", true, 24, 0, 3, 8000, 1).BE32(0)).bLoaded);
    EXPECT_FALSE(Load(AuHeader(".snd", true, 24, 4, 6, 8000, 1).BE32(0)).bLoaded); // 32-bit float
    EXPECT_EQ(m_messages, (std::vector<std::string>{kNoData, kNoData, kNoData, kUnsupported}));
    EXPECT_EQ(m_events, (std::vector<std::string>{"beep0", "box", "beep0", "box", "beep0", "box", "beep0", "box"}));
}

TEST_F(AuReader, NotAuIsRejectedSilently)
{
    EXPECT_FALSE(Load(AuHeader(".snD", true, 24, 4, 3, 8000, 1).BE32(0)).bLoaded);
    EXPECT_FALSE(Load(AuHeader(".snd", true, 23, 4, 3, 8000, 1).BE32(0)).bLoaded);
    EXPECT_FALSE(Load(Bytes().Str(".snd")).bLoaded);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(AuReader, DeclaredSizeBeyondTheFileReadsWhatTheFileHolds)
{
    // The all-ones "unknown size".
    LoadResult r = Load(AuHeader(".snd", true, 24, 0xFFFFFFFFu, 3, 8000, 1).BE16(1).BE16(2).BE16(3));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{1, 2, 3}));
    r = Load(AuHeader("dns.", false, 24, 100, 1, 8000, 1).Raw({0xFF, 0x00}));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{0, -32124}));
    // A header with a size but no data at all.
    EXPECT_FALSE(Load(AuHeader(".snd", true, 24, 1000, 3, 8000, 1)).bLoaded);
    EXPECT_FALSE(Load(AuHeader(".snd", true, 0x7FFFFFFF, 1000, 3, 8000, 1).BE32(1)).bLoaded);
    EXPECT_EQ(m_messages, (std::vector<std::string>{kNoData, kNoData}));
}

TEST_F(AuReader, AllocationFailuresFailCleanly)
{
    CSampleBlock::SetAllocationLimit(3);
    EXPECT_FALSE(Load(AuHeader(".snd", true, 24, 4, 1, 8000, 1).Raw({1, 2, 3, 4})).bLoaded);
    EXPECT_EQ(m_messages, (std::vector<std::string>{"Not enough memory to perform the requested task."}));
    m_messages.clear();
    EXPECT_FALSE(Load(AuHeader(".snd", true, 24, 4, 3, 8000, 1).Raw({1, 2, 3, 4})).bLoaded);
    EXPECT_TRUE(m_messages.empty());
}

} // namespace
