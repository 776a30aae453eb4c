// A long session of the player program: a hundred opens, each starting its own
// playback, with the device holding every buffer until the test lets it finish.
// While the device reads a block the block must live; once every opening is
// closed, every playback object and every block but the current sound's is gone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

#include "tests/support/CRecordingWaveOut.h"
#include "tests/support/SampleBlockProbe.h"
#include "tests/support/ScopedHook.h"
#include "player/shell/CSonavelProApp.h"
#include "player/shell/CWaveWnd.h"
#include "player/analysis/window/Messages.h"
#include "tests/support/WaitFor.h"

namespace fs = std::filesystem;

namespace {

using testsupport::WaitFor;

std::vector<fs::path> SeedFiles()
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(FUZZ_CORPUS_DIR) / "audio"))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class PlaybackReleaseTest : public testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        m_oldBox = sonavel::SetMessageBoxHandler([](const std::string&, unsigned) { return 1; });
    }
    void TearDown() override
    {
        sonavel::SetMessageBoxHandler(m_oldBox);
    }

    CRecordingWaveOutFactory m_recorder;
    testsupport::CScopedValue<CWaveOutFactory*> m_useRecorder{g_waveOutFactory, &m_recorder};
    CScopedAllocationLimit m_limit{64u << 20};
    sonavel::MessageBoxHandler m_oldBox;
};

// Parameter: how many openings the device allows at once (-1 = any number); with
// one, each new playback has to take the device over from the one before.
TEST_P(PlaybackReleaseTest, HundredOpensReleaseEveryPlaybackAndBlock)
{
    m_recorder.m_bAutoComplete = false;
    m_recorder.m_nMaxOpen = GetParam();
    const std::vector<fs::path> files = SeedFiles();
    ASSERT_FALSE(files.empty());

    std::vector<std::weak_ptr<CSampleBlock>> blocks;
    std::vector<std::weak_ptr<CSampleBlock>> playing; // blocks whose playback started
    {
        CSonavelProApp app;
        for (int i = 0; i < 100; ++i) {
            app.OpenDocumentFile(QString::fromStdString(files[static_cast<size_t>(i) % files.size()].string()));
            if (app.m_store.hSamples) {
                blocks.push_back(app.m_store.hSamples);
                if (app.m_bLoaded)
                    playing.push_back(app.m_store.hSamples);
            }
            QCoreApplication::processEvents();
        }
        ASSERT_GT(playing.size(), 50u) << "most seed files load and play";
        // One sound plays at a time: each open stops the playback before it, so
        // only the block of the last open, if it plays, is still in a device.
        if (app.m_bLoaded) {
            EXPECT_FALSE(app.m_store.hSamples == nullptr || playing.back().expired())
                << "the playing block was freed while the device read it";
        }

        m_recorder.CompletePending();
        ASSERT_TRUE(WaitFor([&] { return OpenWaveOutCount() == 0 && app.findChildren<CWaveWnd*>().isEmpty(); }, 5000))
            << OpenWaveOutCount() << " openings and " << app.findChildren<CWaveWnd*>().size()
            << " playback objects left";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        for (size_t i = 0; i + 1 < blocks.size(); ++i)
            EXPECT_TRUE(blocks[i].expired()) << "block of load " << i << " outlived its playback";
        if (app.m_store.hSamples) {
            EXPECT_FALSE(blocks.back().expired());
            EXPECT_EQ(CSampleBlockProbe::LockCount(app.m_store.hSamples), 0);
        }
    }
    EXPECT_TRUE(blocks.back().expired()) << "the application kept its block after it ended";
}

INSTANTIATE_TEST_SUITE_P(DeviceLimits, PlaybackReleaseTest, testing::Values(-1, 1));

} // namespace
