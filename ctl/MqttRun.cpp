#include "ctl/MqttRun.h"

#include "front/Discovery.h"

#include <QSysInfo>

namespace zoltctl {

namespace {

// The connection's settings; the password's problem when it cannot be read.
std::optional<QString> settingsFor(const MqttOptions& options, const QString& program, mqtt::ClientSettings& s)
{
    const mqtt::PasswordRead password = mqtt::readPassword(options.passwordFile);
    if (!password.error.isEmpty())
        return password.error;
    s.endpoint = options.endpoint;
    // A password goes with a user name only (MQTT 3.1.1); one from the
    // environment is left unused when the URL names no user.
    if (!options.endpoint.user.isEmpty())
        s.password = password.password;
    s.caFile = options.caFile;
    s.clientId = options.clientId.isEmpty()
        ? mqtt::defaultClientId(program, QSysInfo::machineHostName(), options.endpoint.prefix)
        : options.clientId;
    return std::nullopt;
}

} // namespace

MqttRun::Opened MqttRun::open(const MqttOptions& options, const BenchMeta& meta, const QString& program)
{
    Opened result;
    mqtt::ClientSettings s;
    if (const auto problem = settingsFor(options, program, s)) {
        result.status = ExitStatus::Usage;
        result.message = *problem;
        return result;
    }
    s.willTopic = options.endpoint.prefix.toUtf8() + "/status";
    s.willPayload = BenchPublisher::statusText(BenchPublisher::Status::Offline, 0);

    auto run = std::unique_ptr<MqttRun>(new MqttRun);
    run->m_client = std::make_unique<mqtt::Client>(s);
    if (!run->m_client->openAndWait(kConnectWaitMs)) {
        result.status = ExitStatus::Broker;
        result.message = run->m_client->error();
        return result;
    }
    run->m_publisher = std::make_unique<BenchPublisher>(*run->m_client, options.endpoint.prefix, options.qos);
    run->m_publisher->setMeta(meta);
    result.run = std::move(run);
    return result;
}

MqttRun::Removed MqttRun::removeDiscovery(const MqttOptions& options, const QString& program)
{
    mqtt::ClientSettings s;
    // An id of its own: the bench's would push a running bench off the broker.
    if (const auto problem = settingsFor(options, program + QStringLiteral("-remove"), s))
        return {ExitStatus::Usage, *problem};
    mqtt::Client client(s);
    if (!client.openAndWait(kConnectWaitMs))
        return {ExitStatus::Broker, client.error()};
    std::vector<front::RetainedMessage> removal = front::discoveryRemoval(options.endpoint.prefix);
    // The last goes as the goodbye, whose answer close() waits for: the broker
    // has taken the others, sent before it on the one connection, by then.
    const front::RetainedMessage last = removal.back();
    removal.pop_back();
    for (const front::RetainedMessage& m : removal)
        client.publish(m.topic, m.payload, 1, true);
    client.close(last.topic, last.payload, kCloseWaitMs);
    return {};
}

} // namespace zoltctl
