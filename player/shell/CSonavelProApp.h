#pragma once
// The player's application object: holds the loaded sound, runs every open,
// starts the playbacks and owns the main bar.
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

#include "player/audio/CDocumentHost.h"
#include "player/shell/CRecentFileList.h"
#include "player/audio/SampleStore.h"

class CMainFrame;

class CSonavelProApp : public QObject, public CDocumentHost {
    Q_OBJECT
public:
    CSonavelProApp();
    ~CSonavelProApp() override;

    // The single application object (null when none exists).
    static CSonavelProApp* Instance();

    // Shows the player's messages as message boxes and its beeps as the
    // system beep (the program; tests install recorders instead).
    static void InstallMessageHandlers();

    // Creates the main bar, opens the file named by the first argument (an
    // empty path when there is none) and shows the bar.
    bool InitInstance(const QStringList& arguments);

    // Every way of opening ends here: empties the store, greys the commands,
    // loads the file and plays it. True when a reader took the file.
    bool OpenDocumentFile(const QString& strPath);

    void OnDocumentLoaded(const SampleStore& store, const char* szReader) override;
    // A failed open: the beep, then the box, as the result asks.
    void OnDocumentFailed(const sonavel::audio::CLoadResult& result) override;

    // Commands.
    void OnAppAbout();
    void OnPlay();
    void OnAnalysis();
    void OnFileNew();
    void OnFileOpen();
    void OnOpenRecentFile(int nIndex);
    bool IsCommandEnabled(int nId) const;

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    CRecentFileList& RecentFiles() { return m_recentFiles; }

    SampleStore m_store;
    int m_bLoaded = 0;

signals:
    void LoadedChanged();
    void RecentFilesChanged();

private:
    int StartPlayback();
    void SetLoaded(int bLoaded);

    std::unique_ptr<CMainFrame> m_pMainFrame;
    CRecentFileList m_recentFiles;
    QString m_strOpening;
    bool m_bFileTaken = false;
};
