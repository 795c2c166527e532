#include "scope/PortList.h"

#include "front/ModuleLink.h"
#include "link/PortProblem.h"
#include "link/SerialControl.h"

namespace scope {

std::vector<PortEntry> listPorts()
{
    front::ModuleLink link(front::ModuleLink::controlFor(front::LinkOptions{}));
    Module1& m = link.module();
    SerialControl& comm = link.comm();
    m.InitSerialLink();   // the probe ZOLTrc makes at start-up
    const auto held = [](bool on) { return on ? QStringLiteral("held") : QStringLiteral("not held"); };

    std::vector<PortEntry> list;
    for (int n = SerialControl::kMinPort; n <= SerialControl::kMaxPort; ++n) {
        PortEntry e;
        e.port = n;
        e.device = comm.deviceName(n);
        e.opens = m.PortExists[n] == True;
        if (e.opens) {
            // Opened once more to read the handshake lines, which the probe does not.
            (void)comm.setCommPort(n);
            e.opens = comm.setPortOpen(true);
            if (e.opens) {
                e.dsr = comm.DSRHolding();
                e.cts = comm.CTSHolding();
                (void)comm.setPortOpen(false);
            } else {
                m.PortFault[n] = comm.lastOpenProblem();
            }
        }
        e.state = e.opens ? QStringLiteral("opens, DSR %1, CTS %2").arg(held(e.dsr), held(e.cts))
                          : portProblemText(m.PortFault[n]);
        list.push_back(e);
    }
    return list;
}

} // namespace scope
