// FFT, cubic spline and frame spectrum against independent oracles: a direct
// DFT, cubics whose second derivatives are known, hand-computed spectra.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "player/analysis/model/AnalysisResource.h"
#include "player/audio/AudioResource.h"
#include "player/audio/CSampleBlock.h"
#include "tests/support/SampleBlockProbe.h"
#include "player/analysis/model/CSignalMath.h"
#include "player/analysis/spectrum/Fft.h"
#include "player/analysis/spectrum/Spline.h"

namespace {

const double kTestPi = 3.14159265358979323846;

std::vector<std::complex<double>> DirectDft(const std::vector<std::complex<double>>& x)
{
    const size_t n = x.size();
    std::vector<std::complex<double>> out(n);
    for (size_t k = 0; k < n; ++k) {
        std::complex<double> s = 0;
        for (size_t j = 0; j < n; ++j)
            s += x[j] * std::polar(1.0, -2.0 * kTestPi * double((j * k) % n) / double(n));
        out[k] = s;
    }
    return out;
}

TEST(Fft, MatchesDirectDftForSeveralSizes)
{
    unsigned seed = 12345;
    auto rnd = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return ((seed >> 8) & 0xFFFF) / 32768.0 - 1.0;
    };
    for (int log2n : {1, 2, 3, 5, 6, 8, 10, 12}) {
        const int n = 1 << log2n;
        std::vector<std::complex<double>> x(n);
        std::vector<double> re(n), im(n);
        for (int i = 0; i < n; ++i) {
            x[i] = {rnd(), rnd()};
            re[i] = x[i].real();
            im[i] = x[i].imag();
        }
        sonavel::spectrum::Fft(re.data(), im.data(), log2n);
        const auto want = DirectDft(x);
        double maxErr = 0, scale = 0;
        for (int k = 0; k < n; ++k) {
            maxErr = std::max(maxErr, std::abs(want[k] - std::complex<double>(re[k], im[k])));
            scale = std::max(scale, std::abs(want[k]));
        }
        // The stored pi and the twiddle recurrence cost a little accuracy on
        // large transforms, but far less than anything the display could show.
        EXPECT_LT(maxErr / scale, 1e-9) << "N = " << n;
    }
}

TEST(Fft, ImpulseAndSingleExponential)
{
    const int log2n = 6, n = 64;
    std::vector<double> re(n, 0.0), im(n, 0.0);
    re[0] = 1.0;
    sonavel::spectrum::Fft(re.data(), im.data(), log2n);
    for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(re[k], 1.0, 1e-12);
        EXPECT_NEAR(im[k], 0.0, 1e-12);
    }

    const int bin = 5;
    for (int j = 0; j < n; ++j) {
        re[j] = std::cos(2 * kTestPi * bin * j / n);
        im[j] = std::sin(2 * kTestPi * bin * j / n);
    }
    sonavel::spectrum::Fft(re.data(), im.data(), log2n);
    for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(re[k], k == bin ? double(n) : 0.0, 1e-9) << k;
        EXPECT_NEAR(im[k], 0.0, 1e-9) << k;
    }
}

// Knots of a cubic f on uneven abscissae, 1-based.
struct Knots {
    std::vector<double> x, y, d2;
};
template <class F>
Knots MakeKnots(const std::vector<double>& xs, F f)
{
    Knots k;
    k.x.push_back(0);
    k.y.push_back(0);
    for (double v : xs) {
        k.x.push_back(v);
        k.y.push_back(f(v));
    }
    k.d2.assign(k.x.size(), -999.0);
    return k;
}

TEST(Spline, ClampedEndsReproduceACubicExactly)
{
    // f = x^3 - 2x^2 + 3: f' = 3x^2 - 4x, f'' = 6x - 4.
    auto f = [](double x) { return x * x * x - 2 * x * x + 3; };
    const std::vector<double> xs{-1.0, -0.25, 0.5, 2.0, 2.5, 4.0};
    Knots k = MakeKnots(xs, f);
    const int n = int(xs.size());
    sonavel::spectrum::SplineSetup(k.x.data(), k.y.data(), n, 3 + 4, 3 * 16 - 16, k.d2.data());
    for (int i = 1; i <= n; ++i)
        EXPECT_NEAR(k.d2[i], 6 * k.x[i] - 4, 1e-9) << i;
    for (double at : {-1.0, -0.7, 0.0, 0.5, 1.3, 2.2, 3.9, 4.0}) {
        double out = 1e9;
        ASSERT_EQ(sonavel::spectrum::SplineEvaluate(k.x.data(), k.y.data(), k.d2.data(), n, at, &out), 0);
        EXPECT_NEAR(out, f(at), 1e-9) << at;
    }
    // Outside the knots the end interval's cubic goes on, here the cubic itself.
    double out = 0;
    sonavel::spectrum::SplineEvaluate(k.x.data(), k.y.data(), k.d2.data(), n, 5.0, &out);
    EXPECT_NEAR(out, f(5.0), 1e-9);
    sonavel::spectrum::SplineEvaluate(k.x.data(), k.y.data(), k.d2.data(), n, -2.0, &out);
    EXPECT_NEAR(out, f(-2.0), 1e-9);
}

