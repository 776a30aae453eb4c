#pragma once
// The upper pane's page: every navigation, of the page itself or of a frame
// inside it, passes the view's hook before any request is sent, told who asked
// for it (the browser, a web page or a page on this computer, and which page)
// and whether the user did. A link, script, form or frame acts for the page
// that holds it; a redirect for the page whose navigation it redirects; a
// pop-up's address for the page that opened it.
//
// UI thread only; its view owns it.
#include "browser/handoff/CAudioHandoff.h"

#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>

class CVelmoraView;

// What both panes' pages may do: a local page reads no other file and no web
// address, runs no script, and a page opens a new window only on the user's
// click.
void ApplyPageSafety(QWebEnginePage* pPage);

// Scripts run on every page but a page on this computer: called with the
// address of each main-frame navigation let through, and again with the page's
// own once a load is over (a navigation that ended elsewhere, or nowhere).
void FollowPageScripts(QWebEnginePage* pPage, const QUrl& url);

class CVelmoraPage : public QWebEnginePage {
    Q_OBJECT
public:
    CVelmoraPage(QWebEngineProfile* pProfile, CVelmoraView* pView);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool bIsMainFrame) override;
    // The browser has one window: a link meant for a new one is loaded in the
    // upper pane, through the same hook, by a stand-in page that hands it over
    // as asked for by the page that opened it. The stand-in keeps the engine's
    // rules for pages: only web addresses are handed over, and local files only
    // when the opening page is local too.
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    CVelmoraPage(QWebEngineProfile* pProfile, CVelmoraView* pView, bool bRelay, const QUrl& opener);
    bool RelayNavigation(const QUrl& url);
    // Who asked for a navigation of this type; *pPage: the page that did.
    // opener: the page a pop-up's address is loaded for (empty for the
    // browser's own loads).
    velmora::ENavigationSource SourceOf(NavigationType type, bool bIsMainFrame, const QUrl& opener, QUrl* pPage) const;

    QPointer<CVelmoraView> m_pView;
    bool m_bRelay = false;
    QUrl m_openerUrl;   // a stand-in's: the page that opened the window
    QUrl m_pendingUrl;  // the last main-frame navigation let through
};
