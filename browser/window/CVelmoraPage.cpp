#include "browser/window/CVelmoraPage.h"

#include "browser/window/CVelmoraView.h"

#include <QTimer>

namespace {
// A stand-in page that never receives a navigation (window.open() with no
// address) is dropped after this long.
constexpr int kRelayLifetimeMs = 30000;
}  // namespace

CVelmoraPage::CVelmoraPage(QWebEngineProfile* pProfile, CVelmoraView* pView, bool bRelay)
    : QWebEnginePage(pProfile, pView), m_pView(pView), m_bRelay(bRelay)
{
    if (m_bRelay)
        QTimer::singleShot(kRelayLifetimeMs, this, &QObject::deleteLater);
}

bool CVelmoraPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool bIsMainFrame)
{
    if (!m_pView)
        return false;
    if (m_bRelay) {
        // The upper pane loads it; its own page then runs the hook exactly once.
        if (!url.isEmpty() && url != QUrl(QStringLiteral("about:blank"))) {
            QPointer<CVelmoraView> pView = m_pView;
            const QUrl target = url;
            // Queued: the engine is still inside this page's request.
            QTimer::singleShot(0, pView, [pView, target] {
                if (pView)
                    pView->NavigateUrl(target);
            });
            deleteLater();
        }
        return false;
    }
    Q_UNUSED(type);
    Q_UNUSED(bIsMainFrame);
    bool bCancel = false;
    m_pView->OnBeforeNavigate2(url.toString(), &bCancel);
    return !bCancel;
}

QWebEnginePage* CVelmoraPage::createWindow(WebWindowType)
{
    if (!m_pView)
        return nullptr;
    return new CVelmoraPage(profile(), m_pView, true);
}
