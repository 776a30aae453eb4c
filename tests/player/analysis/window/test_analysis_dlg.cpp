// The analysis window: layout, what a silent sound, a tone and a pitch track
// look like on an image painted by the window's own code, its scales, its
// failure paths and the one-window lifecycle.
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QtTest>

#include <cmath>
#include <string>
#include <vector>

#include "player/analysis/paint/CAnalysisPainter.h"
#include "player/analysis/window/CAnalysisDlg.h"
#include "player/analysis/model/AnalysisResource.h"
#include "player/audio/AudioResource.h"
#include "tests/support/CMessageRecorder.h"
#include "tests/support/WaitFor.h"
#include "player/audio/CSampleBlock.h"
#include "tests/support/SampleBlockProbe.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "player/analysis/window/Messages.h"

namespace {

SampleStore MakeStore(const std::vector<int16_t>& samples, int rate)
{
    SampleStore store;
    store.sampleCount = int(samples.size());
    store.byteLength = 2 * store.sampleCount;
    store.sampleRate = rate;
    store.hSamples = CSampleBlock::Alloc(samples.empty() ? 2 : samples.size() * 2);
    CSampleLock lock(store.hSamples);
    std::copy(samples.begin(), samples.end(), lock.Samples());
    return store;
}

// The window's client area as DrawPitch and DrawSpectrogram paint it, on a
// grey background like the dialog's.
QImage Paint(CAnalysisDlg& dlg)
{
    QImage img(dlg.size(), QImage::Format_RGB32);
    img.fill(QColor(200, 200, 200));
    QPainter p(&img);
    p.setFont(dlg.font());
    const CAnalysisPainter painter(dlg.Model());
    painter.DrawPitch(p);
    painter.DrawSpectrogram(p);
    return img;
}

bool IsBlack(QRgb c) { return qRed(c) < 60 && qGreen(c) < 60 && qBlue(c) < 60; }
bool IsWhite(QRgb c) { return c == qRgb(255, 255, 255); }

int DarkPixelsIn(const QImage& img, const QRect& rc)
{
    int n = 0;
    for (int y = rc.top(); y <= rc.bottom(); ++y)
        for (int x = rc.left(); x <= rc.right(); ++x)
            n += qGray(img.pixel(x, y)) < 128;
    return n;
}

} // namespace

class TestAnalysisDlg : public QObject {
    Q_OBJECT
private slots:
    void layoutAndTexts();
    void silentSoundGivesBlackSpectrogramAndNoDots();
    void emptySoundGivesOnePitchValueAndBlackPanel();
    void toneDarkensItsFrequencyRow();
    void eightKilohertzVoiceIsDrawnUpToItsLastBin();
    void pitchDotsOnlyStrictlyInsideTheScale();
    void scaleLinesAndLabels();
    void shortSoundAndMissingRateDoNotBreakTheWindow();
    void memoryFailures();
    void longSoundIsAnalysedWhole();
    void oneWindowReusedAndFreshAfterClose();
};

void TestAnalysisDlg::layoutAndTexts()
{
    CAnalysisDlg dlg;
    QVERIFY(dlg.OnInitDialog());
    QCOMPARE(dlg.size(), QSize(487, 284));
    QCOMPARE(dlg.windowTitle(), QString("Pitch / Spectrogram"));
    QCOMPARE(dlg.Model().Columns(), 487);
    QCOMPARE(dlg.Model().Rows(), 224);
    const auto& p = dlg.Model().PitchRect();
    const auto& s = dlg.Model().SpectrogramRect();
    QCOMPARE((QList<int>{p.left, p.top, p.right, p.bottom}), (QList<int>{40, 0, 487, 100}));
    QCOMPARE((QList<int>{s.left, s.top, s.right, s.bottom}), (QList<int>{40, 105, 487, 224}));

    QStringList texts;
    for (QLabel* l : dlg.findChildren<QLabel*>()) {
        texts << l->text();
        // Every text is whole inside the window and below the panels.
        QVERIFY(l->geometry().top() >= 224);
        QVERIFY(l->geometry().right() < 487 && l->geometry().left() >= 0);
        QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(),
                 qPrintable(l->text()));
    }
    QVERIFY(texts.contains("Fixed scale pitch and spectrogram analysis provided by Sonavel from "
                           "Velmora Speech Tools."));
    QVERIFY(texts.contains("For complete sound editing and analysis systems providing scales and "
                           "many options, please go to:"));
    QVERIFY(texts.contains("WWW.VELMORA.EXAMPLE"));
}

