// The in-memory input buffer the simulated module and the test double share:
// order, partial reads, and what a bound keeps when input overflows it.

#include "link/ReceiveBuffer.h"

#include <QTest>

class TestReceiveBuffer : public QObject {
    Q_OBJECT

private slots:
    void arrivalsAndReads_data()
    {
        QTest::addColumn<int>("bound");
        QTest::addColumn<QList<QByteArray>>("arrivals");
        QTest::addColumn<int>("lost");
        QTest::addColumn<int>("readSize");
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<QByteArray>("left");

        QTest::newRow("unbounded, in order") << 0 << QList<QByteArray>{"ab", "cde"} << 0 << 4
                                             << QByteArray("abcd") << QByteArray("e");
        QTest::newRow("read more than waits") << 0 << QList<QByteArray>{"xy"} << 0 << 10
                                              << QByteArray("xy") << QByteArray();
        QTest::newRow("read nothing") << 0 << QList<QByteArray>{"xy"} << 0 << 0
                                      << QByteArray() << QByteArray("xy");
        QTest::newRow("NUL bytes kept") << 0 << QList<QByteArray>{QByteArray("\0\x01\0", 3)} << 0 << 2
                                        << QByteArray("\0\x01", 2) << QByteArray(1, '\0');
        QTest::newRow("exactly full") << 4 << QList<QByteArray>{"ab", "cd"} << 0 << 4
                                      << QByteArray("abcd") << QByteArray();
        QTest::newRow("overflow keeps the oldest") << 4 << QList<QByteArray>{"abc", "def"} << 2 << 9
                                                   << QByteArray("abcd") << QByteArray();
        QTest::newRow("full buffer loses all") << 2 << QList<QByteArray>{"ab", "c", "de"} << 3 << 1
                                               << QByteArray("a") << QByteArray("b");
    }
    void arrivalsAndReads()
    {
        QFETCH(int, bound);
        QFETCH(QList<QByteArray>, arrivals);
        QFETCH(int, lost);
        QFETCH(int, readSize);
        QFETCH(QByteArray, read);
        QFETCH(QByteArray, left);

        ReceiveBuffer buffer(bound);
        qsizetype lostSoFar = 0;
        for (const QByteArray& bytes : arrivals)
            lostSoFar += buffer.append(bytes);
        QCOMPARE(lostSoFar, qsizetype(lost));
        QCOMPARE(buffer.read(readSize), read);
        QCOMPARE(buffer.waiting(), left.size());
        QCOMPARE(buffer.read(buffer.waiting()), left);
    }

    // Reading makes room again, and clearing empties it.
    void roomComesBackAfterReading()
    {
        ReceiveBuffer buffer(3);
        QCOMPARE(buffer.append("abcd"), qsizetype(1));
        QCOMPARE(buffer.read(2), QByteArray("ab"));
        QCOMPARE(buffer.append("xyz"), qsizetype(1));
        QCOMPARE(buffer.read(9), QByteArray("cxy"));
        buffer.append("q");
        buffer.clear();
        QCOMPARE(buffer.waiting(), qsizetype(0));
        QCOMPARE(buffer.append("rst"), qsizetype(0));
    }
};

QTEST_GUILESS_MAIN(TestReceiveBuffer)
#include "tst_receivebuffer.moc"
