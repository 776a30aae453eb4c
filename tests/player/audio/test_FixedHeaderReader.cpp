// The fixed-header PCM readers: header-length rules of both byte orders.
#include "tests/support/ByteBuilder.h"

namespace {

using FixedHeaderReader = ReaderTest;

TEST_F(FixedHeaderReader, LittleEndianAcceptsFullOrLessFourHeaderLength)
{
    for (uint32_t nHeaderLength : {6480u, 6476u}) {
        const LoadResult r = Load(FixedHeader(false, nHeaderLength, 10, 10000, 6).LE16(1).LE16(0xFFFF).LE16(300));
        ASSERT_TRUE(r.bLoaded) << nHeaderLength;
        EXPECT_EQ(r.strReader, "fixed-le");
        EXPECT_EQ(r.store.sampleRate, 10000);
        EXPECT_EQ(r.store.sampleCount, 3);
        EXPECT_EQ(r.samples, (std::vector<int16_t>{1, -1, 300}));
    }
    EXPECT_FALSE(Load(FixedHeader(false, 6472, 10, 10000, 2).LE16(1)).bLoaded);
    EXPECT_FALSE(Load(FixedHeader(false, 6480, 11, 10000, 2).LE16(1)).bLoaded);
}

TEST_F(FixedHeaderReader, BigEndianWantsFormatTwenty)
{
    const LoadResult r = Load(FixedHeader(true, 6480, 20, 12000, 4).BE16(0x0102).BE16(0xFFFE));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.strReader, "fixed-be");
    EXPECT_EQ(r.store.sampleRate, 12000);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{0x0102, -2}));
    EXPECT_TRUE(Load(FixedHeader(true, 6476, 20, 12000, 2).BE16(1)).bLoaded);
    EXPECT_FALSE(Load(FixedHeader(true, 6480, 10, 12000, 2).BE16(1)).bLoaded);
}

TEST_F(FixedHeaderReader, DeclaredLengthIsHeldToWhatTheFileHolds)
{
    // Three samples declared, two and a half in the file.
    const LoadResult r = Load(FixedHeader(true, 6480, 20, 8000, 6).BE16(0x0102).BE16(0x0304).U8(0x05));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{0x0102, 0x0304}));
    // A file shorter than the header that names its own length (or the length
    // less 4) holds no data, whatever it declares: 2 GB here.
    for (uint32_t nHeaderLength : {32u, 28u}) {
        Bytes b;
        b.LE32(nHeaderLength).LE32(10).LE32(0).LE32(0).LE32(8000).LE32(0).LE32(0x7FFFFFFE).LE32(0);
        const LoadResult r = Load(b);
        ASSERT_TRUE(r.bLoaded);
        EXPECT_EQ(r.store.sampleCount, 0);
    }
}

TEST_F(FixedHeaderReader, ShortFileDoesNotSeeTheHeaderReadBefore)
{
    ASSERT_TRUE(Load(FixedHeader(true, 6480, 20, 16000, 2).BE16(1)).bLoaded);
    // Eight bytes: no rate, no data length of its own.
    const LoadResult r = Load(Bytes().LE32(8).LE32(10));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.store.sampleRate, 0);
    EXPECT_EQ(r.store.sampleCount, 0);
}

TEST_F(FixedHeaderReader, OddDataLengthKeepsTheByteButNotAsASample)
{
    const LoadResult r = Load(FixedHeader(false, 6480, 10, 8000, 5).LE16(1).LE16(2).U8(3));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.store.byteLength, 5);
    EXPECT_EQ(r.store.sampleCount, 2);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{1, 2}));
}

TEST_F(FixedHeaderReader, NegativeOrUnallocatableLengthFailsCleanly)
{
    EXPECT_FALSE(Load(FixedHeader(false, 6480, 10, 8000, 0xFFFFFFFEu).LE16(1)).bLoaded);
    EXPECT_FALSE(Load(FixedHeader(true, 6480, 20, 8000, 0x80000000u).BE16(1)).bLoaded);
    CSampleBlock::SetAllocationLimit(1);
    EXPECT_FALSE(Load(FixedHeader(false, 6480, 10, 8000, 0x7FFFFFFF).LE16(1)).bLoaded);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(FixedHeaderReader, IgnoredFieldsDoNotMatter)
{
    Bytes b = FixedHeader(false, 6480, 10, 8000, 2).LE16(9);
    b.PutLE32(8, 0xDEADBEEF);
    b.PutLE32(12, 0xDEADBEEF);
    b.PutLE32(20, 0xDEADBEEF);
    b.PutLE32(28, 0xDEADBEEF);
    const LoadResult r = Load(b);
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{9}));
}

} // namespace
