// The measuring view's model without a screen: the transform under its
// spectrogram, the time axis from milliseconds to hours, what a pixel over a
// known tone reads (also through a picture made before a zoom), zoom and
// scroll, a span's columns against the whole sound's and against a stretch's,
// the column cache across sounds, the selection's facts and the worker's
// newest-wins pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <optional>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <random>

#include "player/analysis/measureview/AxisTicks.h"
#include "player/analysis/measureview/CMeasureModel.h"
#include "player/analysis/measureview/CMeasureWorker.h"
#include "player/analysis/spectrum/CRealFft.h"
#include "player/analysis/core/AnalysisBudget.h"

using namespace sonavel;

namespace {

std::vector<int16_t> Tone(double dHz, double dAmplitude, int nRate, double dSeconds)
{
    std::vector<int16_t> v(static_cast<size_t>(dSeconds * nRate));
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<int16_t>(std::lround(dAmplitude * 32767 * std::sin(2 * M_PI * dHz * i / nRate)));
    return v;
}

TEST(MeasureModel, RealTransformMatchesADirectSum)
{
    const int n = 64;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-1, 1);
    std::vector<double> x(n);
    for (double& v : x)
        v = value(random);
    std::vector<double> power(n / 2 + 1);
    CRealFft(n).Power(x.data(), power.data());
    for (int k = 0; k <= n / 2; ++k) {
        double re = 0, im = 0;
        for (int i = 0; i < n; ++i) {
            re += x[i] * std::cos(2 * M_PI * k * i / n);
            im -= x[i] * std::sin(2 * M_PI * k * i / n);
        }
        EXPECT_NEAR(power[k], re * re + im * im, 1e-9) << "bin " << k;
    }
    // Asked for the lowest bins only, it gives exactly those values.
    std::vector<double> low(n / 2 + 1, -1.0);
    CRealFft(n).Power(x.data(), low.data(), 5);
    EXPECT_TRUE(std::equal(low.begin(), low.begin() + 5, power.begin()));
    EXPECT_EQ(low[5], -1.0);
}

TEST(MeasureModel, TimeTicksSuitEverySpanFromMillisecondsToHours)
{
    const double dDigitPx = 7;
    for (double dSpan : {0.002, 0.0137, 0.25, 1.0, 47.3, 600.0, 3600.0, 7200.0}) {
        for (double dStart : {0.0, 1234.5678}) {
            const std::vector<axes::Tick> ticks = axes::TimeTicks(dStart, dStart + dSpan, 1000, dDigitPx);
            ASSERT_GE(ticks.size(), 2u) << dSpan;
            ASSERT_LE(ticks.size(), 20u) << dSpan;
            const double dStep = axes::TickStep(ticks);
            const double dMantissa = dStep / std::pow(10, std::floor(std::log10(dStep) + 1e-9));
            EXPECT_TRUE(std::abs(dMantissa - 1) < 1e-6 || std::abs(dMantissa - 2) < 1e-6
                        || std::abs(dMantissa - 5) < 1e-6) << dStep;
            for (size_t i = 0; i < ticks.size(); ++i) {
                const axes::Tick& t = ticks[i];
                EXPECT_GE(t.dValue, dStart - 1e-9);
                EXPECT_LE(t.dValue, dStart + dSpan + 1e-9);
                // The label says the tick's value to within its last digit.
                EXPECT_NEAR(std::strtod(t.strLabel.c_str(), nullptr), t.dValue, dStep * 1e-3) << t.strLabel;
                if (i > 0) {
                    EXPECT_NEAR(t.dValue - ticks[i - 1].dValue, dStep, dStep * 1e-6);
                    EXPECT_NE(t.strLabel, ticks[i - 1].strLabel);
                    // Neighbouring labels, centred on their ticks, leave room between them.
                    const double dApart = dStep * 1000 / dSpan;
                    EXPECT_GE(dApart, (t.strLabel.size() + ticks[i - 1].strLabel.size()) / 2.0 * dDigitPx + dDigitPx);
                }
            }
        }
    }
}

