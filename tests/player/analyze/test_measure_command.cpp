// sonavel-analyze measure run as a user runs it: the table's columns and
// values, the TextGrid beside each sound, a broken TextGrid, the same table
// for any -j, and the table written where -o says, whatever the scratch folder
// does.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "player/analysis/textgrid/TextGridWriter.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/CScratchDir.h"
#include "tests/support/CSmallDisk.h"
#include "tests/support/ProcessPeak.h"
#include "tests/support/VowelCorpus.h"
#include "tools/voicesynth/WavFile.h"

using testsupport::Fields;
using testsupport::Lines;
using testsupport::Quote;
using testsupport::Shell;
using testsupport::Slurp;

namespace {

const char kszHeader[] =
    "file,tier,label,start_s,end_s,duration_s,f0_mean_hz,f0_min_hz,f0_max_hz,f1_hz,f2_hz,f3_hz,intensity_db\n";

class MeasureCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        const testsupport::VowelRecording rec = testsupport::MakeVowelRecording();
        for (const char* szStem : {"take1", "take2"}) {
            ASSERT_TRUE(WriteWavFile(m_dir / (std::string(szStem) + ".wav"), rec.samples, rec.nRate));
            // The second's TextGrid is spelled in lower case: still found.
            const std::string strGrid = m_dir / (std::string(szStem) + (szStem[4] == '1' ? ".TextGrid" : ".textgrid"));
            ASSERT_TRUE(sonavel::textgrid::WriteTextGrid(rec.grid, strGrid).bOk);
        }
    }

    // The exit status; the standard output and error in out and err.
    int Run(const std::string& args, std::string& out, std::string& err, const std::string& strEnv = "")
    {
        return m_dir.Run(strEnv + SONAVEL_ANALYZE + " measure " + args, out, err);
    }

    testsupport::CScratchDir m_dir;
};

} // namespace

TEST_F(MeasureCommand, OneTableOfEveryFileInOrderForAnyJobs)
{
    std::string out, err, out1;
    ASSERT_EQ(Run("-j 2 take1.wav take2.wav", out, err), 0) << err;
    ASSERT_EQ(Run("-j 1 take1.wav take2.wav", out1, err), 0) << err;
    EXPECT_EQ(out, out1);
    const std::vector<std::string> lines = Lines(out);
    const auto& vowels = testsupport::KnownVowels();
    ASSERT_EQ(lines.size(), 1 + 2 * 2 * vowels.size());
    EXPECT_EQ(lines[0] + "\n", kszHeader);
    // Labels quoted as CSV needs; times to the microsecond, Hz to 0.1, dB to 0.01.
    EXPECT_EQ(lines[3].rfind("take1.wav,vowel,\"u, round\",1.050000,1.350000,0.300000,", 0), 0u) << lines[3];
    EXPECT_EQ(lines[5].rfind("take1.wav,vowel,\"o \"\"back\"\"\",", 0), 0u) << lines[5];
    EXPECT_EQ(lines[11].rfind("take1.wav,mid,a,0.300000,0.300000,0.000000,", 0), 0u) << lines[11];
    EXPECT_EQ(lines[21].rfind("take2.wav,vowel,a,0.150000,0.450000,0.300000,", 0), 0u) << lines[21];
    double dF0 = 0, dF1 = 0, dDb = 0;
    ASSERT_EQ(std::sscanf(lines[1].c_str(), "take1.wav,vowel,a,%*f,%*f,%*f,%lf,%*f,%*f,%lf,%*f,%*f,%lf", &dF0, &dF1, &dDb),
              3);
    EXPECT_NEAR(dF0, 110, 5.5);
    EXPECT_NEAR(dF1, 730, 73);
    EXPECT_EQ(lines[1].substr(lines[1].rfind('.')).size(), 3u); // dB: two decimals
}

