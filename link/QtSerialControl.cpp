#include "link/QtSerialControl.h"

#include <QFile>
#include <QMetaObject>
#include <QSerialPortInfo>
#include <utility>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace {


QSerialPort::Parity parityOf(char letter)
{
    switch (letter) {
    case 'E': return QSerialPort::EvenParity;
    case 'O': return QSerialPort::OddParity;
    case 'M': return QSerialPort::MarkParity;
    case 'S': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
    }
}

QSerialPort::FlowControl flowOf(SerialControl::Handshake handshake)
{
    switch (handshake) {
    case SerialControl::Handshake::XonXoff: return QSerialPort::SoftwareControl;
    // Qt offers one flow control at a time; RTS/CTS is the one that protects the line.
    case SerialControl::Handshake::RtsCts:
    case SerialControl::Handshake::RtsCtsXonXoff: return QSerialPort::HardwareControl;
    case SerialControl::Handshake::None: break;
    }
    return QSerialPort::NoFlowControl;
}

} // namespace

QtSerialControl::QtSerialControl(DeviceMap devices, QObject* parent)
    : SerialControl(parent)
    , m_devices(std::move(devices))
    , m_port(new QSerialPort(this))
{
    m_port->setReadBufferSize(kReadBufferBytes);
    m_linePoll.setInterval(kLinePollMs);
    connect(&m_linePoll, &QTimer::timeout, this, &QtSerialControl::pollLines);
    connect(m_port, &QSerialPort::readyRead, this, &QtSerialControl::onReadyRead);
    connect(m_port, &QSerialPort::bytesWritten, this, &QtSerialControl::onBytesWritten);
    connect(m_port, &QSerialPort::errorOccurred, this, &QtSerialControl::onError);
}

QtSerialControl::~QtSerialControl()
{
    if (m_port->isOpen())
        closeDevice();
}

QString QtSerialControl::deviceName(int port) const
{
    return m_devices ? m_devices(port) : QString();
}

bool QtSerialControl::openDevice(int port, const LineSettings& settings, PortProblem* why)
{
    const QString device = deviceName(port);
    if (device.isEmpty()) {
        *why = PortProblem::Missing;
        return false;
    }
#ifdef Q_OS_UNIX
    // Qt reports a lock held by another program and a denied open alike, as a
    // permission error; asking first tells the two apart.
    const QByteArray path = QFile::encodeName(device);
    if (::access(path.constData(), F_OK) != 0) {
        *why = PortProblem::Missing;
        return false;
    }
    if (::access(path.constData(), R_OK | W_OK) != 0) {
        *why = PortProblem::PermissionDenied;
        return false;
    }
#endif
    m_port->setPortName(device);
    (void)configure(settings);   // stored only while closed; open applies it
    // Qt opens exclusively: a lock file beside other programs' locks, and TIOCEXCL.
    if (!m_port->open(QIODevice::ReadWrite)) {
        switch (m_port->error()) {
        case QSerialPort::DeviceNotFoundError:
        case QSerialPort::ResourceError:  // a device node with no hardware behind it
            *why = PortProblem::Missing;
            break;
        case QSerialPort::PermissionError:
            *why = PortProblem::InUse;
            break;
        default:
            *why = PortProblem::CannotOpen;
            break;
        }
        m_port->clearError();
        return false;
    }
    m_applied = settings;
    ++m_openSerial;
    m_lossReported = false;
    requestLowLatency();
    m_linePoll.start();
    return true;
}

void QtSerialControl::closeDevice()
{
    m_linePoll.stop();
    if (m_port->isOpen()) {
        // Let what the program wrote last leave before the port is given up.
        if (!m_lossReported)
            m_port->flush();
        m_port->close();
    }
    m_port->clearError();
}

bool QtSerialControl::configure(const LineSettings& settings, QString* why)
{
    const bool ok = m_port->setBaudRate(settings.baud);
    if (!ok && why)
        *why = m_port->errorString();
    m_port->clearError();
    // A device with a fixed frame (a pseudo-terminal: 8 bits, no parity)
    // refuses the others; the frame is then the device's, as on the wire.
    m_port->setParity(parityOf(settings.parity));
    m_port->setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
    m_port->setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    m_port->clearError();
    return ok;
}

void QtSerialControl::applyLineSettings(const LineSettings& settings)
{
    if (configure(settings))
        m_applied = settings;
}

bool QtSerialControl::acceptLineSettings(const LineSettings& settings, QString* why)
{
    // Other rates would be approximated by the adapter's divisor, or refused
    // only once the port opens.
    if (!QSerialPortInfo::standardBaudRates().contains(settings.baud)) {
        *why = QStringLiteral("baud rate %1 not supported").arg(settings.baud);
        return false;
    }
    if (!PortOpen())
        return true;
    QString reason;
    if (!configure(settings, &reason)) {
        (void)configure(m_applied);   // back to what ran before
        *why = QStringLiteral("settings %1 not taken by the port: %2").arg(settings.toString(), reason);
        return false;
    }
    m_applied = settings;
    return true;
}

void QtSerialControl::applyHandshake(Handshake handshake)
{
    m_port->setFlowControl(flowOf(handshake));
    m_port->clearError();
}

void QtSerialControl::applyModemLines(bool dtr, bool rts)
{
    // Set both explicitly: Windows leaves RTS low on open otherwise. A device
    // without modem lines (a pseudo-terminal) refuses, which is harmless.
    m_port->setDataTerminalReady(dtr);
    m_port->setRequestToSend(rts);
    m_port->clearError();
}

