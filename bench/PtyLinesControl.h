#pragma once

// For the benchmarks only: the QSerialPort control on a pseudo-terminal with
// the simulated module behind it. A pty has no modem lines, so DSR and CTS
// are reported held, as the module's own are; without this the start-up
// would take the port for one without a module.

#include "link/QtSerialControl.h"
#include "sim/SimSerialControl.h"

class PtyLinesControl : public QtSerialControl {
public:
    using QtSerialControl::QtSerialControl;

    // COM2, where the program looks first, is the pseudo-terminal; there is
    // no other port.
    static DeviceMap moduleOn(const QString& device)
    {
        return [device](int port) {
            return port == SimSerialControl::kModulePort ? device : QStringLiteral("/nonexistent/ttyZOLT%1").arg(port);
        };
    }

protected:
    bool ctsLine() const override { return true; }
    bool dsrLine() const override { return true; }
};
