#pragma once

// sample --mqtt: the broker connection and the bench's topics for one run.
// Opened before the first scan; a broker that cannot be reached or refuses
// then ends the run before it starts (each program says so in its own way).
// Later losses only hold messages back (see mqtt::Client).

#include "front/BenchPublisher.h"
#include "front/MqttOptions.h"
#include "net/MqttClient.h"

#include <QString>
#include <memory>

namespace front {

class MqttRun {
public:
    // Waits this long for the broker's answer at the start.
    static constexpr int kConnectWaitMs = 10000;
    // At the end, what is still queued may take this long to go out.
    static constexpr int kCloseWaitMs = 5000;

    // Why a run could not be opened.
    enum class Failure {
        None,
        Password,   // the password file cannot be read
        Broker,     // the broker cannot be reached or refuses the connection
    };
    struct Opened {
        std::unique_ptr<MqttRun> run;
        Failure failure = Failure::None;
        QString message;   // when run is empty
    };
    // program: the start of the default client id.
    static Opened open(const MqttOptions& options, const BenchMeta& meta, const QString& program = QStringLiteral("zoltctl"));

    BenchPublisher& publisher() { return *m_publisher; }
    mqtt::Client& client() { return *m_client; }
    void close() { m_publisher->close(kCloseWaitMs); }

private:
    std::unique_ptr<mqtt::Client> m_client;
    std::unique_ptr<BenchPublisher> m_publisher;
};

} // namespace front
