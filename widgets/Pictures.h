#pragma once

#include <QIcon>
#include <QPixmap>

// Pictures the program draws itself.
QPixmap startPicture(int width, int height);   // a black triangle pointing right on light grey
QPixmap stopPicture(int width, int height);    // a black filled square on light grey
QIcon mainWindowIcon();                        // 32 x 32
