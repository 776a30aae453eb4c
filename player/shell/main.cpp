// sonavel: plays the sound file named on the command line at once and offers
// Play, the pitch/spectrogram analysis and About on a small bar.
#include <QApplication>
#include <QFile>
#include <QStringList>

#include "common/ProgramOptions.h"
#include "common/ProgramVersion.h"

#include "player/analysis/window/CMeasureView.h"
#include "player/audio/SoundReaders.h"
#include "player/shell/CArtwork.h"
#include "player/shell/CSonavelProApp.h"
#include "player/shell/EndSignals.h"
#include "player/shell/resource.h"

namespace {

// The formats are the reader table's.
std::string Usage()
{
    return "Usage: sonavel [FILE]\n"
           "       sonavel FILE [--select START,END] [--channel N] [--name NAME] [--textgrid TG]\n"
           "       sonavel --help | --version\n"
           "\n"
        + programoptions::WrapText(
               "Plays FILE (" + sonavel::audio::SoundFormatList()
               + ") at once; the bar's menus play it again from its start (Ctrl+P), stop it (Ctrl+.) and show "
                 "its pitch and spectrogram (Ctrl+A) or the measuring view (Ctrl+M). One sound plays at a time. "
                 "Only a sole --help or --version is an option, and --select, --channel, --name and --textgrid only "
                 "after FILE, each once with its value, in any order (three, five, seven or nine arguments): any other "
                 "argument is a file to open (a file named --help opens as ./--help).")
        + "\n"
          "  --select START,END  open the measuring view on START to END (seconds, as\n"
          "                      decimals; START, for \"to the end\") and play only that;\n"
          "                      a span the sound cannot hold: the whole sound, and why\n"
          "  --channel N         open channel N of FILE (1 is the first, the default)\n"
          "  --name NAME         show the sound as NAME (its folders, control characters\n"
          "                      and anything past 255 bytes are dropped)\n"
          "  --textgrid TG       open the measuring view with the TextGrid TG (without it,\n"
          "                      FILE's own, such as take7.TextGrid beside take7.wav,\n"
          "                      opens with the view); one that cannot be read: why, in\n"
          "                      the view and on stderr, and the sound opens all the same\n"
          "  --help              print this text and exit\n"
          "  --version           print the version and exit\n";
}

} // namespace

int main(int argc, char** argv)
{
    const int nAnswered = programoptions::AnswerHelpOrVersion(argc, argv, Usage().c_str(), "sonavel " PROGRAM_VERSION "\n");
    if (nAnswered >= 0)
        return nAnswered;

    // Every argument is a file: Qt sees none of them, or it would take a file
    // named -reverse or -style for one of its own options and drop it. File
    // names are bytes, decoded as QFile encodes them back.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    int nQtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};

    // Wayland compositors take the window's icon and name from this menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.velmora.Sonavel"));
    QApplication app(nQtArgc, qtArgv);
    QApplication::setApplicationName(sonavel::shell::kszAppTitle);
    QApplication::setApplicationVersion(sonavel::shell::kszVersion);
    QApplication::setWindowIcon(sonavel::shell::MainIcon());

    CSonavelProApp::InstallMessageHandlers();
    CSonavelProApp theApp;
    // Unsaved tier edits outlive a logout, a shutdown or `kill`.
    sonavel::shell::InstallEndSignals([&theApp] {
        if (CMeasureView* pView = theApp.MeasureView())
            pView->KeepUnsavedEdits();
    });
    if (!theApp.InitInstance(arguments))
        return 1;
    return app.exec();
}
