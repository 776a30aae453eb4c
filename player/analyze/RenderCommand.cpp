// sonavel-analyze render FILE -o OUT.png: the analysis window's client area,
// computed by the window's model and drawn by the window's painter at its own
// size, as a PNG (a JPEG for OUT.jpg or OUT.jpeg). With --view, the measuring
// view's picture instead, at its default settings (never a player's saved
// ones: the waveform, the pitch, the spectrogram with the formants and the
// intensity over it), of the whole sound or of --start to --end, at --size
// (pixels, or a size on paper at --dpi), with the tiers of --textgrid under
// it, as PNG, JPEG, SVG or PDF (CMeasureFigure); a mono 16-bit WAV is then
// read from its file, holding only the stretch's samples (CViewSound). Runs
// without a display, and without Qt Widgets.
#include "player/analyze/AnalyzeCommands.h"
#include "player/analyze/CInputFiles.h"
#include "player/analyze/CViewSound.h"
#include "player/analyze/CommandLine.h"
#include "player/analyze/OutputFile.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/model/AnalysisResource.h"
#include "player/analysis/model/CAnalysisModel.h"
#include "player/analysis/measureview/CMeasureModel.h"
#include "player/analysis/measureview/FigureSize.h"
#include "player/analysis/measureview/MeasureTexts.h"
#include "player/analysis/paint/CAnalysisPainter.h"
#include "player/analysis/paint/CMeasureFigure.h"
#include "player/analysis/paint/CMeasurePainter.h"
#include "player/analysis/textgrid/TextGridReader.h"

