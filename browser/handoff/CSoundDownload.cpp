#include "browser/handoff/CSoundDownload.h"

#include "browser/handoff/CHandoffHost.h"
#include "browser/handoff/CPrivateTempFile.h"
#include "common/SoundDeclaredLength.h"
#include "common/SoundFormat.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStorageInfo>
#include <QTimer>
#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// The first bytes are held back until they show a sound: enough for every
// header the player recognises (the fixed-header format's is the longest).
constexpr qsizetype kProbeBytes = qsizetype(sonavel::format::kFixedHeaderBytes);

// What the worker thread shares with the waiting thread. Everything but the
// atomics is touched only by the worker while it runs; the counters and flags
// the waiting thread polls are atomics.
struct STransfer {
    STransfer(CPrivateTempFile& f, CURL* c, qint64 nLimit) : file(f), pCurl(c), nCap(nLimit) {}
    CPrivateTempFile& file;
    CURL* pCurl;
    const qint64 nCap;
    QByteArray head;         // the first bytes, until they are judged
    bool bJudged = false;
    qint64 nDeclared = -1;   // the length the sound's header declares
    qint64 nWritten = 0;
    bool bWriteFailed = false;
    bool bNotSound = false;
    bool bTooLarge = false;
    bool bEndReached = false;  // the declared length is on disk: no more is wanted
    std::atomic<qint64> nReceived{0};
    std::atomic<qint64> nTotal{-1};
    std::atomic<bool> bCancel{false};
    std::atomic<bool> bDone{false};
};

// Writes what fits under the declared length and the cap; false ends the transfer.
bool WriteBody(STransfer& t, const char* pData, qint64 nBytes)
{
    const qint64 nLimit = t.nDeclared >= 0 ? std::min(t.nDeclared, t.nCap) : t.nCap;
    const qint64 nTake = std::max<qint64>(0, std::min(nBytes, nLimit - t.nWritten));
    // Written as it arrives, in one call per piece (the file is unbuffered).
    if (nTake > 0 && !t.file.Write(pData, nTake)) {
        t.bWriteFailed = true;
        return false;
    }
    t.nWritten += nTake;
    if (t.nDeclared >= 0 && t.nWritten >= t.nDeclared) {
        t.bEndReached = true;
        return false;
    }
    if (nTake < nBytes) {
        t.bTooLarge = true;
        return false;
    }
    return true;
}

// Judges the held first bytes (nLength: the whole body's, when it is over) and
// writes them; false when they are no sound or the writing stopped.
bool JudgeHead(STransfer& t, int64_t nLength)
{
    t.bJudged = true;
    const auto* pHead = reinterpret_cast<const uint8_t*>(t.head.constData());
    if (sonavel::format::RecogniseSoundHeader(pHead, std::size_t(t.head.size()), nLength) ==
        sonavel::format::ESoundFormat::Unknown) {
        t.bNotSound = true;
        return false;
    }
    t.nDeclared = sonavel::format::DeclaredSoundLength(pHead, std::size_t(t.head.size()));
    const QByteArray head = std::exchange(t.head, QByteArray());
    return WriteBody(t, head.constData(), head.size());
}

size_t OnCurlWrite(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    auto& t = *static_cast<STransfer*>(pUser);
    const size_t nBytes = nSize * nCount;
    if (!t.bJudged && t.head.isEmpty() && t.nReceived == 0) {
        // An announced length beyond the cap is refused before anything is written.
        curl_off_t nAnnounced = -1;
        if (curl_easy_getinfo(t.pCurl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &nAnnounced) == CURLE_OK &&
            nAnnounced > t.nCap) {
            t.bTooLarge = true;
            return 0;
        }
    }
    t.nReceived += qint64(nBytes);
    if (t.bJudged)
        return WriteBody(t, pData, qint64(nBytes)) ? nBytes : 0;
    t.head.append(pData, qsizetype(nBytes));
    if (t.head.size() < kProbeBytes)
        return nBytes;
    return JudgeHead(t, -1) ? nBytes : 0;
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

qint64 CSoundDownload::CapFor(const QString& strFolder)
{
    const QStorageInfo storage(strFolder);
    if (!storage.isValid() || storage.bytesAvailable() < 0)
        return kMaxSoundBytes;  // a file system that does not say: the disk tells when it is full
    return std::max<qint64>(0, std::min(kMaxSoundBytes, storage.bytesAvailable() - kSpareBytes));
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
    m_nCap = m_nCapOverride >= 0 ? m_nCapOverride : CapFor(m_strWriteFolder);
    STransfer t(file, pCurl.get(), m_nCap);

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
    // A server that sends less than a trickle holds the window for nothing.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, long(m_nLowSpeedBytes));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(m_nLowSpeedSeconds));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnCurlWrite);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnCurlProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

    CURLcode nCode = CURLE_OK;
    QCoreApplication* pApp = QCoreApplication::instance();
    std::thread worker([&] {
        nCode = curl_easy_perform(c);
        // A body shorter than the first bytes' share is judged once it is over.
        if (nCode == CURLE_OK && !t.bJudged && !JudgeHead(t, t.head.size()) && !t.bEndReached && !t.bNotSound)
            nCode = CURLE_WRITE_ERROR;
        if (t.bEndReached)
            nCode = CURLE_OK;  // the sound is whole; the rest was not wanted
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
    if (t.bWriteFailed || (nCode == CURLE_OK && !t.bNotSound && !file.Commit())) {
        m_strWriteError = file.ErrorText();
        return EDownloadResult::WriteFailed;
    }
    if (t.bNotSound)
        return EDownloadResult::NotASound;
    if (t.bTooLarge)
        return EDownloadResult::TooLarge;
    long nStatus = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &nStatus);
    if (nCode == CURLE_OPERATION_TIMEDOUT && nStatus != 0)
        return EDownloadResult::TooSlow;  // the answer began, then trickled
    if (nCode != CURLE_OK)
        return EDownloadResult::Failed;
    return EDownloadResult::Complete;
}
