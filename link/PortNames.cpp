#include "link/PortNames.h"

namespace {
constexpr int kFirstPort = 1;
constexpr int kLastPort = 16;
constexpr int kOnboardPorts = 8;   // COM1..COM8 on the machine's own UARTs
} // namespace

QString deviceForComPort(int port)
{
    if (port < kFirstPort || port > kLastPort)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    if (port <= kOnboardPorts)
        return QStringLiteral("/dev/ttyS%1").arg(port - 1);
    return QStringLiteral("/dev/ttyUSB%1").arg(port - kOnboardPorts - 1);
#endif
}