namespace sonavel {
namespace analyze {

namespace {

const char kszRenderUsage[] =
    "usage: sonavel-analyze render FILE -o OUT.png|OUT.jpg [--channel N] "
    "[--view [--start S] [--end E] [--size WxH[cm|mm|in]] [--dpi D] [--textgrid TG]] "
    "(with --view also OUT.svg|OUT.pdf)";

struct RenderOptions {
    std::string strIn, strOut, strTextGrid;
    EFigureFormat eFormat = EFigureFormat::Png;
    bool bView = false;
    bool bStart = false, bEnd = false, bSize = false, bDpi = false;
    double dStart = 0, dEnd = 0;
    measure::FigureSize size; // 1280 x 720 pixels unless --size says
    int nChannel = 1, nChannels = 1;
};

// 0 when the options are whole, else the exit status (2) after a message.
int ParseOptions(int argc, char** argv, RenderOptions& o)
{
    COptionReader args(argc, argv, kszRenderUsage);
    // A time option taken once, a decimal number of seconds.
    const auto Seconds = [&](const char* szName, bool& bSeen, double& d) {
        std::string v;
        if (bSeen || !args.Value(szName, v))
            return false;
        bSeen = true;
        if (!ParseDecimal(v, d))
            args.Refuse();
        return true;
    };
    std::string v;
    while (args.Next()) {
        if (args.Channel(o.nChannel) || (o.strOut.empty() && args.Output(o.strOut))
            || Seconds("--start", o.bStart, o.dStart) || Seconds("--end", o.bEnd, o.dEnd)
            || (o.strTextGrid.empty() && args.Value("--textgrid", o.strTextGrid)))
            continue;
        if (args.Flag("--view") && !o.bView) {
            o.bView = true;
        } else if (!o.bSize && args.Value("--size", v)) {
            o.bSize = true;
            if (!measure::ParseFigureSize(v, o.size))
                args.Fail("--size takes WIDTHxHEIGHT in pixels (each 200-8000) or on paper with cm, mm or in (16x9cm)");
        } else if (!o.bDpi && args.Value("--dpi", v)) {
            o.bDpi = true;
            if (!measure::ParseDpi(v, o.size.dDpi))
                args.Fail("--dpi takes a whole number of dots per inch, 72-1200");
        } else if (o.strIn.empty() && args.Arg() != "-o") {
            o.strIn = args.Arg();
        } else {
            args.Refuse();
        }
    }
    if (args.Failed())
        return 2;
    if ((o.bStart || o.bEnd || o.bSize || o.bDpi || !o.strTextGrid.empty()) && !o.bView) {
        PrintError("--start, --end, --size, --dpi and --textgrid belong to --view");
        return 2;
    }
    if (o.strIn.empty() || o.strOut.empty()) {
        PrintError(kszRenderUsage);
        return 2;
    }
    if (!CMeasureFigure::FormatFor(o.strOut, o.eFormat)) {
        PrintError(o.strOut + ": render writes PNG (.png), JPEG (.jpg, .jpeg), and with --view SVG (.svg) or PDF (.pdf)");
        return 2;
    }
    if (!o.bView && (o.eFormat == EFigureFormat::Svg || o.eFormat == EFigureFormat::Pdf)) {
        PrintError(o.strOut + ": SVG and PDF are drawings of the measuring view: add --view");
        return 2;
    }
    if (const std::string strWhy = measure::CheckFigureSize(o.size); !strWhy.empty()) {
        PrintError("--size: " + strWhy);
        return 2;
    }
    return 0;
}

// The picture written as every output is (WriteOutput).
bool SaveBytes(const QByteArray& bytes, const RenderOptions& o)
{
    InstallSignalHandlers();
    return WriteOutput(o.strOut, [&](WriteFn pfnWrite, void* pContext) {
        return pfnWrite(pContext, bytes.constData(), std::size_t(bytes.size()));
    });
}

// A PNG's quality is its compression: at 50 a 1280 x 720 view is written in
// 25 ms instead of the default's 39, for a file 9 % larger.
bool SaveImage(const QImage& image, const RenderOptions& o)
{
    const bool bJpeg = o.eFormat == EFigureFormat::Jpeg;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, bJpeg ? "JPEG" : "PNG", bJpeg ? 90 : 50)) {
        PrintError("cannot write " + o.strOut + ": the picture could not be encoded");
        return false;
    }
    return SaveBytes(bytes, o);
}

// The window's picture. Whatever the model could not compute is drawn without
// (as the window shows it) and said on stderr, and the status is 1.
int RenderWindow(const RenderOptions& o, const SampleStore& store)
{
    CAnalysisModel model;
    const QSize size = CAnalysisPainter::WindowSize();
    model.Layout(size.width(), size.height());
    bool bWhole = true;
    const analysis::EOutcome nPitch = model.ComputePitch(store);
    if (nPitch == analysis::EOutcome::NoMemory) {
        PrintError(o.strIn + ": not enough memory to track the pitch");
        bWhole = false;
    } else if (nPitch != analysis::EOutcome::Done) {
        PrintError(o.strIn + ": the pitch track failed");
        bWhole = false;
    }
    if (model.ComputeSpectrogram(store) != analysis::EOutcome::Done) {
        PrintError(o.strIn + ": not enough memory for the spectrogram");
        bWhole = false;
    } else if (model.HadMathError()) {
        PrintError(o.strIn + ": " + STR_MATH_ERROR);
        bWhole = false;
    }
    const QPalette palette = QGuiApplication::palette();
    const QImage image = CAnalysisPainter(model).Render(palette.color(QPalette::Window),
                                                         palette.color(QPalette::WindowText));
    return SaveImage(image, o) && bWhole ? 0 : 1;
}

// The view's picture. A pitch track or a spectrogram that fails leaves the
// picture without it (saying so in its header and on stderr) and the status at 1.
// kLoadAndRetry: the file went short under the reading; it is loaded whole and
// drawn again.
const int kLoadAndRetry = -1;

const char kszRetry[] = "retry";

// What the tracks of a stretch read beyond its ends: more than any window.
constexpr double kTrackMarginS = 0.5;

template <class Frames>
void ShiftTimes(Frames& frames, double dSeconds)
{
    for (double& t : frames.time_s)
        t += dSeconds;
}

// The layers the view shows by default besides the pitch: the waveform (the
// stretch's samples up close, the pyramid of the whole sound further out),
// the intensity and the formants. Those two are tracked over the stretch and
// half a second either side, not the whole sound: a second of an hour then
// takes a moment, not the hour's formants (the ceiling the formants find is
// then the stretch's); the formants at a frame to a pixel column at most
// (FormantsForPicture), so the whole hour's take a twentieth of a second.
// Empty when all were made, kszRetry when the file went short, else which
// were not and why.
std::string TrackLayers(const CViewSound& sound, const measure::MeasureSettings& settings,
                        const std::shared_ptr<const CMeasureSound>& pStretch, int nPlotWidth, CMeasureModel& model)
{
    model.SetSoundSamples(pStretch);
    auto pPyramid = std::make_shared<waveform::CWaveformPyramid>();
    auto pIntensity = std::make_shared<intensity::IntensityFrames>();
    auto pFormants = std::make_shared<formants::FormantFrames>();
    const int nRate = sound.Rate();
    const int64_t nFirst = std::clamp<int64_t>(std::llround((model.Start() - kTrackMarginS) * nRate), 0, sound.Count());
    const int64_t nEnd = std::clamp<int64_t>(std::llround((model.End() + kTrackMarginS) * nRate), nFirst, sound.Count());
    const double dOffset = static_cast<double>(nFirst) / nRate;
    // A stretch whose pixel columns are short and held needs no pyramid of
    // the whole sound: a second of an hour then never reads the hour again.
    const waveform::HeldSamples held = model.Held();
    const int64_t nShownFirst = waveform::SampleAtOrAfter(model.Start(), nRate);
    const int64_t nShownEnd = std::min<int64_t>(sound.Count(), waveform::SampleAtOrAfter(model.End(), nRate));
    const bool bPyramid = !held.Holds(nShownFirst, nShownEnd) || nPlotWidth <= 0
                          || (nShownEnd - nShownFirst) / nPlotWidth + 2 > waveform::CWaveformPyramid::kDirectScanSamples;
    const COffsetSamples around(sound.Source(), static_cast<int>(nFirst));
    const auto Around = analysis::CSoundInput::Samples(around, static_cast<int>(nEnd - nFirst), nRate);
    const analysis::EOutcome nResults[] = {
        bPyramid ? pPyramid->Build(sound.Input()).nOutcome : analysis::EOutcome::Done,
        intensity::TrackSound(Around, settings.intensity, 0, *pIntensity).nOutcome,
        formants::TrackSound(Around, measure::FormantsForPicture(settings.formants, model.Span(), nPlotWidth), 0,
                             *pFormants)
            .nOutcome,
    };
    ShiftTimes(*pIntensity, dOffset);
    ShiftTimes(*pFormants, dOffset);
    std::string strWhy;
    const char* kszLayers[] = {"waveform", "intensity", "formants"};
    for (int i = 0; i < 3; ++i) {
        if (nResults[i] == analysis::EOutcome::SourceFailed && !sound.IsLoaded())
            return kszRetry;
        if (nResults[i] != analysis::EOutcome::Done)
            strWhy += (strWhy.empty() ? "" : ", ") + std::string(kszLayers[i]) + " (" +
                      (nResults[i] == analysis::EOutcome::NoMemory ? "not enough memory" : "it failed") + ")";
    }
    if (nResults[0] == analysis::EOutcome::Done)
        model.SetWaveform(pPyramid);
    model.SetIntensity(pIntensity, nResults[1]);
    model.SetFormants(pFormants, nResults[2]);
    return strWhy;
}

// The picture never needs a screen, whatever the environment offers.
std::unique_ptr<QGuiApplication> StartQt()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int nArgc = 1;
    static char szName[] = "sonavel-analyze";
    static char* argvQt[] = {szName, nullptr};
    return std::make_unique<QGuiApplication>(nArgc, argvQt);
}

