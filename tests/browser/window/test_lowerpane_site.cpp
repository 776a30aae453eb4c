// The bundled site as a new user meets it: started from the site's start-up
// folder with an empty profile, the upper pane opens the site's index page, the
// lower pane the same page when dragged open, and each WAV or AIFF recording
// linked there is heard from the sound server once clicked.
// Runs under with-pulse.sh.
#include "tests/support/QTestHomeMain.h"
#include "tests/support/ScopedHook.h"
#include "tests/support/AwaitEvent.h"
#include "browser/window/CFrameLower.h"
#include "browser/window/CMainFrame.h"
#include "tests/browser/window/FrameParts.h"
#include "tests/browser/window/PageInput.h"
#include "tests/browser/window/PlayerSink.h"
#include "browser/startup/CVelmoraApp.h"
#include "browser/window/CVelmoraView.h"
#include "browser/window/CVelmoraViewLower.h"
#include "browser/startup/VelmoraMessages.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

namespace {

constexpr int kRate = 16000;

// Milliseconds of the recording whose 10 ms blocks carry sound.
int HeardMilliseconds(const QByteArray& raw)
{
    const int nBlock = kRate / 100;
    int nLoud = 0;
    for (int nStart = 0; (nStart + nBlock) * 2 <= raw.size(); nStart += nBlock) {
        double dSum = 0;
        for (int i = nStart; i < nStart + nBlock; ++i) {
            const double d = qint16(quint8(raw[2 * i]) | (quint8(raw[2 * i + 1]) << 8));
            dSum += d * d;
        }
        if (std::sqrt(dSum / nBlock) > 300.0)
            ++nLoud;
    }
    return nLoud * 10;
}

} // namespace

class TestBundledSite : public QObject {
    Q_OBJECT
private slots:
    void siteOpensAndEveryRecordingPlays()
    {
        const QString strSite = QStringLiteral(VELMORA_SITE_DIR);
        const CPlayerLauncher launcher(QCoreApplication::applicationDirPath(), QString());
        if (const QString strWhy = PlayerUnheardReason(launcher); !strWhy.isEmpty())
            QSKIP(qPrintable(strWhy));

        QStringList messages;
        const testsupport::CScopedHandler<velmora::VelmoraMessageBoxHandler> box(
            velmora::SetVelmoraMessageBoxHandler, [&messages](const QString& strText, int) {
                messages << strText;
                return velmora::IDYES;
            });

        QVERIFY(QDir::setCurrent(strSite));
        CVelmoraApp app;
        app.SetMainFrameFactory([] { return new CMainFrame; });
        QVERIFY(app.InitInstance());
        auto* pFrame = qobject_cast<CMainFrame*>(app.MainWindow());
        QVERIFY(pFrame);
        const QString strIndex = strSite + "/Korvath/index.htm";
        QCOMPARE(QFileInfo(app.m_strHomeAddress).canonicalFilePath(), QFileInfo(strIndex).canonicalFilePath());

        CVelmoraView* pView = frameparts::UpperView(*pFrame);
        QTRY_VERIFY_WITH_TIMEOUT(pView->url().path().endsWith("/Korvath/index.htm"), testsupport::kEventBoundMs);
        QTRY_VERIFY_WITH_TIMEOUT(pView->title() == QString::fromUtf8("Home \u2013 Korvath"), testsupport::kEventBoundMs);

        // The lower pane, dragged open, shows the same local home page.
        auto* pLower = frameparts::LowerPane(*pFrame);
        QVERIFY(pLower);
        frameparts::Splitter(*pFrame)->setSizes({pFrame->height() / 2, pFrame->height() / 2});
        QTRY_VERIFY_WITH_TIMEOUT(pLower->GetActiveView()->url().path().endsWith("/Korvath/index.htm"), testsupport::kEventBoundMs);

        // The site's own style shows (its header's colour) once loaded.
        QTRY_COMPARE_WITH_TIMEOUT(
            PageScriptResult(pView, "getComputedStyle(document.querySelector('header')).backgroundColor").toString(),
            QString("rgb(16, 48, 90)"), testsupport::kEventBoundMs);
        pFrame->grab().save(QDir::tempPath() + "/velmora-site.png");
        // Every recording the index page links, as the page itself lists them.
        const QStringList links =
            PageScriptResult(pView, "Array.from(document.querySelectorAll('a.sound')).map(a => a.getAttribute('href'))")
                .toStringList();
        QVERIFY(links.size() >= 9);

        int nPlayed = 0;
        for (const QString& strLink : links) {
            const QString strLower = strLink.toLower();
            if (!strLower.contains(".wav") && !strLower.contains(".aif"))
                continue;   // AU and fixed-header files are opened from the player itself
            qint64 nPlayerPid = 0;
            pView->SetPlayerStarter([&](const QStringList& arguments) { return launcher.Start(arguments, &nPlayerPid); });

            QTemporaryDir scratch;
            const QString strRaw = scratch.filePath("heard.raw");
            CSinkRecording recording;
            QVERIFY(recording.Start(strRaw, kRate));

            QVERIFY(ClickElement(pView, QStringLiteral("Array.from(document.querySelectorAll('a.sound'))"
                                                        ".find(a => a.getAttribute('href') == '%1')").arg(strLink)));
            QTRY_VERIFY2_WITH_TIMEOUT(nPlayerPid > 0, qPrintable("the player did not start for " + strLink),
                                      testsupport::kEventBoundMs);
            QVERIFY2(recording.WaitForPlayedSound(), qPrintable(strLink));
            recording.Stop();
            ::kill(pid_t(nPlayerPid), SIGTERM);
            // Its stream must be gone before the next recording listens for one.
            QVERIFY(testsupport::AwaitProcessEnd(pid_t(nPlayerPid)));

            QFile heard(strRaw);
            QVERIFY(heard.open(QIODevice::ReadOnly));
            const int nMs = HeardMilliseconds(heard.readAll());
            // Each recording is 1.2 to 1.5 s of voice with short fades.
            QVERIFY2(nMs >= 900 && nMs <= 1700, qPrintable(QStringLiteral("%1: %2 ms heard").arg(strLink).arg(nMs)));
            ++nPlayed;
            // The page stays where it was: the link went to the player, not the engine.
            QVERIFY(pView->url().path().endsWith("/Korvath/index.htm"));
        }
        QCOMPARE(nPlayed, 9);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(" | ")));
        delete pFrame;
    }
};

QTEST_MAIN_WITH_HOME(TestBundledSite, KeepRuntime)

#include "test_lowerpane_site.moc"
