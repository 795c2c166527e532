#pragma once

#include <QImage>
#include <QPixmap>

// The About box's 32 x 32 picture: a meter dial with its needle above a red
// band carrying the module's name.
QPixmap meterIcon();

// The same picture at side x side pixels, for the desktop's icon sizes.
QImage meterIconImage(int side);
