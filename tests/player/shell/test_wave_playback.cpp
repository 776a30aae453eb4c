// Playback on the recording backend: what reaches the device, the result
// codes, and that the sample block stays alive and locked exactly while the
// device reads it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTemporaryDir>

#include "player/audio/CFileReader.h"
#include "tests/support/SampleBlockProbe.h"
#include "tests/support/CRecordingWaveOut.h"
#include "player/audio/CSonavelProDoc.h"
#include "player/shell/CSonavelProApp.h"
#include "player/shell/CWaveWnd.h"
#include "tests/player/shell/ShellTestSupport.h"

using namespace shelltest;

namespace {

SampleStore MakeStore(const std::vector<int16_t>& samples, int32_t nRate)
{
    SampleStore store;
    store.sampleCount = static_cast<int32_t>(samples.size());
    store.byteLength = store.sampleCount * 2;
    store.sampleRate = nRate;
    store.hSamples = CSampleBlock::Alloc(static_cast<size_t>(store.byteLength));
    CSampleLock lock(store.hSamples);
    std::copy(samples.begin(), samples.end(), lock.Samples());
    return store;
}

class PlaybackTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        m_recorder.CompletePending();
        WaitFor([] { return OpenWaveOutCount() == 0; });
        QCoreApplication::processEvents();
        EXPECT_EQ(OpenWaveOutCount(), 0) << "an opening was never closed";
    }
    const CRecordingWaveOutFactory::Opening& LastOpening() { return m_recorder.m_openings.back(); }

    CRecordingWaveOutFactory m_recorder;
    testsupport::CScopedValue<CWaveOutFactory*> m_useRecorder{g_waveOutFactory, &m_recorder};
};

TEST_F(PlaybackTest, PlaysTheWholeStoreAsMono16BitAtItsRate)
{
    std::vector<int16_t> samples = Glide(2205, 22050);
    SampleStore store = MakeStore(samples, 22050);
    CWaveWnd wave;
    ASSERT_EQ(wave.Play(store, 0, store.sampleCount), 0);
    EXPECT_EQ(wave.objectName(), "Wave Wnd");

    ASSERT_EQ(m_recorder.m_openings.size(), 1u);
    const WaveFormat& f = LastOpening().format;
    EXPECT_EQ(f.wFormatTag, 1);
    EXPECT_EQ(f.nChannels, 1);
    EXPECT_EQ(f.nSamplesPerSec, 22050);
    EXPECT_EQ(f.nAvgBytesPerSec, 44100);
    EXPECT_EQ(f.nBlockAlign, 2);
    EXPECT_EQ(f.wBitsPerSample, 16);
    ASSERT_EQ(LastOpening().written.size(), 1u);
    EXPECT_EQ(LastOpening().written[0], SampleBytes(samples));

    // The notice arrives through the event loop, then the opening is closed.
    EXPECT_EQ(wave.m_hWaveOut, g_hCurrentWaveOut);
    EXPECT_TRUE(WaitFor([&] { return wave.m_hWaveOut == 0; }));
    EXPECT_TRUE(LastOpening().bClosed);
    EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 0);
}

TEST_F(PlaybackTest, PartOfTheStorePlaysFromTheStartSample)
{
    std::vector<int16_t> samples = Glide(1000, 8000);
    SampleStore store = MakeStore(samples, 8000);
    CWaveWnd wave;
    ASSERT_EQ(wave.Play(store, 100, 300), 0);
    std::vector<int16_t> part(samples.begin() + 100, samples.begin() + 300);
    EXPECT_EQ(LastOpening().written.at(0), SampleBytes(part));
}

TEST_F(PlaybackTest, RefusedRatesGiveCode2AndTouchNothing)
{
    for (int32_t nRate : {0, -22050, INT32_MIN}) {
        SampleStore store = MakeStore(Glide(100, 8000), nRate);
        CWaveWnd wave;
        EXPECT_EQ(wave.Play(store, 0, store.sampleCount), CWaveWnd::PLAY_BAD_FORMAT) << nRate;
        EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 0);
        EXPECT_EQ(wave.m_hWaveOut, 0u);
    }
    EXPECT_TRUE(m_recorder.m_openings.empty());
}

