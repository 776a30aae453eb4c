// The connection thread against a real FTP server on 127.0.0.1, a closed port
// and a server that never answers: status texts, the flag, the thread's end.
#include "browser/startup/CConnectStatusDlg.h"
#include "browser/startup/CConnectionThread.h"
#include "tests/browser/startup/FtpTestServer.h"
#include "tests/browser/startup/GuiTestSupport.h"
#include "tests/support/WaitFor.h"
#include "browser/startup/VelmoraResource.h"
#include "browser/startup/VelmoraMessages.h"

#include <QApplication>
#include <QPointer>
#include <QSettings>

#include <gtest/gtest.h>

using testsupport::WaitFor;

namespace {

const QString kConnecting = QString::fromLatin1(velmora::kStatusConnecting);
const QString kEstablished = QString::fromLatin1(velmora::kStatusEstablished);
const QString kFailed = QString::fromLatin1(velmora::kStatusFailed);

class ConnectionThreadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_bConnected = false;
        m_oldBeep = velmora::SetVelmoraBeepHandler([this] { ++m_nBeeps; });
    }
    void TearDown() override
    {
        if (m_pThread)
            StopConnectionThread(m_pThread);
        velmora::SetVelmoraBeepHandler(m_oldBeep);
        SetProfileHost(QString());
    }

    static void SetProfileHost(const QString& strHost)
    {
        QSettings profile(QStringLiteral("Velmora"), QStringLiteral("Velmora"));
        if (strHost.isEmpty())
            profile.remove(QStringLiteral("Connection/FtpHost"));
        else
            profile.setValue(QStringLiteral("Connection/FtpHost"), strHost);
        profile.sync();
    }

    // Starts a thread aimed at strHost and records what its status window shows.
    void Start(const QString& strHost)
    {
        SetProfileHost(strHost);
        m_pThread = StartConnectionThread();
        QObject::connect(m_pThread.data(), &CConnectionThread::StatusTextShown,
                         [this](const QString& strText) {
                             m_texts << strText;
                             if (CConnectStatusDlg* pDlg = m_pThread->StatusDialog())
                                 m_shots << pDlg->grab().toImage();
                         });
        QObject::connect(m_pThread.data(), &CConnectionThread::StatusWindowClosed, [this] { m_bClosed = true; });
    }

    bool WaitForClosedWindow() { return WaitFor([this] { return m_bClosed; }); }

    // Stops the thread as the frame does. The thread object is gone at once
    // when the thread ended within the frame's wait.
    void Stop() { StopConnectionThread(m_pThread); }

    QPointer<CConnectionThread> m_pThread;
    QStringList m_texts;
    QList<QImage> m_shots;
    bool m_bClosed = false;
    int m_nBeeps = 0;
    velmora::VelmoraBeepHandler m_oldBeep;
};

TEST_F(ConnectionThreadTest, ReachableServerConnectsSetsTheFlagAndEnds)
{
    velmora_test::CFtpTestServer server;
    ASSERT_TRUE(server.Start());
    Start(server.HostText());
    EXPECT_EQ(m_pThread->FtpHost(), server.HostText());
    ASSERT_TRUE(m_pThread->PostThreadMessage(WM_CHECK_CONNECTION));

    ASSERT_TRUE(WaitForClosedWindow());
    EXPECT_EQ(m_texts, (QStringList{kConnecting, kEstablished}));
    EXPECT_EQ(m_nBeeps, 1);
    EXPECT_TRUE(g_bConnected);
    EXPECT_TRUE(m_pThread->wait(testsupport::kEventBoundMs));
    EXPECT_TRUE(server.WaitForLog("USER 'anonymous' logged in")) << server.Log().toStdString();
    EXPECT_EQ(m_pThread->StatusDialog(), nullptr);

    ASSERT_EQ(m_shots.size(), 2);
    velmora_test::SaveScreenshot(m_shots[0], "connect-status-connecting.png");
    velmora_test::SaveScreenshot(m_shots[1], "connect-status-established.png");
    EXPECT_EQ(m_shots[0].size(), QSize(velmora::DluToPxX(204), velmora::DluToPxY(65)));

    // A stop after the finished check finds no thread and does not block.
    EXPECT_FALSE(m_pThread->PostThreadMessage(WM_STOP_CONNECTION));
    Stop();
    EXPECT_TRUE(m_pThread.isNull());
}

