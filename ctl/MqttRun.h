#pragma once

// sample --mqtt: the broker connection and the bench's topics for one run.
// Opened before the first scan; a broker that cannot be reached or refuses
// then ends the run before it starts (status 7). Later losses only hold
// messages back (see mqtt::Client).

#include "ctl/BenchPublisher.h"
#include "ctl/ExitStatus.h"
#include "ctl/MqttOptions.h"
#include "net/MqttClient.h"

#include <QString>
#include <memory>

namespace zoltctl {

class MqttRun {
public:
    // Waits this long for the broker's answer at the start.
    static constexpr int kConnectWaitMs = 10000;
    // At the end, what is still queued may take this long to go out.
    static constexpr int kCloseWaitMs = 5000;

    struct Opened {
        std::unique_ptr<MqttRun> run;
        ExitStatus status = ExitStatus::Ok;
        QString message;   // when run is empty
    };
    // program: the start of the default client id.
    static Opened open(const MqttOptions& options, const BenchMeta& meta, const QString& program = QStringLiteral("zoltctl"));
    // --mqtt-discovery-remove: an empty retained config for every channel and
    // line of the bench, and nothing else (a bench still running keeps its
    // status and meta). Ok, or the status and message of what went wrong.
    struct Removed {
        ExitStatus status = ExitStatus::Ok;
        QString message;
    };
    static Removed removeDiscovery(const MqttOptions& options, const QString& program = QStringLiteral("zoltctl"));

    BenchPublisher& publisher() { return *m_publisher; }
    mqtt::Client& client() { return *m_client; }
    void close() { m_publisher->close(kCloseWaitMs); }

private:
    std::unique_ptr<mqtt::Client> m_client;
    std::unique_ptr<BenchPublisher> m_publisher;
};

} // namespace zoltctl
