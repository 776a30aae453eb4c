#pragma once
// Helpers of the player-shell tests: WAV files from the tools' writer, a tone
// to play, and the shared recorder and waits.
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/CMessageRecorder.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WaitFor.h"
#include "tools/voicesynth/WavFile.h"

namespace shelltest {

inline void PutLE(QByteArray& b, uint32_t v, int nBytes)
{
    for (int i = 0; i < nBytes; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A mono 16-bit PCM WAV file.
inline QByteArray MakeWav(const std::vector<int16_t>& samples, int32_t nRate)
{
    const std::vector<uint8_t> bytes = WavBytes16(samples, nRate);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
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

// Test files are written as every test writes them.
using testsupport::WriteTestFile;

inline QByteArray SampleBytes(const std::vector<int16_t>& samples)
{
    QByteArray b;
    for (int16_t s : samples)
        PutLE(b, static_cast<uint16_t>(s), 2);
    return b;
}

using testsupport::CMessageRecorder;
using testsupport::WaitFor;

} // namespace shelltest
