// sonavel-analyze pitch and render, run as a user runs them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

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
    ASSERT_EQ(RunTool("pitch " + wav, out), 0);
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

} // namespace
