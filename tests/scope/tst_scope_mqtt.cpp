// ZOLT Scope on an MQTT broker the test starts (Debian's mosquitto on a
// loopback port of its own): a remote bench shown from its topics, its
// outputs set through the outputs panel, and the scope's own acquisition
// published under the same topics for others.

#include "scope/ScopeChart.h"
#include "scope/ScopeWindow.h"
#include "tests/scope/WindowRig.h"
#include "tests/support/Controls.h"
#include "tests/support/MosquittoBroker.h"

#include <QCheckBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

using namespace mqtttest;
using scope::ScopeWindow;

namespace {

constexpr int kWaitMs = 15000;

front::MqttOptions optionsFor(const QString& url, bool control = false)
{
    front::MqttOptions o;
    o.enabled = true;
    o.endpoint = *mqtt::parseUrl(url).endpoint;
    o.control = control;
    return o;
}

QJsonObject object(const QByteArray& json) { return QJsonDocument::fromJson(json).object(); }

struct Rig : scopetest::WindowRig {
    Rig()
        : WindowRig(20)
    {
    }
    int lastMv(int channel) const
    {
        const auto& store = window->store();
        return store.size() > 0 ? store.millivolts(store.size() - 1, channel) : -1;
    }
};

} // namespace

class TestScopeMqtt : public QObject {
    Q_OBJECT

private slots:
    void showsARemoteBenchAndDrivesIt();
    void publishesItsOwnAcquisition();
};

