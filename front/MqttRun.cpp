#include "front/MqttRun.h"

#include "front/Discovery.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSysInfo>

namespace front {

std::optional<mqtt::ClientSettings> clientSettings(const MqttOptions& options, const QString& program, QString* error)
{
    const mqtt::PasswordRead password = mqtt::readPassword(options.passwordFile);
    if (!password.error.isEmpty()) {
        if (error)
            *error = password.error;
        return std::nullopt;
    }
    mqtt::ClientSettings s;
    s.endpoint = options.endpoint;
    // A password goes with a user name only (MQTT 3.1.1); one from the
    // environment is left unused when the URL names no user.
    if (!options.endpoint.user.isEmpty())
        s.password = password.password;
    s.caFile = options.caFile;
    // Each program an id of its own, so that a watcher never takes a bench's place.
    s.clientId = options.clientId.isEmpty()
        ? mqtt::defaultClientId(program, QSysInfo::machineHostName(), options.endpoint.prefix)
        : options.clientId;
    return s;
}

BenchMeta benchMeta(const QString& port, int baud, const acquisition::Settings& settings, bool control)
{
    BenchMeta meta;
    meta.version = QCoreApplication::applicationVersion();
    meta.port = port;
    meta.baud = baud;
    meta.topChannel = settings.topChannel;
    meta.digital = settings.digital;
    meta.pauseMs = settings.pauseMs;
    meta.lineLimitScansPerSecond = acquisition::lineLimitScansPerSecond(settings, baud);
    meta.control = control;
    return meta;
}

MqttRun::Opened MqttRun::open(const MqttOptions& options, const BenchMeta& meta, const QString& program, Start start)
{
    Opened result;
    std::optional<mqtt::ClientSettings> settings = clientSettings(options, program, &result.message);
    if (!settings) {
        result.failure = Failure::Password;
        return result;
    }
    mqtt::ClientSettings& s = *settings;
    s.willTopic = options.endpoint.prefix.toUtf8() + "/status";
    s.willPayload = BenchPublisher::statusText(BenchPublisher::Status::Offline, 0);
    s.keepTrying = start == Start::InBackground;

    auto run = std::unique_ptr<MqttRun>(new MqttRun);
    run->m_client = std::make_unique<mqtt::Client>(s);
    const bool opened = start == Start::InBackground ? run->m_client->open() : run->m_client->openAndWait(kConnectWaitMs);
    if (!opened) {
        result.failure = Failure::Broker;
        result.message = run->m_client->error();
        return result;
    }
    run->m_publisher = std::make_unique<BenchPublisher>(*run->m_client, options.endpoint.prefix, options.qos);
    run->setMeta(meta);
    result.run = std::move(run);
    return result;
}

MqttRun::Removed MqttRun::removeDiscovery(const MqttOptions& options, const QString& program)
{
    QString problem;
    // An id of its own: the bench's would push a running bench off the broker.
    std::optional<mqtt::ClientSettings> s = clientSettings(options, program + QStringLiteral("-remove"), &problem);
    if (!s)
        return {Failure::Password, problem};
    mqtt::Client client(*s);
    if (!client.openAndWait(kConnectWaitMs))
        return {Failure::Broker, client.error()};
    std::vector<RetainedMessage> removal = discoveryRemoval(options.endpoint.prefix);
    // The last goes as the goodbye, whose answer close() waits for: the broker
    // has taken the others, sent before it on the one connection, by then.
    const RetainedMessage last = removal.back();
    removal.pop_back();
    for (const RetainedMessage& m : removal)
        client.publish(m.topic, m.payload, 1, true);
    client.close(last.topic, last.payload, kCloseWaitMs);
    return {};
}

void MqttRun::setMeta(const BenchMeta& meta)
{
    m_meta = meta;
    // With a setup, the scaled values too; the hub that discovery announces
    // the bench to reads them, the default setup's when none is given.
    const ChannelSetup defaults;
    const ChannelSetup* scaled = meta.setup ? &*meta.setup : meta.discovery ? &defaults : nullptr;
    m_json = std::make_unique<RowFormat>(Format::Jsonl, meta.topChannel, meta.digital, scaled);
    m_publisher->setMeta(meta);
}

void MqttRun::follow(acquisition::Acquisition& cycle)
{
    using acquisition::Acquisition;
    BenchPublisher& bench = *m_publisher;
    QObject::connect(&cycle, &Acquisition::scanned, &bench,
                     [this](const acquisition::Scan& scan) { m_publisher->publishScan(m_json->json(scan, true)); });
    QObject::connect(&cycle, &Acquisition::portLost, &bench,
                     [&bench] { bench.setStatus(BenchPublisher::Status::WaitingForDevice); });
    QObject::connect(&cycle, &Acquisition::portReturned, &bench,
                     [&bench] { bench.setStatus(BenchPublisher::Status::Online); });
    if (m_meta.control) {
        // A command that comes after the cycle has gone is dropped.
        const QPointer<Acquisition> driven(&cycle);
        bench.acceptControl({[driven](int channel, int mv) {
                                 if (driven)
                                     driven->setAnalogOutput(channel, mv);
                             },
                             [driven](bool high) {
                                 if (driven)
                                     driven->setDigitalOutput(high);
                             }});
        QObject::connect(&cycle, &Acquisition::outputSent, &bench, &BenchPublisher::outputSent);
    }
    bench.setStatus(BenchPublisher::Status::Online);
}

} // namespace front
