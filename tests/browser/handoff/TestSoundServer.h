#pragma once
// Starts sound_server.py on a free port of 127.0.0.1 for the duration of a test.
#include "tests/support/TestFiles.h"
#include "tests/support/WaitFor.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>

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
    QString Url(const QString& strPath) const
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_nPort).arg(strPath);
    }

private:
    QProcess m_process;
    int m_nPort = 0;
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
