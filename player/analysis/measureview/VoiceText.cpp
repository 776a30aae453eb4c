#include "player/analysis/measureview/VoiceText.h"

#include <cstdio>

namespace sonavel::measure {

namespace {

// "   Label:  value unit", the values aligned in one column.
void Line(std::string& s, const char* szLabel, const std::optional<double>& d, const char* szUnit, int nDecimals = 3)
{
    char sz[128];
    if (d)
        std::snprintf(sz, sizeof sz, "   %-34s %.*f%s%s\n", szLabel, nDecimals, *d, *szUnit ? " " : "", szUnit);
    else
        std::snprintf(sz, sizeof sz, "   %-34s none\n", szLabel);
    s += sz;
}

} // namespace

std::string VoiceReportText(const voice::VoiceReport& r, const voice::VoiceSettings& settings,
                            const std::string& strName)
{
    char sz[128];
    std::snprintf(sz, sizeof sz, ", %.3f to %.3f s (%.3f s)\n", r.dStartS, r.dEndS, r.dEndS - r.dStartS);
    std::string s = "Voice report of " + strName + sz;
    const auto percent = [](const std::optional<double>& d) { return d ? std::optional<double>(*d * 100) : d; };
    std::snprintf(sz, sizeof sz, "\nPitch (floor %g Hz, ceiling %g Hz):\n", settings.dFloorHz, settings.dCeilingHz);
    s += sz;
    Line(s, "Median pitch:", r.dF0MedianHz, "Hz");
    Line(s, "Mean pitch:", r.dF0MeanHz, "Hz");
    Line(s, "Standard deviation:", r.dF0SdHz, "Hz");
    s += "Pulses:\n";
    Line(s, "Number of pulses:", double(r.nPulses), "", 0);
    Line(s, "Number of periods:", double(r.nPeriods), "", 0);
    s += "Voicing:\n";
    Line(s, "Fraction of unvoiced frames:", percent(r.dUnvoicedFraction), "%");
    Line(s, "Number of voice breaks:", double(r.nVoiceBreaks), "", 0);
    s += "Jitter:\n";
    Line(s, "Jitter (local):", r.jitter.dLocalPct, "%");
    Line(s, "Jitter (local, absolute):", r.jitter.dLocalAbsUs, "\xC2\xB5s");
    Line(s, "Jitter (rap):", r.jitter.dRapPct, "%");
    Line(s, "Jitter (ppq5):", r.jitter.dPpq5Pct, "%");
    Line(s, "Jitter (ddp):", r.jitter.dDdpPct, "%");
    s += "Shimmer:\n";
    Line(s, "Shimmer (local):", r.shimmer.dLocalPct, "%");
    Line(s, "Shimmer (local, dB):", r.shimmer.dLocalDb, "dB");
    Line(s, "Shimmer (apq3):", r.shimmer.dApq3Pct, "%");
    Line(s, "Shimmer (apq5):", r.shimmer.dApq5Pct, "%");
    Line(s, "Shimmer (apq11):", r.shimmer.dApq11Pct, "%");
    Line(s, "Shimmer (dda):", r.shimmer.dDdaPct, "%");
    s += "Harmonicity of the voiced parts:\n";
    Line(s, "Mean harmonics-to-noise ratio:", r.dHnrDb, "dB");
    s += "Cepstral peak:\n";
    Line(s, "Smoothed cepstral peak prominence:", r.dCppsDb, "dB");
    return s;
}

} // namespace sonavel::measure
