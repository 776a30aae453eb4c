// Hostile pages against the real engine and a web server on 127.0.0.1: a local
// page reads no other local file and reaches the web only when the user says
// so, a page alone starts no player, addresses from stored settings run no
// script, and what a sound link serves is checked before the player gets it. The player is a stand-in started through the
// launcher, which notes each start in a file.
#include "tests/support/QTestHomeMain.h"
#include "tests/support/SaveShot.h"
#include "browser/handoff/CPlayerLauncher.h"
#include "browser/window/CLocalReadGuard.h"
#include "browser/window/CMainFrame.h"
#include "tests/browser/window/FrameParts.h"
#include "browser/window/COpenAddressDlg.h"
#include "browser/window/CVelmoraView.h"
#include "tests/browser/handoff/TestSoundServer.h"
#include "tests/browser/window/PageInput.h"
#include "tests/support/WhenModal.h"

#include "browser/startup/CVelmoraApp.h"
#include "browser/startup/VelmoraPaths.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QImage>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace velmora;

class TestHostilePages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_web.isValid() && m_local.isValid() && m_player.isValid());
        m_wav = ServedWav(8000, 1);
        WriteTestFile(m_web.filePath("clip.wav"), m_wav);
        for (const char* szName : {"hidden.wav", "opened.wav", "loop.wav"})
            WriteTestFile(m_web.filePath(szName), ServedWav(2000, 2));
        WriteTestFile(m_web.filePath("busy.htm"), R"(<html><body>
<p><a id="wav" href="clip.wav">a vowel</a></p>
<p><a id="html" href="html/page.wav">a page posing as a sound</a></p>
<p><a id="next" href="next.htm">the next page</a></p>
<iframe style="display:none" src="hidden.wav"></iframe>
<iframe id="loop" width="1" height="1"></iframe>
<script>
window.open('opened.wav');
let n = 0;
const timer = setInterval(() => {
  document.getElementById('loop').src = 'loop.wav?' + (++n);
  if (n == 10) clearInterval(timer);
}, 300);
</script></body></html>)");
        WriteTestFile(m_web.filePath("next.htm"), "<html><body onload=\"location.href = 'clip.wav?next'\">next</body></html>");
        WriteTestFile(m_web.filePath("plain.htm"), "<html><head><title>Plain</title></head><body>plain</body></html>");
        m_pServer = std::make_unique<CTestSoundServer>(m_web.path());
        QVERIFY2(m_pServer->Port() > 0, "the test web server did not start");
        // The stand-in player notes the file it was started on.
        WriteTestFile(m_player.filePath(CPlayerLauncher::kPlayerName),
                      "#!/bin/sh\necho \"$1\" >> \"$(dirname \"$0\")/starts\"\n");
        QFile::setPermissions(m_player.filePath(CPlayerLauncher::kPlayerName),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void init()
    {
        QFile::remove(m_player.filePath("starts"));
        m_nStarts = 0;
        m_pFrame = std::make_unique<CMainFrame>();
        m_pFrame->resize(900, 600);
        m_pFrame->show();
        View()->SetPlayerStarter([this](const QStringList& arguments) {
            ++m_nStarts;
            return CPlayerLauncher(m_player.path(), QString()).Start(arguments);
        });
    }

    void cleanup() { m_pFrame.reset(); }

    void localPageShowsItsFolderAndReadsNothing()
    {
        // site/page.htm with its own picture, style and sound, the same through
        // site/lnk (a link to a folder outside), and a script that would read them.
        const qsizetype nServed = m_pServer->Requests().size();
        const QString strSite = m_local.filePath("site");
        QVERIFY(QDir().mkpath(strSite));
        QVERIFY(QFile::link(m_local.path(), strSite + "/lnk"));
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        for (const QString& strFolder : {strSite, m_local.path()}) {
            QVERIFY(picture.save(strFolder + "/picture.png"));
            WriteTestFile(strFolder + "/style.css", "p { color: rgb(1, 2, 3); }");
            WriteTestFile(strFolder + "/script.js", "document.title = 'script ran';");
            WriteTestFile(strFolder + "/sound.wav", ServedWav(16000, 3));
        }
        WriteTestFile(strSite + "/page.htm", R"(<html><head><title>Local</title>
<link rel="stylesheet" href="style.css"><link rel="stylesheet" href="lnk/style.css"></head><body>
<p id="own">own</p><img id="pic" src="picture.png"><img id="lnkpic" src="lnk/picture.png">
<audio id="snd" preload="auto" src="sound.wav"></audio><audio id="lnksnd" preload="auto" src="lnk/sound.wav"></audio>
<script src="lnk/script.js"></script><script>document.title = 'inline ran';</script></body></html>)");
        // The link's stylesheet would paint the paragraph, were it read.
        WriteTestFile(m_local.filePath("style.css"), "p { color: rgb(200, 0, 0) !important; }");
        const QUrl page = QUrl::fromLocalFile(strSite + "/page.htm");
        View()->NavigateUrl(page);
        QTRY_VERIFY_WITH_TIMEOUT(PageScriptResult(View(), "document.images.length == 2 && Array.from(document.images)"
                                                          ".every(i => i.complete) && Array.from(document.querySelectorAll"
                                                          "('audio')).every(a => a.readyState > 0 || a.error)").toBool(),
                                 60000);
        QCOMPARE(PageScriptResult(View(), "[pic.naturalWidth, lnkpic.naturalWidth, getComputedStyle(own).color,"
                                          " isNaN(snd.duration), lnksnd.error != null, document.title].join()")
                     .toString(),
                 QString("40,0,rgb(1, 2, 3),false,true,Local"));
        testsupport::SaveShot(m_pFrame->grab(), "local-page.png");

        // What the engine asks for is decided on real paths; a local page gets
        // nothing from another machine, not even a socket.
        for (const auto type : {QWebEngineUrlRequestInfo::ResourceTypeScript, QWebEngineUrlRequestInfo::ResourceTypeImage,
                                QWebEngineUrlRequestInfo::ResourceTypeStylesheet, QWebEngineUrlRequestInfo::ResourceTypeMedia}) {
            QVERIFY(CLocalReadGuard::IsAllowed(QUrl::fromLocalFile(strSite + "/script.js"), type, page));
            QVERIFY(!CLocalReadGuard::IsAllowed(QUrl::fromLocalFile(strSite + "/lnk/script.js"), type, page));
        }
        QVERIFY(!CLocalReadGuard::IsAllowed(QUrl(m_pServer->Url("x").replace("http", "ws")),
                                            QWebEngineUrlRequestInfo::ResourceTypeWebSocket, page));
        QVERIFY(CLocalReadGuard::IsAllowed(QUrl(m_pServer->Url("x").replace("http", "ws")),
                                           QWebEngineUrlRequestInfo::ResourceTypeWebSocket, QUrl(m_pServer->Url("p.htm"))));
        QCOMPARE(m_pServer->Requests().size(), nServed);
    }

    void localPageReachesTheWebOnlyAfterTheUserSaysSo()
    {
        // A click on a web sound plays nothing and asks nothing; every other
        // way a local page has to the web (a link, a form, a new window, a
        // refresh) waits on the question, whose Cancel keeps the page.
        const qsizetype nServed = m_pServer->Requests().size();
        const QString strSound = m_pServer->Url("clip.wav?q=1"), strPage = m_pServer->Url("plain.htm?q=1");
        WriteTestFile(m_local.filePath("away.htm"), QStringLiteral(R"(<html><head><title>Away</title></head><body>
<p><a id="sound" href="%1">a sound</a> <a id="page" href="%2">a page</a> <a id="blank" href="%2" target="_blank">new</a>
<button id="scripted" onclick="document.title = 'ran'; location.href = '%1&leak'">scripted</button></p>
<form action="%3"><input type="hidden" name="q" value="1"><button id="form">send</button></form></body></html>)")
                                                      .arg(strSound, strPage, m_pServer->Url("plain.htm"))
                                                      .toUtf8());
        WriteTestFile(m_local.filePath("refresh.htm"), QStringLiteral("<html><head><meta http-equiv=\"refresh\" "
                                                                      "content=\"0; url=%1\"></head></html>").arg(strPage).toUtf8());
        LoadLocal("away.htm");
        QVERIFY(ClickElementById(View(), "scripted"));  // the page's script does not run
        QVERIFY(ClickElementById(View(), "sound"));
        QTRY_COMPARE_WITH_TIMEOUT(StatusText(), "Not played: " + strSound + " (a page on this computer asked for a sound on the web)", 60000);
        QCOMPARE(View()->title(), QString("Away"));

        for (const char* szWay : {"page", "form", "blank", "refresh"}) {
            QString strAsked;
            testsupport::WhenModal<COpenAddressDlg>(this, [&](COpenAddressDlg* pDialog) {
                strAsked = pDialog->Text();
                testsupport::SaveShot(pDialog->grab(), "open-address.png");
                pDialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
            });
            if (qstrcmp(szWay, "refresh") == 0)
                LoadLocal("refresh.htm");
            else
                QVERIFY(ClickElementById(View(), szWay));
            QTRY_VERIFY2_WITH_TIMEOUT(!strAsked.isEmpty(), szWay, 60000);
            QCOMPARE(strAsked, "A page on this computer wants to open " + strPage + ". Open it?");
            QVERIFY2(View()->url().isLocalFile(), szWay);
        }
        QVERIFY2(m_pServer->Requests().size() == nServed, qPrintable(m_pServer->Requests().join("|")));
        QCOMPARE(m_nStarts, 0);

        // Open loads it, as the browser's own load.
        testsupport::WhenModal<COpenAddressDlg>(this, [](COpenAddressDlg* pDialog) {
            pDialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
        });
        LoadLocal("away.htm");
        QVERIFY(ClickElementById(View(), "page"));
        QTRY_COMPARE_WITH_TIMEOUT(View()->title(), QString("Plain"), 60000);
        QCOMPARE(m_pServer->Requests().value(nServed), QString("/plain.htm?q=1"));  // then perhaps its icon
        QCOMPARE(m_nStarts, 0);
    }

    void pageAloneStartsNoPlayerButAClickDoes()
    {
        // A hidden frame, a pop-up on load and a frame sent to a sound every
        // 300 ms; only the user's click on the link plays.
        LoadPage("busy.htm");
        QTRY_VERIFY_WITH_TIMEOUT(StatusText().contains("loop.wav?10"), 60000);
        QVERIFY(StatusText().contains("Not played"));
        QCOMPARE(m_nStarts, 0);
        testsupport::SaveShot(m_pFrame->grab(), "page-sound-not-played.png");

        // The click that opened the next page does not carry over to it.
        QVERIFY(ClickElementById(View(), "next"));
        QTRY_VERIFY_WITH_TIMEOUT(StatusText().contains("clip.wav?next"), 60000);
        QCOMPARE(m_nStarts, 0);

        LoadPage("busy.htm");
        QTRY_VERIFY_WITH_TIMEOUT(StatusText().contains("loop.wav?10"), 60000);  // the page is quiet
        QVERIFY(ClickElementById(View(), "wav"));
        QTRY_COMPARE_WITH_TIMEOUT(Starts().size(), 1, 60000);
        QCOMPARE(m_nStarts, 1);
        QCOMPARE(ReadTestFile(Starts().first()), m_wav);
    }

    void pagePosingAsASoundGoesToTheEngine()
    {
        WriteTestFile(TempFilePath(), "last sound");
        LoadPage("busy.htm");
        QVERIFY(ClickElementById(View(), "html"));
        QTRY_COMPARE_WITH_TIMEOUT(View()->title(), QString("Not a sound"), 60000);
        QCOMPARE(m_nStarts, 0);
        QCOMPARE(ReadTestFile(TempFilePath()), QByteArray("last sound"));
    }

    void killedRunsPartialFileGoesAtTheNextStart()
    {
        const QString strPartial = TempFilePath() + ".part-5eed";
        WriteTestFile(strPartial, "half a sound");
        m_pFrame.reset();
        m_pFrame = std::make_unique<CMainFrame>();
        QVERIFY(!QFile::exists(strPartial));
    }

    void storedAddressesRunNoScript()
    {
        LoadPage("plain.htm");
        for (const char* szAddress : {"javascript:document.title='ran'", " JavaScript:alert(1)",
                                      "data:text/html,<title>ran</title>", "view-source:http://127.0.0.1/"}) {
            QVERIFY2(!View()->NavigateStored(QString::fromLatin1(szAddress)), szAddress);
            QVERIFY2(StatusText().contains("Not opened"), szAddress);
        }
        // A bare host name with a port opens over http; a sound plays.
        QVERIFY(View()->NavigateStored(QStringLiteral("127.0.0.1:%1/clip.wav").arg(m_pServer->Port())));
        QTRY_COMPARE_WITH_TIMEOUT(Starts().size(), 1, 60000);
        QCOMPARE(PageScriptResult(View(), "document.title").toString(), QString("Plain"));

        // The same for the home address, at start-up and on Home.
        CVelmoraApp app;
        app.m_strHomeAddress = QStringLiteral("javascript:document.title='ran'");
        const int nItems = frameparts::AddressBox(*m_pFrame)->count();
        View()->OnInitialUpdate();
        QVERIFY(StatusText().contains("Not opened"));
        View()->OnGoHome();
        QCOMPARE(frameparts::AddressBox(*m_pFrame)->count(), nItems);
        QCOMPARE(PageScriptResult(View(), "document.title").toString(), QString("Plain"));
    }

private:
    CVelmoraView* View() const { return frameparts::UpperView(*m_pFrame); }
    QString StatusText() const { return m_pFrame->statusBar()->currentMessage(); }
    QStringList Starts() const
    {
        return QString::fromUtf8(ReadTestFile(m_player.filePath("starts"))).split('\n', Qt::SkipEmptyParts);
    }
    // Loads a page of the user's files (a page that goes on to a refused
    // navigation ends with a failed load after its own).
    void LoadLocal(const QString& strName)
    {
        QSignalSpy loaded(View(), &QWebEngineView::loadFinished);
        View()->NavigateUrl(QUrl::fromLocalFile(m_local.filePath(strName)));
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(loaded.cbegin(), loaded.cend(), [](const QList<QVariant>& args) {
                                     return args.first().toBool();
                                 }), 60000);
    }
    void LoadPage(const QString& strPath)
    {
        QSignalSpy loaded(View(), &QWebEngineView::loadFinished);
        View()->NavigateUrl(QUrl(m_pServer->Url(strPath)));
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty() && loaded.last().first().toBool(), 60000);
    }

    QTemporaryDir m_web;
    QTemporaryDir m_local;   // the user's files
    QTemporaryDir m_player;  // the stand-in player and its notes
    QByteArray m_wav;
    std::unique_ptr<CTestSoundServer> m_pServer;
    std::unique_ptr<CMainFrame> m_pFrame;
    int m_nStarts = 0;
};

QTEST_MAIN_WITH_HOME(TestHostilePages, PrivateRuntime)

#include "test_hostile_pages.moc"
