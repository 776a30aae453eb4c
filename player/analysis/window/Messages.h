#pragma once
// The player's message boxes and beeps go through these two functions (loading
// reports its failures in a CLoadResult instead, which the shell shows through
// them), so that the program shows QMessageBox, a tool without a window writes
// to stderr and tests record every message instead of blocking.
//
// UI thread only: the handlers are program-wide, set by the program's main or a test and
// called where the player shows a message.
#include <functional>
#include <string>

namespace sonavel {

enum : unsigned { MB_OK = 0x0 };

using MessageBoxHandler = std::function<int(const std::string& text, unsigned type)>;
using MessageBeepHandler = std::function<void(unsigned type)>;

// Default handlers: the text goes to stderr, the beep is silent.
int SonavelMessageBox(const std::string& text, unsigned type = MB_OK);
void SonavelMessageBeep(unsigned type = 0);

// Returns the previous handler, so a test can restore it.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
MessageBeepHandler SetMessageBeepHandler(MessageBeepHandler handler);

} // namespace sonavel
