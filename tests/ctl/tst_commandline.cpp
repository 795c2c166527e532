// zoltctl's command line without a port: each command reads its own options
// and arguments, and the exit statuses are described once.

#include "ctl/DacCommand.h"
#include "ctl/DigitalCommands.h"
#include "ctl/PortsCommand.h"
#include "ctl/ReadCommand.h"
#include "ctl/SampleCommand.h"
#include "ctl/ZoltCtl.h"

#include <QCommandLineParser>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTest>

using namespace front;
using namespace zoltctl;

namespace {

Invocation parse(const QStringList& words)
{
    return readCommandLine(QStringList{QStringLiteral("zoltctl")} + words);
}

template <typename C>
const C& commandOf(const Invocation& invocation)
{
    const auto* command = dynamic_cast<const C*>(invocation.command.get());
    if (!command)
        qFatal("not the command expected");
    return *command;
}

QString sourceText(const char* path)
{
    QFile file(QStringLiteral(ZOLT_SOURCE_DIR "/") + QLatin1String(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Status and meaning, as the program describes them.
QMap<int, QString> statusTable()
{
    QMap<int, QString> table;
    for (const ExitStatusMeaning& e : kExitStatuses)
        table.insert(code(e.status), QLatin1String(e.meaning));
    return table;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void goodLines();
    void badLines_data();
    void badLines();
    void helpAndVersion();
    void linkOptionsForAnotherProgram();
    void exitStatusesDescribedOnce();
};

void TestCommandLine::goodLines()
{
    {
        const Invocation p = parse({"--simulate", "sample", "--count", "100", "--output", "run.csv"});
        QCOMPARE(p.action, Invocation::Action::Run);
        const auto& sample = commandOf<SampleCommand>(p);
        QVERIFY(sample.linkOptions().simulate);
        QCOMPARE(sample.settings().count, 100);
        QCOMPARE(sample.settings().output, QStringLiteral("run.csv"));
        QCOMPARE(sample.settings().intervalMs, kHalfSecondMs);   // the main window's pause
        QCOMPARE(sample.settings().topChannel, 6);
        QCOMPARE(sample.settings().format, Format::Csv);
        QCOMPARE(sample.linkOptions().baud, 9600);
        QVERIFY(sample.linkOptions().presenceCheck);
    }
    {
        // Link options before or after the command's name alike.
        const Invocation p = parse({"--device", "/dev/pts/7", "--no-presence-check", "sample", "--baud", "2400",
                                    "--interval", "max", "--duration", "2.5", "--format", "jsonl", "--channels",
                                    "0", "--digital"});
        QCOMPARE(p.action, Invocation::Action::Run);
        const auto& sample = commandOf<SampleCommand>(p);
        QCOMPARE(sample.linkOptions().device, QStringLiteral("/dev/pts/7"));
        QVERIFY(!sample.linkOptions().presenceCheck);
        QCOMPARE(sample.linkOptions().baud, 2400);
        QCOMPARE(sample.settings().intervalMs, kMaxSpeedMs);
        QCOMPARE(sample.settings().durationS, 2.5);
        QCOMPARE(sample.settings().format, Format::Jsonl);
        QCOMPARE(sample.settings().topChannel, 0);
        QVERIFY(sample.settings().digital);
    }
    {
        const Invocation p = parse({"--port", "com12", "dac", "3", "0045"});
        QCOMPARE(p.action, Invocation::Action::Run);
        const auto& dac = commandOf<DacCommand>(p);
        QCOMPARE(dac.linkOptions().port, 12);
        QCOMPARE(dac.channel(), 3);
        QCOMPARE(dac.millivolts(), 45);
    }
    QVERIFY(commandOf<DoutCommand>(parse({"--simulate", "dout", "on"})).high());
    QVERIFY(!commandOf<DoutCommand>(parse({"--simulate", "dout", "off"})).high());
    QCOMPARE(commandOf<DacCommand>(parse({"--simulate", "dac", "0", "4300"})).millivolts(), 4300);
    const Invocation read = parse({"read", "--channels", "3", "--digital"});
    QCOMPARE(commandOf<ReadCommand>(read).channels().topChannel, 3);
    QVERIFY(commandOf<ReadCommand>(read).channels().digital);
    QVERIFY(commandOf<PortsCommand>(parse({"ports", "--json", "--simulate"})).json());
    QCOMPARE(parse({"din"}).action, Invocation::Action::Run);
}

void TestCommandLine::badLines_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QString>("says");
    QTest::newRow("nothing") << QStringList{} << "no command";
    QTest::newRow("unknown command") << QStringList{"reed"} << "unknown command 'reed'";
    QTest::newRow("unknown option") << QStringList{"read", "--fast"} << "fast";
    QTest::newRow("extra argument") << QStringList{"read", "now"} << "read takes 0";
    QTest::newRow("dac without value") << QStringList{"dac", "1"} << "dac takes 2";
    QTest::newRow("port and device") << QStringList{"--port", "COM1", "--device", "/dev/x", "read"} << "not both";
    QTest::newRow("simulate and device") << QStringList{"--simulate", "--device", "/dev/x", "read"} << "--simulate";
    QTest::newRow("port 0") << QStringList{"--port", "COM0", "read"} << "COM1 to COM16";
    QTest::newRow("port 17") << QStringList{"--port", "17", "read"} << "COM1 to COM16";
    QTest::newRow("port text") << QStringList{"--port", "ttyS0", "read"} << "COM1 to COM16";
    QTest::newRow("baud 19200") << QStringList{"--baud", "19200", "read"} << "2400, 4800 or 9600";
    QTest::newRow("channels 7") << QStringList{"read", "--channels", "7"} << "0 to 6";
    QTest::newRow("channels -1") << QStringList{"read", "--channels", "-1"} << "0 to 6";
    QTest::newRow("interval word") << QStringList{"sample", "--interval", "fast"} << "--interval";
    QTest::newRow("interval negative") << QStringList{"sample", "--interval", "-5"} << "--interval";
    QTest::newRow("count 0") << QStringList{"sample", "--count", "0"} << "--count";
    QTest::newRow("count text") << QStringList{"sample", "--count", "many"} << "--count";
    QTest::newRow("duration 0") << QStringList{"sample", "--duration", "0"} << "--duration";
    QTest::newRow("duration inf") << QStringList{"sample", "--duration", "inf"} << "--duration";
    QTest::newRow("format xml") << QStringList{"sample", "--format", "xml"} << "csv or jsonl";
    QTest::newRow("dac channel 4") << QStringList{"dac", "4", "100"} << "CHANNEL";
    QTest::newRow("dac over 4300") << QStringList{"dac", "0", "4301"} << "MILLIVOLTS";
    QTest::newRow("dac negative") << QStringList{"dac", "0", "--", "-1"} << "MILLIVOLTS";
    QTest::newRow("dac fraction") << QStringList{"dac", "0", "12.5"} << "MILLIVOLTS";
    QTest::newRow("dac long") << QStringList{"dac", "0", "000001"} << "MILLIVOLTS";
    QTest::newRow("dout level") << QStringList{"dout", "high"} << "on or off";
    // Options that belong to another command are refused, not ignored.
    QTest::newRow("interval on read") << QStringList{"read", "--interval", "max"} << "--interval does not apply to read";
    QTest::newRow("json on read") << QStringList{"read", "--json"} << "--json does not apply";
    QTest::newRow("digital on din") << QStringList{"din", "--digital"} << "--digital does not apply";
    QTest::newRow("port on ports") << QStringList{"ports", "--port", "COM1"} << "--port does not apply";
    QTest::newRow("port before ports") << QStringList{"--port", "COM1", "ports"} << "--port does not apply";
    QTest::newRow("output on read") << QStringList{"read", "--output", "x.csv"} << "--output does not apply";
    QTest::newRow("setup on din") << QStringList{"din", "--setup", "s.json"} << "--setup does not apply";
    QTest::newRow("setup missing") << QStringList{"read", "--setup", "/nonexistent/s.json"} << "cannot read /nonexistent/s.json";
    QTest::newRow("discovery without a broker") << QStringList{"sample", "--mqtt-discovery"} << "needs --mqtt URL";
    QTest::newRow("discovery and its removal")
        << QStringList{"sample", "--mqtt", "mqtt://h/p", "--mqtt-discovery", "--mqtt-discovery-remove"} << "not both";
}

void TestCommandLine::badLines()
{
    QFETCH(QStringList, words);
    QFETCH(QString, says);
    const Invocation p = parse(words);
    QCOMPARE(p.action, Invocation::Action::Error);
    QVERIFY2(p.error.contains(says), qPrintable(p.error));
    QVERIFY(!p.error.contains(u'\n'));
}

void TestCommandLine::helpAndVersion()
{
    const Invocation help = parse({"--help"});
    QCOMPARE(help.action, Invocation::Action::Help);
    for (const char* word : {"ports", "sample", "dac CHANNEL MILLIVOLTS", "--no-presence-check", "Exit status"})
        QVERIFY2(help.helpText.contains(QLatin1String(word)), word);
    QCOMPARE(parse({"--version"}).action, Invocation::Action::Version);
    // Help wins over a mistake elsewhere on the line.
    QCOMPARE(parse({"reed", "--help"}).action, Invocation::Action::Help);
    // A command's help names its own options, and not another's.
    const Invocation sample = parse({"sample", "--help"});
    QCOMPARE(sample.action, Invocation::Action::Help);
    QVERIFY(sample.helpText.contains(QLatin1String("--interval")));
    QVERIFY(sample.helpText.contains(QLatin1String("--port")));
    QVERIFY(!sample.helpText.contains(QLatin1String("--json")));
    QVERIFY(!parse({"ports", "--help"}).helpText.contains(QLatin1String("--port")));
}

void TestCommandLine::linkOptionsForAnotherProgram()
{
    // Another program's parser, with options of its own beside the link's.
    QCommandLineParser parser;
    addLinkOptions(parser);
    parser.addOption(QCommandLineOption(QStringLiteral("window"), QStringLiteral("seconds"), QStringLiteral("s")));
    QVERIFY(parser.parse({"scope", "--port", "COM4", "--baud", "4800", "--window", "10", "--no-presence-check"}));
    const LinkOptionsRead read = linkOptionsFrom(parser);
    QVERIFY(read.ok());
    QCOMPARE(read.options.port, 4);
    QCOMPARE(read.options.baud, 4800);
    QVERIFY(!read.options.presenceCheck);
    QVERIFY(!read.options.simulate);

    QCommandLineParser bad;
    addLinkOptions(bad);
    QVERIFY(bad.parse({"scope", "--simulate", "--device", "/dev/x"}));
    QVERIFY(linkOptionsFrom(bad).error.contains(QLatin1String("--simulate")));
}

void TestCommandLine::exitStatusesDescribedOnce()
{
    const QMap<int, QString> table = statusTable();
    QCOMPARE(table.size(), int(kExitStatuses.size()));   // no status described twice

    // The README's table: "| 3 | meaning |" under "Exit statuses".
    const QString readme = sourceText("README.md");
    const qsizetype from = readme.indexOf(QLatin1String("Exit statuses"));
    QVERIFY(from >= 0);
    QMap<int, QString> inReadme;
    const QRegularExpression row(QStringLiteral(R"(^\| (\d+) \| (.+) \|$)"), QRegularExpression::MultilineOption);
    const qsizetype to = readme.indexOf(QLatin1String("\n\n"), readme.indexOf(QLatin1String("|---"), from));
    for (auto it = row.globalMatch(readme.mid(from, to - from)); it.hasNext();) {
        const auto m = it.next();
        inReadme.insert(m.captured(1).toInt(), m.captured(2));
    }
    QCOMPARE(inReadme, table);

    // The manual page's: ".TP", ".B 3", the meaning, under ".SH EXIT STATUS".
    const QString page = sourceText("package/zoltctl.1.in");
    const qsizetype section = page.indexOf(QLatin1String(".SH EXIT STATUS"));
    QVERIFY(section >= 0);
    const QString exitSection = page.mid(section, page.indexOf(QLatin1String("\n.SH "), section + 1) - section);
    QMap<int, QString> inPage;
    const QRegularExpression entry(QStringLiteral(R"(^\.B (\d+)\n([^.\n][^\n]*)$)"), QRegularExpression::MultilineOption);
    for (auto it = entry.globalMatch(exitSection); it.hasNext();) {
        const auto m = it.next();
        inPage.insert(m.captured(1).toInt(), QString(m.captured(2)).replace(QLatin1String("\\-"), QLatin1String("-")));
    }
    QCOMPARE(inPage, table);

    // And the help lists every one.
    const QString help = programHelp();
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        QVERIFY2(help.contains(QStringLiteral("%1  %2").arg(it.key()).arg(it.value())), qPrintable(it.value()));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
