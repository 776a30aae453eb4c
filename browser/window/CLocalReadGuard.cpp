#include "browser/window/CLocalReadGuard.h"

#include <QUrl>

bool CLocalReadGuard::IsAllowed(const QUrl& url, QWebEngineUrlRequestInfo::ResourceType type, const QUrl& firstParty)
{
    if (!url.isLocalFile() || type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame)
        return true;  // pages themselves pass the navigation hook; the web is the engine's
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
    if (!firstParty.isLocalFile())
        return false;
    const QString strFolder = firstParty.adjusted(QUrl::RemoveFilename | QUrl::RemoveQuery | QUrl::RemoveFragment).path();
    return url.host() == firstParty.host() && strFolder.endsWith(QLatin1Char('/')) && url.path().startsWith(strFolder);
}

void CLocalReadGuard::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    if (!IsAllowed(info.requestUrl(), info.resourceType(), info.firstPartyUrl()))
        info.block(true);
}
