#include "player/analyze/PitchFormats.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "player/analysis/pitch/PitchFrames.h"
#include "player/analyze/FixedText.h"
#include "player/analyze/JsonText.h"

namespace sonavel {
namespace analyze {

namespace {

// Collects text in a buffer and hands it on in pieces.
class CTextSink {
public:
    CTextSink(bool (*pfnWrite)(void*, const char*, size_t), void* pContext)
        : m_pfnWrite(pfnWrite), m_pContext(pContext)
    {
    }
    CTextSink& operator<<(const char* sz) { return Append(sz, std::strlen(sz)); }
    CTextSink& operator<<(const std::string& s) { return Append(s.data(), s.size()); }
    CTextSink& operator<<(char c)
    {
        m_text[m_nUsed++] = c;
        return Check();
    }
    CTextSink& Int(long long n)
    {
        m_nUsed = static_cast<size_t>(std::to_chars(m_text + m_nUsed, m_text + sizeof m_text, n).ptr - m_text);
        return Check();
    }
    // Fixed with 6 decimals, as printf's "%.6f" writes it.
    CTextSink& Fixed6(double d)
    {
        m_nUsed = static_cast<size_t>(FixedText(m_text + m_nUsed, d, 6) - m_text);
        return Check();
    }
    // Fixed with 3 decimals, as printf's "%.3f" writes it.
    CTextSink& Fixed3(double d)
    {
        m_nUsed = static_cast<size_t>(FixedText(m_text + m_nUsed, d, 3) - m_text);
        return Check();
    }
    // Shortest text that reads back as the same double.
    CTextSink& Exact(double d)
    {
        m_nUsed = static_cast<size_t>(std::to_chars(m_text + m_nUsed, m_text + sizeof m_text, d).ptr - m_text);
        return Check();
    }
    // The start of frame i, i * 100 / nRate seconds, as Fixed6 writes the double
    // it is computed as. In millionths the time is exactly q + rest / nRate; the
    // double lies within (i * 10^8 / nRate) * 2^-53 of it, and a rounding
    // boundary (a half) is at least 1 / (2 nRate) away unless 2 rest == nRate:
    // below 2^51 millionths the double rounds as the exact value does, so whole
    // numbers write it. An exact half, or a longer time, goes through Fixed6.
    // From one frame to the next, q and rest grow by steps found once.
    CTextSink& FrameTime(size_t i, int nRate)
    {
        const uint64_t nDen = uint64_t(nRate);
        if (!m_bClock || nRate != m_nClockRate || i != m_nClockFrame + 1) {
            m_bClock = true;
            m_nClockRate = nRate;
            m_nStepQuotient = kMicroPerFrame / nDen;
            m_nStepRest = kMicroPerFrame % nDen;
            m_nQuotient = uint64_t(i) * kMicroPerFrame / nDen;
            m_nRest = uint64_t(i) * kMicroPerFrame % nDen;
        } else {
            m_nQuotient += m_nStepQuotient;
            m_nRest += m_nStepRest;
            if (m_nRest >= nDen) {
                m_nRest -= nDen;
                ++m_nQuotient;
            }
        }
        m_nClockFrame = i;
        if (uint64_t(i) * kMicroPerFrame >= (uint64_t(1) << 51) || 2 * m_nRest == nDen)
            return Fixed6(sonavel::pitch::FrameTime(i, nRate));
        const uint64_t q = m_nQuotient + (2 * m_nRest > nDen);
        char* p = std::to_chars(m_text + m_nUsed, m_text + sizeof m_text, q / 1000000).ptr;
        *p++ = '.';
        const uint32_t nFraction = static_cast<uint32_t>(q % 1000000);
        std::memcpy(p, kDigitPairs + 2 * (nFraction / 10000), 2);
        std::memcpy(p + 2, kDigitPairs + 2 * (nFraction / 100 % 100), 2);
        std::memcpy(p + 4, kDigitPairs + 2 * (nFraction % 100), 2);
        m_nUsed = static_cast<size_t>(p + 6 - m_text);
        return Check();
    }
    bool Finish()
    {
        Flush();
        return m_bOk;
    }

private:
    // A piece is handed on once this much is collected; any one item appended
    // after that fits in the rest of the buffer.
    static constexpr size_t kPiece = 64 * 1024;
    static_assert(kFixedTextRoom <= 512, "a number fits past a piece");
    CTextSink& Append(const char* p, size_t n)
    {
        while (n > 0) {
            const size_t nTake = std::min(n, sizeof m_text - m_nUsed);
            std::memcpy(m_text + m_nUsed, p, nTake);
            m_nUsed += nTake;
            p += nTake;
            n -= nTake;
            if (n > 0)
                Flush();
        }
        return Check();
    }
    CTextSink& Check()
    {
        if (m_nUsed >= kPiece)
            Flush();
        return *this;
    }
    void Flush()
    {
        if (m_bOk && m_nUsed > 0)
            m_bOk = m_pfnWrite(m_pContext, m_text, m_nUsed);
        m_nUsed = 0;
    }

    // A frame is 100 samples: 10^8 / rate millionths of a second.
    static constexpr uint64_t kMicroPerFrame = 100000000;
    static constexpr char kDigitPairs[] = "00010203040506070809101112131415161718192021222324"
                                          "25262728293031323334353637383940414243444546474849"
                                          "50515253545556575859606162636465666768697071727374"
                                          "75767778798081828384858687888990919293949596979899";

