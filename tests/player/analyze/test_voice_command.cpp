// sonavel-analyze voice run as a user runs it: one row per file in the order
// given for any -j, empty fields where nothing can be measured, JSON with
// nulls, and its settings and failures said.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/CScratchDir.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/voicesynth/WavFile.h"

using testsupport::Fields;
using testsupport::Lines;
using testsupport::Quote;
using testsupport::Shell;
using testsupport::Slurp;

namespace {

const char kszHeader[] =
    "file,start_s,end_s,f0_median_hz,f0_mean_hz,f0_sd_hz,pulses,periods,unvoiced_fraction,voice_breaks,"
    "jitter_local_pct,jitter_local_abs_us,jitter_rap_pct,jitter_ppq5_pct,jitter_ddp_pct,shimmer_local_pct,"
    "shimmer_local_db,shimmer_apq3_pct,shimmer_apq5_pct,shimmer_apq11_pct,shimmer_dda_pct,hnr_db,cpps_db";

class VoiceCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        VoiceSynthParams p;
        p.nSampleRate = 16000;
        p.dSeconds = 1.0;
        p.contour = {{0.0, 130.0}};
        p.dJitter = 0.01;
        ASSERT_TRUE(WriteWavFile(m_dir / "a.wav", SynthesizeVoice(p), 16000));
        p.contour = {{0.0, 220.0}};
        ASSERT_TRUE(WriteWavFile(m_dir / "b.wav", SynthesizeVoice(p), 16000));
        ASSERT_TRUE(WriteWavFile(m_dir / "quiet.wav", std::vector<int16_t>(16000, 0), 16000));
    }

    // The exit status; the standard output and error in out and err.
    int Run(const std::string& args, std::string& out, std::string& err)
    {
        return m_dir.Run(std::string(SONAVEL_ANALYZE) + " " + args, out, err);
    }

    testsupport::CScratchDir m_dir;
};

} // namespace

TEST_F(VoiceCommand, OneRowPerFileInOrderWithEmptyFieldsWhereNothingIsMeasured)
{
    std::string out, out1, err;
    ASSERT_EQ(Run("voice -j 2 b.wav a.wav quiet.wav", out, err), 0) << err;
    ASSERT_EQ(Run("voice -j 1 b.wav a.wav quiet.wav", out1, err), 0) << err;
    EXPECT_EQ(out, out1);
    const std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 4u) << out;
    EXPECT_EQ(lines[0], kszHeader);
    const std::vector<std::string> b = Fields(lines[1]), a = Fields(lines[2]), quiet = Fields(lines[3]);
    ASSERT_EQ(a.size(), 23u);
    EXPECT_EQ(b[0], "b.wav");
    EXPECT_EQ(a[1], "0.000000");
    EXPECT_EQ(a[2], "1.000000");
    EXPECT_NEAR(std::stod(a[3]), 130, 2);
    EXPECT_NEAR(std::stod(b[3]), 220, 3);
    EXPECT_NEAR(std::stoi(a[6]), 130 * 0.95, 10); // pulses: one per cycle of the voiced second
    // Silence has no pulse and no period: counts of 0, the rest empty but CPPS.
    ASSERT_EQ(quiet.size(), 23u) << lines[3];
    EXPECT_EQ(quiet[6], "0");
    for (int i : {3, 10, 15, 21})
        EXPECT_EQ(quiet[i], "") << i;

    // JSON: the same values by the columns' names, null where a field is empty.
    ASSERT_EQ(Run("voice --format json a.wav quiet.wav", out, err), 0) << err;
    EXPECT_NE(out.find("{\"file\": \"a.wav\", \"start_s\": 0.000000, \"end_s\": 1.000000, \"f0_median_hz\": " + a[3]),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\"jitter_local_pct\": null"), std::string::npos) << out;
    EXPECT_NE(out.find("\"hnr_db\": " + a[21] + ", \"cpps_db\": " + a[22] + "}"), std::string::npos) << out;
}

TEST_F(VoiceCommand, SpanSettingsAndFailuresAreSaid)
{
    std::string out, err;
    // A span: its own times, one row.
    ASSERT_EQ(Run("voice --start 0.25 --end 0.75 --floor 100 --ceiling 300 a.wav", out, err), 0) << err;
    const std::vector<std::string> row = Fields(Lines(out).at(1));
    EXPECT_EQ(row[1], "0.250000");
    EXPECT_EQ(row[2], "0.750000");
    // The defaults are said in --help.
    ASSERT_EQ(Run("--help", out, err), 0);
    EXPECT_NE(out.find("--floor to --ceiling Hz (75 and\n  600 unless given)"), std::string::npos) << out;
    // A refused setting: status 2 before any file is read.
    EXPECT_EQ(Run("voice --floor 700 missing.wav", out, err), 2);
    EXPECT_NE(err.find("--floor: "), std::string::npos) << err;
    for (const char* szSpan : {"--start 1 --end 0.5", "--end 0"}) {
        EXPECT_EQ(Run(std::string("voice a.wav ") + szSpan, out, err), 2) << szSpan;
        EXPECT_NE(err.find("--end: must lie after the start"), std::string::npos) << err;
    }
    // A file that fails costs its own row alone: status 1.
    EXPECT_EQ(Run("voice missing.wav a.wav --start 2", out, err), 1);
    EXPECT_NE(err.find("a.wav: start: 2 s lies at or after the end of the sound (1 s)"), std::string::npos) << err;
    EXPECT_EQ(Run("voice missing.wav a.wav -o table.csv", out, err), 1);
    EXPECT_EQ(Lines(Slurp(m_dir / "table.csv")).size(), 2u);
    // No output over an input, and none written when no file could be measured.
    EXPECT_EQ(Run("voice a.wav -o a.wav", out, err), 1);
    EXPECT_EQ(Slurp(m_dir / "a.wav").substr(0, 4), "RIFF");
    EXPECT_EQ(Run("voice missing.wav -o none.csv", out, err), 1);
    EXPECT_EQ(Shell("test -e " + Quote(m_dir / "none.csv")), 1);
}