TEST_F(PlaybackTest, BlockStaysLockedUntilEachPlaybackEndsThenUnlocksOncePerPlayback)
{
    m_recorder.m_bAutoComplete = false;
    SampleStore store = MakeStore(Glide(4000, 16000), 16000);
    CWaveWnd first, second;
    ASSERT_EQ(first.Play(store, 0, store.sampleCount), 0);
    EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 1);
    // A second Play while the first runs plays alongside it.
    ASSERT_EQ(second.Play(store, 0, store.sampleCount), 0);
    EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 2) << "unlocked before the device reported the end";

    m_recorder.CompletePending();
    EXPECT_TRUE(WaitFor([&] { return first.m_hWaveOut == 0 && second.m_hWaveOut == 0; }));
    EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 0);
    EXPECT_EQ(OpenWaveOutCount(), 0);
    // A second notice (the device repeating itself) unlocks nothing more.
    EXPECT_EQ(first.OnWaveOutDone(), 0);
    EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 0);
}

TEST_F(PlaybackTest, ABusyDeviceIsTakenFromTheCurrentPlayback)
{
    m_recorder.m_bAutoComplete = false;
    m_recorder.m_nMaxOpen = 1;
    SampleStore store = MakeStore(Glide(4000, 16000), 16000);
    CWaveWnd first, second;
    ASSERT_EQ(first.Play(store, 0, store.sampleCount), 0);
    HWAVEOUT hFirst = first.m_hWaveOut;
    ASSERT_EQ(second.Play(store, 0, store.sampleCount), 0);
    EXPECT_NE(second.m_hWaveOut, hFirst);
    EXPECT_EQ(g_hCurrentWaveOut, second.m_hWaveOut);
    EXPECT_EQ(m_recorder.m_openings[0].nResets, 1);
    EXPECT_TRUE(m_recorder.m_openings[0].bClosed);
    // The stopped playback still gets its notice and lets go of the block.
    EXPECT_TRUE(WaitFor([&] { return CSampleBlockProbe::LockCount(store.hSamples) == 1; }));
    EXPECT_EQ(first.m_hWaveOut, 0u);
}

TEST_F(PlaybackTest, OpenFailuresGiveCodes3And4)
{
    m_recorder.m_bAutoComplete = false;
    SampleStore store = MakeStore(Glide(400, 8000), 8000);
    {
        // Nothing playing: the current opening is stale, its reset fails.
        CWaveWnd ended;
        ASSERT_EQ(ended.Play(store, 0, store.sampleCount), 0);
        m_recorder.CompletePending();
        ASSERT_TRUE(WaitFor([&] { return ended.m_hWaveOut == 0; }));
        m_recorder.m_nMaxOpen = 0;
        CWaveWnd wave;
        EXPECT_EQ(wave.Play(store, 0, store.sampleCount), CWaveWnd::PLAY_TAKEOVER_FAILED);
        EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 0);
    }
    {
        // A playback runs, but even after it is stopped the device stays refused.
        m_recorder.m_nMaxOpen = 1;
        CWaveWnd running;
        ASSERT_EQ(running.Play(store, 0, store.sampleCount), 0);
        m_recorder.m_nMaxOpen = 0;
        CWaveWnd wave;
        EXPECT_EQ(wave.Play(store, 0, store.sampleCount), CWaveWnd::PLAY_OPEN_FAILED);
        EXPECT_TRUE(WaitFor([&] { return CSampleBlockProbe::LockCount(store.hSamples) == 0; }));
    }
}

TEST_F(PlaybackTest, AFailedWriteClosesTheOpeningAndUnlocks)
{
    m_recorder.m_nFailWrites = 1;
    SampleStore store = MakeStore(Glide(400, 8000), 8000);
    CWaveWnd wave;
    EXPECT_EQ(wave.Play(store, 0, store.sampleCount), CWaveWnd::PLAY_WRITE_FAILED);
    EXPECT_EQ(wave.m_hWaveOut, 0u);
    EXPECT_EQ(OpenWaveOutCount(), 0);
    EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 0);
}

TEST_F(PlaybackTest, NeverReadsPastTheBlock)
{
    // Counts that disagree with the block (a broken header) and odd ranges.
    SampleStore store = MakeStore(Glide(100, 8000), 8000);
    store.sampleCount = 1000000;
    CWaveWnd overlong;
    ASSERT_EQ(overlong.Play(store, 0, store.sampleCount), 0);
    EXPECT_EQ(LastOpening().written.at(0).size(), 200);

    CWaveWnd backwards;
    ASSERT_EQ(backwards.Play(store, 50, 10), 0);
    EXPECT_EQ(LastOpening().written.at(0).size(), 0);

    SampleStore empty;
    empty.sampleRate = 8000;
    CWaveWnd nothing;
    EXPECT_EQ(nothing.Play(empty, 0, 0), 0);
    EXPECT_EQ(LastOpening().written.at(0).size(), 0);
}

