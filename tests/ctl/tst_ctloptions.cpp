// zoltctl's command line and its row format, without a port.

#include "ctl/CtlOptions.h"
#include "ctl/RowFormat.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <chrono>

using namespace zoltctl;

namespace {

ParsedLine parse(const QStringList& words)
{
    return parseCommandLine(QStringList{QStringLiteral("zoltctl")} + words);
}

std::chrono::system_clock::time_point at(std::chrono::milliseconds sinceEpoch)
{
    return std::chrono::system_clock::time_point(sinceEpoch);
}

} // namespace

class TestCtlOptions : public QObject {
    Q_OBJECT

private slots:
    void goodLines();
    void badLines_data();
    void badLines();
    void helpAndVersion();
    void intervals_data();
    void intervals();

    void csvRows();
    void jsonRowsAreJson();
    void timesInUtc_data();
    void timesInUtc();
    void secondsSinceStart_data();
    void secondsSinceStart();
    void bufferNeverOverruns();
};

void TestCtlOptions::goodLines()
{
    {
        const ParsedLine p = parse({"--simulate", "sample", "--count", "100", "--output", "run.csv"});
        QCOMPARE(p.action, ParsedLine::Action::Run);
        QCOMPARE(p.options.command, Command::Sample);
        QVERIFY(p.options.simulate);
        QCOMPARE(p.options.count, 100);
        QCOMPARE(p.options.output, QStringLiteral("run.csv"));
        QCOMPARE(p.options.intervalMs, kHalfSecondMs);   // the main window's pause
        QCOMPARE(p.options.topChannel, 6);
        QCOMPARE(p.options.format, Format::Csv);
        QCOMPARE(p.options.baud, 9600);
        QVERIFY(p.options.presenceCheck);
    }
    {
        const ParsedLine p = parse({"--device", "/dev/pts/7", "--no-presence-check", "--baud", "2400", "sample",
                                    "--interval", "max", "--duration", "2.5", "--format", "jsonl", "--channels",
                                    "0", "--digital"});
        QCOMPARE(p.action, ParsedLine::Action::Run);
        QCOMPARE(p.options.device, QStringLiteral("/dev/pts/7"));
        QVERIFY(!p.options.presenceCheck);
        QCOMPARE(p.options.baud, 2400);
        QCOMPARE(p.options.intervalMs, kMaxSpeedMs);
        QCOMPARE(p.options.durationS, 2.5);
        QCOMPARE(p.options.format, Format::Jsonl);
        QCOMPARE(p.options.topChannel, 0);
        QVERIFY(p.options.digital);
    }
    {
        const ParsedLine p = parse({"--port", "com12", "dac", "3", "0045"});
        QCOMPARE(p.action, ParsedLine::Action::Run);
        QCOMPARE(p.options.port, 12);
        QCOMPARE(p.options.dacChannel, 3);
        QCOMPARE(p.options.dacMillivolts, 45);
    }
    QVERIFY(parse({"--simulate", "dout", "on"}).options.doutHigh);
    QVERIFY(!parse({"--simulate", "dout", "off"}).options.doutHigh);
    QCOMPARE(parse({"--simulate", "dac", "0", "4300"}).options.dacMillivolts, 4300);
}

void TestCtlOptions::badLines_data()
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
    QTest::newRow("output on read") << QStringList{"read", "--output", "x.csv"} << "--output does not apply";
}

void TestCtlOptions::badLines()
{
    QFETCH(QStringList, words);
    QFETCH(QString, says);
    const ParsedLine p = parse(words);
    QCOMPARE(p.action, ParsedLine::Action::Error);
    QVERIFY2(p.error.contains(says), qPrintable(p.error));
    QVERIFY(!p.error.contains(u'\n'));
}

void TestCtlOptions::helpAndVersion()
{
    const ParsedLine help = parse({"--help"});
    QCOMPARE(help.action, ParsedLine::Action::Help);
    for (const char* word : {"ports", "sample", "dac CHANNEL MILLIVOLTS", "--no-presence-check", "Exit status"})
        QVERIFY2(help.helpText.contains(QLatin1String(word)), word);
    QCOMPARE(parse({"--version"}).action, ParsedLine::Action::Version);
    // Help wins over a mistake elsewhere on the line.
    QCOMPARE(parse({"reed", "--help"}).action, ParsedLine::Action::Help);
}

void TestCtlOptions::intervals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ms");   // -1: refused
    QTest::newRow("max") << "max" << 1;
    QTest::newRow("MAX") << "MAX" << 1;
    QTest::newRow("half") << "0.5s" << 500;
    QTest::newRow("one") << "1s" << 1000;
    QTest::newRow("ten") << "10s" << 10000;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("ms") << "250" << 250;
    QTest::newRow("an hour") << "3600000" << 3600000;
    QTest::newRow("over an hour") << "3600001" << -1;
    QTest::newRow("2s is not offered") << "2s" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestCtlOptions::intervals()
{
    QFETCH(QString, text);
    QFETCH(int, ms);
    const auto got = parseInterval(text);
    QCOMPARE(got.value_or(-1), ms);
}

