// The zoltctl program itself, run as a script would run it: on the simulated
// module, on pseudo-terminals the test makes, and through every error path.
// No test lets it near the machine's own ports: every run has a COM folder of
// the test's own (empty unless the test fills it).

#include "sim/EventLoopWait.h"
#include "sim/PtyModule.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/PtyPair.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

constexpr int kRunMs = 20000;
constexpr int kUsage = 2;
constexpr int kPort = 3;
constexpr int kNoModule = 4;
constexpr int kNoReply = 5;
constexpr int kOutput = 6;

using Result = ProgramResult;

// A pseudo-terminal with nobody behind it: whatever is sent goes unanswered.
using SilentPty = PtyPair;

QByteArray fileText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QByteArray> rowsOf(const QByteArray& text)
{
    QList<QByteArray> rows = text.split('\n');
    if (!rows.isEmpty() && rows.last().isEmpty())
        rows.removeLast();
    return rows;
}

const QRegularExpression kIsoTime(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)"));

} // namespace

class TestZoltCtl : public QObject {
    Q_OBJECT

private slots:
    void init();

    void readsOnTheSimulatedModule();
    void digitalLinesOnTheSimulatedModule_data();
    void digitalLinesOnTheSimulatedModule();
    void analogOutputs_data();
    void analogOutputs();
    void portsOnTheSimulatedModule();
    void portsThroughTheDeviceFolder();

    void sampleToStandardOutput();
    void sampleToAFileEndsCleanlyOnSigterm_data();
    void sampleToAFileEndsCleanlyOnSigterm();
    void sampleEndsAfterItsDuration();
    void aSetupScalesReadingsAndTravelsWithTheRows_data();
    void aSetupScalesReadingsAndTravelsWithTheRows();

    void usageAndPortErrors_data();
    void usageAndPortErrors();
    void noModuleOnAPseudoTerminal();
    void repliesThatNeverCome_data();
    void repliesThatNeverCome();
    void portInUse();
    void portNotPermitted();
    void portLostWhileSampling();
    void sampleWaitsForALostPort();

    void overAPseudoTerminal();

private:
    QProcess* start(const QStringList& args);
    Result finish(QProcess* process, int timeoutMs = kRunMs);
    Result zoltctl(const QStringList& args, int timeoutMs = kRunMs) { return finish(start(args), timeoutMs); }
    // One line on standard error, and the status expected.
    void checkFailure(const Result& r, int status, const QString& says);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_comDir;
};

void TestZoltCtl::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_comDir = m_dir->filePath(QStringLiteral("com"));
    QVERIFY(QDir().mkpath(m_comDir));
}

QProcess* TestZoltCtl::start(const QStringList& args)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("ZOLTCTL_DEVICE_DIR"), m_comDir);
    return startProgram(this, QStringLiteral(ZOLTCTL_EXE), args, environmentWith(env));
}

Result TestZoltCtl::finish(QProcess* process, int timeoutMs)
{
    return finishProgram(process, timeoutMs);
}

void TestZoltCtl::checkFailure(const Result& r, int status, const QString& says)
{
    const QString mismatch = failureMismatch(r, "zoltctl", status, says);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

// ---------------------------------------------------------------- subcommands

void TestZoltCtl::readsOnTheSimulatedModule()
{
    Result r = zoltctl({"--simulate", "read"});
    QCOMPARE(r.status, 0);
    QList<QByteArray> rows = rowsOf(r.out);
    QCOMPARE(rows.size(), 1 + 7);
    // Input 2 of the simulated module holds 1234 counts: 1507 mV.
    QCOMPARE(rows.at(3).simplified(), QByteArray("2 1234 1507"));
    QCOMPARE(rows.at(7).simplified(), QByteArray("6 0 0"));

    r = zoltctl({"--simulate", "--baud", "2400", "read", "--channels", "2", "--digital"});
    QCOMPARE(r.status, 0);
    rows = rowsOf(r.out);
    QCOMPARE(rows.size(), 1 + 3 + 1 + 3);
    QCOMPARE(rows.at(3).simplified(), QByteArray("2 1234 1507"));
    QCOMPARE(rows.at(4).simplified(), QByteArray("line level"));
    QVERIFY(rows.at(5).simplified().startsWith("3 "));
}

void TestZoltCtl::digitalLinesOnTheSimulatedModule_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("line3");
    // The simulated module loops the output back to line 3, and each run
    // starts it afresh with the output low.
    QTest::newRow("din") << QStringList{"--simulate", "din"} << QByteArray("3 0");
    QTest::newRow("dout on") << QStringList{"--simulate", "dout", "on"} << QByteArray("3 1");
    QTest::newRow("dout off") << QStringList{"--simulate", "dout", "off"} << QByteArray("3 0");
}

