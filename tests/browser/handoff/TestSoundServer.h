#pragma once
// Starts sound_server.py on a free port of 127.0.0.1 for the duration of a test.
#include "tests/support/TestFiles.h"
#include "tools/voicesynth/WavFile.h"
#include "tests/support/WaitFor.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#ifndef VELMORA_TEST_DIR
#error "VELMORA_TEST_DIR must name the folder of sound_server.py"
#endif

class CTestSoundServer {
public:
    explicit CTestSoundServer(const QString& strRoot)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("python3"),
                        {QStringLiteral(VELMORA_TEST_DIR "/sound_server.py"), strRoot});
        if (m_process.waitForStarted(testsupport::kEventBoundMs) && m_process.waitForReadyRead(testsupport::kEventBoundMs))
            m_nPort = m_process.readLine().trimmed().toInt();
    }
    ~CTestSoundServer()
    {
        m_process.kill();
        m_process.waitForFinished(testsupport::kEventBoundMs);
    }
    int Port() const { return m_nPort; }
    // The paths asked for so far, in the order they came.
    QStringList Requests()
    {
        m_process.waitForReadyRead(0);
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (!line.isEmpty())  // the end of the port's line may come late
                m_requests << QString::fromUtf8(line);
        }
        return m_requests;
    }
    QString Url(const QString& strPath) const
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_nPort).arg(strPath);
    }

private:
    QProcess m_process;
    int m_nPort = 0;
    QStringList m_requests;
};

using testsupport::ReadTestFile;
using testsupport::WriteTestFile;

// Bytes that no two test files share by accident.
inline QByteArray PatternBytes(int nSize, int nSeed)
{
    QByteArray data(nSize, '\0');
    unsigned v = unsigned(nSeed) * 2654435761u + 1;
    for (int i = 0; i < nSize; ++i) {
        v = v * 1103515245u + 12345u;
        data[i] = char(v >> 16);
    }
    return data;
}

// The pattern as the data of a genuine mono 16-bit WAV file, as a web server
// would serve it: the download takes only what starts as a sound.
inline QByteArray ServedWav(int nDataBytes, int nSeed)
{
    const QByteArray pattern = PatternBytes(nDataBytes, nSeed);
    const std::vector<uint8_t> bytes =
        WavBytes(WavFormat{}, std::vector<uint8_t>(pattern.cbegin(), pattern.cend()));
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}
