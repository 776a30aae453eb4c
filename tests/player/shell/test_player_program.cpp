// The player as a user meets it: the main bar, its commands and their greying,
// the ways of opening a sound, the About box, and the end on deactivation.
// Sound goes to the recording backend; messages are recorded, not shown.
#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QEventLoop>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <algorithm>
#include <memory>

#include "player/shell/CAboutDlg.h"
#include "player/shell/CMainFrame.h"
#include "tests/support/CRecordingWaveOut.h"
#include "player/shell/CSonavelProApp.h"
#include "player/shell/CWaveWnd.h"
#include "tests/player/shell/ShellTestSupport.h"
#include "tests/support/CommandAction.h"
#include "tests/support/WaitFor.h"
#include "player/shell/resource.h"

using namespace shelltest;
using namespace sonavel::shell;

class TestPlayerProgram : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CRecordingWaveOutFactory> m_pRecorder;
    std::unique_ptr<testsupport::CScopedValue<CWaveOutFactory*>> m_pUseRecorder;
    std::unique_ptr<CMessageRecorder> m_pMessages;
    std::unique_ptr<CSonavelProApp> m_pApp;

    QString SoundFile(const QString& strName, int nSamples, int32_t nRate)
    {
        QString strPath = m_dir.filePath(strName);
        WriteTestFile(strPath, MakeWav(Glide(nSamples, nRate), nRate));
        return strPath;
    }
    QAction* Command(int nId) { return testsupport::CommandAction(*m_pApp->MainFrame(), nId); }
    bool Enabled(int nId) { return Command(nId)->isEnabled(); }
    QStringList MenuTitles()
    {
        QStringList titles;
        for (QAction* p : m_pApp->MainFrame()->menuBar()->actions())
            titles << p->text();
        return titles;
    }
    QList<QWidget*> VisibleTopLevels()
    {
        QList<QWidget*> list;
        for (QWidget* p : QApplication::topLevelWidgets())
            if (p->isVisible())
                list << p;
        return list;
    }
    void Drop(const QString& strPath)
    {
        CMainFrame* pFrame = m_pApp->MainFrame();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(strPath)});
        QPoint at(pFrame->width() / 2, pFrame->height() - 5);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(pFrame, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(pFrame, &drop);
    }

