#pragma once
// The real player heard through the PulseAudio null sink "vsink" that
// tests/support/with-pulse.sh starts.
#include "browser/handoff/CPlayerLauncher.h"

#include <QProcess>
#include <QString>
#include <QTest>

// Why the player cannot be heard here, or empty when it can.
inline QString PlayerUnheardReason(const CPlayerLauncher& launcher)
{
    if (launcher.Locate().isEmpty())
        return QStringLiteral("the sonavel program is not built beside this test (target sonavel in player/shell)");
    if (QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("info")}) != 0)
        return QStringLiteral("no PulseAudio server answers: run this test through tests/support/with-pulse.sh");
    return QString();
}

// Records what the sink plays, 16-bit mono at nRate, into strRawPath until Stop().
class CSinkRecording {
public:
    bool Start(const QString& strRawPath, int nRate)
    {
        m_recorder.start(QStringLiteral("parec"), {QStringLiteral("-d"), QStringLiteral("vsink.monitor"),
                                                   QStringLiteral("--format=s16le"),
                                                   QStringLiteral("--rate=%1").arg(nRate),
                                                   QStringLiteral("--channels=1"), strRawPath});
        if (!m_recorder.waitForStarted(5000))
            return false;
        QTest::qWait(300);  // the monitor misses the first moments of a new stream
        return true;
    }
    void Stop()
    {
        m_recorder.terminate();
        m_recorder.waitForFinished(5000);
    }

private:
    QProcess m_recorder;
};
