#pragma once
// The upper pane's page: every navigation, of the page itself or of a frame
// inside it, passes the view's hook before any request is sent.
#include <QPointer>
#include <QWebEnginePage>

class CVelmoraView;

class CVelmoraPage : public QWebEnginePage {
    Q_OBJECT
public:
    CVelmoraPage(QWebEngineProfile* pProfile, CVelmoraView* pView, bool bRelay = false);

    // True for the stand-in page made for target=_blank and window.open.
    bool IsRelay() const { return m_bRelay; }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool bIsMainFrame) override;
    // The browser has one window: a link meant for a new one is loaded in the
    // upper pane, through the same hook, by a stand-in page that hands it over.
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    QPointer<CVelmoraView> m_pView;
    bool m_bRelay;
};
