#include "sim/SimSerialControl.h"

SimSerialControl::SimSerialControl(ZoltWire::Timing timing, QObject* parent)
    : MemorySerialControl(parent)
    , m_wire(timing)
{
    connect(&m_wire, &ZoltWire::bytesToHost, this, &SimSerialControl::onBytes);
    connect(&m_wire, &ZoltWire::hostLineIdle, this, [this] {
        if (PortOpen())
            outputDrained();
    });
}

QString SimSerialControl::deviceName(int port) const
{
    return port == kModulePort ? QStringLiteral("simulated 232ZOLT on COM%1").arg(port)
                              : QStringLiteral("COM%1").arg(port);
}

bool SimSerialControl::openDevice(int port, const LineSettings& settings, PortProblem* why)
{
    if (port != kModulePort) {
        *why = PortProblem::Missing;
        return false;
    }
    m_wire.dropInFlight();
    m_wire.setLine(settings);
    dropReceived();
    return true;
}

void SimSerialControl::closeDevice()
{
    m_wire.dropInFlight();
    dropReceived();
}

void SimSerialControl::applyLineSettings(const LineSettings& settings)
{
    m_wire.setLine(settings);
}

void SimSerialControl::writeBytes(const QByteArray& bytes)
{
    if (m_connected) {
        m_wire.hostWrite(bytes);
    } else {
        // Nobody on the line: the bytes go out and nothing comes back.
        outputDrained();
    }
}

void SimSerialControl::onBytes(const QByteArray& bytes)
{
    if (m_connected)
        receive(bytes);
}

void SimSerialControl::setModuleConnected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    if (!connected)
        m_wire.dropInFlight();
    checkLines();
}
