#include "platform/TerminationSignals.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <csignal>

// The handler only notes the signal: received() comes from the event loop,
// once for each signal. Whatever handled the signals before comes back when
// the service goes. A program that ends on a request ends whatever loop runs.
namespace {

volatile std::sig_atomic_t g_before = 0;   // signals seen by the earlier handler
extern "C" void earlierHandler(int) { g_before = g_before + 1; }

// The handler in place for a signal now.
void (*currentHandler(int number))(int)
{
    struct sigaction now {};
    ::sigaction(number, nullptr, &now);
    return now.sa_handler;
}

} // namespace

class TestTerminationSignals : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        g_before = 0;
        std::signal(SIGINT, earlierHandler);
        std::signal(SIGTERM, earlierHandler);
    }
    void cleanup()
    {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }

    void eachSignalReachesTheEventLoop()
    {
        TerminationSignals termination;
        QVERIFY(termination.installed());
        QSignalSpy spy(&termination, &TerminationSignals::received);
        QCOMPARE(std::raise(SIGTERM), 0);
        QCOMPARE(std::raise(SIGINT), 0);
        QCOMPARE(spy.count(), 0);   // not inside the handler: only the event loop emits
        QVERIFY(QTest::qWaitFor([&] { return spy.count() == 2; }));
        QCOMPARE(spy.at(0).at(0).toInt(), SIGTERM);
        QCOMPARE(spy.at(1).at(0).toInt(), SIGINT);
        QCOMPARE(g_before, 0);   // taken over, not shared
    }

    void earlierHandlingComesBack()
    {
        std::signal(SIGINT, SIG_IGN);
        {
            TerminationSignals termination;
            QVERIFY(termination.installed());
            // An ignored Ctrl-C (a background job's) is taken over as well.
            QVERIFY(currentHandler(SIGINT) != SIG_IGN);
        }
        QVERIFY(currentHandler(SIGINT) == SIG_IGN);
        QVERIFY(currentHandler(SIGTERM) == &earlierHandler);
        QCOMPARE(std::raise(SIGTERM), 0);
        QCOMPARE(g_before, 1);
    }

    void oneOwnerAtATime()
    {
        auto first = std::make_unique<TerminationSignals>();
        QSignalSpy firstSpy(first.get(), &TerminationSignals::received);
        {
            TerminationSignals second;
            QVERIFY(!second.installed());
        }
        // The second one going must leave the first one's handling in place.
        QCOMPARE(std::raise(SIGTERM), 0);
        QVERIFY(QTest::qWaitFor([&] { return firstSpy.count() == 1; }));
        first.reset();

        // Once the first has gone, a new one owns the signals again.
        TerminationSignals next;
        QVERIFY(next.installed());
        QSignalSpy nextSpy(&next, &TerminationSignals::received);
        QCOMPARE(std::raise(SIGINT), 0);
        QVERIFY(QTest::qWaitFor([&] { return nextSpy.count() == 1; }));
        QCOMPARE(g_before, 0);
    }

    // Last: the application's loop ends here for good.
    void endingLeavesNoLoopRunning()
    {
        TerminationSignals termination;
        int finished = 0;
        termination.endApplication([&] { ++finished; });
        QTimer guard;   // a loop left running fails, it does not hang
        guard.setSingleShot(true);
        guard.start(20000);
        // A dialog's loop, running when the request comes.
        QEventLoop dialog;
        connect(&guard, &QTimer::timeout, &dialog, [&] { dialog.exit(1); });
        QTimer::singleShot(0, &dialog, [] { std::raise(SIGTERM); });
        QCOMPARE(dialog.exec(), 0);
        QCOMPARE(finished, 1);
        // The application's own loop, started only after the request.
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(finished, 1);
    }
};

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
