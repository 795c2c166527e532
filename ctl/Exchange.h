#pragma once

// One exchange of a zoltctl command, made by the acquisition core on the port
// the command opened: a single scan, a read of the digital lines, or an
// output (the digital line read back after it). Each runs the event loop
// until it has an outcome.

#include "link/Acquisition.h"

#include <QObject>

namespace front {
class ModuleLink;
}

namespace zoltctl {

class Exchange : public QObject {
    Q_OBJECT

public:
    struct Outcome {
        bool done = false;
        // When not done: the read whose reply did not come, and why.
        acquisition::Acquisition::Read read = acquisition::Acquisition::Read::Analog;
        acquisition::Acquisition::Failure why = acquisition::Acquisition::Failure::Missed;
    };

    explicit Exchange(front::ModuleLink& link, QObject* parent = nullptr);

    // Channels 0..topChannel, and the lines when digital; the values are then
    // in scan().
    Outcome scan(int topChannel, bool digital);
    // The lines into the shared state (Module1::DigData).
    Outcome readLines();
    // The output line set, then the lines read back into the shared state.
    Outcome setOutputLine(bool high);
    // One analog output set (0..4300 mV); returns once the bytes have left
    // the port, or after the time they need on the line and the reply
    // deadline's margin.
    bool setAnalogOutput(int channel, int millivolts);

    const acquisition::Scan& lastScan() const { return m_scan; }

private:
    Outcome await();

    front::ModuleLink& m_link;
    acquisition::Acquisition m_acquisition;
    acquisition::Scan m_scan;
};

} // namespace zoltctl
