#include "ctl/MqttRun.h"

#include <QSysInfo>

namespace zoltctl {

MqttRun::Opened MqttRun::open(const MqttOptions& options, const BenchMeta& meta, const QString& program, Start start)
{
    Opened result;
    const mqtt::PasswordRead password = mqtt::readPassword(options.passwordFile);
    if (!password.error.isEmpty()) {
        result.status = ExitStatus::Usage;
        result.message = password.error;
        return result;
    }
    mqtt::ClientSettings s;
    s.endpoint = options.endpoint;
    // A password goes with a user name only (MQTT 3.1.1); one from the
    // environment is left unused when the URL names no user.
    if (!options.endpoint.user.isEmpty())
        s.password = password.password;
    s.caFile = options.caFile;
    s.clientId = options.clientId.isEmpty()
        ? mqtt::defaultClientId(program, QSysInfo::machineHostName(), options.endpoint.prefix)
        : options.clientId;
    s.willTopic = options.endpoint.prefix.toUtf8() + "/status";
    s.willPayload = BenchPublisher::statusText(BenchPublisher::Status::Offline, 0);
    s.keepTrying = start == Start::InBackground;

    auto run = std::unique_ptr<MqttRun>(new MqttRun);
    run->m_client = std::make_unique<mqtt::Client>(s);
    const bool opened = start == Start::InBackground ? run->m_client->open() : run->m_client->openAndWait(kConnectWaitMs);
    if (!opened) {
        result.status = ExitStatus::Broker;
        result.message = run->m_client->error();
        return result;
    }
    run->m_publisher = std::make_unique<BenchPublisher>(*run->m_client, options.endpoint.prefix, options.qos);
    run->m_publisher->setMeta(meta);
    result.run = std::move(run);
    return result;
}

} // namespace zoltctl
