#pragma once
// Waits that keep the event loop running, so queued signals, timers and the
// engine's callbacks are delivered while a test waits for their effect.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace testsupport {

// Runs the event loop until bDone() holds or nTimeoutMs passed; returns bDone().
template <class F>
bool WaitFor(F bDone, int nTimeoutMs = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!bDone()) {
        if (timer.elapsed() > nTimeoutMs)
            return bDone();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

inline void ProcessEventsFor(int nMs)
{
    WaitFor([] { return false; }, nMs);
}

} // namespace testsupport
