#pragma once
// The real player heard through the PulseAudio null sink "vsink" that
// tests/support/with-pulse.sh starts.
#include "browser/handoff/CPlayerLauncher.h"
#include "tests/support/PulseStreams.h"

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
        m_strRawPath = strRawPath;
        m_nRate = nRate;
        // Attached to the monitor before any sound starts, or its start is lost.
        return m_recorder.waitForStarted(testsupport::kEventBoundMs) && testsupport::WaitForRecorder();
    }
    // Waits for the player's stream to come and go, then for the tail after it.
    bool WaitForPlayedSound()
    {
        return testsupport::WaitForPlaybackStart() && testsupport::WaitForPlaybackEnd()
               && testsupport::WaitForRecordingToGrow(m_strRawPath, m_nRate * 2 * 3 / 10);
    }
    void Stop()
    {
        m_recorder.terminate();
        m_recorder.waitForFinished(testsupport::kEventBoundMs);
    }

private:
    QProcess m_recorder;
    QString m_strRawPath;
    int m_nRate = 0;
};
