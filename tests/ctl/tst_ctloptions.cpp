// The sample's interval words and its row format, without a port.

#include "front/PauseText.h"
#include "front/RowFormat.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <chrono>

using namespace front;

namespace {

std::chrono::system_clock::time_point at(std::chrono::milliseconds sinceEpoch)
{
    return std::chrono::system_clock::time_point(sinceEpoch);
}

} // namespace

class TestCtlOptions : public QObject {
    Q_OBJECT

private slots:
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
    const auto got = parsePause(text);
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