private slots:
    void init()
    {
        QSettings(kszRegistryKey, kszProfileApp).clear();
        m_pRecorder = std::make_unique<CRecordingWaveOutFactory>();
        m_pUseRecorder = std::make_unique<testsupport::CScopedValue<CWaveOutFactory*>>(g_waveOutFactory, m_pRecorder.get());
        m_pMessages = std::make_unique<CMessageRecorder>();
        m_pApp = std::make_unique<CSonavelProApp>();
    }
    void cleanup()
    {
        m_pApp.reset();
        const bool bAllClosed = OpenWaveOutCount() == 0;
        // The hook goes before the recorder it points at, whatever the check says.
        m_pUseRecorder.reset();
        m_pRecorder.reset();
        m_pMessages.reset();
        QVERIFY(bAllClosed);
    }

    void startedWithAFilePlaysAtOnceAndShowsOnlyTheBar()
    {
        QString strPath = SoundFile("voice.wav", 11025, 22050);
        m_pApp->InitInstance({strPath});
        QVERIFY(m_pMessages->m_messages.empty());
        QCOMPARE(m_pRecorder->m_openings.size(), size_t(1));
        QCOMPARE(m_pRecorder->m_openings[0].format.nSamplesPerSec, 22050);
        QCOMPARE(m_pRecorder->m_openings[0].written.at(0), SampleBytes(Glide(11025, 22050)));
        QCOMPARE(m_pApp->m_bLoaded, 1);

        CMainFrame* pFrame = m_pApp->MainFrame();
        QCOMPARE(VisibleTopLevels(), QList<QWidget*>{pFrame});
        QVERIFY(pFrame->findChild<QMdiArea*>()->subWindowList().isEmpty());
        // The bar names the sound it holds.
        QCOMPARE(pFrame->windowTitle(), QString("Sonavel - voice.wav"));
        QCOMPARE(MenuTitles(), (QStringList{"&Play", "&Analysis", "A&bout"}));
        // The words alone: the shortcut is the action's, shown beside them.
        QCOMPARE(Command(ID_PLAY)->text(), QString("Play"));
        QCOMPARE(Command(ID_ANALYSIS)->text(), QString("Spectrogram-Pitch"));
        QCOMPARE(Command(ID_APP_ABOUT)->text(), QString("&About Sonavel..."));
        QCOMPARE(Command(ID_PLAY)->shortcut(), QKeySequence("Ctrl+P"));
        QCOMPARE(Command(ID_ANALYSIS)->shortcut(), QKeySequence("Ctrl+A"));
        QVERIFY(Enabled(ID_PLAY) && Enabled(ID_ANALYSIS));
    }

    void startedWithoutAFileShowsTheEmptyMessageAndGreyedCommands()
    {
        m_pApp->InitInstance({});
        QCOMPARE(m_pMessages->m_messages, (std::vector<std::string>{""}));
        QVERIFY(m_pRecorder->m_openings.empty());
        QVERIFY(m_pApp->MainFrame()->isVisible());
        QVERIFY(!Enabled(ID_PLAY));
        QVERIFY(!Enabled(ID_ANALYSIS));
        QVERIFY(Enabled(ID_APP_ABOUT));
    }

    void greyedStatesFollowTheLoad()
    {
        QString strGood = SoundFile("good.wav", 800, 8000);
        QString strText = m_dir.filePath("notes.txt");
        WriteTestFile(strText, "just some words, not a sound\n");
        m_pApp->InitInstance({strGood});
        QVERIFY(Enabled(ID_PLAY));

        // Greyed from the very start of the next open (seen from inside it).
        bool bGreyDuringOpen = false;
        m_pMessages->m_onMessage = [&](const std::string&) { bGreyDuringOpen = !Enabled(ID_PLAY) && !Enabled(ID_ANALYSIS); };
        m_pApp->OpenDocumentFile(m_dir.filePath("missing.wav"));
        QVERIFY(bGreyDuringOpen);
        QVERIFY(!Enabled(ID_PLAY));

        m_pApp->OpenDocumentFile(strGood);
        QVERIFY(Enabled(ID_PLAY));
        // A file no reader takes: no message, greyed, nothing played.
        size_t nMessages = m_pMessages->m_messages.size();
        size_t nOpenings = m_pRecorder->m_openings.size();
        m_pApp->OpenDocumentFile(strText);
        QCOMPARE(m_pMessages->m_messages.size(), nMessages);
        QCOMPARE(m_pRecorder->m_openings.size(), nOpenings);
        QVERIFY(!Enabled(ID_PLAY));
        QVERIFY(!Enabled(ID_ANALYSIS));
    }

    void aFailedAutomaticPlaybackKeepsTheSoundButGreysPlay()
    {
        // A header with sample rate 0: the reader takes it, the device refuses it.
        QString strPath = SoundFile("rate0.wav", 400, 0);
        m_pApp->InitInstance({strPath});
        QCOMPARE(m_pMessages->m_messages, (std::vector<std::string>{" error in play "}));
        QCOMPARE(m_pApp->m_bLoaded, 0);
        QCOMPARE(m_pApp->m_store.sampleCount, 400);
        QVERIFY(m_pApp->m_store.hSamples != nullptr);
        QVERIFY(!Enabled(ID_PLAY));
    }

    void playReplaysTheStoredSound()
    {
        QString strPath = SoundFile("again.wav", 1600, 16000);
        m_pApp->InitInstance({strPath});
        CMainFrame* pFrame = m_pApp->MainFrame();
        pFrame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pFrame));
        QTest::keyClick(pFrame, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(m_pRecorder->m_openings.size(), size_t(2));
        QCOMPARE(m_pRecorder->m_openings[1].written.at(0), m_pRecorder->m_openings[0].written.at(0));
        QVERIFY(m_pMessages->m_messages.empty());
        // The playbacks go away once the device is done with them.
        QVERIFY(WaitFor([&] { return m_pApp->findChildren<CWaveWnd*>().isEmpty(); }));

        // A replay the device refuses is reported; the sound stays playable.
        m_pRecorder->m_nFailWrites = 1;
        QTest::keyClick(pFrame, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(m_pMessages->m_messages, (std::vector<std::string>{" error in play "}));
        QVERIFY(Enabled(ID_PLAY));
        QVERIFY(m_pApp->findChildren<CWaveWnd*>().isEmpty());
    }

    void playStartsTheOneSoundOverAndStopEndsIt()
    {
        m_pRecorder->m_bAutoComplete = false;
        m_pApp->InitInstance({SoundFile("over.wav", 8000, 8000)});
        CMainFrame* pFrame = m_pApp->MainFrame();
        QCOMPARE(pFrame->menuBar()->actions().at(0)->menu()->actions(), (QList<QAction*>{Command(ID_PLAY), Command(ID_STOP)}));
        QCOMPARE(Command(ID_STOP)->text(), QString("Stop"));
        QCOMPARE(Command(ID_STOP)->shortcut(), QKeySequence("Ctrl+."));
        int nCtrlPeriod = 0;
        for (QAction* p : pFrame->findChildren<QAction*>())
            nCtrlPeriod += p->shortcuts().count(QKeySequence("Ctrl+."));
        QCOMPARE(nCtrlPeriod, 1);
        pFrame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pFrame));
        QVERIFY(Enabled(ID_STOP));
        // Each press stops the sound and plays it again from its start.
        QTest::keyClick(pFrame, Qt::Key_P, Qt::ControlModifier);
        QTest::keyClick(pFrame, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(m_pRecorder->m_openings.size(), size_t(3));
        QCOMPARE(OpenWaveOutCount(), 1);
        for (size_t i : {0, 1})
            QVERIFY(m_pRecorder->m_openings[i].bClosed && m_pRecorder->m_openings[i].nResets == 1);
        QCOMPARE(m_pRecorder->m_openings[2].written.at(0), m_pRecorder->m_openings[0].written.at(0));

        QTest::keyClick(pFrame, Qt::Key_Period, Qt::ControlModifier);
        QCOMPARE(OpenWaveOutCount(), 0);
        QVERIFY(!Enabled(ID_STOP));
        // A sound that plays to its end greys Stop as well.
        QTest::keyClick(pFrame, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(Enabled(ID_STOP));
        m_pRecorder->CompletePending();
        QVERIFY(WaitFor([&] { return !Enabled(ID_STOP); }));
        QVERIFY(m_pMessages->m_messages.empty());
    }

    void aDroppedFileOpensAndPlays()
    {
        m_pApp->InitInstance({});
        QString strPath = SoundFile("dropped.wav", 2000, 11025);
        Drop(strPath);
        QCOMPARE(m_pRecorder->m_openings.size(), size_t(1));
        QCOMPARE(m_pRecorder->m_openings[0].format.nSamplesPerSec, 11025);
        QCOMPARE(m_pRecorder->m_openings[0].written.at(0), SampleBytes(Glide(2000, 11025)));
        QVERIFY(Enabled(ID_PLAY));
    }

    void recentFilesAreKeptInTheProfileNewestFirst()
    {
        m_pApp->InitInstance({});
        QStringList paths;
        for (int i = 0; i < 7; ++i) {
            paths << SoundFile(QString("r%1.wav").arg(i), 100, 8000);
            m_pApp->OpenDocumentFile(paths.last());
        }
        m_pApp->OpenDocumentFile(paths[4]); // again: moves to the front, no duplicate
        QSettings profile(kszRegistryKey, kszProfileApp);
        profile.beginGroup(kszRecentFileSection);
        QStringList expected{paths[4], paths[6], paths[5], paths[3], paths[2]};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(profile.value(QString("File%1").arg(i + 1)).toString(), expected[i]);
        QVERIFY(!profile.contains("File6"));

        // A recent file that is gone leaves the list when chosen.
        QFile::remove(paths[6]);
        m_pApp->OnOpenRecentFile(1);
        QCOMPARE(m_pApp->RecentFiles().Files(), (QStringList{paths[4], paths[5], paths[3], paths[2]}));
        QCOMPARE(CRecentFileList().Files(), m_pApp->RecentFiles().Files());
    }

    void fileNewShowsADocumentWindowWithTheDocumentMenus()
    {
        m_pApp->InitInstance({});
        CMainFrame* pFrame = m_pApp->MainFrame();
        Command(ID_FILE_NEW)->trigger();
        QMdiArea* pArea = pFrame->findChild<QMdiArea*>();
        QCOMPARE(pArea->subWindowList().size(), 1);
        QCOMPARE(MenuTitles(), (QStringList{"&File", "&Edit", "&Window", "&Help"}));
        QCOMPARE(pFrame->windowTitle(), QString("Sonavel - Sonav1"));
        // Play stays reachable by its key and keeps following the load.
        QVERIFY(!Enabled(ID_PLAY));
        pArea->closeAllSubWindows();
        QVERIFY(WaitFor([&] { return MenuTitles() == QStringList{"&Play", "&Analysis", "A&bout"}; }));
        // Quitting with a document window open (cleanup destroys the frame).
        Command(ID_FILE_NEW)->trigger();
        QCOMPARE(pArea->subWindowList().size(), 1);
    }

    void menusOpenByF10AndByTheirMarkedLetters()
    {
        m_pApp->InitInstance({SoundFile("keys.wav", 2205, 22050)});
        CMainFrame* pFrame = m_pApp->MainFrame();
        pFrame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pFrame));
        auto openMenu = [pFrame] {
            QAction* pActive = pFrame->menuBar()->activeAction();
            return pActive && pActive->menu() && pActive->menu()->isVisible() ? pActive->menu()->title() : QString();
        };
        auto closeMenus = [] {
            while (QWidget* pPopup = QApplication::activePopupWidget())
                pPopup->close();
        };
        QTest::keyClick(pFrame, Qt::Key_F10);
        QVERIFY(WaitFor([&] { return openMenu() == "&Play"; }));
        closeMenus();
        QTest::keyClick(pFrame, Qt::Key_A, Qt::AltModifier);
        QVERIFY(WaitFor([&] { return openMenu() == "&Analysis"; }));
        closeMenus();
    }

    void aboutBoxShowsItsTextsAtTheTemplateSize()
    {
        CAboutDlg dlg;
        QCOMPARE(dlg.windowTitle(), QString("About SonavelPro"));
        QCOMPARE(dlg.size(), QSize(451, 331));
        QStringList texts;
        for (QLabel* p : dlg.findChildren<QLabel*>())
            if (!p->text().isEmpty())
                texts << p->text();
        QVERIFY(texts.contains("Sonavel Version 1.0"));
        QVERIFY(texts.contains("For Sonavel and the most powerful speech analysis programs."));
        QVERIFY(texts.contains("Please visit our web site."));
        QVERIFY(texts.contains(QString::fromUtf8("\xC2\xA9 2026 Velmora Speech Tools")));
        const QList<QLabel*> labels = dlg.findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.cbegin(), labels.cend(), [](const QLabel* p) { return !p->pixmap().isNull(); }));
        QPushButton* pOk = dlg.findChild<QPushButton*>();
        QCOMPARE(pOk->text(), QString("OK"));
        dlg.show();
        QTimer::singleShot(0, pOk, &QPushButton::click);
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    }

    void theBarSitsAtTheTopLeftOfCentre()
    {
        QCOMPARE(CMainFrame::InitialGeometry(QRect(0, 0, 1024, 768)), QRect(412, 30, 220, 60));
        QCOMPARE(CMainFrame::InitialGeometry(QRect(0, 0, 1280, 1024)).left(), 540);
        // Narrower than the centring width: truncation toward zero.
        QCOMPARE(CMainFrame::InitialGeometry(QRect(0, 0, 155, 100)).left(), -22);

        m_pApp->InitInstance({});
        CMainFrame* pFrame = m_pApp->MainFrame();
        QRect desktop = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(pFrame->pos(), CMainFrame::InitialGeometry(desktop).topLeft());
        QCOMPARE(pFrame->size(), QSize(220, 60));
        if (desktop.width() == 1024)
            QCOMPARE(pFrame->pos(), QPoint(412, 30));
    }

    // The real program: Qt's own option parsing never sees its arguments.
    void aFileNamedLikeAQtOptionOpensAsAFile()
    {
        WriteTestFile(m_dir.filePath("-reverse"), MakeWav(Glide(800, 8000), 8000));
        QProcess player;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        player.setProcessEnvironment(env);
        player.setWorkingDirectory(m_dir.path());
        player.start(SONAVEL_PATH, {"-reverse"});
        // A file that opens goes to the top of the recent-file list at once.
        const QString strConf = m_dir.filePath(QString("config/%1/%2.conf").arg(kszRegistryKey, kszProfileApp));
        const QString strKey = QString("%1/%2").arg(kszRecentFileSection, QString(kszRecentFileEntry).arg(1));
        const bool bOpened = testsupport::WaitFor(
            [&] { return QSettings(strConf, QSettings::IniFormat).value(strKey) == m_dir.filePath("-reverse"); }, 60000);
        player.kill();
        player.waitForFinished();
        QVERIFY(bOpened);
    }

    // Last: ending the event loop marks the thread as quitting for good.
    void deactivationEndsTheProgramEvenMidPlayback()
    {
        m_pRecorder->m_bAutoComplete = false;
        QString strPath = SoundFile("long.wav", 22050, 22050);
        m_pApp->InitInstance({strPath});
        QCOMPARE(OpenWaveOutCount(), 1);

        QApplicationStateChangeEvent active(Qt::ApplicationActive);
        QCoreApplication::sendEvent(qApp, &active);
        QEventLoop loop;
        QTimer::singleShot(0, qApp, [] {
            QApplicationStateChangeEvent inactive(Qt::ApplicationInactive);
            QCoreApplication::sendEvent(qApp, &inactive);
        });
        QTimer::singleShot(3000, &loop, [&] { loop.exit(42); });
        QCOMPARE(loop.exec(), 0);

        // What main does next: the application object goes, and the sound stops.
        m_pApp.reset();
        QCOMPARE(OpenWaveOutCount(), 0);
        QCOMPARE(m_pRecorder->m_openings[0].nResets, 1);
        QVERIFY(m_pRecorder->m_openings[0].bClosed);
    }
};

QTEST_MAIN(TestPlayerProgram)
#include "test_player_program.moc"
