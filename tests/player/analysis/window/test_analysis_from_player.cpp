// Spectrogram-Pitch in the player: the command opens the analysis window on the
// sound the player holds, refreshes it for the next sound, opens a fresh one
// after it was closed, and goes away with the player.
#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "player/analysis/window/CAnalysisDlg.h"
#include "player/shell/CMainFrame.h"
#include "tests/support/CRecordingWaveOut.h"
#include "player/shell/CSonavelProApp.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/voicesynth/WavFile.h"
#include "player/shell/resource.h"
#include "tests/support/CMessageRecorder.h"
#include "tests/support/CommandAction.h"
#include "tests/support/WaitFor.h"

using namespace sonavel::shell;

class TestAnalysisFromPlayer : public QObject {
    Q_OBJECT
private slots:
    void commandOpensRefreshesAndReopensTheWindow();
};

void TestAnalysisFromPlayer::commandOpensRefreshesAndReopensTheWindow()
{
    QTemporaryDir dir;
    VoiceSynthParams p;
    p.dSeconds = 1.5;
    p.dJitter = 0.01;
    const QString first = dir.filePath("first.wav");
    QVERIFY(WriteWavFile(first.toStdString(), SynthesizeVoice(p), 22050));
    p.nSampleRate = 11025;
    p.dSeconds = 0.5;
    const QString second = dir.filePath("second.wav");
    QVERIFY(WriteWavFile(second.toStdString(), SynthesizeVoice(p), 11025));

    testsupport::CMessageRecorder messages;
    CRecordingWaveOutFactory recorder;
    testsupport::CScopedValue<CWaveOutFactory*> useRecorder(g_waveOutFactory, &recorder);
    {
        CSonavelProApp app;
        QVERIFY(app.InitInstance({first}));
        QCOMPARE(app.m_bLoaded, 1);
        QAction* pCommand = testsupport::CommandAction(*app.MainFrame(), ID_ANALYSIS);
        QVERIFY(pCommand && pCommand->isEnabled());

        QVERIFY(g_pAnalysisDlg == nullptr);
        pCommand->trigger();
        QPointer<CAnalysisDlg> pDlg = g_pAnalysisDlg;
        QVERIFY(pDlg && pDlg->isVisible());
        QCOMPARE(pDlg->Model().PitchCount(), 33075 / 100 + 1);
        QVERIFY(pDlg->Model().IsPitchReady() && pDlg->Model().IsSpectrogramReady());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // Centred on the screen, not over the small bar.
        const QPoint centre = pDlg->screen()->availableGeometry().center();
        QVERIFY((pDlg->frameGeometry().center() - centre).manhattanLength() <= 4);

        // The next sound refreshes the same window.
        QVERIFY(app.OpenDocumentFile(second));
        pCommand->trigger();
        QCOMPARE(g_pAnalysisDlg, pDlg.data());
        QCOMPARE(pDlg->Model().PitchCount(), 5513 / 100 + 1);

        // Closed, it is gone; the command opens a new one.
        pDlg->close();
        QVERIFY(g_pAnalysisDlg == nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(pDlg.isNull(), testsupport::kEventBoundMs);
        pCommand->trigger();
        pDlg = g_pAnalysisDlg;
        QVERIFY(pDlg && pDlg->isVisible());
        QVERIFY(messages.m_messages.empty());
    }
    // The window belonged to the player and went with it.
    QVERIFY(g_pAnalysisDlg == nullptr);
}

QTEST_MAIN(TestAnalysisFromPlayer)
#include "test_analysis_from_player.moc"
