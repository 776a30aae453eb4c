#pragma once
// Waits that keep the event loop running, so queued signals, timers and the
// engine's callbacks are delivered while a test waits for their effect.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <memory>

#include "tests/support/EventBound.h"

namespace testsupport {

// Runs the event loop until bDone() holds or nTimeoutMs passed; returns bDone().
template <class F>
bool WaitFor(F bDone, int nTimeoutMs = kEventBoundMs)
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

// Returns once every event posted before the call (a thread's queued signals,
// deferred deletions) has been delivered.
inline bool DeliverPostedEvents()
{
    auto pReached = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(QCoreApplication::instance(), [pReached] { *pReached = true; }, Qt::QueuedConnection);
    const bool bDone = WaitFor([pReached] { return *pReached; });
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return bDone;
}

} // namespace testsupport
