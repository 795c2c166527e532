#pragma once

// The broker connection and the bench's topics for one run of an acquisition
// (zoltctl's sample --mqtt, ZOLT Scope's --publish).
// Opened before the first scan; a broker that cannot be reached or refuses
// then ends the run before it starts (each program says so in its own way).
// Later losses only hold messages back (see mqtt::Client).

#include "front/BenchPublisher.h"
#include "front/MqttOptions.h"
#include "front/RowFormat.h"
#include "link/Acquisition.h"
#include "net/MqttClient.h"

#include <QString>
#include <memory>
#include <optional>

namespace front {

// The connection the options ask for; program begins the default client id.
// Nothing, with the reason in error, when the password file cannot be read.
std::optional<mqtt::ClientSettings> clientSettings(const MqttOptions& options, const QString& program, QString* error);

// What the bench's meta says of an acquisition on this port at this baud
// rate with these settings.
BenchMeta benchMeta(const QString& port, int baud, const acquisition::Settings& settings, bool control);

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
    // A program that must have its broker waits for the first connection
    // (kConnectWaitMs); a window that publishes opens it in the background
    // instead: the first connection is tried, and tried again, while the
    // acquisition goes on.
    enum class Start { WaitForBroker, InBackground };
    // program: the start of the default client id.
    static Opened open(const MqttOptions& options, const BenchMeta& meta, const QString& program,
                       Start start = Start::WaitForBroker);

    // --mqtt-discovery-remove: an empty retained config for every channel and
    // line of the bench, and nothing else (a bench still running keeps its
    // status and meta). Failure::None, or what went wrong and why.
    struct Removed {
        Failure failure = Failure::None;
        QString message;
    };
    static Removed removeDiscovery(const MqttOptions& options, const QString& program);

    BenchPublisher& publisher() { return *m_publisher; }
    mqtt::Client& client() { return *m_client; }
    void close() { m_publisher->close(kCloseWaitMs); }

    // Publishes the cycle's scans (after whoever took them before this was
    // called) and the port's loss and return as the status and, when the
    // meta says the bench takes commands, passes them to the cycle and
    // answers them once sent. The status is online from now.
    void follow(acquisition::Acquisition& cycle);
    // New settings: the meta changes, and the scans' columns with it.
    void setMeta(const BenchMeta& meta);
    const BenchMeta& meta() const { return m_meta; }

private:
    std::unique_ptr<mqtt::Client> m_client;
    std::unique_ptr<BenchPublisher> m_publisher;
    BenchMeta m_meta;
    // The scans as JSON with their seq, by the formatter that writes the rows.
    std::unique_ptr<RowFormat> m_json;
};

} // namespace front
