#include "front/ModuleLink.h"

#include "link/BaudOptions.h"
#include "link/PortNames.h"
#include "link/PortProblem.h"
#include "link/SerialControl.h"
#include "sim/SimSerialControl.h"

#include <QFile>
#include <QMap>
#include <QStringList>

namespace front {

namespace {

QString settingsFor(int baud)
{
    const BaudOption* offered = baudOptionForRate(baud);
    return QLatin1String(offered ? offered->settings : kDefaultBaud.settings);
}

} // namespace

QtSerialControl::DeviceMap comPortDevices()
{
    const QByteArray folder = qgetenv("ZOLTCTL_DEVICE_DIR");
    if (folder.isEmpty())
        return deviceForComPort;
    const QString base = QFile::decodeName(folder);
    return [base](int port) {
        if (port < SerialControl::kMinPort || port > SerialControl::kMaxPort)
            return QString();
        return QStringLiteral("%1/COM%2").arg(base).arg(port);
    };
}

std::unique_ptr<SerialControl> ModuleLink::controlFor(const LinkOptions& options)
{
    if (options.simulate) {
        auto sim = std::make_unique<SimSerialControl>(ZoltWire::Timing::Wire);
        // A long run must not keep the line's whole record.
        sim->wire().setRecording(false);
        sim->wire().setExchangeLimit(1000);
        return sim;
    }
    // Only the port asked for can be reached, so the probe touches no other.
    if (!options.device.isEmpty()) {
        const QString path = options.device;
        return std::make_unique<QtSerialControl>([path](int port) { return port == kDevicePort ? path : QString(); });
    }
    QtSerialControl::DeviceMap devices = comPortDevices();
    if (options.port != 0) {
        const int only = options.port;
        return std::make_unique<QtSerialControl>(
            [devices, only](int port) { return port == only ? devices(port) : QString(); });
    }
    return std::make_unique<QtSerialControl>(devices);
}

ModuleLink::ModuleLink(std::unique_ptr<SerialControl> comm)
    : m_comm(std::move(comm))
    , m_module(*m_comm, m_views)
{
}

ModuleLink::~ModuleLink() = default;

QString ModuleLink::portLabel(int port) const
{
    if (m_byDevice)
        return m_comm->deviceName(port);
    const QString name = QStringLiteral("COM%1").arg(port);
    const QString device = m_comm->deviceName(port);
    return device.isEmpty() || device == name ? name : QStringLiteral("%1 (%2)").arg(name, device);
}

std::optional<LinkFailure> ModuleLink::open(const LinkOptions& options)
{
    m_byDevice = !options.device.isEmpty();
    m_baud = options.baud;
    m_module.InitSerialLink();

    int port = m_module.SelPort;
    if (m_byDevice)
        port = kDevicePort;
    else if (options.port != 0)
        port = options.port;

    if (port == 0) {
        // Nothing opened: say how the ports failed, most common reason first.
        QMap<QString, int> reasons;
        for (int n = SerialControl::kMinPort; n <= SerialControl::kMaxPort; ++n)
            reasons[portProblemText(m_module.PortFault[n])] += 1;
        QStringList parts;
        for (auto it = reasons.cbegin(); it != reasons.cend(); ++it)
            parts << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
        return LinkFailure{LinkFailure::Kind::Port,
                           QStringLiteral("no COM port can be opened (%1); 'zoltctl ports' lists them")
                               .arg(parts.join(QLatin1String(", ")))};
    }
    if (m_module.PortExists[port] != True)
        return LinkFailure{LinkFailure::Kind::Port, QStringLiteral("%1: %2").arg(portLabel(port), portProblemText(m_module.PortFault[port]))};

    m_module.SelPort = port;
    (void)m_comm->setCommPort(port);   // the port is closed after the probe
    (void)m_comm->setSettings(settingsFor(m_baud));
    if (!m_comm->setPortOpen(true))
        return LinkFailure{LinkFailure::Kind::Port, QStringLiteral("%1: %2").arg(portLabel(port), m_comm->lastError())};

    if (options.presenceCheck && !(m_comm->DSRHolding() && m_comm->CTSHolding())) {
        const QString lines = QStringLiteral("DSR %1, CTS %2")
                                  .arg(QLatin1String(m_comm->DSRHolding() ? "held" : "not held"),
                                       QLatin1String(m_comm->CTSHolding() ? "held" : "not held"));
        (void)m_comm->setPortOpen(false);
        return LinkFailure{LinkFailure::Kind::NoModule,
                           QStringLiteral("no module on %1: %2 (--no-presence-check skips this check)")
                               .arg(portLabel(port), lines)};
    }
    return std::nullopt;
}

} // namespace front
