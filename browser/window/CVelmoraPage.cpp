#include "browser/window/CVelmoraPage.h"

#include "browser/window/CLocalReadGuard.h"
#include "browser/window/CVelmoraView.h"

#include <QTimer>
#include <QWebEngineSettings>

namespace {
// A stand-in page that never receives a navigation (window.open() with no
// address) is dropped after this long.
constexpr int kRelayLifetimeMs = 30000;
}  // namespace

void ApplyPageSafety(QWebEnginePage* pPage)
{
    // A local page reads no file but what shows it (CLocalReadGuard), and no
    // web resource: whatever it read could not leave but by a navigation.
    pPage->setUrlRequestInterceptor(new CLocalReadGuard(pPage));
    pPage->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    // New windows only on the user's click or key press.
    pPage->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
}

CVelmoraPage::CVelmoraPage(QWebEngineProfile* pProfile, CVelmoraView* pView)
    : CVelmoraPage(pProfile, pView, false, false)
{
}

CVelmoraPage::CVelmoraPage(QWebEngineProfile* pProfile, CVelmoraView* pView, bool bRelay, bool bOpenerLocal)
    : QWebEnginePage(pProfile, pView), m_pView(pView), m_bRelay(bRelay), m_bOpenerLocal(bOpenerLocal)
{
    ApplyPageSafety(this);
    if (m_bRelay)
        QTimer::singleShot(kRelayLifetimeMs, this, &QObject::deleteLater);
}

bool CVelmoraPage::IsFromWebPage(NavigationType type, bool bIsMainFrame) const
{
    switch (type) {
    case NavigationTypeTyped:  // the browser's own loads: address box, Home, favourites, File Open
    case NavigationTypeBackForward:
    case NavigationTypeReload:
        return false;
    case NavigationTypeRedirect:
        // A server's answer, or a local page's own refresh; a frame's source
        // is not known here, so it counts as the web.
        return !(bIsMainFrame && m_pendingUrl.isLocalFile());
    default:  // links, scripts, forms and frames act for the page that holds them
        return !url().isLocalFile();
    }
}

bool CVelmoraPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool bIsMainFrame)
{
    if (!m_pView)
        return false;
    if (m_bRelay)
        return RelayNavigation(url);
    bool bCancel = false;
    const bool bUserAsked = m_pView->IsUsersNavigation(type, bIsMainFrame);
    m_pView->OnBeforeNavigate2(url.toString(), &bCancel, IsFromWebPage(type, bIsMainFrame), bUserAsked);
    if (bIsMainFrame && !bCancel)
        m_pendingUrl = url;
    return !bCancel;
}

bool CVelmoraPage::RelayNavigation(const QUrl& url)
{
    if (url.isEmpty() || url == QUrl(QStringLiteral("about:blank")))
        return false;  // window.open() with no address yet: wait for one
    // What a page may not open at the top level (data:, view-source:, a local
    // file from a web page, ...) is dropped here, since the upper pane's load
    // below is the browser's own and the engine would not check it.
    const QString strScheme = url.scheme().toLower();
    const bool bAllowed = strScheme == QLatin1String("http") || strScheme == QLatin1String("https") ||
                          (strScheme == QLatin1String("file") && m_bOpenerLocal);
    if (bAllowed) {
        // The upper pane loads it; its own page then runs the hook exactly once.
        QPointer<CVelmoraView> pView = m_pView;
        const QUrl target = url;
        // Whether the user asked is known now, not once the load starts.
        const bool bUserAsked = pView->HasUserActivation();
        // Queued: the engine is still inside this page's request.
        QTimer::singleShot(0, pView, [pView, target, bUserAsked] {
            if (pView)
                pView->NavigateForPage(target, bUserAsked);
        });
    }
    deleteLater();
    return false;
}

QWebEnginePage* CVelmoraPage::createWindow(WebWindowType)
{
    if (!m_pView)
        return nullptr;
    return new CVelmoraPage(profile(), m_pView, true, url().isLocalFile());
}