void TestAnalysisDlg::silentSoundGivesBlackSpectrogramAndNoDots()
{
    CAnalysisDlg dlg;
    dlg.OnInitDialog();
    const SampleStore store = MakeStore(std::vector<int16_t>(44100, 0), 22050);
    QCOMPARE(dlg.ComputePitch(store), 0);
    QCOMPARE(dlg.ComputeSpectrogram(store), 0);
    const QImage img = Paint(dlg);
    // Every value is 35 dB after normalisation: black, and so are the grid lines.
    for (int y = 105; y < 224; ++y)
        for (int x = 40; x < 487; ++x)
            QVERIFY2(IsBlack(img.pixel(x, y)), qPrintable(QString("%1,%2").arg(x).arg(y)));
    // No dots: the pitch panel is white off its three scale lines.
    for (int y = 0; y < 100; ++y) {
        if (y == 25 || y == 50 || y == 75)
            continue;
        for (int x = 40; x < 487; ++x)
            QVERIFY(IsWhite(img.pixel(x, y)));
    }
    // and a screen reader is told so.
    QCOMPARE(sonavel::AnalysisPictureDescription("quiet.wav", store, dlg.Model()),
             QString("quiet.wav: no pitch found over 2.0 s"));
}

void TestAnalysisDlg::emptySoundGivesOnePitchValueAndBlackPanel()
{
    CAnalysisDlg dlg;
    dlg.OnInitDialog();
    const SampleStore store = MakeStore({}, 11025);
    QCOMPARE(dlg.ComputePitch(store), 0);
    QCOMPARE(dlg.Model().PitchCount(), 1);
    QCOMPARE(dlg.ComputeSpectrogram(store), 0);
    const QImage img = Paint(dlg);
    QVERIFY(IsBlack(img.pixel(100, 150)));
    QVERIFY(IsBlack(img.pixel(486, 223)));
    QVERIFY(IsWhite(img.pixel(100, 90)));
}

void TestAnalysisDlg::toneDarkensItsFrequencyRow()
{
    // A steady 2000 Hz tone at 11025 Hz: the darkest pixel of every column lies
    // at 2000 / 5000 of the panel's 119 rows above its bottom.
    std::vector<int16_t> tone(30000);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = int16_t(15000 * std::sin(2 * M_PI * 2000.0 * i / 11025.0));
    CAnalysisDlg dlg;
    dlg.OnInitDialog();
    const SampleStore store = MakeStore(tone, 11025);
    dlg.ComputeSpectrogram(store);
    const QImage img = Paint(dlg);
    const int yWant = 223 - int(2000.0 / 5000.0 * 119);
    for (int x : {60, 200, 350, 480}) {
        int yDark = 105, dark = 256;
        for (int y = 105; y < 224; ++y) {
            if (y == 129 || y == 153 || y == 177 || y == 201)
                continue; // grid lines
            if (qGray(img.pixel(x, y)) < dark) {
                dark = qGray(img.pixel(x, y));
                yDark = y;
            }
        }
        QVERIFY2(std::abs(yDark - yWant) <= 3, qPrintable(QString("x %1: darkest row %2, want %3")
                                                                .arg(x).arg(yDark).arg(yWant)));
        // Far from the tone the column is white (more than 35 dB down).
        QVERIFY(IsWhite(img.pixel(x, 110)));
    }
}

