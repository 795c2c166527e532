// zoltctl sample --mqtt on a real broker the test starts (Debian's mosquitto
// on a loopback port of its own), with mosquitto_sub and mosquitto_pub as the
// lab's other clients: scans equal to the rows, the will, a broker that goes
// away and returns, passwords, TLS, and commands to the simulated module.

#include "front/RemoteBench.h"
#include "front/RowFormat.h"
#include "sim/PtyModule.h"
#include "tests/support/MosquittoBroker.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/Wait.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

using namespace mqtttest;

namespace {

constexpr int kRunMs = 60000;
constexpr int kBrokerStatus = 7;

using Result = ProgramResult;

QList<QByteArray> fileLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QJsonObject object(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument d = QJsonDocument::fromJson(json, &error);
    return error.error == QJsonParseError::NoError ? d.object() : QJsonObject();
}

// The scans' seq numbers, and the messages by seq.
QMap<int, QJsonObject> bySeq(const QList<QByteArray>& payloads)
{
    QMap<int, QJsonObject> out;
    for (const QByteArray& p : payloads) {
        const QJsonObject o = object(p);
        out.insert(o.value(QStringLiteral("seq")).toInt(), o);
    }
    return out;
}

// Templates rendered as the hub renders them (Jinja, with value and
// value_json), by python3-jinja2's sandbox: one result a case.
struct TemplateCase {
    QString tmpl;
    QByteArray value;
};

QStringList render(const QList<TemplateCase>& cases)
{
    QJsonArray in;
    for (const TemplateCase& c : cases)
        in.append(QJsonObject{{"template", c.tmpl}, {"value", QString::fromUtf8(c.value)}});
    QProcess p;
    p.start(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral(R"(
import json, sys
from jinja2.sandbox import SandboxedEnvironment
env = SandboxedEnvironment()
out = []
for c in json.load(sys.stdin):
    try:
        value_json = json.loads(c["value"])
    except ValueError:
        value_json = None
    out.append(env.from_string(c["template"]).render(value=c["value"], value_json=value_json).strip())
print(json.dumps(out))
)")});
    p.write(QJsonDocument(in).toJson());
    p.closeWriteChannel();
    if (!p.waitForFinished(20000) || p.exitCode() != 0) {
        qWarning() << p.readAllStandardError();
        return {};
    }
    QStringList out;
    for (const QJsonValue& v : QJsonDocument::fromJson(p.readAllStandardOutput()).array())
        out += v.toString();
    return out;
}

} // namespace

class TestZoltCtlMqtt : public QObject {
    Q_OBJECT

private slots:
    void init();

    void scansArriveAsTheRowsWritten();
    void killedLeavesOfflineRetained();
    void brokerAwayAndBackMidRun();
    void passwordsFromFileAndEnvironment();
    void tlsWithTheLabsAuthority();
    void commandsReachTheModuleOrAreRefused();
    void aWatcherSeesTheBenchAsItIs();
    void statusFollowsTheModulesPort();
    void statusCountsWhatTheQueueDropped();
    void discoveryAnnouncesTheBenchToAHub();

private:
    QProcess* start(const QStringList& args, const QProcessEnvironment& extra = {});
    Result finish(QProcess* process, int timeoutMs = kRunMs);
    Result zoltctl(const QStringList& args, const QProcessEnvironment& extra = {})
    {
        return finish(start(args, extra));
    }
    void checkBrokerFailure(const Result& r, const QString& says);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestZoltCtlMqtt::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("com"))));
}

QProcess* TestZoltCtlMqtt::start(const QStringList& args, const QProcessEnvironment& extra)
{
    QProcessEnvironment env = extra;
    env.insert(QStringLiteral("ZOLTCTL_DEVICE_DIR"), m_dir->filePath(QStringLiteral("com")));
    return startProgram(this, QStringLiteral(ZOLTCTL_EXE), args,
                        environmentWith(env, {QStringLiteral("ZOLTCTL_MQTT_PASSWORD")}));
}

