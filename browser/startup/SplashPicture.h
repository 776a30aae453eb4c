#pragma once
// The browser's picture (413 x 235 pixels) shown by the splash and the About
// box, drawn by code in a 16-colour palette.
//
// The QImage is the caller's; any thread may draw it.
#include <QImage>

namespace velmora {

QImage MakeSplashPicture();

} // namespace velmora