void TestAnalysisDlg::eightKilohertzVoiceIsDrawnUpToItsLastBin()
{
    // At 8000 Hz the scale's top 1125 Hz lie past the last bin (3875 Hz): the
    // extrapolated rows must not set the picture's scale, or the voice vanishes.
    VoiceSynthParams p;
    p.nSampleRate = 8000;
    p.dSeconds = 2.0;
    p.dJitter = 0.01;
    CAnalysisDlg dlg;
    dlg.OnInitDialog();
    dlg.ComputeSpectrogram(MakeStore(SynthesizeVoice(p), 8000));
    const QImage img = Paint(dlg);
    // The first formant (700 Hz, 17 rows up) is dark across the panel.
    const int yF1 = 223 - int(700.0 / 5000 * 119);
    QVERIFY(DarkPixelsIn(img, QRect(40, yF1 - 3, 447, 7)) > 447);
    // Above 3875 Hz (row 131 and up) nothing is drawn but the grid line at 4000.
    for (int y = 105; y < 130; ++y)
        for (int x = 40; x < 487; x += 5)
            QVERIFY2(IsWhite(img.pixel(x, y)) || y == 129, qPrintable(QString::number(y)));
}

void TestAnalysisDlg::pitchDotsOnlyStrictlyInsideTheScale()
{
    CAnalysisDlg dlg;
    dlg.OnInitDialog();
    // 10 values over 447 pixels: value i at x = 40 + trunc(i * 44.7).
    const std::vector<int16_t> values{0, 50, 51, 100, 150, 249, 250, 300, -5, 200};
    dlg.Model().SetPitchTrack(values);
    const QImage img = Paint(dlg);
    for (size_t i = 0; i < values.size(); ++i) {
        const int x = 40 + int(i * 44.7);
        const int v = values[i];
        const bool bDot = v > 50 && v < 250;
        // The dot's box (x, y) .. (x + 3, y + 3), y = 100 - trunc((v - 50) / 2).
        if (bDot) {
            const int y = 100 - (v - 50) / 2;
            QVERIFY2(IsBlack(img.pixel(x + 1, y + 1)) && IsBlack(img.pixel(x + 2, y + 2)),
                     qPrintable(QString("value %1").arg(v)));
            QVERIFY(!IsBlack(img.pixel(x + 4, y + 1)) || y + 1 == 25 || y + 1 == 50 || y + 1 == 75);
        }
        // Nothing dark in this value's pixel columns apart from its dot and the
        // grid lines.
        for (int y = 0; y < 105; ++y) {
            if (y == 25 || y == 50 || y == 75)
                continue;
            const int yDot = bDot ? 100 - (v - 50) / 2 : -100;
            if (y >= yDot && y <= yDot + 3)
                continue;
            for (int dx = 0; dx < 4; ++dx)
                QVERIFY2(!IsBlack(img.pixel(x + dx, y)),
                         qPrintable(QString("value %1 at y %2").arg(v).arg(y)));
        }
    }
}

