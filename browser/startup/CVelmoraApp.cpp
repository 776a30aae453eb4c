#include "browser/startup/CVelmoraApp.h"

#include "browser/startup/CHomeAddressResolver.h"
#include "browser/startup/CRecentFileList.h"
#include "browser/startup/CSplashDlg.h"
#include "browser/startup/VelmoraResource.h"
#include "browser/startup/VelmoraMessages.h"
#include "browser/startup/VelmoraPaths.h"

#include <QApplication>
#include <QMainWindow>
#include <QSettings>
#include <QTimer>

#include <filesystem>
#include <system_error>

std::string g_szStartupDir;

namespace {

CVelmoraApp* s_pInstance = nullptr;

std::string CaptureWorkingDirectory()
{
    std::error_code error;
    const std::filesystem::path dir = std::filesystem::current_path(error);
    return error ? std::string() : dir.string();
}

QSettings* NewProfile()
{
    return new QSettings(QLatin1String(velmora::kProfileOrganization),
                         QLatin1String(velmora::kProfileApplication));
}

} // namespace

CVelmoraApp::CVelmoraApp()
{
    // Captured before any window exists: InitInstance returns here, the lower
    // pane looks for the site below it and the player is looked for in it.
    g_szStartupDir = CaptureWorkingDirectory();
    s_pInstance = this;
}

CVelmoraApp::~CVelmoraApp()
{
    delete m_pSplash;
    if (s_pInstance == this)
        s_pInstance = nullptr;
}

CVelmoraApp* CVelmoraApp::Instance()
{
    return s_pInstance;
}

void CVelmoraApp::SetMainFrameFactory(std::function<QMainWindow*()> factory)
{
    m_mainFrameFactory = std::move(factory);
}

QMainWindow* CVelmoraApp::MainWindow() const
{
    return m_pMainWnd;
}

int CVelmoraApp::Run(int argc, char** argv)
{
    // QApplication keeps a reference to argc: it must outlive the application.
    static int s_nArgc;
    s_nArgc = argc;
    if (!QCoreApplication::instance())
        m_pOwnApp = std::make_unique<QApplication>(s_nArgc, argv);
    QCoreApplication::setOrganizationName(QLatin1String(velmora::kProfileOrganization));
    QCoreApplication::setApplicationName(QLatin1String(velmora::kProfileApplication));

    int nResult = 1;
    if (InitInstance())
        nResult = QApplication::exec();
    // The frame's destruction stops the connection thread: do it while the
    // application still exists.
    delete m_pMainWnd;
    delete m_pSplash;
    m_pOwnApp.reset();
    return nResult;
}

bool CVelmoraApp::InitInstance()
{
    if (!m_pSplash)
        m_pSplash = new CSplashDlg();
    m_pSplash->ShowNow();

    // Any error here is swallowed: start-up goes on with the address as far as
    // it got (an empty one leaves the upper pane blank). The window must come
    // up whatever the profile, the settings file or the folder hold, and the
    // browser has no place yet to show a message in.
    try {
        if (!g_szStartupDir.empty()) {
            std::error_code error;
            std::filesystem::current_path(g_szStartupDir, error);
        }
        std::unique_ptr<QSettings> pProfile(NewProfile());
        CHomeAddressResolver resolver(*pProfile, QLatin1String(velmora::kDefaultHomeAddress));
        m_strHomeAddress = resolver.Resolve(g_szStartupDir);
    } catch (...) {
    }
    // The cache folder is made here only for the first download's sake: an
    // existing one is fine, and a failure is met again, with its message, when
    // a download needs the folder.
    try {
        velmora::EnsurePrivateFolder(TempFolder());
    } catch (...) {
    }

    if (!m_mainFrameFactory)
        return false;
    // A frame that cannot be built ends start-up as a missing one does: the
    // program closes with its splash, with its status, instead of an escaped
    // exception ending it without either.
    try {
        m_pMainWnd = m_mainFrameFactory();
    } catch (...) {
        m_pMainWnd = nullptr;
    }
    if (!m_pMainWnd)
        return false;  // the splash ends with the program

    m_pMainWnd->showMaximized();
    m_pMainWnd->repaint();
    // The splash stays on top of the new main window for a second, then goes.
    if (m_pSplash)
        m_pSplash->raise();
    QTimer::singleShot(velmora::kSplashCloseDelayMs, m_pSplash, [this] { CloseSplash(); });
    return true;
}

void CVelmoraApp::CloseSplash()
{
    if (m_pSplash) {
        m_pSplash->close();
        m_pSplash->deleteLater();
        m_pSplash = nullptr;
    }
}

bool CVelmoraApp::SaveHomeAddress(const QString& strAddress)
{
    m_strHomeAddress = strAddress;
    return SaveHomeAddress();
}

bool CVelmoraApp::SaveHomeAddress()
{
    bool bStored = false;
    try {
        std::unique_ptr<QSettings> pProfile(NewProfile());
        pProfile->setValue(QStringLiteral("%1/%2").arg(QLatin1String(velmora::kHomePageSection),
                                                       QLatin1String(velmora::kHomePageEntry)),
                           m_strHomeAddress);
        pProfile->sync();
        // A profile that cannot be written would lose the user's new address
        // without a word: that is reported like any other error.
        bStored = pProfile->status() == QSettings::NoError;
    } catch (...) {
        // Whatever the profile raised, the user learns the address was not kept.
        bStored = false;
    }
    if (!bStored)
        VelmoraMessageBox(QLatin1String(velmora::kErrorSettingRegistry), velmora::MB_OK);
    return bStored;
}

QString CVelmoraApp::TempFolder()
{
    return velmora::TempFolderPath();
}

QString CVelmoraApp::TempFilePath()
{
    return velmora::TempFilePath();
}

void CVelmoraApp::AddToRecentFileList(const QString& strPath)
{
    std::unique_ptr<QSettings> pProfile(NewProfile());
    CRecentFileList list(*pProfile, velmora::kRecentFileCount);
    list.ReadList();
    list.Add(strPath);
}

QStringList CVelmoraApp::RecentFiles() const
{
    std::unique_ptr<QSettings> pProfile(NewProfile());
    CRecentFileList list(*pProfile, velmora::kRecentFileCount);
    list.ReadList();
    return list.Entries();
}
