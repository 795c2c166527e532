// The simulated module behind a pseudo-terminal, reached through a real tty:
// once with QSerialPort alone and once with the program's QSerialPort control.

#include "link/QtSerialControl.h"
#include "sim/PtyModule.h"
#include "tests/support/Wait.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTest>

namespace {

QByteArray readAtLeast(QSerialPort& port, int count, int timeoutMs = 3000)
{
    // The module answers from the event loop, which runs while this waits.
    QByteArray got;
    static_cast<void>(QTest::qWaitFor([&] {
        got.append(port.readAll());
        return got.size() >= count;
    }, timeoutMs));
    return got;
}

} // namespace

class TestPtyModule : public QObject {
    Q_OBJECT

private slots:
    void commandsOverTheTty_data();
    void commandsOverTheTty();
    void pacedByTheTtyBaud();
    void throughTheProgramsControl();
};

void TestPtyModule::commandsOverTheTty_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<int>("replyBytes");
    QTest::newRow("read 6 in one write") << QList<QByteArray>{QByteArray("!0RA\x06", 5)} << 14;
    QTest::newRow("read 6 split") << QList<QByteArray>{"!0", "R", QByteArray("A\x06", 2)} << 14;
    QTest::newRow("noise then digital") << QList<QByteArray>{QByteArray("\r\n\x00!!", 5), "0RD"} << 1;
    // Line-ending and flow-control bytes in a command must reach the module
    // untouched: H = 0x0A is output 0 at code 80, H = 0x11 output 0 at code 137.
    QTest::newRow("control bytes in commands")
        << QList<QByteArray>{QByteArray("!0SV\x0A\x00", 6), QByteArray("!0SV\x11\x10!0RA\x03", 11)} << 8;
}

void TestPtyModule::commandsOverTheTty()
{
    QFETCH(QList<QByteArray>, writes);
    QFETCH(int, replyBytes);
    PtyModule pty(ZoltWire::Timing::ZeroTime);
    QVERIFY2(pty.isOpen(), qPrintable(pty.errorString()));

    QSerialPort port(pty.devicePath());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    port.setBaudRate(9600);
    QByteArray written;
    for (const QByteArray& w : writes) {
        port.write(w);
        QVERIFY(port.waitForBytesWritten(1000));
        // Each write reaches the module on its own.
        written += w;
        QVERIFY(testwait::until([&] { return pty.wire().received().size() >= written.size(); }, 1000));
    }
    const QByteArray got = readAtLeast(port, replyBytes);
    QCOMPARE(got.size(), replyBytes);
    QCOMPARE(got, pty.wire().exchanges().back().command.reply);
    QCOMPARE(pty.wire().received(), writes.join());
    QCOMPARE(pty.wire().sent(), got);
}

// The module answers at the baud rate the program set on the tty.
void TestPtyModule::pacedByTheTtyBaud()
{
    PtyModule pty(ZoltWire::Timing::Wire);
    QVERIFY2(pty.isOpen(), qPrintable(pty.errorString()));
    QSerialPort port(pty.devicePath());
    QVERIFY(port.open(QIODevice::ReadWrite));
    QVERIFY(port.setBaudRate(2400));
    QElapsedTimer clock;
    clock.start();
    port.write(QByteArray("!0RA\x06", 5));
    QVERIFY(port.waitForBytesWritten(1000));
    const QByteArray got = readAtLeast(port, 14);
    const qint64 tookMs = clock.elapsed();
    QCOMPARE(got.size(), 14);
    QCOMPARE(pty.wire().baud(), 2400);
    // 19 bytes of 10 bits at 2400 baud: 79 ms.
    QVERIFY2(tookMs >= 78, qPrintable(QString::number(tookMs)));
}

// The program's own control on the tty: commands out, receive events in.
void TestPtyModule::throughTheProgramsControl()
{
    PtyModule pty(ZoltWire::Timing::Wire);
    QVERIFY2(pty.isOpen(), qPrintable(pty.errorString()));
    const QString device = pty.devicePath();
    QtSerialControl comm([device](int port) { return port == 2 ? device : QStringLiteral("/nonexistent/com%1").arg(port); });
    QVERIFY(comm.setCommPort(1));
    QVERIFY(!comm.setPortOpen(true));
    QVERIFY(comm.setCommPort(2));
    QVERIFY(comm.setSettings(QStringLiteral("4800,N,8,1")));
    comm.setInputMode(SerialControl::InputMode::Binary);
    comm.setRThreshold(2);
    comm.setInputLen(2);
    QVERIFY2(comm.setPortOpen(true), qPrintable(comm.lastError()));

    QByteArray data;
    int receiveEvents = 0;
    connect(&comm, &SerialControl::OnComm, this, [&] {
        if (comm.CommEvent() != SerialControl::kComEvReceive)
            return;
        ++receiveEvents;
        while (comm.InBufferCount() >= comm.RThreshold())
            data.append(comm.Input());
    });
    comm.setOutput(QByteArray("!0RA\x06", 5));
    QTRY_COMPARE(data.size(), 14);
    QCOMPARE(pty.wire().baud(), 4800);
    QCOMPARE(data, pty.wire().exchanges().back().command.reply);
    QVERIFY(receiveEvents >= 1);

    comm.setOutput(QByteArray("!0RD"));
    comm.setRThreshold(1);
    comm.setInputLen(1);
    QTRY_COMPARE(data.size(), 15);
    QCOMPARE(pty.wire().received(), QByteArray("!0RA\x06!0RD", 9));
    QCOMPARE(data, pty.wire().sent());
    QVERIFY(comm.setPortOpen(false));
}

QTEST_GUILESS_MAIN(TestPtyModule)
#include "tst_ptymodule.moc"
