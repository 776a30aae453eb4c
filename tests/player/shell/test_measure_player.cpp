// The measuring view in the player, on a real X server (Xvfb): opened by its
// menu item, resized, zoomed by key and wheel, a selection played; the player
// stays while it is open. With a PulseAudio null sink: sonavel FILE --select
// opens it on the span and plays only the span. Screenshots of each state go
// to $VELMORA_SCREENSHOT_DIR.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QPointer>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <functional>
#include <cstring>
#include <memory>

#include "player/analysis/window/CAnalysisDlg.h"
#include "player/analysis/window/CAnalysisPicture.h"
#include "player/analysis/window/CMeasureView.h"
#include "player/shell/CMainFrame.h"
#include "tests/support/CRecordingWaveOut.h"
#include "player/shell/CSonavelProApp.h"
#include "player/shell/SelectOption.h"
#include "player/shell/resource.h"
#include "tests/player/analysis/window/MeasureTestSupport.h"
#include "tests/player/shell/ShellTestSupport.h"
#include "tests/support/CommandAction.h"
#include "tests/support/PulseStreams.h"
#include "tests/support/SaveShot.h"
#include "tests/support/WhenModal.h"
#include "player/analysis/textgrid/TextGridWriter.h"
#include <QMessageBox>
#include <QPushButton>

using namespace shelltest;
using namespace sonavel::shell;

namespace {

const int kRate = 22050;

// The screen as the X server holds it, once every window has painted what it
// shows now.
void Shot(const char* szName)
{
    for (QWidget* p : QApplication::topLevelWidgets())
        if (p->isVisible())
            p->repaint();
    QCoreApplication::processEvents();
    if (QScreen* pScreen = QGuiApplication::primaryScreen())
        testsupport::SaveShot(pScreen->grabWindow(0), szName);
}

// The view's picture answers its newest request.
bool PictureIsCurrent(CMeasureView* pView)
{
    const CMeasurePicture* p = pView->Plot()->Picture().get();
    return p && p->request.nSerial == pView->LastRequest().nSerial;
}

// Deactivates the application and runs the event loop until either the player
// ends it (0) or a call queued behind the deactivation's own queued calls comes
// first (7). It goes round twice: an exit in the same round as the player's
// would overwrite the player's code. fnBefore and fnAfter run just before and
// after the deactivation, in the same turn of the loop.
int LoopAfterDeactivation(const std::function<void()>& fnBefore = {}, const std::function<void()>& fnAfter = {})
{
    QApplicationStateChangeEvent active(Qt::ApplicationActive);
    QCoreApplication::sendEvent(qApp, &active);
    QEventLoop loop;
    QTimer::singleShot(0, qApp, [&loop, &fnBefore, &fnAfter] {
        if (fnBefore)
            fnBefore();
        QApplicationStateChangeEvent inactive(Qt::ApplicationInactive);
        QCoreApplication::sendEvent(qApp, &inactive);
        if (fnAfter)
            fnAfter();
        QMetaObject::invokeMethod(&loop, [&loop] {
            QMetaObject::invokeMethod(&loop, [&loop] { loop.exit(7); }, Qt::QueuedConnection);
        }, Qt::QueuedConnection);
    });
    return loop.exec();
}

// Seconds of the recording that are loud (10 ms windows), the sound heard.
double LoudSeconds(const QString& strRaw)
{
    QFile f(strRaw);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray raw = f.readAll();
    std::vector<int16_t> heard(static_cast<size_t>(raw.size() / 2));
    std::memcpy(heard.data(), raw.constData(), heard.size() * 2);
    const size_t nWindow = kRate / 100;
    int nLoud = 0;
    for (size_t w = 0; (w + 1) * nWindow <= heard.size(); ++w) {
        double e = 0;
        for (size_t i = w * nWindow; i < (w + 1) * nWindow; ++i)
            e += double(heard[i]) * heard[i];
        if (std::sqrt(e / nWindow) > 1000)
            ++nLoud;
    }
    return nLoud / 100.0;
}

} // namespace

