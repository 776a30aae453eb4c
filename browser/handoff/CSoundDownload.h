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

class CHandoffHost;

enum class EDownloadResult {
    Complete,     // every byte is on disk, the file closed and in its place
    Failed,       // no connection, HTTP error status, broken transfer
    WriteFailed,  // the sound could not be written (see WriteError)
    Cancelled     // the user pressed Cancel
};

class CSoundDownload {
public:
    // A download running longer than this shows its progress.
    static constexpr int kSlowDownloadMs = 1000;

    CSoundDownload(CHandoffHost& host, const QString& strUrl, const QString& strPath);

    // Runs the transfer to its end. The sound goes to a new private file that
    // replaces the one at strPath only when complete: on any other result
    // strPath keeps what it had and no partial file is left.
    EDownloadResult Run();

    // After WriteFailed: the folder and why it could not be written.
    QString WriteFolder() const { return m_strWriteFolder; }
    QString WriteError() const { return m_strWriteError; }

private:
    CHandoffHost& m_host;
    QString m_strUrl;
    QString m_strPath;
    QString m_strWriteFolder;
    QString m_strWriteError;
};
