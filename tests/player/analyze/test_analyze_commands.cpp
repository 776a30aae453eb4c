// sonavel-analyze pitch (one file and batches), info, render and its options,
// run as a user runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/AwaitEvent.h"
#include "tests/support/CScratchDir.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/voicesynth/WavFile.h"

namespace {

std::string TempPath(const std::string& name)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/analyze_test_" + std::to_string(getpid()) + "_" + name;
}

void WriteWav(const std::string& path, const std::vector<int16_t>& s, int rate)
{
    ASSERT_TRUE(WriteWavFile(path, s, rate)) << path;
}

// Runs the tool; returns its exit status and its standard output.
int RunTool(const std::string& args, std::string& out)
{
    const std::string cmd = std::string(SONAVEL_ANALYZE) + " " + args + " 2>/dev/null";
    std::FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return -1;
    char buf[4096];
    size_t n;
    out.clear();
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The tool started in the background with errFd as its standard error.
pid_t StartTool(const std::vector<std::string>& args, int errFd)
{
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(errFd, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(SONAVEL_ANALYZE)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

std::string ProcFile(pid_t pid, const std::string& name)
{
    return testsupport::Slurp("/proc/" + std::to_string(pid) + "/" + name);
}

// A process that exists and has not ended (a zombie has ended).
bool Alive(pid_t pid)
{
    const std::string stat = ProcFile(pid, "stat");
    const size_t at = stat.rfind(')');
    return at != std::string::npos && at + 2 < stat.size() && stat[at + 2] != 'Z';
}

std::vector<pid_t> Children(pid_t pid)
{
    std::istringstream in(ProcFile(pid, "task/" + std::to_string(pid) + "/children"));
    std::vector<pid_t> children;
    for (pid_t child; in >> child;)
        children.push_back(child);
    return children;
}

// A pipe filled to the brim before the tool gets its writing end as standard
// error: a process that writes a message blocks there, in the middle of its
// file, until the test drains the pipe.
class CFullPipe {
public:
    CFullPipe()
    {
        EXPECT_EQ(pipe(m_fds), 0);
        fcntl(m_fds[1], F_SETFL, O_NONBLOCK);
        const std::string fill(4096, '.');
        for (ssize_t n; (n = write(m_fds[1], fill.data(), fill.size())) > 0;)
            m_nFilled += size_t(n);
        fcntl(m_fds[1], F_SETFL, 0);
    }
    ~CFullPipe()
    {
        close(m_fds[0]);
        close(m_fds[1]);
    }
    int Writer() const { return m_fds[1]; }
    // Everything written after the filling, up to the moment every writer is gone.
    std::string Drain()
    {
        close(m_fds[1]);
        m_fds[1] = -1;
        std::string text;
        char buf[4096];
        for (ssize_t n; (n = read(m_fds[0], buf, sizeof buf)) > 0;)
            text.append(buf, size_t(n));
        return text.substr(std::min(m_nFilled, text.size()));
    }

private:
    int m_fds[2] = {-1, -1};
    size_t m_nFilled = 0;
};

TEST(AnalyzePitch, PrintsOneLinePerHundredSamplesWithTimeAndWholeHertz)
{
    VoiceSynthParams p;
    p.nSampleRate = 16000;
    p.dSeconds = 1.2345; // 19752 samples: 198 values
    p.contour = {{0.0, 150.0}};
    p.dJitter = 0.01;
    const auto voice = SynthesizeVoice(p);
    ASSERT_EQ(voice.size(), 19752u);
    const std::string wav = TempPath("voice.wav");
    WriteWav(wav, voice, 16000);

    std::string out;
    ASSERT_EQ(RunTool("pitch --tracker amdf " + wav, out), 0);
    std::istringstream lines(out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "time_s,pitch_hz");
    int n = 0, near150 = 0;
    std::string last;
    while (std::getline(lines, line)) {
        last = line;
        char time[32];
        std::snprintf(time, sizeof time, "%.6f,", n * 100.0 / 16000);
        ASSERT_EQ(line.rfind(time, 0), 0u) << line;
        const int hz = std::stoi(line.substr(std::string(time).size()));
        near150 += std::abs(hz - 150) <= 7;
        ++n;
    }
    EXPECT_EQ(n, 19752 / 100 + 1);
    EXPECT_GT(near150, n * 8 / 10);
    EXPECT_EQ(last, "1.231250,0"); // the last entry belongs to no frame
    std::remove(wav.c_str());
}

TEST(AnalyzePitch, FrameTimesAreWhatPrintfWritesAtAnyRate)
{
    // At 1024 and 2048 Hz some frames start exactly half a microsecond past a
    // whole one; 7919 Hz is prime.
    for (int rate : {1024, 2048, 7919, 44100, 96000}) {
        const std::string wav = TempPath("times.wav");
        WriteWav(wav, std::vector<int16_t>(size_t(rate) * 20), rate);
        std::string out;
        ASSERT_EQ(RunTool("pitch --tracker=amdf " + wav, out), 0);
        std::string want = "time_s,pitch_hz\n";
        for (int i = 0; i <= rate * 20 / 100; ++i) {
            char line[40];
            std::snprintf(line, sizeof line, "%.6f,0\n", i * 100.0 / rate);
            want += line;
        }
        EXPECT_TRUE(out == want) << rate << " Hz";
        std::remove(wav.c_str());
    }
}

TEST(AnalyzePitch, TheAmdfFollowsAHighVoiceOnceItsRangeIsRaised)
{
    VoiceSynthParams p;
    p.dSeconds = 2.0;
    p.contour = {{0.0, 350.0}};
    p.dJitter = 0.01;
    const std::string wav = TempPath("high.wav");
    WriteWav(wav, SynthesizeVoice(p), p.nSampleRate);
    // The share of the frames within 3 % of 350 Hz.
    auto Near350 = [&wav](const std::string& options) {
        std::string out;
        EXPECT_EQ(RunTool("pitch --tracker amdf " + options + wav, out), 0);
        std::istringstream lines(out);
        std::string line;
        int n = 0, near = 0;
        for (std::getline(lines, line); std::getline(lines, line); ++n)
            near += std::abs(std::stoi(line.substr(line.find(',') + 1)) - 350) <= 10;
        return double(near) / n;
    };
    EXPECT_LT(Near350(""), 0.05); // 70-260 Hz: a half or a third
    EXPECT_GT(Near350("--floor 150 --ceiling 500 "), 0.85);
    std::remove(wav.c_str());
}

TEST(AnalyzePitch, UnreadableFileFailsWithoutOutput)
{
    std::string out;
    EXPECT_NE(RunTool("pitch " + TempPath("missing.wav"), out), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(RunTool("pitch", out), 2);
}

TEST(AnalyzeRender, WritesThePictureAtTheWindowsSize)
{
    VoiceSynthParams p;
    const std::string wav = TempPath("render.wav");
    const std::string png = TempPath("render.png");
    WriteWav(wav, SynthesizeVoice(p), 22050);
    std::string out;
    ASSERT_EQ(RunTool("render " + wav + " -o " + png, out), 0);
    std::ifstream f(png, std::ios::binary);
    std::vector<unsigned char> head(24);
    f.read(reinterpret_cast<char*>(head.data()), 24);
    ASSERT_TRUE(f.good());
    EXPECT_EQ(std::string(head.begin() + 1, head.begin() + 4), "PNG");
    auto be32 = [&head](int at) {
        return (head[at] << 24) | (head[at + 1] << 16) | (head[at + 2] << 8) | head[at + 3];
    };
    EXPECT_EQ(be32(16), 487);
    EXPECT_EQ(be32(20), 284);
    EXPECT_NE(RunTool("render " + wav, out), 0); // no output named
    std::remove(wav.c_str());
    std::remove(png.c_str());
}

TEST(AnalyzeRender, WritesTheFormatItsOutputNameSaysOrRefuses)
{
    testsupport::CScratchDir dir;
    WriteWav(dir / "voice.wav", SynthesizeVoice(VoiceSynthParams()), 22050);
    std::string out;
    for (const char* szName : {"picture.jpg", "picture.JPEG"}) {
        ASSERT_EQ(RunTool("render " + (dir / "voice.wav") + " -o " + (dir / szName), out), 0) << szName;
        EXPECT_EQ(testsupport::Shell("file -b " + testsupport::Quote(dir / szName) + " | grep -q '^JPEG image data'"), 0)
            << szName;
    }
    for (const char* szName : {"picture.gif", "picture.png.svg"}) {
        EXPECT_EQ(RunTool("render " + (dir / "voice.wav") + " -o " + (dir / szName), out), 2) << szName;
        EXPECT_FALSE(std::filesystem::exists(dir / szName)) << szName;
    }
}

// A batch folder: three voices, a file that is no sound, and the tool's
// command line prefix.
class AnalyzeBatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 3; ++i) {
            VoiceSynthParams p;
            p.nSampleRate = 11025 * (i + 1);
            p.dSeconds = 0.6 + 0.2 * i;
            p.contour = {{0.0, 110.0 + 40 * i}};
            p.dJitter = 0.01;
            m_voices.push_back(m_dir / ("voice" + std::to_string(i) + ".wav"));
            ASSERT_TRUE(WriteWavFile(m_voices.back(), SynthesizeVoice(p), p.nSampleRate));
        }
        std::ofstream(m_dir / "notes.txt") << "not a sound\n";
    }
    std::string Tool(const std::string& args) const
    {
        return std::string(SONAVEL_ANALYZE) + " " + args + " 2> " + testsupport::Quote(m_dir / "err");
    }
    std::string Voices() const
    {
        std::string s;
        for (const std::string& v : m_voices)
            s += " " + testsupport::Quote(v);
        return s;
    }
    std::string Single(const std::string& path, const std::string& format = "csv",
                       const std::string& tracker = "nccf") const
    {
        std::string out;
        EXPECT_EQ(RunTool("pitch --tracker " + tracker + " --format " + format + " " + path, out), 0);
        return out;
    }

    testsupport::CScratchDir m_dir;
    std::vector<std::string> m_voices;
};

TEST_F(AnalyzeBatch, OneOutputPerInputInANewFolderAndOneLinePerFailure)
{
    using testsupport::Shell;
    using testsupport::Slurp;
    const std::string out = m_dir / "out/nested";
    EXPECT_EQ(Shell(Tool("pitch -j 2 -o " + out + Voices() + " " + (m_dir / "notes.txt"))), 1);
    const std::string err = Slurp(m_dir / "err");
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("notes.txt"), std::string::npos) << err;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Slurp(out + "/voice" + std::to_string(i) + ".csv"), Single(m_voices[i])) << i;
    // Nothing else is left in the folder: no half-written or temporary files.
    int nFiles = 0;
    for (const auto& e : std::filesystem::directory_iterator(out))
        nFiles += e.is_regular_file();
    EXPECT_EQ(nFiles, 3);
}

