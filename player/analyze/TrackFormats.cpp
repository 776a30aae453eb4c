#include "player/analyze/TrackFormats.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "player/analyze/FixedText.h"
#include "player/analyze/JsonText.h"
#include "player/analyze/TextPieces.h"

namespace sonavel {
namespace analyze {

namespace {

using sonavel::formants::FormantFrames;
using sonavel::intensity::IntensityFrames;

// One formant value per frame and formant: "[[a, b], [c, d]]".
void JsonRows(CTextPieces& out, const std::vector<double>& values, size_t nFrames, int nPer)
{
    out << "[";
    for (size_t i = 0; i < nFrames; ++i) {
        out << "[";
        for (int j = 0; j < nPer; ++j)
            out.Fixed(values[i * size_t(nPer) + size_t(j)], 1) << (j + 1 < nPer ? ", " : "");
        out << (i + 1 < nFrames ? "], " : "]");
    }
    out << "]";
}

// Each track's own members of the JSON text, after the frame times.
void JsonMembers(CTextPieces& out, const FormantFrames& f)
{
    out << ", \"max_formant_hz\": ";
    out.Fixed(f.dCeilingHz, 0) << ", \"frequency_hz\": ";
    JsonRows(out, f.hz, f.time_s.size(), f.nFormants);
    out << ", \"bandwidth_hz\": ";
    JsonRows(out, f.bandwidth_hz, f.time_s.size(), f.nFormants);
}

void JsonMembers(CTextPieces& out, const IntensityFrames& f)
{
    out << ", \"intensity_db\": [";
    const size_t n = f.time_s.size();
    for (size_t i = 0; i < n; ++i)
        out.Fixed(f.db[i], 3) << (i + 1 < n ? ", " : "");
    out << "]";
}

// Each track as CSV: a header, then a row per frame.
void CsvText(CTextPieces& out, const FormantFrames& f)
{
    out << "time_s";
    for (const char* szKind : {"f", "b"})
        for (int j = 1; j <= f.nFormants; ++j)
            out << "," << szKind << std::to_string(j) << "_hz";
    out << "\n";
    for (size_t i = 0; i < f.time_s.size(); ++i) {
        out.Fixed(f.time_s[i], 6);
        for (int j = 0; j < f.nFormants; ++j)
            out << ",", out.Fixed(f.Hz(i, j), 1);
        for (int j = 0; j < f.nFormants; ++j)
            out << ",", out.Fixed(f.Bandwidth(i, j), 1);
        out << "\n";
    }
}

void CsvText(CTextPieces& out, const IntensityFrames& f)
{
    out << "time_s,intensity_db\n";
    for (size_t i = 0; i < f.time_s.size(); ++i) {
        out.Fixed(f.time_s[i], 6) << ",";
        out.Fixed(f.db[i], 3) << "\n";
    }
}

// A track's text: JSON (the file, rate and frame times, then the track's own
// members) or CSV, given whole to pfnWrite.
template <class Frames>
bool WriteTrack(const std::string& strFile, int nRate, const Frames& f, EFormat format, WriteFn pfnWrite,
                void* pContext)
{
    CTextPieces out(pfnWrite, pContext);
    if (format == EFormat::Json) {
        out << "{\"file\": " << JsonString(strFile) << ", \"sample_rate\": ";
        out.Int(nRate) << ", \"time_s\": [";
        for (size_t i = 0; i < f.time_s.size(); ++i)
            out.Fixed(f.time_s[i], 6) << (i + 1 < f.time_s.size() ? ", " : "");
        out << "]";
        JsonMembers(out, f);
        out << "}\n";
    } else {
        CsvText(out, f);
    }
    return out.Finish();
}

} // namespace

bool WriteFormants(const std::string& strFile, int nRate, const FormantFrames& f, EFormat format, WriteFn pfnWrite,
                   void* pContext)
{
    return WriteTrack(strFile, nRate, f, format, pfnWrite, pContext);
}

bool WriteIntensity(const std::string& strFile, int nRate, const IntensityFrames& f, EFormat format, WriteFn pfnWrite,
                    void* pContext)
{
    return WriteTrack(strFile, nRate, f, format, pfnWrite, pContext);
}

} // namespace analyze
} // namespace sonavel
