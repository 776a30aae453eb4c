#include "browser/startup/CConnectionThread.h"

#include "browser/startup/CConnectStatusDlg.h"
#include "browser/startup/CFtpSession.h"
#include "browser/startup/VelmoraResource.h"
#include "browser/startup/VelmoraMessages.h"

#include <QCoreApplication>
#include <QSettings>

#include <chrono>

std::atomic<bool> g_bConnected{false};
CConnectionThread* g_pConnectionThread = nullptr;

// Receives the thread messages on the worker thread and hands each to its handler.
class CConnectionReceiver : public QObject {
public:
    explicit CConnectionReceiver(CConnectionThread* pThread) : m_pThread(pThread) {}

    bool event(QEvent* pEvent) override
    {
        switch (static_cast<int>(pEvent->type())) {
        case WM_CHECK_CONNECTION: m_pThread->OnCheckConnection(); return true;
        case WM_CONNECTION_NOOP: m_pThread->OnConnectionNoop(); return true;
        case WM_STOP_CONNECTION: m_pThread->OnStopConnection(); return true;
        default: return QObject::event(pEvent);
        }
    }

private:
    CConnectionThread* m_pThread;
};

CConnectionThread::CConnectionThread(QObject* pParent)
    : QThread(pParent), m_session(std::make_unique<CFtpSession>())
{
    m_session->SetConnectTimeout(velmora::kFtpConnectTimeoutSeconds);
    QSettings profile(QLatin1String(velmora::kProfileOrganization),
                      QLatin1String(velmora::kProfileApplication));
    m_strFtpHost = profile
                       .value(QStringLiteral("%1/%2").arg(QLatin1String(velmora::kConnectionSection),
                                                          QLatin1String(velmora::kFtpHostEntry)))
                       .toString()
                       .trimmed();
    if (m_strFtpHost.isEmpty())
        m_strFtpHost = QLatin1String(velmora::kDefaultFtpHost);
}

CConnectionThread::~CConnectionThread()
{
    // The owner normally stops and waits; never destroy a running thread.
    if (isRunning()) {
        PostThreadMessage(WM_STOP_CONNECTION);
        wait();
    }
    delete m_pStatusDlg;
}

QString CConnectionThread::FtpHost() const
{
    return m_strFtpHost;
}

void CConnectionThread::SetFtpHost(const QString& strHost)
{
    m_strFtpHost = strHost;
}

CConnectStatusDlg* CConnectionThread::StatusDialog() const
{
    return m_pStatusDlg;
}

void CConnectionThread::StartThread()
{
    start();
    std::unique_lock<std::mutex> lock(m_mutex);
    // A thread that could not be started never becomes ready: look again now
    // and then instead of relying on a wake-up.
    while (!m_bReady && !isFinished() && isRunning())
        m_cv.wait_for(lock, std::chrono::milliseconds(20));
}

void CConnectionThread::run()
{
    CConnectionReceiver receiver(this);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pReceiver = &receiver;
        m_bReady = true;
    }
    m_cv.notify_all();
    exec();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pReceiver = nullptr;
    // Messages still queued for the receiver are discarded with it.
}

bool CConnectionThread::PostThreadMessage(QEvent::Type nMessage)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nMessage == WM_STOP_CONNECTION) {
        m_bStopRequested = true;
        m_cv.notify_all();
    }
    if (!m_pReceiver)
        return false;
    QCoreApplication::postEvent(m_pReceiver, new QEvent(nMessage));
    return true;
}

void CConnectionThread::OnCheckConnection()
{
    const std::string strHost = m_strFtpHost.toStdString();
    ShowStatus(QLatin1String(velmora::kStatusConnecting), false);
    try {
        m_session->GetFtpConnection(strHost, std::string(), std::string(), 0, false,
                                    &m_bStopRequested);
        // The connection only proves that the internet can be reached.
        m_session->Close();
        g_bConnected = true;
        exit(0);
        if (!m_bStopRequested)
            ShowStatus(QLatin1String(velmora::kStatusEstablished), true);
    } catch (...) {
        // Every failure of the check (no connection, a refused login, no
        // memory for the session) is the one outcome "failed"; nothing may
        // leave the thread's event loop, which would end the browser.
        exit(0);
        // A check cut short by the owner's stop is not a failed connection:
        // the browser is closing and nobody waits for the outcome.
        if (!m_bStopRequested)
            ShowStatus(QLatin1String(velmora::kStatusFailed), true);
    }
    PauseUnlessStopped(velmora::kStatusPauseMs);
    DestroyStatus();
}

void CConnectionThread::OnConnectionNoop()
{
}

void CConnectionThread::OnStopConnection()
{
    m_session->Close();
    exit(0);
}

void CConnectionThread::PauseUnlessStopped(int nMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait_for(lock, std::chrono::milliseconds(nMs), [this] { return m_bStopRequested.load(); });
}

void CConnectionThread::ShowStatus(const QString& strText, bool bBeep)
{
    // Runs on the user-interface thread, where this object lives; dropped if
    // the object is gone by then.
    QMetaObject::invokeMethod(
        this,
        [this, strText, bBeep] {
            if (!m_pStatusDlg) {
                m_pStatusDlg = new CConnectStatusDlg(nullptr);
                m_pStatusDlg->CenterOnScreen();
            }
            if (bBeep)
                VelmoraBeep();
            m_pStatusDlg->SetStatusText(strText);
            m_pStatusDlg->show();
            m_pStatusDlg->repaint();
            emit StatusTextShown(strText);
        },
        Qt::QueuedConnection);
}

void CConnectionThread::DestroyStatus()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_pStatusDlg)
                return;
            delete m_pStatusDlg;
            m_pStatusDlg = nullptr;
            emit StatusWindowClosed();
        },
        Qt::QueuedConnection);
}

CConnectionThread* StartConnectionThread()
{
    auto* pThread = new CConnectionThread();
    pThread->StartThread();
    return pThread;
}

void StopConnectionThread(CConnectionThread* pThread)
{
    if (!pThread)
        return;
    pThread->PostThreadMessage(WM_STOP_CONNECTION);  // fails harmlessly on an ended thread
    if (pThread->wait(velmora::kStopWaitMs)) {
        delete pThread;
        return;
    }
    // Still busy after 5 s: shutdown goes on, and the object releases itself
    // once its thread has ended.
    QObject::connect(pThread, &QThread::finished, pThread, &QObject::deleteLater);
    if (pThread->isFinished())
        pThread->deleteLater();
}