TEST_F(AnalyzeBatch, OutputIsTheSameWhateverTheNumberOfJobs)
{
    using testsupport::Shell;
    using testsupport::Slurp;
    ASSERT_EQ(Shell(Tool("pitch -j 1 --format json -o " + (m_dir / "one") + Voices())), 0);
    ASSERT_EQ(Shell(Tool("pitch -j 3 --format=json -o " + (m_dir / "three") + Voices())), 0);
    for (int i = 0; i < 3; ++i) {
        const std::string name = "/voice" + std::to_string(i) + ".json";
        EXPECT_FALSE(Slurp(m_dir / "one" + name).empty());
        EXPECT_EQ(Slurp(m_dir / "one" + name), Slurp(m_dir / "three" + name));
    }
    // Two inputs that would write the same output: the second one fails.
    EXPECT_EQ(Shell(Tool("pitch -o " + (m_dir / "dup") + " " + m_voices[0] + " " + m_voices[0])), 1);
    EXPECT_NE(Slurp(m_dir / "err").find("voice0.csv"), std::string::npos);
}

TEST_F(AnalyzeBatch, JsonHoldsTheCsvRows)
{
    // The AMDF's two columns, and the research tracker's three, its name in the JSON.
    for (const std::string tracker : {"amdf", "nccf"}) {
        const std::string csv = Single(m_voices[1], "csv", tracker);
        const std::string json = Single(m_voices[1], "json", tracker);
        // Rebuild the CSV from the arrays.
        const auto Array = [&json](const std::string& key) {
            const size_t at = json.find("\"" + key + "\": [");
            EXPECT_NE(at, std::string::npos) << key;
            const size_t from = json.find('[', at) + 1;
            std::vector<std::string> items;
            std::istringstream in(json.substr(from, json.find(']', from) - from));
            std::string item;
            while (std::getline(in, item, ','))
                items.push_back(item.substr(item.find_first_not_of(' ')));
            return items;
        };
        const bool bAmdf = tracker == "amdf";
        const auto times = Array("time_s"), pitches = Array("pitch_hz");
        const auto confidence = bAmdf ? times : Array("confidence");
        ASSERT_EQ(times.size(), pitches.size());
        ASSERT_EQ(times.size(), confidence.size());
        std::string rebuilt = bAmdf ? "time_s,pitch_hz\n" : "time_s,pitch_hz,confidence\n";
        for (size_t i = 0; i < times.size(); ++i)
            rebuilt += times[i] + "," + pitches[i] + (bAmdf ? "" : "," + confidence[i]) + "\n";
        EXPECT_EQ(rebuilt, csv);
        const std::string head = "{\"file\": \"" + m_voices[1] + "\", \"sample_rate\": 22050, "
            + (bAmdf ? "\"time_s\"" : "\"tracker\": \"nccf\", \"time_s\": [0.000000, 0.010000, ");
        EXPECT_EQ(json.rfind(head, 0), 0u) << json.substr(0, 100);
    }
    // The research tracker's rows: a time every step, pitch and confidence with three decimals.
    std::istringstream rows(Single(m_voices[1]));
    std::string line;
    std::getline(rows, line);
    for (int i = 0; std::getline(rows, line); ++i) {
        double t, hz, c;
        char text[64];
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf", &t, &hz, &c), 3) << line;
        std::snprintf(text, sizeof text, "%.6f,%.3f,%.3f", i * 0.01, hz, c);
        EXPECT_EQ(line, text);
        EXPECT_TRUE(c >= 0 && c <= 1 && (hz > 0) == (c > 0)) << line;
    }
}

