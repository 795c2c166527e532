// The simulated module's command handling, on bytes alone: no clock, no event loop.

#include "sim/ZoltModel.h"

#include <QTest>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// Count of one reading: first byte's low nibble, then the second byte.
int countAt(const QByteArray& reply, int reading)
{
    const auto b0 = static_cast<std::uint8_t>(reply[2 * reading]);
    const auto b1 = static_cast<std::uint8_t>(reply[2 * reading + 1]);
    return (b0 & 0x0F) * 256 + b1;
}

// The bytes of the set-analog command for an output, range bit and 8-bit code,
// written out here from the code word's layout.
QByteArray setAnalog(int output, int range, int code)
{
    return QByteArray("!0SV") + bytes({output * 64 + range * 32 + code / 8, (code % 8) * 16});
}

} // namespace

class TestZoltModel : public QObject {
    Q_OBJECT

private slots:
    void splitCommands_data();
    void splitCommands();
    void resynchronises_data();
    void resynchronises();
    void analogReplyShape_data();
    void analogReplyShape();
    void outputLineReadBack();
    void analogOutputsWiredBack_data();
    void analogOutputsWiredBack();
    void inputsFollowTime();
    void toggleLines_data();
    void toggleLines();
};

// The same stream of four commands, cut in different places, gives the same
// commands and replies.
void TestZoltModel::splitCommands_data()
{
    QTest::addColumn<QList<int>>("cuts");  // chunk sizes; the last chunk takes the rest
    QTest::newRow("whole") << QList<int>{};
    QTest::newRow("byte by byte") << QList<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    QTest::newRow("inside prefix") << QList<int>{1, 5, 1, 7};
    QTest::newRow("before data byte") << QList<int>{4, 4, 2};
    QTest::newRow("between code letters") << QList<int>{3, 5, 3, 4, 3};
    QTest::newRow("inside code word") << QList<int>{18, 1};
}

void TestZoltModel::splitCommands()
{
    QFETCH(QList<int>, cuts);
    const QByteArray stream = QByteArray("!0RA") + bytes({2}) + "!0SO" + bytes({8}) + "!0RD" + setAnalog(1, 0, 68);
    QCOMPARE(stream.size(), 20);

    ZoltModel model;
    std::vector<ZoltModel::Command> done;
    qsizetype at = 0;
    for (int cut : cuts) {
        for (auto& c : model.receive(stream.mid(at, cut), 0))
            done.push_back(c);
        at += cut;
    }
    for (auto& c : model.receive(stream.mid(at), 0))
        done.push_back(c);

    QCOMPARE(done.size(), std::size_t(4));
    QCOMPARE(done[0].kind, ZoltModel::Kind::ReadAnalog);
    QCOMPARE(done[0].reply.size(), 6);
    QCOMPARE(done[1].kind, ZoltModel::Kind::SetOutputs);
    QVERIFY(done[1].reply.isEmpty());
    QCOMPARE(done[2].kind, ZoltModel::Kind::ReadDigital);
    // The output was set before the read, so the read sees it.
    QCOMPARE(static_cast<std::uint8_t>(done[2].reply[0]) & 0x08, 0x08);
    QCOMPARE(done[3].kind, ZoltModel::Kind::SetAnalog);
    QCOMPARE(done[3].bytes, setAnalog(1, 0, 68));
    QCOMPARE(model.outputCode(1), 68);
    QCOMPARE(model.pendingBytes(), 0);
    QCOMPARE(model.discardedBytes(), 0);
}

