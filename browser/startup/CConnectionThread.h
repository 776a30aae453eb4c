#pragma once
// The connection check: a worker thread with its own event loop, driven only by
// three thread messages. On WM_CHECK_CONNECTION it opens an FTP connection with
// an anonymous login to a public host; success sets g_bConnected. Every check
// ends the thread. The status window lives on the user-interface thread: the
// worker only queues text changes to it.
//
// Threads:
// - user-interface thread: construction, StartThread, SetFtpHost (before the
//   check is posted: the post hands the value over), StatusDialog, the status
//   window itself, the two signals, StopConnectionThread and destruction;
// - connection thread: run(), the three handlers and the FTP session, which
//   never leaves it; it reaches the status window only by queuing ShowStatus
//   and DestroyStatus work to the user-interface thread;
// - either thread: PostThreadMessage (guarded by m_mutex) and g_bConnected
//   (atomic: written by the connection thread, read by the lower pane).
//
// The frame owns the thread:
//     g_pConnectionThread = StartConnectionThread();          // construction
//     StopConnectionThread(g_pConnectionThread);               // destruction
//     g_pConnectionThread = nullptr;
#include <QEvent>
#include <QString>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class CConnectStatusDlg;
class CFtpSession;

// The thread messages keep their historic numbers (the user range 1024 + 500…),
// which also lie in Qt's range of user event types.
inline constexpr QEvent::Type WM_CHECK_CONNECTION = QEvent::Type(1524);
inline constexpr QEvent::Type WM_CONNECTION_NOOP = QEvent::Type(1525);
inline constexpr QEvent::Type WM_STOP_CONNECTION = QEvent::Type(1526);

class CConnectionThread;

// Set once, false to true, by a successful check; read by the lower pane.
extern std::atomic<bool> g_bConnected;
// The running thread, set and cleared by the main frame.
extern CConnectionThread* g_pConnectionThread;

class CConnectionThread : public QThread {
    Q_OBJECT
public:
    // Reads the FTP host from the profile (group "Connection", key "FtpHost").
    // Construct on the user-interface thread: the status window is shown there.
    explicit CConnectionThread(QObject* pParent = nullptr);
    ~CConnectionThread() override;

    // Starts the thread and returns once its event loop can take messages.
    void StartThread();

    // Queues a message for the thread's loop. False once the thread has ended
    // (or before it started). Posting WM_STOP_CONNECTION also cuts a running
    // check short, so shutdown never waits on the network.
    bool PostThreadMessage(QEvent::Type nMessage);

    // "host" or "host:port"; the default port of FTP when none is given.
    QString FtpHost() const;
    void SetFtpHost(const QString& strHost);

    // The status window, while it exists (user-interface thread only).
    CConnectStatusDlg* StatusDialog() const;

signals:
    // Emitted on the user-interface thread each time the status window shows a text.
    void StatusTextShown(const QString& strText);
    // Emitted on the user-interface thread when the status window has been destroyed.
    void StatusWindowClosed();

protected:
    void run() override;

private:
    friend class CConnectionReceiver;
    void OnCheckConnection();
    void OnConnectionNoop();
    void OnStopConnection();

    // Queued to the user-interface thread; all status-window work happens there.
    void ShowStatus(const QString& strText, bool bBeep);
    void DestroyStatus();
    // Sleeps up to nMs, returning early once a stop was posted.
    void PauseUnlessStopped(int nMs);

    std::unique_ptr<CFtpSession> m_session;
    QString m_strFtpHost;
    CConnectStatusDlg* m_pStatusDlg = nullptr;  // user-interface thread only

    std::mutex m_mutex;                 // guards m_pReceiver and m_bReady, with m_cv
    std::condition_variable m_cv;       // signals "ready" and "stop requested"
    QObject* m_pReceiver = nullptr;     // lives on the worker thread while its loop runs
    bool m_bReady = false;
    std::atomic<bool> m_bStopRequested{false};
};

// Creates and starts the connection thread; returns it (never null).
CConnectionThread* StartConnectionThread();

// Posts WM_STOP_CONNECTION, waits at most 5000 ms for the thread to end and
// releases it; a thread that already ended is released at once. The pointer is
// invalid afterwards. Null is allowed.
void StopConnectionThread(CConnectionThread* pThread);