void TestZoltCtl::digitalLinesOnTheSimulatedModule()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, line3);
    const Result r = zoltctl(args);
    QCOMPARE(r.status, 0);
    const QList<QByteArray> rows = rowsOf(r.out);
    const QList<QByteArray> lines = rows.mid(rows.size() - 4);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0).simplified(), QByteArray("line level"));
    QCOMPARE(lines.at(1).simplified(), line3);
    QVERIFY(lines.at(3).simplified().startsWith("5 "));
    if (args.contains("dout"))
        QCOMPARE(rows.first(), args.last() == "on" ? QByteArray("output line 3 on") : QByteArray("output line 3 off"));
}

void TestZoltCtl::analogOutputs_data()
{
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("millivolts");
    QTest::addColumn<QByteArray>("printed");
    QTest::newRow("0 mV") << "0" << "0" << QByteArray("output 0: range 0, code 0, 0.0 mV\n");
    QTest::newRow("1000 mV") << "1" << "1000" << QByteArray("output 1: range 0, code 68, 1000.3 mV\n");
    QTest::newRow("top of range 0") << "2" << "3750" << QByteArray("output 2: range 0, code 255, 3751.1 mV\n");
    QTest::newRow("bottom of range 1") << "3" << "3751" << QByteArray("output 3: range 1, code 127, 3736.3 mV\n");
    QTest::newRow("4300 mV") << "0" << "4300" << QByteArray("output 0: range 1, code 146, 4295.3 mV\n");
}

void TestZoltCtl::analogOutputs()
{
    QFETCH(QString, channel);
    QFETCH(QString, millivolts);
    QFETCH(QByteArray, printed);
    const Result r = zoltctl({"--simulate", "dac", channel, millivolts});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, printed);
    QVERIFY(r.err.isEmpty());
}

void TestZoltCtl::portsOnTheSimulatedModule()
{
    const Result r = zoltctl({"--simulate", "ports", "--json"});
    QCOMPARE(r.status, 0);
    const QJsonArray ports = QJsonDocument::fromJson(r.out).array();
    QCOMPARE(ports.size(), 16);
    for (int n = 1; n <= 16; ++n) {
        const QJsonObject p = ports.at(n - 1).toObject();
        QCOMPARE(p.value("port").toString(), QStringLiteral("COM%1").arg(n));
        QCOMPARE(p.value("opens").toBool(), n == 2);
        if (n == 2) {
            QVERIFY(p.value("dsr").toBool());
            QVERIFY(p.value("cts").toBool());
        } else {
            QCOMPARE(p.value("problem").toString(), QStringLiteral("missing"));
        }
    }
    const Result text = zoltctl({"--simulate", "ports"});
    QCOMPARE(text.status, 0);
    QCOMPARE(rowsOf(text.out).size(), 1 + 16);
    QVERIFY(text.out.contains("opens, DSR held, CTS held"));
}

void TestZoltCtl::portsThroughTheDeviceFolder()
{
    SilentPty free;
    SilentPty busy;
    QVERIFY(free.ok() && busy.ok());
    QVERIFY(QFile::link(free.slave(), m_comDir + "/COM3"));
    QVERIFY(QFile::link(busy.slave(), m_comDir + "/COM5"));
    QVERIFY(QFile::link(m_comDir + "/gone", m_comDir + "/COM7"));   // a link to nothing
    QSerialPort holder(m_comDir + "/COM5");
    QVERIFY(holder.open(QIODevice::ReadWrite));

    const Result r = zoltctl({"ports", "--json"});
    QCOMPARE(r.status, 0);
    const QJsonArray ports = QJsonDocument::fromJson(r.out).array();
    QCOMPARE(ports.size(), 16);
    const QJsonObject com3 = ports.at(2).toObject();
    QCOMPARE(com3.value("device").toString(), m_comDir + "/COM3");
    QVERIFY(com3.value("opens").toBool());
    QVERIFY(!com3.value("dsr").toBool());   // a pseudo-terminal has no modem lines
    QVERIFY(!com3.value("cts").toBool());
    QCOMPARE(ports.at(4).toObject().value("problem").toString(), QStringLiteral("in use"));
    QCOMPARE(ports.at(6).toObject().value("problem").toString(), QStringLiteral("missing"));
    QCOMPARE(ports.at(0).toObject().value("problem").toString(), QStringLiteral("missing"));
}

