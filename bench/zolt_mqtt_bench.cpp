// Figures for readings on an MQTT broker, all on loopback with a mosquitto of
// this program's own (never the machine's service). Prints tables; passes or
// fails nothing.
//
//   1. zoltctl sample --interval max on the simulated module, all channels and
//      the digital lines, with --mqtt at QoS 0 and 1: scans a second written,
//      messages a second delivered to a subscriber, and zoltctl's processor
//      time a message (against the same run without --mqtt).
//   2. A load test: 1, 10, 50 and 200 simulated benches in this process, each its
//      own MQTT connection publishing a scan-sized JSON message at the Max
//      Speed rate, to one broker and one subscriber: messages a second
//      delivered, messages lost, and the broker's processor time.
//
//   zolt_mqtt_bench           10 s a run
//   zolt_mqtt_bench --quick   4 s a run
//   zolt_mqtt_bench --only N  run N alone

#include "bench/BenchFigures.h"
#include "net/MqttClient.h"
#include "tests/support/MosquittoBroker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

using namespace mqtttest;

namespace {

using namespace benchfigures;

// Scans a second at Max Speed, all channels and the digital lines, 9600 baud
// (measured by run 1 on this machine; the benches of run 2 publish at it).
constexpr double kMaxSpeedScansPerSecond = 37.0;

// A subscriber counting messages and the gaps in each bench's numbering.

std::unique_ptr<mqtt::Client> connectClient(const Broker& broker, const QString& id, std::size_t queueLimit = mqtt::kDefaultQueueLimit)
{
    mqtt::ClientSettings s;
    s.endpoint.host = QStringLiteral("127.0.0.1");
    s.endpoint.port = broker.port();
    s.endpoint.prefix = QStringLiteral("lab");
    s.clientId = id;
    s.queueLimit = queueLimit;
    auto c = std::make_unique<mqtt::Client>(s);
    if (!c->openAndWait(5000)) {
        std::fprintf(stderr, "%s\n", qPrintable(c->error()));
        return nullptr;
    }
    return c;
}

struct Counter {
    std::unique_ptr<mqtt::Client> client;
    long long messages = 0;
    long long lost = 0;
    std::map<QByteArray, long long> lastSeq;

    void take(const QByteArray& topic, const QByteArray& payload)
    {
        ++messages;
        const qsizetype at = payload.indexOf("\"seq\":");
        const long long seq = payload.mid(at + 6, payload.indexOf(',', at) - at - 6).toLongLong();
        long long& last = lastSeq[topic];
        if (last > 0 && seq > last + 1)
            lost += seq - last - 1;
        last = std::max(last, seq);
    }

