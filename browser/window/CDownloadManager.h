#pragma once
// What the engine itself downloads (a page's <a download>, an attachment, a
// type it cannot show): each request is saved only where the user says, once
// the user agrees. Nothing is written before the answer and Cancel writes
// nothing. What became of a request is told through the prompt callback.
//
// UI thread only; the frame owns it as a Qt child. The engine's downloads stay the
// engine's.
#include <QObject>

#include <functional>

class QWebEngineDownloadRequest;
class QWebEngineProfile;
class QWidget;

class CDownloadManager : public QObject {
    Q_OBJECT
public:
    using PromptFn = std::function<void(const QString&)>;

    // Takes the downloads of profile; the Save As dialog is modal to pWindow.
    CDownloadManager(QWebEngineProfile* pProfile, QWidget* pWindow, PromptFn prompt);

private:
    void OnDownloadRequested(QWebEngineDownloadRequest* pDownload);
    void OnDownloadFinished(QWebEngineDownloadRequest* pDownload);

    QWidget* m_pWindow;
    PromptFn m_prompt;
};
