// Measuring-view benchmark on an hour of speech-like sound at 44.1 kHz:
//  1. a new picture (the columns on screen, shaded and painted with the axes,
//     the waveform, the pitch, the formants and the intensity) at five zooms, from the whole hour to 20 ms, with a cold
//     column cache as after a jump, wide- and narrow-band, at device-pixel
//     ratios 1 and 2: the target is 100 ms; beside it sox drawing a spectrogram
//     of the same stretch at the same width, as a whole process;
//  2. render --view of the whole hour and of one second, whole processes,
//     beside sox's spectrogram of the same stretch, with the render's peak
//     memory (through /usr/bin/time, where there is one: this process holds
//     the hour, and a child forked from it would count it too).
// Repeated figures are medians with the best beside them.
//  3. what the layers add to a picture: one made, painted with every layer
//     and with the spectrogram and pitch alone, at each zoom.
//  4. the view opening on the hour: its worker asked for the picture, the
//     pitch and the layers at once, as the view asks; when each arrives. The
//     target: the formants shown within 5 s.
//   bench_view [--runs N] [--keep DIR] [--no-peers] (no sox, no part 2)
//              [--layers-only] (part 3 alone) [--opening] (part 4 alone)
//              [--render] (part 2 alone, without sox)
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "player/analysis/measureview/CMeasureModel.h"
#include "player/analysis/measureview/CMeasureWorker.h"
#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/paint/CMeasurePainter.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/voicesynth/WavFile.h"

namespace fs = std::filesystem;

