// The AIFF/AIFC reader: the bounded chunk scan and the sample conversion.
#include "tests/support/ByteBuilder.h"

namespace {

Bytes PlainAiff(const Bytes& samples, uint32_t frames, uint16_t bits = 16, int16_t channels = 1)
{
    return Form("AIFF", Bytes().Append(AiffComm(channels, frames, bits, Extended(22050))).Append(Ssnd(samples)));
}

// FORM, COMM, n skipped "COMT" chunks, SSND.
Bytes AiffWithSkippedChunks(int n)
{
    Bytes chunks = AiffComm(1, 2, 16, Extended(8000));
    for (int i = 0; i < n; ++i)
        chunks.Append(AiffChunk("COMT", Bytes().BE16(0)));
    chunks.Append(Ssnd(BigWords({1, 2})));
    return Form("AIFF", chunks);
}

using AiffReader = ReaderTest;

TEST_F(AiffReader, PlainAiffSixteenBitIsSwappedToNative)
{
    const LoadResult r = Load(PlainAiff(BigWords({0x0102, -2, 32767}), 3));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.strReader, "aiff");
    EXPECT_EQ(r.store.sampleRate, 22050);
    EXPECT_EQ(r.store.sampleCount, 3);
    EXPECT_EQ(r.store.byteLength, 6);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{0x0102, -2, 32767}));
}

TEST_F(AiffReader, EightBitIsSigned)
{
    const LoadResult r = Load(PlainAiff(Bytes().Raw({0x80, 0x7F, 0x00, 0xFF}), 4, 8));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{-32768, 32512, 0, -256}));
}

TEST_F(AiffReader, AifcNeedsNoneCompressionAndFver)
{
    const Bytes ssnd = Ssnd(BigWords({5, 6}));
    const LoadResult r =
        Load(Form("AIFC", Bytes().Append(Fver()).Append(AifcComm(1, 2, 16, Extended(44100))).Append(ssnd)));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.store.sampleRate, 44100);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{5, 6}));

    EXPECT_FALSE(Load(Form("AIFC", Bytes().Append(AifcComm(1, 2, 16, Extended(44100))).Append(ssnd))).bLoaded);
    EXPECT_FALSE(Load(Form("AIFC", Bytes().Append(Fver()).Append(AifcComm(1, 2, 16, Extended(44100), "sowt")).Append(ssnd))).bLoaded);
    // An AIFF COMM inside an AIFC form is read as 46 bytes and misses "NONE".
    EXPECT_FALSE(Load(Form("AIFC", Bytes().Append(Fver()).Append(AiffComm(1, 2, 16, Extended(44100))).Append(ssnd))).bLoaded);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(AiffReader, ScanBudgetAllowsTwelveSkippedChunksBeforeSsnd)
{
    // Pass 1 takes FORM and COMM (two extra budget units) and skips one chunk;
    // each later pass skips one more. With 12 chunks SSND is met in pass 13, the
    // last one the budget of 15 allows.
    const LoadResult r = Load(AiffWithSkippedChunks(12));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{1, 2}));
    EXPECT_FALSE(Load(AiffWithSkippedChunks(13)).bLoaded);
}

TEST_F(AiffReader, ChunkOrderAndFixedCommSize)
{
    // SSND before COMM is never matched again after COMM.
    EXPECT_FALSE(Load(Form("AIFF", Bytes().Append(Ssnd(BigWords({1}))).Append(AiffComm(1, 1, 16, Extended(8000))))).bLoaded);
    // A COMM that declares 20 bytes leaves the scan 2 bytes short of SSND.
    Bytes comm = AiffChunk("COMM", Bytes().BE16(1).BE32(1).BE16(16).Append(Extended(8000)).BE16(0));
    EXPECT_FALSE(Load(Form("AIFF", Bytes().Append(comm).Append(Ssnd(BigWords({1}))))).bLoaded);
    // A chunk the scan does not know stops it before SSND.
    EXPECT_FALSE(Load(Form("AIFF", Bytes().Append(AiffComm(1, 1, 16, Extended(8000))).Append(AiffChunk("CHAN", Bytes().BE32(0))).Append(Ssnd(BigWords({1}))))).bLoaded);
    // Skipped chunks before COMM are fine, and the rights notice is one of them.
    const LoadResult r = Load(Form("AIFF", Bytes().Append(AiffChunk("(c) ", Bytes().Str("me!"))).Append(AiffChunk("NAME", Bytes().Str("x"))).Append(AiffComm(1, 1, 16, Extended(8000))).Append(Ssnd(BigWords({77})))));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{77}));
}

TEST_F(AiffReader, SsndOffsetFieldIsIgnored)
{
    const LoadResult r = Load(Form("AIFF", Bytes().Append(AiffComm(1, 2, 16, Extended(8000))).Append(Ssnd(BigWords({3, 4}), 2))));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{3, 4}));
}

