// The application object's start-up with a stand-in main window: the splash,
// the home address from a start-up folder, the temporary folder, the main
// window maximised, and storing a new home address.
#include "browser/startup/CSplashDlg.h"
#include "browser/startup/CVelmoraApp.h"
#include "tests/browser/startup/GuiTestSupport.h"
#include "tests/support/WaitFor.h"
#include "tests/support/WhenModal.h"
#include "browser/startup/SplashPicture.h"
#include "browser/startup/VelmoraResource.h"
#include "browser/startup/VelmoraMessages.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::WaitFor;

namespace {

CSplashDlg* VisibleSplash()
{
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        if (auto* pSplash = qobject_cast<CSplashDlg*>(pWidget); pSplash && pSplash->isVisible())
            return pSplash;
    return nullptr;
}

QString ProfilePath()
{
    return QSettings(QStringLiteral("Velmora"), QStringLiteral("Velmora")).fileName();
}

class StartupAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_start.isValid());
        m_strOldDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_start.path()));
        QFile::remove(ProfilePath());
        m_oldBox = velmora::SetVelmoraMessageBoxHandler([this](const QString& strText, int nButtons) {
            m_messages << QStringLiteral("%1|%2").arg(strText).arg(nButtons);
            return velmora::IDOK;
        });
    }
    void TearDown() override
    {
        velmora::SetVelmoraMessageBoxHandler(m_oldBox);
        QDir::setCurrent(m_strOldDir);
        QFile::remove(ProfilePath());
    }

    QTemporaryDir m_start;
    QString m_strOldDir;
    QStringList m_messages;
    velmora::VelmoraMessageBoxHandler m_oldBox;
};

TEST_F(StartupAppTest, StartsWithSplashHomeAddressAndMaximisedWindow)
{
    std::ofstream(QDir(m_start.path()).filePath("Velmora.ini").toStdString())
        << "[HomeLocal]\nHomeAddressTop=Korvath/index.htm\n";

    CVelmoraApp app;  // captures the working directory
    EXPECT_EQ(CVelmoraApp::Instance(), &app);
    EXPECT_EQ(QString::fromStdString(g_szStartupDir), QDir(m_start.path()).canonicalPath());

    bool bSplashDuringBuild = false;
    app.SetMainFrameFactory([&] {
        bSplashDuringBuild = VisibleSplash() != nullptr;
        return new QMainWindow;
    });
    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(bSplashDuringBuild);
    ASSERT_NE(app.MainWindow(), nullptr);
    EXPECT_TRUE(app.MainWindow()->isVisible());
    EXPECT_TRUE(app.MainWindow()->windowState() & Qt::WindowMaximized);

    CSplashDlg* pSplash = VisibleSplash();
    ASSERT_NE(pSplash, nullptr);
    EXPECT_EQ(pSplash->size(), QSize(velmora::DluToPxX(293), velmora::DluToPxY(161)));
    velmora_test::SaveScreenshot(pSplash->grab().toImage(), "splash.png");

    // The splash stays over the main window for a while, then goes.
    ASSERT_TRUE(WaitFor([] { return VisibleSplash() == nullptr; }));

    const QString strExpected = QDir(m_start.path()).canonicalPath() + "/Korvath/index.htm";
    EXPECT_EQ(app.m_strHomeAddress, strExpected);
    EXPECT_EQ(QSettings(QStringLiteral("Velmora"), QStringLiteral("Velmora"))
                  .value(QStringLiteral("Home Page/Local"))
                  .toString(),
              strExpected);

    // The private folder for downloaded sounds exists and is ours alone.
    struct stat st {};
    ASSERT_EQ(::stat(CVelmoraApp::TempFolder().toLocal8Bit().constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(CVelmoraApp::TempFilePath(), CVelmoraApp::TempFolder() + "/tempFile");
    EXPECT_TRUE(CVelmoraApp::TempFolder().startsWith(qEnvironmentVariable("XDG_CACHE_HOME")));
    delete app.MainWindow();
}

// Closes a window, through its event loop, once it is shown.
class CCloseOnShow : public QObject {
public:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Show)
            QMetaObject::invokeMethod(pWatched, "close", Qt::QueuedConnection);
        return false;
    }
};

