// A long session in one process: every file of the seed corpus opened in turn
// until 100 opens have run, the way the player's application keeps its store
// (each load replaces the previous sound). No block may outlive its sound; the
// sanitizer build's leak check covers everything else the opens allocate.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

#include "player/audio/CDocumentHost.h"
#include "player/audio/CSampleBlock.h"
#include "tests/support/SampleBlockProbe.h"
#include "player/audio/CSonavelProDoc.h"

namespace fs = std::filesystem;

namespace {

class CKeepingHost : public CDocumentHost {
public:
    void OnDocumentLoaded(const SampleStore& store, const sonavel::audio::CLoadResult&) override
    {
        m_store = store;
        m_blocks.push_back(store.hSamples);
    }
    SampleStore m_store;
    std::vector<std::weak_ptr<CSampleBlock>> m_blocks;
};

} // namespace

TEST(OpenMany, HundredOpensInOneProcessLeaveOnlyTheCurrentSound)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(FUZZ_CORPUS_DIR) / "audio"))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());

    // Some seeds claim gigabytes of silence; a session of ordinary sounds is the point here.
    CKeepingHost host;
    {
        CScopedAllocationLimit limit(64u << 20);
        for (int i = 0; i < 100; ++i) {
            // The application drops its sound before each open.
            host.m_store.Clear();
            CSonavelProDoc doc(&host);
            doc.OnOpenDocument(files[static_cast<size_t>(i) % files.size()].string());
        }
    }

    ASSERT_GT(host.m_blocks.size(), 50u) << "most seed files load";
    for (size_t i = 0; i + 1 < host.m_blocks.size(); ++i)
        EXPECT_TRUE(host.m_blocks[i].expired()) << "block of load " << i << " is still alive";
    if (host.m_store.hSamples) {
        EXPECT_FALSE(host.m_blocks.back().expired());
    }
    host.m_store.Clear();
    EXPECT_TRUE(host.m_blocks.back().expired());
}
