#pragma once

// Scans from a 232ZOLT on a serial port, or from the simulated module: the
// link zoltctl opens (the same probe, port choice and presence check) and
// the acquisition cycle every front end shares.

#include "front/LinkOptions.h"
#include "front/ModuleLink.h"
#include "scope/ScanSource.h"

#include <memory>

namespace scope {

class ModuleSource final : public ScanSource {
    Q_OBJECT

public:
    explicit ModuleSource(const front::LinkOptions& options, QObject* parent = nullptr);
    ~ModuleSource() override;

    QString label() const override;
    QString open() override;
    void setSettings(const acquisition::Settings& settings) override;
    void start() override;
    void stop() override;
    bool running() const override;
    bool waiting() const override;
    double limitScansPerSecond(const acquisition::Settings& settings) const override;
    long long missedReplies() const override;
    bool drivesOutputs() const override { return true; }
    void setAnalogOutput(int channel, int millivolts) override;
    void setDigitalOutput(bool high) override;
    acquisition::Acquisition* acquisition() override { return m_acquisition.get(); }

    front::ModuleLink& link() { return *m_link; }

private:
    front::LinkOptions m_options;
    std::unique_ptr<front::ModuleLink> m_link;
    std::unique_ptr<acquisition::Acquisition> m_acquisition;
    QString m_label;
};

} // namespace scope