void TestAnalysisDlg::scaleLinesAndLabels()
{
    CAnalysisDlg dlg;
    dlg.OnInitDialog();
    dlg.Model().SetPitchTrack({0});
    dlg.ComputeSpectrogram(MakeStore(std::vector<int16_t>(5000, 0), 8000));
    QImage img = Paint(dlg);
    // Pitch panel: lines at 100, 150, 200 Hz, from 2 px inside the left edge to
    // 2 px short of the right one; none on the top edge (250 Hz).
    for (int y : {75, 50, 25}) {
        QVERIFY(IsBlack(img.pixel(42, y)) && IsBlack(img.pixel(484, y)));
        QVERIFY(IsWhite(img.pixel(41, y)) && IsWhite(img.pixel(485, y)));
    }
    for (int x = 40; x < 487; ++x)
        QVERIFY(IsWhite(img.pixel(x, 0)));
    // Labels at the very left, their tops on the line heights (250 on the top edge).
    for (int y : {75, 50, 25, 0})
        QVERIFY2(DarkPixelsIn(img, QRect(0, y, 38, 9)) > 4, qPrintable(QString::number(y)));
    QCOMPARE(DarkPixelsIn(img, QRect(0, 90, 40, 10)), 0); // below the lowest label

    // Spectrogram labels 1000 .. 5000 Hz at 201, 177, 153, 129, 105 (the silent
    // sound's panel is all black, so its lines are checked on a tone below).
    for (int y : {201, 177, 153, 129, 105})
        QVERIFY2(DarkPixelsIn(img, QRect(0, y, 38, 9)) > 4, qPrintable(QString::number(y)));
    QCOMPARE(DarkPixelsIn(img, QRect(0, 216, 40, 8)), 0);

    // With a low tone most of the panel is more than 35 dB down, white, and
    // the grid lines show on it: at 1000 .. 4000 Hz, none at 5000 Hz.
    std::vector<int16_t> low(20000);
    for (size_t i = 0; i < low.size(); ++i)
        low[i] = int16_t(20000 * std::sin(2 * M_PI * 300.0 * i / 11025.0));
    dlg.ComputeSpectrogram(MakeStore(low, 11025));
    img = Paint(dlg);
    for (int y : {201, 177, 153, 129}) {
        QVERIFY(IsBlack(img.pixel(60, y)) && IsBlack(img.pixel(484, y)));
        QVERIFY(IsWhite(img.pixel(60, y - 1)) && IsWhite(img.pixel(60, y + 1)));
    }
    QVERIFY(IsWhite(img.pixel(60, 105)) && IsWhite(img.pixel(300, 105)));
}

void TestAnalysisDlg::shortSoundAndMissingRateDoNotBreakTheWindow()
{
    CAnalysisDlg dlg;
    dlg.OnInitDialog();
    // Fewer samples than columns: every column starts inside the sound but runs
    // past its end, the rest of each frame is zeros.
    std::vector<int16_t> shortSound(50);
    for (size_t i = 0; i < shortSound.size(); ++i)
        shortSound[i] = int16_t(i * 500);
    const SampleStore store = MakeStore(shortSound, 8000);
    QCOMPARE(dlg.ComputePitch(store), 0);
    QCOMPARE(dlg.ComputeSpectrogram(store), 0);
    QVERIFY(dlg.Model().IsSpectrogramReady());
    Paint(dlg);

    SampleStore noRate = MakeStore(std::vector<int16_t>(3000, 1000), 0);
    QCOMPARE(dlg.ComputePitch(noRate), 0);
    QCOMPARE(dlg.ComputeSpectrogram(noRate), 0);
    const QImage img = Paint(dlg);
    QVERIFY(IsBlack(img.pixel(200, 150)));

    // A store that claims more samples than its block holds is read only as far
    // as the block goes.
    SampleStore lying = MakeStore(std::vector<int16_t>(1000, 300), 11025);
    lying.sampleCount = 1000000;
    QCOMPARE(dlg.ComputePitch(lying), 0);
    QCOMPARE(dlg.ComputeSpectrogram(lying), 0);
}

