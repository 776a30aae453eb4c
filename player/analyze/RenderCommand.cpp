// sonavel-analyze render FILE -o OUT.png: the analysis window's client area,
// computed and drawn by the window's own code at its own size, as a PNG. Runs
// without a display.
#include "player/analyze/AnalyzeCommands.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <cstdlib>

#include "player/analysis/CAnalysisDlg.h"

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
    QApplication app(nArgc, argvQt);

    CAnalysisDlg dlg;
    dlg.OnInitDialog();
    if (dlg.ComputePitch(store) != 0)
        PrintError(strIn + ": not enough memory for the pitch track; drawn without it");
    if (dlg.ComputeSpectrogram(store) != 0)
        PrintError(strIn + ": not enough memory for the spectrogram; drawn without it");
    const QImage image = dlg.grab().toImage();
    if (image.isNull() || !image.save(QString::fromStdString(strOut), "PNG")) {
        PrintError("cannot write " + strOut);
        return 1;
    }
    return 0;
}

} // namespace analyze
} // namespace sonavel
