// sonavel-analyze render FILE -o OUT.png: the analysis window's client area,
// computed by the window's model and drawn by the window's painter at its own
// size, as a PNG. Runs without a display, and without Qt Widgets.
#include "player/analyze/AnalyzeCommands.h"

#include <QGuiApplication>
#include <QImage>
#include <QPalette>

#include <cstdlib>

#include "player/analysis/CAnalysisModel.h"
#include "player/analysis/paint/CAnalysisPainter.h"

namespace sonavel {
namespace analyze {

int RunRender(int argc, char** argv)
{
    std::string strIn, strOut;
    bool bUsage = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o" && i + 1 < argc && strOut.empty())
            strOut = argv[++i];
        else if (strIn.empty() && arg != "-o")
            strIn = arg;
        else
            bUsage = true;
    }
    if (bUsage || strIn.empty() || strOut.empty()) {
        PrintError("usage: sonavel-analyze render FILE -o OUT.png");
        return 2;
    }

    SampleStore store;
    std::string strReader;
    if (!LoadSound(strIn, store, strReader))
        return 1;

    // The picture never needs a screen, whatever the environment offers.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int nArgc = 1;
    char szName[] = "sonavel-analyze";
    char* argvQt[] = {szName, nullptr};
    QGuiApplication app(nArgc, argvQt);

    CAnalysisModel model;
    const QSize size = CAnalysisPainter::WindowSize();
    model.Layout(size.width(), size.height());
    if (model.ComputePitch(store) != 0)
        PrintError(strIn + ": not enough memory for the pitch track; drawn without it");
    if (model.ComputeSpectrogram(store) != 0)
        PrintError(strIn + ": not enough memory for the spectrogram; drawn without it");
    const QPalette palette = QGuiApplication::palette();
    const QImage image = CAnalysisPainter(model).Render(palette.color(QPalette::Window),
                                                         palette.color(QPalette::WindowText));
    if (image.isNull() || !image.save(QString::fromStdString(strOut), "PNG")) {
        PrintError("cannot write " + strOut);
        return 1;
    }
    return 0;
}

} // namespace analyze
} // namespace sonavel