TEST(MeasureModel, ReadoutOverAKnownToneFindsItsFrequencyTimeAndLevel)
{
    const int nRate = 16000;
    const std::vector<int16_t> tone = Tone(1250, 0.5, nRate, 1.0);
    auto pSound = CMeasureSound::FromSamples(tone.data(), static_cast<int64_t>(tone.size()), nRate);
    CMeasureModel model;
    model.SetSound(pSound->Count(), nRate);
    model.SetSpan(0.2, 0.7);
    PictureRequest request{model.Start(), model.End(), 400, {}};
    CColumnCache cache;
    auto pPicture = ComputePicture(*pSound, request, cache);
    ASSERT_TRUE(pPicture);

    const double dWidth = 400, dHeight = 300, dTop = request.settings.dMaxFrequencyHz;
    const double x = 123.5;
    // The row where the column is loudest.
    double dBestY = 0, dBestLevel = -1e9;
    for (double y = 0.5; y < dHeight; y += 1) {
        const CMeasureModel::Readout r = model.ReadoutAt(pPicture.get(), x, y, dWidth, dHeight, dTop);
        ASSERT_TRUE(r.bLevel);
        if (r.dLevelDb > dBestLevel)
            dBestLevel = r.dLevelDb, dBestY = y;
    }
    const CMeasureModel::Readout r = model.ReadoutAt(pPicture.get(), x, dBestY, dWidth, dHeight, dTop);
    EXPECT_NEAR(r.dFrequencyHz, 1250, pPicture->grid.dBinHz);
    EXPECT_NEAR(r.dTime, 0.2 + x * 0.5 / dWidth, 1e-12);
    const int nColumn = pPicture->ColumnAtPixel(static_cast<int>(x));
    EXPECT_NEAR(pPicture->ColumnTime(nColumn), r.dTime, pPicture->grid.dStepS / 2 + 1e-12);
    // Half of full scale is -6 dB.
    EXPECT_NEAR(r.dLevelDb, 20 * std::log10(0.5), 1.0);
}

TEST(MeasureModel, ZoomInThenOutReturnsTheSpanAndScrollingStopsAtTheEnds)
{
    CMeasureModel model;
    model.SetSound(3600LL * 44100, 44100);
    EXPECT_EQ(model.End(), 3600.0);
    model.SetSpan(1000, 1400);
    for (double dAnchor : {1000.0, 1123.4, 1400.0}) {
        for (int i = 0; i < 12; ++i)
            model.ZoomBy(2, dAnchor);
        for (int i = 0; i < 12; ++i)
            model.ZoomBy(0.5, dAnchor);
        EXPECT_NEAR(model.Start(), 1000, 1e-9);
        EXPECT_NEAR(model.End(), 1400, 1e-9);
    }
    // Never closer than the closest look, never past the sound.
    for (int i = 0; i < 40; ++i)
        model.ZoomBy(2, 1100);
    EXPECT_NEAR(model.Span(), model.MinSpan(), 1e-12);
    model.ScrollTo(-50);
    EXPECT_EQ(model.Start(), 0.0);
    model.ScrollBy(1e9);
    EXPECT_NEAR(model.End(), 3600.0, 1e-9);
    for (int i = 0; i < 40; ++i)
        model.ZoomBy(0.5, 0);
    EXPECT_EQ(model.Start(), 0.0);
    EXPECT_EQ(model.End(), 3600.0);
}

TEST(MeasureModel, ASpansColumnsAreTheWholeSoundsWhereTheyMeet)
{
    const int nRate = 22050;
    const std::vector<int16_t> sound = Tone(180, 0.3, nRate, 2.0);
    auto pSound = CMeasureSound::FromSamples(sound.data(), static_cast<int64_t>(sound.size()), nRate);
    spectrogram::SpectrogramSettings settings;
    settings.dWindowS = 0.03;
    const spectrogram::SpectrogramGrid whole = spectrogram::MakeGrid(settings, pSound->Count(), nRate);
    std::vector<float> all(static_cast<size_t>(whole.nColumns * whole.nBins));
    spectrogram::ComputeColumns(whole, sound.data(), 0, whole.nColumns, all.data(), 2);

    CColumnCache cache;
    // Zoomed out (one column per pixel), and close (a refined grid).
    for (const PictureRequest& request : {PictureRequest{0.0, 2.0, 333, settings}, PictureRequest{0.731, 0.779, 500, settings}}) {
        auto pPicture = ComputePicture(*pSound, request, cache);
        ASSERT_TRUE(pPicture);
        int nCompared = 0;
        for (int i = 0; i < pPicture->Columns(); ++i) {
            const double t = pPicture->ColumnTime(i);
            const int64_t k = whole.ColumnAt(t);
            if (std::abs(whole.ColumnTime(k) - t) > 1e-12)
                continue; // a column between the whole sound's
            ++nCompared;
            for (int b = 0; b < whole.nBins; ++b)
                ASSERT_EQ(pPicture->Column(i)[b], all[static_cast<size_t>(k * whole.nBins + b)]) << t << " bin " << b;
        }
        EXPECT_GE(nCompared, 10);
    }
}

