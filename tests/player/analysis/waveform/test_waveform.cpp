// The waveform's pyramid against a direct scan of the samples: any stretch,
// and the pixel columns of a view from the whole sound down to less than a
// sample per pixel, and a source that fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/support/FailingSamples.h"
#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/waveform/WaveformPyramid.h"

using namespace sonavel;
using waveform::MinMax;

namespace {

// Noise whose loudness wanders, so neighbouring blocks differ, and a sample
// count that is no multiple of any block.
std::vector<int16_t> Wandering(int n)
{
    std::mt19937 random(11);
    std::vector<int16_t> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double dLoud = 0.5 + 0.5 * std::sin(i / 997.0);
        v[static_cast<size_t>(i)] = static_cast<int16_t>(std::uniform_int_distribution<int>(-32768, 32767)(random) * dLoud);
    }
    return v;
}

MinMax Direct(const std::vector<int16_t>& v, int64_t a, int64_t b)
{
    MinMax r;
    for (int64_t i = std::max<int64_t>(a, 0); i < std::min<int64_t>(b, static_cast<int64_t>(v.size())); ++i)
        r.Add({v[static_cast<size_t>(i)], v[static_cast<size_t>(i)]});
    return r;
}

} // namespace

TEST(WaveformPyramid, AnyStretchAndEveryPixelColumnMatchADirectScan)
{
    const std::vector<int16_t> v = Wandering(1234567);
    const int n = static_cast<int>(v.size());
    const CMemorySamples source(v.data(), n);
    waveform::CWaveformPyramid pyramid;
    ASSERT_EQ(pyramid.Build(analysis::CSoundInput::Samples(source, n, 44100)).nOutcome, analysis::EOutcome::Done);
    const waveform::HeldSamples held{v.data(), 0, n};

    std::mt19937 random(5);
    for (int k = 0; k < 2000; ++k) {
        const int64_t a = std::uniform_int_distribution<int64_t>(0, n)(random);
        const int64_t nLength = std::uniform_int_distribution<int64_t>(0, k % 2 ? 300 : n)(random);
        const MinMax r = pyramid.Range(a, a + nLength, held), d = Direct(v, a, a + nLength);
        ASSERT_EQ(r.Empty(), d.Empty()) << a << "+" << nLength;
        if (!d.Empty()) {
            ASSERT_EQ(r.nMin, d.nMin) << a << "+" << nLength;
            ASSERT_EQ(r.nMax, d.nMax) << a << "+" << nLength;
        }
    }

    // A view 1000 pixels wide, from all of it (1235 samples a pixel) to 0.3 of one.
    const int nRate = 44100;
    for (double dSpan : {n / double(nRate), 1.0, 0.0317, 1000 * 0.3 / nRate}) {
        const double dStart = dSpan < 5 ? 12.3456 : 0;
        const auto columns = waveform::PixelColumns(pyramid, held, dStart, dStart + dSpan, 1000, nRate);
        ASSERT_EQ(columns.size(), 1000u);
        int nEmpty = 0;
        for (int x = 0; x < 1000; ++x) {
            // The samples whose times lie in the pixel: i / rate in [t0, t1).
            const int64_t a = waveform::SampleAtOrAfter(dStart + x * dSpan / 1000, nRate);
            const int64_t b = waveform::SampleAtOrAfter(dStart + (x + 1) * dSpan / 1000, nRate);
            const MinMax d = Direct(v, a, b), c = columns[static_cast<size_t>(x)];
            nEmpty += c.Empty();
            ASSERT_EQ(c.Empty(), d.Empty()) << dSpan << " pixel " << x;
            if (!d.Empty()) {
                ASSERT_TRUE(c.nMin == d.nMin && c.nMax == d.nMax) << dSpan << " pixel " << x;
            }
        }
        // Below a sample per pixel most pixels hold none.
        EXPECT_EQ(nEmpty > 500, dSpan * nRate < 1000) << dSpan;
    }

    // Samples not held: the edges' whole blocks, never less than the stretch holds.
    const MinMax rough = pyramid.Range(1000, 500000, waveform::HeldSamples()), exact = Direct(v, 1000, 500000);
    EXPECT_LE(rough.nMin, exact.nMin);
    EXPECT_GE(rough.nMax, exact.nMax);
    EXPECT_TRUE(rough.nMin == Direct(v, 960, 500032).nMin && rough.nMax == Direct(v, 960, 500032).nMax);

    // With no pyramid built, a short held stretch answers from its samples.
    const MinMax direct = waveform::CWaveformPyramid().Range(5000, 5000 + 4096, held), truth = Direct(v, 5000, 9096);
    EXPECT_TRUE(direct.nMin == truth.nMin && direct.nMax == truth.nMax);

    // A source that fails leaves an empty pyramid that answers nothing.
    EXPECT_EQ(pyramid.Build(analysis::CSoundInput::Samples(CFailingSamples(), n, 44100)).nOutcome,
              analysis::EOutcome::SourceFailed);
    EXPECT_TRUE(pyramid.Range(0, n, held).Empty());
}
