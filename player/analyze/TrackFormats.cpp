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

// A track's text: JSON (the file, rate and frame times, then fnJson's members)
// or CSV (fnCsv), given whole to pfnWrite.
template <class JsonFn, class CsvFn>
bool WriteTrack(const std::string& strFile, int nRate, const std::vector<double>& time_s, EFormat format,
                WriteFn pfnWrite, void* pContext, JsonFn fnJson, CsvFn fnCsv)
{
    CTextPieces out(pfnWrite, pContext);
    if (format == EFormat::Json) {
        out << "{\"file\": " << JsonString(strFile) << ", \"sample_rate\": ";
        out.Int(nRate) << ", \"time_s\": [";
        for (size_t i = 0; i < time_s.size(); ++i)
            out.Fixed(time_s[i], 6) << (i + 1 < time_s.size() ? ", " : "");
        out << "]";
        fnJson(out);
        out << "}\n";
    } else {
        fnCsv(out);
    }
    return out.Finish();
}

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

} // namespace

bool WriteFormants(const std::string& strFile, int nRate, const sonavel::formants::FormantFrames& f, EFormat format,
                   WriteFn pfnWrite, void* pContext)
{
    const size_t n = f.time_s.size();
    return WriteTrack(
        strFile, nRate, f.time_s, format, pfnWrite, pContext,
        [&](CTextPieces& out) {
            out << ", \"max_formant_hz\": ";
            out.Fixed(f.dCeilingHz, 0) << ", \"frequency_hz\": ";
            JsonRows(out, f.hz, n, f.nFormants);
            out << ", \"bandwidth_hz\": ";
            JsonRows(out, f.bandwidth_hz, n, f.nFormants);
        },
        [&](CTextPieces& out) {
            out << "time_s";
            for (const char* szKind : {"f", "b"})
                for (int j = 1; j <= f.nFormants; ++j)
                    out << "," << szKind << std::to_string(j) << "_hz";
            out << "\n";
            for (size_t i = 0; i < n; ++i) {
                out.Fixed(f.time_s[i], 6);
                for (int j = 0; j < f.nFormants; ++j)
                    out << ",", out.Fixed(f.Hz(i, j), 1);
                for (int j = 0; j < f.nFormants; ++j)
                    out << ",", out.Fixed(f.Bandwidth(i, j), 1);
                out << "\n";
            }
        });
}

bool WriteIntensity(const std::string& strFile, int nRate, const sonavel::intensity::IntensityFrames& f, EFormat format,
                    WriteFn pfnWrite, void* pContext)
{
    const size_t n = f.time_s.size();
    return WriteTrack(
        strFile, nRate, f.time_s, format, pfnWrite, pContext,
        [&](CTextPieces& out) {
            out << ", \"intensity_db\": [";
            for (size_t i = 0; i < n; ++i)
                out.Fixed(f.db[i], 3) << (i + 1 < n ? ", " : "");
            out << "]";
        },
        [&](CTextPieces& out) {
            out << "time_s,intensity_db\n";
            for (size_t i = 0; i < n; ++i) {
                out.Fixed(f.time_s[i], 6) << ",";
                out.Fixed(f.db[i], 3) << "\n";
            }
        });
}

} // namespace analyze
} // namespace sonavel