TEST(Spline, NaturalEndsReproduceANaturalCubic)
{
    // Piecewise cubic with zero curvature at both ends: a straight line is the
    // simplest; a line plus a kink-free "hat" of curvature is checked through
    // the classic three-knot case: y = 0, 1, 0 on x = 0, 1, 2 gives d2[2] = -3.
    Knots line = MakeKnots({0.0, 0.3, 1.0, 2.5, 3.0}, [](double x) { return 2 * x - 1; });
    sonavel::spectrum::SplineSetup(line.x.data(), line.y.data(), 5, 1e30, 1e30, line.d2.data());
    for (int i = 1; i <= 5; ++i)
        EXPECT_NEAR(line.d2[i], 0.0, 1e-12);

    Knots hat = MakeKnots({0.0, 1.0, 2.0}, [](double x) { return x == 1.0 ? 1.0 : 0.0; });
    sonavel::spectrum::SplineSetup(hat.x.data(), hat.y.data(), 3, 1e30, 1e30, hat.d2.data());
    EXPECT_NEAR(hat.d2[1], 0.0, 1e-12);
    EXPECT_NEAR(hat.d2[2], -3.0, 1e-12);
    EXPECT_NEAR(hat.d2[3], 0.0, 1e-12);
    // On [0,1] that spline is 1.5x - 0.5x^3.
    double out = 0;
    sonavel::spectrum::SplineEvaluate(hat.x.data(), hat.y.data(), hat.d2.data(), 3, 0.5, &out);
    EXPECT_NEAR(out, 0.75 - 0.0625, 1e-12);
    // A knot returns its own value.
    sonavel::spectrum::SplineEvaluate(hat.x.data(), hat.y.data(), hat.d2.data(), 3, 1.0, &out);
    EXPECT_DOUBLE_EQ(out, 1.0);
}

TEST(Spline, CoincidingKnotsAreRefusedAndLeaveOutputAlone)
{
    std::vector<double> x{0, 1, 1}, y{0, 5, 6}, d2{0, 0, 0};
    double out = 42;
    EXPECT_EQ(sonavel::spectrum::SplineEvaluate(x.data(), y.data(), d2.data(), 2, 1.0, &out), 1);
    EXPECT_EQ(out, 42);
}


// The math error is the caller's to show: the computation says so and shows
// nothing, and the frame is filled all the same.
TEST(Spline, RefusedScratchArrayIsReportedAndShowsNothing)
{
    Knots k = MakeKnots({0.0, 1.0, 2.0, 3.0}, [](double x) { return x * x; });
    std::vector<double> frame(65);
    for (int i = 0; i < 65; ++i)
        frame[size_t(i)] = 1000.0 * std::sin(i * 0.7);
    {
        CScopedAllocationLimit limit(8);
        EXPECT_FALSE(sonavel::spectrum::SplineSetup(k.x.data(), k.y.data(), 4, 1e30, 1e30, k.d2.data()));
        EXPECT_EQ(CSignalMath().FrameSpectrum(frame.data(), 64, 0.98, 64, 5000, 11025),
                  sonavel::analysis::EOutcome::NoMemory);
    }
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(k.d2[i], -999.0);
    for (int i = 0; i < 64; ++i)
        EXPECT_TRUE(std::isfinite(frame[size_t(i)])) << i;
}

TEST(FrameSpectrum, ConstantFramePeaksAtDc)
{
    // 65 equal samples: after pre-emphasis 0.02 x 1000 = 20 everywhere, so the
    // spectrum is the Hamming window's: bin 0 = (20 x 0.54 x 64)^2.
    std::vector<double> frame(300, 1000.0);
    const int points = 32;
    // Top = half the rate, one point per bin: the grid hits the knots exactly.
    ASSERT_EQ(CSignalMath().FrameSpectrum(frame.data(), 64, 0.98, points, 4000, 8000), sonavel::analysis::EOutcome::Done);
    const double dc = 10 * std::log10(std::pow(20.0 * 0.54 * 64, 2));
    EXPECT_NEAR(frame[0], dc, 1e-6);
    for (int i = 1; i < points; ++i)
        EXPECT_LT(frame[i], frame[0] - 5) << i;
}

