#include "player/analyze/PitchFormats.h"

#include <charconv>
#include <cstdio>

#include "player/analysis/PitchFrames.h"

namespace sonavel {
namespace analyze {

namespace {

// Collects text and hands it on in pieces.
class CTextSink {
public:
    CTextSink(bool (*pfnWrite)(void*, const char*, size_t), void* pContext)
        : m_pfnWrite(pfnWrite), m_pContext(pContext)
    {
        m_text.reserve(kPiece + 256);
    }
    CTextSink& operator<<(const char* sz)
    {
        m_text += sz;
        return Check();
    }
    CTextSink& operator<<(const std::string& s)
    {
        m_text += s;
        return Check();
    }
    CTextSink& Int(long long n)
    {
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, n);
        m_text.append(buf, r.ptr);
        return Check();
    }
    // Fixed with 6 decimals, as printf's "%.6f" writes it.
    CTextSink& Fixed6(double d)
    {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, 6);
        m_text.append(buf, r.ptr);
        return Check();
    }
    // Shortest text that reads back as the same double.
    CTextSink& Exact(double d)
    {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, d);
        m_text.append(buf, r.ptr);
        return Check();
    }
    bool Finish()
    {
        Flush();
        return m_bOk;
    }

private:
    static constexpr size_t kPiece = 64 * 1024;
    CTextSink& Check()
    {
        if (m_text.size() >= kPiece)
            Flush();
        return *this;
    }
    void Flush()
    {
        if (m_bOk && !m_text.empty())
            m_bOk = m_pfnWrite(m_pContext, m_text.data(), m_text.size());
        m_text.clear();
    }

    bool (*m_pfnWrite)(void*, const char*, size_t);
    void* m_pContext;
    std::string m_text;
    bool m_bOk = true;
};

// Length of the well-formed UTF-8 sequence at p (at most n bytes), or 0.
size_t Utf8Length(const unsigned char* p, size_t n)
{
    const unsigned char c = p[0];
    size_t nLength;
    unsigned char lo = 0x80, hi = 0xBF; // the range of the second byte
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        nLength = 2;
    else if (c >= 0xE0 && c <= 0xEF)
        nLength = 3;
    else if (c >= 0xF0 && c <= 0xF4)
        nLength = 4;
    else
        return 0;
    if (c == 0xE0)
        lo = 0xA0; // shorter forms are overlong
    else if (c == 0xED)
        hi = 0x9F; // no surrogates
    else if (c == 0xF0)
        lo = 0x90;
    else if (c == 0xF4)
        hi = 0x8F; // nothing above U+10FFFF
    if (n < nLength || p[1] < lo || p[1] > hi)
        return 0;
    for (size_t i = 2; i < nLength; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    return nLength;
}

// File names are bytes. Valid UTF-8 is kept as it is; every other byte B
// becomes the escape of the lone surrogate U+DC00 + B, the convention that
// lets a reader get the exact bytes back (Python: os.fsencode).
std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    char buf[8];
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = p[i];
        const size_t nLength = Utf8Length(p + i, s.size() - i);
        if (nLength == 0) {
            std::snprintf(buf, sizeof buf, "\\udc%02x", c);
            out += buf;
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out.append(s, i, nLength);
        }
        i += nLength;
    }
    return out + "\"";
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
    if (format == EPitchFormat::Csv) {
        out << "time_s,pitch_hz\n";
        for (size_t i = 0; i < t.nValues; ++i) {
            out.Fixed6(sonavel::pitch::FrameTime(i, t.nSampleRate)) << ",";
            out.Int(t.pPitch[i]) << "\n";
        }
    } else if (format == EPitchFormat::Json) {
        out << "{\"file\": " << JsonString(t.strFile) << ", \"sample_rate\": ";
        out.Int(t.nSampleRate) << ", \"time_s\": [";
        for (size_t i = 0; i < t.nValues; ++i)
            out.Fixed6(sonavel::pitch::FrameTime(i, t.nSampleRate)) << (i + 1 < t.nValues ? ", " : "");
        out << "], \"pitch_hz\": [";
        for (size_t i = 0; i < t.nValues; ++i)
            out.Int(t.pPitch[i]) << (i + 1 < t.nValues ? ", " : "");
        out << "]}\n";
    } else {
        size_t nVoiced = 0;
        for (size_t i = 0; i < t.nValues; ++i)
            nVoiced += t.pPitch[i] > 0;
        out << "File type = \"ooTextFile\"\nObject class = \"PitchTier\"\n\nxmin = 0\nxmax = ";
        out.Exact(static_cast<double>(t.nSampleCount) / t.nSampleRate) << "\npoints: size = ";
        out.Int(static_cast<long long>(nVoiced)) << "\n";
        size_t nPoint = 0;
        for (size_t i = 0; i < t.nValues; ++i) {
            if (t.pPitch[i] <= 0)
                continue;
            out << "points [";
            out.Int(static_cast<long long>(++nPoint)) << "]:\n    number = ";
            out.Fixed6(sonavel::pitch::FrameTime(i, t.nSampleRate)) << "\n    value = ";
            out.Int(t.pPitch[i]) << "\n";
        }
    }
    return out.Finish();
}

} // namespace analyze
} // namespace sonavel