TEST_F(AnalyzeBatch, PraatReadsThePitchTier)
{
    using testsupport::Quote;
    using testsupport::Shell;
    using testsupport::Slurp;
    if (Shell("command -v praat > /dev/null") != 0)
        GTEST_SKIP() << "praat is not installed (apt-get install praat): the PitchTier is not checked";
    std::ofstream(m_dir / "check.praat") << "form Check\n  sentence file x\nendform\n"
                                            "Read from file: file$\n"
                                            "n = Get number of points\n"
                                            "mean = Get mean (points): 0, 0\n"
                                            "writeInfoLine: n, \" \", fixed$ (mean, 6)\n";
    for (const std::string tracker : {"amdf", "nccf"}) {
        const std::string tier = m_dir / "voice2.PitchTier";
        ASSERT_EQ(Shell(Tool("pitch --tracker " + tracker + " --format pitchtier " + m_voices[2] + " > " + Quote(tier))),
                  0);
        ASSERT_EQ(Shell("praat --run " + Quote(m_dir / "check.praat") + " " + Quote(tier) + " > " +
                        Quote(m_dir / "praat.txt") + " 2>&1"), 0) << Slurp(m_dir / "praat.txt");
        // The CSV's voiced frames: their number and their mean.
        std::istringstream csv(Single(m_voices[2], "csv", tracker));
        std::string line;
        std::getline(csv, line);
        int n = 0;
        double dSum = 0;
        while (std::getline(csv, line)) {
            const double hz = std::stod(line.substr(line.find(',') + 1));
            if (hz > 0) {
                ++n;
                dSum += hz;
            }
        }
        ASSERT_GT(n, 50);
        int nPraat = 0;
        double dPraatMean = 0;
        ASSERT_EQ(std::sscanf(Slurp(m_dir / "praat.txt").c_str(), "%d %lf", &nPraat, &dPraatMean), 2);
        EXPECT_EQ(nPraat, n) << tracker;
        EXPECT_NEAR(dPraatMean, dSum / n, 1e-6) << tracker;
    }
}

