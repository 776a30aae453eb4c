// sonavel: plays the sound file named on the command line at once and offers
// Play, the pitch/spectrogram analysis and About on a small bar.
#include <QApplication>

#include "player/shell/CArtwork.h"
#include "player/shell/CSonavelProApp.h"
#include "player/shell/resource.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(sonavel::shell::kszAppTitle);
    QApplication::setApplicationVersion(sonavel::shell::kszVersion);
    QApplication::setWindowIcon(sonavel::shell::MainIcon());

    CSonavelProApp::InstallMessageHandlers();
    CSonavelProApp theApp;
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (!theApp.InitInstance(arguments))
        return 1;
    return app.exec();
}
