#include "browser/window/CVelmoraViewLower.h"

#include "browser/window/CVelmoraPage.h"

#include "browser/startup/CConnectionThread.h"
#include "browser/startup/CVelmoraApp.h"
#include "browser/startup/VelmoraResource.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

using namespace velmora;

CVelmoraViewLower::CVelmoraViewLower(QWidget* pParent) : QWebEngineView(pParent)
{
    setPage(new CVelmoraLowerPage(this));

    // The site folder under the start-up directory is searched; when that
    // folder is missing the start-up directory itself is. Paths are joined
    // rather than entered: the working directory is the whole process's, and
    // the connection thread is already running when the pane is built.
    const QString strStartup =
        g_szStartupDir.empty() ? QDir::currentPath() : QString::fromStdString(g_szStartupDir);
    QString strSite = QDir(strStartup).filePath(QString::fromLatin1(kLocalSiteFolder));
    if (!QFileInfo(strSite).isDir())
        strSite = strStartup;
    m_strLocalHome = FindEntryContaining(strSite, QString::fromLatin1(kLocalHomeText));
    m_strOnlineHome = QString::fromLatin1(kWebHost) + QString::fromLatin1(kOnlineHomePath);
}

QString CVelmoraViewLower::FindEntryContaining(const QString& strFolder, const QString& strText)
{
    const QDir folder(strFolder);
    if (strText.isEmpty() || !folder.exists())
        return QString();
    // Only the entry's own name is matched: a folder path that happens to contain
    // the text must not make every entry a match.
    QDirIterator it(strFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString strName = it.fileName();
        if (strName.contains(strText))
            return QDir::cleanPath(folder.absolutePath() + QLatin1Char('/') + strName);
    }
    return QString();
}

QUrl CVelmoraViewLower::TargetToUrl(const QString& strTarget)
{
    if (strTarget.isEmpty())
        return QUrl(QStringLiteral("about:blank"));
    if (QDir::isAbsolutePath(strTarget) && !strTarget.contains(QStringLiteral("://")))
        return QUrl::fromLocalFile(strTarget);
    return QUrl::fromUserInput(strTarget);
}

void CVelmoraViewLower::Navigate2(const QString& strTarget)
{
    load(TargetToUrl(strTarget));
}

void CVelmoraViewLower::NavigateHome()
{
    Navigate2(g_bConnected ? m_strOnlineHome : m_strLocalHome);
}

void CVelmoraViewLower::OnInitialUpdate()
{
    NavigateHome();
}

void CVelmoraViewLower::OnGoBack() { back(); }
void CVelmoraViewLower::OnGoForward() { forward(); }
void CVelmoraViewLower::OnGoRefresh() { reload(); }
void CVelmoraViewLower::OnGoStop() { stop(); }

bool CVelmoraViewLower::OnBeforeNavigate2(const QUrl&, QWebEnginePage::NavigationType, bool)
{
    return false;
}

QWebEngineView* CVelmoraViewLower::createWindow(QWebEnginePage::WebWindowType)
{
    return this;
}

CVelmoraLowerPage::CVelmoraLowerPage(CVelmoraViewLower* pView) : QWebEnginePage(pView), m_pView(pView)
{
    ApplyPageSafety(this);
}

bool CVelmoraLowerPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool bMainFrame)
{
    const bool bAccepted = !m_pView->OnBeforeNavigate2(url, type, bMainFrame);
    if (bAccepted && bMainFrame)
        FollowPageScripts(this, url);
    return bAccepted;
}
