#pragma once
// The player's artwork, drawn by code: the About picture and the icons of the
// main bar and of a document window.
#include <QIcon>
#include <QPixmap>

namespace sonavel {
namespace shell {

QPixmap AboutPicture(const QSize& size);
QIcon MainIcon();
QIcon DocumentIcon();

} // namespace shell
} // namespace sonavel
