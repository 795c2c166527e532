#include "platform/EndOnSignal.h"

#include <QCoreApplication>
#include <QTest>

#include <csignal>

// The handler only wakes the event loop: the program's own ending runs from
// there, once for each signal, and never inside the signal handler.
class TestEndOnSignal : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(endOnTerminationSignals([this] { ++m_calls; }));
        // A second request would take the signals from the first.
        QVERIFY(!endOnTerminationSignals([] {}));
    }

    void signalRunsTheEndingFromTheEventLoop_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }

    void signalRunsTheEndingFromTheEventLoop()
    {
        QFETCH(int, signal);
        m_calls = 0;
        QCOMPARE(std::raise(signal), 0);
        QCOMPARE(m_calls, 0);  // not yet: only the event loop runs it
        QTRY_COMPARE(m_calls, 1);
        QTest::qWait(50);
        QCOMPARE(m_calls, 1);
    }

private:
    int m_calls = 0;
};

QTEST_GUILESS_MAIN(TestEndOnSignal)
#include "tst_endonsignal.moc"
