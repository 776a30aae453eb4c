#pragma once
// Dialog sizes and places in dialog units (converted by DluToPxX/DluToPxY), and
// the font those units were made for.
//
// Functions of a widget's font; UI thread, as the widgets they size.
#include "browser/startup/VelmoraResource.h"

#include <QApplication>
#include <QFont>
#include <QRect>
#include <QSize>

namespace velmora {

inline QSize DluSize(int nWidth, int nHeight)
{
    return QSize(DluToPxX(nWidth), DluToPxY(nHeight));
}

inline QRect DluRect(int x, int y, int nWidth, int nHeight)
{
    return QRect(DluToPxX(x), DluToPxY(y), DluToPxX(nWidth),
                 DluToPxY(nHeight));
}

// The font the unit sizes were made for: 8 points at 96 DPI, about 11 pixels.
inline QFont DialogFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(11);
    return font;
}

} // namespace velmora
