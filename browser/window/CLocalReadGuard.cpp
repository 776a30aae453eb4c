#include "browser/window/CLocalReadGuard.h"

#include "browser/handoff/CAudioHandoff.h"

#include <QUrl>

bool CLocalReadGuard::IsAllowed(const QUrl& url, QWebEngineUrlRequestInfo::ResourceType type, const QUrl& firstParty)
{
    if (type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame)
        return true;  // pages themselves pass the navigation hook
    if (!url.isLocalFile()) {
        // The engine keeps a local page's requests off the web, but not its
        // web sockets; nothing it asks of another machine goes out here.
        const QString strScheme = url.scheme().toLower();
        return !firstParty.isLocalFile() || strScheme == QLatin1String("data") || strScheme == QLatin1String("blob");
    }
    switch (type) {
    case QWebEngineUrlRequestInfo::ResourceTypeStylesheet:
    case QWebEngineUrlRequestInfo::ResourceTypeScript:
    case QWebEngineUrlRequestInfo::ResourceTypeImage:
    case QWebEngineUrlRequestInfo::ResourceTypeFontResource:
    case QWebEngineUrlRequestInfo::ResourceTypeMedia:
    case QWebEngineUrlRequestInfo::ResourceTypeFavicon:
        break;
    default:
        return false;
    }
    if (!firstParty.isLocalFile() || url.host() != firstParty.host())
        return false;
    return velmora::IsInPageFolder(url.toLocalFile(), firstParty.toString());
}

void CLocalReadGuard::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    if (!IsAllowed(info.requestUrl(), info.resourceType(), info.firstPartyUrl()))
        info.block(true);
}