// ---------------------------------------------------------------- sampling

void TestZoltCtl::sampleToStandardOutput()
{
    const Result r = zoltctl({"--simulate", "sample", "--interval", "max", "--count", "10", "--channels", "2", "--digital"});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.err.isEmpty(), r.err.constData());   // the rows are on standard output: no progress line
    const QList<QByteArray> rows = rowsOf(r.out);
    QCOMPARE(rows.size(), 1 + 10);
    QCOMPARE(rows.first(), QByteArray("time,seconds,ch0_count,ch0_mv,ch1_count,ch1_mv,ch2_count,ch2_mv,din3,din4,din5"));
    double last = -1;
    for (const QByteArray& row : rows.mid(1)) {
        const QList<QByteArray> cells = row.split(',');
        QCOMPARE(cells.size(), 11);
        QVERIFY2(kIsoTime.match(QString::fromLatin1(cells.at(0))).hasMatch(), row.constData());
        const double seconds = cells.at(1).toDouble();
        QVERIFY(seconds >= last);
        last = seconds;
        QCOMPARE(cells.at(6), QByteArray("1234"));
        QCOMPARE(cells.at(7), QByteArray("1507"));
        QCOMPARE(cells.at(8), QByteArray("0"));
    }
}

void TestZoltCtl::sampleToAFileEndsCleanlyOnSigterm_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("csv") << "csv";
    QTest::newRow("jsonl") << "jsonl";
}

void TestZoltCtl::sampleToAFileEndsCleanlyOnSigterm()
{
    QFETCH(QString, format);
    const QString path = m_dir->filePath("run." + format);
    QProcess* process = start({"--simulate", "sample", "--interval", "max", "--format", format, "--output", path});
    // Rows reach the file while the run goes on: each is flushed as it comes.
    QVERIFY(runUntil([&] { return rowsOf(fileText(path)).size() >= 6; }, kRunMs));
    QCOMPARE(process->state(), QProcess::Running);
    process->terminate();
    const Result r = finish(process);
    QVERIFY(!r.crashed);
    QCOMPARE(r.status, 0);

    const QByteArray text = fileText(path);
    QVERIFY(text.endsWith('\n'));   // the last row whole
    QList<QByteArray> rows = rowsOf(text);
    if (format == "csv") {
        QVERIFY(rows.takeFirst().startsWith("time,seconds,ch0_count"));
        for (const QByteArray& row : rows)
            QCOMPARE(row.count(','), 1 + 2 * 7);
    } else {
        for (const QByteArray& row : rows) {
            QJsonParseError error{};
            const QJsonObject o = QJsonDocument::fromJson(row, &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            QCOMPARE(o.value("ch2_count").toInt(), 1234);
            QVERIFY(kIsoTime.match(o.value("time").toString()).hasMatch());
        }
    }
    // The progress line counts exactly the rows in the file.
    const QList<QByteArray> progress = rowsOf(r.err);
    QVERIFY(!progress.isEmpty());
    QVERIFY2(progress.last().startsWith(QByteArray::number(rows.size()) + " rows, "), r.err.constData());
    QVERIFY(progress.last().endsWith(" missed"));
}

void TestZoltCtl::sampleEndsAfterItsDuration()
{
    const QString path = m_dir->filePath("timed.csv");
    const Result r = zoltctl({"--simulate", "sample", "--interval", "max", "--duration", "0.4", "--output", path});
    QCOMPARE(r.status, 0);
    const QList<QByteArray> rows = rowsOf(fileText(path));
    QVERIFY(rows.size() > 2);
    QVERIFY(rows.last().split(',').at(1).toDouble() < 0.5);   // ended by itself, near its time
}

// Input 2 as a thermometer through 400 mV at 0 °C and 2400 mV at 100 °C, line 4 a door.
const QByteArray kBenchSetup = R"({"format": 1,
  "inputs": [{"input": 2, "name": "boiler", "unit": "°C",
              "calibration": [{"mv": 400, "value": 0}, {"mv": 2400, "value": 100}]}],
  "lines": [{"line": 4, "name": "door", "low": "closed", "high": "open"}]})";

