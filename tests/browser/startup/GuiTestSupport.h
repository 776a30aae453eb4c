#pragma once
// Shared by the start-up GUI tests: event-pumping waits and screenshots.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QThread>

#include <functional>

namespace velmora_test {

// Runs the event loop until bDone() holds or nTimeoutMs passed; returns bDone().
inline bool WaitUntil(const std::function<bool()>& bDone, int nTimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!bDone() && timer.elapsed() < nTimeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return bDone();
}

inline void ProcessEventsFor(int nMs)
{
    WaitUntil([] { return false; }, nMs);
}

// Saves a picture for a person to look at, beside the test binaries.
inline void SaveScreenshot(const QImage& image, const QString& strName)
{
    QDir dir(QStringLiteral(VELMORA_SCREENSHOT_DIR));
    dir.mkpath(QStringLiteral("."));
    image.save(dir.filePath(strName));
}

} // namespace velmora_test