Result TestZoltCtlMqtt::finish(QProcess* process, int timeoutMs)
{
    return finishProgram(process, timeoutMs);
}

void TestZoltCtlMqtt::checkBrokerFailure(const Result& r, const QString& says)
{
    const QString mismatch = failureMismatch(r, "zoltctl", kBrokerStatus, says);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestZoltCtlMqtt::scansArriveAsTheRowsWritten()
{
    Broker broker;
    QVERIFY(broker.ok());
    Watcher watcher(broker, QStringLiteral("lab/t1/#"));
    QVERIFY(watcher.ready(QStringLiteral("lab/t1/probe")));
    const QString out = m_dir->filePath(QStringLiteral("run.jsonl"));
    const Result r = zoltctl({"--simulate", "sample", "--interval", "max", "--digital", "--count", "200", "--format",
                              "jsonl", "--output", out, "--mqtt", broker.url(QStringLiteral("lab/t1")),
                              "--mqtt-client-id", "bench-t1"});
    QCOMPARE(r.status, 0);
    const QList<QByteArray> rows = fileLines(out);
    QCOMPARE(rows.size(), 200);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.payloads("lab/t1/scan").size(), 200, 10000);
    const QMap<int, QJsonObject> scans = bySeq(watcher.payloads("lab/t1/scan"));
    QCOMPARE(scans.firstKey(), 1);
    QCOMPARE(scans.lastKey(), 200);
    for (int i = 0; i < 200; ++i) {
        QJsonObject message = scans.value(i + 1);
        message.remove(QStringLiteral("seq"));
        QCOMPARE(message, object(rows[i]));
    }
    // The progress line counts what the queue dropped: nothing here.
    QVERIFY2(r.err.contains("0 dropped"), r.err.constData());

    const QJsonObject meta = object(broker.retained(QStringLiteral("lab/t1/meta")));
    QCOMPARE(meta.value(QStringLiteral("baud")).toInt(), 9600);
    QCOMPARE(meta.value(QStringLiteral("channels")).toArray().size(), 7);
    QCOMPARE(meta.value(QStringLiteral("digital")).toString(), QStringLiteral("on"));
    QCOMPARE(meta.value(QStringLiteral("pause_ms")).toInt(), 1);
    QVERIFY(meta.value(QStringLiteral("line_limit_scans_per_s")).toDouble() > 10);
    QVERIFY(!meta.value(QStringLiteral("version")).toString().isEmpty());
    QCOMPARE(watcher.payloads("lab/t1/status"), (QList<QByteArray>{"online", "offline"}));
    QCOMPARE(broker.retained(QStringLiteral("lab/t1/status")), QByteArray("offline"));
    // Without --mqtt-control nothing is subscribed.
    QVERIFY(broker.log().contains("New client connected from 127.0.0.1"));
    QVERIFY(!broker.log().contains("Received SUBSCRIBE from bench-t1"));
}

void TestZoltCtlMqtt::killedLeavesOfflineRetained()
{
    Broker broker;
    QVERIFY(broker.ok());
    QProcess* p = start({"--simulate", "sample", "--interval", "10", "--output", m_dir->filePath(QStringLiteral("k.csv")),
                         "--mqtt", broker.url(QStringLiteral("lab/t2"))});
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained(QStringLiteral("lab/t2/status")), QByteArray("online"), 10000);
    ::kill(static_cast<pid_t>(p->processId()), SIGKILL);
    const Result r = finish(p);
    QVERIFY(r.crashed);
    // The broker's will: nobody said goodbye.
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained(QStringLiteral("lab/t2/status")), QByteArray("offline"), 10000);
}

