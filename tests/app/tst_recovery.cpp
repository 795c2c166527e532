// The whole program when replies go wrong: a reply that never completes, a
// reply missed inside continuous sampling, noise between cycles, and a port
// that goes away and comes back. On the scripted control.

#include "link/ReplyDeadline.h"
#include "tests/app/ProgramRig.h"

#include "tests/support/Wait.h"
#include "ui/SerialMenu.h"

#include <QElapsedTimer>
#include <QRadioButton>
#include <QTimer>
#include <optional>

namespace {

const QByteArray kReadCh0("!0RA\x00", 5);
const QByteArray kReadDigital("!0RD");
const QByteArray kReading("\x01\x23", 2);   // 291 counts
constexpr int kMissWaitMs = 5000;           // generous: the longest deadline is 260 ms
constexpr int kReturnWaitMs = 5000;         // a look every 500 ms

// How many commands the program has sent; waits for the next one.
bool nextWrite(ProgramRig& rig, int& seen, const QByteArray& expected)
{
    if (!QTest::qWaitFor([&] { return rig.comm->writes().size() > seen; }, 3000))
        return false;
    return rig.comm->writes().at(seen++) == expected;
}

// Sampling every half second; true once the first cycle's command went out.
bool startAtHalfSecond(ProgramRig& rig, int& seen)
{
    rig.choose(QStringLiteral("Halfsec"));
    rig.click(QStringLiteral("Command12"));
    return nextWrite(rig, seen, kReadCh0);
}

void startSampling(ProgramRig& rig)
{
    rig.choose(QStringLiteral("MaxSamp"));
    rig.click(QStringLiteral("Command12"));
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT

private slots:
    // ------------------------------------------------------------ missed replies

    void missedReplyAtEachBaudRate_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("top");
        QTest::addColumn<QByteArray>("partial");   // what comes of the reply
        QTest::addColumn<int>("deadlineMs");       // 2 x (5 + 2(top + 1)) x 10 bits, + 100 ms
        QTest::newRow("2400, channel 0, nothing") << 2400 << 0 << QByteArray() << 160;
        QTest::newRow("2400, channels 0-6, 5 bytes") << 2400 << 6 << QByteArray(5, '\x07') << 260;
        QTest::newRow("4800, channel 0, 1 byte") << 4800 << 0 << QByteArray(1, '\x01') << 130;
        QTest::newRow("4800, channels 0-6, 13 bytes") << 4800 << 6 << QByteArray(13, '\x02') << 180;
        QTest::newRow("9600, channel 0, 1 byte") << 9600 << 0 << QByteArray(1, '\x01') << 116;
        QTest::newRow("9600, channels 0-6, nothing") << 9600 << 6 << QByteArray() << 140;
    }
    void missedReplyAtEachBaudRate()
    {
        QFETCH(int, baud);
        QFETCH(int, top);
        QFETCH(QByteArray, partial);
        QFETCH(int, deadlineMs);
        ProgramRig rig;
        rig.start();
        QVERIFY(rig.comm->setSettings(QStringLiteral("%1,N,8,1").arg(baud)));
        Lamp* xfer = rig.lamp(QStringLiteral("LiteXfer"));

        QElapsedTimer sinceRequest;
        sinceRequest.start();
        QTest::mouseClick(rig.button(indexedName("ADCmdbut", top)), Qt::LeftButton);
        QCOMPARE(rig.m().ReplyDeadlineMs(), deadlineMs);
        // When the reply should be complete: the exchange's bytes at this baud rate.
        const qint64 wireNs = replydeadline::wireNs(5, 2 * (top + 1), baud);
        const std::optional<qint64> dueNs = rig.m().nsUntilReplyExpected();
        QVERIFY(dueNs && *dueNs <= wireNs && *dueNs >= wireNs - sinceRequest.nsecsElapsed());
        rig.reply(partial);
        QTRY_COMPARE_WITH_TIMEOUT(rig.m().MissedReplies, 1LL, kMissWaitMs);
        // A timer never fires early; a loaded machine can only make it late.
        QVERIFY2(sinceRequest.elapsed() >= deadlineMs - 1, qPrintable(QString::number(sinceRequest.elapsed())));
        QCOMPARE(rig.m().RxMode, kRxIdle);
        QCOMPARE(rig.m().RxChan, -1);
        QCOMPARE(rig.comm->InBufferCount(), 0);   // the partial reply is dropped
        QVERIFY(rig.text(indexedName("ADValTxt", top)).isEmpty());
        QCOMPARE(xfer->colour(), kColRed);
        QCOMPARE(xfer->toolTip(), QStringLiteral("Replies missed: 1"));
        QCOMPARE(xfer->accessibleDescription(), QStringLiteral("Replies missed: 1"));
        QVERIFY(!rig.form().Timer1().isActive());   // not sampling: nothing more
        QCOMPARE(rig.m().ReplyDeadlineMs(), 0);
        QVERIFY(!rig.m().nsUntilReplyExpected());

        // Sampling goes on by itself past a missed reply; the lamp stays red
        // through the next exchange's send event until a reply completes.
        int seen = int(rig.comm->writes().size());
        startSampling(rig);
        const QByteArray scan = QByteArray("!0RA") + char(top);
        QVERIFY(nextWrite(rig, seen, scan));
        QCOMPARE(xfer->colour(), kColRed);
        QVERIFY(nextWrite(rig, seen, scan));   // missed again: the cycle re-armed itself
        QCOMPARE(rig.m().MissedReplies, 2LL);
        QCOMPARE(xfer->toolTip(), QStringLiteral("Replies missed: 2"));
        QCOMPARE(xfer->colour(), kColRed);
        QByteArray whole;
        for (int ch = top; ch >= 0; --ch)
            whole += kReading;
        rig.reply(whole);
        QCOMPARE(rig.text(indexedName("ADValTxt", top)), QStringLiteral(" 291"));
        QCOMPARE(xfer->colour(), kColBlack);
        QVERIFY(!rig.m().ReplyOverdue);
        rig.click(QStringLiteral("Command6"));
    }

