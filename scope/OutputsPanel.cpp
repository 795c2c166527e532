#include "scope/OutputsPanel.h"

#include "link/Protocol.h"
#include "scope/ScopeSession.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace scope {

OutputsPanel::OutputsPanel(ScopeSession& session, QWidget* parent)
    : QGroupBox(QStringLiteral("Outputs"), parent)
    , ScopePanel(QStringLiteral("outputs"))
    , m_session(session)
{
    auto* grid = new QGridLayout(this);
    for (int c = 0; c < kAnalogOutputs; ++c) {
        auto* label = new QLabel(QStringLiteral("Output %1").arg(c));
        QSpinBox* value = m_value[static_cast<std::size_t>(c)] = new QSpinBox;
        value->setRange(0, protocol::kDacMaxMillivolts);
        value->setSuffix(QStringLiteral(" mV"));
        value->setAccessibleName(QStringLiteral("Analog output %1, millivolts").arg(c));
        label->setBuddy(value);
        QPushButton* set = m_set[static_cast<std::size_t>(c)] = new QPushButton(QStringLiteral("Set"));
        set->setAccessibleName(QStringLiteral("Set analog output %1").arg(c));
        grid->addWidget(label, c, 0);
        grid->addWidget(value, c, 1);
        grid->addWidget(set, c, 2);
        connect(set, &QPushButton::clicked, this, [this, c, value] { setAnalogOutput(c, value->value()); });
        connect(value, &QAbstractSpinBox::editingFinished, this, [this, c, value] {
            if (value->hasFocus())
                setAnalogOutput(c, value->value());
        });
    }
    m_digitalOut = new QCheckBox(QStringLiteral("Digital output (line 3) high"));
    m_digitalOut->setAccessibleName(QStringLiteral("Digital output line 3 high"));
    grid->addWidget(m_digitalOut, kAnalogOutputs, 0, 1, 3);
    // "clicked" comes from the user only, not from showing what was sent.
    connect(m_digitalOut, &QCheckBox::clicked, this, &OutputsPanel::setDigitalOutput);
    connect(&session, &ScopeSession::outputSent, this, &OutputsPanel::showSent);
}

void OutputsPanel::setAnalogOutput(int channel, int millivolts)
{
    if (!m_session.source() || !m_session.source()->drivesOutputs())
        return;
    m_session.setAnalogOutput(channel, millivolts);
    // The panel shows what was last set, however it was asked for.
    if (channel >= 0 && channel < kAnalogOutputs)
        m_value[static_cast<std::size_t>(channel)]->setValue(millivolts);
}

void OutputsPanel::setDigitalOutput(bool high)
{
    if (!m_session.source() || !m_session.source()->drivesOutputs())
        return;
    m_session.setDigitalOutput(high);
    m_digitalOut->setChecked(high);
}

void OutputsPanel::showSent(int channel, int value)
{
    // A field being typed in is left be.
    if (channel < 0) {
        m_digitalOut->setChecked(value != 0);
        return;
    }
    if (channel < kAnalogOutputs && !m_value[static_cast<std::size_t>(channel)]->hasFocus())
        m_value[static_cast<std::size_t>(channel)]->setValue(value);
}

void OutputsPanel::follow(const ScopeSession& session)
{
    const bool outputs = session.source() && session.source()->drivesOutputs();
    for (int c = 0; c < kAnalogOutputs; ++c) {
        m_value[static_cast<std::size_t>(c)]->setEnabled(outputs);
        m_set[static_cast<std::size_t>(c)]->setEnabled(outputs);
    }
    m_digitalOut->setEnabled(outputs);
}

} // namespace scope
