#pragma once
// The browser's application object: start-up (splash, home address, temporary
// folder, the main window) and the things the rest of the browser asks of it.
//
// main() of the browser:
//     CVelmoraApp app;                                  // captures g_szStartupDir
//     app.SetMainFrameFactory([] { return new CMainFrame; });
//     return app.Run(argc, argv);
//
// One per process, made and run on the main (UI) thread; it owns the main frame and the
// splash, and the QApplication it makes when none exists.
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

class QApplication;
class QMainWindow;
class QSettings;
class CSplashDlg;

// The working directory when the application object was constructed, before
// any window exists; read-only afterwards. Empty when it could not be read.
extern std::string g_szStartupDir;

class CVelmoraApp {
public:
    CVelmoraApp();
    ~CVelmoraApp();
    CVelmoraApp(const CVelmoraApp&) = delete;
    CVelmoraApp& operator=(const CVelmoraApp&) = delete;

    // The one application object (null before construction and after destruction).
    static CVelmoraApp* Instance();

    // Builds the main window during start-up; a null result ends the program.
    void SetMainFrameFactory(std::function<QMainWindow*()> factory);

    // Creates the QApplication when none exists yet, runs start-up and the event
    // loop; returns the exit code (1 when start-up failed).
    int Run(int argc, char** argv);

    // Start-up without the event loop: splash, home address, temporary folder,
    // main window shown maximised. False when the main window could not be made.
    bool InitInstance();

    // Stores strAddress as m_strHomeAddress and in the profile. On a write error
    // shows "Error in setting the registry" and returns false.
    bool SaveHomeAddress(const QString& strAddress);
    // Stores the current m_strHomeAddress.
    bool SaveHomeAddress();

    QMainWindow* MainWindow() const;

    // Private per-user folder for downloaded sounds (created 0700 at start-up)
    // and the one file in it that every hand-off overwrites.
    static QString TempFolder();
    static QString TempFilePath();

    // Most recent first, at most 4 entries, kept in the profile.
    void AddToRecentFileList(const QString& strPath);
    QStringList RecentFiles() const;

    QString m_strHomeAddress;

private:
    void CloseSplash();

    std::function<QMainWindow*()> m_mainFrameFactory;
    std::unique_ptr<QApplication> m_pOwnApp;  // only when Run made it
    QPointer<QMainWindow> m_pMainWnd;
    QPointer<CSplashDlg> m_pSplash;
};