// -j 2 on two files that are no sounds, then the voices, with standard error a
// full pipe: each worker is stopped in the middle of one of the two files, in
// the message that says it is no sound, which it never finishes writing.
class AnalyzeBatchProcesses : public AnalyzeBatch {
protected:
    pid_t StartHeld()
    {
        std::vector<std::string> args{"pitch", "-j", "2", "-o", m_dir / "out"};
        for (int i = 0; i < 2; ++i) {
            m_held.push_back(m_dir / ("held" + std::to_string(i) + ".wav"));
            std::ofstream(m_held.back()) << "not a sound\n";
        }
        args.insert(args.end(), m_held.begin(), m_held.end());
        args.insert(args.end(), m_voices.begin(), m_voices.end());
        // Each file opened by the worker that took it: both workers hold one,
        // and can let go of it only through the full pipe.
        testsupport::CFileOpenWatch opened(m_held);
        const pid_t pid = StartTool(args, m_err.Writer());
        EXPECT_TRUE(opened.AwaitAll());
        m_workers = Children(pid);
        EXPECT_EQ(m_workers.size(), 2u);
        return pid;
    }
    static int Wait(pid_t pid)
    {
        int status = 0;
        return waitpid(pid, &status, 0) == pid ? status : -1;
    }
    long FilesIn(const std::string& dir) const
    {
        return std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator());
    }
    CFullPipe m_err;
    std::vector<std::string> m_held;
    std::vector<pid_t> m_workers;
};