// A mono 16-bit WAV is measured from its file, never held: its table is the
// one of the same sound loaded whole (an AU of the same name), with the
// samples' memory to spare.
TEST_F(MeasureCommand, AWavIsMeasuredFromItsFileWithoutHoldingIt)
{
    const testsupport::VowelRecording rec = testsupport::MakeVowelRecording();
    std::vector<int16_t> samples;
    while (samples.size() < size_t(8 * 60 * rec.nRate)) // 8 minutes
        samples.insert(samples.end(), rec.samples.begin(), rec.samples.end());
    const double dSeconds = double(samples.size()) / rec.nRate;
    sonavel::textgrid::TextGrid grid{0, dSeconds, {{"vowel", sonavel::textgrid::ETierKind::Interval, 0, dSeconds, {}, {}}}};
    for (double t = 0; t < dSeconds; t += 0.5)
        grid.tiers[0].intervals.push_back({t, std::min(t + 0.5, dSeconds), "v"});
    ASSERT_EQ(Shell("mkdir " + Quote(m_dir / "wav") + " " + Quote(m_dir / "au")), 0);
    ASSERT_TRUE(WriteWavFile(m_dir / "wav/long", samples, rec.nRate));
    {
        std::ofstream au(m_dir / "au/long", std::ios::binary);
        const Bytes header = AuHeader(".snd", true, 24, uint32_t(2 * samples.size()), 3, uint32_t(rec.nRate), 1);
        au.write(reinterpret_cast<const char*>(header.Data().data()), std::streamsize(header.Size()));
        for (int16_t v : samples)
            au.put(char(uint16_t(v) >> 8)).put(char(v & 0xFF));
        ASSERT_TRUE(au.good());
    }
    std::string tables[2];
    long nPeakKb[2] = {};
    for (int k = 0; k < 2; ++k) {
        const std::string strDir = k == 0 ? "wav" : "au";
        ASSERT_TRUE(sonavel::textgrid::WriteTextGrid(grid, m_dir / (strDir + "/long.TextGrid")).bOk);
        // Each from its own folder, so both tables name the file alike.
        const auto [nStatus, nKb] = testsupport::RunMeasured(
            {"/bin/sh", "-c", "cd " + Quote(m_dir / strDir) + " && exec " SONAVEL_ANALYZE " measure -o table.csv long"});
        ASSERT_EQ(nStatus, 0);
        tables[k] = Slurp(m_dir / (strDir + "/table.csv"));
        nPeakKb[k] = nKb;
    }
    EXPECT_EQ(tables[0], tables[1]);
    EXPECT_GT(tables[0].size(), 900 * 40u);
#if !defined(__SANITIZE_ADDRESS__)
    // The loaded sound's 15 MB of samples, which the WAV never holds. (Under
    // the address sanitizer a forked child's peak counts the test's own.)
    EXPECT_LT(nPeakKb[0], nPeakKb[1] - 7500);
#else
    (void)nPeakKb;
#endif
}

