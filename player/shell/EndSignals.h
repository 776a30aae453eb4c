#pragma once
// The player told to end (SIGTERM at logout or shutdown, SIGHUP when its
// terminal goes, SIGINT from a terminal's Ctrl+C, the session manager's
// commit) gets to keep the user's unsaved work first. A signal handler may do
// almost nothing, so it only writes the signal's number into a pipe; the
// event loop reads it on the user-interface thread, runs fnKeep, and the
// program then ends as the signal would have ended it.
#include <functional>

namespace sonavel::shell {

// Once, after the QApplication exists. fnKeep also runs when the session asks
// the program to commit its data and just before the event loop ends.
void InstallEndSignals(std::function<void()> fnKeep);

} // namespace sonavel::shell
