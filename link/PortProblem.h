#pragma once

#include <QString>

// Why a port could not be opened.
enum class PortProblem {
    None,              // it opened
    Missing,           // no such device
    InUse,             // another program holds it
    PermissionDenied,  // the user may not open it (on Linux: not in dialout)
    CannotOpen,        // any other refusal
};

// The words shown to the user and kept as the control's last error:
// "missing", "in use", "permission denied", "cannot open"; empty for None.
QString portProblemText(PortProblem problem);

// A settings dialog option's tooltip: the device, and why it failed if it did,
// for example "/dev/ttyUSB0 (permission denied)".
QString portTooltip(const QString& device, PortProblem problem);