TEST_F(ConnectionThreadTest, ClosedPortFailsAndLeavesTheFlag)
{
    Start(QStringLiteral("127.0.0.1:%1").arg(velmora_test::FreeTcpPort()));
    ASSERT_TRUE(m_pThread->PostThreadMessage(WM_CHECK_CONNECTION));
    ASSERT_TRUE(WaitForClosedWindow());
    EXPECT_EQ(m_texts, (QStringList{kConnecting, kFailed}));
    EXPECT_EQ(m_nBeeps, 1);
    EXPECT_FALSE(g_bConnected);
    EXPECT_TRUE(m_pThread->wait(testsupport::kEventBoundMs));
    ASSERT_EQ(m_shots.size(), 2);
    velmora_test::SaveScreenshot(m_shots[1], "connect-status-failed.png");
}

TEST_F(ConnectionThreadTest, MalformedHostFailsLikeAnyOtherError)
{
    Start(QStringLiteral("127.0.0.1:notaport"));
    ASSERT_TRUE(m_pThread->PostThreadMessage(WM_CHECK_CONNECTION));
    ASSERT_TRUE(WaitForClosedWindow());
    EXPECT_EQ(m_texts, (QStringList{kConnecting, kFailed}));
    EXPECT_FALSE(g_bConnected);
}

TEST_F(ConnectionThreadTest, StopWithoutACheckEndsAtOnce)
{
    Start(QString());
    EXPECT_EQ(m_pThread->FtpHost(), QString::fromLatin1(velmora::kDefaultFtpHost));
    EXPECT_TRUE(m_pThread->isRunning());
    Stop();
    EXPECT_TRUE(m_pThread.isNull());  // ended within the wait, so released at once
    EXPECT_TRUE(m_texts.isEmpty());
    EXPECT_FALSE(g_bConnected);
}

TEST_F(ConnectionThreadTest, NoopChangesNothing)
{
    Start(QStringLiteral("127.0.0.1:%1").arg(velmora_test::FreeTcpPort()));
    EXPECT_TRUE(m_pThread->PostThreadMessage(WM_CONNECTION_NOOP));
    EXPECT_TRUE(m_pThread->PostThreadMessage(WM_CONNECTION_NOOP));
    // The thread takes its messages in order: once the check has run, the
    // no-ops are behind it, and all that happened is the check's own doing.
    ASSERT_TRUE(m_pThread->PostThreadMessage(WM_CHECK_CONNECTION));
    ASSERT_TRUE(WaitForClosedWindow());
    EXPECT_EQ(m_texts, (QStringList{kConnecting, kFailed}));
    EXPECT_EQ(m_nBeeps, 1);
    EXPECT_FALSE(g_bConnected);
}

TEST_F(ConnectionThreadTest, StopDuringAHangingCheckDoesNotHoldShutdown)
{
    velmora_test::CSilentServer silent;
    ASSERT_NE(silent.Port(), 0);
    Start(QStringLiteral("127.0.0.1:%1").arg(silent.Port()));
    ASSERT_TRUE(m_pThread->PostThreadMessage(WM_CHECK_CONNECTION));
    ASSERT_TRUE(WaitFor([this] { return !m_texts.isEmpty(); }));
    // Connected, and now waiting for a greeting that never comes.
    ASSERT_TRUE(silent.AwaitCaller());

    Stop();
    EXPECT_TRUE(m_pThread.isNull());  // ended within the frame's wait
    testsupport::DeliverPostedEvents();
    // A check cut short by closing the browser is not reported as a failure,
    // and its status window went with the thread.
    EXPECT_EQ(m_texts, QStringList{kConnecting});
    EXPECT_EQ(m_nBeeps, 0);
    EXPECT_FALSE(g_bConnected);
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<CConnectStatusDlg*>(pWidget), nullptr);
}

} // namespace
