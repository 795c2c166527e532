#pragma once

#include <QtGlobal>

// The benchmarks run on machines without a display as well: there they use
// Qt's offscreen platform, unless the caller chose one.
inline void offscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
