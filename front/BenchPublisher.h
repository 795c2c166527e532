#pragma once

// A bench on an MQTT broker, under its topic prefix:
//   PREFIX/scan    one JSON object a scan (a JSON-lines row's keys and "seq")
//   PREFIX/status  retained: online, waiting for device, offline (also the
//                  broker's will); "online, N scans dropped" once the queue
//                  kept while the broker was away had to drop some
//   PREFIX/meta    retained: version, port, baud, channels, digital lines,
//                  pause, the line's limit in scans a second, whether the
//                  bench takes commands, and the channel setup when it has one
//   PREFIX/state   with discovery on: the latest scan, at most once a second,
//                  for the hub the bench is announced to (front/Discovery.h)
// and, when control is enabled, the commands on PREFIX/set/dac/N and
// PREFIX/set/dout: a valid one goes to the acquisition (which sends it
// between two scans) and is answered on PREFIX/ack once sent; any other is
// answered on PREFIX/error with the reason, and nothing reaches the module.

#include "front/ChannelSetup.h"
#include "link/BaudOptions.h"
#include "net/MqttClient.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>
#include <string_view>

namespace front {

struct BenchMeta {
    QString version;
    QString port;        // "COM9", or the device path when the port was named so
    int baud = kDefaultBaud.rate;
    int topChannel = 6;
    bool digital = false;
    int pauseMs = 500;
    double lineLimitScansPerSecond = 0;
    bool control = false;   // takes commands on PREFIX/set/...
    std::optional<front::ChannelSetup> setup;
    // Announced to a hub by discovery, as this program.
    bool discovery = false;
    QString program = QStringLiteral("zoltctl");
};

class BenchPublisher : public QObject {
    Q_OBJECT

public:
    enum class Status { Online, WaitingForDevice, Offline };

    // qos: for the scans (0 or 1); status, meta, ack and error go with QoS 1.
    BenchPublisher(mqtt::Client& client, const QString& prefix, int qos, QObject* parent = nullptr);

    void setMeta(const BenchMeta& meta);
    void setStatus(Status status);
    // One scan as a JSON object with "seq", without a line ending; with
    // discovery, also the state topic's, once a second.
    void publishScan(std::string_view json);
    // Where accepted commands go: the acquisition's output calls, which send
    // them between two scans.
    struct Outputs {
        std::function<void(int channel, int millivolts)> setAnalog;
        std::function<void(bool high)> setDigital;
    };
    // Takes commands from PREFIX/set/... from now on; call outputSent() as
    // each output command leaves, so that it is answered.
    void acceptControl(Outputs outputs);
    // An output command has left (channel -1 for the digital output).
    void outputSent(int channel, int value);
    // Sends what waits (up to timeoutMs), then "offline", then leaves.
    void close(int timeoutMs);

    long long dropped() const { return m_client.dropped(); }
    long long commandsAccepted() const { return m_accepted; }
    long long commandsRefused() const { return m_refused; }

    static QByteArray statusText(Status status, long long dropped);
    static QByteArray metaJson(const BenchMeta& meta);

private:
    struct Awaiting {
        int channel;   // -1: the digital output
        QByteArray ack;
    };

    void onMessage(const QByteArray& topic, const QByteArray& payload);
    QByteArray topic(const char* leaf) const;
    void refreshStatus();
    void publishState();

    mqtt::Client& m_client;
    QByteArray m_prefix;
    int m_qos;
    Status m_status = Status::Online;
    long long m_reportedDropped = 0;
    Outputs m_outputs;
    bool m_control = false;
    std::deque<Awaiting> m_awaiting;
    long long m_accepted = 0;
    long long m_refused = 0;
    bool m_discovery = false;
    QByteArray m_state;         // the latest scan, not yet on the state topic
    QElapsedTimer m_sinceState;
    QTimer m_stateTimer;
};

} // namespace front