class TestMeasurePlayer : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Glide3s()
    {
        const QString strPath = m_dir.filePath("glide.wav");
        WriteTestFile(strPath, MakeWav(Glide(kRate * 3, kRate), kRate));
        return strPath;
    }

    // Runs sonavel FILE --select VALUE against the null sink: the seconds heard
    // and what it wrote on standard error.
    void PlaySelected(const QString& strValue, const char* szShot, double& dHeard, QString& strError)
    {
        const QString strRaw = m_dir.filePath("heard.raw");
        QFile::remove(strRaw);
        QProcess* pParec = testsupport::StartRecorder(strRaw, kRate);
        QVERIFY(pParec);
        QProcess player;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        player.setProcessEnvironment(env);
        player.start(SONAVEL_PATH, {Glide3s(), "--select", strValue});
        QVERIFY(player.waitForStarted(testsupport::kEventBoundMs));
        QVERIFY2(testsupport::WaitForPlaybackStart(), "no stream reached the server");
        QVERIFY2(testsupport::WaitForPlaybackEnd(), "the stream never ended");
        Shot(szShot);
        QVERIFY(testsupport::StopRecorder(pParec, strRaw, kRate));
        // The view is the user's work: the player waits with it.
        QCOMPARE(player.state(), QProcess::Running);
        player.kill();
        player.waitForFinished(testsupport::kEventBoundMs);
        strError = QString::fromLocal8Bit(player.readAllStandardError());
        dHeard = LoudSeconds(strRaw);
    }