void QtSerialControl::requestLowLatency()
{
#ifdef Q_OS_LINUX
    // USB adapters otherwise hold received bytes for up to 16 ms. Devices that
    // do not know the request refuse it; nothing depends on it.
    const int fd = static_cast<int>(m_port->handle());
    serial_struct serial {};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &serial);
    }
#endif
}

bool QtSerialControl::devicePresent(int port) const
{
    const QString device = deviceName(port);
    if (device.isEmpty())
        return false;
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(device).constData(), F_OK) == 0;
#else
    return true;   // an open attempt is the only test there is
#endif
}

void QtSerialControl::onReadyRead()
{
    // A full buffer means nobody reads: the line is noise, throw it away.
    if (m_port->bytesAvailable() >= kReadBufferBytes)
        (void)discardWaiting();
    const qint64 waiting = m_port->bytesAvailable();
    const qint64 taken = m_taken;
    bytesArrived(ReportedFrom::EventLoop);   // Qt reports reads from its notifier only
    // While its report runs Qt reports no further read, and a handler may let
    // the event loop run: bytes that came meanwhile are reported here.
    if (m_port->isOpen() && m_port->bytesAvailable() + (m_taken - taken) > waiting)
        bytesArrived();
}

qint64 QtSerialControl::heldByDevice() const
{
#ifdef Q_OS_UNIX
    int held = 0;
    if (::ioctl(static_cast<int>(m_port->handle()), FIONREAD, &held) == 0)
        return held;
#endif
    return 0;
}

qint64 QtSerialControl::discardWaiting()
{
    const qint64 dropped = m_port->bytesAvailable() + heldByDevice();
    // Asked before every command: a quiet line, the usual case, needs no
    // flush (a byte arriving meanwhile could as well arrive just after it).
    if (dropped == 0)
        return 0;
    m_taken += m_port->bytesAvailable();
    // The driver's bytes too; otherwise Qt would read them in again at once.
    m_port->clear(QSerialPort::Input);
    m_port->clearError();
    resumeReading();
    return dropped;
}

void QtSerialControl::resumeReading()
{
    // Qt stops reading from the device while its buffer is full and starts
    // again only when the program reads; a read of the now empty buffer does that.
    (void)m_port->readAll();
}

qint64 QtSerialControl::bytesWaiting() const
{
    return m_port->bytesAvailable();
}

QByteArray QtSerialControl::readWaiting(qint64 maxBytes)
{
    QByteArray bytes = m_port->read(maxBytes);
    m_taken += bytes.size();
    return bytes;
}

void QtSerialControl::writeBytes(const QByteArray& bytes)
{
    m_port->write(bytes);
    // Out now rather than on the event loop's next pass: a read request is
    // what the module waits for.
    m_port->flush();
}

void QtSerialControl::onBytesWritten()
{
    if (m_port->bytesToWrite() < SThreshold())
        outputDrained();
}

bool QtSerialControl::pinHigh(QSerialPort::PinoutSignal signal) const
{
    if (!m_port->isOpen())
        return false;
    // A device without modem lines reports none, and an error that is dropped here.
    const bool high = m_port->pinoutSignals().testFlag(signal);
    m_port->clearError();
    return high;
}

bool QtSerialControl::ctsLine() const
{
    return pinHigh(QSerialPort::ClearToSendSignal);
}

bool QtSerialControl::dsrLine() const
{
    return pinHigh(QSerialPort::DataSetReadySignal);
}

void QtSerialControl::pollLines()
{
    if (!m_lossReported)
        checkLines();
}

void QtSerialControl::onError(QSerialPort::SerialPortError error)
{
    if (!m_port->isOpen() || m_lossReported)
        return;
    switch (error) {
    case QSerialPort::ResourceError:
#ifdef Q_OS_UNIX
        // Qt calls a read that finds nothing a resource error too ("Resource
        // temporarily unavailable": the input was discarded, by the stray
        // bytes rule, between the device's report and Qt's read) and stops
        // reading. The device is still there, not hung up: read on.
        if (!hungUp()) {
            resumeReadingLater();
            break;
        }
#endif
        reportLost();
        break;
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
#ifdef Q_OS_WIN
        // Windows fails the next write to a device that went away (an adapter
        // unplugged, the far end of a virtual port closed) and says no more;
        // nothing there makes a failed write pass later.
        reportLost();
#else
        // On Linux a device that went away is hung up: reads return nothing and
        // Qt calls that a read error, again and again. Only a hang-up is a loss.
        if (hungUp())
            reportLost();
#endif
        break;
    default:
        break;
    }
}

bool QtSerialControl::hungUp() const
{
#ifdef Q_OS_UNIX
    pollfd entry {};
    entry.fd = static_cast<int>(m_port->handle());
    entry.events = POLLIN;
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

void QtSerialControl::resumeReadingLater()
{
    // Not inside Qt's report of the failed read: its buffer is not settled yet.
    const quint64 serial = m_openSerial;
    QMetaObject::invokeMethod(this, [this, serial] {
        if (serial != m_openSerial || !m_port->isOpen())
            return;
        m_port->clearError();
        // Reading again needs a read that finds Qt's buffer empty; with bytes
        // in it, the program's read that empties it does the same.
        if (m_port->bytesAvailable() == 0)
            resumeReading();
    }, Qt::QueuedConnection);
}

void QtSerialControl::reportLost()
{
    m_lossReported = true;
    // Closed from the event loop, outside the port's own notification.
    const quint64 serial = m_openSerial;
    QMetaObject::invokeMethod(this, [this, serial] {
        if (serial == m_openSerial)
            deviceLost();  // does nothing once the program has closed the port
    }, Qt::QueuedConnection);
}
