#pragma once
// The upper browser pane: the web view whose page hands sound links to the
// player (CAudioHandoff), and the commands of the main toolbar and menus.
//
// Lives on the UI thread; its Qt parent owns it, and it owns the widgets it makes. It
// owns its page and its hand-off.
#include "browser/handoff/CAudioHandoff.h"
#include "browser/handoff/CHandoffHost.h"

#include <QPointer>
#include <QElapsedTimer>
#include <QPrinter>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>
#include <memory>

class CMainFrame;
class CVelmoraPage;
class QProgressDialog;

class CVelmoraView : public QWebEngineView, public CHandoffHost {
    Q_OBJECT
public:
    explicit CVelmoraView(QWidget* pParent = nullptr);
    ~CVelmoraView() override;

    // The navigation hook of the page: hands sound links to the player, then
    // shows the URL in the frame's address box. *pbCancel arrives false.
    // source, bUserAsked, strPageUrl: see CAudioHandoff::OnBeforeNavigate2.
    void OnBeforeNavigate2(const QString& strUrl, bool* pbCancel,
                           velmora::ENavigationSource source = velmora::ENavigationSource::Browser,
                           bool bUserAsked = true, const QString& strPageUrl = QString());

    // Whether the user asked for a navigation of this type: the browser's own
    // loads (address box, Home, favourites, File Open; not a pop-up handed over
    // without the user), the main frame's Back, Forward and Refresh, and
    // anything else within kActivationMs of a mouse press or key press in the
    // view. Called once per navigation, in order. *pOpener (when given): for a
    // load made for a page (NavigateForPage), that page; else empty.
    bool IsUsersNavigation(QWebEnginePage::NavigationType type, bool bIsMainFrame, QUrl* pOpener = nullptr);
    // A mouse press or key press in the view (a frame's included) lies less
    // than kActivationMs back and has not yet been spent on a sound.
    bool HasUserActivation() const;
    static constexpr qint64 kActivationMs = 5000;

    // Called once the frame is built: opens the home address, if there is one.
    void OnInitialUpdate();

    // Opens text as the address box would: a full URL, a bare host name or an
    // absolute local path. Empty text opens nothing.
    void Navigate(const QString& strTarget);
    void NavigateUrl(const QUrl& url);
    // Loads what the page at opener opened in a new window; bUserAsked: the
    // page had the user's activation when it asked.
    void NavigateForPage(const QUrl& url, bool bUserAsked, const QUrl& opener);
    // Opens a favourite or the home address (see StoredAddressUrl); anything
    // else is not opened and the status bar says so. False when not opened.
    bool NavigateStored(const QString& strAddress);

    // Zoom level 0 (smallest text) to 4 (largest).
    void SetZoomLevel(int nLevel);
    int ZoomLevel() const { return m_nZoomLevel; }

    bool IsHandoffBusy() const { return m_handoff.IsBusy(); }

    // Tests replace how the player is started (default: CPlayerLauncher); the
    // function gets the player's arguments, the sound file first.
    void SetPlayerStarter(std::function<bool(const QStringList&)> fnStart) { m_fnStartPlayer = std::move(fnStart); }

    QPrinter& Printer() { return m_printer; }
    // Prints the page shown on the view's printer (set up by Print or Print
    // Setup); false while an earlier print is still running.
    bool PrintPage();

public slots:
    void OnGoBack();
    void OnGoForward();
    void OnGoStop();
    void OnGoRefresh();
    void OnGoHome();
    void OnGoSearch();
    void OnFilePrint();
    void OnFilePageSetup();
    void OnFileOpen();
    void OnOptionsPreferences();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

    // CHandoffHost
    int HandoffMessageBox(const QString& strText, int nButtons) override;
    bool StartPlayer(const QStringList& arguments) override;
    void ShowAddress(const QString& strUrl) override;
    QString TempFilePath() override;
    void OnDownloadSlow(const QString& strUrl) override;
    void OnDownloadProgress(qint64 nReceived, qint64 nTotal) override;
    bool IsDownloadCancelled() override;
    void OnDownloadEnded() override;
    void OnSoundRefused(const QString& strUrl, ESoundRefusal reason) override;
    // Asks the user (COpenAddressDlg, window-modal) and opens the address as
    // the browser's own load on Open.
    void OnWebAddressFromLocalPage(const QString& strUrl) override;

private:
    CMainFrame* Frame() const;
    QString HomeAddress() const;
    void ShowPrompt(const QString& strText);

    CVelmoraPage* m_pPage = nullptr;
    CAudioHandoff m_handoff{*this};
    std::function<bool(const QStringList&)> m_fnStartPlayer;
    QPointer<QProgressDialog> m_pProgress;
    QPrinter m_printer;
    bool m_bPrinting = false;
    bool m_bDownloadCancelled = false;
    int m_nZoomLevel = 2;
    QElapsedTimer m_lastInput;     // invalid: no input yet, or spent on a sound
    bool m_bNextLoadUsers = true;  // whether the next load() is the user's
    QUrl m_nextLoadOpener;         // the page the next load() is made for, if any
    bool m_bAskingToOpen = false;  // a COpenAddressDlg question is on its way or open
};