    // Connected as id and counting every scan under lab/; false if the broker refused.
    bool subscribe(const Broker& broker, const QString& id, int qos)
    {
        client = connectClient(broker, id);
        if (!client)
            return false;
        QObject::connect(client.get(), &mqtt::Client::messageReceived,
                         [this](const QByteArray& t, const QByteArray& p) { take(t, p); });
        client->subscribe("lab/+/scan", qos);
        return true;
    }
};

void waitMs(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

// ---------------------------------------------------------------- 1. zoltctl

void zoltctlRuns(int seconds)
{
    std::printf("\n1. zoltctl sample --interval max --digital (channels 0-6), simulated module, 9600 baud, %d s\n\n",
                seconds);
    std::printf("%-10s %10s %12s %12s %12s %14s\n", "mqtt", "scans/s", "messages/s", "delivered", "lost", "CPU us/message");
    Broker broker;
    if (!broker.ok()) {
        std::printf("no broker\n");
        return;
    }
    auto sub = std::make_unique<Counter>();
    if (!sub->subscribe(broker, QStringLiteral("bench-subscriber"), 1))
        return;
    waitMs(300);

    double plainCpuPerScan = 0;
    for (const char* mode : {"off", "QoS 0", "QoS 1"}) {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("run.csv"));
        QStringList args{"--simulate", "sample", "--interval", "max", "--digital", "--duration", QString::number(seconds),
                         "--output", out};
        const bool mqtt = QByteArray(mode) != "off";
        if (mqtt)
            args += {"--mqtt", QStringLiteral("mqtt://127.0.0.1:%1/lab/bench1").arg(broker.port()), "--mqtt-qos",
                     QString(QLatin1Char(mode[4]))};
        const long long before = sub->messages;
        sub->lastSeq.clear();
        sub->lost = 0;
        const double cpu0 = cpuSeconds(RUSAGE_CHILDREN);
        QProcess p;
        p.start(QStringLiteral(ZOLTCTL_EXE), args);
        p.waitForStarted();
        while (p.state() != QProcess::NotRunning)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        waitMs(500);   // the last messages on their way
        const double cpu = cpuSeconds(RUSAGE_CHILDREN) - cpu0;
        QFile f(out);
        f.open(QIODevice::ReadOnly);
        const long long rows = f.readAll().count('\n') - 1;
        const long long delivered = sub->messages - before;
        if (!mqtt)
            plainCpuPerScan = rows > 0 ? cpu / static_cast<double>(rows) : 0;
        const double perMessage = mqtt && delivered > 0
            ? (cpu - plainCpuPerScan * static_cast<double>(rows)) / static_cast<double>(delivered) * 1e6
            : 0;
        std::printf("%-10s %10.1f %12.1f %12lld %12lld %14s\n", mode, static_cast<double>(rows) / seconds,
                    static_cast<double>(delivered) / seconds, delivered, mqtt ? (rows - delivered) : 0LL,
                    mqtt ? qPrintable(QString::number(perMessage, 'f', 1)) : "-");
        if (!mqtt)
            std::printf("%-10s zoltctl alone: %.1f us CPU a scan\n", "", plainCpuPerScan * 1e6);
    }
}

// ---------------------------------------------------------------- 2. the load test

void loadTest(int seconds)
{
    std::printf("\n2. Simulated benches in this process, one connection each, %.0f scans/s each (QoS 0), one subscriber, "
                "%d s a run\n\n",
                kMaxSpeedScansPerSecond, seconds);
    std::printf("%7s %12s %12s %12s %8s %14s %16s\n", "benches", "sent/s", "delivered/s", "delivered", "lost",
                "broker CPU %", "broker us/msg");
    const QByteArray body =
        ",\"time\":\"2026-12-08T11:02:14.123Z\",\"seconds\":12.345,\"ch0_count\":2051,\"ch0_mv\":2504,"
        "\"ch1_count\":1,\"ch1_mv\":1,\"ch2_count\":1234,\"ch2_mv\":1507,\"ch3_count\":0,\"ch3_mv\":0,"
        "\"ch4_count\":0,\"ch4_mv\":0,\"ch5_count\":0,\"ch5_mv\":0,\"ch6_count\":0,\"ch6_mv\":0,"
        "\"din3\":0,\"din4\":0,\"din5\":0}";
    for (int n : {1, 10, 50, 200}) {
        Broker broker;
        if (!broker.ok()) {
            std::printf("no broker\n");
            return;
        }
        Counter sub;
        if (!sub.subscribe(broker, QStringLiteral("load-subscriber"), 0))
            return;
        std::vector<std::unique_ptr<mqtt::Client>> benches;
        for (int i = 0; i < n; ++i) {
            benches.push_back(connectClient(broker, QStringLiteral("load-bench-%1").arg(i)));
            if (!benches.back())
                return;
        }
        waitMs(300);
        long long sent = 0;
        std::vector<long long> seq(static_cast<std::size_t>(n), 0);
        std::vector<std::unique_ptr<QTimer>> timers;
        for (int i = 0; i < n; ++i) {
            auto t = std::make_unique<QTimer>();
            t->setTimerType(Qt::PreciseTimer);
            t->setInterval(static_cast<int>(1000.0 / kMaxSpeedScansPerSecond));
            const QByteArray topic = "lab/bench" + QByteArray::number(i) + "/scan";
            mqtt::Client* c = benches[static_cast<std::size_t>(i)].get();
            long long* s = &seq[static_cast<std::size_t>(i)];
            QObject::connect(t.get(), &QTimer::timeout, [c, s, topic, &body, &sent] {
                c->publish(topic, "{\"seq\":" + QByteArray::number(++*s) + body, 0);
                ++sent;
            });
            timers.push_back(std::move(t));
        }
        const double broker0 = processCpuSeconds(broker.pid());
        for (auto& t : timers)
            t->start();
        waitMs(seconds * 1000);
        for (auto& t : timers)
            t->stop();
        waitMs(1000);   // the last ones on their way
        const double brokerCpu = processCpuSeconds(broker.pid()) - broker0;
        // Gaps in each bench's numbering, and what never came at its end.
        long long lost = sub.lost;
        for (int i = 0; i < n; ++i)
            lost += seq[static_cast<std::size_t>(i)] - sub.lastSeq["lab/bench" + QByteArray::number(i) + "/scan"];
        std::printf("%7d %12.1f %12.1f %12lld %8lld %14.1f %16.1f\n", n, static_cast<double>(sent) / seconds,
                    static_cast<double>(sub.messages) / seconds, sub.messages, lost,
                    brokerCpu / (seconds + 1.0) * 100.0,
                    sub.messages > 0 ? brokerCpu / static_cast<double>(sub.messages) * 1e6 : 0.0);
    }
}

// How fast one broker passes messages on when publishers do not wait: the
// ceiling behind the figures above.
void ceiling(int seconds)
{
    std::printf("\n3. Ceiling: 10 connections publishing as fast as the queue window lets them (QoS 0), one subscriber, "
                "%d s\n\n",
                seconds);
    Broker broker;
    Counter sub;
    if (!sub.subscribe(broker, QStringLiteral("ceiling-subscriber"), 0))
        return;
    std::vector<std::unique_ptr<mqtt::Client>> benches;
    for (int i = 0; i < 10; ++i)
        benches.push_back(connectClient(broker, QStringLiteral("ceiling-bench-%1").arg(i), 2000));
    waitMs(300);
    std::vector<long long> seq(10, 0);
    long long sent = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        for (int i = 0; i < 10; ++i) {
            mqtt::Client* c = benches[static_cast<std::size_t>(i)].get();
            // Keep each queue topped up, never over its bound.
            for (int k = 0; k < 20 && c->queued() < 200; ++k) {
                c->publish("lab/bench" + QByteArray::number(i) + "/scan",
                           "{\"seq\":" + QByteArray::number(++seq[static_cast<std::size_t>(i)]) + ",\"ch0_mv\":2504}", 0);
                ++sent;
            }
        }
    });
    const double broker0 = processCpuSeconds(broker.pid());
    const double self0 = cpuSeconds();
    feed.start(2);
    QElapsedTimer t;
    t.start();
    waitMs(seconds * 1000);
    feed.stop();
    const double elapsed = static_cast<double>(t.elapsed()) / 1000.0;
    const long long delivered = sub.messages;   // by the end of the run
    const double brokerCpu = processCpuSeconds(broker.pid()) - broker0;
    waitMs(1000);
    std::printf("handed over %lld, delivered %lld (lost %lld): %.0f messages/s through the broker; broker CPU %.0f %%, "
                "this process (publishers and subscriber) %.0f %%\n",
                sent, delivered, sub.lost, static_cast<double>(delivered) / elapsed, brokerCpu / elapsed * 100,
                (cpuSeconds() - self0) / elapsed * 100);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int seconds = quick ? 4 : 10;
    std::printf("zolt_mqtt_bench: loopback only; load average before: %s\n", loadAverage().constData());
    // --only N runs one of the three alone.
    const int only = app.arguments().contains(QStringLiteral("--only"))
        ? app.arguments().value(app.arguments().indexOf(QStringLiteral("--only")) + 1).toInt()
        : 0;
    if (only == 0 || only == 1)
        zoltctlRuns(seconds);
    if (only == 0 || only == 2)
        loadTest(seconds);
    if (only == 0 || only == 3)
        ceiling(seconds);
    std::printf("\nload average after: %s\n", loadAverage().constData());
    return 0;
}
