#pragma once
// Every message box and beep of the browser goes through these two functions,
// so the program shows a QMessageBox while tests answer and record each message
// instead of blocking. Call them on the user-interface thread.
#include <QString>

#include <functional>

namespace velmora {

// Button sets and answers, with the values the browser's callers already use.
enum : int { MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4 };
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

using VelmoraMessageBoxHandler = std::function<int(const QString& text, int buttons)>;
using VelmoraBeepHandler = std::function<void()>;

// Returns the previous handler, so a test can restore it; an empty handler
// restores the default (QMessageBox, QApplication::beep).
VelmoraMessageBoxHandler SetVelmoraMessageBoxHandler(VelmoraMessageBoxHandler handler);
VelmoraBeepHandler SetVelmoraBeepHandler(VelmoraBeepHandler handler);

} // namespace velmora

// Shows text with the given button set (MB_OK …) and returns the answer (IDOK …).
int VelmoraMessageBox(const QString& text, int buttons = velmora::MB_OK);
void VelmoraBeep();
