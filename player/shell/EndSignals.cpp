#include "player/shell/EndSignals.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace sonavel::shell {

namespace {

int g_nSignalPipe[2] = {-1, -1};

extern "C" void OnEndSignal(int nSignal)
{
    const int nErrno = errno;
    const char c = static_cast<char>(nSignal);
    // A full pipe means an ending is on its way already.
    [[maybe_unused]] const ssize_t n = write(g_nSignalPipe[1], &c, 1);
    errno = nErrno;
}

} // namespace

void InstallEndSignals(std::function<void()> fnKeep)
{
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, fnKeep);
    // The session ends: the program may be killed right after, without asking.
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, qApp, [fnKeep](QSessionManager&) { fnKeep(); });

    if (pipe2(g_nSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // no pipe, no handlers: the signals keep ending the program at once
    auto* pNotifier = new QSocketNotifier(g_nSignalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(pNotifier, &QSocketNotifier::activated, qApp, [fnKeep] {
        char c = 0;
        if (read(g_nSignalPipe[0], &c, 1) != 1)
            return;
        fnKeep();
        // Ended as by the signal itself, so whoever sent it sees that.
        std::signal(c, SIG_DFL);
        std::raise(c);
    });
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int nSignal : {SIGTERM, SIGHUP, SIGINT})
        sigaction(nSignal, &action, nullptr);
}

} // namespace sonavel::shell
