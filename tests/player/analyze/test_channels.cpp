// --channel of pitch (one file, a batch, the track from the file) and render,
// run as a user runs them on a file with 440 Hz on the left and 660 Hz on the
// right.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/CScratchDir.h"

using testsupport::Quote;
using testsupport::Shell;
using testsupport::Slurp;

namespace {

const std::string kAnalyze = SONAVEL_ANALYZE;

// The mean of the voiced frames of a pitch CSV.
double MeanPitch(const std::string& csv)
{
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    double dSum = 0;
    int nVoiced = 0;
    while (std::getline(in, line)) {
        const double dHz = std::stod(line.substr(line.find(',') + 1));
        if (dHz > 0) {
            dSum += dHz;
            ++nVoiced;
        }
    }
    return nVoiced > 0 ? dSum / nVoiced : 0;
}

class Channels : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(Shell("sox -n -r 16000 -c 2 -b 16 " + Quote(m_dir / "lr.wav") + " synth 2 sine 440 sine 660 vol 0.5"
                        " 2>/dev/null && sox -n -r 16000 -c 1 -b 16 " + Quote(m_dir / "mono.wav")
                        + " synth 1 sine 200 vol 0.5 2>/dev/null"),
                  0);
    }
    // The command's status, its standard output in out and its error in err.
    int Run(const std::string& args, std::string& out, std::string& err)
    {
        const int nStatus = Shell(kAnalyze + " " + args + " > " + Quote(m_dir / "out") + " 2> " + Quote(m_dir / "err"));
        out = Slurp(m_dir / "out");
        err = Slurp(m_dir / "err");
        return nStatus;
    }
    testsupport::CScratchDir m_dir;
};

TEST_F(Channels, PitchTracksTheChannelAskedFor)
{
    std::string out, err;
    const std::string lr = Quote(m_dir / "lr.wav");
    ASSERT_EQ(Run("pitch " + lr, out, err), 0);
    EXPECT_NEAR(MeanPitch(out), 440, 4);
    const std::string first = out;
    ASSERT_EQ(Run("pitch --channel 1 " + lr, out, err), 0);
    EXPECT_EQ(out, first);
    ASSERT_EQ(Run("pitch --channel 2 " + lr, out, err), 0);
    EXPECT_NEAR(MeanPitch(out), 660, 6);
    // A batch takes it for every file, the AMDF too (over a range that holds 660 Hz).
    ASSERT_EQ(Run("pitch -j 2 --channel=2 --tracker amdf --floor 300 --ceiling 800 -o " + Quote(m_dir / "batch") + " "
                      + lr + " " + Quote(m_dir / "mono.wav"),
                  out, err),
              1);
    EXPECT_NEAR(MeanPitch(Slurp(m_dir / "batch/lr.csv")), 660, 10);
    EXPECT_EQ(err, "sonavel-analyze: " + (m_dir / "mono.wav") + ": no channel 2: the file has 1 channel\n");
    // A mono 16-bit WAV, which is tracked from the file for its first channel.
    for (const char* szTracker : {"nccf", "amdf"}) {
        EXPECT_EQ(Run(std::string("pitch --tracker ") + szTracker + " --channel 2 " + Quote(m_dir / "mono.wav"), out, err),
                  1);
        EXPECT_EQ(err, "sonavel-analyze: " + (m_dir / "mono.wav") + ": no channel 2: the file has 1 channel\n");
    }
    for (const char* szBad : {"0", "-1", "two", "2x", ""})
        EXPECT_EQ(Run("pitch --channel '" + std::string(szBad) + "' " + lr, out, err), 2) << szBad;
}

TEST_F(Channels, RenderDrawsTheChannelAskedFor)
{
    std::string out, err;
    const std::string lr = Quote(m_dir / "lr.wav");
    for (const std::string view : {"", " --view"}) {
        SCOPED_TRACE(view);
        ASSERT_EQ(Run("render " + lr + " -o " + Quote(m_dir / "plain.png") + view, out, err), 0) << err;
        ASSERT_EQ(Run("render " + lr + " --channel 1 -o " + Quote(m_dir / "one.png") + view, out, err), 0) << err;
        ASSERT_EQ(Run("render " + lr + " --channel 2 -o " + Quote(m_dir / "two.png") + view, out, err), 0) << err;
        EXPECT_EQ(Slurp(m_dir / "one.png"), Slurp(m_dir / "plain.png"));
        EXPECT_NE(Slurp(m_dir / "two.png"), Slurp(m_dir / "plain.png"));
        EXPECT_EQ(Run("render " + lr + " --channel 3 -o " + Quote(m_dir / "three.png") + view, out, err), 1);
        EXPECT_EQ(err, "sonavel-analyze: " + (m_dir / "lr.wav") + ": no channel 3: the file has 2 channels\n");
    }
}

} // namespace