void TestZoltCtl::aSetupScalesReadingsAndTravelsWithTheRows_data()
{
    QTest::addColumn<QString>("format");   // empty: read
    QTest::newRow("read") << QString();
    QTest::newRow("csv") << "csv";
    QTest::newRow("jsonl") << "jsonl";
}

void TestZoltCtl::aSetupScalesReadingsAndTravelsWithTheRows()
{
    QFETCH(QString, format);
    const QString setup = m_dir->filePath("bench.json");
    QFile f(setup);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(kBenchSetup) == kBenchSetup.size());
    f.close();
    // The simulated module's 1507 mV on input 2: 0.05 x 1507 - 20 = 55.35 °C.
    if (format.isEmpty()) {
        const Result r = zoltctl({"--simulate", "--setup", setup, "read", "--channels", "2", "--digital"});
        QCOMPARE(r.status, 0);
        const QList<QByteArray> rows = rowsOf(r.out);
        QCOMPARE(rows.at(3).simplified(), QByteArray("2 1234 1507 55.35 °C boiler"));
        const QList<QByteArray> ch0 = rows.at(1).simplified().split(' ');
        QCOMPARE(ch0.at(3), ch0.at(2));   // the defaults: gain 1, in mV
        QCOMPARE(ch0.mid(4), (QList<QByteArray>{"mV", "ch0"}));
        QCOMPARE(rows.at(6).simplified(), QByteArray("4 0 closed door"));
    } else {
        const QString out = m_dir->filePath("run." + format);
        const Result r = zoltctl({"--simulate", "sample", "--setup", setup, "--interval", "max", "--count", "3",
                                  "--channels", "2", "--digital", "--format", format, "--output", out});
        QCOMPARE(r.status, 0);
        QList<QByteArray> rows = rowsOf(fileText(out));
        QCOMPARE(rows.size(), format == "csv" ? 4 : 3);
        if (format == "csv") {
            // Every column as before, the values after them all.
            QCOMPARE(rows.takeFirst(), QByteArray("time,seconds,ch0_count,ch0_mv,ch1_count,ch1_mv,ch2_count,ch2_mv,"
                                                  "din3,din4,din5,ch0_value,ch1_value,ch2_value"));
            for (const QByteArray& row : rows) {
                const QList<QByteArray> cells = row.split(',');
                QCOMPARE(cells.size(), 14);
                QCOMPARE(cells.at(11), cells.at(3));   // gain 1: the millivolts
                QCOMPARE(cells.at(13), QByteArray("55.35"));
            }
        } else {
            for (const QByteArray& row : rows) {
                const QJsonObject o = QJsonDocument::fromJson(row).object();
                QCOMPARE(o.value("ch2_mv").toInt(), 1507);
                QCOMPARE(o.value("ch2_value").toDouble(), 55.35);
                QVERIFY(!o.contains("ch3_value"));
                QVERIFY(row.endsWith(",\"ch2_value\":55.35}"));
            }
        }
        // The setup beside the rows, as read.
        QJsonObject sidecar = QJsonDocument::fromJson(fileText(out + ".setup.json")).object();
        QCOMPARE(sidecar.value("format").toInt(), 1);
        const QJsonObject input2 = sidecar.value("inputs").toArray().at(2).toObject();
        QCOMPARE(input2.value("name").toString(), QStringLiteral("boiler"));
        QCOMPARE(input2.value("gain").toDouble(), 0.05);
    }
    // A setup with a mistake: refused with its line, before anything is sampled.
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("{\"format\": 1,\n\"inputs\": [{\"input\": 2,\n\"gain\": 0}]}");
    f.close();
    const QStringList command = format.isEmpty() ? QStringList{"read"} : QStringList{"sample", "--count", "1"};
    checkFailure(zoltctl(QStringList{"--simulate", "--setup", setup} + command), kUsage,
                 "line 2: inputs[0]: the gain must be a number other than 0");
}

// ---------------------------------------------------------------- errors