TEST(MeasureModel, SelectionFactsAndThePitchScaleFollowTheTrack)
{
    CMeasureModel model;
    model.SetSound(22050 * 2, 22050);
    model.SetSelection(1.5, 0.5);
    EXPECT_EQ(model.SelectionStart(), 0.5);
    EXPECT_EQ(model.PlaySpan(), (std::pair<int64_t, int64_t>(11025, 33075)));
    model.ClearSelection();
    model.SetSpan(0.25, 0.75);
    EXPECT_EQ(model.PlaySpan(), (std::pair<int64_t, int64_t>(5513, 16538)));
    model.ShowAll(); // the axis fits the pitch shown: all of it

    pitch::PitchSettings settings; // the research tracker at its own range
    model.SetTracking(settings);
    auto pFrames = std::make_shared<pitch::PitchFrames>();
    for (int i = 0; i < 200; ++i) {
        pFrames->time_s.push_back(i * 0.01);
        pFrames->pitch_hz.push_back(i >= 60 && i < 140 ? 100.0 + i : 0.0);
        pFrames->confidence.push_back(pFrames->pitch_hz.back() > 0 ? 0.9 : 0.0);
    }
    model.SetPitch(pFrames, sonavel::analysis::EOutcome::Done);
    const CMeasureModel::SpanFacts facts = model.Facts(0.5, 0.8);
    EXPECT_EQ(facts.nVoiced, 21); // frames 60 .. 80
    EXPECT_NEAR(facts.dMeanPitchHz, 170.0, 1e-9);
    EXPECT_EQ(model.NearestFrame(0.634), 63);
    // Fitted to 160-239 Hz, rounded out.
    EXPECT_LE(model.PitchLow(), 160.0);
    EXPECT_GE(model.PitchHigh(), 239.0);
    EXPECT_GE(model.PitchLow(), 130.0);
    EXPECT_LE(model.PitchHigh(), 270.0);
    // A fixed axis is the scale, whatever was found.
    model.SetPitchAxis(measure::PitchAxis{75, 500});
    model.SetPitch(pFrames, sonavel::analysis::EOutcome::Done);
    EXPECT_EQ(model.PitchLow(), 75.0);
    EXPECT_EQ(model.PitchHigh(), 500.0);
    // A failed track holds nothing.
    model.SetPitch(pFrames, sonavel::analysis::EOutcome::Refused);
    EXPECT_EQ(model.Pitch(), nullptr);
    EXPECT_EQ(model.Facts(0.5, 0.8).nVoiced, 0);
}

TEST(MeasureModel, TheLongestWindowAtAClaimedGigahertzIsHeldToTheBudget)
{
    spectrogram::SpectrogramSettings settings;
    settings.dWindowS = spectrogram::kMaxWindowS;
    // 384 kHz, the highest rate recorders write, keeps the window it asks for.
    EXPECT_EQ(spectrogram::MakeGrid(settings, 1000, 384000).nWindow, 38400);
    EXPECT_EQ(measure::WindowHeld(settings, 384000), "");
    const spectrogram::SpectrogramGrid grid = spectrogram::MakeGrid(settings, 1000, INT_MAX);
    ASSERT_EQ(grid.nWindow, analysis::kMaxWindowSamples);
    ASSERT_EQ(grid.nFft, analysis::kMaxFftPoints);
    EXPECT_EQ(measure::WindowHeld(settings, INT_MAX), "held to 43690 samples (0.0203 ms)");

    std::vector<int16_t> sound(100000);
    std::mt19937 random(3);
    for (int16_t& v : sound)
        v = static_cast<int16_t>(random());
    auto pSound = CMeasureSound::FromSamples(sound.data(), static_cast<int64_t>(sound.size()), INT_MAX);
    CColumnCache cache;
    const auto pPicture = ComputePicture(*pSound, PictureRequest{0.0, pSound->Duration(), 300, settings}, cache, 2);
    ASSERT_TRUE(pPicture);
    EXPECT_EQ(pPicture->strFailure, "");
    EXPECT_GT(pPicture->Columns(), 0);
}

