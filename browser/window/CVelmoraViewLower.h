#pragma once
// The lower pane's browser: shows the program's own home page, from the local
// copy of the site ("Korvath" under the start-up directory) or, once the
// connection check succeeded, from the maker's web site. It navigates freely but
// never hands sound links to the player and never touches the address box.
//
// Lives on the UI thread; its Qt parent owns it, and it owns the widgets it makes. The
// view owns its page.
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

class CVelmoraViewLower : public QWebEngineView {
    Q_OBJECT
public:
    // Finds the local home page once: the first entry of the site folder whose
    // name contains "index.htm". The working directory is left alone.
    explicit CVelmoraViewLower(QWidget* pParent = nullptr);

    // Navigates to the home page (errors of the navigation are the engine's).
    void OnInitialUpdate();
    // Online page while g_bConnected is set, the local one otherwise; the flag
    // is read at each call.
    void NavigateHome();

    // Lower toolbar commands.
    void OnGoBack();
    void OnGoForward();
    void OnGoRefresh();
    void OnGoStop();
    void OnGoHome() { NavigateHome(); }

    // Every navigation goes on unchanged; returns the cancel flag (always false).
    bool OnBeforeNavigate2(const QUrl& url, QWebEnginePage::NavigationType type, bool bMainFrame);

    // Starts loading a full URL, a bare host name or an absolute local path;
    // the empty text shows a blank page.
    void Navigate2(const QString& strTarget);

    // Full path of the first entry of strFolder (in listing order, folders too)
    // whose name contains strText; empty when none does or the folder cannot be
    // listed.
    static QString FindEntryContaining(const QString& strFolder, const QString& strText);

    // The URL a navigation target stands for.
    static QUrl TargetToUrl(const QString& strTarget);

    QString m_strLocalHome;
    QString m_strOnlineHome;

protected:
    // Links that ask for a new window open in this pane.
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType type) override;
};

// The lower pane's page: its navigation hook asks the view, which lets all pass.
class CVelmoraLowerPage : public QWebEnginePage {
    Q_OBJECT
public:
    CVelmoraLowerPage(CVelmoraViewLower* pView);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool bMainFrame) override;

private:
    CVelmoraViewLower* m_pView;
};