void TestCtlOptions::csvRows()
{
    acquisition::Scan r;
    for (int ch = 0; ch < 7; ++ch) {
        r.counts[ch] = ch == 0 ? 4095 : ch * 100;
        r.millivolts[ch] = ch == 0 ? 5000 : ch * 122;
    }
    r.lines = {1, 0, 1};

    RowFormat two(Format::Csv, 1, true);
    QCOMPARE(two.header(), QByteArray("time,seconds,ch0_count,ch0_mv,ch1_count,ch1_mv,din3,din4,din5\n"));
    r.wall = at(std::chrono::milliseconds(1'700'000'000'123));
    r.elapsedNs = 2'500'000'000;
    QCOMPARE(QByteArray(two.row(r).data()),
             QByteArray("2023-11-14T22:13:20.123Z,2.500,4095,5000,100,122,1,0,1\n"));

    RowFormat all(Format::Csv, 6, false);
    const QByteArray header = all.header();
    QCOMPARE(header.count(','), 1 + 2 * 7);
    QVERIFY(header.endsWith("ch6_count,ch6_mv\n"));
    r.elapsedNs = 0;
    const std::string_view text = all.row(r);
    const QByteArray row(text.data(), static_cast<qsizetype>(text.size()));
    QCOMPARE(row.count(','), header.count(','));
    QVERIFY(row.endsWith(",600,732\n"));
}

void TestCtlOptions::jsonRowsAreJson()
{
    acquisition::Scan r;
    r.counts[0] = 2048;
    r.millivolts[0] = 2500;
    r.counts[2] = 1234;
    r.millivolts[2] = 1507;
    r.lines = {0, 1, 0};
    RowFormat f(Format::Jsonl, 2, true);
    QVERIFY(f.header().isEmpty());
    r.wall = at(std::chrono::milliseconds(0));
    r.elapsedNs = 61'000'999'000;
    const std::string_view row = f.row(r);
    QVERIFY(row.ends_with("}\n"));
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(QByteArray(row.data(), static_cast<qsizetype>(row.size())), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(o.value("time").toString(), QStringLiteral("1970-01-01T00:00:00.000Z"));
    QCOMPARE(o.value("seconds").toDouble(), 61.0);
    QCOMPARE(o.value("ch0_count").toInt(), 2048);
    QCOMPARE(o.value("ch0_mv").toInt(), 2500);
    QCOMPARE(o.value("ch2_mv").toInt(), 1507);
    QVERIFY(!o.contains("ch3_count"));
    QCOMPARE(o.value("din4").toInt(), 1);
    QCOMPARE(o.size(), 2 + 3 * 2 + 3);

    // The same object with the scan's number first, for a publisher.
    r.seq = 12345678901LL;
    const std::string_view object = f.json(r, true);
    QVERIFY(object.starts_with("{\"seq\":12345678901,") && object.ends_with('}'));
    const QJsonObject withSeq =
        QJsonDocument::fromJson(QByteArray(object.data(), static_cast<qsizetype>(object.size())), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(withSeq.size(), o.size() + 1);
    QCOMPARE(withSeq.value("ch2_mv").toInt(), 1507);
}

void TestCtlOptions::timesInUtc_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("epoch") << qint64(0) << "1970-01-01T00:00:00.000Z";
    QTest::newRow("last ms of a year") << qint64(946'684'799'999) << "1999-12-31T23:59:59.999Z";
    QTest::newRow("leap day") << qint64(951'782'400'007) << "2000-02-29T00:00:00.007Z";
    QTest::newRow("afternoon") << qint64(1'796'732'534'050) << "2026-12-08T12:22:14.050Z";
}

void TestCtlOptions::timesInUtc()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    LineBuffer out;
    RowFormat::putTime(out, at(std::chrono::milliseconds(ms)));
    QCOMPARE(QString::fromLatin1(out.view().data(), static_cast<qsizetype>(out.view().size())), text);
}

void TestCtlOptions::secondsSinceStart_data()
{
    QTest::addColumn<qint64>("us");
    QTest::addColumn<QString>("text");
    QTest::newRow("start") << qint64(0) << "0.000";
    QTest::newRow("under a ms") << qint64(999) << "0.000";
    QTest::newRow("one ms") << qint64(1000) << "0.001";
    QTest::newRow("tenths") << qint64(12'345'678) << "12.345";
    QTest::newRow("a day") << qint64(86'400'000'000) << "86400.000";
}

void TestCtlOptions::secondsSinceStart()
{
    QFETCH(qint64, us);
    QFETCH(QString, text);
    LineBuffer out;
    RowFormat::putSeconds(out, us);
    QCOMPARE(QString::fromLatin1(out.view().data(), static_cast<qsizetype>(out.view().size())), text);
}

void TestCtlOptions::bufferNeverOverruns()
{
    LineBuffer out;
    const std::string chunk(100, 'x');
    for (int i = 0; i < 20; ++i)
        out.put(chunk);
    out.putNumber(1234567890123LL);
    QVERIFY(out.overflowed());
    QCOMPARE(out.view().size(), std::size_t(1024));
    out.clear();
    QVERIFY(!out.overflowed());
    out.putNumber(7, 3);
    QCOMPARE(out.view(), std::string_view("007"));
}

QTEST_GUILESS_MAIN(TestCtlOptions)
#include "tst_ctloptions.moc"
