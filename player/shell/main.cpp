// sonavel: plays the sound file named on the command line at once and offers
// Play, the pitch/spectrogram analysis and About on a small bar.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "player/shell/CArtwork.h"
#include "player/shell/CSonavelProApp.h"
#include "player/shell/resource.h"

namespace {

const char kszUsage[] =
    "Usage: sonavel [FILE]\n"
    "       sonavel --help | --version\n"
    "\n"
    "Plays FILE (WAV, AIFF, AIFC, AU or 16-bit PCM with a fixed header) at once;\n"
    "the bar's menus play it again (Ctrl+P) and show its pitch and spectrogram\n"
    "(Ctrl+A). Only a sole --help or --version is an option: any other argument\n"
    "is a file to open (a file named --help opens as ./--help).\n"
    "\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n";

// Answers a sole --help or --version without a display; -1 when the command
// line is a file to open.
int AnswerOption(int argc, char** argv)
{
    if (argc != 2)
        return -1;
    if (std::strcmp(argv[1], "--help") == 0)
        std::fputs(kszUsage, stdout);
    else if (std::strcmp(argv[1], "--version") == 0)
        std::fputs("sonavel " PROGRAM_VERSION "\n", stdout);
    else
        return -1;
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const int nAnswered = AnswerOption(argc, argv);
    if (nAnswered >= 0)
        return nAnswered;

    // Wayland compositors take the window's icon and name from this menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.velmora.Sonavel"));
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
