#include "sim/PtyModule.h"

#include "link/LineSettings.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

int baudOf(speed_t speed)
{
    switch (speed) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

QString errnoText(const char* what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyModule::PtyModule(ZoltWire::Timing timing, QObject* parent)
    : QObject(parent)
    , m_wire(timing)
{
    connect(&m_wire, &ZoltWire::bytesToHost, this, &PtyModule::writeMaster);
    if (!openPair())
        closePair();
}

PtyModule::~PtyModule()
{
    closePair();
}

bool PtyModule::openPair()
{
    // Not handed down to programs this one starts: a child holding the master
    // would keep the terminal up when the module goes.
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        m_error = errnoText("posix_openpt");
        return false;
    }
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        m_error = errnoText("grantpt/unlockpt");
        return false;
    }
    const char* name = ::ptsname(m_master);
    if (!name) {
        m_error = errnoText("ptsname");
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    m_slaveHold = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slaveHold < 0) {
        m_error = errnoText("open slave");
        return false;
    }
    // Raw from the start: no echo of the commands back to the module, no
    // line-ending translation of the binary replies.
    termios tio{};
    if (::tcgetattr(m_slaveHold, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(m_slaveHold, TCSANOW, &tio);
    }

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyModule::readMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyModule::flushPending);
    followSlaveBaud();
    return true;
}

void PtyModule::closePair()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_slaveHold >= 0)
        ::close(m_slaveHold);
    m_slaveHold = -1;
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void PtyModule::pinBaud(int baud)
{
    m_baudPinned = true;
    LineSettings line;
    line.baud = baud;
    m_wire.setLine(line);
}

void PtyModule::followSlaveBaud()
{
    termios tio{};
    if (m_baudPinned || m_slaveHold < 0 || ::tcgetattr(m_slaveHold, &tio) != 0)
        return;
    const int baud = baudOf(::cfgetospeed(&tio));
    if (baud == 0 || baud == m_slaveBaud)
        return;
    m_slaveBaud = baud;
    LineSettings line;
    line.baud = baud;
    line.dataBits = (tio.c_cflag & CSIZE) == CS7 ? 7 : (tio.c_cflag & CSIZE) == CS6 ? 6 : (tio.c_cflag & CSIZE) == CS5 ? 5 : 8;
    line.parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 'O' : 'E') : 'N';
    line.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    m_wire.setLine(line);
}

void PtyModule::readMaster()
{
    char buffer[256];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            followSlaveBaud();
            m_wire.hostWrite(QByteArray(buffer, static_cast<qsizetype>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: all read. EIO cannot happen while the slave is held open.
        return;
    }
}

void PtyModule::writeMaster(const QByteArray& bytes)
{
    const qint64 dropped = std::min<qint64>(m_dropLeft, bytes.size());
    m_dropLeft -= dropped;
    m_pending.append(bytes.mid(static_cast<qsizetype>(dropped)));
    flushPending();
}

void PtyModule::sendNoise(qint64 bytes)
{
    m_noiseLeft += bytes;
    flushPending();
}

void PtyModule::flushPending()
{
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_master, m_pending.constData(), static_cast<size_t>(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, static_cast<qsizetype>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    // Noise a chunk at a time, each made only once the last one went.
    constexpr qint64 kNoiseChunk = 4096;
    while (m_pending.isEmpty() && m_noiseLeft > 0 && m_master >= 0) {
        QByteArray chunk(static_cast<qsizetype>(std::min(kNoiseChunk, m_noiseLeft)), '\0');
        for (char& byte : chunk) {
            m_noiseState = m_noiseState * 1664525u + 1013904223u;   // any bytes will do
            byte = static_cast<char>(m_noiseState >> 24);
        }
        const ssize_t n = ::write(m_master, chunk.constData(), static_cast<size_t>(chunk.size()));
        if (n > 0) {
            m_noiseLeft -= n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_pending.isEmpty() || m_noiseLeft > 0);
}