void TestScopeMqtt::showsARemoteBenchAndDrivesIt()
{
    Broker broker;
    QVERIFY(broker.ok());
    Rig rig;
    const QString rows = rig.dir.filePath(QStringLiteral("bench.jsonl"));
    const QString setup = rig.dir.filePath(QStringLiteral("setup.json"));
    QFile setupFile(setup);
    QVERIFY(setupFile.open(QIODevice::WriteOnly));
    setupFile.write(R"({"format": 1, "inputs": [{"input": 5, "name": "loop-back", "unit": "V", "gain": 0.001}]})");
    setupFile.close();
    QProcess bench;
    bench.start(QStringLiteral(ZOLTCTL_EXE),
                {"--simulate", "sample", "--interval", "20", "--digital", "--format", "jsonl", "--output", rows, "--mqtt",
                 broker.url(QStringLiteral("lab/s1")), "--mqtt-control", "--setup", setup});
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained(QStringLiteral("lab/s1/status")), QByteArray("online"), kWaitMs);

    QCOMPARE(rig.window->connectToBroker(optionsFor(broker.url(QStringLiteral("lab/s1")))), QString());
    rig.window->startSampling();
    QTRY_VERIFY_WITH_TIMEOUT(rig.window->store().size() >= 30, kWaitMs);
    // The outputs panel drives the remote bench: its meta says it takes commands.
    QTRY_VERIFY_WITH_TIMEOUT(rig.window->source()->drivesOutputs(), kWaitMs);
    rig.window->setAnalogOutput(2, 1500);   // wired back to input 5
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(rig.lastMv(5) - 1500) <= 30, kWaitMs);
    // The bench's setup came with its meta: the chart names and scales the input as the bench does.
    QCOMPARE(rig.window->chart().seriesTitle(5), QStringLiteral("loop-back"));
    QCOMPARE(rig.window->chart().axisUnits(), (QStringList{"mV", "V"}));

    // What the scope shows is what the bench wrote: its newest scans are
    // among the bench's rows, every channel's count and millivolts alike
    // (inputs 0 and 1 move all the time, so a match is no accident).
    const auto& store = rig.window->store();
    const auto rowFor = [&](long long i) {
        QFile f(rows);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QJsonObject row = object(line);
            bool same = !row.isEmpty();
            for (int ch = 0; ch <= 6 && same; ++ch)
                same = store.count(i, ch) == row.value(QStringLiteral("ch%1_count").arg(ch)).toInt()
                    && store.millivolts(i, ch) == row.value(QStringLiteral("ch%1_mv").arg(ch)).toInt();
            if (same)
                return true;
        }
        return false;
    };
    for (long long i = store.size() - 10; i < store.size(); ++i)
        QVERIFY2(rowFor(i), qPrintable(QString::number(i)));

    // The bench goes away: the scope says so.
    ::kill(static_cast<pid_t>(bench.processId()), SIGTERM);
    QVERIFY(bench.waitForFinished(kWaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(rig.window->bannerText().contains(QLatin1String("offline")), kWaitMs);
}

void TestScopeMqtt::publishesItsOwnAcquisition()
{
    Broker broker;
    QVERIFY(broker.ok());
    Watcher watcher(broker, QStringLiteral("lab/s2/#"));
    QVERIFY(watcher.ready(QStringLiteral("lab/s2/probe")));
    Rig rig;
    front::LinkOptions demo;
    demo.simulate = true;
    QCOMPARE(rig.window->connectTo(demo), QString());
    front::MqttOptions options = optionsFor(broker.url(QStringLiteral("lab/s2")), true);
    options.discovery = true;
    QCOMPARE(rig.window->publishTo(options), QString());
    rig.window->startSampling();
    QTRY_VERIFY_WITH_TIMEOUT(watcher.payloads("lab/s2/scan").size() >= 20, kWaitMs);
    const QJsonObject meta = object(broker.retained(QStringLiteral("lab/s2/meta")));
    QCOMPARE(meta.value(QStringLiteral("control")).toString(), QStringLiteral("on"));
    QCOMPARE(meta.value(QStringLiteral("pause_ms")).toInt(), 20);
    QVERIFY(object(watcher.payloads("lab/s2/scan").last()).contains(QStringLiteral("din5")));

    // Another program's command reaches this scope's module.
    QVERIFY(broker.publish(QStringLiteral("lab/s2/set/dac/1"), "1000"));   // wired back to input 4
    QTRY_COMPARE_WITH_TIMEOUT(watcher.payloads("lab/s2/ack"), QList<QByteArray>{"set/dac/1 1000"}, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(rig.lastMv(4) - 1000) <= 30, kWaitMs);
    // and its outputs panel shows what the module was set to.
    QCOMPARE(findNamedForReader<QSpinBox>(*rig.window, QStringLiteral("Analog output 1, millivolts"))->value(), 1000);
    QVERIFY(broker.publish(QStringLiteral("lab/s2/set/dout"), "on"));
    const auto* dout = findNamedForReader<QCheckBox>(*rig.window, QStringLiteral("Digital output line 3 high"));
    QTRY_VERIFY_WITH_TIMEOUT(dout->isChecked(), kWaitMs);

    // A setup given while publishing reaches the meta, the scans and the hub's configs.
    front::ChannelSetup setup;
    front::InputSetup boiler = setup.input(2);
    boiler.name = QStringLiteral("boiler");
    boiler.unit = QStringLiteral("°C");
    boiler.gain = 0.05;
    boiler.offset = -20;
    QCOMPARE(setup.setInput(2, boiler), QString());
    rig.window->useSetup(setup);
    const QString config = QStringLiteral("homeassistant/sensor/zolt_lab_s2/ch2/config");
    QTRY_COMPARE_WITH_TIMEOUT(object(broker.retained(config)).value(QStringLiteral("name")).toString(),
                              QStringLiteral("boiler"), kWaitMs);
    QCOMPARE(object(broker.retained(config)).value(QStringLiteral("origin")).toObject().value(QStringLiteral("name")),
             QJsonValue(QStringLiteral("zoltscope")));
    QCOMPARE(object(broker.retained(QStringLiteral("lab/s2/meta"))).value(QStringLiteral("setup")).toObject()
                 .value(QStringLiteral("format")).toInt(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(object(watcher.payloads("lab/s2/scan").last()).value(QStringLiteral("ch2_value")).toDouble(),
                              55.35, kWaitMs);

    rig.window.reset();
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained(QStringLiteral("lab/s2/status")), QByteArray("offline"), kWaitMs);
}

QTEST_MAIN(TestScopeMqtt)
#include "tst_scope_mqtt.moc"
