// The QSerialPort-backed control on a real pseudo-terminal pair: the control
// opens the terminal side, the test plays the module on the other (master) side.
// Nothing here opens the machine's own serial ports.

#include "link/BaudOptions.h"
#include "link/PortNames.h"
#include "link/QtSerialControl.h"
#include "tests/support/ProcessFigures.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

constexpr int kPort = 3;
constexpr int kQuietMs = 150;  // long enough for an event that should not come


// Every OnComm with the code it carried and how deeply handlers nested.
struct EventLog {
    QList<int> codes;
    int depth = 0;
    int maxDepth = 0;
    std::function<void()> during;

    explicit EventLog(SerialControl& control)
    {
        m_connection = QObject::connect(&control, &SerialControl::OnComm, &control, [this, &control] {
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            codes.append(control.CommEvent());
            if (during)
                during();
            --depth;
        });
    }
    ~EventLog() { QObject::disconnect(m_connection); }
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;
    int count(int code) const { return int(codes.count(code)); }

private:
    QMetaObject::Connection m_connection;
};

// Configured as the program configures its port at start-up.
void configureLikeProgram(SerialControl& control, int port = kPort)
{
    QVERIFY(control.setCommPort(port));
    control.setRTSEnable(true);
    control.setDTREnable(true);
    control.setSThreshold(1);
    control.setRThreshold(1);
    control.setInputLen(0);
    QVERIFY(control.setSettings(QString::fromLatin1(kDefaultBaud.settings)));
    control.setHandshaking(SerialControl::Handshake::None);
    control.setInputMode(SerialControl::InputMode::Binary);
}

QByteArray allByteValues()
{
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(char(value));
    return bytes;
}

// The processor time the test spends while its event loop runs idle for a
// while; it sleeps between events, unlike qWait's time slices.
std::chrono::milliseconds idleFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    const auto before = cpuTime();
    loop.exec();
    return cpuTime() - before;
}

// Counts the looks for a lost device; the looking is the real one.
class CountingControl : public QtSerialControl {
public:
    using QtSerialControl::QtSerialControl;
    mutable int looks = 0;

protected:
    bool devicePresent(int port) const override
    {
        ++looks;
        return QtSerialControl::devicePresent(port);
    }
};

// A control whose handshake lines the test sets; the polling is the real one.
class ScriptedLinesControl : public QtSerialControl {
public:
    using QtSerialControl::QtSerialControl;
    bool cts = false;
    bool dsr = false;

protected:
    bool ctsLine() const override { return PortOpen() && cts; }
    bool dsrLine() const override { return PortOpen() && dsr; }
};

// A pseudo-terminal pair with a control on its slave as COM2, configured as
// the program configures its port, not yet open.
template <typename Control = QtSerialControl>
struct PtyLink {
    PtyPair pty;
    Control control{[slave = pty.slave()](int port) { return port == kPort ? slave : QString(); }};
    PtyLink() { configureLikeProgram(control); }
};

} // namespace

class TestQtSerialControl : public QObject {
    Q_OBJECT

private:
    QHash<int, QString> m_devices;
    QtSerialControl::DeviceMap devices()
    {
        return [this](int port) { return m_devices.value(port); };
    }

private slots:
    void init() { m_devices.clear(); }

    void comPortsNameTheirDevices()
    {
        QtSerialControl control;  // the program's own map; never opened here
        for (int port = 0; port <= 17; ++port)
            QCOMPARE(control.deviceName(port), deviceForComPort(port));
    }

    void opensRawWithTheLineSettings()
    {
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        QVERIFY(link.control.setPortOpen(true));
        QVERIFY(link.control.PortOpen());
        QVERIFY(link.control.lastError().isEmpty());
        QVERIFY(!link.control.setCommPort(5));  // only while closed
        QCOMPARE(link.control.CommPort(), kPort);

        const termios tio = link.pty.lineSettings();
        QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
        QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(tio.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), tcflag_t(0));