void TestZoltCtlMqtt::brokerAwayAndBackMidRun()
{
    BrokerOptions options;
    options.persistence = true;
    Broker broker(options);
    QVERIFY(broker.ok());
    Watcher watcher(broker, QStringLiteral("lab/t3/#"), QStringLiteral("tst-watcher-t3"));
    QVERIFY(watcher.ready(QStringLiteral("lab/t3/probe")));
    const QString out = m_dir->filePath(QStringLiteral("away.jsonl"));
    QProcess* p = start({"--simulate", "sample", "--interval", "max", "--digital", "--duration", "9", "--format",
                         "jsonl", "--output", out, "--mqtt", broker.url(QStringLiteral("lab/t3")), "--mqtt-qos", "1"});
    QTRY_VERIFY_WITH_TIMEOUT(watcher.payloads("lab/t3/scan").size() > 20, 10000);
    broker.stop();
    const qsizetype rowsAtStop = fileLines(out).size();
    // Sampling goes on while the broker is away.
    QVERIFY2(testwait::until([&] { return fileLines(out).size() > rowsAtStop + 50; }, 5000),
             qPrintable(QString::number(fileLines(out).size())));
    QVERIFY(broker.start());
    const Result r = finish(p);
    QCOMPARE(r.status, 0);

    const QList<QByteArray> rows = fileLines(out);
    for (const QByteArray& row : rows)
        QVERIFY2(!object(row).isEmpty() && row.endsWith('}'), row.constData());   // every row whole
    QTRY_VERIFY_WITH_TIMEOUT(bySeq(watcher.payloads("lab/t3/scan")).size() >= rows.size(), 15000);
    const QMap<int, QJsonObject> scans = bySeq(watcher.payloads("lab/t3/scan"));
    // Every scan arrived (QoS 1 may bring one twice), each equal to its row.
    QCOMPARE(scans.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        QJsonObject message = scans.value(i + 1);
        message.remove(QStringLiteral("seq"));
        QCOMPARE(message, object(rows[i]));
    }
    QVERIFY(watcher.payloads("lab/t3/status").contains("online"));
    QCOMPARE(broker.retained(QStringLiteral("lab/t3/status")), QByteArray("offline"));
}

void TestZoltCtlMqtt::passwordsFromFileAndEnvironment()
{
    BrokerOptions options;
    options.user = QStringLiteral("bench");
    options.password = "s3cret-Horse-battery";
    Broker broker(options);
    QVERIFY(broker.ok());
    const QString url = broker.url(QStringLiteral("lab/t4"), QStringLiteral("bench"));
    const QString out = m_dir->filePath(QStringLiteral("pw.csv"));

    const QString wrongFile = m_dir->filePath(QStringLiteral("wrong"));
    QFile f(wrongFile);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not-it\n");
    f.close();
    checkBrokerFailure(zoltctl({"--simulate", "sample", "--count", "5", "--output", out, "--mqtt", url,
                                "--mqtt-password-file", wrongFile}),
                       QStringLiteral("refused the connection: Connection Refused: not authorised"));
    checkBrokerFailure(zoltctl({"--simulate", "sample", "--count", "5", "--output", out, "--mqtt", url}),
                       QStringLiteral("not authorised"));
    // Nobody on the port at all.
    checkBrokerFailure(zoltctl({"--simulate", "sample", "--count", "5", "--output", out, "--mqtt",
                                QStringLiteral("mqtt://127.0.0.1:%1/lab/t4").arg(freeLoopbackPort())}),
                       QStringLiteral("cannot reach the MQTT broker at 127.0.0.1"));

    QProcessEnvironment env;
    env.insert(QStringLiteral("ZOLTCTL_MQTT_PASSWORD"), QString::fromUtf8(options.password));
    QProcess* p = start({"--simulate", "sample", "--duration", "3", "--output", out, "--mqtt", url}, env);
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained(QStringLiteral("lab/t4/status")), QByteArray("online"), 10000);
    // No process's command line holds the password while it is in use.
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly))
            QVERIFY2(!cmdline.readAll().contains(options.password), qPrintable(pid));
    }
    QCOMPARE(finish(p).status, 0);
    QCOMPARE(broker.retained(QStringLiteral("lab/t4/status")), QByteArray("offline"));
}