TEST_F(PlaybackTest, OpeningANewSoundWhilePlayingKeepsTheOldBlockUntilTheDeviceIsDone)
{
    m_recorder.m_bAutoComplete = false;
    CSonavelProApp app;
    app.m_store = MakeStore(Glide(8000, 8000), 8000);
    app.m_bLoaded = 1;
    std::weak_ptr<CSampleBlock> old = app.m_store.hSamples;
    app.OnPlay();
    ASSERT_EQ(m_recorder.m_openings.size(), 1u);

    CMessageRecorder messages;
    app.OpenDocumentFile(QStringLiteral("/nonexistent/sound.wav"));
    EXPECT_EQ(app.m_store.hSamples, nullptr);
    EXPECT_EQ(app.m_bLoaded, 0);
    ASSERT_FALSE(old.expired()) << "the block was freed while the device reads it";
    EXPECT_EQ(CSampleBlockProbe::LockCount(old.lock()), 1);

    m_recorder.CompletePending();
    EXPECT_TRUE(WaitFor([&] { return old.expired(); })) << "the playback never let go of the block";
    // The playback object released itself once its opening was closed.
    EXPECT_TRUE(WaitFor([&] { return app.findChildren<CWaveWnd*>().isEmpty(); }));
}

TEST_F(PlaybackTest, QuittingMidPlaybackStopsTheDeviceAndFreesEverything)
{
    m_recorder.m_bAutoComplete = false;
    std::weak_ptr<CSampleBlock> block;
    {
        CSonavelProApp app;
        app.m_store = MakeStore(Glide(8000, 8000), 8000);
        app.m_bLoaded = 1;
        block = app.m_store.hSamples;
        app.OnPlay();
        app.OnPlay();
        // The second Play started the sound over: the first was stopped.
        EXPECT_EQ(OpenWaveOutCount(), 1);
    }
    EXPECT_EQ(OpenWaveOutCount(), 0);
    EXPECT_TRUE(block.expired());
    EXPECT_EQ(m_recorder.m_openings[0].nResets, 1);
}

TEST_F(PlaybackTest, AHundredOpensLeaveOnlyTheCurrentSound)
{
    QTemporaryDir dir;
    QString strPath = dir.filePath("many.wav");
    ASSERT_TRUE(WriteTestFile(strPath, MakeWav(Glide(4000, 8000), 8000)));
    CMessageRecorder messages;
    CSonavelProApp app;
    std::vector<std::weak_ptr<CSampleBlock>> blocks;
    m_recorder.m_bAutoComplete = false;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(app.OpenDocumentFile(strPath));
        blocks.push_back(app.m_store.hSamples);
        // Every third playback is still in the device when the next open comes.
        if (i % 3)
            m_recorder.CompletePending();
        QCoreApplication::processEvents();
    }
    m_recorder.CompletePending();
    ASSERT_TRUE(WaitFor([&] { return app.findChildren<CWaveWnd*>().isEmpty(); }));
    EXPECT_TRUE(messages.m_messages.empty());
    for (size_t i = 0; i + 1 < blocks.size(); ++i)
        EXPECT_TRUE(blocks[i].expired()) << "block of open " << i << " outlived its playback";
    EXPECT_EQ(blocks.back().lock(), app.m_store.hSamples);
    EXPECT_EQ(CSampleBlockProbe::LockCount(app.m_store.hSamples), 0);
    EXPECT_EQ(OpenWaveOutCount(), 0);
}

TEST(WaveWndChunkWalk, LoadsTheDataChunkIntoTheLinkedDocumentsStore)
{
    QTemporaryDir dir;
    QString strPath = dir.filePath("walk.wav");
    std::vector<int16_t> samples = Glide(300, 8000);
    ASSERT_TRUE(WriteTestFile(strPath, MakeWav(samples, 8000)));
    CFileReader file;
    ASSERT_TRUE(file.Open(strPath.toStdString()));
    CSonavelProDoc doc(nullptr);
    CWaveWnd walker(&doc);
    sonavel::audio::WaveFormatRecord format;
    int32_t nDataLength = 0;
    ASSERT_EQ(walker.FindWaveData(file, format, nDataLength), 0);
    EXPECT_EQ(nDataLength, 600);
    EXPECT_EQ(format.nSamplesPerSec, 8000u);
    ASSERT_NE(doc.m_store.hSamples, nullptr);
    CSampleLock lock(doc.m_store.hSamples);
    EXPECT_EQ(QByteArray(static_cast<const char*>(lock.Data()), 600), SampleBytes(samples));

    // Without a document there is nowhere to load to.
    CWaveWnd unlinked;
    EXPECT_EQ(unlinked.FindWaveData(file, format, nDataLength), -1);
}

} // namespace
