#pragma once
// The upper pane's page: every navigation, of the page itself or of a frame
// inside it, passes the view's hook before any request is sent, told whether a
// web page asked for it and whether the user did. A page counts as a web page
// unless it is itself a local file; a redirect comes from where the navigation
// it redirects went.
#include <QPointer>
#include <QWebEnginePage>

class CVelmoraView;

// What both panes' pages may do: a local page reads no other file and no web
// address, and a page opens a new window only on the user's click.
void ApplyPageSafety(QWebEnginePage* pPage);

class CVelmoraPage : public QWebEnginePage {
    Q_OBJECT
public:
    CVelmoraPage(QWebEngineProfile* pProfile, CVelmoraView* pView);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool bIsMainFrame) override;
    // The browser has one window: a link meant for a new one is loaded in the
    // upper pane, through the same hook, by a stand-in page that hands it over.
    // The stand-in keeps the engine's rules for pages: only web addresses are
    // handed over, and local files only when the opening page is local too.
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    CVelmoraPage(QWebEngineProfile* pProfile, CVelmoraView* pView, bool bRelay, bool bOpenerLocal);
    bool RelayNavigation(const QUrl& url);
    bool IsFromWebPage(NavigationType type, bool bIsMainFrame) const;

    QPointer<CVelmoraView> m_pView;
    bool m_bRelay = false;
    bool m_bOpenerLocal = false;
    QUrl m_pendingUrl;  // the last main-frame navigation let through
};
