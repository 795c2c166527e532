#pragma once

// The COM ports as zoltctl's "ports" lists them: each one's device and
// whether it opens (with its handshake lines) or why it does not.

#include <QString>
#include <vector>

namespace scope {

struct PortEntry {
    int port = 0;            // 1..16
    QString device;
    bool opens = false;
    bool dsr = false;
    bool cts = false;
    QString state;           // "opens, DSR held, CTS held", "missing", "in use" ...
};

std::vector<PortEntry> listPorts();

} // namespace scope
