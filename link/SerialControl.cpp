#include "link/SerialControl.h"

#include <QMetaObject>
#include <algorithm>

SerialControl::SerialControl(QObject* parent)
    : QObject(parent)
{
    m_returnWatch.setInterval(kReturnWatchMs);
    m_returnWatch.setTimerType(Qt::PreciseTimer);   // never two looks within kReturnWatchMs
    connect(&m_returnWatch, &QTimer::timeout, this, &SerialControl::lookForReturn);
}

SerialControl::~SerialControl() = default;

bool SerialControl::setCommPort(int port)
{
    if (m_open) {
        m_lastError = QStringLiteral("port already open");
        return false;
    }
    if (port < kMinPort || port > kMaxPort) {
        m_lastError = QStringLiteral("invalid port number");
        return false;
    }
    m_returnWatch.stop();
    m_commPort = port;
    return true;
}

bool SerialControl::setPortOpen(bool open)
{
    m_returnWatch.stop();
    if (open == m_open) {
        if (!open)
            return true;
        m_lastError = QStringLiteral("port already open");
        return false;
    }
    if (!open) {
        closeDevice();
        m_open = false;
        m_pending.clear();
        m_lastCts = m_lastDsr = false;
        return true;
    }
    return openNow();
}

bool SerialControl::openNow()
{
    PortProblem why = PortProblem::CannotOpen;
    if (!openDevice(m_commPort, m_settings, &why)) {
        if (why == PortProblem::None)
            why = PortProblem::CannotOpen;
        m_lastOpenProblem = why;
        m_lastError = portProblemText(why);
        return false;
    }
    m_open = true;
    m_lastOpenProblem = PortProblem::None;
    m_lastError.clear();
    applyHandshake(m_handshake);
    applyModemLines(m_dtr, m_rts);
    m_lastCts = ctsLine();
    m_lastDsr = dsrLine();
    return true;
}

bool SerialControl::setSettings(const QString& settings)
{
    const auto parsed = LineSettings::parse(settings);
    if (!parsed) {
        m_lastError = QStringLiteral("invalid settings");
        return false;
    }
    QString why;
    if (!acceptLineSettings(*parsed, &why)) {
        m_lastError = why.isEmpty() ? QStringLiteral("settings not supported") : why;
        return false;
    }
    m_settings = *parsed;
    m_lastError.clear();
    return true;
}

bool SerialControl::acceptLineSettings(const LineSettings& settings, QString*)
{
    if (m_open)
        applyLineSettings(settings);
    return true;
}

bool SerialControl::devicePresent(int) const
{
    return true;
}

void SerialControl::setHandshaking(Handshake handshake)
{
    m_handshake = handshake;
    if (m_open)
        applyHandshake(handshake);
}

void SerialControl::setRTSEnable(bool on)
{
    m_rts = on;
    if (m_open)
        applyModemLines(m_dtr, m_rts);
}

void SerialControl::setDTREnable(bool on)
{
    m_dtr = on;
    if (m_open)
        applyModemLines(m_dtr, m_rts);
}

void SerialControl::setSThreshold(int bytes) { m_sThreshold = std::max(0, bytes); }
void SerialControl::setRThreshold(int bytes) { m_rThreshold = std::max(0, bytes); }
void SerialControl::setInputLen(int bytes) { m_inputLen = std::max(0, bytes); }
void SerialControl::setInputMode(InputMode mode) { m_inputMode = mode; }

int SerialControl::InBufferCount() const
{
    return m_open ? static_cast<int>(bytesWaiting()) : 0;
}

QByteArray SerialControl::Input()
{
    if (!m_open)
        return {};
    const qint64 waiting = bytesWaiting();
    const qint64 wanted = m_inputLen == 0 ? waiting : std::min<qint64>(m_inputLen, waiting);
    return wanted > 0 ? readWaiting(wanted) : QByteArray();
}

qint64 SerialControl::discardInput()
{
    return m_open ? discardWaiting() : 0;
}

qint64 SerialControl::discardWaiting()
{
    return readWaiting(bytesWaiting()).size();
}

void SerialControl::setOutput(const QByteArray& bytes)
{
    if (m_open && !bytes.isEmpty())
        writeBytes(bytes);
}

bool SerialControl::CTSHolding() const { return m_open && ctsLine(); }
bool SerialControl::DSRHolding() const { return m_open && dsrLine(); }

void SerialControl::bytesArrived(ReportedFrom from)
{
    if (!receiveDue())
        return;
    if (from == ReportedFrom::EventLoop && !m_delivering && m_pending.empty() && !m_deliveryScheduled)
        deliver(kComEvReceive);
    else
        raiseEvent(kComEvReceive);
}

void SerialControl::outputDrained()
{
    if (m_open && m_sThreshold > 0)
        raiseEvent(kComEvSend);
}

void SerialControl::checkLines()
{
    const bool cts = CTSHolding();
    const bool dsr = DSRHolding();
    if (cts != m_lastCts) {
        m_lastCts = cts;
        raiseEvent(kComEvCTS);
    }
    if (dsr != m_lastDsr) {
        m_lastDsr = dsr;
        raiseEvent(kComEvDSR);
    }
}

void SerialControl::deviceLost()
{
    if (!m_open)
        return;
    closeDevice();
    m_open = false;
    m_pending.clear();
    m_lastError = QStringLiteral("device gone");
    // Both line events, so that whoever paints the line lamps sees them drop.
    m_lastCts = m_lastDsr = false;
    raiseEvent(kComEvCTS);
    raiseEvent(kComEvDSR);
    m_returnWatch.start();
    emit portLost();
}

void SerialControl::lookForReturn()
{
    if (m_open || !devicePresent(m_commPort))
        return;
    if (!openNow())
        return;   // there, but not yet usable: look again next time
    m_returnWatch.stop();
    emit portReturned();
}

bool SerialControl::receiveDue() const
{
    return m_open && m_rThreshold > 0 && bytesWaiting() >= m_rThreshold;
}

void SerialControl::raiseEvent(int code)
{
    // One pending receive event covers every byte that arrives before it is delivered.
    if (code == kComEvReceive && std::find(m_pending.begin(), m_pending.end(), code) != m_pending.end())
        return;
    m_pending.push_back(code);
    scheduleDelivery();
}

void SerialControl::scheduleDelivery()
{
    if (m_deliveryScheduled || m_pending.empty())
        return;
    m_deliveryScheduled = true;
    QMetaObject::invokeMethod(this, &SerialControl::deliverNext, Qt::QueuedConnection);
}

void SerialControl::deliverNext()
{
    m_deliveryScheduled = false;
    if (m_delivering || m_pending.empty()) {
        scheduleDelivery();
        return;
    }
    // Every event waiting now, in order, in this one pass of the event loop;
    // those raised meanwhile wait for the next pass, so a handler that causes
    // an event each time cannot hold the loop. Each handler returns before
    // the next event is delivered.
    for (std::size_t due = m_pending.size(); due > 0 && !m_pending.empty(); --due) {
        const int code = m_pending.front();
        m_pending.pop_front();
        // A receive event whose bytes were taken meanwhile would find nothing to read.
        if (code == kComEvReceive && !receiveDue())
            continue;
        deliver(code);
    }
    scheduleDelivery();
}

void SerialControl::deliver(int code)
{
    m_commEvent = code;
    m_delivering = true;
    emit OnComm();
    m_delivering = false;
    m_commEvent = 0;
}