void TestZoltCtl::usageAndPortErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::newRow("no command") << QStringList{} << kUsage << "no command";
    QTest::newRow("unknown command") << QStringList{"--simulate", "scan"} << kUsage << "unknown command";
    QTest::newRow("unknown option") << QStringList{"--simulate", "read", "--quick"} << kUsage << "quick";
    QTest::newRow("bad interval") << QStringList{"--simulate", "sample", "--interval", "2s"} << kUsage << "--interval";
    QTest::newRow("no such device") << QStringList{"--device", "/nonexistent/tty", "read"} << kPort
                                    << "/nonexistent/tty: missing";
    QTest::newRow("no such COM port") << QStringList{"--port", "COM4", "din"} << kPort << "COM4";
    QTest::newRow("simulated module is on COM2") << QStringList{"--simulate", "--port", "COM3", "read"} << kPort
                                                 << "COM3: missing";
    QTest::newRow("no port at all") << QStringList{"read"} << kPort << "16 missing";
    QTest::newRow("output cannot be made")
        << QStringList{"--simulate", "sample", "--count", "1", "--output", "/nonexistent/dir/run.csv"} << kOutput
        << "cannot write /nonexistent/dir/run.csv";
}

void TestZoltCtl::usageAndPortErrors()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, says);
    const Result r = zoltctl(args);
    checkFailure(r, status, says);
    QVERIFY(r.out.isEmpty());
}

void TestZoltCtl::noModuleOnAPseudoTerminal()
{
    SilentPty pty;
    QVERIFY(pty.ok());
    const Result r = zoltctl({"--device", pty.slave(), "read"});
    checkFailure(r, kNoModule, "DSR not held, CTS not held");
}

void TestZoltCtl::repliesThatNeverCome_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");
    QTest::newRow("read") << QStringList{"read"} << "to the analog read";
    QTest::newRow("din at 2400") << QStringList{"--baud", "2400", "din"} << "to the digital read";
    QTest::newRow("dout") << QStringList{"dout", "on"} << "read-back";
    QTest::newRow("sample") << QStringList{"sample", "--interval", "max", "--duration", "0.6"} << "went unanswered";
}

void TestZoltCtl::repliesThatNeverCome()
{
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    SilentPty pty;
    QVERIFY(pty.ok());
    const Result r = zoltctl(QStringList{"--device", pty.slave(), "--no-presence-check"} + args);
    checkFailure(r, kNoReply, says);
    if (args.first() == "sample")
        QCOMPARE(rowsOf(r.out).size(), 1);   // the header, and no row made up
}

void TestZoltCtl::portInUse()
{
    PtyModule module(ZoltWire::Timing::ZeroTime);
    QVERIFY(module.isOpen());
    QSerialPort holder(module.devicePath());
    QVERIFY(holder.open(QIODevice::ReadWrite));
    checkFailure(zoltctl({"--device", module.devicePath(), "--no-presence-check", "din"}), kPort, "in use");
    holder.close();
    QCOMPARE(zoltctl({"--device", module.devicePath(), "--no-presence-check", "din"}).status, 0);
}

void TestZoltCtl::portNotPermitted()
{
    if (::geteuid() == 0)
        QSKIP("root may open any device");
    SilentPty pty;
    QVERIFY(pty.ok());
    const QString node = m_dir->filePath("locked");
    QVERIFY(QFile::link(pty.slave(), node));
    QVERIFY(QFile::setPermissions(pty.slave(), QFileDevice::ReadOwner));
    checkFailure(zoltctl({"--device", node, "--no-presence-check", "din"}), kPort, "permission denied");
}

void TestZoltCtl::portLostWhileSampling()
{
    SilentPty pty;
    QVERIFY(pty.ok());
    QProcess* process =
        start({"--device", pty.slave(), "--no-presence-check", "sample", "--interval", "max", "--exit-on-loss"});
    QVERIFY(process->waitForStarted());
    runFor(500);   // the port open and the first requests missed
    pty.closeMaster();
    checkFailure(finish(process), kPort, "lost");
}