    void replyInTimeChangesNothing()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("ADCmdbut(0)"));
        rig.reply(kReading);
        QCOMPARE(rig.m().ReplyDeadlineMs(), 0);   // the deadline went with the reply
        QVERIFY(testwait::holdsFor([&] { return rig.m().MissedReplies == 0; }, 300));
        QCOMPARE(rig.lamp(QStringLiteral("LiteXfer"))->colour(), kColBlack);
        QVERIFY(rig.lamp(QStringLiteral("LiteXfer"))->toolTip().isEmpty());
        QCOMPARE(rig.comm->writes().size(), 1);
    }

    void missedDigitalReadInTheCycle()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("Command7"));   // D-On
        int seen = 0;
        startSampling(rig);
        QVERIFY(nextWrite(rig, seen, kReadCh0));
        rig.reply(kReading);
        QVERIFY(nextWrite(rig, seen, kReadDigital));
        QCOMPARE(rig.m().ReplyDeadlineMs(), 112);   // 5 bytes at 9600 baud
        // No reply: the next cycle is a whole one again, scan and digital read.
        QVERIFY(nextWrite(rig, seen, kReadCh0));
        QCOMPARE(rig.m().MissedReplies, 1LL);
        rig.reply(kReading);
        QVERIFY(nextWrite(rig, seen, kReadDigital));
        rig.reply(QByteArray("\x10", 1));
        QCOMPARE(rig.text("DinTxt(4)"), QStringLiteral("1"));
        QCOMPARE(rig.lamp(QStringLiteral("LiteXfer"))->colour(), kColBlack);
        QVERIFY(nextWrite(rig, seen, kReadCh0));
        rig.click(QStringLiteral("Command6"));
    }

    void noiseBetweenCyclesIsDroppedAndTheCycleWaitsForQuiet()
    {
        ProgramRig rig;
        rig.start();
        int seen = 0;
        QVERIFY(startAtHalfSecond(rig, seen));
        rig.reply(kReading);
        const long long ticks = rig.m().SampCount;
        rig.reply(QByteArray("\x0F\xFF\x0F", 3));   // in the pause: read by nothing
        QCOMPARE(rig.comm->InBufferCount(), 3);
        // The next tick finds the line talking: it drops the bytes and sends
        // nothing; the one after finds it quiet.
        QTRY_COMPARE_WITH_TIMEOUT(rig.m().SampCount, ticks + 1, kMissWaitMs);
        QCOMPARE(rig.comm->InBufferCount(), 0);
        QCOMPARE(rig.m().StrayBytes, 3LL);
        QCOMPARE(rig.comm->writes().size(), seen);
        QVERIFY(rig.form().Timer1().isActive());
        QVERIFY(nextWrite(rig, seen, kReadCh0));
        QCOMPARE(rig.m().SampCount, ticks + 2);
        rig.reply(QByteArray("\x00\x2A", 2));
        QCOMPARE(rig.text("ADValTxt(0)"), QStringLiteral(" 42"));
        QCOMPARE(rig.m().MissedReplies, 0LL);
        rig.click(QStringLiteral("Command6"));
    }

    void oldReplyArrivingLateCountsTowardsTheNewRequest()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("ADCmdbut(1)"));
        rig.reply(QByteArray("\x00\x01", 2));
        rig.click(QStringLiteral("ADCmdbut(0)"));   // nothing waits: nothing dropped
        QCOMPARE(rig.m().StrayBytes, 0LL);
        rig.reply(QByteArray("\x00\x02", 2));       // the old reply's second reading
        QCOMPARE(rig.text("ADValTxt(0)"), QStringLiteral(" 2"));
    }

    // ------------------------------------------------------------ a lost port

    void lostPortComesBackAndSamplingGoesOn_data()
    {
        QTest::addColumn<bool>("midExchange");
        QTest::newRow("lost while a reply is awaited") << true;
        QTest::newRow("lost in the pause between cycles") << false;
    }
    void lostPortComesBackAndSamplingGoesOn()
    {
        QFETCH(bool, midExchange);
        ProgramRig rig;
        rig.start();
        int seen = 0;
        QVERIFY(startAtHalfSecond(rig, seen));
        if (!midExchange)
            rig.reply(kReading);
        const int opens = rig.comm->openCount();

        rig.comm->unplug();
        rig.settle();
        QVERIFY(!rig.comm->PortOpen());
        QVERIFY(rig.comm->watchingForReturn());
        QCOMPARE(rig.lamp("Lite1")->colour(), kColBlack);
        QCOMPARE(rig.lamp("Lite3")->colour(), kColBlack);
        QVERIFY(!rig.form().Timer1().isActive());
        // Past a cycle's pause and any reply deadline: nothing sent, and a
        // lost port is no missed reply.
        QVERIFY(testwait::holdsFor(
            [&] { return rig.comm->writes().size() == seen && rig.m().MissedReplies == 0; }, 700));
        QCOMPARE(rig.m().Sampling, 1);
        QVERIFY(!rig.button("Command12")->isEnabled());

        rig.comm->setLines(true, false);   // what the module will hold when back
        rig.comm->setExistingPorts({2});
        QTRY_VERIFY_WITH_TIMEOUT(rig.comm->PortOpen(), kReturnWaitMs);
        QCOMPARE(rig.comm->openCount(), opens + 1);
        QCOMPARE(rig.comm->CommPort(), 2);
        QCOMPARE(rig.comm->appliedSettings().last(), QStringLiteral("9600,N,8,1"));
        QVERIFY(!rig.comm->watchingForReturn());
        QCOMPARE(rig.lamp("Lite3")->colour(), kColGreen);   // CTS
        QCOMPARE(rig.lamp("Lite1")->colour(), kColBlack);   // DSR
        QVERIFY(nextWrite(rig, seen, kReadCh0));            // a fresh cycle
        rig.reply(QByteArray("\x00\x07", 2));
        QCOMPARE(rig.text("ADValTxt(0)"), QStringLiteral(" 7"));
        QVERIFY(nextWrite(rig, seen, kReadCh0));
        rig.click(QStringLiteral("Command6"));
    }

    void stopWhileTheDeviceIsGone()
    {
        ProgramRig rig;
        rig.start();
        startSampling(rig);
        int seen = 0;
        QVERIFY(nextWrite(rig, seen, kReadCh0));
        rig.comm->unplug();
        rig.settle();
        rig.click(QStringLiteral("Command6"));
        QCOMPARE(rig.m().Sampling, 0);
        QVERIFY(rig.button("Command12")->isEnabled());
        QCOMPARE(rig.lamp("SamLite(1)")->colour(), kColRed);

        rig.comm->setExistingPorts({2});
        QTRY_VERIFY_WITH_TIMEOUT(rig.comm->PortOpen(), kReturnWaitMs);
        QCOMPARE(rig.lamp("Lite1")->colour(), kColGreen);
        // Stopped: no cycle resumes.
        QVERIFY(testwait::holdsFor([&] { return rig.comm->writes().size() == seen; }, 50));
    }

    void settingsDialogEndsTheWatch()
    {
        ProgramRig rig({2, 4});
        rig.start();
        rig.comm->unplug();
        rig.settle();
        QVERIFY(rig.comm->watchingForReturn());
        bool ran = false;
        QTimer::singleShot(0, [&] {
            SerialMenu& dialog = rig.program->serialMenu();
            if (!dialog.isVisible())
                return;
            ran = true;
            QVERIFY(!rig.comm->watchingForReturn());
            rig.comm->setExistingPorts({2, 4});   // back while the dialog is up
            // The dialog decides, however long the watch would have looked.
            QVERIFY(testwait::holdsFor([&] { return !rig.comm->PortOpen(); }, 1200));
            QTest::mouseClick(dialog.findChild<QRadioButton*>(QStringLiteral("ComSel(4)")), Qt::LeftButton);
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        });
        rig.choose(QStringLiteral("SetComMenu"));
        QVERIFY(ran);
        QVERIFY(rig.comm->PortOpen());
        QCOMPARE(rig.comm->CommPort(), 4);
        QVERIFY(!rig.comm->watchingForReturn());
    }

    void exitWhileTheDeviceIsGone()
    {
        ProgramRig rig;
        rig.start();
        startSampling(rig);
        rig.comm->unplug();
        rig.settle();
        rig.click(QStringLiteral("Command4"));
        QCOMPARE(rig.ended, 1);
        QVERIFY(!rig.comm->watchingForReturn());
        rig.comm->setExistingPorts({2});
        QVERIFY(testwait::holdsFor([&] { return !rig.comm->PortOpen(); }, 700));
    }
};

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
