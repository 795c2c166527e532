#pragma once

// sample --mqtt: the broker connection and the bench's topics for one run.
// Opened before the first scan; a broker that cannot be reached or refuses
// then ends the run before it starts (status 7). Later losses only hold
// messages back (see mqtt::Client). A window that publishes opens it in the
// background instead: the first connection is tried, and tried again, while
// the acquisition goes on.

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
    enum class Start { WaitForBroker, InBackground };
    // program: the start of the default client id.
    static Opened open(const MqttOptions& options, const BenchMeta& meta, const QString& program = QStringLiteral("zoltctl"),
                       Start start = Start::WaitForBroker);

    BenchPublisher& publisher() { return *m_publisher; }
    mqtt::Client& client() { return *m_client; }
    void close() { m_publisher->close(kCloseWaitMs); }

private:
    std::unique_ptr<mqtt::Client> m_client;
    std::unique_ptr<BenchPublisher> m_publisher;
};

} // namespace zoltctl
