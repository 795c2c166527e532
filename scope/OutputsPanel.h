#pragma once

// The side panel's outputs: the four analog outputs in millivolts and the
// digital output line 3, set through the session's source. It shows what
// was sent last, whoever asked (this window, or another program through the
// broker while this scope publishes). Nothing of it is kept between runs:
// the module starts its outputs afresh.

#include "scope/ScopePanel.h"

#include <QGroupBox>
#include <array>

class QCheckBox;
class QPushButton;
class QSpinBox;

namespace scope {

class OutputsPanel : public QGroupBox, public ScopePanel {
    Q_OBJECT

public:
    static constexpr int kAnalogOutputs = 4;

    explicit OutputsPanel(ScopeSession& session, QWidget* parent = nullptr);

    void setAnalogOutput(int channel, int millivolts);
    void setDigitalOutput(bool high);
    void follow(const ScopeSession& session) override;

protected:
    void load(QSettings&) override {}
    void save(QSettings&) const override {}

private:
    void showSent(int channel, int value);

    ScopeSession& m_session;
    std::array<QSpinBox*, kAnalogOutputs> m_value{};
    std::array<QPushButton*, kAnalogOutputs> m_set{};
    QCheckBox* m_digitalOut = nullptr;
};

} // namespace scope
