// The whole browser with the real engine: sound links clicked in a page served
// from 127.0.0.1 reach the (recorded) player, other links reach the engine.
#include "tests/support/QTestHomeMain.h"
#include "tests/support/SaveShot.h"
#include "tests/support/WaitFor.h"
#include "tests/support/WhenModal.h"
#include "tests/browser/window/PageInput.h"
#include "browser/window/CMainFrame.h"
#include "tests/browser/window/FrameParts.h"
#include "browser/window/CVelmoraView.h"
#include "tests/browser/handoff/TestSoundServer.h"
#include "browser/startup/VelmoraResource.h"

#include "browser/startup/VelmoraMessages.h"
#include "browser/startup/VelmoraPaths.h"

#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineProfile>

#include <memory>

using namespace velmora;
using testsupport::kEventBoundMs;

namespace {

const char* const kIndexPage = R"(<html><head><title>Sounds</title></head><body>
<p><a id="wav" href="clip.wav">a vowel</a></p>
<p><a id="moment" href="clip.wav#t=1.5,2.5">a moment of it</a></p>
<p><a id="aiff" href="voice.aiff">a voice</a></p>
<p><a id="page" href="page2.htm">another page</a></p>
<p><a id="au" href="clip.au">an AU sound</a></p>
<p><a id="blank" href="blank.wav" target="_blank">in a new window</a></p>
<p><a id="open" href="#" onclick="window.open('opened.wav'); return false;">by script</a></p>
<p><a id="slow" href="slow/long.wav">a long download</a></p>
<p><a id="saveas" href="clip.au" download="saved.au">save it</a></p>
</body></html>)";

// The engine reports what it refuses a page as the page's console messages,
// logged in the "js" category; they are counted before going on to the test log.
QtMessageHandler g_previousHandler = nullptr;
int* g_pConsoleRefusals = nullptr;

void CountRefusals(QtMsgType type, const QMessageLogContext& context, const QString& strMessage)
{
    if (g_pConsoleRefusals && qstrcmp(context.category, "js") == 0 && strMessage.startsWith("Not allowed"))
        ++*g_pConsoleRefusals;
    if (g_previousHandler)
        g_previousHandler(type, context, strMessage);
}

}  // namespace

class TestBrowserEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_web.isValid());
        Write("index.htm", kIndexPage);
        Write("page2.htm", "<html><head><title>Page Two</title></head><body>two</body></html>");
        m_wav = ServedWav(44100, 1);
        Write("clip.wav", m_wav);
        Write("blank.wav", ServedWav(3000, 2));
        Write("opened.wav", ServedWav(5000, 3));
        Write("voice.aiff", PatternBytes(8000, 4));
        Write("clip.au", PatternBytes(4000, 5));
        Write("long.wav", ServedWav(512 * 60, 6));  // three seconds when sent slowly
        QVERIFY(m_local.isValid());
        WriteTestFile(m_local.filePath("secret.wav"), ServedWav(2000, 7));
        WriteTestFile(m_local.filePath("notes.txt"), "private notes");
        m_pServer = std::make_unique<CTestSoundServer>(m_web.path());
        QVERIFY2(m_pServer->Port() > 0, "the test web server did not start");

        SetVelmoraMessageBoxHandler([this](const QString& strText, int nButtons) {
            m_messages << strText;
            Q_UNUSED(nButtons);
            return m_nAnswer;
        });
        g_pConsoleRefusals = &m_nConsoleRefusals;
        g_previousHandler = qInstallMessageHandler(CountRefusals);
    }

    void cleanupTestCase()
    {
        qInstallMessageHandler(g_previousHandler);
        g_pConsoleRefusals = nullptr;
    }

    void init()
    {
        m_pFrame = std::make_unique<CMainFrame>();
        m_pFrame->resize(900, 600);
        m_pFrame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
        m_starts.clear();
        m_startArguments.clear();
        m_startedBytes.clear();
        m_messages.clear();
        m_bPlayerStarts = true;
        View()->SetPlayerStarter([this](const QStringList& arguments) {
            m_starts << arguments.first();
            m_startArguments << arguments;
            m_startedBytes << ReadTestFile(arguments.first());
            return m_bPlayerStarts;
        });
        LoadIndex();
    }

    void cleanup()
    {
        m_pFrame.reset();
        // A dialog answer a failed test left armed must not answer the next test's dialog.
        qDeleteAll(findChildren<QTimer*>(Qt::FindDirectChildrenOnly));
    }

    void soundLinkGoesToThePlayerAndThePageStays()
    {
        Click("wav");
        QTRY_COMPARE_WITH_TIMEOUT(m_starts.size(), 1, kEventBoundMs);
        QCOMPARE(m_starts.first(), TempFilePath());
        QCOMPARE(m_startedBytes.first(), m_wav);
        QCOMPARE(ReadTestFile(TempFilePath()), m_wav);
        QCOMPARE(frameparts::AddressBox(*m_pFrame)->currentText(), m_pServer->Url("clip.wav"));
        QCOMPARE(frameparts::AddressBox(*m_pFrame)->itemText(0), m_pServer->Url("clip.wav"));
        QCOMPARE(View()->url(), QUrl(m_pServer->Url("index.htm")));
        QVERIFY(m_messages.isEmpty());

        // Links meant for new windows take the same way.
        Click("blank");
        QTRY_COMPARE_WITH_TIMEOUT(m_starts.size(), 2, kEventBoundMs);
        QCOMPARE(m_startedBytes.last(), ReadTestFile(m_web.filePath("blank.wav")));
        Click("open");
        QTRY_COMPARE_WITH_TIMEOUT(m_starts.size(), 3, kEventBoundMs);
        QCOMPARE(m_startedBytes.last(), ReadTestFile(m_web.filePath("opened.wav")));
        QCOMPARE(View()->url(), QUrl(m_pServer->Url("index.htm")));

        // Once the next page has loaded, the history shows that none of the
        // sound links ever became a page.
        Click("page");
        QTRY_COMPARE_WITH_TIMEOUT(View()->title(), QString("Page Two"), kEventBoundMs);
        QStringList visited;
        for (const QWebEngineHistoryItem& item : View()->history()->items())
            visited << item.url().toString();
        QCOMPARE(visited, (QStringList{m_pServer->Url("index.htm"), m_pServer->Url("page2.htm")}));
        QCOMPARE(m_starts.size(), 3);
    }

    void paneKeysNeverOpenTheLastSoundAgain()
    {
        // After a sound link the address box shows the sound's address, the
        // list's first item; the keyboard going in and out of the box must not
        // open it again.
        m_pFrame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_pFrame.get()));
        Click("wav");
        QTRY_COMPARE_WITH_TIMEOUT(m_starts.size(), 1, kEventBoundMs);
        QComboBox* pBox = frameparts::AddressBox(*m_pFrame);
        QCOMPARE(pBox->currentText(), m_pServer->Url("clip.wav"));
        int nIntoBox = 0;
        for (int i = 0; i < 50; ++i) {
            QWidget* pFocus = QApplication::focusWidget();
            QTest::keyClick(pFocus ? pFocus : m_pFrame.get(), Qt::Key_F6, i < 25 ? Qt::NoModifier : Qt::ShiftModifier);
            nIntoBox += pBox->hasFocus() ? 1 : 0;
            // A round trip through the engine between keys, as a user's pace gives.
            QVERIFY(PageScriptResult(View(), "1").isValid());
        }
        QCOMPARE(nIntoBox, 25);
        // Another sound typed over the selected address: its start comes after
        // anything the keys set going.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
        QVERIFY(pBox->hasFocus());
        QTest::keyClicks(pBox->lineEdit(), m_pServer->Url("blank.wav"));
        QTest::keyClick(pBox->lineEdit(), Qt::Key_Return);
        const QByteArray blank = ReadTestFile(m_web.filePath("blank.wav"));
        QTRY_VERIFY_WITH_TIMEOUT(m_startedBytes.contains(blank), kEventBoundMs);
        QCOMPARE(m_starts.size(), 2);
    }

    void momentLinkStartsThePlayerOnItsSpan()
    {
        Click("moment");
        QTRY_COMPARE_WITH_TIMEOUT(m_starts.size(), 1, kEventBoundMs);
        QCOMPARE(m_startArguments.first(), (QStringList{TempFilePath(), "--name", "clip.wav", "--select", "1.5,2.5"}));
        QCOMPARE(m_startedBytes.first(), m_wav);
        Click("wav");
        QTRY_COMPARE_WITH_TIMEOUT(m_starts.size(), 2, kEventBoundMs);
        QCOMPARE(m_startArguments.last(), (QStringList{TempFilePath(), "--name", "clip.wav"}));
    }

    void otherLinksReachTheEngine()
    {
        Click("page");
        QTRY_COMPARE_WITH_TIMEOUT(View()->title(), QString("Page Two"), kEventBoundMs);
        QCOMPARE(frameparts::AddressBox(*m_pFrame)->currentText(), m_pServer->Url("page2.htm"));

        LoadIndex();
        // ".au" is no sound-link marker: the engine saves it where the user agrees.
        testsupport::WhenModal<QFileDialog>(this, [](QFileDialog* pDialog) { static_cast<QDialog*>(pDialog)->accept(); });
        Click("au");
        QTRY_COMPARE_WITH_TIMEOUT(frameparts::AddressBox(*m_pFrame)->currentText(), m_pServer->Url("clip.au"), kEventBoundMs);
        const QString strSaved =
            QDir(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)).filePath("clip.au");
        QTRY_COMPARE_WITH_TIMEOUT(ReadTestFile(strSaved), ReadTestFile(m_web.filePath("clip.au")), kEventBoundMs);
        QVERIFY(m_starts.isEmpty());

        // A local sound file (as File Open gives it) is copied, not downloaded.
        const QString strLocal = m_web.filePath("voice.aiff");
        View()->Navigate(strLocal);
        QTRY_COMPARE_WITH_TIMEOUT(m_starts.size(), 1, kEventBoundMs);
        QCOMPARE(m_startedBytes.last(), ReadTestFile(strLocal));
        QCOMPARE(View()->title(), QString("Sounds"));
    }

    void answerNoHandsLaterSoundLinksToTheEngine()
    {
        m_bPlayerStarts = false;
        m_nAnswer = IDNO;
        QSignalSpy loaded(View(), &QWebEngineView::loadFinished);
        Click("wav");
        QTRY_COMPARE_WITH_TIMEOUT(m_messages.size(), 1, kEventBoundMs);
        QVERIFY(m_messages.first().contains("Do you wish to continue using Sonavel"));
        // This link, and the next, are the engine's: it opens the WAV itself,
        // and has done so before the next page is asked for.
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), kEventBoundMs);
        QCOMPARE(View()->url(), QUrl(m_pServer->Url("clip.wav")));

        LoadIndex();
        // The engine downloads an AIFF: it asks first, and is told no.
        bool bAsked = false;
        testsupport::WhenModal<QFileDialog>(this, [&bAsked](QFileDialog* pDialog) {
            bAsked = true;
            pDialog->reject();
        });
        Click("aiff");
        QTRY_VERIFY_WITH_TIMEOUT(bAsked, kEventBoundMs);
        QCOMPARE(frameparts::AddressBox(*m_pFrame)->currentText(), m_pServer->Url("voice.aiff"));
        QCOMPARE(m_starts.size(), 1);
        QCOMPARE(m_messages.size(), 1);
    }

    void downloadsAskBeforeWritingAnything()
    {
        const QString strDownloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        const QStringList before = Entries(strDownloads);
        QStringList whileAsked;
        QString strSuggested;
        bool bAsked = false;
        QPointer<QWebEngineDownloadRequest> pRequest;
        // Connected after the frame's handler, so this runs once the question is answered.
        const QMetaObject::Connection requested = connect(
            QWebEngineProfile::defaultProfile(), &QWebEngineProfile::downloadRequested, this,
            [&](QWebEngineDownloadRequest* pDownload) { pRequest = pDownload; });
        testsupport::WhenModal<QFileDialog>(this, [&](QFileDialog* pDialog) {
            // The engine stands still while the question is open (a fetch the page
            // starts now ends only after the answer): whatever it wrote ahead of
            // the answer is in the folder already.
            whileAsked = Entries(strDownloads);
            strSuggested = pDialog->selectedFiles().value(0);
            testsupport::SaveShot(pDialog->grab(), "save-download.png");
            pDialog->reject();
            bAsked = true;
        });
        Click("saveas");
        QTRY_VERIFY_WITH_TIMEOUT(bAsked, kEventBoundMs);
        QCOMPARE(strSuggested, QDir(strDownloads).filePath("saved.au"));
        QTRY_VERIFY_WITH_TIMEOUT(pRequest && pRequest->isFinished(), kEventBoundMs);
        disconnect(requested);
        QCOMPARE(pRequest->state(), QWebEngineDownloadRequest::DownloadCancelled);
        // The engine has moved on past the cancelled request.
        FetchThroughPage("clip.au");
        QCOMPARE(whileAsked, before);
        QCOMPARE(Entries(strDownloads), before);  // Cancel wrote nothing

        LoadIndex();
        QTemporaryDir chosen;
        testsupport::WhenModal<QFileDialog>(this, [&](QFileDialog* pDialog) {
            // As a user would: the path typed into the name field, then Save.
            pDialog->findChild<QLineEdit*>("fileNameEdit")->setText(chosen.filePath("mine.au"));
            static_cast<QDialog*>(pDialog)->accept();
        });
        Click("saveas");
        QTRY_VERIFY2_WITH_TIMEOUT(ReadTestFile(chosen.filePath("mine.au")) == ReadTestFile(m_web.filePath("clip.au")),
                                  qPrintable(m_pFrame->statusBar()->currentMessage() + " | " + Entries(chosen.path()).join(",")),
                                  kEventBoundMs);
        QCOMPARE(Entries(strDownloads), before);
        QVERIFY(m_starts.isEmpty());
    }

    void hostilePagesNeverReachLocalFiles()
    {
        // Every way a page served over http can ask for a local sound file.
        const QString strSecret = QUrl::fromLocalFile(m_local.filePath("secret.wav")).toString();
        const QString strNotes = QUrl::fromLocalFile(m_local.filePath("notes.txt")).toString() + "#x.wav";
        const QString strRedirect = m_pServer->Url("redirect/" + QString::fromLatin1(QUrl::toPercentEncoding(strSecret)));
        const QString strLink = "var a = document.createElement('a'); a.href = '%1'; %2 document.body.appendChild(a); a.click();";
        const QStringList attempts{
            strLink.arg(strSecret, ""),
            strLink.arg(strNotes, ""),
            strLink.arg(strSecret, "a.target = '_blank';"),
            QStringLiteral("location.href = '%1';").arg(strSecret),
            QStringLiteral("document.title = window.open('%1') ? 'popup opened' : 'popup blocked';").arg(strSecret),
            QStringLiteral("var f = document.createElement('iframe'); f.src = '%1'; document.body.appendChild(f);").arg(strSecret),
            QStringLiteral("location.href = '%1';").arg(strRedirect),
            // A top-level data: page is the engine's to refuse, also through a pop-up.
            QStringLiteral("document.title = window.open('data:text/html,<title>From data</title>voice.wav')"
                           " ? 'popup opened' : 'popup blocked';"),
        };
        for (const QString& strScript : attempts) {
            // The page's own script acts (no user gesture); the engine either
            // refuses with a console message, ends a load (an error page), or
            // blocks a pop-up there and then (window.open answers null).
            QSignalSpy loaded(View(), &QWebEngineView::loadFinished);
            const int nRefusedBefore = m_nConsoleRefusals;
            View()->page()->runJavaScript(strScript);
            QTRY_VERIFY2_WITH_TIMEOUT(m_nConsoleRefusals > nRefusedBefore || !loaded.isEmpty() || !m_starts.isEmpty() ||
                                          View()->title() == "popup blocked",
                                      qPrintable(strScript), kEventBoundMs);
            QVERIFY2(m_starts.isEmpty(), qPrintable(strScript));
            // Refused: the page stays, or shows the engine's error for the web address.
            QVERIFY2(View()->url().scheme() == "http", qPrintable(strScript + " went to " + View()->url().toString()));
            LoadIndex();
        }
        QVERIFY(ReadTestFile(TempFilePath()) != ReadTestFile(m_local.filePath("secret.wav")));
        QVERIFY(m_messages.isEmpty());

        // A web sound link afterwards still plays.
        Click("wav");
        QTRY_COMPARE_WITH_TIMEOUT(m_starts.size(), 1, kEventBoundMs);
        QCOMPARE(m_startedBytes.first(), m_wav);
    }

    void longDownloadCanBeCancelledAndHoldsThePage()
    {
        QFile::remove(TempFilePath());
        bool bSawDialog = false;
        bool bTriedToLeave = false;
        QUrl urlDuringDownload;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            for (QWidget* pTop : QApplication::topLevelWidgets()) {
                auto* pDialog = qobject_cast<QProgressDialog*>(pTop);
                if (!pDialog || !pDialog->isVisible())
                    continue;
                bSawDialog = true;
                if (!bTriedToLeave) {
                    // The page tries to move while the hook waits: refused.
                    bTriedToLeave = true;
                    View()->page()->runJavaScript(QStringLiteral("location.href = 'page2.htm';"));
                    return;
                }
                urlDuringDownload = View()->url();
                testsupport::SaveShot(pDialog->grab(), "progress.png");
                if (QPushButton* pCancel = pDialog->findChild<QPushButton*>())
                    pCancel->click();
            }
        });
        watcher.start(300);
        Click("slow");
        QTRY_VERIFY_WITH_TIMEOUT(bSawDialog, kEventBoundMs);
        QTRY_VERIFY_WITH_TIMEOUT(!View()->IsHandoffBusy(), kEventBoundMs);
        watcher.stop();
        QVERIFY(m_starts.isEmpty());
        QVERIFY(!QFile::exists(TempFilePath()));
        // The page held still while the hook ran; the script's own navigation
        // may go on once the hook is over, as any navigation would.
        QCOMPARE(urlDuringDownload, QUrl(m_pServer->Url("index.htm")));
        QCOMPARE(frameparts::AddressBox(*m_pFrame)->findText(m_pServer->Url("slow/long.wav")) >= 0, true);
    }

