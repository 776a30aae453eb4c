#pragma once
// The player's application object: holds the loaded sound, runs every open,
// starts the playbacks and owns the main bar.
//
// One per process, on the UI thread; it owns the main frame, the held sound's block and
// the playback.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

#include "player/analysis/window/CSpanPlayer.h"
#include "player/audio/CDocumentHost.h"
#include "player/shell/CRecentFileList.h"
#include "player/shell/CWaveWnd.h"
#include "player/audio/SampleStore.h"
#include "player/shell/SelectOption.h"

class CMainFrame;
class CMeasureView;

class CSonavelProApp : public QObject, public CDocumentHost, public CSpanPlayer {
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
    // empty path when there is none) and shows the bar. FILE --select S,E
    // opens the measuring view on that span and plays only the span; FILE
    // --channel N opens channel N; FILE --name NAME shows the sound by NAME;
    // FILE --textgrid TG opens the measuring view with that TextGrid (any of
    // the four, in any order).
    bool InitInstance(const QStringList& arguments);

    // Every way of opening ends here: empties the store, greys the commands,
    // loads channel nChannel of the file (1 for the first) and plays it. True
    // when a reader took the file.
    bool OpenDocumentFile(const QString& strPath, int nChannel = 1);

    // Loads another channel of the file open now, for the measuring view's
    // choice: the sound is replaced without playing it and the view keeps what
    // it shows. A failure keeps the sound and shows the open's message.
    void OnChannelChosen(int nChannel);
    // The loaded file's channel count and the channel held (0 and 1 before a load).
    int Channels() const { return m_nChannels; }
    int Channel() const { return m_nChannel; }

    void OnDocumentLoaded(const SampleStore& store, const sonavel::audio::CLoadResult& result) override;
    // A failed open: the beep, then the box, as the result asks.
    void OnDocumentFailed(const sonavel::audio::CLoadResult& result) override;

    // Commands. Play starts the sound from its start, in place of whatever
    // plays: the player plays one sound at a time.
    void OnAppAbout();
    void OnPlay();
    void OnStop() { StopPlayback(); }
    void OnAnalysis();
    void OnMeasure();
    void OnFileNew();
    void OnFileOpen();
    void OnOpenRecentFile(int nIndex);
    bool IsCommandEnabled(int nId) const;

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    // The loaded sound's name as the bar and the view show it (empty while
    // none is loaded).
    QString SoundName() const { return m_bLoaded ? ViewName() : QString(); }
    // The measuring view while it is open (null otherwise). While it is open
    // the player stays when another application is activated.
    CMeasureView* MeasureView() const;

    // The measuring view's playback of the sound it shows.
    bool PlaySpan(int64_t nFirst, int64_t nEnd) override;
    void StopSpan() override;
    void StopPlayback() override;
    int64_t PlayingSample() const override;
    // True while a playback (the bar's or the view's) is in the device.
    bool IsPlaying() const;
    CRecentFileList& RecentFiles() { return m_recentFiles; }

    SampleStore m_store;
    int m_bLoaded = 0;

signals:
    void LoadedChanged();
    // A playback started or ended (Stop greys and ungreys).
    void PlayingChanged();
    void RecentFilesChanged();

private:
    // Plays [nStart, nEnd) of store after stopping what plays; bSpan for the view's.
    CWaveWnd::EPlayResult StartPlayback(const SampleStore& store, int32_t nStart, int32_t nEnd, bool bSpan);
    void SetLoaded(int bLoaded);
    CMeasureView* OpenMeasureView();
    // Opens the sound's TextGrid (--textgrid's, or the one beside it) in the view.
    // The measuring view (open) shows the sound the player holds, with its TextGrid.
    void ShowSoundInView();
    void OpenTextGridInView();
    // take7.TextGrid beside take7.wav, unless the sound is the browser's copy
    // in its cache folder (a name there says nothing of the sound).
    QString TextGridBesideSound() const;
    // Opens the view on the span --select asked for and plays it; for a span
    // the sound cannot hold, on the whole sound with a note saying why.
    void PlaySelectedSpan();
    // Says on stderr why --select is not followed; returns the view's note.
    std::string SelectRefused(const std::string& strWhy) const;
    // The name the measuring view gives the sound: the file's, with its
    // channel when it has several.
    QString ViewName() const;
    // Whether the loaded sound is the browser's copy in its cache folder.
    bool IsBrowserCopy() const;
    // What is said of a sound loaded from a file shorter than its header
    // declares ("the download ended at 5.0 s of the 10.0 s the file
    // declares"); empty for a whole one.
    QString ShortFileNote(const sonavel::audio::CLoadResult& result) const;

    std::unique_ptr<CMainFrame> m_pMainFrame;
    CRecentFileList m_recentFiles;
    QString m_strOpening;
    bool m_bFileTaken = false;
    QString m_strLoadedName;       // the file name of the loaded sound
    QString m_strLoadedPath;       // its path, as it was opened
    QString m_strShortNote;        // the loaded file ends before its header says (ShortFileNote)
    int m_nChannels = 0;           // the loaded file's channels
    int m_nChannel = 1;            // the one in m_store
    bool m_bReloading = false;     // OnChannelChosen's load runs
    QPointer<CMeasureView> m_pMeasureView;
    SampleStore m_measureStore;    // the sound the view shows (and plays)
    QPointer<CWaveWnd> m_pWave;     // the one playback, while it is in the device
    bool m_bWaveIsSpan = false;     // m_pWave plays the view's span
    bool m_bSelect = false;         // the first open came with --select
    sonavel::shell::SelectSpan m_select;
    std::string m_strSelectValue;   // --select's value as given
    std::string m_strSelectRefusal; // the note when that value could not be read
    QString m_strGivenName;         // --name, made safe, for the first open
    QString m_strGivenTextGrid;     // --textgrid, for the first open
    QString m_strTextGrid;          // the TextGrid the loaded sound's view opens with
};