int RenderView(const RenderOptions& o, const CViewSound& sound, const textgrid::TextGrid* pTiers,
               std::unique_ptr<QGuiApplication>& pApp)
{
    const measure::MeasureSettings settings = measure::FitToRate(measure::MeasureSettings(), sound.Rate());
    if (const analysis::SettingRefusal refusal = measure::CheckSettings(settings, sound.Rate())) {
        PrintError(o.strIn + ": cannot show this sound: " + refusal.strWhy);
        return 1;
    }
    CMeasureModel model;
    model.SetSound(sound.Count(), sound.Rate());
    const double dDuration = model.Duration();
    const double dStart = std::clamp(o.bStart ? o.dStart : 0.0, 0.0, dDuration);
    const double dEnd = std::clamp(o.bEnd ? o.dEnd : dDuration, 0.0, dDuration);
    if (!(dEnd > dStart)) {
        PrintError(o.strIn + ": nothing between --start and --end within the sound's " +
                   std::to_string(dDuration) + " s");
        return 2;
    }
    model.SetSpan(dStart, dEnd);

    // The whole sound's pitch takes longest: Qt starts, and the stretch's
    // samples, layers and spectrogram are made, while it is tracked.
    CPendingPitch pitch(sound, settings.pitch);
    if (!pApp)
        pApp = StartQt();
    const int nTiers = pTiers ? static_cast<int>(pTiers->tiers.size()) : 0;
    if (const std::string strWhy = CMeasureFigure::Check(o.size, nTiers); !strWhy.empty()) {
        PrintError("--size: " + strWhy);
        return 2;
    }
    // The plot above the tiers, laid out on paper; its spectrogram has a
    // column for each of the figure's pixels across it.
    const QSize plot = CMeasureFigure::PlotSize(CMeasureFigure::LayoutSize(o.size), nTiers);
    const CMeasureLayout layout = CMeasureLayout::For(plot, CMeasurePainter::ViewFont(), settings.layers);
    const int nPlotPixels = static_cast<int>(std::lround(layout.PlotWidth() * o.size.DeviceRatio()));
    const PictureRequest request{model.Start(), model.End(), nPlotPixels, settings.spectrogram};
    const auto [nFirst, nEnd] = PictureSamples(request, sound.Count(), sound.Rate());
    const auto pSound = sound.Stretch(nFirst, nEnd);
    if (!pSound)
        return kLoadAndRetry;

    model.SetTracking(settings.pitch);
    model.SetPitchAxis(settings.pitchAxis);
    const std::string strLayers = TrackLayers(sound, settings, pSound, nPlotPixels, model);
    if (strLayers == kszRetry)
        return kLoadAndRetry;
    CColumnCache cache;
    const auto pPicture = ComputePicture(*pSound, request, cache);
    const analysis::EOutcome nTrack = pitch.Wait();
    if (nTrack == analysis::EOutcome::SourceFailed && !sound.IsLoaded())
        return kLoadAndRetry;
    model.SetPitch(pitch.Frames(), nTrack);
    const std::string strNoPicture = pPicture ? pPicture->strFailure : std::string();
    model.SetPictureFailure(strNoPicture);
    CMeasureScene scene;
    scene.pModel = &model;
    if (strNoPicture.empty())
        scene.pPicture = pPicture.get();
    else
        scene.strNoPicture = QString::fromStdString("No spectrogram: " + strNoPicture);
    scene.settings = settings;
    const std::string::size_type nSlash = o.strIn.find_last_of('/');
    const std::string strName = nSlash == std::string::npos ? o.strIn : o.strIn.substr(nSlash + 1);
    // Another channel than the first says which in the header.
    scene.strName = QString::fromStdString(o.nChannel == 1 ? strName
                                                            : measure::ChannelName(strName, o.nChannel, o.nChannels));
    CFigure figure;
    figure.scene = scene;
    figure.pTiers = pTiers;
    figure.size = o.size;
    figure.eFormat = o.eFormat;
    figure.strTitle = scene.strName;
    figure.strDescription = QString::fromStdString(measure::PictureDescription(scene.strName.toStdString(), model));
    QByteArray bytes;
    if (!CMeasureFigure::Encode(figure, bytes)) {
        PrintError("cannot write " + o.strOut + ": the picture could not be made");
        return 1;
    }
    if (!SaveBytes(bytes, o))
        return 1;
    int nStatus = 0;
    if (!strNoPicture.empty()) {
        PrintError(o.strIn + ": drawn without spectrogram: " + strNoPicture);
        nStatus = 1;
    }
    if (nTrack != analysis::EOutcome::Done) {
        PrintError(o.strIn + ": drawn without pitch: " + measure::TrackFailure(nTrack));
        nStatus = 1;
    }
    if (!strLayers.empty()) {
        PrintError(o.strIn + ": drawn without " + strLayers);
        nStatus = 1;
    }
    return nStatus;
}

} // namespace

