// The player against a real PulseAudio server (with-pulse.sh): Ctrl+P pressed
// while a sound plays leaves one stream on the server, not two; many opens,
// plays, restarts, stops and closes in a row end with no stream and no
// opening left; and a process that ends through exit() in the middle of a
// sound ends cleanly instead of dying on its audio thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <memory>

#include "player/shell/CMainFrame.h"
#include "player/shell/CSonavelProApp.h"
#include "player/shell/CWaveWnd.h"
#include "player/shell/resource.h"
#include "tests/player/shell/ShellTestSupport.h"
#include "tests/support/CommandAction.h"
#include "tests/support/PulseStreams.h"

using namespace shelltest;
using testsupport::PulseObjects;

namespace {

constexpr int kRate = 22050;
const char kszExitChild[] = "SONAVEL_TEST_EXIT_CHILD";
const int kExitChildStatus = 7; // not 0, so a lost status shows

QString WriteGlide(const QTemporaryDir& dir, double dSeconds)
{
    const QString strPath = dir.filePath(QStringLiteral("glide%1.wav").arg(dSeconds));
    WriteTestFile(strPath, MakeWav(Glide(static_cast<int>(kRate * dSeconds), kRate), kRate));
    return strPath;
}

int Streams() { return static_cast<int>(PulseObjects("sink-inputs").size()); }

TEST(RealServer, PlayPressedWhilePlayingLeavesOneStream)
{
    ASSERT_FALSE(qgetenv("XDG_RUNTIME_DIR").isEmpty()) << "run under with-pulse.sh";
    QTemporaryDir dir;
    CMessageRecorder messages;
    CSonavelProApp app;
    app.InitInstance({WriteGlide(dir, 20)});
    ASSERT_TRUE(testsupport::WaitForPlaybackStart());
    CMainFrame* pFrame = app.MainFrame();
    pFrame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(pFrame));
    const QStringList first = PulseObjects("sink-inputs");
    // Each press starts the sound over: the stream it replaces is gone from
    // the server before the new one is ready, as both go through one connection.
    QTest::keyClick(pFrame, Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(pFrame, Qt::Key_P, Qt::ControlModifier);
    const QStringList now = PulseObjects("sink-inputs");
    EXPECT_EQ(now.size(), 1) << now.join(QLatin1Char('\n')).toStdString();
    EXPECT_NE(now, first) << "the sound did not start over";
    EXPECT_EQ(OpenWaveOutCount(), 1);

    QAction* pStop = testsupport::CommandAction(*pFrame, sonavel::shell::ID_STOP);
    ASSERT_TRUE(pStop && pStop->isEnabled());
    QTest::keyClick(pFrame, Qt::Key_Period, Qt::ControlModifier);
    EXPECT_TRUE(testsupport::WaitForPlaybackEnd());
    EXPECT_FALSE(pStop->isEnabled());
    EXPECT_EQ(OpenWaveOutCount(), 0);
    EXPECT_TRUE(messages.m_messages.empty());
}

TEST(RealServer, ManyOpensPlaysRestartsStopsAndClosesEndCleanly)
{
    QTemporaryDir dir;
    const QString strShort = WriteGlide(dir, 0.3);
    const QString strLong = WriteGlide(dir, 10);
    CMessageRecorder messages;
    for (int i = 0; i < 24; ++i) {
        auto pApp = std::make_unique<CSonavelProApp>();
        pApp->InitInstance({i % 2 ? strShort : strLong});
        ASSERT_EQ(pApp->m_bLoaded, 1) << "round " << i;
        pApp->OnPlay();
        if (i % 4 == 0) {
            // The measuring view's span takes the stream, and Play takes it back.
            pApp->OnMeasure();
            ASSERT_TRUE(pApp->PlaySpan(kRate / 10, kRate / 5)) << "round " << i;
            pApp->OnPlay();
        }
        ASSERT_EQ(OpenWaveOutCount(), 1) << "round " << i;
        switch (i % 4) {
        case 0: // stopped
            pApp->OnStop();
            ASSERT_FALSE(pApp->IsPlaying());
            break;
        case 1: // played to its end (the short sound)
            ASSERT_TRUE(WaitFor([&] { return !pApp->IsPlaying(); })) << "round " << i;
            break;
        case 2: // another sound opened while this one plays
            pApp->OpenDocumentFile(strShort);
            break;
        default: // the player closed while the sound plays
            break;
        }
        pApp.reset();
        ASSERT_EQ(OpenWaveOutCount(), 0) << "round " << i;
    }
    EXPECT_TRUE(testsupport::WaitForPlaybackEnd());
    EXPECT_EQ(Streams(), 0);
    EXPECT_TRUE(messages.m_messages.empty());
}

// Run as a child by the test below: the player plays a long sound and the
// process ends through exit() as it plays, as Qt ends it when its display
// connection breaks. The player object is never destroyed.
TEST(ExitChild, PlaysThenExits)
{
    if (qEnvironmentVariableIsEmpty(kszExitChild))
        GTEST_SKIP() << "only as the child of EndingTheProcessMidSoundEndsCleanly";
    auto* pApp = new CSonavelProApp;
    pApp->InitInstance({qEnvironmentVariable(kszExitChild)});
    if (!testsupport::WaitForPlaybackStart() || !pApp->IsPlaying())
        std::exit(3);
    // The audio thread keeps feeding the sink while the process ends; the
    // status given to exit() is the process's.
    std::exit(kExitChildStatus);
}

TEST(RealServer, EndingTheProcessMidSoundEndsCleanly)
{
    // Our sinks close and the process ends before the sound library's
    // statics go, so neither our thread nor the library's own races them.
    QTemporaryDir dir;
    const QString strLong = WriteGlide(dir, 10);
    for (int i = 0; i < 8; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kszExitChild, strLong);
        // The child's private home, which exit() leaves behind, goes with dir.
        env.insert(QStringLiteral("TMPDIR"), dir.path());
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=ExitChild.*")});
        ASSERT_TRUE(child.waitForFinished(testsupport::kEventBoundMs)) << "round " << i;
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << "round " << i << ": the child crashed";
        EXPECT_EQ(child.exitCode(), kExitChildStatus) << "round " << i;
    }
    EXPECT_TRUE(testsupport::WaitForPlaybackEnd());
}

} // namespace
