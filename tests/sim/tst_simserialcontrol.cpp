// The serial control on the simulated module, as the program drives it.

#include "link/BaudOptions.h"
#include "sim/EventLoopWait.h"
#include "sim/SimSerialControl.h"
#include "tests/support/Wait.h"

#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// Reads the way the program does: in units of the receive threshold, inside
// the event, and notes every event code, and for each receive event the
// line's time and how much had been read by the end of it.
struct Client {
    struct Receipt {
        qint64 atUs;
        qsizetype bytesSoFar;
    };
    explicit Client(SimSerialControl& c)
        : comm(c)
    {
        QObject::connect(&comm, &SerialControl::OnComm, &comm, [this] {
            events.append(comm.CommEvent());
            if (comm.CommEvent() != SerialControl::kComEvReceive)
                return;
            ++receiveEvents;
            comm.setInputLen(comm.RThreshold());
            while (comm.InBufferCount() >= comm.RThreshold())
                data.append(comm.Input());
            receipts.append({comm.wire().nowUs(), data.size()});
        });
    }
    SimSerialControl& comm;
    QList<int> events;
    int receiveEvents = 0;
    QByteArray data;
    QList<Receipt> receipts;
};

void setUpAsTheProgramDoes(SerialControl& comm, const QString& settings)
{
    comm.setCommPort(SimSerialControl::kModulePort);
    QVERIFY(comm.setSettings(settings));
    comm.setRTSEnable(true);
    comm.setDTREnable(true);
    comm.setSThreshold(1);
    comm.setRThreshold(1);
    comm.setInputMode(SerialControl::InputMode::Binary);
}

} // namespace

class TestSimSerialControl : public QObject {
    Q_OBJECT

private slots:
    void onlyComTwoExists_data();
    void onlyComTwoExists();
    void linesFollowTheModule();
    void replyThroughReceiveEvents_data();
    void replyThroughReceiveEvents();
    void baudChangeWhileOpen();
    void closeLosesTheReplyButNotTheOutputs();
};

void TestSimSerialControl::onlyComTwoExists_data()
{
    QTest::addColumn<int>("port");
    for (int port = SerialControl::kMinPort; port <= SerialControl::kMaxPort; ++port)
        QTest::addRow("COM%d", port) << port;
}

void TestSimSerialControl::onlyComTwoExists()
{
    QFETCH(int, port);
    SimSerialControl comm(ZoltWire::Timing::ZeroTime);
    QVERIFY(comm.setCommPort(port));
    const bool opened = comm.setPortOpen(true);
    QCOMPARE(opened, port == SimSerialControl::kModulePort);
    QCOMPARE(comm.PortOpen(), opened);
    if (!opened)
        QCOMPARE(comm.lastError(), QStringLiteral("missing"));
    QCOMPARE(comm.DSRHolding(), opened);
    QCOMPARE(comm.CTSHolding(), opened);
    QVERIFY(comm.setPortOpen(false));
    QVERIFY(!comm.DSRHolding());
    QVERIFY(!comm.CTSHolding());
}

// Pulling the module's cable drops both lines and silences it; putting it
// back raises them again. Each change is one event per line.
void TestSimSerialControl::linesFollowTheModule()
{
    SimSerialControl comm(ZoltWire::Timing::ZeroTime);
    setUpAsTheProgramDoes(comm, QString::fromLatin1(kDefaultBaud.settings));
    Client client(comm);
    QVERIFY(comm.setPortOpen(true));
    // Opening raises no line events.
    QVERIFY(testwait::holdsFor([&] { return client.events.isEmpty(); }, 10));

    comm.setModuleConnected(false);
    QVERIFY(!comm.DSRHolding());
    QVERIFY(!comm.CTSHolding());
    QTRY_COMPARE(client.events.size(), 2);
    QVERIFY(client.events.contains(SerialControl::kComEvCTS));
    QVERIFY(client.events.contains(SerialControl::kComEvDSR));

    client.events.clear();
    comm.setOutput(QByteArray("!0RD"));
    QTRY_VERIFY(client.events.contains(SerialControl::kComEvSend));
    // A module without its cable hears and answers nothing.
    QVERIFY(testwait::holdsFor([&] { return comm.InBufferCount() == 0 && comm.wire().received().isEmpty(); }, 20));

    client.events.clear();
    comm.setModuleConnected(true);
    QVERIFY(comm.DSRHolding() && comm.CTSHolding());
    QTRY_COMPARE(client.events.size(), 2);
}

void TestSimSerialControl::replyThroughReceiveEvents_data()
{
    QTest::addColumn<ZoltWire::Timing>("timing");
    QTest::addColumn<QString>("settings");
    QTest::newRow("zero time") << ZoltWire::Timing::ZeroTime << kDefaultBaud.settings;
    QTest::newRow("9600") << ZoltWire::Timing::Wire << kDefaultBaud.settings;
    QTest::newRow("2400") << ZoltWire::Timing::Wire << "2400,N,8,1";
}