    bool (*m_pfnWrite)(void*, const char*, size_t);
    void* m_pContext;
    // Where FrameTime left off.
    bool m_bClock = false;
    int m_nClockRate = 0;
    size_t m_nClockFrame = 0;
    uint64_t m_nQuotient = 0, m_nRest = 0, m_nStepQuotient = 0, m_nStepRest = 0;
    char m_text[kPiece + 512];
    size_t m_nUsed = 0;
    bool m_bOk = true;
};

// The research tracker's frames: times with 6 decimals, pitch and confidence with 3.
bool WriteFrames(const PitchTrack& t, EPitchFormat format, CTextSink& out)
{
    const sonavel::pitch::PitchFrames& f = *t.pFrames;
    const size_t n = f.time_s.size();
    if (format == EPitchFormat::Csv) {
        out << "time_s,pitch_hz,confidence\n";
        for (size_t i = 0; i < n; ++i) {
            out.Fixed6(f.time_s[i]) << ',';
            out.Fixed3(f.pitch_hz[i]) << ',';
            out.Fixed3(f.confidence[i]) << '\n';
        }
    } else if (format == EPitchFormat::Json) {
        out << "{\"file\": " << JsonString(t.strFile) << ", \"sample_rate\": ";
        out.Int(t.nSampleRate) << ", \"tracker\": " << JsonString(sonavel::pitch::TrackerName(t.tracker))
                                  << ", \"time_s\": [";
        for (size_t i = 0; i < n; ++i)
            out.Fixed6(f.time_s[i]) << (i + 1 < n ? ", " : "");
        out << "], \"pitch_hz\": [";
        for (size_t i = 0; i < n; ++i)
            out.Fixed3(f.pitch_hz[i]) << (i + 1 < n ? ", " : "");
        out << "], \"confidence\": [";
        for (size_t i = 0; i < n; ++i)
            out.Fixed3(f.confidence[i]) << (i + 1 < n ? ", " : "");
        out << "]}\n";
    } else {
        size_t nVoiced = 0;
        for (size_t i = 0; i < n; ++i)
            nVoiced += f.pitch_hz[i] > 0;
        out << "File type = \"ooTextFile\"\nObject class = \"PitchTier\"\n\nxmin = 0\nxmax = ";
        out.Exact(static_cast<double>(t.nSampleCount) / t.nSampleRate) << "\npoints: size = ";
        out.Int(static_cast<long long>(nVoiced)) << "\n";
        size_t nPoint = 0;
        for (size_t i = 0; i < n; ++i) {
            if (f.pitch_hz[i] <= 0)
                continue;
            out << "points [";
            out.Int(static_cast<long long>(++nPoint)) << "]:\n    number = ";
            out.Fixed6(f.time_s[i]) << "\n    value = ";
            out.Fixed3(f.pitch_hz[i]) << "\n";
        }
    }
    return out.Finish();
}

} // namespace

const char* FormatExtension(EPitchFormat format)
{
    switch (format) {
    case EPitchFormat::Json:
        return ".json";
    case EPitchFormat::PitchTier:
        return ".PitchTier";
    case EPitchFormat::Csv:
        break;
    }
    return ".csv";
}

bool WritePitchTrack(const PitchTrack& t, EPitchFormat format,
                     bool (*pfnWrite)(void* pContext, const char* p, size_t n), void* pContext)
{
    CTextSink out(pfnWrite, pContext);
    if (t.tracker != sonavel::pitch::ETracker::Amdf)
        return WriteFrames(t, format, out);
    // The AMDF's frames lie 100 samples apart and hold whole Hz.
    const std::vector<double>& hz = t.pFrames->pitch_hz;
    const size_t nValues = hz.size();
    auto Pitch = [&](size_t i) { return static_cast<int>(hz[i]); };
    if (format == EPitchFormat::Csv) {
        out << "time_s,pitch_hz\n";
        for (size_t i = 0; i < nValues; ++i) {
            out.FrameTime(i, t.nSampleRate) << ',';
            out.Int(Pitch(i)) << '\n';
        }
    } else if (format == EPitchFormat::Json) {
        out << "{\"file\": " << JsonString(t.strFile) << ", \"sample_rate\": ";
        out.Int(t.nSampleRate) << ", \"time_s\": [";
        for (size_t i = 0; i < nValues; ++i)
            out.FrameTime(i, t.nSampleRate) << (i + 1 < nValues ? ", " : "");
        out << "], \"pitch_hz\": [";
        for (size_t i = 0; i < nValues; ++i)
            out.Int(Pitch(i)) << (i + 1 < nValues ? ", " : "");
        out << "]}\n";
    } else {
        size_t nVoiced = 0;
        for (size_t i = 0; i < nValues; ++i)
            nVoiced += Pitch(i) > 0;
        out << "File type = \"ooTextFile\"\nObject class = \"PitchTier\"\n\nxmin = 0\nxmax = ";
        out.Exact(static_cast<double>(t.nSampleCount) / t.nSampleRate) << "\npoints: size = ";
        out.Int(static_cast<long long>(nVoiced)) << "\n";
        size_t nPoint = 0;
        for (size_t i = 0; i < nValues; ++i) {
            if (Pitch(i) <= 0)
                continue;
            out << "points [";
            out.Int(static_cast<long long>(++nPoint)) << "]:\n    number = ";
            out.FrameTime(i, t.nSampleRate) << "\n    value = ";
            out.Int(Pitch(i)) << "\n";
        }
    }
    return out.Finish();
}

} // namespace analyze
} // namespace sonavel
