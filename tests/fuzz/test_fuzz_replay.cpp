// Replays the committed seed corpus and every regression input through the same
// entry points the fuzzers use, so an ordinary (or sanitizer) test run catches a
// reader that crashes, hangs or breaks an invariant on any of them.
#include "tests/fuzz/FuzzTarget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> FilesIn(const fs::path& dir)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CReplayTest : public testing::Test {
public:
    CReplayTest(std::string name, fuzz::TargetInfo info) : m_name(std::move(name)), m_info(std::move(info)) {}

    void TestBody() override
    {
        const fs::path seeds = fs::path(FUZZ_CORPUS_DIR) / m_info.corpus;
        const fs::path regressions = fs::path(FUZZ_REGRESSION_DIR) / m_name;
        std::vector<fs::path> files = FilesIn(seeds);
        ASSERT_FALSE(files.empty()) << "no seed corpus in " << seeds;
        for (const fs::path& p : FilesIn(regressions))
            files.push_back(p);
        for (const fs::path& path : files) {
            // Named before the run: a crash leaves this as the last line of output.
            std::fprintf(stderr, "replay %s: %s\n", m_name.c_str(), path.c_str());
            const std::vector<uint8_t> bytes = ReadAll(path);
            EXPECT_EQ(m_info.fn(bytes.data(), bytes.size()), 0) << path;
        }
    }

private:
    std::string m_name;
    fuzz::TargetInfo m_info;
};

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    for (const auto& [name, info] : fuzz::Registry()) {
        testing::RegisterTest("FuzzReplay", name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                              [name = name, info = info]() -> testing::Test* { return new CReplayTest(name, info); });
    }
    return RUN_ALL_TESTS();
}
