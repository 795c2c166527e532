#pragma once

// The scope's own acquisition on an MQTT broker, under the topics zoltctl
// uses (PREFIX/scan, status, meta, and with control the commands): so that
// a lab sees a bench watched in the scope like any other.

#include "front/MqttOptions.h"
#include "front/MqttRun.h"
#include "scope/ScanSource.h"

#include <memory>
#include <optional>

namespace scope {

class PublishedSource : public QObject {
    Q_OBJECT

public:
    // Opens the broker in the background (the first connection is tried
    // again until it holds); the reason when it cannot even start, else empty.
    // setup: the scans' scaled values and the meta's setup; none for neither.
    static QString start(ScanSource& source, const front::MqttOptions& options, const acquisition::Settings& settings,
                         int baud, const std::optional<front::ChannelSetup>& setup, std::unique_ptr<PublishedSource>& out);
    ~PublishedSource() override;

    // New settings: the meta changes, and the scans' columns with it.
    void setSettings(const acquisition::Settings& settings);
    // A new setup: the meta, the hub's configs and the scans' values follow.
    void setSetup(const std::optional<front::ChannelSetup>& setup);
    front::BenchPublisher& publisher() { return m_run->publisher(); }

signals:
    // The broker cannot be reached or refused, once more; the reason is one line.
    void brokerProblem(const QString& reason);

private:
    PublishedSource(ScanSource& source, std::unique_ptr<front::MqttRun> run);

    ScanSource& m_source;
    std::unique_ptr<front::MqttRun> m_run;
};

} // namespace scope