TEST(MeasureModel, TheWorkerDeliversTheNewestPictureAndTheTrack)
{
    const int nRate = 16000;
    const std::vector<int16_t> sound = Tone(150, 0.5, nRate, 3.0);
    auto pSound = CMeasureSound::FromSamples(sound.data(), static_cast<int64_t>(sound.size()), nRate);
    std::mutex mutex;
    std::condition_variable done;
    std::vector<std::shared_ptr<const CMeasurePicture>> pictures;
    bool bPosted = false; // the first picture's report waits until the others are asked for
    std::shared_ptr<const pitch::PitchFrames> pFrames;
    std::optional<analysis::EOutcome> nResult; // none until the track arrives
    {
        CMeasureWorker worker(
            [&](std::shared_ptr<const CMeasurePicture> p) {
                std::unique_lock<std::mutex> lock(mutex);
                pictures.push_back(p);
                done.notify_all();
                done.wait(lock, [&] { return bPosted; });
            },
            [&](std::shared_ptr<const pitch::PitchFrames> p, analysis::EOutcome n, unsigned) {
                std::lock_guard<std::mutex> lock(mutex);
                pFrames = p;
                nResult = n;
                done.notify_all();
            });
        worker.RequestPicture(pSound, PictureRequest{0.0, 0.1, 800, {}});
        {
            std::unique_lock<std::mutex> lock(mutex);
            ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(60), [&] { return !pictures.empty(); }));
        }
        // While the worker reports the first, each of these overtakes the one before.
        for (int i = 2; i <= 30; ++i)
            worker.RequestPicture(pSound, PictureRequest{0.0, i * 0.1, 800, {}});
        pitch::PitchSettings amdf;
        amdf.tracker = pitch::ETracker::Amdf;
        worker.RequestPitch(pSound, amdf, 1);
        std::unique_lock<std::mutex> lock(mutex);
        bPosted = true;
        done.notify_all();
        ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(60), [&] {
            return nResult.has_value() && pictures.size() == 2;
        }));
    }
    // The first, then only the newest: none of the 28 between was made.
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0]->request.dEnd, 0.1);
    EXPECT_EQ(pictures[1]->request.dEnd, 3.0);
    EXPECT_EQ(nResult, std::optional(analysis::EOutcome::Done));
    ASSERT_TRUE(pFrames);
    const auto [nFirst, nLast] = std::pair<size_t, size_t>(pFrames->pitch_hz.size() / 4, pFrames->pitch_hz.size() * 3 / 4);
    for (size_t i = nFirst; i < nLast; ++i)
        ASSERT_NEAR(pFrames->pitch_hz[i], 150, 4) << i;
}

