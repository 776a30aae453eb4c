// sonavel-analyze render FILE -o OUT.png: the analysis window's client area,
// computed by the window's model and drawn by the window's painter at its own
// size, as a PNG. With --view, the measuring view's picture instead, at its
// default settings (never a player's saved ones), of the whole sound or of
// --start to --end, at --size. Runs without a display, and without Qt Widgets.
#include "player/analyze/AnalyzeCommands.h"

#include <QGuiApplication>
#include <QImage>
#include <QPalette>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "player/analysis/CAnalysisModel.h"
#include "player/analysis/CMeasureModel.h"
#include "player/analysis/CSampleSource.h"
#include "player/analysis/paint/CAnalysisPainter.h"
#include "player/analysis/paint/CMeasurePainter.h"

namespace sonavel {
namespace analyze {

namespace {

const char kszRenderUsage[] =
    "usage: sonavel-analyze render FILE -o OUT.png [--view [--start S] [--end E] [--size WxH]]";
const int kDefaultWidth = 1280, kDefaultHeight = 720;
const int kMinSide = 200, kMaxSide = 8000;

struct RenderOptions {
    std::string strIn, strOut;
    bool bView = false;
    bool bStart = false, bEnd = false, bSize = false;
    double dStart = 0, dEnd = 0;
    int nWidth = kDefaultWidth, nHeight = kDefaultHeight;
};

// A decimal number of seconds, the whole argument.
bool ParseSeconds(const char* sz, double& d)
{
    char* pEnd = nullptr;
    d = std::strtod(sz, &pEnd);
    return pEnd != sz && *pEnd == 0 && std::isfinite(d);
}

bool ParseSize(const char* sz, int& nWidth, int& nHeight)
{
    char cX = 0, cExtra = 0;
    return std::sscanf(sz, "%d%c%d%c", &nWidth, &cX, &nHeight, &cExtra) == 3 && (cX == 'x' || cX == 'X');
}

// 0 when the options are whole, else the exit status (2) after a message.
int ParseOptions(int argc, char** argv, RenderOptions& o)
{
    bool bUsage = false;
    for (int i = 1; i < argc && !bUsage; ++i) {
        const std::string arg = argv[i];
        const bool bValue = i + 1 < argc;
        if (arg == "-o" && bValue && o.strOut.empty())
            o.strOut = argv[++i];
        else if (arg == "--view" && !o.bView)
            o.bView = true;
        else if (arg == "--start" && bValue && !o.bStart)
            bUsage = !(o.bStart = ParseSeconds(argv[++i], o.dStart));
        else if (arg == "--end" && bValue && !o.bEnd)
            bUsage = !(o.bEnd = ParseSeconds(argv[++i], o.dEnd));
        else if (arg == "--size" && bValue && !o.bSize) {
            o.bSize = true;
            if (!ParseSize(argv[++i], o.nWidth, o.nHeight) || o.nWidth < kMinSide || o.nWidth > kMaxSide
                || o.nHeight < kMinSide || o.nHeight > kMaxSide) {
                PrintError("--size takes WIDTHxHEIGHT, each 200-8000 pixels");
                return 2;
            }
        } else if (o.strIn.empty() && arg != "-o")
            o.strIn = arg;
        else
            bUsage = true;
    }
    if ((o.bStart || o.bEnd || o.bSize) && !o.bView) {
        PrintError("--start, --end and --size belong to --view");
        return 2;
    }
    if (bUsage || o.strIn.empty() || o.strOut.empty()) {
        PrintError(kszRenderUsage);
        return 2;
    }
    return 0;
}

bool SavePng(const QImage& image, const std::string& strOut)
{
    if (image.isNull() || !image.save(QString::fromStdString(strOut), "PNG")) {
        PrintError("cannot write " + strOut);
        return false;
    }
    return true;
}

int RenderWindow(const RenderOptions& o, const SampleStore& store)
{
    CAnalysisModel model;
    const QSize size = CAnalysisPainter::WindowSize();
    model.Layout(size.width(), size.height());
    if (model.ComputePitch(store) != 0)
        PrintError(o.strIn + ": not enough memory for the pitch track; drawn without it");
    if (model.ComputeSpectrogram(store) != 0)
        PrintError(o.strIn + ": not enough memory for the spectrogram; drawn without it");
    const QPalette palette = QGuiApplication::palette();
    const QImage image = CAnalysisPainter(model).Render(palette.color(QPalette::Window),
                                                         palette.color(QPalette::WindowText));
    return SavePng(image, o.strOut) ? 0 : 1;
}

// The view's picture. A pitch track that fails leaves the picture without it
// (saying so in its header) and the status at 1.
int RenderView(const RenderOptions& o, const SampleStore& store)
{
    const auto pSound = CMeasureSound::FromStore(store);
    const measure::MeasureSettings settings = measure::FitToRate(measure::MeasureSettings(), pSound->Rate());
    const std::string strWhy = measure::CheckSettings(settings, pSound->Rate());
    if (!strWhy.empty()) {
        PrintError(o.strIn + ": cannot show this sound: " + strWhy);
        return 1;
    }
    CMeasureModel model;
    model.SetSound(pSound->Count(), pSound->Rate());
    const double dDuration = model.Duration();
    const double dStart = std::clamp(o.bStart ? o.dStart : 0.0, 0.0, dDuration);
    const double dEnd = std::clamp(o.bEnd ? o.dEnd : dDuration, 0.0, dDuration);
    if (!(dEnd > dStart)) {
        PrintError(o.strIn + ": nothing between --start and --end within the sound's " +
                   std::to_string(dDuration) + " s");
        return 2;
    }
    model.SetSpan(dStart, dEnd);

    model.SetTracking(settings.pitch);
    auto pFrames = std::make_shared<pitch::PitchFrames>();
    int nTrack = -3;
    if (pSound->Count() <= INT32_MAX) {
        const CMemorySamples source(pSound->Samples(), static_cast<int>(pSound->Count()));
        nTrack = pitch::TrackWith(settings.pitch, source, static_cast<int>(pSound->Count()), pSound->Rate(), 0,
                                  *pFrames);
    }
    model.SetPitch(pFrames, nTrack);

    const QSize size(o.nWidth, o.nHeight);
    const CMeasureLayout layout = CMeasureLayout::For(size, CMeasurePainter::ViewFont());
    CColumnCache cache;
    const auto pPicture = ComputePicture(
        *pSound, PictureRequest{model.Start(), model.End(), layout.PlotWidth(), settings.spectrogram}, cache);
    CMeasureScene scene;
    scene.pModel = &model;
    scene.pPicture = pPicture.get();
    scene.settings = settings;
    const std::string::size_type nSlash = o.strIn.find_last_of('/');
    scene.strName = QString::fromStdString(nSlash == std::string::npos ? o.strIn : o.strIn.substr(nSlash + 1));
    if (!SavePng(CMeasurePainter::Render(size, scene), o.strOut))
        return 1;
    if (nTrack != 0) {
        PrintError(o.strIn + ": drawn without pitch: " + measure::TrackFailure(nTrack));
        return 1;
    }
    return 0;
}

} // namespace

int RunRender(int argc, char** argv)
{
    RenderOptions options;
    const int nUsage = ParseOptions(argc, argv, options);
    if (nUsage != 0)
        return nUsage;

    SampleStore store;
    std::string strReader;
    if (!LoadSound(options.strIn, store, strReader))
        return 1;

    // The picture never needs a screen, whatever the environment offers.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int nArgc = 1;
    char szName[] = "sonavel-analyze";
    char* argvQt[] = {szName, nullptr};
    QGuiApplication app(nArgc, argvQt);
    return options.bView ? RenderView(options, store) : RenderWindow(options, store);
}

} // namespace analyze
} // namespace sonavel
