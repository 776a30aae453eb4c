// Sound files dropped on the main frame open as File, Open would open them.
#include "player/shell/CMainFrame.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

#include "player/shell/CSonavelProApp.h"

using namespace sonavel::shell;

namespace {

QStringList LocalFiles(const QMimeData* pData)
{
    QStringList files;
    if (pData && pData->hasUrls())
        for (const QUrl& url : pData->urls())
            if (url.isLocalFile())
                files.append(url.toLocalFile());
    return files;
}

} // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* pEvent)
{
    if (!LocalFiles(pEvent->mimeData()).isEmpty())
        pEvent->acceptProposedAction();
}

void CMainFrame::dragMoveEvent(QDragMoveEvent* pEvent)
{
    if (!LocalFiles(pEvent->mimeData()).isEmpty())
        pEvent->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* pEvent)
{
    QStringList files = LocalFiles(pEvent->mimeData());
    if (files.isEmpty())
        return;
    pEvent->acceptProposedAction();
    activateWindow();
    for (const QString& strPath : files)
        m_pApp->OpenDocumentFile(strPath);
}