TEST_F(AnalyzeBatchProcesses, KilledWorkersAreReplacedAndOnlyTheFilesTheyHeldFail)
{
    using testsupport::Slurp;
    const pid_t tool = StartHeld();
    for (pid_t worker : m_workers) {
        kill(worker, SIGKILL);
        // Dead before the pipe drains, so its message stays unwritten.
        EXPECT_TRUE(testsupport::AwaitProcessEnd(worker));
    }
    const std::string err = m_err.Drain();
    const int status = Wait(tool);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
    for (const std::string& path : m_held)
        EXPECT_NE(err.find(path + ": the analysis ended abnormally (signal 9)\n"), std::string::npos) << err;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Slurp(m_dir / "out/voice" + std::to_string(i) + ".csv"), Single(m_voices[i])) << i;
    EXPECT_EQ(FilesIn(m_dir / "out"), 3);
}

TEST_F(AnalyzeBatchProcesses, TheWorkersEndWithTheParentAndWriteNothingMore)
{
    for (int nSignal : {SIGTERM, SIGKILL}) {
        m_held.clear();
        const pid_t tool = StartHeld();
        kill(tool, nSignal);
        const int status = Wait(tool);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == nSignal) << status;
        for (pid_t worker : m_workers) {
            // A signal the parent can catch is passed on and waited for.
            if (nSignal == SIGTERM) {
                EXPECT_FALSE(Alive(worker)) << worker;
            }
            EXPECT_TRUE(testsupport::AwaitProcessEnd(worker)) << worker;
        }
        EXPECT_EQ(FilesIn(m_dir / "out"), 0) << nSignal;
    }
}

TEST_F(AnalyzeBatch, AnOutputThatIsAnInputIsRefused)
{
    using testsupport::Quote;
    using testsupport::Shell;
    using testsupport::Slurp;
    // A sound named take.json, and a hard link of voice0.wav where its output goes.
    std::filesystem::copy_file(m_voices[1], m_dir / "take.json");
    std::filesystem::create_directory(m_dir / "out");
    std::filesystem::create_hard_link(m_voices[0], m_dir / "out/voice0.json");
    const std::string take = Slurp(m_dir / "take.json"), voice0 = Slurp(m_voices[0]);
    EXPECT_EQ(Shell("cd " + Quote(m_dir.Path()) + " && " + Tool("pitch --format json -o . take.json voice2.wav")), 1);
    EXPECT_EQ(Slurp(m_dir / "take.json"), take);
    EXPECT_EQ(Slurp(m_dir / "voice2.json"), Single(m_voices[2], "json").replace(10, m_voices[2].size(), "voice2.wav"));
    EXPECT_NE(Slurp(m_dir / "err").find("take.json: its output ./take.json is an input file"), std::string::npos)
        << Slurp(m_dir / "err");
    EXPECT_EQ(Shell(Tool("pitch --format json -o " + Quote(m_dir / "out") + Voices())), 1);
    EXPECT_EQ(Slurp(m_voices[0]), voice0);
    EXPECT_FALSE(Slurp(m_dir / "out/voice1.json").empty());
}

