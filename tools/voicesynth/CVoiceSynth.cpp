#include "tools/voicesynth/CVoiceSynth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

const double kPi = 3.14159265358979323846;
const double kPhaseSlack = 1e-9;

// Glottal flow over one cycle (phase 0..1): a raised-cosine opening over 40 % of
// the cycle, a quarter-cosine closing over 16 %, closed for the rest. Its
// derivative (lip radiation) is what excites the vocal tract.
double GlottalFlow(double dPhase)
{
    const double dOpen = 0.40, dClose = 0.16;
    if (dPhase < dOpen)
        return 0.5 * (1.0 - std::cos(kPi * dPhase / dOpen));
    if (dPhase < dOpen + dClose)
        return std::cos(0.5 * kPi * (dPhase - dOpen) / dClose);
    return 0.0;
}

// A two-pole resonator with unit gain at 0 Hz.
struct CResonator {
    double a = 1.0, b = 0.0, c = 0.0;
    double y1 = 0.0, y2 = 0.0;

    CResonator(double dFreq, double dBandwidth, double dRate)
    {
        const double r = std::exp(-kPi * dBandwidth / dRate);
        b = 2.0 * r * std::cos(2.0 * kPi * dFreq / dRate);
        c = -r * r;
        a = 1.0 - b - c;
    }
    double Step(double x)
    {
        const double y = a * x + b * y1 + c * y2;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// A small self-contained generator, so a seed gives the same voice everywhere.
class CJitterSource {
public:
    explicit CJitterSource(unsigned nSeed) : m_nState(nSeed * 2654435761u + 0x9E3779B9u) {}
    double Uniform() // -1 .. 1
    {
        m_nState ^= m_nState << 13;
        m_nState ^= m_nState >> 17;
        m_nState ^= m_nState << 5;
        return (m_nState / 4294967295.0) * 2.0 - 1.0;
    }

private:
    uint32_t m_nState;
};

} // namespace

double ContourF0At(const VoiceSynthParams& params, double dTimeSeconds)
{
    const auto& k = params.contour;
    if (k.empty())
        return 0.0;
    if (dTimeSeconds <= k.front().first)
        return k.front().second;
    for (size_t i = 1; i < k.size(); ++i) {
        if (dTimeSeconds <= k[i].first) {
            const double t0 = k[i - 1].first, t1 = k[i].first;
            if (t1 <= t0)
                return k[i].second;
            const double u = (dTimeSeconds - t0) / (t1 - t0);
            return k[i - 1].second + u * (k[i].second - k[i - 1].second);
        }
    }
    return k.back().second;
}

std::vector<int16_t> SynthesizeVoice(const VoiceSynthParams& params)
{
    std::vector<int16_t> out;
    const int nRate = params.nSampleRate;
    if (nRate <= 0 || !(params.dSeconds > 0.0))
        return out;
    const double dCount = std::floor(params.dSeconds * nRate + 0.5);
    if (!(dCount >= 1.0) || dCount > static_cast<double>(std::numeric_limits<int32_t>::max()))
        return out;
    const size_t nCount = static_cast<size_t>(dCount);

    std::vector<CResonator> tract;
    for (size_t i = 0; i < params.formantsHz.size(); ++i) {
        const double f = params.formantsHz[i];
        const double bw = i < params.bandwidthsHz.size() ? params.bandwidthsHz[i] : 100.0;
        // A formant at or above half the rate would fold back; the voice just lacks it.
        if (f > 0.0 && f < 0.5 * nRate && bw > 0.0)
            tract.emplace_back(f, bw, nRate);
    }

    CJitterSource jitter(params.nSeed);
    const double dJitter = std::clamp(params.dJitter, 0.0, 0.5);
    std::vector<double> wave(nCount);

    // Phase in cycles (0..1). It advances by f0/rate per sample; when it passes 1
    // the next cycle starts with a new jitter factor. Only the fraction is kept,
    // so precision does not fade on long sounds.
    double dPhase = 0.0;
    double dFactor = 1.0 + dJitter * jitter.Uniform();
    double dPrevFlow = 0.0;
    bool bVoiced = false;
    for (size_t n = 0; n < nCount; ++n) {
        const double f0 = ContourF0At(params, static_cast<double>(n) / nRate);
        double dFlow = 0.0;
        if (f0 > 0.0 && f0 < 0.5 * nRate) {
            if (!bVoiced) {
                dPhase = 0.0;
                bVoiced = true;
            }
            dFlow = GlottalFlow(dPhase);
            dPhase += f0 * dFactor / nRate;
            // A cycle whose length is a whole number of samples must close after
            // exactly that many steps, although the sum of the rounded steps may
            // fall short of 1 by a few ulps; a remainder that small is dropped so
            // that every cycle of a steady voice starts at phase 0 exactly.
            if (dPhase >= 1.0 - kPhaseSlack) {
                dPhase -= 1.0;
                if (dPhase < kPhaseSlack)
                    dPhase = 0.0;
                dFactor = 1.0 + dJitter * jitter.Uniform();
            }
        } else {
            bVoiced = false;
        }
        double x = dFlow - dPrevFlow;
        dPrevFlow = dFlow;
        for (auto& r : tract)
            x = r.Step(x);
        wave[n] = x;
    }

    double dMax = 0.0;
    for (double v : wave)
        dMax = std::max(dMax, std::fabs(v));
    const double dPeak = std::clamp(params.dPeak, 0.0, 1.0);
    const double dScale = dMax > 0.0 ? dPeak * 32767.0 / dMax : 0.0;
    out.resize(nCount);
    for (size_t n = 0; n < nCount; ++n) {
        const double v = std::nearbyint(wave[n] * dScale);
        out[n] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
    return out;
}
