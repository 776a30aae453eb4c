// The render command's picture when the analysis cannot be had: drawn without
// it, said on stderr, and the status is 1. Runs the command in this process, so
// that the tracker's test hook reaches it.
#include <gtest/gtest.h>

#include "player/analysis/pitch/CAmdfTracker.h"
#include "player/analyze/AnalyzeCommands.h"
#include "tests/support/CScratchDir.h"
#include "tests/support/ScopedHook.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/voicesynth/WavFile.h"

namespace {

TEST(RenderFailure, AFailingTrackerEndsWithStatusOneAndSaysSo)
{
    testsupport::CScratchDir dir;
    const std::string wav = dir / "voice.wav", png = dir / "voice.png";
    ASSERT_TRUE(WriteWavFile(wav, SynthesizeVoice(VoiceSynthParams()), 22050));
    std::vector<std::string> args{"render", wav, "-o", png};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());

    CAmdfTracker::ForceTrackResultForTests(sonavel::analysis::EOutcome::NoMemory);
    const testsupport::CAtScopeEnd trackAgain(
        [] { CAmdfTracker::ForceTrackResultForTests(sonavel::analysis::EOutcome::Done); });
    testing::internal::CaptureStderr();
    const int nStatus = sonavel::analyze::RunRender(static_cast<int>(argv.size()), argv.data());
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(nStatus, 1);
    // Qt may add a notice of its own; ours is one line.
    EXPECT_NE(err.find("sonavel-analyze: " + wav + ": not enough memory to track the pitch\n"), std::string::npos)
        << err;
    EXPECT_EQ(err.find("sonavel-analyze:"), err.rfind("sonavel-analyze:")) << err;
    EXPECT_TRUE(testsupport::Slurp(png).rfind("\x89PNG", 0) == 0); // drawn, without the dots
}

} // namespace