// After noise or a broken command the module acts on the next well-formed
// command and nothing before it.
void TestZoltModel::resynchronises_data()
{
    QTest::addColumn<QByteArray>("noise");
    QTest::addColumn<int>("discarded");
    QTest::newRow("plain garbage") << QByteArray("xyz\x00\xff", 5) << 5;
    QTest::newRow("doubled bang") << QByteArray("!") << 1;
    QTest::newRow("wrong address") << QByteArray("!1RA") << 4;
    QTest::newRow("unknown code") << QByteArray("!0XX") << 4;
    QTest::newRow("lower-case code") << QByteArray("!0rd") << 4;
    // Channel 33 ("!") does not exist; its data byte starts the next search and
    // is dropped in turn, not being followed by "0".
    QTest::newRow("channel out of range") << QByteArray("!0RA!") << 5;
    QTest::newRow("channel 7") << QByteArray("!0RA\x07") << 5;
    QTest::newRow("code cut by new command") << QByteArray("!0R") << 3;
    QTest::newRow("prefix only") << QByteArray("!0") << 2;
}

void TestZoltModel::resynchronises()
{
    QFETCH(QByteArray, noise);
    QFETCH(int, discarded);
    ZoltModel model;
    const auto done = model.receive(noise + "!0RD", 0);
    QCOMPARE(done.size(), std::size_t(1));
    QCOMPARE(done[0].kind, ZoltModel::Kind::ReadDigital);
    QCOMPARE(done[0].bytes, QByteArray("!0RD"));
    QCOMPARE(done[0].reply.size(), 1);
    QCOMPARE(model.discardedBytes(), qint64(discarded));
    QCOMPARE(model.pendingBytes(), 0);
}

// n + 1 readings, highest channel first, top nibble of every first byte clear.
void TestZoltModel::analogReplyShape_data()
{
    QTest::addColumn<int>("top");
    for (int n = 0; n <= 6; ++n)
        QTest::addRow("channels 0..%d", n) << n;
}

void TestZoltModel::analogReplyShape()
{
    QFETCH(int, top);
    ZoltModel model;
    // Distinct levels on the wired inputs, so the order shows.
    for (int out = 0; out < ZoltModel::kAnalogOutputs; ++out)
        model.receive(setAnalog(out, 0, 40 + 50 * out), 0);

    // Times where the sine and triangle are far from clipping.
    for (const qint64 at : {qint64(0), qint64(3'700'000), qint64(12'345'678), qint64(29'000'001)}) {
        const auto done = model.receive(QByteArray("!0RA") + bytes({top}), at);
        QCOMPARE(done.size(), std::size_t(1));
        const QByteArray reply = done[0].reply;
        QCOMPARE(reply.size(), 2 * top + 2);
        for (int reading = 0; reading <= top; ++reading) {
            QCOMPARE(static_cast<std::uint8_t>(reply[2 * reading]) & 0xF0, 0);
            QCOMPARE(countAt(reply, reading), model.analogCount(top - reading, at));
        }
    }
}

void TestZoltModel::outputLineReadBack()
{
    ZoltModel model;
    const auto line3 = [&] {
        const auto done = model.receive(QByteArray("!0RD"), 0);
        return static_cast<std::uint8_t>(done.at(0).reply[0]) & 0x08;
    };
    QCOMPARE(line3(), 0);
    model.receive(QByteArray("!0SO") + bytes({0x08}), 0);
    QCOMPARE(line3(), 0x08);
    // Only bit 3 drives the line; the other bits of the output byte go nowhere.
    model.receive(QByteArray("!0SO") + bytes({0xF7}), 0);
    QCOMPARE(line3(), 0);
    model.receive(QByteArray("!0SO") + bytes({0x08}), 0);
    model.receive(QByteArray("!0SO") + bytes({0x00}), 0);
    QCOMPARE(line3(), 0);
}

// Each output's millivolts come back on its input as counts of 5000 mV full
// scale; the other outputs' inputs do not move.
void TestZoltModel::analogOutputsWiredBack_data()
{
    QTest::addColumn<int>("output");
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("count");
    // 68 * 14.71 = 1000.28 mV; 170 * 14.71 = 2500.7 mV; 255 * 14.71 = 3751.05 mV;
    // 127 * 29.42 = 3736.34 mV; 146 * 29.42 = 4295.32 mV.
    QTest::newRow("zero") << 0 << 0 << 0 << 0;
    QTest::newRow("1000 mV on 0") << 0 << 0 << 68 << 819;
    QTest::newRow("2500 mV on 1") << 1 << 0 << 170 << 2048;
    QTest::newRow("top of low range on 2") << 2 << 0 << 255 << 3072;
    QTest::newRow("bottom of high range on 3") << 3 << 1 << 127 << 3060;
    QTest::newRow("4300 mV on 3") << 3 << 1 << 146 << 3518;
}