TEST_F(StartupAppTest, RunEndsWithTheMainWindowDestroyed)
{
    // The frame's destruction is what stops the connection thread, so Run
    // must destroy the main window before it returns.
    CVelmoraApp app;
    QPointer<QMainWindow> pWindow;
    // The window closes as soon as start-up has shown it, as a user would.
    CCloseOnShow closer;
    app.SetMainFrameFactory([&] {
        pWindow = new QMainWindow;
        pWindow->installEventFilter(&closer);
        return pWindow.data();
    });
    char szName[] = "velmora";
    char* argv[] = {szName, nullptr};
    EXPECT_EQ(app.Run(1, argv), 0);
    EXPECT_TRUE(pWindow.isNull());
    EXPECT_EQ(app.MainWindow(), nullptr);
}

TEST_F(StartupAppTest, NoMainWindowEndsStartUp)
{
    CVelmoraApp app;
    EXPECT_FALSE(app.InitInstance());  // no factory at all
    app.SetMainFrameFactory([]() -> QMainWindow* { return nullptr; });
    EXPECT_FALSE(app.InitInstance());
    app.SetMainFrameFactory([]() -> QMainWindow* { throw std::runtime_error("no bars"); });
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(m_messages.isEmpty());  // start-up fails without a message of its own
}

TEST_F(StartupAppTest, SaveHomeAddressStoresItOrSaysWhyNot)
{
    CVelmoraApp app;
    EXPECT_TRUE(app.SaveHomeAddress(QStringLiteral("www.example.test/home")));
    EXPECT_EQ(app.m_strHomeAddress, QStringLiteral("www.example.test/home"));
    EXPECT_EQ(QSettings(QStringLiteral("Velmora"), QStringLiteral("Velmora"))
                  .value(QStringLiteral("Home Page/Local"))
                  .toString(),
              QStringLiteral("www.example.test/home"));
    EXPECT_TRUE(m_messages.isEmpty());

    // A profile that cannot be written (a folder where its file should be).
    QFile::remove(ProfilePath());
    ASSERT_TRUE(QDir().mkpath(ProfilePath()));
    EXPECT_FALSE(app.SaveHomeAddress(QStringLiteral("lost.example")));
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("Error in setting the registry|0")});
    QDir(ProfilePath()).removeRecursively();
}

TEST_F(StartupAppTest, RecentFilesKeepFour)
{
    CVelmoraApp app;
    for (const char* szFile : {"/s/1.wav", "/s/2.wav", "/s/3.wav", "/s/4.wav", "/s/5.wav"})
        app.AddToRecentFileList(QString::fromLatin1(szFile));
    EXPECT_EQ(app.RecentFiles(), (QStringList{"/s/5.wav", "/s/4.wav", "/s/3.wav", "/s/2.wav"}));
}

TEST(SplashPicture, IsTheAgreedSize)
{
    const QImage picture = velmora::MakeSplashPicture();
    EXPECT_EQ(picture.size(), QSize(413, 235));
    velmora_test::SaveScreenshot(picture, "splash-picture.png");
}

} // namespace

TEST(VelmoraMessageBox, YesNoIsAnsweredOnlyByItsTwoButtons)
{
    const velmora::VelmoraMessageBoxHandler previous = velmora::SetVelmoraMessageBoxHandler({});  // the real box
    QObject context;
    int nButtons = 0;
    bool bUpAfterEscapeAndClose = false;
    testsupport::WhenModal<QMessageBox>(&context, [&](QMessageBox* pBox) {
        nButtons = int(pBox->buttons().size());
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(pBox, &escape);
        pBox->close();
        testsupport::DeliverPostedEvents();
        bUpAfterEscapeAndClose = pBox->isVisible();
        velmora_test::SaveScreenshot(pBox->grab().toImage(), "yes-no-box.png");
        pBox->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(VelmoraMessageBox(QStringLiteral("Do you wish to continue?"), velmora::MB_YESNO), velmora::IDNO);
    EXPECT_EQ(nButtons, 2);
    EXPECT_TRUE(bUpAfterEscapeAndClose);
    velmora::SetVelmoraMessageBoxHandler(previous);
}
