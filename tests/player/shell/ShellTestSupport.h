#pragma once
// Helpers of the player-shell tests: mono 16-bit WAV files written by our own
// code, and a recorder of the player's messages.
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "player/audio/Messages.h"

namespace shelltest {

inline void PutLE(QByteArray& b, uint32_t v, int nBytes)
{
    for (int i = 0; i < nBytes; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline QByteArray MakeWav(const std::vector<int16_t>& samples, int32_t nRate)
{
    QByteArray b;
    uint32_t nData = static_cast<uint32_t>(samples.size() * 2);
    b.append("RIFF");
    PutLE(b, 36 + nData, 4);
    b.append("WAVEfmt ");
    PutLE(b, 16, 4);
    PutLE(b, 1, 2);                                // PCM
    PutLE(b, 1, 2);                                // mono
    PutLE(b, static_cast<uint32_t>(nRate), 4);
    PutLE(b, static_cast<uint32_t>(nRate) * 2, 4);
    PutLE(b, 2, 2);
    PutLE(b, 16, 2);
    b.append("data");
    PutLE(b, nData, 4);
    for (int16_t s : samples)
        PutLE(b, static_cast<uint16_t>(s), 2);
    return b;
}

// A tone that changes pitch, so a shifted copy does not correlate with itself.
inline std::vector<int16_t> Glide(int nCount, int32_t nRate, double dAmplitude = 12000)
{
    std::vector<int16_t> v(static_cast<size_t>(nCount));
    double phase = 0;
    for (int i = 0; i < nCount; ++i) {
        double t = static_cast<double>(i) / nRate;
        double f = 180 + 220 * t + 60 * std::sin(2 * M_PI * 3 * t);
        phase += 2 * M_PI * f / nRate;
        double x = std::sin(phase) + 0.5 * std::sin(2 * phase + 0.3) + 0.3 * std::sin(3 * phase + 1.1);
        v[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(dAmplitude * x / 1.8));
    }
    return v;
}

inline bool WriteFile(const QString& strPath, const QByteArray& data)
{
    QFile f(strPath);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

inline QByteArray SampleBytes(const std::vector<int16_t>& samples)
{
    QByteArray b;
    for (int16_t s : samples)
        PutLE(b, static_cast<uint16_t>(s), 2);
    return b;
}

// Runs the event loop until the condition holds or the time is up.
template <class F>
bool WaitFor(F condition, int nMs = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > nMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Records every message box and beep while alive.
class CMessageRecorder {
public:
    CMessageRecorder()
    {
        m_oldBox = sonavel::SetMessageBoxHandler([this](const std::string& text, unsigned) {
            m_messages.push_back(text);
            if (m_onMessage)
                m_onMessage(text);
            return 1;
        });
        m_oldBeep = sonavel::SetMessageBeepHandler([this](unsigned) { ++m_nBeeps; });
    }
    ~CMessageRecorder()
    {
        sonavel::SetMessageBoxHandler(m_oldBox);
        sonavel::SetMessageBeepHandler(m_oldBeep);
    }
    std::vector<std::string> m_messages;
    int m_nBeeps = 0;
    std::function<void(const std::string&)> m_onMessage;

private:
    sonavel::MessageBoxHandler m_oldBox;
    sonavel::MessageBeepHandler m_oldBeep;
};

} // namespace shelltest