void TestAnalysisDlg::memoryFailures()
{
    testsupport::CMessageRecorder rec;
    CAnalysisDlg dlg;
    dlg.OnInitDialog();
    const SampleStore store = MakeStore(std::vector<int16_t>(1000000, 0), 22050);
    {
        // The pitch block (10001 values) is refused: beep, message, no panel.
        CScopedAllocationLimit limit(20000);
        QCOMPARE(dlg.ComputePitch(store), sonavel::IDS_NOT_ENOUGH_MEMORY);
        QVERIFY(!dlg.Model().IsPitchReady());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(rec.m_messages.size(), size_t(1));
        QCOMPARE(QString::fromStdString(rec.m_messages[0]),
                 QString("Not enough memory to perform the requested task."));
        QCOMPARE(rec.m_nBeeps, 1);

        // The columns' block (487 x 274 doubles) is refused: no message, not drawn.
        limit.Set(2000);
        QCOMPARE(dlg.ComputeSpectrogram(store), sonavel::IDS_NOT_ENOUGH_MEMORY);
        QVERIFY(!dlg.Model().IsSpectrogramReady());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(rec.m_messages.size(), size_t(1));

        // The tracker's own buffers are refused: the track stays zero, no dots,
        // and no message.
        limit.Set(100000);
        QCOMPARE(dlg.ComputePitch(store), 0);
        QVERIFY(dlg.Model().IsPitchReady());
        QCOMPARE(rec.m_messages.size(), size_t(1));
    }

    const QImage img = Paint(dlg);
    QVERIFY(!IsWhite(img.pixel(300, 150))); // spectrogram panel not drawn
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestAnalysisDlg::longSoundIsAnalysedWhole()
{
    // Past 3,276,699 samples the pitch count no longer fits 16 bits; the sound
    // is still tracked to its end: a voice in its last seconds shows as dots at
    // the right of the panel.
    VoiceSynthParams p;
    p.dSeconds = 3.0;
    p.dJitter = 0.01;
    p.contour = {{0.0, 150.0}};
    std::vector<int16_t> sound(3400000, 0);
    const auto voice = SynthesizeVoice(p);
    std::copy(voice.begin(), voice.end(), sound.end() - long(voice.size()));
    CAnalysisDlg dlg;
    dlg.OnInitDialog();
    const SampleStore store = MakeStore(sound, 22050);
    QCOMPARE(dlg.ComputePitch(store), 0);
    QCOMPARE(dlg.Model().PitchCount(), 34001);
    const QImage img = Paint(dlg);
    // 150 Hz is row 100 - 50 = 50, a grid line: look just below it.
    QVERIFY(DarkPixelsIn(img, QRect(470, 51, 16, 3)) > 10);
    QCOMPARE(DarkPixelsIn(img, QRect(40, 51, 400, 3)), 0);
}

void TestAnalysisDlg::oneWindowReusedAndFreshAfterClose()
{
    QVERIFY(g_pAnalysisDlg == nullptr);
    VoiceSynthParams p;
    p.dSeconds = 1.0;
    p.dJitter = 0.01;
    const SampleStore store = MakeStore(SynthesizeVoice(p), 22050);

    sonavel::OpenAnalysisWindow(store, nullptr);
    QPointer<CAnalysisDlg> first = g_pAnalysisDlg;
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QVERIFY(first->Model().IsPitchReady() && first->Model().IsSpectrogramReady());
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // A second command refreshes the same window for the store's new sound.
    const SampleStore other = MakeStore(std::vector<int16_t>(30000, 0), 11025);
    sonavel::OpenAnalysisWindow(other, nullptr);
    QCOMPARE(g_pAnalysisDlg, first.data());
    QCOMPARE(first->Model().PitchCount(), 301);

    // Closing it frees it; the next command opens a fresh window.
    first->close();
    QVERIFY(g_pAnalysisDlg == nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), testsupport::kEventBoundMs);
    sonavel::OpenAnalysisWindow(store, nullptr);
    QPointer<CAnalysisDlg> second = g_pAnalysisDlg;
    QVERIFY(second && second->isVisible() && second->Model().IsSpectrogramReady());

    // Escape closes it the same way, never just hides it.
    QTest::keyClick(second.data(), Qt::Key_Escape);
    QVERIFY(g_pAnalysisDlg == nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), testsupport::kEventBoundMs);

    // The painted window is what the picture shows.
    sonavel::OpenAnalysisWindow(store, nullptr);
    const QImage grabbed = g_pAnalysisDlg->grab().toImage();
    QCOMPARE(grabbed.size(), QSize(487, 284));
    QVERIFY(DarkPixelsIn(grabbed, QRect(40, 0, 447, 100)) > 100); // dots and grid
    delete g_pAnalysisDlg;
    QVERIFY(g_pAnalysisDlg == nullptr);
}

QTEST_MAIN(TestAnalysisDlg)
#include "test_analysis_dlg.moc"
