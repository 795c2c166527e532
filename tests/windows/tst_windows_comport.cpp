// The serial control on a COM port, through Qt Serial Port's Windows code,
// with a pseudo-terminal as the far end (com-over-pty.sh links COMn to one
// that com_far_end.py makes, and names its state folder here). What Wine
// carries: opening COMn and the error for a port that is not there, the line
// settings as far as a pseudo-terminal keeps them (rate, stop bits, odd
// parity), every byte written arriving, and a far
// end that goes away becoming a lost port at the next write. Reading is not
// tried: Wine 8.0 never delivers a COM port's input to Qt.

#include "link/QtSerialControl.h"
#include "tests/support/Wait.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int kFarEndMs = 10000;

// The far end's state folder and the COM number linked to it.
QString farEnd() { return qEnvironmentVariable("ZOLT_FAR_END"); }
int farPort() { return qEnvironmentVariableIntValue("ZOLT_FAR_END_PORT"); }

QByteArray farFile(const QString& name)
{
    QFile f(QDir(farEnd()).filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A control open on the far end's port.
struct OpenPort {
    QtSerialControl comm;
    OpenPort()
    {
        comm.setCommPort(farPort());
        comm.setPortOpen(true);
    }
};

} // namespace

class TestWindowsComPort : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void opensTheLinkedPortAndNamesAMissingOne();
    void lineSettingsReachTheFarEnd_data();
    void lineSettingsReachTheFarEnd();
    void everyByteWrittenArrives();
    void aFarEndGoneIsALostPortAtTheNextWrite();
};

void TestWindowsComPort::initTestCase()
{
    if (farEnd().isEmpty() || farPort() < SerialControl::kMinPort || farPort() > SerialControl::kMaxPort)
        QSKIP("no far end: run under com-over-pty.sh");
}

void TestWindowsComPort::opensTheLinkedPortAndNamesAMissingOne()
{
    OpenPort linked;
    QVERIFY2(linked.comm.PortOpen(), qPrintable(linked.comm.lastError()));
    QCOMPARE(linked.comm.lastOpenProblem(), PortProblem::None);

    // The next number has no link: missing, not a failure of another kind.
    QtSerialControl missing;
    QVERIFY(missing.setCommPort(farPort() % SerialControl::kMaxPort + 1));
    QVERIFY(!missing.setPortOpen(true));
    QCOMPARE(missing.lastOpenProblem(), PortProblem::Missing);
    QCOMPARE(missing.lastError(), QStringLiteral("missing"));
}

void TestWindowsComPort::lineSettingsReachTheFarEnd_data()
{
    QTest::addColumn<QString>("settings");
    // As a pseudo-terminal keeps them: the rate, the stop bits, and whether
    // the parity is odd (it keeps 8 data bits and no parity whatever is set).
    QTest::addColumn<QByteArray>("seen");
    QTest::newRow("the module's own") << "9600,N,8,1" << QByteArray("9600 1 -");
    QTest::newRow("fast, even, 7 bits") << "115200,E,7,1" << QByteArray("115200 1 -");
    QTest::newRow("slow, odd") << "1200,O,8,1" << QByteArray("1200 1 odd");
    QTest::newRow("two stop bits") << "2400,N,8,2" << QByteArray("2400 2 -");
}

void TestWindowsComPort::lineSettingsReachTheFarEnd()
{
    QFETCH(QString, settings);
    QFETCH(QByteArray, seen);
    OpenPort port;
    QVERIFY2(port.comm.PortOpen(), qPrintable(port.comm.lastError()));
    // Set while open, as the program changes them; a byte after them makes
    // the far end look.
    QVERIFY2(port.comm.setSettings(settings), qPrintable(port.comm.lastError()));
    const qsizetype before = farFile(QStringLiteral("received")).size();
    port.comm.setOutput(QByteArray("S"));
    QVERIFY(testwait::until([&] { return farFile(QStringLiteral("received")).size() > before; }, kFarEndMs));
    QCOMPARE(farFile(QStringLiteral("lines")).trimmed(), seen);
}

void TestWindowsComPort::everyByteWrittenArrives()
{
    OpenPort port;
    QVERIFY2(port.comm.PortOpen(), qPrintable(port.comm.lastError()));
    QVERIFY(port.comm.setSettings(QStringLiteral("115200,N,8,1")));
    const QByteArray before = farFile(QStringLiteral("received"));
    // Every byte value, in writes of several sizes, none waited for.
    QByteArray sent;
    for (int round = 0; round < 8; ++round) {
        QByteArray chunk;
        for (int b = 0; b < 256; ++b)
            chunk.append(static_cast<char>((b + 37 * round) & 0xFF));
        for (qsizetype at = 0; at < chunk.size(); at += 1 + 29 * round) {
            const QByteArray piece = chunk.mid(at, 1 + 29 * round);
            port.comm.setOutput(piece);
            sent += piece;
        }
    }
    QVERIFY(testwait::until([&] { return farFile(QStringLiteral("received")).size() >= before.size() + sent.size(); },
                            kFarEndMs));
    QCOMPARE(farFile(QStringLiteral("received")).mid(before.size()), sent);
}

// Last: the far end leaves for good.
void TestWindowsComPort::aFarEndGoneIsALostPortAtTheNextWrite()
{
    OpenPort port;
    QVERIFY2(port.comm.PortOpen(), qPrintable(port.comm.lastError()));
    QSignalSpy lost(&port.comm, &SerialControl::portLost);
    port.comm.setOutput(QByteArray("CLOSE!"));
    QVERIFY(testwait::until([&] { return QFile::exists(QDir(farEnd()).filePath(QStringLiteral("closed"))); },
                            kFarEndMs));
    port.comm.setOutput(QByteArray("x"));
    QVERIFY(testwait::until([&] { return lost.size() == 1; }, kFarEndMs));
    QVERIFY(!port.comm.PortOpen());
    QVERIFY(port.comm.watchingForReturn());
}

QTEST_GUILESS_MAIN(TestWindowsComPort)
#include "tst_windows_comport.moc"