TEST_F(AnalyzeBatch, NoCommandWritesOverOneOfItsInputs)
{
    using testsupport::Quote;
    using testsupport::Shell;
    using testsupport::Slurp;
    // The input by its own name, by a name without an extension, and through a
    // symbolic link that names a picture.
    std::filesystem::copy_file(m_voices[1], m_dir / "take");
    std::filesystem::create_symlink(m_voices[2], m_dir / "c.png");
    const struct {
        std::string strArgs, strInput, strOut;
    } cases[] = {
        {"samples " + Quote(m_voices[0]) + " -o " + Quote(m_voices[0]), m_voices[0], m_voices[0]},
        {"render " + Quote(m_dir / "take") + " -o " + Quote(m_dir / "take"), m_dir / "take", m_dir / "take"},
        {"render " + Quote(m_voices[2]) + " -o " + Quote(m_dir / "c.png") + " --view", m_voices[2], m_dir / "c.png"},
    };
    for (const auto& c : cases) {
        const std::string before = Slurp(c.strInput);
        EXPECT_EQ(Shell(Tool(c.strArgs)), 1) << c.strArgs;
        EXPECT_EQ(Slurp(c.strInput), before) << c.strArgs;
        EXPECT_EQ(Slurp(m_dir / "err"), "sonavel-analyze: " + c.strInput + ": its output " + c.strOut
                                            + " is an input file; it is not overwritten\n");
    }
}

TEST_F(AnalyzeBatch, SamplesThatCannotBeWrittenLeaveTheOutputAsItWas)
{
    using testsupport::Quote;
    using testsupport::Shell;
    using testsupport::Slurp;
    const std::string out = m_dir / "kept.raw";
    std::ofstream(out) << "an earlier output";
    // A file-size limit of one block (the signal ignored, so the write fails
    // with EFBIG) cuts the write short, as a full disk would.
    EXPECT_EQ(Shell("trap '' XFSZ; ulimit -f 1; " + Tool("samples " + Quote(m_voices[0]) + " -o " + Quote(out))), 1);
    EXPECT_EQ(Slurp(out), "an earlier output");
    EXPECT_EQ(Slurp(m_dir / "err").rfind("sonavel-analyze: cannot write " + out + ": ", 0), 0u) << Slurp(m_dir / "err");
    EXPECT_EQ(Shell("ls -a " + Quote(m_dir.Path()) + " | grep -q '^\\.kept'"), 1); // no temporary file left
    // A device is written in place, never replaced by a file.
    EXPECT_EQ(Shell(Tool("samples " + Quote(m_voices[0]) + " -o /dev/null")), 0);
    EXPECT_EQ(Shell("test -c /dev/null"), 0);
}

