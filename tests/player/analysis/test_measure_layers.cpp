// The measuring view's layers without a screen: the worker makes the
// waveform, intensity and formants of a vowel, and the model reads out the
// sample, F1-F3 and dB at a time, averages them over a selection, and fits
// the pitch axis to the pitch shown; the cursor's time has the decimals the
// zoom needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <condition_variable>
#include <mutex>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/measureview/CMeasureWorker.h"
#include "player/analysis/measureview/MeasureTexts.h"
#include "tools/voicesynth/CVoiceSynth.h"

using namespace sonavel;

namespace {

// The layers of pSound as the worker reports them once all are done, and
// each report on the way (for a picture of nColumns pixel columns).
LayerResults TrackLayers(const std::shared_ptr<const CMeasureSound>& pSound, int nColumns = 0,
                        std::vector<LayerResults>* pReports = nullptr)
{
    std::mutex mutex;
    std::condition_variable done;
    LayerResults last;
    CMeasureWorker worker([](std::shared_ptr<const CMeasurePicture>) {},
                          [](std::shared_ptr<const pitch::PitchFrames>, analysis::EOutcome, unsigned) {},
                          [&](const LayerResults& tracks) {
                              std::lock_guard<std::mutex> lock(mutex);
                              last = tracks;
                              if (pReports)
                                  pReports->push_back(tracks);
                              done.notify_all();
                          });
    worker.RequestLayers(pSound, formants::FormantSettings(), intensity::IntensitySettings(), 7, nColumns);
    std::unique_lock<std::mutex> lock(mutex);
    done.wait_for(lock, std::chrono::seconds(60), [&] { return last.bFormantsDone; });
    return last;
}

std::vector<int16_t> Vowel(int nRate, double dSeconds, double dPeak = 0.7)
{
    VoiceSynthParams p;
    p.nSampleRate = nRate;
    p.dSeconds = dSeconds;
    p.contour = {{0.0, 125.0}};
    p.formantsHz = {600, 1400, 2500};
    p.dPeak = dPeak;
    return SynthesizeVoice(p);
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

// The waveform's axis: a sound quieter than -12 dBFS is drawn fitted to the
// loudest sample shown, a louder one at full scale, until the user chooses;
// a new sound starts over.
TEST(MeasureLayers, AQuietSoundsWaveformIsFittedToTheLoudestSampleShown)
{
    const int nRate = 16000;
    const auto Peak = [](const std::vector<int16_t>& v, size_t a, size_t b) {
        int n = 0;
        for (size_t i = a; i < b; ++i)
            n = std::max(n, std::abs(static_cast<int>(v[i])));
        return n / 32768.0;
    };
    const std::vector<int16_t> quiet = Vowel(nRate, 2.0, 0.1); // -20 dBFS
    const auto pQuiet = CMeasureSound::FromSamples(quiet.data(), static_cast<int64_t>(quiet.size()), nRate);
    CMeasureModel model;
    model.SetSound(pQuiet->Count(), nRate);
    model.SetSoundSamples(pQuiet);
    EXPECT_TRUE(model.WaveformFitted());
    EXPECT_DOUBLE_EQ(model.WaveformTop(), Peak(quiet, 0, quiet.size()));
    model.SetSpan(0.5, 0.51); // the loudest sample of what is shown
    EXPECT_DOUBLE_EQ(model.WaveformTop(), Peak(quiet, 8000, 8160));
    // From the pyramid alone, as of a stretch the samples are not held for.
    auto pPyramid = std::make_shared<waveform::CWaveformPyramid>();
    const CMemorySamples held(quiet.data(), static_cast<int>(quiet.size()));
    ASSERT_EQ(pPyramid->Build(analysis::CSoundInput::Samples(held, static_cast<int>(quiet.size()), nRate)).nOutcome,
              analysis::EOutcome::Done);
    model.SetSoundSamples(nullptr);
    model.SetWaveform(pPyramid);
    model.ShowAll();
    EXPECT_DOUBLE_EQ(model.WaveformTop(), Peak(quiet, 0, quiet.size()));
    model.SetWaveformScale(CMeasureModel::EWaveformScale::Fixed);
    EXPECT_FALSE(model.WaveformFitted());
    EXPECT_EQ(model.WaveformTop(), 1.0);

    const std::vector<int16_t> loud = Vowel(nRate, 2.0, 0.5); // -6 dBFS
    const auto pLoud = CMeasureSound::FromSamples(loud.data(), static_cast<int64_t>(loud.size()), nRate);
    model.SetSound(pLoud->Count(), nRate);
    model.SetSoundSamples(pLoud);
    EXPECT_EQ(model.WaveformScale(), CMeasureModel::EWaveformScale::Automatic);
    EXPECT_FALSE(model.WaveformFitted());
    EXPECT_EQ(model.WaveformTop(), 1.0);
    model.SetWaveformScale(CMeasureModel::EWaveformScale::Fitted);
    EXPECT_DOUBLE_EQ(model.WaveformTop(), Peak(loud, 0, loud.size()));
}

// A long sound's formants come first at the resolution of the picture (a
// frame to a pixel column) and are drawn, but no readout, fact or table
// reads them: only the whole track, which follows, gives numbers.
TEST(MeasureLayers, ALongSoundsFormantsAtThePicturesResolutionAreDrawnButNeverRead)
{
    EXPECT_EQ(measure::FormantsForPicture(formants::FormantSettings(), 2.0, 1000).dStepS, 0.01);
    EXPECT_DOUBLE_EQ(measure::FormantsForPicture(formants::FormantSettings(), 60, 1000).dStepS, 0.06);
    EXPECT_EQ(measure::FormantsForPicture(formants::FormantSettings(), 3600, 1000).dStepS, formants::kMaxStepS);

    const int nRate = 16000;
    const std::vector<int16_t> vowel = Vowel(nRate, 20.0);
    const auto pSound = CMeasureSound::FromSamples(vowel.data(), static_cast<int64_t>(vowel.size()), nRate);
    std::vector<LayerResults> reports;
    const LayerResults last = TrackLayers(pSound, 50, &reports);
    ASSERT_TRUE(last.bFormantsDone && last.pFormants);
    const auto itPreview = std::find_if(reports.begin(), reports.end(), [](const LayerResults& t) { return t.pFormantPreview != nullptr; });
    ASSERT_NE(itPreview, reports.end());
    EXPECT_FALSE(itPreview->bFormantsDone); // before the whole track
    const formants::FormantFrames& preview = *itPreview->pFormantPreview;
    EXPECT_EQ(preview.time_s.size(), 51u); // 0.4 s apart over 20 s
    EXPECT_NEAR(preview.Hz(25, 0), 600, 60);

    CMeasureModel model;
    model.SetSound(pSound->Count(), nRate);
    model.SetSoundSamples(pSound);
    model.SetFormantPreview(itPreview->pFormantPreview);
    EXPECT_EQ(model.FormantsShown(), itPreview->pFormantPreview.get());
    EXPECT_EQ(model.Formants(), nullptr);
    EXPECT_FALSE(model.ReadoutAtTime(10.0).bFormants);
    EXPECT_EQ(model.Facts(5, 15).dMeanFormantHz[0], 0);
    model.SetFormants(last.pFormants, last.nFormants);
    EXPECT_EQ(model.FormantsShown(), last.pFormants.get());
    EXPECT_TRUE(model.ReadoutAtTime(10.0).bFormants);
}
