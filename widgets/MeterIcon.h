#pragma once

#include <QPixmap>

// The About box's 32 x 32 picture: a meter dial with its needle above a red
// band carrying the module's name.
QPixmap meterIcon();
