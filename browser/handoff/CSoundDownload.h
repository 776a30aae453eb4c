#pragma once
// One download of a sound link into the temporary file, with libcurl. The
// transfer runs on a worker thread while the calling (user-interface) thread
// waits in a local event loop that lets the web engine and timers run but holds
// back keyboard and mouse input; after about a second the host shows a progress
// display whose Cancel ends the transfer.
//
// Threads: Run() and every call into the host happen on the calling thread.
// The worker thread runs curl_easy_perform and its two callbacks, which write
// the private temporary file and update atomic counters and flags; the calling
// thread creates the file before the worker starts and commits it only after
// joining the worker, so the file is never used by both at once.
#include <QString>
#include <QtGlobal>

class CHandoffHost;

enum class EDownloadResult {
    Complete,     // the sound is on disk, the file closed and in its place
    Failed,       // no connection, HTTP error status, broken transfer
    WriteFailed,  // the sound could not be written (see WriteError)
    Cancelled,    // the user pressed Cancel
    NotASound,    // the first bytes are no sound the player recognises
    TooLarge,     // the announced length or the body passed the cap (Cap())
    TooSlow       // less than LowSpeedBytes a second for LowSpeedSeconds
};

class CSoundDownload {
public:
    // A download running longer than this shows its progress.
    static constexpr int kSlowDownloadMs = 1000;

    // The most any download may write: 4 GiB, or the folder's free space less
    // 64 MiB when that is smaller.
    static constexpr qint64 kMaxSoundBytes = qint64(4) << 30;
    static constexpr qint64 kSpareBytes = qint64(64) << 20;
    static qint64 CapFor(const QString& strFolder);

    CSoundDownload(CHandoffHost& host, const QString& strUrl, const QString& strPath);

    // Runs the transfer to its end. The body is a sound only when its first
    // bytes say so, and it ends where the sound's header says it ends, if it
    // says: what the server sends beyond is not wanted. The sound goes to a new
    // private file that replaces the one at strPath only when complete: on any
    // other result strPath keeps what it had and no partial file is left.
    EDownloadResult Run();

    // The cap of the last Run, in bytes.
    qint64 Cap() const { return m_nCap; }
    int LowSpeedBytes() const { return m_nLowSpeedBytes; }
    int LowSpeedSeconds() const { return m_nLowSpeedSeconds; }
    // Tests make the limits small: a cap in bytes (-1: the real one), and the
    // lowest speed a transfer may keep for the given time.
    void SetLimits(qint64 nCap, int nLowSpeedBytes, int nLowSpeedSeconds)
    {
        m_nCapOverride = nCap;
        m_nLowSpeedBytes = nLowSpeedBytes;
        m_nLowSpeedSeconds = nLowSpeedSeconds;
    }

    // After WriteFailed: the folder and why it could not be written.
    QString WriteFolder() const { return m_strWriteFolder; }
    QString WriteError() const { return m_strWriteError; }

private:
    CHandoffHost& m_host;
    QString m_strUrl;
    QString m_strPath;
    QString m_strWriteFolder;
    QString m_strWriteError;
    qint64 m_nCap = 0;
    qint64 m_nCapOverride = -1;
    int m_nLowSpeedBytes = 1024;
    int m_nLowSpeedSeconds = 30;
};
