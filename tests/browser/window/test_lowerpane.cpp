// The lower pane: where its home page comes from, the working directory around
// its construction, Home online and offline, sound links left to the engine;
// and the pane, the favourites and the dialogs inside the main window.
#include "browser/startup/CConnectionThread.h"
#include "browser/favorites/CFavoritesFolder.h"
#include "browser/favorites/CFavoritesMenu.h"
#include "browser/window/CFrameLower.h"
#include "browser/window/CMainFrame.h"
#include "tests/browser/window/FrameParts.h"
#include "browser/startup/CVelmoraApp.h"
#include "browser/window/CVelmoraView.h"
#include "browser/window/CVelmoraViewLower.h"
#include "browser/startup/VelmoraResource.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QWebEnginePage>
#include <QtTest>
#include "tests/support/QTestHomeMain.h"
#include "tests/support/TestFiles.h"
#include "tests/browser/window/PageInput.h"
#include <filesystem>

namespace {

using testsupport::WriteTestFile;

// The directory's own listing order, read independently of the code under test.
QStringList ListingOrder(const QString& strFolder)
{
    QStringList names;
    for (const auto& entry : std::filesystem::directory_iterator(strFolder.toStdString()))
        names << QString::fromStdString(entry.path().filename().string());
    return names;
}

} // namespace

class TestLowerPane : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_home;          // the start-up folders of the tests
    QString m_strSite;             // a start-up folder with Korvath/ inside
    QString m_strInitialDir;

    static bool WaitForUrl(QWebEngineView& view, const std::function<bool(const QUrl&)>& fnMatch, int nMs = testsupport::kEventBoundMs)
    {
        return QTest::qWaitFor([&] { return fnMatch(view.page()->requestedUrl()) || fnMatch(view.url()); }, nMs);
    }

