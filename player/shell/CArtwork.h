#pragma once
// The player's artwork: the About picture and the document windows' icon,
// drawn by code, and the main icon, the menu entry's SVG drawn by Qt SVG.
//
// Answers pixmaps and icons by value; UI thread (they are GUI objects).
#include <QIcon>
#include <QPixmap>

namespace sonavel {
namespace shell {

QPixmap AboutPicture(const QSize& size);
QIcon MainIcon();
QIcon DocumentIcon();

} // namespace shell
} // namespace sonavel
