// The acquisition cycle on a scripted serial control: the scans it hands on,
// its limits, and what it does when replies, the line or the port go wrong.
// The pause is a minute unless a test says otherwise, and the test ends it by
// hand, so that each cycle starts exactly when the test wants it to.

#include "link/Acquisition.h"
#include "link/Module1.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/MachineProbe.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/Wait.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <memory>
#include <vector>

using acquisition::Acquisition;
using acquisition::Scan;
using acquisition::Settings;

namespace {

const QByteArray kReadTwo("!0RA\x01", 5);   // channels 0 and 1
const QByteArray kReadDigital("!0RD");
constexpr int kMinute = 60'000;

} // namespace

class TestAcquisition : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeSerialControl> comm;
    std::unique_ptr<RecordingViews> views;
    std::unique_ptr<Module1> m;
    std::unique_ptr<Acquisition> acq;
    std::vector<Scan> scans;

    void startWith(Settings s)
    {
        acq->setSettings(s);
        acq->start();
        QVERIFY(acq->running());
    }
    // The writes since the last look, one entry a command (not for QTRY_*,
    // which evaluate their expression more than once).
    QList<QByteArray> sent()
    {
        const QList<QByteArray> w = comm->writes();
        comm->clearWritten();
        return w;
    }

private slots:
    void init()
    {
        comm = std::make_unique<FakeSerialControl>();
        views = std::make_unique<RecordingViews>();
        m = std::make_unique<Module1>(*comm, *views);
        comm->setExistingPorts({1});
        comm->setLines(true, true);
        m->InitSerialLink();
        m->OpenPortAtStartup();
        QVERIFY(comm->PortOpen());
        comm->clearWritten();
        acq = std::make_unique<Acquisition>(*m);
        scans.clear();
        connect(acq.get(), &Acquisition::scanned, this, [this](const Scan& s) { scans.push_back(s); });
    }
    void cleanup()
    {
        acq.reset();
        m.reset();
        views.reset();
        comm.reset();
    }

    void aScanACycleUntilTheCount()
    {
        startWith({.topChannel = 1, .digital = true, .pauseMs = kMinute, .countLimit = 2});
        QSignalSpy ended(acq.get(), &Acquisition::ended);
        for (int cycle = 1; cycle <= 2; ++cycle) {
            acq->pauseEnded();
            QCOMPARE(sent(), QList<QByteArray>{kReadTwo});
            comm->feed(QByteArray("\x0F\xFF\x01\x23", 4));   // channel 1 first
            QTRY_COMPARE(comm->writes(), QList<QByteArray>{kReadDigital});
            comm->clearWritten();
            QVERIFY(scans.size() == std::size_t(cycle - 1));   // not before its digital lines
            comm->feed(QByteArray(1, cycle == 1 ? '\x28' : '\x10'));
            QTRY_COMPARE(scans.size(), std::size_t(cycle));
        }
        const Scan& first = scans[0];
        QCOMPARE(first.seq, 1LL);
        QCOMPARE(first.topChannel, 1);
        QCOMPARE(first.counts[0], 291);
        QCOMPARE(first.counts[1], 4095);
        QCOMPARE(first.millivolts[0], 355);
        QCOMPARE(first.millivolts[1], 5000);
        QVERIFY(first.digital);
        QCOMPARE(first.lines, (std::array<int, 3>{1, 0, 1}));
        QCOMPARE(scans[1].seq, 2LL);
        QCOMPARE(scans[1].lines, (std::array<int, 3>{0, 1, 0}));
        QVERIFY(scans[1].elapsedNs > first.elapsedNs);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended[0][0].value<Acquisition::End>(), Acquisition::End::CountReached);
        QVERIFY(!acq->running());
        QCOMPARE(m->Sampling, 0);
        QVERIFY(testwait::holdsFor([&] { return comm->writes().isEmpty(); }, 20));   // no cycle after the last
    }

    // One exchange, as a command-line front end waits for it: the lines read
    // (stopped), an output read back (stopped), or a single scan; how it ends
    // is told once, with the read whose reply did not come.
    void howAnExchangeEnds_data()
    {
        QTest::addColumn<QString>("exchange");   // lines, output or scan (with the lines)
        QTest::addColumn<int>("answered");       // replies the module gives, in turn
        QTest::addColumn<bool>("unplugged");     // then the port goes; else the next reply is missed
        QTest::addColumn<int>("failedRead");     // -1: it ends well
        const int analog = int(Acquisition::Read::Analog);
        const int digital = int(Acquisition::Read::Digital);
        QTest::newRow("lines") << "lines" << 1 << false << -1;
        QTest::newRow("lines missed") << "lines" << 0 << false << digital;
        QTest::newRow("lines, port lost") << "lines" << 0 << true << digital;
        QTest::newRow("output read back") << "output" << 1 << false << -1;
        QTest::newRow("output, read-back missed") << "output" << 0 << false << digital;
        QTest::newRow("scan") << "scan" << 2 << false << -1;
        QTest::newRow("scan, analog missed") << "scan" << 0 << false << analog;
        QTest::newRow("scan, port lost on the analog read") << "scan" << 0 << true << analog;
        QTest::newRow("scan, digital missed") << "scan" << 1 << false << digital;
        QTest::newRow("scan, port lost on the digital read") << "scan" << 1 << true << digital;
    }
    void howAnExchangeEnds()
    {
        QFETCH(QString, exchange);
        QFETCH(int, answered);
        QFETCH(bool, unplugged);
        QFETCH(int, failedRead);
        QSignalSpy failed(acq.get(), &Acquisition::replyFailed);
        QSignalSpy linesRead(acq.get(), &Acquisition::linesRead);
        const bool scan = exchange == QLatin1String("scan");
        if (exchange == QLatin1String("lines")) {
            acq->readLines();
        } else if (exchange == QLatin1String("output")) {
            acq->setDigitalOutput(true);
            QCOMPARE(sent().value(0), protocol::setOutputsCommand(protocol::kOutputLineMask));
        } else {
            startWith({.topChannel = 1, .digital = true, .pauseMs = kMinute, .countLimit = 1});
            acq->pauseEnded();
        }
        // Lines 3 and 5 high; the analog reply any four bytes.
        const QList<QByteArray> replies = scan ? QList<QByteArray>{QByteArray(4, '\0'), QByteArray(1, '\x28')}
                                               : QList<QByteArray>{QByteArray(1, '\x28')};
        for (int i = 0; i < answered; ++i) {
            comm->feed(replies.at(i));
            if (scan && i == 0)   // the analog reply taken, the digital read asked for
                QTRY_VERIFY(comm->writes().contains(kReadDigital));
        }
        if (unplugged)
            comm->unplug();
        if (failedRead < 0) {
            QTRY_COMPARE(scan ? qsizetype(scans.size()) : linesRead.size(), qsizetype(1));
            QCOMPARE(m->DigData[3][0], 1);
            QCOMPARE(m->DigData[4][0], 0);
            QCOMPARE(m->DigData[5][0], 1);
            QVERIFY(testwait::holdsFor([&] { return failed.isEmpty(); }, 20));
            return;
        }
        QTRY_COMPARE(failed.size(), 1);
        QCOMPARE(failed[0][0].value<Acquisition::Read>(), Acquisition::Read(failedRead));
        QCOMPARE(failed[0][1].value<Acquisition::Failure>(),
                 unplugged ? Acquisition::Failure::PortLost : Acquisition::Failure::Missed);
        QVERIFY(linesRead.isEmpty());
        QVERIFY(scans.empty());
    }

    void missedRepliesAndTheDuration()
    {
        // Nothing answers: each request is missed after its deadline and the
        // cycle goes on, until the duration is up.
        startWith({.topChannel = 1, .digital = false, .pauseMs = 1, .durationLimitMs = 1500});
        QSignalSpy ended(acq.get(), &Acquisition::ended);
        QTRY_VERIFY(acq->missedReplies() >= 2);
        QVERIFY(ended.isEmpty());
        QTRY_COMPARE(ended.size(), 1);
        QCOMPARE(ended[0][0].value<Acquisition::End>(), Acquisition::End::DurationReached);
        QVERIFY(scans.empty());
        QVERIFY(sent().count(kReadTwo) >= 3);
        // The run after it counts its misses from its own start.
        acq->setSettings({.topChannel = 1, .pauseMs = kMinute});
        acq->start();
        QCOMPARE(acq->missedReplies(), 0LL);
        acq->pauseEnded();
        comm->feed(QByteArray(4, '\0'));
        QTRY_COMPARE(scans.size(), std::size_t(1));
        QCOMPARE(scans[0].seq, 1LL);
        QVERIFY(!scans[0].digital);
    }

    void aMissedReplyCostsItsScanOnly()
    {
        startWith({.topChannel = 1, .digital = true, .pauseMs = kMinute});
        acq->pauseEnded();
        comm->feed(QByteArray(4, '\0'));
        QTRY_COMPARE(comm->writes().count(kReadDigital), 1);
        comm->clearWritten();
        // The digital reply never comes: that scan is lost, the next is whole.
        QTRY_COMPARE(acq->missedReplies(), 1LL);
        QVERIFY(scans.empty());
        acq->pauseEnded();
        comm->feed(QByteArray(4, '\0'));
        QTRY_COMPARE(comm->writes().count(kReadDigital), 1);
        comm->clearWritten();
        comm->feed(QByteArray(1, '\x08'));
        QTRY_COMPARE(scans.size(), std::size_t(1));
        QCOMPARE(scans[0].seq, 1LL);
        QCOMPARE(scans[0].missedReplies, 1LL);
        QCOMPARE(scans[0].lines[0], 1);
    }

    // However long the scan's listeners take, the next cycle starts one pause
    // after the reply arrived, not one pause after they returned.
    void thePauseCountsFromTheReply()
    {
        startWith({.topChannel = 1, .pauseMs = 200});
        acq->pauseEnded();
        QCOMPARE(sent(), QList<QByteArray>{kReadTwo});
        connect(acq.get(), &Acquisition::scanned, this, [] { QThread::msleep(150); });
        // Counted from the end of the handler, it would be 350 ms; the time
        // a busy machine held the test back is not the program's.
        MachineProbe probe(QCoreApplication::applicationPid());
        const qint64 replyMs = MachineProbe::nowMs();
        QElapsedTimer sinceReply;
        sinceReply.start();
        comm->feed(QByteArray(4, '\0'));
        QVERIFY(testwait::until([&] { return !comm->writes().isEmpty(); }));
        const qint64 ms = sinceReply.elapsed();
        const qint64 held = probe.heldMs(replyMs, MachineProbe::nowMs());
        QVERIFY2(ms >= 200 && ms - held < 320,
                 qPrintable(QStringLiteral("next request %1 ms after the reply, %2 ms of it the machine's").arg(ms).arg(held)));
    }

    void strayBytesSkipACycle()
    {
        startWith({.topChannel = 1, .pauseMs = kMinute});
        comm->feed("xyz");   // the line talks while nothing was asked
        QVERIFY(testwait::settled(*comm));
        acq->pauseEnded();
        QVERIFY(sent().isEmpty());   // mixed with the noise, a reply would shift every reading
        QCOMPARE(m->StrayBytes, 3LL);
        acq->pauseEnded();
        QCOMPARE(sent(), QList<QByteArray>{kReadTwo});
        comm->feed(QByteArray("\x00\x05\x00\x07", 4));
        QTRY_COMPARE(scans.size(), std::size_t(1));
        QCOMPARE(scans[0].counts[1], 5);
        QCOMPARE(scans[0].counts[0], 7);
    }

    void aLostPortIsWaitedFor()
    {
        startWith({.topChannel = 1, .pauseMs = 1});
        QSignalSpy lost(acq.get(), &Acquisition::portLost);
        QSignalSpy returned(acq.get(), &Acquisition::portReturned);
        QTRY_VERIFY(comm->writes().contains(kReadTwo));
        comm->clearWritten();
        comm->unplug();   // with a request out
        QCOMPARE(lost.size(), 1);
        QVERIFY(acq->waitingForPort());
        QVERIFY(acq->running());
        // No request can be answered now: none is made, and none is missed.
        QVERIFY(testwait::holdsFor([&] { return acq->missedReplies() == 0; }, 300));
        comm->setExistingPorts({1});
        QTRY_COMPARE(returned.size(), 1);
        QVERIFY(!acq->waitingForPort());
        QTRY_VERIFY(comm->writes().contains(kReadTwo));
        comm->clearWritten();
        comm->feed(QByteArray(4, '\0'));
        QTRY_VERIFY(!scans.empty());
        QCOMPARE(scans[0].seq, 1LL);
    }

    void outputsGoOutBetweenScans()
    {
        QSignalSpy outputs(acq.get(), &Acquisition::outputSent);
        startWith({.topChannel = 1, .pauseMs = kMinute});
        acq->pauseEnded();
        QCOMPARE(sent(), QList<QByteArray>{kReadTwo});
        acq->setAnalogOutput(2, 1000);   // asked for with a reply due
        acq->setDigitalOutput(true);
        comm->feed(QByteArray(4, '\0'));
        QTRY_COMPARE(scans.size(), std::size_t(1));
        QVERIFY(sent().isEmpty());   // not in the pause either: the next cycle takes them
        QVERIFY(outputs.isEmpty());
        acq->pauseEnded();
        const QList<QByteArray> w = sent();
        QCOMPARE(w.size(), 3);
        QVERIFY(w[0].startsWith("!0SV"));
        QCOMPARE(w[1], QByteArray("!0SO\x08"));
        QCOMPARE(w[2], kReadTwo);
        QCOMPARE(outputs.size(), 2);
        QCOMPARE(outputs[0][0].toInt(), 2);
        QCOMPARE(outputs[1][0].toInt(), -1);
        QCOMPARE(int(m->DacData[2][2]), 1000);

        // Stopped with a reply due: the command waits for the reply, then goes
        // out with the lines read back.
        acq->stop();
        acq->setDigitalOutput(false);
        QVERIFY(sent().isEmpty());
        comm->feed(QByteArray(4, '\0'));
        QTRY_COMPARE(comm->writes(), (QList<QByteArray>{QByteArray("!0SO\x00", 5), kReadDigital}));
        QCOMPARE(scans.size(), std::size_t(1));   // a stopped run hands on nothing
    }
};

QTEST_GUILESS_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
