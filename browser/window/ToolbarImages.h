#pragma once
// The main toolbar's nine images, drawn by code at 22 x 20 pixels: a quiet
// normal set and a brighter "hot" set shown under the mouse.
//
// Answers pixmaps and icons by value; UI thread (pixmaps are GUI objects).
#include <QIcon>
#include <QPixmap>

namespace velmora {

enum class EToolbarImage { Back, Forward, Stop, Refresh, Home, Search, Favorites, Print, Font, Count };

// One image; bHot selects the brighter colours.
QPixmap DrawToolbarImage(EToolbarImage image, bool bHot, qreal dDevicePixelRatio = 1.0);

// Normal and hot image as one icon (the hot one in QIcon::Active mode).
QIcon ToolbarIcon(EToolbarImage image);

}  // namespace velmora
