#include "browser/window/CVelmoraPage.h"

#include "browser/window/CLocalReadGuard.h"
#include "browser/window/CVelmoraView.h"

#include <QTimer>
#include <QWebEngineSettings>

using namespace velmora;

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
    QObject::connect(pPage, &QWebEnginePage::loadFinished, pPage, [pPage] { FollowPageScripts(pPage, pPage->url()); });
}

void FollowPageScripts(QWebEnginePage* pPage, const QUrl& url)
{
    // A script of a page on this computer could read the pictures, styles and
    // sounds beside it (the engine has no way to taint them for it), and a
    // peer connection, which passes no request filter, would take them to the
    // web. The engine offers no finer switch than this one.
    pPage->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, !url.isLocalFile());
}

CVelmoraPage::CVelmoraPage(QWebEngineProfile* pProfile, CVelmoraView* pView)
    : CVelmoraPage(pProfile, pView, false, QUrl())
{
}

CVelmoraPage::CVelmoraPage(QWebEngineProfile* pProfile, CVelmoraView* pView, bool bRelay, const QUrl& opener)
    : QWebEnginePage(pProfile, pView), m_pView(pView), m_bRelay(bRelay), m_openerUrl(opener)
{
    ApplyPageSafety(this);
    if (m_bRelay)
        QTimer::singleShot(kRelayLifetimeMs, this, &QObject::deleteLater);
}

ENavigationSource CVelmoraPage::SourceOf(NavigationType type, bool bIsMainFrame, const QUrl& opener, QUrl* pPage) const
{
    switch (type) {
    case NavigationTypeTyped:  // the browser's own loads, or a pop-up's address
        if (opener.isEmpty())
            return ENavigationSource::Browser;
        *pPage = opener;
        break;
    case NavigationTypeBackForward:
    case NavigationTypeReload:
        return ENavigationSource::Browser;
    case NavigationTypeRedirect:
        // A server's answer or a page's own refresh: the main frame's comes
        // from where its navigation went; a frame's source is not known here,
        // so it counts as the page that holds the frame.
        *pPage = bIsMainFrame ? m_pendingUrl : url();
        break;
    default:  // links, scripts, forms and frames act for the page that holds them
        *pPage = url();
        break;
    }
    return pPage->isLocalFile() ? ENavigationSource::LocalPage : ENavigationSource::WebPage;
}

bool CVelmoraPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool bIsMainFrame)
{
    if (!m_pView)
        return false;
    if (m_bRelay)
        return RelayNavigation(url);
    QUrl opener;
    const bool bUserAsked = m_pView->IsUsersNavigation(type, bIsMainFrame, &opener);
    QUrl sourcePage;
    const ENavigationSource source = SourceOf(type, bIsMainFrame, opener, &sourcePage);
    // A page on this computer keeps its frames on this computer, and never
    // makes itself a page of another kind (blob:, data:, a page it wrote); the
    // web it reaches only through the hook, which asks the user first.
    if (source == ENavigationSource::LocalPage && !url.isLocalFile() && (!bIsMainFrame || !IsWebAddress(url.toString())))
        return false;
    bool bCancel = false;
    m_pView->OnBeforeNavigate2(url.toString(), &bCancel, source, bUserAsked, sourcePage.toString());
    if (bIsMainFrame && !bCancel) {
        m_pendingUrl = url;
        FollowPageScripts(this, url);
    }
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
                          (strScheme == QLatin1String("file") && m_openerUrl.isLocalFile());
    if (bAllowed) {
        // The upper pane loads it for the opener; its own page then runs the
        // hook exactly once.
        QPointer<CVelmoraView> pView = m_pView;
        const QUrl target = url;
        const QUrl opener = m_openerUrl;
        // Whether the user asked is known now, not once the load starts.
        const bool bUserAsked = pView->HasUserActivation();
        // Queued: the engine is still inside this page's request.
        QTimer::singleShot(0, pView, [pView, target, bUserAsked, opener] {
            if (pView)
                pView->NavigateForPage(target, bUserAsked, opener);
        });
    }
    deleteLater();
    return false;
}

QWebEnginePage* CVelmoraPage::createWindow(WebWindowType)
{
    if (!m_pView)
        return nullptr;
    return new CVelmoraPage(profile(), m_pView, true, url());
}
