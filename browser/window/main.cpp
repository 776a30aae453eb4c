// Velmora: the browser whose upper pane hands WAV and AIFF links to the player.
//
// Run as root (containers, CI), the web engine refuses to start unless its
// sandbox is switched off: the scripts export QTWEBENGINE_DISABLE_SANDBOX=1 in
// that case only. The program itself never turns the sandbox off.
#include "browser/window/CMainFrame.h"

#include "browser/startup/CVelmoraApp.h"

int main(int argc, char** argv)
{
    CVelmoraApp app;  // captures the start-up directory before anything else
    app.SetMainFrameFactory([] { return new CMainFrame; });
    return app.Run(argc, argv);
}
