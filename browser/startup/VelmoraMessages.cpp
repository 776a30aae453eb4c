#include "browser/startup/VelmoraMessages.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace velmora {
namespace {

int DefaultMessageBox(const QString& text, int buttons)
{
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    switch (buttons & 0xF) {
    case MB_OKCANCEL: set = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MB_YESNOCANCEL: set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case MB_YESNO: set = QMessageBox::Yes | QMessageBox::No; break;
    default: break;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Velmora"), text, set,
                    QApplication::activeWindow());
    switch (box.exec()) {
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDOK;
    }
}

void DefaultBeep()
{
    QApplication::beep();
}

VelmoraMessageBoxHandler& BoxHandler()
{
    static VelmoraMessageBoxHandler s_handler = DefaultMessageBox;
    return s_handler;
}

VelmoraBeepHandler& BeepHandler()
{
    static VelmoraBeepHandler s_handler = DefaultBeep;
    return s_handler;
}

} // namespace

VelmoraMessageBoxHandler SetVelmoraMessageBoxHandler(VelmoraMessageBoxHandler handler)
{
    return std::exchange(BoxHandler(), handler ? std::move(handler)
                                               : VelmoraMessageBoxHandler(DefaultMessageBox));
}

VelmoraBeepHandler SetVelmoraBeepHandler(VelmoraBeepHandler handler)
{
    return std::exchange(BeepHandler(), handler ? std::move(handler) : VelmoraBeepHandler(DefaultBeep));
}

} // namespace velmora

int VelmoraMessageBox(const QString& text, int buttons)
{
    return velmora::BoxHandler()(text, buttons);
}

void VelmoraBeep()
{
    velmora::BeepHandler()();
}
