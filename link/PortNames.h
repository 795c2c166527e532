#pragma once

#include <QString>

// The device that COM n stands for, n = 1..16. On Windows "COMn"; on Linux
// COM1..COM8 are /dev/ttyS0..7 and COM9..COM16 are /dev/ttyUSB0..7, so that a
// USB-to-RS-232 adapter is found. Empty for other numbers.
QString deviceForComPort(int port);
