#include "browser/startup/VelmoraMessages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>

#include <utility>

namespace velmora {
namespace {

// The browser's message box. A Yes/No question is answered only by its two
// buttons: Qt would take Escape or closing the window as No, and a No can
// switch a feature off for the rest of the run. Neither counts there, and that
// box has no close button.
class CVelmoraBox : public QMessageBox {
public:
    CVelmoraBox(const QString& text, StandardButtons set, bool bAnswerOnly)
        : QMessageBox(NoIcon, QStringLiteral("Velmora"), text, set, QApplication::activeWindow()),
          m_bAnswerOnly(bAnswerOnly)
    {
        if (m_bAnswerOnly)
            setWindowFlag(Qt::WindowCloseButtonHint, false);
    }

protected:
    void keyPressEvent(QKeyEvent* pEvent) override
    {
        if (m_bAnswerOnly && pEvent->key() == Qt::Key_Escape) {
            pEvent->accept();
            return;
        }
        QMessageBox::keyPressEvent(pEvent);
    }
    void closeEvent(QCloseEvent* pEvent) override
    {
        if (m_bAnswerOnly)
            pEvent->ignore();
        else
            QMessageBox::closeEvent(pEvent);
    }

private:
    bool m_bAnswerOnly;
};

int DefaultMessageBox(const QString& text, int buttons)
{
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    switch (buttons & 0xF) {
    case MB_OKCANCEL: set = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MB_YESNOCANCEL: set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case MB_YESNO: set = QMessageBox::Yes | QMessageBox::No; break;
    default: break;
    }
    CVelmoraBox box(text, set, (buttons & 0xF) == MB_YESNO);
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