TEST(FrameSpectrum, AllZeroFrameGivesZeroDecibelsNotMinusInfinity)
{
    std::vector<double> frame(300, 0.0);
    ASSERT_EQ(CSignalMath().FrameSpectrum(frame.data(), 64, 0.98, 224, 5000, 11025), sonavel::analysis::EOutcome::Done);
    for (int i = 0; i < 224; ++i)
        ASSERT_EQ(frame[i], 0.0) << i;

    // Equal samples with no pre-emphasis differences left: p = 1.
    std::vector<double> flat(300, 7.0);
    CSignalMath().FrameSpectrum(flat.data(), 64, 1.0, 100, 5000, 22050);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(flat[i], 0.0) << i;
}

TEST(FrameSpectrum, TonePeaksAtItsBinAndTheGridPassesThroughTheBins)
{
    // A 2000 Hz tone at 16000 Hz sits on bin 8. A little noise keeps the empty
    // bins at a floor: on an exact tone they would lie hundreds of dB down.
    std::vector<double> frame(300);
    unsigned seed = 99;
    for (int i = 0; i < 65; ++i) {
        seed = seed * 1103515245u + 12345u;
        frame[i] = 10000 * std::sin(2 * kTestPi * 2000.0 * i / 16000.0) + ((seed >> 16) % 5) - 2.0;
    }
    std::vector<double> bins = frame, grid = frame;
    CSignalMath m;
    m.FrameSpectrum(bins.data(), 64, 0.0, 32, 8000, 16000); // one point per bin
    int best = 0;
    for (int i = 0; i < 32; ++i)
        if (bins[i] > bins[best])
            best = i;
    EXPECT_EQ(best, 8);
    EXPECT_NEAR(bins[7], bins[9], 0.5); // the window's main lobe is symmetric

    // On a 0..5000 Hz grid of 250 points a point every 0.08 bin: point 100 is
    // bin 8, point 25 bin 2; the spline may bulge between bins near the steep
    // flanks of the lobe, but not beyond its neighbours.
    m.FrameSpectrum(grid.data(), 64, 0.0, 250, 5000, 16000);
    EXPECT_NEAR(grid[100], bins[8], 1e-6);
    EXPECT_NEAR(grid[25], bins[2], 1e-6);
    best = 0;
    for (int i = 0; i < 250; ++i)
        if (grid[i] > grid[best])
            best = i;
    EXPECT_GE(best, 88);
    EXPECT_LE(best, 112);
}

TEST(FrameSpectrum, EightKilohertzExtrapolatesBeyondTheLastBin)
{
    // At 8000 Hz a 0..5000 Hz grid runs past bin 31 (4000 Hz): those points come
    // from the last interval's cubic, finite and not pinned to the last bin.
    std::vector<double> frame(300);
    unsigned seed = 7;
    for (int i = 0; i < 65; ++i) {
        seed = seed * 1103515245u + 12345u;
        frame[i] = double((seed >> 8) & 0x3FFF) - 8192.0;
    }
    std::vector<double> copy = frame;
    CSignalMath().FrameSpectrum(copy.data(), 64, 0.98, 240, 5000, 8000);
    // The bins themselves, for comparison: same frame on a grid with one point per bin.
    std::vector<double> bins = frame;
    CSignalMath().FrameSpectrum(bins.data(), 64, 0.98, 32, 4000, 8000);
    const int beyond = 240 * 4000 / 5000; // first point above 4000 Hz
    bool differsFromLastBin = false;
    for (int i = 0; i < 240; ++i) {
        ASSERT_TRUE(std::isfinite(copy[i])) << i;
        if (i > beyond && std::fabs(copy[i] - bins[31]) > 0.5)
            differsFromLastBin = true;
    }
    EXPECT_TRUE(differsFromLastBin);
    // Below 4000 Hz the grid interpolates: a point on a bin equals that bin.
    // Grid step is 1.25 * 32 / 240 = 1/6 bin, so point 6 is bin 1 and 186 is bin 31.
    EXPECT_NEAR(copy[6], bins[1], 1e-6);
    EXPECT_NEAR(copy[186], bins[31], 1e-6);
}

TEST(FrameSpectrum, RefusesLengthsBeyondItsWorkingArrays)
{
    std::vector<double> frame(3000, 1.0);
    EXPECT_EQ(CSignalMath().FrameSpectrum(frame.data(), 2048, 0.98, 10, 5000, 11025), sonavel::analysis::EOutcome::Refused);
    EXPECT_EQ(CSignalMath().FrameSpectrum(frame.data(), 64, 0.98, 10, 5000, 0), sonavel::analysis::EOutcome::Refused);
    EXPECT_EQ(frame[0], 1.0);
}

} // namespace
