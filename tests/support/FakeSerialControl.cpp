#include "tests/support/FakeSerialControl.h"

FakeSerialControl::FakeSerialControl(QObject* parent)
    : MemorySerialControl(parent)
{
}

void FakeSerialControl::setLines(bool cts, bool dsr)
{
    m_cts = cts;
    m_dsr = dsr;
    checkLines();
}

void FakeSerialControl::feed(const QByteArray& bytes)
{
    receive(bytes);
}

void FakeSerialControl::unplug()
{
    m_existing.remove(CommPort());
    deviceLost();
}

void FakeSerialControl::clearWritten()
{
    m_written.clear();
    m_writes.clear();
}

QString FakeSerialControl::deviceName(int port) const
{
    return QStringLiteral("fake%1").arg(port);
}

bool FakeSerialControl::openDevice(int port, const LineSettings& settings, PortProblem* why)
{
    if (!m_existing.contains(port)) {
        *why = PortProblem::Missing;
        return false;
    }
    if (m_busy.contains(port)) {
        *why = PortProblem::InUse;
        return false;
    }
    ++m_openCount;
    m_openedPorts.append(port);
    m_applied.append(settings.toString());
    dropReceived();
    return true;
}

void FakeSerialControl::closeDevice()
{
    dropReceived();
    m_dtrOut = m_rtsOut = false;
}

void FakeSerialControl::applyLineSettings(const LineSettings& settings)
{
    m_applied.append(settings.toString());
}

void FakeSerialControl::applyModemLines(bool dtr, bool rts)
{
    m_dtrOut = dtr;
    m_rtsOut = rts;
}

void FakeSerialControl::writeBytes(const QByteArray& bytes)
{
    m_written.append(bytes);
    m_writes.append(bytes);
    outputDrained();
}
