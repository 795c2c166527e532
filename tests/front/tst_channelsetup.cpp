// The channel setup file: what it keeps when read and written again, the
// scale a two-point calibration gives, and every file it refuses, with the
// line it points at.

#include "front/ChannelSetup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using front::ChannelSetup;

class TestChannelSetup : public QObject {
    Q_OBJECT

private slots:
    void roundTripKeepsEverythingAndUnknownKeys();
    void twoPointCalibration();
    void refusals_data();
    void refusals();
};

void TestChannelSetup::roundTripKeepsEverythingAndUnknownKeys()
{
    const QByteArray text = R"({
  "format": 1,
  "written_by": "a later version",
  "inputs": [
    {"input": 2, "name": "boiler", "unit": "\u00b0C",
     "calibration": [{"mv": 400, "value": 0}, {"mv": 2400, "value": 100}], "colour": "#d55e00"},
    {"input": 5, "name": "pressure", "unit": "bar", "gain": 0.002, "offset": -1}
  ],
  "lines": [ {"line": 4, "name": "door", "low": "closed", "high": "open", "invert": false} ]
})";
    const front::SetupRead read = ChannelSetup::fromJson(text);
    QVERIFY2(read.setup, qPrintable(read.message()));
    const ChannelSetup& s = *read.setup;
    QCOMPARE(s.input(2).name, QStringLiteral("boiler"));
    QCOMPARE(s.input(2).unit, QStringLiteral("°C"));
    QCOMPARE(s.input(5).gain, 0.002);
    QCOMPARE(s.input(0).name, QStringLiteral("ch0"));   // left out: the defaults
    QCOMPARE(s.input(0).unit, QStringLiteral("mV"));
    QCOMPARE(s.line(4).word(1), QStringLiteral("open"));
    QCOMPARE(s.line(5).word(0), QStringLiteral("0"));
    QVERIFY(!s.isDefault());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.json"));
    QCOMPARE(s.save(path), QString());
    const front::SetupRead again = ChannelSetup::load(path);
    QVERIFY2(again.setup, qPrintable(again.message()));
    QVERIFY(*again.setup == s);
    // Keys this version does not know go back into the file where they were.
    const QJsonObject saved = QJsonDocument::fromJson(again.setup->toJson()).object();
    QCOMPARE(saved.value("written_by").toString(), QStringLiteral("a later version"));
    QCOMPARE(saved.value("inputs").toArray().at(2).toObject().value("colour").toString(), QStringLiteral("#d55e00"));
    QCOMPARE(saved.value("lines").toArray().at(1).toObject().value("invert").toBool(true), false);
    QVERIFY(ChannelSetup().isDefault());
}

void TestChannelSetup::twoPointCalibration()
{
    // 400 mV at 0 °C and 2400 mV at 100 °C: 100 °C over 2000 mV is 0.05 °C a
    // mV, and 0 - 0.05 x 400 = -20 °C at 0 mV.
    QString why;
    const auto scale = ChannelSetup::scaleThrough({400, 0}, {2400, 100}, &why);
    QVERIFY2(scale, qPrintable(why));
    QCOMPARE(scale->gain, 0.05);
    QCOMPARE(scale->offset, -20.0);
    // The same points in the other order, and a falling sensor.
    QCOMPARE(ChannelSetup::scaleThrough({2400, 100}, {400, 0})->gain, 0.05);
    const auto falling = ChannelSetup::scaleThrough({1000, 8}, {3000, 2});
    QCOMPARE(falling->gain, -0.003);
    QCOMPARE(falling->offset, 11.0);

    const front::SetupRead read = ChannelSetup::fromJson(
        R"({"format":1,"inputs":[{"input":2,"name":"boiler","unit":"°C","calibration":[{"mv":400,"value":0},{"mv":2400,"value":100}]}]})");
    QVERIFY(read.setup);
    // The simulated module's 1507 mV on input 2: 0.05 x 1507 - 20 = 55.35 °C.
    QCOMPARE(read.setup->valueText(2, 1507), QStringLiteral("55.35 °C"));
    QCOMPARE(read.setup->valueText(2, 400), QStringLiteral("0.00 °C"));
    QCOMPARE(read.setup->valueText(2, 399.9), QStringLiteral("0.00 °C"));   // never "-0.00"
    QCOMPARE(ChannelSetup().valueText(0, 1507), QStringLiteral("1507 mV"));
}