private slots:
    void initTestCase()
    {
        m_strInitialDir = QDir::currentPath();
        m_strSite = m_home.path() + "/site";
        QVERIFY(WriteTestFile(m_strSite + "/Korvath/index.htm",
                          "<html><body><h1>Local home</h1>"
                          "<a id='s' href='sounds/tone.wav'>tone</a></body></html>"));
        // A short WAV for the link: 100 ms of a 440 Hz tone made by sox.
        QDir().mkpath(m_strSite + "/Korvath/sounds");
        QCOMPARE(QProcess::execute("sox", {"-n", "-r", "8000", "-b", "16", "-c", "1",
                                           m_strSite + "/Korvath/sounds/tone.wav", "synth", "0.1", "sine", "440"}),
                 0);
    }

    void cleanup()
    {
        g_bConnected = false;
        QDir::setCurrent(m_strInitialDir);
    }

    void firstEntryContainingTheText()
    {
        QTemporaryDir dir;
        // A folder of that name counts too; so does a page whose name merely contains it.
        QDir(dir.path()).mkdir("index.htm");
        QVERIFY(WriteTestFile(dir.path() + "/old-index.htm.bak", "x"));
        QVERIFY(WriteTestFile(dir.path() + "/other.htm", "x"));
        QString strExpected;
        for (const QString& strName : ListingOrder(dir.path()))
            if (strName.contains("index.htm") && strExpected.isEmpty())
                strExpected = dir.path() + "/" + strName;
        QCOMPARE(CVelmoraViewLower::FindEntryContaining(dir.path(), "index.htm"), strExpected);

        QDir(dir.path()).rmdir("index.htm");
        QFile::remove(dir.path() + "/old-index.htm.bak");
        QCOMPARE(CVelmoraViewLower::FindEntryContaining(dir.path(), "index.htm"), QString());
        QCOMPARE(CVelmoraViewLower::FindEntryContaining(dir.path() + "/absent", "index.htm"), QString());

        // Only names are matched: a folder whose own path holds the text does not
        // turn its first entry into the home page.
        QDir(dir.path()).mkpath("index.htm-copies");
        QVERIFY(WriteTestFile(dir.path() + "/index.htm-copies/notes.txt", "x"));
        QCOMPARE(CVelmoraViewLower::FindEntryContaining(dir.path() + "/index.htm-copies", "index.htm"), QString());

        // A relative folder gives an absolute path.
        QVERIFY(WriteTestFile(dir.path() + "/index.htm", "x"));
        QDir::setCurrent(dir.path());
        QCOMPARE(CVelmoraViewLower::FindEntryContaining(".", "index.htm"), dir.path() + "/index.htm");
    }

    void constructionFindsTheSiteAndLeavesTheDirectory()
    {
        g_szStartupDir = m_strSite.toStdString();
        QDir::setCurrent(m_home.path());   // wherever the program happens to be
        {
            CVelmoraViewLower view;
            QCOMPARE(view.m_strLocalHome, m_strSite + "/Korvath/index.htm");
            QCOMPARE(view.m_strOnlineHome, QString("www.velmora.example/velmora/velmora_home.htm"));
            QCOMPARE(QDir::currentPath(), m_home.path());   // left where it was
        }

        // Without a site folder the start-up directory itself is searched.
        QTemporaryDir bare;
        QVERIFY(WriteTestFile(bare.path() + "/myindex.html", "x"));
        g_szStartupDir = bare.path().toStdString();
        QDir::setCurrent(m_home.path());
        {
            CVelmoraViewLower view;
            QCOMPARE(view.m_strLocalHome, bare.path() + "/myindex.html");
            QCOMPARE(QDir::currentPath(), m_home.path());
        }

        // A start-up directory that could not be recorded: the search starts from
        // the current directory and the program is not left in the site folder.
        g_szStartupDir.clear();
        QDir::setCurrent(m_strSite);
        CVelmoraViewLower view;
        QCOMPARE(view.m_strLocalHome, m_strSite + "/Korvath/index.htm");
        QCOMPARE(QDir::currentPath(), m_strSite);
    }

    void homeGoesOnlineOnceConnected()
    {
        g_szStartupDir = m_strSite.toStdString();
        CFrameLower frame;
        CVelmoraViewLower* pView = frame.GetActiveView();
        const QUrl local = QUrl::fromLocalFile(m_strSite + "/Korvath/index.htm");
        QVERIFY(WaitForUrl(*pView, [&](const QUrl& url) { return url == local; }));

        g_bConnected = true;
        // Home through the pane's own toolbar, as the user presses it.
        QAction* pHome = nullptr;
        for (QAction* pAction : frame.ToolBar()->actions())
            if (pAction->data().toInt() == velmora::ID_LOWER_HOME)
                pHome = pAction;
        QVERIFY(pHome);
        QCOMPARE(pHome->toolTip(), QString("Home"));
        pHome->trigger();
        QVERIFY(WaitForUrl(*pView, [](const QUrl& url) {
            return url.host() == "www.velmora.example" && url.path() == "/velmora/velmora_home.htm";
        }));

        g_bConnected = false;
        pView->NavigateHome();
        QVERIFY(WaitForUrl(*pView, [&](const QUrl& url) { return url == local; }));
    }

    void soundLinksStayWithTheEngine()
    {
        g_szStartupDir = m_strSite.toStdString();
        const QString strTemp = CVelmoraApp::TempFilePath();
        QFile::remove(strTemp);
        CFrameLower frame;
        CVelmoraViewLower* pView = frame.GetActiveView();
        QSignalSpy loaded(pView, &QWebEngineView::loadFinished);
        frame.show();  // shown, so that it can be clicked
        QVERIFY(loaded.wait(testsupport::kEventBoundMs));
        QVERIFY(ClickElementById(pView, "s"));
        // The engine has shown the sound itself: a hand-off would have come before.
        QTRY_VERIFY_WITH_TIMEOUT(loaded.size() >= 2 && pView->url().path().endsWith("/sounds/tone.wav"),
                                 testsupport::kEventBoundMs);
        QVERIFY(!QFile::exists(strTemp));   // no hand-off copied the sound
    }

    void paneAndFavouritesInTheMainWindow()
    {
        // Favourites of the user, the start-up folder and the home page.
        const QString strFavorites = velmora::CFavoritesFolder::DefaultFolder();
        QVERIFY(WriteTestFile(strFavorites + "/Speech lab.url", "[InternetShortcut]\nURL=http://127.0.0.1:9/lab\n"));
        QVERIFY(WriteTestFile(strFavorites + "/Korvath home.url",
                          "[InternetShortcut]\nURL=" + QUrl::fromLocalFile(m_strSite + "/Korvath/index.htm").toEncoded() + "\n"));
        QVERIFY(WriteTestFile(strFavorites + "/Corpora/TIMIT notes.url", "[InternetShortcut]\nURL=http://127.0.0.1:9/timit\n"));
        QDir::setCurrent(m_strSite);
        CVelmoraApp app;
        app.m_strHomeAddress = m_strSite + "/Korvath/index.htm";

        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        auto* pLower = frameparts::LowerPane(frame);
        QVERIFY(pLower);
        QCOMPARE(frameparts::Splitter(frame)->sizes().value(1), 0);   // closed until dragged open

        // One menu in the menu bar and behind the toolbar's drop-down.
        QMenu* pMenu = frameparts::FavoritesMenu(frame);
        QCOMPARE(frameparts::ToolButton(frame, velmora::ID_FAVORITES_DROPDOWN)->menu(), pMenu);
        QStringList entries;
        for (QAction* pAction : pMenu->actions())
            entries << pAction->text();
        QCOMPARE(entries, (QStringList{"Corpora", "Korvath home", "Speech lab"}));
        QCOMPARE(frame.m_favoriteUrls.size(), 3);

        // The lower toolbar's prompts reach the main window's status bar.
        QToolButton* pForward = nullptr;
        for (QAction* pAction : pLower->ToolBar()->actions())
            if (pAction->data().toInt() == velmora::ID_LOWER_FORWARD)
                pForward = qobject_cast<QToolButton*>(pLower->ToolBar()->widgetForAction(pAction));
        QVERIFY(pForward);
        QCOMPARE(pForward->toolTip(), QString("Forward"));
        QStatusTipEvent tip(pForward->statusTip());
        QCoreApplication::sendEvent(pForward, &tip);
        QCOMPARE(frame.statusBar()->currentMessage(), QString("Go forward"));

        const QList<int> sizes{frame.height() / 2, frame.height() / 2};
        frameparts::Splitter(frame)->setSizes(sizes);
        QVERIFY(WaitForUrl(*pLower->GetActiveView(), [](const QUrl& url) { return url.path().endsWith("index.htm"); }));
        QVERIFY(WaitForUrl(*frameparts::UpperView(frame), [](const QUrl& url) { return url.path().endsWith("index.htm"); }));
        frame.grab().save(QDir::tempPath() + "/velmora-window.png");

        // Choosing a favourite moves the upper pane, not the lower one.
        QAction* pKorvath = pMenu->actions().value(1);
        frameparts::UpperView(frame)->Navigate("about:blank");
        QVERIFY(WaitForUrl(*frameparts::UpperView(frame), [](const QUrl& url) { return url.toString() == "about:blank"; }));
        pKorvath->trigger();
        QVERIFY(WaitForUrl(*frameparts::UpperView(frame), [](const QUrl& url) { return url.path().endsWith("Korvath/index.htm"); }));

        pMenu->popup(frame.mapToGlobal(QPoint(200, 60)));
        QVERIFY(QTest::qWaitForWindowExposed(pMenu));
        pMenu->grab().save(QDir::tempPath() + "/velmora-favorites-menu.png");
        pMenu->close();
    }
};

QTEST_MAIN_WITH_HOME(TestLowerPane, PrivateRuntime)
#include "test_lowerpane.moc"
