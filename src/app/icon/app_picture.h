#pragma once

#include <QPixmap>

namespace corvat {

constexpr int kWindowIconSize = 32;  // pixels
constexpr int kLogoSize = 50;        // pixels

// Both are drawn by the program, so no image file has to travel with it.
QPixmap WindowIconPixmap();
QPixmap LogoPixmap();
// The same picture at any size, on a transparent ground: the desktop's icons.
QPixmap IconPixmap(int size);

}  // namespace corvat
