#include "browser/window/CDownloadManager.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

CDownloadManager::CDownloadManager(QWebEngineProfile* pProfile, QWidget* pWindow, PromptFn prompt)
    : QObject(pWindow), m_pWindow(pWindow), m_prompt(std::move(prompt))
{
    connect(pProfile, &QWebEngineProfile::downloadRequested, this, &CDownloadManager::OnDownloadRequested);
}

void CDownloadManager::OnDownloadRequested(QWebEngineDownloadRequest* pDownload)
{
    // The engine drops a request that is not accepted while this signal runs,
    // so the question is asked here, modally.
    if (pDownload->state() != QWebEngineDownloadRequest::DownloadRequested)
        return;
    QString strDir = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (strDir.isEmpty() || !QDir().mkpath(strDir))
        strDir = QDir::homePath();
    const QPointer<QWebEngineDownloadRequest> pGuard(pDownload);
    QFileDialog dialog(m_pWindow, tr("Save As"));
    dialog.setObjectName(QStringLiteral("SaveDownloadDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(strDir);
    dialog.selectFile(pDownload->downloadFileName());
    m_prompt(tr("Save %1?").arg(pDownload->downloadFileName()));
    const bool bAccepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (!pGuard)
        return;  // the page went away while the question was open
    if (!bAccepted) {
        m_prompt(tr("Not saved: %1").arg(pDownload->downloadFileName()));
        pDownload->cancel();
        return;
    }
    const QFileInfo target(dialog.selectedFiles().constFirst());
    pDownload->setDownloadDirectory(target.absolutePath());
    pDownload->setDownloadFileName(target.fileName());
    connect(pDownload, &QWebEngineDownloadRequest::isFinishedChanged, this,
            [this, pDownload] { OnDownloadFinished(pDownload); });
    pDownload->accept();
    m_prompt(tr("Saving %1...").arg(pDownload->downloadFileName()));
}

void CDownloadManager::OnDownloadFinished(QWebEngineDownloadRequest* pDownload)
{
    if (!pDownload->isFinished())
        return;
    const QString strPath = QDir(pDownload->downloadDirectory()).filePath(pDownload->downloadFileName());
    if (pDownload->state() == QWebEngineDownloadRequest::DownloadCompleted)
        m_prompt(tr("Saved %1").arg(QDir::toNativeSeparators(strPath)));
    else
        m_prompt(tr("Could not save %1: %2").arg(pDownload->downloadFileName(), pDownload->interruptReasonString()));
}