private:
    void LoadIndex()
    {
        // The page may still be loading what the last test opened: that load,
        // cut short by this one, reports false first.
        QSignalSpy loaded(View(), &QWebEngineView::loadFinished);
        View()->load(QUrl(m_pServer->Url("index.htm")));
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(loaded.cbegin(), loaded.cend(),
                                             [](const QList<QVariant>& args) { return args.first().toBool(); }),
                                 kEventBoundMs);
        QCOMPARE(View()->url(), QUrl(m_pServer->Url("index.htm")));
    }
    CVelmoraView* View() const { return frameparts::UpperView(*m_pFrame); }
    void Click(const char* szId) { QVERIFY2(ClickElementById(View(), szId), szId); }
    // The page fetches strName from the server in full: a round trip through the
    // engine's network that ends with the page's title "fetched <bytes>".
    void FetchThroughPage(const char* szName)
    {
        const QString strTitle = QStringLiteral("fetched %1").arg(ReadTestFile(m_web.filePath(szName)).size());
        View()->page()->runJavaScript(QStringLiteral("fetch('%1').then(r => r.arrayBuffer())"
                                                     ".then(b => { document.title = 'fetched ' + b.byteLength; });")
                                          .arg(szName));
        QTRY_COMPARE_WITH_TIMEOUT(View()->title(), strTitle, kEventBoundMs);
    }
    void Write(const char* szName, const QByteArray& data) { WriteTestFile(m_web.filePath(szName), data); }
    static QStringList Entries(const QString& strFolder)
    {
        return QDir(strFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    }

    QTemporaryDir m_web;
    QTemporaryDir m_local;  // local files a hostile page must never reach
    QByteArray m_wav;
    std::unique_ptr<CTestSoundServer> m_pServer;
    std::unique_ptr<CMainFrame> m_pFrame;
    QStringList m_starts;
    QList<QStringList> m_startArguments;
    QList<QByteArray> m_startedBytes;
    QStringList m_messages;
    bool m_bPlayerStarts = true;
    int m_nAnswer = IDYES;
    int m_nConsoleRefusals = 0;
};

QTEST_MAIN_WITH_HOME(TestBrowserEndToEnd, PrivateRuntime)

#include "test_browser_e2e.moc"
