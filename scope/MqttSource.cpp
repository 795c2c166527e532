#include "scope/MqttSource.h"

#include <QSysInfo>

namespace scope {

namespace {

constexpr int kConnectWaitMs = 10000;

} // namespace

MqttSource::MqttSource(const front::MqttOptions& options, QObject* parent)
    : ScanSource(parent)
    , m_options(options)
{
}

MqttSource::~MqttSource() = default;

QString MqttSource::label() const
{
    const mqtt::Endpoint& e = m_options.endpoint;
    return QStringLiteral("%1://%2/%3").arg(QLatin1String(e.tls ? "mqtts" : "mqtt"), e.host, e.prefix);
}

QString MqttSource::open()
{
    const mqtt::PasswordRead password = mqtt::readPassword(m_options.passwordFile);
    if (!password.error.isEmpty())
        return password.error;
    mqtt::ClientSettings s;
    s.endpoint = m_options.endpoint;
    if (!s.endpoint.user.isEmpty())
        s.password = password.password;
    s.caFile = m_options.caFile;
    // A watcher's id of its own, so that it never takes the bench's place.
    s.clientId = m_options.clientId.isEmpty()
        ? mqtt::defaultClientId(QStringLiteral("zoltscope"), QSysInfo::machineHostName(), s.endpoint.prefix)
        : m_options.clientId;
    m_client = std::make_unique<mqtt::Client>(s);
    if (!m_client->openAndWait(kConnectWaitMs))
        return m_client->error();
    m_bench = std::make_unique<front::RemoteBench>(*m_client, s.endpoint.prefix);
    connect(m_bench.get(), &front::RemoteBench::scanned, this, [this](const acquisition::Scan& scan) {
        if (m_running)
            emit scanned(scan);
    });
    connect(m_bench.get(), &front::RemoteBench::statusChanged, this, &MqttSource::onStatus);
    connect(m_bench.get(), &front::RemoteBench::acknowledged, this, &MqttSource::onAcknowledged);
    connect(m_client.get(), &mqtt::Client::connectionLost, this, [this] { onStatus(QStringLiteral("broker lost")); });
    return {};
}

void MqttSource::onStatus(const QString& status)
{
    const bool away = !status.startsWith(QLatin1String("online"));
    if (away && !m_away)
        emit lost(QStringLiteral("%1: %2").arg(label(), status));
    else if (!away && m_away)
        emit returned();
    m_away = away;
}

void MqttSource::onAcknowledged(const QString& what)
{
    // "set/dac/2 1500" or "set/dout on"
    const QStringList parts = what.split(u' ');
    if (parts.size() != 2)
        return;
    if (parts[0] == QLatin1String("set/dout"))
        emit outputSent(-1, parts[1] == QLatin1String("on") ? 1 : 0);
    else if (parts[0].startsWith(QLatin1String("set/dac/")))
        emit outputSent(parts[0].mid(8).toInt(), parts[1].toInt());
}

bool MqttSource::waiting() const
{
    return m_away;
}

double MqttSource::limitScansPerSecond(const acquisition::Settings&) const
{
    return m_bench && m_bench->meta() ? m_bench->meta()->lineLimitScansPerSecond : 0.0;
}

bool MqttSource::drivesOutputs() const
{
    return m_bench && m_bench->takesCommands() && m_client->isConnected();
}

void MqttSource::setAnalogOutput(int channel, int millivolts)
{
    if (m_bench)
        m_bench->setAnalogOutput(channel, millivolts);
}

void MqttSource::setDigitalOutput(bool high)
{
    if (m_bench)
        m_bench->setDigitalOutput(high);
}

} // namespace scope
