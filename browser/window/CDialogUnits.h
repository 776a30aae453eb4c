#pragma once
// Dialog sizes are laid out in dialog units of an 8-point sans-serif font at
// 96 DPI: 4 horizontal units are 6 pixels, 8 vertical units are 13 pixels.
#include <QApplication>
#include <QFont>
#include <QRect>
#include <QSize>

namespace velmora {

constexpr int DialogUnitsToPixelsX(int nUnits) { return (nUnits * 6 + 2) / 4; }
constexpr int DialogUnitsToPixelsY(int nUnits) { return (nUnits * 13 + 4) / 8; }

inline QSize DluSize(int nWidth, int nHeight)
{
    return QSize(DialogUnitsToPixelsX(nWidth), DialogUnitsToPixelsY(nHeight));
}

inline QRect DluRect(int x, int y, int nWidth, int nHeight)
{
    return QRect(DialogUnitsToPixelsX(x), DialogUnitsToPixelsY(y), DialogUnitsToPixelsX(nWidth),
                 DialogUnitsToPixelsY(nHeight));
}

// The font the unit sizes were made for: 8 points at 96 DPI, about 11 pixels.
inline QFont DialogFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(11);
    return font;
}

} // namespace velmora