void TestChannelSetup::refusals_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("says");
    const auto input = [](const QByteArray& fields) {
        return "{\n\"format\": 1,\n\"inputs\": [\n{\"input\": 1},\n{\"input\": 2,\n" + fields + "}\n]\n}";
    };
    QTest::newRow("not JSON") << QByteArray("{\n\"format\": 1,\n\"inputs\": [\n{\"input\": 1,}\n]\n}") << 4 << "not valid JSON";
    QTest::newRow("empty") << QByteArray("") << 1 << "not valid JSON";
    QTest::newRow("a list") << QByteArray("[1, 2]") << 1 << "JSON object";
    QTest::newRow("no format") << QByteArray("{\"inputs\": []}") << 1 << "\"format\" is missing";
    QTest::newRow("format a text") << QByteArray("{\n\"format\": \"1\"}") << 2 << "whole number";
    QTest::newRow("format newer") << QByteArray("{\n\n\"format\": 2}") << 3 << "format 2 is newer";
    QTest::newRow("inputs not a list") << QByteArray("{\"format\": 1,\n\"inputs\": {}}") << 2 << "must be a list";
    QTest::newRow("input a number") << QByteArray("{\"format\": 1,\n\"inputs\": [\n7]}") << 3 << "must be an object";
    QTest::newRow("input 7") << input("\"name\": \"x\"").replace("\"input\": 2", "\"input\": 7") << 5 << "\"input\" must be 0 to 6";
    QTest::newRow("input twice") << input("\"name\": \"x\"").replace("\"input\": 2", "\"input\": 1") << 5 << "input 1 is set twice";
    QTest::newRow("name a number") << input("\"name\": 5") << 6 << "inputs[1].name: must be a text";
    QTest::newRow("name empty") << input("\"name\": \"\"") << 5 << "the name must be 1 to 40";
    QTest::newRow("name too long") << input("\"name\": \"" + QByteArray(41, 'x') + "\"") << 5 << "the name must be 1 to 40";
    QTest::newRow("name with a newline") << input("\"name\": \"a\\nb\"") << 5 << "control characters";
    QTest::newRow("unit too long") << input("\"unit\": \"" + QByteArray(17, 'u') + "\"") << 5 << "the unit must be at most 16";
    QTest::newRow("gain zero") << input("\"gain\": 0") << 5 << "gain must be a number other than 0";
    QTest::newRow("gain a text") << input("\"gain\": \"2\"") << 6 << "inputs[1].gain: must be a number";
    QTest::newRow("offset null") << input("\"gain\": 2,\n\"offset\": null") << 7 << "inputs[1].offset: must be a number";
    QTest::newRow("one point") << input("\"calibration\": [{\"mv\": 1, \"value\": 2}]") << 6 << "must be two points";
    QTest::newRow("point without value") << input("\"calibration\": [{\"mv\": 1, \"value\": 2},\n{\"mv\": 3}]") << 7 << "calibration[1]: must have";
    QTest::newRow("equal readings") << input("\"calibration\": [{\"mv\": 1000, \"value\": 2},\n{\"mv\": 1000, \"value\": 3}]") << 6 << "both 1000 mV: they must differ";
    QTest::newRow("equal values") << input("\"calibration\": [{\"mv\": 1000, \"value\": 2},\n{\"mv\": 2000, \"value\": 2}]") << 6 << "true values are both 2";
    QTest::newRow("reading out of range") << input("\"calibration\": [{\"mv\": -5, \"value\": 2},\n{\"mv\": 2000, \"value\": 3}]") << 6 << "outside the input's 0 to 5000 mV";
    QTest::newRow("calibration against gain") << input("\"gain\": 1,\n\"calibration\": [{\"mv\": 0, \"value\": 0},\n{\"mv\": 1000, \"value\": 2}]") << 7 << "not the gain and offset given";
    QTest::newRow("line 6") << QByteArray("{\"format\": 1,\n\"lines\": [\n{\"line\": 6}]}") << 3 << "\"line\" must be 3 to 5";
    QTest::newRow("same words") << QByteArray("{\"format\": 1,\n\"lines\": [\n{\"line\": 4,\n\"low\": \"on\", \"high\": \"on\"}]}") << 3 << "both 'on'";
    QTest::newRow("word empty") << QByteArray("{\"format\": 1,\n\"lines\": [{\"line\": 3, \"high\": \"\"}]}") << 2 << "the word for 1 must be 1 to 16";
}

void TestChannelSetup::refusals()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, says);
    const front::SetupRead read = ChannelSetup::fromJson(text);
    QVERIFY(!read.setup);
    QVERIFY2(read.reason.contains(says), qPrintable(read.message()));
    QCOMPARE(read.line, line);
    QVERIFY(read.message().startsWith(QStringLiteral("line %1: ").arg(line)));
}

QTEST_GUILESS_MAIN(TestChannelSetup)
#include "tst_channelsetup.moc"
