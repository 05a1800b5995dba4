// The pictures of DEKVANTO, drawn by the program itself: the banner at the top of the main
// window (455 x 73 pixels, at most 256 colours) and the program icon (32 x 32 pixels, at most 16
// colours), used as the window icon and in the About box.
#pragma once

#include <QIcon>
#include <QImage>

namespace dekvanto::qt {

inline constexpr int kBannerWidth = 455;
inline constexpr int kBannerHeight = 73;
inline constexpr int kIconSize = 32;

QImage BannerImage();
QImage IconImage();
// The program icon drawn at any size in full colour and smoothed, for the desktop's menus
// (the same picture as IconImage, which keeps the 16-colour form).
QImage DesktopIcon(int size);
QIcon ProgramIcon();

}  // namespace dekvanto::qt
