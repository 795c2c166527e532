// Continuous sampling: the timer-driven cycle, with and without the digital
// read, stop in the middle of a cycle, and the locking of the sending controls.

#include "tests/app/ProgramRig.h"

#include "tests/support/PaintCount.h"
#include "tests/support/Wait.h"
#include "ui/DispForm.h"
#include "widgets/FramePacer.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QThread>

namespace {

const QByteArray kReadCh0("!0RA\x00", 5);
const QByteArray kReadDigital("!0RD");
const QByteArray kReading("\x01\x23", 2);

const char* const kLocked[] = {"ADCmdbut(0)", "ADCmdbut(3)", "ADCmdbut(6)", "Command7",
                               "Command1", "Command12", "Command13", "Command3"};

// Reads the commands the program sends, one after the other, waiting for each.
class Commands {
public:
    explicit Commands(ProgramRig& rig) : m_rig(rig) {}
    bool next(const QByteArray& expected, int timeoutMs = 2000)
    {
        if (!QTest::qWaitFor([this] { return m_rig.comm->writes().size() > m_seen; }, timeoutMs))
            return false;
        return m_rig.comm->writes().at(m_seen++) == expected;
    }
    // Nothing sent beyond what was read.
    bool none() const { return m_rig.comm->writes().size() == m_seen; }

private:
    ProgramRig& m_rig;
    int m_seen = 0;
};

// "Max Speed", then Start: true once the first read has gone out.
bool startAtMaxSpeed(ProgramRig& rig, Commands& sent)
{
    rig.choose(QStringLiteral("MaxSamp"));
    rig.click(QStringLiteral("Command12"));
    return sent.next(kReadCh0);
}

} // namespace