void TestZoltCtlMqtt::tlsWithTheLabsAuthority()
{
    BrokerOptions options;
    options.tls = true;
    Broker broker(options);
    QVERIFY(broker.ok());
    Watcher watcher(broker, QStringLiteral("lab/t5/#"));
    QVERIFY(watcher.ready(QStringLiteral("lab/t5/probe")));
    const QString out = m_dir->filePath(QStringLiteral("tls.csv"));
    checkBrokerFailure(zoltctl({"--simulate", "sample", "--count", "5", "--output", out, "--mqtt",
                                broker.url(QStringLiteral("lab/t5"))}),
                       QStringLiteral("certificate verify failed"));
    const Result r = zoltctl({"--simulate", "sample", "--interval", "max", "--count", "20", "--output", out, "--mqtt",
                              broker.url(QStringLiteral("lab/t5")), "--mqtt-cafile", broker.caFile()});
    QCOMPARE(r.status, 0);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.payloads("lab/t5/scan").size(), 20, 10000);
}

void TestZoltCtlMqtt::commandsReachTheModuleOrAreRefused()
{
    Broker broker;
    QVERIFY(broker.ok());
    Watcher watcher(broker, QStringLiteral("lab/t6/#"));
    QVERIFY(watcher.ready(QStringLiteral("lab/t6/probe")));
    QProcess* p = start({"--simulate", "sample", "--interval", "50", "--format", "jsonl", "--output",
                         m_dir->filePath(QStringLiteral("ctl.jsonl")), "--mqtt", broker.url(QStringLiteral("lab/t6")),
                         "--mqtt-control", "--mqtt-client-id", "bench-t6"});
    QTRY_VERIFY_WITH_TIMEOUT(broker.log().contains("Received SUBSCRIBE from bench-t6"), 10000);
    const auto lastScan = [&] {
        const QList<QByteArray> scans = watcher.payloads("lab/t6/scan");
        return scans.isEmpty() ? QJsonObject() : object(scans.last());
    };
    const auto mv = [&](int ch) { return lastScan().value(QStringLiteral("ch%1_mv").arg(ch)).toInt(-1); };

    // Output 2 is wired back to input 5.
    QVERIFY(broker.publish(QStringLiteral("lab/t6/set/dac/2"), "1500"));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.payloads("lab/t6/ack"), QList<QByteArray>{"set/dac/2 1500"}, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(mv(5) - 1500) <= 30, 5000);
    const int before3 = mv(3);
    const int before4 = mv(4);
    const int before6 = mv(6);

    const QList<std::pair<QString, QByteArray>> bad{
        {QStringLiteral("lab/t6/set/dac/2"), "abc"},  {QStringLiteral("lab/t6/set/dac/2"), "5000"},
        {QStringLiteral("lab/t6/set/dac/2"), "-1"},   {QStringLiteral("lab/t6/set/dac/2"), QByteArray(10240, '7')},
        {QStringLiteral("lab/t6/set/dac/9"), "1000"},
    };
    for (const auto& [topic, payload] : bad)
        QVERIFY(broker.publish(topic, payload));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.payloads("lab/t6/error").size(), 5, 5000);
    const QList<QByteArray> errors = watcher.payloads("lab/t6/error");
    QVERIFY2(errors[0].contains("not a whole number") && errors[1].contains("above")
                 && errors[2].contains("not a whole number") && errors[3].contains("10240 bytes")
                 && errors[4].contains("no analog output 9"),
             errors.join('\n').constData());
    // A valid command after them is answered; none of the bad ones was.
    QVERIFY(broker.publish(QStringLiteral("lab/t6/set/dout"), "on"));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.payloads("lab/t6/ack").size(), 2, 5000);
    QCOMPARE(watcher.payloads("lab/t6/ack").last(), QByteArray("set/dout on"));
    // Two scans more: at least one taken after every command above.
    const qsizetype scansAtAck = watcher.payloads("lab/t6/scan").size();
    QVERIFY(testwait::until([&] { return watcher.payloads("lab/t6/scan").size() >= scansAtAck + 2; }, 5000));
    QVERIFY(std::abs(mv(5) - 1500) <= 30);
    QCOMPARE(mv(3), before3);
    QCOMPARE(mv(4), before4);
    QCOMPARE(mv(6), before6);

    ::kill(static_cast<pid_t>(p->processId()), SIGTERM);
    QCOMPARE(finish(p).status, 0);
}

