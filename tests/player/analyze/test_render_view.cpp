// sonavel-analyze render --view as a user runs it: the view's picture at its
// default and at a given size, a stretch clamped to the sound, a stretch of a
// WAV drawn without holding the whole sound, and the options it refuses.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <fstream>
#include <unistd.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "player/analysis/paint/CMeasurePainter.h"
#include "tests/support/ByteBuilder.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/voicesynth/WavFile.h"

namespace {

struct ToolRun {
    int nStatus = -1;
    QString strError;
};

ToolRun Render(const QStringList& args)
{
    QProcess tool;
    tool.start(QStringLiteral(SONAVEL_ANALYZE), QStringList{QStringLiteral("render")} + args);
    ToolRun run;
    if (tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit)
        run.nStatus = tool.exitCode();
    run.strError = QString::fromLocal8Bit(tool.readAllStandardError());
    return run;
}

// A picture was written; a pitch track that failed is said on one line, with 1.
void ExpectDrawn(const ToolRun& run)
{
    EXPECT_TRUE(run.nStatus == 0 ? run.strError.isEmpty()
                                 : run.nStatus == 1 && run.strError.contains("drawn without pitch"))
        << run.nStatus << " " << run.strError.toStdString();
}

class RenderView : public ::testing::Test {
protected:
    void SetUp() override
    {
        VoiceSynthParams p;
        p.nSampleRate = 16000;
        p.dSeconds = 2.0;
        p.contour = {{0, 110}, {1, 170}, {2, 130}};
        m_strWav = m_dir.filePath("voice.wav");
        ASSERT_TRUE(WriteWavFile(m_strWav.toStdString(), SynthesizeVoice(p), 16000));
    }
    QTemporaryDir m_dir;
    QString m_strWav;
};

TEST_F(RenderView, DrawsTheViewAtItsSizeAndClampsTheStretchToTheSound)
{
    const QString strWhole = m_dir.filePath("whole.png"), strClamped = m_dir.filePath("clamped.png");
    ExpectDrawn(Render({m_strWav, "-o", strWhole, "--view"}));
    const QImage whole(strWhole);
    ASSERT_EQ(whole.size(), QSize(1280, 720));
    // The voice darkens the foot of the spectrogram from end to end, and
    // leaves its top (above 4 kHz) white.
    const QRect rc = CMeasureLayout::For(whole.size(), CMeasurePainter::ViewFont()).rcSpectrogram;
    const auto grey = [&](int x0, int y) {
        int n = 0;
        for (int x = x0; x < x0 + 20; ++x)
            n += qGray(whole.pixel(x, y));
        return n / 20;
    };
    for (int x = rc.left() + 10; x < rc.right() - 30; x += 50) {
        EXPECT_LT(grey(x, rc.bottom() - rc.height() / 10), 128) << x;
        EXPECT_GT(grey(x, rc.top() + rc.height() / 10), 240) << x;
    }

    ExpectDrawn(Render({m_strWav, "-o", strClamped, "--view", "--start", "-3", "--end", "99"}));
    EXPECT_EQ(QImage(strClamped), whole);

    const QString strPart = m_dir.filePath("part.png");
    ExpectDrawn(Render({m_strWav, "-o", strPart, "--view", "--size", "640x400", "--start", "0.5", "--end", "1"}));
    EXPECT_EQ(QImage(strPart).size(), QSize(640, 400));
}

// The exit status and peak memory (kB) of sonavel-analyze with args. The
// kernel counts what the forked copy of this process held at the exec as
// well (never vfork: that would be this process's own peak), so a test keeps
// little while it measures.
std::pair<int, long> RunMeasured(const std::vector<std::string>& args)
{
    std::vector<std::string> all{SONAVEL_ANALYZE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0)
        return {-1, 0};
    int nStatus = 0;
    struct rusage usage = {};
    if (wait4(pid, &nStatus, 0, &usage) != pid || !WIFEXITED(nStatus))
        return {-1, 0};
    return {WEXITSTATUS(nStatus), usage.ru_maxrss};
}

TEST_F(RenderView, AStretchOfAWavIsDrawnAsFromTheWholeSoundWithoutHoldingIt)
{
    // Twenty minutes at 8 kHz (19 MB of samples), as a WAV, which is read from
    // its file, and as an AU, which is loaded whole: each under the same name.
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("wav") && QDir(m_dir.path()).mkpath("au"));
    const std::string strWav = m_dir.filePath("wav/long").toStdString(), strAu = m_dir.filePath("au/long").toStdString();
    {
        VoiceSynthParams p;
        p.nSampleRate = 8000;
        p.dSeconds = 3.0;
        const std::vector<int16_t> voice = SynthesizeVoice(p);
        std::vector<int16_t> samples;
        for (int i = 0; i < 400; ++i)
            samples.insert(samples.end(), voice.begin(), voice.end());
        ASSERT_TRUE(WriteWavFile(strWav, samples, 8000));
        std::ofstream au(strAu, std::ios::binary);
        const Bytes header = AuHeader(".snd", true, 24, static_cast<uint32_t>(2 * samples.size()), 3, 8000, 1);
        au.write(reinterpret_cast<const char*>(header.Data().data()), static_cast<std::streamsize>(header.Size()));
        for (int16_t v : samples)
            au.put(static_cast<char>(static_cast<uint16_t>(v) >> 8)).put(static_cast<char>(v & 0xFF));
        ASSERT_TRUE(au.good());
    }

