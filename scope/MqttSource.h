#pragma once

// Scans from a bench on an MQTT broker (mqtt://HOST/PREFIX): what its
// zoltctl or ZOLT Scope publishes under PREFIX, shown as if the module were
// here. The bench runs its own cycle, so the settings here change nothing;
// its outputs can be set when its meta says it takes commands.

#include "front/MqttOptions.h"
#include "front/RemoteBench.h"
#include "net/MqttClient.h"
#include "scope/ScanSource.h"

#include <memory>

namespace scope {

class MqttSource final : public ScanSource {
    Q_OBJECT

public:
    explicit MqttSource(const front::MqttOptions& options, QObject* parent = nullptr);
    ~MqttSource() override;

    QString label() const override;
    QString open() override;
    void setSettings(const acquisition::Settings&) override {}
    void start() override { m_running = true; }
    void stop() override { m_running = false; }
    bool running() const override { return m_running; }
    bool waiting() const override;
    double limitScansPerSecond(const acquisition::Settings&) const override;
    long long missedReplies() const override { return 0; }
    bool drivesOutputs() const override;
    void setAnalogOutput(int channel, int millivolts) override;
    void setDigitalOutput(bool high) override;

    front::RemoteBench* bench() { return m_bench.get(); }

private:
    void onStatus(const QString& status);
    void onAcknowledged(const QString& what);

    front::MqttOptions m_options;
    std::unique_ptr<mqtt::Client> m_client;
    std::unique_ptr<front::RemoteBench> m_bench;
    bool m_running = false;
    bool m_away = false;
};

} // namespace scope
