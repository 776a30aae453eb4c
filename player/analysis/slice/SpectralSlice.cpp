#include "player/analysis/slice/SpectralSlice.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <string>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/spectrum/CRealFft.h"

namespace sonavel::slice {

namespace {

const double kReferencePa2 = 4e-10;  // (2 x 10^-5 Pa)^2
// exp(-48 u^2) over twice the window: a standard deviation of window / 4.9,
// cut where it has fallen to e^-12 (side lobes below -100 dB), a bandwidth
// within a tenth of a Hann window of the window's length.
const double kGaussian = 48;
const double kWidestBinHz = 8;       // zero-padding until the bins are this narrow
const int kMaxWindowSamples = 1 << 22;
// The spectrum's peaks: those that stand out by 6 dB, within 60 dB of the
// highest (a Gaussian window's side lobes lie lower); the envelope is smooth
// (an all-pole curve has no ripple of its own), so every bump of a tenth of a
// dB is a resonance: two formants 270 Hz apart under a child's f0 leave a dip
// of well under 1 dB between them.
const double kPeakProminenceDb = 6, kPeakRangeDb = 60;
const double kEnvelopePeakProminenceDb = 0.1, kEnvelopePeakRangeDb = 80;

double LevelDb(double dPower)
{
    return dPower > 0 ? std::max(kSilenceDb, 10 * std::log10(dPower / kReferencePa2)) : kSilenceDb;
}

// The window's span in samples either side of the centre.
double HalfSpanSamples(const SliceSettings& settings, int nRate)
{
    return settings.dWindowS * nRate;
}

} // namespace

analysis::SettingRefusal RefusedSetting(const SliceSettings& settings, int nRate)
{
    if (!(std::isfinite(settings.dTimeS) && settings.dTimeS >= 0))
        return {"at", "must be a time of 0 s or later"};
    if (!(settings.dWindowS >= kMinWindowS && settings.dWindowS <= kMaxWindowS))
        return {"window", "must lie between 0.001 and 1 s"};
    if (nRate > 0 && 2 * HalfSpanSamples(settings, nRate) > kMaxWindowSamples)
        return {"window", "is too long for a sound at " + std::to_string(nRate) + " Hz"};
    if (settings.bEnvelope)
        return formants::RefusedSetting(settings.formants, nRate);
    return {};
}

analysis::EOutcome MakeSlice(const SliceSettings& settings, const CSampleSource& source, int nCount, int nRate,
                             int nThreads, SpectralSlice& slice)
{
    slice = SpectralSlice();
    if (nRate <= 0 || nRate > kMaxRateHz || nCount <= 0 || RefusedSetting(settings, nRate)
        || settings.dTimeS > double(nCount) / nRate)
        return analysis::EOutcome::Refused;
    try {
        // The window's samples: those within the span around the centre, inside the sound.
        const double dCentre = settings.dTimeS * nRate;
        const double dHalf = HalfSpanSamples(settings, nRate);
        const int64_t nFirst = std::max<int64_t>(0, static_cast<int64_t>(std::ceil(dCentre - dHalf)));
        const int64_t nEnd = std::min<int64_t>(nCount, static_cast<int64_t>(std::floor(dCentre + dHalf)) + 1);
        const int nLength = static_cast<int>(std::max<int64_t>(0, nEnd - nFirst));
        int nSize = 4;
        while (nSize < nLength || nSize < nRate / kWidestBinHz)
            nSize *= 2;
        std::vector<double> frame(size_t(nSize), 0.0);
        double dWindowSum = 0, dWindowEnergy = 0;
        if (nLength > 0) {
            std::vector<int16_t> buffer(source.NeedsBuffer() ? size_t(nLength) : 0);
            const int16_t* p = source.Fetch(static_cast<int>(nFirst), nLength, buffer.data());
            if (!p)
                return analysis::EOutcome::SourceFailed;
            const double dEdge = std::exp(-kGaussian / 4);
            for (int j = 0; j < nLength; ++j) {
                const double u = (double(nFirst + j) - dCentre) / (2 * dHalf);
                const double w = std::max(0.0, (std::exp(-kGaussian * u * u) - dEdge) / (1 - dEdge));
                frame[size_t(j)] = w * p[j] / 32768.0;
                dWindowSum += w;
                dWindowEnergy += w * w;
            }
        }
        const int nBins = nSize / 2 + 1;
        std::vector<double> power(size_t(nBins), 0.0);
        CRealFft fft(nSize);
        fft.Power(frame.data(), power.data());
        slice.frequency_hz.resize(size_t(nBins));
        slice.db.resize(size_t(nBins));
        // A sine of amplitude A gives |X|^2 = (A sum w / 2)^2 at its frequency:
        // 2 |X|^2 / (sum w)^2 is its mean square. At 0 Hz and the top, one.
        const double dScale = dWindowSum > 0 ? 1 / (dWindowSum * dWindowSum) : 0;
        for (int k = 0; k < nBins; ++k) {
            slice.frequency_hz[size_t(k)] = double(k) * nRate / nSize;
            const double dTwice = k == 0 || k == nBins - 1 ? 1 : 2;
            slice.db[size_t(k)] = LevelDb(dTwice * power[size_t(k)] * dScale);
        }
        slice.peaks = FindPeaks(slice.frequency_hz, slice.db, kPeakProminenceDb, kPeakRangeDb);
        if (!settings.bEnvelope)
            return analysis::EOutcome::Done;

        formants::FormantPredictor predictor;
        const analysis::EOutcome nPredictor =
            formants::PredictorAt(settings.formants, source, nCount, nRate, settings.dTimeS, nThreads, predictor);
        if (nPredictor != analysis::EOutcome::Done) {
            slice = SpectralSlice();
            return nPredictor;
        }
        slice.dCeilingHz = predictor.dCeilingHz;
        // A sound of the envelope's power density gives the windowed spectrum
        // 2 sum(w^2) / (sum w)^2 times its power per sample at this rate; the
        // predictor's power is per sample at twice the ceiling.
        const double dEnvelopeScale = 2 * dWindowEnergy * dScale * nRate / (2 * predictor.dCeilingHz);
        slice.lpc_db.resize(size_t(nBins));
        for (int k = 0; k < nBins; ++k) {
            const double f = slice.frequency_hz[size_t(k)];
            slice.lpc_db[size_t(k)] = f <= predictor.dCeilingHz
                                          ? LevelDb(dEnvelopeScale * predictor.PowerAt(f))
                                          : std::numeric_limits<double>::quiet_NaN();
        }
        slice.lpcPeaks = FindPeaks(slice.frequency_hz, slice.lpc_db, kEnvelopePeakProminenceDb, kEnvelopePeakRangeDb);
    } catch (const std::bad_alloc&) {
        slice = SpectralSlice();
        return analysis::EOutcome::NoMemory;
    }
    return analysis::EOutcome::Done;
}

analysis::SoundOutcome SliceSound(const analysis::CSoundInput& input, const SliceSettings& settings, int nThreads,
                                  SpectralSlice& slice)
{
    analysis::SoundOutcome outcome =
        analysis::AnalyseSoundUpTo(kMaxRateHz, input, [&](const CSampleSource& source, int nCount, int nRate) {
            return MakeSlice(settings, source, nCount, nRate, nThreads, slice);
        });
    if (outcome.nOutcome == analysis::EOutcome::Refused && outcome.nRate > 0 && outcome.strWhy.empty()) {
        const double dDuration = double(outcome.nCount) / outcome.nRate;
        char szWhy[120];
        if (outcome.nCount == 0)
            std::snprintf(szWhy, sizeof szWhy, "the sound holds no sample");
        else if (settings.dTimeS > dDuration)
            std::snprintf(szWhy, sizeof szWhy, "%.6g s lies past the sound's end, %.6g s", settings.dTimeS, dDuration);
        else
            szWhy[0] = 0;
        outcome.strWhy = szWhy;
    }
    return outcome;
}

std::vector<SlicePeak> FindPeaks(const std::vector<double>& hz, const std::vector<double>& db, double dProminenceDb,
                                 double dRangeDb)
{
    std::vector<SlicePeak> peaks;
    size_t n = std::min(hz.size(), db.size());
    for (size_t i = 0; i < n; ++i)
        if (!std::isfinite(db[i]))
            n = i;
    if (n < 3)
        return peaks;
    const double dTop = *std::max_element(db.begin(), db.begin() + std::ptrdiff_t(n));
    for (size_t i = 1; i + 1 < n; ++i) {
        // A flat top counts once, at its first bin.
        if (!(db[i] > db[i - 1] && db[i] >= db[i + 1]) || db[i] < dTop - dRangeDb)
            continue;
        // The lowest point on the way to a higher one, each side.
        double dLeft = db[i], dRight = db[i];
        for (size_t j = i; j-- > 0 && db[j] <= db[i];)
            dLeft = std::min(dLeft, db[j]);
        for (size_t j = i + 1; j < n && db[j] <= db[i]; ++j)
            dRight = std::min(dRight, db[j]);
        if (db[i] - std::max(dLeft, dRight) < dProminenceDb)
            continue;
        const double a = db[i - 1], b = db[i], c = db[i + 1];
        const double dDen = a - 2 * b + c;
        const double dShift = dDen < 0 ? std::clamp(0.5 * (a - c) / dDen, -0.5, 0.5) : 0.0;
        const double dStep = hz[i + 1] - hz[i];
        peaks.push_back({hz[i] + dShift * dStep, b - 0.25 * (a - c) * dShift});
    }
    return peaks;
}

} // namespace sonavel::slice
