#include "browser/handoff/CSoundDownload.h"

#include "browser/handoff/CHandoffHost.h"
#include "browser/handoff/CPrivateTempFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>

#include <curl/curl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// What the worker thread shares with the waiting thread. The file and
// bWriteFailed are touched only by the worker while it runs; the counters and
// flags the waiting thread polls are atomics.
struct STransfer {
    explicit STransfer(CPrivateTempFile& f) : file(f) {}
    CPrivateTempFile& file;
    bool bWriteFailed = false;
    std::atomic<qint64> nReceived{0};
    std::atomic<qint64> nTotal{-1};
    std::atomic<bool> bCancel{false};
    std::atomic<bool> bDone{false};
};

size_t OnCurlWrite(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    auto& t = *static_cast<STransfer*>(pUser);
    const size_t nBytes = nSize * nCount;
    // Written as it arrives, in one call per piece libcurl hands over (the
    // file is unbuffered): the file always holds everything received so far.
    if (!t.file.Write(pData, qint64(nBytes))) {
        t.bWriteFailed = true;
        return 0;
    }
    t.nReceived += qint64(nBytes);
    return nBytes;
}

int OnCurlProgress(void* pUser, curl_off_t nTotal, curl_off_t, curl_off_t, curl_off_t)
{
    auto& t = *static_cast<STransfer*>(pUser);
    if (nTotal > 0)
        t.nTotal = qint64(nTotal);
    return t.bCancel ? 1 : 0;  // non-zero aborts the transfer
}

// The easy handle is the session: closed on every way out of the transfer.
struct SCurlDeleter {
    void operator()(CURL* p) const { curl_easy_cleanup(p); }
};
struct SListDeleter {
    void operator()(curl_slist* p) const { curl_slist_free_all(p); }
};

void InitCurlOnce()
{
    static std::once_flag s_once;
    std::call_once(s_once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

CSoundDownload::CSoundDownload(CHandoffHost& host, const QString& strUrl, const QString& strPath)
    : m_host(host), m_strUrl(strUrl), m_strPath(strPath)
{
}

EDownloadResult CSoundDownload::Run()
{
    InitCurlOnce();
    std::unique_ptr<CURL, SCurlDeleter> pCurl(curl_easy_init());
    if (!pCurl)
        return EDownloadResult::Failed;
    // The file is made before the network is asked, so a folder that cannot
    // take the sound costs no transfer.
    CPrivateTempFile file(m_strPath);
    m_strWriteFolder = file.Folder();
    if (!file.Create()) {
        m_strWriteError = file.ErrorText();
        return EDownloadResult::WriteFailed;
    }
    STransfer t(file);

    const QByteArray url = QUrl(m_strUrl, QUrl::TolerantMode).toEncoded();
    // Always fetched from the server: no connection reuse, and any cache on the
    // way is told to revalidate.
    std::unique_ptr<curl_slist, SListDeleter> pHeaders(
        curl_slist_append(curl_slist_append(nullptr, "Cache-Control: no-cache"), "Pragma: no-cache"));
    CURL* c = pCurl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, pHeaders.get());
    curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 20L);
    // Only web addresses: a link must never make the browser read a local file
    // or talk another protocol on the user's behalf.
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);  // an error page is not a sound
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Velmora/1.0");
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L);
    // A connection that stalls for a minute is broken, even if nobody cancels.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnCurlWrite);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnCurlProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

    CURLcode nCode = CURLE_OK;
    QCoreApplication* pApp = QCoreApplication::instance();
    std::thread worker([&] {
        nCode = curl_easy_perform(c);
        t.bDone = true;
        if (pApp)  // wakes the waiting loop at once
            QMetaObject::invokeMethod(pApp, [] {}, Qt::QueuedConnection);
    });

    if (pApp) {
        // Timers and the engine keep running; the user's input waits until the
        // hook returns, and the progress dialog (modal) takes it after a second.
        QEventLoop loop;
        QTimer tick;
        tick.start(50);
        QElapsedTimer elapsed;
        elapsed.start();
        bool bShown = false;
        while (!t.bDone) {
            loop.processEvents(QEventLoop::WaitForMoreEvents |
                               (bShown ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents));
            if (!bShown && !t.bDone && elapsed.elapsed() >= kSlowDownloadMs) {
                m_host.OnDownloadSlow(m_strUrl);
                bShown = true;
            }
            if (bShown) {
                m_host.OnDownloadProgress(t.nReceived, t.nTotal);
                if (m_host.IsDownloadCancelled())
                    t.bCancel = true;
            }
        }
        worker.join();
        if (bShown)
            m_host.OnDownloadEnded();
    } else {
        worker.join();
    }

    // Whatever is not committed is removed with the file object: a partial
    // sound never reaches the player, and the old one stays in place.
    if (t.bCancel)  // pressed Cancel: nothing is played, even if the last byte just came
        return EDownloadResult::Cancelled;
    if (t.bWriteFailed || (nCode == CURLE_OK && !file.Commit())) {
        m_strWriteError = file.ErrorText();
        return EDownloadResult::WriteFailed;
    }
    if (nCode != CURLE_OK)
        return EDownloadResult::Failed;
    return EDownloadResult::Complete;
}
