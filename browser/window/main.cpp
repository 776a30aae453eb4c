// Velmora: the browser whose upper pane hands sound links to the player.
//
// Run as root (containers, CI), the web engine refuses to start unless its
// sandbox is switched off: the scripts export QTWEBENGINE_DISABLE_SANDBOX=1 in
// that case only. The program itself never turns the sandbox off.
#include "browser/window/CMainFrame.h"
#include "browser/window/ProgramIcon.h"

#include "browser/startup/CVelmoraApp.h"
#include "browser/startup/VelmoraUsage.h"

#include <QApplication>

#include "common/ProgramOptions.h"
#include "common/ProgramVersion.h"

int main(int argc, char** argv)
{
    const int nAnswered = programoptions::AnswerHelpOrVersion(argc, argv, velmora::VelmoraUsage().c_str(), "velmora " PROGRAM_VERSION "\n");
    if (nAnswered >= 0)
        return nAnswered;

    // Wayland compositors take the window's icon and name from the menu entry
    // this names; X11 window managers take the icon set here.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.velmora.Velmora"));
    // The engine keeps the pages' own tree from screen readers on Linux unless
    // told; it is built only while an assistive technology is listening.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
    QApplication qtApp(argc, argv);
    QApplication::setWindowIcon(velmora::ProgramIcon());

    CVelmoraApp app;  // captures the start-up directory before any window exists
    app.SetMainFrameFactory([] { return new CMainFrame; });
    return app.Run(argc, argv);
}
