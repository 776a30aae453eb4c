#include "player/analyze/PitchFormats.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "player/analysis/pitch/PitchFrames.h"
#include "player/analyze/FixedText.h"
#include "player/analyze/JsonText.h"
#include "player/analyze/TextPieces.h"

namespace sonavel {
namespace analyze {

namespace {

// The commands' text pieces, and the start of a frame written fast.
class CTextSink : public CTextPieces {
public:
    using CTextPieces::CTextPieces;

    // The start of frame i, i * 100 / nRate seconds, as Fixed(.., 6) writes the double
    // it is computed as. In millionths the time is exactly q + rest / nRate; the
    // double lies within (i * 10^8 / nRate) * 2^-53 of it, and a rounding
    // boundary (a half) is at least 1 / (2 nRate) away unless 2 rest == nRate:
    // below 2^51 millionths the double rounds as the exact value does, so whole
    // numbers write it. An exact half, or a longer time, goes through Fixed.
    // From one frame to the next, q and rest grow by steps found once.
    CTextPieces& FrameTime(size_t i, int nRate)
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
            return Fixed(sonavel::pitch::FrameTime(i, nRate), 6);
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

private:
    // A frame is 100 samples: 10^8 / rate millionths of a second.
    static constexpr uint64_t kMicroPerFrame = 100000000;
    static constexpr char kDigitPairs[] = "00010203040506070809101112131415161718192021222324"
                                          "25262728293031323334353637383940414243444546474849"
                                          "50515253545556575859606162636465666768697071727374"
                                          "75767778798081828384858687888990919293949596979899";

    // Where FrameTime left off.
    bool m_bClock = false;
    int m_nClockRate = 0;
    size_t m_nClockFrame = 0;
    uint64_t m_nQuotient = 0, m_nRest = 0, m_nStepQuotient = 0, m_nStepRest = 0;
};

// The research tracker's frames: times with 6 decimals, pitch and confidence with 3.
bool WriteFrames(const PitchTrack& t, EFormat format, CTextSink& out)
{
    const sonavel::pitch::PitchFrames& f = *t.pFrames;
    const size_t n = f.time_s.size();
    if (format == EFormat::Csv) {
        out << "time_s,pitch_hz,confidence\n";
        for (size_t i = 0; i < n; ++i) {
            out.Fixed(f.time_s[i], 6) << ',';
            out.Fixed(f.pitch_hz[i], 3) << ',';
            out.Fixed(f.confidence[i], 3) << '\n';
        }
    } else if (format == EFormat::Json) {
        out << "{\"file\": " << JsonString(t.strFile) << ", \"sample_rate\": ";
        out.Int(t.nSampleRate) << ", \"tracker\": " << JsonString(sonavel::pitch::TrackerName(t.tracker))
                                  << ", \"time_s\": [";
        for (size_t i = 0; i < n; ++i)
            out.Fixed(f.time_s[i], 6) << (i + 1 < n ? ", " : "");
        out << "], \"pitch_hz\": [";
        for (size_t i = 0; i < n; ++i)
            out.Fixed(f.pitch_hz[i], 3) << (i + 1 < n ? ", " : "");
        out << "], \"confidence\": [";
        for (size_t i = 0; i < n; ++i)
            out.Fixed(f.confidence[i], 3) << (i + 1 < n ? ", " : "");
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
            out.Fixed(f.time_s[i], 6) << "\n    value = ";
            out.Fixed(f.pitch_hz[i], 3) << "\n";
        }
    }
    return out.Finish();
}

} // namespace

bool WritePitchTrack(const PitchTrack& t, EFormat format,
                     bool (*pfnWrite)(void* pContext, const char* p, size_t n), void* pContext)
{
    CTextSink out(pfnWrite, pContext);
    if (t.tracker != sonavel::pitch::ETracker::Amdf)
        return WriteFrames(t, format, out);
    // The AMDF's frames lie 100 samples apart and hold whole Hz.
    const std::vector<double>& hz = t.pFrames->pitch_hz;
    const size_t nValues = hz.size();
    auto Pitch = [&](size_t i) { return static_cast<int>(hz[i]); };
    if (format == EFormat::Csv) {
        out << "time_s,pitch_hz\n";
        for (size_t i = 0; i < nValues; ++i) {
            out.FrameTime(i, t.nSampleRate) << ',';
            out.Int(Pitch(i)) << '\n';
        }
    } else if (format == EFormat::Json) {
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
