#pragma once
// Velmora's icon: the menu entry's picture (packaging/icons/velmora.svg),
// built into the program through velmora.qrc and drawn by Qt SVG at any size.
//
// Answers a QIcon by value; UI thread (icons are GUI objects).
#include <QIcon>

namespace velmora {

inline QIcon ProgramIcon()
{
    return QIcon(QStringLiteral(":/icons/velmora.svg"));
}

}  // namespace velmora
