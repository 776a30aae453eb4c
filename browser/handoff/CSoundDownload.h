#pragma once
// One download of a sound link into the temporary file, with libcurl. The
// transfer runs on a worker thread while the calling (user-interface) thread
// waits in a local event loop that lets the web engine and timers run but holds
// back keyboard and mouse input; after about a second the host shows a progress
// display whose Cancel ends the transfer.
//
// Threads: Run() and every call into the host happen on the calling thread.
// The worker thread runs curl_easy_perform and its two callbacks, which write
// the file and update atomic counters and flags; the calling thread touches the
// file again only after joining the worker.
#include <QString>

class CHandoffHost;

enum class EDownloadResult {
    Complete,   // every byte is on disk and the file is closed
    Failed,     // no connection, HTTP error status, broken transfer, disk error
    Cancelled   // the user pressed Cancel
};

class CSoundDownload {
public:
    // Bytes asked of the network per write to the file.
    static constexpr int kPieceSize = 512;
    // A download running longer than this shows its progress.
    static constexpr int kSlowDownloadMs = 1000;

    CSoundDownload(CHandoffHost& host, const QString& strUrl, const QString& strPath);

    // Runs the transfer to its end. On Failed and Cancelled any partly written
    // file is deleted; a file that was never touched (the server could not be
    // reached) keeps its old content.
    EDownloadResult Run();

    // After Run: libcurl's result code and the last HTTP status, for diagnosis.
    int CurlCode() const { return m_nCurlCode; }
    long HttpStatus() const { return m_nHttpStatus; }

private:
    CHandoffHost& m_host;
    QString m_strUrl;
    QString m_strPath;
    int m_nCurlCode = 0;
    long m_nHttpStatus = 0;
};
