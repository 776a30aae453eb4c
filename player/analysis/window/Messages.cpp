#include "player/analysis/window/Messages.h"

#include <cstdio>
#include <utility>

namespace sonavel {
namespace {

int DefaultMessageBox(const std::string& text, unsigned)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    return 1; // IDOK
}

MessageBoxHandler& BoxHandler()
{
    static MessageBoxHandler h = DefaultMessageBox;
    return h;
}

MessageBeepHandler& BeepHandler()
{
    static MessageBeepHandler h = [](unsigned) {};
    return h;
}

} // namespace

int SonavelMessageBox(const std::string& text, unsigned type) { return BoxHandler()(text, type); }
void SonavelMessageBeep(unsigned type) { BeepHandler()(type); }

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    return std::exchange(BoxHandler(), handler ? std::move(handler) : MessageBoxHandler(DefaultMessageBox));
}

MessageBeepHandler SetMessageBeepHandler(MessageBeepHandler handler)
{
    return std::exchange(BeepHandler(), handler ? std::move(handler) : MessageBeepHandler([](unsigned) {}));
}

} // namespace sonavel