    for (const auto& [strStart, strEnd] : {std::pair<std::string, std::string>("600", "601"), {"0", "0.5"}}) {
        const std::string strFromWav = m_dir.filePath("wav.png").toStdString(),
                          strFromAu = m_dir.filePath("au.png").toStdString();
        const auto [nWav, nWavKb] = RunMeasured({"render", strWav, "-o", strFromWav, "--view", "--start", strStart, "--end", strEnd});
        const auto [nAu, nAuKb] = RunMeasured({"render", strAu, "-o", strFromAu, "--view", "--start", strStart, "--end", strEnd});
        ASSERT_EQ(nWav, 0);
        ASSERT_EQ(nAu, 0);
        EXPECT_EQ(QImage(QString::fromStdString(strFromWav)), QImage(QString::fromStdString(strFromAu))) << strStart;
#if !defined(__SANITIZE_ADDRESS__)
        // The loaded sound's 19 MB of samples, which the WAV never holds. (A
        // forked child's peak counts the test process's memory at the fork,
        // which the address sanitizer makes as large as the child's own.)
        EXPECT_LT(nWavKb, nAuKb - 9600) << strStart;
#else
        (void)nWavKb;
        (void)nAuKb;
#endif
    }
}

TEST_F(RenderView, SilenceIsWhiteNotBlownUpToBlack)
{
    const QString strSilence = m_dir.filePath("silence.wav"), strPng = m_dir.filePath("silence.png");
    ASSERT_TRUE(WriteWavFile(strSilence.toStdString(), std::vector<int16_t>(16000, 0), 16000));
    ExpectDrawn(Render({strSilence, "-o", strPng, "--view", "--size", "400x300"}));
    const QImage image(strPng);
    const QRect rc = CMeasureLayout::For(image.size(), CMeasurePainter::ViewFont()).rcSpectrogram;
    EXPECT_EQ(image.pixel(rc.center()), qRgb(255, 255, 255));
}

TEST_F(RenderView, AClaimedGigahertzRateEndsInAPictureOrARefusal)
{
    // 3 MB of 16-bit samples whose header claims 2^31 - 1 Hz: 0.7 ms of
    // sound, for which a window per the claimed rate would take gigabytes.
    Bytes samples;
    for (int i = 0; i < 1500000; ++i)
        samples.LE16(static_cast<uint16_t>(i * 7919));
    const QString strBomb = m_dir.filePath("bomb.wav"), strPng = m_dir.filePath("bomb.png");
    const Bytes wav = SimpleWav(1, 1, 0x7FFFFFFFu, 16, samples);
    QFile file(strBomb);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(wav.Data().data()), static_cast<qint64>(wav.Size()));
    file.close();
    const ToolRun run = Render({strBomb, "-o", strPng, "--view"});
    EXPECT_TRUE(run.nStatus == 0 || run.nStatus == 1) << run.nStatus << " " << run.strError.toStdString();
}

TEST_F(RenderView, RefusesWhatIsNoViewWithStatusTwo)
{
    const QString strOut = m_dir.filePath("out.png");
    for (const QStringList& args :
         {QStringList{m_strWav, "-o", strOut, "--start", "1"}, QStringList{m_strWav, "-o", strOut, "--size", "800x600"},
          QStringList{m_strWav, "-o", strOut, "--view", "--size", "199x600"},
          QStringList{m_strWav, "-o", strOut, "--view", "--size", "800x8001"},
          QStringList{m_strWav, "-o", strOut, "--view", "--size", "800"},
          QStringList{m_strWav, "-o", strOut, "--view", "--size", "4294967496x300"}, // 2^32 + 200 wide
          QStringList{m_strWav, "-o", strOut, "--view", "--size", "800x-300"},
          QStringList{m_strWav, "-o", strOut, "--view", "--start", "1.5", "--end", "1.5"},
          QStringList{m_strWav, "-o", strOut, "--view", "--start", "2.5"},
          QStringList{m_strWav, "-o", strOut, "--view", "--end", "x"}}) {
        const ToolRun run = Render(args);
        EXPECT_EQ(run.nStatus, 2) << args.join(' ').toStdString();
        EXPECT_EQ(run.strError.count('\n'), 1) << run.strError.toStdString();
    }
    EXPECT_FALSE(QFile::exists(strOut));
}

} // namespace
