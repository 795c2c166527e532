// COM ports on Windows: the numbers 1 to 16 are the system's own COM names,
// and on a machine that has none of them the start-up probe finds every one
// missing, says so in each port's description, and leaves the program
// without a port. Run under Wine with every host serial device hidden.

#include "link/Module1.h"
#include "link/PortNames.h"
#include "link/QtSerialControl.h"
#include "tests/support/RecordingViews.h"

#include <QSerialPortInfo>
#include <QTest>
#include <map>

namespace {

// What the probe tells the settings dialog about each port.
class ChooserRecord : public PortChooser {
public:
    std::map<int, bool> enabled;
    std::map<int, QString> tooltip;

    void setComSelEnabled(int port, bool on) override { enabled[port] = on; }
    void describeComSel(int port, const QString& device, PortProblem problem) override
    {
        tooltip[port] = portTooltip(device, problem);
    }
    void selectComSel(int) override {}
    void selectBaudOption(int) override {}
};

} // namespace

class TestWindowsPorts : public QObject {
    Q_OBJECT

private slots:
    void comNumbersAreTheSystemsNames();
    void probeFindsEveryPortMissing();
};

void TestWindowsPorts::comNumbersAreTheSystemsNames()
{
    for (int n = 1; n <= 16; ++n)
        QCOMPARE(deviceForComPort(n), QStringLiteral("COM%1").arg(n));
    QVERIFY(deviceForComPort(0).isEmpty());
    QVERIFY(deviceForComPort(17).isEmpty());

    const QtSerialControl comm;
    QCOMPARE(comm.deviceName(9), QStringLiteral("COM9"));
    QCOMPARE(comm.deviceName(16), QStringLiteral("COM16"));
}

void TestWindowsPorts::probeFindsEveryPortMissing()
{
    // The run hides every serial device of the host; one seen here means the
    // rig leaks the machine's ports, and the probe below would open them.
    QStringList visible;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
        visible << port.portName();
    QVERIFY2(visible.isEmpty(), qPrintable(visible.join(QLatin1Char(' '))));

    QtSerialControl comm;
    RecordingViews views;
    ChooserRecord chooser;
    views.chooser = &chooser;
    Module1 m(comm, views);
    m.InitSerialLink();

    for (int n = 1; n <= 16; ++n) {
        QCOMPARE(m.PortExists[n], False);
        QCOMPARE(m.PortFault[n], PortProblem::Missing);
        QCOMPARE(chooser.enabled[n], false);
        QCOMPARE(chooser.tooltip[n], QStringLiteral("COM%1 (missing)").arg(n));
    }
    QCOMPARE(m.LastPort, 0);
    QCOMPARE(m.SelPort, 0);
    QVERIFY(!comm.PortOpen());
    QCOMPARE(comm.lastOpenProblem(), PortProblem::Missing);
}

QTEST_GUILESS_MAIN(TestWindowsPorts)
#include "tst_windows_ports.moc"