void TestZoltModel::analogOutputsWiredBack()
{
    QFETCH(int, output);
    QFETCH(int, range);
    QFETCH(int, code);
    QFETCH(int, count);
    ZoltModel model;
    // Something on every other output first, to see that only one moves.
    for (int out = 0; out < ZoltModel::kAnalogOutputs; ++out)
        model.receive(setAnalog(out, 0, 10), 0);
    const int others = model.analogCount(ZoltModel::kFirstWiredInput, 0);

    model.receive(setAnalog(output, range, code), 0);
    QCOMPARE(model.outputRange(output), range);
    QCOMPARE(model.outputCode(output), code);

    const auto done = model.receive(QByteArray("!0RA") + bytes({6}), 0);
    const QByteArray reply = done.at(0).reply;
    for (int out = 0; out < ZoltModel::kAnalogOutputs; ++out) {
        const int input = ZoltModel::kFirstWiredInput + out;
        QCOMPARE(countAt(reply, 6 - input), out == output ? count : others);
    }
}

void TestZoltModel::inputsFollowTime()
{
    ZoltModel model;
    // The sine: mid-scale at 0, top a quarter period on, bottom three quarters on.
    QCOMPARE(model.analogCount(0, 0), 2048);
    QCOMPARE(model.analogCount(0, ZoltModel::kSinePeriodUs / 4), 3848);
    QCOMPARE(model.analogCount(0, 3 * ZoltModel::kSinePeriodUs / 4), 248);
    QCOMPARE(model.analogCount(0, ZoltModel::kSinePeriodUs), 2048);
    // The triangle: 0 at the start, full scale half way, linear between.
    QCOMPARE(model.analogCount(1, 0), 0);
    QCOMPARE(model.analogCount(1, ZoltModel::kTrianglePeriodUs / 2), 4095);
    QCOMPARE(model.analogCount(1, ZoltModel::kTrianglePeriodUs / 4), 2048);
    QCOMPARE(model.analogCount(1, 3 * ZoltModel::kTrianglePeriodUs / 4), 2048);
    // Slow: readings 10 ms apart differ by a few counts at most.
    for (qint64 at = 0; at < 30'000'000; at += 997'000) {
        for (int input = 0; input < 2; ++input)
            QVERIFY(std::abs(model.analogCount(input, at + 10'000) - model.analogCount(input, at)) <= 6);
    }
    QCOMPARE(model.analogCount(2, 0), model.analogCount(2, 7'000'000));
}

void TestZoltModel::toggleLines_data()
{
    QTest::addColumn<qint64>("atUs");
    QTest::addColumn<int>("lines");  // bits 4 and 5
    QTest::newRow("start") << qint64(0) << 0x00;
    QTest::newRow("just before 2 s") << qint64(1'999'999) << 0x00;
    QTest::newRow("2 s") << qint64(2'000'000) << 0x10;
    QTest::newRow("4 s") << qint64(4'000'000) << 0x00;
    QTest::newRow("5 s") << qint64(5'000'000) << 0x20;
    QTest::newRow("6 s") << qint64(6'000'000) << 0x30;
    QTest::newRow("10 s") << qint64(10'000'000) << 0x10;
}

void TestZoltModel::toggleLines()
{
    QFETCH(qint64, atUs);
    QFETCH(int, lines);
    ZoltModel model;
    const auto done = model.receive(QByteArray("!0RD"), atUs);
    const int byte = static_cast<std::uint8_t>(done.at(0).reply[0]);
    QCOMPARE(byte & 0x30, lines);
    QCOMPARE(byte & 0x08, 0);
}

QTEST_GUILESS_MAIN(TestZoltModel)
#include "tst_zoltmodel.moc"