TEST_F(AnalyzeBatch, ANameOnStandardErrorIsOneLineEscapedAsInJson)
{
    const std::string name = m_dir / "two\nlines-\x1b[2J-\"q\".wav";
    std::ofstream(name) << "not a sound\n";
    EXPECT_EQ(testsupport::Shell(Tool("info " + testsupport::Quote(name))), 1);
    const std::string err = testsupport::Slurp(m_dir / "err");
    EXPECT_EQ(err.rfind("sonavel-analyze: " + m_dir.Path() + "/two\\nlines-\\u001b[2J-\\\"q\\\".wav: not a sound", 0), 0u)
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(AnalyzeBatch, PythonGetsBackTheBytesOfANameThatIsNotUtf8)
{
    using testsupport::Quote;
    using testsupport::Shell;
    using testsupport::Slurp;
    // A stray byte, a cut sequence, a valid e acute, an encoded surrogate, a quote and a tab.
    const std::string name = m_dir / "voix-\xff-\xc3(-\xc3\xa9-\xed\xa0\x80-\"-\t.wav";
    std::filesystem::copy_file(m_voices[0], name);
    ASSERT_EQ(Shell(Tool("pitch --format json " + Quote(name) + " > " + Quote(m_dir / "take.json"))), 0);
    EXPECT_NE(Slurp(m_dir / "take.json").find("-\xc3\xa9-\\udced\\udca0\\udc80-"), std::string::npos);
    ASSERT_EQ(Shell("python3 -c 'import json, sys; "
                    "d = json.load(open(sys.argv[1], encoding=\"utf-8\")); "
                    "sys.stdout.buffer.write(d[\"file\"].encode(\"utf-8\", \"surrogateescape\"))' " +
                    Quote(m_dir / "take.json") + " > " + Quote(m_dir / "name")), 0);
    EXPECT_EQ(Slurp(m_dir / "name"), name);
}

TEST_F(AnalyzeBatch, InfoTakesSeveralFilesAndTheOptionsAnswer)
{
    using testsupport::Shell;
    using testsupport::Slurp;
    EXPECT_EQ(Shell(Tool("info" + Voices() + " " + (m_dir / "notes.txt") + " > " + (m_dir / "info"))), 1);
    const std::string info = Slurp(m_dir / "info");
    EXPECT_EQ(std::count(info.begin(), info.end(), '\n'), 3) << info;
    EXPECT_EQ(info.rfind(m_voices[0] + ": reader=wave rate=11025 samples=6615 bytes=13230 channels=1 duration=0.600000\n",
                         0),
              0u)
        << info;
    EXPECT_NE(Slurp(m_dir / "err").find("notes.txt"), std::string::npos);

    std::string out;
    EXPECT_EQ(RunTool("--version", out), 0);
    EXPECT_EQ(out, "sonavel-analyze 3.1.0\n");
    EXPECT_EQ(RunTool("--help", out), 0);
    EXPECT_NE(out.find("pitch [--tracker nccf|amdf] [--floor HZ] [--ceiling HZ] [--step SECONDS] [-j N] [-o DIR] "
                       "[--format csv|json|pitchtier] [--channel N] FILE..."),
              std::string::npos);
    EXPECT_EQ(RunTool("pitch -j 0 " + m_voices[0], out), 2);
    EXPECT_EQ(RunTool("pitch --format xml " + m_voices[0], out), 2);
}

TEST_F(AnalyzeBatch, SettingsATrackerRefusesExitWithTwoNamingTheOption)
{
    using testsupport::Shell;
    using testsupport::Slurp;
    const struct {
        const char* szOptions;
        const char* szMessage; // the start of the one line on stderr
    } cases[] = {
        {"--tracker yin", "sonavel-analyze: --tracker: unknown tracker 'yin'; the trackers are amdf, nccf"},
        {"--floor 300 --ceiling 200", "sonavel-analyze: --floor: 300 Hz is not below the ceiling, 200 Hz"},
        {"--tracker amdf --floor 300", "sonavel-analyze: --floor: 300 Hz is not below the ceiling, 260 Hz"},
        {"--floor 0", "sonavel-analyze: --floor: '0' is not a number of Hz above 0"},
        {"--ceiling=-4", "sonavel-analyze: --ceiling: '-4'"},
        {"--ceiling abc", "sonavel-analyze: --ceiling: 'abc'"},
        {"--tracker amdf --ceiling 1638", "sonavel-analyze: --ceiling: the amdf tracker's ceiling must be below 1638 Hz"},
        {"--tracker amdf --step 0.01", "sonavel-analyze: --step: the amdf tracker's frames"},
        {"--step 0", "sonavel-analyze: --step: '0' is not a number of seconds above 0"},
        {"--step 5", "sonavel-analyze: --step: must lie between"},
        {"--floor 5", "sonavel-analyze: --floor: the research tracker's floor is 20 Hz at least"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Shell(Tool("pitch " + std::string(c.szOptions) + Voices() + " > " + (m_dir / "out"))), 2) << c.szOptions;
        const std::string err = Slurp(m_dir / "err");
        EXPECT_EQ(err.rfind(c.szMessage, 0), 0u) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_TRUE(Slurp(m_dir / "out").empty()) << c.szOptions;
    }
    // A ceiling the sound cannot carry fails that file alone.
    EXPECT_EQ(Shell(Tool("pitch --ceiling 3000 -o " + (m_dir / "high") + Voices())), 1);
    EXPECT_EQ(Slurp(m_dir / "err"), "sonavel-analyze: " + m_voices[0]
                                        + ": the sample rate, 11025 Hz, is too low for 50-3000 Hz (the ceiling may be a quarter of the rate at most)\n");
    EXPECT_FALSE(Slurp(m_dir / "high/voice2.csv").empty());
}

} // namespace
