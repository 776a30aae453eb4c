// The whole way: a WAV or FLAC link clicked in the browser is downloaded, the real
// player is started on it and plays it into a PulseAudio null sink, and what
// the sink heard is the sound that was served. Runs under with-pulse.sh.
#include "tests/support/QTestHomeMain.h"
#include "tests/support/ScopedHook.h"
#include "browser/window/CMainFrame.h"
#include "tests/browser/window/FrameParts.h"
#include "tests/browser/window/PageInput.h"
#include "tests/browser/window/PlayerSink.h"
#include "browser/window/CVelmoraView.h"
#include "tests/browser/handoff/TestSoundServer.h"

#include "browser/startup/VelmoraMessages.h"
#include "browser/startup/VelmoraPaths.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <csignal>
#include <vector>

#include <sys/types.h>

namespace {

constexpr int kRate = 22050;

std::vector<double> Samples16(const QByteArray& raw, int nOffset)
{
    std::vector<double> samples;
    for (int i = nOffset; i + 1 < raw.size(); i += 2)
        samples.push_back(double(qint16(quint8(raw[i]) | (quint8(raw[i + 1]) << 8))));
    return samples;
}

int Onset(const std::vector<double>& x, double dThreshold)
{
    for (size_t i = 0; i < x.size(); ++i)
        if (std::fabs(x[i]) > dThreshold)
            return int(i);
    return -1;
}

// Normalised cross-correlation of the recording against the original, best
// over lags near the one the two onsets suggest. The recording can miss the
// first tens of milliseconds (the sink wakes up with the stream), so earlier
// lags are searched much further than later ones.
double BestCorrelation(const std::vector<double>& rec, const std::vector<double>& orig, int nLagGuess)
{
    double dBest = 0.0;
    for (int nLag = nLagGuess - kRate / 5; nLag <= nLagGuess + 400; ++nLag) {
        double dXy = 0, dXx = 0, dYy = 0;
        for (size_t i = 0; i < orig.size(); ++i) {
            const long j = long(i) + nLag;
            if (j < 0 || j >= long(rec.size()))
                continue;
            dXy += rec[size_t(j)] * orig[i];
            dXx += rec[size_t(j)] * rec[size_t(j)];
            dYy += orig[i] * orig[i];
        }
        if (dXx > 0 && dYy > 0)
            dBest = std::max(dBest, dXy / std::sqrt(dXx * dYy));
    }
    return dBest;
}

}  // namespace

class TestBrowserPlaysInSonavel : public QObject {
    Q_OBJECT
private slots:
    void linkIsHeardFromTheSink_data()
    {
        QTest::addColumn<QString>("strFile");
        QTest::newRow("wav") << "chirp.wav";
        QTest::newRow("flac") << "chirp.flac";
    }