class TestSampling : public QObject {
    Q_OBJECT

private slots:
    // The window is painted at most once per refresh, but a control read
    // right after a reply already holds the reply's value, and the held
    // repaint comes.
    void readingsShownAtOnceWhilePaintingWaits()
    {
        ProgramRig rig;
        rig.start();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.form()));
        auto* pacer = rig.form().findChild<FramePacer*>();
        QVERIFY(pacer);
        pacer->setFrameNs(1'000'000'000);   // a refresh far longer than the exchange
        // The reply follows at once: the request must not run out of time.
        rig.click(QStringLiteral("ADCmdbut(1)"));

        QLineEdit* count0 = rig.find<QLineEdit>(QStringLiteral("ADValTxt(0)"));
        auto* count = new PaintCount(count0);

        rig.reply(QByteArray("\x01\x23\x0F\xFF", 4));   // channel 1, then channel 0
        QCOMPARE(rig.text("ADValTxt(1)"), QStringLiteral(" 291"));
        QCOMPARE(rig.text("ADValTxt(0)"), QStringLiteral(" 4095"));
        QCOMPARE(rig.text("VolValTxt(0)"), QStringLiteral(" 5000"));
        QCOMPARE(rig.lamp(QStringLiteral("LiteXfer"))->colour(), kColBlack);
        QVERIFY(pacer->holding());
        QCOMPARE(count->paints, 0);
        QTRY_VERIFY(count->paints > 0);
        QVERIFY(!pacer->holding());
    }

    void cycleWithoutDigitalRead()
    {
        ProgramRig rig;
        rig.start();
        Commands sent(rig);
        rig.click(QStringLiteral("Command12"));
        QVERIFY(sent.none());   // the first read waits one interval (500 ms at start)
        QVERIFY(rig.form().Timer1().isActive());
        rig.choose(QStringLiteral("MaxSamp"));
        QCOMPARE(rig.form().Timer1().interval(), 1);
        QCOMPARE(rig.form().Timer1().timerType(), Qt::PreciseTimer);
        for (int cycle = 0; cycle < 5; ++cycle) {
            QVERIFY2(sent.next(kReadCh0), qPrintable(QStringLiteral("cycle %1").arg(cycle)));
            QVERIFY(!rig.form().Timer1().isActive());   // off while the exchange runs
            // No overlap: nothing until the reply.
            QVERIFY(testwait::holdsFor([&] { return sent.none(); }, 5));
            rig.reply(kReading);
        }
        QCOMPARE(rig.text("ADValTxt(0)"), QStringLiteral(" 291"));
    }

    void cycleWithDigitalRead()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("Command7"));   // D-On
        rig.choose(QStringLiteral("MaxSamp"));
        Commands sent(rig);
        rig.click(QStringLiteral("Command12"));
        QCOMPARE(rig.lamp("SamLite(0)")->colour(), kColGreen);
        for (int cycle = 0; cycle < 3; ++cycle) {
            QVERIFY(sent.next(kReadCh0));
            rig.reply(kReading);
            // The analog scan is followed by one digital read, in the same event.
            QVERIFY(sent.next(kReadDigital));
            QCOMPARE(rig.m().DinMode, 2);
            QVERIFY(!rig.form().Timer1().isActive());
            rig.reply(QByteArray("\x10", 1));
            QCOMPARE(rig.text("DinTxt(4)"), QStringLiteral("1"));
        }
    }

    // The pause after a reply counts from the reply's arrival: a handler that
    // takes a while (here a reading's box slow to take its text) does not
    // lengthen it. It is still Timer1's pause: stopped, or given another
    // interval, before its end, it does not end at the old time.
    void thePauseAfterAReply()
    {
        ProgramRig rig;
        rig.start();
        Commands sent(rig);
        rig.choose(QStringLiteral("Halfsec"));
        rig.click(QStringLiteral("Command12"));
        QVERIFY(sent.next(kReadCh0));
        auto slow = connect(rig.find<QLineEdit>(QStringLiteral("ADValTxt(0)")), &QLineEdit::textChanged,
                            [] { QThread::msleep(300); });
        QElapsedTimer sinceReply;
        sinceReply.start();
        rig.comm->feed(kReading);
        QVERIFY(sent.next(kReadCh0));
        const qint64 ms = sinceReply.elapsed();
        QVERIFY2(ms >= 500 && ms < 750, qPrintable(QStringLiteral("next read %1 ms after the reply").arg(ms)));
        disconnect(slow);

        rig.reply(kReading);
        rig.click(QStringLiteral("Command6"));
        QVERIFY(testwait::holdsFor([&] { return sent.none(); }, 700));
        rig.click(QStringLiteral("Command12"));
        QVERIFY(sent.next(kReadCh0));
        rig.reply(kReading);
        rig.choose(QStringLiteral("tensec"));
        QVERIFY(testwait::holdsFor([&] { return sent.none(); }, 700));
        QVERIFY(rig.form().Timer1().isActive());
    }

    void stopInTheMiddleOfACycle()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("Command7"));
        Commands sent(rig);
        QVERIFY(startAtMaxSpeed(rig, sent));
        rig.click(QStringLiteral("Command6"));
        rig.reply(kReading);   // still decoded and shown
        QCOMPARE(rig.text("ADValTxt(0)"), QStringLiteral(" 291"));
        // No digital read, no new cycle.
        QVERIFY(testwait::holdsFor([&] { return sent.none(); }, 20));
        QVERIFY(!rig.form().Timer1().isActive());
        QCOMPARE(rig.m().DinMode, 1);
        QCOMPARE(rig.lamp("SamLite(0)")->colour(), kColRed);
        QCOMPARE(rig.lamp("SamLite(1)")->colour(), kColRed);
    }

    void stalledReplyHoldsTheCycleUntilItsDeadline()
    {
        ProgramRig rig;
        rig.start();
        Commands sent(rig);
        QVERIFY(startAtMaxSpeed(rig, sent));
        rig.reply(QByteArray("\x01", 1));   // half a reading, then nothing
        if (rig.m().MissedReplies == 0) {    // the deadline (116 ms) not yet passed
            QVERIFY(sent.none());
            QVERIFY(!rig.form().Timer1().isActive());
        }
        // Then the half reading is dropped and the cycle goes on by itself.
        QVERIFY(sent.next(kReadCh0));
        QCOMPARE(rig.m().MissedReplies, 1LL);
        QCOMPARE(rig.comm->InBufferCount(), 0);
        rig.reply(kReading);
        QCOMPARE(rig.text("ADValTxt(0)"), QStringLiteral(" 291"));
    }

    void startLocksAndStopUnlocks()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("ADCmdbut(3)"));
        rig.reply(QByteArray(8, '\0'));
        rig.lamp("ChLite(5)")->setColour(kColRed);
        rig.comm->clearWritten();

        rig.click(QStringLiteral("Command12"));
        QCOMPARE(rig.m().Sampling, 1);
        for (int i = 0; i <= 3; ++i)
            QCOMPARE(rig.lamp(indexedName("ChLite", i))->colour(), kColGreen);
        QCOMPARE(rig.lamp("ChLite(5)")->colour(), kColRed);   // above TopChan: kept
        QCOMPARE(rig.lamp("SamLite(1)")->colour(), kColGreen);
        QCOMPARE(rig.lamp("SamLite(0)")->colour(), kColBlack);
        for (const char* name : kLocked)
            QVERIFY2(!rig.button(QLatin1String(name))->isEnabled(), name);
        QVERIFY(rig.button("Command6")->isEnabled());
        QVERIFY(rig.button("Command4")->isEnabled());

        // The menu items that send do nothing while sampling runs.
        rig.choose(QStringLiteral("Dighi"));
        rig.choose(QStringLiteral("DigLo"));
        rig.choose(QStringLiteral("SetComMenu"));
        rig.choose(QStringLiteral("AnamenFrm"));
        QVERIFY(rig.comm->written().isEmpty());
        QVERIFY(rig.comm->PortOpen());
        QVERIFY(!rig.program->hasForm3());

        // A locked button ignores the mouse.
        QTest::mouseClick(rig.button("Command13"), Qt::LeftButton);
        QVERIFY(rig.comm->written().isEmpty());

        rig.click(QStringLiteral("Command6"));
        for (const char* name : kLocked)
            QVERIFY2(rig.button(QLatin1String(name))->isEnabled(), name);
        QCOMPARE(rig.m().Sampling, 0);
    }

    void stopShowsTheTickCount()
    {
        ProgramRig rig;
        rig.start();
        // Stop before any start: a blank and 0, the window created but not shown.
        rig.click(QStringLiteral("Command6"));
        QVERIFY(rig.program->hasDispForm());
        QVERIFY(!rig.program->dispForm().isVisible());
        auto* label2 = rig.program->dispForm().findChild<QLabel*>(QStringLiteral("Label2"));
        QCOMPARE(label2->text(), QStringLiteral(" 0"));

        rig.choose(QStringLiteral("MaxSamp"));
        Commands sent(rig);
        rig.click(QStringLiteral("Command12"));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(sent.next(kReadCh0));
            rig.reply(kReading);
        }
        QVERIFY(sent.next(kReadCh0));   // a fourth tick, its read pending
        rig.click(QStringLiteral("Command6"));
        QCOMPARE(label2->text(), QStringLiteral(" 4"));
    }

    void tickCountPastSixteenBits()
    {
        // A 16-bit count would overflow after 32767 ticks; the count stays true.
        ProgramRig rig;
        rig.start();
        Commands sent(rig);
        rig.click(QStringLiteral("Command12"));   // first tick after 500 ms
        rig.m().SampCount = 32767;
        rig.choose(QStringLiteral("MaxSamp"));
        QVERIFY(sent.next(kReadCh0));
        rig.reply(kReading);
        QVERIFY(sent.next(kReadCh0));
        rig.click(QStringLiteral("Command6"));
        auto* label2 = rig.program->dispForm().findChild<QLabel*>(QStringLiteral("Label2"));
        QCOMPARE(label2->text(), QStringLiteral(" 32769"));
    }

    void rateItemsOnlySetTheInterval_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("interval");
        QTest::newRow("Max Speed") << "MaxSamp" << 1;
        QTest::newRow("0.5 sec") << "Halfsec" << 500;
        QTest::newRow("1 sec") << "onesec" << 1000;
        QTest::newRow("10 sec") << "tensec" << 10000;
    }
    void rateItemsOnlySetTheInterval()
    {
        QFETCH(QString, item);
        QFETCH(int, interval);
        ProgramRig rig;
        rig.start();
        rig.choose(item);
        QCOMPARE(rig.form().Timer1().interval(), interval);
        QVERIFY(!rig.form().Timer1().isActive());
        QVERIFY(rig.comm->written().isEmpty());
    }

    void slowerRateWhileSampling()
    {
        ProgramRig rig;
        rig.start();
        Commands sent(rig);
        QVERIFY(startAtMaxSpeed(rig, sent));
        rig.choose(QStringLiteral("tensec"));   // the exchange in progress is not affected
        rig.reply(kReading);
        QVERIFY(rig.form().Timer1().isActive());
        QCOMPARE(rig.form().Timer1().interval(), 10000);
        QCOMPARE(rig.form().Timer1().remainingTime() > 5000, true);
    }
};

QTEST_MAIN(TestSampling)
#include "tst_sampling.moc"
