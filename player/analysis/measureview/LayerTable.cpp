#include "player/analysis/measureview/LayerTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace sonavel::measure {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// The frame of times nearest to t, or -1 when none lies within half the
// frames' own spacing of it (t before the first or past the last frame).
long NearestFrame(const std::vector<double>& times, double t)
{
    if (times.empty())
        return -1;
    const auto it = std::lower_bound(times.begin(), times.end(), t);
    size_t i = static_cast<size_t>(it - times.begin());
    if (i == times.size() || (i > 0 && t - times[i - 1] <= times[i] - t))
        i = i > 0 ? i - 1 : 0;
    const double dSpacing = times.size() > 1 ? times[1] - times[0] : 0;
    // A millionth of a step over half of it still counts: the two grids'
    // times are products of the same step, rounded differently.
    return std::abs(times[i] - t) <= dSpacing * 0.500001 + 1e-9 ? static_cast<long>(i) : -1;
}

double At(const std::vector<double>& values, long i)
{
    return i >= 0 && static_cast<size_t>(i) < values.size() ? values[static_cast<size_t>(i)] : kNone;
}

void AppendField(std::string& str, const char* szFormat, double d)
{
    str += ',';
    if (std::isnan(d))
        return;
    char sz[64];
    std::snprintf(sz, sizeof sz, szFormat, d);
    str += sz;
}

} // namespace

std::vector<LayerRow> LayerRows(const LayerTracks& tracks, double dStepS, double dStartS, double dEndS)
{
    std::vector<LayerRow> rows;
    if (!(dStepS > 0) || !(dEndS >= dStartS) || !std::isfinite(dEndS / dStepS))
        return rows;
    // The grid's own times, k x step, as the tracks compute theirs.
    const long long k0 = static_cast<long long>(std::ceil(std::max(dStartS, 0.0) / dStepS - 1e-9));
    const long long k1 = static_cast<long long>(std::floor(dEndS / dStepS + 1e-9));
    for (long long k = k0; k <= k1; ++k) {
        LayerRow row;
        row.dTimeS = static_cast<double>(k) * dStepS;
        row.dPitchHz = row.dConfidence = kNone;
        if (const pitch::PitchFrames* p = tracks.pPitch) {
            const long i = NearestFrame(p->time_s, row.dTimeS);
            row.dPitchHz = At(p->pitch_hz, i);
            row.dConfidence = At(p->confidence, i);
        }
        const formants::FormantFrames* f = tracks.pFormants;
        const long nFormantFrame = f ? NearestFrame(f->time_s, row.dTimeS) : -1;
        for (int j = 0; j < 3; ++j)
            row.formantHz[j] = nFormantFrame >= 0 && j < f->nFormants
                                       ? At(f->hz, nFormantFrame * f->nFormants + j)
                                       : kNone;
        row.dIntensityDb = tracks.pIntensity ? At(tracks.pIntensity->db, NearestFrame(tracks.pIntensity->time_s, row.dTimeS))
                                             : kNone;
        rows.push_back(row);
    }
    return rows;
}

std::string LayerCsv(const std::vector<LayerRow>& rows)
{
    std::string str = "time_s,pitch_hz,confidence,f1_hz,f2_hz,f3_hz,intensity_db\n";
    char sz[64];
    for (const LayerRow& row : rows) {
        std::snprintf(sz, sizeof sz, "%.6f", row.dTimeS);
        str += sz;
        AppendField(str, "%.3f", row.dPitchHz);
        AppendField(str, "%.3f", row.dConfidence);
        for (double dHz : row.formantHz)
            AppendField(str, "%.1f", dHz);
        AppendField(str, "%.3f", row.dIntensityDb);
        str += '\n';
    }
    return str;
}

} // namespace sonavel::measure
