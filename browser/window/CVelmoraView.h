#pragma once
// The upper browser pane: the web view whose page hands sound links to the
// player (CAudioHandoff), and the commands of the main toolbar and menus.
#include "browser/handoff/CAudioHandoff.h"
#include "browser/handoff/CHandoffHost.h"

#include <QPointer>
#include <QPrinter>
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
    // bFromWebPage: see CAudioHandoff::OnBeforeNavigate2.
    void OnBeforeNavigate2(const QString& strUrl, bool* pbCancel, bool bFromWebPage = false);

    // Called once the frame is built: opens the home address, if there is one.
    void OnInitialUpdate();

    // Opens text as the address box would: a full URL, a bare host name or an
    // absolute local path. Empty text opens nothing.
    void Navigate(const QString& strTarget);
    void NavigateUrl(const QUrl& url);

    // Zoom level 0 (smallest text) to 4 (largest).
    void SetZoomLevel(int nLevel);
    int ZoomLevel() const { return m_nZoomLevel; }

    bool IsHandoffBusy() const { return m_handoff.IsBusy(); }
    bool UseDefaultPlayer() const { return m_handoff.m_bUseDefaultPlayer; }

    // Tests replace how the player is started (default: CPlayerLauncher).
    void SetPlayerStarter(std::function<bool(const QString&)> fnStart) { m_fnStartPlayer = std::move(fnStart); }

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
    // CHandoffHost
    int HandoffMessageBox(const QString& strText, int nButtons) override;
    bool StartPlayer(const QString& strTempPath) override;
    void ShowAddress(const QString& strUrl) override;
    QString TempFilePath() override;
    void OnDownloadSlow(const QString& strUrl) override;
    void OnDownloadProgress(qint64 nReceived, qint64 nTotal) override;
    bool IsDownloadCancelled() override;
    void OnDownloadEnded() override;

private:
    CMainFrame* Frame() const;
    QString HomeAddress() const;

    CVelmoraPage* m_pPage = nullptr;
    CAudioHandoff m_handoff{*this};
    std::function<bool(const QString&)> m_fnStartPlayer;
    QPointer<QProgressDialog> m_pProgress;
    QPrinter m_printer;
    bool m_bPrinting = false;
    bool m_bDownloadCancelled = false;
    int m_nZoomLevel = 2;
};
