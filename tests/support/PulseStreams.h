#pragma once
// What a test's private PulseAudio server (with-pulse.sh) is doing, as events
// to wait for: a playback stream appearing and ending, a recording growing.
#include "tests/support/WaitFor.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace testsupport {

// One line per object of the kind ("sink-inputs", "source-outputs").
inline QStringList PulseObjects(const char* szKind)
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QLatin1String(szKind), QStringLiteral("short")});
    pactl.waitForFinished(kEventBoundMs);
    return QString::fromLocal8Bit(pactl.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A playback stream reached the server, then every stream ended.
inline bool WaitForPlaybackStart() { return WaitFor([] { return !PulseObjects("sink-inputs").isEmpty(); }); }
inline bool WaitForPlaybackEnd() { return WaitFor([] { return PulseObjects("sink-inputs").isEmpty(); }); }

// A recorder is attached to a source (the monitor delivers from here on).
inline bool WaitForRecorder() { return WaitFor([] { return !PulseObjects("source-outputs").isEmpty(); }); }

// The recording at strRaw grew by nBytes from now: what was played before this
// call has been written.
inline bool WaitForRecordingToGrow(const QString& strRaw, qint64 nBytes)
{
    const qint64 nStart = QFileInfo(strRaw).size();
    return WaitFor([&] { return QFileInfo(strRaw).size() >= nStart + nBytes; });
}

// parec recording the null sink's monitor into strRaw (mono s16le at nRate),
// attached and delivering; null when it could not start.
inline QProcess* StartRecorder(const QString& strRaw, int nRate)
{
    auto* pParec = new QProcess;
    pParec->start(QStringLiteral("parec"), {QStringLiteral("--latency-msec=20"), QStringLiteral("-d"),
                                            QStringLiteral("vsink.monitor"), QStringLiteral("--format=s16le"),
                                            QStringLiteral("--rate=%1").arg(nRate), QStringLiteral("--channels=1"), strRaw});
    if (!pParec->waitForStarted(kEventBoundMs) || !WaitForRecorder()) {
        delete pParec;
        return nullptr;
    }
    return pParec;
}

// Ends the recording once what played before the call is in the file: the
// monitor goes on with silence, and 0.3 s more of it puts the sound's end there.
inline bool StopRecorder(QProcess* pParec, const QString& strRaw, int nRate)
{
    const bool bGrown = WaitForRecordingToGrow(strRaw, nRate * 2 * 3 / 10);
    pParec->terminate();
    pParec->waitForFinished(kEventBoundMs);
    delete pParec;
    return bGrown;
}

} // namespace testsupport
