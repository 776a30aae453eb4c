// The pieces start-up and the connection check rely on: the recent-file list,
// the private temporary folder, and the FTP session against a real server.
#include "browser/startup/CFtpSession.h"
#include "browser/startup/CRecentFileList.h"
#include "tests/browser/startup/FtpTestServer.h"
#include "browser/startup/VelmoraPaths.h"

#include <QSettings>
#include <QTemporaryDir>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

TEST(RecentFileList, KeepsFourNewestFirstWithoutDuplicates)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString strPath = dir.filePath(QStringLiteral("profile.conf"));
    {
        QSettings profile(strPath, QSettings::IniFormat);
        CRecentFileList list(profile, 4);
        list.ReadList();
        for (const char* szFile : {"/a", "/b", "/c", "/d", "/e", "/c"})
            list.Add(QString::fromLatin1(szFile));
        list.Add(QString());  // ignored
        EXPECT_EQ(list.Entries(), (QStringList{"/c", "/e", "/d", "/b"}));
    }
    QSettings profile(strPath, QSettings::IniFormat);
    EXPECT_EQ(profile.value(QStringLiteral("Recent File List/File1")).toString(), "/c");
    EXPECT_EQ(profile.value(QStringLiteral("Recent File List/File4")).toString(), "/b");
    EXPECT_FALSE(profile.contains(QStringLiteral("Recent File List/File5")));
    CRecentFileList again(profile, 4);
    again.ReadList();
    EXPECT_EQ(again.Entries(), (QStringList{"/c", "/e", "/d", "/b"}));
}

TEST(TempFolder, IsPrivateAndUnderTheCacheHome)
{
    QTemporaryDir cache;
    ASSERT_TRUE(cache.isValid());
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", (cache.path() + "/nested/cache").toLocal8Bit());
    const QString strFolder = velmora::TempFolderPath();
    EXPECT_EQ(strFolder, cache.path() + "/nested/cache/velmora");
    EXPECT_EQ(velmora::TempFilePath(), strFolder + "/tempFile");

    ASSERT_TRUE(velmora::EnsurePrivateFolder(strFolder));
    struct stat st {};
    ASSERT_EQ(::stat(strFolder.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // An existing folder is fine, and one left open to others is narrowed.
    ::chmod(strFolder.toLocal8Bit().constData(), 0777);
    EXPECT_TRUE(velmora::EnsurePrivateFolder(strFolder));
    ASSERT_EQ(::stat(strFolder.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A relative cache home is ignored.
    qputenv("XDG_CACHE_HOME", "relative/cache");
    EXPECT_TRUE(velmora::TempFolderPath().startsWith('/'));
    EXPECT_TRUE(velmora::TempFolderPath().endsWith("/.cache/velmora"));
    qputenv("XDG_CACHE_HOME", oldCache);
}

TEST(TempFolder, ReplacesAPlantedLinkAndRefusesAFileInItsPlace)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString strTarget = dir.filePath(QStringLiteral("elsewhere"));
    ASSERT_EQ(::mkdir(strTarget.toLocal8Bit().constData(), 0755), 0);
    const QString strLink = dir.filePath(QStringLiteral("velmora"));
    ASSERT_EQ(::symlink(strTarget.toLocal8Bit().constData(), strLink.toLocal8Bit().constData()), 0);
    EXPECT_TRUE(velmora::EnsurePrivateFolder(strLink));
    struct stat st {};
    ASSERT_EQ(::lstat(strLink.toLocal8Bit().constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));  // a private folder of its own now
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(strTarget.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);  // the link's target was left alone

    const QString strFile = dir.filePath(QStringLiteral("file"));
    QFile(strFile).open(QIODevice::WriteOnly);
    EXPECT_FALSE(velmora::EnsurePrivateFolder(strFile));
}

TEST(FtpSession, HostTextIsHostOrHostAndPort)
{
    std::string strName;
    int nPort = -1;
    EXPECT_TRUE(CFtpSession::SplitHost("ftp.gnu.org", strName, nPort));
    EXPECT_EQ(strName, "ftp.gnu.org");
    EXPECT_EQ(nPort, 0);
    EXPECT_TRUE(CFtpSession::SplitHost("127.0.0.1:2121", strName, nPort));
    EXPECT_EQ(strName, "127.0.0.1");
    EXPECT_EQ(nPort, 2121);
    EXPECT_TRUE(CFtpSession::SplitHost("[::1]:21", strName, nPort));
    EXPECT_EQ(strName, "[::1]");
    EXPECT_EQ(nPort, 21);
    for (const char* szBad : {"", ":21", "host:", "host:0", "host:65536", "host:2x", "::1",
                              "a/b", "user@host", "host name", "[::1", "[]", "[::1]x", "[a/b]"})
        EXPECT_FALSE(CFtpSession::SplitHost(szBad, strName, nPort)) << szBad;
}

TEST(FtpSession, LogsInAnonymouslyOnARealServer)
{
    velmora_test::CFtpTestServer server;
    ASSERT_TRUE(server.Start());
    CFtpSession session;
    EXPECT_NO_THROW(session.GetFtpConnection(server.HostText().toStdString(), "", "", 0, false));
    session.Close();
    // The server saw a completed login, not just a connection.
    EXPECT_TRUE(server.WaitForLog("USER 'anonymous' logged in")) << server.Log().toStdString();
}

TEST(FtpSession, RefusedLoginClosedPortAndBadHostAreErrors)
{
    velmora_test::CFtpTestServer server;
    ASSERT_TRUE(server.Start(QStringLiteral("someone"), QStringLiteral("secret")));
    CFtpSession session;
    EXPECT_THROW(session.GetFtpConnection(server.HostText().toStdString(), "", "", 0, false),
                 CInternetException);

    const int nClosed = velmora_test::FreeTcpPort();
    try {
        session.GetFtpConnection("127.0.0.1:" + std::to_string(nClosed), "", "", 0, false);
        ADD_FAILURE() << "a closed port connected";
    } catch (const CInternetException& e) {
        EXPECT_EQ(e.m_nCode, 7);  // could not connect
    }
    EXPECT_THROW(session.GetFtpConnection("host:99999", "", "", 0, false), CInternetException);
}

TEST(FtpSession, AServerThatNeverGreetsIsCutShortByTheAbortFlag)
{
    velmora_test::CSilentServer silent;
    ASSERT_NE(silent.Port(), 0);
    CFtpSession session;
    std::atomic<bool> bAbort{false};
    // The flag goes up once the session has connected and waits for the greeting.
    std::thread stopper([&] {
        silent.AwaitCaller();
        bAbort = true;
    });
    try {
        session.GetFtpConnection("127.0.0.1:" + std::to_string(silent.Port()), "", "", 0, false, &bAbort);
        ADD_FAILURE() << "a server that never greets connected";
    } catch (const CInternetException& e) {
        // Cut short by the flag, not by the 15 s response time-out.
        EXPECT_EQ(e.m_nCode, CURLE_ABORTED_BY_CALLBACK);
    }
    stopper.join();
}

} // namespace