int RunRender(int argc, char** argv)
{
    RenderOptions options;
    const int nUsage = ParseOptions(argc, argv, options);
    if (nUsage != 0)
        return nUsage;

    if (CInputFiles({options.strIn}).Refuses(options.strIn, options.strOut))
        return 1;
    if (!options.strTextGrid.empty() && CInputFiles({options.strTextGrid}).Refuses(options.strTextGrid, options.strOut))
        return 1;
    if (options.bView) {
        // The tiers first: a TextGrid that cannot be read ends the command
        // before the sound is.
        textgrid::ReadResult grid;
        if (!options.strTextGrid.empty()) {
            grid = textgrid::ReadTextGrid(options.strTextGrid);
            if (!grid.Ok()) {
                PrintError(textgrid::DescribeFailure(options.strTextGrid, grid));
                return 1;
            }
        }
        const textgrid::TextGrid* pTiers = options.strTextGrid.empty() ? nullptr : &grid.grid;
        CViewSound sound;
        if (!sound.Open(options.strIn, options.nChannel))
            return 1;
        options.nChannels = sound.Channels();
        std::unique_ptr<QGuiApplication> pApp;
        const int nStatus = RenderView(options, sound, pTiers, pApp);
        if (nStatus != kLoadAndRetry)
            return nStatus;
        // Loaded whole, it never goes short again.
        if (!sound.LoadWhole())
            return 1;
        options.nChannels = sound.Channels();
        return RenderView(options, sound, pTiers, pApp);
    }
    SampleStore store;
    std::string strReader;
    if (!LoadSound(options.strIn, store, strReader, options.nChannel, &options.nChannels))
        return 1;
    const auto pApp = StartQt();
    return RenderWindow(options, store);
}

} // namespace analyze
} // namespace sonavel