// What another program (ZOLT Scope, say) reads back from the broker: each
// scan exactly as its row, the bench's meta and status, and answers to the
// commands it sends.
void TestZoltCtlMqtt::aWatcherSeesTheBenchAsItIs()
{
    Broker broker;
    QVERIFY(broker.ok());
    mqtt::ClientSettings s;
    s.endpoint = *mqtt::parseUrl(broker.url(QStringLiteral("lab/t7"))).endpoint;
    s.clientId = QStringLiteral("watcher-t7");
    mqtt::Client client(s);
    QVERIFY2(client.openAndWait(5000), qPrintable(client.error()));
    front::RemoteBench bench(client, QStringLiteral("lab/t7"));
    QList<acquisition::Scan> scans;
    QStringList acks;
    connect(&bench, &front::RemoteBench::scanned, this, [&](const acquisition::Scan& scan) { scans += scan; });
    connect(&bench, &front::RemoteBench::acknowledged, this, [&](const QString& what) { acks += what; });
    Watcher ready(broker, QStringLiteral("lab/t7/#"));
    QVERIFY(ready.ready(QStringLiteral("lab/t7/probe")));

    const QString out = m_dir->filePath(QStringLiteral("watched.jsonl"));
    QProcess* p = start({"--simulate", "sample", "--interval", "20", "--digital", "--count", "60", "--format", "jsonl",
                         "--output", out, "--mqtt", broker.url(QStringLiteral("lab/t7")), "--mqtt-control"});
    QTRY_VERIFY_WITH_TIMEOUT(bench.takesCommands() && bench.status() == QLatin1String("online"), 10000);
    QCOMPARE(bench.meta()->topChannel, 6);
    QVERIFY(bench.meta()->digital);
    QCOMPARE(bench.meta()->pauseMs, 20);
    bench.setDigitalOutput(true);
    QCOMPARE(finish(p).status, 0);
    QTRY_COMPARE_WITH_TIMEOUT(scans.size(), 60, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(bench.status(), QStringLiteral("offline"), 5000);
    QCOMPARE(acks, QStringList{QStringLiteral("set/dout on")});
    QCOMPARE(bench.badScans(), 0);

    const QList<QByteArray> rows = fileLines(out);
    QCOMPARE(rows.size(), 60);
    front::RowFormat format(front::Format::Jsonl, 6, true);
    for (int i = 0; i < 60; ++i) {
        QCOMPARE(scans[i].seq, i + 1);
        const std::string_view row = format.row(scans[i]);
        QCOMPARE(QByteArray(row.data(), qsizetype(row.size())).trimmed(), rows[i]);
    }
    // The output switched on shows on line 3 in the scans after the answer.
    QCOMPARE(scans.last().lines[0], 1);
}

void TestZoltCtlMqtt::statusFollowsTheModulesPort()
{
    Broker broker;
    QVERIFY(broker.ok());
    Watcher watcher(broker, QStringLiteral("lab/t8/#"));
    QVERIFY(watcher.ready(QStringLiteral("lab/t8/probe")));
    // COM2 is a link to the module's pseudo-terminal, as an adapter's name
    // stays the same when it is plugged in again.
    const QString com2 = m_dir->filePath(QStringLiteral("com/COM2"));
    auto module = std::make_unique<PtyModule>(ZoltWire::Timing::Wire);
    QVERIFY2(module->isOpen(), qPrintable(module->errorString()));
    QVERIFY(QFile::link(module->devicePath(), com2));
    QProcess* p = start({"--port", "COM2", "--no-presence-check", "sample", "--interval", "max", "--channels", "0",
                         "--duration", "8", "--output", m_dir->filePath(QStringLiteral("port.csv")), "--mqtt",
                         broker.url(QStringLiteral("lab/t8"))});
    QTRY_VERIFY_WITH_TIMEOUT(watcher.payloads("lab/t8/scan").size() > 10, 10000);
    module.reset();   // pulled out: the device and its name go
    QVERIFY(QFile::remove(com2));
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained(QStringLiteral("lab/t8/status")), QByteArray("waiting for device"), 5000);
    module = std::make_unique<PtyModule>(ZoltWire::Timing::Wire);
    QVERIFY(QFile::link(module->devicePath(), com2));
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained(QStringLiteral("lab/t8/status")), QByteArray("online"), 10000);
    QCOMPARE(finish(p).status, 0);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.payloads("lab/t8/status"),
                              (QList<QByteArray>{"online", "waiting for device", "online", "offline"}), 5000);
}