    void linkIsHeardFromTheSink()
    {
        QFETCH(QString, strFile);
        const CPlayerLauncher launcher(QCoreApplication::applicationDirPath(), QString());
        if (const QString strWhy = PlayerUnheardReason(launcher); !strWhy.isEmpty())
            QSKIP(qPrintable(strWhy));

        QTemporaryDir web;
        const QString strWav = web.filePath("chirp.wav");
        // A rising tone: its correlation peaks only where the timing is right.
        QCOMPARE(QProcess::execute("sox", {"-n", "-r", QString::number(kRate), "-b", "16", "-c", "1", strWav,
                                           "synth", "1.5", "sine", "200-1200", "vol", "0.5"}),
                 0);
        if (strFile.endsWith(".flac"))
            QCOMPARE(QProcess::execute("flac", {"-s", "-o", web.filePath(strFile), strWav}), 0);
        WriteTestFile(web.filePath("index.htm"),
                      "<html><head><title>Sounds</title></head><body>"
                      "<a id='wav' href='" + strFile.toUtf8() + "'>a rising tone</a></body></html>");
        CTestSoundServer server(web.path());
        QVERIFY(server.Port() > 0);

        QStringList messages;
        const testsupport::CScopedHandler<velmora::VelmoraMessageBoxHandler> box(
            velmora::SetVelmoraMessageBoxHandler, [&messages](const QString& strText, int) {
                messages << strText;
                return velmora::IDYES;
            });

        CMainFrame frame;
        frame.show();
        qint64 nPlayerPid = 0;
        QString strStartedOn;
        frameparts::UpperView(frame)->SetPlayerStarter([&](const QStringList& arguments) {
            strStartedOn = arguments.first();
            return launcher.Start(arguments, &nPlayerPid);
        });
        QSignalSpy loaded(frameparts::UpperView(frame), &QWebEngineView::loadFinished);
        frameparts::UpperView(frame)->load(QUrl(server.Url("index.htm")));
        QVERIFY(loaded.wait(testsupport::kEventBoundMs));

        const QString strRaw = web.filePath("heard.raw");
        CSinkRecording recording;
        QVERIFY(recording.Start(strRaw, kRate));

        QVERIFY(ClickElementById(frameparts::UpperView(frame), "wav"));
        QTRY_VERIFY_WITH_TIMEOUT(nPlayerPid > 0, testsupport::kEventBoundMs);
        QCOMPARE(strStartedOn, velmora::TempFilePath());
        QVERIFY(messages.isEmpty());
        QVERIFY(recording.WaitForPlayedSound());
        recording.Stop();
        ::kill(pid_t(nPlayerPid), SIGTERM);

        const std::vector<double> orig = Samples16(ReadTestFile(strWav), 44);
        const std::vector<double> heard = Samples16(ReadTestFile(strRaw), 0);
        const int nHeardOnset = Onset(heard, 500);
        QVERIFY2(nHeardOnset >= 0, "nothing was heard from the sink");
        const double dCorrelation = BestCorrelation(heard, orig, nHeardOnset - Onset(orig, 500));
        qInfo("normalised cross-correlation %.3f (heard %zu samples, onset %d; sent %zu)", dCorrelation,
              heard.size(), nHeardOnset, orig.size());
        if (!qEnvironmentVariableIsEmpty("VELMORA_KEEP_RECORDING"))
            QFile::copy(strRaw, qEnvironmentVariable("VELMORA_KEEP_RECORDING"));
        QVERIFY(dCorrelation > 0.9);
    }

    // A server whose length covers half of a WAV: the download is complete as
    // far as the server goes, and the player opens that half and says so.
    void aLinkCutShortIsOpenedAndTheShortfallSaid()
    {
        const CPlayerLauncher launcher(QCoreApplication::applicationDirPath(), QString());
        if (const QString strWhy = PlayerUnheardReason(launcher); !strWhy.isEmpty())
            QSKIP(qPrintable(strWhy));
        QTemporaryDir web;
        QCOMPARE(QProcess::execute("sox", {"-n", "-r", QString::number(kRate), "-b", "16", "-c", "1",
                                           web.filePath("take.wav"), "synth", "1.5", "sine", "300"}),
                 0);
        WriteTestFile(web.filePath("index.htm"), "<html><head><title>Sounds</title></head><body>"
                                                 "<a id='wav' href='/halved/take.wav'>a cut take</a></body></html>");
        CTestSoundServer server(web.path());
        QVERIFY(server.Port() > 0);

        QStringList messages;
        const testsupport::CScopedHandler<velmora::VelmoraMessageBoxHandler> box(
            velmora::SetVelmoraMessageBoxHandler, [&messages](const QString& strText, int) {
                messages << strText;
                return velmora::IDOK;
            });
        CMainFrame frame;
        frame.show();
        QProcess player;
        frameparts::UpperView(frame)->SetPlayerStarter([&](const QStringList& arguments) {
            player.start(launcher.Locate(), arguments);
            return player.waitForStarted(testsupport::kEventBoundMs);
        });
        QSignalSpy loaded(frameparts::UpperView(frame), &QWebEngineView::loadFinished);
        frameparts::UpperView(frame)->load(QUrl(server.Url("index.htm")));
        QVERIFY(loaded.wait(testsupport::kEventBoundMs));
        QVERIFY(ClickElementById(frameparts::UpperView(frame), "wav"));
        QVERIFY(testsupport::WaitFor([&] { return player.state() != QProcess::NotRunning || !messages.isEmpty(); }));
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
        QByteArray error;
        const QByteArray line = "sonavel: the download ended at 0.7 s of the 1.5 s the file declares\n";
        QVERIFY(testsupport::WaitFor([&] {
            error += player.readAllStandardError();
            return error.contains(line) || player.state() == QProcess::NotRunning;
        }));
        QVERIFY2(error.contains(line), error.constData());
        player.terminate();
        QVERIFY(player.waitForFinished(testsupport::kEventBoundMs));
    }
};

QTEST_MAIN_WITH_HOME(TestBrowserPlaysInSonavel, KeepRuntime)

#include "test_browser_sonavel.moc"
