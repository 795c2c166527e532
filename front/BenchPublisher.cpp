#include "front/BenchPublisher.h"

#include "front/Discovery.h"
#include "net/ControlCommand.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace front {

namespace {

constexpr int kControlQos = 1;
// The topic of a refused command as its error shows it, at most this long.
constexpr qsizetype kShownTopicBytes = 40;

QByteArray shownTopic(const QByteArray& subtopic)
{
    QByteArray out;
    for (qsizetype i = 0; i < subtopic.size() && i < kShownTopicBytes; ++i) {
        const char c = subtopic[i];
        out += (c >= 0x20 && c < 0x7f) ? c : '?';
    }
    if (subtopic.size() > kShownTopicBytes)
        out += "...";
    return out;
}

} // namespace

BenchPublisher::BenchPublisher(mqtt::Client& client, const QString& prefix, int qos, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_prefix(prefix.toUtf8())
    , m_qos(qos)
{
    // Once the broker is back, the status says what the queue had to drop.
    connect(&m_client, &mqtt::Client::connected, this, &BenchPublisher::refreshStatus);
    m_stateTimer.setSingleShot(true);
    connect(&m_stateTimer, &QTimer::timeout, this, &BenchPublisher::publishState);
}

QByteArray BenchPublisher::topic(const char* leaf) const
{
    return m_prefix + '/' + leaf;
}

QByteArray BenchPublisher::statusText(Status status, long long dropped)
{
    QByteArray text;
    switch (status) {
    case Status::Online: text = "online"; break;
    case Status::WaitingForDevice: text = "waiting for device"; break;
    case Status::Offline: text = "offline"; break;
    }
    if (dropped > 0 && status != Status::Offline)
        text += ", " + QByteArray::number(dropped) + " scans dropped";
    return text;
}

QByteArray BenchPublisher::metaJson(const BenchMeta& meta)
{
    QJsonArray channels;
    for (int ch = 0; ch <= meta.topChannel; ++ch)
        channels.append(ch);
    QJsonObject o{
        {QStringLiteral("version"), meta.version},
        {QStringLiteral("port"), meta.port},
        {QStringLiteral("baud"), meta.baud},
        {QStringLiteral("channels"), channels},
        {QStringLiteral("digital"), meta.digital ? QStringLiteral("on") : QStringLiteral("off")},
        {QStringLiteral("pause_ms"), meta.pauseMs},
        {QStringLiteral("line_limit_scans_per_s"), std::round(meta.lineLimitScansPerSecond * 10) / 10},
        {QStringLiteral("control"), meta.control ? QStringLiteral("on") : QStringLiteral("off")},
    };
    if (meta.setup)
        o.insert(QStringLiteral("setup"), meta.setup->toJsonObject());
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

void BenchPublisher::setMeta(const BenchMeta& meta)
{
    m_client.publish(topic("meta"), metaJson(meta), kControlQos, true);
    m_discovery = meta.discovery;
    if (!meta.discovery)
        return;
    front::DiscoveryBench bench;
    bench.prefix = QString::fromUtf8(m_prefix);
    bench.program = meta.program;
    bench.version = meta.version;
    bench.topChannel = meta.topChannel;
    bench.digital = meta.digital;
    bench.setup = meta.setup.value_or(front::ChannelSetup());
    for (const front::RetainedMessage& m : front::discoveryConfigs(bench))
        m_client.publish(m.topic, m.payload, kControlQos, true);
}

void BenchPublisher::setStatus(Status status)
{
    m_status = status;
    m_reportedDropped = m_client.dropped();
    m_client.publish(topic("status"), statusText(status, m_reportedDropped), kControlQos, true);
}

void BenchPublisher::refreshStatus()
{
    if (m_client.dropped() != m_reportedDropped)
        setStatus(m_status);
}

void BenchPublisher::publishScan(std::string_view json)
{
    const QByteArray message(json.data(), static_cast<qsizetype>(json.size()));
    m_client.publish(topic("scan"), message, m_qos);
    // While the broker is away this only changes the status kept for it.
    refreshStatus();
    if (!m_discovery)
        return;
    // The hub gets the latest scan once a second, never one message a scan.
    m_state = message;
    if (m_stateTimer.isActive())
        return;
    const qint64 since = m_sinceState.isValid() ? m_sinceState.elapsed() : front::kDiscoveryStateIntervalMs;
    if (since >= front::kDiscoveryStateIntervalMs)
        publishState();
    else
        m_stateTimer.start(static_cast<int>(front::kDiscoveryStateIntervalMs - since));
}

void BenchPublisher::publishState()
{
    if (m_state.isEmpty())
        return;
    m_sinceState.start();
    m_client.publish(front::discoveryStateTopic(QString::fromUtf8(m_prefix)), m_state, 0);
    m_state.clear();
}

void BenchPublisher::acceptControl(Outputs outputs)
{
    m_outputs = std::move(outputs);
    m_control = true;
    connect(&m_client, &mqtt::Client::messageReceived, this, &BenchPublisher::onMessage);
    m_client.subscribe(topic("set/#"), kControlQos);
}

void BenchPublisher::onMessage(const QByteArray& fullTopic, const QByteArray& payload)
{
    if (!m_control || !fullTopic.startsWith(m_prefix + '/'))
        return;
    const QByteArray sub = fullTopic.mid(m_prefix.size() + 1);
    const mqtt::ControlParse p = mqtt::parseControl(std::string_view(sub.constData(), static_cast<std::size_t>(sub.size())),
                                                    std::string_view(payload.constData(), static_cast<std::size_t>(payload.size())));
    if (!p.command) {
        ++m_refused;
        m_client.publish(topic("error"), shownTopic(sub) + ": " + QByteArray::fromStdString(p.error), kControlQos);
        return;
    }
    ++m_accepted;
    const mqtt::ControlCommand& c = *p.command;
    const QByteArray ack = QByteArray::fromStdString(mqtt::commandTopic(c) + ' ' + mqtt::commandPayload(c));
    if (c.kind == mqtt::ControlCommand::Kind::DigitalOutput) {
        m_awaiting.push_back({-1, ack});
        m_outputs.setDigital(c.high);
    } else {
        m_awaiting.push_back({c.channel, ack});
        m_outputs.setAnalog(c.channel, c.millivolts);
    }
}

void BenchPublisher::outputSent(int channel, int)
{
    // The first command waiting for this output; one from elsewhere (a
    // window's own panel) finds none and is not answered here.
    for (auto it = m_awaiting.begin(); it != m_awaiting.end(); ++it) {
        if (it->channel == channel) {
            m_client.publish(topic("ack"), it->ack, kControlQos);
            m_awaiting.erase(it);
            return;
        }
    }
}

void BenchPublisher::close(int timeoutMs)
{
    m_client.close(topic("status"), statusText(Status::Offline, 0), timeoutMs);
}

} // namespace front