void TestZoltCtl::sampleWaitsForALostPort()
{
    // COM2 is a link to the module's pseudo-terminal, as an adapter's name
    // stays the same when it is plugged in again.
    const QString com2 = m_comDir + "/COM2";
    auto module = std::make_unique<PtyModule>(ZoltWire::Timing::Wire);
    QVERIFY2(module->isOpen(), qPrintable(module->errorString()));
    QVERIFY(QFile::link(module->devicePath(), com2));
    const QString path = m_dir->filePath("gap.csv");
    QProcess* process = start({"--port", "COM2", "--no-presence-check", "sample", "--interval", "max", "--channels",
                               "0", "--duration", "8", "--output", path});
    QVERIFY(process->waitForStarted());
    QVERIFY(runUntil([&] { return rowsOf(fileText(path)).size() > 10; }, kRunMs));

    module.reset();   // pulled out: the device and its name go
    QVERIFY(QFile::remove(com2));
    runFor(1000);
    const qsizetype rowsBefore = rowsOf(fileText(path)).size();
    module = std::make_unique<PtyModule>(ZoltWire::Timing::Wire);
    QVERIFY(QFile::link(module->devicePath(), com2));
    QVERIFY(runUntil([&] { return rowsOf(fileText(path)).size() > rowsBefore + 10; }, kRunMs));

    const Result r = finish(process);
    QVERIFY(!r.crashed);
    QCOMPARE(r.status, 0);
    QVERIFY2(r.err.contains("the port is lost: waiting for it to return"), r.err.constData());
    // The seconds column shows the gap: one step of about a second or more.
    double last = -1;
    double widest = 0;
    for (const QByteArray& row : rowsOf(fileText(path)).mid(1)) {
        const double seconds = row.split(',').value(1).toDouble();
        if (last >= 0)
            widest = std::max(widest, seconds - last);
        last = seconds;
    }
    QVERIFY2(widest >= 0.9, qPrintable(QString::number(widest)));
}

// ---------------------------------------------------------------- a real tty

void TestZoltCtl::overAPseudoTerminal()
{
    PtyModule module(ZoltWire::Timing::Wire);
    QVERIFY2(module.isOpen(), qPrintable(module.errorString()));
    const QStringList device{"--device", module.devicePath(), "--no-presence-check"};

    const QString path = m_dir->filePath("pty.jsonl");
    Result r = zoltctl(device + QStringList{"--baud", "4800", "sample", "--interval", "max", "--count", "20",
                                            "--channels", "3", "--digital", "--format", "jsonl", "--output", path});
    QCOMPARE(r.status, 0);
    QCOMPARE(rowsOf(fileText(path)).size(), 20);
    QCOMPARE(module.wire().baud(), 4800);
    // A busy machine may make a reply miss its deadline; each miss costs one
    // cycle, and the progress line says how many there were.
    const QRegularExpressionMatch progress =
        QRegularExpression(QStringLiteral(R"(^20 rows, [0-9.]+ rows/s, (\d+) missed$)"))
            .match(QString::fromLocal8Bit(rowsOf(r.err).value(rowsOf(r.err).size() - 1)));
    QVERIFY2(progress.hasMatch(), r.err.constData());
    const int missed = progress.captured(1).toInt();
    int analog = 0;
    int digital = 0;
    for (const auto& e : module.wire().exchanges()) {
        analog += e.command.kind == ZoltModel::Kind::ReadAnalog && e.command.bytes == QByteArray("!0RA\x03", 5);
        digital += e.command.kind == ZoltModel::Kind::ReadDigital;
    }
    QCOMPARE(analog, 20 + missed);
    QVERIFY(digital >= 20 && digital <= analog);

    r = zoltctl(device + QStringList{"dac", "1", "2500"});
    QCOMPARE(r.status, 0);
    // The module acts once the last byte has crossed the simulated line.
    QVERIFY(runUntil([&] { return module.model().outputCode(1) == 170; }, 1000));
    QCOMPARE(module.model().outputRange(1), 0);

    // Without --port or --device the port is chosen as ZOLTrc chooses it,
    // here the only one in the folder.
    QVERIFY(QFile::link(module.devicePath(), m_comDir + "/COM9"));
    r = zoltctl({"--no-presence-check", "dout", "on"});
    QCOMPARE(r.status, 0);
    QCOMPARE(module.model().outputByte(), 0x08);
    QCOMPARE(rowsOf(r.out).at(2).simplified(), QByteArray("3 1"));
}

QTEST_GUILESS_MAIN(TestZoltCtl)
#include "tst_zoltctl.moc"