// A seven-channel read followed by a digital read: the send event comes
// first, the analog reply arrives pair by pair, the digital byte last, and
// the program reads exactly what the module sent.
void TestSimSerialControl::replyThroughReceiveEvents()
{
    QFETCH(ZoltWire::Timing, timing);
    QFETCH(QString, settings);
    SimSerialControl comm(timing);
    setUpAsTheProgramDoes(comm, settings);
    Client client(comm);
    QVERIFY(comm.setPortOpen(true));

    // The loop's passes, on the line's clock.
    QList<qint64> passesUs;
    QTimer pass;
    pass.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pass, &QTimer::timeout, &pass, [&] { passesUs.append(comm.wire().nowUs()); });
    pass.start(1);
    comm.setRThreshold(2);
    comm.setOutput(QByteArray("!0RA\x06", 5));
    // A running loop: QTest's waits sleep 10 ms between passes, most of the
    // reply's 14.6 ms at 9600 baud.
    QVERIFY(runUntil([&] { return client.data.size() == 14; }, 5000));
    QCOMPARE(client.data.size(), 14);
    pass.stop();
    QCOMPARE(client.events.first(), SerialControl::kComEvSend);
    QCOMPARE(client.data, comm.wire().exchanges().back().command.reply);
    if (timing == ZoltWire::Timing::Wire) {
        // No receive event finds more of the reply than the line had carried
        // by then. (A loop held up by a busy machine may come only when all
        // of it is in: one event then.)
        const ZoltWire::Exchange& ex = comm.wire().exchanges().back();
        const double byteUs = comm.wire().byteTimeUs();
        for (const Client::Receipt& r : client.receipts) {
            const auto carried = static_cast<qsizetype>(std::floor(static_cast<double>(r.atUs - ex.arrivedUs) / byteUs));
            QVERIFY2(r.bytesSoFar <= std::max<qsizetype>(carried, 0) + 1,
                     qPrintable(QStringLiteral("%1 bytes read %2 us after the command, when the line had carried %3")
                                    .arg(r.bytesSoFar)
                                    .arg(r.atUs - ex.arrivedUs)
                                    .arg(carried)));
        }
        // Three passes of the loop while part of the reply was in and part
        // still to come: the part in was handed over by the third at the
        // latest, the rest in a later event.
        const auto inside = std::count_if(passesUs.cbegin(), passesUs.cend(), [&](qint64 t) {
            return t > ex.arrivedUs + std::llround(3 * byteUs) && t < ex.replyDueUs - std::llround(byteUs);
        });
        if (inside >= 3)
            QVERIFY2(client.receiveEvents >= 2, qPrintable(QString::number(client.receiveEvents)));
    }

    comm.setOutput(QByteArray("!0RD"));
    comm.setRThreshold(1);
    QTRY_COMPARE(client.data.size(), 15);
    QCOMPARE(client.data, comm.wire().sent());
    QCOMPARE(comm.wire().received(), QByteArray("!0RA\x06!0RD", 9));
    QCOMPARE(comm.InBufferCount(), 0);
}

void TestSimSerialControl::baudChangeWhileOpen()
{
    SimSerialControl comm(ZoltWire::Timing::Wire);
    setUpAsTheProgramDoes(comm, QString::fromLatin1(kDefaultBaud.settings));
    QVERIFY(comm.setPortOpen(true));
    QCOMPARE(comm.wire().baud(), 9600);
    QVERIFY(comm.setSettings(QStringLiteral("2400,N,8,1")));
    QCOMPARE(comm.wire().baud(), 2400);
    QVERIFY(comm.setPortOpen(false));
    QVERIFY(comm.setSettings(QStringLiteral("4800,N,8,1")));
    QVERIFY(comm.setPortOpen(true));
    QCOMPARE(comm.wire().baud(), 4800);
    QCOMPARE(comm.wire().byteTimeUs(), 1e7 / 4800);
}

// The module keeps its outputs while the program has the port closed; a
// reply on its way when the port closes is lost.
void TestSimSerialControl::closeLosesTheReplyButNotTheOutputs()
{
    SimSerialControl comm(ZoltWire::Timing::Wire);
    setUpAsTheProgramDoes(comm, QStringLiteral("2400,N,8,1"));
    Client client(comm);
    QVERIFY(comm.setPortOpen(true));
    comm.setRThreshold(2);
    // Output 2 (input 5) to code 170 of the low range, 2500.7 mV.
    comm.setOutput(QByteArray("!0SV\x95\x20", 6));
    QTRY_COMPARE(comm.wire().exchanges().size(), std::size_t(1));
    comm.setOutput(QByteArray("!0RA\x06", 5));
    QVERIFY(comm.setPortOpen(false));
    // 19 byte times at 2400 baud are 79 ms: longer than the reply would take.
    QVERIFY(testwait::holdsFor([&] { return client.data.isEmpty(); }, 100));
    QCOMPARE(comm.model().outputCode(2), 170);

    QVERIFY(comm.setPortOpen(true));
    comm.setOutput(QByteArray("!0RA\x06", 5));
    QTRY_COMPARE(client.data.size(), 14);
    // Input 5 is the second reading of a read from channel 6 down.
    QCOMPARE((client.data[2] & 0x0F) * 256 + static_cast<std::uint8_t>(client.data[3]), 2048);
}

QTEST_GUILESS_MAIN(TestSimSerialControl)
#include "tst_simserialcontrol.moc"