void TestZoltCtlMqtt::statusCountsWhatTheQueueDropped()
{
    Broker broker;
    QVERIFY(broker.ok());
    mqtt::ClientSettings s;
    s.endpoint = *mqtt::parseUrl(broker.url(QStringLiteral("lab/t9"))).endpoint;
    s.clientId = QStringLiteral("bench-t9");
    s.queueLimit = 3;
    s.willTopic = "lab/t9/status";
    s.willPayload = "offline";
    mqtt::Client client(s);
    QVERIFY2(client.openAndWait(5000), qPrintable(client.error()));
    front::BenchPublisher bench(client, QStringLiteral("lab/t9"), 0);
    bench.setStatus(front::BenchPublisher::Status::Online);
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained(QStringLiteral("lab/t9/status")), QByteArray("online"), 5000);

    QSignalSpy lost(&client, &mqtt::Client::connectionLost);
    broker.stop();
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 5000);
    for (int i = 1; i <= 10; ++i)
        bench.publishScan("{\"seq\":" + std::to_string(i) + "}");
    QCOMPARE(bench.dropped(), 7);
    QVERIFY(broker.start());
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained(QStringLiteral("lab/t9/status")), QByteArray("online, 7 scans dropped"),
                              10000);
}

void TestZoltCtlMqtt::discoveryAnnouncesTheBenchToAHub()
{
    Broker broker;
    QVERIFY(broker.ok());
    const QString setup = m_dir->filePath(QStringLiteral("bench.json"));
    QFile f(setup);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"format": 1, "inputs": [{"input": 2, "name": "boiler", "unit": "°C", "gain": 0.05, "offset": -20}],
                "lines": [{"line": 4, "name": "door", "low": "closed", "high": "open"}]})");
    f.close();
    Watcher watcher(broker, QStringLiteral("lab/t10/#"));
    QVERIFY(watcher.ready(QStringLiteral("lab/t10/probe")));
    const QString url = broker.url(QStringLiteral("lab/t10"));
    const Result r = zoltctl({"--simulate", "sample", "--interval", "max", "--channels", "3", "--digital", "--duration",
                              "3", "--output", m_dir->filePath(QStringLiteral("run.csv")), "--setup", setup, "--mqtt",
                              url, "--mqtt-discovery"});
    QCOMPARE(r.status, 0);

    // One retained config a channel sampled and a line, in the current schema.
    const QByteArray node = "zolt_lab_t10";
    QList<QJsonObject> configs;
    for (const char* entity : {"ch0", "ch1", "ch2", "ch3", "din3", "din4", "din5"}) {
        const bool line = QByteArray(entity).startsWith("din");
        const QByteArray component = line ? "binary_sensor" : "sensor";
        const QJsonObject c = object(broker.retained("homeassistant/" + component + '/' + node + '/' + entity + "/config"));
        QVERIFY2(!c.isEmpty(), entity);
        for (const char* key : {"name", "unique_id", "default_entity_id", "state_topic", "value_template"})
            QVERIFY2(c.value(QLatin1String(key)).isString() && !c.value(QLatin1String(key)).toString().isEmpty(), key);
        QVERIFY(!c.contains("object_id"));   // replaced by default_entity_id
        QCOMPARE(c.value("default_entity_id").toString(), component + '.' + c.value("unique_id").toString());
        QCOMPARE(c.value("state_topic").toString(), QStringLiteral("lab/t10/state"));
        const QJsonObject device = c.value("device").toObject();
        for (const char* key : {"name", "model", "sw_version"})
            QVERIFY2(device.value(QLatin1String(key)).isString(), key);
        QVERIFY(device.value("identifiers").isArray() && device.value("identifiers").toArray().at(0).isString());
        QVERIFY(c.value("origin").toObject().value("name").isString());
        const QJsonObject availability = c.value("availability").toArray().at(0).toObject();
        QCOMPARE(availability.value("topic").toString(), QStringLiteral("lab/t10/status"));
        QVERIFY(availability.value("value_template").isString());
        if (!line) {
            QVERIFY(c.value("unit_of_measurement").isString());
            QVERIFY(c.value("suggested_display_precision").isDouble());
        }
        configs += c;
    }
    QCOMPARE(configs[2].value("name").toString(), QStringLiteral("boiler"));
    QCOMPARE(configs[2].value("unit_of_measurement").toString(), QStringLiteral("°C"));
    QCOMPARE(configs[5].value("name").toString(), QStringLiteral("door"));
    QVERIFY(broker.retained("homeassistant/sensor/" + node + "/ch4/config").isEmpty());   // not sampled
    // The meta carries the setup; the scans keep their keys and add the values.
    QCOMPARE(object(broker.retained(QStringLiteral("lab/t10/meta"))).value("setup").toObject().value("inputs").toArray()
                 .at(2).toObject().value("unit").toString(), QStringLiteral("°C"));
    const QList<QByteArray> scans = watcher.payloads("lab/t10/scan");
    QVERIFY(scans.size() > 20);
    const QJsonObject scan = object(scans.last());
    QCOMPARE(scan.value("ch2_mv").toInt(), 1507);
    QCOMPARE(scan.value("ch2_value").toDouble(), 55.35);
    // The state: the latest scan, once a second at most, never one a scan.
    QTRY_VERIFY_WITH_TIMEOUT(!watcher.payloads("lab/t10/state").isEmpty(), 5000);
    const QList<QByteArray> states = watcher.payloads("lab/t10/state");
    QVERIFY2(states.size() <= 3 + 1, qPrintable(QString::number(states.size())));

    // The templates, evaluated as the hub evaluates them.
    const QByteArray state = states.last();
    const QString availability = configs[0].value("availability").toArray().at(0).toObject().value("value_template").toString();
    const QStringList got = render({{configs[2].value("value_template").toString(), state},
                                    {configs[5].value("value_template").toString(), state},
                                    {configs[5].value("value_template").toString(), R"({"din4":1})"},
                                    {configs[5].value("value_template").toString(), R"({"din4":0})"},
                                    {availability, "online"},
                                    {availability, "online, 12 scans dropped"},
                                    {availability, "waiting for device"},
                                    {availability, "offline"}});
    const QString door = object(state).value("din4").toInt() == 1 ? "ON" : "OFF";
    QCOMPARE(got, (QStringList{"55.35", door, "ON", "OFF", "online", "online", "offline", "offline"}));

    // Taken back: every config emptied, nothing sampled, no module needed.
    const Result removed = zoltctl({"sample", "--mqtt", url, "--mqtt-discovery-remove"});
    QCOMPARE(removed.status, 0);
    for (const QByteArray& topic : {"sensor/" + node + "/ch0", "sensor/" + node + "/ch3", "binary_sensor/" + node + "/din5"})
        QVERIFY2(broker.retained("homeassistant/" + topic + "/config").isEmpty(), topic.constData());
    QCOMPARE(broker.retained(QStringLiteral("lab/t10/status")), QByteArray("offline"));   // left as the bench left it
}

QTEST_GUILESS_MAIN(TestZoltCtlMqtt)
#include "tst_zoltctl_mqtt.moc"