TEST_F(AiffReader, RejectsWhatItCannotPlay)
{
    EXPECT_FALSE(Load(PlainAiff(BigWords({1, 2}), 1, 16, 2)).bLoaded);  // stereo
    EXPECT_FALSE(Load(PlainAiff(BigWords({1, 2}), 2, 16, 0)).bLoaded);  // no channels
    for (int16_t nNegative : {int16_t(-1), int16_t(-32768)}) {         // 0xFFFF, 0x8000: not mono
        EXPECT_FALSE(Load(PlainAiff(BigWords({1, 2}), 2, 16, nNegative)).bLoaded);
        EXPECT_FALSE(Load(Form("AIFC", Bytes().Append(Fver()).Append(AifcComm(nNegative, 2, 16, Extended(8000)))
                                          .Append(Ssnd(BigWords({1, 2}))))).bLoaded);
    }
    EXPECT_FALSE(Load(PlainAiff(BigWords({1, 2}), 1, 24)).bLoaded);     // 24 bits
    EXPECT_FALSE(Load(PlainAiff(BigWords({1, 2}), 2, 0)).bLoaded);      // no bit depth
    EXPECT_FALSE(Load(PlainAiff(BigWords({1, 2}), 3)).bLoaded);         // data short of the frame count
    EXPECT_FALSE(Load(PlainAiff(BigWords({1, 2}), 0xFFFFFFFFu)).bLoaded);
    EXPECT_FALSE(Load(PlainAiff(Bytes().Raw({1}), 0x80000000u, 8)).bLoaded);
    EXPECT_FALSE(Load(Form("AIFX", Bytes().Append(AiffComm(1, 1, 16, Extended(8000))).Append(Ssnd(BigWords({1}))))).bLoaded);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(AiffReader, HugeSkippedChunkDoesNotWrapThePosition)
{
    // 15 skips of almost 4 GB each would wrap a 32-bit position back to the start.
    Bytes chunks = AiffComm(1, 1, 16, Extended(8000));
    chunks.Str("ANNO").BE32(0xFFFFFFF7u);
    chunks.Append(Ssnd(BigWords({1})));
    EXPECT_FALSE(Load(Form("AIFF", chunks)).bLoaded);
}

TEST_F(AiffReader, OddRateTruncatesTowardZero)
{
    // 22254.545... Hz
    const Bytes rate = Bytes().Raw({0x40, 0x0D, 0xAD, 0xDD, 0x17, 0x45, 0xD1, 0x74, 0x58, 0x00});
    const LoadResult r = Load(Form("AIFF", Bytes().Append(AiffComm(1, 1, 16, rate)).Append(Ssnd(BigWords({1})))));
    ASSERT_TRUE(r.bLoaded);
    EXPECT_EQ(r.store.sampleRate, 22254);
    // A finite rate beyond int32 is held at the largest rather than wrapping.
    const Bytes huge = Bytes().BE16(16383 + 40).BE32(0x80000000u).BE32(0); // 2^40 Hz
    const LoadResult r2 = Load(Form("AIFF", Bytes().Append(AiffComm(1, 1, 16, huge)).Append(Ssnd(BigWords({1})))));
    ASSERT_TRUE(r2.bLoaded);
    EXPECT_EQ(r2.store.sampleRate, 2147483647);
}

TEST_F(AiffReader, InfiniteOrNanRateIsABrokenHeadersZero)
{
    // Exponent 0x7FFF: infinity (empty mantissa, either sign) or NaN; the sound
    // still loads, with the rate a broken header gives.
    for (const Bytes& rate : {Bytes().Raw({0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}),
                              Bytes().Raw({0xFF, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}),
                              Bytes().Raw({0x7F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 1})}) {
        const LoadResult r = Load(Form("AIFF", Bytes().Append(AiffComm(1, 1, 16, rate)).Append(Ssnd(BigWords({5})))));
        ASSERT_TRUE(r.bLoaded);
        EXPECT_EQ(r.store.sampleRate, 0);
        EXPECT_EQ(r.samples, (std::vector<int16_t>{5}));
    }
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(AiffReader, EightBitBufferFailureShowsTheMemoryMessage)
{
    CSampleBlock::SetAllocationLimit(3);
    EXPECT_FALSE(Load(PlainAiff(Bytes().Raw({1, 2, 3, 4}), 4, 8)).bLoaded);
    EXPECT_EQ(m_messages, (std::vector<std::string>{"Not enough memory to perform the requested task."}));
    EXPECT_EQ(m_events, (std::vector<std::string>{"beep0", "box"}));
    // A sixteen-bit block that cannot be had fails silently.
    m_messages.clear();
    EXPECT_FALSE(Load(PlainAiff(BigWords({1, 2}), 2)).bLoaded);
    EXPECT_TRUE(m_messages.empty());
}

} // namespace