        QVERIFY(link.control.setPortOpen(false));
        QVERIFY(!link.control.PortOpen());
        QVERIFY(link.control.setCommPort(5));
    }

    void settingsChangedWhileOpenReachTheDevice()
    {
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        QVERIFY(link.control.setPortOpen(true));

        // A pseudo-terminal keeps 8 data bits without parity whatever it is
        // asked; baud rate and stop bits are what it shows of the settings.
        QVERIFY(link.control.setSettings(QStringLiteral("2400,e,7,2")));
        QCOMPARE(link.control.Settings(), QStringLiteral("2400,E,7,2"));
        termios tio = link.pty.lineSettings();
        QCOMPARE(cfgetospeed(&tio), speed_t(B2400));
        QCOMPARE(tio.c_cflag & CSTOPB, tcflag_t(CSTOPB));

        QVERIFY(!link.control.setSettings(QStringLiteral("fast,N,8,1")));
        QCOMPARE(link.control.Settings(), QStringLiteral("2400,E,7,2"));
        tio = link.pty.lineSettings();
        QCOMPARE(cfgetospeed(&tio), speed_t(B2400));
        QCOMPARE(tio.c_cflag & CSTOPB, tcflag_t(CSTOPB));

        QVERIFY(link.control.setSettings(QStringLiteral("4800,N,8,1")));
        tio = link.pty.lineSettings();
        QCOMPARE(cfgetospeed(&tio), speed_t(B4800));
        QCOMPARE(tio.c_cflag & CSTOPB, tcflag_t(0));
        QVERIFY(link.control.PortOpen());
    }

    void everyByteValueReachesTheDevice()
    {
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        QVERIFY(link.control.setPortOpen(true));

        link.control.setOutput(allByteValues());
        QCOMPARE(link.pty.read(256), allByteValues());
        // Byte by byte, in order, as commands are written.
        link.control.setOutput(QByteArray("!0RA\x03", 5));
        link.control.setOutput(QByteArray("!0SO\x00", 5));
        QCOMPARE(link.pty.read(10), QByteArray("!0RA\x03!0SO\x00", 10));
        // A command is on the line when setOutput returns, not on the event
        // loop's next pass: the module answers that much sooner.
        link.control.setOutput(QByteArray("!0RD"));
        QCOMPARE(link.pty.readWaiting(), QByteArray("!0RD"));
    }

    void everyByteValueComesFromTheDevice()
    {
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        QVERIFY(link.control.setPortOpen(true));
        EventLog log(link.control);
        QByteArray received;
        log.during = [&] {
            if (link.control.CommEvent() == SerialControl::kComEvReceive)
                received += link.control.Input();
        };

        link.pty.write(allByteValues());
        QTRY_COMPARE(received.size(), 256);
        QCOMPARE(received, allByteValues());
        QCOMPARE(link.control.InBufferCount(), 0);
    }

    void inputTakesAtMostInputLen()
    {
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        QVERIFY(link.control.setPortOpen(true));

        link.pty.write(QByteArray("\x0A\xFF\x01\x02\x7F", 5));
        QTRY_COMPARE(link.control.InBufferCount(), 5);
        link.control.setInputLen(2);
        QCOMPARE(link.control.Input(), QByteArray("\x0A\xFF", 2));
        QCOMPARE(link.control.InBufferCount(), 3);
        QCOMPARE(link.control.Input(), QByteArray("\x01\x02", 2));
        QCOMPARE(link.control.Input(), QByteArray("\x7F", 1));
        QCOMPARE(link.control.Input(), QByteArray());
    }

    void receiveEventOnlyAtTheThreshold()
    {
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        link.control.setRThreshold(2);
        QVERIFY(link.control.setPortOpen(true));
        EventLog log(link.control);
        int waitingAtEvent = -1;
        log.during = [&] { waitingAtEvent = link.control.InBufferCount(); };

        link.pty.write(QByteArray("\x12", 1));
        QTRY_COMPARE(link.control.InBufferCount(), 1);
        QVERIFY(testwait::holdsFor([&] { return log.count(SerialControl::kComEvReceive) == 0; }, kQuietMs));

        link.pty.write(QByteArray("\x34", 1));
        QTRY_COMPARE(log.count(SerialControl::kComEvReceive), 1);
        QCOMPARE(waitingAtEvent, 2);
        QCOMPARE(link.control.CommEvent(), 0);  // holds the code only while OnComm runs
        QCOMPARE(link.control.Input(), QByteArray("\x12\x34", 2));

        // With a threshold of 0 no receive event is raised at all.
        link.control.setRThreshold(0);
        link.pty.write(QByteArray("\x56\x78\x9A", 3));
        QTRY_COMPARE(link.control.InBufferCount(), 3);
        QVERIFY(testwait::holdsFor([&] { return log.count(SerialControl::kComEvReceive) == 1; }, kQuietMs));
    }

    // The reply's handler sends the next command, so it runs in the pass of
    // the event loop that read the reply rather than one pass later.
    void receiveEventInThePassThatReadTheBytes()
    {
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        QVERIFY(link.control.setPortOpen(true));
        EventLog log(link.control);
        QByteArray received;
        QTimer guard;   // wakes a pass that would otherwise wait for ever
        guard.start(100);

        link.pty.write(QByteArray("\x12", 1));
        QDeadlineTimer deadline(2000);
        while (link.control.InBufferCount() == 0 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);   // one pass
        QCOMPARE(link.control.InBufferCount(), 1);
        QCOMPARE(log.count(SerialControl::kComEvReceive), 1);

        // Such a handler runs inside Qt's own report of the read; closing the
        // port there (a run that reached its count) leaves it usable.
        log.during = [&] { QVERIFY(link.control.setPortOpen(false)); };
        link.pty.write(QByteArray("\x34", 1));
        QTRY_VERIFY(!link.control.PortOpen());
        QVERIFY(link.control.setPortOpen(true));
        log.during = [&] { received = link.control.Input(); };
        link.pty.write(QByteArray("\x56", 1));
        QTRY_COMPARE(received, QByteArray("\x56", 1));
    }

    void handlerIsNeverReentered()
    {
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        link.control.setSThreshold(0);
        QVERIFY(link.control.setPortOpen(true));
        EventLog log(link.control);
        int handled = 0;
        log.during = [&] {
            link.control.Input();
            if (++handled > 1)
                return;
            // A request made inside the handler, its reply, and events let run
            // meanwhile (as the analog output window's tracking tick does).
            link.control.setOutput(QByteArray("!0RD"));
            link.pty.write(QByteArray("\x05", 1));
            QVERIFY(testwait::until([&] { return link.control.InBufferCount() > 0; }, 1000));
        };

        link.pty.write(QByteArray("\x01", 1));
        QTRY_COMPARE(handled, 2);
        QCOMPARE(log.maxDepth, 1);
        QCOMPARE(link.pty.read(4), QByteArray("!0RD"));
    }

    void sendEventAfterTheOutputDrains()
    {
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        QVERIFY(link.control.setPortOpen(true));
        EventLog log(link.control);

        link.control.setOutput(QByteArray("!0RD"));
        QCOMPARE(log.codes.size(), 0);  // never from inside the call
        QTRY_COMPARE(log.count(SerialControl::kComEvSend), 1);
        QCOMPARE(link.pty.read(4), QByteArray("!0RD"));

        link.control.setSThreshold(0);
        link.control.setOutput(QByteArray("!0RD"));
        QCOMPARE(link.pty.read(4), QByteArray("!0RD"));
        QVERIFY(testwait::holdsFor([&] { return log.count(SerialControl::kComEvSend) == 1; }, kQuietMs));
    }

    void missingDeviceIsRefused()
    {
        m_devices[kPort] = QStringLiteral("/dev/zolt-test-no-such-tty");
        QtSerialControl control(devices());
        configureLikeProgram(control);
        QVERIFY(!control.setPortOpen(true));
        QVERIFY(!control.PortOpen());
        QCOMPARE(control.lastError(), QStringLiteral("missing"));

        QVERIFY(control.setCommPort(4));  // a number with no device at all
        QVERIFY(!control.setPortOpen(true));
        QCOMPARE(control.lastError(), QStringLiteral("missing"));
        QVERIFY(!control.CTSHolding());
        QVERIFY(!control.DSRHolding());
        QCOMPARE(control.InBufferCount(), 0);
    }

    void secondOpenOfTheSameDeviceIsRefused()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        m_devices[kPort] = pty.slave();
        QtSerialControl first(devices());
        QtSerialControl second(devices());
        configureLikeProgram(first);
        configureLikeProgram(second);

        QVERIFY(first.setPortOpen(true));
        QVERIFY(!second.setPortOpen(true));
        QVERIFY(!second.PortOpen());
        QCOMPARE(second.lastError(), QStringLiteral("in use"));
        QVERIFY(!first.setPortOpen(true));  // already open

        QVERIFY(first.setPortOpen(false));
        QVERIFY(second.setPortOpen(true));
        second.setOutput(QByteArray("!0RD"));
        QCOMPARE(pty.read(4), QByteArray("!0RD"));
    }

    void linesOfADeviceWithoutThemReadFalse()
    {
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        QVERIFY(!link.control.CTSHolding());  // closed
        QVERIFY(!link.control.DSRHolding());
        QVERIFY(link.control.setPortOpen(true));
        EventLog log(link.control);

        // A pseudo-terminal has no modem lines: false, and the port stays usable.
        QVERIFY(!link.control.CTSHolding());
        QVERIFY(!link.control.DSRHolding());
        QVERIFY(testwait::holdsFor([&] { return link.control.PortOpen() && log.codes.isEmpty(); },
                                   3 * QtSerialControl::kLinePollMs));
        link.control.setOutput(QByteArray("!0RD"));
        QCOMPARE(link.pty.read(4), QByteArray("!0RD"));
    }

    void lineChangesAreEventsWhileOpen()
    {
        PtyLink<ScriptedLinesControl> link;
        QVERIFY(link.pty.ok());
        auto& control = link.control;
        QVERIFY(control.setPortOpen(true));
        EventLog log(control);
        bool ctsInHandler = false;
        log.during = [&] { ctsInHandler = control.CTSHolding(); };

        control.cts = true;
        QTRY_COMPARE(log.count(SerialControl::kComEvCTS), 1);
        QVERIFY(ctsInHandler);
        control.dsr = true;
        QTRY_COMPARE(log.count(SerialControl::kComEvDSR), 1);
        QVERIFY(control.DSRHolding());
        control.cts = false;
        control.dsr = false;
        QTRY_COMPARE(log.codes.size(), 4);
        QCOMPARE(log.codes.mid(2), (QList<int> {SerialControl::kComEvCTS, SerialControl::kComEvDSR}));
        // One event a change.
        QVERIFY(testwait::holdsFor([&] { return log.codes.size() == 4; }, 3 * QtSerialControl::kLinePollMs));

        QVERIFY(control.setPortOpen(false));
        control.cts = true;
        // Not polled while closed.
        QVERIFY(testwait::holdsFor([&] { return log.codes.size() == 4; }, 3 * QtSerialControl::kLinePollMs));
    }

    void closedPortSendsNothing()
    {
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        EventLog log(link.control);

        link.control.setOutput(QByteArray("!0RD"));  // never opened
        QVERIFY(link.control.setPortOpen(true));
        QVERIFY(link.control.setPortOpen(false));
        link.control.setOutput(QByteArray("!0SO\x01", 5));  // opened and closed again
        QCOMPARE(link.control.Input(), QByteArray());

        QVERIFY(link.control.setPortOpen(true));
        QCOMPARE(link.pty.read(1, kQuietMs), QByteArray());
        QVERIFY(testwait::holdsFor([&] { return log.codes.isEmpty(); }, kQuietMs));
    }

    void otherEndClosingClosesThePort()
    {
        // The port's name is a link of the test's own: a pseudo-terminal's
        // own name, freed, may be taken at once by another program's, and
        // the control rightly opens a device that returns under its name.
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("ttyZOLT"));
        auto pty = std::make_unique<PtyPair>();
        QVERIFY(pty->ok());
        QVERIFY(QFile::link(pty->slave(), name));
        m_devices[kPort] = name;
        QtSerialControl control(devices());
        configureLikeProgram(control);
        QVERIFY(control.setPortOpen(true));
        EventLog log(control);

        pty->closeMaster();  // as an adapter pulled out
        QVERIFY(QFile::remove(name));
        QTRY_VERIFY(!control.PortOpen());
        QCOMPARE(control.lastError(), QStringLiteral("device gone"));
        QTRY_COMPARE(log.count(SerialControl::kComEvCTS), 1);
        QTRY_COMPARE(log.count(SerialControl::kComEvDSR), 1);
        QVERIFY(!control.CTSHolding());
        QVERIFY(!control.DSRHolding());

        // No busy loop once the loss is handled.
        QVERIFY2(idleFor(1000) <= std::chrono::milliseconds(50), "the event loop kept spinning");
        control.setOutput(QByteArray("!0RD"));  // closed: nothing, no crash

        // The port can be opened again once a device is back.
        pty = std::make_unique<PtyPair>();
        QVERIFY(pty->ok());
        QVERIFY(QFile::link(pty->slave(), name));
        QVERIFY2(control.setPortOpen(true), qPrintable(control.lastError()));
        control.setOutput(QByteArray("!0RD"));
        QCOMPARE(pty->read(4), QByteArray("!0RD"));
        pty->write(QByteArray("\x2A", 1));
        QTRY_COMPARE(control.InBufferCount(), 1);
        QCOMPARE(control.Input(), QByteArray("\x2A", 1));
    }

    void floodKeepsLittleWaitingAndNoMemory()
    {
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        link.control.setRThreshold(2);
        QVERIFY(link.control.setPortOpen(true));
        qint64 mostWaiting = 0;
        // Noise the program never reads; the test writes as fast as the
        // terminal takes it, letting the control run whenever it is full.
        const QByteArray chunk(64 * 1024, '\x5A');
        const auto flood = [&](qint64 total) {
            qint64 sent = 0;
            QDeadlineTimer deadline(120'000);
            while (sent < total && !deadline.hasExpired()) {
                const ssize_t n = ::write(link.pty.master(), chunk.constData(), size_t(std::min<qint64>(chunk.size(), total - sent)));
                if (n > 0)
                    sent += n;
                else
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                mostWaiting = std::max<qint64>(mostWaiting, link.control.InBufferCount());
            }
            return sent;
        };
        QCOMPARE(flood(256 * 1024), 256 * 1024);   // the buffers' first use is not the flood's doing
        const long before = residentKiB();
        QCOMPARE(flood(10 * 1024 * 1024), 10 * 1024 * 1024);
        QTest::qWait(kQuietMs);
        const long after = residentKiB();
        if (kResidentMemoryIsTheProgramsOwn)
            QVERIFY2(after - before < 1024, qPrintable(QStringLiteral("%1 KiB more resident").arg(after - before)));
        else
            qInfo("resident memory not checked under AddressSanitizer (%ld KiB more)", after - before);
        QVERIFY2(mostWaiting <= QtSerialControl::kReadBufferBytes, qPrintable(QString::number(mostWaiting)));
        QVERIFY(link.control.InBufferCount() <= QtSerialControl::kReadBufferBytes);

        // Once the noise stops and what is left is dropped, replies come clean.
        QVERIFY(link.control.discardInput() <= QtSerialControl::kReadBufferBytes);
        QCOMPARE(link.control.InBufferCount(), 0);
        link.pty.write(QByteArray("\x01\x23", 2));
        QTRY_COMPARE(link.control.InBufferCount(), 2);
        QCOMPARE(link.control.Input(), QByteArray("\x01\x23", 2));
        QVERIFY(link.control.PortOpen());
    }

    void lostDeviceReturnsUnderItsName()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString name = dir.filePath(QStringLiteral("ttyZOLT"));
        auto pty = std::make_unique<PtyPair>();
        QVERIFY(pty->ok());
        QVERIFY(QFile::link(pty->slave(), name));
        m_devices[kPort] = name;
        CountingControl control(devices());
        configureLikeProgram(control);
        QVERIFY(control.setSettings(QStringLiteral("2400,N,8,1")));
        QVERIFY(control.setPortOpen(true));
        QSignalSpy lost(&control, &SerialControl::portLost);
        QSignalSpy back(&control, &SerialControl::portReturned);

        pty.reset();   // the adapter pulled out: its device goes
        QVERIFY(QFile::remove(name));
        QTRY_COMPARE(lost.size(), 1);
        QVERIFY(!control.PortOpen());
        QVERIFY(control.watchingForReturn());

        // Waiting costs next to nothing: a look every 500 ms, sleeping between.
        const int looksBefore = control.looks;
        const auto cpu = idleFor(2000);
        const int looks = control.looks - looksBefore;
        QVERIFY2(looks >= 1 && looks <= 2000 / SerialControl::kReturnWatchMs + 1, qPrintable(QString::number(looks)));
        QVERIFY2(cpu <= std::chrono::milliseconds(50), "the watch kept the processor busy");
        QCOMPARE(back.size(), 0);

        // The same name appears again, on another terminal.
        pty = std::make_unique<PtyPair>();
        QVERIFY(pty->ok());
        QVERIFY(QFile::link(pty->slave(), name));
        QTRY_COMPARE_WITH_TIMEOUT(back.size(), 1, 5000);
        QVERIFY(control.PortOpen());
        QVERIFY(!control.watchingForReturn());
        QCOMPARE(control.Settings(), QStringLiteral("2400,N,8,1"));
        const termios tio = pty->lineSettings();
        QCOMPARE(cfgetospeed(&tio), speed_t(B2400));
        control.setOutput(QByteArray("!0RD"));
        QCOMPARE(pty->read(4), QByteArray("!0RD"));
        QCOMPARE(lost.size(), 1);
    }

    void closingEndsTheWatch()
    {
        auto pty = std::make_unique<PtyPair>();
        QVERIFY(pty->ok());
        m_devices[kPort] = pty->slave();
        CountingControl control(devices());
        configureLikeProgram(control);
        QVERIFY(control.setPortOpen(true));
        pty->closeMaster();
        QTRY_VERIFY(control.watchingForReturn());
        QVERIFY(control.setPortOpen(false));   // the program gives up on it
        QVERIFY(!control.watchingForReturn());
        const int looks = control.looks;
        QVERIFY(testwait::holdsFor([&] { return control.looks == looks; }, 2 * SerialControl::kReturnWatchMs + 100));
    }

    void oddBaudRatesAreRefused_data()
    {
        QTest::addColumn<bool>("open");
        QTest::newRow("closed") << false;
        QTest::newRow("open") << true;
    }
    void oddBaudRatesAreRefused()
    {
        QFETCH(bool, open);
        PtyLink<> link;
        QVERIFY(link.pty.ok());
        if (open)
            QVERIFY(link.control.setPortOpen(true));
        QVERIFY(!link.control.setSettings(QStringLiteral("1234,N,8,1")));
        QVERIFY2(link.control.lastError().contains(QStringLiteral("1234")), qPrintable(link.control.lastError()));
        QCOMPARE(link.control.Settings(), QStringLiteral("9600,N,8,1"));
        if (!open)
            QVERIFY(link.control.setPortOpen(true));
        termios tio = link.pty.lineSettings();
        QCOMPARE(cfgetospeed(&tio), speed_t(B9600));

        // A string that is taken clears the error.
        QVERIFY(link.control.setSettings(QStringLiteral("4800,N,8,1")));
        QVERIFY(link.control.lastError().isEmpty());
        tio = link.pty.lineSettings();
        QCOMPARE(cfgetospeed(&tio), speed_t(B4800));
        link.control.setOutput(QByteArray("!0RD"));
        QCOMPARE(link.pty.read(4), QByteArray("!0RD"));
    }
};

QTEST_GUILESS_MAIN(TestQtSerialControl)
#include "tst_qtserialcontrol.moc"
