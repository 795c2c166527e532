// The serial control's common rules, on the scripted double: property checks,
// and events delivered from the event loop, one handler at a time.

#include "tests/support/FakeSerialControl.h"
#include "tests/support/Wait.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Open on COM1, with a send event for every write and a receive event for
// every byte.
void openWithEvents(FakeSerialControl& c)
{
    c.setExistingPorts({1});
    QVERIFY(c.setCommPort(1));
    QVERIFY(c.setPortOpen(true));
    c.setSThreshold(1);
    c.setRThreshold(1);
}

// Records the codes the handler sees and how deeply it was entered. On a
// receive it takes the bytes and sends a command, which raises a send event
// (delivered later, never inside the handler).
struct HandlerLog {
    explicit HandlerLog(FakeSerialControl& c)
    {
        QObject::connect(&c, &SerialControl::OnComm, &c, [this, &c] {
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            codes << c.CommEvent();
            if (c.CommEvent() == SerialControl::kComEvReceive) {
                c.setInputLen(0);
                c.Input();
                c.setOutput("!0RD");
            }
            --depth;
        });
    }
    int depth = 0;
    int maxDepth = 0;
    QList<int> codes;
};

} // namespace

class TestSerialControl : public QObject {
    Q_OBJECT

private slots:
    void portNumberOnlyWhileClosed()
    {
        FakeSerialControl c;
        c.setExistingPorts({3});
        QVERIFY(!c.setCommPort(0));
        QVERIFY(!c.setCommPort(17));
        QVERIFY(c.setCommPort(3));
        QVERIFY(c.setPortOpen(true));
        QVERIFY(!c.setCommPort(4));
        QCOMPARE(c.CommPort(), 3);
        QVERIFY(!c.setPortOpen(true));   // already open
        QVERIFY(c.setPortOpen(false));
        QVERIFY(c.setPortOpen(false));   // closing a closed port is harmless
    }

    void refusedOpens()
    {
        FakeSerialControl c;
        c.setExistingPorts({1, 2});
        c.setBusyPorts({2});
        c.setCommPort(5);
        QVERIFY(!c.setPortOpen(true));
        QCOMPARE(c.lastError(), QStringLiteral("missing"));
        c.setCommPort(2);
        QVERIFY(!c.setPortOpen(true));
        QCOMPARE(c.lastError(), QStringLiteral("in use"));
        QVERIFY(!c.PortOpen());
    }

    void settingsKeepTheirForm()
    {
        FakeSerialControl c;
        QVERIFY(c.setSettings(QStringLiteral("2400,N,8,1")));
        QCOMPARE(c.Settings(), QStringLiteral("2400,N,8,1"));
        QVERIFY(!c.setSettings(QStringLiteral("fast")));
        QVERIFY(!c.setSettings(QStringLiteral("9600,N,8")));
        QCOMPARE(c.Settings(), QStringLiteral("2400,N,8,1"));
        c.setExistingPorts({1});
        c.setCommPort(1);
        c.setPortOpen(true);
        QVERIFY(c.setSettings(QStringLiteral("4800,N,8,1")));
        QCOMPARE(c.appliedSettings().last(), QStringLiteral("4800,N,8,1"));
    }

    void takenSettingsClearTheError()
    {
        FakeSerialControl c;
        c.setCommPort(3);
        QVERIFY(!c.setPortOpen(true));
        QVERIFY(!c.setSettings(QStringLiteral("9600,X,8,1")));
        QCOMPARE(c.lastError(), QStringLiteral("invalid settings"));
        QVERIFY(c.setSettings(QStringLiteral("9600,N,8,1")));
        QVERIFY(c.lastError().isEmpty());
    }

    void lostDeviceIsWatchedForUntilBack()
    {
        FakeSerialControl c;
        c.setExistingPorts({2});
        c.setCommPort(2);
        QVERIFY(c.setSettings(QStringLiteral("4800,N,8,1")));
        QVERIFY(c.setPortOpen(true));
        QSignalSpy lost(&c, &SerialControl::portLost);
        QSignalSpy back(&c, &SerialControl::portReturned);
        c.unplug();
        QCOMPARE(lost.size(), 1);
        QVERIFY(c.watchingForReturn());
        // Still gone: looked for, not found.
        QVERIFY(testwait::holdsFor([&] { return !c.PortOpen(); }, SerialControl::kReturnWatchMs + 200));
        c.setExistingPorts({2});
        QTRY_COMPARE_WITH_TIMEOUT(back.size(), 1, 5000);
        QVERIFY(c.PortOpen());
        QCOMPARE(c.appliedSettings().last(), QStringLiteral("4800,N,8,1"));
        QVERIFY(!c.watchingForReturn());

        // Choosing a port number ends the watch as well.
        c.unplug();
        QVERIFY(c.setCommPort(3));
        QVERIFY(!c.watchingForReturn());
    }

