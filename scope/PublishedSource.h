#pragma once

// The scope's own acquisition on an MQTT broker, under the topics zoltctl
// uses (PREFIX/scan, status, meta, and with control the commands): so that
// a lab sees a bench watched in the scope like any other.

#include "ctl/MqttOptions.h"
#include "ctl/MqttRun.h"
#include "ctl/RowFormat.h"
#include "scope/ScanSource.h"

#include <memory>

namespace scope {

class PublishedSource : public QObject {
    Q_OBJECT

public:
    // Opens the broker; the reason when it cannot, else empty. setup: the
    // scans' scaled values and the meta's setup; none for neither.
    static QString start(ScanSource& source, const zoltctl::MqttOptions& options, const acquisition::Settings& settings,
                         int baud, const std::optional<front::ChannelSetup>& setup, std::unique_ptr<PublishedSource>& out);
    ~PublishedSource() override;

    // New settings: the meta changes, and the scans' columns with it.
    void setSettings(const acquisition::Settings& settings);
    // A new setup: the meta, the hub's configs and the scans' values follow.
    void setSetup(const std::optional<front::ChannelSetup>& setup);
    zoltctl::BenchPublisher& publisher() { return m_run->publisher(); }

private:
    PublishedSource(ScanSource& source, std::unique_ptr<zoltctl::MqttRun> run, const zoltctl::BenchMeta& meta);
    void remakeJson();

    ScanSource& m_source;
    std::unique_ptr<zoltctl::MqttRun> m_run;
    zoltctl::BenchMeta m_meta;
    std::unique_ptr<zoltctl::RowFormat> m_json;
};

} // namespace scope
