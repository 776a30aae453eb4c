// The pitch tracker and the frame spectrum on arbitrary sound: the first byte
// picks the sample rate (from rates a file can carry, or the next four bytes as
// a raw rate), the rest are 16-bit little-endian samples.
#include "tests/fuzz/FuzzTarget.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "player/analysis/model/CSignalMath.h"

FUZZ_TARGET(pitch, "pitch")
{
    static const int kRates[] = {0, 1, 259, 999, 1000, 8000, 11025, 16000, 22050, 44100, 48000, 192000, -1, INT_MIN};
    if (size < 1)
        return 0;
    int nRate;
    size_t nAt = 1;
    if (data[0] >= 0xF0 && size >= 5) {
        uint32_t v;
        std::memcpy(&v, data + 1, 4);
        nRate = static_cast<int>(v);
        nAt = 5;
    } else {
        nRate = kRates[data[0] % (sizeof kRates / sizeof kRates[0])];
    }
    const int nCount = static_cast<int>((size - nAt) / 2);
    std::vector<int16_t> samples(static_cast<size_t>(nCount));
    for (int i = 0; i < nCount; ++i)
        samples[i] = static_cast<int16_t>(data[nAt + 2 * i] | (data[nAt + 2 * i + 1] << 8));

    // Exactly the room the tracker may write: anything beyond is a sanitizer report.
    std::vector<int16_t> out(static_cast<size_t>(nCount / 100 + 1));
    FUZZ_CHECK(CSignalMath().TrackPitch(samples.data(), nCount, nRate, out.data()) == sonavel::analysis::EOutcome::Done);
    for (int16_t v : out)
        FUZZ_CHECK(v >= 0 && v <= 260);

    // One spectrogram column as the analysis window computes it.
    std::vector<double> frame(224);
    for (int i = 0; i < 74 && i < nCount; ++i)
        frame[i] = samples[i];
    if (CSignalMath().FrameSpectrum(frame.data(), 64, 0.98, 224, 5000, nRate) == sonavel::analysis::EOutcome::Done)
        for (double v : frame)
            FUZZ_CHECK(std::isfinite(v));
    return 0;
}
