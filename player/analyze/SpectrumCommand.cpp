// sonavel-analyze spectrum FILE --at T [--window S] [--lpc [--max-formant HZ]]
//                          [--channel N] [--format csv|json] [-o OUT]
//
// The spectral slice at T seconds (slice/SpectralSlice.h): CSV
// frequency_hz,db from 0 Hz to half the rate, with --lpc a third column
// lpc_db, the formant analysis' envelope at T (empty above its ceiling). JSON
// gives the same as arrays (null for an empty field), the peaks of both
// curves and the ceiling. To standard output unless -o OUT.
#include "player/analyze/AnalyzeCommands.h"

#include <cmath>

#include "player/analysis/slice/SpectralSlice.h"
#include "player/analyze/CInputFiles.h"
#include "player/analyze/CommandLine.h"
#include "player/analyze/JsonText.h"
#include "player/analyze/OutputFile.h"
#include "player/analyze/TextPieces.h"

namespace sonavel {
namespace analyze {

namespace {

using namespace sonavel::slice;

const char kszUsage[] = "usage: sonavel-analyze spectrum FILE --at T [--window S] [--lpc [--max-formant HZ]] "
                        "[--channel N] [--format csv|json] [-o OUT]";

void JsonArray(CTextPieces& out, const char* szName, const std::vector<double>& values, int nDecimals)
{
    out << ", \"" << szName << "\": [";
    for (size_t i = 0; i < values.size(); ++i) {
        if (std::isfinite(values[i]))
            out.Fixed(values[i], nDecimals);
        else
            out << "null";
        out << (i + 1 < values.size() ? ", " : "");
    }
    out << "]";
}

std::vector<double> PeakFrequencies(const std::vector<SlicePeak>& peaks)
{
    std::vector<double> hz;
    for (const SlicePeak& p : peaks)
        hz.push_back(p.dHz);
    return hz;
}

bool WriteSlice(const std::string& strFile, int nRate, const SliceSettings& settings, const SpectralSlice& s,
                EFormat format, WriteFn pfnWrite, void* pContext)
{
    CTextPieces out(pfnWrite, pContext);
    const bool bLpc = !s.lpc_db.empty();
    if (format == EFormat::Json) {
        out << "{\"file\": " << JsonString(strFile) << ", \"sample_rate\": ";
        out.Int(nRate) << ", \"time_s\": ";
        out.Exact(settings.dTimeS) << ", \"window_s\": ";
        out.Exact(settings.dWindowS);
        if (bLpc)
            out << ", \"max_formant_hz\": ", out.Fixed(s.dCeilingHz, 0);
        JsonArray(out, "frequency_hz", s.frequency_hz, 4);
        JsonArray(out, "db", s.db, 3);
        if (bLpc)
            JsonArray(out, "lpc_db", s.lpc_db, 3);
        JsonArray(out, "peaks_hz", PeakFrequencies(s.peaks), 1);
        if (bLpc)
            JsonArray(out, "lpc_peaks_hz", PeakFrequencies(s.lpcPeaks), 1);
        out << "}\n";
        return out.Finish();
    }
    out << (bLpc ? "frequency_hz,db,lpc_db\n" : "frequency_hz,db\n");
    for (size_t i = 0; i < s.frequency_hz.size(); ++i) {
        out.Fixed(s.frequency_hz[i], 4) << ",";
        out.Fixed(s.db[i], 3);
        if (bLpc) {
            out << ",";
            if (std::isfinite(s.lpc_db[i]))
                out.Fixed(s.lpc_db[i], 3);
        }
        out << "\n";
    }
    return out.Finish();
}

} // namespace

int RunSpectrum(int argc, char** argv)
{
    SliceSettings settings;
    settings.dTimeS = -1;
    std::vector<std::string> files;
    std::string strOut;
    int nChannel = 1;
    EFormat format = EFormat::Csv;
    COptionReader args(argc, argv, kszUsage);
    while (args.Next()) {
        if (args.Flag("--lpc")) {
            settings.bEnvelope = true;
            continue;
        }
        if (!(args.Number("--at", settings.dTimeS) || args.Number("--window", settings.dWindowS)
              || args.Number("--max-formant", settings.formants.dCeilingHz) || args.Channel(nChannel)
              || args.Format({EFormat::Csv, EFormat::Json}, format) || args.Output(strOut) || args.File(files)))
            args.Refuse();
    }
    if (const int nStatus = args.End(files.size() == 1 && settings.dTimeS != -1))
        return nStatus;
    if (settings.formants.dCeilingHz != 0 && !settings.bEnvelope) {
        PrintError("--max-formant: is the envelope's (--lpc)");
        return 2;
    }
    if (const std::string strRefusal = RefusalLine(RefusedSetting(settings, 0)); !strRefusal.empty()) {
        PrintError(strRefusal);
        return 2;
    }
    const std::string& strIn = files[0];
    if (!strOut.empty() && CInputFiles({strIn}).Refuses(strIn, strOut))
        return 1;
    SpectralSlice slice;
    const analysis::SoundOutcome outcome =
        SliceSound(analysis::CSoundInput::File(strIn, nChannel), settings, 0, slice);
    if (!outcome.Done()) {
        const std::string strRefusal = outcome.nOutcome == analysis::EOutcome::Refused && outcome.strWhy.empty()
                                           ? RefusalLine(RefusedSetting(settings, outcome.nRate))
                                           : std::string();
        PrintError(strRefusal.empty() ? analysis::DescribeOutcome(outcome, kSliceWords, strIn) : strIn + ": " + strRefusal);
        return 1;
    }
    InstallSignalHandlers();
    return WriteOutput(strOut,
                       [&](WriteFn pfnWrite, void* pContext) {
                           return WriteSlice(strIn, outcome.nRate, settings, slice, format, pfnWrite, pContext);
                       })
               ? 0
               : 1;
}

} // namespace analyze
} // namespace sonavel