    void closedPortReadsNothing()
    {
        FakeSerialControl c;
        c.setLines(true, true);
        QVERIFY(!c.CTSHolding());
        QVERIFY(!c.DSRHolding());
        QCOMPARE(c.InBufferCount(), 0);
        QVERIFY(c.Input().isEmpty());
        c.setOutput("!0RD");
        QVERIFY(c.written().isEmpty());
    }

    void receiveEventsAtTheThreshold()
    {
        FakeSerialControl c;
        c.setExistingPorts({1});
        c.setCommPort(1);
        c.setPortOpen(true);
        c.setRThreshold(2);
        QSignalSpy spy(&c, &SerialControl::OnComm);
        QList<int> codes;
        connect(&c, &SerialControl::OnComm, &c, [&] { codes << c.CommEvent(); });

        c.feed("a");
        QCoreApplication::processEvents();
        QVERIFY(codes.isEmpty());
        c.feed("b");
        QVERIFY(codes.isEmpty());   // never inside the call that caused it
        QCoreApplication::processEvents();
        QCOMPARE(codes, QList<int>{SerialControl::kComEvReceive});
        QCOMPARE(c.CommEvent(), 0);   // the code is held only while the handler runs

        c.setInputLen(3);
        QCOMPARE(c.Input(), QByteArray("ab"));   // never more than is waiting
        c.feed("cdefg");
        c.setInputLen(3);
        QCOMPARE(c.Input(), QByteArray("cde"));
    }

    void arrivalsBeforeDeliveryMakeOneEvent()
    {
        FakeSerialControl c;
        c.setExistingPorts({1});
        c.setCommPort(1);
        c.setPortOpen(true);
        c.setRThreshold(1);
        int events = 0;
        connect(&c, &SerialControl::OnComm, &c, [&] { ++events; c.setInputLen(0); c.Input(); });
        c.feed("x");
        c.feed("y");
        c.feed("z");
        QCoreApplication::processEvents();
        QCOMPARE(events, 1);
    }

    void handlerIsNotReentered()
    {
        FakeSerialControl c;
        openWithEvents(c);
        HandlerLog log(c);
        c.feed("1");
        QTRY_COMPARE(log.codes.size(), 2);
        QCOMPARE(log.codes, (QList<int>{SerialControl::kComEvReceive, SerialControl::kComEvSend}));
        QCOMPARE(log.maxDepth, 1);
    }

    // Events waiting together reach the handler in one pass of the event loop,
    // in the order raised, before anything posted after them; one that a
    // handler causes waits for a later pass and never runs inside it.
    void waitingEventsComeInOnePass()
    {
        FakeSerialControl c;
        openWithEvents(c);
        constexpr int kMarker = -1;
        HandlerLog log(c);
        c.setLines(true, false);
        c.setLines(true, true);
        c.feed("1");
        QMetaObject::invokeMethod(&c, [&] { log.codes << kMarker; }, Qt::QueuedConnection);
        QTRY_COMPARE(log.codes.size(), 5);
        QCOMPARE(log.codes, (QList<int>{SerialControl::kComEvCTS, SerialControl::kComEvDSR, SerialControl::kComEvReceive,
                                    kMarker, SerialControl::kComEvSend}));
        QCOMPARE(log.maxDepth, 1);
    }

    void lineChangesAndUnplugging()
    {
        FakeSerialControl c;
        c.setExistingPorts({1});
        c.setCommPort(1);
        c.setPortOpen(true);
        QList<int> codes;
        connect(&c, &SerialControl::OnComm, &c, [&] { codes << c.CommEvent(); });
        c.setLines(true, false);
        c.setLines(true, true);
        QTRY_COMPARE(codes.size(), 2);
        QCOMPARE(codes, (QList<int>{SerialControl::kComEvCTS, SerialControl::kComEvDSR}));

        codes.clear();
        c.unplug();
        QVERIFY(!c.PortOpen());
        QTRY_COMPARE(codes.size(), 2);
        QCOMPARE(codes, (QList<int>{SerialControl::kComEvCTS, SerialControl::kComEvDSR}));
        QVERIFY(!c.CTSHolding());
        c.setExistingPorts({1});
        QVERIFY(c.setPortOpen(true));   // and it can be opened again
    }
};

QTEST_GUILESS_MAIN(TestSerialControl)
#include "tst_serialcontrol.moc"
