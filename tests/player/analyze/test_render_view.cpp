// sonavel-analyze render --view as a user runs it: the view's picture at its
// default and at a given size, a stretch clamped to the sound, a stretch of a
// WAV drawn without holding the whole sound, figures as drawings with their
// tiers read back by other programs, and the options it refuses.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fstream>

#include "player/analysis/paint/CMeasurePainter.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/ProcessPeak.h"
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

// What another program prints, and whether it ended well.
bool RunPeer(const QString& strProgram, const QStringList& args, QByteArray& out)
{
    QProcess tool;
    tool.start(strProgram, args);
    const bool bDone = tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    out = tool.readAllStandardOutput();
    return bDone;
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

// The exit status and peak memory (kB) of sonavel-analyze with args.
std::pair<int, long> RunMeasured(const std::vector<std::string>& args)
{
    std::vector<std::string> all{SONAVEL_ANALYZE};
    all.insert(all.end(), args.begin(), args.end());
    return testsupport::RunMeasured(all);
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

// A figure for a paper: SVG and PDF keep their words as text, the tiers'
// names and IPA labels among them, at the size on paper asked for, as an XML
// parser, rsvg-convert and pdftotext read them; the PNG at 16x9cm and 300
// dpi is 1890x1063 pixels and says its resolution.
TEST_F(RenderView, FiguresOnPaperKeepTheirWordsAndTiersForOtherPrograms)
{
    const QString strGrid = m_dir.filePath("voice.TextGrid");
    {
        std::ofstream grid(strGrid.toStdString());
        grid << "File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\nxmin = 0\nxmax = 2\ntiers? <exists>\n"
                "size = 2\nitem []:\n  item [1]:\n    class = \"IntervalTier\"\n    name = \"words\"\n    xmin = 0\n"
                "    xmax = 2\n    intervals: size = 2\n    intervals [1]:\n      xmin = 0\n      xmax = 0.9\n"
                "      text = \"\u0283ip\"\n    intervals [2]:\n      xmin = 0.9\n      xmax = 2\n"
                "      text = \"\u03b8\u026a\u014bk\"\n  item [2]:\n    class = \"TextTier\"\n    name = \"tones\"\n"
                "    xmin = 0\n    xmax = 2\n    points: size = 1\n    points [1]:\n      number = 1.2\n"
                "      mark = \"H*\"\n";
    }
    const QStringList kWords = {"voice.wav", "Time (s)", "words", "tones", "\u0283ip", "\u03b8\u026a\u014bk", "H*"};
    const QString strSvg = m_dir.filePath("figure.svg"), strPdf = m_dir.filePath("figure.pdf");
    for (const QString& strOut : {strSvg, strPdf})
        ExpectDrawn(Render({m_strWav, "-o", strOut, "--view", "--size", "16x9cm", "--textgrid", strGrid}));

    // The SVG: 160 x 90 mm, its words in text elements.
    QByteArray out;
    ASSERT_TRUE(RunPeer("python3", {"-c", "import sys, xml.etree.ElementTree as E\n"
                                      "r = E.parse(sys.argv[1]).getroot()\n"
                                      "print(r.get('width'), r.get('height'))\n"
                                      "for e in r.iter():\n"
                                      "    if e.tag.endswith('}text'): print(''.join(e.itertext()).strip())",
                                strSvg},
                    out));
    const QStringList svgLines = QString::fromUtf8(out).split('\n');
    const QStringList sides = svgLines.value(0).split(' ');
    ASSERT_EQ(sides.size(), 2);
    EXPECT_NEAR(sides[0].chopped(2).toDouble(), 160, 0.5) << sides[0].toStdString();
    EXPECT_NEAR(sides[1].chopped(2).toDouble(), 90, 0.5) << sides[1].toStdString();
    for (const QString& strWord : kWords)
        EXPECT_TRUE(svgLines.contains(strWord) || svgLines.filter(strWord).size() > 0) << strWord.toStdString();
    // Drawn by another renderer: the voice darkens the spectrogram's foot.
    const QString strDrawn = m_dir.filePath("drawn.png");
    ASSERT_TRUE(RunPeer("rsvg-convert", {strSvg, "-o", strDrawn}, out));
    const QImage drawn(strDrawn);
    ASSERT_FALSE(drawn.isNull());
    int nDark = 0;
    for (int y = drawn.height() / 2; y < drawn.height() * 3 / 4; y += 2)
        for (int x = drawn.width() / 4; x < drawn.width() * 3 / 4; x += 2)
            nDark += qGray(drawn.pixel(x, y)) < 96;
    EXPECT_GT(nDark, 500);

    // The PDF: a page of 160 x 90 mm whose text pdftotext reads back.
    ASSERT_TRUE(RunPeer("pdfinfo", {strPdf}, out));
    const QRegularExpressionMatch page =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")).match(QString::fromUtf8(out));
    ASSERT_TRUE(page.hasMatch()) << out.toStdString();
    EXPECT_NEAR(page.captured(1).toDouble() / 72 * 25.4, 160, 0.5); // the page's sides are whole points
    EXPECT_NEAR(page.captured(2).toDouble() / 72 * 25.4, 90, 0.5);
    ASSERT_TRUE(RunPeer("pdftotext", {strPdf, "-"}, out));
    const QString strPdfText = QString::fromUtf8(out);
    for (const QString& strWord : kWords)
        EXPECT_TRUE(strPdfText.contains(strWord)) << strWord.toStdString() << " in " << strPdfText.toStdString();

    const QString strPng = m_dir.filePath("figure.png");
    ExpectDrawn(Render({m_strWav, "-o", strPng, "--view", "--size", "16x9cm", "--dpi", "300"}));
    const QImage png(strPng);
    EXPECT_EQ(png.size(), QSize(1890, 1063));
    EXPECT_NEAR(png.dotsPerMeterX() * 0.0254, 300, 0.5);
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
          QStringList{m_strWav, "-o", strOut, "--view", "--end", "x"},
          QStringList{m_strWav, "-o", strOut, "--dpi", "300"},
          QStringList{m_strWav, "-o", m_dir.filePath("out.svg")},
          QStringList{m_strWav, "-o", strOut, "--textgrid", m_strWav},
          QStringList{m_strWav, "-o", strOut, "--view", "--size", "16x9cm", "--dpi", "71"},
          QStringList{m_strWav, "-o", strOut, "--view", "--size", "16x9km"},
          QStringList{m_strWav, "-o", strOut, "--view", "--size", "30x20cm", "--dpi", "1200"}}) {
        const ToolRun run = Render(args);
        EXPECT_EQ(run.nStatus, 2) << args.join(' ').toStdString();
        EXPECT_EQ(run.strError.count('\n'), 1) << run.strError.toStdString();
    }
    EXPECT_FALSE(QFile::exists(strOut));
}

} // namespace