private slots:
    void selectValuesAreReadAndFitted()
    {
        SelectSpan span;
        QVERIFY(IsSelectCommandLine({"a.wav", "--select", "1,2"}));
        QVERIFY(!IsSelectCommandLine({"a.wav", "--select", "1,2", "x"}));
        QVERIFY(!IsSelectCommandLine({"--select", "a.wav", "1,2"}));
        QVERIFY(ParseSelectValue("12.5,14.2", span) && span.dStart == 12.5 && span.dEnd == 14.2);
        QVERIFY(ParseSelectValue("12.5,", span) && span.dEnd < 0);
        QVERIFY(ParseSelectValue(".5,3.", span) && span.dStart == 0.5 && span.dEnd == 3);
        for (const char* sz : {"", "1", ",3", "-1,2", "1,+2", "1e2,300", "1,2,3", " 1,2", "1.2.3,4", "nan,1", "1;2"})
            QVERIFY2(!ParseSelectValue(sz, span), sz);
        span = {2.0, 30.0};
        QVERIFY(FitSelectSpan(span, 10.0).empty());
        QCOMPARE(span.dEnd, 10.0); // clamped to the sound
        span = {2.0, -1};
        QVERIFY(FitSelectSpan(span, 10.0).empty());
        QCOMPARE(span.dEnd, 10.0);
        span = {10.0, -1};
        QVERIFY(!FitSelectSpan(span, 10.0).empty());
        span = {3.0, 3.0};
        QVERIFY(!FitSelectSpan(span, 10.0).empty());

        // --channel as the second and third of three arguments, or beside --select in either order.
        PlayerOptions o = ReadPlayerOptions({"a.wav", "--channel", "2"});
        QVERIFY(o.bChannel && o.strChannel == "2" && !o.bSelect);
        o = ReadPlayerOptions({"a.wav", "--channel", "2", "--select", "1,2"});
        QVERIFY(o.bChannel && o.strChannel == "2" && o.bSelect && o.strSelect == "1,2");
        o = ReadPlayerOptions({"a.wav", "--select", "1,2", "--channel", "3"});
        QVERIFY(o.bChannel && o.strChannel == "3" && o.bSelect && o.strSelect == "1,2");
        for (const std::vector<std::string>& line :
             {std::vector<std::string>{"a.wav", "--channel"}, {"a.wav", "--channel", "2", "--channel", "3"},
              {"--channel", "2", "a.wav"}, {"a.wav", "--channel", "2", "x"}, {"a.wav", "--select", "1,2", "-c", "2"}}) {
            o = ReadPlayerOptions(line);
            QVERIFY(!o.bChannel && !o.bSelect);
        }
        // --name beside either or both, in any order; each option once.
        o = ReadPlayerOptions({"a.wav", "--name", "take.wav", "--channel", "2", "--select", "1,2"});
        QVERIFY(o.bName && o.strName == "take.wav" && o.bChannel && o.bSelect);
        o = ReadPlayerOptions({"a.wav", "--select", "1,2", "--name", "take.wav"});
        QVERIFY(o.bName && o.strName == "take.wav" && o.bSelect && !o.bChannel);
        QVERIFY(!ReadPlayerOptions({"a.wav", "--name", "x", "--name", "y"}).bName);
        o = ReadPlayerOptions({"a.wav", "--textgrid", "a.TextGrid", "--select", "1,2", "--name", "n", "--channel", "2"});
        QVERIFY(o.bTextGrid && o.strTextGrid == "a.TextGrid" && o.bSelect && o.bName && o.bChannel);
        QCOMPARE(SafeSoundName("take.wav"), std::string("take.wav"));
        QCOMPARE(SafeSoundName("../../etc/take.wav"), std::string("take.wav"));
        QCOMPARE(SafeSoundName("C:\\rec\\take.wav"), std::string("take.wav"));
        QCOMPARE(SafeSoundName("ta\x1B[2Jke\x7F\xC2\x9B.wav\n"), std::string("ta[2Jke.wav"));
        QCOMPARE(SafeSoundName("Gr\xC3\xBC\xC3\x9F.wav"), std::string("Gr\xC3\xBC\xC3\x9F.wav"));
        // Nor bidirectional controls (U+202E, U+2066, U+202C), which would turn the title round.
        QCOMPARE(SafeSoundName("ta\u202Eke\u2066.wav\u202C"), std::string("take.wav"));
        for (const char* sz : {"", "dir/", ".", "..", "\x01\x02"})
            QVERIFY2(SafeSoundName(sz).empty(), sz);
        // 255 bytes at most, never half a character: the letter across the bound goes whole.
        QCOMPARE(SafeSoundName(std::string(254, 'a') + "\xC3\xBC" + "b"), std::string(254, 'a'));
        QCOMPARE(SafeSoundName(std::string(300, 'a')).size(), size_t(255));
        int nChannel = 0;
        QVERIFY(ParseChannelValue("12", nChannel) && nChannel == 12);
        for (const char* sz : {"", "0", "-1", "+2", "2.0", " 2", "two", "9999999999"})
            QVERIFY2(!ParseChannelValue(sz, nChannel), sz);
    }

    // FILE --select S,E --channel 2 opens the view on the right channel's span and
    // plays it; the view's Channel menu brings the left one in place, keeping the span.
    void aChannelFromTheCommandLineOrTheViewIsTheOneShownAndPlayed()
    {
        QSettings(kszRegistryKey, kszProfileApp).clear();
        CRecordingWaveOutFactory recorder;
        recorder.m_bAutoComplete = false;
        testsupport::CScopedValue<CWaveOutFactory*> useRecorder(g_waveOutFactory, &recorder);
        CMessageRecorder messages;
        // The glide on the left, a steady 300 Hz on the right.
        const std::vector<int16_t> left = Glide(kRate * 2, kRate);
        std::vector<int16_t> right(left.size()), frames;
        for (size_t i = 0; i < right.size(); ++i)
            right[i] = int16_t(std::lround(6000 * std::sin(2 * M_PI * 300 * double(i) / kRate)));
        for (size_t i = 0; i < left.size(); ++i)
            frames.insert(frames.end(), {left[i], right[i]});
        const QString strPath = m_dir.filePath("two.wav");
        const std::vector<uint8_t> bytes = WavBytes16(frames, kRate, 2);
        WriteTestFile(strPath, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
        const auto held = [](const SampleStore& store) {
            CSampleLock lock(store.hSamples);
            return std::vector<int16_t>(lock.Samples(), lock.Samples() + store.sampleCount);
        };

        auto pApp = std::make_unique<CSonavelProApp>();
        pApp->InitInstance({strPath, "--select", "0.5,1", "--channel", "2"});
        QCOMPARE(pApp->Channel(), 2);
        QCOMPARE(pApp->Channels(), 2);
        QVERIFY(held(pApp->m_store) == right);
        CMeasureView* pView = pApp->MeasureView();
        QVERIFY(pView && pView->IsPlaying());
        QCOMPARE(recorder.m_openings.back().written.at(0),
                 SampleBytes(std::vector<int16_t>(right.begin() + kRate / 2, right.begin() + kRate)));
        recorder.CompletePending();
        QVERIFY(testsupport::WaitFor([&] { return !pView->IsPlaying(); }));
        QVERIFY(pView->windowTitle().startsWith("two.wav (channel 2 of 2)"));
        QVERIFY(pView->Action("channel2")->isChecked() && !pView->Action("channel1")->isChecked());
        QVERIFY(QTest::qWaitForWindowExposed(pView));
        QVERIFY(testsupport::WaitFor([&] { return PictureIsCurrent(pView); }));
        Shot("measure-channel-2.png");

        const double dStart = pView->Model().Start(), dEnd = pView->Model().End();
        pView->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pView));
        QTest::keyClick(pView->Plot(), Qt::Key_1, Qt::AltModifier);
        QCOMPARE(pApp->Channel(), 1);
        QVERIFY(held(pApp->m_store) == left);
        QCOMPARE(pView->Model().Start(), dStart);
        QCOMPARE(pView->Model().End(), dEnd);
        QCOMPARE(pView->Model().SelectionEnd(), 1.0);
        QVERIFY(pView->Action("channel1")->isChecked());
        QVERIFY(testsupport::WaitFor([&] { return PictureIsCurrent(pView); }));
        Shot("measure-channel-1.png");

        // Space plays the left channel now.
        QTest::keyClick(pView->Plot(), Qt::Key_Space);
        QCOMPARE(recorder.m_openings.back().written.at(0),
                 SampleBytes(std::vector<int16_t>(left.begin() + kRate / 2, left.begin() + kRate)));
        recorder.CompletePending();
        QVERIFY(testsupport::WaitFor([&] { return !pView->IsPlaying(); }));

        // A channel the file lacks: the reader's refusal, with a beep, and the sound stays.
        QVERIFY(messages.m_messages.empty());
        QVERIFY(!pApp->OpenDocumentFile(strPath, 3));
        QCOMPARE(messages.m_events, (std::vector<std::string>{"beep0", "box"}));
        QCOMPARE(messages.m_messages.at(0), std::string("no channel 3: the file has 2 channels"));
        pView->close();
        pApp.reset();
    }

    // --textgrid TG opens the view with it (one that cannot be read is said,
    // the sound opens all the same); without it the TextGrid beside the sound
    // opens, and unsaved edits are asked about before another sound replaces them.
    void aTextGridOpensWithItsSound()
    {
        CRecordingWaveOutFactory recorder;
        testsupport::CScopedValue<CWaveOutFactory*> useRecorder(g_waveOutFactory, &recorder);
        CMessageRecorder messages;
        const QString strSound = m_dir.filePath("take7.wav");
        QFile::copy(Glide3s(), strSound);
        sonavel::textgrid::TextGrid grid{0, 3, {{"words", sonavel::textgrid::ETierKind::Interval, 0, 3, {{0, 3, "glide"}}, {}}}};
        QVERIFY(sonavel::textgrid::WriteTextGrid(grid, m_dir.filePath("take7.TextGrid").toStdString()).bOk);
        auto pApp = std::make_unique<CSonavelProApp>();
        pApp->InitInstance({strSound, "--textgrid", m_dir.filePath("none.TextGrid")});
        CMeasureView* pView = pApp->MeasureView();
        QVERIFY(pView);
        QVERIFY2(pView->Note().startsWith(m_dir.filePath("none.TextGrid") + ": cannot read it"), qPrintable(pView->Note()));
        QVERIFY(pApp->m_bLoaded);
        QVERIFY(pApp->OpenDocumentFile(strSound));
        QCOMPARE(pView->TextGridPath(), m_dir.filePath("take7.TextGrid"));
        QCOMPARE(pView->Tiers().Grid().tiers.at(0).intervals.at(0).strLabel, std::string("glide"));
        QCOMPARE(pView->Tiers().AddTier(1, "tones", sonavel::textgrid::ETierKind::Point), std::string());
        int nAsked = 0;
        testsupport::WhenModal<QMessageBox>(this, [&](QMessageBox* p) { ++nAsked; p->button(QMessageBox::Cancel)->click(); });
        QVERIFY(!pApp->OpenDocumentFile(Glide3s()));
        QCOMPARE(nAsked, 1);
        QCOMPARE(pView->Tiers().TierCount(), size_t(2));
        testsupport::WhenModal<QMessageBox>(this, [&](QMessageBox* p) { ++nAsked; p->button(QMessageBox::Discard)->click(); });
        QVERIFY(pApp->OpenDocumentFile(Glide3s()));
        QCOMPARE(nAsked, 2);
        QCOMPARE(pView->Tiers().TierCount(), size_t(0));
        // The browser's copy in its cache folder says nothing by its name: a grid there stays shut.
        const bool bHadCache = qEnvironmentVariableIsSet("XDG_CACHE_HOME");
        const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", m_dir.filePath("cache").toUtf8());
        QVERIFY(QDir().mkpath(m_dir.filePath("cache/velmora")));
        QFile::copy(strSound, m_dir.filePath("cache/velmora/tempFile"));
        QFile::copy(m_dir.filePath("take7.TextGrid"), m_dir.filePath("cache/velmora/tempFile.TextGrid"));
        QVERIFY(pApp->OpenDocumentFile(m_dir.filePath("cache/velmora/tempFile")));
        QCOMPARE(pView->Tiers().TierCount(), size_t(0));
        bHadCache ? qputenv("XDG_CACHE_HOME", oldCache) : qunsetenv("XDG_CACHE_HOME");
        QVERIFY(messages.m_messages.empty());
        pView->close();
        pApp.reset();
    }

    // The browser's name for its copy: the view's title and header, the
    // analysis window's description, the exports' names and the bar.
    void theNameGivenIsTheOneShown()
    {
        CRecordingWaveOutFactory recorder;
        testsupport::CScopedValue<CWaveOutFactory*> useRecorder(g_waveOutFactory, &recorder);
        CMessageRecorder messages;
        const QString strCopy = m_dir.filePath("tempFile");
        QFile::copy(Glide3s(), strCopy);
        auto pApp = std::make_unique<CSonavelProApp>();
        pApp->InitInstance({strCopy, "--name", "../folder/take\x1B.wav", "--select", "0.5,1"});
        CMeasureView* pView = pApp->MeasureView();
        QVERIFY(pView);
        QVERIFY2(pView->windowTitle().startsWith("take.wav \u2014"), qPrintable(pView->windowTitle()));
        QCOMPARE(pView->Plot()->Scene().strName, QString("take.wav"));
        QVERIFY(pView->Plot()->accessibleDescription().startsWith("take.wav, "));
        QCOMPARE(pView->SuggestedFileName(".png"), QString("take.png"));
        QCOMPARE(pApp->MainFrame()->windowTitle(), QString("Sonavel - take.wav"));
        pApp->OnAnalysis();
        QVERIFY(g_pAnalysisDlg);
        const QString strDescription = g_pAnalysisDlg->findChild<CAnalysisPicture*>()->accessibleDescription();
        QVERIFY2(strDescription.startsWith("take.wav: "), qPrintable(strDescription));
        // A sound opened later goes by its own name.
        pApp->OpenDocumentFile(Glide3s());
        QVERIFY(pView->windowTitle().startsWith("glide.wav"));
        QCOMPARE(pApp->MainFrame()->windowTitle(), QString("Sonavel - glide.wav"));
        QVERIFY(messages.m_messages.empty());
        pApp.reset();
    }

    // A file that ends before its header says (a download cut short, a copy
    // that stopped) opens with what it holds; the bar's title and the view's
    // header say how much came, as the browser's copy or as a file.
    void aFileCutShortOpensWithWhatItHoldsAndSaysSo()
    {
        CRecordingWaveOutFactory recorder;
        testsupport::CScopedValue<CWaveOutFactory*> useRecorder(g_waveOutFactory, &recorder);
        CMessageRecorder messages;
        const QByteArray whole = MakeWav(Glide(kRate * 2, kRate), kRate);
        const QString strWhole = m_dir.filePath("whole.wav");
        const QString strCut = m_dir.filePath("cut.wav");
        WriteTestFile(strWhole, whole);
        WriteTestFile(strCut, whole.left(44 + kRate / 2 * 2));
        const QByteArray cacheBefore = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.filePath("cache")));
        QDir().mkpath(m_dir.filePath("cache/velmora"));
        const QString strCopy = m_dir.filePath("cache/velmora/tempFile");
        WriteTestFile(strCopy, whole.left(44 + kRate * 2));

        auto pApp = std::make_unique<CSonavelProApp>();
        pApp->InitInstance({strCopy, "--name", "take.wav", "--select", "0,0.5"});
        CMeasureView* pView = pApp->MeasureView();
        QVERIFY(pView);
        const QString strDownload = "the download ended at 1.0 s of the 2.0 s the file declares";
        QCOMPARE(pApp->MainFrame()->windowTitle(), QString::fromUtf8("Sonavel - take.wav \xE2\x80\x94 ") + strDownload);
        QCOMPARE(pView->Plot()->Scene().strNote, strDownload);
        QCOMPARE(pApp->m_store.sampleCount, kRate);
        QVERIFY(QTest::qWaitForWindowExposed(pView));
        QVERIFY(testsupport::WaitFor([&] { return PictureIsCurrent(pView); }));
        Shot("measure-download-cut-short.png");

        pApp->OpenDocumentFile(strCut);
        const QString strFile = "the file ends at 0.5 s of the 2.0 s its header declares";
        QCOMPARE(pApp->MainFrame()->windowTitle(),
                 QString("Sonavel - %1 \xE2\x80\x94 %2").arg(QFileInfo(strCut).fileName(), strFile));
        QCOMPARE(pView->Plot()->Scene().strNote, strFile);
        pApp->OpenDocumentFile(strWhole);
        QCOMPARE(pApp->MainFrame()->windowTitle(), "Sonavel - " + QFileInfo(strWhole).fileName());
        QVERIFY(pView->Plot()->Scene().strNote.isEmpty());
        QVERIFY(messages.m_messages.empty());
        pApp.reset();
        if (cacheBefore.isNull())
            qunsetenv("XDG_CACHE_HOME");
        else
            qputenv("XDG_CACHE_HOME", cacheBefore);
    }

    // --select past the sound's end: the view shows and plays the whole sound,
    // and its status line says why.
    void aSpanTheSoundCannotHoldIsSaidAndTheWholeSoundPlays()
    {
        CRecordingWaveOutFactory recorder;
        recorder.m_bAutoComplete = false;
        testsupport::CScopedValue<CWaveOutFactory*> useRecorder(g_waveOutFactory, &recorder);
        auto pApp = std::make_unique<CSonavelProApp>();
        pApp->InitInstance({Glide3s(), "--select", "5,6"});
        CMeasureView* pView = pApp->MeasureView();
        QVERIFY(pView && pView->IsPlaying());
        QVERIFY2(pView->Note().startsWith("--select 5,6: the start lies at or past the sound's end"),
                 qPrintable(pView->Note()));
        const QList<QLabel*> labels = pView->statusBar()->findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.cbegin(), labels.cend(),
                            [&](const QLabel* p) { return p->isVisible() && p->text() == pView->Note(); }));
        QVERIFY(!pView->Model().HasSelection());
        QCOMPARE(pView->Model().Span(), pView->Model().Duration());
        QCOMPARE(recorder.m_openings.back().written.at(0), SampleBytes(Glide(kRate * 3, kRate)));
        pApp.reset();
    }

    // The bar's Play and the view's Space share the player's one stream; Stop
    // (Ctrl+Period) in either ends it, and closing the view ends its playback.
    void theBarAndTheViewPlayOneSoundAtATime()
    {
        QSettings(kszRegistryKey, kszProfileApp).clear();
        CRecordingWaveOutFactory recorder;
        recorder.m_bAutoComplete = false;
        testsupport::CScopedValue<CWaveOutFactory*> useRecorder(g_waveOutFactory, &recorder);
        CMessageRecorder messages;
        auto pApp = std::make_unique<CSonavelProApp>();
        pApp->InitInstance({Glide3s()});
        CMainFrame* pFrame = pApp->MainFrame();
        pApp->OnMeasure();
        QPointer<CMeasureView> pView = pApp->MeasureView();
        QAction* pViewStop = pView->Action("stop");
        QCOMPARE(pViewStop->shortcut(), QKeySequence("Ctrl+."));
        int nCtrlPeriod = 0;
        for (QAction* p : pView->findChildren<QAction*>())
            nCtrlPeriod += p->shortcuts().count(QKeySequence("Ctrl+."));
        QCOMPARE(nCtrlPeriod, 1);
        QVERIFY(pViewStop->isEnabled()); // the bar's playback runs
        pView->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pView));
        QTest::keyClick(pView->Plot(), Qt::Key_Space);
        QVERIFY(pView->IsPlaying());
        QCOMPARE(OpenWaveOutCount(), 1);
        QVERIFY(recorder.m_openings.at(0).bClosed);

        // The bar's Play (its keys are the bar test's) takes the sound from the
        // view, whose cursor stops.
        testsupport::CommandAction(*pFrame, ID_PLAY)->trigger();
        QCOMPARE(recorder.m_openings.size(), size_t(3));
        QCOMPARE(OpenWaveOutCount(), 1);
        QVERIFY(!pView->IsPlaying());
        QCOMPARE(recorder.m_openings.back().written.at(0), SampleBytes(Glide(kRate * 3, kRate)));

        // The view's Stop ends the bar's sound too, and both Stops grey.
        QTest::keyClick(pView->Plot(), Qt::Key_Period, Qt::ControlModifier);
        QCOMPARE(OpenWaveOutCount(), 0);
        QVERIFY(!pViewStop->isEnabled());
        QVERIFY(!testsupport::CommandAction(*pFrame, ID_STOP)->isEnabled());

        // Closing the view while it plays ends its playback.
        QTest::keyClick(pView->Plot(), Qt::Key_Space);
        QCOMPARE(OpenWaveOutCount(), 1);
        pView->close();
        QVERIFY(testsupport::WaitFor([&] { return pView.isNull(); }));
        QCOMPARE(OpenWaveOutCount(), 0);
        QVERIFY(messages.m_messages.empty());
        pApp.reset();
    }

    // Last of its run: ending the event loop marks the thread as quitting for good.
    void theMenuItemOpensTheViewAndThePlayerStaysWhileItIsOpen()
    {
        QSettings(kszRegistryKey, kszProfileApp).clear();
        CRecordingWaveOutFactory recorder;
        testsupport::CScopedValue<CWaveOutFactory*> useRecorder(g_waveOutFactory, &recorder);
        CMessageRecorder messages;
        auto pApp = std::make_unique<CSonavelProApp>();
        const std::vector<int16_t> sound = Glide(kRate * 3, kRate);
        pApp->InitInstance({Glide3s()});
        CMainFrame* pFrame = pApp->MainFrame();
        QMenu* pAnalysis = pFrame->menuBar()->actions().at(1)->menu();
        QCOMPARE(pAnalysis->actions().size(), 2);
        QCOMPARE(pAnalysis->actions().at(1)->text(), QString::fromUtf8("Measure\xE2\x80\xA6"));
        QCOMPARE(pAnalysis->actions().at(1)->shortcut(), QKeySequence("Ctrl+M"));
        pFrame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pFrame));
        QTest::keyClick(pFrame, Qt::Key_M, Qt::ControlModifier);
        CMeasureView* pView = pApp->MeasureView();
        QVERIFY(pView && pView->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(pView));
        QVERIFY(testsupport::WaitFor([&] { return PictureIsCurrent(pView); }));
        Shot("measure-opened.png");

        const int nPixels = pView->LastRequest().nPixels;
        pView->resize(pView->width() - 160, pView->height() - 120);
        QVERIFY(testsupport::WaitFor([&] { return pView->LastRequest().nPixels < nPixels && PictureIsCurrent(pView); }));
        Shot("measure-resized.png");

        pView->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pView));
        CMeasurePlot* pPlot = pView->Plot();
        QTest::keyClick(pPlot, Qt::Key_Plus);
        QTest::keyClick(pPlot, Qt::Key_Plus);
        QVERIFY(std::abs(pView->Model().Span() - pView->Model().Duration() / 4) < 1e-9);
        QVERIFY(testsupport::WaitFor([&] { return PictureIsCurrent(pView); }));
        Shot("measure-zoomed-by-key.png");
        measuretest::Wheel(pPlot, measuretest::PointAt(*pPlot, pView->Model(), 1.3), 4 * 120);
        QVERIFY(std::abs(pView->Model().Span() - pView->Model().Duration() / 8) < 1e-9);
        QVERIFY(testsupport::WaitFor([&] { return PictureIsCurrent(pView); }));
        Shot("measure-zoomed-by-wheel.png");

        // A dragged selection plays, and only it, with a cursor while it plays.
        recorder.m_bAutoComplete = false;
        measuretest::Drag(pPlot, measuretest::PointAt(*pPlot, pView->Model(), 1.25),
                          measuretest::PointAt(*pPlot, pView->Model(), 1.4));
        QTest::keyClick(pPlot, Qt::Key_Space);
        QVERIFY(pView->IsPlaying());
        const auto [nFirst, nEnd] = pView->Model().PlaySpan();
        QCOMPARE(recorder.m_openings.back().written.at(0),
                 SampleBytes(std::vector<int16_t>(sound.begin() + nFirst, sound.begin() + nEnd)));
        QVERIFY(testsupport::WaitFor([&] { return pPlot->Scene().dPlayTime >= 0; }));
        Shot("measure-playing-selection.png");
        recorder.CompletePending();
        QVERIFY(testsupport::WaitFor([&] { return !pView->IsPlaying(); }));
        QVERIFY(messages.m_messages.empty());

        // Another application comes to the front: the player stays for the view,
        // also for one opened after the deactivation, before its request's turn...
        QCOMPARE(LoopAfterDeactivation(), 7);
        pFrame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pFrame));
        pView->close();
        QVERIFY(testsupport::WaitFor([&] { return pApp->MeasureView() == nullptr; }));
        QCOMPARE(LoopAfterDeactivation({}, [&] { pApp->OnMeasure(); }), 7);
        // ...and once the view is closed, the design's rule holds again, even
        // before the closed view is deleted.
        QVERIFY(pApp->MeasureView());
        QCOMPARE(LoopAfterDeactivation([&] { pApp->MeasureView()->close(); }), 0);
        pApp.reset();
        QCOMPARE(OpenWaveOutCount(), 0);
    }

    void selectOpensTheViewAndPlaysOnlyTheSpan()
    {
        QDir().mkpath(m_dir.filePath("config/Local AppWizard-Generated Applications"));
        QSettings profile(m_dir.filePath("config/Local AppWizard-Generated Applications/Sonavel.conf"),
                          QSettings::IniFormat);
        profile.setValue("Measure/Tracker", "amdf");
        profile.sync();
        double dHeard = 0;
        QString strError;
        PlaySelected("0.5,1.5", "measure-select-span.png", dHeard, strError);
        QVERIFY2(std::abs(dHeard - 1.0) <= 0.06, qPrintable(QString::number(dHeard)));
        QVERIFY2(strError.isEmpty(), qPrintable(strError));
        PlaySelected("2.5,", "measure-select-to-the-end.png", dHeard, strError);
        QVERIFY2(std::abs(dHeard - 0.5) <= 0.06, qPrintable(QString::number(dHeard)));
        // A span that is not one: the whole sound, and one line saying why.
        PlaySelected("2,1", "measure-select-refused.png", dHeard, strError);
        QVERIFY2(std::abs(dHeard - 3.0) <= 0.06, qPrintable(QString::number(dHeard)));
        QCOMPARE(strError.count('\n'), 1);
        QVERIFY(strError.startsWith("sonavel: --select"));
    }
};

QTEST_MAIN(TestMeasurePlayer)
#include "test_measure_player.moc"
