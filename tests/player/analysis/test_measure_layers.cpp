// The measuring view's layers without a screen: the worker makes the
// waveform, intensity and formants of a vowel, and the model reads out the
// sample, F1-F3 and dB at a time, averages them over a selection, and fits
// the pitch axis to the pitch shown; the cursor's time has the decimals the
// zoom needs.
#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <mutex>

#include "player/analysis/measureview/CMeasureWorker.h"
#include "player/analysis/measureview/MeasureTexts.h"
#include "tools/voicesynth/CVoiceSynth.h"

using namespace sonavel;

namespace {

// The layers of pSound as the worker reports them once all are done.
LayerResults TrackLayers(const std::shared_ptr<const CMeasureSound>& pSound)
{
    std::mutex mutex;
    std::condition_variable done;
    LayerResults last;
    CMeasureWorker worker([](std::shared_ptr<const CMeasurePicture>) {},
                          [](std::shared_ptr<const pitch::PitchFrames>, analysis::EOutcome, unsigned) {},
                          [&](const LayerResults& tracks) {
                              std::lock_guard<std::mutex> lock(mutex);
                              last = tracks;
                              done.notify_all();
                          });
    worker.RequestLayers(pSound, formants::FormantSettings(), intensity::IntensitySettings(), 7);
    std::unique_lock<std::mutex> lock(mutex);
    done.wait_for(lock, std::chrono::seconds(60), [&] { return last.bFormantsDone; });
    return last;
}

} // namespace

TEST(MeasureLayers, TheReadoutAtATimeGivesTheSampleF1AndDecibels)
{
    const int nRate = 16000;
    VoiceSynthParams p;
    p.nSampleRate = nRate;
    p.dSeconds = 1.0;
    p.contour = {{0.0, 125.0}};
    p.formantsHz = {600, 1400, 2500};
    const std::vector<int16_t> vowel = SynthesizeVoice(p);
    const auto pSound = CMeasureSound::FromSamples(vowel.data(), static_cast<int64_t>(vowel.size()), nRate);

    const LayerResults tracks = TrackLayers(pSound);
    ASSERT_EQ(tracks.nSerial, 7u);
    ASSERT_TRUE(tracks.pWaveform && tracks.pIntensity && tracks.pFormants);
    CMeasureModel model;
    model.SetSound(pSound->Count(), nRate);
    model.SetSoundSamples(pSound);
    model.SetWaveform(tracks.pWaveform);
    model.SetIntensity(tracks.pIntensity, tracks.nIntensity);
    model.SetFormants(tracks.pFormants, tracks.nFormants);

    // The sample nearest the time, full scale +-1.
    const double t = 0.50003;
    const CMeasureModel::Readout r = model.ReadoutAtTime(t);
    ASSERT_TRUE(r.bSample && r.bFormants && r.bIntensity);
    EXPECT_EQ(r.dSample, vowel[static_cast<size_t>(std::lround(t * nRate))] / 32768.0);
    EXPECT_NEAR(r.dFormantHz[0], 600, 60);
    EXPECT_NEAR(r.dFormantHz[1], 1400, 100);
    EXPECT_NEAR(r.dFormantHz[2], 2500, 150);
    // A steady vowel: the dB of its mean square over a few periods, re 20 uPa at full scale 1 Pa.
    double dSquares = 0;
    for (int i = static_cast<int>(0.4 * nRate); i < static_cast<int>(0.6 * nRate); ++i)
        dSquares += std::pow(vowel[static_cast<size_t>(i)] / 32768.0, 2);
    const double dDirectDb = 10 * std::log10(dSquares / (0.2 * nRate) / 4e-10);
    EXPECT_NEAR(r.dIntensityDb, dDirectDb, 1.0);

    // The selection's means; the cursor's line says what lies there.
    model.SetSelection(0.3, 0.7);
    const CMeasureModel::SpanFacts facts = model.Facts(0.3, 0.7);
    EXPECT_NEAR(facts.dMeanFormantHz[0], 600, 60);
    ASSERT_TRUE(facts.bIntensity);
    EXPECT_NEAR(facts.dIntensityDb, dDirectDb, 1.0);
    EXPECT_NE(measure::SelectionText(model).find(", F1 "), std::string::npos) << measure::SelectionText(model);
    model.ClearSelection();
    model.SetSpan(0.5, 0.502); // the closest look: a tenth of a millisecond
    model.SetCursor(0.50012);
    const std::string strCursor = measure::SelectionText(model);
    EXPECT_EQ(strCursor.rfind("Cursor 0.5001 s   ", 0), 0u) << strCursor;
    for (const char* sz : {" F1 ", " F2 ", " F3 ", "intensity ", "sample "})
        EXPECT_NE(strCursor.find(sz), std::string::npos) << sz << " in " << strCursor;
    EXPECT_EQ(measure::CursorSeconds(1234.5678, 3600), "1235 s (20:34)");

    // A track that failed is said in the header, and reads out nothing.
    model.SetFormants(nullptr, analysis::EOutcome::NoMemory);
    EXPECT_NE(measure::SettingsLine(measure::MeasureSettings(), model).find("no formants: not enough memory"),
              std::string::npos);
    EXPECT_FALSE(model.ReadoutAtTime(0.5).bFormants);
}

TEST(MeasureLayers, ThePitchAxisFitsThePitchShownOrTheFixedRange)
{
    CMeasureModel model;
    model.SetSound(16000 * 4, 16000);
    model.SetTracking(pitch::PitchSettings());
    auto pFrames = std::make_shared<pitch::PitchFrames>();
    for (int i = 0; i <= 400; ++i) { // 100 Hz rising to 300 Hz over 4 s
        pFrames->time_s.push_back(i * 0.01);
        pFrames->pitch_hz.push_back(100 + i * 0.5);
        pFrames->confidence.push_back(0.9);
    }
    model.SetPitch(pFrames, analysis::EOutcome::Done);
    EXPECT_LE(model.PitchLow(), 100);
    EXPECT_GE(model.PitchHigh(), 300);
    // Zoomed to 2-2.2 s (200-210 Hz): the axis follows, so the contour is not flat.
    model.SetSpan(2.0, 2.2);
    EXPECT_GE(model.PitchLow(), 170);
    EXPECT_LE(model.PitchHigh(), 240);
    EXPECT_LE(model.PitchLow(), 200);
    EXPECT_GE(model.PitchHigh(), 210);
    model.SetPitchAxis(measure::PitchAxis{75, 500});
    EXPECT_EQ(model.PitchLow(), 75);
    EXPECT_EQ(model.PitchHigh(), 500);
}