TEST(MeasureModel, TheReadoutReadsAPictureMadeBeforeAZoomWhereItIsDrawn)
{
    // A tone for half a second, then silence; the picture is of the whole
    // second, the view has since zoomed into the silence.
    const int nRate = 16000;
    std::vector<int16_t> sound = Tone(1250, 0.5, nRate, 1.0);
    std::fill(sound.begin() + nRate / 2, sound.end(), int16_t(0));
    auto pSound = CMeasureSound::FromSamples(sound.data(), static_cast<int64_t>(sound.size()), nRate);
    CMeasureModel model;
    model.SetSound(pSound->Count(), nRate);
    CColumnCache cache;
    const auto pPicture = ComputePicture(*pSound, PictureRequest{0.0, 1.0, 400, {}}, cache);
    ASSERT_TRUE(pPicture);
    model.SetSpan(0.6, 1.0);
    const double dTop = pPicture->request.settings.dMaxFrequencyHz;
    const double yTone = 300 * (1 - 1250 / dTop);
    for (double x : {10.0, 200.0, 390.0}) {
        const CMeasureModel::Readout r = model.ReadoutAt(pPicture.get(), x, yTone, 400, 300, dTop);
        ASSERT_TRUE(r.bLevel) << x;
        EXPECT_LT(r.dLevelDb, -100) << "the silence at " << r.dTime << " s";
    }
    model.SetSpan(0.1, 0.4);
    EXPECT_NEAR(model.ReadoutAt(pPicture.get(), 200, yTone, 400, 300, dTop).dLevelDb, 20 * std::log10(0.5), 1.0);
}

TEST(MeasureModel, TheColumnCacheKnowsASoundByItsIdentityNotItsAddress)
{
    const int nRate = 16000;
    const std::vector<int16_t> tone = Tone(1000, 0.5, nRate, 0.5), silence(tone.size(), 0);
    const PictureRequest request{0.0, 0.5, 200, {}};
    CColumnCache cache;
    auto pSound = CMeasureSound::FromSamples(tone.data(), static_cast<int64_t>(tone.size()), nRate);
    ASSERT_TRUE(ComputePicture(*pSound, request, cache));
    // The next sound is likely to be made where the last one lay.
    pSound.reset();
    pSound = CMeasureSound::FromSamples(silence.data(), static_cast<int64_t>(silence.size()), nRate);
    const auto pPicture = ComputePicture(*pSound, request, cache);
    ASSERT_TRUE(pPicture);
    EXPECT_EQ(pPicture->fTopDb, spectrogram::kQuietestTopDb);
    for (float v : pPicture->values)
        ASSERT_EQ(v, spectrogram::kFloorDb);
}

TEST(MeasureModel, AStretchHoldingWhatItsPictureReadsGivesTheWholeSoundsPicture)
{
    const int nRate = 22050;
    std::mt19937 random(11);
    std::vector<int16_t> sound(static_cast<size_t>(3 * nRate));
    for (int16_t& v : sound)
        v = static_cast<int16_t>(random() % 30000 - 15000);
    auto pWhole = CMeasureSound::FromSamples(sound.data(), static_cast<int64_t>(sound.size()), nRate);
    spectrogram::SpectrogramSettings narrow;
    narrow.dWindowS = 0.03;
    // Wide columns, refined ones, and a stretch at each end of the sound.
    for (const PictureRequest& request : {PictureRequest{1.2, 1.9, 300, {}}, PictureRequest{1.0, 1.01, 500, narrow},
                                          PictureRequest{0.0, 0.2, 300, narrow}, PictureRequest{2.9, 3.0, 300, narrow}}) {
        const auto [nFirst, nEnd] = PictureSamples(request, pWhole->Count(), nRate);
        ASSERT_LT(nFirst, nEnd);
        CColumnCache cache;
        const auto pExpected = ComputePicture(*pWhole, request, cache);
        auto pStretch = CMeasureSound::FromStretch(std::vector<int16_t>(sound.begin() + nFirst, sound.begin() + nEnd),
                                                   nFirst, pWhole->Count(), nRate);
        const auto pPicture = ComputePicture(*pStretch, request, cache = CColumnCache());
        ASSERT_TRUE(pExpected && pPicture);
        ASSERT_EQ(pPicture->strFailure, "");
        EXPECT_EQ(pPicture->values, pExpected->values) << request.dStart;
        // One sample short at either end, and the picture says it cannot be made.
        for (const auto& [a, b] : {std::pair<int64_t, int64_t>(nFirst + 1, nEnd), std::pair<int64_t, int64_t>(nFirst, nEnd - 1)}) {
            pStretch = CMeasureSound::FromStretch(std::vector<int16_t>(sound.begin() + a, sound.begin() + b), a,
                                                  pWhole->Count(), nRate);
            EXPECT_EQ(ComputePicture(*pStretch, request, cache = CColumnCache())->strFailure,
                      "the samples of this stretch are not held");
        }
    }
}

} // namespace