TEST_F(MeasureCommand, ABrokenTextGridIsNamedByItsLineAndTheOthersAreWritten)
{
    Shell("sed -i '12s/.*/xmin = oops/' " + Quote(m_dir / "take1.TextGrid"));
    std::string out, err;
    EXPECT_EQ(Run("take1.wav take2.wav", out, err), 1);
    // The reader's line, naming the file and the line to blame.
    EXPECT_EQ(err.rfind("sonavel-analyze: take1.TextGrid:", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_EQ(Lines(out).size(), 1 + 2 * testsupport::KnownVowels().size());
    EXPECT_EQ(out.find("take1.wav"), std::string::npos);
}

// Several files in worker processes give the bytes one process gives, a broken
// TextGrid included, and leave no scratch folder behind.
TEST_F(MeasureCommand, WorkerProcessesWriteTheTableOneProcessWrites)
{
    for (const char* szStem : {"take3", "take4"})
        Shell("cp " + Quote(m_dir / "take1.wav") + " " + Quote(m_dir / (std::string(szStem) + ".wav")) + " && cp "
              + Quote(m_dir / "take1.TextGrid") + " " + Quote(m_dir / (std::string(szStem) + ".TextGrid")));
    Shell("sed -i '12s/.*/xmin = oops/' " + Quote(m_dir / "take3.TextGrid") + " && mkdir " + Quote(m_dir / "tmp"));
    for (const char* szFormat : {"csv", "json"}) {
        const std::string args = std::string("--format ") + szFormat + " take1.wav take2.wav take3.wav take4.wav";
        std::string out4, err4, out1, err1;
        EXPECT_EQ(Run("-j 4 " + args, out4, err4), 1);
        EXPECT_EQ(Run("-j 1 " + args, out1, err1), 1);
        EXPECT_EQ(out4, out1);
        EXPECT_EQ(err4, err1);
        EXPECT_NE(out4.find("take4.wav"), std::string::npos);
        // Into a file, with the scratch folder in tmp/.
        EXPECT_EQ(Shell("cd " + Quote(m_dir.Path()) + " && TMPDIR=tmp " + SONAVEL_ANALYZE + " measure -j 3 -o table "
                        + args + " 2>/dev/null"),
                  1);
        EXPECT_EQ(Slurp(m_dir / "table"), out1);
    }
    EXPECT_EQ(Shell("rmdir " + Quote(m_dir / "tmp")), 0) << "scratch left behind";
}

// A worker killed right after its file's rows reached the scratch folder,
// before it could report them, is said to have failed, and so are its rows
// left out of the table.
TEST_F(MeasureCommand, RowsOfAWorkerKilledBeforeItsReportAreLeftOut)
{
    std::string outAlone, err;
    ASSERT_EQ(Run("take1.wav", outAlone, err), 0) << err;
    const char* szAsan = std::getenv("ASAN_OPTIONS");
    const std::string strEnv = std::string("LD_PRELOAD=") + KILL_AFTER_RENAME +
                               " KILL_AFTER_RENAME_IN=/sonavel-batch. KILL_AFTER_RENAME_NAME=1 ASAN_OPTIONS=" +
                               Quote(std::string(szAsan ? szAsan : "") + ":verify_asan_link_order=0") + " ";
    const int nStatus = Shell("cd " + Quote(m_dir.Path()) + " && " + strEnv + SONAVEL_ANALYZE
                              + " measure -j 2 take1.wav take2.wav >" + Quote(m_dir / "out") + " 2>"
                              + Quote(m_dir / "err"));
    EXPECT_EQ(nStatus, 1);
    EXPECT_EQ(Slurp(m_dir / "err"), "sonavel-analyze: take2.wav: the analysis ended abnormally (signal 9)\n");
    EXPECT_EQ(Slurp(m_dir / "out"), outAlone);
}

TEST_F(MeasureCommand, JsonTierTextGridAndOutputOptions)
{
    std::string out, err;
    Shell("mv " + Quote(m_dir / "take1.TextGrid") + " " + Quote(m_dir / "labels.TextGrid"));
    ASSERT_EQ(Run("take1.wav --textgrid labels.TextGrid --tier mid --format json -o table.json", out, err), 0) << err;
    const std::string json = Slurp(m_dir / "table.json");
    EXPECT_EQ(json.rfind("[\n  {\"file\": \"take1.wav\", \"tier\": \"mid\", \"label\": \"a\", \"start_s\": 0.300000, "
                         "\"end_s\": 0.300000, \"duration_s\": 0.000000, \"f0_mean_hz\": ",
                         0),
              0u)
        << json;
    EXPECT_EQ(json.find("\"vowel\""), std::string::npos);
    EXPECT_EQ(json.substr(json.size() - 4), "}\n]\n");

    // A value that does not exist is an empty field (JSON null): a pause's pitch.
    Shell("sed -i '0,/text = \"\"/s//text = \"pause\"/' " + Quote(m_dir / "labels.TextGrid"));
    ASSERT_EQ(Run("take1.wav --textgrid labels.TextGrid --tier vowel", out, err), 0) << err;
    EXPECT_EQ(Lines(out)[1].rfind("take1.wav,vowel,pause,0.000000,0.150000,0.150000,,,,", 0), 0u) << out;
    ASSERT_EQ(Run("take1.wav --textgrid labels.TextGrid --tier vowel --format json", out, err), 0) << err;
    EXPECT_NE(out.find("\"f0_mean_hz\": null, \"f0_min_hz\": null"), std::string::npos);

    EXPECT_EQ(Run("take1.wav --textgrid labels.TextGrid --tier word", out, err), 1);
    EXPECT_NE(err.find("no tier is named word"), std::string::npos) << err;
    EXPECT_EQ(Run("take1.wav --textgrid labels.TextGrid -o labels.TextGrid", out, err), 1);
    EXPECT_EQ(Run("take1.wav take2.wav --textgrid labels.TextGrid", out, err), 2);
}

// The table goes where -o says as every output does: through a link to the
// command's own standard output (as /dev/stdout is one) into it, the link
// kept; under a name of 250 bytes; into a device, which stays one.
TEST_F(MeasureCommand, TheTableGoesIntoLinksLongNamesAndDevices)
{
    std::string table, out, err;
    ASSERT_EQ(Run("take1.wav", table, err), 0) << err;
    Shell("ln -s /proc/self/fd/1 " + Quote(m_dir / "stdout"));
    ASSERT_EQ(Run("take1.wav -o stdout", out, err), 0) << err;
    EXPECT_EQ(out, table);
    EXPECT_EQ(Shell("test -L " + Quote(m_dir / "stdout")), 0);
    const std::string name = std::string(246, 'n') + ".csv";
    ASSERT_EQ(Run("take1.wav -o " + name, out, err), 0) << err;
    EXPECT_EQ(Slurp(m_dir / name), table);
    if (::mknod((m_dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "this process may not make a device node (mknod: " << std::strerror(errno) << ")";
    ASSERT_EQ(Run("take1.wav -o null", out, err), 0) << err;
    EXPECT_EQ(Shell("test -c " + Quote(m_dir / "null")), 0);
}

// An interval may end anywhere a double reaches: its times come out in full,
// as printf writes them.
TEST_F(MeasureCommand, ATimeOfAnySizeIsWrittenInFull)
{
    const sonavel::textgrid::TextGrid grid{0, 1e300, {{"far", sonavel::textgrid::ETierKind::Interval, 0, 1e300,
                                                       {{0, 0.5, ""}, {0.5, 1e300, "all"}}, {}}}};
    ASSERT_TRUE(sonavel::textgrid::WriteTextGrid(grid, m_dir / "take1.TextGrid").bOk);
    std::string out, err;
    ASSERT_EQ(Run("take1.wav", out, err), 0) << err;
    std::vector<char> digits(400);
    std::snprintf(digits.data(), digits.size(), "%.6f", 1e300);
    EXPECT_EQ(Lines(out).at(1).rfind("take1.wav,far,all,0.500000," + std::string(digits.data()) + ",", 0), 0u) << out;
}

// Rows the scratch folder cannot take (no folder to be made, a full disk) are
// measured by the command itself; a table already written is never replaced
// by a header alone when no file could be measured.
TEST_F(MeasureCommand, AScratchFolderThatFailsLosesNoTable)
{
    std::string table, out, err;
    ASSERT_EQ(Run("-j 1 take1.wav take2.wav", table, err), 0) << err;
    std::ofstream(m_dir / "plain") << "a file, where TMPDIR wants a folder";
    EXPECT_EQ(Run("-j 2 -o table.csv take1.wav take2.wav", out, err, "TMPDIR=plain "), 0) << err;
    EXPECT_EQ(Slurp(m_dir / "table.csv"), table);
    EXPECT_EQ(Run("-o table.csv gone1.wav gone2.wav", out, err), 1);
    EXPECT_EQ(Slurp(m_dir / "table.csv"), table);
    EXPECT_NE(err.find("gone2.TextGrid"), std::string::npos) << err;
    EXPECT_NE(err.find("table.csv: not written, as no file could be measured"), std::string::npos) << err;

    testsupport::CSmallDisk disk(64);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Why() << "; TMPDIR naming a file stood in for it";
    disk.Fill();
    EXPECT_EQ(Run("-j 2 -o full.csv take1.wav take2.wav", out, err, "TMPDIR=" + Quote(disk.Path()) + " "), 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_EQ(Slurp(m_dir / "full.csv"), table);
}

// A TextGrid or a sound that is a FIFO is refused at once, never waited on.
TEST_F(MeasureCommand, AFifoIsRefusedAtOnce)
{
    Shell("rm " + Quote(m_dir / "take1.TextGrid") + " && mkfifo " + Quote(m_dir / "take1.TextGrid") + " "
          + Quote(m_dir / "fifo.wav"));
    std::string out, err;
    EXPECT_EQ(Run("take1.wav", out, err), 1);
    EXPECT_EQ(err, "sonavel-analyze: take1.TextGrid: cannot read it (is a FIFO, not a file)\n");
    EXPECT_EQ(Run("fifo.wav --textgrid take2.textgrid", out, err), 1);
    EXPECT_EQ(err, "sonavel-analyze: cannot open fifo.wav: is a FIFO, not a file\n");
}

// --voice: four columns more, each interval's own voice report, the numbers
// sonavel-analyze voice gives for the same span; a point has none.
TEST_F(MeasureCommand, VoiceColumnsAreEachIntervalsVoiceReport)
{
    std::string out, err;
    ASSERT_EQ(Run("--voice --tier vowel take1.wav", out, err), 0) << err;
    const std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 1 + testsupport::KnownVowels().size());
    EXPECT_EQ(lines[0] + "\n", std::string(kszHeader).insert(std::strlen(kszHeader) - 1,
                                                             ",jitter_local_pct,shimmer_local_pct,hnr_db,cpps_db"));
    const std::vector<std::string> row = Fields(lines[1]); // "a" at 0.15-0.45 s
    ASSERT_EQ(row.size(), 17u) << lines[1];
    ASSERT_EQ(Shell("cd " + Quote(m_dir.Path()) + " && " + SONAVEL_ANALYZE + " voice take1.wav --start " + row[3]
                    + " --end " + row[4] + " >" + Quote(m_dir / "voice")),
              0);
    const std::vector<std::string> voice = Fields(Lines(Slurp(m_dir / "voice")).at(1));
    ASSERT_EQ(voice.size(), 23u);
    EXPECT_EQ(row[13] + "," + row[14] + "," + row[15] + "," + row[16],
              voice[10] + "," + voice[15] + "," + voice[21] + "," + voice[22]);
    EXPECT_LT(std::stod(row[13]), 3); // a synthetic vowel of 1 % jitter
    ASSERT_EQ(Run("--voice --tier mid take1.wav", out, err), 0) << err;
    EXPECT_EQ(Lines(out).at(1).substr(Lines(out).at(1).size() - 4), ",,,,");
}