namespace {

const int kRate = 44100;
const QSize kViewSize(1280, 720);

template <class F>
double Seconds(F&& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct Times {
    std::vector<double> v;
    double Median() const
    {
        std::vector<double> s = v;
        std::sort(s.begin(), s.end());
        return s.empty() ? -1 : s[s.size() / 2];
    }
    double Best() const { return v.empty() ? -1 : *std::min_element(v.begin(), v.end()); }
};

// A minute of phrases (0.8-3 s, rising and falling between 90 and 230 Hz,
// five vowels) and pauses, repeated to an hour: enough speech for the timing.
std::vector<int16_t> SpeechHour()
{
    const double kVowels[5][3] = {{700, 1220, 2600}, {300, 2300, 3000}, {500, 1800, 2500}, {350, 900, 2400}, {600, 1000, 2500}};
    std::vector<int16_t> minute;
    unsigned seed = 2026;
    auto uniform = [&seed](double lo, double hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + (hi - lo) * ((seed >> 8) / 16777216.0);
    };
    while (minute.size() < static_cast<size_t>(60 * kRate)) {
        minute.resize(minute.size() + static_cast<size_t>(uniform(0.15, 0.8) * kRate), 0);
        VoiceSynthParams p;
        p.nSampleRate = kRate;
        p.dSeconds = uniform(0.8, 3.0);
        p.contour = {{0.0, uniform(90, 150)}, {p.dSeconds / 2, uniform(150, 230)}, {p.dSeconds, uniform(90, 140)}};
        const double* f = kVowels[static_cast<int>(uniform(0, 4.999))];
        p.formantsHz = {f[0], f[1], f[2]};
        p.dJitter = 0.01;
        p.nSeed = seed;
        const std::vector<int16_t> phrase = SynthesizeVoice(p);
        minute.insert(minute.end(), phrase.begin(), phrase.end());
    }
    minute.resize(static_cast<size_t>(60 * kRate));
    std::vector<int16_t> hour;
    hour.reserve(minute.size() * 60);
    for (int i = 0; i < 60; ++i)
        hour.insert(hour.end(), minute.begin(), minute.end());
    return hour;
}

// A whole process's wall-clock seconds, its output thrown away; negative on failure.
double RunProcess(const std::string& strCommand)
{
    int nStatus = -1;
    const double d = Seconds([&] { nStatus = std::system((strCommand + " > /dev/null 2>&1").c_str()); });
    return nStatus == 0 || (WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 1) ? d : -1;
}

std::string Sox(const fs::path& wav, double dStart, double dEnd, int nWidth, const fs::path& png)
{
    char sz[512];
    std::snprintf(sz, sizeof sz, "sox '%s' -n trim %.6f =%.6f spectrogram -x %d -y 500 -o '%s'", wav.c_str(), dStart,
                  dEnd, nWidth, png.c_str());
    return sz;
}

// 4. The view opening on the hour: its worker asked for the picture, the
// pitch (the research tracker, the view's own) and the layers at once.
void Opening(const std::shared_ptr<const CMeasureSound>& pSound, int nRuns, int nPlotWidth)
{
    std::printf("4. the view opening on the hour (its worker, %d pixel columns), seconds after the view asks, "
                "median (best) of %d; target: formants shown within 5 s\n", nPlotWidth, nRuns);
    const char* kszRows[] = {"picture", "pitch", "waveform", "formants shown", "intensity", "whole formants"};
    Times t[6];
    for (int r = 0; r < nRuns; ++r) {
        std::mutex mutex;
        std::condition_variable done;
        double dAt[6] = {-1, -1, -1, -1, -1, -1};
        const auto t0 = std::chrono::steady_clock::now();
        const auto Note = [&](int k) {
            std::lock_guard<std::mutex> lock(mutex);
            if (dAt[k] < 0)
                dAt[k] = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            done.notify_all();
        };
        const sonavel::measure::MeasureSettings settings;
        {
            CMeasureWorker worker([&](std::shared_ptr<const CMeasurePicture>) { Note(0); },
                                  [&](std::shared_ptr<const sonavel::pitch::PitchFrames>, sonavel::analysis::EOutcome,
                                      unsigned) { Note(1); },
                                  [&](const LayerResults& tracks) {
                                      if (tracks.pWaveform)
                                          Note(2);
                                      if (tracks.pFormantPreview || tracks.pFormants)
                                          Note(3);
                                      if (tracks.bIntensityDone)
                                          Note(4);
                                      if (tracks.bFormantsDone)
                                          Note(5);
                                  });
            worker.RequestPicture(pSound, PictureRequest{0, 3600, nPlotWidth, settings.spectrogram});
            worker.RequestPitch(pSound, settings.pitch, 1);
            worker.RequestLayers(pSound, settings.formants, settings.intensity, 1, nPlotWidth);
            std::unique_lock<std::mutex> lock(mutex);
            done.wait(lock, [&] { return dAt[1] >= 0 && dAt[5] >= 0 && dAt[0] >= 0; });
        }
        for (int k = 0; k < 6; ++k)
            t[k].v.push_back(dAt[k]);
    }
    for (int k = 0; k < 6; ++k)
        std::printf("   %-16s %6.2f (%5.2f)\n", kszRows[k], t[k].Median(), t[k].Best());
    std::printf("   formants shown within 5 s: %s\n\n", t[3].Median() <= 5 ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv)
{
    int nRuns = 5;
    fs::path keep;
    bool bPictures = true, bLayers = true, bOpening = true, bRender = true, bSox = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            nRuns = std::max(1, std::atoi(argv[++i]));
        else if (a == "--keep" && i + 1 < argc)
            keep = argv[++i];
        else if (a == "--no-peers")
            bSox = bRender = false;
        else if (a == "--layers-only")
            bSox = bRender = bPictures = bOpening = false;
        else if (a == "--opening")
            bSox = bRender = bPictures = bLayers = false;
        else if (a == "--render")
            bSox = bPictures = bLayers = bOpening = false;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    const fs::path dir = keep.empty() ? fs::temp_directory_path() / ("bench_view." + std::to_string(getpid())) : keep;
    fs::create_directories(dir);
    const fs::path wav = dir / "hour.wav";

    std::printf("making an hour of speech at %d Hz...\n", kRate);
    const std::vector<int16_t> hour = SpeechHour();
    if (!fs::exists(wav) && !WriteWavFile(wav.string(), hour, kRate)) {
        std::printf("cannot write %s\n", wav.c_str());
        return 1;
    }
    const auto pSound = CMeasureSound::FromSamples(hour.data(), static_cast<int64_t>(hour.size()), kRate);
    const int nPlotWidth = CMeasureLayout::For(kViewSize, CMeasurePainter::ViewFont()).PlotWidth();
    if (bOpening)
        Opening(pSound, nRuns, nPlotWidth);
    // sox once per stretch (the hour takes it minutes), shared with part 2.
    std::map<std::pair<double, double>, double> soxSeconds;
    const auto SoxOnce = [&](double dStart, double dEnd, int nWidth) {
        auto it = soxSeconds.find({dStart, dEnd});
        if (it == soxSeconds.end())
            it = soxSeconds.emplace(std::make_pair(dStart, dEnd),
                                    bSox ? RunProcess(Sox(wav, dStart, dEnd, nWidth, dir / "sox.png")) : -1.0).first;
        return it->second;
    };
    if (bPictures || bLayers) {
    // The view's model with its pitch (tracked once, as the view does when it opens).
    sonavel::measure::MeasureSettings settings;
    settings.pitch.tracker = sonavel::pitch::ETracker::Amdf;
    CMeasureModel model;
    model.SetSound(pSound->Count(), kRate);
    model.SetTracking(settings.pitch);
    auto pFrames = std::make_shared<sonavel::pitch::PitchFrames>();
    const CMemorySamples source(hour.data(), static_cast<int>(hour.size()));
    const auto input = sonavel::analysis::CSoundInput::Samples(source, static_cast<int>(hour.size()), kRate);
    const double dTrack = Seconds([&] {
        model.SetPitch(pFrames, sonavel::pitch::TrackSound(input, settings.pitch, 0, *pFrames).nOutcome);
    });
    std::printf("pitch of the hour (AMDF, all cores, once when the view opens): %.0f ms\n", dTrack * 1000);
    // The other layers, made once per sound by the view's worker.
    model.SetSoundSamples(pSound);
    auto pPyramid = std::make_shared<sonavel::waveform::CWaveformPyramid>();
    const double dPyramid = Seconds([&] { pPyramid->Build(input); });
    model.SetWaveform(pPyramid);
    auto pIntensity = std::make_shared<sonavel::intensity::IntensityFrames>();
    const double dIntensity = Seconds([&] {
        model.SetIntensity(pIntensity, sonavel::intensity::TrackSound(input, settings.intensity, 0, *pIntensity).nOutcome);
    });
    auto pFormants = std::make_shared<sonavel::formants::FormantFrames>();
    const double dFormants = Seconds([&] {
        model.SetFormants(pFormants, sonavel::formants::TrackSound(input, settings.formants, 0, *pFormants).nOutcome);
    });
    std::printf("once per sound: waveform pyramid %.0f ms, intensity %.0f ms, formants %.0f ms (all cores)\n\n",
                dPyramid * 1000, dIntensity * 1000, dFormants * 1000);

    std::printf("1. a new picture of the hour at %dx%d (columns on screen, shaded, painted), target 100 ms\n",
                kViewSize.width(), kViewSize.height());
    std::printf("   %-10s %-12s %4s %18s %12s %10s\n", "span", "window", "dpr", "ms median (best)", "sox ms", "x sox");
    const std::vector<double> kSpans = {3600, 600, 60, 1, 0.02};
    bool bMet = true;
    for (double dSpan : bPictures ? kSpans : std::vector<double>()) {
        const double dStart = 1800 - dSpan / 2 + (dSpan >= 3600 ? dSpan / 2 - 1800 : 0);
        model.SetSpan(dStart, dStart + dSpan);
        const CMeasureLayout layout = CMeasureLayout::For(kViewSize, CMeasurePainter::ViewFont());
        double dSox = -1;
        for (double dWindow : {0.005, 0.03}) {
            for (double dRatio : {1.0, 2.0}) {
                settings.spectrogram.dWindowS = dWindow;
                Times t;
                for (int r = 0; r < nRuns; ++r) {
                    CColumnCache cache; // cold: a jump to somewhere new
                    t.v.push_back(Seconds([&] {
                        PictureRequest request{model.Start(), model.End(),
                                               static_cast<int>(layout.PlotWidth() * dRatio), settings.spectrogram};
                        auto pPicture = ComputePicture(*pSound, request, cache, 2);
                        const QImage shaded = CMeasurePainter::ShadePicture(
                            *pPicture, static_cast<int>(layout.rcSpectrogram.height() * dRatio),
                            settings.spectrogram.dDynamicRangeDb);
                        CMeasureScene scene;
                        scene.pModel = &model;
                        scene.pPicture = pPicture.get();
                        scene.pShaded = &shaded;
                        scene.settings = settings;
                        scene.strName = QStringLiteral("hour.wav");
                        CMeasurePainter::Render(kViewSize, scene, dRatio);
                    }));
                }
                if (dSox < 0 && bSox)
                    dSox = SoxOnce(model.Start(), model.End(), nPlotWidth);
                bMet = bMet && t.Median() <= 0.1;
                std::printf("   %-10.3g %-12s %4.0f %9.1f (%5.1f) %12.0f %10.3f\n", dSpan,
                            dWindow < 0.01 ? "5 ms" : "30 ms", dRatio, t.Median() * 1000, t.Best() * 1000,
                            dSox * 1000, dSox > 0 ? t.Median() / dSox : 0.0);
            }
        }
    }
    std::printf("   every picture within 100 ms: %s\n\n", bMet ? "met" : "MISSED");

    std::printf("3. painting one picture (made once) at dpr 1, ms median (best): every layer, spectrogram and pitch alone\n");
    settings.spectrogram.dWindowS = 0.005;
    for (double dSpan : bLayers ? kSpans : std::vector<double>()) {
        const double dStart = dSpan >= 3600 ? 0 : 1800 - dSpan / 2;
        model.SetSpan(dStart, dStart + dSpan);
        const CMeasureLayout layout = CMeasureLayout::For(kViewSize, CMeasurePainter::ViewFont());
        CColumnCache cache;
        const auto pPicture = ComputePicture(*pSound, PictureRequest{model.Start(), model.End(), layout.PlotWidth(),
                                                                      settings.spectrogram}, cache, 2);
        // Every layer, none of the three new ones, and each of them alone.
        const char* kszRows[] = {"every layer", "spectrogram+pitch", "+waveform", "+formants", "+intensity"};
        Times t[5];
        for (int r = 0; r < nRuns; ++r)
            for (int k = 0; k < 5; ++k) {
                CMeasureScene scene;
                scene.pModel = &model;
                scene.pPicture = pPicture.get();
                scene.settings = settings;
                sonavel::measure::MeasureLayers& l = scene.settings.layers;
                l.bWaveform = k == 0 || k == 2;
                l.bFormants = k == 0 || k == 3;
                l.bIntensity = k == 0 || k == 4;
                t[k].v.push_back(Seconds([&] { CMeasurePainter::Render(kViewSize, scene); }));
            }
        std::printf("   %-10.3g", dSpan);
        for (int k = 0; k < 5; ++k)
            std::printf("  %s %5.1f (%5.1f)", kszRows[k], t[k].Median() * 1000, t[k].Best() * 1000);
        std::printf("\n");
    }
    std::printf("\n");
    }
    if (!bRender) {
        // The hour's WAV is 300 MB: left behind by every run, a few runs fill /tmp.
        if (keep.empty())
            fs::remove_all(dir);
        return 0;
    }

    std::printf("2. render --view at %dx%d, whole processes (medians of %d), beside sox's spectrogram (once)\n",
                kViewSize.width(), kViewSize.height(), nRuns);
    const char* szAnalyze = SONAVEL_ANALYZE;
    const bool bTime = access("/usr/bin/time", X_OK) == 0;
    const fs::path peak = dir / "peak.txt";
    for (const auto& [dStart, dEnd] : {std::pair<double, double>(0, 3600), std::pair<double, double>(1800, 1801)}) {
        Times ours;
        long nPeakKb = 0;
        for (int r = 0; r < nRuns; ++r) {
            char sz[1024];
            std::snprintf(sz, sizeof sz, "%s%s%s render '%s' -o '%s' --view --start %g --end %g",
                          bTime ? "/usr/bin/time -f %M -o '" : "", bTime ? (peak.string() + "' ").c_str() : "",
                          szAnalyze, wav.c_str(), (dir / "view.png").c_str(), dStart, dEnd);
            ours.v.push_back(RunProcess(sz));
            if (std::FILE* pFile = bTime ? std::fopen(peak.c_str(), "r") : nullptr) {
                long nKb = 0;
                if (std::fscanf(pFile, "%ld", &nKb) == 1)
                    nPeakKb = std::max(nPeakKb, nKb);
                std::fclose(pFile);
            }
        }
        const double dSox = SoxOnce(dStart, dEnd, nPlotWidth);
        std::printf("   %-16s ours %6.0f ms (best %6.0f), peak %5.0f MB", dEnd - dStart > 10 ? "the whole hour" : "one second",
                    ours.Median() * 1000, ours.Best() * 1000, nPeakKb / 1024.0);
        if (dSox > 0)
            std::printf("   sox %7.0f ms   x sox %.3f", dSox * 1000, ours.Median() / dSox);
        if (dEnd - dStart > 10)
            std::printf("   target 1500 ms: %s", ours.Median() <= 1.5 ? "met" : "MISSED");
        std::printf("\n");
    }
    if (keep.empty())
        fs::remove_all(dir);
    return 0;
}
